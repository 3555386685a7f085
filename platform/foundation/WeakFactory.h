#pragma once

#include <memory>
#include <utility>

namespace platform {

template <typename T>
class WeakFactory;

// A copyable link to an object that may be gone: get() gives the object while it lives and
// nullptr afterwards. Made by the object's WeakFactory. Main thread only.
template <typename T>
class WeakRef {
 public:
  WeakRef() = default;
  T* get() const { return token_.expired() ? nullptr : object_; }
  explicit operator bool() const { return get() != nullptr; }

 private:
  friend class WeakFactory<T>;
  WeakRef(const std::shared_ptr<const void>& token, T* object) : token_(token), object_(object) {}

  std::weak_ptr<const void> token_;
  T* object_ = nullptr;
};

// The one way to say "call me back if I still exist". An object that hands callbacks to
// something that may outlive it (timers, delayed calls, replies, posted tasks) owns a
// WeakFactory<T> as its LAST member, so that it is destroyed first and every link it gave is
// dead before any other member goes. weak() gives a WeakRef; bind() wraps a callback so that it
// does nothing once the object is gone:
//   timeout_ = loop.scheduleTimer(5, false, weakFactory_.bind([](Self& self, Timer&) {...}));
// revoke() kills the links given so far while the object lives on, so that the callbacks of a
// superseded piece of work (an older load) do nothing; links given afterwards work.
template <typename T>
class WeakFactory {
 public:
  explicit WeakFactory(T* object) : object_(object) {}
  WeakFactory(const WeakFactory&) = delete;
  WeakFactory& operator=(const WeakFactory&) = delete;

  WeakRef<T> weak() const { return WeakRef<T>(token_, object_); }

  // `function` is called as function(T& object, arguments...) while the object exists.
  template <typename Function>
  auto bind(Function function) const {
    return [ref = weak(), function = std::move(function)](auto&&... arguments) mutable {
      if (T* object = ref.get()) function(*object, std::forward<decltype(arguments)>(arguments)...);
    };
  }

  void revoke() { token_ = std::make_shared<char>(); }

 private:
  T* object_;
  std::shared_ptr<const void> token_ = std::make_shared<char>();
};

}  // namespace platform
