// The video player on the real engine with the 3 s clip served from 127.0.0.1: it plays in
// real time, so the whole suite takes a few seconds per ad.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "ads/vast/ZUVVastPlayer.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "tests/support/EngineTest.h"
#include "tests/support/TestHTTPServer.h"

namespace {

using platform::RunLoop;

class VastPlayerTest : public velour_test::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    std::ifstream file(std::string(VELOUR_RESOURCES_DIR) + "/adserver/video/clip.webm");
    std::stringstream clip;
    clip << file.rdbuf();
    server_.reply("/clip.webm", 200, clip.str(), {{"Content-Type", "video/webm"}});
    server_.reply("/page.webm", 200, "<html>not a video</html>", {{"Content-Type", "video/webm"}});
    for (const char* event : {"/imp", "/err", "/start", "/firstQuartile", "/midpoint",
                              "/thirdQuartile", "/complete", "/skip", "/closeLinear"}) {
      server_.reply(event, 200, "");
    }
    showWindow();
  }
  void TearDown() override {
    if (player_) root_->dismissModalViewController(false);
    player_.reset();
    EngineTest::TearDown();
  }

  // A 3 s ad of the clip at `media`, skippable after 1 s when asked.
  ZUVVastAd ad(const std::string& media, bool skippable) {
    ZUVVastAd ad;
    ad.impressionURLs = {server_.url("/imp"),
                         "http://127.0.0.1:" + std::to_string(silent_.port()) + "/never"};
    ad.errorURLs = {server_.url("/err?c=[ERRORCODE]")};
    for (const char* event : {"start", "firstQuartile", "midpoint", "thirdQuartile", "complete",
                              "skip", "closeLinear"}) {
      ad.tracking.push_back({event, std::nullopt, server_.url(std::string("/") + event)});
    }
    ad.durationSeconds = 3;
    if (skippable) ad.skipOffset = ZUVVastOffset{false, 1};
    ad.clickThroughURL = "http://shop.test/";
    ad.mediaFiles.resize(1);
    ad.mediaFiles[0].url = server_.url(media);
    return ad;
  }

  void play(const ZUVVastAd& ad, std::optional<platform::Duration> rewardAfter = {}) {
    ZUVVastPlayerCallbacks callbacks;
    callbacks.started = [this] { note("started"); };
    callbacks.reached = [this](int q) { note("q" + std::to_string(q)); };
    callbacks.rewarded = [this] { note("rewarded"); };
    callbacks.completed = [this] { events_.push_back("completed"); };
    callbacks.skipped = [this] { events_.push_back("skipped"); };
    callbacks.closed = [this] { events_.push_back("closed"); };
    callbacks.clicked = [this](const std::string& url) { clicked_ = url; };
    callbacks.failed = [this](long code) { events_.push_back("failed " + std::to_string(code)); };
    player_ = ZUVVastPlayer::create(ad, ad.mediaFiles.at(0), callbacks);
    player_->setRewardAfter(rewardAfter);
    ASSERT_TRUE(root_->presentModalViewController(player_, false));
  }

  // The event, and the controls that showed as it came.
  void note(const std::string& event) {
    events_.push_back(event);
    controlsAt_[event] = player_->visibleControls();
  }

  static bool hostWait(const std::function<bool()>& done, int seconds = 30) {
    return platform::Harness::runUntilHostTime(
        done, RunLoop::main().hostNow() + platform::seconds(seconds));
  }
  bool heard(const std::string& event) {
    return hostWait([&] { return std::count(events_.begin(), events_.end(), event) > 0; });
  }
  // Plays an ad that cannot be played to its failure; the events that came. A stalled file
  // says nothing: its time-out runs on the manual clock.
  std::vector<std::string> failing(const ZUVVastAd& ad) {
    events_.clear();
    play(ad);
    if (!hostWait([&] { return !events_.empty(); }, 10)) {
      platform::Harness::advance(ZUVVastPlayer::kStallTimeout);
    }
    hostWait([&] { return !events_.empty(); });
    root_->dismissModalViewController(false);
    return events_;
  }
  std::vector<std::string> arrived() const {
    std::vector<std::string> paths;
    for (const auto& request : server_.requests()) {
      if (request.path != "/clip.webm") paths.push_back(request.path);
    }
    return paths;
  }

  velour_test::TestHTTPServer server_;
  velour_test::RawTestServer silent_{"", false};  // a tracking server that never answers
  std::shared_ptr<ZUVVastPlayer> player_;
  std::vector<std::string> events_;
  std::map<std::string, std::vector<std::string>> controlsAt_;
  std::string clicked_;
};

TEST_F(VastPlayerTest, PlaysFiresTrackingInOrderSkipsAfterItsOffsetAndClosesAfterTheEnd) {
  play(ad("/clip.webm", false));
  ASSERT_TRUE(heard("started"));
  EXPECT_EQ(player_->visibleControls(), (std::vector<std::string>{"Unmute", "Learn more"}));
  EXPECT_FALSE(player_->tapControl("Close"));
  ASSERT_TRUE(heard("completed"));
  EXPECT_EQ(events_, (std::vector<std::string>{"started", "q1", "q2", "q3", "completed"}));
  ASSERT_TRUE(player_->tapControl("Close"));
  EXPECT_EQ(events_.back(), "closed");
  // Fired in the order played; each on a fetch of its own, so they may arrive in any order.
  const std::vector<std::string> fired = player_->tracker().firedEvents();
  auto firedAt = [&](const std::string& event) {
    return std::find(fired.begin(), fired.end(), event) - fired.begin();
  };
  std::vector<std::string> order = {"start",         "firstQuartile", "midpoint",
                                    "thirdQuartile", "complete",      "closeLinear"};
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_LT(firedAt(order[i - 1]), firedAt(order[i])) << order[i];
  }
  EXPECT_LT(firedAt("closeLinear"), static_cast<std::ptrdiff_t>(fired.size()));
  root_->dismissModalViewController(false);
  player_.reset();  // its tracking fetches outlive it
  ASSERT_TRUE(hostWait([&] { return arrived().size() >= 7; }));
  auto got = arrived();
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"/closeLinear", "/complete", "/firstQuartile", "/imp",
                                           "/midpoint", "/start", "/thirdQuartile"}));

  events_.clear();
  play(ad("/clip.webm", true));
  ASSERT_TRUE(heard("started"));
  EXPECT_FALSE(player_->tapControl("Skip"));  // not before its offset
  ASSERT_TRUE(player_->tapControl("Unmute"));
  EXPECT_TRUE(player_->tapControl("Mute"));
  ASSERT_TRUE(player_->tapControl("Learn more"));  // pauses until the owner resumes
  EXPECT_EQ(clicked_, "http://shop.test/");
  const double at = player_->position();
  auto& center = platform::NotificationCenter::defaultCenter();
  center.postNotification(platform::kApplicationDidEnterBackgroundNotification, nullptr);
  center.postNotification(platform::kApplicationWillEnterForegroundNotification, nullptr);
  hostWait([] { return false; }, 1);
  // A return from the background resumes only its own pause; the pause itself may report the
  // last frame's time.
  EXPECT_NEAR(player_->position(), at, 0.25);
  player_->resume();
  center.postNotification(platform::kApplicationDidEnterBackgroundNotification, nullptr);
  center.postNotification(platform::kApplicationWillEnterForegroundNotification, nullptr);
  EXPECT_EQ(player_->tracker().firedEvents(),
            (std::vector<std::string>{"impression", "creativeView", "start", "unmute", "mute",
                                      "pause", "clickTracking", "resume", "pause", "resume"}));
  ASSERT_TRUE(hostWait([&] { return player_->position() >= 1; }));
  ASSERT_TRUE(player_->tapControl("Skip"));
  EXPECT_EQ(events_.back(), "closed");
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "skipped"), 1);
  ASSERT_TRUE(hostWait([&] { return server_.requestCount("/skip") == 1; }));
  EXPECT_EQ(server_.requestCount("/complete"), 1u);  // the first ad's only
}

TEST_F(VastPlayerTest, MediaMissingNotVideoOrStalledFailsWithItsCode) {
  EXPECT_EQ(failing(ad("/missing.webm", false)), std::vector<std::string>{"failed 401"});
  EXPECT_EQ(failing(ad("/page.webm", false)), std::vector<std::string>{"failed 401"});
  velour_test::RawTestServer stalls("", false);
  auto stalling = ad("/clip.webm", false);
  stalling.mediaFiles[0].url = "http://127.0.0.1:" + std::to_string(stalls.port()) + "/c.webm";
  EXPECT_EQ(failing(stalling), std::vector<std::string>{"failed 402"});
  ASSERT_TRUE(hostWait([&] { return server_.requestCount("/err") == 3; }));
  std::vector<std::string> codes;
  for (const auto& request : server_.requests()) {
    if (request.path == "/err") codes.push_back(request.query);
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"c=401", "c=401", "c=402"}));
  EXPECT_EQ(server_.requestCount("/imp"), 0u);
}

TEST_F(VastPlayerTest, RewardedCountsDownWithoutSkipOrCloseThenRewardsOnceAtItsTimeOrItsEnd) {
  play(ad("/clip.webm", true), platform::seconds(2));
  ASSERT_TRUE(heard("started"));
  const std::vector<std::string> counting = {"Unmute", "Learn more", "Reward in 2 s"};
  EXPECT_EQ(controlsAt_["started"], counting);
  ASSERT_TRUE(player_->tapControl(counting.back()));  // no early close for a video
  EXPECT_FALSE(player_->isClosable());
  ASSERT_TRUE(heard("rewarded"));
  // Past the skip offset, not yet rewarded: no Skip, and the countdown counts on the playhead.
  const std::vector<std::string> half = controlsAt_["q2"];
  ASSERT_EQ(half.size(), 3u);
  EXPECT_TRUE(half[2] == "Reward in 1 s" || half[2] == "Reward in 0 s") << half[2];
  EXPECT_EQ(controlsAt_["rewarded"],
            (std::vector<std::string>{"Unmute", "Learn more", "Skip", "Close"}));
  ASSERT_TRUE(hostWait([&] { return player_->position() >= 2.5; }));
  ASSERT_TRUE(player_->tapControl("Close"));
  EXPECT_EQ(std::count(events_.begin(), events_.end(), "rewarded"), 1);
  EXPECT_EQ(player_->tracker().firedEvents().back(), "closeLinear");
  root_->dismissModalViewController(false);

  events_.clear();
  play(ad("/clip.webm", false), platform::seconds(5));  // longer than the clip
  ASSERT_TRUE(heard("completed"));
  EXPECT_EQ(controlsAt_["q3"].size(), 3u);  // the countdown, and no Close
  EXPECT_EQ(std::vector<std::string>(events_.end() - 2, events_.end()),
            (std::vector<std::string>{"rewarded", "completed"}));
}

}  // namespace
