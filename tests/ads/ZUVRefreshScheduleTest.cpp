// The refresh schedule on the manual clock, with no ad controller and no web engine: what the
// seen part of the banner is, the test says.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "ads/core/ZUVImpressionWatch.h"
#include "ads/core/ZUVRefreshSchedule.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::RunLoop;
using LoadEnd = ZUVRefreshSchedule::LoadEnd;

class ZUVRefreshScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Application::shared()->finishLaunching(); }

  // Seconds until the pending refresh; -1 with none.
  double dueIn() const {
    const auto& timer = schedule_.timer();
    return timer ? platform::toSeconds(timer.fireDate() - RunLoop::main().now()) : -1;
  }
  static void screen(const int& which, bool up) {
    platform::NotificationCenter::defaultCenter().postNotification(
        up ? "ZUVViewControllerWillPresentFullScreen" : "ZUVViewControllerDidRelinquishFullScreen",
        &which);
  }
  // What the viewable wait's watch reports after a change of what is seen.
  void seenChanged() {
    if (auto changed = changed_) changed();
  }

  velour_test::TestWorld world_;
  int refreshes_ = 0;
  double seen_ = 100;
  std::function<void()> changed_;
  ZUVAdSight sight() {
    return {[this] { return seen_; },
            [this](std::function<void()> changed) {
              changed_ = std::move(changed);
              return platform::Registration(1, [this] { changed_ = nullptr; });
            }};
  }
  ZUVRefreshSchedule schedule_{[this] { ++refreshes_; }, sight()};
};

// Full screens from any banner and the background each pause; a load that ends under them puts
// its delay off until the last of them ends. A screen that was not up ends nothing.
TEST_F(ZUVRefreshScheduleTest, PausesNestAndTheLastToEndArmsTheDelayPutOff) {
  auto application = platform::Application::shared();
  const int screens[3] = {};
  schedule_.loadFailed();
  EXPECT_DOUBLE_EQ(dueIn(), 30);
  screen(screens[0], true);
  application->enterBackground();
  screen(screens[1], true);
  EXPECT_FALSE(schedule_.timer());
  schedule_.loadFailed();  // the second retry, due when the pauses end
  screen(screens[1], false);
  application->enterForeground();
  screen(screens[2], false);
  EXPECT_TRUE(schedule_.isPaused());
  EXPECT_FALSE(schedule_.timer());
  screen(screens[0], false);
  EXPECT_FALSE(schedule_.isPaused());
  EXPECT_DOUBLE_EQ(dueIn(), 60);
  platform::Harness::advance(20s);
  screen(screens[2], false);
  EXPECT_DOUBLE_EQ(dueIn(), 40);
  platform::Harness::advance(40s);
  EXPECT_EQ(refreshes_, 1);

  // A pending retry comes back in full after a pause; an ad replaced while away ends its pause
  // and leaves the next load to arm the refresh.
  schedule_.loadFailed();
  platform::Harness::advance(15s);
  schedule_.setAdAway(true);
  EXPECT_FALSE(schedule_.timer());
  schedule_.setAdAway(false);
  EXPECT_DOUBLE_EQ(dueIn(), 120);
  schedule_.setAdAway(true);
  schedule_.adReplaced();
  EXPECT_FALSE(schedule_.isPaused());
  EXPECT_FALSE(schedule_.timer());
}

// No interval from a server yet: 30, 60, 120, 120 s between retries, again from the start when
// the application asks. An interval sent, "0" (no refresh) too, takes over from the retries.
TEST_F(ZUVRefreshScheduleTest, RetriesBackOffUntilAServerIntervalTakesOver) {
  for (double delay : {30, 60, 120, 120}) {
    schedule_.loadFailed();
    EXPECT_DOUBLE_EQ(dueIn(), delay);
  }
  schedule_.resetRetries();
  schedule_.answered(std::nullopt, LoadEnd::Failed);
  EXPECT_DOUBLE_EQ(dueIn(), 30);
  schedule_.pageFailed();
  EXPECT_DOUBLE_EQ(dueIn(), 60);

  schedule_.answered("0", LoadEnd::Served);
  schedule_.loadFailed();
  schedule_.pageFailed();
  EXPECT_FALSE(schedule_.timer());
  schedule_.answered("3", LoadEnd::Failed);
  EXPECT_DOUBLE_EQ(dueIn(), 10);
  platform::Harness::advance(5s);
  schedule_.pageFailed();  // the answer has armed what follows
  EXPECT_DOUBLE_EQ(dueIn(), 5);
  schedule_.answered("45.5", LoadEnd::Served);
  schedule_.answered("0", LoadEnd::Served);
  auto application = platform::Application::shared();
  application->enterBackground();
  application->enterForeground();
  EXPECT_DOUBLE_EQ(dueIn(), 45.5);  // the last interval
  platform::Harness::advance(45.5s);
  EXPECT_EQ(refreshes_, 1);

  const std::pair<const char*, double> cases[] = {
      {"30", 30},   {"45.5s", 45.5}, {"3", 10},  {"soon", 0}, {"-5", 0},
      {"1e999", 0}, {"inf", 0},      {"nan", 0}, {"0x40", 0},
  };
  for (auto [text, seconds] : cases) {
    EXPECT_EQ(ZUVRefreshSchedule::intervalFromHeader(text), platform::seconds(seconds)) << text;
  }
}

// Off, a refresh goes however little is seen. On, a refresh that falls due unseen waits, through
// pauses, until enough is seen, and goes at once; a load that begins or turning it off ends
// the wait.
TEST_F(ZUVRefreshScheduleTest, AViewableRefreshWaitsUntilEnoughIsSeen) {
  seen_ = 10;
  schedule_.start(30s);
  platform::Harness::advance(30s);
  EXPECT_EQ(refreshes_, 1);

  schedule_.setViewableRefresh(true);
  schedule_.restart();
  platform::Harness::advance(30s);
  EXPECT_EQ(refreshes_, 1);
  EXPECT_TRUE(schedule_.isWaitingToBeSeen());
  auto application = platform::Application::shared();
  application->enterBackground();
  seen_ = 60;
  seenChanged();
  EXPECT_EQ(refreshes_, 1);
  seen_ = 49;
  application->enterForeground();
  EXPECT_FALSE(schedule_.timer());
  EXPECT_EQ(refreshes_, 1);
  seen_ = ZUVRefreshSchedule::kViewableExposure;
  seenChanged();
  EXPECT_EQ(refreshes_, 2);
  EXPECT_FALSE(schedule_.isWaitingToBeSeen());

  seen_ = 0;
  schedule_.restart();
  platform::Harness::advance(30s);
  schedule_.loadBegins();
  EXPECT_FALSE(schedule_.isWaitingToBeSeen());
  schedule_.restart();
  platform::Harness::advance(30s);
  ASSERT_TRUE(schedule_.isWaitingToBeSeen());
  schedule_.setViewableRefresh(false);
  EXPECT_EQ(refreshes_, 3);
}

// The application's interval, kept within 30 ... 120 s, takes the server's place from the
// next load, or from now between loads; 0 stops refreshing; a stop holds until its resume.
TEST_F(ZUVRefreshScheduleTest, TheApplicationsIntervalAndStopTakeOverFromTheServer) {
  schedule_.answered("45", LoadEnd::Served);
  EXPECT_DOUBLE_EQ(dueIn(), 45);
  schedule_.setApplicationInterval(5);
  EXPECT_TRUE(world_.log().contains("<Vozave> A refresh interval of 5 s is outside 30 to 120 s"));
  EXPECT_DOUBLE_EQ(dueIn(), 30);
  schedule_.answered("45", LoadEnd::Served);
  EXPECT_DOUBLE_EQ(dueIn(), 30);
  for (double bad : {-1.0, std::nan("")}) schedule_.setApplicationInterval(bad);
  EXPECT_DOUBLE_EQ(dueIn(), 30);
  schedule_.setApplicationInterval(500);
  EXPECT_DOUBLE_EQ(dueIn(), 120);
  platform::Harness::advance(120s);
  schedule_.loadBegins();
  schedule_.setApplicationInterval(60);  // during a load: from its end, with no retry back-off
  EXPECT_FALSE(schedule_.timer());
  schedule_.loadFailed();
  EXPECT_DOUBLE_EQ(dueIn(), 60);

  schedule_.setStoppedByApplication(true);
  schedule_.answered("45", LoadEnd::Served);
  EXPECT_FALSE(schedule_.timer());
  schedule_.setStoppedByApplication(false);
  EXPECT_DOUBLE_EQ(dueIn(), 60);

  schedule_.setApplicationInterval(0);
  schedule_.answered("45", LoadEnd::Served);
  schedule_.loadFailed();
  EXPECT_FALSE(schedule_.timer());
}

// Display's impression rules on the same sight: one pixel on screen once the page has loaded,
// then half of the ad seen for one whole second while the application is active; each once an ad.
TEST_F(ZUVRefreshScheduleTest, ImpressionsCountWhatIsSeenAndForHowLong) {
  int impressions = 0, viewable = 0;
  bool active = true;
  ZUVImpressionWatch watch(sight(), [&] { return active; },
                           {[&] { ++impressions; }, [&] { ++viewable; }});
  auto see = [this](double percent, platform::Duration time) {
    seen_ = percent;
    seenChanged();
    platform::Harness::advance(time);
  };
  seen_ = 0;
  watch.adShown();
  see(0, 5s);
  EXPECT_EQ(impressions, 0);
  see(49, 10s);
  EXPECT_EQ(impressions, 1);
  EXPECT_EQ(viewable, 0);
  see(50, 900ms);
  see(0, 5s);
  EXPECT_EQ(viewable, 0);
  active = false;
  see(100, 5s);
  EXPECT_EQ(viewable, 0);
  active = true;
  see(50, 1s);
  EXPECT_EQ(viewable, 1);
  see(100, 5s);
  EXPECT_EQ(impressions, 1);
  EXPECT_EQ(viewable, 1);
  // The next ad is counted for itself; one that went is not.
  watch.adShown();
  EXPECT_EQ(impressions, 2);
  watch.adGone();
  see(100, 5s);
  EXPECT_EQ(viewable, 1);
}

}  // namespace
