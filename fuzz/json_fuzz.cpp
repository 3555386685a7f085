// Whatever the JSON reader accepts must write back and read again to an equal value; whatever
// it refuses must come back as an error of its own domain with a known code.
#include "ads/support/ZUV_SBJSON.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the options, the rest is the text.
  const uint8_t options = data[0];
  std::string_view text = fuzz::text(data + 1, size - 1);

  ZUV_SBJSON json;
  json.setHumanReadable(options & 1);
  json.setSortKeys(options & 2);
  if (options & 4) json.setMaxDepth(0);

  platform::Error error;
  auto value = json.fragmentWithStringError(text, &error);
  if (!value) {
    fuzz::require(error.domain == ZUV_SBJSONErrorDomain);
    fuzz::require(error.code >= 2 && error.code <= 11);
    fuzz::require(!error.localizedDescription().empty());
    return 0;
  }
  auto written = json.stringWithFragmentError(*value, &error);
  fuzz::require(written.has_value());
  auto again = json.fragmentWithStringError(*written, &error);
  fuzz::require(again.has_value());
  fuzz::require(*again == *value);
  auto rewritten = json.stringWithFragmentError(*again, &error);
  fuzz::require(rewritten.has_value() && *rewritten == *written);
  return 0;
}
