#pragma once

/// @file
/// ZUVBannerView: the view that shows ads and refreshes them by itself.

#include "ads/core/ZUVBannerView.h"
