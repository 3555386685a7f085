#pragma once

#include <string>

#include "platform/foundation/Value.h"

namespace platform {

// A day of the Gregorian calendar.
struct DateComponents {
  int year = 1970;
  int month = 1;
  int day = 1;
  bool operator==(const DateComponents&) const = default;
};

// Midnight at the start of that day in `timeZone` (a zone name; empty: the host's zone).
// Components out of range roll over as calendars do (month 13 is January of the next year).
Date dateFromComponents(const DateComponents& components, const std::string& timeZone);
// The day on which `date` falls in `timeZone`.
DateComponents componentsFromDate(const Date& date, const std::string& timeZone);
// "yyyyMMdd" of the day on which `date` falls in `timeZone`.
std::string compactDayText(const Date& date, const std::string& timeZone);

}  // namespace platform
