#include "ads/core/ZUVObjectPrivate.h"

#include <algorithm>
#include <utility>

#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/core/ZUVSession.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Exposure.h"

namespace {

ZUVObjectPrivate::WebViewMaker& webViewMaker() {
  static ZUVObjectPrivate::WebViewMaker maker;
  return maker;
}

// The delegate of one load's fetches: a new load makes a new one.
class LoadFetches : public ZUVCachedFileDelegate {
 public:
  using Callback = std::function<void(ZUVCachedFile&)>;
  using Failure = std::function<void(ZUVCachedFile&, const std::optional<platform::Error>&)>;
  LoadFetches(Callback ended, Failure failed, Callback redirects)
      : ended_(std::move(ended)), failed_(std::move(failed)), redirects_(std::move(redirects)) {}
  void cachedFileDownloadDidEnd(ZUVCachedFile& file) override { ended_(file); }
  void cachedFileDownloadDidFail(ZUVCachedFile& file,
                                 const std::optional<platform::Error>& error) override {
    failed_(file, error);
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile& file,
                                                               const platform::URL&) override {
    redirects_(file);
    return std::nullopt;
  }

 private:
  Callback ended_;
  Failure failed_;
  Callback redirects_;
};

}  // namespace

void ZUVObjectPrivate::setWebViewMaker(WebViewMaker maker) {
  webViewMaker() = std::move(maker);
}

std::shared_ptr<platform::WebView> ZUVObjectPrivate::makeWebView(const platform::Rect& frame) {
  if (webViewMaker()) return webViewMaker()(frame);
  return platform::WebView::create(frame);
}

platform::PageResourceLimits& ZUVObjectPrivate::pageLimits() {
  static platform::PageResourceLimits limits;
  return limits;
}

void ZUVObjectPrivate::limitPage(platform::WebView& view, bool buildPage) {
  view.limitResources(pageLimits(),
                      whileAlive([buildPage](ZUVObjectPrivate& self, const std::string& limit) {
                        self.pageUnloaded(limit, buildPage);
                      }));
}

// A page past its limit has been unloaded: the load fails as a network error would, nothing
// shows, and the refresh comes on its schedule.
void ZUVObjectPrivate::pageUnloaded(const std::string& limit, bool buildPage) {
  platform::log("<Vozave> Unloaded an ad page past its limit of " + limit,
                platform::LogLevel::Error);
  const std::string why = " went past its limit of " + limit + " and was unloaded";
  if (buildPage) {
    resetBuildAdWebView();
    changeState(State::LoadFailed);
    reportError(kZUVErrorNetworkError, request_.get(), "the page that builds the ad URL" + why);
    refresh_->loadFailed();
    return;
  }
  webView_->setHidden(true);
  impressions_->adGone();
  changeState(State::LoadFailed);
  reportError(kZUVErrorNetworkError, request_.get(), "the ad page" + why);
  adPageDidFail();
}

std::shared_ptr<ZUVObjectPrivate> ZUVObjectPrivate::createWithFrame(const platform::Rect& frame) {
  std::shared_ptr<ZUVObjectPrivate> controller(new ZUVObjectPrivate());
  controller->setUp(frame);
  return controller;
}

std::shared_ptr<ZUVObjectPrivate> ZUVObjectPrivate::createWithView(
    const std::shared_ptr<platform::View>& view) {
  auto controller = createWithFrame(view ? view->bounds() : platform::Rect());
  controller->adView_ = view;
  if (view) view->addSubview(controller->webView_);
  return controller;
}

void ZUVObjectPrivate::setUp(const platform::Rect& frame) {
  ZUVSession::shared().controllerMade();
  delegateManager_ = std::make_shared<ZUVDelegateManager>();
  webView_ = makeWebView(frame);
  webView_->setClipsToBounds(true);
  webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                                platform::kAutoresizingFlexibleHeight);
  webView_->setOpaque(false);
  webView_->setBackgroundColor("clear");
  webView_->setHidden(true);
  webView_->setDataDetectorTypes(0);
  webViewDelegate_ = std::make_shared<ZUVBannerWebViewDelegate>(weak_from_this());
  webView_->setDelegate(webViewDelegate_);
  limitPage(*webView_, false);
  const ZUVAdSight sight{[this] { return percentSeen(); }, platform::observeExposureChanges};
  refresh_ = std::make_unique<ZUVRefreshSchedule>(
      whileAlive([](ZUVObjectPrivate& self) { self.reloadCurrentRequest(); }), sight);
  impressions_ = std::make_unique<ZUVImpressionWatch>(
      sight,
      [] {
        auto application = platform::Application::shared();
        return application && application->applicationState() == platform::ApplicationState::Active;
      },
      ZUVImpressionWatch::Events{
          whileAlive([](ZUVObjectPrivate& self) { self.impressionRecorded(); }),
          whileAlive([](ZUVObjectPrivate& self) {
            self.delegateManager_->didRecordViewableImpression();
          })});
}

ZUVObjectPrivate::~ZUVObjectPrivate() {
  // The controller's teardown order: it stops observing and waiting before its views go.
  refresh_.reset();
  impressions_.reset();
  trackerCleanup_.cancel();
  adPageTimer_.reset();
  // An expanded or resized ad goes back to its banner first.
  mraid_.reset();
  webView_->setDelegate({});
  webViewDelegate_.reset();
  webView_->removeFromSuperview();
  webView_->closePage();
  webView_.reset();
  resetBuildAdWebView();
  if (buildAdJS_) {
    buildAdJS_->setDelegate({});
    buildAdJS_->cancel();
  }
  buildAdJS_.reset();
  setAdHTML(nullptr);
  request_.reset();
  delegateManager_.reset();
  for (const auto& tracker : trackers_) tracker->reset();
  trackers_.clear();
  pendingTrackingURLs_.clear();
}

std::optional<std::string> ZUVObjectPrivate::adHTMLString() const {
  return adHTML_ ? adHTML_->content() : std::nullopt;
}

std::optional<platform::URL> ZUVObjectPrivate::adHTMLBaseURL() const {
  if (!adHTML_) return std::nullopt;
  return adHTML_->httpDestinationURL();
}

bool ZUVObjectPrivate::isWorking() const {
  return buildAdWebView_ || (buildAdJS_ && buildAdJS_->isFetching()) ||
         (adHTML_ && adHTML_->isFetching()) || webView_->isLoading();
}

bool ZUVObjectPrivate::isAwaitingBuildReport() const {
  return buildAdWebView_ && !buildAdWebView_->isLoading() &&
         !(buildAdJS_ && buildAdJS_->isFetching()) && !(adHTML_ && adHTML_->isFetching()) &&
         !webView_->isLoading();
}

std::shared_ptr<ZUVRequestPrivate> ZUVObjectPrivate::privateRequestWithRequest(
    const std::shared_ptr<ZUVRequest>& request) {
  if (!request) return std::make_shared<ZUVRequestPrivate>();
  return std::dynamic_pointer_cast<ZUVRequestPrivate>(request);
}

void ZUVObjectPrivate::loadRequest(const std::shared_ptr<ZUVRequest>& request) {
  delegateManager_->setFullScreen(false);
  hasAutoRefreshed_ = false;
  refresh_->resetRetries();
  loadPrivateRequest(privateRequestWithRequest(request));
}

void ZUVObjectPrivate::loadInterstitialRequest(const std::shared_ptr<ZUVRequest>& request) {
  loadFullScreenRequest(request, "interstitial_mb");
}

void ZUVObjectPrivate::loadFullScreenRequest(const std::shared_ptr<ZUVRequest>& request,
                                             std::string format) {
  fullScreenFormat_ = std::move(format);
  delegateManager_->setFullScreen(true);
  hasAutoRefreshed_ = false;
  refresh_->resetRetries();
  // The flag goes on a copy: the caller's request stays a banner request for its next use.
  auto original = privateRequestWithRequest(request);
  auto interstitial = original ? original->copy() : std::make_shared<ZUVRequestPrivate>();
  interstitial->setInterstitialAd(true);
  loadPrivateRequest(std::move(interstitial));
}

void ZUVObjectPrivate::reloadCurrentRequest() {
  if (!refreshes_) {
    refresh_->stop();
    return;
  }
  hasAutoRefreshed_ = true;
  loadPrivateRequest(request_);
}

bool ZUVObjectPrivate::isAppActive() const {
  auto application = platform::Application::shared();
  if (!application || application->applicationState() == platform::ApplicationState::Active) {
    return true;
  }
  return !ZUVSession::shared().didAppFinishLaunching();
}

bool ZUVObjectPrivate::supportsMinimumRequirementsForRequest(const ZUVRequestPrivate* request) {
  if (ZUVRequestPrivate::deviceAtLeastMinimumOSMajorVersionMinorVersion(3, 0)) return true;
  reportError(kZUVErrorOSVersionTooLow, request, "the device's system is older than 3.0");
  changeState(State::LoadFailed);
  return false;
}

void ZUVObjectPrivate::loadPrivateRequest(std::shared_ptr<ZUVRequestPrivate> request) {
  refresh_->loadBegins();
  if (!isAppActive()) return;
  if (!supportsMinimumRequirementsForRequest(request.get())) return;
  if (!request || request != request_) {
    request_ = request ? request->copy() : std::make_shared<ZUVRequestPrivate>();
  }
  auto& statistics = ZUVStatistics::sharedStatistics();
  if (!statistics.timingNamed(kZUVParameterTimeSinceFirstRequest)) {
    statistics.startTimingNamed(kZUVParameterTimeSinceFirstRequest);
  }
  request_->setCounter(statistics.incrementAdRequestCount());
  abandonLoadInProgress();
  changeState(State::BuildingAdURL);
  ensureSupportFiles();
}

void ZUVObjectPrivate::abandonLoadInProgress() {
  // A new load supersedes the one under way: its build and its ad page fetch end here, and
  // what of theirs is still on its way does nothing.
  load_.revoke();
  fetches_ = std::make_shared<LoadFetches>(
      forThisLoad([](ZUVObjectPrivate& self, ZUVCachedFile& file) { self.fetchEnded(file); }),
      forThisLoad(
          [](ZUVObjectPrivate& self, ZUVCachedFile& file,
             const std::optional<platform::Error>& error) { self.fetchFailed(file, error); }),
      forThisLoad([](ZUVObjectPrivate& self, ZUVCachedFile& file) { self.fetchRedirects(file); }));
  resetBuildAdWebView();
  if (adHTML_ && adHTML_->isFetching()) adHTML_->cancel();
  videoLoad_.reset();
  video_.reset();
}

void ZUVObjectPrivate::reportError(long code, const ZUVRequestPrivate* request,
                                   std::string_view reason) {
  delegateManager_->didFailToReceiveAdWithError(
      ZUVRequestErrorWithReason(code, request, reason, adUnitID_));
}

void ZUVObjectPrivate::impressionRecorded() {
  // The shown ad's URLs go at most once, and only if the application asked for them.
  std::vector<platform::URL> urls = std::exchange(adTrackingURLs_, {});
  if (firesTrackingURLs_) {
    std::vector<std::string> texts;
    for (const platform::URL& url : urls) texts.push_back(url.absoluteString());
    trackURLs(texts);
  }
  delegateManager_->didRecordImpression();
}

void ZUVObjectPrivate::addReloadInformationFromHeaders(LoadEnd end) {
  std::optional<std::string> rate;
  if (adHTML_) rate = adHTML_->httpHeaders().value("X-Zede-Refresh-Rate");
  refresh_->answered(rate, end);
}

// The ad's page covers its banner where it shows: the banner counts as seen as much as the
// better seen of the two, so that a banner without an ad on show is judged by its own place.
double ZUVObjectPrivate::percentSeen() const {
  auto banner = adView_.lock();
  if (!banner) return 0;
  return std::max(platform::exposureOf(*banner).percent, platform::exposureOf(*webView_).percent);
}

void ZUVObjectPrivate::trackURLs(const std::vector<std::string>& urls) {
  if (!trackerDelegate_) {
    trackerDelegate_ = std::make_shared<ZUVClickTrackerDelegate>();
    // One clean-up pass covers every tracker that has ended by then.
    auto later = whileAlive([](ZUVObjectPrivate& self) {
      self.trackerCleanup_ = platform::RunLoop::main().performAfterDelay(
          platform::Duration::zero(),
          self.whileAlive([](ZUVObjectPrivate& again) { again.cleanupTrackers(); }));
    });
    trackerDelegate_->trackerDidRedirect = [later](auto&, const auto&) { later(); };
    trackerDelegate_->trackerDidFailWithError = [later](auto&, const auto&) { later(); };
  }
  for (const std::string& text : urls) {
    auto url = platform::URL::parse(text);
    if (!url) continue;
    auto tracker = ZUVClickTracker::create();
    tracker->setDelegate(trackerDelegate_);
    tracker->trackURL(*url);
    trackers_.insert(tracker);
  }
}

void ZUVObjectPrivate::cleanupTrackers() {
  std::erase_if(trackers_, [](const auto& tracker) { return tracker->hasTracked(); });
}

void ZUVObjectPrivate::cancelPendingActions() {
  trackerCleanup_.cancel();
  refresh_->stop();
}
