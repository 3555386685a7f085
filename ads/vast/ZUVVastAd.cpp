#include "ads/vast/ZUVVastAd.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/foundation/Text.h"

namespace {

// The whole of `text` as digits, or null.
std::optional<long> digits(std::string_view text) {
  long value = 0;
  if (text.empty() || text.size() > 9) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

}  // namespace

platform::Error ZUVVastError(ZUVVastErrorCode code, std::string message) {
  return platform::Error::make(kZUVVastErrorDomain, code, std::move(message));
}

std::optional<double> ZUVVastParseTime(std::string_view text) {
  text = platform::text::trimmed(text);
  std::string_view fraction;
  if (auto dot = text.find('.'); dot != std::string_view::npos) {
    fraction = text.substr(dot + 1);
    text = text.substr(0, dot);
    if (fraction.empty() || fraction.size() > 3 || !digits(fraction)) return std::nullopt;
  }
  auto first = text.find(':');
  auto second = text.rfind(':');
  if (first == std::string_view::npos || first == second) return std::nullopt;
  auto hours = digits(text.substr(0, first));
  auto minutesText = text.substr(first + 1, second - first - 1);
  auto secondsText = text.substr(second + 1);
  if (minutesText.size() != 2 || secondsText.size() != 2) return std::nullopt;
  auto minutes = digits(minutesText);
  auto seconds = digits(secondsText);
  if (!hours || !minutes || !seconds || *minutes > 59 || *seconds > 59) return std::nullopt;
  double value = static_cast<double>(*hours * 3600 + *minutes * 60 + *seconds);
  if (!fraction.empty()) value += *digits(fraction) / std::pow(10.0, fraction.size());
  return value;
}

std::string ZUVVastTimeText(double seconds) {
  if (!(seconds >= 0)) seconds = 0;
  auto millis = static_cast<long long>(std::llround(std::min(seconds, 1e9) * 1000));
  char text[40];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", millis / 3600000,
                millis / 60000 % 60, millis / 1000 % 60, millis % 1000);
  return text;
}

std::optional<ZUVVastOffset> ZUVVastOffset::parse(std::string_view text) {
  text = platform::text::trimmed(text);
  if (!text.empty() && text.back() == '%') {
    std::string_view number = text.substr(0, text.size() - 1);
    double value = -1;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
        !(value >= 0 && value <= 100)) {
      return std::nullopt;
    }
    return ZUVVastOffset{true, value};
  }
  auto seconds = ZUVVastParseTime(text);
  if (!seconds) return std::nullopt;
  return ZUVVastOffset{false, *seconds};
}

std::string ZUVVastOffset::description() const {
  char text[40];
  std::snprintf(text, sizeof text, isPercent ? "%g%%" : "%gs", value);
  return text;
}

std::vector<std::string> ZUVVastAd::trackingURLs(std::string_view event) const {
  std::vector<std::string> urls;
  for (const ZUVVastTracking& entry : tracking) {
    if (entry.event == event) urls.push_back(entry.url);
  }
  return urls;
}

const ZUVVastAd* ZUVVastDocument::adToPlay() const {
  const ZUVVastAd* chosen = nullptr;
  for (const ZUVVastAd& ad : ads) {
    if (ad.sequence && (!chosen || !chosen->sequence || *ad.sequence < *chosen->sequence)) {
      chosen = &ad;
    }
  }
  if (chosen) return chosen;
  return ads.empty() ? nullptr : &ads.front();
}
