#include "platform/ui/Geometry.h"

#include <cmath>
#include <cstdio>

namespace platform {

std::string describeNumber(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string describeRect(const Rect& rect) {
  return describeNumber(rect.origin.x) + "," + describeNumber(rect.origin.y) + "," +
         describeNumber(rect.size.width) + "," + describeNumber(rect.size.height);
}

}  // namespace platform
