// Whatever the JSON reader accepts must write back and read again to an equal value; whatever
// it refuses must come back as an error of its own domain with a known code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ads/support/ZUV_SBJSON.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the options, the rest is the text.
  const uint8_t options = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  ZUV_SBJSON json;
  json.setHumanReadable(options & 1);
  json.setSortKeys(options & 2);
  if (options & 4) json.setMaxDepth(0);

  platform::Error error;
  auto value = json.fragmentWithStringError(text, &error);
  if (!value) {
    require(error.domain == ZUV_SBJSONErrorDomain);
    require(error.code >= 2 && error.code <= 11);
    require(!error.localizedDescription().empty());
    return 0;
  }
  auto written = json.stringWithFragmentError(*value, &error);
  require(written.has_value());
  auto again = json.fragmentWithStringError(*written, &error);
  require(again.has_value());
  require(*again == *value);
  auto rewritten = json.stringWithFragmentError(*again, &error);
  require(rewritten.has_value() && *rewritten == *written);
  return 0;
}
