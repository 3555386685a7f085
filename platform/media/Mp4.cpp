// The movie header walk behind AudioPlayer's duration. Clip files come from the bundle but are
// still treated as hostile: every size is checked against its parent before it is used, and
// only the two levels that lead to the header are ever entered, so the walk is never deeper
// than that and its work stays linear in the number of boxes.

#include "platform/media/Mp4.h"

#include <string_view>

namespace platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A span of the file: [begin, end) in bytes.
struct Range {
  std::uint64_t begin;
  std::uint64_t end;
};

struct Box {
  std::string_view type;
  Range payload;       // after the header
  std::uint64_t next;  // where the following sibling starts
};

std::uint64_t readBig(const Bytes& bytes, std::uint64_t at, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | bytes[at + i];
  return value;
}

// The box that starts at `at` inside `parent`; nothing if its header or its body does not fit.
std::optional<Box> readBox(const Bytes& bytes, std::uint64_t at, Range parent) {
  const std::uint64_t room = parent.end - at;
  if (room < 8) return std::nullopt;
  std::uint64_t size = readBig(bytes, at, 4);
  std::uint64_t header = 8;
  if (size == 1) {  // 64-bit "largesize" follows the type
    if (room < 16) return std::nullopt;
    size = readBig(bytes, at + 8, 8);
    header = 16;
  } else if (size == 0) {  // runs to the end of its parent
    size = room;
  }
  if (size < header || size > room) return std::nullopt;
  std::string_view type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
  return Box{type, {at + header, at + size}, at + size};
}

// Walks the children of `parent`. Every sibling must be well formed, so a truncated or
// overrunning file is refused as a whole rather than read halfway. Finds the first child of
// `type`; `seen`, if given, records whether a child of type `also` appears.
std::optional<Range> findChild(const Bytes& bytes, Range parent, std::string_view type,
                               std::string_view also = {}, bool* seen = nullptr) {
  std::optional<Range> found;
  for (std::uint64_t at = parent.begin; at < parent.end;) {
    auto box = readBox(bytes, at, parent);
    if (!box) return std::nullopt;
    if (!found && box->type == type) found = box->payload;
    if (seen && box->type == also) *seen = true;
    at = box->next;
  }
  return found;
}

// The movie header: a full box (version, flags) with the time scale and the duration.
std::optional<double> readMovieHeader(const Bytes& bytes, Range mvhd) {
  const std::uint64_t length = mvhd.end - mvhd.begin;
  if (length < 4) return std::nullopt;
  const int version = bytes[mvhd.begin];
  // Creation and modification times come first, 32-bit in version 0 and 64-bit in version 1.
  std::uint64_t timeWidth;
  if (version == 0) {
    timeWidth = 4;
  } else if (version == 1) {
    timeWidth = 8;
  } else {
    return std::nullopt;
  }
  const std::uint64_t scaleAt = mvhd.begin + 4 + 2 * timeWidth;
  if (length < 4 + 2 * timeWidth + 4 + timeWidth) return std::nullopt;
  const std::uint64_t timescale = readBig(bytes, scaleAt, 4);
  const std::uint64_t duration = readBig(bytes, scaleAt + 4, static_cast<int>(timeWidth));
  // All ones is the container's way of saying "unknown".
  const std::uint64_t unknown = version == 0 ? 0xFFFFFFFFull : ~0ull;
  if (timescale == 0 || duration == unknown) return std::nullopt;
  return static_cast<double>(duration) / static_cast<double>(timescale);
}

}  // namespace

std::optional<double> mp4Duration(const Bytes& bytes) {
  const Range file{0, bytes.size()};
  bool hasFileType = false;
  auto moov = findChild(bytes, file, "moov", "ftyp", &hasFileType);
  if (!moov || !hasFileType) return std::nullopt;
  auto mvhd = findChild(bytes, *moov, "mvhd");
  if (!mvhd) return std::nullopt;
  return readMovieHeader(bytes, *mvhd);
}

}  // namespace platform
