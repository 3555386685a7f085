// The public interstitial: a facade over its full-screen ad, kept in the private-object registry.
#include <tuple>
#include <utility>

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
  using E = ZUVFullScreenAd::Events;
  // Each event beside the delegate message it becomes; a new event is one more pair.
  static constexpr std::tuple kMessages{
      std::pair{&E::received, &D::interstitialDidReceiveAd},
      std::pair{&E::failed, &D::interstitialDidFailToReceiveAdWithError},
      std::pair{&E::willPresent, &D::interstitialWillPresentScreen},
      std::pair{&E::willDismiss, &D::interstitialWillDismissScreen},
      std::pair{&E::didDismiss, &D::interstitialDidDismissScreen},
      std::pair{&E::willLeave, &D::interstitialWillLeaveApplication},
      std::pair{&E::expired, &D::interstitialDidExpire},
      std::pair{&E::impression, &D::interstitialDidRecordImpression},
      std::pair{&E::viewableImpression, &D::interstitialDidRecordViewableImpression},
      std::pair{&E::click, &D::interstitialDidRecordClick},
      std::pair{&E::videoStarted, &D::interstitialVideoDidStart},
      std::pair{&E::videoReachedQuartile, &D::interstitialVideoDidReachQuartile},
      std::pair{&E::videoCompleted, &D::interstitialVideoDidComplete},
      std::pair{&E::videoSkipped, &D::interstitialVideoWasSkipped}};
  std::weak_ptr<ZUVInterstitialAd> self = weak_from_this();
  E events;
  std::apply(
      [&](auto... pairs) {
        ((events.*pairs.first = ZUVFullScreenAd::relay(self, delegate, pairs.second)), ...);
      },
      kMessages);
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
