#pragma once

#include <memory>
#include <string_view>

#include "platform/ui/Image.h"

// The ad client's built-in pictures: the full-screen web application's close button and the
// in-app browser's back and forward arrows. They are held in the program as base64 PNG text,
// so that the client needs no resource files; each is decoded on first use and kept for the
// life of the process. All three show at scale 2.
class ZUVIntrinsicImages {
 public:
  // A black disc with a white rim and a white cross, 25 x 25 points.
  static std::shared_ptr<platform::Image> closeButton();
  // A white triangle pointing right on a clear ground, 27 x 27 points.
  static std::shared_ptr<platform::Image> browserForwardButton();
  // The same pointing left.
  static std::shared_ptr<platform::Image> browserBackButton();

  // A new image from base64 PNG text, at scale 2; null when the text is not base64 or the
  // bytes are not a PNG.
  static std::shared_ptr<platform::Image> createImageFromEncoding(std::string_view encoding);
};
