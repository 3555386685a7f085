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

std::shared_ptr<NotificationCenter::Observer> NotificationCenter::add(const void* observer,
                                                                      std::string name,
                                                                      NotificationObject object,
                                                                      Handler handler) {
  auto added = std::make_shared<Observer>();
  added->observer = observer;
  added->name = std::move(name);
  added->object = std::move(object);
  added->handler = std::move(handler);
  observers_->push_back(added);
  return added;
}

Registration NotificationCenter::addObserver(std::string name, NotificationObject object,
                                             Handler handler) {
  auto added = add(nullptr, std::move(name), std::move(object), std::move(handler));
  // Its own address as the observer: no removal by address can take it.
  added->observer = added.get();
  std::weak_ptr<Observers> observers = observers_;
  std::weak_ptr<Observer> weak = added;
  return Registration(nextRegistration_++, [observers, weak] {
    auto observer = weak.lock();
    if (!observer) return;
    observer->removed = true;
    if (auto list = observers.lock()) std::erase(*list, observer);
  });
}

void NotificationCenter::addObserver(const void* observer, std::string name,
                                     NotificationObject object, Handler handler) {
  add(observer, std::move(name), std::move(object), std::move(handler));
}

void NotificationCenter::removeObserver(const void* observer) {
  // The flag stops a delivery in progress, which holds its own list, from calling it.
  std::erase_if(*observers_, [&](const std::shared_ptr<Observer>& registration) {
    bool matches = registration->observer == observer;
    if (matches) registration->removed = true;
    return matches;
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
