#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "ads/core/ZUVBannerView.h"
#include "ads/mraid/ZUVMraidPresenter.h"

namespace velour {

// The interstitial ad that the "interstitial" command loads: an ad controller of the screen's
// size that no board shows, loaded with its interstitial request and presented over the whole
// screen with the container's close control when its ad arrives; the close control ends it.
// The Phone keeps one.
class Interstitial {
 public:
  Interstitial() = default;
  Interstitial(const Interstitial&) = delete;
  Interstitial& operator=(const Interstitial&) = delete;

  // Starts a load; an error text while one is loading or showing, or without a window.
  std::string load();
  // A fetch or page load of the interstitial is under way.
  bool isLoading() const;
  // One line for "show" and "ads": loading, showing, failed with its code, or closed.
  void print(std::ostream& out) const;
  // The interstitial's ad page, while there is one.
  std::shared_ptr<platform::WebView> webView() const;

 private:
  enum class Stage { None, Loading, Showing, Failed, Closed };
  void arrived();
  void failed(long code);
  void closed();

  Stage stage_ = Stage::None;
  long error_ = 0;
  std::shared_ptr<ZUVBannerView> banner_;
  std::shared_ptr<ZUVBannerViewDelegate> delegate_;
  std::shared_ptr<ZUVMraidPresenter> presenter_;
};

}  // namespace velour
