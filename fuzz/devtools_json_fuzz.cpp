// The JSON codec of the browser's debugging protocol: any text must be refused or read, and
// what it reads must write back to text that reads to the same value.
#include "fuzz/FuzzInput.h"
#include "platform/web/JsonCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  auto value = platform::JsonCodec::parse(text);
  if (value) {
    std::string written = platform::JsonCodec::write(*value);
    auto again = platform::JsonCodec::parse(written);
    if (!again || platform::JsonCodec::write(*again) != written) std::abort();
  }
  return 0;
}
