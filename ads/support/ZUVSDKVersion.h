#pragma once

// The client's version text: sent with every ad request and told to full-screen ad pages.
inline constexpr const char* kZUVSDKVersion = "zede-sdk-i-v4.0.2";
