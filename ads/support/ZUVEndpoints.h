#pragma once

// The ad network's fixed endpoints, the one place where the client's and the demo ad server's
// names come from. The controller fetches the support script from the static-content host and
// gives the build page the ad server's origin; velour and `vozave serve` map both host names
// to a local server.

// The static-content host that serves the support script.
inline constexpr const char* kZUVStaticContentHost = "static.vozave.com";
// The ad host: ad requests, ad pages, clicks and tracking.
inline constexpr const char* kZUVAdServerHost = "ads.vozave.com";
inline constexpr const char* kZUVSupportScriptPath = "/zede/sdk-core-v40.js";
// The build page's base URL: scheme and host only, so the script's reports and the ad URL it
// builds belong to the ad server's origin.
inline constexpr const char* kZUVAdServerOrigin = "http://ads.vozave.com";
// Where the support script is fetched, over plain http.
inline constexpr const char* kZUVSupportScriptURL = "http://static.vozave.com/zede/sdk-core-v40.js";
