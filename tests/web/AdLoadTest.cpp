// One banner's ad road end to end: the demo ad server in-process under the vendor's host
// names, the real web engine, the manual clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/support/ZUVStatisticsCore.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestWorld.h"
#include "tools/adserver/AdServer.h"

namespace {

using platform::RunLoop;

// Runs the loop on host time until `done`, leaving the manual clock where it is, so that no
// timer of the controller (the build time-out, the refresh) fires while the engine works.
bool settle(const std::function<bool()>& done, double seconds = 20) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    RunLoop::main().runOnce(0.05);
  }
  return true;
}

TEST(AdLoadTest, FirstLoadShowsTheAdAndATapClicksThrough) {
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no web engine at " << platform::Browser::executablePath();
  }
  velour_test::TestWorld world;
  std::string problem;
  adserver::AdServerOptions options;
  options.adOrigin = kZUVAdServerOrigin;
  auto server = adserver::AdServer::start(options, problem);
  ASSERT_TRUE(server) << problem;
  adserver::AdUnit unit;
  unit.creatives = {"banner-plain"};
  server->setUnit("0123456789abcde", unit);
  for (const std::string& mapping : server->resolveArguments()) {
    ASSERT_TRUE(platform::HostResolution::shared().mapFromText(mapping));
  }
  platform::Application::shared()->finishLaunching();

  auto root = std::make_shared<platform::ViewController>();
  auto window = platform::Window::create();
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  auto screen = root->view();
  auto banner = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
  banner->setAdUnitID("0123456789abcde");
  banner->setRootViewController(root);
  screen->addSubview(banner);
  int received = 0;
  auto events = std::make_shared<ZUVBannerViewDelegate>();
  events->adViewDidReceiveAd = [&](platform::View&) { ++received; };
  banner->setDelegate(events);
  auto& controller = *banner->privateObject();

  // The first 3 comes and goes inside loadRequest; every later state lasts a pass at least.
  std::vector<std::int32_t> states{controller.state()};
  double started = RunLoop::main().currentDate().secondsSince1970;
  banner->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] {
    if (controller.state() != states.back()) states.push_back(controller.state());
    return received > 0 || controller.state() == ZUVObjectPrivate::kStateFailed;
  }));
  EXPECT_EQ(states, (std::vector<std::int32_t>{0, 1, 3, 4, 5, 6}));
  EXPECT_EQ(received, 1);
  EXPECT_FALSE(banner->webView()->isHidden());
  ZUVStatisticsCore store(ZUVObjectPrivate::kStoreIdentifier);
  EXPECT_NEAR(store.dateForKey("expireDate").dateValue().secondsSince1970, started + 86400, 1);
  auto ad = server->record().last(adserver::RequestKind::Ad);
  ASSERT_TRUE(ad);
  EXPECT_EQ(ad->parameters.find("ad_frame")->stringValue(), R"({"x":0,"y":361,"w":320,"h":50})");
  EXPECT_EQ(controller.pendingTrackingURLs().size(), 2u);
  EXPECT_EQ(controller.supportedOrientations(), 1);

  // A tap on the shown ad is a click-through: the banner keeps its ad page, and the in-app
  // browser follows the click chain over the root view controller, with the ad page as
  // referring URL. The banners' refresh waits until the browser gives the screen back.
  std::string adPage = banner->webView()->request().url().absoluteString();
  ASSERT_TRUE(banner->webView()->tapLink("#ad"));
  EXPECT_TRUE(settle(
      [&] { return !server->record().requestsOfKind(adserver::RequestKind::Click).empty(); }));
  EXPECT_EQ(banner->webView()->request().url().absoluteString(), adPage);
  auto delegate =
      std::dynamic_pointer_cast<ZUVBannerWebViewDelegate>(banner->webView()->delegate());
  ASSERT_TRUE(delegate && delegate->opener().referringURL());
  EXPECT_EQ(delegate->opener().referringURL()->absoluteString(), adPage);
  auto browser = std::dynamic_pointer_cast<ZUVScreenRelinquishing>(root->modalViewController());
  ASSERT_TRUE(browser);
  EXPECT_EQ(controller.reloadTimer(), nullptr);
  browser->relinquishScreen();
  ASSERT_NE(controller.reloadTimer(), nullptr);

  // The refresh comes 30 s on, within the day: no script traffic.
  RunLoop::main().advance(30);
  ASSERT_TRUE(settle([&] { return received == 2; }));
  EXPECT_EQ(server->record().requestsOfKind(adserver::RequestKind::Script).size(), 1u);
  EXPECT_TRUE(banner->hasAutoRefreshed());

  banner->removeFromSuperview();
  banner.reset();
  ZUVStatistics::releaseSharedStatistics();
  platform::HostResolution::shared().clear();
}

}  // namespace
