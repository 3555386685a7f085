#include "ads/support/GTMStringEncoding.h"

#include <cstring>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"

const char* const GTMStringEncodingErrorDomain = "GTMStringEncodingErrorDomain";

namespace {

constexpr int lcm8(int shift) {
  int a = 8, b = shift;
  while (a != b) {
    if (a < b) {
      a += 8;
    } else {
      b += shift;
    }
  }
  return a;
}

platform::Error fail(long code, const char* message) {
  return platform::Error::make(GTMStringEncodingErrorDomain, code, message);
}

// floor(size * shift / 8) without overflowing.
std::size_t decodedRoom(std::size_t size, int shift) {
  return size / 8 * shift + size % 8 * shift / 8;
}

}  // namespace

GTMStringEncoding::GTMStringEncoding(std::string alphabet, int shift)
    : charMapData_(std::move(alphabet)),
      shift_(shift),
      mask_((1 << shift) - 1),
      padLen_(lcm8(shift) / shift) {
  reverseCharMap_.fill(kUnknownChar);
  for (std::size_t i = 0; i < charMapData_.size(); ++i) {
    reverseCharMap_[static_cast<unsigned char>(charMapData_[i])] = static_cast<std::int32_t>(i);
  }
}

std::optional<GTMStringEncoding> GTMStringEncoding::stringEncodingWithString(
    std::string_view alphabet) {
  if (!platform::text::isASCII(alphabet)) return std::nullopt;
  std::size_t length = alphabet.size();
  if (length < 2 || length > 128 || (length & (length - 1)) != 0) return std::nullopt;
  std::array<bool, 128> seen{};
  for (unsigned char c : alphabet) {
    if (seen[c]) return std::nullopt;
    seen[c] = true;
  }
  int shift = 0;
  while ((std::size_t{1} << shift) < length) ++shift;
  return GTMStringEncoding(std::string(alphabet), shift);
}

GTMStringEncoding GTMStringEncoding::factory(std::string_view alphabet, char padding,
                                             std::string_view synonyms) {
  GTMStringEncoding encoding = *stringEncodingWithString(alphabet);
  if (padding != '\0') {
    encoding.setPaddingChar(padding);
    encoding.setDoPad(true);
  }
  if (!synonyms.empty()) encoding.addDecodeSynonyms(synonyms);
  return encoding;
}

GTMStringEncoding GTMStringEncoding::binaryStringEncoding() {
  return factory("01", '\0', "");
}

GTMStringEncoding GTMStringEncoding::hexStringEncoding() {
  return factory("0123456789ABCDEF", '\0', "AaBbCcDdEeFf");
}

GTMStringEncoding GTMStringEncoding::rfc4648Base32StringEncoding() {
  return factory("ABCDEFGHIJKLMNOPQRSTUVWXYZ234567", '=', "");
}

GTMStringEncoding GTMStringEncoding::rfc4648Base32HexStringEncoding() {
  return factory("0123456789ABCDEFGHIJKLMNOPQRSTUV", '=', "");
}

GTMStringEncoding GTMStringEncoding::crockfordBase32StringEncoding() {
  return factory("0123456789ABCDEFGHJKMNPQRSTVWXYZ", '\0',
                 "0oO1iIlLAaBbCcDdEeFfGgHhJjKkMmNnPpQqRrSsTtVvWwXxYyZz");
}

GTMStringEncoding GTMStringEncoding::rfc4648Base64StringEncoding() {
  return factory("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", '=', "");
}

GTMStringEncoding GTMStringEncoding::rfc4648Base64WebsafeStringEncoding() {
  return factory("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", '=', "");
}

bool GTMStringEncoding::setPaddingChar(char c) {
  auto code = static_cast<unsigned char>(c);
  if (code >= 0x80) {
    platform::logAssertion("Padding character not ASCII", __FILE__, __LINE__);
    return false;
  }
  if (reverseCharMap_[code] >= 0) {
    platform::logAssertion("Padding character already a digit", __FILE__, __LINE__);
    return false;
  }
  paddingChar_ = c;
  reverseCharMap_[code] = kPaddingChar;
  return true;
}

bool GTMStringEncoding::addDecodeSynonyms(std::string_view synonyms) {
  if (!platform::text::isASCII(synonyms)) return false;
  std::int32_t current = kUnknownChar;
  for (unsigned char c : synonyms) {
    if (reverseCharMap_[c] != kUnknownChar) {
      current = reverseCharMap_[c];
    } else {
      reverseCharMap_[c] = current;
    }
  }
  return true;
}

bool GTMStringEncoding::ignoreCharacters(std::string_view characters) {
  bool ok = true;
  for (unsigned char c : characters) {
    if (c >= 0x80 || reverseCharMap_[c] != kUnknownChar) {
      platform::logAssertion("Character already mapped", __FILE__, __LINE__);
      ok = false;
      continue;
    }
    reverseCharMap_[c] = kIgnoreChar;
  }
  return ok;
}

// Whole groups of bytes that fill whole characters (3 bytes to 4 characters in base 64),
// unrolled at compile time for each base. Returns the bytes consumed.
template <int Shift>
std::size_t GTMStringEncoding::encodeGroups(const unsigned char* in, std::size_t size,
                                            char* out) const {
  constexpr int kChars = lcm8(Shift) / Shift;
  constexpr int kBytes = lcm8(Shift) / 8;
  constexpr std::uint64_t kMask = (1u << Shift) - 1;
  constexpr int kWide = 8 / kBytes;  // whole groups in one 64-bit load
  constexpr std::uint64_t kGroupMask = (std::uint64_t{1} << (8 * kBytes)) - 1;
  const char* map = charMapData_.data();
  const unsigned char* start = in;
  for (; size - (in - start) >= 8; in += kWide * kBytes, out += kWide * kChars) {
    std::uint64_t word;
    std::memcpy(&word, in, 8);
    word = __builtin_bswap64(word);  // the first byte the most significant
    for (int g = 0; g < kWide; ++g) {
      std::uint64_t acc = word >> (64 - 8 * kBytes * (g + 1)) & kGroupMask;
      for (int k = 0; k < kChars; ++k) {
        out[g * kChars + k] = map[(acc >> (Shift * (kChars - 1 - k))) & kMask];
      }
    }
  }
  for (; size - (in - start) >= static_cast<std::size_t>(kBytes); in += kBytes, out += kChars) {
    std::uint64_t acc = 0;
    for (int k = 0; k < kBytes; ++k) acc = acc << 8 | in[k];
    for (int k = 0; k < kChars; ++k) out[k] = map[(acc >> (Shift * (kChars - 1 - k))) & kMask];
  }
  return static_cast<std::size_t>(in - start);
}

std::size_t GTMStringEncoding::encodeWholeGroups(const unsigned char* in, std::size_t size,
                                                 char* out) const {
  switch (shift_) {
    case 1:
      return encodeGroups<1>(in, size, out);
    case 2:
      return encodeGroups<2>(in, size, out);
    case 3:
      return encodeGroups<3>(in, size, out);
    case 4:
      return encodeGroups<4>(in, size, out);
    case 5:
      return encodeGroups<5>(in, size, out);
    case 6:
      return encodeGroups<6>(in, size, out);
    default:
      return encodeGroups<7>(in, size, out);
  }
}

std::string GTMStringEncoding::encode(std::string_view bytes) const {
  if (bytes.empty()) return {};
  std::size_t size = bytes.size();
  // ceil(size * 8 / shift) without overflowing.
  std::size_t length = size / shift_ * 8 + (size % shift_ * 8 + shift_ - 1) / shift_;
  if (doPad_) length = (length + padLen_ - 1) / padLen_ * padLen_;
  std::string out(length, '\0');

  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t consumed = encodeWholeGroups(in, size, out.data());
  std::size_t written = consumed / (lcm8(shift_) / 8) * padLen_;

  // The tail: fewer bytes than a group, the last character filled with zero bits.
  std::uint64_t acc = 0;
  int bits = 0;
  for (std::size_t i = consumed; i < size; ++i, bits += 8) acc = acc << 8 | in[i];
  if (bits > 0) {
    int chars = (bits + shift_ - 1) / shift_;
    acc <<= chars * shift_ - bits;
    for (int k = chars - 1; k >= 0; --k) {
      out[written++] = charMapData_[(acc >> (shift_ * k)) & mask_];
    }
  }
  while (doPad_ && written < length) out[written++] = paddingChar_;
  if (written != length) {
    platform::logAssertion("Underflowed output buffer", __FILE__, __LINE__);
    out.resize(written);
  }
  return out;
}

// Whole groups of characters that are all digits, decoded a group at a time. Stops before the
// first group holding anything else. Returns the characters consumed.
template <int Shift>
std::size_t GTMStringEncoding::decodeGroups(const unsigned char* in, std::size_t size,
                                            char* out) const {
  constexpr int kChars = lcm8(Shift) / Shift;
  constexpr int kBytes = lcm8(Shift) / 8;
  const std::int32_t* map = reverseCharMap_.data();
  const std::size_t groups = size / kChars;
  std::size_t g = 0;
  for (; g < groups; ++g, in += kChars, out += kBytes) {
    std::uint64_t acc = 0;
    std::int32_t seen = 0;
    for (int k = 0; k < kChars; ++k) {
      std::int32_t value = map[in[k]];
      seen |= value;
      // A negative value spoils the group, which is then left to the careful path anyway.
      acc = acc << Shift | static_cast<std::uint32_t>(value);
    }
    if (seen < 0) break;
    for (int k = 0; k < kBytes; ++k) out[k] = static_cast<char>(acc >> (8 * (kBytes - 1 - k)));
  }
  std::size_t consumed = g * kChars;
  return consumed;
}

std::size_t GTMStringEncoding::decodeWholeGroups(const unsigned char* in, std::size_t size,
                                                 char* out) const {
  switch (shift_) {
    case 1:
      return decodeGroups<1>(in, size, out);
    case 2:
      return decodeGroups<2>(in, size, out);
    case 3:
      return decodeGroups<3>(in, size, out);
    case 4:
      return decodeGroups<4>(in, size, out);
    case 5:
      return decodeGroups<5>(in, size, out);
    case 6:
      return decodeGroups<6>(in, size, out);
    default:
      return decodeGroups<7>(in, size, out);
  }
}

platform::Result<std::string> GTMStringEncoding::decode(std::string_view text) const {
  std::size_t end = text.find('\0');
  if (end != std::string_view::npos) {
    if (!platform::text::isASCII(text.substr(end))) {
      return fail(GTMStringEncodingErrorNotASCII, "The text is not ASCII.");
    }
    text = text.substr(0, end);
  }
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t size = text.size();
  std::size_t room = decodedRoom(size, shift_);
  std::string out(room, '\0');
  std::size_t written = 0;
  const std::size_t groupBytes = lcm8(shift_) / 8;

  std::uint32_t buffer = 0;  // fewer than 8 bits held between characters
  int bits = 0;
  bool padded = false;
  for (std::size_t i = 0; i < size;) {
    if (bits == 0 && !padded) {
      std::size_t used = decodeWholeGroups(in + i, size - i, out.data() + written);
      written += used / padLen_ * groupBytes;
      i += used;
      if (i == size) break;
    }
    unsigned char c = in[i++];
    if (c >= 0x80) return fail(GTMStringEncodingErrorNotASCII, "The text is not ASCII.");
    std::int32_t value = reverseCharMap_[c];
    if (value == kPaddingChar) {
      padded = true;
    } else if (value == kUnknownChar) {
      return fail(GTMStringEncodingErrorUnknownCharacter,
                  "The text holds a character that is not of the encoding.");
    } else if (value >= 0) {
      if (padded) {
        return fail(GTMStringEncodingErrorDigitAfterPadding,
                    "The text holds a digit after its padding.");
      }
      buffer = buffer << shift_ | static_cast<std::uint32_t>(value & mask_);
      bits += shift_;
      if (bits >= 8) {
        bits -= 8;
        out[written++] = static_cast<char>(buffer >> bits);
        buffer &= (1u << bits) - 1;
      }
    }
  }
  if (buffer != 0) {
    return fail(GTMStringEncodingErrorTrailingBits, "The text ends in bits that are not zero.");
  }
  if (written > room) platform::logAssertion("Overflowed buffer", __FILE__, __LINE__);
  out.resize(written);
  return out;
}

platform::Result<std::string> GTMStringEncoding::stringByDecoding(std::string_view text) const {
  auto bytes = decode(text);
  if (bytes && !platform::text::isValidUtf8(*bytes)) {
    return fail(GTMStringEncodingErrorNotUTF8, "The bytes are not UTF-8 text.");
  }
  return bytes;
}

std::string GTMStringEncoding::description() const {
  return "<Base" + std::to_string(base()) +
         " StringEncoder: " + platform::text::bytesDescription(charMapData_) + ">";
}
