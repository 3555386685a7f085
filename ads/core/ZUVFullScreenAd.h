#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRewardCountdown.h"
#include "ads/vast/ZUVVastPlayer.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "vozave/RewardedAd.h"

// The life of one full-screen ad, interstitial or rewarded, behind the public ZUVInterstitialAd
// and ZUVRewardedAd: each load gets a fresh ad controller (placement interstitial, no refresh);
// the arrived ad waits to be shown until it expires; shown once over the whole screen with
// the container's close control (a rewarded ad's behind its countdown). It hears the
// controller's full-screen messages and passes its own screen's on, not those of a browser
// opened over it. The public classes keep one each in the private-object registry.
class ZUVFullScreenAd {
 public:
  enum class Format { Interstitial, Rewarded };
  enum class Stage { Idle, Loading, Ready, Showing, Dismissed, Failed, Expired };
  // What the public class passes on to its delegate.
  struct Events {
    std::function<void()> received, willPresent, willDismiss, didDismiss, willLeave, expired;
    std::function<void(const platform::Error&)> failed;
    std::function<void(const ZUVAdReward&)> earned;
    std::function<void()> impression, viewableImpression, click;
    // A video ad's progress: its first frame, each quarter (1 to 3), its end, the user's skip.
    std::function<void()> videoStarted, videoCompleted, videoSkipped;
    std::function<void(int quartile)> videoReachedQuartile;
  };
  // A video has been seen when this much of it has played on the screen (the player plays
  // only on the screen, in the foreground).
  static constexpr double kVideoViewableSeconds = 2;

  // One of Events' callbacks that calls the public delegate's `message` with the public ad, while
  // both are there and the delegate implements it.
  template <typename Ad, typename Delegate, typename... Arguments>
  static std::function<void(Arguments...)> relay(
      std::weak_ptr<Ad> ad, std::weak_ptr<Delegate> delegate,
      std::function<void(Ad&, Arguments...)> Delegate::*message) {
    return [ad = std::move(ad), delegate = std::move(delegate), message](Arguments... arguments) {
      auto owner = ad.lock();
      auto listener = delegate.lock();
      if (!owner || !listener || !((*listener).*message)) return;
      auto call = (*listener).*message;  // a copy: the call may change the delegate
      call(*owner, arguments...);
    };
  }

  static std::shared_ptr<ZUVFullScreenAd> create(Format format, std::string adUnitID);
  // The one behind a public ZUVInterstitialAd or ZUVRewardedAd: the seam by which the public
  // classes, velour and the tests reach it.
  static std::shared_ptr<ZUVFullScreenAd> of(const void* publicAd);
  ~ZUVFullScreenAd();
  ZUVFullScreenAd(const ZUVFullScreenAd&) = delete;
  ZUVFullScreenAd& operator=(const ZUVFullScreenAd&) = delete;

  const std::string& adUnitID() const { return adUnitID_; }
  void setEvents(Events events) { events_ = std::move(events); }
  void loadRequest(const std::shared_ptr<ZUVRequest>& request);
  bool isReady() const { return stage_ == Stage::Ready; }
  [[nodiscard]] platform::Result<void> present(
      const std::shared_ptr<platform::ViewController>& from);
  Stage stage() const { return stage_; }
  platform::Duration expiryInterval() const { return expiryInterval_; }
  void setExpiryInterval(platform::Duration interval) { expiryInterval_ = interval; }

  // The ad controller of the current load; null before the first.
  ZUVObjectPrivate* controller() const { return controller_.get(); }
  // A rewarded ad's offer, read from its ad page's answer once it has arrived.
  const std::optional<ZUVAdReward>& reward() const { return reward_; }
  platform::Duration watchTime() const { return watchTime_; }
  // The player of a video ad while it is on the screen.
  ZUVVastPlayer* player() const { return player_.get(); }
  // A rewarded ad's countdown while it is on the screen.
  ZUVRewardCountdown* countdown() const { return countdown_.get(); }
  // What a rewarded ad still asks to be watched.
  platform::Duration remainingWatchTime() const;

 private:
  ZUVFullScreenAd(Format format, std::string adUnitID);
  const char* name() const;
  std::optional<std::string> refusal(const std::shared_ptr<platform::ViewController>& from) const;
  void listen();
  void arrived();
  void failed(const platform::Error& error);
  void expire();
  void screenWillPresent();
  void screenWillDismiss();
  void screenDidDismiss();
  std::optional<std::string> presentPage(const std::shared_ptr<platform::ViewController>& from);
  std::optional<std::string> presentVideo(const std::shared_ptr<platform::ViewController>& from);
  ZUVVastPlayerCallbacks videoCallbacks();
  void videoStarted();
  void videoPlayed(double seconds);
  void videoClicked(const std::string& url);
  void videoDone();
  void turnVideo(platform::InterfaceOrientation to);
  void giveScreenBack();
  void dismissPlayer();
  void startCountdown();
  void earn();
  void dropController();

  Format format_;
  std::string adUnitID_;
  Events events_;
  Stage stage_ = Stage::Idle;
  platform::Duration expiryInterval_ = ZUVRewardedAd::kDefaultExpiryInterval;
  std::shared_ptr<platform::View> holder_;  // the ad's place while it waits to be shown
  std::shared_ptr<ZUVObjectPrivate> controller_;
  std::shared_ptr<ZUVBannerViewDelegate> listener_;
  platform::TimerHandle expiry_;
  // Screens up over the application: the ad's own, and a browser opened from it.
  int screensUp_ = 0;
  std::optional<ZUVAdReward> reward_;
  platform::Duration watchTime_ = ZUVRewardedAd::kDefaultWatchTime;
  bool rewardEarned_ = false;
  std::shared_ptr<ZUVRewardCountdown> countdown_;
  std::shared_ptr<ZUVVastPlayer> player_;
  std::optional<platform::InterfaceOrientation> orientationBefore_;  // while a video is up
  bool statusBarWasHidden_ = false;
  bool videoViewable_ = false;
  platform::WeakFactory<ZUVFullScreenAd> weak_{this};  // last: its links die first
};
