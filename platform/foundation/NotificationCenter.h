#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace platform {

struct Notification {
  std::string name;
  // The posting object, compared by identity; may be null.
  const void* object = nullptr;
  Dictionary userInfo;
};

// Delivers named notifications to observers, synchronously, in the order they were added.
// An observer filters by name (empty: every name) and by object (null: any object). An
// observer removed during a delivery is not called afterwards, not even by that delivery.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  NotificationCenter() = default;
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // The platform's default centre.
  static NotificationCenter& defaultCenter();

  void addObserver(const void* observer, std::string name, const void* object, Handler handler);
  // Removes every registration of `observer`.
  void removeObserver(const void* observer);
  // Removes the registrations of `observer` that match `name` (empty: any) and `object` (null:
  // any).
  void removeObserver(const void* observer, const std::string& name, const void* object);

  void postNotification(const Notification& notification);
  void postNotification(std::string name, const void* object, Dictionary userInfo = {});

  std::size_t observerCount() const { return observers_.size(); }

 private:
  struct Registration {
    const void* observer;
    std::string name;
    const void* object;
    Handler handler;
    bool removed = false;
  };
  std::vector<std::shared_ptr<Registration>> observers_;
};

}  // namespace platform
