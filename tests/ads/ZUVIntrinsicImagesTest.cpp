#include <gtest/gtest.h>

#include "ads/web/ZUVIntrinsicImages.h"
#include "platform/ui/Png.h"

using platform::Size;

namespace {

TEST(ZUVIntrinsicImagesTest,
     BuiltInPicturesAreRgbaPngsAtHalfTheirPixelsMadeOnceAndBadTextMakesNone) {
  struct Case {
    std::shared_ptr<platform::Image> (*make)();
    std::uint32_t pixels;
  };
  for (const Case& c : {Case{&ZUVIntrinsicImages::closeButton, 50},
                        Case{&ZUVIntrinsicImages::browserForwardButton, 54},
                        Case{&ZUVIntrinsicImages::browserBackButton, 54}}) {
    auto image = c.make();
    ASSERT_TRUE(image);
    EXPECT_EQ(image, c.make());  // cached for the process
    EXPECT_EQ(image->size(), (Size{c.pixels / 2.0, c.pixels / 2.0}));
    auto header = platform::readPngHeader(image->pngData());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->colorType, 6);
  }
  EXPECT_NE(ZUVIntrinsicImages::browserBackButton()->pngData(),
            ZUVIntrinsicImages::browserForwardButton()->pngData());

  // An encoding makes a new image each time; bad text makes none.
  std::string text =
      "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAA"
      "AABJRU5ErkJggg==";  // a 1 x 1 pixel PNG
  auto one = ZUVIntrinsicImages::createImageFromEncoding(text);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->size(), (Size{0.5, 0.5}));
  EXPECT_NE(one, ZUVIntrinsicImages::createImageFromEncoding(text));
  EXPECT_FALSE(ZUVIntrinsicImages::createImageFromEncoding("not base64!"));
  EXPECT_FALSE(ZUVIntrinsicImages::createImageFromEncoding("aGVsbG8gd29ybGQ="));  // not a PNG
  EXPECT_FALSE(ZUVIntrinsicImages::createImageFromEncoding(text.substr(0, 40)));  // cut short
}

}  // namespace
