// MRAID ads in a banner on the real engine: the demo ad server's MRAID creatives check the
// container against the public standard themselves and print what they find on the console;
// the test walks each one through its stages as a user would and reads those lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/web/VendorAdServerTest.h"
#include "tools/adserver/AdServer.h"

namespace {

using platform::RunLoop;

class MraidAdTest : public velour_test::VendorAdServerTest {
 protected:
  void TearDown() override {
    if (banner_) banner_->removeFromSuperview();
    banner_.reset();
    VendorAdServerTest::TearDown();
  }

  // A banner that shows `creative`, its pages' console lines collected.
  void showCreative(const std::string& creative) {
    if (banner_) banner_->removeFromSuperview();
    adserver::AdUnit unit;
    unit.creatives = {creative};
    server_->setUnit("0123456789abcde", unit);
    banner_ = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
    banner_->setAdUnitID("0123456789abcde");
    banner_->setRootViewController(root_);
    root_->view()->addSubview(banner_);
    banner_->webView()->setConsoleHandler(collect());
    events_ = std::make_shared<ZUVBannerViewDelegate>();
    events_->adViewDidFailToReceiveAdWithError =
        [this](platform::View&, const platform::Error& error) { errors_.push_back(error.code); };
    banner_->setDelegate(events_);
    banner_->loadRequest(ZUVRequest::request());
  }

  platform::WebView::ConsoleHandler collect() {
    return [this](const std::string&, const std::string& text) { lines_.push_back(text); };
  }

  // Runs the loop on host time until the pages have printed `line` `times` times; the manual
  // clock stands still.
  bool printed(const std::string& line, long times = 1) {
    return hostWait([&] { return std::count(lines_.begin(), lines_.end(), line) >= times; });
  }

  static bool hostWait(const std::function<bool()>& done) {
    RunLoop& loop = RunLoop::main();
    return loop.runUntilHostTime(done, loop.hostNow() + platform::seconds(30));
  }

  std::vector<std::string> failures() const {
    std::vector<std::string> failed;
    std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(failed), [](auto& line) {
      return line.starts_with("mraid-check FAIL") || line.find("threw") != std::string::npos;
    });
    return failed;
  }

  ZUVMraidController& mraid() { return *banner_->privateObject()->mraid(); }
  void tapAd() { ASSERT_TRUE(banner_->webView()->tapLink(".banner")); }
  void tapCloseControl() { ASSERT_TRUE(mraid().presenter().tapCloseControl()); }

  std::shared_ptr<ZUVBannerView> banner_;
  std::shared_ptr<ZUVBannerViewDelegate> events_;
  std::vector<std::string> lines_;
  std::vector<long> errors_;
};

TEST_F(MraidAdTest, OurCreativesPassTheirOwnChecksInABanner) {
  // One part: the tap expands the page over everything and the refresh waits; the page's own
  // close() puts it back.
  showCreative("mraid-expand");
  ASSERT_TRUE(printed("mraid-done expand ready")) << ::testing::PrintToString(lines_);
  tapAd();
  ASSERT_TRUE(printed("mraid-done expand expanded")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(mraid().state(), ZUVMraidState::Expanded);
  EXPECT_FALSE(banner_->privateObject()->reloadTimer());
  // open() on a tap goes out through the click path: the browser over the ad's own screen.
  ASSERT_TRUE(banner_->webView()->tapLink("Visit the shop"));
  ASSERT_TRUE(printed("mraid-check PASS expand.open-with-tap"));
  auto front = mraid().frontController();
  ASSERT_TRUE(front->modalViewController());
  front->dismissModalViewController(false);
  ASSERT_TRUE(banner_->webView()->tapLink("Close ad"));
  ASSERT_TRUE(printed("mraid-done expand closed")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(mraid().state(), ZUVMraidState::Default);
  EXPECT_TRUE(banner_->privateObject()->reloadTimer());

  // Two parts share one state; the second goes with the close control.
  showCreative("mraid-two-part");
  ASSERT_TRUE(printed("mraid-done two-part ready")) << ::testing::PrintToString(lines_);
  tapAd();
  ASSERT_TRUE(printed("mraid-done two-part expanded"));
  ASSERT_TRUE(mraid().secondPart());
  ASSERT_TRUE(printed("mraid-done two-part-expanded ready")) << ::testing::PrintToString(lines_);
  tapCloseControl();
  ASSERT_TRUE(printed("mraid-done two-part closed"));
  EXPECT_FALSE(mraid().secondPart());

  // Resize with its property errors, again, to expanded and back in one step.
  showCreative("mraid-resize");
  ASSERT_TRUE(printed("mraid-done resize ready")) << ::testing::PrintToString(lines_);
  tapAd();
  ASSERT_TRUE(printed("mraid-done resize resized"));
  banner_->webView()->runJavaScript("resizeAgain()");
  ASSERT_TRUE(printed("mraid-done resize resized", 2));
  banner_->webView()->runJavaScript("mraid.expand()");
  ASSERT_TRUE(printed("mraid-done resize expanded"));
  tapCloseControl();
  ASSERT_TRUE(printed("mraid-done resize closed"));

  // Exposure on registration, then at each change: a screen over the banner, the application
  // in the background, and back. Unload removes the ad and counts as a failed load.
  showCreative("mraid-exposure");
  ASSERT_TRUE(printed("mraid-done exposure ready")) << ::testing::PrintToString(lines_);
  auto viewable = [&](bool seen) {
    const std::string line = std::string("mraid-event viewableChange ") + (seen ? "true" : "false");
    return printed(line, std::count(lines_.begin(), lines_.end(), line) + 1);
  };
  ASSERT_TRUE(
      root_->presentModalViewController(std::make_shared<platform::ViewController>(), false));
  EXPECT_TRUE(viewable(false));
  root_->dismissModalViewController(false);
  EXPECT_TRUE(viewable(true));
  ASSERT_TRUE(platform::Application::shared()->enterBackground());
  EXPECT_TRUE(viewable(false));
  ASSERT_TRUE(platform::Application::shared()->enterForeground());
  EXPECT_TRUE(viewable(true));
  // A view drawn over it, as the information screen's flip side; out of the window, as on a
  // tab switch.
  auto cover = platform::View::create(platform::Rect(0, 300, 320, 180));
  cover->setBackgroundColor("white");
  root_->view()->addSubview(cover);
  EXPECT_TRUE(viewable(false));
  cover->removeFromSuperview();
  EXPECT_TRUE(viewable(true));
  banner_->removeFromSuperview();
  EXPECT_TRUE(viewable(false));
  root_->view()->addSubview(banner_);
  EXPECT_TRUE(viewable(true));
  banner_->webView()->runJavaScript("giveUp()");
  hostWait([&] { return !errors_.empty(); });
  EXPECT_EQ(errors_, std::vector<long>{kZUVErrorNoFill});
  EXPECT_TRUE(banner_->webView()->isHidden());
  EXPECT_TRUE(banner_->privateObject()->reloadTimer());

  EXPECT_EQ(failures(), std::vector<std::string>{});
}

// Each sizeChange finds the page laid out at the ad's size: resized, expanded, turned, closed.
TEST_F(MraidAdTest, EverySizeChangeFindsThePageLaidOutAtTheAdsSize) {
  showCreative("mraid-resize");
  ASSERT_TRUE(printed("mraid-done resize ready")) << ::testing::PrintToString(lines_);
  banner_->webView()->runJavaScript(
      "mraid.addEventListener('sizeChange', function (width, height) {"
      "  console.log('laid out ' + width + 'x' + height + ' at ' + innerWidth + 'x' + innerHeight);"
      "});");
  auto laidOut = [&] {
    std::vector<std::string> found;
    std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(found),
                 [](const std::string& line) { return line.starts_with("laid out "); });
    return found;
  };
  tapAd();
  ASSERT_TRUE(printed("mraid-done resize resized"));
  banner_->webView()->runJavaScript("mraid.expand()");
  ASSERT_TRUE(printed("mraid-done resize expanded"));
  ASSERT_TRUE(platform::Application::shared()->setDeviceOrientation(
      platform::InterfaceOrientation::LandscapeLeft));
  EXPECT_TRUE(printed("laid out 480x320 at 480x320")) << ::testing::PrintToString(laidOut());
  tapCloseControl();
  ASSERT_TRUE(printed("mraid-done resize closed"));
  EXPECT_TRUE(printed("laid out 320x50 at 320x50")) << ::testing::PrintToString(laidOut());
  EXPECT_GE(laidOut().size(), 4u);
  for (const std::string& line : laidOut()) {
    const std::size_t at = line.find(" at ");
    EXPECT_EQ(line.substr(9, at - 9), line.substr(at + 4)) << line;
  }
}

// A page that never asks for mraid.js hears nothing from the container, until it inserts the
// script tag itself.
TEST_F(MraidAdTest, OnlyAPageThatAsksForMraidJsHearsFromTheContainer) {
  showCreative("banner-plain");
  bool received = false;
  events_->adViewDidReceiveAd = [&received](platform::View&) { received = true; };
  ASSERT_TRUE(hostWait([&] { return received; }));
  platform::WebView& page = *banner_->webView();
  EXPECT_EQ(page.stringByEvaluatingJavaScriptFromString("mraid.getState()"), "loading");
  page.runJavaScript(
      "mraid.addEventListener('ready', function () { console.log('late ready'); });"
      "var tag = document.createElement('script'); tag.src = 'mraid.js';"
      "document.head.appendChild(tag);");
  EXPECT_TRUE(printed("late ready"));
  EXPECT_EQ(page.stringByEvaluatingJavaScriptFromString("mraid.getState()"), "default");
}

// The interstitial creative forces landscape: the phone turns while it is up, its checks pass,
// and the close control hides it and turns the phone back.
TEST_F(MraidAdTest, AnInterstitialTurnsThePhoneAndItsCloseControlHidesIt) {
  adserver::AdUnit unit;
  unit.interstitials = {"mraid-interstitial"};
  unit.creatives = {"banner-plain"};
  server_->setUnit("0123456789abcde", unit);
  banner_ = ZUVBannerView::create(platform::Rect(0, 0, 320, 460));
  banner_->setAdUnitID("0123456789abcde");
  banner_->setRootViewController(root_);
  banner_->webView()->setConsoleHandler(collect());
  bool arrived = false;
  events_ = std::make_shared<ZUVBannerViewDelegate>();
  events_->interstitialDidReceiveAd = [&arrived](platform::View&) { arrived = true; };
  banner_->setDelegate(events_);
  // getLocation answers with the location that the application put in the request.
  auto request = ZUVRequest::request();
  request->setLocationWithLatitudeLongitudeAccuracy(48.85f, 2.35f, 30);
  banner_->privateObject()->loadInterstitialRequest(request);
  ASSERT_TRUE(printed("mraid-event stateChange \"default\"")) << ::testing::PrintToString(lines_);
  ASSERT_TRUE(arrived);
  ASSERT_TRUE(mraid().presentInterstitial());
  ASSERT_TRUE(printed("mraid-done interstitial ready")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            platform::InterfaceOrientation::LandscapeLeft);
  EXPECT_TRUE(std::any_of(lines_.begin(), lines_.end(), [](const std::string& line) {
    return line.starts_with("mraid-info location {\"lat\":48.8");
  })) << ::testing::PrintToString(lines_);
  tapCloseControl();
  ASSERT_TRUE(printed("mraid-done interstitial closed")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(mraid().state(), ZUVMraidState::Hidden);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            platform::InterfaceOrientation::Portrait);
  EXPECT_EQ(failures(), std::vector<std::string>{});
}

}  // namespace
