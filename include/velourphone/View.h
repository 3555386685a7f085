#pragma once

/// @file
/// platform::View: a rectangle on the screen with subviews.

#include <memory>
#include <string>
#include <vector>

#include "velourphone/Animation.h"
#include "velourphone/Export.h"
#include "velourphone/Geometry.h"
#include "velourphone/Responder.h"

namespace platform {

class Window;

// A rectangle on the screen with subviews, the platform's view. Held by shared_ptr; the
// superview link does not own.
class VOZAVE_API View : public Responder {
 public:
  static std::shared_ptr<View> create(const Rect& frame = {});  // a plain view of that frame
  explicit View(const Rect& frame = {});                        // for a subclass; use create
  ~View() override;

  // This view as a shared pointer; null while no shared_ptr owns it (inside its constructor).
  std::shared_ptr<View> self() { return std::static_pointer_cast<View>(weak_from_this().lock()); }

  const Rect& frame() const { return frame_; }  // in the superview's coordinates
  // Moves or resizes the view; a new size resizes the subviews by their autoresizing rules.
  void setFrame(const Rect& frame);
  // The view's own coordinates: the frame's size at the bounds origin.
  Rect bounds() const {
    return Rect(boundsOrigin_.x, boundsOrigin_.y, frame_.size.width, frame_.size.height);
  }
  void setBounds(const Rect& bounds);                              // keeps the centre
  Point center() const { return {frame_.midX(), frame_.midY()}; }  // the frame's centre
  void setCenter(Point center);  // moves the frame, keeping its size

  bool isHidden() const { return hidden_; }  // a hidden view and its subviews are not shown
  void setHidden(bool hidden);               // animatable
  double alpha() const { return alpha_; }    // opacity, 0 (transparent) to 1
  void setAlpha(double alpha);               // clamped to 0...1
  // Whether touches reach this view and its subviews.
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  // On by default.
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  int tag() const { return tag_; }      // a number the application picks to find the view by
  void setTag(int tag) { tag_ = tag; }  // for viewWithTag to find
  // The colour as text ("white", "#6d84a2"); empty for none.
  const std::string& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const std::string& color);  // animatable
  bool isOpaque() const { return opaque_; }           // a drawing hint: the view fills its bounds
  void setOpaque(bool opaque) { opaque_ = opaque; }   // on by default
  bool clipsToBounds() const { return clipsToBounds_; }  // whether subviews are cut at the bounds
  void setClipsToBounds(bool clips) { clipsToBounds_ = clips; }  // off by default

  // How this view follows its superview's size: AutoresizingMask flags.
  unsigned autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }  // AutoresizingMask flags
  // Whether a size change resizes the subviews by their masks.
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }  // on by default

  // Owned, back to front.
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
  // Not owned; null at the top of the tree.
  std::shared_ptr<View> superview() const { return superview_.lock(); }
  // The window this view is in, if any.
  std::shared_ptr<Window> window();
  // False (with a log line) for a view that would become its own ancestor.
  bool addSubview(const std::shared_ptr<View>& view);
  // As addSubview, at `index` among the subviews (past the end: in front).
  bool insertSubviewAtIndex(const std::shared_ptr<View>& view, std::size_t index);
  // As addSubview, just behind `sibling` (in front if `sibling` is not a subview).
  bool insertSubviewBelowSubview(const std::shared_ptr<View>& view,
                                 const std::shared_ptr<View>& sibling);
  void removeFromSuperview();  // the superview lets go; nothing if there is none
  // Moves a subview in front of its siblings; nothing for a view that is not a subview.
  void bringSubviewToFront(const std::shared_ptr<View>& view);
  // Moves a subview behind its siblings; nothing for a view that is not a subview.
  void sendSubviewToBack(const std::shared_ptr<View>& view);
  // Whether `ancestor` is above this view in the tree (not this view itself).
  bool isDescendantOfView(const View& ancestor) const;
  // This view or the first in its subtree, depth first, with that tag; null if none.
  std::shared_ptr<View> viewWithTag(int tag);

  // The deepest visible, touchable view under `point` (in this view's coordinates), front-most
  // first; null if the point misses or this view takes no touches.
  virtual std::shared_ptr<View> hitTest(Point point);
  // Whether `point` (this view's coordinates) lies in its bounds.
  virtual bool pointInside(Point point) const { return bounds().contains(point); }
  // Converts between this view's coordinates and the window's (or the top view's).
  Point convertPointToWindow(Point point) const;
  Rect frameInWindow() const;  // this view's bounds in the window's coordinates
  // Visible on screen as far as the view tree tells: no hidden or transparent ancestor.
  bool isVisibleInTree() const;

  // A view's follow-up to its superview's size change (the autoresizing rules).
  void resizeWithOldSuperviewSize(const Size& oldSize);

  // Animation blocks (beginAnimations ... commitAnimations). Blocks may nest: the settings of
  // the outermost block hold and its commit records everything set in between.
  static void beginAnimations(const std::string& name = "", void* context = nullptr);
  static void setAnimationDuration(Duration duration);  // of the open block; nothing outside one
  // Sets the open block's view transition; nothing outside one.
  static void setAnimationTransitionForView(AnimationTransition transition,
                                            const std::shared_ptr<View>& view, bool cache);
  // When the animation's duration has passed on the run loop, `selector` is performed on the
  // delegate (not owned) with no sender.
  static void setAnimationDelegate(const std::shared_ptr<Responder>& delegate);
  // The delegate's action to perform once the animation is over; nothing outside a block.
  static void setAnimationDidStopSelector(const std::string& selector);
  // Ends a block; the outermost one's commit records the animation.
  static void commitAnimations();
  static bool isInAnimationBlock();  // whether a block is open

  std::string className() const override { return "View"; }  // for logs and interfaces
  // The class of the view controller whose main view this is, or empty; so that a screen
  // printer can name a controller's view.
  const std::string& controllerClassName() const { return controllerClassName_; }
  // Set by the view controller that loads this view.
  void setControllerClassName(std::string name) { controllerClassName_ = std::move(name); }
  // One line for the screen printer: the class and its title or text, if any.
  virtual std::string describe() const;
  virtual std::string title() const { return ""; }  // a control's title or text; empty here
  // Whether the view draws something of its own over its bounds besides its background colour
  // (a page, a title, an image, a bar): what covers the views below it (Exposure.h).
  virtual bool drawsContent() const { return false; }

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
