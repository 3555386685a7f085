#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace platform {

// What a driver (the velour front end, a test) does to a page as its user would.
class WebDriving {
 public:
  virtual ~WebDriving() = default;
  // Taps the link, button or element whose text is `textOrSelector` (else the first element
  // that matches it as a CSS selector) with a mouse press and release at its centre; false if
  // there is none or the page cannot be reached.
  virtual bool tapLink(std::string_view textOrSelector) = 0;
  // The visible text of the page's body.
  virtual std::string pageText() = 0;
  // The page as a PNG image at the size of the view.
  virtual std::optional<Bytes> screenshotPNG() = 0;
};

}  // namespace platform
