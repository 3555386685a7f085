// Reads arbitrary text as a "Last-Modified" value: the cut before "GMT" must be a prefix
// without "GMT", and every date that reads must write back as a full HTTP date that reads
// as the same date. The first eight bytes also serve as a date to write and read back.
#include <cstring>

#include "ads/support/ZUVCachedFile.h"
#include "fuzz/FuzzInput.h"

namespace {

void checkRoundTrip(const ZUVHTTPDateFormatter& formatter, platform::Date date) {
  std::string text = formatter.stringFromDate(date);
  if (text.empty()) return;
  if (text.size() != 29 || !text.ends_with(" GMT")) abort();
  auto back = formatter.dateFromString(text);
  if (!back || back->secondsSince1970 != date.secondsSince1970) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  auto formatter = ZUVCachedFile::formatterForHTTPDate();

  auto cut = ZUVCachedFile::modificationDateFromLastModified(text);
  if (!cut || !text.starts_with(*cut) || cut->find("GMT") != std::string::npos) abort();
  std::size_t zone = text.find("GMT");
  if (cut->size() != (zone == std::string::npos ? text.size() : zone)) abort();

  for (const std::string& candidate : {text, *cut}) {
    auto date = formatter.dateFromString(candidate);
    if (!date) continue;
    fuzz::require(date->secondsSince1970 ==
                  static_cast<double>(static_cast<std::int64_t>(date->secondsSince1970)));
    if (formatter.stringFromDate(*date).empty()) abort();
    checkRoundTrip(formatter, *date);
  }

  if (size >= 8) {
    std::int64_t seconds;
    std::memcpy(&seconds, data, sizeof seconds);
    checkRoundTrip(formatter, platform::Date{static_cast<double>(seconds % 400000000000LL)});
  }
  return 0;
}
