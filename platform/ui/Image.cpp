#include "platform/ui/Image.h"

#include "platform/ui/Png.h"

namespace platform {

Image::Image(std::shared_ptr<const std::string> bytes, std::uint32_t pixelWidth,
             std::uint32_t pixelHeight, double scale, ImageOrientation orientation)
    : bytes_(std::move(bytes)),
      pixelWidth_(pixelWidth),
      pixelHeight_(pixelHeight),
      scale_(scale),
      orientation_(orientation) {}

std::shared_ptr<Image> Image::imageWithData(std::string bytes, double scale) {
  if (!(scale > 0)) return nullptr;
  auto header = readPngHeader(bytes);
  if (!header) return nullptr;
  return std::make_shared<Image>(std::make_shared<const std::string>(std::move(bytes)),
                                 header->width, header->height, scale, ImageOrientation::Up);
}

std::shared_ptr<Image> Image::imageWithScale(double scale, ImageOrientation orientation) const {
  if (!(scale > 0)) return nullptr;
  return std::make_shared<Image>(bytes_, pixelWidth_, pixelHeight_, scale, orientation);
}

Size Image::size() const {
  Size points{pixelWidth_ / scale_, pixelHeight_ / scale_};
  if (orientation_ == ImageOrientation::Left || orientation_ == ImageOrientation::Right) {
    std::swap(points.width, points.height);
  }
  return points;
}

}  // namespace platform
