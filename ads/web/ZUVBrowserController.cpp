#include "ads/web/ZUVBrowserController.h"

#include <utility>

#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVIntrinsicImages.h"
#include "ads/web/ZUVOpener.h"
#include "platform/device/Device.h"

namespace {

constexpr double kToolbarHeight = 44;
constexpr double kLandscapePhoneToolbarHeight = 30;
constexpr int kButtonWidth = 27;
constexpr double kSpinnerSide = 20;
constexpr int kTabletIdiom = 1;
constexpr unsigned kDataDetectorTypeAll = ~0u;

using platform::BarButtonSystemItem;

}  // namespace

ZUVBrowserWebViewDelegate::ZUVBrowserWebViewDelegate(std::weak_ptr<ZUVBrowserController> browser)
    : browser_(std::move(browser)) {}

bool ZUVBrowserWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  if (type == platform::kWebViewNavigationTypeLinkClicked ||
      type == platform::kWebViewNavigationTypeFormSubmitted) {
    const std::string& scheme = request.url().scheme();
    if (scheme == "http") ZUVStatistics::sharedStatistics().incrementPageNavigationCount();
    if (scheme == "https") ZUVStatistics::sharedStatistics().incrementSSLPageNavigationCount();
  }
  return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                             type);
}

void ZUVBrowserWebViewDelegate::webViewDidStartLoad(platform::WebView& webView) {
  landingPageDidStartLoad();
  ZUVWebViewDelegate::webViewDidStartLoad(webView);
  refreshToolbar();
}

void ZUVBrowserWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  landingPageDidFinishLoad();
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  refreshToolbar();
}

void ZUVBrowserWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView,
                                                            const platform::Error& error) {
  ZUVWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  refreshToolbar();
}

void ZUVBrowserWebViewDelegate::refreshToolbar() const {
  if (auto browser = browser_.lock()) browser->refreshToolbar();
}

ZUVBrowserControllerPrivate::~ZUVBrowserControllerPrivate() {
  if (webView) webView->setDelegate({});
}

std::shared_ptr<ZUVBrowserController> ZUVBrowserController::create() {
  return std::make_shared<ZUVBrowserController>();
}

ZUVBrowserController::ZUVBrowserController()
    : ZUVViewController("ZUVBrowserController", std::make_shared<ZUVBrowserControllerPrivate>()) {
  addAction("back", [this](const std::shared_ptr<platform::View>&) { back(); });
  addAction("forward", [this](const std::shared_ptr<platform::View>&) { forward(); });
  addAction("reload", [this](const std::shared_ptr<platform::View>&) { reload(); });
  addAction("openInSafari", [this](const std::shared_ptr<platform::View>&) { openInSafari(); });
}

ZUVBrowserControllerPrivate& ZUVBrowserController::vars() const {
  return static_cast<ZUVBrowserControllerPrivate&>(privateData());
}

void ZUVBrowserController::load(const std::optional<platform::URL>& url,
                                const std::optional<platform::URL>& referringURL) {
  if (!url) return;
  auto web = webView();
  if (!web) {
    vars().urlToLoad = url;
    vars().referringURLToLoad = referringURL;
    return;
  }
  platform::WebRequest request(*url);
  if (referringURL) request.setValueForHTTPHeaderField(referringURL->absoluteString(), "Referer");
  web->loadRequest(request);
}

void ZUVBrowserController::back() {
  if (auto web = webView(); web && web->canGoBack()) web->goBack();
}

void ZUVBrowserController::forward() {
  if (auto web = webView(); web && web->canGoForward()) web->goForward();
}

void ZUVBrowserController::reload() {
  if (auto web = webView()) web->reload();
}

void ZUVBrowserController::stop() {
  if (auto web = webView()) web->stopLoading();
}

void ZUVBrowserController::openInSafari() {
  auto web = webView();
  // Without a page there is nothing to open outside, and no break-out to count.
  if (!web || web->request().url().absoluteString().empty() ||
      web->request().url().scheme() == "about") {
    return;
  }
  ZUVOpener opener;
  opener.setDelegateManager(delegateManager());
  opener.openApp(web->request().url());
  ZUVStatistics::sharedStatistics().setBreakOutToSafari();
}

void ZUVBrowserController::viewWillAppear(bool animated) {
  ZUVViewController::viewWillAppear(animated);
  if (webView()) return;
  const std::optional<int>& idiom = platform::DeviceProfile::current().interfaceIdiom;
  double height = kToolbarHeight;
  unsigned webMask = platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight;
  unsigned toolbarMask = platform::kAutoresizingFlexibleWidth |
                         platform::kAutoresizingFlexibleTopMargin |
                         platform::kAutoresizingFlexibleBottomMargin;
  if (idiom != kTabletIdiom) {
    if (ZUVIdentifierUtilities::sharedInstance().isOrientationLandscape()) {
      height = kLandscapePhoneToolbarHeight;
    }
    webMask |= platform::kAutoresizingFlexibleBottomMargin;
    toolbarMask |= platform::kAutoresizingFlexibleHeight;
  }
  buildWebView(height, webMask);
  buildToolbar(height, toolbarMask);
  createToolbarButtons();
  refreshToolbar();
}

void ZUVBrowserController::buildWebView(double toolbarHeight, unsigned mask) {
  ZUVBrowserControllerPrivate& data = vars();
  platform::Rect bounds = view()->bounds();
  auto web =
      makeWebView(platform::Rect(0, 0, bounds.size.width, bounds.size.height - toolbarHeight));
  web->setAutoresizingMask(mask);
  web->setScalesPageToFit(true);
  view()->addSubview(web);
  // Ad videos play in the page, without waiting for a tap.
  web->setAllowsInlineMediaPlayback(true);
  web->setMediaPlaybackRequiresUserAction(false);
  web->setDataDetectorTypes(kDataDetectorTypeAll);
  data.webView = web;
  data.webViewDelegate = std::make_shared<ZUVBrowserWebViewDelegate>(
      std::static_pointer_cast<ZUVBrowserController>(self()));
  data.webViewDelegate->setViewController(self());
  data.webViewDelegate->setGate(data.gate);
  data.webViewDelegate->carryTap(data.openedByTapAt);
  web->setDelegate(data.webViewDelegate);
  if (auto url = std::exchange(data.urlToLoad, std::nullopt)) {
    load(url, std::exchange(data.referringURLToLoad, std::nullopt));
  }
}

void ZUVBrowserController::buildToolbar(double toolbarHeight, unsigned mask) {
  platform::Rect bounds = view()->bounds();
  auto toolbar = platform::Toolbar::create(
      platform::Rect(0, bounds.size.height - toolbarHeight, bounds.size.width, toolbarHeight));
  toolbar->setAutoresizingMask(mask);
  toolbar->setAutoresizesSubviews(true);
  toolbar->setTintColor("black");
  view()->addSubview(toolbar);
  vars().toolbar = toolbar;
}

std::shared_ptr<platform::BarButtonItem> ZUVBrowserController::buttonWithImage(
    std::shared_ptr<platform::Image> image, std::string name, int width, bool enabled,
    std::string action) {
  auto item = platform::BarButtonItem::createWithImage(
      std::move(image), platform::BarButtonItemStyle::Plain, self(), std::move(action));
  item->setWidth(static_cast<double>(width));
  item->setEnabled(enabled);
  item->setIsAccessibilityElement(true);
  item->setAccessibilityLabel(std::move(name));
  return item;
}

std::shared_ptr<platform::BarButtonItem> ZUVBrowserController::systemButton(
    BarButtonSystemItem kind, std::string name, bool enabled, std::string action) {
  auto item = platform::BarButtonItem::createWithSystemItem(kind, self(), std::move(action));
  item->setEnabled(enabled);
  item->setIsAccessibilityElement(true);
  item->setAccessibilityLabel(std::move(name));
  return item;
}

void ZUVBrowserController::createToolbarButtons() {
  ZUVBrowserControllerPrivate& data = vars();
  data.flexibleSpaceButton =
      platform::BarButtonItem::createWithSystemItem(BarButtonSystemItem::FlexibleSpace);
  data.backButton =
      buttonWithImage(ZUVIntrinsicImages::browserBackButton(), "Back", kButtonWidth, false, "back");
  data.forwardButton = buttonWithImage(ZUVIntrinsicImages::browserForwardButton(), "Forward",
                                       kButtonWidth, false, "forward");
  data.spinner =
      platform::ActivityIndicatorView::create(platform::ActivityIndicatorViewStyle::White);
  data.spinner->setFrame(platform::Rect(0, 0, kSpinnerSide, kSpinnerSide));
  data.spinner->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                    platform::kAutoresizingFlexibleRightMargin);
  data.spinnerContainingButton = platform::BarButtonItem::createWithCustomView(data.spinner);
  data.spinnerContainingButton->setWidth(kSpinnerSide);
  data.spinnerContainingButton->setEnabled(true);
  data.spinnerContainingButton->setIsAccessibilityElement(true);
  data.spinnerContainingButton->setAccessibilityLabel("Spinner");
  data.reloadButton = systemButton(BarButtonSystemItem::Refresh, "Reload", true, "reload");
  data.reloadButton->setWidth(kButtonWidth);
  data.safariButton =
      systemButton(BarButtonSystemItem::Action, "View in Safari", false, "openInSafari");
  data.safariButton->setWidth(kButtonWidth);
  data.doneButton = systemButton(BarButtonSystemItem::Done, "Done", true, "relinquishScreen");
  data.doneButton->setStyle(platform::BarButtonItemStyle::Done);
}

void ZUVBrowserController::refreshToolbar() {
  ZUVBrowserControllerPrivate& data = vars();
  if (!data.webView || !data.toolbar) return;
  data.backButton->setEnabled(data.webView->canGoBack());
  data.forwardButton->setEnabled(data.webView->canGoForward());
  bool loading = data.webView->isLoading();
  if (loading) {
    data.spinner->startAnimating();
  } else {
    data.spinner->stopAnimating();
  }
  data.safariButton->setEnabled(!loading);
  const auto& space = data.flexibleSpaceButton;
  data.toolbar->setItems({data.backButton, space, data.forwardButton, space,
                          loading ? data.spinnerContainingButton : data.reloadButton, space,
                          data.safariButton, space, data.doneButton});
}

void ZUVBrowserController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) {
  ZUVViewController::didRotateFromInterfaceOrientation(from);
  if (auto web = webView()) {
    ZUVWebViewDelegate::notifyWebViewOfOrientationChange(*web, interfaceOrientation());
  }
}
