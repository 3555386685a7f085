#include "platform/ui/Toolbar.h"

#include <algorithm>

namespace platform {

namespace {

double naturalWidth(const BarButtonItem& item) {
  if (item.width() > 0) return item.width();
  if (item.customView()) return item.customView()->frame().size.width;
  if (item.image()) return item.image()->size().width;
  if (item.systemItem() == BarButtonSystemItem::FixedSpace) return 0;
  if (item.systemItem() == BarButtonSystemItem::Done) return Toolbar::kDoneItemWidth;
  return Toolbar::kSystemItemWidth;
}

}  // namespace

std::shared_ptr<Toolbar> Toolbar::create(const Rect& frame) {
  return std::make_shared<Toolbar>(frame);
}

void Toolbar::setItems(std::vector<std::shared_ptr<BarButtonItem>> items, bool) {
  for (const auto& old : items_) {
    const auto& view = old->customView();
    if (view && view->superview().get() == this) view->removeFromSuperview();
  }
  items_ = std::move(items);
  std::erase_if(items_, [](const auto& item) { return !item; });
  for (const auto& item : items_) {
    if (item->customView()) addSubview(item->customView());
  }
  layoutSubviews();
}

std::vector<Rect> Toolbar::itemFrames() const {
  double height = frame().size.height;
  double fixed = 0;
  std::size_t flexible = 0;
  for (const auto& item : items_) {
    if (item->isFlexibleSpace()) {
      ++flexible;
    } else {
      fixed += naturalWidth(*item);
    }
  }
  double spare = std::max(0.0, frame().size.width - 2 * kInset - fixed);
  double share = flexible ? spare / double(flexible) : 0;
  std::vector<Rect> frames;
  double x = kInset;
  for (const auto& item : items_) {
    double width = item->isFlexibleSpace() ? share : naturalWidth(*item);
    frames.emplace_back(x, 0, width, height);
    x += width;
  }
  return frames;
}

void Toolbar::layoutSubviews() {
  auto frames = itemFrames();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const auto& view = items_[i]->customView();
    if (!view || view->superview().get() != this) continue;
    Size size = view->frame().size;
    view->setFrame(Rect(frames[i].midX() - size.width / 2, frames[i].midY() - size.height / 2,
                        size.width, size.height));
  }
}

std::shared_ptr<BarButtonItem> Toolbar::itemAt(Point point) const {
  auto frames = itemFrames();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i]->isFlexibleSpace() && frames[i].contains(point)) return items_[i];
  }
  return nullptr;
}

std::shared_ptr<BarButtonItem> Toolbar::itemWithAccessibilityLabel(const std::string& label) const {
  for (const auto& item : items_) {
    if (item->accessibilityLabel() == label) return item;
  }
  return nullptr;
}

std::string Toolbar::describe() const {
  std::string text = "Toolbar [";
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (i) text += ", ";
    text += items_[i]->isFlexibleSpace() ? "|" : items_[i]->describe();
    if (!items_[i]->isFlexibleSpace() && !items_[i]->isEnabled()) text += " (off)";
  }
  return text + "]";
}

}  // namespace platform
