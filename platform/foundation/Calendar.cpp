#include "platform/foundation/Calendar.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace platform {

namespace {

// The C library knows one zone at a time, the process's; this sets it for the life of one
// conversion and puts the previous one back. Main thread only, as all calendar work is.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& zone) : active_(!zone.empty()) {
    if (!active_) return;
    if (const char* previous = std::getenv("TZ")) previous_ = previous;
    setenv("TZ", zone.c_str(), 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (!active_) return;
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool active_;
  std::optional<std::string> previous_;
};

}  // namespace

Date dateFromComponents(const DateComponents& components, const std::string& timeZone) {
  ScopedTimeZone zone(timeZone);
  std::tm fields{};
  fields.tm_year = components.year - 1900;
  fields.tm_mon = components.month - 1;
  fields.tm_mday = components.day;
  fields.tm_isdst = -1;
  return Date{static_cast<double>(std::mktime(&fields))};
}

DateComponents componentsFromDate(const Date& date, const std::string& timeZone) {
  ScopedTimeZone zone(timeZone);
  std::time_t seconds = static_cast<std::time_t>(std::floor(date.secondsSince1970));
  std::tm fields{};
  if (!localtime_r(&seconds, &fields)) return {};
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday};
}

std::int64_t daysFromCivil(const CivilDay& civil) {
  std::int64_t year = civil.year - (civil.month <= 2);
  std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  std::int64_t yearOfEra = year - era * 400;
  std::int64_t dayOfYear =
      (153 * (civil.month + (civil.month > 2 ? -3 : 9)) + 2) / 5 + civil.day - 1;
  std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilDay civilFromDays(std::int64_t days) {
  days += 719468;
  std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  std::int64_t dayOfEra = days - era * 146097;
  std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t shifted = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  int month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
  return {yearOfEra + era * 400 + (month <= 2), month, day};
}

int daysInMonth(std::int64_t year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string compactDayText(const Date& date, const std::string& timeZone) {
  DateComponents day = componentsFromDate(date, timeZone);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
  return text;
}

}  // namespace platform
