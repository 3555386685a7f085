#include "ads/support/ZUVStatistics.h"

#include <cmath>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVAdMessageURL.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUVParameterKeys.h"
#include "ads/support/ZUVValueText.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"

namespace {

constexpr const char* kSharedIdentifier = "shared";
constexpr const char* kClickDateKey = "date";

std::unique_ptr<ZUVStatistics>& sharedInstance() {
  // The shared statistics save themselves as they go, to the end of the process: the store
  // and the centre they use must be made first, so that they are destroyed after them.
  platform::UserDefaults::standard();
  platform::NotificationCenter::defaultCenter();
  static std::unique_ptr<ZUVStatistics> instance;
  return instance;
}

// Flags and counts in the order the report lists them.
const char* const kReportedNumbers[] = {kZUVParameterTotalAdRequests,
                                        kZUVParameterPriorClickBreakOut,
                                        kZUVParameterAppOpenInterstitialTimedOut,
                                        kZUVParameterAppOpenInterstitialNoFill,
                                        kZUVParameterPriorClickBackgroundedApp,
                                        kZUVParameterPriorLandingPageNavCount,
                                        kZUVParameterPriorLandingPageSSLNavCount,
                                        kZUVParameterPriorClickCount};
const char* const kClearedFlags[] = {
    kZUVParameterPriorClickBreakOut, kZUVParameterAppOpenInterstitialTimedOut,
    kZUVParameterAppOpenInterstitialNoFill, kZUVParameterPriorClickBackgroundedApp};
const char* const kClearedCounts[] = {kZUVParameterPriorLandingPageNavCount,
                                      kZUVParameterPriorLandingPageSSLNavCount,
                                      kZUVParameterPriorClickCount};

bool isOnAdNetwork(const std::string& host) {
  std::string domain = kZUVAdNetworkDomain;
  // A whole label must match: "evilvozave.com" is not the network's.
  return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                            host[host.size() - domain.size() - 1] == '.');
}

}  // namespace

ZUVStatistics& ZUVStatistics::sharedStatistics() {
  auto& instance = sharedInstance();
  if (!instance) instance = std::make_unique<ZUVStatistics>();
  return *instance;
}

void ZUVStatistics::releaseSharedStatistics() {
  sharedInstance().reset();
}

const std::vector<std::string>& ZUVStatistics::allTimingNames() {
  static const std::vector<std::string> names{
      kZUVParameterPriorRequestLatency,       kZUVParameterPriorClickLatency,
      kZUVParameterPriorClickString,          kZUVParameterPriorPreClickLatency,
      kZUVParameterPriorClickRedirectLatency, kZUVParameterPriorLandingPageLoad,
      kZUVParameterPriorLandingPageDuration,  kZUVParameterTimeSinceFirstRequest};
  return names;
}

ZUVStatistics::ZUVStatistics() : statistics_(kSharedIdentifier), timingMgr_(kSharedIdentifier) {
  // Counts and flags not yet reported must outlive the process, as the timings do.
  auto& center = platform::NotificationCenter::defaultCenter();
  for (const char* name : {platform::kApplicationWillTerminateNotification,
                           platform::kApplicationDidEnterBackgroundNotification}) {
    observers_.push_back(center.addObserver(
        name, nullptr, [this](const platform::Notification&) { statistics_.synchronize(); }));
  }
}

std::int32_t ZUVStatistics::incrementAdRequestCount() {
  return static_cast<std::int32_t>(
      statistics_.addValueNumberForKey(1, kZUVParameterTotalAdRequests));
}

std::int32_t ZUVStatistics::adRequestCount() const {
  return static_cast<std::int32_t>(
      ZUVIntegerValue(statistics_.numberForKey(kZUVParameterTotalAdRequests)));
}

void ZUVStatistics::setAdRequestCount(std::int32_t count) {
  statistics_.setNumberForKey(platform::Value(count), kZUVParameterTotalAdRequests);
}

void ZUVStatistics::incrementClickCount() {
  statistics_.addValueNumberForKey(1, kZUVParameterPriorClickCount);
}

void ZUVStatistics::resetClickCount() {
  statistics_.setNumberForKey(platform::Value(0), kZUVParameterPriorClickCount);
}

void ZUVStatistics::incrementPageNavigationCount() {
  statistics_.addValueNumberForKey(1, kZUVParameterPriorLandingPageNavCount);
}

void ZUVStatistics::resetPageNavigationCount() {
  statistics_.setNumberForKey(platform::Value(0), kZUVParameterPriorLandingPageNavCount);
}

void ZUVStatistics::incrementSSLPageNavigationCount() {
  statistics_.addValueNumberForKey(1, kZUVParameterPriorLandingPageSSLNavCount);
}

void ZUVStatistics::resetSSLPageNavigationCount() {
  statistics_.setNumberForKey(platform::Value(0), kZUVParameterPriorLandingPageSSLNavCount);
}

void ZUVStatistics::setClickBackgroundedApp() {
  setFlagWithParameterName(kZUVParameterPriorClickBackgroundedApp);
}

void ZUVStatistics::resetClickBackgroundedApp() {
  resetFlagWithParameterName(kZUVParameterPriorClickBackgroundedApp);
}

void ZUVStatistics::setBreakOutToSafari() {
  setFlagWithParameterName(kZUVParameterPriorClickBreakOut);
}

void ZUVStatistics::resetBreakOutToSafari() {
  resetFlagWithParameterName(kZUVParameterPriorClickBreakOut);
}

void ZUVStatistics::setAppOpenInterstitialNoFill() {
  setFlagWithParameterName(kZUVParameterAppOpenInterstitialNoFill);
}

void ZUVStatistics::resetAppOpenInterstitialNoFill() {
  resetFlagWithParameterName(kZUVParameterAppOpenInterstitialNoFill);
}

void ZUVStatistics::setAppOpenInterstitialTimeOut() {
  setFlagWithParameterName(kZUVParameterAppOpenInterstitialTimedOut);
}

void ZUVStatistics::resetAppOpenInterstitialTimeOut() {
  resetFlagWithParameterName(kZUVParameterAppOpenInterstitialTimedOut);
}

void ZUVStatistics::setFlagWithParameterName(const std::string& name) {
  statistics_.setNumberForKey(platform::Value(1), name);
}

void ZUVStatistics::resetFlagWithParameterName(const std::string& name) {
  statistics_.removeObjectForKey(name);
}

void ZUVStatistics::startTimingNamed(const std::string& name) {
  timingMgr_.removeTimingForCategory(name);
  if (auto timing = timingMgr_.addTimingWithCategory(name)) timing->start();
}

void ZUVStatistics::endTimingNamed(const std::string& name) {
  if (auto timing = timingMgr_.timingForCategory(name)) timing->end();
}

std::shared_ptr<ZUVTiming> ZUVStatistics::timingNamed(const std::string& name) const {
  return timingMgr_.timingForCategory(name);
}

void ZUVStatistics::removeTimingNamed(const std::string& name) {
  timingMgr_.removeTimingForCategory(name);
}

bool ZUVStatistics::isTimingClick() const {
  auto click = timingNamed(kZUVParameterPriorClickLatency);
  return click && click->isActive();
}

void ZUVStatistics::addClickTrackingURL(const platform::URL& url) {
  const std::string& path = url.path();
  if (!isOnAdNetwork(url.host()) || path.size() < 5) return;
  if (auto click = timingNamed(kZUVParameterPriorClickLatency)) {
    click->setValueForKey(platform::Value(path.substr(4)),
                          kZUVParameterPriorImpressionTicketString);
  }
}

void ZUVStatistics::urlForClick(std::nullopt_t) {
  beginClick();
  endTimingNamed(kZUVParameterPriorClickRedirectLatency);
}

std::shared_ptr<ZUVTiming> ZUVStatistics::beginClick() {
  incrementClickCount();
  startTimingNamed(kZUVParameterPriorClickLatency);
  startTimingNamed(kZUVParameterPriorClickRedirectLatency);
  endTimingNamed(kZUVParameterPriorPreClickLatency);
  auto click = timingNamed(kZUVParameterPriorClickLatency);
  click->setValueForKey(platform::Value(platform::RunLoop::main().currentDate()), kClickDateKey);
  return click;
}

platform::URL ZUVStatistics::urlForClick(const platform::URL& url) {
  if (ZUVIsAdMessageURL(url) || url.absoluteString() == "about:blank") return url;
  auto click = beginClick();

  platform::URL prepared = url;
  auto adInfo = ZUVNetworkUtilities::parameterValueForKeyFromURL("ai", url);
  if (adInfo && !adInfo->empty()) {
    click->setValueForKey(platform::Value(*adInfo), kZUVParameterPriorClickString);
    std::string signal;
    if (zuv_gmcs(*adInfo, signal) != 0) {
      auto signed_ = ZUVNetworkUtilities::appendQueryKeyValueToURL(signal, std::nullopt, url);
      if (signed_) prepared = *signed_;
    }
  }
  endTimingNamed(kZUVParameterPriorClickRedirectLatency);
  return prepared;
}

std::uint32_t ZUVStatistics::millisecondsSinceClick() const {
  auto click = timingNamed(kZUVParameterPriorClickLatency);
  if (!click) return 0;
  auto date = click->valueForKey(kClickDateKey);
  if (!date || !date->isDate()) return 0;
  double now = platform::RunLoop::main().currentDate().secondsSince1970;
  double milliseconds = std::fabs(now - date->dateValue().secondsSince1970) * 1000;
  if (!(milliseconds < 4294967295.0)) return 4294967295u;
  return static_cast<std::uint32_t>(milliseconds);
}

platform::Dictionary ZUVStatistics::currentParameters() const {
  platform::Dictionary report;
  bool clicked = timingNamed(kZUVParameterPriorClickLatency) != nullptr;
  std::uint32_t sinceClick =
      statistics_.numberForKey(kZUVParameterPriorClickBackgroundedApp).isNull()
          ? 0
          : millisecondsSinceClick();
  for (const std::string& name : allTimingNames()) {
    auto timing = timingNamed(name);
    // A pre-click time goes only with its click.
    if (!timing || (name == kZUVParameterPriorPreClickLatency && !clicked)) continue;
    report.set(name, timing->elapsedMillisecondsString());
    for (const auto& [key, value] : timing->keysAndValues()) {
      if (name != kZUVParameterPriorClickLatency || key != kClickDateKey) report.set(key, value);
    }
  }
  if (sinceClick != 0) report.set(kZUVParameterPriorClickLatency, platform::Value(sinceClick));
  for (const char* key : kReportedNumbers) {
    platform::Value number = statistics_.numberForKey(key);
    if (ZUVIntegerValue(number) != 0) report.set(key, number);
  }
  return report;
}

void ZUVStatistics::clearReported() {
  for (const std::string& name : allTimingNames()) {
    if (name != kZUVParameterTimeSinceFirstRequest) timingMgr_.removeTimingForCategory(name);
  }
  for (const char* flag : kClearedFlags) statistics_.removeObjectForKey(flag);
  for (const char* count : kClearedCounts) {
    statistics_.setNumberForKey(platform::Value(0), count);
  }
}

platform::Dictionary ZUVStatistics::parameters() {
  platform::Dictionary report = currentParameters();
  clearReported();
  return report;
}

void ZUVStatistics::synchronize() {
  statistics_.synchronize();
  timingMgr_.synchronize();
}
