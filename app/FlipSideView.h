#pragma once

#include <memory>

#include "ads/core/ZUVBannerView.h"
#include "platform/ui/ViewController.h"

// The information screen; its view and its "done" control come from FlipSideView.ui, and it
// carries a banner of its own, which goes on refreshing after the screen has faded out.
class FlipSideView : public platform::ViewController {
 public:
  static std::shared_ptr<FlipSideView> create() { return std::make_shared<FlipSideView>(); }
  FlipSideView();

  // Fades the screen out; its view stays where it is, fully transparent.
  void flipBack();

  const std::shared_ptr<ZUVBannerView>& bannerView() const { return bannerView_; }
  void viewDidLoad() override;

 private:
  std::shared_ptr<ZUVBannerView> bannerView_;
};
