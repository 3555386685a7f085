#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVBrowserController.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "ads/web/ZUVOpener.h"
#include "ads/web/ZUVWebAppViewController.h"
#include "platform/device/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/FullScreenEvents.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::InterfaceOrientation;
using platform::Rect;
using platform::URL;
using velour_test::RecordingWebView;

// The delegate fan-out's screen events, in one list with the notifications.
class RecordingReporter : public ZUVAdEventReporting {
 public:
  explicit RecordingReporter(std::vector<std::string>& events) : events_(events) {}
  void willPresentScreen() override { events_.push_back("willPresentScreen"); }
  void willDismissScreen() override { events_.push_back("willDismissScreen"); }
  void didDismissScreen() override { events_.push_back("didDismissScreen"); }
  void willLeaveApplication() override { events_.push_back("willLeaveApplication"); }

 private:
  std::vector<std::string>& events_;
};

class FocusableController : public platform::ViewController {
 public:
  bool canBecomeFirstResponder() const override { return true; }
};

class ZUVFullScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDevice_ = platform::DeviceProfile::current();
    ZUVViewController::setWebViewMaker([this](const Rect& frame) {
      auto view = std::make_shared<RecordingWebView>();
      view->setFrame(frame);
      webViews_.push_back(view);
      return view;
    });
    observers_ = velour_test::recordFullScreenEvents(events_);
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
  }
  void TearDown() override {
    platform::DeviceProfile::current() = savedDevice_;
    observers_.clear();
    ZUVViewController::setWebViewMaker(nullptr);
  }

  template <typename T>
  std::shared_ptr<T> present(const std::shared_ptr<platform::ViewController>& from) {
    auto controller = T::create();
    controller->setDelegateManager(reporter_);
    controller->presentFromViewController(from);
    return controller;
  }
  RecordingWebView& web(std::size_t index) { return *webViews_.at(index); }
  static std::string onShow() {
    return ZUVJSNotificationCall("onshow", platform::Dictionary{{"version", "zede-sdk-i-v4.0.2"}});
  }

  velour_test::TestWorld world_;
  platform::DeviceProfile savedDevice_;
  std::vector<std::string> events_;
  std::vector<platform::Registration> observers_;
  std::shared_ptr<RecordingReporter> reporter_ = std::make_shared<RecordingReporter>(events_);
  std::vector<std::shared_ptr<RecordingWebView>> webViews_;
  std::shared_ptr<platform::Window> window_ = platform::Window::create();
  std::shared_ptr<platform::ViewController> root_ = std::make_shared<FocusableController>();
};

TEST_F(ZUVFullScreenTest, OnlyTheFirstFullScreenReportsToTheFanOutAndBothAnnounce) {
  auto app = platform::Application::shared();
  std::weak_ptr<ZUVWebAppViewController> webApp = present<ZUVWebAppViewController>(root_);
  ASSERT_FALSE(webApp.expired());  // it holds itself while on screen
  EXPECT_TRUE(app->isStatusBarHidden());
  std::weak_ptr<ZUVBrowserController> browser = present<ZUVBrowserController>(webApp.lock());
  browser.lock()->relinquishScreen();
  EXPECT_TRUE(app->isStatusBarHidden());
  webApp.lock()->relinquishScreen();
  EXPECT_EQ(events_, (std::vector<std::string>{"WillPresentFullScreen", "willPresentScreen",
                                               "WillPresentFullScreen", "DidRelinquishFullScreen",
                                               "willDismissScreen", "didDismissScreen",
                                               "DidRelinquishFullScreen"}));
  EXPECT_FALSE(app->isStatusBarHidden());
  platform::Harness::advance(0s);
  EXPECT_TRUE(webApp.expired());
  EXPECT_TRUE(browser.expired());

  // A bar that was hidden stays hidden; a sheet leaves it alone; no presenter shows nothing.
  app->setStatusBarHidden(true);
  present<ZUVWebAppViewController>(root_)->relinquishScreen();
  EXPECT_TRUE(app->isStatusBarHidden());
  app->setStatusBarHidden(false);
  auto sheet = ZUVBrowserController::create();
  sheet->setModalPresentationStyle(platform::ModalPresentationStyle::FormSheet);
  sheet->presentFromViewController(root_);
  EXPECT_FALSE(app->isStatusBarHidden());
  sheet->relinquishScreen();
  events_.clear();
  std::weak_ptr<ZUVBrowserController> orphan = present<ZUVBrowserController>(nullptr);
  EXPECT_TRUE(orphan.expired());
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(world_.log().lines().back(),
            "<Vozave> No UIViewController supplied to the ad.  Cannot continue.");
}

TEST_F(ZUVFullScreenTest, ClosingTakesDownWhatItPresentsAndNothingIsLeftHeld) {
  auto app = platform::Application::shared();
  const std::vector<std::string> presentedAndGone{"WillPresentFullScreen", "willPresentScreen",
                                                  "willDismissScreen", "didDismissScreen",
                                                  "DidRelinquishFullScreen"};
  // Closed under a browser that shows a mail composer: all three go, each screen once.
  std::weak_ptr<ZUVWebAppViewController> webApp = present<ZUVWebAppViewController>(root_);
  std::weak_ptr<ZUVBrowserController> browser = present<ZUVBrowserController>(webApp.lock());
  std::weak_ptr<platform::MailComposeViewController> mail;
  {
    auto composer = platform::MailComposeViewController::create();
    ASSERT_TRUE(browser.lock()->presentModalViewController(composer, false));
    mail = composer;
  }
  webApp.lock()->relinquishScreen();
  webApp.lock()->relinquishScreen();
  EXPECT_EQ(window_->topViewController(), root_);
  EXPECT_FALSE(app->isStatusBarHidden());
  EXPECT_EQ(events_, (std::vector<std::string>{"WillPresentFullScreen", "willPresentScreen",
                                               "WillPresentFullScreen", "DidRelinquishFullScreen",
                                               "willDismissScreen", "didDismissScreen",
                                               "DidRelinquishFullScreen"}));
  platform::Harness::advance(0s);
  EXPECT_TRUE(webApp.expired() && browser.expired() && mail.expired());

  // The screen is taken already: the refused one gives back all that it began.
  events_.clear();
  ASSERT_TRUE(
      root_->presentModalViewController(platform::MailComposeViewController::create(), false));
  std::weak_ptr<ZUVBrowserController> refused = present<ZUVBrowserController>(root_);
  EXPECT_EQ(events_, presentedAndGone);
  EXPECT_FALSE(app->isStatusBarHidden());
  platform::Harness::advance(0s);
  EXPECT_TRUE(refused.expired());
  root_->dismissModalViewController(false);

  // From a screen that has been closed, nothing opens; without a page, nothing leaves.
  auto closed = present<ZUVBrowserController>(root_);
  closed->openInSafari();
  closed->relinquishScreen();
  events_.clear();
  std::weak_ptr<ZUVWebAppViewController> late = present<ZUVWebAppViewController>(closed);
  ZUVOpener opener;
  opener.setViewController(closed);
  opener.openEmailComposer(*URL::parse("mailto:a@x.test"));
  platform::Harness::advance(0s);
  EXPECT_TRUE(late.expired());
  EXPECT_FALSE(closed->modalViewController());
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(app->openedURLs().empty());
}

TEST_F(ZUVFullScreenTest, RotationsFollowTheOrientationsAskedForAndOnlyTheOwnPagesSettings) {
  auto webApp = ZUVWebAppViewController::create();
  EXPECT_EQ(webApp->supportedOrientations(), 1);
  EXPECT_TRUE(webApp->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
  webApp->setSupportedOrientations(2);
  webApp->setSupportedOrientations(0);
  EXPECT_TRUE(
      webApp->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::PortraitUpsideDown));
  EXPECT_FALSE(webApp->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
  webApp->setSupportedOrientations(3);
  EXPECT_TRUE(webApp->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeRight));
  EXPECT_FALSE(webApp->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::Portrait));
  EXPECT_EQ(ZUVViewController::orientationFromString("Portrait"), 0);

  webApp->presentFromViewController(root_);
  RecordingWebView other;
  auto& center = ZUVNotificationCenter::defaultCenter();
  auto settings = *URL::parse("gmsg://ad/settings?SupportedOrientations=portrait");
  center.postNotificationFromURLObject(settings, &other);
  EXPECT_EQ(webApp->supportedOrientations(), 3);
  center.postNotificationFromURLObject(settings, &web(0));
  EXPECT_EQ(webApp->supportedOrientations(), 2);
  center.postNotificationFromURLObject(*URL::parse("gmsg://ad/settings?supportedorientations=x"),
                                       &web(0));
  EXPECT_EQ(webApp->supportedOrientations(), 2);
  webApp->relinquishScreen();
}

TEST_F(ZUVFullScreenTest, WebApplicationBuildsItsPageOnFirstAppearanceAndTellsItOnShowAndOnHide) {
  auto webApp = ZUVWebAppViewController::create();
  webApp->loadHTMLBaseURL(std::nullopt, std::nullopt);
  webApp->load(std::nullopt);
  webApp->loadHTMLBaseURL("<p>", URL::parse("http://base.test/"));
  webApp->load(URL::parse("http://app.test/"));
  webApp->presentFromViewController(root_);
  ASSERT_EQ(webViews_.size(), 1u);
  RecordingWebView& page = web(0);
  EXPECT_EQ(page.calls, std::vector<std::string>{"load http://app.test/"});
  auto close = webApp->vars().closeButton;
  ASSERT_TRUE(close);
  auto spinner = webApp->vars().loadingSpinner;
  ASSERT_TRUE(spinner && spinner->isAnimating());

  // Appeared before the page loaded: "onshow" waits for the load's end.
  EXPECT_TRUE(page.scripts.empty());
  page.loading = true;
  page.delegate()->webViewDidStartLoad(page);
  page.loading = false;
  page.delegate()->webViewDidFinishLoad(page);
  EXPECT_EQ(page.scripts.back(), onShow());
  EXPECT_FALSE(spinner->superview());
  EXPECT_FALSE(webApp->vars().loadingSpinner);
  webApp->load(URL::parse("http://now.test/"));
  EXPECT_EQ(page.calls.back(), "load http://now.test/");

  // An ad opened over it and closed again: "onhide", then one more "onshow".
  page.scripts.clear();
  auto browser = present<ZUVBrowserController>(webApp);
  browser->relinquishScreen();
  EXPECT_EQ(page.scripts,
            (std::vector<std::string>{ZUVJSNotificationCall("onhide", std::nullopt), onShow()}));
  Rect closeFrame = close->frameInWindow();
  EXPECT_TRUE(window_->touchAt({closeFrame.origin.x + 20, closeFrame.origin.y + 20}));
  EXPECT_EQ(window_->topViewController(), root_);

  // Without a root controller the presenter shows it, and 0.6 s later the appearance is told
  // again: one more "onshow".
  window_->setRootViewController(nullptr);
  window_->addSubview(root_->view());
  auto html = ZUVWebAppViewController::create();
  html->loadHTMLBaseURL("<b>", std::nullopt);
  html->presentFromViewController(root_);
  RecordingWebView& htmlPage = web(webViews_.size() - 1);
  EXPECT_EQ(htmlPage.calls, std::vector<std::string>{"html <b> base (none)"});
  auto onShows = [&] {
    return std::count(htmlPage.scripts.begin(), htmlPage.scripts.end(), onShow());
  };
  platform::Harness::advance(0.1s);
  htmlPage.delegate()->webViewDidFinishLoad(htmlPage);
  EXPECT_EQ(onShows(), 1);
  platform::Harness::advance(0.49s);
  EXPECT_EQ(onShows(), 1);
  platform::Harness::advance(0.01s);
  EXPECT_EQ(onShows(), 2);
  html->relinquishScreen();
}

TEST_F(ZUVFullScreenTest, BrowserToolbarFollowsLoadsAndHistory) {
  platform::Application::shared()->setStatusBarOrientation(InterfaceOrientation::LandscapeLeft);
  auto browser = ZUVBrowserController::create();
  browser->setDelegateManager(reporter_);
  browser->load(URL::parse("http://land.test/a"), URL::parse("http://ad.test/page"));
  browser->presentFromViewController(root_);
  RecordingWebView& page = web(0);
  EXPECT_EQ(page.calls,
            std::vector<std::string>{"load http://land.test/a Referer=http://ad.test/page"});
  auto toolbar = browser->toolbar();
  Rect bounds = browser->view()->bounds();
  EXPECT_EQ(toolbar->frame(), Rect(0, bounds.size.height - 30, bounds.size.width, 30));
  EXPECT_EQ(page.frame(), Rect(0, 0, bounds.size.width, bounds.size.height - 30));

  auto labels = [&] {
    std::string text;
    for (const auto& item : toolbar->items()) {
      text += (item->isFlexibleSpace() ? std::string("_") : item->accessibilityLabel()) +
              (item->isEnabled() ? "" : "(off)") + " ";
    }
    return text;
  };
  EXPECT_EQ(labels(), "Back(off) _ Forward(off) _ Reload _ View in Safari _ Done ");
  auto back = toolbar->itemWithAccessibilityLabel("Back");

  page.loading = true;
  page.delegate()->webViewDidStartLoad(page);
  EXPECT_EQ(labels(), "Back(off) _ Forward(off) _ Spinner _ View in Safari(off) _ Done ");
  page.loading = false;
  page.backPossible = true;
  page.delegate()->webViewDidFinishLoad(page);
  EXPECT_EQ(labels(), "Back _ Forward(off) _ Reload _ View in Safari _ Done ");
  EXPECT_TRUE(back->tap());
  browser->forward();  // cannot: nothing happens
  page.forwardPossible = true;
  page.loading = true;
  page.delegate()->webViewDidStartLoad(page);
  page.loading = false;
  page.delegate()->webViewDidFailLoadWithError(page, platform::Error::make("x", 1, "failed"));
  EXPECT_EQ(labels(), "Back _ Forward _ Reload _ View in Safari _ Done ");
  EXPECT_EQ(page.calls.back(), "back");

  // Link and form navigations are counted; the decision is the base's, and its own page's
  // "close" closes the browser.
  auto decide = [&](const char* url, platform::WebViewNavigationType type) {
    return page.delegate()->webViewShouldStartLoadWithRequestNavigationType(
        page, platform::WebRequest(*URL::parse(url)), type);
  };
  EXPECT_TRUE(decide("http://land.test/b", platform::kWebViewNavigationTypeLinkClicked));
  EXPECT_TRUE(decide("https://land.test/c", platform::kWebViewNavigationTypeFormSubmitted));
  EXPECT_FALSE(decide("gmsg://ad/close", platform::kWebViewNavigationTypeLinkClicked));
  page.current = platform::WebRequest(*URL::parse("http://land.test/now"));
  browser->openInSafari();
  platform::Harness::advance(0s);
  EXPECT_EQ(platform::Application::shared()->openedURLs().back(), "http://land.test/now");
  platform::Dictionary reported = ZUVStatistics::sharedStatistics().currentParameters();
  EXPECT_EQ(reported.find("plpnc")->integerValue(), 1);
  EXPECT_EQ(reported.find("plpsnc")->integerValue(), 1);
  EXPECT_EQ(reported.find("pcbo")->integerValue(), 1);
  EXPECT_EQ(events_, (std::vector<std::string>{"WillPresentFullScreen", "willPresentScreen",
                                               "willDismissScreen", "didDismissScreen",
                                               "DidRelinquishFullScreen", "willLeaveApplication"}));

  // Tablets keep 44 in landscape; phones in portrait too.
  platform::DeviceProfile::current().interfaceIdiom = 1;
  auto tablet = present<ZUVBrowserController>(root_);
  EXPECT_EQ(web(1).autoresizingMask(), 18u);
  EXPECT_EQ(web(1).frame().size.height, bounds.size.height - 44);
  tablet->relinquishScreen();
}

TEST_F(ZUVFullScreenTest, OpenerShowsEachRouteFromItsViewController) {
  ZUVOpener opener;
  opener.setViewController(root_);
  opener.setDelegateManager(reporter_);
  opener.setReferringURL(URL::parse("http://ad.test/"));
  auto open = [&](const std::string& query) {
    auto message = ZUVNotification::notificationFromURL(*URL::parse("gmsg://ad/open?" + query));
    opener.openNotification(*message);
    auto top = window_->topViewController();
    auto screen = std::dynamic_pointer_cast<ZUVViewController>(top);
    std::string shown =
        top->className() + (screen ? " " + std::to_string(screen->supportedOrientations()) : "");
    if (screen) screen->relinquishScreen();
    return shown + " " + (webViews_.empty() ? "" : web(webViews_.size() - 1).calls.front());
  };
  EXPECT_EQ(open("a=browser&u=http://x.test/&o=l"),
            "ZUVBrowserController 3 load http://x.test/ Referer=http://ad.test/");
  EXPECT_EQ(open("a=video&u=http://v.test/"),
            "ZUVBrowserController 1 load http://v.test/ "
            "Referer=http://ad.test/");
  EXPECT_EQ(open("a=webapp&u=http://w.test/&html=%3Ci%3E&o=p"),
            "ZUVWebAppViewController 2 load http://w.test/");
  EXPECT_EQ(open("a=webapp&html=%3Ci%3E"), "ZUVWebAppViewController 1 html <i> base (none)");
  EXPECT_EQ(ZUVStatistics::sharedStatistics().currentParameters().find("pcc")->integerValue(), 4);

  auto topMail = [&] {
    return std::dynamic_pointer_cast<platform::MailComposeViewController>(
        window_->topViewController());
  };
  opener.openEmailComposer(*URL::parse("mailto:a@x.test,b@x.test?cc=c@x.test,d@x.test&body=Hi"));
  auto mail = topMail();
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->ccRecipients(), (std::vector<std::string>{"c@x.test", "d@x.test"}));
  EXPECT_EQ(mail->messageBody() + (mail->isBodyHTML() ? " html" : " text"), "Hi text");
  ASSERT_TRUE(mail->finish(platform::MailComposeResult::Cancelled));
  EXPECT_EQ(window_->topViewController(), root_);
  EXPECT_TRUE(root_->isFirstResponder());
  opener.openEmailComposer(*URL::parse("mailto:?subject=x"));
  opener.openEmailComposer(*URL::parse("ab:c"));  // too short to hold "mailto:"
  ASSERT_TRUE(topMail());
  EXPECT_TRUE(topMail()->toRecipients().front().empty());
}

}  // namespace
