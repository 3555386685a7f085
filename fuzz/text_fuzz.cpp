// Decodes arbitrary text as base 64 and checks the UTF-8 test against a scalar-by-scalar
// decoder: no crash, decoded bytes encode to text that decodes to them again (web-safe base 64:
// to the very text), and text the validator accepts is rebuilt exactly by appending its
// scalars; any text made one line holds no control character.
#include "fuzz/FuzzInput.h"
#include "platform/foundation/Text.h"

namespace text = platform::text;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = fuzz::text(data, size);
  if (auto bytes = text::base64Decode(input, "\r\n ")) {
    if (text::base64Decode(text::base64Encode(*bytes)) != *bytes) abort();
  }
  // Web-safe base 64 has one text for each value.
  if (auto bytes = text::base64UrlDecode(input)) {
    if (text::base64UrlEncode(*bytes) != input) abort();
  }
  // One line of a terminal: UTF-8 without C0, DEL or C1 controls, within its bound.
  std::string line = text::singleLine(input, 64);
  if (!text::isValidUtf8(line) || line.size() > 64 + 8 + 32) abort();
  for (std::size_t i = 0; i < line.size(); ++i) {
    auto byte = static_cast<unsigned char>(line[i]);
    if (byte < 0x20 || byte == 0x7F) abort();
    if (byte == 0xC2 && static_cast<unsigned char>(line[i + 1]) < 0xA0) abort();
  }
  if (!text::isValidUtf8(input)) return 0;
  std::string rebuilt;
  for (std::size_t i = 0; i < input.size();) {
    std::size_t length = text::utf8SequenceLength(input, i);
    if (length == 0) abort();
    char32_t scalar = static_cast<unsigned char>(input[i]);
    if (length > 1) {
      scalar &= 0x7F >> length;
      for (std::size_t k = 1; k < length; ++k) {
        scalar = (scalar << 6) | (static_cast<unsigned char>(input[i + k]) & 0x3F);
      }
    }
    text::appendUtf8(rebuilt, scalar);
    i += length;
  }
  if (rebuilt != input) abort();
  return 0;
}
