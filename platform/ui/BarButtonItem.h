#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Image.h"
#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

namespace platform {

// The platform's system bar button items (those it draws itself).
enum class BarButtonSystemItem {
  Done = 0,
  Cancel = 1,
  Edit = 2,
  Save = 3,
  Add = 4,
  FlexibleSpace = 5,
  FixedSpace = 6,
  Compose = 7,
  Reply = 8,
  Action = 9,
  Organize = 10,
  Bookmarks = 11,
  Search = 12,
  Refresh = 13,
  Stop = 14,
  Camera = 15,
  Trash = 16,
  Play = 17,
  Pause = 18,
  Rewind = 19,
  FastForward = 20
};

enum class BarButtonItemStyle { Plain = 0, Bordered = 1, Done = 2 };

// One button of a toolbar: a system item, an image or a custom view, with an optional
// target and action. The in-app browser builds its toolbar from these. The target is not
// owned.
class BarButtonItem {
 public:
  static std::shared_ptr<BarButtonItem> createWithSystemItem(
      BarButtonSystemItem item, const std::shared_ptr<Responder>& target = nullptr,
      std::string action = "");
  static std::shared_ptr<BarButtonItem> createWithImage(
      std::shared_ptr<Image> image, BarButtonItemStyle style,
      const std::shared_ptr<Responder>& target = nullptr, std::string action = "");
  static std::shared_ptr<BarButtonItem> createWithCustomView(std::shared_ptr<View> view);

  std::optional<BarButtonSystemItem> systemItem() const { return systemItem_; }
  bool isFlexibleSpace() const { return systemItem_ == BarButtonSystemItem::FlexibleSpace; }
  const std::shared_ptr<Image>& image() const { return image_; }
  const std::shared_ptr<View>& customView() const { return customView_; }

  BarButtonItemStyle style() const { return style_; }
  void setStyle(BarButtonItemStyle style) { style_ = style; }
  // In points; 0 lets the toolbar choose.
  double width() const { return width_; }
  void setWidth(double width) { width_ = width; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  std::shared_ptr<Responder> target() const { return target_.lock(); }
  void setTarget(const std::shared_ptr<Responder>& target) { target_ = target; }
  const std::string& action() const { return action_; }
  void setAction(std::string action) { action_ = std::move(action); }

  bool isAccessibilityElement() const { return accessibilityElement_; }
  void setIsAccessibilityElement(bool on) { accessibilityElement_ = on; }
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }

  // A user's tap: the action goes to the target. False when the item is disabled or has no
  // action; an action that the target does not answer, or a gone target, logs one line.
  bool tap();

  // For screen printers: the label, else the kind ("refresh", "image 27x27", "custom ...").
  std::string describe() const;

 private:
  BarButtonItem() = default;

  std::optional<BarButtonSystemItem> systemItem_;
  std::shared_ptr<Image> image_;
  std::shared_ptr<View> customView_;
  BarButtonItemStyle style_ = BarButtonItemStyle::Plain;
  double width_ = 0;
  bool enabled_ = true;
  std::weak_ptr<Responder> target_;
  std::string action_;
  bool accessibilityElement_ = false;
  std::string accessibilityLabel_;
};

}  // namespace platform
