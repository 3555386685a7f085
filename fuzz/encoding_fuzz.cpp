// Decodes arbitrary text with each factory encoder. The grouped decoder must agree with a plain
// bit-at-a-time reading of the same alphabet, and whatever decodes must encode back to the
// input's canonical form: synonyms replaced by their digits, padding dropped, the characters
// that only carry zero fill bits dropped, padding added again where the encoder pads.
#include <optional>

#include "ads/support/GTMStringEncoding.h"
#include "fuzz/FuzzInput.h"

namespace {

struct Factory {
  GTMStringEncoding (*make)();
  std::string_view alphabet;
  std::string_view synonyms;
  bool padded;
};

const Factory kFactories[] = {
    {GTMStringEncoding::binaryStringEncoding, "01", "", false},
    {GTMStringEncoding::hexStringEncoding, "0123456789ABCDEF", "AaBbCcDdEeFf", false},
    {GTMStringEncoding::rfc4648Base32StringEncoding, "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567", "", true},
    {GTMStringEncoding::rfc4648Base32HexStringEncoding, "0123456789ABCDEFGHIJKLMNOPQRSTUV", "",
     true},
    {GTMStringEncoding::crockfordBase32StringEncoding, "0123456789ABCDEFGHJKMNPQRSTVWXYZ",
     "0oO1iIlLAaBbCcDdEeFfGgHhJjKkMmNnPpQqRrSsTtVvWwXxYyZz", false},
    {GTMStringEncoding::rfc4648Base64StringEncoding,
     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", "", true},
    {GTMStringEncoding::rfc4648Base64WebsafeStringEncoding,
     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", "", true},
};

// The digit that `c` stands for in `factory`, or -1; synonyms are looked up in their groups.
int digitOf(const Factory& factory, char c) {
  auto at = factory.alphabet.find(c);
  if (at != std::string_view::npos) return static_cast<int>(at);
  int current = -1;
  for (char s : factory.synonyms) {
    auto known = factory.alphabet.find(s);
    if (known != std::string_view::npos) {
      current = static_cast<int>(known);
    } else if (s == c) {
      return current;
    }
  }
  return -1;
}

struct Reference {
  std::optional<std::string> bytes;
  std::string digits;  // the canonical digits of the input
};

Reference referenceDecode(const Factory& factory, std::string_view text) {
  int shift = 0;
  while ((std::size_t{1} << shift) < factory.alphabet.size()) ++shift;
  Reference result;
  std::string out;
  unsigned buffer = 0;
  int bits = 0;
  bool padded = false;
  for (char c : text) {
    if (c == '\0') break;
    if (factory.padded && c == '=') {
      padded = true;
      continue;
    }
    int digit = digitOf(factory, c);
    if (digit < 0 || padded) return result;
    result.digits += factory.alphabet[digit];
    for (int bit = shift - 1; bit >= 0; --bit) {
      buffer = buffer << 1 | ((digit >> bit) & 1);
      if (++bits == 8) {
        out += static_cast<char>(buffer);
        buffer = 0;
        bits = 0;
      }
    }
  }
  if (buffer != 0) return result;
  result.bytes = out;
  return result;
}

bool isASCII(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Factory& factory = kFactories[data[0] % 7];
  const bool noPad = data[0] & 0x80;
  std::string_view text = fuzz::text(data + 1, size - 1);

  GTMStringEncoding encoding = factory.make();
  if (noPad) encoding.setDoPad(false);
  auto decoded = encoding.decode(text);
  Reference reference = isASCII(text) ? referenceDecode(factory, text) : Reference{};
  fuzz::require(decoded.ok() == reference.bytes.has_value());
  if (!decoded) {
    const platform::Error& error = decoded.error();
    fuzz::require(error.domain == GTMStringEncodingErrorDomain);
    fuzz::require(error.code >= GTMStringEncodingErrorNotASCII &&
                  error.code <= GTMStringEncodingErrorTrailingBits);
    return 0;
  }
  const std::string& bytes = *decoded;
  fuzz::require(bytes == *reference.bytes);

  std::string encoded = encoding.encode(bytes);
  int shift = 0;
  while ((1 << shift) < encoding.base()) ++shift;
  std::size_t length = (bytes.size() * 8 + shift - 1) / shift;
  std::string canonical = reference.digits.substr(0, length);
  fuzz::require(reference.digits.find_first_not_of(factory.alphabet[0], length) ==
                std::string::npos);
  int group = shift;
  while (group % 8 != 0) group += shift;
  const std::size_t padLen = group / shift;
  while (encoding.doPad() && canonical.size() % padLen != 0) canonical += '=';
  fuzz::require(encoded == canonical);
  auto again = encoding.decode(encoded);
  fuzz::require(again && *again == bytes);
  return 0;
}
