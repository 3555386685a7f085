#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "ads/web/ZUVAdEventReporting.h"
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

  // While expanded or interstitial the phone turns to `orientation` (None: stays), and turns
  // back on restore or releaseOrientation(). `allowOrientationChange` false holds the
  // orientation the screen has while the ad is up. May change while the screen is up.
  void forceOrientation(ZUVMraidForcedOrientation orientation, bool allowOrientationChange);
  void releaseOrientation();

  // The largest area an ad may take: the application's frame in the current orientation.
  platform::Size maxSize() const;
  // The whole screen in the current orientation.
  platform::Size screenSize() const;
  // The banner's place of `view` (where it is while in place; remembered while it is away).
  platform::Rect defaultPosition(const platform::View& view) const;
  // Where `view` is now, in max-size coordinates.
  platform::Rect currentPosition(const platform::View& view) const;

  ZUVMraidPresentation presentation() const { return presentation_; }
  // The close control while the ad is expanded, resized or interstitial; null in place.
  std::shared_ptr<platform::Button> closeControl() const;
  // Taps the close control as a person would; false when there is none.
  bool tapCloseControl();

 private:
  ZUVMraidPresentation presentation_ = ZUVMraidPresentation::InPlace;
};
