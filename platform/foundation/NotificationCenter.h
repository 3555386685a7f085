#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Registration.h"
#include "platform/foundation/Value.h"

namespace platform {

// The object that posts a notification, or whose notifications an observer wants. An object
// given by its shared owner is known by that owner as well as by its address, so a new object
// that happens to get a freed one's address is never taken for it. A bare address suits
// objects that outlive everyone who names them (the application, a test's locals).
class NotificationObject {
 public:
  NotificationObject() = default;
  NotificationObject(std::nullptr_t) {}
  NotificationObject(const void* address) : address_(address) {}
  template <typename T>
  NotificationObject(const std::shared_ptr<T>& object)
      : address_(object.get()), owner_(object), owned_(object != nullptr) {}

  const void* address() const { return address_; }
  bool isNull() const { return address_ == nullptr; }
  // The same object: same address and, where both are owned, the same owner; an owned object
  // against a bare address only while it still exists.
  bool matches(const NotificationObject& other) const;

 private:
  const void* address_ = nullptr;
  std::weak_ptr<const void> owner_;
  bool owned_ = false;
};

struct Notification {
  std::string name;
  // The posting object; may be null.
  NotificationObject object;
  Dictionary userInfo;
};

// Delivers named notifications to observers, synchronously, in the order they were added.
// An observer filters by name (empty: every name) and by object (null: any object). An
// observer removed during a delivery is not called afterwards, not even by that delivery.
// Observing lasts as long as the Registration that addObserver returns; it may outlive the
// centre.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // The platform's default centre.
  static NotificationCenter& defaultCenter();

  [[nodiscard]] Registration addObserver(std::string name, NotificationObject object,
                                         Handler handler);

  void postNotification(const Notification& notification);
  void postNotification(std::string name, NotificationObject object, Dictionary userInfo = {});

  std::size_t observerCount() const { return observers_->size(); }

 private:
  struct Observer {
    std::string name;
    NotificationObject object;
    Handler handler;
    bool removed = false;
  };
  using Observers = std::vector<std::shared_ptr<Observer>>;

  // Shared with the registrations, which may outlive the centre.
  std::shared_ptr<Observers> observers_ = std::make_shared<Observers>();
  std::uint64_t nextRegistration_ = 1;
};

}  // namespace platform
