#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/Result.h"
#include "platform/foundation/Value.h"

namespace platform {

inline constexpr const char* kJsonErrorDomain = "VelourJsonErrorDomain";
inline constexpr long kJsonErrorMalformed = 1;  // the text is not one JSON value

// The JSON of the browser's debugging protocol over Value. Integers that fit 64 bits read as
// integers, other numbers as reals; binary data is written as base-64 text, as the protocol
// carries it. Text that is not valid UTF-8 is read and written with U+FFFD in place of each
// bad byte, because the browser drops a whole message that holds invalid UTF-8.
class JsonCodec {
 public:
  // Containers nested deeper than this are refused rather than read by deep recursion.
  static constexpr int kMaximumDepth = 200;

  // The value of `text`, or an error saying where it is not one JSON value.
  static Result<Value> parse(std::string_view text);
  static std::string write(const Value& value);
};

}  // namespace platform
