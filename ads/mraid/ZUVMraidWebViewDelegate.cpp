#include "ads/mraid/ZUVMraidWebViewDelegate.h"

#include "ads/mraid/ZUVMraidController.h"

ZUVMraidWebViewDelegate::ZUVMraidWebViewDelegate(platform::WeakRef<ZUVMraidController> controller,
                                                 std::shared_ptr<ZUVUserActivationGate> gate)
    : controller_(std::move(controller)) {
  setGate(std::move(gate));
}

bool ZUVMraidWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  ZUVMraidController* controller = controller_.get();
  if (!controller) return false;
  if (!webView.lastNavigationCameFromPage()) {
    // The container loaded this part by itself: neither the load nor its redirects are the
    // user's, whatever the engine grants a load's redirects, so they stay web pages in the view.
    if (!request.url().isHTTPOrHTTPS()) {
      gate()->refuse("leaving the ad", request.url(), "from a load no one tapped");
      return false;
    }
    return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                               type);
  }
  if (controller->receiveMessage(webView, request.url())) return false;
  controller->clickThrough(webView, request.url());
  return false;
}

void ZUVMraidWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  if (ZUVMraidController* controller = controller_.get()) controller->adPageDidLoad(webView);
}
