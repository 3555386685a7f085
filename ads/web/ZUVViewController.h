#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/web/ZUVAdEventReporting.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

// Posted on the platform's default centre, object the controller, when a full-screen ad
// takes the screen and when it has given it back; the ad controllers pause their refresh in
// between.
inline constexpr const char* ZUVViewControllerWillPresentFullScreen =
    "ZUVViewControllerWillPresentFullScreen";
inline constexpr const char* ZUVViewControllerDidRelinquishFullScreen =
    "ZUVViewControllerDidRelinquishFullScreen";
// The user info entry of a page's "settings" message: an orientation name.
inline constexpr const char* kZUVSupportedOrientationsKey = "supportedorientations";

// A full screen of the ad's own that is no ZUVViewController (the video player): what the ad
// opens from it comes over it, inside the ad, as over the ad's other screens.
class ZUVAdScreen {
 public:
  virtual ~ZUVAdScreen() = default;
};

// The state of a full-screen ad controller, kept in the private-object registry under it.
class ZUVViewControllerPrivate {
 public:
  virtual ~ZUVViewControllerPrivate() = default;

  std::int32_t supportedOrientations = kZUVOrientationsAny;
  // Where screen events go; null tells no one.
  std::shared_ptr<ZUVAdEventReporting> delegateManager;
  // The status bar was already hidden when the controller took the screen.
  bool statusBarWasHidden = false;
  // True while the controller moves on or off the screen over the application's own one.
  bool interactingWithParent = false;
  // The gate of the ad whose tap opened the screen, for the screen's web view (null gives it
  // one of its own), and when the tap came.
  std::shared_ptr<ZUVUserActivationGate> gate;
  std::optional<platform::Instant> openedByTapAt;
};

// The base of the full-screen ad controllers (the in-app browser and the web application).
// The opener presents one over the application's screen, or over another full-screen ad; it
// keeps the status bar hidden while it is up, limits rotations to the orientations the ad
// asked for, tells the delegate fan-out when the first full screen takes and gives back the
// screen, and announces both moments on the default centre. Main thread only; made with
// std::make_shared (it holds itself while presented).
class ZUVViewController : public platform::ViewController, public ZUVScreenRelinquishing {
 public:
  using WebViewMaker = std::function<std::shared_ptr<platform::WebView>(const platform::Rect&)>;

  ~ZUVViewController() override;

  // Takes the screen from `controller`; without one, or from a full screen that is closed,
  // logs and shows nothing. A presentation that the platform refuses undoes what it began
  // (status bar, screen events, hold) and shows nothing.
  void presentFromViewController(const std::shared_ptr<platform::ViewController>& controller);
  // The modal presentation itself, from the key window's root controller when there is one;
  // false when the platform refuses it.
  [[nodiscard]] bool presentSelfFrom(const std::shared_ptr<platform::ViewController>& controller);
  // Gives the screen back: the "close" message, the close button and "Done". What this one
  // presents is closed first; on a screen already given back it does nothing.
  void relinquishScreen() override;
  // True from the presentation until the screen is given back.
  bool holdsScreen() const;
  // The controller that presents this one is not a full-screen ad controller.
  bool isFirstZUVViewController() const;

  // "any" 1, "portrait" 2, "landscape" 3; anything else (letter case counts) 0.
  static std::int32_t orientationFromString(const std::optional<std::string_view>& text);
  std::int32_t supportedOrientations() const { return privateData().supportedOrientations; }
  // 0 keeps the current value.
  void setSupportedOrientations(std::int32_t orientations);
  std::shared_ptr<ZUVAdEventReporting> delegateManager() const {
    return privateData().delegateManager;
  }
  void setDelegateManager(std::shared_ptr<ZUVAdEventReporting> manager) {
    privateData().delegateManager = std::move(manager);
  }
  bool statusBarWasHidden() const { return privateData().statusBarWasHidden; }
  void setStatusBarWasHidden(bool hidden) { privateData().statusBarWasHidden = hidden; }
  // Opened by the user's tap on an ad with this gate: the screen's pages share it, and the tap.
  void setOpenedByTap(std::shared_ptr<ZUVUserActivationGate> gate) {
    privateData().gate = std::move(gate);
    privateData().openedByTapAt = platform::RunLoop::main().now();
  }
  ZUVViewControllerPrivate& privateData() const;

  // How the full-screen controllers make their web views; tests put in a double. Null
  // restores the platform's web view.
  static void setWebViewMaker(WebViewMaker maker);

  bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation o) override;
  void loadView() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;

 protected:
  ZUVViewController(std::string className, std::shared_ptr<ZUVViewControllerPrivate> data);
  static std::shared_ptr<platform::WebView> makeWebView(const platform::Rect& frame);
  // The web view whose pages may send "settings" to this controller; null before it exists.
  virtual const platform::WebView* ownWebView() const { return nullptr; }

 private:
  void undoRefusedPresentation();
  // False when this controller held no screen.
  bool releaseScreenHold();
  void settingsChanged(const platform::Notification& notification);
  void setStatusBarHidden(bool hidden);
  bool controlsStatusBar() const;
  void post(const char* name);

  platform::Registration settingsObserver_;
  platform::Registration delayedAppearance_;
};
