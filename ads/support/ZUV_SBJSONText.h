#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The byte table and number grammar shared by the JSON reader and writer.
namespace zuv_sbjson {

enum ByteClass : unsigned char {
  kPlain = 0,     // ASCII that a string copies as it is
  kSpecial = 1,   // quotation mark, backslash or a control byte below 0x20
  kMultiByte = 2  // 0x80 and above: part of a UTF-8 sequence, to be checked
};

// Reader: where a run of string bytes stops. Writer: which bytes need escaping.
constexpr std::array<unsigned char, 256> makeByteClasses() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) {
    if (i < 0x20 || i == '"' || i == '\\') {
      table[i] = kSpecial;
    } else if (i >= 0x80) {
      table[i] = kMultiByte;
    }
  }
  return table;
}

inline constexpr std::array<unsigned char, 256> kByteClasses = makeByteClasses();

// Whether text is a whole JSON number: "-", digits without a leading zero, fraction, exponent.
bool isJSONNumber(std::string_view text);

}  // namespace zuv_sbjson
