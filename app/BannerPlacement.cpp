#include "app/BannerPlacement.h"

std::shared_ptr<ZUVBannerView> placeBanner(platform::ViewController& screen) {
  auto banner = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
  banner->setAdUnitID(kVelourAdUnitID);
  banner->setRootViewController(
      std::static_pointer_cast<platform::ViewController>(screen.shared_from_this()));
  screen.view()->addSubview(banner);
  banner->loadRequest(ZUVRequest::request());
  return banner;
}
