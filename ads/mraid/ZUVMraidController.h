#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/mraid/ZUVMraidMessage.h"
#include "ads/mraid/ZUVMraidPresenter.h"
#include "ads/support/ZUVLocation.h"
#include "ads/web/ZUVAdEventReporting.h"
#include "ads/web/ZUVUserActivationGate.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

class ZUVMraidWebViewDelegate;

// Where the ad is placed: "inline" (a banner) or "interstitial".
enum class ZUVMraidPlacement { Inline, Interstitial };

// The ad's MRAID state, shared by both web views of a two-part ad.
enum class ZUVMraidState { Loading, Default, Expanded, Resized, Hidden };

// The MRAID container of one ad: the application's side of the bridge that every ad web view
// runs. The ad controller makes one for each ad page it shows, around the ad's web view; the
// web view's delegate hands it the page's messages and tells it when the page has loaded. It
// keeps the ad's state and geometry, carries out the page's calls (expand, resize and close
// through its presenter; open through the ad's click path and its tap gate; unload through its
// owner) and sends the page its state, geometry, exposure and events without waiting. Calls
// the phone cannot carry out end in an `error` event named after the call. Main thread only.
class ZUVMraidController {
 public:
  // What the ad's owner lends the container.
  struct Host {
    // The ad's click path (click URL, in-app browser, the tap gate) for a URL from `view`,
    // presented from `from`; false when nothing went out.
    std::function<bool(platform::WebView& view, const platform::URL& url,
                       const std::shared_ptr<platform::ViewController>& from)>
        open;
    // The ad gave up: its owner removes it.
    std::function<void()> unload;
    // The ad has left its banner (expanded, resized: true) or come back (false).
    std::function<void(bool away)> awayChanged;
    // The rule that lets the ad leave the application only on the user's tap.
    std::shared_ptr<ZUVUserActivationGate> gate;
    // Where the application's request placed the user, if it said.
    std::optional<ZUVLocation> location;
    // The controller that presents the ad's screens; not owned.
    std::weak_ptr<platform::ViewController> viewController;
    std::shared_ptr<ZUVAdEventReporting> events;
  };

  static constexpr const char* kVersion = "3.0";
  static constexpr const char* kSDKName = "Vozave";

  ZUVMraidController(std::shared_ptr<platform::WebView> adView, ZUVMraidPlacement placement,
                     Host host);
  ~ZUVMraidController();
  ZUVMraidController(const ZUVMraidController&) = delete;
  ZUVMraidController& operator=(const ZUVMraidController&) = delete;

  // Puts the bridge into every next document of `view` and answers its "mraid.js" requests;
  // the first part of an ad also gets MRAID_ENV and its placement.
  enum class Part { First, Second };
  static void prepareWebView(platform::WebView& view, Part part,
                             ZUVMraidPlacement placement = ZUVMraidPlacement::Inline);
  // MRAID_ENV: the standard's version, the SDK's name and version, the application's
  // identifier, and whether it is directed to children and the user limits ad tracking. The
  // device has no advertising identifier, so "ifa" is left out.
  static platform::Dictionary environment();

  // For the ad views' delegates. True when `url` is a bridge message (which never loads); a
  // message that does not read is dropped with a log line.
  bool receiveMessage(platform::WebView& view, const platform::URL& url);
  // The page of `view` has loaded: the ad becomes "default" (its second part hears its state),
  // then `ready`.
  void adPageDidLoad(platform::WebView& view);

  // A navigation that an ad page started by itself: a click-through on the ad's click path.
  void clickThrough(platform::WebView& view, const platform::URL& url);

  // Shows an interstitial over the whole screen with the close control; false when it cannot.
  [[nodiscard]] bool presentInterstitial();

  ZUVMraidState state() const { return state_; }
  // The page has asked for mraid.js or touched the bridge: the container follows it.
  bool engaged() const { return engaged_; }
  static std::string_view stateName(ZUVMraidState state);
  ZUVMraidPresenter& presenter() { return presenter_; }
  // What the ad opens is presented from here: its own screen while it has one.
  std::shared_ptr<platform::ViewController> frontController() const;
  // The web view of the expanded second part, while there is one.
  const std::shared_ptr<platform::WebView>& secondPart() const { return secondPart_; }

 private:
  void open(platform::WebView& view, const ZUVMraidMessage& message);
  void expand(platform::WebView& from, const platform::URL& messageURL,
              const ZUVMraidMessage& message);
  void resize(const ZUVMraidMessage& message);
  void close();
  void unload();
  void setOrientationProperties(const ZUVMraidMessage& message);
  void playVideo(platform::WebView& view, const ZUVMraidMessage& message);
  void engage();
  // The ad has become "default": stateChange, ready, its size and its exposure.
  void announceReady();
  void changeState(ZUVMraidState state);
  // Tells the owner whether the ad is away from its banner now.
  void tellAway();
  void hide();
  void dropSecondPart();

  // Sends every ad view the current values, then `events` (each [name, arguments...]).
  void announce(platform::Array events);
  void send(platform::WebView& view, const platform::Array& events);
  // Adds sizeChange when the ad's size changed since it was last told.
  void noteSizeChange(platform::Array& events);
  void exposureChanged();
  // Adds exposureChange and viewableChange when they changed since the page was last told.
  void noteExposure(platform::Array& events);
  void error(std::string_view message, std::string_view action);
  platform::Dictionary currentValues() const;
  platform::Value locationValue() const;
  platform::WebView& shownView() const;

  std::shared_ptr<platform::WebView> adView_;
  ZUVMraidPlacement placement_;
  Host host_;
  ZUVMraidState state_ = ZUVMraidState::Loading;
  bool engaged_ = false;           // the page has asked for mraid.js or touched the bridge
  bool mayExpandUntapped_ = true;  // no expand without a tap yet, and no close
  bool closed_ = false;            // the ad has been closed from expanded or resized
  ZUVMraidPresenter presenter_;
  std::shared_ptr<platform::WebView> secondPart_;
  std::shared_ptr<ZUVMraidWebViewDelegate> secondPartDelegate_;
  ZUVMraidForcedOrientation forcedOrientation_ = ZUVMraidForcedOrientation::None;
  bool allowOrientationChange_ = true;
  // What the page was told last, to announce only changes.
  std::optional<platform::Size> toldSize_;
  std::optional<platform::Array> toldExposure_;  // [percent, visible, occlusions]
  bool toldViewable_ = false;
  platform::Registration exposureObserver_;
  platform::WeakFactory<ZUVMraidController> weak_{this};  // last: its links die first
};
