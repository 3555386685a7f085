#pragma once

/// @file
/// platform::Error: a failure reported as a value (domain, code and user information).

#include <string>

#include "velourphone/Export.h"
#include "velourphone/Value.h"

namespace platform {

// A failure reported as a value: a domain, a code and user information.
struct VOZAVE_API Error {
  std::string domain;   // who made it, e.g. kZUVErrorDomain
  long code = 0;        // what went wrong, in the domain's numbering
  Dictionary userInfo;  // the message (kLocalizedDescriptionKey) and any details

  static constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";  // message

  static Error make(std::string domain, long code, std::string description);  // with a message
  std::string localizedDescription() const;  // the message, or one made of domain and code
};

}  // namespace platform
