#pragma once

/// @file
/// ZUVBannerViewDelegate: the messages by which a banner reports to the application.

#include "ads/core/ZUVBannerViewDelegate.h"
