#pragma once

#include <memory>

#include "ads/web/ZUVWebViewDelegate.h"

class ZUVCachedFile;
class ZUVObjectPrivate;

// The delegate of a banner's ad web view, made and owned by its ad controller. It reports to
// the controller, which decides: the ad page's load end or failure, its messages, a page that
// keeps navigating itself without a tap while it loads, and clicks (navigations in a displayed
// ad and the user's taps), which go the controller's click path: the ad page itself never
// navigates away. Main thread only.
class ZUVBannerWebViewDelegate : public ZUVWebViewDelegate {
 public:
  // Navigations without a tap that a loading ad page may make before it is stopped.
  static constexpr int kMaxSelfNavigations = 3;

  // initWithObjectPrivate; the controller makes it its web view's delegate.
  explicit ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller);

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView,
                                   const platform::Error& error) override;

  // The controller's click path: the ad's click-through to the request (the click URL, the
  // in-app browser presented from `from`, another application), past the user's tap; false
  // when refused.
  [[nodiscard]] bool followClick(platform::WebView& webView, const platform::WebRequest& request,
                                 platform::WebViewNavigationType type,
                                 const std::shared_ptr<platform::ViewController>& from);

 private:
  // True when the navigation is one too many of the loading page's own, and is refused.
  bool stopsRunawayPage(platform::WebView& webView, const platform::URL& url,
                        ZUVObjectPrivate& controller);

  std::weak_ptr<ZUVObjectPrivate> private_;
  // The ad page whose own navigations are counted, and their count.
  std::weak_ptr<ZUVCachedFile> countedPage_;
  int selfNavigations_ = 0;
};
