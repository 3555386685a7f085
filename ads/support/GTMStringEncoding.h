#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Result.h"

// Error domain of failed decodes, with the codes below.
extern const char* const GTMStringEncodingErrorDomain;
enum GTMStringEncodingError : long {
  GTMStringEncodingErrorNotASCII = 1,          // the text holds a byte above 127
  GTMStringEncodingErrorUnknownCharacter = 2,  // neither digit, synonym, padding nor ignored
  GTMStringEncodingErrorDigitAfterPadding = 3,
  GTMStringEncodingErrorTrailingBits = 4,  // leftover bits that are not zero
  GTMStringEncodingErrorNotUTF8 = 5,       // stringByDecoding: the bytes are no UTF-8 text
};

// Bytes to text over an alphabet of 2, 4, 8, 16, 32, 64 or 128 ASCII characters and back, one
// character per group of bits, most significant bits first. Set up once (alphabet, padding,
// synonyms, ignored characters), then used for any number of encodings and decodings.
class GTMStringEncoding {
 public:
  // Null for an alphabet that is not pure ASCII, whose length is not a power of two from 2 to
  // 128, or that repeats a character.
  static std::optional<GTMStringEncoding> stringEncodingWithString(std::string_view alphabet);

  static GTMStringEncoding binaryStringEncoding();
  static GTMStringEncoding hexStringEncoding();
  static GTMStringEncoding rfc4648Base32StringEncoding();
  static GTMStringEncoding rfc4648Base32HexStringEncoding();
  static GTMStringEncoding crockfordBase32StringEncoding();
  static GTMStringEncoding rfc4648Base64StringEncoding();
  static GTMStringEncoding rfc4648Base64WebsafeStringEncoding();

  bool doPad() const { return doPad_; }
  void setDoPad(bool doPad) { doPad_ = doPad; }

  // Marks `c` as padding; an earlier padding character stays padding. Refused (false, with an
  // assertion logged) for a non-ASCII character or a digit of the alphabet, which would no
  // longer decode.
  bool setPaddingChar(char c);
  char paddingChar() const { return paddingChar_; }

  // Groups of a known character followed by the characters that decode as it: "AaBb" makes
  // "a" decode as "A" and "b" as "B". False (nothing changed) for non-ASCII text.
  bool addDecodeSynonyms(std::string_view synonyms);

  // Characters that decoding skips. Each must have no meaning yet; one that has keeps its
  // meaning, an assertion is logged and the result is false.
  bool ignoreCharacters(std::string_view characters);

  std::string encode(std::string_view bytes) const;
  std::string encodeString(std::string_view text) const { return encode(text); }

  // An error for non-ASCII text, an unaccepted character, a digit after padding or leftover
  // bits that are not zero. The text ends at its first NUL.
  platform::Result<std::string> decode(std::string_view text) const;
  // As decode, and an error as well when the bytes are not UTF-8.
  platform::Result<std::string> stringByDecoding(std::string_view text) const;

  // "<Base64 StringEncoder: <41424344 ...>>"
  std::string description() const;

  int base() const { return 1 << shift_; }

 private:
  static constexpr std::int32_t kUnknownChar = -1;
  static constexpr std::int32_t kPaddingChar = -2;
  static constexpr std::int32_t kIgnoreChar = -3;

  explicit GTMStringEncoding(std::string alphabet, int shift);
  static GTMStringEncoding factory(std::string_view alphabet, char padding,
                                   std::string_view synonyms);
  template <int Shift>
  std::size_t encodeGroups(const unsigned char* in, std::size_t size, char* out) const;
  template <int Shift>
  std::size_t decodeGroups(const unsigned char* in, std::size_t size, char* out) const;
  std::size_t encodeWholeGroups(const unsigned char* in, std::size_t size, char* out) const;
  std::size_t decodeWholeGroups(const unsigned char* in, std::size_t size, char* out) const;

  std::string charMapData_;
  // Entries from 128 up stay unknown, so that a byte is looked up with no range check.
  std::array<std::int32_t, 256> reverseCharMap_;
  std::int32_t shift_;
  std::int32_t mask_;
  bool doPad_ = false;
  char paddingChar_ = '\0';
  std::int32_t padLen_;
};
