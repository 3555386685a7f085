#pragma once

#include "vozave/Version.h"

// The client's version text: sent with every ad request and told to full-screen ad pages. The
// numbers are the project's version.
inline constexpr const char* kZUVSDKVersion = "zede-sdk-i-v" VOZAVE_VERSION_STRING;
