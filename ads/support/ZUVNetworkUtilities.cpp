#include "ads/support/ZUVNetworkUtilities.h"

#include <cstdint>
#include <vector>

#include "ads/support/ZUVValueText.h"
#include "platform/foundation/Text.h"

namespace {

std::optional<std::string>& storedUserAgent() {
  static std::optional<std::string> userAgent;
  return userAgent;
}

// Length of the blank or line break at `i` (ASCII and the Unicode spaces and separators), or 0.
std::size_t blankLength(std::string_view text, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (platform::text::isASCIIBlank(static_cast<char>(c))) return 1;
  std::size_t length = platform::text::utf8SequenceLength(text, i);
  if (length < 2) return 0;
  std::string_view s = text.substr(i, length);
  if (s == "\u0085" || s == "\u00A0" || s == "\u1680" || s == "\u2028" || s == "\u2029" ||
      s == "\u202F" || s == "\u205F" || s == "\u3000") {
    return length;
  }
  if (length == 3 && s.substr(0, 2) == "\xE2\x80" && static_cast<unsigned char>(s[2]) <= 0x8A) {
    return length;  // U+2000 to U+200A
  }
  return 0;
}

bool isQueryDelimiter(char c) {
  return c == '&' || c == ';';
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// The components between runs of "&" and ";", leading blanks of each skipped.
std::vector<std::string_view> queryComponents(std::string_view query) {
  std::vector<std::string_view> components;
  std::size_t i = 0;
  while (i < query.size()) {
    while (i < query.size()) {
      std::size_t blank = blankLength(query, i);
      if (blank == 0) break;
      i += blank;
    }
    std::size_t start = i;
    while (i < query.size() && !isQueryDelimiter(query[i])) ++i;
    if (i > start) components.push_back(query.substr(start, i - start));
    while (i < query.size() && isQueryDelimiter(query[i])) ++i;
  }
  return components;
}

}  // namespace

std::optional<std::string> ZUVStrictPercentDecode(std::string_view text) {
  auto out = platform::text::strictPercentDecode(text);
  if (!out || !platform::text::isValidUtf8(*out)) return std::nullopt;
  return out;
}

std::optional<std::string> ZUVNetworkUtilities::userAgentString() {
  return storedUserAgent();
}

void ZUVNetworkUtilities::setUserAgentString(std::string_view userAgent) {
  auto& stored = storedUserAgent();
  if (userAgent.empty() || (stored && *stored == userAgent)) return;
  stored = std::string(userAgent);
}

platform::Dictionary ZUVNetworkUtilities::dictionaryFromQueryString(
    std::optional<std::string_view> query) {
  platform::Dictionary pairs;
  if (!query) return pairs;
  for (std::string_view component : queryComponents(*query)) {
    auto pieces = split(component, '=');
    if (pieces.size() != 2) continue;
    auto key = ZUVStrictPercentDecode(pieces[0]);
    auto value = ZUVStrictPercentDecode(pieces[1]);
    if (!key || !value) continue;
    pairs.set(platform::text::asciiLowercase(*key), std::move(*value));
  }
  return pairs;
}

std::optional<std::string> ZUVNetworkUtilities::parameterValueForKeyFromURL(
    std::string_view key, const platform::URL& url) {
  for (std::string_view component : split(url.query(), '&')) {
    auto pieces = split(component, '=');
    if (pieces.size() >= 2 && pieces[0] == key) return std::string(pieces[1]);
  }
  return std::nullopt;
}

std::optional<platform::URL> ZUVNetworkUtilities::appendQueryParametersToURL(
    const platform::Dictionary& parameters, const platform::URL& url) {
  // Pairs go before a fragment, where a server sees them.
  std::string text = url.absoluteString();
  std::string fragment;
  if (std::size_t hash = text.find('#'); url.hasFragment() && hash != std::string::npos) {
    fragment = text.substr(hash);
    text.erase(hash);
  }
  const char* separator = url.query().empty() ? "?" : "&";
  for (const auto& [key, value] : parameters) {
    text += separator;
    separator = "&";
    text += key;
    std::string encoded = encodeURL(ZUVTextForm(value));
    if (!encoded.empty()) text += "=" + encoded;
  }
  return platform::URL::parse(text + fragment);
}

std::optional<platform::URL> ZUVNetworkUtilities::appendQueryKeyValueToURL(
    std::string_view key, std::optional<std::string_view> value, const platform::URL& url) {
  return appendQueryParametersToURL({{std::string(key), value.value_or("")}}, url);
}

std::string ZUVNetworkUtilities::encodeURL(std::string_view text) {
  return platform::percentEncode(text);
}
