#pragma once

#include <cstddef>
#include <string>

#include "platform/foundation/Result.h"
#include "tools/velour/Banners.h"
#include "tools/velour/FullScreenAd.h"

namespace velour {

// What the front end does to and reads from the running application, in the user's terms.
// An action that cannot be carried out returns the refusal.
class Phone {
 public:
  platform::Result<void> selectTab(int oneBasedIndex);
  platform::Result<void> press(const std::string& label);
  platform::Result<void> enterBackground();
  platform::Result<void> enterForeground();
  platform::Result<void> rotate(const std::string& orientation);
  // "wifi", "cellular" or "none": how the phone reaches the network from now on.
  platform::Result<void> setNetwork(const std::string& kind);
  // The visible screen as text: the board, the full screens over it, the animations committed
  // since the last call.
  std::string screen();
  // A user's tap on the banner visible on screen, at its centre or at `point` in it.
  platform::Result<void> tapBanner(std::optional<platform::Point> point = std::nullopt) {
    return banners_.tapVisible(point);
  }
  Banners& banners() { return banners_; }
  FullScreenAd& interstitial() { return interstitial_; }
  FullScreenAd& rewarded() { return rewarded_; }

 private:
  Banners banners_;
  FullScreenAd interstitial_{FullScreenAd::Kind::Interstitial};
  FullScreenAd rewarded_{FullScreenAd::Kind::Rewarded};
  std::size_t animationsShown_ = 0;
};

}  // namespace velour
