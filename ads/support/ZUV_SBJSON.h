#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

// The one domain of every JSON reader and writer error.
extern const char* const ZUV_SBJSONErrorDomain;
// User-info key of the inner error that a wrapping error carries (see underlyingError).
extern const char* const ZUV_SBJSONUnderlyingErrorKey;

// JSON reader and writer. The reader turns text into platform values (objects into
// insertion-ordered dictionaries, numbers into decimals that keep their text); the writer
// turns values back into text. Failures come back as errors of ZUV_SBJSONErrorDomain whose
// inner errors say where in a nested value the cause lies.
//
// Error codes: 1 unwritable value, 2 bad number, 3 unexpected token, 4 top value not a
// container, 5 forbidden byte inside a string (a control byte, or a byte that is not part of
// valid UTF-8), 6 bad \u escape, 7 nested too deep, 8 bad escape, 9 trailing comma,
// 10 garbage after the value, 11 unexpected end of input, 12 no input.
//
// One instance serves one read or write at a time.
class ZUV_SBJSON {
 public:
  static constexpr std::uint32_t kDefaultMaxDepth = 512;
  // Nesting beyond this is refused whatever maxDepth says (0 included), so that neither the
  // reader nor the writer can run out of stack.
  static constexpr std::uint32_t kHardMaxDepth = 4096;

  ZUV_SBJSON() = default;

  bool humanReadable() const { return humanReadable_; }
  void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
  bool sortKeys() const { return sortKeys_; }
  void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }
  // 0: no configured limit (kHardMaxDepth still applies).
  std::uint32_t maxDepth() const { return maxDepth_; }
  void setMaxDepth(std::uint32_t maxDepth) { maxDepth_ = maxDepth; }

  // Reading. No text at all (nullopt) is error 12; the text ends at its first NUL byte.
  // Without fragments the top value must be an object or an array.
  std::optional<platform::Value> objectWithStringError(std::optional<std::string_view> text,
                                                       platform::Error* error = nullptr);
  std::optional<platform::Value> fragmentWithStringError(std::optional<std::string_view> text,
                                                         platform::Error* error = nullptr);
  std::optional<platform::Value> objectWithStringAllowScalarError(
      std::optional<std::string_view> text, bool allowScalar, platform::Error* error = nullptr);

  // Writing. Without fragments the top value must be a dictionary or an array.
  std::optional<std::string> stringWithObjectError(const platform::Value& value,
                                                   platform::Error* error = nullptr);
  std::optional<std::string> stringWithFragmentError(const platform::Value& value,
                                                     platform::Error* error = nullptr);
  std::optional<std::string> stringWithObjectAllowScalarError(const platform::Value& value,
                                                              bool allowScalar,
                                                              platform::Error* error = nullptr);

  // JSON text that stays one value inside a script element or a script's source: "<" (so no
  // "</script>" or "<!--") and the line separators U+2028 and U+2029 escaped.
  static std::string scriptSafe(std::string_view json);

  // The inner error that a wrapping error carries, if any.
  static std::optional<platform::Error> underlyingError(const platform::Error& error);

 private:
  static platform::Error err(long code, std::string message);
  static platform::Error errWithUnderlier(long code, const platform::Error* inner,
                                          std::string message);

  // Cold paths, kept out of the reader's recursive frames so that deep nesting needs little
  // stack: each stores a new error (wrap: with the error already in the slot inside) and
  // returns false.
  static bool fail(platform::Error& error, long code, const char* message);
  static bool wrap(platform::Error& error, long code, const char* message,
                   std::string_view detail = {});

  std::uint32_t depthLimit() const;

  // Reader (ZUV_SBJSONReader.cpp). The cursor c_ runs up to end_.
  bool scanValueError(platform::Value& out, platform::Error& error);
  bool scanRestOfDictionaryError(platform::Value& out, platform::Error& error);
  bool scanRestOfArrayError(platform::Value& out, platform::Error& error);
  bool scanRestOfStringError(std::string& out, platform::Error& error);
  bool scanStringValueError(platform::Value& out, platform::Error& error);
  bool scanNumberError(platform::Value& out, platform::Error& error);
  bool scanRestOfNullError(platform::Value& out, platform::Error& error);
  bool scanRestOfTrueError(platform::Value& out, platform::Error& error);
  bool scanRestOfFalseError(platform::Value& out, platform::Error& error);
  bool scanHexQuadError(std::uint16_t& out, platform::Error& error);
  bool scanUnicodeCharError(char32_t& out, platform::Error& error);
  bool scanEscapeError(std::string& out, platform::Error& error);
  bool scanIsAtEnd();
  bool scanLiteral(std::string_view rest);
  void skipBlanks();
  unsigned char peek() const { return c_ < end_ ? static_cast<unsigned char>(*c_) : 0; }

  // Writer (ZUV_SBJSONWriter.cpp).
  bool appendValueIntoError(const platform::Value& value, std::string& out, platform::Error& error);
  bool appendDictionaryIntoError(const platform::Dictionary& dictionary, std::string& out,
                                 platform::Error& error);
  bool appendMemberIntoError(const platform::Dictionary::Entry& member, bool first,
                             std::string& out, platform::Error& error);
  bool appendSortedMembersIntoError(const platform::Dictionary& dictionary, std::string& out,
                                    platform::Error& error);
  bool appendArrayIntoError(const platform::Array& array, std::string& out, platform::Error& error);
  bool appendStringIntoError(std::string_view text, std::string& out, platform::Error& error);
  bool appendNumberIntoError(const platform::Value& number, std::string& out,
                             platform::Error& error);
  void appendIndentInto(std::string& out) const;

  bool humanReadable_ = false;
  bool sortKeys_ = false;
  std::uint32_t maxDepth_ = kDefaultMaxDepth;
  std::uint32_t depth_ = 0;
  const char* c_ = nullptr;
  const char* end_ = nullptr;
};
