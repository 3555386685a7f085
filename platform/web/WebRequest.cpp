#include "platform/web/WebRequest.h"

#include "platform/foundation/Text.h"

namespace platform {

std::string WebRequest::valueForHTTPHeaderField(std::string_view name) const {
  for (const auto& [field, value] : headers_) {
    if (text::equalsIgnoringASCIICase(field, name)) return value;
  }
  return "";
}

void WebRequest::setValueForHTTPHeaderField(std::string_view value, std::string_view name) {
  for (auto& [field, existing] : headers_) {
    if (text::equalsIgnoringASCIICase(field, name)) {
      existing = value;
      return;
    }
  }
  headers_.emplace_back(std::string(name), std::string(value));
}

}  // namespace platform
