// Reads arbitrary text as a signal value: no crash, and a value that reads gives named fields
// of format version 1.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ads/signals/ZUVSignals.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto fields = ZUVSignalsDecodeValue(text);
  if (!fields) return 0;
  if (fields->at("v") != "1") abort();
  for (const auto& [key, value] : *fields) {
    if (key.empty() || key.find('&') != std::string::npos) abort();
  }
  return 0;
}
