#pragma once

#include <memory>
#include <optional>

#include "ads/web/ZUVWebViewDelegate.h"

class ZUVObjectPrivate;

// The delegate of a banner's ad web view, made and owned by its ad controller. It reports the
// ad page once it has loaded (the controller's "loading" becomes "shown"), reports a page that
// fails to load before it was shown, and turns navigations in a shown ad into click-throughs:
// the ad page itself never navigates away. Main thread only.
class ZUVBannerWebViewDelegate : public ZUVWebViewDelegate {
 public:
  // initWithObjectPrivate: becomes the delegate of the controller's web view.
  explicit ZUVBannerWebViewDelegate(std::weak_ptr<ZUVObjectPrivate> controller);
  ~ZUVBannerWebViewDelegate() override;

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;
  void webViewDidFailLoadWithError(platform::WebView& webView,
                                   const platform::Error& error) override;

  // The ad page from which the last click-through left; the browser sends it as "Referer".
  const std::optional<platform::URL>& referringURL() const { return referringURL_; }

 protected:
  // Whether the navigation being decided came from the user's own tap in the page. Until the
  // web view reports that for each navigation, only link clicks count as taps.
  virtual bool navigationHadUserActivation(platform::WebView& webView,
                                           platform::WebViewNavigationType type) const;

 private:
  bool clickThrough(platform::WebView& webView, const platform::WebRequest& request,
                    platform::WebViewNavigationType type, ZUVObjectPrivate& controller);

  std::weak_ptr<ZUVObjectPrivate> private_;
  std::optional<platform::URL> referringURL_;
};
