// Banners end to end: the demo ad server in-process under the vendor's host names, the real web
// engine, the manual clock. A healthy banner walks the whole road; against a misbehaving ad
// server, network, disk and web engine every fault must end in the delegates' error, a banner
// that recovers where its refresh allows, an application that keeps running and a store that
// keeps what it held.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/support/ZUVStatisticsCore.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/web/VendorAdServerTest.h"
#include "tools/adserver/AdServer.h"

using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;
using adserver::Fault;
using platform::RunLoop;

// AddressSanitizer holds freed memory in quarantine (256 MiB by default), so resident memory
// says nothing of growth there; the uninstrumented build checks it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeansGrowth = false;
#elif defined(__has_feature)
constexpr bool kResidentMemoryMeansGrowth = !__has_feature(address_sanitizer);
#else
constexpr bool kResidentMemoryMeansGrowth = true;
#endif

// Resident memory of this process, in KiB.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Processor seconds that the engine's renderers have used, over its process group.
double rendererSeconds() {
  const pid_t group = platform::Browser::shared()->processId();
  std::error_code error;
  long ticks = 0;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const auto& files = platform::FileManager::defaultManager();
    const std::string stat = files.readVanishingText(entry.path() / "stat");
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    std::vector<std::string> values;
    while (values.size() < 13 && fields >> field) values.push_back(field);
    if (values.size() < 13 || std::stol(values[2]) != group) continue;
    const std::string command = files.readVanishingText(entry.path() / "cmdline");
    // The browser's own interface has a renderer of its own, busy with every window it opens.
    if (command.find("--type=renderer") == std::string::npos ||
        command.find("--top-chrome-webui") != std::string::npos) {
      continue;
    }
    ticks += std::stol(values[11]) + std::stol(values[12]);
  }
  return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

class AdFaultTest : public velour_test::VendorAdServerTest {
 protected:
  struct Banner {
    std::string slot;
    std::shared_ptr<ZUVBannerView> view;
    std::shared_ptr<ZUVBannerViewDelegate> events;
    int received = 0;
    std::vector<long> errors;
    ZUVObjectPrivate& controller() const { return *ZUVBannerController(*view); }
  };

  void TearDown() override {
    for (Banner& banner : banners_) banner.view->removeFromSuperview();
    banners_.clear();
    VendorAdServerTest::TearDown();
  }

  // Refreshes every 30 s.
  void setFault(const std::string& slot, Fault fault) {
    adserver::AdUnit unit;
    unit.creatives = {"banner-plain"};
    unit.fault = fault;
    unit.stallMilliseconds = 600000;  // ended when the server stops
    server_->setUnit(slot, std::move(unit));
  }

  Banner& addBanner(const std::string& slot, Fault fault = Fault::None) {
    setFault(slot, fault);
    Banner& banner = banners_.emplace_back();
    banner.slot = slot;
    banner.view = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
    banner.view->setAdUnitID(slot);
    banner.view->setRootViewController(root_);
    root_->view()->addSubview(banner.view);
    banner.events = std::make_shared<ZUVBannerViewDelegate>();
    banner.events->adViewDidReceiveAd = [&banner](platform::View&) { ++banner.received; };
    banner.events->adViewDidFailToReceiveAdWithError = [&banner](platform::View&,
                                                                 const platform::Error& error) {
      banner.errors.push_back(error.code);
    };
    banner.view->setDelegate(banner.events);
    return banner;
  }

  // Runs the loop on host time until `done`, the manual clock standing still, so that only
  // the test's advance() fires the controllers' timers.
  static bool settle(const std::function<bool()>& done, double seconds = 30) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      RunLoop::main().runOnce(0.05s);
    }
    return true;
  }

  // Real time passes; the manual clock stands still.
  static void wait(double seconds) {
    settle([] { return false; }, seconds);
  }

  static bool inState(const Banner& banner, ZUVObjectPrivate::State state) {
    return banner.controller().state() == state;
  }

  // Ad pages that the server served to `banner`.
  long pagesOf(const Banner& banner) const {
    auto pages = server_->record().requestsOfKind(adserver::RequestKind::Page);
    return std::count_if(pages.begin(), pages.end(),
                         [&](auto& r) { return r.slot == banner.slot; });
  }

  static bool refreshesIn(const Banner& banner, platform::Duration interval) {
    const auto& timer = banner.controller().refresh().timer();
    return timer && timer.fireDate() - RunLoop::main().now() == interval;
  }

  std::deque<Banner> banners_;
};

TEST_F(AdFaultTest, AHealthyBannerGoesThroughEveryStateAndOnlyATapTakesAnAdAnywhere) {
  Banner& banner = addBanner("0123456789abcde");
  ZUVObjectPrivate& controller = banner.controller();
  auto reached = [&](adserver::RequestKind kind) {
    return server_->record().requestsOfKind(kind).size();
  };
  // The first BuildingAdURL comes and goes inside loadRequest; every later state lasts a pass
  // at least.
  std::vector<ZUVObjectPrivate::State> states{controller.state()};
  banner.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] {
    if (controller.state() != states.back()) states.push_back(controller.state());
    return banner.received > 0 || inState(banner, ZUVObjectPrivate::State::LoadFailed);
  }));
  using State = ZUVObjectPrivate::State;
  EXPECT_EQ(states, (std::vector<State>{State::NothingRequested, State::FetchingScript,
                                        State::BuildingAdURL, State::FetchingAdPage,
                                        State::LoadingAdPage, State::ShowingAd}));

  // A tap on the shown ad is a click-through: the banner keeps its ad page, the in-app browser
  // goes over the root view controller, and the refresh waits until it gives the screen back.
  auto page = ZUVBannerController(*banner.view)->webView();
  const std::string adPage = page->request().url().absoluteString();
  ASSERT_TRUE(page->tapLink("#ad"));
  EXPECT_TRUE(settle([&] { return reached(adserver::RequestKind::Landing) == 1; }));
  EXPECT_EQ(page->request().url().absoluteString(), adPage);
  auto browser = std::dynamic_pointer_cast<ZUVScreenRelinquishing>(root_->modalViewController());
  ASSERT_TRUE(browser);
  EXPECT_FALSE(controller.refresh().timer());
  browser->relinquishScreen();
  EXPECT_TRUE(controller.refresh().timer());

  // A hostile ad: eight ways out while its page loads, eleven (a scripted click() and
  // dispatchEvent and window.open among them) once it is shown, each one refused.
  Banner& hostile = addBanner("0a0000000000001");
  adserver::AdUnit unit;
  unit.creatives = {"hostile-no-tap"};
  server_->setUnit(hostile.slot, unit);
  page = hostile.controller().webView();
  auto gate = std::dynamic_pointer_cast<ZUVWebViewDelegate>(page->delegate())->gate();
  const auto clicks = reached(adserver::RequestKind::Click);
  hostile.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] { return hostile.received == 1 && gate->refusedCount() >= 19; }));
  RunLoop::main().runUntil([] { return false; }, 0.5s);
  EXPECT_EQ(gate->refusedCount(), 19u);
  EXPECT_TRUE(platform::Application::shared()->openedURLs().empty());
  EXPECT_EQ(root_->modalViewController(), nullptr);
  EXPECT_EQ(reached(adserver::RequestKind::Click), clicks);
  EXPECT_EQ(reached(adserver::RequestKind::Landing), 1u);

  // A refresh under way leaves the older ad on screen: it still goes nowhere by itself, and
  // a finger on it, where its only link has no name, is a click-through.
  setFault(hostile.slot, Fault::Stall);
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return inState(hostile, ZUVObjectPrivate::State::FetchingAdPage); }));
  page->stringByEvaluatingJavaScriptFromString(
      "document.querySelector('a').click(); location.href = 'itms-apps://store.test/x'");
  ASSERT_TRUE(settle([&] { return gate->refusedCount() == 21; }));
  const platform::Size size = hostile.view->bounds().size;
  ASSERT_TRUE(page->tapAt(platform::Point{size.width / 2, size.height / 2}));
  ASSERT_TRUE(settle([&] { return reached(adserver::RequestKind::Landing) == 2; }));
  browser = std::dynamic_pointer_cast<ZUVScreenRelinquishing>(root_->modalViewController());
  ASSERT_TRUE(browser);
  browser->relinquishScreen();
  EXPECT_TRUE(platform::Application::shared()->openedURLs().empty());
}

TEST_F(AdFaultTest, AdPageFaultsFailWithTheirErrorAndTheNextRefreshRecovers) {
  Banner& closing = addBanner("c00000000000001");
  Banner& stalled = addBanner("c00000000000002");
  Banner& healthy = addBanner("c00000000000003");
  Banner& looping = addBanner("c00000000000004");
  for (Banner& banner : banners_) banner.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] {
    return std::all_of(banners_.begin(), banners_.end(), [](auto& b) { return b.received; });
  }));

  setFault(closing.slot, Fault::CloseMidBody);
  setFault(stalled.slot, Fault::Stall);
  setFault(looping.slot, Fault::NavigationLoop);
  const auto loopingPages = pagesOf(looping);
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] {
    return !closing.errors.empty() && inState(stalled, ZUVObjectPrivate::State::FetchingAdPage) &&
           healthy.received == 2 && !looping.errors.empty();
  }));
  EXPECT_EQ(closing.errors, std::vector<long>{2});
  EXPECT_TRUE(inState(closing, ZUVObjectPrivate::State::LoadFailed));
  EXPECT_TRUE(refreshesIn(closing, 30s));
  // The last ad stays on screen until a new one replaces it.
  EXPECT_FALSE(ZUVBannerController(*closing.view)->webView()->isHidden());

  // A page that keeps navigating itself while it loads is stopped once, keeping the refresh
  // that its answer set.
  wait(2);
  EXPECT_EQ(looping.errors, std::vector<long>{2});
  EXPECT_EQ(pagesOf(looping), loopingPages + 1 + ZUVBannerWebViewDelegate::kMaxSelfNavigations);
  EXPECT_TRUE(refreshesIn(looping, 30s));
  EXPECT_EQ(std::count_if(world_->log().lines().begin(), world_->log().lines().end(),
                          [](auto& line) { return line.find("<Vozave> Stopped an ad") == 0; }),
            1);

  // The faults end: the refresh brings the ads back, while the stalled fetch still waits.
  setFault(closing.slot, Fault::None);
  setFault(looping.slot, Fault::None);
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle(
      [&] { return closing.received == 2 && healthy.received == 3 && looping.received == 2; }));
  EXPECT_TRUE(stalled.errors.empty());
  EXPECT_TRUE(inState(stalled, ZUVObjectPrivate::State::FetchingAdPage));

  // The stalled fetch gives up after a minute without a byte; the refresh after that shows.
  setFault(stalled.slot, Fault::None);
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return !stalled.errors.empty(); }));
  EXPECT_EQ(stalled.errors, std::vector<long>{2});
  EXPECT_TRUE(refreshesIn(stalled, 30s));
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return stalled.received == 2; }));
  EXPECT_EQ(stalled.errors.size(), 1u);
}

TEST_F(AdFaultTest, HostilePagesAndAKilledEngineLeaveTheOtherBannersLoading) {
  Banner& runaway = addBanner("e00000000000001", Fault::RunawayScript);
  Banner& flood = addBanner("e00000000000002", Fault::MessageFlood);
  Banner& first = addBanner("e00000000000003");
  Banner& second = addBanner("e00000000000004");
  for (Banner& b : banners_) b.view->loadRequest(ZUVRequest::request());
  // The spinning page must be loading, its refresh armed, before the clock moves.
  ASSERT_TRUE(settle([&] {
    return first.received == 1 && second.received == 1 && world_->log().contains("flood9999") &&
           inState(runaway, ZUVObjectPrivate::State::LoadingAdPage);
  }));
  // The whole burst arrives, in order, and the page goes on reloading itself.
  const auto& lines = world_->log().lines();
  auto burst = std::find(lines.begin(), lines.end(), "flood0");
  ASSERT_NE(burst, lines.end());
  ASSERT_GE(lines.end() - burst, 10000);
  EXPECT_EQ(burst[9999], "flood9999");
  ASSERT_TRUE(settle([&] { return pagesOf(flood) >= 2; }));

  // Refreshes go on while one page spins and the other floods; memory stays put. Each round
  // waits, as above, for the spinning page's refresh to be armed before the clock moves again.
  long settled = residentKiB();
  for (int round = 2; round <= 3; ++round) {
    world_->log().clear();
    platform::Harness::advance(30s);
    ASSERT_TRUE(settle([&] {
      return first.received == round && second.received == round && pagesOf(runaway) == round &&
             inState(runaway, ZUVObjectPrivate::State::LoadingAdPage);
    })) << "round "
        << round << ": " << first.received << " " << second.received << " " << pagesOf(runaway);
  }
  if (kResidentMemoryMeansGrowth) {
    EXPECT_LT(residentKiB() - settled, 32 * 1024) << "KiB grown";
  }
  // Neither hostile page ever finishes. The spinning one is reported once, a load time-out
  // after the first, though a refresh replaced it meanwhile. The flooding one reloads itself
  // as fast as the engine lets it, so it is stopped as a runaway or times out: each of its two
  // loads is reported once at most.
  EXPECT_EQ(runaway.errors, std::vector<long>{2});
  EXPECT_TRUE(!flood.errors.empty() && flood.errors.size() <= 2) << flood.errors.size();
  EXPECT_TRUE(std::all_of(flood.errors.begin(), flood.errors.end(), [](long c) { return c == 2; }));
  EXPECT_TRUE(first.errors.empty() && second.errors.empty());

  // A killed engine: the next refresh starts a new one and every healthy banner shows again.
  pid_t old = platform::Browser::shared()->processId();
  ASSERT_GT(old, 0);
  ASSERT_EQ(::kill(old, SIGKILL), 0);
  ASSERT_TRUE(settle([&] {
    auto browser = platform::Browser::shared();
    return !browser->isRunning() || browser->processId() != old;
  }));
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return first.received == 4 && second.received == 4; }));
  EXPECT_NE(platform::Browser::shared()->processId(), old);
  EXPECT_TRUE(first.errors.empty() && second.errors.empty());
}

TEST_F(AdFaultTest, RunawayPagesAreUnloadedAndTheirRenderersGoIdle) {
  platform::PageResourceLimits& limits = ZUVObjectPrivate::pageLimits();
  const platform::PageResourceLimits saved = limits;
  // The spinning page never finishes: the clock moved by the test must not end it first.
  const platform::Duration loadTimeout = platform::WebView::loadTimeout();
  platform::WebView::setLoadTimeout(3600s);
  auto spinningUnit = [&](const std::string& slot, Fault fault) {
    adserver::AdUnit unit;
    unit.creatives = {"banner-plain"};
    unit.refreshRate = "600";
    unit.fault = fault;
    server_->setUnit(slot, std::move(unit));
  };
  // No renderer spins: within ten seconds, a spell of two in which they use next to no
  // processor (a spare page's renderer may still be busy with its own start on a loaded host).
  auto idle = [] {
    for (int spell = 0; spell < 5; ++spell) {
      const double before = rendererSeconds();
      wait(2);
      if (rendererSeconds() - before < 0.1) return true;
    }
    return false;
  };

  // An ad page that spins past its share of the processor is unloaded: code 2, one log line
  // that names the limit, nothing shown, the refresh kept.
  limits.processorInWindow = 0.3s;
  Banner& page = addBanner("d00000000000001");
  Banner& build = addBanner("d00000000000002");
  limits = saved;
  // The support script carries every unit's fault from its first fetch on.
  spinningUnit(page.slot, Fault::RunawayScript);
  spinningUnit(build.slot, Fault::SpinningScript);
  page.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] { return inState(page, ZUVObjectPrivate::State::LoadingAdPage); }));
  // The page spins in real time; the monitor reads it at each second of the test's clock.
  for (int second = 0; second < 60 && page.errors.empty(); ++second) {
    wait(0.5);
    platform::Harness::advance(1s);
  }
  ASSERT_TRUE(settle([&] { return !page.errors.empty(); }, 5));
  EXPECT_EQ(page.errors, std::vector<long>{2});
  EXPECT_TRUE(inState(page, ZUVObjectPrivate::State::LoadFailed));
  EXPECT_TRUE(ZUVBannerController(*page.view)->webView()->isHidden());
  EXPECT_TRUE(page.controller().refresh().timer());
  const std::string line =
      "<Vozave> Unloaded an ad page past its limit of processor time 0.3 s in 30 s";
  EXPECT_EQ(std::count(world_->log().lines().begin(), world_->log().lines().end(), line), 1);
  EXPECT_TRUE(idle());

  // A support script that never ends is given up, and its page goes: at the page's load
  // time-out while the script holds the page's load, or at the build time-out once the page
  // has loaded. The log names the time-out.
  platform::WebView::setLoadTimeout(30s);
  build.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] { return build.controller().buildAdWebView() != nullptr; }));
  for (int round = 0; round < 4 && build.errors.empty(); ++round) {
    wait(1);
    platform::Harness::advance(ZUVObjectPrivate::kBuildTimeout);
  }
  ASSERT_TRUE(settle([&] { return !build.errors.empty(); }));
  EXPECT_EQ(build.errors, std::vector<long>{2});
  EXPECT_TRUE(world_->log().contains("the load timed out after 30 s") ||
              world_->log().contains("gave no answer within 10 s"));
  EXPECT_TRUE(idle());
  platform::WebView::setLoadTimeout(loadTimeout);
}

TEST_F(AdFaultTest, ACorruptStoreAnUnwritableCacheAndALostNetworkEachHealAtARefresh) {
  auto& defaults = platform::UserDefaults::standard();
  const std::string storePath = defaults.filePath();
  fs::create_directories(fs::path(storePath).parent_path());
  std::ofstream(storePath) << "<plist><dict><key>half";
  platform::UserDefaults::resetStandard();

  Banner& banner = addBanner("f00000000000001");
  banner.view->loadRequest(ZUVRequest::request());
  ASSERT_TRUE(settle([&] { return banner.received == 1; }));
  EXPECT_TRUE(ZUVStatisticsCore(ZUVObjectPrivate::kStoreIdentifier)
                  .dateForKey(ZUVObjectPrivate::kExpireDateKey)
                  .isDate());

  // The ad host's cache folder is a file: the page cannot be kept, and it shows from memory.
  const fs::path adCache =
      fs::path(platform::FileManager::defaultManager().cachesDirectory()) / kZUVAdServerHost;
  fs::remove_all(adCache);
  std::ofstream(adCache) << "in the way";
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return banner.received == 2; }));
  EXPECT_TRUE(banner.errors.empty());
  EXPECT_TRUE(refreshesIn(banner, 30s));
  fs::remove(adCache);

  // The network goes away and comes back.
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::None);
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    platform::HostResolution::shared().map(host, "127.0.0.1", 9);
  }
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return banner.errors.size() == 1; }));
  EXPECT_EQ(banner.errors.back(), 2);
  EXPECT_TRUE(inState(banner, ZUVObjectPrivate::State::LoadFailed));
  EXPECT_TRUE(refreshesIn(banner, 30s));
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::WiFi);
  connect();
  platform::Harness::advance(30s);
  ASSERT_TRUE(settle([&] { return banner.received == 3; }));
  EXPECT_TRUE(ZUVStatisticsCore(ZUVObjectPrivate::kStoreIdentifier)
                  .dateForKey(ZUVObjectPrivate::kExpireDateKey)
                  .isDate());
}

}  // namespace
