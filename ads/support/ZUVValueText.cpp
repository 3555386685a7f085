#include "ads/support/ZUVValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include "platform/foundation/Text.h"

namespace {

std::string shortestDouble(double value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string dateText(platform::Date date) {
  // Whole seconds, as the date's own description gives them; years beyond what the calendar
  // of the host can hold keep the number rather than a wrong day.
  const double seconds = std::floor(date.secondsSince1970);
  std::tm parts{};
  const auto whole = static_cast<std::time_t>(seconds);
  if (!(std::fabs(seconds) < 1e15) || !gmtime_r(&whole, &parts)) {
    return shortestDouble(date.secondsSince1970);
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d +0000", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return buffer;
}

std::int64_t leadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (__builtin_mul_overflow(value, 10, &value) ||
        __builtin_add_overflow(value, negative ? -digit : digit, &value)) {
      return negative ? std::numeric_limits<std::int64_t>::min()
                      : std::numeric_limits<std::int64_t>::max();
    }
  }
  return value;
}

}  // namespace

std::string ZUVTextForm(const platform::Value& value) {
  using Kind = platform::Value::Kind;
  switch (value.kind()) {
    case Kind::String:
      return value.stringValue();
    case Kind::Integer:
      return std::to_string(value.integerValue());
    case Kind::Real:
      return shortestDouble(value.doubleValue());
    case Kind::Decimal:
      return value.decimalText();
    case Kind::Boolean:
      return value.boolValue() ? "1" : "0";
    case Kind::Data:
      return platform::text::bytesDescription(platform::text::view(value.dataValue()));
    case Kind::Date:
      return dateText(value.dateValue());
    default:
      return value.debugDescription();
  }
}

std::int64_t ZUVIntegerValue(const platform::Value& value) {
  return value.isString() ? leadingInteger(value.stringValue()) : value.integerValue();
}
