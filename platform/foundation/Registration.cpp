#include "platform/foundation/Registration.h"

#include <utility>

namespace platform {

Registration::Registration(std::uint64_t id, std::function<void()> cancel)
    : id_(id), cancel_(std::move(cancel)) {}

Registration::Registration(Registration&& other) noexcept
    : id_(std::exchange(other.id_, 0)), cancel_(std::exchange(other.cancel_, nullptr)) {}

Registration& Registration::operator=(Registration&& other) noexcept {
  if (this != &other) {
    cancel();
    id_ = std::exchange(other.id_, 0);
    cancel_ = std::exchange(other.cancel_, nullptr);
  }
  return *this;
}

Registration::~Registration() {
  cancel();
}

void Registration::cancel() {
  // Emptied first: what the cancelling releases may reach this handle again.
  auto cancel = std::exchange(cancel_, nullptr);
  id_ = 0;
  if (cancel) cancel();
}

}  // namespace platform
