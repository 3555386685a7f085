#pragma once

// The public delegate protocol, and the names by which the client's fan-out tells its messages
// apart.
#include "vozave/BannerViewDelegate.h"

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
  adViewDidRecordImpression,
  adViewDidRecordViewableImpression,
  adViewDidRecordClick,
};
