#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

namespace platform {
class JavaScriptEvaluating;
}

// The page's function that receives the client's events.
inline constexpr const char* kJSReceiveMessageMethod = "ZEDE_ReceiveMessage";

// The ad client's own notification centre: ad messages that the web view delegates do not
// handle themselves are posted here as notifications named after the message. It also sends
// events into a page.
class ZUVNotificationCenter : public platform::NotificationCenter {
 public:
  ZUVNotificationCenter() = default;

  // The client's centre, distinct from the platform's default centre.
  static ZUVNotificationCenter& defaultCenter();

  // Calls the page's receiver with the event name and, when given, the JSON text of
  // `userInfo`, without waiting for the page.
  void postJSNotification(std::string_view name,
                          const std::optional<platform::Dictionary>& userInfo,
                          platform::JavaScriptEvaluating& webView);

  // Parses and posts the message of `url` on the run loop after `delay` seconds. The URL, not
  // the parsed message, waits, so the message is parsed when it is posted. The posting holds
  // `object` until then, so it cannot be mistaken for a new object at the same address.
  void postNotificationFromURLObjectWithDelay(const platform::URL& url,
                                              std::shared_ptr<const void> object, double delay);
  // Posts the message of `url` now, with its parameters as user info; a URL that is no
  // message posts nothing.
  void postNotificationFromURLObject(const platform::URL& url,
                                     const platform::NotificationObject& object);

 private:
  platform::DelayedCalls delayedPosts_;
};

// The text that postJSNotification evaluates.
std::string ZUVJSNotificationCall(std::string_view name,
                                  const std::optional<platform::Dictionary>& userInfo);
