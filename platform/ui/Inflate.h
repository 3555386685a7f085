#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Inflates a zlib stream (RFC 1950 around RFC 1951's deflate), for the PNG decoder. The bytes
// may be anything: every code, length and distance is checked, the Adler-32 sum must match,
// and the output may not pass `maxOutput` bytes, so any input gives an answer or nothing.
std::optional<std::string> zlibInflate(std::string_view stream, std::size_t maxOutput);

}  // namespace platform
