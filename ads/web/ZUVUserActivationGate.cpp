#include "ads/web/ZUVUserActivationGate.h"

#include <string>

#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/Log.h"

bool ZUVUserActivationGate::allows(const platform::WebView& webView, std::string_view action,
                                   const platform::URL& url) {
  if (isTap(webView)) return true;
  refuse(action, url);
  return false;
}

bool ZUVUserActivationGate::isTap(const platform::WebView& webView) {
  // No one can tap a hidden view, whatever activation its page claims.
  return !webView.isHidden() && webView.lastNavigationHadUserActivation();
}

void ZUVUserActivationGate::refuse(std::string_view action, const platform::URL& url,
                                   std::string_view reason) {
  ++refused_;
  platform::log("<Vozave> Refused " + std::string(action) + " " + std::string(reason) + ": " +
                ZUVWebViewDelegate::pageLogLine(url.absoluteString()));
}

bool ZUVUserActivationGate::isForbiddenTarget(const platform::URL& url) {
  return url.scheme() == "javascript" || url.scheme() == "data";
}
