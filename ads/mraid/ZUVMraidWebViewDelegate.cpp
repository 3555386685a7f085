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
  if (!controller || controller->receiveMessage(webView, request.url())) return false;
  if (!webView.lastNavigationCameFromPage()) {
    return ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request,
                                                                               type);
  }
  controller->clickThrough(webView, request.url());
  return false;
}

void ZUVMraidWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  ZUVWebViewDelegate::webViewDidFinishLoad(webView);
  if (ZUVMraidController* controller = controller_.get()) controller->adPageDidLoad(webView);
}
