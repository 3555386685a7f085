#include "ads/web/ZUVViewController.h"

#include <unordered_map>

#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/support/ZUVPrivateUtilities.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

constexpr platform::Duration kDelayedAppearance = platform::milliseconds(600);

// The controllers on screen, each holding itself from taking the screen until it gives it
// back. Never destroyed: at exit an ad still on screen stays as it is, rather than going after
// the centres and the run loop it would leave.
std::unordered_map<const void*, std::shared_ptr<platform::ViewController>>& screenHolds() {
  static auto* holds =
      new std::unordered_map<const void*, std::shared_ptr<platform::ViewController>>();
  return *holds;
}

ZUVViewController::WebViewMaker& webViewMaker() {
  static ZUVViewController::WebViewMaker maker;
  return maker;
}

}  // namespace

ZUVViewController::ZUVViewController(std::string className,
                                     std::shared_ptr<ZUVViewControllerPrivate> data)
    : platform::ViewController(std::move(className)) {
  ZUVPrivateUtilities::setPrivateObjectForKey(std::move(data), this);
  setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
  addAction("relinquishScreen",
            [this](const std::shared_ptr<platform::View>&) { relinquishScreen(); });
  // Pages of other ads share the centre; only this controller's own page may rotate it.
  settingsObserver_ = ZUVNotificationCenter::defaultCenter().addObserver(
      "settings", nullptr, [this](const platform::Notification& notification) {
        const platform::WebView* own = ownWebView();
        if (own && notification.object.address() == static_cast<const void*>(own)) {
          settingsChanged(notification);
        }
      });
}

ZUVViewController::~ZUVViewController() {
  ZUVPrivateUtilities::removePrivateObjectForKey(this);
}

ZUVViewControllerPrivate& ZUVViewController::privateData() const {
  return *static_cast<ZUVViewControllerPrivate*>(
      ZUVPrivateUtilities::privateObjectForKey(this).get());
}

void ZUVViewController::setWebViewMaker(WebViewMaker maker) {
  webViewMaker() = std::move(maker);
}

std::shared_ptr<platform::WebView> ZUVViewController::makeWebView(const platform::Rect& frame) {
  if (webViewMaker()) return webViewMaker()(frame);
  return platform::WebView::create(frame);
}

void ZUVViewController::loadView() {
  auto root = platform::View::create(platform::Screen::applicationFrame());
  root->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                            platform::kAutoresizingFlexibleHeight);
  root->setOpaque(true);
  root->setBackgroundColor("black");
  root->setClipsToBounds(true);
  setView(root);
}

void ZUVViewController::presentFromViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  if (!controller) {
    platform::log("<Vozave> No UIViewController supplied to the ad.  Cannot continue.");
    return;
  }
  // A full screen that has given the screen back can open nothing more: what it opened would
  // hang off a controller that is gone from the screen, held for good.
  if (auto screen = dynamic_cast<ZUVViewController*>(controller.get());
      screen && !screen->holdsScreen()) {
    platform::log("<Vozave> The ad's screen is closed; " + className() + " not shown.");
    return;
  }
  view()->setUserInteractionEnabled(false);
  screenHolds()[this] = self();
  ZUVViewControllerPrivate& data = privateData();
  post(ZUVViewControllerWillPresentFullScreen);
  if (dynamic_cast<ZUVViewController*>(controller.get()) ||
      dynamic_cast<ZUVAdScreen*>(controller.get())) {
    data.interactingWithParent = false;
    if (!controller->presentModalViewController(self(), true)) undoRefusedPresentation();
    return;
  }
  data.interactingWithParent = true;
  if (data.delegateManager) data.delegateManager->willPresentScreen();
  if (controlsStatusBar()) {
    data.statusBarWasHidden = platform::Application::shared()->isStatusBarHidden();
    if (!data.statusBarWasHidden) setStatusBarHidden(true);
  }
  if (!presentSelfFrom(controller)) undoRefusedPresentation();
}

bool ZUVViewController::presentSelfFrom(
    const std::shared_ptr<platform::ViewController>& controller) {
  auto window = platform::Application::shared()->keyWindow();
  if (auto root = window ? window->rootViewController() : nullptr) {
    return root->presentModalViewController(self(), true);
  }
  if (!controller->presentModalViewController(self(), true)) return false;
  // Without a root controller the platform may not tell this one that it appeared.
  // The callback holds the controller while it runs: what it tells may let the last owner go.
  std::weak_ptr<platform::ViewController> weak = self();
  delayedAppearance_ = platform::RunLoop::main().performAfterDelay(kDelayedAppearance, [weak] {
    if (auto me = weak.lock()) me->viewDidAppear(false);
  });
  return true;
}

// Everything that taking the screen began is given back, as a close would, and the hold goes.
void ZUVViewController::undoRefusedPresentation() {
  platform::log("<Vozave> The screen is taken; " + className() + " not shown.");
  releaseScreenHold();
  ZUVViewControllerPrivate& data = privateData();
  if (data.interactingWithParent) {
    data.interactingWithParent = false;
    if (data.delegateManager) {
      data.delegateManager->willDismissScreen();
      data.delegateManager->didDismissScreen();
    }
    if (controlsStatusBar() && !data.statusBarWasHidden) setStatusBarHidden(false);
  }
  post(ZUVViewControllerDidRelinquishFullScreen);
}

bool ZUVViewController::holdsScreen() const {
  return screenHolds().count(this) != 0;
}

bool ZUVViewController::releaseScreenHold() {
  auto hold = screenHolds().extract(this);
  if (!hold) return false;
  platform::RunLoop::main().releaseLater(std::move(hold.mapped()));
  return true;
}

void ZUVViewController::viewDidAppear(bool animated) {
  // Only the first call after a presentation counts, the platform's or the delayed one.
  if (view()->isUserInteractionEnabled()) return;
  platform::ViewController::viewDidAppear(animated);
  view()->setUserInteractionEnabled(true);
  ZUVViewControllerPrivate& data = privateData();
  if (isFirstZUVViewController() && data.interactingWithParent) data.interactingWithParent = false;
}

void ZUVViewController::relinquishScreen() {
  // Keeps this controller alive through the dismissal, which drops the presenter's hold.
  auto me = self();
  // Only a controller on screen has anything to give back: a second close is nothing.
  if (!releaseScreenHold()) return;
  view()->setUserInteractionEnabled(false);
  // What this screen presents goes first, each ad screen with its own close; dismissing this
  // one while it presents another would take down only the other.
  if (auto presented = std::dynamic_pointer_cast<ZUVViewController>(modalViewController())) {
    presented->relinquishScreen();
  }
  if (modalViewController()) dismissModalViewController(false);
  ZUVViewControllerPrivate& data = privateData();
  if (isFirstZUVViewController()) {
    data.interactingWithParent = true;
    if (data.delegateManager) data.delegateManager->willDismissScreen();
    if (controlsStatusBar() && !data.statusBarWasHidden) setStatusBarHidden(false);
  } else {
    data.interactingWithParent = false;
  }
  dismissModalViewController(true);
  post(ZUVViewControllerDidRelinquishFullScreen);
}

void ZUVViewController::viewDidDisappear(bool animated) {
  platform::ViewController::viewDidDisappear(animated);
  ZUVStatistics& statistics = ZUVStatistics::sharedStatistics();
  statistics.endTimingNamed("plpd");
  statistics.endTimingNamed("pcl");
  ZUVViewControllerPrivate& data = privateData();
  if (isFirstZUVViewController() && data.interactingWithParent) {
    data.interactingWithParent = false;
    if (data.delegateManager) data.delegateManager->didDismissScreen();
  }
}

bool ZUVViewController::isFirstZUVViewController() const {
  auto* parent = parentViewController().get();
  return !dynamic_cast<ZUVViewController*>(parent) && !dynamic_cast<ZUVAdScreen*>(parent);
}

std::int32_t ZUVViewController::orientationFromString(const std::optional<std::string_view>& text) {
  if (text == "any") return kZUVOrientationsAny;
  if (text == "portrait") return kZUVOrientationsPortrait;
  if (text == "landscape") return kZUVOrientationsLandscape;
  return 0;
}

void ZUVViewController::setSupportedOrientations(std::int32_t orientations) {
  if (orientations != 0) privateData().supportedOrientations = orientations;
}

bool ZUVViewController::shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation o) {
  switch (supportedOrientations()) {
    case kZUVOrientationsPortrait:
      return !platform::isLandscape(o);
    case kZUVOrientationsLandscape:
      return platform::isLandscape(o);
    default:
      return true;
  }
}

void ZUVViewController::settingsChanged(const platform::Notification& notification) {
  const platform::Value* name = notification.userInfo.find(kZUVSupportedOrientationsKey);
  setSupportedOrientations(orientationFromString(
      name && name->isString() ? std::optional<std::string_view>(name->stringValue())
                               : std::nullopt));
}

bool ZUVViewController::controlsStatusBar() const {
  // From 3.2 on, a sheet that does not cover the screen leaves the status bar alone.
  if (!ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(3, 2, 0)) return true;
  return modalPresentationStyle() == platform::ModalPresentationStyle::FullScreen;
}

void ZUVViewController::setStatusBarHidden(bool hidden) {
  auto application = platform::Application::shared();
  if (ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(3, 2, 0)) {
    application->setStatusBarHiddenWithAnimation(hidden, platform::StatusBarAnimation::None);
  } else {
    application->setStatusBarHiddenAnimated(hidden, false);
  }
}

void ZUVViewController::post(const char* name) {
  platform::NotificationCenter::defaultCenter().postNotification(
      name, static_cast<const void*>(static_cast<const platform::ViewController*>(this)));
}
