#pragma once

/// @file
/// ZUVBannerViewDelegate: the messages by which a banner reports to the application.

#include <functional>

#include "velourphone/Error.h"
#include "velourphone/View.h"

// The messages by which the ad client reports to the application. Every message is optional:
// a delegate implements the ones it sets, and only those are sent. The first argument is the
// banner view for which the delegate was registered.
struct ZUVBannerViewDelegate {
  // A message about the banner `adView`.
  using Event = std::function<void(platform::View& adView)>;
  // A failed load of `adView`, with a ZUVRequestError.
  using Failure = std::function<void(platform::View& adView, const platform::Error& error)>;

  Event adViewDidReceiveAd;        // an ad is loaded and showing, after each successful load
  Event interstitialDidReceiveAd;  // the same for an interstitial request
  // A load failed; the error (a ZUVRequestError) says why.
  Failure adViewDidFailToReceiveAdWithError;
  Failure interstitialDidFailToReceiveAdWithError;  // the same for an interstitial request
  Event adViewWillPresentScreen;        // a full screen (browser, web application) is about to show
  Event interstitialWillPresentScreen;  // the same for an interstitial request
  Event adViewWillDismissScreen;        // the full screen is about to go
  Event interstitialWillDismissScreen;  // the same for an interstitial request
  Event adViewDidDismissScreen;         // the full screen has gone; refreshing goes on
  Event interstitialDidDismissScreen;   // the same for an interstitial request
  Event adViewWillLeaveApplication;     // a tap opens another application
  Event interstitialWillLeaveApplication;  // the same for an interstitial request
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
