#pragma once

#include <string>

#include "platform/foundation/Time.h"

namespace platform {

// Durations as the log lines that name a limit or a time-out show them.

// Seconds with no trailing zeros: "0.3", "10".
inline std::string secondsText(Duration value) {
  std::string text = std::to_string(toSeconds(value));
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace platform
