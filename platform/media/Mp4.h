#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace platform {

// Reads the duration in seconds from an MP4/M4A container (the movie header, "moov/mvhd");
// nothing if the bytes are not such a container. Safe on any bytes.
std::optional<double> mp4Duration(const std::vector<std::uint8_t>& bytes);

}  // namespace platform
