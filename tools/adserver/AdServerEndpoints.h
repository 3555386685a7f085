#pragma once

// The ad network's host names and paths as the demo ad server answers them. The client's
// fixed endpoints and the server's must agree, so both take them from here; `vozave serve`
// and velour map these host names to the local server with --resolve.
namespace adserver {

// The static-content host that serves the support script.
inline constexpr const char* kStaticHost = "static.vozave.com";
// The ad host: ad requests, ad pages, clicks, tracking, landing pages and the report.
inline constexpr const char* kAdHost = "ads.vozave.com";

inline constexpr const char* kSupportScriptPath = "/zede/sdk-core-v40.js";
// The ad URL that the support script builds; answered by one redirect to the ad page.
inline constexpr const char* kAdRequestPath = "/zede/ads";
// Ad pages: kAdPagePrefix + slot + "/" + creative.
inline constexpr const char* kAdPagePrefix = "/zede/page/";
// Tracking and click chains: prefix + ticket, then "/2", then the end. The prefixes are four
// characters long, so the client's impression ticket (a tracking path without its first four
// characters) is the ticket itself.
inline constexpr const char* kTrackingPrefix = "/ct/";
inline constexpr const char* kClickPrefix = "/cl/";
inline constexpr const char* kReportPath = "/_report";
inline constexpr const char* kReportJsonPath = "/_report.json";

}  // namespace adserver
