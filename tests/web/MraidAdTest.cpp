// MRAID ads in a banner on the real engine: the demo ad server's MRAID creatives check the
// container against the public standard themselves and print what they find on the console;
// the test walks each one through its stages as a user would and reads those lines.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVFullScreenAd.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVViewController.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/web/VendorAdServerTest.h"
#include "tools/adserver/AdServer.h"
#include "vozave/InterstitialAd.h"

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
    adserver::AdUnit unit;
    unit.creatives = {creative};
    server_->setUnit("0123456789abcde", unit);
    showBanner(platform::Rect(0, 361, 320, 50));
  }

  void showBanner(const platform::Rect& frame) {
    if (banner_) banner_->removeFromSuperview();
    banner_ = ZUVBannerView::create(frame);
    banner_->setAdUnitID("0123456789abcde");
    banner_->setRootViewController(root_);
    root_->view()->addSubview(banner_);
    page().setConsoleHandler(collect());
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
  bool printed(const std::string& line, long times = 1,
               platform::Duration budget = platform::seconds(30)) {
    return hostWait([&] { return std::count(lines_.begin(), lines_.end(), line) >= times; },
                    budget);
  }

  static bool hostWait(const std::function<bool()>& done,
                       platform::Duration budget = platform::seconds(30)) {
    RunLoop& loop = RunLoop::main();
    return platform::Harness::runUntilHostTime(done, loop.hostNow() + budget);
  }

  std::vector<std::string> failures() const {
    std::vector<std::string> failed;
    std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(failed), [](auto& line) {
      return line.starts_with("mraid-check FAIL") || line.find("threw") != std::string::npos;
    });
    return failed;
  }

  ZUVObjectPrivate& controller() { return *ZUVBannerController(*banner_); }
  platform::WebView& page() { return *controller().webView(); }
  ZUVMraidController& mraid() { return *controller().mraid(); }
  void tapAd() { ASSERT_TRUE(page().tapLink(".banner")); }
  void tapCloseControl() { ASSERT_TRUE(mraid().presenter().tapCloseControl()); }

  // Logs each error event's action as "refused ACTION".
  static constexpr const char* kLogErrors =
      "mraid.addEventListener('error', function (m, action) { console.log('refused ' + action); "
      "});";

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
  EXPECT_FALSE(controller().refresh().timer());
  // open() on a tap goes out through the click path: the browser over the ad's own screen.
  ASSERT_TRUE(page().tapLink("Visit the shop"));
  ASSERT_TRUE(printed("mraid-check PASS expand.open-with-tap"));
  // Done on the browser: the expanded ad's own screen still holds the refresh.
  auto browser = std::dynamic_pointer_cast<ZUVViewController>(
      mraid().frontController()->modalViewController());
  ASSERT_TRUE(browser);
  browser->relinquishScreen();
  EXPECT_EQ(mraid().state(), ZUVMraidState::Expanded);
  EXPECT_FALSE(controller().refresh().timer());
  ASSERT_TRUE(page().tapLink("Close ad"));
  ASSERT_TRUE(printed("mraid-done expand closed")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(mraid().state(), ZUVMraidState::Default);
  EXPECT_TRUE(controller().refresh().timer());
  // Once closed, it takes the screen again only on a tap.
  page().runJavaScript(kLogErrors + std::string("mraid.expand();"));
  ASSERT_TRUE(printed("refused expand"));
  EXPECT_EQ(mraid().state(), ZUVMraidState::Default);
  // The author sees why in the developer log too.
  EXPECT_TRUE(world_->log().contains(
      "<Vozave> MRAID expand failed: expand is allowed again only on the user's tap"));

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
  // Resized, it holds the refresh; a screen that comes and goes over it leaves it on top.
  EXPECT_FALSE(controller().refresh().timer());
  ASSERT_TRUE(
      root_->presentModalViewController(std::make_shared<platform::ViewController>(), false));
  root_->dismissModalViewController(false);
  auto control = mraid().presenter().closeControl();
  ASSERT_TRUE(control);
  const platform::Rect at = control->frameInWindow();
  EXPECT_EQ(window_->hitTest({at.midX(), at.midY()}), control);
  // A size far past the max-size area, its close region on the screen, is refused by the bridge
  // and by the container for a page that goes round the bridge.
  page().runJavaScript(
      kLogErrors +
      std::string("mraid.setResizeProperties({width: 1e7, height: 1e7, offsetX: 0, offsetY: -361,"
                  " customClosePosition: 'top-left'});"
                  "location.href = 'vozave-mraid:resize?width=2000&height=2000&offsetX=0&"
                  "offsetY=-361&customClosePosition=top-left';"));
  ASSERT_TRUE(printed("refused setResizeProperties"));
  ASSERT_TRUE(printed("refused resize"));
  EXPECT_EQ(page().frameInWindow().size.height, 250);
  page().runJavaScript("resizeAgain()");
  ASSERT_TRUE(printed("mraid-done resize resized", 2));
  page().runJavaScript("mraid.expand()");
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
  page().runJavaScript("giveUp()");
  hostWait([&] { return !errors_.empty(); });
  EXPECT_EQ(errors_, std::vector<long>{kZUVErrorNoFill});
  EXPECT_TRUE(page().isHidden());
  EXPECT_TRUE(controller().refresh().timer());

  EXPECT_EQ(failures(), std::vector<std::string>{});
}

// Each sizeChange finds the page laid out at the ad's size: resized, expanded, turned, closed.
TEST_F(MraidAdTest, EverySizeChangeFindsThePageLaidOutAtTheAdsSize) {
  showCreative("mraid-resize");
  ASSERT_TRUE(printed("mraid-done resize ready")) << ::testing::PrintToString(lines_);
  page().runJavaScript(
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
  page().runJavaScript("mraid.expand()");
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

// A page that never asks for mraid.js costs nothing until it touches mraid: from then on it is
// an MRAID ad, and `ready` finds it viewable and its resize properties an object. Its untapped
// two-part expand loads the second part, whose redirect to another application no one tapped.
TEST_F(MraidAdTest, APageIsAnMraidAdFromItsFirstTouchOfTheBridge) {
  velour_test::TestHTTPServer redirector;
  redirector.redirect("/redir", 302, "itms-apps://apps.vozave.com/app/sunny-coffee");
  showCreative("banner-plain");
  bool received = false;
  events_->adViewDidReceiveAd = [&received](platform::View&) { received = true; };
  ASSERT_TRUE(hostWait([&] { return received; }));
  EXPECT_FALSE(mraid().engaged());
  page().runJavaScript(
      "mraid.addEventListener('ready', function () {"
      "  console.log('ready ' + mraid.isViewable() + ' ' +"
      "              (mraid.getResizeProperties() || {}).customClosePosition);"
      "  mraid.expand('" +
      redirector.url("/redir") + "');});");
  EXPECT_TRUE(printed("ready true top-right")) << ::testing::PrintToString(lines_);
  auto refused = [&] {
    auto part = mraid().secondPart();
    auto delegate =
        part ? std::dynamic_pointer_cast<ZUVWebViewDelegate>(part->delegate()) : nullptr;
    return delegate && delegate->gate()->refusedCount() > 0;
  };
  auto app = platform::Application::shared();
  hostWait([&] { return refused() || !app->openedURLs().empty(); });
  EXPECT_EQ(mraid().state(), ZUVMraidState::Expanded);
  EXPECT_TRUE(refused());
  EXPECT_EQ(app->openedURLs(), std::vector<std::string>{});

  // An interstitial's page knows its placement from its first line, before any update.
  auto interstitial = ZUVBannerView::create(platform::Rect(0, 0, 320, 460));
  interstitial->setAdUnitID("0123456789abcde");
  interstitial->setRootViewController(root_);
  bool arrived = false;
  auto events = std::make_shared<ZUVBannerViewDelegate>();
  events->interstitialDidReceiveAd = [&arrived](platform::View&) { arrived = true; };
  interstitial->setDelegate(events);
  ZUVBannerController(*interstitial)->loadInterstitialRequest(ZUVRequest::request());
  ASSERT_TRUE(hostWait([&] { return arrived; }));
  EXPECT_EQ(ZUVBannerController(*interstitial)
                ->webView()
                ->stringByEvaluatingJavaScriptFromString(
                    "mraid.getPlacementType() + ' ' + mraid.getState()"),
            "interstitial loading");
}

// The IAB's public MRAID 3.0 compliance ads, written by others, served by a server of the test's
// own and walked as a user would: each step's action, then the line the ad prints for it. No
// line of theirs may report a failure, and each ad's cases must all have run.
struct PeerAd {
  const char* folder;
  const char* page;
  double height;  // of the banner, at the top of the screen
  std::vector<std::pair<std::string, std::string>> steps;  // "tap TEXT", "close", "cover", ""
  long passes;                                             // its "PASSED" lines
};

TEST_F(MraidAdTest, ThePublicComplianceAdsPassTheirCases) {
  const std::filesystem::path corpus = VELOUR_PEER_ADS_DIR;
  if (!std::filesystem::is_directory(corpus)) {
    GTEST_SKIP() << "no compliance ads at " << corpus << " (a checkout outside the workspace)";
  }
  velour_test::TestHTTPServer server;
  const PeerAd* current = nullptr;
  server.handle("/ad", [&current](const httplib::Request&, httplib::Response& response) {
    response.status = 302;
    response.set_header("Location", std::string("http://") + kZUVAdServerHost + "/" +
                                        current->folder + "/" + current->page);
  });
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::stringstream text;
    text << std::ifstream(entry.path()).rdbuf();
    const bool script = entry.path().extension() == ".js";
    server.handle(
        "/" + entry.path().lexically_relative(corpus).string(),
        [body = text.str(), script](const httplib::Request&, httplib::Response& response) {
          response.set_content(body, script ? "text/javascript" : "text/html");
        });
  }
  server.reply(kZUVSupportScriptPath, 200,
               std::string("function ZEDE_buildAdURL(p) { window.location.href = "
                           "'gmsg://zede/loadAdURL?url=' + encodeURIComponent('http://") +
                   kZUVAdServerHost + "/ad'); }");
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    platform::HostResolution::shared().map(host, "127.0.0.1",
                                           static_cast<std::uint16_t>(server.port()));
  }
  platform::Browser::shutdown();

  const PeerAd ads[] = {
      {"loadandevents",
       "ad.html",
       250,
       {{"", "CHECK: Detected MRAID_ENV"},
        {"", "CHECK: State is default after ready"},
        {"tap Tap For Expand/stateChange Check",
         "CHECK: Variables check upon stateChange after expand"},
        {"close", "CHECK: Variables check upon stateChange after manual close"},
        {"tap Tap For Expand/sizeChange Check",
         "CHECK: Variables check upon sizeChange after expand"},
        {"tap Tap To Close Expand", "CHECK: Variables check upon sizeChange after ad close"}},
       0},
      // It never asks for mraid.js: it reads MRAID_ENV and mraid.getState() and waits for ready.
      {"resize-negative",
       "resize-test.html",
       50,
       {{"", "[ALL NEGATIVE RESIZE TESTS FINISHED]"}},
       13},
      {"viewability",
       "ad.html",
       250,
       {{"", "validating exposureChange"}, {"cover", "validating exposureChange"}},
       0},
  };
  for (const PeerAd& ad : ads) {
    SCOPED_TRACE(ad.folder);
    current = &ad;
    lines_.clear();
    showBanner(platform::Rect(0, 0, 320, ad.height));
    std::map<std::string, long> seen;
    for (const auto& [action, line] : ad.steps) {
      if (action.starts_with("tap ")) {
        ASSERT_TRUE(page().tapLink(action.substr(4)));
      }
      if (action == "close") tapCloseControl();
      if (action == "cover") {
        ASSERT_TRUE(
            root_->presentModalViewController(std::make_shared<platform::ViewController>(), false));
      }
      // Their cases run one after another on their own timers.
      ASSERT_TRUE(printed(line, ++seen[line], platform::seconds(120)))
          << action << ": " << ::testing::PrintToString(lines_);
    }
    if (root_->modalViewController()) root_->dismissModalViewController(false);
    EXPECT_EQ(std::count_if(lines_.begin(), lines_.end(),
                            [](const std::string& line) { return line.starts_with("PASSED"); }),
              ad.passes);
    for (const std::string& line : lines_) {
      EXPECT_FALSE(line.starts_with("FAIL") || line.starts_with("Error in test") ||
                   line.find("NOT FOUND") != std::string::npos)
          << line;
    }
    const std::string text = page().pageText();
    EXPECT_EQ(text.find("not compliant"), std::string::npos) << text;
    EXPECT_EQ(text.find("not MRAIDV3 Compatible"), std::string::npos) << text;
  }
}

// The interstitial creative, through the public class: it forces landscape, so the phone turns
// while it is up; its checks pass; the close control hides it, turns the phone back and ends it.
TEST_F(MraidAdTest, AnInterstitialTurnsThePhoneAndItsCloseControlHidesIt) {
  adserver::AdUnit unit;
  unit.interstitials = {"mraid-interstitial"};
  unit.creatives = {"banner-plain"};
  server_->setUnit("0123456789abcde", unit);
  auto ad = ZUVInterstitialAd::create("0123456789abcde");
  auto delegate = std::make_shared<ZUVInterstitialAdDelegate>();
  std::vector<std::string> heard;
  delegate->interstitialDidReceiveAd = [&](ZUVInterstitialAd&) { heard.push_back("received"); };
  delegate->interstitialWillPresentScreen = [&](ZUVInterstitialAd&) { heard.push_back("present"); };
  delegate->interstitialDidDismissScreen = [&](ZUVInterstitialAd&) { heard.push_back("dismiss"); };
  ad->setDelegate(delegate);
  // getLocation answers with the location that the application put in the request.
  auto request = ZUVRequest::request();
  request->setLocationWithLatitudeLongitudeAccuracy(48.85f, 2.35f, 30);
  ad->loadRequest(request);
  ZUVObjectPrivate& controller = *ZUVFullScreenAd::of(ad.get())->controller();
  controller.webView()->setConsoleHandler(collect());
  ASSERT_TRUE(printed("mraid-event stateChange \"default\"")) << ::testing::PrintToString(lines_);
  ASSERT_TRUE(ad->isReady());
  ASSERT_TRUE(ad->presentFromRootViewController(root_));
  ASSERT_TRUE(printed("mraid-done interstitial ready")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            platform::InterfaceOrientation::LandscapeLeft);
  EXPECT_TRUE(std::any_of(lines_.begin(), lines_.end(), [](const std::string& line) {
    return line.starts_with("mraid-info location {\"lat\":48.8");
  })) << ::testing::PrintToString(lines_);
  ASSERT_TRUE(controller.mraid()->presenter().tapCloseControl());
  ASSERT_TRUE(printed("mraid-done interstitial closed")) << ::testing::PrintToString(lines_);
  EXPECT_EQ(controller.mraid()->state(), ZUVMraidState::Hidden);
  EXPECT_EQ(platform::Application::shared()->statusBarOrientation(),
            platform::InterfaceOrientation::Portrait);
  EXPECT_EQ(heard, (std::vector<std::string>{"received", "present", "dismiss"}));
  EXPECT_FALSE(ad->isReady());
  EXPECT_EQ(failures(), std::vector<std::string>{});
}

}  // namespace
