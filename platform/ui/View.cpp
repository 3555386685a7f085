#include "platform/ui/View.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/ui/Exposure.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {

// One axis of the autoresizing rules: the size change is shared among the flexible parts
// (leading margin, length, trailing margin) in proportion to their current sizes, or evenly
// when they are all empty.
void resizeAxis(bool flexLead, bool flexLength, bool flexTrail, double& origin, double& length,
                double oldTotal, double newTotal) {
  double delta = newTotal - oldTotal;
  int flexible = int(flexLead) + int(flexLength) + int(flexTrail);
  if (delta == 0 || flexible == 0) return;
  double lead = std::max(0.0, origin);
  double size = std::max(0.0, length);
  double trail = std::max(0.0, oldTotal - origin - length);
  double sum = (flexLead ? lead : 0) + (flexLength ? size : 0) + (flexTrail ? trail : 0);
  auto share = [&](double part) { return sum > 0 ? delta * part / sum : delta / flexible; };
  double leadShare = flexLead ? share(lead) : 0;
  double lengthShare = flexLength ? share(size) : 0;
  origin += leadShare;
  length = std::max(0.0, length + lengthShare);
}

}  // namespace

std::shared_ptr<View> View::create(const Rect& frame) {
  return std::make_shared<View>(frame);
}

View::View(const Rect& frame) : frame_(frame) {}

View::~View() = default;

void View::setFrame(const Rect& frame) {
  Size oldSize = frame_.size;
  frame_ = frame;
  noteChange("frame", describeRect(frame));
  exposureMayHaveChanged();
  if (oldSize == frame.size) return;
  resizeSubviews(oldSize);
  layoutSubviews();
}

void View::setBounds(const Rect& bounds) {
  Point c = center();
  boundsOrigin_ = bounds.origin;
  exposureMayHaveChanged();
  setFrame(Rect(c.x - bounds.size.width / 2, c.y - bounds.size.height / 2, bounds.size.width,
                bounds.size.height));
}

void View::setCenter(Point c) {
  setFrame(Rect(c.x - frame_.size.width / 2, c.y - frame_.size.height / 2, frame_.size.width,
                frame_.size.height));
}

void View::setHidden(bool hidden) {
  hidden_ = hidden;
  exposureMayHaveChanged();
  noteChange("hidden", hidden ? "yes" : "no");
}

void View::setAlpha(double alpha) {
  alpha_ = std::clamp(alpha, 0.0, 1.0);
  exposureMayHaveChanged();
  noteChange("alpha", describeNumber(alpha_));
}

void View::setBackgroundColor(const std::string& color) {
  backgroundColor_ = color;
  exposureMayHaveChanged();
  noteChange("backgroundColor", color);
}

std::shared_ptr<Window> View::window() {
  std::shared_ptr<View> top = self();
  if (!top) return nullptr;
  while (auto parent = top->superview()) top = parent;
  return std::dynamic_pointer_cast<Window>(top);
}

bool View::addSubview(const std::shared_ptr<View>& view) {
  return attach(view, subviews_.size() + (view && view->superview().get() == this ? -1 : 0));
}

bool View::insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index) {
  return attach(view, index);
}

bool View::insertSubviewBelowSubview(const std::shared_ptr<View>& view,
                                     const std::shared_ptr<View>& sibling) {
  if (!view) return false;
  if (view->superview().get() == this) view->removeFromSuperview();
  auto at = std::find(subviews_.begin(), subviews_.end(), sibling);
  return attach(view, static_cast<std::size_t>(at - subviews_.begin()));
}

bool View::attach(const std::shared_ptr<View>& view, std::size_t index) {
  auto me = self();
  if (!view || !me) return false;
  if (view.get() == this || isDescendantOfView(*view)) {
    log(className() + ": refused to add a view to its own subtree");
    return false;
  }
  std::shared_ptr<View> keep = view;  // removing it from its old parent may drop the last owner
  keep->removeFromSuperview();
  index = std::min(index, subviews_.size());
  subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), keep);
  keep->superview_ = me;
  exposureMayHaveChanged();
  noteChange("subviews", "+" + keep->describe());
  return true;
}

void View::removeFromSuperview() {
  auto parent = superview();
  superview_.reset();
  if (!parent) return;
  auto& siblings = parent->subviews_;
  auto at = std::find_if(siblings.begin(), siblings.end(),
                         [this](const std::shared_ptr<View>& v) { return v.get() == this; });
  if (at == siblings.end()) return;
  std::shared_ptr<View> keep = *at;  // this view may be the last owner's only reference
  siblings.erase(at);
  exposureMayHaveChanged();
  parent->noteChange("subviews", "-" + describe());
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
  auto at = std::find(subviews_.begin(), subviews_.end(), view);
  if (at == subviews_.end()) return;
  std::rotate(at, at + 1, subviews_.end());
  exposureMayHaveChanged();
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
  auto at = std::find(subviews_.begin(), subviews_.end(), view);
  if (at == subviews_.end()) return;
  std::rotate(subviews_.begin(), at, at + 1);
  exposureMayHaveChanged();
}

bool View::isDescendantOfView(const View& ancestor) const {
  for (auto v = superview(); v; v = v->superview()) {
    if (v.get() == &ancestor) return true;
  }
  return false;
}

std::shared_ptr<View> View::viewWithTag(int tag) {
  if (tag_ == tag) return self();
  for (const auto& sub : subviews_) {
    if (auto found = sub->viewWithTag(tag)) return found;
  }
  return nullptr;
}

std::shared_ptr<View> View::hitTest(Point point) {
  if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_ || !pointInside(point)) return nullptr;
  auto me = self();
  // A copy: nothing may change the list under us, but the caller's actions might later.
  auto children = subviews_;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const View& sub = **it;
    Point inner{point.x - sub.frame_.origin.x + sub.boundsOrigin_.x,
                point.y - sub.frame_.origin.y + sub.boundsOrigin_.y};
    if (auto hit = (*it)->hitTest(inner)) return hit;
  }
  return me;
}

Point View::convertPointToWindow(Point point) const {
  const View* v = this;
  while (auto parent = v->superview()) {
    point = {point.x - v->boundsOrigin_.x + v->frame_.origin.x,
             point.y - v->boundsOrigin_.y + v->frame_.origin.y};
    v = parent.get();
  }
  return point;
}

Rect View::frameInWindow() const {
  Point origin = convertPointToWindow(boundsOrigin_);
  return Rect(origin.x, origin.y, frame_.size.width, frame_.size.height);
}

bool View::isVisibleInTree() const {
  for (const View* v = this; v; v = v->superview().get()) {
    if (v->hidden_ || v->alpha_ < 0.01) return false;
  }
  return true;
}

void View::resizeSubviews(const Size& oldSize) {
  if (!autoresizesSubviews_) return;
  auto children = subviews_;
  for (const auto& sub : children) sub->resizeWithOldSuperviewSize(oldSize);
}

void View::resizeWithOldSuperviewSize(const Size& oldSize) {
  auto parent = superview();
  if (!parent || autoresizingMask_ == kAutoresizingNone) return;
  Size newSize = parent->frame_.size;
  unsigned m = autoresizingMask_;
  Rect f = frame_;
  resizeAxis(m & kAutoresizingFlexibleLeftMargin, m & kAutoresizingFlexibleWidth,
             m & kAutoresizingFlexibleRightMargin, f.origin.x, f.size.width, oldSize.width,
             newSize.width);
  resizeAxis(m & kAutoresizingFlexibleTopMargin, m & kAutoresizingFlexibleHeight,
             m & kAutoresizingFlexibleBottomMargin, f.origin.y, f.size.height, oldSize.height,
             newSize.height);
  if (!(f == frame_)) setFrame(f);
}

std::string View::describe() const {
  if (!controllerClassName_.empty()) return controllerClassName_ + " view";
  std::string t = title();
  return t.empty() ? className() : className() + " \"" + t + "\"";
}

}  // namespace platform
