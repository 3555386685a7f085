// The load pipeline of the ad controller: support script, build page, ad page fetch, display.
#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVMacros.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/support/ZUVStatisticsCore.h"
#include "ads/support/ZUV_SBJSON.h"
#include "ads/vast/ZUVVastAnnouncement.h"
#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "ads/web/ZUVUserActivationGate.h"
#include "ads/web/ZUVViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/TimeText.h"

namespace {

constexpr const char* kBuildReports[] = {"loadAdURL", "invalidRequest", "unableToServe"};

// The page's reasons go to the log: one line of bounded length, whatever they hold.
std::string describeUserInfo(const platform::Dictionary& userInfo) {
  return platform::text::singleLine(ZUVMacros::jsonify(platform::Value(userInfo)).value_or(""));
}

// What a failed fetch came to, in plain words.
std::string fetchFailure(const ZUVCachedFile& file, const std::optional<platform::Error>& error) {
  if (file.httpStatusCode() >= 300) {
    return "the server answered HTTP " + std::to_string(file.httpStatusCode());
  }
  return error ? error->localizedDescription() : "no reply came";
}

}  // namespace

void ZUVObjectPrivate::ensureSupportFiles() {
  if (!buildAdJS_) {
    changeState(State::FetchingScript);
    buildAdJS_ = ZUVCachedFile::create(fetches_, *platform::URL::parse(kZUVSupportScriptURL));
  }
  ZUVStatisticsCore store(kStoreIdentifier);
  platform::Value expiry = store.dateForKey(kExpireDateKey);
  // The store keeps calendar dates in seconds since 1970.
  const double now = platform::RunLoop::main().currentDate().secondsSince1970;
  const double lifetime = platform::toSeconds(kSupportScriptLifetime);
  // An expiry further ahead than a fetch sets is not one of ours: it would pin the copy.
  bool believable = expiry.isDate() && expiry.dateValue().secondsSince1970 <= now + lifetime;
  if (expiry.isDate() && !believable) {
    platform::log(
        "<Vozave> The support script's expiry date lies more than a day ahead; it is "
        "fetched again.");
  }
  auto content = buildAdJS_->content();
  if (believable && content && expiry.dateValue().secondsSince1970 >= now) {
    buildAdUrl(*content);
    return;
  }
  store.setDateForKey(platform::Value(platform::Date{now + lifetime}), kExpireDateKey);
  store.synchronize();
  changeState(State::FetchingScript);
  // The fetch is this load's: should a newer load go ahead with the copy, its end is no one's.
  buildAdJS_->setDelegate(fetches_);
  buildAdJS_->validate();
}

void ZUVObjectPrivate::failedToDownloadJavaScript(const std::string& why) {
  changeState(State::ScriptFetchFailed);
  // A copy that is not text cannot run, so it counts as none.
  auto content = buildAdJS_->content();
  if (content && !content->empty()) {
    buildAdUrl(*content);
  } else {
    reportError(kZUVErrorNetworkError, nullptr,
                "the support script could not be fetched (" + why + ") and no copy is kept");
    refresh_->loadFailed();
  }
}

void ZUVObjectPrivate::buildAdUrl(std::string_view script) {
  changeState(State::BuildingAdURL);
  platform::Dictionary parameters = request_->parameters();
  addAdditionalParameters(parameters);
  std::string json = ZUVMacros::jsonify(platform::Value(std::move(parameters))).value_or("");
  setupBuildAdWebView();
  buildAdWebView_->loadHTMLStringBaseURL(buildAdPage(script, json),
                                         platform::URL::parse(kZUVAdServerOrigin));
  armBuildTimeout();
}

std::string ZUVObjectPrivate::buildAdPage(std::string_view script, std::string_view json) {
  std::string page = "<html><head><script>";
  page += script;
  page += "</script><script>ZEDE_buildAdURL(";
  page += scriptSafeJSON(json);
  page += ");</script></head><body></body></html>";
  return page;
}

std::string ZUVObjectPrivate::scriptSafeJSON(std::string_view json) {
  return ZUV_SBJSON::scriptSafe(json);
}

void ZUVObjectPrivate::addAdditionalParameters(platform::Dictionary& parameters) const {
  if (!adUnitID_.empty()) parameters.set(kZUVParameterAdSlotID, adUnitID_);
  if (request_ && request_->isInterstitialAd()) {
    parameters.set(kZUVParameterAdFormat, fullScreenFormat_);
    parameters.set(kZUVParameterVast, ZUVVastAnnouncement());
    return;
  }
  platform::Rect frame;
  if (auto view = adView_.lock()) frame = view->frame();
  auto single = [](double value) {
    return platform::Value(static_cast<double>(static_cast<float>(value)));
  };
  platform::Dictionary adFrame;
  adFrame.set("x", single(frame.origin.x));
  adFrame.set("y", single(frame.origin.y));
  adFrame.set("w", single(frame.size.width));
  adFrame.set("h", single(frame.size.height));
  parameters.set(kZUVParameterAdFrame, std::move(adFrame));
}

namespace {

// The build page's delegate, which also hears when the page has loaded (its script's time
// counts from then) and when it cannot load at all (the web engine would not start, or ended):
// its script will never answer.
class BuildPageDelegate : public ZUVWebViewDelegate {
 public:
  BuildPageDelegate(std::function<void()> loaded,
                    std::function<void(const platform::Error&)> failed)
      : loaded_(std::move(loaded)), failed_(std::move(failed)) {}
  void webViewDidFinishLoad(platform::WebView& webView) override {
    ZUVWebViewDelegate::webViewDidFinishLoad(webView);
    loaded_();
  }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error& error) override {
    failed_(error);
  }

 private:
  std::function<void()> loaded_;
  std::function<void(const platform::Error&)> failed_;
};

}  // namespace

void ZUVObjectPrivate::setupBuildAdWebView() {
  resetBuildAdWebView();
  buildAdWebViewDelegate_ = std::make_shared<BuildPageDelegate>(
      forThisLoad([](ZUVObjectPrivate& self) { self.armBuildTimeout(); }),
      forThisLoad([](ZUVObjectPrivate& self, const platform::Error& error) {
        self.buildPageFailed(error);
      }));
  // What the build page is refused counts against its banner.
  buildAdWebViewDelegate_->setGate(webViewDelegate_->gate());
  buildAdWebView_ = makeWebView(platform::Rect(0, 0, 1, 1));
  buildAdWebView_->setHidden(true);
  buildAdWebView_->setDelegate(buildAdWebViewDelegate_);
  limitPage(*buildAdWebView_, true);
  auto& center = ZUVNotificationCenter::defaultCenter();
  using Report = void (ZUVObjectPrivate::*)(const platform::Notification&);
  const Report actions[] = {&ZUVObjectPrivate::loadAdURL, &ZUVObjectPrivate::invalidRequest,
                            &ZUVObjectPrivate::unableToServe};
  for (std::size_t i = 0; i < std::size(kBuildReports); ++i) {
    buildReportObservers_.push_back(
        center.addObserver(kBuildReports[i], platform::NotificationObject(buildAdWebView_),
                           forThisLoad([action = actions[i]](ZUVObjectPrivate& self,
                                                             const platform::Notification& report) {
                             (self.*action)(report);
                           })));
  }
}

void ZUVObjectPrivate::armBuildTimeout() {
  if (!buildAdWebView_) return;
  buildTimer_ = platform::RunLoop::main().scheduleTimer(
      kBuildTimeout, false,
      forThisLoad([](ZUVObjectPrivate& self, platform::Timer&) { self.buildTimedOut(); }));
}

// The time-out counts once the page has loaded (it is armed again then): on a busy machine the
// engine may take a while to open and run the page, which its own load time-out bounds.
void ZUVObjectPrivate::buildTimedOut() {
  if (buildAdWebView_ && buildAdWebView_->isLoading()) {
    armBuildTimeout();
    return;
  }
  const std::string why = "gave no answer within " + platform::secondsText(kBuildTimeout) + " s";
  platform::log("<Vozave> The page that builds the ad URL " + why + "; this load ends with no ad.",
                platform::LogLevel::Error);
  abandonBuild(why);
}

void ZUVObjectPrivate::resetBuildAdWebView() {
  buildReportObservers_.clear();
  buildTimer_.reset();
  if (!buildAdWebView_) {
    buildAdWebViewDelegate_.reset();
    return;
  }
  buildAdWebView_->setDelegate({});
  // An abandoned page's scripts would run on unseen.
  buildAdWebView_->closePage();
  buildAdWebView_.reset();
  buildAdWebViewDelegate_.reset();
}

void ZUVObjectPrivate::buildPageFailed(const platform::Error& error) {
  const std::string why = "could not load: " + error.localizedDescription();
  platform::log("<Vozave> The page that builds the ad URL " + why + ".", platform::LogLevel::Error);
  abandonBuild(why);
}

void ZUVObjectPrivate::abandonBuild(const std::string& why) {
  resetBuildAdWebView();
  changeState(State::LoadFailed);
  reportError(kZUVErrorNetworkError, request_.get(), "the page that builds the ad URL " + why);
  refresh_->loadFailed();
}

void ZUVObjectPrivate::loadAdURL(const platform::Notification& notification) {
  resetBuildAdWebView();
  changeState(State::FetchingAdPage);
  const platform::Value* urlText = notification.userInfo.find("url");
  const platform::Value* type = notification.userInfo.find("type");
  zuv_gig(
      ZUVRequestPrivate::requestTypeFromString(type && type->isString() ? type->stringValue() : ""),
      ZUVRequest::sdkVersion());
  std::optional<platform::URL> url;
  if (urlText && urlText->isString()) url = platform::URL::parse(urlText->stringValue());
  platform::Dictionary signals = request_->spamSignals();
  if (url && !signals.empty()) {
    url = ZUVNetworkUtilities::appendQueryParametersToURL(signals, *url);
  }
  ZUVStatistics::sharedStatistics().startTimingNamed(kZUVParameterPriorRequestLatency);
  if (!url) {
    // No URL to fetch: the same outcome as a fetch that fails without a reply.
    setAdHTML(nullptr);
    changeState(State::LoadFailed);
    reportError(kZUVErrorNetworkError, request_.get(), "the ad server gave no ad URL to fetch");
    addReloadInformationFromHeaders(LoadEnd::Failed);
    return;
  }
  setAdHTML(ZUVCachedFile::create(fetches_, *url, kMaxAdPageBytes));
}

// A refused request is a failed load like any other: the banner keeps its schedule, or
// retries while it has none.
void ZUVObjectPrivate::invalidRequest(const platform::Notification& notification) {
  buildRefused("Invalid Request", notification);
}

void ZUVObjectPrivate::unableToServe(const platform::Notification& notification) {
  buildRefused("Unable to serve", notification);
}

void ZUVObjectPrivate::buildRefused(const char* what, const platform::Notification& notification) {
  resetBuildAdWebView();
  const std::string why = std::string(what) + ": " + describeUserInfo(notification.userInfo);
  platform::log("<Vozave> " + why, platform::LogLevel::Error);
  changeState(State::LoadFailed);
  reportError(kZUVErrorInvalidRequest, request_.get(),
              "the ad server refused the request (" + why + ")");
  refresh_->loadFailed();
}

void ZUVObjectPrivate::setAdHTML(std::shared_ptr<ZUVCachedFile> file) {
  if (file == adHTML_) return;
  if (adHTML_) {
    adHTML_->setDelegate({});
    adHTML_->invalidate();
  }
  adHTML_ = std::move(file);
  if (adHTML_) adHTML_->validate();
  pendingTrackingURLs_.clear();
}

void ZUVObjectPrivate::showAd() {
  std::optional<platform::URL> baseURL = adHTML_->httpDestinationURL();
  std::string page(platform::text::trimmed(adHTML_->content().value_or(""), " \t\r\n"));
  addReloadInformationFromHeaders(page.empty() ? LoadEnd::Failed : LoadEnd::Served);
  if (page.empty()) {
    platform::log("<Vozave> The ad page is empty: this load ends with no ad.",
                  platform::LogLevel::Error);
    changeState(State::LoadFailed);
    reportError(kZUVErrorNoFill, request_.get(), "the ad server sent an empty ad page");
    return;
  }
  // The ad on show goes with the page or video that replaces it, and its tracking URLs with it.
  impressions_->adGone();
  adTrackingURLs_ = pendingTrackingURLs_;
  if (request_ && request_->isInterstitialAd() &&
      ZUVVastLoad::isVastAnswer(adHTML_->httpHeaders().mediaType(), page)) {
    return loadVideo(page, baseURL ? baseURL->absoluteString() : "the ad page");
  }
  changeState(State::LoadingAdPage);
  watchAdPageLoad();
  makeMraidController();
  webView_->loadHTMLStringBaseURL(page, baseURL);
}

// Each ad page gets a container of its own; the one of the page it replaces puts its ad back.
void ZUVObjectPrivate::makeMraidController() {
  mraid_.reset();
  // The ad it replaces is back in its banner; the load under way arms what follows.
  refresh_->adReplaced();
  ZUVMraidController::Host host;
  host.open =
      whileAlive([](ZUVObjectPrivate& self, platform::WebView& view, const platform::URL& url,
                    const std::shared_ptr<platform::ViewController>&) {
        return self.followClick(view, platform::WebRequest(url),
                                platform::kWebViewNavigationTypeLinkClicked);
      });
  host.unload = whileAlive([](ZUVObjectPrivate& self) { self.adDidUnload(); });
  host.awayChanged =
      whileAlive([](ZUVObjectPrivate& self, bool away) { self.refresh_->setAdAway(away); });
  host.gate = webViewDelegate_->gate();
  if (request_) host.location = request_->location();
  host.viewController = rootViewController_;
  host.events = delegateManager_;
  const bool interstitial = request_ && request_->isInterstitialAd();
  mraid_ = std::make_unique<ZUVMraidController>(
      webView_, interstitial ? ZUVMraidPlacement::Interstitial : ZUVMraidPlacement::Inline,
      std::move(host));
}

void ZUVObjectPrivate::adPageDidLoad(platform::WebView& webView) {
  // Loads within a page on show are no new ad.
  if (state_ != State::LoadingAdPage) return;
  changeState(State::ShowingAd);
  adPageDidFinish();
  webView.setHidden(false);
  reportReceived();
  // After the ad's news, so that the application hears of the ad before its impression.
  impressions_->adShown();
  if (mraid_) mraid_->adPageDidLoad(webView);
}

void ZUVObjectPrivate::reportReceived() {
  delegateManager_->didReceiveAd();
  auto& statistics = ZUVStatistics::sharedStatistics();
  statistics.endTimingNamed(kZUVParameterPriorRequestLatency);
  statistics.startTimingNamed(kZUVParameterPriorPreClickLatency);
}

void ZUVObjectPrivate::adPageDidFailToLoad(const platform::Error& error) {
  if (state_ == State::ShowingAd) return;
  // A page replaced by a newer one while it loaded belongs to a superseded load.
  if (error.domain == platform::kWebErrorDomain && error.code == platform::kWebErrorCancelled) {
    return;
  }
  reportError(kZUVErrorNetworkError, request_.get(),
              "the ad page failed to load: " + error.localizedDescription());
  adPageDidFail();
}

void ZUVObjectPrivate::adPageKeptNavigating(platform::WebView& webView, const platform::URL& url) {
  platform::log("<Vozave> Stopped an ad page that kept navigating itself without a tap: " +
                    ZUVWebViewDelegate::pageLogLine(url.absoluteString()),
                platform::LogLevel::Error);
  changeState(State::LoadFailed);
  reportError(kZUVErrorNetworkError, request_.get(),
              "the ad page kept navigating itself without a tap and was stopped");
  adPageDidFail();
  // Its scripts go with it, on the next pass: no load starts inside a decision.
  std::weak_ptr<platform::WebView> weak = webView.webSelf();
  platform::RunLoop::main().post([weak] {
    if (auto view = weak.lock()) view->loadHTMLStringBaseURL("", std::nullopt);
  });
}

void ZUVObjectPrivate::adPageSentMessage(platform::WebView& webView, const platform::URL& url) {
  if (mraid_) mraid_->receiveMessage(webView, url);
}

std::shared_ptr<platform::ViewController> ZUVObjectPrivate::clickPresenter() const {
  return mraid_ ? mraid_->frontController() : rootViewController();
}

bool ZUVObjectPrivate::followClick(platform::WebView& webView, const platform::WebRequest& request,
                                   platform::WebViewNavigationType type) {
  if (!webViewDelegate_->followClick(webView, request, type, clickPresenter())) return false;
  if (isClick(webView, request.url())) {
    ++clicks_;
    delegateManager_->didRecordClick();
  }
  return true;
}

// A followed navigation is a click when it leaves the ad for somewhere (the gate has passed it),
// or when it is the ad's click message on the user's tap; its other messages are none.
bool ZUVObjectPrivate::isClick(const platform::WebView& webView, const platform::URL& url) {
  if (url.scheme() == "about") return false;
  if (!ZUVNotification::isNotificationURL(url)) return true;
  auto message = ZUVNotification::notificationFromURL(url);
  return message && message->name() == "click" && ZUVUserActivationGate::isTap(webView);
}

bool ZUVObjectPrivate::displaysAd(const platform::WebView& webView) const {
  switch (state_) {
    case State::ShowingAd:
      return true;
    case State::NothingRequested:
    case State::LoadingAdPage:
      return false;
    default:
      return !webView.isHidden();
  }
}

void ZUVObjectPrivate::adDidUnload() {
  platform::log("<Vozave> Removed an ad page that unloaded itself", platform::LogLevel::Error);
  impressions_->adGone();
  mraid_.reset();
  webView_->setHidden(true);
  // A newer load under way reports for itself.
  if (state_ == State::ShowingAd || state_ == State::LoadingAdPage) {
    changeState(State::LoadFailed);
    reportError(kZUVErrorNoFill, request_.get(), "the ad page unloaded itself");
    adPageDidFail();
  }
  // Its scripts go with it.
  webView_->loadHTMLStringBaseURL("", std::nullopt);
}

void ZUVObjectPrivate::watchAdPageLoad() {
  // A refresh that replaces a page still loading cancels that load, which is not reported:
  // the time-out runs on from the first unfinished page.
  if (adPageTimer_.isValid()) return;
  adPageTimer_ = platform::RunLoop::main().scheduleTimer(
      platform::WebView::loadTimeout(), false,
      whileAlive([](ZUVObjectPrivate& self, platform::Timer&) { self.adPageTimedOut(); }));
}

void ZUVObjectPrivate::adPageTimedOut() {
  adPageTimer_.reset();
  const std::string why = "did not finish loading within " +
                          platform::secondsText(platform::WebView::loadTimeout()) + " s";
  platform::log("<Vozave> The ad page " + why + "; this load ends with no ad.",
                platform::LogLevel::Error);
  webView_->stopLoading();
  reportError(kZUVErrorNetworkError, request_.get(), "the ad page " + why);
  // A newer load in its build or fetch goes on and schedules what follows it.
  if (state_ != State::LoadingAdPage) return;
  changeState(State::LoadFailed);
  refresh_->pageFailed();
}

void ZUVObjectPrivate::adPageDidFinish() {
  adPageTimer_.reset();
  refresh_->resetRetries();
}

void ZUVObjectPrivate::adPageDidFail() {
  adPageTimer_.reset();
  // With an interval, showAd has armed the refresh already.
  refresh_->pageFailed();
}

void ZUVObjectPrivate::failedAdRequestWithFile(const ZUVCachedFile& file,
                                               const std::optional<platform::Error>& error) {
  changeState(State::LoadFailed);
  long code = kZUVErrorNetworkError;
  std::string why = "the ad page could not be fetched: " + fetchFailure(file, error);
  if (file.httpStatusCode() == 400) {
    platform::log(
        "<Vozave> Server rejected ad parameters.  Typically this is because the ad unit ID is "
        "incorrect.",
        platform::LogLevel::Error);
    code = kZUVErrorInvalidRequest;
    why = "the ad server rejected the ad parameters (HTTP 400): check the ad unit ID";
  }
  reportError(code, request_.get(), why);
  addReloadInformationFromHeaders(LoadEnd::Failed);
}

void ZUVObjectPrivate::fetchEnded(ZUVCachedFile& file) {
  if (&file == buildAdJS_.get()) {
    // A script that is not text cannot run: it counts as no copy.
    auto content = file.content();
    if (content && !content->empty()) {
      buildAdUrl(*content);
    } else {
      failedToDownloadJavaScript("it is not text");
    }
  } else if (&file == adHTML_.get()) {
    showAd();
  }
}

void ZUVObjectPrivate::fetchFailed(ZUVCachedFile& file,
                                   const std::optional<platform::Error>& error) {
  if (&file == buildAdJS_.get()) {
    failedToDownloadJavaScript(fetchFailure(file, error));
  } else if (&file == adHTML_.get()) {
    failedAdRequestWithFile(file, error);
  }
}

void ZUVObjectPrivate::fetchRedirects(ZUVCachedFile& file) {
  if (&file == adHTML_.get()) readRedirectHeaders(file.httpHeaders());
}

void ZUVObjectPrivate::readRedirectHeaders(const platform::HTTPHeaderFields& headers) {
  if (auto tracking = headers.value("X-Zede-Tracking-Urls")) {
    std::string_view rest = *tracking;
    while (true) {
      auto blank = rest.find(' ');
      std::string piece(platform::text::trimmed(rest.substr(0, blank), " \t"));
      if (auto url = platform::URL::parse(piece)) pendingTrackingURLs_.push_back(*url);
      if (blank == std::string_view::npos) break;
      rest.remove_prefix(blank + 1);
    }
  }
  std::string orientation = headers.value("X-Zede-Orientation").value_or("");
  supportedOrientations_ = orientation == "any"         ? 1
                           : orientation == "portrait"  ? 2
                           : orientation == "landscape" ? 3
                                                        : 0;
}
