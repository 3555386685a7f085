#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVClickTracker.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "tests/support/ShortNetworkTimeouts.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::URL;
using velour_test::RawTestServer;
using velour_test::TestHTTPServer;

// Records every report as "redirect <url>" or "fail <domain> <code>" / "fail null".
struct Reports {
  std::vector<std::string> events;
  std::shared_ptr<ZUVClickTrackerDelegate> delegate = std::make_shared<ZUVClickTrackerDelegate>();

  Reports() {
    delegate->trackerDidRedirect = [this](ZUVClickTracker&, const std::optional<URL>& url) {
      events.push_back("redirect " + (url ? url->absoluteString() : std::string("null")));
    };
    delegate->trackerDidFailWithError = [this](ZUVClickTracker&,
                                               const std::optional<platform::Error>& error) {
      events.push_back(error ? "fail " + error->domain + " " + std::to_string(error->code)
                             : "fail null");
    };
  }
};

class ZUVClickTrackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Harness::resetRunLoop(false);
    savedTasks_ = ZUVClickTracker::backgroundTasks();
    server.reply("/ok", 200, "ok");
  }
  void TearDown() override {
    ZUVClickTracker::backgroundTasks() = savedTasks_;
    platform::HostResolution::shared().clear();
  }

  std::shared_ptr<ZUVClickTracker> tracker() {
    auto tracker = ZUVClickTracker::create();
    tracker->setDelegate(reports.delegate);
    return tracker;
  }
  static bool runUntilTracked(const std::shared_ptr<ZUVClickTracker>& tracker) {
    return platform::RunLoop::main().runUntil([&] { return tracker->hasTracked(); }, 20s);
  }
  static std::size_t openTasks() {
    return platform::Application::shared()->openBackgroundTaskCount();
  }

  velour_test::TestWorld world_;
  TestHTTPServer server;
  Reports reports;
  velour_test::ShortNetworkTimeouts timeouts_;
  ZUVClickTracker::BackgroundTasks savedTasks_;
};

TEST_F(ZUVClickTrackerTest, FollowsRedirectsKeepsTheTicketAndReportsFailures) {
  server.redirect("/ck/T123", 302, "/hop");
  server.redirect("/hop", 301, "http://ads.vozave.com/landing");
  server.reply("/landing", 200, "<html></html>");
  platform::HostResolution::shared().map("ads.vozave.com", "127.0.0.1",
                                         static_cast<std::uint16_t>(server.port()));
  auto& statistics = ZUVStatistics::sharedStatistics();
  statistics.urlForClick(*URL::parse("http://ads.vozave.com/aclk?ai=x"));

  auto tracked = tracker();
  tracked->trackURL(URL::parse("http://ads.vozave.com/ck/T123"));
  EXPECT_EQ(openTasks(), 1u);
  ASSERT_TRUE(runUntilTracked(tracked));
  EXPECT_EQ(reports.events, std::vector<std::string>{"redirect http://ads.vozave.com/landing"});
  EXPECT_EQ(tracked->trackingURL()->absoluteString(), "http://ads.vozave.com/landing");
  EXPECT_EQ(openTasks(), 0u);
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 0u);
  auto click = statistics.timingNamed(kZUVParameterPriorClickLatency);
  ASSERT_TRUE(click);
  EXPECT_EQ(click->valueForKey(kZUVParameterPriorImpressionTicketString),
            platform::Value(std::string("T123")));

  // A refused status ends it as failed without an error; nothing is retried, and the ticket of
  // a host off the ad network is not kept.
  server.reply("/gone", 404, "no");
  tracked->trackURL(URL::parse(server.url("/gone")));
  ASSERT_TRUE(runUntilTracked(tracked));
  EXPECT_EQ(reports.events.back(), "fail null");
  EXPECT_EQ(server.requestCount("/gone"), 1u);
  EXPECT_EQ(openTasks(), 0u);
  EXPECT_EQ(click->valueForKey(kZUVParameterPriorImpressionTicketString),
            platform::Value(std::string("T123")));

  RawTestServer cut("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome", true);
  tracked->trackURL(URL::parse(cut.url("/ck/x")));
  ASSERT_TRUE(runUntilTracked(tracked));
  EXPECT_EQ(reports.events.back(), "fail " + std::string(platform::kURLErrorDomain) + " " +
                                       std::to_string(platform::kURLErrorNetworkConnectionLost));
  EXPECT_EQ(reports.events.size(), 3u);

  // Without a delegate the tracking still runs to its end and lets go of its task.
  tracked->setDelegate({});
  tracked->trackURL(URL::parse(server.url("/landing")));
  ASSERT_TRUE(runUntilTracked(tracked));
  EXPECT_EQ(openTasks(), 0u);
  EXPECT_EQ(reports.events.size(), 3u);
}

TEST_F(ZUVClickTrackerTest, StopsAtTheFirstLinkThatIsNotAWebURL) {
  server.redirect("/store", 302, "/app");
  server.redirect("/app", 302, "itms-apps://itunes.apple.com/app/id42");
  server.redirect("/look-alike", 302, "httpapp://open/offer");
  auto tracked = tracker();
  tracked->trackURL(URL::parse(server.url("/store")));
  ASSERT_TRUE(runUntilTracked(tracked));
  platform::Harness::advance(0.2s);
  // Once, and the failure that stopping the fetch brings is not reported.
  EXPECT_EQ(reports.events,
            std::vector<std::string>{"redirect itms-apps://itunes.apple.com/app/id42"});
  EXPECT_EQ(openTasks(), 0u);

  // A scheme that only begins with "http" is some application's too.
  tracked->trackURL(URL::parse(server.url("/look-alike")));
  ASSERT_TRUE(runUntilTracked(tracked));
  platform::Harness::advance(0.2s);
  EXPECT_EQ(reports.events.back(), "redirect httpapp://open/offer");
  EXPECT_EQ(reports.events.size(), 2u);

  // A URL without a scheme stops the fetch too, with the ad client's error.
  auto file = ZUVCachedFile::create({}, *URL::parse(server.url("/x")));
  auto idle = ZUVClickTracker::create();
  auto stop = idle->cachedFileShouldRedirectToURL(*file, URL{});
  ASSERT_TRUE(stop);
  EXPECT_EQ(stop->domain, kZUVErrorDomain);
  EXPECT_TRUE(idle->hasTracked());
}

TEST_F(ZUVClickTrackerTest, RestartsResetsAndExpiresWithoutReport) {
  RawTestServer stall("", false);
  auto tracked = tracker();

  tracked->trackURL(URL::parse(stall.url("/first")));
  tracked->trackURL(std::nullopt);
  EXPECT_EQ(tracked->trackingURL()->absoluteString(), stall.url("/first"));
  EXPECT_EQ(openTasks(), 1u);
  tracked->trackURL(URL::parse(server.url("/ok")));
  EXPECT_EQ(openTasks(), 1u);
  ASSERT_TRUE(runUntilTracked(tracked));
  platform::Harness::advance(0.8s);  // past the first fetch's idle time-out
  EXPECT_EQ(reports.events, std::vector<std::string>{"redirect " + server.url("/ok")});

  // After its end the cached file stays until the next reset.
  auto path = ZUVCachedFile::create({}, *URL::parse(server.url("/ok")))->filePath();
  EXPECT_TRUE(platform::FileManager::defaultManager().fileExists(*path));
  tracked->reset();
  EXPECT_FALSE(platform::FileManager::defaultManager().fileExists(*path));
  EXPECT_FALSE(tracked->trackingURL());
  EXPECT_FALSE(tracked->hasTracked());

  // A delegate that starts the next tracking from its report keeps that tracking's task.
  reports.delegate->trackerDidRedirect = [&](ZUVClickTracker& t, const std::optional<URL>&) {
    reports.events.push_back("chained");
    t.trackURL(URL::parse(stall.url("/next")));
  };
  tracked->trackURL(URL::parse(server.url("/ok")));
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return reports.events.size() == 2; }, 20s));
  EXPECT_EQ(reports.events.back(), "chained");
  EXPECT_FALSE(tracked->hasTracked());
  EXPECT_EQ(tracked->trackingURL()->absoluteString(), stall.url("/next"));
  EXPECT_EQ(openTasks(), 1u);
  tracked.reset();
  EXPECT_EQ(openTasks(), 0u);

  // Background time running out resets the tracking, without report.
  platform::Harness::resetRunLoop(true);
  platform::URLConnection::settings().idleTimeout = 100000s;
  reports.events.clear();
  auto expiring = tracker();
  expiring->trackURL(URL::parse(stall.url("/slow")));
  ASSERT_TRUE(platform::Application::shared()->enterBackground());
  platform::Harness::advance(platform::Application::kBackgroundTimeLimit + 1s);
  EXPECT_FALSE(expiring->trackingURL());
  EXPECT_EQ(openTasks(), 0u);
  EXPECT_TRUE(reports.events.empty());
}

TEST_F(ZUVClickTrackerTest, CountsTrackingsWhereThereAreNoBackgroundTasks) {
  ZUVClickTracker::backgroundTasks() = {};
  RawTestServer stall("", false);
  auto a = tracker();
  auto b = tracker();
  EXPECT_FALSE(ZUVClickTracker::activeTrackings());

  a->trackURL(URL::parse(server.url("/ok")));
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 1u);
  EXPECT_TRUE(ZUVClickTracker::activeTrackings());
  // B's opening reset lowers A's count before B counts itself.
  b->trackURL(URL::parse(stall.url("/b")));
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 1u);
  ASSERT_TRUE(runUntilTracked(a));
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 0u);
  EXPECT_FALSE(ZUVClickTracker::activeTrackings());
  EXPECT_EQ(openTasks(), 0u);

  // Never below 0, however many trackers reset.
  b->reset();
  a->reset();
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 0u);
  a->trackURL(URL::parse(stall.url("/a")));
  b->trackURL(URL::parse(stall.url("/b")));
  a.reset();
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 0u);
  b.reset();
  EXPECT_EQ(ZUVClickTracker::trackingCount(), 0u);
}

}  // namespace
