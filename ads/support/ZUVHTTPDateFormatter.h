#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

// Writes and reads the HTTP date form "EEE, dd MMM yyyy HH:mm:ss" in GMT. Written dates end
// with " GMT", as an HTTP date must, so that strict servers understand "If-Modified-Since".
// Read dates may end with " GMT", with the blank alone (a "Last-Modified" cut before its
// zone) or right after the seconds.
class ZUVHTTPDateFormatter {
 public:
  // Whole seconds, rounded down. Empty for a date outside the years 0 to 9999.
  std::string stringFromDate(platform::Date date) const;
  // Null unless the text is a valid date of that form.
  std::optional<platform::Date> dateFromString(std::string_view text) const;
};
