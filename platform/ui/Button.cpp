#include "platform/ui/Button.h"

namespace platform {

std::shared_ptr<Button> Button::create(const Rect& frame, std::string title) {
  return std::make_shared<Button>(frame, std::move(title));
}

std::shared_ptr<Label> Label::create(const Rect& frame, std::string text) {
  return std::make_shared<Label>(frame, std::move(text));
}

std::shared_ptr<Button> Button::buttonWithType(ButtonType type) {
  auto button = std::make_shared<Button>();
  button->type_ = type;
  return button;
}

void Button::setImageForState(std::shared_ptr<Image> image, unsigned state) {
  if (image) {
    images_[state] = std::move(image);
  } else {
    images_.erase(state);
  }
  exposureMayHaveChanged();
}

std::shared_ptr<Image> Button::imageForState(unsigned state) const {
  auto found = images_.find(state);
  if (found == images_.end()) found = images_.find(kControlStateNormal);
  return found == images_.end() ? nullptr : found->second;
}

void Button::tap() {
  if (isEnabled() && showsTouch_) ++glowCount_;
  Control::tap();
}

std::string Button::describe() const {
  if (!title_.empty() || !currentImage()) return Control::describe();
  Size size = currentImage()->size();
  return "Button image " + describeNumber(size.width) + "x" + describeNumber(size.height);
}

}  // namespace platform
