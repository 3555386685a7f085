#pragma once

// The domain of every error that the ad client reports.
inline constexpr const char* kZUVErrorDomain = "com.vozave.ads.RequestError";
