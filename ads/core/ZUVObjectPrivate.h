#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ads/core/ZUVDelegateManager.h"
#include "ads/core/ZUVRefreshSchedule.h"
#include "ads/core/ZUVRequestPrivate.h"
#include "ads/mraid/ZUVMraidController.h"
#include "ads/support/ZUVCachedFile.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ViewController.h"
#include "platform/web/PageResourceMonitor.h"
#include "platform/web/WebView.h"

class ZUVBannerWebViewDelegate;

// The ad controller behind one banner view: it owns the banner's ad web view and carries each
// load from the request to an ad on screen (support script, hidden build page, ad page fetch,
// display), refreshes it when its refresh schedule says so and reports every outcome through its
// delegate manager. The banner view creates it and keeps it in the private-object registry;
// the banner web view delegate drives it from "loading" to "shown". Main thread only.
class ZUVObjectPrivate : public ZUVCachedFileDelegate,
                         public std::enable_shared_from_this<ZUVObjectPrivate> {
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
  ~ZUVObjectPrivate() override;
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
  // The MRAID container of the ad page shown or loading, if any.
  ZUVMraidController* mraid() const { return mraid_.get(); }
  // The hidden web view of the build under way, if any.
  const std::shared_ptr<platform::WebView>& buildAdWebView() const { return buildAdWebView_; }

  void changeState(State state) { state_ = state; }
  // A load has real work under way: a fetch, a build page or an ad page loading.
  bool isWorking() const;
  // The build page has loaded and all that is under way is its script's report.
  bool isAwaitingBuildReport() const;

  void loadRequest(const std::shared_ptr<ZUVRequest>& request);
  void loadInterstitialRequest(const std::shared_ptr<ZUVRequest>& request);
  bool isAppActive() const;
  [[nodiscard]] bool supportsMinimumRequirementsForRequest(const ZUVRequestPrivate* request);

  // Follows each URL (unparsable texts are skipped) with a click tracker of its own.
  void trackURLs(const std::vector<std::string>& urls);
  void cleanupTrackers();
  std::size_t trackerCount() const { return trackers_.size(); }

  // Cancels the pending tracker clean-up and the refresh; the banner calls it before it goes.
  void cancelPendingActions();

  // The pipeline.
  void ensureSupportFiles();
  void failedToDownloadJavaScript();
  // Loads the build page around the support script's text.
  void buildAdUrl(std::string_view script);
  void addAdditionalParameters(platform::Dictionary& parameters) const;
  void setupBuildAdWebView();
  void resetBuildAdWebView();
  void loadAdURL(const platform::Notification& notification);
  void invalidRequest(const platform::Notification& notification);
  void unableToServe(const platform::Notification& notification);
  // Both of the build page's refusals: `what` names it in the log line.
  void buildRefused(const char* what, const platform::Notification& notification);
  void setAdHTML(std::shared_ptr<ZUVCachedFile> file);
  void showAd();
  // The banner web view delegate tells how the ad page's load (LoadingAdPage) ended.
  void adPageDidFinish();
  void adPageDidFail();
  // The ad page gave up (MRAID's unload): it goes, and the banner counts a failed load.
  void adDidUnload();
  void failedAdRequestWithFile(const ZUVCachedFile& file);
  // The page that runs the support script on the parameters' JSON text.
  static std::string buildAdPage(std::string_view script, std::string_view json);
  // JSON text made safe inside a script element: "<" and the two line separators escaped.
  static std::string scriptSafeJSON(std::string_view json);

  void cachedFileDownloadDidEnd(ZUVCachedFile& file) override;
  void cachedFileDownloadDidFail(ZUVCachedFile& file,
                                 const std::optional<platform::Error>& error) override;
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile& file,
                                                               const platform::URL& url) override;

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
  // The build page gave no answer in time, or cannot load: a network error.
  void abandonBuild();
  void buildPageFailed(const platform::Error& error);
  void watchAdPageLoad();
  void adPageTimedOut();
  void limitPage(platform::WebView& view, bool buildPage);
  void pageUnloaded(const std::string& limit, bool buildPage);
  void reportError(long code, const ZUVRequestPrivate* request);
  void readRedirectHeaders(const platform::HTTPHeaderFields& headers);
  void makeMraidController();
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
  std::unique_ptr<ZUVRefreshSchedule> refresh_;
  // Counts the load time-out from the first of a run of ad page loads that did not finish,
  // which refreshes may replace one by one.
  platform::TimerHandle adPageTimer_;
  bool hasAutoRefreshed_ = false;
  std::int32_t supportedOrientations_ = 1;
  platform::Registration trackerCleanup_;
};
