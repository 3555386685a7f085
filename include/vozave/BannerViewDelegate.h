#pragma once

/// @file
/// ZUVBannerViewDelegate: the messages by which a banner reports to the application.

#include <functional>

#include "velourphone/Error.h"
#include "velourphone/View.h"

// The messages by which the ad client reports to the application. Every message is optional:
// a delegate implements the ones it sets, and only those are sent. The first argument is the
// banner view for which the delegate was registered. A banner sends only the adView... form;
// the interstitial... twins stay for source compatibility and are never sent for a banner's
// loads: full-screen ads report through ZUVInterstitialAdDelegate and ZUVRewardedAdDelegate.
struct ZUVBannerViewDelegate {
  // A message about the banner `adView`.
  using Event = std::function<void(platform::View& adView)>;
  // A failed load of `adView`, with a ZUVRequestError.
  using Failure = std::function<void(platform::View& adView, const platform::Error& error)>;

  Event adViewDidReceiveAd;        // an ad is loaded and showing, after each successful load
  Event interstitialDidReceiveAd;  // not sent for a banner's loads
  // A load failed; the error (a ZUVRequestError) says why.
  Failure adViewDidFailToReceiveAdWithError;
  Failure interstitialDidFailToReceiveAdWithError;  // not sent for a banner's loads
  Event adViewWillPresentScreen;        // a full screen (browser, web application) is about to show
  Event interstitialWillPresentScreen;  // not sent for a banner's loads
  Event adViewWillDismissScreen;        // the full screen is about to go
  Event interstitialWillDismissScreen;  // not sent for a banner's loads
  Event adViewDidDismissScreen;         // the full screen has gone; refreshing goes on
  Event interstitialDidDismissScreen;   // not sent for a banner's loads
  Event adViewWillLeaveApplication;     // a tap opens another application
  Event interstitialWillLeaveApplication;  // not sent for a banner's loads
  // The ad on show has been seen: its page loaded with at least one pixel of it on screen while
  // the application is active. Once an ad; each refresh shows a new ad.
  Event adViewDidRecordImpression;
  // At least half of the ad has been on screen for one continuous second while the
  // application is active. Once an ad, after its impression.
  Event adViewDidRecordViewableImpression;
  // The user's tap took the ad somewhere (the browser, another application, its click URL),
  // sent once the click-through has begun; a refused one is no click.
  Event adViewDidRecordClick;
};
