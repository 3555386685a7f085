#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/media/SystemSound.h"
#include "platform/ui/Application.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::URL;
using platform::WebViewNavigationType;

std::string describe(const platform::Dictionary& dictionary) {
  std::string text;
  for (const auto& [key, value] : dictionary) {
    text += (text.empty() ? "" : " ") + key + "=" + value.stringValue();
  }
  return text;
}

// Records what the opener would show instead of showing it.
class RecordingOpener : public ZUVOpener {
 public:
  explicit RecordingOpener(std::vector<std::string>& opened) : opened_(opened) {}
  void openBrowserToURLSupportedOrientations(const URL& url, std::int32_t o) override {
    opened_.push_back("browser " + url.absoluteString() + " " + std::to_string(o));
  }
  void presentMailComposer(const ZUVMailFields& mail) override {
    std::string text = "mail";
    for (const auto* list : {&mail.toRecipients, &mail.ccRecipients, &mail.bccRecipients}) {
      text += " [";
      for (const std::string& address : *list) text += "(" + address + ")";
      text += "]";
    }
    opened_.push_back(text + " " + mail.subject.value_or("-") + " " + mail.body.value_or("-"));
  }

 private:
  std::vector<std::string>& opened_;
};

// Notes when the application is left.
class LeaveRecorder : public ZUVAdEventReporting {
 public:
  void willPresentScreen() override {}
  void willDismissScreen() override {}
  void didDismissScreen() override {}
  void willLeaveApplication() override { left.push_back(platform::RunLoop::main().now()); }
  std::vector<platform::Instant> left;
};

class FullScreenController : public platform::ViewController, public ZUVScreenRelinquishing {
 public:
  void relinquishScreen() override { ++relinquished; }
  int relinquished = 0;
};

class ZUVWebViewDelegateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The user has just tapped the page, unless a test says otherwise.
    view_->userActivation = true;
    savedTasks_ = ZUVClickTracker::backgroundTasks();
    platform::resetVibrationCount();
    actionObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        ZUVWebViewDelegateDidReceiveWebAction, view_.get(),
        [this](const platform::Notification& n) { actions_.push_back(describe(n.userInfo)); });
    repostObserver_ = ZUVNotificationCenter::defaultCenter().addObserver(
        "", nullptr, [this](const platform::Notification& n) {
          reposted_.push_back(n.name + (n.object.address() == view_.get() ? "@view " : "@? ") +
                              describe(n.userInfo));
        });
  }
  void TearDown() override {
    ZUVClickTracker::backgroundTasks() = savedTasks_;
    actionObserver_.cancel();
    repostObserver_.cancel();
  }

  bool decide(const std::string& text,
              WebViewNavigationType type = platform::kWebViewNavigationTypeLinkClicked) {
    auto url = URL::parse(text);
    EXPECT_TRUE(url) << text;
    return delegate_.webViewShouldStartLoadWithRequestNavigationType(
        *view_, platform::WebRequest(*url), type);
  }
  std::vector<std::string> openedURLs() {
    platform::Harness::advance(0s);
    return platform::Application::shared()->openedURLs();
  }

  velour_test::TestWorld world_;
  std::shared_ptr<velour_test::RecordingWebView> view_ =
      std::make_shared<velour_test::RecordingWebView>();
  std::vector<std::string> opened_;
  ZUVWebViewDelegate delegate_{std::make_unique<RecordingOpener>(opened_)};
  std::vector<std::string> actions_;
  std::vector<std::string> reposted_;
  ZUVClickTracker::BackgroundTasks savedTasks_;
  platform::Registration actionObserver_;
  platform::Registration repostObserver_;
};

TEST_F(ZUVWebViewDelegateTest, DecidesRequestsBySchemeAndNavigationType) {
  auto controller = std::make_shared<platform::ViewController>();
  delegate_.setViewController(controller);
  platform::WebRequest request(*URL::parse("about:blank"));
  request.setValueForHTTPHeaderField("TestAgent/2", "User-Agent");
  EXPECT_TRUE(delegate_.webViewShouldStartLoadWithRequestNavigationType(
      *view_, request, platform::kWebViewNavigationTypeOther));
  EXPECT_EQ(ZUVNetworkUtilities::userAgentString(), "TestAgent/2");
  EXPECT_FALSE(decide("file:///etc/passwd"));
  EXPECT_TRUE(actions_.empty());

  // A page loading its own root is no user action; any deeper path, or any other type, is.
  EXPECT_TRUE(decide("http://ads.test", platform::kWebViewNavigationTypeOther));
  EXPECT_TRUE(decide("http://ads.test/", platform::kWebViewNavigationTypeOther));
  EXPECT_TRUE(actions_.empty());
  EXPECT_TRUE(decide("http://ads.test/ab", platform::kWebViewNavigationTypeOther));
  EXPECT_TRUE(decide("https://ads.test/", platform::kWebViewNavigationTypeReload));
  EXPECT_EQ(actions_, (std::vector<std::string>{"u=http://ads.test/ab", "u=https://ads.test/"}));

  actions_.clear();
  EXPECT_FALSE(decide("mailto:a@x.test,b@x.test?CC=c@x.test,d@x.test&subject=Hi%20there"));
  EXPECT_EQ(opened_,
            (std::vector<std::string>{"mail [(a@x.test,b@x.test)] [(c@x.test)(d@x.test)] [] "
                                      "Hi there -"}));
  // Other schemes, and a message scheme written in capitals, leave the application.
  EXPECT_FALSE(decide("tel:555"));
  EXPECT_FALSE(decide("GMSG://ad/click?u=http://t.test/"));
  EXPECT_EQ(actions_.size(), 3u);
  EXPECT_EQ(openedURLs(),
            (std::vector<std::string>{"tel:555", "gmsg://ad/click?u=http://t.test/"}));
}

TEST_F(ZUVWebViewDelegateTest, RefusesEveryMessageAndActsOnItByName) {
  auto screen = std::make_shared<FullScreenController>();
  EXPECT_FALSE(decide("gmsg://ad/settings?supportedorientations=landscape"));
  EXPECT_FALSE(decide("vodov://elsewhere?url=http://x.test/"));
  EXPECT_TRUE(world_.log().contains("unknown message vodov://elsewhere; it is ignored"));
  EXPECT_FALSE(decide("gmsg://ad"));
  EXPECT_FALSE(decide("gmsg://ad/close"));  // no full-screen controller: nothing happens
  delegate_.setViewController(screen);
  EXPECT_FALSE(decide("vodov://closecanvas"));
  EXPECT_EQ(screen->relinquished, 1);
  EXPECT_FALSE(decide("gmsg://ad/vibrate"));
  EXPECT_EQ(platform::vibrationCount(), 1u);
  EXPECT_EQ(actions_, (std::vector<std::string>{
                          "u=gmsg://ad/settings?supportedorientations=landscape a=settings",
                          "u=vodov://elsewhere?url=http://x.test/",
                          "u=gmsg://ad a=", "u=gmsg://ad/close a=close",
                          "u=vodov://closecanvas a=close", "u=gmsg://ad/vibrate a=vibrate"}));
  // Names the delegate does not handle reach the ad centre after the decision has returned.
  EXPECT_TRUE(reposted_.empty());
  platform::Harness::advance(0s);
  EXPECT_EQ(reposted_,
            (std::vector<std::string>{"settings@view supportedorientations=landscape", "@view "}));

  world_.log().clear();
  EXPECT_FALSE(decide("gmsg://ad/log?string=ok%0A%3CVozave%3E%20fake%09%5C"));
  EXPECT_FALSE(decide("vodov://log?string=%3CVozave%3E%20spoof"));
  EXPECT_FALSE(decide("gmsg://ad/log"));
  EXPECT_EQ(world_.log().lines(), (std::vector<std::string>{"ok\\n<Vozave> fake\\t\\\\",
                                                            "\\x3cVozave> spoof", "(null)"}));

  EXPECT_FALSE(decide("gmsg://ad/open?a=browser&u=http://x.test/&o=l"));
  EXPECT_FALSE(decide("vodov://launch?url=http%3A%2F%2Fy.test%2F"));
  EXPECT_FALSE(decide("gmsg://ad/open?a=browser"));
  EXPECT_FALSE(decide("gmsg://ad/open?a=call&u=tel:1"));
  EXPECT_FALSE(decide("gmsg://ad/open?u=app:2"));
  EXPECT_EQ(opened_,
            (std::vector<std::string>{"browser http://x.test/ 3", "browser http://y.test/ 1"}));
  EXPECT_EQ(openedURLs(), (std::vector<std::string>{"tel:1", "app:2"}));
  platform::Harness::advance(1s);
  EXPECT_EQ(reposted_.size(), 2u);
}

TEST_F(ZUVWebViewDelegateTest, NothingLeavesOrCountsAClickWithoutATapOnAViewOnScreen) {
  velour_test::TestHTTPServer server;
  server.reply("/ck", 200, "ok");
  const std::vector<std::string> ways{
      "itms-apps://store.test/app",
      "mailto:a@x.test",
      "tel:555",
      "gmsg://ad/open?a=browser&u=http://x.test/",
      "gmsg://ad/open?a=webapp&u=http://x.test/",
      "gmsg://ad/open?a=app&u=app:1",
      "vodov://launch?url=http%3A%2F%2Fy.test%2F",
      "gmsg://ad/click?u=" + platform::percentEncode(server.url("/ck"))};
  // A page's own script has no activation; a hidden view (the build page) cannot be tapped.
  for (bool hidden : {false, true}) {
    view_->userActivation = hidden;
    view_->setHidden(hidden);
    for (const std::string& way : ways) EXPECT_FALSE(decide(way)) << way;
  }
  // Scripts and inline documents are never handed on, tap or not.
  view_->setHidden(false);
  EXPECT_FALSE(decide("javascript:alert(1)"));
  EXPECT_FALSE(decide("data:text/html,<p>x"));
  platform::RunLoop::main().runUntil([] { return false; }, 0.3s);
  EXPECT_TRUE(opened_.empty());
  EXPECT_TRUE(openedURLs().empty());
  EXPECT_EQ(server.requestCount("/ck"), 0u);
  EXPECT_EQ(delegate_.gate()->refusedCount(), 2 * ways.size() + 2);
  const auto& lines = world_.log().lines();
  ASSERT_EQ(lines.size(), 2 * ways.size() + 2);
  EXPECT_EQ(lines[1], "<Vozave> Refused the mail composer without a tap: mailto:a@x.test");

  // The tap that opened a screen carries through the screen's page for a few seconds (its
  // landing page forwards to the app store as it loads), never to a hidden view.
  view_->userActivation = false;
  const std::uint64_t refused = delegate_.gate()->refusedCount();
  delegate_.carryTap(platform::RunLoop::main().now());
  view_->setHidden(true);
  decide("itms-apps://store.test/app");
  view_->setHidden(false);
  decide("itms-apps://store.test/app");
  EXPECT_EQ(delegate_.gate()->refusedCount(), refused + 1);
  platform::Harness::advance(ZUVUserActivationGate::kCarriedTap + 1s);
  decide("itms-apps://store.test/app");
  EXPECT_EQ(delegate_.gate()->refusedCount(), refused + 2);
}

TEST_F(ZUVWebViewDelegateTest, TracksClicksWithTheClickSignalAndPassesTouches) {
  platform::Harness::resetRunLoop(false);
  velour_test::TestHTTPServer server;
  server.reply("/ck", 200, "ok");
  server.reply("/ht", 200, "ok");
  auto served = [&](const std::string& path) {
    return platform::RunLoop::main().runUntil([&] { return server.requestCount(path) > 0; }, 10s);
  };
  EXPECT_FALSE(decide("gmsg://ad/touch?tx=12px&ty=%20-7"));
  EXPECT_FALSE(decide("gmsg://ad/click?u=" + platform::percentEncode(server.url("/ck?ai=A1"))));
  ASSERT_TRUE(served("/ck"));
  std::string query = server.requests().back().query;
  ASSERT_EQ(query.rfind("ai=A1&cs=", 0), 0u) << query;
  auto fields = ZUVSignalsDecodeValue(query.substr(9));
  ASSERT_TRUE(fields);
  EXPECT_EQ((*fields)["ai"], "A1");
  EXPECT_EQ((*fields)["tx"] + " " + (*fields)["ty"] + " " + (*fields)["td"], "12 -7 -1");

  EXPECT_FALSE(decide("gmsg://ad/httpTrack?u=" + platform::percentEncode(server.url("/ht?ai=A2"))));
  ASSERT_TRUE(served("/ht"));
  EXPECT_EQ(server.requests().back().query, "ai=A2");
  EXPECT_EQ(ZUVWebViewDelegate::intForKeyFromDictionary("n", {{"n", "99999999999"}}), 2147483647);
}

TEST_F(ZUVWebViewDelegateTest, TellsThePageItsOrientation) {
  using platform::InterfaceOrientation;
  platform::Application::shared()->setStatusBarOrientation(InterfaceOrientation::LandscapeLeft);
  delegate_.webViewDidFinishLoad(*view_);
  ZUVWebViewDelegate::notifyWebViewOfOrientationChange(*view_,
                                                       InterfaceOrientation::LandscapeRight);
  ZUVWebViewDelegate::notifyWebViewOfOrientationChange(*view_,
                                                       InterfaceOrientation::PortraitUpsideDown);
  ZUVWebViewDelegate::notifyWebViewOfOrientationChange(*view_, InterfaceOrientation{0});
  const std::string getter = "window.__defineGetter__('orientation',function(){return ";
  const std::string call = ";});window.onorientationchange();";
  EXPECT_EQ(view_->scripts, (std::vector<std::string>{getter + "-90" + call, getter + "90" + call,
                                                      getter + "180" + call}));
}

TEST_F(ZUVWebViewDelegateTest, OpenerWaitsForTrackingsBeforeLeaving) {
  ZUVClickTracker::backgroundTasks() = {};
  velour_test::RawTestServer stall("", false);
  auto tracking = std::make_unique<ZUVWebViewDelegate>();
  tracking->trackURLStringAppendSpamSignals(stall.url("/t"), false);
  ASSERT_TRUE(ZUVClickTracker::activeTrackings());
  auto recorder = std::make_shared<LeaveRecorder>();
  const std::vector<platform::Instant>& left = recorder->left;
  platform::RunLoop& loop = platform::RunLoop::main();
  delegate_.opener().setDelegateManager(recorder);
  platform::Instant start = loop.now();
  delegate_.opener().openApp(URL::parse("app:3"));
  platform::Harness::advance(0.85s);
  EXPECT_EQ(ZUVOpener::repeatCount(), 3);
  EXPECT_TRUE(left.empty());
  platform::Harness::advance(0.1s);  // the fourth attempt leaves although the tracking still runs
  ASSERT_EQ(left.size(), 1u);
  EXPECT_NEAR(platform::toSeconds(left[0] - start), 0.9, 1e-9);
  EXPECT_EQ(ZUVOpener::repeatCount(), 0);

  start = loop.now();
  delegate_.opener().openApp(URL::parse("app:4"));
  platform::Harness::advance(0.1s);
  tracking.reset();  // a delegate that goes abandons its tracking
  EXPECT_FALSE(ZUVClickTracker::activeTrackings());
  platform::Harness::advance(0.5s);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_NEAR(platform::toSeconds(left[1] - start), 0.3, 1e-9);
  EXPECT_EQ(openedURLs().back(), "app:4");
}

}  // namespace
