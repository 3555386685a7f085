#include "tools/velour/Snapshot.h"

#include <filesystem>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Png.h"
#include "platform/ui/Window.h"
#include "platform/web/WebView.h"
#include "tools/velour/Refusal.h"
#include "tools/velour/ScreenPage.h"

namespace velour {

namespace {

// Real time that drawing the page may take, pictures included.
constexpr platform::Duration kDrawBudget = platform::seconds(20);
// Real time that the pages on screen get to finish loading before the picture.
constexpr platform::Duration kSettleBudget = platform::seconds(10);

platform::HostInstant deadlineIn(platform::Duration budget) {
  return platform::RunLoop::main().hostNow() + budget;
}

class LoadEnd : public platform::WebViewDelegate {
 public:
  void webViewDidFinishLoad(platform::WebView&) override { ended = true; }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error& error) override {
    ended = true;
    failure = error.localizedDescription();
  }
  bool ended = false;
  std::string failure;
};

// A banner loads its ad with its web view hidden: the picture waits for the ad (but not for a
// build page's report, which the loop's clock may hold back).
bool isLoadingAnyPage(const platform::View& view) {
  if (auto* web = dynamic_cast<const platform::WebView*>(&view); web && web->isLoading()) {
    return true;
  }
  if (auto* banner = dynamic_cast<const ZUVBannerView*>(&view)) {
    auto controller = ZUVBannerController(*banner);
    if (controller && controller->isWorking() && !controller->isAwaitingBuildReport()) return true;
  }
  for (const auto& sub : view.subviews()) {
    if (!sub->isHidden() && isLoadingAnyPage(*sub)) return true;
  }
  return false;
}

platform::Result<void> prepareFolder(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) return {};
  auto& files = platform::FileManager::defaultManager();
  if (files.isDirectory(folder)) return {};
  if (files.fileExists(folder)) return refused(folder + " is not a folder");
  if (!files.createDirectory(folder)) return refused("cannot make the folder " + folder);
  return {};
}

platform::Result<platform::Bytes> shoot(const ScreenPage& page, double scale) {
  auto view = platform::WebView::create(platform::Rect(0, 0, page.size.width, page.size.height));
  auto end = std::make_shared<LoadEnd>();
  view->setDelegate(end);
  view->loadHTMLStringBaseURL(page.html, std::nullopt);
  const platform::HostInstant deadline = deadlineIn(kDrawBudget);
  if (!platform::Harness::runUntilHostTime([&] { return end->ended; }, deadline) ||
      !end->failure.empty()) {
    return refused("the web engine could not draw the screen" +
                   (end->failure.empty() ? std::string() : ": " + end->failure));
  }
  // Pictures embedded in the page decode after the load has ended.
  platform::Harness::runUntilHostTime(
      [&] {
        return view->stringByEvaluatingJavaScriptFromString(
                   "Array.prototype.every.call(document.images, i => i.complete)") == "true";
      },
      deadline);
  auto png = view->screenshotPNGAtScale(scale);
  if (!png) return refused("the web engine could not take the picture");
  return std::move(*png);
}

}  // namespace

platform::Result<void> writeSnapshot(const std::string& path) {
  if (path.empty()) return refused("snapshot needs a file name");
  // Pictures are PNG: a name that says otherwise would hold what it does not say.
  if (!platform::text::asciiLowercase(path).ends_with(".png")) {
    return refused("snapshot writes PNG pictures: the file name ends in .png, not \"" +
                   platform::text::singleLine(path) + "\"");
  }
  if (auto folder = prepareFolder(path); !folder) return folder;
  const double scale = platform::DeviceProfile::current().screenScale.value_or(1.0);
  // The pages and banners on screen finish loading first, so that the picture shows them.
  auto window = platform::Window::keyWindow();
  platform::Harness::runUntilHostTime([&] { return !window || !isLoadingAnyPage(*window); },
                                      deadlineIn(kSettleBudget));
  auto png = shoot(drawScreen(scale), scale);
  if (!png) return png.error();
  auto written = platform::FileManager::defaultManager().writeAtomically(path, *png);
  if (!written) {
    return refused("cannot write " + path + ": " + written.error().localizedDescription());
  }
  return {};
}

}  // namespace velour
