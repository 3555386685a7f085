#include <gtest/gtest.h>

#include <string>

#include "ads/vast/ZUVVastLoad.h"
#include "ads/vast/ZUVVastReader.h"
#include "platform/foundation/Log.h"

namespace {

// An inline ad of `version` with the body of its Linear and what follows its Creatives.
std::string inlineDocument(const std::string& version, const std::string& linear,
                           const std::string& after = "", const std::string& skip = "00:00:05") {
  return "<VAST version=\"" + version +
         "\"><Error>http://e.test/root</Error><Ad id=\"a1\">"
         "<InLine><AdSystem>t</AdSystem><AdTitle>t</AdTitle>"
         "<Impression><![CDATA[ http://i.test/imp?e=[ERRORCODE] ]]></Impression>"
         "<Impression>javascript:alert(1)</Impression><Error>http://e.test/ad</Error>"
         "<Creatives><Creative><Linear skipoffset=\"" +
         skip + "\">" + linear + "</Linear></Creative></Creatives>" + after +
         "</InLine></Ad></VAST>";
}

const std::string kLinear =
    "<Duration>00:00:30.500</Duration><TrackingEvents>"
    "<Tracking event=\"start\">http://t.test/start</Tracking>"
    "<Tracking event=\"progress\" offset=\"10%\">http://t.test/p10</Tracking>"
    "<Tracking event=\"progress\" offset=\"soon\">http://t.test/bad</Tracking>"
    "</TrackingEvents><VideoClicks><ClickThrough>https://c.test/</ClickThrough>"
    "<ClickTracking>http://t.test/click</ClickTracking></VideoClicks><MediaFiles>"
    "<MediaFile delivery=\"progressive\" type=\"Video/MP4\" width=\"640\" height=\"360\" "
    "bitrate=\"800\" codec=\"avc1.42E01E\">http://m.test/a.mp4</MediaFile>"
    "<MediaFile delivery=\"progressive\" type=\"video/mp4\">file:///etc/passwd</MediaFile>"
    "<MediaFile apiFramework=\"VPAID\" type=\"application/javascript\">http://m.test/v.js"
    "</MediaFile></MediaFiles>";

TEST(ZUVVastReaderTest, ReadsEachVersionsInlineAd) {
  for (std::string version : {"2.0", "3.0", "4.0", "4.1", "4.2", "4.3"}) {
    SCOPED_TRACE(version);
    platform::LogCapture log;
    auto document = ZUVVastReader::read(inlineDocument(
        version, kLinear,
        "<AdVerifications><Verification vendor=\"v\"><TrackingEvents><Tracking "
        "event=\"verificationNotExecuted\">http://v.test/[REASON]</Tracking></TrackingEvents>"
        "</Verification></AdVerifications>"));
    ASSERT_TRUE(document) << document.error().localizedDescription();
    EXPECT_EQ(document->errorURLs, std::vector<std::string>{"http://e.test/root"});
    const ZUVVastAd* ad = document->adToPlay();
    ASSERT_TRUE(ad);
    EXPECT_FALSE(ad->fault);
    EXPECT_EQ(ad->impressionURLs, std::vector<std::string>{"http://i.test/imp?e=[ERRORCODE]"});
    EXPECT_DOUBLE_EQ(ad->durationSeconds, 30.5);
    EXPECT_DOUBLE_EQ(ad->skipOffset->value, 5);
    ASSERT_EQ(ad->tracking.size(), 2u);
    EXPECT_EQ(ad->tracking[1].offset->description(), "10%");
    EXPECT_EQ(ad->clickThroughURL, "https://c.test/");
    EXPECT_EQ(ad->clickTrackingURLs, std::vector<std::string>{"http://t.test/click"});
    ASSERT_EQ(ad->mediaFiles.size(), 1u);
    EXPECT_EQ(ad->mediaFiles[0].type, "video/mp4");
    EXPECT_EQ(ad->mediaFiles[0].bitrate, 800);
    ASSERT_EQ(ad->verifications.size(), 1u);
    EXPECT_EQ(ad->verifications[0].notExecutedURLs[0], "http://v.test/[REASON]");
    EXPECT_TRUE(log.contains("2 URL(s) that are not http or https"));
    EXPECT_EQ(document->notes.size(), 2u);  // the progress without offset, the VPAID file
  }
}

TEST(ZUVVastReaderTest, GivesEachFaultItsCode) {
  auto code = [](const std::string& text) {
    auto document = ZUVVastReader::read(text);
    if (!document) return document.error().code;
    const ZUVVastAd* ad = document->adToPlay();
    return !ad ? 0L : ad->fault ? ad->fault->code : -1L;
  };
  EXPECT_EQ(code("<VAST version=\"4.0\"><Ad>"), kZUVVastXMLParseError);
  EXPECT_EQ(code("<!DOCTYPE VAST [<!ENTITY a \"aaaa\">]><VAST version=\"4.0\">&a;</VAST>"),
            kZUVVastXMLParseError);
  EXPECT_EQ(code("<VMAP version=\"1.0\"/>"), kZUVVastSchemaError);
  EXPECT_EQ(code("<VAST/>"), kZUVVastSchemaError);
  EXPECT_EQ(code("<VAST version=\"1.0\"/>"), kZUVVastVersionNotSupported);
  EXPECT_EQ(code("<VAST version=\"5.0\"/>"), kZUVVastVersionNotSupported);
  EXPECT_EQ(code("<VAST version=\"4.2\"></VAST>"), 0);  // no ad: the caller's 303
  EXPECT_EQ(code(inlineDocument("4.0", kLinear)), -1);
  for (std::string duration : {"", "30", "00:60:00", "00:00:5", "1:00:00.1234", "-1:00:00"}) {
    EXPECT_EQ(code(inlineDocument("3.0", "<Duration>" + duration + "</Duration>")),
              kZUVVastSchemaError)
        << duration;
  }
  EXPECT_EQ(code("<VAST version=\"3.0\"><Ad><InLine><Creatives><Creative><CompanionAds/>"
                 "</Creative></Creatives></InLine></Ad></VAST>"),
            kZUVVastUnexpectedLinearity);
  EXPECT_EQ(code("<VAST version=\"3.0\"><Ad><Wrapper><VASTAdTagURI>ftp://x/</VASTAdTagURI>"
                 "</Wrapper></Ad></VAST>"),
            kZUVVastSchemaError);
  for (std::string skip : {"00:00:5", "101%", "x%", "%"}) {
    auto document =
        ZUVVastReader::read(inlineDocument("4.0", "<Duration>00:00:10</Duration>", "", skip));
    ASSERT_TRUE(document);
    EXPECT_FALSE(document->adToPlay()->skipOffset) << skip;
  }
}

TEST(ZUVVastReaderTest, PlaysThePodsFirstAndReadsWrappers) {
  auto document = ZUVVastReader::read(
      "<VAST version=\"3.0\"><Ad id=\"solo\"><InLine/></Ad><Ad id=\"second\" sequence=\"2\">"
      "<InLine/></Ad><Ad id=\"first\" sequence=\"1\"><Wrapper followAdditionalWrappers=\"false\" "
      "fallbackOnNoAd=\"true\"><VASTAdTagURI> http://w.test/next </VASTAdTagURI>"
      "<Extensions><Extension type=\"AdVerifications\"><AdVerifications><Verification/>"
      "</AdVerifications></Extension></Extensions></Wrapper></Ad></VAST>");
  ASSERT_TRUE(document);
  const ZUVVastAd* ad = document->adToPlay();
  EXPECT_EQ(ad->id, "first");
  EXPECT_EQ(ad->kind, ZUVVastAd::Kind::Wrapper);
  EXPECT_EQ(ad->adTagURI, "http://w.test/next");
  EXPECT_FALSE(ad->followAdditionalWrappers);
  EXPECT_TRUE(ad->fallbackOnNoAd);
  EXPECT_FALSE(ad->fault);
  EXPECT_EQ(ad->verifications.size(), 1u);
  EXPECT_EQ(document->notes.back(),
            "the document holds 3 ads; only one is played (the first of a pod)");
}

}  // namespace

// An ad page's answer is a video by its XML type, or by VAST as its first element past the
// declaration, comments and a byte-order mark.
TEST(ZUVVastReaderTest, TellsAVideoAnswerByItsTypeOrItsFirstElement) {
  EXPECT_TRUE(ZUVVastLoad::isVastAnswer("application/xml", "<html></html>"));
  EXPECT_TRUE(ZUVVastLoad::isVastAnswer("text/xml", ""));
  EXPECT_TRUE(ZUVVastLoad::isVastAnswer(
      "text/html", "\xEF\xBB\xBF <?xml version=\"1.0\"?>\n<!-- a <b> -->\n<VAST version=\"4.2\">"));
  EXPECT_TRUE(ZUVVastLoad::isVastAnswer("", "<VAST/>"));
  EXPECT_FALSE(ZUVVastLoad::isVastAnswer("text/html", "<VASTY>"));
  EXPECT_FALSE(ZUVVastLoad::isVastAnswer("text/html", "<html><VAST></VAST></html>"));
  EXPECT_FALSE(ZUVVastLoad::isVastAnswer("", "<!-- never closed <VAST>"));
  EXPECT_FALSE(ZUVVastLoad::isVastAnswer("application/xhtml+xml", "<html/>"));
}
