#pragma once

#include <memory>

#include "ads/core/ZUVBannerView.h"
#include "platform/ui/ViewController.h"

// The application's ad unit, the same on every screen.
inline constexpr const char* kVelourAdUnitID = "a1b2c3d4e5f6071";
// The ad unit of the full-screen video ads, which velour asks for with "interstitial video" and
// "rewarded video".
inline constexpr const char* kVelourVideoAdUnitID = "a1b2c3d4e5f6072";

// Puts a banner at the foot of a screen's 320 x 411 view and starts it: made, given the ad
// unit and the screen as its root view controller, added to the view, then loaded, in that
// order (a load without a root view controller fails). Each screen calls it from viewDidLoad.
std::shared_ptr<ZUVBannerView> placeBanner(platform::ViewController& screen);
