// The public rewarded ad: a facade over its full-screen ad, kept in the private-object registry.
#include <tuple>
#include <utility>

#include "ads/core/ZUVFullScreenAd.h"
#include "ads/support/ZUVPrivateUtilities.h"
#include "vozave/RewardedAd.h"

namespace {

std::shared_ptr<ZUVFullScreenAd> coreOf(const ZUVRewardedAd& ad) {
  return ZUVFullScreenAd::of(&ad);
}

}  // namespace

std::shared_ptr<ZUVRewardedAd> ZUVRewardedAd::create(std::string adUnitID) {
  return std::make_shared<ZUVRewardedAd>(std::move(adUnitID));
}

ZUVRewardedAd::ZUVRewardedAd(std::string adUnitID) {
  ZUVPrivateUtilities::setPrivateObjectForKey(
      ZUVFullScreenAd::create(ZUVFullScreenAd::Format::Rewarded, std::move(adUnitID)), this);
}

ZUVRewardedAd::~ZUVRewardedAd() {
  ZUVPrivateUtilities::removePrivateObjectForKey(this);
}

std::string ZUVRewardedAd::adUnitID() const {
  return coreOf(*this)->adUnitID();
}

void ZUVRewardedAd::setDelegate(std::weak_ptr<ZUVRewardedAdDelegate> delegate) {
  using D = ZUVRewardedAdDelegate;
  using E = ZUVFullScreenAd::Events;
  // Each event beside the delegate message it becomes; a new event is one more pair.
  static constexpr std::tuple kMessages{
      std::pair{&E::received, &D::rewardedAdDidReceiveAd},
      std::pair{&E::failed, &D::rewardedAdDidFailToReceiveAdWithError},
      std::pair{&E::willPresent, &D::rewardedAdWillPresentScreen},
      std::pair{&E::willDismiss, &D::rewardedAdWillDismissScreen},
      std::pair{&E::didDismiss, &D::rewardedAdDidDismissScreen},
      std::pair{&E::willLeave, &D::rewardedAdWillLeaveApplication},
      std::pair{&E::expired, &D::rewardedAdDidExpire},
      std::pair{&E::impression, &D::rewardedAdDidRecordImpression},
      std::pair{&E::viewableImpression, &D::rewardedAdDidRecordViewableImpression},
      std::pair{&E::click, &D::rewardedAdDidRecordClick},
      std::pair{&E::earned, &D::rewardedAdDidEarnReward},
      std::pair{&E::videoStarted, &D::rewardedAdVideoDidStart},
      std::pair{&E::videoReachedQuartile, &D::rewardedAdVideoDidReachQuartile},
      std::pair{&E::videoCompleted, &D::rewardedAdVideoDidComplete},
      std::pair{&E::videoSkipped, &D::rewardedAdVideoWasSkipped}};
  std::weak_ptr<ZUVRewardedAd> self = weak_from_this();
  E events;
  std::apply(
      [&](auto... pairs) {
        ((events.*pairs.first = ZUVFullScreenAd::relay(self, delegate, pairs.second)), ...);
      },
      kMessages);
  coreOf(*this)->setEvents(std::move(events));
}

void ZUVRewardedAd::loadRequest(const std::shared_ptr<ZUVRequest>& request) {
  coreOf(*this)->loadRequest(request);
}

bool ZUVRewardedAd::isReady() const {
  return coreOf(*this)->isReady();
}

platform::Result<void> ZUVRewardedAd::presentFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  return coreOf(*this)->present(controller);
}

platform::Duration ZUVRewardedAd::expiryInterval() const {
  return coreOf(*this)->expiryInterval();
}

void ZUVRewardedAd::setExpiryInterval(platform::Duration interval) {
  coreOf(*this)->setExpiryInterval(interval);
}

std::optional<ZUVAdReward> ZUVRewardedAd::reward() const {
  return coreOf(*this)->reward();
}

platform::Duration ZUVRewardedAd::remainingWatchTime() const {
  return coreOf(*this)->remainingWatchTime();
}
