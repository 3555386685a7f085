#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/web/ZUVOpener.h"
#include "ads/web/ZUVUserActivationGate.h"
#include "platform/foundation/Value.h"
#include "platform/ui/ViewController.h"
#include "platform/web/JavaScriptEvaluating.h"
#include "platform/web/WebView.h"

class ZUVClickTracker;
class ZUVNotification;

// Posted on the platform's default centre, object the web view, for every request the
// delegate sees except "file", "about" and plain loads of a page's root; user info "u" the
// URL's text and, for a message, "a" its name.
inline constexpr const char* ZUVWebViewDelegateDidReceiveWebAction = "didReceiveWebAction";

// What a full-screen ad controller offers the page it shows: the "close" message gives the
// screen back.
class ZUVScreenRelinquishing {
 public:
  virtual ~ZUVScreenRelinquishing() = default;
  virtual void relinquishScreen() = 0;
};

// The delegate of every web view that shows ad content, and the base of the banner's, the
// web application's and the browser's delegates; the ad controller uses it as it is for the
// hidden web view that builds the ad URL. It decides each request: web pages load, message
// URLs ("gmsg", "vodov") never do and become actions (click tracking, closing, logging,
// opening, touches, vibration, or a notification for the rest of the client), mail links
// open the mail composer and other schemes another application. Whatever leaves the
// application, presents a full screen or counts a click passes its gate first: the user's tap.
// After each load it tells the page the interface orientation. Main thread only.
class ZUVWebViewDelegate : public platform::WebViewDelegate {
 public:
  explicit ZUVWebViewDelegate(std::unique_ptr<ZUVOpener> opener = std::make_unique<ZUVOpener>());
  ~ZUVWebViewDelegate() override;
  ZUVWebViewDelegate(const ZUVWebViewDelegate&) = delete;
  ZUVWebViewDelegate& operator=(const ZUVWebViewDelegate&) = delete;

  // The controller from which click targets are presented; not owned.
  std::shared_ptr<platform::ViewController> viewController() const {
    return viewController_.lock();
  }
  void setViewController(std::weak_ptr<platform::ViewController> controller) {
    viewController_ = std::move(controller);
  }
  ZUVOpener& opener() { return *opener_; }
  // The rule that lets the ad leave, present or count a click only on the user's tap; a
  // banner's web views share their banner's.
  const std::shared_ptr<ZUVUserActivationGate>& gate() const { return gate_; }
  void setGate(std::shared_ptr<ZUVUserActivationGate> gate);
  // The user's tap at `tappedAt` opened the screen whose page this delegate decides: for
  // ZUVUserActivationGate::kCarriedTap after it, the page on screen may act without a tap.
  void carryTap(std::optional<platform::Instant> tappedAt) { carriedTapAt_ = tappedAt; }

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override;
  void webViewDidFinishLoad(platform::WebView& webView) override;

  // Follows the URL through its redirects, with the click signal added when asked and the
  // URL has an "ai" value; abandons the previous tracking. No or bad text tracks nothing.
  void trackURLStringAppendSpamSignals(const std::optional<std::string>& urlText,
                                       bool appendSpamSignals);
  // Hands "tx", "ty" and "td" to the signals module, -1 for each one missing.
  static void processTouchSignals(const platform::Dictionary& parameters);
  // The entry's leading integer, as a page's number text reads; -1 without an entry.
  static std::int32_t intForKeyFromDictionary(std::string_view key,
                                              const platform::Dictionary& dictionary);
  // Tells the page the angle of the interface orientation; other values tell nothing.
  static void notifyWebViewOfOrientationChange(platform::JavaScriptEvaluating& webView,
                                               platform::InterfaceOrientation orientation);
  // A page's text as one log line: control characters and backslashes escaped, and a
  // leading client prefix defused, so that it cannot pass for the client's own lines.
  static std::string pageLogLine(std::string_view text);

 protected:
  // Hands the URL to this delegate's click tracker, made on first use.
  virtual void trackURL(const std::optional<platform::URL>& url);
  // The landing-page timings of the full-screen web views: "plpl" runs from the first load's
  // start to its end, "plpd" from then until the full screen goes.
  static void landingPageDidStartLoad();
  static void landingPageDidFinishLoad();

 private:
  bool decideMessage(platform::WebView& webView, const platform::URL& url,
                     platform::Dictionary userInfo);
  void handleMessage(platform::WebView& webView, const platform::URL& url,
                     const ZUVNotification& message);

  // The gate's judgement, or the carried tap while it lasts.
  bool allows(const platform::WebView& webView, std::string_view action, const platform::URL& url);

  std::unique_ptr<ZUVOpener> opener_;
  std::shared_ptr<ZUVUserActivationGate> gate_ = std::make_shared<ZUVUserActivationGate>();
  std::optional<platform::Instant> carriedTapAt_;
  std::shared_ptr<ZUVClickTracker> tracker_;
  std::weak_ptr<platform::ViewController> viewController_;
};
