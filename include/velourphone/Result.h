#pragma once

/// @file
/// platform::Result: a value or the platform::Error saying why there is none.

#include <cassert>
#include <utility>
#include <variant>

#include "velourphone/Error.h"

namespace platform {

// What a function returns when it can fail for a reason its caller should see: the value, or
// the Error saying why not. Platform and tool code uses it for its own fallible calls (start a
// browser, parse a text, store a setting). It does not replace the object model's own status
// conventions: an error handed to a delegate or a reply callback, or an error out-parameter
// that the modelled API itself declares, stay as they are.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}      // success
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // failure

  bool ok() const { return state_.index() == 0; }  // whether it holds a value
  explicit operator bool() const { return ok(); }  // ok()

  // The value; only when ok().
  const T& value() const& { return checkedValue(*this); }
  T& value() & { return checkedValue(*this); }               // the value, to change
  T&& value() && { return std::move(checkedValue(*this)); }  // the value, moved out
  const T* operator->() const { return &value(); }           // the value's members
  T* operator->() { return &value(); }                       // the value's members, to change
  const T& operator*() const& { return value(); }            // value()
  T& operator*() & { return value(); }                       // value(), to change

  // Why there is no value; only when not ok().
  const Error& error() const {
    assert(!ok());
    return std::get<1>(state_);
  }
  // The value, or `fallback` when there is none.
  T valueOr(T fallback) const& { return ok() ? value() : std::move(fallback); }
  // The value moved out, or `fallback` when there is none.
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
  Result() = default;                                               // success
  Result(Error error) : error_(std::move(error)), failed_(true) {}  // failure

  bool ok() const { return !failed_; }             // whether it succeeded
  explicit operator bool() const { return ok(); }  // ok()
  // Why it failed; only when not ok().
  const Error& error() const {
    assert(failed_);
    return error_;
  }

 private:
  Error error_;
  bool failed_ = false;
};

}  // namespace platform
