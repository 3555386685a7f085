#include "tools/adserver/AdQuery.h"

#include <algorithm>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVParameterKeys.h"
#include "platform/foundation/URL.h"

namespace adserver {

namespace {

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool escapesAreWellFormed(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
      return false;
    }
    i += 2;
  }
  return true;
}

}  // namespace

platform::Result<Query> Query::parse(std::string_view text) {
  auto refuse = [](std::string reason) -> platform::Result<Query> {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadQuery, std::move(reason));
  };
  if (text.size() > kMaximumQueryLength) {
    return refuse("query longer than " + std::to_string(kMaximumQueryLength) + " bytes");
  }
  Query query;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = std::min(text.find('&', start), text.size());
    std::string_view pair = text.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    if (query.pairs_.size() == kMaximumQueryPairs) {
      return refuse("more than " + std::to_string(kMaximumQueryPairs) + " query parameters");
    }
    if (!escapesAreWellFormed(pair)) {
      return refuse("malformed %-escape in the query");
    }
    std::size_t equals = pair.find('=');
    std::string name = platform::percentDecode(pair.substr(0, equals));
    std::string value =
        equals == std::string_view::npos ? "" : platform::percentDecode(pair.substr(equals + 1));
    if (name.empty()) {
      return refuse("query parameter without a name");
    }
    if (query.find(name)) {
      return refuse("query parameter " + quotedForReason(name) + " given twice");
    }
    query.pairs_.emplace_back(std::move(name), std::move(value));
  }
  return query;
}

const std::string* Query::find(std::string_view name) const {
  for (const auto& [key, value] : pairs_) {
    if (key == name) return &value;
  }
  return nullptr;
}

std::string quotedForReason(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string quoted = "\"";
  for (char c : text.substr(0, kShown)) {
    quoted += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
  }
  return quoted + (text.size() > kShown ? "...\"" : "\"");
}

bool isAdUnitID(std::string_view text) {
  return text.size() == 15 && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

platform::Result<std::optional<SignalFields>> readSignal(const Query& query,
                                                         std::string_view name) {
  const std::string* text = query.find(name);
  if (!text) return std::optional<SignalFields>();
  std::optional<SignalFields> fields = ZUVSignalsDecodeValue(*text);
  if (!fields) {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadQuery,
                                 "unreadable signal text in \"" + std::string(name) + "\"");
  }
  return fields;
}

platform::Result<AdRequest> readAdRequest(const Query& query) {
  const std::string* slot = query.find("slotname");
  if (!slot || !isAdUnitID(*slot)) {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadQuery,
                                 "\"slotname\" must be 15 lower-case hexadecimal digits");
  }
  AdRequest request;
  request.slot = *slot;
  auto signals = readSignal(query, "ms");
  if (!signals) return signals.error();
  request.signals = std::move(signals).value();
  for (const auto& [name, value] : query.pairs()) {
    if (name != "ms") request.parameters.set(name, platform::Value(value));
  }
  if (const std::string* vast = query.find(kZUVParameterVast)) {
    std::size_t semicolon = vast->find(';');
    request.announcesVast =
        semicolon != std::string::npos && semicolon > 0 && semicolon + 1 < vast->size();
  }
  return request;
}

}  // namespace adserver
