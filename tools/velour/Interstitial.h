#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "ads/core/ZUVBannerView.h"
#include "platform/foundation/Result.h"

namespace velour {

// The interstitial ad that the "interstitial" command loads: an ad controller of the screen's
// size that no board shows, loaded with its interstitial request; when its ad arrives, its
// MRAID container presents it over the whole screen with the close control, which ends it.
// The Phone keeps one.
class Interstitial {
 public:
  Interstitial() = default;
  Interstitial(const Interstitial&) = delete;
  Interstitial& operator=(const Interstitial&) = delete;

  // Starts a load; refused while one is loading or showing, or without a window.
  platform::Result<void> load();
  // A fetch or page load of the interstitial is under way.
  bool isLoading() const;
  // One line for "show": loading, showing, failed with its code, or closed.
  void print(std::ostream& out) const;
  // Notices that the interstitial shown has closed, and lets it go; after every command.
  void tidy();
  // The interstitial's ad controller while it is shown.
  std::shared_ptr<ZUVBannerView> banner() const;

 private:
  enum class Stage { None, Loading, Showing, Failed, Closed };
  void arrived();
  void failed(long code);

  Stage stage_ = Stage::None;
  long error_ = 0;
  std::shared_ptr<ZUVBannerView> banner_;
  std::shared_ptr<ZUVBannerViewDelegate> delegate_;
};

}  // namespace velour
