#pragma once

/// @file
/// platform::Registration: the handle that ends a delayed call, a watch or an observer when it
/// goes.

#include <cstdint>
#include <functional>

#include "velourphone/Export.h"

namespace platform {

// Owns one registration with a service of the platform (a delayed call, a descriptor watch, a
// notification observer) and cancels it when destroyed, reassigned or cancel()led, so that an
// object holding its registrations needs no teardown code. Services hand it out; owners keep it
// as a member. It may be destroyed inside the callback it registered: the service keeps the
// running callback alive until it returns.
class VOZAVE_API Registration {
 public:
  Registration() = default;  // holds no registration
  // `id` names the registration to its service (a watch's id, for changeWatch); `cancel`
  // undoes it and is called at most once.
  Registration(std::uint64_t id, std::function<void()> cancel);
  Registration(Registration&& other) noexcept;  // takes the registration; `other` is empty
  Registration& operator=(Registration&& other) noexcept;  // cancels the one held before
  Registration(const Registration&) = delete;
  Registration& operator=(const Registration&) = delete;
  ~Registration();

  void cancel();  // nothing more is delivered; the handle is empty afterwards
  std::uint64_t id() const { return id_; }                      // 0 when empty
  bool isActive() const { return static_cast<bool>(cancel_); }  // not yet cancelled
  explicit operator bool() const { return isActive(); }         // isActive()

 private:
  std::uint64_t id_ = 0;
  std::function<void()> cancel_;
};

}  // namespace platform
