#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/support/ZUVStatisticsCore.h"
#include "ads/support/ZUVTimingManager.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

// The domain of the ad network's own hosts; a click-tracking URL on it carries the impression
// ticket.
inline constexpr const char* kZUVAdNetworkDomain = "vozave.com";

// What happened since the previous ad request (latencies, clicks, navigations, flags),
// reported once with the next request and then cleared. Counts and flags live in a store and
// timings in a timing manager, both persisted under the identifier "shared".
class ZUVStatistics {
 public:
  static ZUVStatistics& sharedStatistics();
  // The next sharedStatistics() makes a new one, which loads the saved state again.
  static void releaseSharedStatistics();
  // The timing names in report order.
  static const std::vector<std::string>& allTimingNames();

  // Saves both stores when the application goes to the background or ends.
  ZUVStatistics();
  ZUVStatistics(const ZUVStatistics&) = delete;
  ZUVStatistics& operator=(const ZUVStatistics&) = delete;

  std::int32_t incrementAdRequestCount();
  std::int32_t adRequestCount() const;
  void setAdRequestCount(std::int32_t count);

  void incrementClickCount();
  void resetClickCount();
  void incrementPageNavigationCount();
  void resetPageNavigationCount();
  void incrementSSLPageNavigationCount();
  void resetSSLPageNavigationCount();

  void setClickBackgroundedApp();
  void resetClickBackgroundedApp();
  void setBreakOutToSafari();
  void resetBreakOutToSafari();
  void setAppOpenInterstitialNoFill();
  void resetAppOpenInterstitialNoFill();
  void setAppOpenInterstitialTimeOut();
  void resetAppOpenInterstitialTimeOut();
  void setFlagWithParameterName(const std::string& name);
  void resetFlagWithParameterName(const std::string& name);

  // Starting replaces any timing of the name with a new, running one.
  void startTimingNamed(const std::string& name);
  void endTimingNamed(const std::string& name);
  std::shared_ptr<ZUVTiming> timingNamed(const std::string& name) const;
  void removeTimingNamed(const std::string& name);
  // A click is being timed.
  bool isTimingClick() const;

  // Keeps the impression ticket of a completed click-tracking fetch on the ad network.
  void addClickTrackingURL(const platform::URL& url);
  // Counts the click, starts its timings and adds the click signal; message URLs and
  // "about:blank" pass unchanged.
  platform::URL urlForClick(const platform::URL& url);
  // A click with no URL (a web application from HTML text): counted and timed, nothing to sign.
  void urlForClick(std::nullopt_t);

  // The report for the next request; everything but the request total and "ptime" starts
  // again from nothing.
  platform::Dictionary parameters();
  // The same entries, leaving everything in place (for a request that is not sent).
  platform::Dictionary currentParameters() const;

  void synchronize();

 private:
  // Counts a click and starts its timings; returns the "pcl" timing.
  std::shared_ptr<ZUVTiming> beginClick();
  std::uint32_t millisecondsSinceClick() const;
  void clearReported();

  ZUVStatisticsCore statistics_;
  ZUVTimingManager timingMgr_;
  std::vector<platform::Registration> observers_;
};
