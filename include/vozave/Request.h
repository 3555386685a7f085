#pragma once

/// @file
/// ZUVRequest: what the application tells the ad server about the ad it wants (targeting).

#include "ads/core/ZUVRequest.h"
