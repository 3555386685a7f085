// Hostile bytes through the PNG reader, the image made from it and the pixel decoder: they
// must give a header within the limits, a consistent image and pixels of the header's size,
// or nothing, and never read past their end.
#include "fuzz/FuzzInput.h"
#include "platform/ui/Image.h"
#include "platform/ui/Png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto header = platform::readPngHeader(bytes);
  auto image = platform::Image::imageWithData(bytes, 2.0);
  if (bool(header) != bool(image)) std::abort();
  if (!header) return 0;
  fuzz::require(header->width > 0 && header->height > 0 && header->width <= platform::kMaxPngSide &&
                header->height <= platform::kMaxPngSide);
  fuzz::require(image->pixelWidth() == header->width &&
                image->size().height == header->height / 2.0 && image->pngData() == bytes);
  auto pixels = platform::decodePng(bytes);
  fuzz::require(!pixels ||
                (pixels->width == header->width &&
                 pixels->rgba.size() == std::size_t(header->width) * header->height * 4));
  return 0;
}
