#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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

std::string storedZlib(const std::string& raw) {
  std::uint32_t a = 1, b = 0;
  for (char c : raw) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  auto size = static_cast<std::uint16_t>(raw.size());
  return std::string("\x78\x01\x01", 3) +
         std::string{char(size), char(size >> 8), char(~size), char(~size >> 8)} + raw +
         big32(b << 16 | a);
}

TEST(ImageTest, TheDecoderUndoesRowFiltersAndRefusesDamagedImageData) {
  // Two RGB rows: the first filtered by its left neighbour, the second by the Paeth guess.
  const std::string raw(
      "\x01\x0a\x14\x1e\x05\x05\x05"
      "\x04\x01\x01\x01\x02\x02\x02",
      14);
  auto pixels = platform::decodePng(png(ihdr(2, 2, 8, 2), chunk("IDAT", storedZlib(raw))));
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->width, 2u);
  EXPECT_EQ(pixels->rgba, (std::vector<std::uint8_t>{10, 20, 30, 255, 15, 25, 35, 255, 11, 21, 31,
                                                     255, 17, 27, 37, 255}));
  // A grey pixel from a stream of fixed codes.
  auto grey = platform::decodePng(
      png(ihdr(1, 1, 8, 0), chunk("IDAT", std::string("\x78\xda\x63\x68\0\0\0\x82\0\x81", 10))));
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->rgba, (std::vector<std::uint8_t>{0x80, 0x80, 0x80, 255}));

  std::string badSum = storedZlib(raw);
  badSum.back() ^= 1;
  std::string badFilter = raw;
  badFilter[7] = 5;
  const std::string refused[] = {
      png(ihdr(2, 2, 8, 2), chunk("IDAT", badSum)),
      png(ihdr(2, 2, 8, 2), chunk("IDAT", storedZlib(badFilter))),
      png(ihdr(2, 2, 8, 2), chunk("IDAT", storedZlib(raw.substr(0, 13)))),
      png(ihdr(1, 1, 8, 0)),          // one byte of data where a row needs two
      png(ihdr(1, 1, 16, 0), kIdat),  // a depth it does not decode
  };
  for (const auto& bytes : refused) {
    EXPECT_FALSE(platform::decodePng(bytes)) << testing::PrintToString(bytes);
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
  EXPECT_FALSE(Image::imageWithData(bytes, 0));
  EXPECT_FALSE(image->imageWithScale(-1));
}

}  // namespace
