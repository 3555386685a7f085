#include "ads/web/ZUVWebViewDelegate.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUVPrivacy.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/media/SystemSound.h"
#include "platform/ui/Application.h"

namespace {

constexpr std::string_view kClientLogPrefix = "<Vozave>";

std::optional<std::string> textParameter(const std::optional<platform::Dictionary>& parameters,
                                         std::string_view key) {
  if (!parameters) return std::nullopt;
  const platform::Value* value = parameters->find(key);
  if (!value || !value->isString()) return std::nullopt;
  return value->stringValue();
}

void postWebAction(const platform::WebView& webView, platform::Dictionary userInfo) {
  platform::NotificationCenter::defaultCenter().postNotification(
      ZUVWebViewDelegateDidReceiveWebAction, static_cast<const void*>(&webView),
      std::move(userInfo));
}

void relinquishScreenOf(const std::shared_ptr<platform::ViewController>& controller) {
  if (auto* fullScreen = dynamic_cast<ZUVScreenRelinquishing*>(controller.get())) {
    fullScreen->relinquishScreen();
  }
}

}  // namespace

ZUVWebViewDelegate::ZUVWebViewDelegate(std::unique_ptr<ZUVOpener> opener)
    : opener_(opener ? std::move(opener) : std::make_unique<ZUVOpener>()) {
  opener_->setGate(gate_);
}

bool ZUVWebViewDelegate::allows(const platform::WebView& webView, std::string_view action,
                                const platform::URL& url) {
  const bool carried =
      carriedTapAt_ && !webView.isHidden() &&
      platform::RunLoop::main().now() - *carriedTapAt_ <= ZUVUserActivationGate::kCarriedTap;
  return carried || gate_->allows(webView, action, url);
}

void ZUVWebViewDelegate::setGate(std::shared_ptr<ZUVUserActivationGate> gate) {
  if (!gate) return;
  gate_ = std::move(gate);
  opener_->setGate(gate_);
}

ZUVWebViewDelegate::~ZUVWebViewDelegate() {
  if (tracker_) tracker_->reset();
}

bool ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(
    platform::WebView& webView, const platform::WebRequest& request,
    platform::WebViewNavigationType type) {
  const platform::URL& url = request.url();
  const std::string& scheme = url.scheme();
  ZUVNetworkUtilities::setUserAgentString(request.valueForHTTPHeaderField("User-Agent"));
  opener_->setViewController(viewController_);
  if (scheme == "file") return false;
  if (scheme == "about") return true;
  platform::Dictionary userInfo{{"u", url.absoluteString()}};
  if (ZUVNotification::isNotificationURL(url)) return decideMessage(webView, url, userInfo);
  // A page's own load of its root is no action of the user's.
  if (type != platform::kWebViewNavigationTypeOther || url.path().size() > 1) {
    postWebAction(webView, std::move(userInfo));
  }
  if (url.isHTTPOrHTTPS()) return true;
  if (ZUVUserActivationGate::isForbiddenTarget(url)) {
    gate_->refuse("opening", url, "of a script or inline document");
    return false;
  }
  if (scheme == "mailto") {
    if (allows(webView, "the mail composer", url)) opener_->openEmailComposer(url);
    return false;
  }
  if (allows(webView, "leaving for another application", url)) opener_->openApp(url);
  return false;
}

bool ZUVWebViewDelegate::decideMessage(platform::WebView& webView, const platform::URL& url,
                                       platform::Dictionary userInfo) {
  std::optional<ZUVNotification> message = ZUVNotification::notificationFromURL(url);
  // A "vodov" host that names no message is reported as a bare action and does nothing more.
  if (message) userInfo.set("a", message->name());
  postWebAction(webView, std::move(userInfo));
  if (message) handleMessage(webView, url, *message);
  return false;
}

void ZUVWebViewDelegate::handleMessage(platform::WebView& webView, const platform::URL& url,
                                       const ZUVNotification& message) {
  const std::string& name = message.name();
  const std::optional<platform::Dictionary>& parameters = message.parameters();
  if (name == "click") {
    if (allows(webView, "a click message", url)) {
      trackURLStringAppendSpamSignals(textParameter(parameters, "u"), true);
    }
  } else if (name == "close") {
    relinquishScreenOf(viewController());
  } else if (name == "httpTrack") {
    trackURLStringAppendSpamSignals(textParameter(parameters, "u"), false);
  } else if (name == "log") {
    platform::log(pageLogLine(textParameter(parameters, "string").value_or("(null)")));
  } else if (name == "open") {
    if (allows(webView, "an open message", url)) opener_->openNotification(message);
  } else if (name == "touch") {
    processTouchSignals(parameters.value_or(platform::Dictionary()));
  } else if (name == "vibrate") {
    platform::AudioServicesPlaySystemSound(platform::kSystemSoundID_Vibrate);
  } else {
    ZUVNotificationCenter::defaultCenter().postNotificationFromURLObjectWithDelay(
        url, std::shared_ptr<const void>(webView.webSelf()), 0);
  }
}

void ZUVWebViewDelegate::webViewDidFinishLoad(platform::WebView& webView) {
  notifyWebViewOfOrientationChange(webView,
                                   platform::Application::shared()->statusBarOrientation());
}

void ZUVWebViewDelegate::landingPageDidStartLoad() {
  ZUVStatistics& statistics = ZUVStatistics::sharedStatistics();
  if (!statistics.timingNamed("plpl")) statistics.startTimingNamed("plpl");
}

void ZUVWebViewDelegate::landingPageDidFinishLoad() {
  ZUVStatistics& statistics = ZUVStatistics::sharedStatistics();
  if (statistics.timingNamed("plpd")) return;
  statistics.endTimingNamed("plpl");
  statistics.startTimingNamed("plpd");
}

void ZUVWebViewDelegate::trackURLStringAppendSpamSignals(const std::optional<std::string>& urlText,
                                                         bool appendSpamSignals) {
  std::optional<platform::URL> url = urlText ? platform::URL::parse(*urlText) : std::nullopt;
  if (url && appendSpamSignals) {
    if (auto adInfo = ZUVNetworkUtilities::parameterValueForKeyFromURL("ai", *url)) {
      std::string signal;
      if (zuv_gmcs(*adInfo, signal) != 0) {
        // A signal that would not make a URL leaves the click as the page gave it.
        if (auto withSignal = ZUVNetworkUtilities::appendQueryKeyValueToURL(signal, {}, *url)) {
          url = std::move(withSignal);
        }
      }
    }
  }
  trackURL(url);
}

void ZUVWebViewDelegate::trackURL(const std::optional<platform::URL>& url) {
  if (!tracker_) tracker_ = ZUVClickTracker::create();
  tracker_->trackURL(url);
}

void ZUVWebViewDelegate::processTouchSignals(const platform::Dictionary& parameters) {
  // Touches are device information: without the right to use it, the signals get none.
  if (!ZUVPrivacy::shared().current().mayUseDevice()) return;
  zuv_htg(intForKeyFromDictionary("tx", parameters), intForKeyFromDictionary("ty", parameters),
          intForKeyFromDictionary("td", parameters));
}

std::int32_t ZUVWebViewDelegate::intForKeyFromDictionary(std::string_view key,
                                                         const platform::Dictionary& dictionary) {
  const platform::Value* value = dictionary.find(key);
  if (!value) return -1;
  if (value->isNumber()) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value->integerValue(), std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
  }
  return platform::text::leadingInt32(value->stringValue());
}

void ZUVWebViewDelegate::notifyWebViewOfOrientationChange(
    platform::JavaScriptEvaluating& webView, platform::InterfaceOrientation orientation) {
  int angle = 0;
  switch (orientation) {
    case platform::InterfaceOrientation::Portrait:
      angle = 0;
      break;
    case platform::InterfaceOrientation::PortraitUpsideDown:
      angle = 180;
      break;
    case platform::InterfaceOrientation::LandscapeRight:
      angle = 90;
      break;
    case platform::InterfaceOrientation::LandscapeLeft:
      angle = -90;
      break;
    default:
      return;
  }
  webView.runJavaScript("window.__defineGetter__('orientation',function(){return " +
                        std::to_string(angle) + ";});window.onorientationchange();");
}

std::string ZUVWebViewDelegate::pageLogLine(std::string_view text) {
  if (!text.starts_with(kClientLogPrefix)) return platform::text::singleLine(text);
  return "\\x3c" + platform::text::singleLine(text.substr(1));
}
