#pragma once

#include <memory>

#include "ads/web/ZUVWebViewDelegate.h"

class ZUVObjectPrivate;

// The delegate of a banner's ad web view, made and owned by its ad controller. It reports the
// ad page once it has loaded (the controller's "loading" becomes "shown"), reports a page that
// fails to load before it was shown, and turns navigations in a shown ad into click-throughs:
// the ad page itself never navigates away. Main thread only.
class ZUVBannerWebViewDelegate : public ZUVWebViewDelegate {
 public:
  // initWithObjectPrivate; the controller makes it its web view's delegate.
  explicit ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller);

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView,
                                   const platform::Error& error) override;

 private:
  bool clickThrough(platform::WebView& webView, const platform::WebRequest& request,
                    platform::WebViewNavigationType type, ZUVObjectPrivate& controller);

  std::weak_ptr<ZUVObjectPrivate> private_;
};
