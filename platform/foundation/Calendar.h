#pragma once

#include <cstdint>
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

// A day of the proleptic Gregorian calendar, for date formats that name days far from today.
struct CivilDay {
  std::int64_t year = 1970;
  int month = 1;
  int day = 1;
  bool operator==(const CivilDay&) const = default;
};

// Days from 1970-01-01 to that day, negative before it; no time zone.
std::int64_t daysFromCivil(const CivilDay& day);
// The day that many days after 1970-01-01.
CivilDay civilFromDays(std::int64_t days);
// The days of `month` (1 to 12) in `year`.
int daysInMonth(std::int64_t year, int month);

}  // namespace platform
