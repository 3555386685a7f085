#pragma once

/// @file
/// Everything an application needs to show Vozave ads: the banner view, the interstitial and
/// rewarded ads, their request, delegate messages and errors, where the ads come from, and the
/// SDK version. The headless phone the ads live on comes with it (velourphone/Phone.h).

#include "velourphone/Phone.h"
#include "vozave/AdNetwork.h"
#include "vozave/BannerView.h"
#include "vozave/BannerViewDelegate.h"
#include "vozave/InterstitialAd.h"
#include "vozave/Privacy.h"
#include "vozave/Request.h"
#include "vozave/RequestError.h"
#include "vozave/RewardedAd.h"
#include "vozave/Version.h"
