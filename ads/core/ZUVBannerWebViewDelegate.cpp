#include "ads/core/ZUVBannerWebViewDelegate.h"

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/mraid/ZUVMraidMessage.h"
#include "ads/support/ZUVStatistics.h"

namespace {

bool isMessage(const platform::URL& url) {
  return url.writtenScheme() == "gmsg" || url.writtenScheme() == "vodov";
}

}  // namespace

ZUVBannerWebViewDelegate::ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller)
    : private_(std::move(controller)) {}

bool ZUVBannerWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  auto controller = private_.lock();
  if (!controller) return false;
  std::shared_ptr<platform::ViewController> from = controller->clickPresenter();
  setViewController(from);
  opener().setDelegateManager(controller->delegateManager());
  opener().setViewController(from);
  if (ZUVMraidMessage::isMessageURL(request.url())) {
    controller->adPageSentMessage(webView, request.url());
    return false;
  }
  if (stopsRunawayPage(webView, request.url(), *controller)) return false;
  // The client's own loads (the next ad, the blank page that stops a runaway) are no clicks.
  if (webView.lastNavigationCameFromApplication()) {
    return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                               type);
  }
  // The user's tap on the ad on screen is a click-through, whatever the next load is doing.
  const bool tapped = !webView.isHidden() && webView.lastNavigationHadUserActivation();
  if (tapped || controller->displaysAd(webView)) {
    (void)controller->followClick(webView, request, type);
    return false;
  }
  return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                             type);
}

bool ZUVBannerWebViewDelegate::followClick(platform::WebView& webView,
                                           const platform::WebRequest& request,
                                           platform::WebViewNavigationType type,
                                           const std::shared_ptr<platform::ViewController>& from) {
  setViewController(from);
  opener().setViewController(from);
  const platform::URL& url = request.url();
  if (!isMessage(url) && url.scheme() != "about") {
    if (ZUVUserActivationGate::isForbiddenTarget(url)) {
      gate()->refuse("a click-through", url, "to a script or inline document");
      return false;
    }
    // A displayed ad that navigates by itself, with no tap, is redirecting the user by force.
    if (!gate()->allows(webView, "a click-through", url)) return false;
  }
  platform::URL clickURL = ZUVStatistics::sharedStatistics().urlForClick(url);
  bool load =
      ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
  if (load) {
    opener().setReferringURL(webView.request().url());
    // "httpx:" and the like belong to other applications, not to the browser.
    if (clickURL.isHTTPOrHTTPS()) {
      opener().openBrowserToURLSupportedOrientations(clickURL, kZUVOrientationsAny);
    }
  }
  return true;
}

bool ZUVBannerWebViewDelegate::stopsRunawayPage(platform::WebView& webView,
                                                const platform::URL& url,
                                                ZUVObjectPrivate& controller) {
  if (!webView.lastNavigationCameFromPage() || webView.lastNavigationHadUserActivation() ||
      !url.isHTTPOrHTTPS()) {
    return false;
  }
  if (countedPage_.lock() != controller.adHTML()) {
    countedPage_ = controller.adHTML();
    selfNavigations_ = 0;
  }
  // Once stopped, the page stays stopped whatever the state; before, only its load counts.
  const bool stopped = selfNavigations_ > kMaxSelfNavigations;
  if (stopped) return true;
  if (controller.state() != ZUVObjectPrivate::State::LoadingAdPage) return false;
  if (++selfNavigations_ <= kMaxSelfNavigations) return false;
  controller.adPageKeptNavigating(webView, url);
  return true;
}

// The controller decides what a page's load end means; the delegate only reports it.
void ZUVBannerWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  if (auto controller = private_.lock()) controller->adPageDidLoad(webView);
}

void ZUVBannerWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView,
                                                           const platform::Error& error) {
  ZUVWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  if (auto controller = private_.lock()) controller->adPageDidFailToLoad(error);
}
