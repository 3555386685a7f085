#pragma once

/// @file
/// platform::View and its geometry (platform::Rect, platform::Point, platform::Size).

#include "platform/ui/Geometry.h"
#include "platform/ui/View.h"
