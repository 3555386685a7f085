#include "tools/velour/Banners.h"

#include <chrono>
#include <functional>
#include <sstream>

#include "ads/core/ZUVObjectPrivate.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace velour {

namespace {

void collect(const std::shared_ptr<platform::View>& view,
             std::vector<std::shared_ptr<ZUVBannerView>>& into) {
  if (auto banner = std::dynamic_pointer_cast<ZUVBannerView>(view)) into.push_back(banner);
  for (const auto& sub : view->subviews()) collect(sub, into);
}

}  // namespace

std::vector<std::shared_ptr<ZUVBannerView>> Banners::all() {
  std::vector<std::shared_ptr<ZUVBannerView>> banners;
  auto window = platform::Window::keyWindow();
  if (!window) return banners;
  collect(window, banners);
  auto tabs = std::dynamic_pointer_cast<platform::TabBarController>(window->rootViewController());
  if (!tabs) return banners;
  // Boards that are not on screen keep their banners running.
  for (const auto& board : tabs->viewControllers()) {
    if (board->isViewLoaded() && !board->view()->superview()) collect(board->view(), banners);
  }
  return banners;
}

std::vector<std::shared_ptr<ZUVBannerView>> Banners::in(
    const std::shared_ptr<platform::View>& view) {
  std::vector<std::shared_ptr<ZUVBannerView>> banners;
  collect(view, banners);
  return banners;
}

Banners::Watch& Banners::watch(const std::shared_ptr<ZUVBannerView>& banner) {
  auto [entry, added] = watches_.try_emplace(banner.get());
  // A banner that took the address of one gone before it gets a watch of its own.
  if (added || entry->second.banner.lock() != banner) {
    entry->second = Watch{banner, nullptr, -1};
    entry->second.delegate = std::make_shared<ZUVBannerViewDelegate>();
    Watch* watched = &entry->second;
    entry->second.delegate->adViewDidFailToReceiveAdWithError =
        [watched](platform::View&, const platform::Error& error) {
          watched->lastError = error.code;
        };
    entry->second.delegate->adViewDidReceiveAd = [watched](platform::View&) {
      watched->lastError = -1;
    };
    banner->setDelegate(entry->second.delegate);
  }
  return entry->second;
}

std::string Banners::describe(const std::shared_ptr<ZUVBannerView>& banner) {
  const Watch& watched = watch(banner);
  auto controller = banner->privateObject();
  std::ostringstream out;
  const platform::Rect& frame = banner->frame();
  out << "banner " << frame.origin.x << "," << frame.origin.y << " " << frame.size.width << "x"
      << frame.size.height << " ";
  std::int32_t state = controller->state();
  if (state == ZUVObjectPrivate::kStateIdle) {
    out << "empty";
  } else if (controller->isWorking()) {
    out << "loading";
  } else if (state == ZUVObjectPrivate::kStateShowing) {
    out << "showing";
  } else if (watched.lastError >= 0) {
    out << "failed " << watched.lastError;
  } else {
    out << "loading";
  }
  // The page as fetched; the engine may report the address it committed differently.
  auto page = controller->adHTMLBaseURL();
  if (!banner->webView()->isHidden() && page) out << " " << page->absoluteString();
  return out.str();
}

std::string Banners::tapVisible() {
  for (const auto& banner : all()) {
    if (!banner->window() || !banner->isVisibleInTree()) continue;
    if (banner->webView()->isHidden()) return "the banner shows no ad yet";
    if (!banner->webView()->tapLink("#ad")) return "the ad has nothing to tap";
    return {};
  }
  return "no banner on the screen";
}

void Banners::settle(double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  auto busy = [] {
    for (const auto& banner : all()) {
      if (banner->privateObject()->isWorking()) return true;
    }
    return false;
  };
  while (busy() && std::chrono::steady_clock::now() < end) {
    platform::RunLoop::main().runOnce(0.05);
  }
}

}  // namespace velour
