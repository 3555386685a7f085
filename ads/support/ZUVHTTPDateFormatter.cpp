#include "ads/support/ZUVHTTPDateFormatter.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Text.h"

namespace {

constexpr std::array<const char*, 7> kWeekdays = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::int64_t kSecondsPerDay = 86400;

// A reader over the text that takes fixed pieces in order.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool literal(std::string_view expected) {
    if (text_.substr(0, expected.size()) != expected) return false;
    text_.remove_prefix(expected.size());
    return true;
  }
  // The index of the three-letter name in `names` (any case), or -1.
  template <std::size_t N>
  int name(const std::array<const char*, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
      if (platform::text::equalsIgnoringASCIICase(text_.substr(0, 3), names[i])) {
        text_.remove_prefix(3);
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  // Exactly `width` decimal digits, or -1.
  int digits(std::size_t width) {
    if (text_.size() < width) return -1;
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      if (text_[i] < '0' || text_[i] > '9') return -1;
      value = value * 10 + (text_[i] - '0');
    }
    text_.remove_prefix(width);
    return value;
  }
  // What may follow the seconds: blanks, then "GMT" or nothing.
  bool zoneAndEnd() {
    while (!text_.empty() && text_.front() == ' ') text_.remove_prefix(1);
    literal("GMT");
    return text_.empty();
  }

 private:
  std::string_view text_;
};

}  // namespace

std::string ZUVHTTPDateFormatter::stringFromDate(platform::Date date) const {
  double floored = std::floor(date.secondsSince1970);
  // Years 0 to 9999 keep the four-digit year of the form.
  if (!(floored >= -62167219200.0 && floored < 253402300800.0)) return {};
  auto seconds = static_cast<std::int64_t>(floored);
  std::int64_t days =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  std::int64_t secondOfDay = seconds - days * kSecondsPerDay;
  platform::CivilDay civil = platform::civilFromDays(days);
  std::int64_t weekday = ((days % 7) + 7) % 7;
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04lld %02d:%02d:%02d GMT", kWeekdays[weekday],
                civil.day, kMonths[civil.month - 1], static_cast<long long>(civil.year),
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60));
  return text;
}

std::optional<platform::Date> ZUVHTTPDateFormatter::dateFromString(std::string_view text) const {
  Cursor cursor(text);
  if (cursor.name(kWeekdays) < 0 || !cursor.literal(", ")) return std::nullopt;
  int day = cursor.digits(2);
  if (day < 0 || !cursor.literal(" ")) return std::nullopt;
  int month = cursor.name(kMonths) + 1;
  if (month <= 0 || !cursor.literal(" ")) return std::nullopt;
  int year = cursor.digits(4);
  if (year < 0 || !cursor.literal(" ")) return std::nullopt;
  int hour = cursor.digits(2);
  if (hour < 0 || !cursor.literal(":")) return std::nullopt;
  int minute = cursor.digits(2);
  if (minute < 0 || !cursor.literal(":")) return std::nullopt;
  int second = cursor.digits(2);
  if (second < 0 || !cursor.zoneAndEnd()) return std::nullopt;
  if (day < 1 || day > platform::daysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59) {
    return std::nullopt;
  }
  std::int64_t seconds = platform::daysFromCivil({year, month, day}) * kSecondsPerDay +
                         hour * 3600 + minute * 60 + second;
  return platform::Date{static_cast<double>(seconds)};
}
