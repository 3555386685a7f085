// Parses arbitrary text as a URL and as a reference against a parsed base: whatever parses
// must give back its own text, and percent-coding must round-trip.
#include "fuzz/FuzzInput.h"
#include "platform/foundation/URL.h"

namespace {

void checkStable(const platform::URL& url) {
  for (char c : url.absoluteString()) {
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) abort();
  }
  auto again = platform::URL::parse(url.absoluteString());
  fuzz::require(again && *again == url && again->scheme() == url.scheme() &&
                again->host() == url.host() && again->port() == url.port() &&
                again->path() == url.path() && again->query() == url.query() &&
                again->fragment() == url.fragment());
  if ((url.scheme() == "http" || url.scheme() == "https") && url.host().empty()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  if (auto url = platform::URL::parse(text)) checkStable(*url);

  // Input "base\nreference" exercises resolution.
  if (auto newline = text.find('\n'); newline != std::string_view::npos) {
    if (auto base = platform::URL::parse(text.substr(0, newline))) {
      if (auto resolved = platform::URL::parse(text.substr(newline + 1), *base)) {
        checkStable(*resolved);
      }
    }
  }
  if (platform::percentDecode(platform::percentEncode(text)) != text) abort();
  return 0;
}
