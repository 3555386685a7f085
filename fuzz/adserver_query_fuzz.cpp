// Reads arbitrary text as an ad request's query, as the demo ad server does: no crash, the
// bounds hold, and an accepted query encoded again reads back to the same pairs.
#include "fuzz/FuzzInput.h"
#include "platform/foundation/URL.h"
#include "tools/adserver/AdQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text = fuzz::text(data, size);
  auto query = adserver::Query::parse(text);
  if (!query) {
    const std::string reason = query.error().localizedDescription();
    if (reason.empty() || reason.find('\n') != std::string::npos) abort();
    return 0;
  }
  if (query->pairs().size() > adserver::kMaximumQueryPairs) abort();
  std::string again;
  for (const auto& [name, value] : query->pairs()) {
    again += platform::percentEncode(name) + "=" + platform::percentEncode(value) + "&";
  }
  auto reread = adserver::Query::parse(again);
  fuzz::require(text.size() >= adserver::kMaximumQueryLength / 3 ||
                (reread && reread->pairs() == query->pairs()));
  auto request = adserver::readAdRequest(*query);
  if (request && !adserver::isAdUnitID(request->slot)) abort();
  return 0;
}
