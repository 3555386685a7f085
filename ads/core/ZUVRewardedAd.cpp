// The public rewarded ad: a facade over its full-screen ad, kept in the private-object registry.
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
  std::weak_ptr<ZUVRewardedAd> self = weak_from_this();
  auto relay = [&](auto message) { return ZUVFullScreenAd::relay(self, delegate, message); };
  ZUVFullScreenAd::Events events;
  events.received = relay(&D::rewardedAdDidReceiveAd);
  events.failed = relay(&D::rewardedAdDidFailToReceiveAdWithError);
  events.willPresent = relay(&D::rewardedAdWillPresentScreen);
  events.willDismiss = relay(&D::rewardedAdWillDismissScreen);
  events.didDismiss = relay(&D::rewardedAdDidDismissScreen);
  events.willLeave = relay(&D::rewardedAdWillLeaveApplication);
  events.expired = relay(&D::rewardedAdDidExpire);
  events.impression = relay(&D::rewardedAdDidRecordImpression);
  events.viewableImpression = relay(&D::rewardedAdDidRecordViewableImpression);
  events.click = relay(&D::rewardedAdDidRecordClick);
  events.earned = relay(&D::rewardedAdDidEarnReward);
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
