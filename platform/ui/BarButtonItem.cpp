#include "platform/ui/BarButtonItem.h"

#include "platform/foundation/Log.h"

namespace platform {

namespace {

std::string systemItemName(BarButtonSystemItem item) {
  static const char* const names[] = {
      "done",    "cancel", "edit",   "save",     "add",       "flexible space", "fixed space",
      "compose", "reply",  "action", "organize", "bookmarks", "search",         "refresh",
      "stop",    "camera", "trash",  "play",     "pause",     "rewind",         "fast forward"};
  auto index = static_cast<std::size_t>(item);
  return index < std::size(names) ? names[index] : "item " + std::to_string(index);
}

}  // namespace

std::shared_ptr<BarButtonItem> BarButtonItem::createWithSystemItem(
    BarButtonSystemItem item, const std::shared_ptr<Responder>& target, std::string action) {
  std::shared_ptr<BarButtonItem> made(new BarButtonItem());
  made->systemItem_ = item;
  made->target_ = target;
  made->action_ = std::move(action);
  return made;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithImage(
    std::shared_ptr<Image> image, BarButtonItemStyle style,
    const std::shared_ptr<Responder>& target, std::string action) {
  std::shared_ptr<BarButtonItem> made(new BarButtonItem());
  made->image_ = std::move(image);
  made->style_ = style;
  made->target_ = target;
  made->action_ = std::move(action);
  return made;
}

std::shared_ptr<BarButtonItem> BarButtonItem::createWithCustomView(std::shared_ptr<View> view) {
  std::shared_ptr<BarButtonItem> made(new BarButtonItem());
  made->customView_ = std::move(view);
  return made;
}

bool BarButtonItem::tap() {
  if (!enabled_ || action_.empty()) return false;
  auto target = target_.lock();
  if (!target) {
    log(describe() + ": no target for action " + action_);
    return false;
  }
  if (!target->performAction(action_, customView_)) {
    log(target->className() + " does not respond to " + action_ + " (sent by " + describe() + ")");
    return false;
  }
  return true;
}

std::string BarButtonItem::describe() const {
  if (!accessibilityLabel_.empty()) return accessibilityLabel_;
  if (systemItem_) return systemItemName(*systemItem_);
  if (image_) {
    Size size = image_->size();
    return "image " + describeNumber(size.width) + "x" + describeNumber(size.height);
  }
  if (customView_) return "custom " + customView_->describe();
  return "item";
}

}  // namespace platform
