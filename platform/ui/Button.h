#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Exposure.h"
#include "platform/ui/Image.h"

namespace platform {

// The platform's button types: a custom button draws only what it is given.
enum class ButtonType { Custom = 0, RoundedRect = 1 };

// A push button with a title, or with an image for each control state (the close button of
// full-screen ads). It may glow where it is touched.
class Button : public Control {
 public:
  static std::shared_ptr<Button> create(const Rect& frame = {}, std::string title = "");
  static std::shared_ptr<Button> buttonWithType(ButtonType type);
  explicit Button(const Rect& frame = {}, std::string title = "")
      : Control(frame), title_(std::move(title)) {}

  ButtonType buttonType() const { return type_; }
  std::string title() const override { return title_; }
  void setTitle(std::string title) {
    title_ = std::move(title);
    exposureMayHaveChanged();  // a title makes a custom button cover what lies below
  }

  // The image for exactly `state` (a combination of ControlState flags); null removes it.
  void setImageForState(std::shared_ptr<Image> image, unsigned state);
  // The image set for `state`, else the normal state's, as the platform falls back.
  std::shared_ptr<Image> imageForState(unsigned state) const;
  std::shared_ptr<Image> currentImage() const { return imageForState(state()); }

  bool showsTouchWhenHighlighted() const { return showsTouch_; }
  void setShowsTouchWhenHighlighted(bool shows) { showsTouch_ = shows; }
  // How many touches have made the button glow.
  int glowCount() const { return glowCount_; }

  void tap() override;

  // A custom button without a title or image is an invisible touch region.
  bool drawsContent() const override {
    return type_ == ButtonType::RoundedRect || !title_.empty() || !images_.empty();
  }
  std::string describe() const override;
  std::string className() const override { return "Button"; }

 private:
  ButtonType type_ = ButtonType::RoundedRect;
  std::string title_;
  std::map<unsigned, std::shared_ptr<Image>> images_;
  bool showsTouch_ = false;
  int glowCount_ = 0;
};

// A line or a few lines of static text.
class Label : public View {
 public:
  static std::shared_ptr<Label> create(const Rect& frame = {}, std::string text = "");
  explicit Label(const Rect& frame = {}, std::string text = "")
      : View(frame), text_(std::move(text)) {
    setUserInteractionEnabled(false);
  }

  const std::string& text() const { return text_; }
  void setText(std::string text) {
    text_ = std::move(text);
    exposureMayHaveChanged();  // a label covers where it has text
  }
  std::string title() const override { return text_; }
  bool drawsContent() const override { return !text_.empty(); }

  std::string className() const override { return "Label"; }

 private:
  std::string text_;
};

}  // namespace platform
