#include "ads/web/ZUVNotification.h"

#include <cstdio>

#include "ads/support/ZUVAdMessageURL.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

namespace {

// A host is a short name; a page's longer one is cut in the log line.
constexpr std::size_t kMaxLoggedHostBytes = 100;

std::optional<ZUVNotification> gmsgNotification(const platform::URL& url) {
  // The name decodes as strictly as the parameters: a name that is not UTF-8 text, or that
  // would be cut short at a NUL, makes no message.
  auto path = ZUVStrictPercentDecode(url.path());
  if (!path || path->find('\0') != std::string::npos) return std::nullopt;
  // A message without a path gets the empty name rather than no message.
  std::string name = path->empty() ? std::string() : path->substr(1);
  return ZUVNotification(std::move(name),
                         ZUVNetworkUtilities::dictionaryFromQueryString(url.query()));
}

std::optional<ZUVNotification> vodovNotification(const platform::URL& url) {
  platform::Dictionary query = ZUVNetworkUtilities::dictionaryFromQueryString(url.query());
  // Hosts compare as written: "LAUNCH" is not "launch".
  const std::string& host = url.writtenHost();
  if (host == "launch") {
    platform::Dictionary parameters{{"a", "browser"}};
    if (const platform::Value* target = query.find("url")) parameters.set("u", *target);
    return ZUVNotification("open", std::move(parameters));
  }
  if (host == "closecanvas") return ZUVNotification("close", std::nullopt);
  if (host == "log") return ZUVNotification("log", std::move(query));
  platform::log("<Vozave> An ad page sent the unknown message vodov://" +
                platform::text::singleLine(host, kMaxLoggedHostBytes) + "; it is ignored.");
  return std::nullopt;
}

}  // namespace

bool ZUVNotification::isNotificationURL(const platform::URL& url) {
  return ZUVIsAdMessageURL(url);
}

bool ZUVNotification::isGMSGNotificationURL(const platform::URL& url) {
  return ZUVIsGMSGMessageURL(url);
}

bool ZUVNotification::isVoDovNotificationURL(const platform::URL& url) {
  return ZUVIsVoDovMessageURL(url);
}

std::optional<ZUVNotification> ZUVNotification::notificationFromURL(const platform::URL& url) {
  if (isGMSGNotificationURL(url)) return gmsgNotification(url);
  if (isVoDovNotificationURL(url)) return vodovNotification(url);
  return std::nullopt;
}

std::string ZUVNotification::description() const {
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  std::string parameters =
      parameters_ ? platform::Value(*parameters_).debugDescription() : "(null)";
  return "ZUVNotification<" + std::string(address) + ">: name:" + name_ +
         " parameters:" + parameters;
}
