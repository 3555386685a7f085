#pragma once

#include <string>

#include "platform/foundation/Export.h"
#include "platform/foundation/Value.h"

namespace platform {

// A failure reported as a value: a domain, a code and user information.
struct VOZAVE_API Error {
  std::string domain;
  long code = 0;
  Dictionary userInfo;

  static constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";

  static Error make(std::string domain, long code, std::string description);
  std::string localizedDescription() const;
};

}  // namespace platform
