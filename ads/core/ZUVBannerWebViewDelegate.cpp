#include "ads/core/ZUVBannerWebViewDelegate.h"

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/Log.h"

ZUVBannerWebViewDelegate::ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller)
    : private_(std::move(controller)) {}

bool ZUVBannerWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  auto controller = private_.lock();
  if (!controller) return false;
  setViewController(controller->rootViewController());
  opener().setDelegateManager(controller->delegateManager());
  opener().setViewController(controller->rootViewController());
  if (controller->state() != ZUVObjectPrivate::kStateShowing) {
    return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                               type);
  }
  return clickThrough(webView, request, type, *controller);
}

bool ZUVBannerWebViewDelegate::clickThrough(platform::WebView& webView,
                                            const platform::WebRequest& request,
                                            platform::WebViewNavigationType type,
                                            ZUVObjectPrivate&) {
  const platform::URL& url = request.url();
  bool message = url.writtenScheme() == "gmsg" || url.writtenScheme() == "vodov";
  if (!message && url.scheme() != "about" && type == platform::kWebViewNavigationTypeOther &&
      !webView.lastNavigationHadUserActivation()) {
    // A shown ad that navigates by itself, with no tap, is redirecting the user by force.
    platform::log("<Vozave> Blocked a navigation that the ad started without a tap: " +
                  ZUVWebViewDelegate::pageLogLine(url.absoluteString()));
    return false;
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
  return false;
}

void ZUVBannerWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  auto controller = private_.lock();
  if (!controller || controller->state() != ZUVObjectPrivate::kStateLoadingAd) return;
  controller->changeState(ZUVObjectPrivate::kStateShowing);
  controller->adPageDidFinish();
  webView.setHidden(false);
  controller->delegateManager()->didReceiveAd();
  auto& statistics = ZUVStatistics::sharedStatistics();
  statistics.endTimingNamed(kZUVParameterPriorRequestLatency);
  statistics.startTimingNamed(kZUVParameterPriorPreClickLatency);
}

void ZUVBannerWebViewDelegate::webViewDidFailLoadWithError(platform::WebView& webView,
                                                           const platform::Error& error) {
  ZUVWebViewDelegate::webViewDidFailLoadWithError(webView, error);
  auto controller = private_.lock();
  if (!controller || controller->state() == ZUVObjectPrivate::kStateShowing) return;
  // A page replaced by a newer one while it loaded belongs to a superseded load.
  if (error.domain == platform::kWebErrorDomain && error.code == platform::kWebErrorCancelled) {
    return;
  }
  controller->delegateManager()->didFailToReceiveAdWithError(
      ZUVRequestError::errorWithCodeRequest(kZUVErrorNetworkError, controller->request().get()));
  controller->adPageDidFail();
}
