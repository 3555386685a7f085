// Reads arbitrary text as a signal value: no crash, and a value that reads gives named fields
// of format version 1.
#include "ads/signals/ZUVSignals.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  auto fields = ZUVSignalsDecodeValue(text);
  if (!fields) return 0;
  if (fields->at("v") != "1") abort();
  for (const auto& [key, value] : *fields) {
    if (key.empty() || key.find('&') != std::string::npos) abort();
  }
  return 0;
}
