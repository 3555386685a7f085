#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class ZUVMacros {
 public:
  // Null for no object; the JSON text of a dictionary or an array; the empty text when the
  // writer refuses the value.
  static std::optional<std::string> jsonify(const std::optional<platform::Value>& object);
};
