#pragma once

#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVParameterKeys.h"

// The ad network's host names and paths as the demo ad server answers them. The host names and
// the script path are the client's own, so the two cannot drift apart; `vozave serve` and
// velour map these host names to the local server with --resolve.
namespace adserver {

// The static-content host that serves the support script.
inline constexpr const char* kStaticHost = kZUVStaticContentHost;
// The ad host: ad requests, ad pages, clicks, tracking, landing pages and the report.
inline constexpr const char* kAdHost = kZUVAdServerHost;

inline constexpr const char* kSupportScriptPath = kZUVSupportScriptPath;
// The ad URL that the support script builds; answered by one redirect to the ad page.
inline constexpr const char* kAdRequestPath = "/zede/ads";
// Ad pages: kAdPagePrefix + slot + "/" + creative.
inline constexpr const char* kAdPagePrefix = "/zede/page/";
// Pages of the MRAID creatives beside the ad page: the second part of the two-part ad and the
// checks the creatives share. kMraidPrefix + name.
inline constexpr const char* kMraidPrefix = "/zede/mraid/";
// The ad request parameter, and its values, of a request for an interstitial or rewarded ad.
inline constexpr const char* kAdFormatParameter = kZUVParameterAdFormat;
inline constexpr const char* kInterstitialFormat = "interstitial_mb";
inline constexpr const char* kRewardedFormat = "rewarded_mb";
// Tracking and click chains: prefix + ticket, then "/2", then the end. The prefixes are four
// characters long, so the client's impression ticket (a tracking path without its first four
// characters) is the ticket itself.
inline constexpr const char* kTrackingPrefix = "/ct/";
inline constexpr const char* kClickPrefix = "/cl/";
inline constexpr const char* kReportPath = "/_report";
inline constexpr const char* kReportJsonPath = "/_report.json";

}  // namespace adserver
