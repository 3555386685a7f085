#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/foundation/Result.h"
#include "vozave/InterstitialAd.h"
#include "vozave/RewardedAd.h"

class ZUVFullScreenAd;
class ZUVMraidController;
class ZUVObjectPrivate;

namespace velour {

// The interstitial or rewarded ad that the "interstitial" and "rewarded" commands load, as an
// application would: through the public classes, shown from the window's root view controller
// as soon as it arrives. Its page's console goes to the log and "show" prints its page, which
// only the tools read of the client's insides. The Phone keeps one of each.
class FullScreenAd {
 public:
  enum class Kind { Interstitial, Rewarded };
  explicit FullScreenAd(Kind kind) : kind_(kind) {}
  FullScreenAd(const FullScreenAd&) = delete;
  FullScreenAd& operator=(const FullScreenAd&) = delete;

  // Starts a load from `adUnitID` (the application's, or its video unit's); refused while one
  // is loading or showing, or without a window.
  platform::Result<void> load(const char* adUnitID);
  // Between the load and its outcome.
  bool isLoading() const { return stage_ == Stage::Loading; }
  // One line for "show": loading, showing (a rewarded ad's reward and countdown), failed with
  // its code, refused, or closed (with the reward earned, if any).
  void print(std::ostream& out) const;
  // The ad's controller and MRAID container once it has been shown (until the next load), for
  // the screen printer and the ad check.
  ZUVObjectPrivate* showing() const;
  ZUVMraidController* mraid() const;
  // The text of the rewarded ad's countdown on the screen, which "close" taps; none otherwise.
  std::optional<std::string> countdownTitle() const;

 private:
  enum class Stage { None, Loading, Showing, Failed, Refused, Closed };
  const char* name() const { return kind_ == Kind::Rewarded ? "rewarded" : "interstitial"; }
  void makeRewarded(const char* adUnitID);
  void makeInterstitial(const char* adUnitID);
  void arrived();
  void failed(const platform::Error& error);
  void videoEvent(const std::string& what);
  void closed();
  void earned(const ZUVAdReward& reward);
  // What the tools read of the ad's insides: its page's console and address, the countdown.
  std::shared_ptr<ZUVFullScreenAd> core() const;
  std::string rewardText() const;

  Kind kind_;
  Stage stage_ = Stage::None;
  long error_ = 0;
  long vastError_ = 0;  // a video's failure: its VAST code
  std::string refusal_;
  bool earned_ = false;
  std::shared_ptr<ZUVInterstitialAd> interstitial_;
  std::shared_ptr<ZUVRewardedAd> rewarded_;
  std::shared_ptr<ZUVInterstitialAdDelegate> interstitialDelegate_;
  std::shared_ptr<ZUVRewardedAdDelegate> rewardedDelegate_;
};

}  // namespace velour
