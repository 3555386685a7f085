#pragma once

#include <optional>
#include <string>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

// A message that an ad page sent by loading a "gmsg" or "vodov" URL: a name and its
// parameters.
class ZUVNotification {
 public:
  ZUVNotification(std::string name, std::optional<platform::Dictionary> parameters)
      : name_(std::move(name)), parameters_(std::move(parameters)) {}

  static bool isNotificationURL(const platform::URL& url);
  static bool isGMSGNotificationURL(const platform::URL& url);
  static bool isVoDovNotificationURL(const platform::URL& url);
  // Nothing for a URL of neither scheme, a "gmsg" name that does not decode to UTF-8 text
  // without NUL, or a "vodov" host it does not know (hosts compare as written).
  static std::optional<ZUVNotification> notificationFromURL(const platform::URL& url);

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  // Absent for the "close" message.
  const std::optional<platform::Dictionary>& parameters() const { return parameters_; }
  void setParameters(std::optional<platform::Dictionary> parameters) {
    parameters_ = std::move(parameters);
  }

  std::string description() const;

 private:
  std::string name_;
  std::optional<platform::Dictionary> parameters_;
};
