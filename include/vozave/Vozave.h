#pragma once

/// @file
/// Everything an application needs to show Vozave banners: the banner view, its request,
/// its delegate messages and errors, where the ads come from, and the SDK version. The
/// headless phone the banners live on comes with it (velourphone/Phone.h).

#include "velourphone/Phone.h"
#include "vozave/AdNetwork.h"
#include "vozave/BannerView.h"
#include "vozave/BannerViewDelegate.h"
#include "vozave/Privacy.h"
#include "vozave/Request.h"
#include "vozave/RequestError.h"
#include "vozave/Version.h"
