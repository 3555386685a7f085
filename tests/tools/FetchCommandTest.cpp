// vozave fetch against a loopback server, in a home folder of the test's own.
#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

#include "tests/support/RunCommand.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"
#include "tools/adserver/AdServer.h"

namespace {

using Result = velour_test::CommandResult;

Result vozave(const std::string& args) {
  return velour_test::runCommand(VOZAVE_BINARY, args);
}

bool has(const Result& result, const std::string& line) {
  return result.out.find(line + "\n") != std::string::npos;
}

TEST(FetchCommandTest, SecondRunSendsTheConditionalRequest) {
  velour_test::TestWorld world;
  velour_test::TestHTTPServer server;
  server.redirect("/sdk", 302, "/zede/sdk-core-v40.js");
  server.conditional("/zede/sdk-core-v40.js", "script", "Sun, 06 Nov 1994 08:49:37 GMT", 784111777);
  std::string args = "fetch http://static.vozave.test/sdk --home '" + world.home() +
                     "' --resolve static.vozave.test:" + std::to_string(server.port()) +
                     ":127.0.0.1";

  Result first = vozave(args);
  EXPECT_EQ(first.status, 0) << first.out;
  for (const char* line :
       {"no cached copy: full fetch",
        "callback: should redirect to http://static.vozave.test/zede/sdk-core-v40.js",
        "callback: download did end", "status: 200",
        "header: Last-Modified: Sun, 06 Nov 1994 08:49:37 GMT",
        "destination: http://static.vozave.test/zede/sdk-core-v40.js"}) {
    EXPECT_TRUE(has(first, line)) << line << " in " << first.out;
  }
  EXPECT_NE(first.out.find("file: " + world.home() + "/Library/Caches/static.vozave.test/"),
            std::string::npos)
      << first.out;

  Result second = vozave(args);
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_TRUE(has(second, "If-Modified-Since: Sun, 06 Nov 1994 08:49:37 GMT")) << second.out;
  EXPECT_TRUE(has(second, "status: 304")) << second.out;
  EXPECT_EQ(server.requests().back().headers.value("If-Modified-Since"),
            "Sun, 06 Nov 1994 08:49:37 GMT");

  server.reply("/missing", 404, "no");
  Result missing = vozave("fetch " + server.url("/missing") + " --home '" + world.home() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_TRUE(has(missing, "callback: download did fail (no error)")) << missing.out;
  EXPECT_TRUE(has(missing, "status: 404")) << missing.out;

  EXPECT_EQ(vozave("fetch 'not a url'").status, 1);
  EXPECT_EQ(vozave("fetch http://a.test/ --resolve nonsense").status, 2);
  EXPECT_EQ(vozave("fetch").status, 2);
}

TEST(FetchCommandTest, VastFollowsWrappersAndPrintsWhatThePlayerWouldDo) {
  velour_test::TestHTTPServer server;
  server.reply(
      "/wrapper", 200,
      "<VAST version=\"4.2\"><Ad id=\"w\"><Wrapper><Impression>http://i.test/w</Impression>"
      "<VASTAdTagURI>" +
          server.url("/inline") + "</VASTAdTagURI></Wrapper></Ad></VAST>");
  std::string inlineAd =
      "<VAST version=\"2.0\"><Ad id=\"i\"><InLine><Error>http://e.test/?c=[ERRORCODE]</Error>"
      "<Creatives><Creative><Linear skipoffset=\"00:00:05\"><Duration>00:00:10</Duration>"
      "<TrackingEvents><Tracking event=\"midpoint\">http://t.test/mid</Tracking></TrackingEvents>"
      "<MediaFiles><MediaFile type=\"video/webm\" width=\"320\" height=\"180\">http://m.test/a.webm"
      "</MediaFile></MediaFiles></Linear></Creative></Creatives></InLine></Ad></VAST>";
  server.reply("/inline", 200, inlineAd);
  Result followed = vozave("vast " + server.url("/wrapper") + " --follow");
  EXPECT_EQ(followed.status, 0) << followed.out;
  for (std::string line :
       {"  1. " + server.url("/wrapper") + ": wrapper ad \"w\" -> " + server.url("/inline"),
        "  2. " + server.url("/inline") + ": inline ad \"i\", 00:00:10.000",
        std::string("media: http://m.test/a.webm (video/webm)"), std::string("skippable: after 5s"),
        std::string("  impression: http://i.test/w"),
        std::string("  midpoint: http://t.test/mid")}) {
    EXPECT_TRUE(has(followed, line)) << line << " in " << followed.out;
  }
  EXPECT_TRUE(
      has(vozave("vast " + server.url("/wrapper")), "wrapper: not followed (--follow follows it)"));

  server.reply("/flash", 200, inlineAd.replace(inlineAd.find("video/webm"), 10, "video/x-flv"));
  Result unplayable = vozave("vast " + server.url("/flash"));
  EXPECT_EQ(unplayable.status, 1);
  EXPECT_TRUE(has(unplayable, "  fires: http://e.test/?c=403")) << unplayable.out;
  EXPECT_EQ(vozave("vast").status, 2);

  // The demo ad server's video ads: a chain of two wrappers to its clip, a skippable one.
  auto demo = adserver::AdServer::start({});
  ASSERT_TRUE(demo) << demo.error().localizedDescription();
  const auto& ads = *demo.value();
  Result chain = vozave("vast " + ads.localURL("/zede/vast/wrapper.xml") + " --follow");
  EXPECT_EQ(chain.status, 0) << chain.out;
  EXPECT_TRUE(has(chain, "  3. " + ads.localURL("/zede/vast/inline.xml") +
                             ": inline ad \"velour-video\", 00:00:03.000"))
      << chain.out;
  EXPECT_TRUE(has(chain, "media: " + ads.localURL("/zede/video/clip.webm") + " (video/webm)"));
  EXPECT_TRUE(
      has(vozave("vast " + ads.localURL("/zede/vast/skippable.xml")), "skippable: after 1s"));
}

}  // namespace
