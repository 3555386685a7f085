#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ads/core/ZUVDelegateManager.h"
#include "ads/core/ZUVImpressionWatch.h"
#include "ads/core/ZUVRefreshSchedule.h"
#include "ads/core/ZUVRequestPrivate.h"
#include "ads/mraid/ZUVMraidController.h"
#include "ads/support/ZUVCachedFile.h"
#include "ads/vast/ZUVVastLoad.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/ViewController.h"
#include "platform/web/PageResourceMonitor.h"
#include "platform/web/WebView.h"

class ZUVBannerWebViewDelegate;

// The ad controller behind one banner view: it owns the banner's ad web view and carries each
// load from the request to an ad on screen (support script, hidden build page, ad page fetch,
// display), refreshes it when its refresh schedule says so and reports every outcome through its
// delegate manager. It alone changes its state and reports to the application: its web view
// delegates only tell it what happened (a page loaded or failed, a message, a click), and every
// callback of a load is bound to that load's generation, so that a superseded load's news does
// nothing. The banner view creates it and keeps it in the private-object registry. Main thread
// only.
class ZUVObjectPrivate : public std::enable_shared_from_this<ZUVObjectPrivate> {
 public:
  // Where the banner's load stands. The numbers are the protocol's own; a printed state shows them.
  enum class State : std::int32_t {
    NothingRequested = 0,
    FetchingScript = 1,     // the support script
    ScriptFetchFailed = 2,  // the build goes on with a copy on disk, if there is one
    BuildingAdURL = 3,      // the request is accepted; the build page makes the ad URL
    FetchingAdPage = 4,
    LoadingAdPage = 5,  // into the ad web view
    ShowingAd = 6,
    LoadFailed = 7,
  };
  // A build page that has not reported this long after its load (and once it has loaded) is
  // given up as a network error.
  static constexpr platform::Duration kBuildTimeout = platform::seconds(10);
  // An ad page may be as large as a page may fetch before it counts as a runaway.
  static constexpr std::size_t kMaxAdPageBytes =
      static_cast<std::size_t>(platform::PageResourceLimits{}.networkBytes);
  // How long a copy of the support script is used before it is revalidated.
  static constexpr platform::Duration kSupportScriptLifetime = platform::seconds(86400);
  // The persisted store shared by every controller, and its key for the script's expiry.
  static constexpr const char* kStoreIdentifier = "ZUVObjectPrivate";
  static constexpr const char* kExpireDateKey = "expireDate";

  // initWithView: the ad web view fills the banner's bounds and becomes its subview.
  static std::shared_ptr<ZUVObjectPrivate> createWithView(
      const std::shared_ptr<platform::View>& view);
  // initWithFrame: a controller that serves no banner (yet).
  static std::shared_ptr<ZUVObjectPrivate> createWithFrame(const platform::Rect& frame);
  ~ZUVObjectPrivate();
  ZUVObjectPrivate(const ZUVObjectPrivate&) = delete;
  ZUVObjectPrivate& operator=(const ZUVObjectPrivate&) = delete;

  const std::string& adUnitID() const { return adUnitID_; }
  void setAdUnitID(std::string adUnitID) { adUnitID_ = std::move(adUnitID); }
  std::shared_ptr<platform::ViewController> rootViewController() const {
    return rootViewController_.lock();
  }
  void setRootViewController(std::weak_ptr<platform::ViewController> controller) {
    rootViewController_ = std::move(controller);
  }
  const std::shared_ptr<platform::WebView>& webView() const { return webView_; }
  const std::shared_ptr<ZUVCachedFile>& adHTML() const { return adHTML_; }
  const std::shared_ptr<ZUVRequestPrivate>& request() const { return request_; }
  State state() const { return state_; }
  bool hasAutoRefreshed() const { return hasAutoRefreshed_; }
  std::int32_t supportedOrientations() const { return supportedOrientations_; }
  const std::shared_ptr<ZUVDelegateManager>& delegateManager() const { return delegateManager_; }
  std::vector<platform::URL> pendingTrackingURLs() const { return pendingTrackingURLs_; }
  std::optional<std::string> adHTMLString() const;
  std::optional<platform::URL> adHTMLBaseURL() const;
  // When the next load comes.
  ZUVRefreshSchedule& refresh() const { return *refresh_; }
  // Whether the ad on show has had its impression and its viewable impression.
  const ZUVImpressionWatch& impressions() const { return *impressions_; }
  // Clicks followed since the banner was made.
  std::size_t clickCount() const { return clicks_; }
  // Off by default: the announced tracking URLs of an ad are fetched at its impression, once.
  bool firesTrackingURLsAtImpression() const { return firesTrackingURLs_; }
  void setFiresTrackingURLsAtImpression(bool on) { firesTrackingURLs_ = on; }
  // The MRAID container of the ad page shown or loading, if any.
  ZUVMraidController* mraid() const { return mraid_.get(); }
  // The video ad of a full-screen load answered with VAST, once it is ready to play.
  const ZUVVastReadyAd* video() const { return video_ ? &*video_ : nullptr; }
  // The hidden web view of the build under way, if any.
  const std::shared_ptr<platform::WebView>& buildAdWebView() const { return buildAdWebView_; }

  // A load has real work under way: a fetch, a build page or an ad page loading.
  bool isWorking() const;
  // The build page has loaded and all that is under way is its script's report.
  bool isAwaitingBuildReport() const;

  void loadRequest(const std::shared_ptr<ZUVRequest>& request);
  void loadInterstitialRequest(const std::shared_ptr<ZUVRequest>& request);
  // A full-screen load: placement interstitial, the request's "format" `format`, and the
  // delegates' full-screen messages in place of the banner's.
  void loadFullScreenRequest(const std::shared_ptr<ZUVRequest>& request, std::string format);
  // A full-screen ad shows what it loaded once: off, a refresh that falls due loads nothing.
  void setRefreshes(bool on) { refreshes_ = on; }

  // Follows each URL (unparsable texts are skipped) with a click tracker of its own.
  void trackURLs(const std::vector<std::string>& urls);
  std::size_t trackerCount() const { return trackers_.size(); }

  // Cancels the pending tracker clean-up and the refresh; the banner calls it before it goes.
  void cancelPendingActions();

  // What the banner's web view delegate reports of the ad page; the controller alone decides
  // what follows and reports to the application.
  void adPageDidLoad(platform::WebView& webView);
  void adPageDidFailToLoad(const platform::Error& error);
  // The loading page navigated itself once too often without a tap: it is stopped.
  void adPageKeptNavigating(platform::WebView& webView, const platform::URL& url);
  // A message URL of the ad page, for its MRAID container.
  void adPageSentMessage(platform::WebView& webView, const platform::URL& url);
  // The ad's click path (a tap on it, its MRAID open): past the user's tap, the click URL, the
  // in-app browser or another application; false when refused.
  [[nodiscard]] bool followClick(platform::WebView& webView, const platform::WebRequest& request,
                                 platform::WebViewNavigationType type);
  // A video ad's "Learn more": the user's tap on a native control, so past the tap; the click
  // URL opens in the in-app browser over `from`. False when refused.
  [[nodiscard]] bool followNativeClick(const platform::URL& url,
                                       const std::shared_ptr<platform::ViewController>& from);
  // A video ad's first frame and its viewable play, which its player sees and the impression
  // watch cannot.
  void videoDidRecordImpression() { impressionRecorded(); }
  void videoDidRecordViewableImpression() { delegateManager_->didRecordViewableImpression(); }
  // Where the ad's full screens are presented from: over its expanded screen, if any.
  std::shared_ptr<platform::ViewController> clickPresenter() const;
  // An ad stays on display while the next load fetches and builds, and after that load
  // failed, until a new page takes its place: its navigations are clicks.
  bool displaysAd(const platform::WebView& webView) const;

  // The build page's parameters beyond the request's: the ad unit, the format, the frame.
  void addAdditionalParameters(platform::Dictionary& parameters) const;
  // The page that runs the support script on the parameters' JSON text.
  static std::string buildAdPage(std::string_view script, std::string_view json);
  // JSON text made safe inside a script element: "<" and the two line separators escaped.
  static std::string scriptSafeJSON(std::string_view json);

  // What an ad's page or build page may use of the phone before it is unloaded; tests shrink
  // them.
  static platform::PageResourceLimits& pageLimits();

  // How controllers make their ad and build web views; tests put in a double. Null restores
  // the platform's web view.
  using WebViewMaker = std::function<std::shared_ptr<platform::WebView>(const platform::Rect&)>;
  static void setWebViewMaker(WebViewMaker maker);

 private:
  ZUVObjectPrivate() = default;
  void setUp(const platform::Rect& frame);
  bool isAppActive() const;
  [[nodiscard]] bool supportsMinimumRequirementsForRequest(const ZUVRequestPrivate* request);
  void cleanupTrackers();
  // The pipeline.
  void ensureSupportFiles();
  // `why` the fetch failed, in plain words.
  void failedToDownloadJavaScript(const std::string& why);
  // Loads the build page around the support script's text.
  void buildAdUrl(std::string_view script);
  void setupBuildAdWebView();
  void resetBuildAdWebView();
  void loadAdURL(const platform::Notification& notification);
  void invalidRequest(const platform::Notification& notification);
  void unableToServe(const platform::Notification& notification);
  // Both of the build page's refusals: `what` names it in the log line.
  void buildRefused(const char* what, const platform::Notification& notification);
  void setAdHTML(std::shared_ptr<ZUVCachedFile> file);
  void showAd();
  // The watch counted the ad's impression: its tracking URLs go, if asked for, then the news.
  void impressionRecorded();

  // The ad page gave up (MRAID's unload): it goes, and the banner counts a failed load.
  void adDidUnload();
  void failedAdRequestWithFile(const ZUVCachedFile& file,
                               const std::optional<platform::Error>& error);
  static bool isClick(const platform::WebView& webView, const platform::URL& url);
  void changeState(State state) { state_ = state; }
  // Wraps `function`, called as function(controller, arguments...), for a callback that may
  // come once the controller has gone: it then does nothing. While it runs it holds the
  // controller, since what it reports may let the banner go.
  template <typename Function>
  auto whileAlive(Function function) {
    return [weak = weak_from_this(), function = std::move(function)](auto&&... arguments) {
      auto self = weak.lock();
      using Result = decltype(function(*self, std::forward<decltype(arguments)>(arguments)...));
      if (!self) return Result();
      return function(*self, std::forward<decltype(arguments)>(arguments)...);
    };
  }
  // The same for a callback of the load under way: once a newer load has begun, it does
  // nothing, so that nothing of a superseded load reaches the state or the delegates.
  template <typename Function>
  auto forThisLoad(Function function) {
    return whileAlive([load = load_.weak(), function = std::move(function)](ZUVObjectPrivate& self,
                                                                            auto&&... arguments) {
      using Result = decltype(function(self, std::forward<decltype(arguments)>(arguments)...));
      if (!load) return Result();
      return function(self, std::forward<decltype(arguments)>(arguments)...);
    });
  }
  // The load under way's fetches (the support script it asked for, its ad page) end here.
  void fetchEnded(ZUVCachedFile& file);
  void fetchFailed(ZUVCachedFile& file, const std::optional<platform::Error>& error);
  void fetchRedirects(ZUVCachedFile& file);
  // How the ad page's load (LoadingAdPage) ended, for its time-out and the refresh.
  void adPageDidFinish();
  void adPageDidFail();
  using LoadEnd = ZUVRefreshSchedule::LoadEnd;
  // How much of the banner can be seen, for the viewable refresh.
  double percentSeen() const;
  void reloadCurrentRequest();
  // The next load after an ad page answer, from its refresh header.
  void addReloadInformationFromHeaders(LoadEnd end);
  static std::shared_ptr<platform::WebView> makeWebView(const platform::Rect& frame);
  void loadPrivateRequest(std::shared_ptr<ZUVRequestPrivate> request);
  void abandonLoadInProgress();
  void armBuildTimeout();
  void buildTimedOut();
  // The build page gave no answer in time, or cannot load (`why`): a network error.
  void abandonBuild(const std::string& why);
  void buildPageFailed(const platform::Error& error);
  void watchAdPageLoad();
  void adPageTimedOut();
  void limitPage(platform::WebView& view, bool buildPage);
  void pageUnloaded(const std::string& limit, bool buildPage);
  // The error carries `reason`, in plain words, with the ad unit and the request's number.
  void reportError(long code, const ZUVRequestPrivate* request, std::string_view reason);
  void readRedirectHeaders(const platform::HTTPHeaderFields& headers);
  void makeMraidController();
  // A full-screen answer that is a VAST document: read, resolved and its media chosen, then
  // received or failed with the standard's code in the error.
  void loadVideo(std::string_view document, std::string source);
  void videoLoaded(const platform::Result<ZUVVastReadyAd>& ready);
  // A page or video is ready: the news, and the request's latency ends.
  void reportReceived();
  static std::shared_ptr<ZUVRequestPrivate> privateRequestWithRequest(
      const std::shared_ptr<ZUVRequest>& request);

  std::weak_ptr<platform::View> adView_;
  std::string adUnitID_;
  std::shared_ptr<ZUVDelegateManager> delegateManager_;
  std::weak_ptr<platform::ViewController> rootViewController_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<platform::WebView> buildAdWebView_;
  std::shared_ptr<ZUVBannerWebViewDelegate> webViewDelegate_;
  std::unique_ptr<ZUVMraidController> mraid_;
  std::unique_ptr<ZUVVastLoad> videoLoad_;
  std::optional<ZUVVastReadyAd> video_;
  std::shared_ptr<ZUVWebViewDelegate> buildAdWebViewDelegate_;
  platform::TimerHandle buildTimer_;
  std::vector<platform::Registration> buildReportObservers_;
  std::shared_ptr<ZUVCachedFile> buildAdJS_;
  std::shared_ptr<ZUVCachedFile> adHTML_;
  std::shared_ptr<ZUVRequestPrivate> request_;
  State state_ = State::NothingRequested;
  std::set<std::shared_ptr<ZUVClickTracker>> trackers_;
  std::shared_ptr<ZUVClickTrackerDelegate> trackerDelegate_;
  std::vector<platform::URL> pendingTrackingURLs_;
  // Those of the ad on show, until its impression.
  std::vector<platform::URL> adTrackingURLs_;
  bool firesTrackingURLs_ = false;
  std::size_t clicks_ = 0;
  std::unique_ptr<ZUVRefreshSchedule> refresh_;
  std::unique_ptr<ZUVImpressionWatch> impressions_;
  // Counts the load time-out from the first of a run of ad page loads that did not finish,
  // which refreshes may replace one by one.
  platform::TimerHandle adPageTimer_;
  bool hasAutoRefreshed_ = false;
  bool refreshes_ = true;
  std::string fullScreenFormat_ = "interstitial_mb";
  std::int32_t supportedOrientations_ = 1;
  platform::Registration trackerCleanup_;
  // Hears the fetches of the load under way; each load makes its own.
  std::shared_ptr<ZUVCachedFileDelegate> fetches_;
  // The load generation, revoked as each load begins: last, so that its links die first.
  platform::WeakFactory<ZUVObjectPrivate> load_{this};
};
