#include "platform/ui/Geometry.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/foundation/Text.h"

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

namespace {

bool finiteNumber(std::string_view text, double& value) {
  text = text::trimmed(text, " \t");
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && std::isfinite(value);
}

}  // namespace

std::optional<Point> pointFromText(std::string_view text) {
  const auto comma = text.find(',');
  Point point;
  if (comma == std::string_view::npos || !finiteNumber(text.substr(0, comma), point.x) ||
      !finiteNumber(text.substr(comma + 1), point.y)) {
    return std::nullopt;
  }
  return point;
}

}  // namespace platform
