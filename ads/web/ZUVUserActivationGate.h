#pragma once

#include <cstdint>
#include <string_view>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/web/WebView.h"

// The one rule by which an ad web view may leave the application, present a full screen or
// count a click: only as the result of the user's own tap on that web view, as the web engine
// grants its transient activation to real input and never to a page's script, timer, synthetic
// event or window.open. The ad web view delegates ask it before each such action; a banner's ad
// and build web views share one, and so do the screens that its taps open, so that its
// refusals are counted per banner. Main thread only.
class ZUVUserActivationGate {
 public:
  // How long the tap that opened a screen counts for that screen's page, as the web's transient
  // activation lasts (a landing page that forwards to the app store as it loads).
  static constexpr platform::Duration kCarriedTap = platform::seconds(5);

  // True when the navigation that the web view's delegate decides now was started by the
  // user's tap on that view on screen. Otherwise the action is refused: one log line names
  // `action` and `url`, and the refusal is counted.
  [[nodiscard]] bool allows(const platform::WebView& webView, std::string_view action,
                            const platform::URL& url);
  // The same judgement without a refusal: the navigation being decided is the user's tap on
  // `webView` on screen.
  static bool isTap(const platform::WebView& webView);
  // Logs and counts a refused action, `reason` saying why.
  void refuse(std::string_view action, const platform::URL& url,
              std::string_view reason = "without a tap");
  // Targets that no tap may open anywhere: scripts and inline documents that would run with
  // the ad's rights, or be handed to another application.
  static bool isForbiddenTarget(const platform::URL& url);

  std::uint64_t refusedCount() const { return refused_; }

 private:
  std::uint64_t refused_ = 0;
};
