#include "platform/ui/Button.h"

namespace platform {

std::shared_ptr<Button> Button::create(const Rect& frame, std::string title) {
  return std::make_shared<Button>(frame, std::move(title));
}

std::shared_ptr<Label> Label::create(const Rect& frame, std::string text) {
  return std::make_shared<Label>(frame, std::move(text));
}

}  // namespace platform
