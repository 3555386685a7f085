// The ad controller on the manual clock, with the script and ad pages served on loopback. No
// web engine runs here: the build page's reports are posted as its web view delegate would
// post them, and the ad web view's loads fail, as a page that cannot load does.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <thread>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/core/ZUVSession.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/support/ZUVStatisticsCore.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/URL.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::RunLoop;

class ZUVObjectPrivateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Browser::setExecutablePath("/nonexistent/velour-test-engine");
    platform::HostResolution::shared().map(kZUVStaticContentHost, "127.0.0.1",
                                           static_cast<std::uint16_t>(server_.port()));
    server_.handle(kZUVSupportScriptPath, [this](const httplib::Request&, httplib::Response& out) {
      while (holdScript_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      std::lock_guard lock(scriptMutex_);
      out.status = scriptStatus_;
      out.set_content(script_, "text/javascript");
    });
    // Build pages stand still without an engine, so that the tests report for them.
    ZUVObjectPrivate::setWebViewMaker(
        [](const platform::Rect& frame) -> std::shared_ptr<platform::WebView> {
          if (frame.size.width == 1) return std::make_shared<velour_test::RecordingWebView>();
          return platform::WebView::create(frame);
        });
    platform::Application::shared()->finishLaunching();
    banner_ = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
    banner_->setAdUnitID("0123456789abcde");
    banner_->setRootViewController(root_);
    parent_->addSubview(banner_);
    events_->adViewDidFailToReceiveAdWithError = [this](platform::View&, const platform::Error& e) {
      errors_.push_back(e);
    };
    banner_->setDelegate(events_);
  }
  void TearDown() override {
    holdScript_ = false;
    ZUVObjectPrivate::setWebViewMaker(nullptr);
    banner_.reset();
    ZUVStatistics::releaseSharedStatistics();
    platform::HostResolution::shared().clear();
    platform::Browser::setExecutablePath("");
  }

  void serveScript(int status, std::string body) {
    std::lock_guard lock(scriptMutex_);
    scriptStatus_ = status;
    script_ = std::move(body);
  }
  ZUVObjectPrivate& controller() { return *ZUVBannerController(*banner_); }
  // Web views made from here on record their loads; returns the build page last loaded.
  std::function<std::string()> recordBuildPages() {
    ZUVObjectPrivate::setWebViewMaker([this](const platform::Rect& frame) {
      recorded_ = std::make_shared<velour_test::RecordingWebView>();
      recorded_->setFrame(frame);
      return recorded_;
    });
    return [this] { return recorded_ && !recorded_->calls.empty() ? recorded_->calls.back() : ""; };
  }
  void settle(const std::function<bool()>& done) {
    ASSERT_TRUE(RunLoop::main().runUntil(done, 10s));
  }
  // Loads and waits until the build page is up, the script fetched.
  void loadToBuild() {
    banner_->loadRequest(ZUVRequest::request());
    settle([&] { return controller().buildAdWebView() != nullptr; });
  }
  void report(const char* name, platform::Dictionary userInfo) {
    ZUVNotificationCenter::defaultCenter().postNotification(
        name, controller().buildAdWebView().get(), std::move(userInfo));
  }
  // Reports the ad URL and waits until the ad page fetch has ended.
  void serveAd(const std::string& path) {
    report("loadAdURL", {{"url", server_.url(path)}, {"type", "vodov"}});
    settle([&] { return controller().state() != ZUVObjectPrivate::State::FetchingAdPage; });
  }
  double refreshIn() {
    const auto& timer = controller().refresh().timer();
    return timer ? platform::toSeconds(timer.fireDate() - RunLoop::main().now()) : -1;
  }

  std::atomic<bool> holdScript_{false};
  std::shared_ptr<velour_test::RecordingWebView> recorded_;
  std::mutex scriptMutex_;
  int scriptStatus_ = 200;
  std::string script_ = "function ZEDE_buildAdURL(p) {}";
  velour_test::TestWorld world_;
  velour_test::TestHTTPServer server_;
  std::shared_ptr<platform::ViewController> root_ = std::make_shared<platform::ViewController>();
  std::shared_ptr<platform::View> parent_ = platform::View::create(platform::Rect(0, 0, 320, 411));
  std::shared_ptr<ZUVBannerViewDelegate> events_ = std::make_shared<ZUVBannerViewDelegate>();
  std::vector<platform::Error> errors_;
  std::shared_ptr<ZUVBannerView> banner_;
};

TEST_F(ZUVObjectPrivateTest, ScriptIsFetchedOnceADayAndItsFailureUsesTheCopy) {
  double started = RunLoop::main().currentDate().secondsSince1970;
  loadToBuild();
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::BuildingAdURL);
  ZUVStatisticsCore store(ZUVObjectPrivate::kStoreIdentifier);
  EXPECT_NEAR(store.dateForKey("expireDate").dateValue().secondsSince1970, started + 86400, 1);
  EXPECT_EQ(controller().request()->counter(), 1);

  // Within the day: no script traffic, the build starts at once.
  banner_->loadRequest(ZUVRequest::request());
  EXPECT_NE(controller().buildAdWebView(), nullptr);
  EXPECT_EQ(server_.requestCount(kZUVSupportScriptPath), 1u);

  // A day on, the script is gone from the server: the copy is used and nothing is reported.
  serveScript(500, "");
  platform::Harness::advance(86401s);
  errors_.clear();  // the build above never reported, and timed out
  banner_->loadRequest(ZUVRequest::request());
  settle([&] {
    return server_.requestCount(kZUVSupportScriptPath) == 2 && controller().buildAdWebView();
  });
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::BuildingAdURL);
  EXPECT_TRUE(errors_.empty());

  // An expiry far ahead, as a planted store would hold, does not pin the copy.
  serveScript(200, "function ZEDE_buildAdURL(p) {}");
  store.setDateForKey(platform::Value(platform::Date{253402300799}),
                      ZUVObjectPrivate::kExpireDateKey);
  store.synchronize();
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return server_.requestCount(kZUVSupportScriptPath) == 3; });
  EXPECT_LE(ZUVStatisticsCore(ZUVObjectPrivate::kStoreIdentifier)
                .dateForKey("expireDate")
                .dateValue()
                .secondsSince1970,
            RunLoop::main().currentDate().secondsSince1970 + 86400);
}

TEST_F(ZUVObjectPrivateTest, FailuresReachTheDelegatesWithTheirStateAndRefresh) {
  // A script that cannot be fetched, with no copy (or a copy that is not text): code 2.
  auto reason = [this] {
    const platform::Value* why = errors_.back().userInfo.find(kZUVErrorReasonKey);
    return why && why->isString() ? why->stringValue() : "";
  };
  serveScript(200, std::string("\xff\xfe", 2));
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return !errors_.empty(); });
  EXPECT_EQ(errors_.back().code, 2);
  EXPECT_EQ(*errors_.back().userInfo.find(kZUVErrorAdUnitIDKey),
            platform::Value("0123456789abcde"));
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::ScriptFetchFailed);

  serveScript(200, "function ZEDE_buildAdURL(p) {}");
  loadToBuild();
  report("invalidRequest", {{"reason", "bad slot"}});
  EXPECT_EQ(errors_.back().code, 0);
  EXPECT_TRUE(world_.log().contains("<Vozave> Invalid Request: {\"reason\":\"bad slot\"}"));
  EXPECT_EQ(reason(),
            "the ad server refused the request (Invalid Request: {\"reason\":\"bad slot\"})");
  EXPECT_EQ(*errors_.back().userInfo.find(kZUVErrorRequestNumberKey),
            platform::Value(controller().request()->counter()));
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);
  EXPECT_EQ(controller().buildAdWebView(), nullptr);

  server_.reply("/rejected", 400, "", {{"X-Zede-Refresh-Rate", "30"}});
  loadToBuild();
  serveAd("/rejected");
  EXPECT_TRUE(world_.log().contains(
      "<Vozave> Server rejected ad parameters.  Typically this is because the ad unit ID is "
      "incorrect."));
  EXPECT_EQ(errors_.back().code, 0);
  EXPECT_TRUE(errors_.back().userInfo.contains("slotname") ||
              errors_.back().userInfo.contains("js"));
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);
  EXPECT_DOUBLE_EQ(refreshIn(), 30);

  // A refresh that the script cannot serve keeps the banner on its schedule.
  platform::Harness::advance(30s);
  settle([&] { return controller().buildAdWebView() != nullptr; });
  report("unableToServe", {{"reason", "no ads"}});
  EXPECT_EQ(errors_.back().code, 0);
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);
  EXPECT_DOUBLE_EQ(refreshIn(), 30);

  server_.reply("/broken", 503, "");
  loadToBuild();
  serveAd("/broken");
  EXPECT_EQ(errors_.back().code, 2);
  EXPECT_EQ(reason(), "the ad page could not be fetched: the server answered HTTP 503");
  EXPECT_DOUBLE_EQ(refreshIn(), 30);

  server_.reply("/blank", 200, " \t\r\n ");
  loadToBuild();
  serveAd("/blank");
  EXPECT_EQ(errors_.back().code, 1);
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);

  // An ad page may be larger than a script, up to what a page may fetch.
  server_.bigBody("/large", 2 << 20, false);
  loadToBuild();
  serveAd("/large");
  EXPECT_EQ(controller().adHTMLString().value_or("").size(), 2u << 20);
  server_.bigBody("/huge", ZUVObjectPrivate::kMaxAdPageBytes + 1, false);
  loadToBuild();
  serveAd("/huge");
  EXPECT_EQ(errors_.back().code, 2);

  // A build that never reports gives up once its page has loaded and ten seconds have passed,
  // not while a busy engine still loads the page; it keeps the refresh going.
  struct SlowLoadWebView : velour_test::RecordingWebView {
    void loadHTMLStringBaseURL(std::string_view html,
                               const std::optional<platform::URL>& baseURL) override {
      RecordingWebView::loadHTMLStringBaseURL(html, baseURL);
      loading = true;
    }
  };
  ZUVObjectPrivate::setWebViewMaker(
      [](const platform::Rect&) { return std::make_shared<SlowLoadWebView>(); });
  loadToBuild();
  std::size_t before = errors_.size();
  platform::Harness::advance(ZUVObjectPrivate::kBuildTimeout * 3 + 5s);
  EXPECT_EQ(errors_.size(), before);
  auto build = controller().buildAdWebView();
  static_cast<SlowLoadWebView&>(*build).loading = false;
  build->delegate()->webViewDidFinishLoad(*build);
  platform::Harness::advance(ZUVObjectPrivate::kBuildTimeout - 1s);
  EXPECT_EQ(errors_.size(), before);
  platform::Harness::advance(1s);
  ASSERT_EQ(errors_.size(), before + 1);
  EXPECT_EQ(errors_.back().code, 2);
  EXPECT_EQ(reason(), "the page that builds the ad URL gave no answer within 10 s");
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);
  EXPECT_EQ(controller().buildAdWebView(), nullptr);
  EXPECT_DOUBLE_EQ(refreshIn(), 30);
}

TEST_F(ZUVObjectPrivateTest, RefreshFollowsTheServerAndPausesWhileAway) {
  server_.reply("/ad30", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "30"}});
  server_.reply("/ad0", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "0"}});
  loadToBuild();
  serveAd("/ad30");
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadingAdPage);
  EXPECT_DOUBLE_EQ(refreshIn(), 30);
  platform::Harness::advance(30s);
  EXPECT_TRUE(banner_->hasAutoRefreshed());
  settle([&] { return controller().buildAdWebView() != nullptr; });
  serveAd("/ad0");  // 0 stops the refresh
  EXPECT_FALSE(controller().refresh().timer());

  // Fired while inactive after launch (the banner was made after it): nothing loads and
  // nothing is scheduled.
  auto application = platform::Application::shared();
  application->enterBackground();
  controller().refresh().restart();
  auto requests = server_.requests().size();
  auto loads = controller().request()->counter();
  platform::Harness::advance(30s);
  EXPECT_FALSE(controller().refresh().timer());
  EXPECT_EQ(controller().request()->counter(), loads);
  EXPECT_EQ(server_.requests().size(), requests);

  // A banner that goes with a refresh pending never fires it.
  application->enterForeground();
  std::weak_ptr<ZUVObjectPrivate> gone = ZUVBannerController(*banner_);
  ASSERT_TRUE(controller().refresh().timer());
  banner_->removeFromSuperview();
  banner_.reset();
  EXPECT_TRUE(gone.expired());
  requests = server_.requests().size();
  platform::Harness::advance(60s);
  EXPECT_EQ(server_.requests().size(), requests);
}

// When set, a refresh that falls due while less than half of the banner or its ad can be seen
// waits until half of it can, and then goes at once.
TEST_F(ZUVObjectPrivateTest, AViewableRefreshWaitsUntilHalfTheBannerCanBeSeen) {
  server_.reply("/ad30", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "30"}});
  auto window = platform::Window::create();
  window->setRootViewController(root_);
  window->makeKeyAndVisible();
  root_->view()->addSubview(parent_);
  auto loads = [this] { return controller().request()->counter(); };
  auto refreshAfter = [this](double seconds) {
    platform::Harness::advance(platform::seconds(seconds));
    if (controller().buildAdWebView()) serveAd("/ad30");
  };
  loadToBuild();
  serveAd("/ad30");
  banner_->setHidden(true);
  banner_->setViewableRefresh(true);
  auto before = loads();
  refreshAfter(30);
  EXPECT_EQ(loads(), before);
  EXPECT_TRUE(controller().refresh().isWaitingToBeSeen());
  banner_->setHidden(false);
  banner_->setFrame(platform::Rect(0, 390, 320, 50));  // 21 of 50 points inside its screen
  refreshAfter(300);
  EXPECT_EQ(loads(), before);
  EXPECT_FALSE(controller().refresh().timer());

  banner_->setFrame(platform::Rect(0, 361, 320, 50));
  refreshAfter(0);
  EXPECT_EQ(loads(), before + 1);
  EXPECT_FALSE(controller().refresh().isWaitingToBeSeen());
  EXPECT_DOUBLE_EQ(refreshIn(), 30);
}

// With no interval from its server yet, a banner tries a failed load again, later each time;
// the first interval that a server sends takes over.
TEST_F(ZUVObjectPrivateTest, AFailedFirstLoadIsRetriedWithBackOff) {
  serveScript(500, "");
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return static_cast<bool>(controller().refresh().timer()); });
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::ScriptFetchFailed);
  EXPECT_DOUBLE_EQ(refreshIn(), 30);
  serveScript(200, "function ZEDE_buildAdURL(p) {}");
  platform::Harness::advance(30s);
  settle([&] { return controller().buildAdWebView() != nullptr; });
  server_.reply("/broken", 503, "");
  serveAd("/broken");
  EXPECT_DOUBLE_EQ(refreshIn(), 60);
  EXPECT_EQ(errors_.size(), 2u);

  server_.reply("/ad", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "45"}});
  platform::Harness::advance(60s);
  settle([&] { return controller().buildAdWebView() != nullptr; });
  serveAd("/ad");
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadingAdPage);
  EXPECT_DOUBLE_EQ(refreshIn(), 45);
}

// Refreshes that come before the load time-out replace a page that never finishes; the banner
// still reports it, once, a time-out after the first of those pages.
TEST_F(ZUVObjectPrivateTest, APageThatNeverFinishesIsReportedOnce) {
  recordBuildPages();
  banner_ = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
  banner_->setAdUnitID("0123456789abcde");
  banner_->setRootViewController(root_);
  banner_->setDelegate(events_);
  server_.reply("/ad", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "20"}});
  loadToBuild();
  serveAd("/ad");
  const platform::Duration timeout = platform::WebView::loadTimeout();
  for (platform::Duration waited{}; waited < timeout; waited += 20s) {
    EXPECT_TRUE(errors_.empty());
    platform::Harness::advance(20s);
    settle([&] { return controller().buildAdWebView() != nullptr; });
    serveAd("/ad");
  }
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].code, 2);
}

TEST_F(ZUVObjectPrivateTest, AdPagesLeftByEarlierRunsGoAtTheNextStart) {
  loadToBuild();
  auto script = ZUVCachedFile::create({}, *platform::URL::parse(kZUVSupportScriptURL))->filePath();
  ASSERT_TRUE(script);
  auto& files = platform::FileManager::defaultManager();
  std::string caches = files.cachesDirectory();
  std::string ours = world_.makeFolder("Library/Caches/ads.example");
  velour_test::TestWorld::writeFile(ours, ZUVCachedFile::kFolderMarker, "");
  std::string page = velour_test::TestWorld::writeFile(ours, "9e3779b9", "<p>old</p>");
  // The application's own cache file, named as ours are, in a folder that is not ours.
  std::string thumbnail = velour_test::TestWorld::writeFile(
      world_.makeFolder("Library/Caches/com.example.thumbs"), "00ab12cd", "thumbnail");
  std::string outside = world_.makeFolder("elsewhere");
  std::string notOurs = velour_test::TestWorld::writeFile(outside, "1234abcd", "kept");
  ASSERT_EQ(::symlink(outside.c_str(), (caches + "/link.example").c_str()), 0);
  ZUVSession::removeAdPagesOfEarlierRuns();
  EXPECT_FALSE(files.fileExists(page));
  EXPECT_TRUE(files.fileExists(*script));
  EXPECT_TRUE(files.fileExists(notOurs));
  EXPECT_TRUE(files.fileExists(thumbnail));
}

TEST_F(ZUVObjectPrivateTest, ANewLoadSupersedesTheOneUnderWay) {
  loadToBuild();
  // A page's report holds its web view, as the delegate's posting does.
  std::shared_ptr<platform::WebView> first = controller().buildAdWebView();
  banner_->loadRequest(ZUVRequest::request());
  EXPECT_NE(controller().buildAdWebView(), first);
  // The superseded page's report reaches no one.
  ZUVNotificationCenter::defaultCenter().postNotification("invalidRequest", first, {});
  EXPECT_TRUE(errors_.empty());

  server_.handle("/slow", [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    response.set_content("<p>old</p>", "text/html");
  });
  report("loadAdURL", {{"url", server_.url("/slow")}});
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::FetchingAdPage);
  banner_->loadRequest(ZUVRequest::request());
  EXPECT_FALSE(controller().adHTML()->isFetching());
  RunLoop::main().runUntil([] { return false; }, 1s);
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::BuildingAdURL);
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ZUVObjectPrivateTest, RequestsThatCannotGoAhead) {
  // No root view controller: the log line and an invalid-request error, no traffic.
  auto lonely = ZUVBannerView::create();
  lonely->setDelegate(events_);
  lonely->loadRequest(ZUVRequest::request());
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].code, 0);
  EXPECT_TRUE(world_.log().contains("<Vozave> Must set the rootViewController property"));

  auto& profile = platform::DeviceProfile::current();
  std::string version = profile.systemVersion;
  profile.systemVersion = "2.2.1";
  banner_->loadRequest(ZUVRequest::request());
  profile.systemVersion = version;
  ASSERT_EQ(errors_.size(), 2u);
  EXPECT_EQ(errors_[1].code, 3);
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);

  // Inactive before launch has finished: the request goes through.
  ZUVSession::shared().observeLaunch();
  platform::Harness::resetApplication();
  ASSERT_NE(platform::Application::shared()->applicationState(),
            platform::ApplicationState::Active);
  loadToBuild();
  EXPECT_EQ(server_.requests().size(), 1u);

  // A build page that cannot load (no engine) fails its load at once, not at its time-out.
  ZUVObjectPrivate::setWebViewMaker(nullptr);
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return errors_.size() == 3; });
  EXPECT_EQ(errors_[2].code, 2);
  EXPECT_TRUE(world_.log().contains(
      "<Vozave> The page that builds the ad URL could not load: the web engine is missing"));
}

TEST_F(ZUVObjectPrivateTest, OnlyAUsersTapTakesTheAdAnywhere) {
  int clicks = 0;
  events_->adViewDidRecordClick = [&](platform::View&) { ++clicks; };
  auto delegate = controller().webView()->delegate();
  // The banner's ad page on screen; what it decides next carries a tap or not.
  auto page = std::make_shared<velour_test::RecordingWebView>();
  auto decide = [&](const std::string& url, platform::WebViewNavigationType type) {
    return delegate->webViewShouldStartLoadWithRequestNavigationType(
        *page, platform::WebRequest(*platform::URL::parse(url)), type);
  };
  // A displayed ad, shown or still on screen while a refresh is under way, goes nowhere by
  // itself (a scripted click() reports a link click); the user's tap is a click-through.
  page->fromPage = true;
  server_.reply("/ck", 200, "ok");
  server_.reply("/ad", 200, "<p>ad</p>");
  const std::string click = "gmsg://ad/click?u=" + platform::percentEncode(server_.url("/ck"));
  // The ad's page (which cannot load here) is reported loaded; the next load is then under way.
  loadToBuild();
  serveAd("/ad");
  delegate->webViewDidFinishLoad(*page);
  for (auto state : {ZUVObjectPrivate::State::ShowingAd, ZUVObjectPrivate::State::BuildingAdURL}) {
    if (state == ZUVObjectPrivate::State::BuildingAdURL) loadToBuild();
    ASSERT_EQ(controller().state(), state);
    page->userActivation = false;
    EXPECT_FALSE(decide("https://ads.example/click", platform::kWebViewNavigationTypeLinkClicked));
    EXPECT_FALSE(decide(click, platform::kWebViewNavigationTypeOther));
    EXPECT_EQ(root_->modalViewController(), nullptr);
    page->userActivation = true;
    EXPECT_FALSE(decide("javascript:open('http://x.example/')",
                        platform::kWebViewNavigationTypeLinkClicked));
    EXPECT_FALSE(decide("https://ads.example/click", platform::kWebViewNavigationTypeLinkClicked));
    auto browser = std::dynamic_pointer_cast<ZUVScreenRelinquishing>(root_->modalViewController());
    ASSERT_NE(browser, nullptr) << static_cast<int>(state);
    browser->relinquishScreen();
  }
  // A tap on the next ad as it loads on screen is a click-through as well.
  serveAd("/ad");
  ASSERT_EQ(controller().state(), ZUVObjectPrivate::State::LoadingAdPage);
  EXPECT_FALSE(decide("https://ads.example/click", platform::kWebViewNavigationTypeLinkClicked));
  auto browser = std::dynamic_pointer_cast<ZUVScreenRelinquishing>(root_->modalViewController());
  ASSERT_NE(browser, nullptr);
  browser->relinquishScreen();
  EXPECT_FALSE(decide(click, platform::kWebViewNavigationTypeOther));
  settle([&] { return server_.requestCount("/ck") == 1; });
  EXPECT_TRUE(platform::Application::shared()->openedURLs().empty());
  // Each followed tap is one click, its click message too; what was refused is none.
  EXPECT_EQ(clicks, 4);

  // A page that navigates itself while it loads, with no tap, is stopped after a few times.
  page->userActivation = false;
  const std::size_t failed = errors_.size();
  for (int i = 0; i < ZUVBannerWebViewDelegate::kMaxSelfNavigations; ++i) {
    EXPECT_TRUE(decide("http://ads.example/page", platform::kWebViewNavigationTypeOther));
  }
  EXPECT_FALSE(decide("http://ads.example/page", platform::kWebViewNavigationTypeOther));
  EXPECT_FALSE(decide("http://ads.example/page", platform::kWebViewNavigationTypeReload));
  ASSERT_EQ(errors_.size(), failed + 1);
  EXPECT_EQ(errors_.back().code, 2);
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadFailed);
  EXPECT_EQ(std::count_if(world_.log().lines().begin(), world_.log().lines().end(),
                          [](auto& line) { return line.find("<Vozave> Stopped") == 0; }),
            1);
  platform::Harness::advance(0s);
  EXPECT_EQ(page->calls, std::vector<std::string>{"html  base (none)"});
  // That blank page is the client's own load, never a click, even over an ad still on screen.
  page->fromPage = false;
  page->fromApplication = true;
  EXPECT_TRUE(decide("about:blank", platform::kWebViewNavigationTypeOther));

  // The hidden build page cannot be tapped; what it is refused counts against its banner.
  recordBuildPages();
  loadToBuild();
  recorded_->userActivation = true;
  auto build = controller().buildAdWebView();
  EXPECT_FALSE(build->delegate()->webViewShouldStartLoadWithRequestNavigationType(
      *build, platform::WebRequest(*platform::URL::parse("itms-apps://store.example/a")),
      platform::kWebViewNavigationTypeOther));
  platform::Harness::advance(0s);
  EXPECT_TRUE(platform::Application::shared()->openedURLs().empty());
  auto banner = std::dynamic_pointer_cast<ZUVWebViewDelegate>(delegate);
  EXPECT_EQ(banner->gate()->refusedCount(), 7u);
}

TEST_F(ZUVObjectPrivateTest, RedirectsAnnounceTrackingAndOrientationAndAnEmptySlotIsNotSent) {
  server_.handle("/hop", [](const httplib::Request&, httplib::Response& out) {
    out.status = 302;
    out.set_header("Location", "/ad");
    out.set_header("X-Zede-Tracking-Urls", "http://t.example/a \thttp://t.example/b\t");
  });
  server_.reply("/ad", 200, "<p>ad</p>");
  loadToBuild();
  serveAd("/hop");
  auto tracking = controller().pendingTrackingURLs();
  ASSERT_EQ(tracking.size(), 2u);
  EXPECT_EQ(tracking[1].absoluteString(), "http://t.example/b");
  EXPECT_EQ(controller().supportedOrientations(), 0);
  loadToBuild();
  report("loadAdURL", {{"url", server_.url("/ad")}});
  EXPECT_TRUE(controller().pendingTrackingURLs().empty());

  platform::Dictionary parameters;
  banner_->setAdUnitID("");
  controller().addAdditionalParameters(parameters);
  EXPECT_FALSE(parameters.contains("slotname"));
  EXPECT_TRUE(parameters.contains("ad_frame"));
}

// Exposure reaches the delegate as display counts it; an ad's announced tracking URLs go once at
// its impression, only when asked for, and never those of an ad that never showed.
TEST_F(ZUVObjectPrivateTest, ImpressionsAndTrackingURLsReachTheApplicationOnceAnAd) {
  std::string heard;  // i for an impression, v for a viewable one
  events_->adViewDidRecordImpression = [&](platform::View&) { heard += "i"; };
  events_->adViewDidRecordViewableImpression = [&](platform::View&) { heard += "v"; };
  server_.handle("/hop", [&](const httplib::Request&, httplib::Response& out) {
    out.status = 302;
    out.set_header("Location", "/ad");
    out.set_header("X-Zede-Tracking-Urls", server_.url("/t1") + " " + server_.url("/t2"));
  });
  server_.reply("/ad", 200, "<p>ad</p>");
  for (const char* path : {"/t1", "/t2"}) server_.reply(path, 200, "");
  // Ad pages that neither load nor fail by themselves: the test says when one has loaded.
  recordBuildPages();
  banner_ = ZUVBannerView::create(platform::Rect(0, 361, 320, 50));
  banner_->setRootViewController(root_);
  banner_->setDelegate(events_);
  parent_->addSubview(banner_);
  auto window = platform::Window::create();
  window->setRootViewController(root_);
  window->makeKeyAndVisible();
  root_->view()->addSubview(parent_);
  auto page = std::make_shared<velour_test::RecordingWebView>();
  auto show = [&](const std::string& path) {
    loadToBuild();
    serveAd(path);
    controller().webView()->delegate()->webViewDidFinishLoad(*page);
  };
  auto see = [&](double y, bool hidden, platform::Duration time) {
    banner_->setHidden(hidden);
    banner_->setFrame(platform::Rect(0, y, 320, 50));
    platform::Harness::advance(time);
  };
  see(361, true, 0s);
  show("/hop");
  see(361, true, 5s);  // 0 %
  EXPECT_EQ(heard, "");
  see(386.5, false, 10s);  // 49 %
  EXPECT_EQ(heard, "i");
  see(386, false, 900ms);  // 50 %, then hidden
  see(386, true, 5s);
  EXPECT_EQ(heard, "i");
  see(386, false, 1s);
  EXPECT_EQ(heard, "iv");
  EXPECT_EQ(controller().trackerCount(), 0u);

  banner_->setSendsTrackingURLsAtImpression(true);
  show("/hop");
  settle([&] { return server_.requestCount("/t1") == 1 && server_.requestCount("/t2") == 1; });
  see(361, true, 1s);
  see(361, false, 1s);
  loadToBuild();
  serveAd("/hop");  // superseded before its page loads
  show("/ad");
  EXPECT_EQ(heard, "ivivi");
  RunLoop::main().runUntil([] { return false; }, 300ms);
  EXPECT_EQ(server_.requestCount("/t1") + server_.requestCount("/t2"), 2u);
}

TEST_F(ZUVObjectPrivateTest, ARefreshDuringTheScriptFetchLeavesOneBuild) {
  // No copy yet: the refresh waits for the same fetch.
  holdScript_ = true;
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return server_.requestCount(kZUVSupportScriptPath) == 1; });
  controller().refresh().start(10s);
  platform::Harness::advance(10s);
  EXPECT_TRUE(banner_->hasAutoRefreshed());
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::FetchingScript);
  holdScript_ = false;
  settle([&] { return controller().buildAdWebView() != nullptr; });
  EXPECT_EQ(server_.requestCount(kZUVSupportScriptPath), 1u);

  // An expired copy: the refresh builds from it at once, and the end of the fetch that the
  // superseded load started must not start a build of its own over the new load's ad.
  ZUVStatisticsCore store(ZUVObjectPrivate::kStoreIdentifier);
  store.setDateForKey(platform::Value(platform::Date{0}), ZUVObjectPrivate::kExpireDateKey);
  store.synchronize();
  holdScript_ = true;
  banner_->loadRequest(ZUVRequest::request());
  settle([&] { return server_.requestCount(kZUVSupportScriptPath) == 2; });
  controller().refresh().start(10s);
  platform::Harness::advance(10s);
  ASSERT_NE(controller().buildAdWebView(), nullptr);
  server_.reply("/ad", 200, "<p>ad</p>");
  serveAd("/ad");
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadingAdPage);
  controller().refresh().stop();  // so that the wait below cannot run into the next refresh
  holdScript_ = false;
  settle([&] { return !controller().isWorking() || controller().buildAdWebView(); });
  EXPECT_FALSE(controller().buildAdWebView());
  EXPECT_EQ(controller().state(), ZUVObjectPrivate::State::LoadingAdPage);
}

TEST_F(ZUVObjectPrivateTest, TheBuildPageGetsInterstitialAndUnwritableParametersAsLoaded) {
  auto page = recordBuildPages();
  auto request = ZUVRequest::request();
  controller().loadInterstitialRequest(request);
  settle([&] { return controller().buildAdWebView() != nullptr; });
  EXPECT_NE(page().find(R"("format":"interstitial_mb")"), std::string::npos) << page();
  EXPECT_NE(page().find(R"("vast":"2.0,3.0,4.0,4.1,4.2,4.3;video/mp4,video/webm")"),
            std::string::npos);
  EXPECT_EQ(page().find("ad_frame"), std::string::npos);
  // Its refreshes stay interstitial; the caller's request stays a banner request.
  auto firstPage = recorded_;
  controller().refresh().start(5s);
  platform::Harness::advance(5s);
  EXPECT_TRUE(controller().hasAutoRefreshed());
  EXPECT_NE(recorded_, firstPage);
  EXPECT_NE(page().find("interstitial_mb"), std::string::npos);
  controller().loadInterstitialRequest(request);
  EXPECT_FALSE(controller().hasAutoRefreshed());
  banner_->loadRequest(request);
  EXPECT_EQ(page().find("interstitial_mb"), std::string::npos);
  EXPECT_EQ(page().find(R"("vast")"), std::string::npos);
  EXPECT_NE(page().find("ad_frame"), std::string::npos);

  // Parameters with no JSON form: the script is called with no argument.
  request->setAdditionalParameters(
      platform::Dictionary{{"ratio", std::numeric_limits<double>::quiet_NaN()}});
  banner_->loadRequest(request);
  EXPECT_NE(page().find("<script>ZEDE_buildAdURL();</script>"), std::string::npos) << page();
}

TEST(ZUVObjectPrivatePageTest, TheBuildPageCarriesItsJSONInertly) {
  EXPECT_EQ(ZUVObjectPrivate::buildAdPage("var a;", ""),
            "<html><head><script>var a;</script><script>ZEDE_buildAdURL();</script></head>"
            "<body></body></html>");
  EXPECT_EQ(ZUVObjectPrivate::scriptSafeJSON("{\"kw\":\"</script>\xE2\x80\xA8\xE2\x80\xA9\"}"),
            "{\"kw\":\"\\u003c/script>\\u2028\\u2029\"}");
}

}  // namespace
