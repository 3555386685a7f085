// The public interstitial: a facade over its full-screen ad, kept in the private-object registry.
#include "ads/core/ZUVFullScreenAd.h"
#include "ads/support/ZUVPrivateUtilities.h"
#include "vozave/InterstitialAd.h"

namespace {

std::shared_ptr<ZUVFullScreenAd> coreOf(const ZUVInterstitialAd& ad) {
  return ZUVFullScreenAd::of(&ad);
}

}  // namespace

std::shared_ptr<ZUVInterstitialAd> ZUVInterstitialAd::create(std::string adUnitID) {
  return std::make_shared<ZUVInterstitialAd>(std::move(adUnitID));
}

ZUVInterstitialAd::ZUVInterstitialAd(std::string adUnitID) {
  ZUVPrivateUtilities::setPrivateObjectForKey(
      ZUVFullScreenAd::create(ZUVFullScreenAd::Format::Interstitial, std::move(adUnitID)), this);
}

ZUVInterstitialAd::~ZUVInterstitialAd() {
  ZUVPrivateUtilities::removePrivateObjectForKey(this);
}

std::string ZUVInterstitialAd::adUnitID() const {
  return coreOf(*this)->adUnitID();
}

void ZUVInterstitialAd::setDelegate(std::weak_ptr<ZUVInterstitialAdDelegate> delegate) {
  using D = ZUVInterstitialAdDelegate;
  std::weak_ptr<ZUVInterstitialAd> self = weak_from_this();
  auto relay = [&](auto message) { return ZUVFullScreenAd::relay(self, delegate, message); };
  ZUVFullScreenAd::Events events;
  events.received = relay(&D::interstitialDidReceiveAd);
  events.failed = relay(&D::interstitialDidFailToReceiveAdWithError);
  events.willPresent = relay(&D::interstitialWillPresentScreen);
  events.willDismiss = relay(&D::interstitialWillDismissScreen);
  events.didDismiss = relay(&D::interstitialDidDismissScreen);
  events.willLeave = relay(&D::interstitialWillLeaveApplication);
  events.expired = relay(&D::interstitialDidExpire);
  events.impression = relay(&D::interstitialDidRecordImpression);
  events.viewableImpression = relay(&D::interstitialDidRecordViewableImpression);
  events.click = relay(&D::interstitialDidRecordClick);
  coreOf(*this)->setEvents(std::move(events));
}

void ZUVInterstitialAd::loadRequest(const std::shared_ptr<ZUVRequest>& request) {
  coreOf(*this)->loadRequest(request);
}

bool ZUVInterstitialAd::isReady() const {
  return coreOf(*this)->isReady();
}

platform::Result<void> ZUVInterstitialAd::presentFromRootViewController(
    const std::shared_ptr<platform::ViewController>& controller) {
  return coreOf(*this)->present(controller);
}

platform::Duration ZUVInterstitialAd::expiryInterval() const {
  return coreOf(*this)->expiryInterval();
}

void ZUVInterstitialAd::setExpiryInterval(platform::Duration interval) {
  coreOf(*this)->setExpiryInterval(interval);
}
