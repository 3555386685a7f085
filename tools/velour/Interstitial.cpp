#include "tools/velour/Interstitial.h"

#include "ads/core/ZUVObjectPrivate.h"
#include "app/BannerPlacement.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tools/velour/Console.h"
#include "tools/velour/Refusal.h"

namespace velour {

platform::Result<void> Interstitial::load() {
  if (stage_ == Stage::Loading) return refused("an interstitial is loading already");
  if (stage_ == Stage::Showing) return refused("an interstitial is on the screen already");
  auto window = platform::Window::keyWindow();
  if (!window || !window->rootViewController()) {
    return refused("there is no window on the screen");
  }
  platform::Rect area = platform::Screen::applicationFrame();
  banner_ = ZUVBannerView::create(platform::Rect(0, 0, area.size.width, area.size.height));
  banner_->setAdUnitID(kVelourAdUnitID);
  banner_->setRootViewController(window->rootViewController());
  delegate_ = std::make_shared<ZUVBannerViewDelegate>();
  // The banner owns the delegate's calls; they run while the banner lives, so `this` (which
  // owns the banner) is there.
  delegate_->interstitialDidReceiveAd = [this](platform::View&) { arrived(); };
  delegate_->interstitialDidFailToReceiveAdWithError =
      [this](platform::View&, const platform::Error& error) { failed(error.code); };
  banner_->setDelegate(delegate_);
  logConsoleOf(*ZUVBannerController(*banner_)->webView());
  stage_ = Stage::Loading;
  ZUVBannerController(*banner_)->loadInterstitialRequest(ZUVRequest::request());
  return {};
}

// The ad's MRAID container shows it; its close control, or the page's close or unload, hides
// it, which tidy() notices.
void Interstitial::arrived() {
  if (stage_ != Stage::Loading) return;
  ZUVMraidController* mraid = ZUVBannerController(*banner_)->mraid();
  if (!mraid || !mraid->presentInterstitial()) {
    platform::log("velour: the interstitial could not take the screen");
    failed(-1);
    return;
  }
  stage_ = Stage::Showing;
}

void Interstitial::tidy() {
  if (stage_ != Stage::Showing) return;
  ZUVMraidController* mraid = ZUVBannerController(*banner_)->mraid();
  if (mraid && mraid->presenter().presentation() != ZUVMraidPresentation::InPlace) return;
  // The hidden page stays until the next interstitial, so that what it prints as it closes
  // still reaches the log.
  stage_ = Stage::Closed;
}

void Interstitial::failed(long code) {
  if (stage_ != Stage::Loading) return;
  stage_ = Stage::Failed;
  error_ = code;
  // The controller is inside its own report: it goes after this pass.
  platform::RunLoop::main().releaseLater(std::move(banner_));
}

bool Interstitial::isLoading() const {
  return stage_ == Stage::Loading && banner_ && ZUVBannerController(*banner_)->isWorking();
}

std::shared_ptr<ZUVBannerView> Interstitial::banner() const {
  return stage_ == Stage::Showing ? banner_ : nullptr;
}

void Interstitial::print(std::ostream& out) const {
  switch (stage_) {
    case Stage::None:
      return;
    case Stage::Loading:
      out << "interstitial: loading\n";
      return;
    case Stage::Showing: {
      auto page = ZUVBannerController(*banner_)->adHTMLBaseURL();
      out << "interstitial: showing " << (page ? page->absoluteString() : "(no page)") << "\n";
      return;
    }
    case Stage::Failed:
      out << "interstitial: failed " << error_ << "\n";
      return;
    case Stage::Closed:
      out << "interstitial: closed\n";
      return;
  }
}

}  // namespace velour
