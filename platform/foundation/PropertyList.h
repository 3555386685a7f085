#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace platform {

// XML property lists: dictionaries (in their order), arrays, texts, integers, reals, booleans,
// dates (UTC, to the millisecond) and data. A decimal is written as a real with its own text.
// Nulls inside containers are no property-list values and are left out; a null on its own
// gives an empty property list, which reads back as null.
std::string encodePropertyList(const Value& value);
// Null result (with `error` set) for text that is not a well-formed property list.
std::optional<Value> decodePropertyList(std::string_view text, std::string* error = nullptr);

}  // namespace platform
