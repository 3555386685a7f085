#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"

// Query strings and the process-wide user agent text.
class ZUVNetworkUtilities {
 public:
  // Absent until a web view's request has been seen.
  static std::optional<std::string> userAgentString();
  // An empty text is ignored.
  static void setUserAgentString(std::string_view userAgent);

  // The pairs of "k=v&k2=v2;k3=v3", keys decoded and lower-cased, values decoded; a later pair
  // replaces an earlier one. Components without exactly one "=", or with an escape that does
  // not decode to UTF-8, are skipped.
  static platform::Dictionary dictionaryFromQueryString(std::optional<std::string_view> query);

  // The first value of `key` (matched exactly) in the URL's query, still percent-encoded.
  static std::optional<std::string> parameterValueForKeyFromURL(std::string_view key,
                                                                const platform::URL& url);

  // The URL with "key=encoded value" pairs appended in the dictionary's order; keys are taken
  // as they are, an empty value appends the key alone. Null when the result is not a URL.
  static std::optional<platform::URL> appendQueryParametersToURL(
      const platform::Dictionary& parameters, const platform::URL& url);
  static std::optional<platform::URL> appendQueryKeyValueToURL(
      std::string_view key, std::optional<std::string_view> value, const platform::URL& url);

  // Every byte outside A-Z a-z 0-9 - . _ ~ becomes %XX, so existing escapes are encoded again.
  static std::string encodeURL(std::string_view text);
};

// Decodes %XX escapes; null for a malformed escape or for bytes that are not valid UTF-8.
std::optional<std::string> ZUVStrictPercentDecode(std::string_view text);
