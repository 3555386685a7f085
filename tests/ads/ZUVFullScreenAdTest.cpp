// Interstitial and rewarded ads on the manual clock: pages served on loopback into web views
// that record, the build page's report and the ad page's load played as their delegates would.
#include <gtest/gtest.h>

#include "ads/core/ZUVFullScreenAd.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"
#include "vozave/InterstitialAd.h"
#include "vozave/RequestError.h"

using namespace std::chrono_literals;

namespace {

class ZUVFullScreenAdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::HostResolution::shared().map(kZUVStaticContentHost, "127.0.0.1",
                                           static_cast<std::uint16_t>(server_.port()));
    server_.reply(kZUVSupportScriptPath, 200, "function ZEDE_buildAdURL(p) {}");
    server_.reply("/ad", 200, "<p>ad</p>",
                  {{"X-Zede-Reward", "10 coins"},
                   {"X-Zede-Reward-Time", "15"},
                   {"X-Zede-Refresh-Rate", "30"}});
    ZUVObjectPrivate::setWebViewMaker([this](const platform::Rect& frame) {
      auto view = std::make_shared<velour_test::RecordingWebView>();
      view->setFrame(frame);
      if (frame.size.width == 1) buildPage_ = view;
      return view;
    });
    platform::Application::shared()->finishLaunching();
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
  }
  void TearDown() override {
    ZUVObjectPrivate::setWebViewMaker(nullptr);
    platform::HostResolution::shared().clear();
  }
  // Real work done; with `clockStandsStill_` the loop's time-outs stay where they are.
  void settle(const std::function<bool()>& done) {
    auto& loop = platform::RunLoop::main();
    ASSERT_TRUE(clockStandsStill_ ? platform::Harness::runUntilHostTime(done, loop.hostNow() + 10s)
                                  : loop.runUntil(done, 10s));
  }
  // Loads and brings the ad page to its end: loaded, or failed when `page` is not served.
  void arrive(ZUVFullScreenAd& ad, const std::string& page = "/ad") {
    ad.loadRequest(ZUVRequest::request());
    settle([&] { return ad.controller()->buildAdWebView() != nullptr; });
    built_ = buildPage_->calls.back();
    ZUVNotificationCenter::defaultCenter().postNotification(
        "loadAdURL", ad.controller()->buildAdWebView().get(), {{"url", server_.url(page)}});
    settle([&] { return ad.controller()->state() != ZUVObjectPrivate::State::FetchingAdPage; });
    auto view = ad.controller()->webView();
    if (ad.controller()->state() == ZUVObjectPrivate::State::LoadingAdPage) {
      view->delegate()->webViewDidFinishLoad(*view);
    }
  }
  std::string refusal(ZUVFullScreenAd& ad, const std::shared_ptr<platform::ViewController>& from) {
    auto shown = ad.present(from);
    return shown ? "shown" : shown.error().localizedDescription();
  }
  // The public classes' delegate messages as they would be relayed.
  ZUVFullScreenAd::Events record() {
    auto note = [this](std::string what) { return [this, what] { events_.push_back(what); }; };
    return {
        note("received"),
        note("willPresent"),
        note("willDismiss"),
        note("didDismiss"),
        note("willLeave"),
        note("expired"),
        [this](const platform::Error& e) { events_.push_back("failed " + std::to_string(e.code)); },
        [this](const ZUVAdReward& r) {
          events_.push_back("earned " + std::to_string(r.amount) + " " + r.type);
        },
        note("impression"),
        note("viewable"),
        note("click"),
        note("videoStarted"),
        note("videoCompleted"),
        note("videoSkipped"),
        [this](int quartile) { events_.push_back("quartile " + std::to_string(quartile)); }};
  }
  // The public rewarded ad's delegate, noting what it hears as record() does.
  std::shared_ptr<ZUVRewardedAdDelegate> rewardedDelegate() {
    auto heard = std::make_shared<ZUVRewardedAdDelegate>();
    auto note = [this](std::string what) {
      return [this, what](ZUVRewardedAd&) { events_.push_back(what); };
    };
    heard->rewardedAdDidReceiveAd = note("received");
    heard->rewardedAdWillPresentScreen = note("willPresent");
    heard->rewardedAdDidRecordImpression = note("impression");
    heard->rewardedAdDidRecordViewableImpression = note("viewable");
    heard->rewardedAdDidEarnReward = [this](ZUVRewardedAd&, const ZUVAdReward& r) {
      events_.push_back("earned " + std::to_string(r.amount) + " " + r.type);
    };
    heard->rewardedAdWillDismissScreen = note("willDismiss");
    heard->rewardedAdDidDismissScreen = note("didDismiss");
    return heard;
  }
  ZUVMraidPresenter& presenter(ZUVFullScreenAd& ad) {
    return ad.controller()->mraid()->presenter();
  }

  velour_test::TestWorld world_;
  velour_test::TestHTTPServer server_;
  std::shared_ptr<velour_test::RecordingWebView> buildPage_;
  std::string built_;
  std::shared_ptr<platform::Window> window_ = platform::Window::create();
  std::shared_ptr<platform::ViewController> root_ = std::make_shared<platform::ViewController>();
  std::vector<std::string> events_;
  bool clockStandsStill_ = false;
};

TEST_F(ZUVFullScreenAdTest, AnInterstitialShowsOnceNeverRefreshesAndExpiresUnshown) {
  auto ad = ZUVFullScreenAd::create(ZUVFullScreenAd::Format::Interstitial, "0123456789abcde");
  ad->setEvents(record());
  EXPECT_EQ(refusal(*ad, root_), "The interstitial ad was not shown: no ad has been loaded.");
  arrive(*ad, "/missing");
  EXPECT_EQ(events_, (std::vector<std::string>{"failed 2"}));
  EXPECT_EQ(refusal(*ad, root_), "The interstitial ad was not shown: its load failed.");

  arrive(*ad);
  EXPECT_NE(built_.find(R"("format":"interstitial_mb")"), std::string::npos) << built_;
  ASSERT_TRUE(ad->isReady());
  EXPECT_EQ(refusal(*ad, nullptr),
            "The interstitial ad was not shown: there is no view controller to present it from.");
  EXPECT_EQ(
      refusal(*ad, std::make_shared<platform::ViewController>()),
      "The interstitial ad was not shown: the view controller to present it from is in no window.");
  EXPECT_EQ(refusal(*ad, root_), "shown");
  EXPECT_EQ(refusal(*ad, root_), "The interstitial ad was not shown: it is on the screen already.");
  EXPECT_TRUE(world_.log().contains(
      "<Vozave> The interstitial ad was not shown: it is on the screen already."));
  EXPECT_EQ(presenter(*ad).presentation(), ZUVMraidPresentation::Interstitial);
  platform::Harness::advance(1s);  // counted once on the screen, not while it waited unseen
  // A browser that the ad opens comes and goes over it without the ad's own messages.
  auto& screens = *ad->controller()->delegateManager();
  screens.willPresentScreen();
  screens.willDismissScreen();
  screens.didDismissScreen();
  ASSERT_TRUE(presenter(*ad).tapCloseControl());
  EXPECT_EQ(events_, (std::vector<std::string>{"failed 2", "received", "willPresent", "impression",
                                               "viewable", "willDismiss", "didDismiss"}));
  // Closed, it loads nothing more, whatever the server's refresh interval.
  const auto loads = ad->controller()->request()->counter();
  platform::Harness::advance(300s);
  EXPECT_EQ(ad->controller()->request()->counter(), loads);
  EXPECT_EQ(refusal(*ad, root_),
            "The interstitial ad was not shown: it has been shown once; load another.");

  // Unshown for its expiry interval, it expires.
  events_.clear();
  arrive(*ad);
  platform::Harness::advance(ZUVInterstitialAd::kDefaultExpiryInterval - 1s);
  EXPECT_TRUE(ad->isReady());
  platform::Harness::advance(2s);
  EXPECT_EQ(events_, (std::vector<std::string>{"received", "expired"}));
  EXPECT_EQ(refusal(*ad, root_),
            "The interstitial ad was not shown: it has expired; load another.");
  EXPECT_TRUE(world_.log().contains("<Vozave> The interstitial ad was not shown within 3600 s"));
}

TEST_F(ZUVFullScreenAdTest, ARewardComesOnceAfterItsWatchedTimeAndNotForAnEarlyClose) {
  // Heard through the public class, as the application hears it.
  auto rewarded = ZUVRewardedAd::create("0123456789abcde");
  auto delegate = rewardedDelegate();
  rewarded->setDelegate(delegate);
  auto ad = ZUVFullScreenAd::of(rewarded.get());
  arrive(*ad);
  EXPECT_NE(built_.find(R"("format":"rewarded_mb")"), std::string::npos) << built_;
  EXPECT_NE(built_.find(R"("vast":"2.0,)"), std::string::npos) << built_;
  EXPECT_EQ(ad->reward(), (ZUVAdReward{10, "coins"}));
  ASSERT_EQ(refusal(*ad, root_), "shown");
  auto close = presenter(*ad).closeControl();
  EXPECT_TRUE(close->isHidden());
  auto title = [&] { return ad->countdown()->countdownControl()->title(); };
  EXPECT_EQ(title(), "Reward in 15 s");
  platform::Harness::advance(5s);
  EXPECT_EQ(title(), "Reward in 10 s");
  // The time stands still in the background and while the user is asked whether to close.
  auto application = platform::Application::shared();
  ASSERT_TRUE(application->enterBackground());
  platform::Harness::advance(30s);
  ASSERT_TRUE(application->enterForeground());
  ASSERT_TRUE(window_->tapButton(title()));
  platform::Harness::advance(30s);
  EXPECT_EQ(ad->remainingWatchTime(), 10s);
  ASSERT_TRUE(window_->tapButton(ZUVRewardCountdown::kKeepWatchingTitle));
  platform::Harness::advance(10s);
  EXPECT_EQ(ad->remainingWatchTime(), 0s);
  EXPECT_FALSE(close->isHidden());
  ASSERT_TRUE(presenter(*ad).tapCloseControl());
  EXPECT_EQ(events_, (std::vector<std::string>{"received", "willPresent", "impression", "viewable",
                                               "earned 10 coins", "willDismiss", "didDismiss"}));

  // Closed before its time, on the user's word: nothing.
  events_.clear();
  arrive(*ad);
  ASSERT_EQ(refusal(*ad, root_), "shown");
  ASSERT_TRUE(window_->tapButton(title()));
  ASSERT_TRUE(window_->tapButton(ZUVRewardCountdown::kCloseNowTitle));
  platform::Harness::advance(60s);
  EXPECT_EQ(events_,
            (std::vector<std::string>{"received", "willPresent", "willDismiss", "didDismiss"}));
}

// A full-screen answer that is VAST is a video: ready once its wrappers and media are through,
// else failed with the standard's code in the error, fired to the error URLs it knows.
TEST_F(ZUVFullScreenAdTest, AVastAnswerIsAVideoReadyToPlayOrFailsWithItsCode) {
  auto document = [this](const std::string& type) {
    return "<VAST version=\"4.1\"><Ad><InLine><Impression>" + server_.url("/imp") +
           "</Impression><Error>" + server_.url("/error?code=[ERRORCODE]") +
           "</Error><Creatives><Creative><Linear><Duration>00:00:03</Duration><MediaFiles>"
           "<MediaFile delivery=\"progressive\" type=\"" +
           type + "\" width=\"320\" height=\"180\">" + server_.url("/clip") +
           "</MediaFile></MediaFiles></Linear></Creative></Creatives></InLine></Ad></VAST>";
  };
  server_.reply("/inline", 200, document("video/webm"), {{"Content-Type", "application/xml"}});
  server_.reply("/wrapper", 200,
                "<?xml version=\"1.0\"?><VAST version=\"3.0\"><Ad><Wrapper><VASTAdTagURI>" +
                    server_.url("/inline") + "</VASTAdTagURI></Wrapper></Ad></VAST>",
                {{"Content-Type", "text/html"}});
  server_.reply("/flash", 200, document("video/x-flv"), {{"Content-Type", "text/xml"}});
  server_.reply("/not-vast", 200, "<html/>", {{"Content-Type", "text/xml"}});
  server_.reply("/error", 204, "");
  auto ad = ZUVFullScreenAd::create(ZUVFullScreenAd::Format::Interstitial, "0123456789abcde");
  ZUVFullScreenAd::Events events = record();
  events.failed = [this](const platform::Error& error) {
    const platform::Value* vast = error.userInfo.find(kZUVErrorVastCodeKey);
    events_.push_back("failed " + std::to_string(error.code) + " vast " +
                      (vast ? std::to_string(static_cast<long>(vast->doubleValue())) : "none"));
  };
  ad->setEvents(events);
  clockStandsStill_ = true;  // the wrappers' fetches over loopback beat their time-out
  arrive(*ad, "/wrapper");
  settle([&] { return !events_.empty(); });
  EXPECT_EQ(events_, std::vector<std::string>{"received"});
  ASSERT_TRUE(ad->isReady() && ad->controller()->video());
  EXPECT_EQ(ad->controller()->video()->media.file.url, server_.url("/clip"));
  const std::pair<std::string, std::string> cases[] = {{"/flash", "failed 1 vast 403"},
                                                       {"/not-vast", "failed 1 vast 101"}};
  for (const auto& [path, outcome] : cases) {
    events_.clear();
    arrive(*ad, path);
    settle([&] { return !events_.empty(); });
    EXPECT_EQ(events_, std::vector<std::string>{outcome}) << path;
  }
  settle([&] { return server_.requestCount("/error") == 1; });
  for (const auto& request : server_.requests()) {
    if (request.path == "/error") {
      EXPECT_EQ(request.query, "code=403");
    }
  }
  EXPECT_EQ(server_.requestCount("/imp"), 0u);  // an impression is the first frame, not the load
  EXPECT_EQ(refusal(*ad, root_), "The interstitial ad was not shown: its load failed.");
}

TEST_F(ZUVFullScreenAdTest, RewardHeadersReadAsTheirDefinedOutcomes) {
  using C = ZUVRewardCountdown;
  const std::pair<std::optional<std::string>, ZUVAdReward> rewards[] = {
      {"10 coins", {10, "coins"}},
      {"7  extra lives ", {7, "extra lives"}},
      {std::nullopt, {}},
      {"-5 coins", {}},
      {"coins", {}},
      {"10coins", {}},
      {"10 ", {}},
      {"99999999999999999999999 gems", {C::kMaximumAmount, "gems"}},
      {"3 gems, 4 coins", {3, "gems"}}};
  for (const auto& [header, reward] : rewards)
    EXPECT_EQ(C::readReward(header), reward) << header.value_or("(none)");
  const std::pair<std::optional<std::string>, platform::Duration> times[] = {
      {"15", 15s},     {std::nullopt, 30s},           {"0", 5s}, {"9999", 120s}, {"ten", 30s},
      {"15, 20", 15s}, {"99999999999999999999", 120s}};
  for (const auto& [header, time] : times) EXPECT_EQ(C::readWatchTime(header), time);
}

}  // namespace
