#pragma once

/// @file
/// The signals interface: the four calls by which the ad client hands request and touch
/// facts to the signals module, and the decoder of a signal value for inspection.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "velourphone/Export.h"

// The signals module: what it learns of requests and touches goes out, opaque to the rest of
// the client, with ad requests ("ms=...") and clicks ("cs=..."). The format is in
// docs/SIGNALS.md.

// Told of each ad URL about to be requested: the request type and the SDK version.
VOZAVE_API void zuv_gig(std::int32_t requestType, const std::string& sdkVersion);
// Fills `signal` with the request signal, "ms=" and its value; non-zero when filled.
VOZAVE_API std::int32_t zuv_gmrs(std::string& signal);
// Fills `signal` with the click signal for the click's "ai" value; non-zero when filled, 0
// (and nothing filled) for an empty value.
VOZAVE_API std::int32_t zuv_gmcs(const std::string& adInfo, std::string& signal);
// Told of a touch; -1 for a coordinate or duration that the page did not give.
VOZAVE_API void zuv_htg(std::int32_t x, std::int32_t y, std::int32_t duration);

// Reads a signal value (the text after "ms=" or "cs=") back into its fields; nothing for text
// that is not such a value. For the ad server's side and for inspection.
VOZAVE_API std::optional<std::map<std::string, std::string>> ZUVSignalsDecodeValue(
    std::string_view value);
