#pragma once

#include <memory>
#include <string>

#include "platform/ui/Control.h"

namespace platform {

// A push button with a title.
class Button : public Control {
 public:
  static std::shared_ptr<Button> create(const Rect& frame = {}, std::string title = "");
  explicit Button(const Rect& frame = {}, std::string title = "")
      : Control(frame), title_(std::move(title)) {}

  std::string title() const override { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  std::string className() const override { return "Button"; }

 private:
  std::string title_;
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
  void setText(std::string text) { text_ = std::move(text); }
  std::string title() const override { return text_; }

  std::string className() const override { return "Label"; }

 private:
  std::string text_;
};

}  // namespace platform
