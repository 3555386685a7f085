#include "ads/support/ZUVNumberUtilities.h"

#include <cstdio>

std::string ZUVNumberUtilities::stringWithFloat(float value) {
  char buffer[64];
  int length = std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  if (length < 0) return {};
  std::string text(buffer, static_cast<std::size_t>(length) < sizeof buffer
                               ? static_cast<std::size_t>(length)
                               : sizeof buffer - 1);
  if (text.find('.') == std::string::npos) return text;  // nan, inf
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  // A tiny negative value must not read as a signed zero.
  if (text == "-0") text = "0";
  return text;
}
