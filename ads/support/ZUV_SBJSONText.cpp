#include "ads/support/ZUV_SBJSONText.h"

namespace zuv_sbjson {

namespace {

bool isDigit(char byte) {
  return byte >= '0' && byte <= '9';
}

// Moves i past a run of digits; false when there is none.
bool skipDigits(std::string_view text, std::size_t& i) {
  const std::size_t start = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  return i > start;
}

}  // namespace

bool isJSONNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') ++i;
  if (i < text.size() && text[i] == '0') {
    ++i;
  } else if (!skipDigits(text, i)) {
    return false;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    if (!skipDigits(text, i)) return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!skipDigits(text, i)) return false;
  }
  return i == text.size();
}

}  // namespace zuv_sbjson
