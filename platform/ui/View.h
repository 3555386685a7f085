#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Export.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Responder.h"

namespace platform {

class Window;

// A rectangle on the screen with subviews, the platform's view. Held by shared_ptr; the
// superview link does not own.
class VOZAVE_API View : public Responder {
 public:
  static std::shared_ptr<View> create(const Rect& frame = {});
  explicit View(const Rect& frame = {});
  ~View() override;

  // This view as a shared pointer; null while no shared_ptr owns it (inside its constructor).
  std::shared_ptr<View> self() { return std::static_pointer_cast<View>(weak_from_this().lock()); }

  const Rect& frame() const { return frame_; }
  void setFrame(const Rect& frame);
  Rect bounds() const {
    return Rect(boundsOrigin_.x, boundsOrigin_.y, frame_.size.width, frame_.size.height);
  }
  void setBounds(const Rect& bounds);  // keeps the centre
  Point center() const { return {frame_.midX(), frame_.midY()}; }
  void setCenter(Point center);

  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);  // clamped to 0...1
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  int tag() const { return tag_; }
  void setTag(int tag) { tag_ = tag; }
  const std::string& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const std::string& color);
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  bool clipsToBounds() const { return clipsToBounds_; }
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }

  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  // The window this view is in, if any.
  std::shared_ptr<Window> window();
  // False (with a log line) for a view that would become its own ancestor.
  bool addSubview(const std::shared_ptr<View>& view);
  bool insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index);
  bool insertSubviewBelowSubview(const std::shared_ptr<View>& view,
                                 const std::shared_ptr<View>& sibling);
  void removeFromSuperview();
  void bringSubviewToFront(const std::shared_ptr<View>& view);
  void sendSubviewToBack(const std::shared_ptr<View>& view);
  bool isDescendantOfView(const View& ancestor) const;
  std::shared_ptr<View> viewWithTag(int tag);

  // The deepest visible, touchable view under `point` (in this view's coordinates), front-most
  // first; null if the point misses or this view takes no touches.
  virtual std::shared_ptr<View> hitTest(Point point);
  bool pointInside(Point point) const { return bounds().contains(point); }
  // Converts between this view's coordinates and the window's (or the top view's).
  Point convertPointToWindow(Point point) const;
  Rect frameInWindow() const;
  // Visible on screen as far as the view tree tells: no hidden or transparent ancestor.
  bool isVisibleInTree() const;

  // A view's follow-up to its superview's size change (the autoresizing rules).
  void resizeWithOldSuperviewSize(const Size& oldSize);

  // Animation blocks (beginAnimations ... commitAnimations). Blocks may nest: the settings of
  // the outermost block hold and its commit records everything set in between.
  static void beginAnimations(const std::string& name = "", void* context = nullptr);
  static void setAnimationDuration(double seconds);
  static void setAnimationTransitionForView(AnimationTransition transition,
                                            const std::shared_ptr<View>& view, bool cache);
  // When the animation's duration has passed on the run loop, `selector` is performed on the
  // delegate (not owned) with no sender.
  static void setAnimationDelegate(const std::shared_ptr<Responder>& delegate);
  static void setAnimationDidStopSelector(const std::string& selector);
  static void commitAnimations();
  static bool isInAnimationBlock();
  // Every committed animation, oldest first.
  static const std::vector<AnimationRecord>& animationLog();
  static void clearAnimationLog();
  // Drops any open block and the log (between tests).
  static void resetAnimations();

  std::string className() const override { return "View"; }
  // The class of the view controller whose main view this is, or empty; so that a screen
  // printer can name a controller's view.
  const std::string& controllerClassName() const { return controllerClassName_; }
  void setControllerClassName(std::string name) { controllerClassName_ = std::move(name); }
  // One line for the screen printer: the class and its title or text, if any.
  virtual std::string describe() const;
  virtual std::string title() const { return ""; }

 protected:
  // Lays out the subviews after the view's size has changed, once the autoresizing rules
  // have run; for views that arrange their own content.
  virtual void layoutSubviews() {}

 private:
  // Notes an animatable property set inside an animation block.
  void noteChange(const std::string& property, const std::string& value);
  bool attach(const std::shared_ptr<View>& view, std::size_t index);
  void resizeSubviews(const Size& oldSize);

  Rect frame_;
  Point boundsOrigin_;
  bool hidden_ = false;
  double alpha_ = 1.0;
  bool userInteractionEnabled_ = true;
  int tag_ = 0;
  std::string backgroundColor_;
  unsigned autoresizingMask_ = kAutoresizingNone;
  bool autoresizesSubviews_ = true;
  bool opaque_ = true;
  bool clipsToBounds_ = false;
  std::vector<std::shared_ptr<View>> subviews_;
  std::weak_ptr<View> superview_;
  std::string controllerClassName_;
};

}  // namespace platform
