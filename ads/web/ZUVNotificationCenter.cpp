#include "ads/web/ZUVNotificationCenter.h"

#include "ads/support/ZUVMacros.h"
#include "ads/web/ZUVNotification.h"
#include "platform/web/JavaScriptEvaluating.h"

ZUVNotificationCenter& ZUVNotificationCenter::defaultCenter() {
  // Never destroyed: ad controllers that live until exit leave it as they go, whatever the
  // order in which the process's statics are destroyed.
  static auto* center = new ZUVNotificationCenter();
  return *center;
}

std::string ZUVJSNotificationCall(std::string_view name,
                                  const std::optional<platform::Dictionary>& userInfo) {
  // The name goes between the quotes as it is: the client sends only its own event names.
  std::string call = std::string(kJSReceiveMessageMethod) + "('" + std::string(name) + "'";
  if (userInfo) call += ", " + ZUVMacros::jsonify(platform::Value(*userInfo)).value_or("");
  return call + ");";
}

void ZUVNotificationCenter::postJSNotification(std::string_view name,
                                               const std::optional<platform::Dictionary>& userInfo,
                                               platform::JavaScriptEvaluating& webView) {
  webView.runJavaScript(ZUVJSNotificationCall(name, userInfo));
}

void ZUVNotificationCenter::postNotificationFromURLObjectWithDelay(
    const platform::URL& url, std::shared_ptr<const void> object, double delay) {
  delayedPosts_.performAfterDelay(
      platform::seconds(delay),
      [this, url, object = std::move(object)] { postNotificationFromURLObject(url, object); });
}

void ZUVNotificationCenter::postNotificationFromURLObject(
    const platform::URL& url, const platform::NotificationObject& object) {
  auto message = ZUVNotification::notificationFromURL(url);
  if (!message) return;
  postNotification(message->name(), object, message->parameters().value_or(platform::Dictionary()));
}
