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

std::string compactDayText(const Date& date, const std::string& timeZone) {
  DateComponents day = componentsFromDate(date, timeZone);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d", day.year, day.month, day.day);
  return text;
}

}  // namespace platform
