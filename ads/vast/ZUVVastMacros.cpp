#include "ads/vast/ZUVVastMacros.h"

#include <cmath>
#include <cstdio>

#include "ads/vast/ZUVVastAd.h"
#include "platform/foundation/Calendar.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"

namespace {

constexpr const char* kUnknown = "-1";
constexpr const char* kNotApplicable = "-2";

// ISO 8601 in UTC with milliseconds: "2026-12-09T11:00:00.000Z".
std::string timestampText(platform::Date date) {
  double millis = std::floor(date.secondsSince1970 * 1000);
  auto total = static_cast<long long>(millis);
  long long days = total >= 0 ? total / 86400000 : (total - 86399999) / 86400000;
  long long inDay = total - days * 86400000;
  platform::CivilDay day = platform::civilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02lld:%02lld:%02lld.%03lldZ",
                static_cast<long long>(day.year), day.month, day.day, inDay / 3600000,
                inDay / 60000 % 60, inDay / 1000 % 60, inDay % 1000);
  return text;
}

// Eight random digits.
std::string cacheBuster() {
  std::string hex = platform::text::randomHex(8);
  unsigned long value = std::stoul(hex, nullptr, 16) % 100000000;
  char text[16];
  std::snprintf(text, sizeof text, "%08lu", value);
  return text;
}

std::string regulations(const ZUVPrivacySignals& privacy) {
  std::string list;
  auto add = [&](const char* name) { list += (list.empty() ? "" : ",") + std::string(name); };
  if (privacy.gdprApplies == true) add("gdpr");
  if (privacy.childDirected == true) add("coppa");
  if (privacy.usPrivacy) add("ccpa");
  return list.empty() ? kUnknown : list;
}

std::string gdprConsent(const ZUVPrivacySignals& privacy) {
  if (privacy.gdprApplies == false) return kNotApplicable;
  return privacy.tcString && !privacy.tcString->empty() ? *privacy.tcString : kUnknown;
}

std::string macroValue(std::string_view name, const ZUVVastMacroValues& values) {
  if (name == "ERRORCODE") {
    return values.errorCode ? std::to_string(*values.errorCode) : kNotApplicable;
  }
  if (name == "CACHEBUSTING") return cacheBuster();
  if (name == "TIMESTAMP") return timestampText(values.date);
  if (name == "ADPLAYHEAD") {
    return values.adPlayheadSeconds ? ZUVVastTimeText(*values.adPlayheadSeconds) : kUnknown;
  }
  // Ads play on their own, never inside content.
  if (name == "CONTENTPLAYHEAD" || name == "MEDIAPLAYHEAD") return kNotApplicable;
  if (name == "ASSETURI") return values.assetURI.value_or(kUnknown);
  if (name == "REASON") return values.reason ? std::to_string(*values.reason) : kNotApplicable;
  if (name == "LIMITADTRACKING") {
    return values.privacy.limitAdTracking ? (*values.privacy.limitAdTracking ? "1" : "0")
                                          : kUnknown;
  }
  if (name == "GDPRCONSENT") return gdprConsent(values.privacy);
  if (name == "REGULATIONS") return regulations(values.privacy);
  return {};
}

}  // namespace

ZUVVastMacroValues ZUVVastMacroValues::current() {
  ZUVVastMacroValues values;
  values.date = platform::RunLoop::main().currentDate();
  values.privacy = ZUVPrivacy::shared().current();
  return values;
}

std::string ZUVVastExpandMacros(std::string_view url, const ZUVVastMacroValues& values) {
  std::string out;
  out.reserve(url.size());
  std::size_t at = 0;
  while (at < url.size()) {
    std::size_t open = url.find('[', at);
    std::size_t close = open == std::string_view::npos ? open : url.find(']', open);
    if (close == std::string_view::npos) break;
    open = url.rfind('[', close);  // the innermost: "[x[ERRORCODE]" still fills ERRORCODE
    out.append(url, at, open - at);
    std::string_view name = url.substr(open + 1, close - open - 1);
    std::string value = macroValue(name, values);
    if (value.empty()) {
      out.append(url, open, close - open + 1);
    } else {
      out += platform::percentEncode(value);
    }
    at = close + 1;
  }
  out.append(url.substr(std::min(at, url.size())));
  return out;
}
