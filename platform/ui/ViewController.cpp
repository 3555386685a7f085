#include "platform/ui/ViewController.h"

#include <algorithm>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {
constexpr const char* kMemoryWarningName = "UIApplicationDidReceiveMemoryWarningNotification";
// The name of a controller made without a class of its own: it names no layout of the
// application's, so none missing is worth a line.
constexpr const char* kPlainControllerName = "ViewController";

std::vector<PresentationRecord>& presentations() {
  static std::vector<PresentationRecord> log;
  return log;
}

// A presented controller covers the window's application frame; inside another view it takes
// the presenter's place.
Rect presentedFrame(const View& container, const View& presenterView) {
  return dynamic_cast<const Window*>(&container) ? Screen::applicationFrame()
                                                 : presenterView.frame();
}
}  // namespace

std::string describeOrientation(InterfaceOrientation o) {
  switch (o) {
    case InterfaceOrientation::Portrait:
      return "portrait";
    case InterfaceOrientation::PortraitUpsideDown:
      return "portrait-upside-down";
    case InterfaceOrientation::LandscapeRight:
      return "landscape-right";
    case InterfaceOrientation::LandscapeLeft:
      return "landscape-left";
  }
  return "unknown";
}

ViewController::ViewController(std::string className)
    : className_(std::move(className)), nibName_(className_) {
  memoryWarningObserver_ = NotificationCenter::defaultCenter().addObserver(
      kMemoryWarningName, nullptr, [this](const Notification&) { didReceiveMemoryWarning(); });
}

std::shared_ptr<View> ViewController::view() {
  if (!view_) {
    loadView();
    if (!view_) view_ = View::create(Screen::applicationFrame());
    view_->setControllerClassName(className());
    viewDidLoad();
  }
  return view_;
}

void ViewController::loadView() {
  if (!nibName_.empty()) {
    if (auto path = Bundle::main().pathForResourceOfType(nibName_, "ui")) {
      // A resource that fails to load has logged why; the screen falls back to a plain view.
      if (auto loaded = loadViewResource(*path, self())) {
        view_ = std::move(*loaded);
        return;
      }
    } else if (nibName_ != kPlainControllerName) {
      // Only the application's own bundle holds its layouts; a screen it gave none is plain.
      log("interface: no " + nibName_ + ".ui in " + Bundle::main().description() + "; " +
          className_ + " gets a plain view");
    }
  }
  view_ = View::create(Screen::applicationFrame());
}

void ViewController::didReceiveMemoryWarning() {
  if (!view_ || view_->superview() || appearance_ != Appearance::Disappeared) return;
  view_.reset();
  viewDidUnload();
}

void ViewController::setTitle(std::string title) {
  title_ = std::move(title);
  if (tabBarItem_.title.empty()) tabBarItem_.title = title_;
}

ViewController* ViewController::host() {
  ViewController* top = this;
  while (auto container = top->container_.lock()) top = container.get();
  return top;
}

const ViewController* ViewController::host() const {
  const ViewController* top = this;
  while (auto container = top->container_.lock()) top = container.get();
  return top;
}

std::shared_ptr<ViewController> ViewController::modalViewController() const {
  return host()->modal_;
}

std::shared_ptr<ViewController> ViewController::parentViewController() const {
  if (auto container = container_.lock()) return container;
  return presenting_.lock();
}

bool ViewController::presentModalViewController(const std::shared_ptr<ViewController>& controller,
                                                bool animated) {
  ViewController* presenter = host();
  if (!controller || controller.get() == presenter || controller.get() == this) return false;
  if (presenter->modal_) {
    log(className() + ": already presents " + presenter->modal_->className());
    return false;
  }
  presenter->modal_ = controller;
  controller->presenting_ = self();
  record(true, *presenter, *controller, animated);
  auto presenterView = presenter->view_;
  auto container = presenterView ? presenterView->superview() : nullptr;
  if (!container) return true;  // off screen: only the links change
  auto modalView = controller->view();
  modalView->setFrame(presentedFrame(*container, *presenterView));
  controller->setOrientationTree(presenter->orientation_);
  presenter->beginAppearanceTransition(false, animated);
  controller->beginAppearanceTransition(true, animated);
  const auto& siblings = container->subviews();
  controller->presenterViewIndex_ = static_cast<std::size_t>(
      std::find(siblings.begin(), siblings.end(), presenterView) - siblings.begin());
  container->addSubview(modalView);
  presenterView->removeFromSuperview();
  presenter->endAppearanceTransition(animated);
  controller->endAppearanceTransition(animated);
  return true;
}

void ViewController::dismissModalViewController(bool animated) {
  ViewController* presenter = host();
  auto modal = presenter->modal_;
  if (!modal) {
    // A presented controller asks its presenter to dismiss it.
    if (auto parent = presenting_.lock()) parent->dismissModalViewController(animated);
    return;
  }
  if (modal->modalViewController()) modal->dismissModalViewController(false);
  presenter->modal_.reset();
  modal->presenting_.reset();
  record(false, *presenter, *modal, animated);
  auto modalView = modal->isViewLoaded() ? modal->view_ : nullptr;
  auto container = modalView ? modalView->superview() : nullptr;
  if (!container) return;
  auto presenterView = presenter->view();
  presenterView->setFrame(presentedFrame(*container, *modalView));
  presenter->setOrientationTree(modal->orientation_);
  modal->beginAppearanceTransition(false, animated);
  presenter->beginAppearanceTransition(true, animated);
  const std::size_t index = std::min(modal->presenterViewIndex_, container->subviews().size());
  if (!container->insertSubviewAtIndex(presenterView, index)) {
    container->insertSubviewBelowSubview(presenterView, modalView);
  }
  modalView->removeFromSuperview();
  modal->endAppearanceTransition(animated);
  presenter->endAppearanceTransition(animated);
}

void ViewController::record(bool presented, ViewController& presenter, ViewController& controller,
                            bool animated) {
  auto& log = presentations();
  if (log.size() >= Harness::kPresentationLogLimit) log.erase(log.begin());
  log.push_back({presented, presenter.self(), controller.self(), presenter.className(),
                 controller.className(), animated, controller.transitionStyle_,
                 RunLoop::main().now()});
}

const std::vector<PresentationRecord>& Harness::presentationLog() {
  return presentations();
}

void Harness::clearPresentationLog() {
  presentations().clear();
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
  if (appearing) {
    if (appearance_ == Appearance::Appeared || appearance_ == Appearance::Appearing) return;
    prepareToAppear();
    appearance_ = Appearance::Appearing;
    viewWillAppear(animated);
  } else {
    if (appearance_ == Appearance::Disappeared || appearance_ == Appearance::Disappearing) return;
    appearance_ = Appearance::Disappearing;
    viewWillDisappear(animated);
  }
  for (const auto& child : visibleChildViewControllers()) {
    child->beginAppearanceTransition(appearing, animated);
  }
}

void ViewController::endAppearanceTransition(bool animated) {
  if (appearance_ == Appearance::Appearing) {
    appearance_ = Appearance::Appeared;
    viewDidAppear(animated);
  } else if (appearance_ == Appearance::Disappearing) {
    appearance_ = Appearance::Disappeared;
    viewDidDisappear(animated);
  } else {
    return;
  }
  for (const auto& child : visibleChildViewControllers()) child->endAppearanceTransition(animated);
}

void ViewController::rotateToInterfaceOrientation(InterfaceOrientation to, Duration duration,
                                                  const Rect& frame) {
  InterfaceOrientation from = orientation_;
  sendWillRotate(to, duration);
  setOrientationTree(to);
  if (view_) view_->setFrame(frame);
  sendDidRotate(from);
}

void ViewController::setOrientationTree(InterfaceOrientation o) {
  orientation_ = o;
  for (const auto& child : childViewControllers()) child->setOrientationTree(o);
}

void ViewController::sendWillRotate(InterfaceOrientation to, Duration duration) {
  willRotateToInterfaceOrientation(to, duration);
  for (const auto& child : visibleChildViewControllers()) child->sendWillRotate(to, duration);
}

void ViewController::sendDidRotate(InterfaceOrientation from) {
  didRotateFromInterfaceOrientation(from);
  for (const auto& child : visibleChildViewControllers()) child->sendDidRotate(from);
}

}  // namespace platform
