#include "ads/mraid/ZUVMraidPresenter.h"

#include <algorithm>
#include <utility>

#include "ads/web/ZUVIntrinsicImages.h"
#include "ads/web/ZUVOpener.h"
#include "ads/web/ZUVViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

using platform::InterfaceOrientation;
using platform::Rect;

constexpr const char* kCloseAction = "closeControlTapped";
constexpr unsigned kFillsSuperview =
    platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleHeight;

// The close control's target: runs the presenter's handler for a tap.
class ZUVMraidCloseTarget : public platform::Responder {
 public:
  explicit ZUVMraidCloseTarget(std::function<void()> onTap) {
    addAction(kCloseAction, [onTap = std::move(onTap)](const std::shared_ptr<platform::View>&) {
      if (onTap) onTap();
    });
  }
  std::string className() const override { return "ZUVMraidCloseTarget"; }
};

std::vector<ZUVMraidPresenter*>& showingPresenters() {
  static std::vector<ZUVMraidPresenter*> presenters;
  return presenters;
}

}  // namespace

// The full screen of an expanded or interstitial ad: a black view over the application that
// holds the ad's view and the close control. It tells the presenter when it has turned.
class ZUVMraidScreenController : public ZUVViewController {
 public:
  ZUVMraidScreenController()
      : ZUVViewController("ZUVMraidScreenController",
                          std::make_shared<ZUVViewControllerPrivate>()) {}

  std::function<void()> onRotated;

  void didRotateFromInterfaceOrientation(InterfaceOrientation from) override {
    ZUVViewController::didRotateFromInterfaceOrientation(from);
    if (onRotated) onRotated();
  }
};

// At the end of the session the ad comes back while the application and the screens it gives
// back still exist: what is destroyed after the application's end finds nothing to put back.
ZUVMraidPresenter::ZUVMraidPresenter()
    : terminationObserver_(platform::NotificationCenter::defaultCenter().addObserver(
          platform::kApplicationWillTerminateNotification, nullptr,
          [this](const platform::Notification&) { restore(); })) {}

// An ad that goes while it is away gives the screen back.
ZUVMraidPresenter::~ZUVMraidPresenter() {
  restore();
}

void ZUVMraidPresenter::setViewController(std::weak_ptr<platform::ViewController> controller) {
  viewController_ = std::move(controller);
}

void ZUVMraidPresenter::setDelegateManager(std::shared_ptr<ZUVAdEventReporting> manager) {
  delegateManager_ = std::move(manager);
}

void ZUVMraidPresenter::setGeometryChangedHandler(std::function<void()> handler) {
  geometryChanged_ = std::move(handler);
}

bool ZUVMraidPresenter::expand(std::shared_ptr<platform::WebView> adView,
                               std::function<void()> onCloseControl) {
  return takeScreen(std::move(adView), std::move(onCloseControl), ZUVMraidPresentation::Expanded);
}

bool ZUVMraidPresenter::presentInterstitial(std::shared_ptr<platform::WebView> adView,
                                            std::function<void()> onClose) {
  return takeScreen(std::move(adView), std::move(onClose), ZUVMraidPresentation::Interstitial);
}

bool ZUVMraidPresenter::takeScreen(std::shared_ptr<platform::WebView> adView,
                                   std::function<void()> onClose,
                                   ZUVMraidPresentation presentation) {
  auto from = viewController_.lock();
  if (!adView || !from || screen_) return false;
  auto screen = std::make_shared<ZUVMraidScreenController>();
  screen->setDelegateManager(delegateManager_);
  const InterfaceOrientation before = platform::Application::shared()->statusBarOrientation();
  // The screen comes first: a refused presentation leaves the ad where it was.
  screen->presentFromViewController(from);
  if (!screen->holdsScreen()) return false;
  if (resizeContainer_) {
    dropCloseControl();
    resizeContainer_->removeFromSuperview();
    resizeContainer_.reset();
  }
  if (adView == adView_) {
    adView_->removeFromSuperview();
  } else {
    // The second part of a two-part ad takes the screen: the first goes back to its banner.
    goHome();
    leaveHome(adView);
  }
  auto root = screen->view();
  adView_->setFrame(root->bounds());
  adView_->setAutoresizingMask(kFillsSuperview);
  root->addSubview(adView_);
  closeControl_ = makeCloseControl(std::move(onClose));
  closeControl_->setFrame(closeRegion(ZUVMraidClosePosition::TopRight, root->bounds()));
  closeControl_->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                     platform::kAutoresizingFlexibleBottomMargin);
  closeControl_->setImageForState(ZUVIntrinsicImages::closeButton(), platform::kControlStateNormal);
  root->addSubview(closeControl_);
  screen->onRotated = [this] {
    if (geometryChanged_) geometryChanged_();
  };
  screen_ = std::move(screen);
  setPresentation(presentation);
  orientationBefore_ = before;
  applyOrientation();
  return true;
}

bool ZUVMraidPresenter::resize(std::shared_ptr<platform::WebView> adView, const Rect& frame,
                               ZUVMraidClosePosition closePosition,
                               std::function<void()> onCloseControl) {
  auto window = platform::Application::shared()->keyWindow();
  if (!adView || !window || screen_) return false;
  if (presentation_ == ZUVMraidPresentation::Resized && adView != adView_) return false;
  if (presentation_ == ZUVMraidPresentation::InPlace) {
    leaveHome(adView);
    resizeContainer_ = platform::View::create();
    resizeContainer_->setOpaque(false);
    resizeContainer_->setBackgroundColor("clear");
    window->addSubview(resizeContainer_);
    resizeContainer_->addSubview(adView_);
  }
  Rect area = platform::Screen::applicationFrame();
  resizeContainer_->setFrame(Rect(frame.minX() + area.minX(), frame.minY() + area.minY(),
                                  frame.size.width, frame.size.height));
  adView_->setAutoresizingMask(kFillsSuperview);
  adView_->setFrame(resizeContainer_->bounds());
  dropCloseControl();
  // A region only: a resized ad draws its own close mark.
  closeControl_ = makeCloseControl(std::move(onCloseControl));
  closeControl_->setFrame(closeRegion(closePosition, resizeContainer_->bounds()));
  resizeContainer_->addSubview(closeControl_);
  setPresentation(ZUVMraidPresentation::Resized);
  return true;
}

void ZUVMraidPresenter::restore() {
  if (presentation_ == ZUVMraidPresentation::InPlace) return;
  // The phone turns back while the ad's screen is still up, so that what comes back below it
  // comes back upright.
  if (screen_ && orientationBefore_) turnInterface(*orientationBefore_);
  orientationBefore_.reset();
  dropCloseControl();
  goHome();
  if (resizeContainer_) resizeContainer_->removeFromSuperview();
  resizeContainer_.reset();
  setPresentation(ZUVMraidPresentation::InPlace);
  if (auto screen = std::move(screen_)) {
    screen->onRotated = nullptr;
    screen->relinquishScreen();
  }
}

const std::vector<ZUVMraidPresenter*>& ZUVMraidPresenter::showing() {
  return showingPresenters();
}

void ZUVMraidPresenter::setPresentation(ZUVMraidPresentation presentation) {
  auto& presenters = showingPresenters();
  std::erase(presenters, this);
  if (presentation != ZUVMraidPresentation::InPlace) presenters.push_back(this);
  presentation_ = presentation;
}

void ZUVMraidPresenter::leaveHome(const std::shared_ptr<platform::WebView>& adView) {
  Home home;
  if (auto superview = adView->superview()) {
    home.superview = superview;
    const auto& siblings = superview->subviews();
    home.index = static_cast<std::size_t>(std::find(siblings.begin(), siblings.end(), adView) -
                                          siblings.begin());
  }
  home.frame = adView->frame();
  home.position = currentPosition(*adView);
  home.autoresizingMask = adView->autoresizingMask();
  home_ = home;
  adView_ = adView;
  adView->removeFromSuperview();
}

void ZUVMraidPresenter::goHome() {
  if (!adView_) return;
  auto view = std::move(adView_);
  view->removeFromSuperview();
  if (home_) {
    view->setAutoresizingMask(home_->autoresizingMask);
    view->setFrame(home_->frame);
    // A view without a home of its own (a two-part ad's second part), or whose banner has
    // gone, is only taken off the screen.
    if (auto superview = home_->superview.lock()) {
      std::size_t index = std::min(home_->index, superview->subviews().size());
      if (!superview->insertSubviewAtIndex(view, index)) superview->addSubview(view);
    }
  }
  home_.reset();
}

std::shared_ptr<platform::Button> ZUVMraidPresenter::makeCloseControl(
    std::function<void()> onClose) {
  auto control = platform::Button::buttonWithType(platform::ButtonType::Custom);
  closeTarget_ = std::make_shared<ZUVMraidCloseTarget>(std::move(onClose));
  control->addTargetActionForControlEvents(closeTarget_, kCloseAction,
                                           platform::kControlEventTouchUpInside);
  return control;
}

void ZUVMraidPresenter::dropCloseControl() {
  if (closeControl_) closeControl_->removeFromSuperview();
  closeControl_.reset();
  closeTarget_.reset();
}

bool ZUVMraidPresenter::tapCloseControl() {
  auto control = closeControl_;
  auto window = control ? control->window() : nullptr;
  if (!window || !control->isVisibleInTree()) return false;
  Rect frame = control->frameInWindow();
  return window->touchAt({frame.midX(), frame.midY()});
}

std::shared_ptr<platform::ViewController> ZUVMraidPresenter::frontController() const {
  if (screen_) return screen_;
  return viewController_.lock();
}

Rect ZUVMraidPresenter::closeRegion(ZUVMraidClosePosition position, const Rect& adFrame) {
  const double side = kCloseControlSize;
  const double left = adFrame.minX(), right = adFrame.maxX() - side;
  const double top = adFrame.minY(), bottom = adFrame.maxY() - side;
  const double centreX = adFrame.midX() - side / 2, centreY = adFrame.midY() - side / 2;
  switch (position) {
    case ZUVMraidClosePosition::TopLeft:
      return Rect(left, top, side, side);
    case ZUVMraidClosePosition::TopRight:
      return Rect(right, top, side, side);
    case ZUVMraidClosePosition::Center:
      return Rect(centreX, centreY, side, side);
    case ZUVMraidClosePosition::BottomLeft:
      return Rect(left, bottom, side, side);
    case ZUVMraidClosePosition::BottomRight:
      return Rect(right, bottom, side, side);
    case ZUVMraidClosePosition::TopCenter:
      return Rect(centreX, top, side, side);
    case ZUVMraidClosePosition::BottomCenter:
      return Rect(centreX, bottom, side, side);
  }
  return Rect(right, top, side, side);
}

void ZUVMraidPresenter::forceOrientation(ZUVMraidForcedOrientation orientation,
                                         bool allowOrientationChange) {
  forcedOrientation_ = orientation;
  allowOrientationChange_ = allowOrientationChange;
  applyOrientation();
}

void ZUVMraidPresenter::releaseOrientation() {
  forceOrientation(ZUVMraidForcedOrientation::None, true);
}

void ZUVMraidPresenter::applyOrientation() {
  if (!screen_) return;
  auto app = platform::Application::shared();
  const InterfaceOrientation current = app->statusBarOrientation();
  InterfaceOrientation target = current;
  std::int32_t supported = kZUVOrientationsAny;
  switch (forcedOrientation_) {
    case ZUVMraidForcedOrientation::Portrait:
      target = InterfaceOrientation::Portrait;
      supported = kZUVOrientationsPortrait;
      break;
    case ZUVMraidForcedOrientation::Landscape:
      target = platform::isLandscape(current) ? current : InterfaceOrientation::LandscapeLeft;
      supported = kZUVOrientationsLandscape;
      break;
    case ZUVMraidForcedOrientation::None:
      if (allowOrientationChange_) {
        target = app->deviceOrientation();
      } else {
        supported =
            platform::isLandscape(current) ? kZUVOrientationsLandscape : kZUVOrientationsPortrait;
      }
      break;
  }
  screen_->setSupportedOrientations(supported);
  turnInterface(target);
}

void ZUVMraidPresenter::turnInterface(InterfaceOrientation to) {
  auto app = platform::Application::shared();
  if (!screen_ || app->statusBarOrientation() == to) return;
  app->setStatusBarOrientation(to);
  screen_->rotateToInterfaceOrientation(to, platform::Application::kRotationDuration,
                                        platform::Screen::applicationFrame());
}

platform::Size ZUVMraidPresenter::maxSize() const {
  return platform::Screen::applicationFrame().size;
}

platform::Size ZUVMraidPresenter::screenSize() const {
  platform::Size size = platform::Screen::bounds().size;
  if (platform::isLandscape(platform::Application::shared()->statusBarOrientation())) {
    std::swap(size.width, size.height);
  }
  return size;
}

Rect ZUVMraidPresenter::currentPosition(const platform::View& view) const {
  Rect inWindow = view.frameInWindow();
  Rect area = platform::Screen::applicationFrame();
  return Rect(inWindow.minX() - area.minX(), inWindow.minY() - area.minY(), inWindow.size.width,
              inWindow.size.height);
}

Rect ZUVMraidPresenter::defaultPosition(const platform::View& view) const {
  if (home_ && &view == adView_.get()) return home_->position;
  return currentPosition(view);
}
