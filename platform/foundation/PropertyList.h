#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/Result.h"
#include "platform/foundation/Value.h"

namespace platform {

inline constexpr const char* kPropertyListErrorDomain = "VelourPropertyListErrorDomain";
inline constexpr long kPropertyListErrorMalformed = 1;  // not a well-formed property list

// XML property lists: dictionaries (in their order), arrays, texts, integers, reals, booleans,
// dates (UTC, to the millisecond) and data. A decimal is written as a real with its own text.
// Nulls inside containers are no property-list values and are left out; a null on its own
// gives an empty property list, which reads back as null.
std::string encodePropertyList(const Value& value);
// The value, or an error saying where the text is not a well-formed property list.
Result<Value> decodePropertyList(std::string_view text);

}  // namespace platform
