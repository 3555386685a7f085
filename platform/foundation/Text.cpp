#include "platform/foundation/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <random>

namespace platform::text {

namespace {

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kBase64UrlAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

constexpr std::array<std::int8_t, 256> makeBase64Values(std::string_view alphabet) {
  std::array<std::int8_t, 256> values{};
  values.fill(-1);
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  }
  return values;
}

constexpr std::array<std::int8_t, 256> kBase64Values = makeBase64Values(kBase64Alphabet);
constexpr std::array<std::int8_t, 256> kBase64UrlValues = makeBase64Values(kBase64UrlAlphabet);

enum class Base64Padding { none, equalsSigns };

std::string encodeBase64(std::string_view bytes, std::string_view alphabet, Base64Padding padding) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  auto byte = [&](std::size_t k) -> std::uint32_t { return static_cast<unsigned char>(bytes[k]); };
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = byte(i) << 16;
    if (i + 1 < bytes.size()) chunk |= byte(i + 1) << 8;
    if (i + 2 < bytes.size()) chunk |= byte(i + 2);
    out += alphabet[(chunk >> 18) & 0x3F];
    out += alphabet[(chunk >> 12) & 0x3F];
    for (std::size_t k = 1; k <= 2; ++k) {
      if (i + k < bytes.size()) {
        out += alphabet[(chunk >> (12 - 6 * k)) & 0x3F];
      } else if (padding == Base64Padding::equalsSigns) {
        out += '=';
      }
    }
  }
  return out;
}

// Gathers the six bits of each symbol into whole bytes.
class Base64Bytes {
 public:
  explicit Base64Bytes(std::size_t symbols) { bytes_.reserve(symbols / 4 * 3 + 2); }
  void add(int value) {
    ++symbols_;
    bits_ = (bits_ << 6) | static_cast<std::uint32_t>(value);
    bitCount_ += 6;
    if (bitCount_ >= 8) {
      bitCount_ -= 8;
      bytes_ += static_cast<char>((bits_ >> bitCount_) & 0xFF);
    }
  }
  std::size_t symbols() const { return symbols_; }
  // A lone symbol after the last whole group holds no byte.
  bool endsInWholeBytes() const { return symbols_ % 4 != 1; }
  bool leftoverBitsAreZero() const { return (bits_ & ((1u << bitCount_) - 1)) == 0; }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
  std::uint32_t bits_ = 0;
  int bitCount_ = 0;
  std::size_t symbols_ = 0;
};

std::uint64_t rotate(std::uint64_t x, int bits) {
  return (x << bits) | (x >> (64 - bits));
}

void sipRound(std::uint64_t (&v)[4]) {
  v[0] += v[1];
  v[1] = rotate(v[1], 13) ^ v[0];
  v[0] = rotate(v[0], 32);
  v[2] += v[3];
  v[3] = rotate(v[3], 16) ^ v[2];
  v[0] += v[3];
  v[3] = rotate(v[3], 21) ^ v[0];
  v[2] += v[1];
  v[1] = rotate(v[1], 17) ^ v[2];
  v[2] = rotate(v[2], 32);
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // Runs of ASCII are the common case; skip them a byte at a time without the full check.
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool isASCII(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void appendUtf8(std::string& out, char32_t scalar) {
  if ((scalar >= 0xD800 && scalar < 0xE000) || scalar > 0x10FFFF) scalar = 0xFFFD;
  if (scalar < 0x80) {
    out += static_cast<char>(scalar);
  } else if (scalar < 0x800) {
    out += static_cast<char>(0xC0 | (scalar >> 6));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else if (scalar < 0x10000) {
    out += static_cast<char>(0xE0 | (scalar >> 12));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (scalar >> 18));
    out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  }
}

std::string singleLine(std::string_view text, std::size_t maxBytes) {
  std::string out;
  out.reserve(std::min(text.size(), maxBytes));
  std::size_t i = 0;
  while (i < text.size() && out.size() < maxBytes) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = utf8SequenceLength(text, i);
    if (length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      out += "\\u00";
      out += hexDigit(static_cast<unsigned char>(text[i + 1]) >> 4);
      out += hexDigit(static_cast<unsigned char>(text[i + 1]));
    } else if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F && byte != '\\')) {
      out.append(text.substr(i, length));
    } else if (byte == '\\' || byte == '\n' || byte == '\r' || byte == '\t') {
      out += '\\';
      out += byte == '\\' ? '\\' : byte == '\n' ? 'n' : byte == '\r' ? 'r' : 't';
    } else {
      out += "\\x";
      out += hexDigit(byte >> 4);
      out += hexDigit(byte);
    }
    i += std::max<std::size_t>(length, 1);
  }
  if (i < text.size()) out += "... (" + std::to_string(text.size() - i) + " more bytes)";
  return out;
}

std::string markupEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string base64Encode(std::string_view bytes) {
  return encodeBase64(bytes, kBase64Alphabet, Base64Padding::equalsSigns);
}

std::optional<std::string> base64Decode(std::string_view text, std::string_view skipped) {
  Base64Bytes bytes(text.size());
  std::size_t padding = 0;
  for (char c : text) {
    if (skipped.find(c) != std::string_view::npos) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    int value = kBase64Values[static_cast<unsigned char>(c)];
    if (value < 0 || padding > 0) return std::nullopt;
    bytes.add(value);
  }
  if (!bytes.endsInWholeBytes() || padding > 2) return std::nullopt;
  if (padding > 0 && (bytes.symbols() + padding) % 4 != 0) return std::nullopt;
  return bytes.take();
}

std::string base64UrlEncode(std::string_view bytes) {
  return encodeBase64(bytes, kBase64UrlAlphabet, Base64Padding::none);
}

std::optional<std::string> base64UrlDecode(std::string_view text) {
  Base64Bytes bytes(text.size());
  for (char c : text) {
    int value = kBase64UrlValues[static_cast<unsigned char>(c)];
    if (value < 0) return std::nullopt;
    bytes.add(value);
  }
  if (!bytes.endsInWholeBytes() || !bytes.leftoverBitsAreZero()) return std::nullopt;
  return bytes.take();
}

char jsonEscapedCharacter(char selector) {
  switch (selector) {
    case '"':
    case '/':
    case '\\':
      return selector;
    case 'b':
      return '\b';
    case 'f':
      return '\f';
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return 0;
  }
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char hexDigit(unsigned value, HexCase letterCase) {
  static constexpr char kLower[] = "0123456789abcdef";
  static constexpr char kUpper[] = "0123456789ABCDEF";
  return (letterCase == HexCase::lower ? kLower : kUpper)[value & 0xF];
}

std::string hexString(std::string_view bytes, HexCase letterCase) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    out += hexDigit(byte >> 4, letterCase);
    out += hexDigit(byte, letterCase);
  }
  return out;
}

std::optional<std::string> strictPercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexDigitValue(text[i + 1]);
    int low = hexDigitValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string bytesDescription(std::string_view bytes) {
  std::string out = "<";
  for (std::size_t i = 0; i < bytes.size(); i += 4) {
    if (i > 0) out += ' ';
    out += hexString(bytes.substr(i, 4));
  }
  return out + ">";
}

std::int32_t leadingInt32(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isASCIIBlank(text[i])) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::int64_t limit = std::int64_t{INT32_MAX} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, INT32_MAX));
}

std::string asciiLowercase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

bool equalsIgnoringASCIICase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isASCIIBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isASCIIBlank(text.back())) text.remove_suffix(1);
  return text;
}

FirstWord firstWord(std::string_view text) {
  const auto blank = text.find_first_of(" \t");
  if (blank == std::string_view::npos) return {text, {}};
  return {text.substr(0, blank), trimmed(text.substr(blank))};
}

std::string_view trimmed(std::string_view text, std::string_view blanks) {
  std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string randomHex(std::size_t digits) {
  std::random_device random;
  std::string hex;
  while (hex.size() < digits) {
    unsigned bits = random();
    for (int i = 0; i < 8 && hex.size() < digits; ++i, bits >>= 4) hex += hexDigit(bits);
  }
  return hex;
}

std::uint64_t keyedHash(std::string_view text) {
  static const std::array<std::uint64_t, 2> key = [] {
    std::random_device device;
    auto word = [&device] { return (std::uint64_t{device()} << 32) | device(); };
    return std::array<std::uint64_t, 2>{word(), word()};
  }();
  std::uint64_t v[4] = {key[0] ^ 0x736f6d6570736575ULL, key[1] ^ 0x646f72616e646f6dULL,
                        key[0] ^ 0x6c7967656e657261ULL, key[1] ^ 0x7465646279746573ULL};
  auto absorb = [&v](std::uint64_t word) {
    v[3] ^= word;
    sipRound(v);
    v[0] ^= word;
  };
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    absorb(word);
  }
  std::uint64_t last = std::uint64_t{text.size() & 0xff} << 56;
  for (std::size_t i = 0; at + i < text.size(); ++i) {
    last |= std::uint64_t{static_cast<unsigned char>(text[at + i])} << (8 * i);
  }
  absorb(last);
  v[2] ^= 0xff;
  for (int round = 0; round < 3; ++round) sipRound(v);
  return v[0] ^ v[1] ^ v[2] ^ v[3];
}

}  // namespace platform::text
