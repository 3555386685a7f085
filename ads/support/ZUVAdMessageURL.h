#pragma once

#include "platform/foundation/URL.h"

// Schemes of the URLs by which ad pages send messages to the client. They compare exactly,
// letter case included.
inline constexpr const char* kURLNotificationScheme = "gmsg";
inline constexpr const char* kURLVoDovNotificationScheme = "vodov";

inline bool ZUVIsGMSGMessageURL(const platform::URL& url) {
  return url.writtenScheme() == kURLNotificationScheme;
}

inline bool ZUVIsVoDovMessageURL(const platform::URL& url) {
  return url.writtenScheme() == kURLVoDovNotificationScheme;
}

// True for a URL of either message scheme, whatever the rest of it says.
inline bool ZUVIsAdMessageURL(const platform::URL& url) {
  return ZUVIsGMSGMessageURL(url) || ZUVIsVoDovMessageURL(url);
}
