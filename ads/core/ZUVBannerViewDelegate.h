#pragma once

#include <functional>

#include "platform/foundation/Error.h"
#include "platform/ui/View.h"

// The messages by which the ad client reports to the application. Every message is optional:
// a delegate implements the ones it sets, and only those are sent. The first argument is the
// banner view for which the delegate was registered.
struct ZUVBannerViewDelegate {
  using Event = std::function<void(platform::View& adView)>;
  using Failure = std::function<void(platform::View& adView, const platform::Error& error)>;

  Event adViewDidReceiveAd;
  Event interstitialDidReceiveAd;
  Failure adViewDidFailToReceiveAdWithError;
  Failure interstitialDidFailToReceiveAdWithError;
  Event adViewWillPresentScreen;
  Event interstitialWillPresentScreen;
  Event adViewWillDismissScreen;
  Event interstitialWillDismissScreen;
  Event adViewDidDismissScreen;
  Event interstitialDidDismissScreen;
  Event adViewWillLeaveApplication;
  Event interstitialWillLeaveApplication;
};

// A message of the protocol, by which the fan-out names what it tries.
enum class ZUVBannerViewDelegateMessage {
  adViewDidReceiveAd,
  interstitialDidReceiveAd,
  adViewDidFailToReceiveAdWithError,
  interstitialDidFailToReceiveAdWithError,
  adViewWillPresentScreen,
  interstitialWillPresentScreen,
  adViewWillDismissScreen,
  interstitialWillDismissScreen,
  adViewDidDismissScreen,
  interstitialDidDismissScreen,
  adViewWillLeaveApplication,
  interstitialWillLeaveApplication,
};
