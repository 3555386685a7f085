#pragma once

#include <memory>

#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/WeakFactory.h"

class ZUVMraidController;

// The delegate of the web view that a two-part MRAID ad expands into: its bridge messages go
// to the ad's container, the container's own load of the page goes ahead (its redirects only to
// web pages: no one tapped it), and any navigation the page starts is a click-through on the
// ad's click path, the user's tap required. Made and
// owned by the container; it hears nothing once the container has gone. Main thread only.
class ZUVMraidWebViewDelegate : public ZUVWebViewDelegate {
 public:
  ZUVMraidWebViewDelegate(platform::WeakRef<ZUVMraidController> controller,
                          std::shared_ptr<ZUVUserActivationGate> gate);

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;

 private:
  platform::WeakRef<ZUVMraidController> controller_;
};
