#pragma once

/// @file
/// platform::ViewController: a screen's controller; a banner needs one to present its ads'
/// full screens from.

#include <memory>
#include <string>
#include <vector>

#include "velourphone/Export.h"
#include "velourphone/Registration.h"
#include "velourphone/Responder.h"
#include "velourphone/View.h"

namespace platform {

// The platform's interface orientation values.
enum class InterfaceOrientation {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeRight = 3,
  LandscapeLeft = 4
};
// Whether `o` lies across the screen.
inline bool isLandscape(InterfaceOrientation o) {
  return o == InterfaceOrientation::LandscapeLeft || o == InterfaceOrientation::LandscapeRight;
}
// The orientation's name, for logs.
VOZAVE_API std::string describeOrientation(InterfaceOrientation o);

// How a presented controller comes on screen, and how much of it it covers.
enum class ModalTransitionStyle {
  CoverVertical = 0,
  FlipHorizontal = 1,
  CrossDissolve = 2,
  PartialCurl = 3
};
// How much of the screen a presented controller covers.
enum class ModalPresentationStyle {
  FullScreen = 0,
  PageSheet = 1,
  FormSheet = 2,
  CurrentContext = 3
};

class ViewController;

// One modal presentation or dismissal that took place. Headless, both happen at once; the
// record keeps what a real screen would have animated.
struct PresentationRecord {
  bool presented = true;                     // false: a dismissal
  std::weak_ptr<ViewController> presenter;   // the presenting side, while it lives
  std::weak_ptr<ViewController> controller;  // the presented one, while it lives
  std::string presenterClass;                // kept after the presenter is gone
  std::string controllerClass;               // kept after the controller is gone
  bool animated = false;                     // as the call asked
  ModalTransitionStyle transitionStyle = ModalTransitionStyle::CoverVertical;  // the controller's
  Instant at;                                                                  // run-loop time
};

// What a tab bar shows for a controller.
struct TabBarItem {
  std::string title;  // the label under the tab's icon
  int tag = 0;        // a number the application picks
};

// Manages one screen's view: loads it lazily from the interface resource named by nibName
// (the class name by default), receives the appearance, rotation and memory-warning calls and
// presents other controllers modally.
class VOZAVE_API ViewController : public Responder {
 public:
  // Where the controller's view is on its way on or off screen.
  enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

  // `className` names the subclass in logs and, by default, its interface resource.
  explicit ViewController(std::string className = "ViewController");

  // This controller as a shared pointer; null while no shared_ptr owns it.
  std::shared_ptr<ViewController> self() {
    return std::static_pointer_cast<ViewController>(weak_from_this().lock());
  }
  std::string className() const override { return className_; }  // as given to the constructor

  // The interface resource that loadView reads; the class name unless set.
  const std::string& nibName() const { return nibName_; }
  void setNibName(std::string name) { nibName_ = std::move(name); }  // before the view loads

  // Loads the view on first use (loadView, then viewDidLoad).
  std::shared_ptr<View> view();
  bool isViewLoaded() const { return view_ != nullptr; }  // without loading it
  // Owned; loadView sets it, a null one is loaded again on next use.
  void setView(std::shared_ptr<View> view) { view_ = std::move(view); }

  // Builds the view from the interface resource if there is one, else a plain view of the
  // application frame's size.
  virtual void loadView();
  virtual void viewDidLoad() {}            // the view is loaded: finish setting it up
  virtual void viewDidUnload() {}          // the view was released: drop links into it
  virtual void viewWillAppear(bool) {}     // about to come on screen; true if animated
  virtual void viewDidAppear(bool) {}      // now on screen
  virtual void viewWillDisappear(bool) {}  // about to leave the screen; true if animated
  virtual void viewDidDisappear(bool) {}   // now off screen
  // Releases the view if it is not on screen, then calls viewDidUnload.
  virtual void didReceiveMemoryWarning();

  const std::string& title() const { return title_; }  // shown in bars above the view
  void setTitle(std::string title);  // also the tab bar item's title, if that has none yet
  TabBarItem& tabBarItem() { return tabBarItem_; }  // what a tab bar shows for it, to change
  const TabBarItem& tabBarItem() const { return tabBarItem_; }  // what a tab bar shows for it

  // Modal presentation: the presented controller is owned by the presenting side (the
  // outermost container of this controller) and links back without owning. A presented
  // controller may present another, making a chain; dismissing a controller that presents
  // another dismisses that one (and what it presents) instead. A presented view fills the
  // application frame. False, with a log line, when refused: no controller, this one itself,
  // or one already presented here.
  [[nodiscard]] bool presentModalViewController(const std::shared_ptr<ViewController>& controller,
                                                bool animated);
  // Dismisses what this controller presents or, if nothing, this controller itself.
  void dismissModalViewController(bool animated);
  // What this controller (or its container) presents now, if anything.
  std::shared_ptr<ViewController> modalViewController() const;
  // The container (a tab bar controller) or else the controller that presented this one.
  std::shared_ptr<ViewController> parentViewController() const;
  // Not owned; set by the container that holds this controller.
  void setContainer(const std::shared_ptr<ViewController>& container) { container_ = container; }
  // How this controller comes on screen when presented.
  ModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  // Set before presenting.
  void setModalTransitionStyle(ModalTransitionStyle style) { transitionStyle_ = style; }
  // How much of the screen this controller covers when presented.
  ModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
  // Set before presenting.
  void setModalPresentationStyle(ModalPresentationStyle style) { presentationStyle_ = style; }
  // Whether to turn with the device to `o`; portrait only by default.
  virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) {
    return o == InterfaceOrientation::Portrait;
  }
  // The way it faces now.
  InterfaceOrientation interfaceOrientation() const { return orientation_; }
  // About to turn to the orientation, over that long.
  virtual void willRotateToInterfaceOrientation(InterfaceOrientation, Duration) {}
  // Done turning; given the orientation it left.
  virtual void didRotateFromInterfaceOrientation(InterfaceOrientation) {}
  // Asks nothing: does the rotation calls (forwarded to visible children), sets the new
  // orientation on this controller and its children and gives the view `frame`.
  void rotateToInterfaceOrientation(InterfaceOrientation to, Duration duration, const Rect& frame);

  // The appearance state machine that containers, the window and modal presentation drive;
  // calls the appearance virtuals once per transition and forwards them to visible children.
  Appearance appearance() const { return appearance_; }
  // Starts appearing or disappearing: the will-appear or will-disappear call, once.
  void beginAppearanceTransition(bool appearing, bool animated);
  // Finishes the transition begun: the did-appear or did-disappear call, once.
  void endAppearanceTransition(bool animated);

  // Every controller a container holds; none for a plain controller.
  virtual std::vector<std::shared_ptr<ViewController>> childViewControllers() const { return {}; }
  // The held controllers whose views are on screen; they hear the appearance and rotation calls.
  virtual std::vector<std::shared_ptr<ViewController>> visibleChildViewControllers() const {
    return {};
  }

 protected:
  // Called before the appearance calls when this controller is about to appear.
  virtual void prepareToAppear() {}

 private:
  ViewController* host();
  const ViewController* host() const;
  void setOrientationTree(InterfaceOrientation o);
  void sendWillRotate(InterfaceOrientation to, Duration duration);
  void sendDidRotate(InterfaceOrientation from);
  static void record(bool presented, ViewController& presenter, ViewController& controller,
                     bool animated);

  std::string className_;
  std::string nibName_;
  std::string title_;
  TabBarItem tabBarItem_;
  std::shared_ptr<View> view_;
  std::shared_ptr<ViewController> modal_;
  std::weak_ptr<ViewController> container_;
  std::weak_ptr<ViewController> presenting_;
  // Where the presenter's view was among its container's subviews: it goes back there, below
  // what was above it (an ad resized over the application).
  std::size_t presenterViewIndex_ = 0;
  InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
  Appearance appearance_ = Appearance::Disappeared;
  ModalTransitionStyle transitionStyle_ = ModalTransitionStyle::CoverVertical;
  ModalPresentationStyle presentationStyle_ = ModalPresentationStyle::FullScreen;
  Registration memoryWarningObserver_;
};

}  // namespace platform
