#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ads/web/ZUVAdEventReporting.h"
#include "platform/foundation/Registration.h"
#include "platform/ui/Button.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

class ZUVMraidScreenController;

// Where the 50x50 close region of a resized ad sits on it.
enum class ZUVMraidClosePosition {
  TopLeft,
  TopRight,
  Center,
  BottomLeft,
  BottomRight,
  TopCenter,
  BottomCenter,
};

// The orientation an expanded or interstitial ad asks of the phone.
enum class ZUVMraidForcedOrientation { None, Portrait, Landscape };

// What the presenter shows of its ad at the moment.
enum class ZUVMraidPresentation { InPlace, Expanded, Resized, Interstitial };

// Shows an MRAID ad where the page asks: expanded over the whole application as a full screen
// (every banner's refresh pauses as for any full screen), resized to a frame above the
// application's views, or as an interstitial; each with the container's own close control, and
// back in its banner. It turns the phone for an ad's forced orientation. The ad's MRAID
// controller owns one per ad and calls it for the page's expand, resize, close and orientation
// properties; velour taps its close control. Geometry is in points, relative to the max-size
// area (the application's frame). Main thread only.
class ZUVMraidPresenter {
 public:
  static constexpr double kCloseControlSize = 50;

  ZUVMraidPresenter();
  ~ZUVMraidPresenter();
  ZUVMraidPresenter(const ZUVMraidPresenter&) = delete;
  ZUVMraidPresenter& operator=(const ZUVMraidPresenter&) = delete;

  // The controller that presents the expanded and interstitial screens (the banner's root
  // view controller); not owned.
  void setViewController(std::weak_ptr<platform::ViewController> controller);
  // Told when a full screen takes and gives back the screen, as for the client's others.
  void setDelegateManager(std::shared_ptr<ZUVAdEventReporting> manager);
  // Called after the presenter changed the ad's size or place by itself: the phone turned
  // while the ad was expanded or interstitial.
  void setGeometryChangedHandler(std::function<void()> handler);

  // The ad's view takes the whole available screen above everything, with the close control
  // at the top right; `onCloseControl` runs when that control is tapped. From resized, the
  // same view leaves its resized frame. A view without a place of its own (the second part of
  // a two-part ad) is removed again by restore(). False when there is no controller to present
  // from, or the platform refuses the presentation: nothing changed.
  [[nodiscard]] bool expand(std::shared_ptr<platform::WebView> adView,
                            std::function<void()> onCloseControl);
  // The ad's view takes `frame` (max-size coordinates) above the application's views, with a
  // 50x50 close region at `closePosition`. Again while resized: the new frame. The caller has
  // checked the frame against the resize rules. False when there is no window: nothing changed.
  [[nodiscard]] bool resize(std::shared_ptr<platform::WebView> adView, const platform::Rect& frame,
                            ZUVMraidClosePosition closePosition,
                            std::function<void()> onCloseControl);
  // The ad's view back in its banner at its default place, the close control gone, a full
  // screen (expanded or interstitial) given back and a forced orientation released. Nothing
  // when the ad is in place.
  void restore();
  // The interstitial's view over the whole screen as a full screen with the close control at
  // the top right; `onClose` runs when the control is tapped. False as for expand().
  [[nodiscard]] bool presentInterstitial(std::shared_ptr<platform::WebView> adView,
                                         std::function<void()> onClose);

  // The ad's orientation properties, kept for its screens. While expanded or interstitial the
  // phone turns to `orientation`; None follows the device, or with `allowOrientationChange`
  // false holds the orientation the screen has. May change while the screen is up. The phone
  // turns back to the orientation it had before when the screen goes.
  void forceOrientation(ZUVMraidForcedOrientation orientation, bool allowOrientationChange);
  // Forgets the forced orientation: the ad's screen follows the device again.
  void releaseOrientation();

  // The 50x50 close region at `position` on an ad at `adFrame`, in the same coordinates: the
  // resize rules check it against the screen before resize() puts it there.
  static platform::Rect closeRegion(ZUVMraidClosePosition position, const platform::Rect& adFrame);

  // The largest area an ad may take: the application's frame in the current orientation.
  platform::Size maxSize() const;
  // The whole screen in the current orientation.
  platform::Size screenSize() const;
  // The banner's place of `view` (where it is while in place; remembered while it is away).
  platform::Rect defaultPosition(const platform::View& view) const;
  // Where `view` is now, in max-size coordinates.
  platform::Rect currentPosition(const platform::View& view) const;

  ZUVMraidPresentation presentation() const { return presentation_; }
  // The ad's view while it is away from its place; null in place.
  std::shared_ptr<platform::WebView> adView() const { return adView_; }
  // The close control while the ad is expanded, resized or interstitial; null in place.
  std::shared_ptr<platform::Button> closeControl() const { return closeControl_; }
  // Taps the close control as a person would; false when there is none.
  bool tapCloseControl();
  // The presenters whose ads are away from their place, in the order they left it; for a
  // driver that shows and closes them.
  static const std::vector<ZUVMraidPresenter*>& showing();

  // What the ad opens (the in-app browser) is presented from here: the ad's own screen while
  // it is up, else the view controller.
  std::shared_ptr<platform::ViewController> frontController() const;

 private:
  // Where the ad's view lived before it left: put back there by restore().
  struct Home {
    std::weak_ptr<platform::View> superview;
    std::size_t index = 0;
    platform::Rect frame;
    platform::Rect position;  // in max-size coordinates, when it left
    unsigned autoresizingMask = 0;
  };

  [[nodiscard]] bool takeScreen(std::shared_ptr<platform::WebView> adView,
                                std::function<void()> onClose, ZUVMraidPresentation presentation);
  void leaveHome(const std::shared_ptr<platform::WebView>& adView);
  void setPresentation(ZUVMraidPresentation presentation);
  void goHome();
  std::shared_ptr<platform::Button> makeCloseControl(std::function<void()> onClose);
  void dropCloseControl();
  void applyOrientation();
  void turnInterface(platform::InterfaceOrientation to);

  std::weak_ptr<platform::ViewController> viewController_;
  std::shared_ptr<ZUVAdEventReporting> delegateManager_;
  std::function<void()> geometryChanged_;
  ZUVMraidPresentation presentation_ = ZUVMraidPresentation::InPlace;
  std::shared_ptr<platform::WebView> adView_;
  std::optional<Home> home_;
  std::shared_ptr<ZUVMraidScreenController> screen_;
  // Holds the resized ad and its close region above the application's views.
  std::shared_ptr<platform::View> resizeContainer_;
  std::shared_ptr<platform::Button> closeControl_;
  std::shared_ptr<platform::Responder> closeTarget_;
  ZUVMraidForcedOrientation forcedOrientation_ = ZUVMraidForcedOrientation::None;
  bool allowOrientationChange_ = true;
  // The interface's orientation before the ad's screen turned it.
  std::optional<platform::InterfaceOrientation> orientationBefore_;
  platform::Registration terminationObserver_;
};
