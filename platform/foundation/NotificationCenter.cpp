#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace platform {

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object,
                                     Handler handler) {
  auto registration = std::make_shared<Registration>();
  registration->observer = observer;
  registration->name = std::move(name);
  registration->object = object;
  registration->handler = std::move(handler);
  observers_.push_back(std::move(registration));
}

void NotificationCenter::removeObserver(const void* observer) {
  removeObserver(observer, std::string(), nullptr);
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name,
                                        const void* object) {
  // The flag stops a delivery in progress, which holds its own list, from calling it.
  std::erase_if(observers_, [&](const std::shared_ptr<Registration>& registration) {
    bool matches = registration->observer == observer &&
                   (name.empty() || registration->name == name) &&
                   (object == nullptr || registration->object == object);
    if (matches) registration->removed = true;
    return matches;
  });
}

void NotificationCenter::postNotification(const Notification& notification) {
  // A copy, so that handlers may add and remove observers while it runs; the ones added now
  // wait for the next notification.
  auto snapshot = observers_;
  for (const auto& registration : snapshot) {
    if (registration->removed || !registration->handler) continue;
    if (!registration->name.empty() && registration->name != notification.name) continue;
    if (registration->object != nullptr && registration->object != notification.object) continue;
    registration->handler(notification);
  }
}

void NotificationCenter::postNotification(std::string name, const void* object,
                                          Dictionary userInfo) {
  postNotification(Notification{std::move(name), object, std::move(userInfo)});
}

}  // namespace platform
