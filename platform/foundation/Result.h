#pragma once

#include <cassert>
#include <utility>
#include <variant>

#include "platform/foundation/Error.h"

namespace platform {

// What a function returns when it can fail for a reason its caller should see: the value, or
// the Error saying why not. Platform and tool code uses it for its own fallible calls (start a
// browser, parse a text, store a setting). It does not replace the object model's own status
// conventions: an error handed to a delegate or a reply callback, or an error out-parameter
// that the modelled API itself declares, stay as they are.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  const T& value() const& { return checkedValue(*this); }
  T& value() & { return checkedValue(*this); }
  T&& value() && { return std::move(checkedValue(*this)); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }
  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }

  const Error& error() const {
    assert(!ok());
    return std::get<1>(state_);
  }
  T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }
  T valueOr(T fallback) && { return ok() ? std::move(*this).value() : std::move(fallback); }

 private:
  template <typename Self>
  static auto& checkedValue(Self& self) {
    assert(self.ok());
    return std::get<0>(self.state_);
  }

  std::variant<T, Error> state_;
};

// Success with nothing to return, or the Error saying why not.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), failed_(true) {}

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const Error& error() const {
    assert(failed_);
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

}  // namespace platform
