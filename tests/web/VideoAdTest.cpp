// Video interstitials through the public class on the real engine, against the demo ad server:
// the clip plays in real time, so the loop waits on host time while the manual clock stands.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ads/core/ZUVFullScreenAd.h"
#include "ads/web/ZUVBrowserController.h"
#include "platform/harness/Harness.h"
#include "tests/web/VendorAdServerTest.h"
#include "vozave/InterstitialAd.h"
#include "vozave/RewardedAd.h"

namespace {

using platform::InterfaceOrientation;

class VideoAdTest : public velour_test::VendorAdServerTest {
 protected:
  static bool hostWait(const std::function<bool()>& done) {
    auto& loop = platform::RunLoop::main();
    return platform::Harness::runUntilHostTime(done, loop.hostNow() + platform::seconds(30));
  }
  std::shared_ptr<ZUVInterstitialAdDelegate> listen() {
    auto d = std::make_shared<ZUVInterstitialAdDelegate>();
    auto note = [this](std::string what) {
      return [this, what](ZUVInterstitialAd&) { heard_.push_back(what); };
    };
    d->interstitialDidReceiveAd = note("received");
    d->interstitialWillPresentScreen = note("present");
    d->interstitialDidRecordImpression = note("impression");
    d->interstitialVideoDidStart = note("start");
    d->interstitialDidRecordClick = note("click");
    d->interstitialVideoDidReachQuartile = [this](ZUVInterstitialAd&, int quartile) {
      heard_.push_back("quartile " + std::to_string(quartile));
    };
    d->interstitialDidRecordViewableImpression = note("viewable");
    d->interstitialVideoDidComplete = note("complete");
    d->interstitialDidDismissScreen = note("dismiss");
    return d;
  }
  // The interstitial of a unit that serves `creative`, shown once ready; null when it was not.
  std::shared_ptr<ZUVInterstitialAd> showInterstitial(const std::string& creative) {
    adserver::AdUnit unit;
    unit.interstitials = {creative};
    unit.creatives = {"banner-plain"};
    server_->setUnit("0123456789abcde", unit);
    auto ad = ZUVInterstitialAd::create("0123456789abcde");
    delegate_ = listen();
    ad->setDelegate(delegate_);
    ad->loadRequest(ZUVRequest::request());
    if (!hostWait([&] { return ad->isReady(); })) return nullptr;
    return ad->presentFromRootViewController(root_) ? ad : nullptr;
  }
  std::shared_ptr<ZUVInterstitialAdDelegate> delegate_;
  std::vector<std::string> heard_;
};

// The first frame is the impression; "Learn more" opens the browser over the paused video,
// which goes on once the browser has gone; the interface turns to the wide clip while it is
// up; Close after the end dismisses it, and the server has heard each tracking URL.
TEST_F(VideoAdTest, AVideoInterstitialPlaysClicksThroughAndClosesAfterItsEnd) {
  auto ad = showInterstitial("vast:inline");
  ASSERT_TRUE(ad) << ::testing::PrintToString(heard_);
  ZUVVastPlayer* player = ZUVFullScreenAd::of(ad.get())->player();
  ASSERT_TRUE(player);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            InterfaceOrientation::LandscapeLeft);
  EXPECT_TRUE(platform::Application::shared()->isStatusBarHidden());
  ASSERT_TRUE(hostWait([&] { return player->tracker().hasStarted(); }));
  ASSERT_TRUE(player->tapControl(ZUVVastPlayer::kLearnMore));
  auto browser = std::dynamic_pointer_cast<ZUVBrowserController>(window_->topViewController());
  ASSERT_TRUE(browser);
  const double clickedAt = player->position();
  browser->relinquishScreen();
  ASSERT_TRUE(hostWait([&] { return player->isClosable(); }));
  EXPECT_GT(player->position(), clickedAt);  // resumed
  ASSERT_TRUE(player->tapControl(ZUVVastPlayer::kClose));
  // Two seconds played make it viewable, somewhere among the quartiles.
  EXPECT_EQ(std::erase(heard_, "viewable"), 1u);
  EXPECT_EQ(heard_, (std::vector<std::string>{"received", "present", "impression", "start", "click",
                                              "quartile 1", "quartile 2", "quartile 3", "complete",
                                              "dismiss"}));
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            InterfaceOrientation::Portrait);
  EXPECT_FALSE(platform::Application::shared()->isStatusBarHidden());
  EXPECT_EQ(window_->topViewController(), root_);
  const std::set<std::string> expected = {
      "inline-impression",    "inline-start",    "inline-firstQuartile", "inline-midpoint",
      "inline-thirdQuartile", "inline-complete", "inline-click",         "inline-closeLinear"};
  std::set<std::string> arrived;
  ASSERT_TRUE(hostWait([&] {
    for (const auto& hit : server_->record().requestsOfKind(adserver::RequestKind::Tracking)) {
      if (hit.path.starts_with("/vt/")) arrived.insert(hit.path.substr(4));
    }
    return arrived == expected;
  })) << ::testing::PrintToString(arrived);
}

// A video whose media file is missing fails as it plays: 401 to its error URL, no impression,
// and the ad gives the screen back by itself.
TEST_F(VideoAdTest, AVideoThatCannotPlayFiresItsErrorAndGivesTheScreenBack) {
  auto ad = showInterstitial("vast:broken");
  ASSERT_TRUE(ad) << ::testing::PrintToString(heard_);
  ASSERT_TRUE(hostWait([&] { return !heard_.empty() && heard_.back() == "dismiss"; }))
      << ::testing::PrintToString(heard_);
  EXPECT_EQ(heard_, (std::vector<std::string>{"received", "present", "dismiss"}));
  EXPECT_EQ(window_->topViewController(), root_);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            InterfaceOrientation::Portrait);
  ASSERT_TRUE(hostWait([&] {
    auto hits = server_->record().requestsOfKind(adserver::RequestKind::Tracking);
    return std::any_of(hits.begin(), hits.end(), [](const adserver::RecordedRequest& hit) {
      return hit.path == "/vt/broken-error" && hit.query == "code=401";
    });
  }));
}

// A rewarded video asks its watch time: held to 5 s, longer than the 3 s clip, so it earns once
// at the end and only then may be closed.
TEST_F(VideoAdTest, ARewardedVideoEarnsOnceAndClosesOnlyAfterItsWatchTime) {
  adserver::AdUnit unit;
  unit.rewarded = {"vast:inline"};
  unit.creatives = {"banner-plain"};
  unit.rewardTime = "1";
  server_->setUnit("0123456789abcde", unit);
  auto ad = ZUVRewardedAd::create("0123456789abcde");
  auto delegate = std::make_shared<ZUVRewardedAdDelegate>();
  std::vector<ZUVAdReward> earned;
  delegate->rewardedAdDidEarnReward = [&](ZUVRewardedAd&, const ZUVAdReward& reward) {
    earned.push_back(reward);
  };
  ad->setDelegate(delegate);
  ad->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(hostWait([&] { return ad->isReady(); }));
  ASSERT_TRUE(ad->presentFromRootViewController(root_));
  ZUVVastPlayer* player = ZUVFullScreenAd::of(ad.get())->player();
  ASSERT_TRUE(player);
  ASSERT_TRUE(hostWait([&] { return player->position() > 0; }));
  EXPECT_GT(ad->remainingWatchTime(), platform::Duration::zero());
  EXPECT_FALSE(player->tapControl(ZUVVastPlayer::kClose));
  ASSERT_TRUE(hostWait([&] { return player->isClosable(); }));
  EXPECT_EQ(earned, (std::vector<ZUVAdReward>{{10, "coins"}}));
  EXPECT_EQ(ad->remainingWatchTime(), platform::Duration::zero());
  ASSERT_TRUE(player->tapControl(ZUVVastPlayer::kClose));
  EXPECT_EQ(window_->topViewController(), root_);
  EXPECT_EQ(earned.size(), 1u);
}

}  // namespace
