#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/Png.h"

using platform::Image;
using platform::ImageOrientation;
using platform::readPngHeader;

namespace {

std::string big32(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string chunk(const std::string& type, const std::string& data) {
  return big32(std::uint32_t(data.size())) + type + data + big32(platform::pngCrc32(type + data));
}

std::string ihdr(std::uint32_t width, std::uint32_t height, int depth = 8, int colorType = 6,
                 int interlace = 0) {
  return chunk("IHDR", big32(width) + big32(height) +
                           std::string{char(depth), char(colorType), 0, 0, char(interlace)});
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
const std::string kIdat = chunk("IDAT", std::string("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9));
const std::string kIend = chunk("IEND", "");

std::string png(const std::string& header, const std::string& middle = kIdat) {
  return kSignature + header + middle + kIend;
}

TEST(ImageTest, TheReaderAcceptsWellFormedPngsAndRefusesEveryMalformedOne) {
  EXPECT_EQ(platform::pngCrc32("123456789"), 0xCBF43926u);  // the CRC-32 check value

  auto header = readPngHeader(png(ihdr(54, 40)));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->width, 54u);
  EXPECT_EQ(header->colorType, 6);
  // Ancillary chunks are skipped; a palette image with its palette, and bytes after the end,
  // are fine.
  EXPECT_TRUE(readPngHeader(png(ihdr(1, 1), chunk("tEXt", "a\0b") + kIdat) + "trailing"));
  EXPECT_TRUE(readPngHeader(png(ihdr(1, 1, 4, 3), chunk("PLTE", "abcdef") + kIdat)));
  EXPECT_TRUE(readPngHeader(png(ihdr(2, 2, 16, 0, 1))));

  std::string good = png(ihdr(4, 4));
  std::string badCrc = good;
  badCrc[8 + 8 + 7] ^= 1;  // the height 4 becomes 5
  std::string hugeLength = good;
  hugeLength.replace(8 + 13 + 12, 4, big32(0xFFFFFFF0u));  // IDAT's length
  const std::string refused[] = {
      "",
      "GIF89a not a png at all",
      kSignature,
      good.substr(0, good.size() - 1),  // IEND cut short
      badCrc,
      hugeLength,
      kSignature + kIdat + ihdr(4, 4) + kIend,  // IHDR not first
      png(ihdr(4, 4) + ihdr(4, 4)),             // two headers
      png(ihdr(0, 4)),
      png(ihdr(4, platform::kMaxPngSide + 1)),
      png(ihdr(4, 4, 4, 6)),     // RGBA has no 4-bit depth
      png(ihdr(4, 4, 8, 7)),     // no such colour type
      png(ihdr(4, 4, 8, 6, 2)),  // no such interlace method
      png(ihdr(4, 4, 8, 3)),     // a palette image without its palette
      png(ihdr(4, 4), chunk("PLTE", "abcd") + kIdat),
      png(ihdr(4, 4), ""),                          // no image data
      png(ihdr(4, 4), chunk("ZZZZ", "x") + kIdat),  // a critical chunk nobody knows
      png(ihdr(4, 4), chunk("ID1T", "") + kIdat),   // not a chunk name
      kSignature + ihdr(4, 4) + kIdat,              // no end
      kSignature + ihdr(4, 4) + kIdat + chunk("IEND", "x"),
  };
  for (const auto& bytes : refused) {
    EXPECT_FALSE(readPngHeader(bytes)) << testing::PrintToString(bytes);
  }
}

TEST(ImageTest, AnImageMeasuresInPointsByItsScaleAndKeepsItsBytes) {
  std::string bytes = png(ihdr(54, 40));
  auto image = Image::imageWithData(bytes, 2.0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (platform::Size{27, 20}));
  EXPECT_EQ(image->pngData(), bytes);

  auto turned = image->imageWithScale(4.0, ImageOrientation::Left);
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->size(), (platform::Size{10, 13.5}));
  EXPECT_EQ(&turned->pngData(), &image->pngData());  // one bitmap, shared
  EXPECT_EQ(Image::imageWithData(bytes)->size(), (platform::Size{54, 40}));

  EXPECT_FALSE(Image::imageWithData("not a png", 2.0));
  EXPECT_FALSE(Image::imageWithData(bytes, 0));
  EXPECT_FALSE(image->imageWithScale(-1));
}

}  // namespace
