#pragma once

#include <cstddef>
#include <string>

#include "tools/velour/Banners.h"
#include "tools/velour/Interstitial.h"

namespace velour {

// What the front end does to and reads from the running application, in the user's terms.
// Every call returns an error text, empty on success.
class Phone {
 public:
  std::string selectTab(int oneBasedIndex);
  std::string press(const std::string& label);
  std::string enterBackground();
  std::string enterForeground();
  std::string rotate(const std::string& orientation);
  // "wifi", "cellular" or "none": how the phone reaches the network from now on.
  std::string setNetwork(const std::string& kind);
  // The visible screen as text: the board, the full screens over it, the animations committed
  // since the last call.
  std::string screen();
  // A user's tap on the banner visible on screen, at its centre or at `point` in it.
  std::string tapBanner(std::optional<platform::Point> point = std::nullopt) {
    return banners_.tapVisible(point);
  }
  Banners& banners() { return banners_; }
  Interstitial& interstitial() { return interstitial_; }

 private:
  Banners banners_;
  Interstitial interstitial_;
  std::size_t animationsShown_ = 0;
};

}  // namespace velour
