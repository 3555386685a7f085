#include "platform/ui/ActivityIndicatorView.h"

namespace platform {

namespace {
double sideFor(ActivityIndicatorViewStyle style) {
  return style == ActivityIndicatorViewStyle::WhiteLarge ? 37 : 20;
}
}  // namespace

std::shared_ptr<ActivityIndicatorView> ActivityIndicatorView::create(
    ActivityIndicatorViewStyle style) {
  return std::make_shared<ActivityIndicatorView>(style);
}

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(Rect(0, 0, sideFor(style), sideFor(style))), style_(style) {
  setUserInteractionEnabled(false);
  setHidden(true);
}

void ActivityIndicatorView::startAnimating() {
  animating_ = true;
  if (hidesWhenStopped_) setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
  hidesWhenStopped_ = hides;
  if (!animating_) setHidden(hides);
}

std::string ActivityIndicatorView::describe() const {
  return std::string("ActivityIndicatorView ") + (animating_ ? "spinning" : "stopped");
}

}  // namespace platform
