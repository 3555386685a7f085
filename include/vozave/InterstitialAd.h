#pragma once

/// @file
/// ZUVInterstitialAd: a full-screen ad that the application loads, then shows when it chooses.

#include <functional>
#include <memory>
#include <string>

#include "velourphone/Error.h"
#include "velourphone/Export.h"
#include "velourphone/Result.h"
#include "velourphone/Time.h"
#include "velourphone/ViewController.h"
#include "vozave/Request.h"

class ZUVInterstitialAd;

// The messages by which an interstitial reports to the application. Every message is optional:
// a delegate implements the ones it sets, and only those are sent.
struct ZUVInterstitialAdDelegate {
  using Event = std::function<void(ZUVInterstitialAd& ad)>;  // a message about the interstitial
  // A failed load, with a ZUVRequestError.
  using Failure = std::function<void(ZUVInterstitialAd& ad, const platform::Error& error)>;

  Event interstitialDidReceiveAd;                   // the ad has loaded: isReady() is true
  Failure interstitialDidFailToReceiveAdWithError;  // the load failed; the error says why
  Event interstitialWillPresentScreen;              // the ad is about to take the screen
  Event interstitialWillDismissScreen;              // the ad is about to give the screen back
  Event interstitialDidDismissScreen;      // the ad has gone; load another to show one again
  Event interstitialWillLeaveApplication;  // a tap on the ad opens another application
  Event interstitialDidExpire;  // the loaded ad was not shown in time and can no longer be
  // As a banner's: the ad seen on the screen; half of it seen for a second while the
  // application is active; the user's tap took it somewhere. Each once an ad.
  Event interstitialDidRecordImpression;
  Event interstitialDidRecordViewableImpression;  // half of it seen for a second
  Event interstitialDidRecordClick;               // the user's tap took it somewhere
  // A video ad's progress, each once an ad: its first frame is on the screen.
  Event interstitialVideoDidStart;
  // A quarter, half and three quarters of it played (`quartile` 1, 2, 3).
  std::function<void(ZUVInterstitialAd& ad, int quartile)> interstitialVideoDidReachQuartile;
  Event interstitialVideoDidComplete;  // played to its end
  Event interstitialVideoWasSkipped;   // the user tapped Skip
};

// An interstitial: made with the application's ad unit identifier, loaded with loadRequest,
// then shown over the whole screen with presentFromRootViewController once per load, with a
// close control of the ad client's own. It never refreshes by itself. An ad not shown within
// expiryInterval() of its arrival expires (a log line and interstitialDidExpire). Main thread
// only; the application keeps the shared_ptr for as long as it wants the ad.
class VOZAVE_API ZUVInterstitialAd : public std::enable_shared_from_this<ZUVInterstitialAd> {
 public:
  // How long a loaded ad may wait to be shown, unless set otherwise.
  static constexpr platform::Duration kDefaultExpiryInterval = platform::seconds(3600);

  // An interstitial for the application's ad unit, ready to load.
  static std::shared_ptr<ZUVInterstitialAd> create(std::string adUnitID);
  explicit ZUVInterstitialAd(std::string adUnitID);  // use create(); a bare one never loads
  ~ZUVInterstitialAd();
  ZUVInterstitialAd(const ZUVInterstitialAd&) = delete;
  ZUVInterstitialAd& operator=(const ZUVInterstitialAd&) = delete;

  std::string adUnitID() const;  // the ad unit it was made for
  // Not owned: the application keeps the delegate alive as long as it wants calls.
  void setDelegate(std::weak_ptr<ZUVInterstitialAdDelegate> delegate);
  // Loads an ad; a load under way is replaced. Refused with a log line while the ad is on
  // the screen.
  void loadRequest(const std::shared_ptr<ZUVRequest>& request);
  // An ad has loaded, has not been shown and has not expired.
  bool isReady() const;
  // Shows the loaded ad over the whole screen, presented from `controller`. Refused, with a
  // log line and the reason in the error (kZUVErrorDomain, kZUVErrorInvalidRequest), when no
  // ad is ready (none loaded, already shown, expired), `controller` is null or not in a window,
  // or the platform refuses the screen.
  [[nodiscard]] platform::Result<void> presentFromRootViewController(
      const std::shared_ptr<platform::ViewController>& controller);
  // How long a loaded ad may wait to be shown.
  platform::Duration expiryInterval() const;
  // Takes effect with the next ad to arrive.
  void setExpiryInterval(platform::Duration interval);
};
