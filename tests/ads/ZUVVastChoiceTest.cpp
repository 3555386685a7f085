#include <gtest/gtest.h>

#include <regex>

#include "ads/vast/ZUVVastMacros.h"
#include "ads/vast/ZUVVastMediaChooser.h"

namespace {

ZUVVastMediaFile file(const std::string& url, const std::string& type, int width, int height,
                      int bitrate, const std::string& codec = "",
                      const std::string& delivery = "progressive") {
  return {url, delivery, type, codec, width, height, bitrate, 0, 0};
}

TEST(ZUVVastChoiceTest, ChoosesBySizeThenBitRate) {
  std::vector<ZUVVastMediaFile> files{
      file("http://m.test/hd", "video/mp4", 1920, 1080, 3000),
      file("http://m.test/720-fast", "video/mp4", 1280, 720, 2500, "avc1.4d401f"),
      file("http://m.test/720-slow", "video/mp4", 1280, 720, 1200),
      file("http://m.test/360", "video/webm", 640, 360, 800, "vp9, opus"),
      file("http://m.test/stream", "video/mp4", 1280, 720, 1000, "", "streaming"),
      file("http://m.test/flash", "video/x-flv", 1280, 720, 1000),
      file("http://m.test/hevc", "video/mp4", 1280, 720, 1000, "hvc1.1.6.L93.B0"),
  };
  auto chosen = [&](ZUVVastMediaContext context, std::vector<ZUVVastMediaFile> from) {
    auto choice = ZUVVastChooseMedia(from, context);
    return choice ? choice->file.url : std::to_string(choice.error().code);
  };
  ZUVVastMediaContext phone{750, 1334, false};
  EXPECT_EQ(chosen(phone, files), "http://m.test/720-slow");
  EXPECT_EQ(ZUVVastChooseMedia(files, phone)->why,
            "1280x720, the largest that fits the 750x1334 screen; 1200 kbit/s, the highest within "
            "the 1500 kbit/s of a cellular network");
  EXPECT_EQ(chosen({750, 1334, true}, files), "http://m.test/720-fast");
  EXPECT_EQ(chosen({1334, 750, false}, files), "http://m.test/720-slow");  // turned either way
  EXPECT_EQ(chosen({320, 480, true}, files), "http://m.test/360");         // none fits
  // Of one size, none within the budget: the lowest rate.
  EXPECT_EQ(
      chosen(phone, {files[1], file("http://m.test/720-faster", "video/mp4", 1280, 720, 4000)}),
      "http://m.test/720-fast");
  EXPECT_EQ(chosen(phone, {file("http://m.test/unsized", "video/mp4", 0, 0, 0), files[0]}),
            "http://m.test/hd");
  EXPECT_EQ(chosen(phone, {files.begin() + 4, files.end()}), "403");
  EXPECT_EQ(
      ZUVVastChooseMedia({files.begin() + 4, files.end()}, phone).error().localizedDescription(),
      "no media file the phone plays (streaming delivery, type video/x-flv, codec "
      "hvc1.1.6.L93.B0)");
  EXPECT_EQ(chosen(phone, {}), "403");
}

TEST(ZUVVastChoiceTest, FillsMacrosEncoded) {
  ZUVVastMacroValues values;
  values.errorCode = 403;
  values.adPlayheadSeconds = 65.5;
  values.assetURI = "http://m.test/a b.mp4";
  values.privacy.gdprApplies = true;
  values.privacy.tcString = "CO-x";
  values.privacy.childDirected = true;
  EXPECT_EQ(ZUVVastExpandMacros(
                "http://t.test/?e=[ERRORCODE]&t=[TIMESTAMP]&p=[ADPLAYHEAD]"
                "&c=[CONTENTPLAYHEAD]&a=[ASSETURI]&r=[REASON]&l=[LIMITADTRACKING]"
                "&g=[GDPRCONSENT]&s=[REGULATIONS]&u=[UNKNOWN]&n=[x[ERRORCODE]&o=[ERRORCODE",
                values),
            "http://t.test/?e=403&t=1970-01-01T00%3A00%3A00.000Z&p=00%3A01%3A05.500&c=-2"
            "&a=http%3A%2F%2Fm.test%2Fa%20b.mp4&r=-2&l=-1&g=CO-x&s=gdpr%2Ccoppa&u=[UNKNOWN]"
            "&n=[x403&o=[ERRORCODE");
  ZUVVastMacroValues unknown;
  unknown.privacy.gdprApplies = false;
  unknown.privacy.limitAdTracking = true;
  unknown.reason = 2;
  unknown.date.secondsSince1970 = 1796814000.25;
  EXPECT_EQ(ZUVVastExpandMacros("[ERRORCODE],[ADPLAYHEAD],[ASSETURI],[GDPRCONSENT],[REGULATIONS],"
                                "[LIMITADTRACKING],[REASON],[TIMESTAMP]",
                                unknown),
            "-2,-1,-1,-2,-1,1,2,2026-12-09T11%3A00%3A00.250Z");
  EXPECT_TRUE(
      std::regex_match(ZUVVastExpandMacros("[CACHEBUSTING]", unknown), std::regex("[0-9]{8}")));
}

}  // namespace
