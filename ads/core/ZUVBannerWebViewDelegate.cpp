#include "ads/core/ZUVBannerWebViewDelegate.h"

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/mraid/ZUVMraidMessage.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

namespace {

bool isMessage(const platform::URL& url) {
  return url.writtenScheme() == "gmsg" || url.writtenScheme() == "vodov";
}

// An ad stays on screen while the next load fetches and builds, and after that load failed,
// until a new page takes its place.
bool displaysAd(const platform::WebView& webView, const ZUVObjectPrivate& controller) {
  switch (controller.state()) {
    case ZUVObjectPrivate::State::ShowingAd:
      return true;
    case ZUVObjectPrivate::State::NothingRequested:
    case ZUVObjectPrivate::State::LoadingAdPage:
      return false;
    default:
      return !webView.isHidden();
  }
}

}  // namespace

ZUVBannerWebViewDelegate::ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller)
    : private_(std::move(controller)) {}

bool ZUVBannerWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  auto controller = private_.lock();
  if (!controller) return false;
  ZUVMraidController* mraid = controller->mraid();
  // An expanded ad's click-throughs are presented over its own screen.
  std::shared_ptr<platform::ViewController> from =
      mraid ? mraid->frontController() : controller->rootViewController();
  setViewController(from);
  opener().setDelegateManager(controller->delegateManager());
  opener().setViewController(from);
  if (ZUVMraidMessage::isMessageURL(request.url())) {
    if (mraid) mraid->receiveMessage(webView, request.url());
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
  if (tapped || displaysAd(webView, *controller)) {
    return clickThrough(webView, request, type, from);
  }
  return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                             type);
}

bool ZUVBannerWebViewDelegate::clickThrough(platform::WebView& webView,
                                            const platform::WebRequest& request,
                                            platform::WebViewNavigationType type,
                                            const std::shared_ptr<platform::ViewController>& from) {
  (void)followClick(webView, request, type, from);
  return false;
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
  failRunawayLoad(webView, url, controller);
  return true;
}

void ZUVBannerWebViewDelegate::failRunawayLoad(platform::WebView& webView, const platform::URL& url,
                                               ZUVObjectPrivate& controller) {
  platform::log("<Vozave> Stopped an ad page that kept navigating itself without a tap: " +
                pageLogLine(url.absoluteString()));
  controller.changeState(ZUVObjectPrivate::State::LoadFailed);
  controller.delegateManager()->didFailToReceiveAdWithError(
      ZUVRequestError::errorWithCodeRequest(kZUVErrorNetworkError, controller.request().get()));
  controller.adPageDidFail();
  // Its scripts go with it, on the next pass: no load starts inside a decision.
  std::weak_ptr<platform::WebView> weak = webView.webSelf();
  platform::RunLoop::main().post([weak] {
    if (auto view = weak.lock()) view->loadHTMLStringBaseURL("", std::nullopt);
  });
}

void ZUVBannerWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  auto controller = private_.lock();
  if (!controller || controller->state() != ZUVObjectPrivate::State::LoadingAdPage) return;
  controller->changeState(ZUVObjectPrivate::State::ShowingAd);
  controller->adPageDidFinish();
  webView.setHidden(false);
  controller->delegateManager()->didReceiveAd();
  auto& statistics = ZUVStatistics::sharedStatistics();
  statistics.endTimingNamed(kZUVParameterPriorRequestLatency);
  statistics.startTimingNamed(kZUVParameterPriorPreClickLatency);
  if (ZUVMraidController* mraid = controller->mraid()) mraid->adPageDidLoad(webView);
}

void ZUVBannerWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView,
                                                           const platform::Error& error) {
  ZUVWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  auto controller = private_.lock();
  if (!controller || controller->state() == ZUVObjectPrivate::State::ShowingAd) return;
  // A page replaced by a newer one while it loaded belongs to a superseded load.
  if (error.domain == platform::kWebErrorDomain && error.code == platform::kWebErrorCancelled) {
    return;
  }
  controller->delegateManager()->didFailToReceiveAdWithError(
      ZUVRequestError::errorWithCodeRequest(kZUVErrorNetworkError, controller->request().get()));
  controller->adPageDidFail();
}
