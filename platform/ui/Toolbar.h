#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/View.h"

namespace platform {

// A bar of bar button items, as the in-app browser shows at its foot. Items are laid out left
// to right inside a 6-point inset: each takes its width (or the bar's default for its kind),
// flexible spaces share what is left. Custom views become subviews, centred in their slots,
// and are laid out again whenever the bar's size changes.
class Toolbar : public View {
 public:
  static constexpr double kInset = 6;
  static constexpr double kSystemItemWidth = 30;
  static constexpr double kDoneItemWidth = 50;

  static std::shared_ptr<Toolbar> create(const Rect& frame = {});
  using View::View;

  const std::vector<std::shared_ptr<BarButtonItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool animated = false);
  const std::string& tintColor() const { return tintColor_; }
  void setTintColor(std::string color) { tintColor_ = std::move(color); }

  // Each item's slot in the bar's coordinates, in item order.
  std::vector<Rect> itemFrames() const;
  // The item whose slot holds `point` (bar coordinates); flexible spaces are not items here.
  std::shared_ptr<BarButtonItem> itemAt(Point point) const;
  std::shared_ptr<BarButtonItem> itemWithAccessibilityLabel(const std::string& label) const;

  bool drawsContent() const override { return true; }
  std::string describe() const override;
  std::string className() const override { return "Toolbar"; }

 protected:
  void layoutSubviews() override;

 private:
  std::vector<std::shared_ptr<BarButtonItem>> items_;
  std::string tintColor_;
};

}  // namespace platform
