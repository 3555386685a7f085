#include "app/FlipSideView.h"

#include "app/BannerPlacement.h"
#include "platform/ui/View.h"

using platform::View;

FlipSideView::FlipSideView() : ViewController("FlipSideView") {
  addAction("flipBack:", [this](const std::shared_ptr<View>&) { flipBack(); });
}

void FlipSideView::flipBack() {
  View::beginAnimations("", nullptr);
  View::setAnimationDuration(platform::seconds(0.5));
  view()->setAlpha(0.0);
  View::commitAnimations();
}

void FlipSideView::viewDidLoad() {
  ViewController::viewDidLoad();
  bannerView_ = placeBanner(*this);
}
