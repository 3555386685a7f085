#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ads/support/GTMStringEncoding.h"
#include "platform/foundation/Log.h"

namespace {

struct Vector {
  std::string plain, encoded;
};

// The decoded bytes, or nothing when the text was refused.
std::optional<std::string> decoded(const platform::Result<std::string>& result) {
  return result ? std::optional(*result) : std::nullopt;
}

// Why the text was refused; 0 when it was not.
long refusal(const platform::Result<std::string>& result) {
  return result ? 0 : result.error().code;
}

// RFC 4648 section 10, for every base it names.
const std::vector<std::string> kPlain = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};

void expectVectors(const GTMStringEncoding& encoding, const std::vector<std::string>& expected) {
  for (std::size_t i = 0; i < kPlain.size(); ++i) {
    EXPECT_EQ(encoding.encode(kPlain[i]), expected[i]) << kPlain[i];
    EXPECT_EQ(decoded(encoding.decode(expected[i])), kPlain[i]) << expected[i];
  }
}

TEST(GTMStringEncodingTest, RfcVectorsForEveryBase) {
  expectVectors(GTMStringEncoding::rfc4648Base64StringEncoding(),
                {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"});
  expectVectors(
      GTMStringEncoding::rfc4648Base32StringEncoding(),
      {"", "MY======", "MZXQ====", "MZXW6===", "MZXW6YQ=", "MZXW6YTB", "MZXW6YTBOI======"});
  expectVectors(
      GTMStringEncoding::rfc4648Base32HexStringEncoding(),
      {"", "CO======", "CPNG====", "CPNMU===", "CPNMUOG=", "CPNMUOJ1", "CPNMUOJ1E8======"});
  expectVectors(GTMStringEncoding::hexStringEncoding(),
                {"", "66", "666F", "666F6F", "666F6F62", "666F6F6261", "666F6F626172"});
  // Unpadded base 64 and binary encoding are checked through the vozave "encode" command.
  EXPECT_EQ(decoded(GTMStringEncoding::binaryStringEncoding().decode("1000000100000010")),
            "\x81\x02");
}

TEST(GTMStringEncodingTest, WebsafeAlphabetAndLongRoundTrips) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>((i * 37 + 11) & 0xFF);
  auto standard = GTMStringEncoding::rfc4648Base64StringEncoding();
  auto websafe = GTMStringEncoding::rfc4648Base64WebsafeStringEncoding();
  EXPECT_EQ(standard.encode("\xfb\xff"), "+/8=");
  EXPECT_EQ(decoded(websafe.decode("+/8=")), std::nullopt);

  for (auto encoding :
       {GTMStringEncoding::binaryStringEncoding(), GTMStringEncoding::hexStringEncoding(),
        GTMStringEncoding::rfc4648Base32StringEncoding(),
        GTMStringEncoding::crockfordBase32StringEncoding(), standard, websafe,
        *GTMStringEncoding::stringEncodingWithString("0123"),
        *GTMStringEncoding::stringEncodingWithString("01234567")}) {
    for (std::size_t length : {1, 2, 3, 4, 5, 6, 7, 8, 9, 999, 1000}) {
      std::string part = bytes.substr(0, length);
      std::string text = encoding.encode(part);
      EXPECT_EQ(decoded(encoding.decode(text)), part) << encoding.description() << " " << length;
    }
  }
  std::string std64 = standard.encode(bytes);
  std::string safe64 = websafe.encode(bytes);
  for (char& c : std64) c = c == '+' ? '-' : c == '/' ? '_' : c;
  EXPECT_EQ(std64, safe64);
}

TEST(GTMStringEncodingTest, SynonymsAndStrictness) {
  auto hex = GTMStringEncoding::hexStringEncoding();
  EXPECT_EQ(decoded(hex.decode("Ab")), "\xAB");
  EXPECT_EQ(decoded(hex.decode("AB0")), "\xAB");  // the four leftover bits are zero
  EXPECT_EQ(refusal(hex.decode("ABC")), GTMStringEncodingErrorTrailingBits);
  EXPECT_EQ(refusal(hex.decode("AB=")), GTMStringEncodingErrorUnknownCharacter);

  auto crockford = GTMStringEncoding::crockfordBase32StringEncoding();
  EXPECT_EQ(decoded(crockford.decode("oO")), decoded(crockford.decode("00")));
  EXPECT_EQ(decoded(crockford.decode("iIlL0000")), decoded(crockford.decode("11110000")));
  EXPECT_EQ(decoded(crockford.decode("U0")), std::nullopt);
  EXPECT_EQ(decoded(crockford.decode("00=")), std::nullopt);

  auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  EXPECT_EQ(decoded(base64.decode("Zg")), "f");
  EXPECT_EQ(decoded(base64.decode("Zg====")), "f");  // padding may repeat
  EXPECT_EQ(refusal(base64.decode("Zh==")), GTMStringEncodingErrorTrailingBits);
  EXPECT_EQ(refusal(base64.decode("Zg=g")), GTMStringEncodingErrorDigitAfterPadding);
  EXPECT_EQ(refusal(base64.decode("Zm9v\xC3\xA9")), GTMStringEncodingErrorNotASCII);
  EXPECT_EQ(decoded(base64.decode("Zm9v\nZm9v")), std::nullopt);
  // The text ends at its first NUL, but bytes past it must still be ASCII.
  EXPECT_EQ(decoded(base64.decode(std::string("Zm9v\0garbage", 12))), "foo");
  EXPECT_EQ(decoded(base64.decode(std::string("Zm9v\0\xFF", 6))), std::nullopt);

  EXPECT_EQ(refusal(base64.stringByDecoding("/w==")), GTMStringEncodingErrorNotUTF8);
}

TEST(GTMStringEncodingTest, IgnoredCharactersAndPaddingSetUp) {
  auto base64 = GTMStringEncoding::rfc4648Base64StringEncoding();
  EXPECT_TRUE(base64.ignoreCharacters(" \r\n"));
  EXPECT_EQ(decoded(base64.decode("Zm9v\r\nYmFy\n Zg = =")), "foobarf");

  platform::LogCapture log;
  EXPECT_FALSE(base64.ignoreCharacters("A"));
  EXPECT_TRUE(log.contains("Character already mapped"));
  EXPECT_EQ(decoded(base64.decode("AAAA")), std::string(3, '\0'));  // "A" keeps its meaning

  log.clear();
  EXPECT_FALSE(base64.setPaddingChar('Z'));
  EXPECT_FALSE(base64.setPaddingChar('\xC3'));
  EXPECT_EQ(log.lines().size(), 2u);

  auto custom = *GTMStringEncoding::stringEncodingWithString("0123456789abcdef");
  EXPECT_TRUE(custom.setPaddingChar('*'));
  EXPECT_TRUE(custom.setPaddingChar('#'));
  custom.setDoPad(true);
  EXPECT_EQ(custom.encode("\x01"), "01");  // a group of two characters needs no padding
  EXPECT_EQ(decoded(custom.decode("01*#")),
            "\x01");  // the earlier padding character keeps its mark
  EXPECT_TRUE(custom.addDecodeSynonyms("aAbB"));
  EXPECT_EQ(decoded(custom.decode("AB")), "\xAB");
  EXPECT_FALSE(custom.addDecodeSynonyms("a\xC3\xA1"));

  std::string all256;
  for (int i = 0; i < 256; ++i) all256 += static_cast<char>(i);
  for (const std::string& refused :
       {std::string("012"), std::string("0"), std::string(), std::string("0120"),
        std::string("\xC3\xA9"
                    "ab"),
        all256}) {
    EXPECT_FALSE(GTMStringEncoding::stringEncodingWithString(refused)) << refused.size();
  }

  // Base 128 uses all seven bits: eight characters for seven bytes.
  auto base128 = *GTMStringEncoding::stringEncodingWithString(all256.substr(0, 128));
  std::string seven = "\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
  EXPECT_EQ(base128.encode(seven), std::string(8, '\x7F'));
  EXPECT_EQ(decoded(base128.decode(std::string(8, '\x7F'))), seven);
}

}  // namespace
