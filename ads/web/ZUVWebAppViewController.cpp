#include "ads/web/ZUVWebAppViewController.h"

#include <utility>

#include "ads/support/ZUVSDKVersion.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVIntrinsicImages.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/ui/Control.h"

namespace {

constexpr double kCloseButtonInset = 4;
constexpr double kSpinnerSide = 20;

}  // namespace

ZUVWebAppViewControllerPrivate::~ZUVWebAppViewControllerPrivate() {
  if (webView) webView->setDelegate({});
}

ZUVWebAppWebViewDelegate::ZUVWebAppWebViewDelegate(ZUVWebAppViewControllerPrivate& webApp)
    : webApp_(webApp) {}

void ZUVWebAppWebViewDelegate::setPendingOnShow(bool pending) {
  pendingOnShow_ = pending;
  // A page still to come gets its "onshow" when it has loaded.
  if (webApp_.webView && webApp_.loaded && !webApp_.webView->isLoading()) postOnShowEvent();
}

void ZUVWebAppWebViewDelegate::postOnShowEvent() {
  if (!pendingOnShow_ || !webApp_.webView) return;
  ZUVNotificationCenter::defaultCenter().postJSNotification(
      "onshow", platform::Dictionary{{"version", kZUVSDKVersion}}, *webApp_.webView);
  pendingOnShow_ = false;
}

void ZUVWebAppWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  landingPageDidStartLoad();
  ZUVWebViewDelegate::webViewDidStartLoad(webView);
}

void ZUVWebAppWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  landingPageDidFinishLoad();
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  if (!webApp_.loaded) {
    webApp_.loaded = true;
    if (webApp_.loadingSpinner) webApp_.loadingSpinner->removeFromSuperview();
    webApp_.loadingSpinner.reset();
  }
  postOnShowEvent();
}

std::shared_ptr<ZUVWebAppViewController> ZUVWebAppViewController::create() {
  return std::make_shared<ZUVWebAppViewController>();
}

ZUVWebAppViewController::ZUVWebAppViewController()
    : ZUVViewController("ZUVWebAppViewController",
                        std::make_shared<ZUVWebAppViewControllerPrivate>()) {
  vars().loadingSpinner =
      platform::ActivityIndicatorView::create(platform::ActivityIndicatorViewStyle::White);
}

ZUVWebAppViewControllerPrivate& ZUVWebAppViewController::vars() const {
  return static_cast<ZUVWebAppViewControllerPrivate&>(privateData());
}

void ZUVWebAppViewController::load(const std::optional<platform::URL>& url) {
  if (!url) return;
  if (auto view = webView()) {
    view->loadRequest(platform::WebRequest(*url));
  } else {
    vars().urlToLoad = url;
  }
}

void ZUVWebAppViewController::loadHTMLBaseURL(const std::optional<std::string>& html,
                                              const std::optional<platform::URL>& baseURL) {
  if (!html) return;
  if (auto view = webView()) {
    view->loadHTMLStringBaseURL(*html, baseURL);
  } else {
    vars().htmlToLoad = html;
    vars().htmlBaseURLToLoad = baseURL;
  }
}

void ZUVWebAppViewController::viewWillAppear(bool animated) {
  ZUVViewController::viewWillAppear(animated);
  if (webView()) return;
  buildWebView();
  buildCloseButton();
  showSpinner();
}

void ZUVWebAppViewController::buildWebView() {
  ZUVWebAppViewControllerPrivate& data = vars();
  auto root = view();
  auto web = makeWebView(root->bounds());
  web->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                           platform::kAutoresizingFlexibleHeight);
  web->setClipsToBounds(true);
  web->setScalesPageToFit(true);
  web->setOpaque(false);
  web->setBackgroundColor("clear");
  // Ad videos play in the page, without waiting for a tap.
  web->setAllowsInlineMediaPlayback(true);
  web->setMediaPlaybackRequiresUserAction(false);
  web->setDataDetectorTypes(0);
  root->addSubview(web);
  data.webView = web;
  data.webViewDelegate = std::make_shared<ZUVWebAppWebViewDelegate>(data);
  data.webViewDelegate->setViewController(self());
  data.webViewDelegate->setGate(data.gate);
  data.webViewDelegate->carryTap(data.openedByTapAt);
  web->setDelegate(data.webViewDelegate);
  if (auto url = std::exchange(data.urlToLoad, std::nullopt)) {
    web->loadRequest(platform::WebRequest(*url));
    // A URL wins over HTML given as well.
    data.htmlToLoad.reset();
    data.htmlBaseURLToLoad.reset();
  } else if (auto html = std::exchange(data.htmlToLoad, std::nullopt)) {
    web->loadHTMLStringBaseURL(*html, std::exchange(data.htmlBaseURLToLoad, std::nullopt));
  }
}

void ZUVWebAppViewController::buildCloseButton() {
  auto button = platform::Button::buttonWithType(platform::ButtonType::Custom);
  auto image = ZUVIntrinsicImages::closeButton();
  button->setImageForState(image, platform::kControlStateNormal);
  button->setShowsTouchWhenHighlighted(true);
  button->setEnabled(true);
  platform::Size size = image ? image->size() : platform::Size{};
  button->setFrame(platform::Rect(kCloseButtonInset, kCloseButtonInset, size.width, size.height));
  button->addTargetActionForControlEvents(self(), "relinquishScreen",
                                          platform::kControlEventTouchUpInside);
  view()->addSubview(button);
  vars().closeButton = button;
}

void ZUVWebAppViewController::showSpinner() {
  ZUVWebAppViewControllerPrivate& data = vars();
  if (!data.loadingSpinner) return;
  platform::Rect bounds = view()->bounds();
  data.loadingSpinner->setFrame(platform::Rect((bounds.size.width - kSpinnerSide) * 0.5,
                                               (bounds.size.height - kSpinnerSide) * 0.5,
                                               kSpinnerSide, kSpinnerSide));
  data.loadingSpinner->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                           platform::kAutoresizingFlexibleRightMargin);
  data.loadingSpinner->startAnimating();
  data.webView->addSubview(data.loadingSpinner);
}

void ZUVWebAppViewController::viewDidAppear(bool animated) {
  ZUVViewController::viewDidAppear(animated);
  if (vars().webViewDelegate) vars().webViewDelegate->setPendingOnShow(true);
}

void ZUVWebAppViewController::viewDidDisappear(bool animated) {
  ZUVStatistics::sharedStatistics().endTimingNamed("plpd");
  ZUVStatistics::sharedStatistics().endTimingNamed("pcl");
  ZUVViewController::viewDidDisappear(animated);
  if (auto web = webView()) {
    ZUVNotificationCenter::defaultCenter().postJSNotification("onhide", std::nullopt, *web);
  }
}

void ZUVWebAppViewController::didRotateFromInterfaceOrientation(
    platform::InterfaceOrientation from) {
  ZUVViewController::didRotateFromInterfaceOrientation(from);
  if (auto web = webView()) {
    ZUVWebViewDelegate::notifyWebViewOfOrientationChange(*web, interfaceOrientation());
  }
}
