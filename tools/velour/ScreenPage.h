#pragma once

#include <string>

#include "platform/ui/Geometry.h"

namespace velour {

// The phone's visible screen drawn as an HTML page of positioned boxes, in points: the status
// bar, then the key window's views at their frames (buttons with their titles or images, the
// tab bar with its selected tab, toolbars with their items), each web view as a picture of
// its own page taken at `scale` pixels to the point. The snapshot command has the web engine
// shoot the page.
struct ScreenPage {
  std::string html;
  platform::Size size;  // points, turned to the status bar's orientation
};

ScreenPage drawScreen(double scale);

}  // namespace velour
