#include <gtest/gtest.h>

#include <map>

#include "ads/vast/ZUVVastReader.h"
#include "ads/vast/ZUVVastWrapperResolver.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

namespace {

std::string wrapper(const std::string& next, const std::string& name,
                    const std::string& attributes = "") {
  return "<VAST version=\"4.0\"><Error>http://e.test/" + name +
         "?c=[ERRORCODE]</Error><Ad><Wrapper" + attributes + "><Impression>http://i.test/" + name +
         "</Impression><Error>http://e.test/" + name + "-ad</Error><VASTAdTagURI>" + next +
         "</VASTAdTagURI><Creatives><Creative><Linear>"
         "<TrackingEvents><Tracking event=\"start\">http://t.test/" +
         name +
         "</Tracking>"
         "</TrackingEvents><VideoClicks><ClickTracking>http://c.test/" +
         name +
         "</ClickTracking>"
         "</VideoClicks></Linear></Creative></Creatives></Wrapper></Ad></VAST>";
}

const std::string kInline =
    "<VAST version=\"3.0\"><Ad><InLine><Impression>http://i.test/inline</Impression>"
    "<Creatives><Creative><Linear><Duration>00:00:10</Duration><MediaFiles><MediaFile "
    "type=\"video/mp4\">http://m.test/a.mp4</MediaFile></MediaFiles></Linear></Creative>"
    "</Creatives></InLine></Ad></VAST>";

// Documents by URL, each answered in a later pass; a URL without one never answers.
class ResolverTest : public ::testing::Test {
 protected:
  std::map<std::string, std::string> documents;
  std::vector<std::string> fetched;

  ZUVVastResolution resolve(const std::string& first) {
    ZUVVastWrapperResolver::Options options;
    options.fetcher = [this](const platform::URL& url, auto done) {
      fetched.push_back(url.absoluteString());
      auto found = documents.find(url.absoluteString());
      if (found != documents.end()) {
        pending_.push_back(platform::RunLoop::main().performAfterDelay(
            platform::milliseconds(10), [done, body = found->second] { done(body); }));
      }
      return std::make_unique<ZUVVastFetch>();
    };
    ZUVVastWrapperResolver resolver(options);
    std::optional<ZUVVastResolution> result;
    resolver.resolve(*ZUVVastReader::read(first), "first",
                     [&](ZUVVastResolution resolution) { result = std::move(resolution); });
    EXPECT_FALSE(result);  // never inside resolve()
    platform::Harness::advance(platform::seconds(60));
    EXPECT_TRUE(result);
    return result.value_or(ZUVVastResolution{});
  }
  static long code(const ZUVVastResolution& resolution) {
    return resolution.error ? resolution.error->code : 0;
  }

  velour_test::TestWorld world_;
  std::vector<platform::Registration> pending_;
};

TEST_F(ResolverTest, MergesAChainAndRefusesBadOnes) {
  documents["http://w.test/b"] = wrapper("http://w.test/a", "b");
  documents["http://w.test/inline"] = kInline;
  auto direct = resolve(wrapper("http://w.test/inline", "a"));
  ASSERT_TRUE(direct.ad);
  EXPECT_EQ(direct.ad->impressionURLs,
            (std::vector<std::string>{"http://i.test/a", "http://i.test/inline"}));
  EXPECT_EQ(direct.ad->trackingURLs("start"), std::vector<std::string>{"http://t.test/a"});
  EXPECT_EQ(direct.ad->clickTrackingURLs, std::vector<std::string>{"http://c.test/a"});
  EXPECT_EQ(direct.ad->errorURLs, std::vector<std::string>{"http://e.test/a-ad"});
  EXPECT_EQ(direct.chain.size(), 2u);

  // A -> B -> A: refused at the second A, with every wrapper's error URLs.
  documents["http://w.test/a"] = wrapper("http://w.test/b", "a");
  auto cycle = resolve(wrapper("http://w.test/a", "first"));
  EXPECT_EQ(code(cycle), kZUVVastWrapperError);
  EXPECT_EQ(cycle.errorURLs.size(), 3u);  // the wrappers first, a and b
  EXPECT_EQ(fetched, (std::vector<std::string>{"http://w.test/inline", "http://w.test/a",
                                               "http://w.test/b"}));

  for (int i = 0; i < 6; ++i) {
    documents["http://w.test/" + std::to_string(i)] =
        wrapper("http://w.test/" + std::to_string(i + 1), "n");
  }
  documents["http://w.test/6"] = kInline;
  EXPECT_EQ(code(resolve(wrapper("http://w.test/1", "first"))), kZUVVastWrapperLimitReached);
  EXPECT_TRUE(resolve(wrapper("http://w.test/2", "first")).ad);  // five wrappers are fine

  documents["http://w.test/empty"] =
      "<VAST version=\"4.1\"><Error>http://e.test/none</Error></VAST>";
  auto none = resolve(wrapper("http://w.test/empty", "first"));
  EXPECT_EQ(code(none), kZUVVastNoAdAfterWrapper);
  EXPECT_EQ(none.errorURLs.back(), "http://e.test/none");
  documents["http://w.test/blank"] = " ";
  EXPECT_EQ(code(resolve(wrapper("http://w.test/blank", "first"))), kZUVVastNoAdAfterWrapper);
  EXPECT_EQ(
      code(resolve(wrapper("http://w.test/0", "first", " followAdditionalWrappers=\"false\""))),
      kZUVVastNoAdAfterWrapper);
  documents["http://w.test/broken"] = "<VAST version=\"4.1\"><Ad>";
  EXPECT_EQ(code(resolve(wrapper("http://w.test/broken", "first"))), kZUVVastXMLParseError);

  // A wrapper with fallbackOnNoAd that leads nowhere gives way to the document's next ad.
  std::string buffet = wrapper("http://w.test/empty", "first", " fallbackOnNoAd=\"true\"");
  std::string second = kInline.substr(kInline.find("<Ad>"));
  auto fallback = resolve(buffet.substr(0, buffet.find("</VAST>")) + second);
  ASSERT_TRUE(fallback.ad) << fallback.error->localizedDescription();
  EXPECT_EQ(fallback.ad->impressionURLs, std::vector<std::string>{"http://i.test/inline"});

  // Filled macros: the fetch goes to the tag URL with a cache buster, which never answers.
  auto stall = resolve(wrapper("http://w.test/c?cb=[CACHEBUSTING]", "first"));
  EXPECT_EQ(fetched.back().size(), std::string("http://w.test/c?cb=12345678").size());
  EXPECT_EQ(code(stall), kZUVVastWrapperTimeout);
  EXPECT_EQ(stall.errorURLs, (std::vector<std::string>{"http://e.test/first-ad"}));
}

TEST_F(ResolverTest, FetchesOverHTTPWithinItsCaps) {
  velour_test::TestHTTPServer server;
  server.reply("/inline", 200, kInline, {{"Content-Type", "text/xml"}});
  server.reply("/missing", 404, "");
  server.bigBody("/huge", std::size_t{100} << 20, false);
  velour_test::RawTestServer stalling("", false);
  auto run = [&](const std::string& url) {
    ZUVVastWrapperResolver resolver({});
    std::optional<ZUVVastResolution> result;
    resolver.resolve(*ZUVVastReader::read(wrapper(url, "first")), "first",
                     [&](ZUVVastResolution resolution) { result = std::move(resolution); });
    auto deadline = platform::RunLoop::main().hostNow() + platform::seconds(30);
    platform::Harness::runUntilHostTime([&] { return result || stalling.connectionCount() > 0; },
                                        deadline);
    if (!result) platform::Harness::advance(platform::seconds(6));  // the stall's time-out
    platform::Harness::runUntilHostTime([&] { return result.has_value(); }, deadline);
    return result.value_or(ZUVVastResolution{});
  };
  EXPECT_TRUE(run(server.url("/inline")).ad);
  EXPECT_EQ(code(run(server.url("/missing"))), kZUVVastWrapperTimeout);
  EXPECT_EQ(code(run(server.url("/huge"))), kZUVVastXMLParseError);
  EXPECT_EQ(code(run(stalling.url("/"))), kZUVVastWrapperTimeout);
}

}  // namespace
