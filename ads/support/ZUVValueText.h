#pragma once

#include <cstdint>
#include <string>

#include "platform/foundation/Value.h"

// How the ad client reads a value as text or as a count wherever the object model would ask
// the value itself: the JSON writer and query appending write non-JSON values as their text
// form, and the statistics count a stored text by the number it holds.

// Texts as they are; numbers in decimal (booleans 1 and 0); data as lower-case hex in angle
// brackets with a blank after every four bytes ("<01020304 05>"); dates in UTC as
// "YYYY-MM-DD HH:MM:SS +0000"; anything else as its readable description.
std::string ZUVTextForm(const platform::Value& value);

// A number's integer part; a text's leading decimal integer after blanks and an optional sign
// (0 when it has none, the end of the range when it overflows); 0 for anything else.
std::int64_t ZUVIntegerValue(const platform::Value& value);
