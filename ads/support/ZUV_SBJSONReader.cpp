// The reading half of ZUV_SBJSON: recursive descent over the input's bytes with one cursor.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "ads/support/ZUV_SBJSON.h"
#include "ads/support/ZUV_SBJSONText.h"
#include "platform/foundation/Text.h"

using platform::Array;
using platform::Decimal;
using platform::Dictionary;
using platform::Error;
using platform::Value;

namespace {

bool isDigit(unsigned char byte) {
  return byte >= '0' && byte <= '9';
}

std::string hexText(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%x", value);
  return buffer;
}

bool isHighSurrogate(std::uint16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(std::uint16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Whether a number's text, valid by the grammar, stands for a value too large for a double:
// its decimal exponent (integer digits plus the written exponent) is far beyond 308.
bool overflowsDouble(std::string_view text, std::size_t integerDigits) {
  double ignored;
  auto result = std::from_chars(text.data(), text.data() + text.size(), ignored);
  if (result.ec != std::errc::result_out_of_range) return false;
  long exponent = 0;
  std::size_t e = text.find_first_of("eE");
  if (e != std::string_view::npos) {
    std::size_t i = e + 1;
    bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    for (; i < text.size() && exponent < 100000; ++i) exponent = exponent * 10 + (text[i] - '0');
    if (negative) exponent = -exponent;
  }
  // Out of range with a non-positive decimal exponent is an underflow, which reads as zero.
  return static_cast<long>(integerDigits) + exponent > 0;
}

}  // namespace

void ZUV_SBJSON::skipBlanks() {
  while (c_ < end_ && platform::text::isASCIIBlank(*c_)) ++c_;
}

bool ZUV_SBJSON::scanIsAtEnd() {
  skipBlanks();
  return c_ >= end_;
}

bool ZUV_SBJSON::scanLiteral(std::string_view rest) {
  if (static_cast<std::size_t>(end_ - c_) < rest.size()) return false;
  if (std::memcmp(c_, rest.data(), rest.size()) != 0) return false;
  c_ += rest.size();
  return true;
}

bool ZUV_SBJSON::scanValueError(Value& out, Error& error) {
  skipBlanks();
  if (c_ >= end_) {
    return fail(error, 11, "Unexpected end of string");
  }
  const unsigned char byte = static_cast<unsigned char>(*c_++);
  switch (byte) {
    case '[':
      return scanRestOfArrayError(out, error);
    case '{':
      return scanRestOfDictionaryError(out, error);
    case '"':
      return scanStringValueError(out, error);
    case 'n':
      return scanRestOfNullError(out, error);
    case 't':
      return scanRestOfTrueError(out, error);
    case 'f':
      return scanRestOfFalseError(out, error);
    case '+':
      return fail(error, 2, "Leading + disallowed in number");
    default:
      if (byte == '-' || isDigit(byte)) {
        --c_;
        return scanNumberError(out, error);
      }
      return fail(error, 3, "Unrecognised leading character");
  }
}

bool ZUV_SBJSON::scanRestOfNullError(Value& out, Error& error) {
  if (!scanLiteral("ull")) {
    return fail(error, 3, "Expected 'null'");
  }
  out = Value();
  return true;
}

bool ZUV_SBJSON::scanRestOfTrueError(Value& out, Error& error) {
  if (!scanLiteral("rue")) {
    return fail(error, 3, "Expected 'true'");
  }
  out = Value(true);
  return true;
}

bool ZUV_SBJSON::scanRestOfFalseError(Value& out, Error& error) {
  if (!scanLiteral("alse")) {
    return fail(error, 3, "Expected 'false'");
  }
  out = Value(false);
  return true;
}

bool ZUV_SBJSON::scanRestOfDictionaryError(Value& out, Error& error) {
  if (++depth_ > depthLimit()) {
    return fail(error, 7, "Nested too deep");
  }
  Dictionary members;
  for (;;) {
    if (c_ >= end_) {
      return fail(error, 11, "End of input while parsing object");
    }
    skipBlanks();
    if (peek() == '}') {
      ++c_;
      --depth_;
      out = Value(std::move(members));
      return true;
    }
    std::string key;
    if (peek() != '"') {
      return fail(error, 3, "Object key string expected");
    }
    ++c_;
    if (!scanRestOfStringError(key, error)) {
      return wrap(error, 3, "Object key string expected");
    }
    skipBlanks();
    if (peek() != ':') {
      return fail(error, 3, "Expected ':' separating key and value");
    }
    ++c_;
    Value value;
    if (!scanValueError(value, error)) {
      return wrap(error, 3, "Object value expected for key: ", key);
    }
    members.set(std::move(key), std::move(value));
    skipBlanks();
    if (peek() == ',') {
      ++c_;
      skipBlanks();
      if (peek() == '}') {
        return fail(error, 9, "Trailing comma disallowed in object");
      }
    }
  }
}

bool ZUV_SBJSON::scanRestOfArrayError(Value& out, Error& error) {
  if (++depth_ > depthLimit()) {
    return fail(error, 7, "Nested too deep");
  }
  Array elements;
  elements.reserve(8);
  for (;;) {
    if (c_ >= end_) {
      return fail(error, 11, "End of input while parsing array");
    }
    skipBlanks();
    if (peek() == ']') {
      ++c_;
      --depth_;
      out = Value(std::move(elements));
      return true;
    }
    Value element;
    if (!scanValueError(element, error)) {
      return wrap(error, 3, "Expected value while parsing array");
    }
    elements.push_back(std::move(element));
    skipBlanks();
    if (peek() == ',') {
      ++c_;
      skipBlanks();
      if (peek() == ']') {
        return fail(error, 9, "Trailing comma disallowed in array");
      }
    }
  }
}

bool ZUV_SBJSON::scanRestOfStringError(std::string& out, Error& error) {
  using zuv_sbjson::kByteClasses;
  for (;;) {
    // Ordinary bytes are copied as one run; multi-byte sequences must be well-formed UTF-8.
    const std::string_view rest(c_, static_cast<std::size_t>(end_ - c_));
    std::size_t i = 0;
    while (i < rest.size()) {
      const unsigned char byteClass = kByteClasses[static_cast<unsigned char>(rest[i])];
      if (byteClass == zuv_sbjson::kPlain) {
        ++i;
      } else if (byteClass == zuv_sbjson::kSpecial) {
        break;
      } else if (std::size_t length = platform::text::utf8SequenceLength(rest, i)) {
        i += length;
      } else {
        auto byte = static_cast<unsigned char>(rest[i]);
        error = err(5, "Invalid UTF-8 byte '0x" + hexText(byte) + "' in string");
        return false;
      }
    }
    out.append(rest.substr(0, i));
    c_ += i;
    const unsigned char stop = peek();
    if (stop == '"') {
      ++c_;
      return true;
    }
    if (stop != '\\') {
      error = err(5, "Unescaped control character '0x" + hexText(stop) + "'");
      return false;
    }
    ++c_;
    if (!scanEscapeError(out, error)) return false;
    if (c_ >= end_) {
      return fail(error, 11, "Unexpected EOF while parsing string");
    }
  }
}

// Apart from scanValueError so that its text does not take room in every nested frame.
[[gnu::noinline]] bool ZUV_SBJSON::scanStringValueError(Value& out, Error& error) {
  std::string text;
  if (!scanRestOfStringError(text, error)) return false;
  out = Value(std::move(text));
  return true;
}

bool ZUV_SBJSON::scanEscapeError(std::string& out, Error& error) {
  const unsigned char selector = peek();
  if (c_ < end_) ++c_;
  if (char plain = platform::text::jsonEscapedCharacter(static_cast<char>(selector))) {
    out += plain;
    return true;
  }
  if (selector == 'u') {
    char32_t character;
    if (!scanUnicodeCharError(character, error)) return false;
    platform::text::appendUtf8(out, character);
    return true;
  }
  // Shown as the byte read as a signed character widened to a 16-bit unit.
  auto shown = static_cast<std::uint16_t>(static_cast<signed char>(selector));
  error = err(8, "Illegal escape sequence '0x" + hexText(shown) + "'");
  return false;
}

bool ZUV_SBJSON::scanHexQuadError(std::uint16_t& out, Error& error) {
  out = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = platform::text::hexDigitValue(static_cast<char>(peek()));
    if (digit < 0) {
      return fail(error, 6, "Missing hex digit in quad");
    }
    out = static_cast<std::uint16_t>(out * 16 + digit);
    ++c_;
  }
  return true;
}

bool ZUV_SBJSON::scanUnicodeCharError(char32_t& out, Error& error) {
  std::uint16_t high;
  Error cause;
  if (!scanHexQuadError(high, cause)) {
    cause = err(6, "Missing hex quad");
  } else if (isLowSurrogate(high)) {
    cause = err(6, "Invalid high character in surrogate pair");
  } else if (!isHighSurrogate(high)) {
    out = high;
    return true;
  } else if (end_ - c_ < 2 || c_[0] != '\\' || c_[1] != 'u') {
    cause = err(6, "Missing low character in surrogate pair");
  } else {
    c_ += 2;
    std::uint16_t low;
    if (!scanHexQuadError(low, cause)) {
      cause = errWithUnderlier(6, &cause, "Missing low character in surrogate pair");
    } else if (!isLowSurrogate(low)) {
      cause = err(6, "Invalid low surrogate char");
    } else {
      out = 0x10000 + (static_cast<char32_t>(high - 0xD800) << 10) + (low - 0xDC00);
      return true;
    }
  }
  error = errWithUnderlier(6, &cause, "Broken unicode character");
  return false;
}

// Out of line, like scanStringValueError, to keep the nested frames small.
[[gnu::noinline]] bool ZUV_SBJSON::scanNumberError(Value& out, Error& error) {
  const char* start = c_;
  if (peek() == '-') ++c_;
  const char* integerStart = c_;
  if (peek() == '0') {
    ++c_;
    if (isDigit(peek())) {
      return fail(error, 2, "Leading 0 disallowed in number");
    }
  } else if (isDigit(peek())) {
    while (isDigit(peek())) ++c_;
  } else {
    return fail(error, 2, "No digits after initial minus");
  }
  const std::size_t integerDigits = *integerStart == '0' ? 0 : c_ - integerStart;
  if (peek() == '.') {
    ++c_;
    if (!isDigit(peek())) {
      return fail(error, 2, "No digits after decimal point");
    }
    while (isDigit(peek())) ++c_;
  }
  bool hasExponent = false;
  if (peek() == 'e' || peek() == 'E') {
    hasExponent = true;
    ++c_;
    if (peek() == '+' || peek() == '-') ++c_;
    if (!isDigit(peek())) {
      return fail(error, 2, "No digits after exponent");
    }
    while (isDigit(peek())) ++c_;
  }
  std::string_view text(start, c_ - start);
  // Only an exponent or a very long integer part can leave the range of the number type.
  if ((hasExponent || integerDigits > 308) && overflowsDouble(text, integerDigits)) {
    return fail(error, 2, "Failed creating decimal instance");
  }
  out = Value(Decimal{std::string(text)});
  return true;
}
