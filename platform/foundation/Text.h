#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The byte-level text helpers that every layer shares: UTF-8 checks and encoding, RFC 4648
// base 64, hexadecimal digits, ASCII case and blanks. Readers of untrusted text (JSON, property
// lists, HTTP headers, queries, ad messages) call these, so that one rule holds everywhere.
namespace platform::text {

// Length of the well-formed UTF-8 sequence that starts at `i` (no overlong forms, surrogates
// or values past U+10FFFF), or 0 where none starts there. `i` must be inside `text`.
inline std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || text.size() - i < length) return 0;
  unsigned char second = byte(i + 1);
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (second < low || second > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return length;
}

// Raw bytes seen as text, without a copy.
inline std::string_view view(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

[[nodiscard]] bool isValidUtf8(std::string_view text);
// True when every byte is below 0x80.
[[nodiscard]] bool isASCII(std::string_view text);

// Appends the UTF-8 form of a Unicode scalar value; a surrogate or a value past U+10FFFF is
// written as U+FFFD.
void appendUtf8(std::string& out, char32_t scalar);

// RFC 4648 base 64 with the standard alphabet and "=" padding.
std::string base64Encode(std::string_view bytes);
// Decodes base 64; the characters in `skipped` (line ends, blanks) may stand anywhere. The
// padding may be left out, but nothing but skipped characters may follow it. Null for any
// other character or a group that cannot hold whole bytes.
[[nodiscard]] std::optional<std::string> base64Decode(std::string_view text,
                                                      std::string_view skipped = {});

// RFC 4648 base 64 with the URL- and file-safe alphabet ("-" and "_") and no padding, for
// values that go into a query as they are.
std::string base64UrlEncode(std::string_view bytes);
// Decodes unpadded base64url. Null for any other character (padding included), a lone last
// character, or last bits that are not zero: each text decodes only if it is what
// base64UrlEncode writes for its bytes.
[[nodiscard]] std::optional<std::string> base64UrlDecode(std::string_view text);

// `text` safe inside HTML or XML text and quoted attributes: & < > " and ' as references.
std::string markupEscaped(std::string_view text);

// Past this many bytes of output, singleLine cuts the text and says how much it left out.
inline constexpr std::size_t kSingleLineMaxBytes = 2048;
// `text` for one line of a terminal or log, so that a page, a server or a mail can neither
// break the line nor steer the terminal: backslash, line ends and tab as "\\", "\n", "\r",
// "\t"; other C0 controls, DEL and bytes that are not UTF-8 as "\xNN"; C1 controls as
// "\u00NN". Longer results end in "... (N more bytes)", N counting bytes of `text`.
std::string singleLine(std::string_view text, std::size_t maxBytes = kSingleLineMaxBytes);

// SipHash-1-3 of `text` under a key drawn once a process. Indexes of names that come from the
// network (JSON members, HTTP header fields) hash with it: with a fixed hash a peer could pick
// names that all land in one slot and make every lookup a scan.
std::uint64_t keyedHash(std::string_view text);
struct KeyedHash {
  std::size_t operator()(std::string_view text) const { return keyedHash(text); }
};

// The character that a JSON backslash escape other than "\u" stands for ('n' for a line feed),
// or 0 when `selector` names none.
char jsonEscapedCharacter(char selector);

enum class HexCase { lower, upper };
// The value of a hexadecimal digit of either case, or -1.
int hexDigitValue(char c);
// The digit for the low four bits of `value`.
char hexDigit(unsigned value, HexCase letterCase = HexCase::lower);
// `digits` lower-case hexadecimal digits from the system's random source (identifiers, tokens).
std::string randomHex(std::size_t digits);
// Two digits per byte, no separators.
std::string hexString(std::string_view bytes, HexCase letterCase = HexCase::lower);
// Decodes %XX escapes (digits of either case). Null where a "%" is not followed by two hex
// digits, for readers that must not guess what a broken escape meant.
[[nodiscard]] std::optional<std::string> strictPercentDecode(std::string_view text);
// The object model's description of bytes: lower-case digits in angle brackets, a blank after
// every four bytes ("<01020304 05>").
std::string bytesDescription(std::string_view bytes);

inline char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
std::string asciiLowercase(std::string_view text);
bool equalsIgnoringASCIICase(std::string_view a, std::string_view b);

// The integer that `text` starts with: blanks, a sign, digits; the rest is ignored. 0 without
// digits; a value out of the 32-bit range stops at the nearest limit.
std::int32_t leadingInt32(std::string_view text);

// ASCII blanks: space, tab, line feed, vertical tab, form feed, carriage return.
inline bool isASCIIBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
// `text` without the ASCII blanks at either end.
std::string_view trimmed(std::string_view text);
// `text` without the characters in `blanks` at either end, for formats that name their own.
std::string_view trimmed(std::string_view text, std::string_view blanks);
// A command line's first word (up to the first space or tab) and the rest, trimmed.
struct FirstWord {
  std::string_view word;
  std::string_view rest;
};
FirstWord firstWord(std::string_view text);

}  // namespace platform::text
