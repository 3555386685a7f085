#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

namespace platform {

// What a driver (the velour front end, a test) does to a page as its user would.
class WebDriving {
 public:
  virtual ~WebDriving() = default;
  // Taps the link, button or element whose text is `textOrSelector` (else the first element
  // that matches it as a CSS selector) with a finger at its centre; false if there is none or
  // the page cannot be reached.
  virtual bool tapLink(std::string_view textOrSelector) = 0;
  // Taps `point` of the view (in its own coordinates) as a finger on the phone's screen: the
  // page gets a touch there and the mouse events and click that follow. False for a point
  // outside the view or a page that cannot be reached.
  virtual bool tapAt(Point point) = 0;
  // The visible text of the page's body.
  virtual std::string pageText() = 0;
  // The page as a PNG image at the size of the view.
  virtual std::optional<Bytes> screenshotPNG() = 0;
};

}  // namespace platform
