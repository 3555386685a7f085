#include "platform/web/WebRequest.h"

#include <algorithm>

namespace platform {

namespace {

bool sameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

std::string WebRequest::valueForHTTPHeaderField(std::string_view name) const {
  for (const auto& [field, value] : headers_) {
    if (sameName(field, name)) return value;
  }
  return "";
}

void WebRequest::setValueForHTTPHeaderField(std::string_view value, std::string_view name) {
  for (auto& [field, existing] : headers_) {
    if (sameName(field, name)) {
      existing = value;
      return;
    }
  }
  headers_.emplace_back(std::string(name), std::string(value));
}

}  // namespace platform
