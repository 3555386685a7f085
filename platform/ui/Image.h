#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/Geometry.h"

namespace platform {

// The platform's image orientations; left and right are turned a quarter.
enum class ImageOrientation { Up = 0, Down = 1, Left = 2, Right = 3 };

// An immutable picture made from PNG bytes, with the scale that maps its pixels to points.
// Buttons and bar button items show images; the ad client makes its built-in pictures with
// it. The bytes are kept, shared between images of the same bitmap, so that a screen snapshot
// can draw them.
class Image {
 public:
  // Null when the bytes are not a well-formed PNG or the scale is not positive.
  static std::shared_ptr<Image> imageWithData(std::string bytes, double scale = 1.0);
  // The same bitmap with another scale and orientation; null for a scale that is not positive.
  std::shared_ptr<Image> imageWithScale(double scale,
                                        ImageOrientation orientation = ImageOrientation::Up) const;

  // In points: the pixels divided by the scale, turned by the orientation.
  Size size() const;
  double scale() const { return scale_; }
  ImageOrientation orientation() const { return orientation_; }
  std::uint32_t pixelWidth() const { return pixelWidth_; }
  std::uint32_t pixelHeight() const { return pixelHeight_; }
  const std::string& pngData() const { return *bytes_; }

  Image(std::shared_ptr<const std::string> bytes, std::uint32_t pixelWidth,
        std::uint32_t pixelHeight, double scale, ImageOrientation orientation);

 private:
  std::shared_ptr<const std::string> bytes_;
  std::uint32_t pixelWidth_;
  std::uint32_t pixelHeight_;
  double scale_;
  ImageOrientation orientation_;
};

}  // namespace platform
