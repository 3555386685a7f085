#include "tools/velour/Banners.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/harness/Harness.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "tools/velour/Console.h"
#include "tools/velour/Refusal.h"

namespace velour {

namespace {

void collect(const std::shared_ptr<platform::View>& view,
             std::vector<std::shared_ptr<ZUVBannerView>>& into) {
  if (auto banner = std::dynamic_pointer_cast<ZUVBannerView>(view)) into.push_back(banner);
  for (const auto& sub : view->subviews()) collect(sub, into);
}

// The screen a banner belongs to: the first view up its tree that a controller owns.
std::string owner(const platform::View& banner) {
  for (auto view = banner.superview(); view; view = view->superview()) {
    if (!view->controllerClassName().empty()) return view->controllerClassName();
  }
  return "the window";
}

// Whole however large (a server may set a refresh years away).
std::string oneDecimal(double value) {
  int length = std::snprintf(nullptr, 0, "%.1f", value);
  if (length <= 0) return "?";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.1f", value);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// The actions that the banner's ad and build pages asked for and were refused.
std::uint64_t refusedActions(const ZUVBannerView& banner) {
  auto delegate = std::dynamic_pointer_cast<ZUVWebViewDelegate>(
      ZUVBannerController(banner)->webView()->delegate());
  return delegate ? delegate->gate()->refusedCount() : 0;
}

}  // namespace

std::vector<std::shared_ptr<ZUVBannerView>> Banners::all() {
  std::vector<std::shared_ptr<ZUVBannerView>> banners;
  auto window = platform::Window::keyWindow();
  if (!window) return banners;
  collect(window, banners);
  auto tabs = std::dynamic_pointer_cast<platform::TabBarController>(window->rootViewController());
  if (!tabs) return banners;
  // Boards that are not on screen, or under a full screen, keep their banners running.
  std::vector<std::shared_ptr<ZUVBannerView>> offScreen;
  for (const auto& board : tabs->viewControllers()) {
    if (board->isViewLoaded()) collect(board->view(), offScreen);
  }
  for (const auto& banner : offScreen) {
    if (std::find(banners.begin(), banners.end(), banner) == banners.end()) {
      banners.push_back(banner);
    }
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
    entry->second = Watch{banner, nullptr, -1, {}, {}};
    entry->second.delegate = std::make_shared<ZUVBannerViewDelegate>();
    Watch* watched = &entry->second;
    entry->second.delegate->adViewDidFailToReceiveAdWithError =
        [watched](platform::View&, const platform::Error& error) {
          watched->lastError = error.code;
          const platform::Value* reason = error.userInfo.find(kZUVErrorReasonKey);
          watched->lastReason =
              reason && reason->isString() ? platform::text::singleLine(reason->stringValue()) : "";
          watched->errors.push_back(error.code);
        };
    entry->second.delegate->adViewDidReceiveAd = [watched](platform::View&) {
      watched->lastError = -1;
    };
    banner->setDelegate(entry->second.delegate);
    banner->setViewableRefresh(viewableRefresh_);
    logConsoleOf(*ZUVBannerController(*banner)->webView(),
                 [weak = std::weak_ptr<ZUVBannerView>(banner)] {
                   auto shown = weak.lock();
                   return shown && isSeenOrAway(*shown);
                 });
  }
  return entry->second;
}

// On the screen in front, or with its ad expanded or resized over whatever is in front.
bool Banners::isSeenOrAway(ZUVBannerView& banner) {
  if (banner.window() && banner.isVisibleInTree()) return true;
  const ZUVMraidController* mraid = ZUVBannerController(banner)->mraid();
  return mraid &&
         (mraid->state() == ZUVMraidState::Expanded || mraid->state() == ZUVMraidState::Resized);
}

std::string Banners::state(const std::shared_ptr<ZUVBannerView>& banner) {
  const Watch& watched = watch(banner);
  auto controller = ZUVBannerController(*banner);
  ZUVObjectPrivate::State state = controller->state();
  if (state == ZUVObjectPrivate::State::NothingRequested) return "empty";
  if (controller->isWorking()) return "loading";
  if (state == ZUVObjectPrivate::State::ShowingAd) return "showing";
  if (watched.lastError >= 0) {
    std::string failed = "failed " + std::to_string(watched.lastError);
    return watched.lastReason.empty() ? failed : failed + " (" + watched.lastReason + ")";
  }
  return "loading";
}

std::string Banners::describe(const std::shared_ptr<ZUVBannerView>& banner) {
  std::ostringstream out;
  const platform::Rect& frame = banner->frame();
  out << "banner " << frame.origin.x << "," << frame.origin.y << " " << frame.size.width << "x"
      << frame.size.height << " " << state(banner);
  // The page as fetched; the engine may report the address it committed differently.
  auto page = ZUVBannerController(*banner)->adHTMLBaseURL();
  if (!ZUVBannerController(*banner)->webView()->isHidden() && page)
    out << " " << page->absoluteString();
  return out.str();
}

void Banners::setViewableRefresh(bool on) {
  viewableRefresh_ = on;
  for (const auto& banner : all()) banner->setViewableRefresh(on);
}

void Banners::watchAll() {
  for (const auto& banner : all()) watch(banner);
}

void Banners::printAll(std::ostream& out) {
  auto banners = all();
  if (banners.empty()) out << "ads: no banner\n";
  const platform::Instant now = platform::RunLoop::main().now();
  for (const auto& banner : banners) {
    out << "ad " << owner(*banner)
        << (banner->isVisibleInTree() && banner->window() ? "" : " (off screen)") << ": "
        << describe(banner);
    const auto& timer = ZUVBannerController(*banner)->refresh().timer();
    if (timer.isValid()) {
      out << ", refresh in " << oneDecimal(platform::toSeconds(timer.fireDate() - now)) << " s";
    } else if (ZUVBannerController(*banner)->refresh().isWaitingToBeSeen()) {
      out << ", refresh due when the banner is seen";
    } else {
      out << ", no refresh due";
    }
    const ZUVImpressionWatch& impressions = ZUVBannerController(*banner)->impressions();
    if (impressions.impressionCounted()) {
      out << (impressions.viewableImpressionCounted() ? ", viewable impression" : ", impression");
    }
    out << ", clicks: " << ZUVBannerController(*banner)->clickCount();
    const auto& errors = watch(banner).errors;
    out << ", errors:";
    if (errors.empty()) out << " none";
    for (long code : errors) out << " " << code;
    out << ", refused actions: " << refusedActions(*banner);
    out << "\n";
  }
}

std::shared_ptr<ZUVBannerView> Banners::topmostShown() {
  const auto banners = all();
  for (auto it = banners.rbegin(); it != banners.rend(); ++it) {
    if ((*it)->window() && (*it)->isVisibleInTree()) return *it;
  }
  return nullptr;
}

platform::Result<void> Banners::tapVisible(std::optional<platform::Point> point) {
  auto banner = topmostShown();
  if (!banner) return refused("no banner on the screen");
  const auto& page = ZUVBannerController(*banner)->webView();
  if (page->isHidden()) return refused("the banner shows no ad yet");
  const platform::Size size = banner->bounds().size;
  const platform::Point at = point.value_or(platform::Point{size.width / 2, size.height / 2});
  if (!banner->pointInside(at)) {
    return refused("the point " + oneDecimal(at.x) + "," + oneDecimal(at.y) +
                   " is outside the banner");
  }
  const platform::Point origin = page->frame().origin;
  if (!page->tapAt(platform::Point{at.x - origin.x, at.y - origin.y})) {
    return refused("the banner's page could not be tapped there");
  }
  return {};
}

bool Banners::settle(platform::Duration budget, const std::function<bool()>& alsoBusy) {
  platform::RunLoop& loop = platform::RunLoop::main();
  const platform::HostInstant end = loop.hostNow() + budget;
  auto busy = [&alsoBusy] {
    if (alsoBusy && alsoBusy()) return true;
    for (const auto& banner : all()) {
      if (ZUVBannerController(*banner)->isWorking()) return true;
    }
    return false;
  };
  return platform::Harness::runUntilHostTime([&busy] { return !busy(); }, end);
}

bool Banners::awaitingBuildReportsOnly() {
  const auto banners = all();
  return std::all_of(banners.begin(), banners.end(), [](const auto& banner) {
    const auto& controller = ZUVBannerController(*banner);
    return !controller->isWorking() || controller->isAwaitingBuildReport();
  });
}

}  // namespace velour
