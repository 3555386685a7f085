// Reads arbitrary text as a page's MRAID message: no crash, and whatever is read names a known
// call whose parameters are clean UTF-8 text and finite numbers.
#include "ads/mraid/ZUVMraidMessage.h"
#include "fuzz/FuzzInput.h"
#include "platform/foundation/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  auto message = ZUVMraidMessage::read(text);
  if (!message) return 0;
  fuzz::require(text.size() <= ZUVMraidMessage::kMaxBytes);
  auto bare = ZUVMraidMessage::read("vozave-mraid:" + std::string(message->name()));
  fuzz::require(bare && bare->call() == message->call());
  for (std::string_view key : {"url", "width", "height", "offsetX", "allowOffscreen"}) {
    if (const std::string* value = message->text(key)) {
      fuzz::require(platform::text::isValidUtf8(*value));
      fuzz::require(value->find('\0') == std::string::npos);
    }
    if (auto number = message->number(key)) fuzz::require(*number == *number);
  }
  return 0;
}
