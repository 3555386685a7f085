// Reads arbitrary bytes as the store metadata file: the reader never fails, and gives the
// property list's dictionary when there is one and an empty dictionary otherwise.
#include "ads/support/ZUVIdentifierUtilities.h"
#include "fuzz/FuzzInput.h"
#include "platform/foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  platform::Dictionary metadata = ZUVIdentifierUtilities::iTunesMetadataFromData(text);
  auto list = platform::decodePropertyList(text);
  bool isDictionary = list && list->isDictionary();
  if (!isDictionary && !metadata.empty()) std::abort();
  if (isDictionary && metadata.keys() != list->dictionaryValue().keys()) std::abort();
  return 0;
}
