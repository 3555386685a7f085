#pragma once

/// @file
/// platform::Screen: the device's screen and the application frame.

#include "velourphone/Export.h"
#include "velourphone/Geometry.h"

namespace platform {

// The device's screen in points, portrait, from the device profile.
class VOZAVE_API Screen {
 public:
  static Rect bounds();  // the whole screen, from the device profile's screen size
  // The screen less the status bar when it shows, turned to the status bar's orientation.
  static Rect applicationFrame();
};

}  // namespace platform
