#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace platform {

bool NotificationObject::matches(const NotificationObject& other) const {
  if (address_ != other.address_) return false;
  if (!owned_ || !other.owned_) {
    // A bare address names whatever lives there, so an owned object is it only while alive.
    const NotificationObject& owned = owned_ ? *this : other;
    return !owned.owned_ || !owned.owner_.expired();
  }
  return !owner_.owner_before(other.owner_) && !other.owner_.owner_before(owner_);
}

NotificationCenter& NotificationCenter::defaultCenter() {
  static NotificationCenter center;
  return center;
}

Registration NotificationCenter::addObserver(std::string name, NotificationObject object,
                                             Handler handler) {
  auto added = std::make_shared<Observer>();
  added->name = std::move(name);
  added->object = std::move(object);
  added->handler = std::move(handler);
  observers_->push_back(added);
  std::weak_ptr<Observers> observers = observers_;
  std::weak_ptr<Observer> weak = added;
  return Registration(nextRegistration_++, [observers, weak] {
    auto observer = weak.lock();
    if (!observer) return;
    observer->removed = true;
    if (auto list = observers.lock()) std::erase(*list, observer);
  });
}

void NotificationCenter::postNotification(const Notification& notification) {
  // A copy, so that handlers may add and remove observers while it runs; the ones added now
  // wait for the next notification.
  auto snapshot = *observers_;
  for (const auto& registration : snapshot) {
    if (registration->removed || !registration->handler) continue;
    if (!registration->name.empty() && registration->name != notification.name) continue;
    if (!registration->object.isNull() && !registration->object.matches(notification.object)) {
      continue;
    }
    registration->handler(notification);
  }
}

void NotificationCenter::postNotification(std::string name, NotificationObject object,
                                          Dictionary userInfo) {
  postNotification(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

}  // namespace platform
