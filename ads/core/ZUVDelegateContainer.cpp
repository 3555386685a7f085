#include "ads/core/ZUVDelegateContainer.h"

namespace {

using Message = ZUVBannerViewDelegateMessage;
using Call = std::function<void(platform::View&, const platform::Error*)>;

Call event(const ZUVBannerViewDelegate::Event& slot) {
  if (!slot) return {};
  return [slot](platform::View& view, const platform::Error*) { slot(view); };
}

Call failure(const ZUVBannerViewDelegate::Failure& slot) {
  if (!slot) return {};
  return [slot](platform::View& view, const platform::Error* error) {
    slot(view, error ? *error : platform::Error());
  };
}

}  // namespace

std::function<void(platform::View&, const platform::Error*)> ZUVDelegateCall(
    const ZUVBannerViewDelegate& delegate, ZUVBannerViewDelegateMessage message) {
  switch (message) {
    case Message::adViewDidReceiveAd:
      return event(delegate.adViewDidReceiveAd);
    case Message::interstitialDidReceiveAd:
      return event(delegate.interstitialDidReceiveAd);
    case Message::adViewDidFailToReceiveAdWithError:
      return failure(delegate.adViewDidFailToReceiveAdWithError);
    case Message::interstitialDidFailToReceiveAdWithError:
      return failure(delegate.interstitialDidFailToReceiveAdWithError);
    case Message::adViewWillPresentScreen:
      return event(delegate.adViewWillPresentScreen);
    case Message::interstitialWillPresentScreen:
      return event(delegate.interstitialWillPresentScreen);
    case Message::adViewWillDismissScreen:
      return event(delegate.adViewWillDismissScreen);
    case Message::interstitialWillDismissScreen:
      return event(delegate.interstitialWillDismissScreen);
    case Message::adViewDidDismissScreen:
      return event(delegate.adViewDidDismissScreen);
    case Message::interstitialDidDismissScreen:
      return event(delegate.interstitialDidDismissScreen);
    case Message::adViewWillLeaveApplication:
      return event(delegate.adViewWillLeaveApplication);
    case Message::interstitialWillLeaveApplication:
      return event(delegate.interstitialWillLeaveApplication);
    case Message::adViewDidRecordImpression:
      return event(delegate.adViewDidRecordImpression);
    case Message::adViewDidRecordViewableImpression:
      return event(delegate.adViewDidRecordViewableImpression);
    case Message::adViewDidRecordClick:
      return event(delegate.adViewDidRecordClick);
  }
  return {};
}

std::shared_ptr<ZUVDelegateContainer> ZUVDelegateContainer::containerWithDelegateObject(
    const std::shared_ptr<ZUVBannerViewDelegate>& delegate,
    const std::shared_ptr<platform::View>& object) {
  auto container = std::make_shared<ZUVDelegateContainer>();
  container->delegate_ = delegate;
  container->delegateIdentity_ = delegate.get();
  container->object_ = object;
  return container;
}

bool ZUVDelegateContainer::didYouNilOutYourDelegate(ZUVBannerViewDelegateMessage message) const {
  auto delegate = delegate_.lock();
  return delegate && ZUVDelegateCall(*delegate, message);
}
