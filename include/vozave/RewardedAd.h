#pragma once

/// @file
/// ZUVRewardedAd: a full-screen ad that earns the user a reward once it has been watched.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "velourphone/Error.h"
#include "velourphone/Export.h"
#include "velourphone/Result.h"
#include "velourphone/Time.h"
#include "velourphone/ViewController.h"
#include "vozave/Request.h"

class ZUVRewardedAd;

// What the ad server offers for watching the ad: "10 coins" is amount 10, type "coins". An ad
// whose server names no usable reward offers amount 0 and an empty type.
struct ZUVAdReward {
  std::int64_t amount = 0;                              // how many
  std::string type;                                     // of what, as the server names it
  bool operator==(const ZUVAdReward&) const = default;  // the same amount and type
};

// The messages by which a rewarded ad reports to the application; every message is optional.
struct ZUVRewardedAdDelegate {
  using Event = std::function<void(ZUVRewardedAd& ad)>;  // a message about the rewarded ad
  // A failed load, with a ZUVRequestError.
  using Failure = std::function<void(ZUVRewardedAd& ad, const platform::Error& error)>;

  Event rewardedAdDidReceiveAd;  // the ad has loaded: isReady() and reward() are set
  Failure rewardedAdDidFailToReceiveAdWithError;  // the load failed (a ZUVRequestError)
  Event rewardedAdWillPresentScreen;              // the ad is about to take the screen
  Event rewardedAdWillDismissScreen;              // the ad is about to give the screen back
  Event rewardedAdDidDismissScreen;               // after the reward, if it was earned
  Event rewardedAdWillLeaveApplication;           // a tap on the ad opens another application
  Event rewardedAdDidExpire;                      // the loaded ad was not shown in time
  // As an interstitial's: its impression, viewable impression and click, each once an ad.
  Event rewardedAdDidRecordImpression;
  Event rewardedAdDidRecordViewableImpression;  // half of it seen for a second
  Event rewardedAdDidRecordClick;               // the user's tap took it somewhere
  // A video ad's progress, as an interstitial's: its first frame is on the screen.
  Event rewardedAdVideoDidStart;
  // A quarter, half and three quarters of it played (`quartile` 1, 2, 3).
  std::function<void(ZUVRewardedAd& ad, int quartile)> rewardedAdVideoDidReachQuartile;
  Event rewardedAdVideoDidComplete;  // played to its end
  Event rewardedAdVideoWasSkipped;   // the user tapped Skip
  // Once per shown ad, when the user has watched it for its required time.
  std::function<void(ZUVRewardedAd& ad, const ZUVAdReward& reward)> rewardedAdDidEarnReward;
};

// A rewarded ad: the life of an interstitial (load, isReady, show once, expiry; see
// ZUVInterstitialAd), and a reward for watching. The close control appears once the required
// time (the server's, else kDefaultWatchTime) has been watched, with a countdown until then;
// the countdown stops while the application is in the background. A tap on the countdown asks
// the user whether to close the ad now and lose the reward. Main thread only.
class VOZAVE_API ZUVRewardedAd : public std::enable_shared_from_this<ZUVRewardedAd> {
 public:
  // How long a loaded ad may wait to be shown, unless set otherwise.
  static constexpr platform::Duration kDefaultExpiryInterval = platform::seconds(3600);
  // How long the ad is watched for its reward when its server does not say.
  static constexpr platform::Duration kDefaultWatchTime = platform::seconds(30);

  // A rewarded ad for the application's ad unit, ready to load.
  static std::shared_ptr<ZUVRewardedAd> create(std::string adUnitID);
  explicit ZUVRewardedAd(std::string adUnitID);  // use create(); a bare one never loads
  ~ZUVRewardedAd();
  ZUVRewardedAd(const ZUVRewardedAd&) = delete;
  ZUVRewardedAd& operator=(const ZUVRewardedAd&) = delete;

  std::string adUnitID() const;                                     // the ad unit it was made for
  void setDelegate(std::weak_ptr<ZUVRewardedAdDelegate> delegate);  // not owned
  // Loads an ad, as ZUVInterstitialAd's does.
  void loadRequest(const std::shared_ptr<ZUVRequest>& request);
  bool isReady() const;  // an ad has loaded, has not been shown and has not expired
  // As ZUVInterstitialAd's: refused with a log line and the reason in the error.
  [[nodiscard]] platform::Result<void> presentFromRootViewController(
      const std::shared_ptr<platform::ViewController>& controller);
  platform::Duration expiryInterval() const;  // how long a loaded ad may wait to be shown
  // Takes effect with the next ad to arrive.
  void setExpiryInterval(platform::Duration interval);

  // The reward of the loaded or shown ad; none before an ad has arrived.
  std::optional<ZUVAdReward> reward() const;
  // How much more of the ad must be watched; zero once the reward is earned.
  platform::Duration remainingWatchTime() const;
};
