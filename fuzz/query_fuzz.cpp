// Parses arbitrary text as a query string: no crash, every key lower case, and every pair
// found again when the parsed pairs are encoded and parsed once more.
#include "ads/support/ZUVNetworkUtilities.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  auto pairs = ZUVNetworkUtilities::dictionaryFromQueryString(text);
  std::string again;
  for (const auto& [key, value] : pairs) {
    for (char c : key) {
      if (c >= 'A' && c <= 'Z') abort();
    }
    if (!value.isString()) abort();
    again += ZUVNetworkUtilities::encodeURL(key) + "=" +
             ZUVNetworkUtilities::encodeURL(value.stringValue()) + "&";
  }
  if (!(ZUVNetworkUtilities::dictionaryFromQueryString(again) == pairs)) abort();
  return 0;
}
