#include <gtest/gtest.h>

#include "platform/foundation/Text.h"

namespace text = platform::text;

TEST(TextTest, Utf8AcceptsOnlyWellFormedSequences) {
  EXPECT_TRUE(text::isValidUtf8("plain \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"));
  for (std::string_view bad : {"\xC0\xAF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                               "\xF5\x80\x80\x80", "\x80", "\xE2\x82", "ok\xF0\x9F\x8E"}) {
    EXPECT_FALSE(text::isValidUtf8(bad)) << text::hexString(bad);
  }
  EXPECT_FALSE(text::isASCII("iPhone\x7F\x80"));
  std::string out;
  for (char32_t scalar : {U'A', U'\u00E9', U'\u20AC', U'\U0001F3B5'}) text::appendUtf8(out, scalar);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");
  out.clear();
  text::appendUtf8(out, 0xD800);
  text::appendUtf8(out, 0x110000);
  EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(TextTest, Base64RoundTripsAndRefusesBrokenGroups) {
  EXPECT_EQ(text::base64Encode("f"), "Zg==");
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  EXPECT_EQ(text::base64Decode(text::base64Encode(bytes)), bytes);
  EXPECT_EQ(text::base64Decode("Zm8\n=", "\n"), "fo");
  EXPECT_EQ(text::base64Decode("Zm8"), "fo");
  for (std::string_view bad : {"Zm8\n=", "Z", "Zm9v=", "Zg===", "Zg==Zg", "Zm*v"}) {
    EXPECT_FALSE(text::base64Decode(bad)) << bad;
  }
  EXPECT_EQ(text::base64UrlEncode("\xFB\xFF"), "-_8");
  EXPECT_EQ(text::base64UrlDecode(text::base64UrlEncode(bytes)), bytes);
  // One text for each value: no padding, no other alphabet, no stray bits.
  for (std::string_view bad : {"Zg==", "+_8", "-_9", "Zm9vY"}) {
    EXPECT_FALSE(text::base64UrlDecode(bad)) << bad;
  }
}

TEST(TextTest, HexCaseAndBlanks) {
  EXPECT_EQ(text::hexString("\x01\xAB", text::HexCase::upper), "01AB");
  EXPECT_EQ(text::bytesDescription("\x01\x02\x03\xFF\x05"), "<010203ff 05>");
  EXPECT_EQ(text::hexDigitValue('f'), 15);
  EXPECT_EQ(text::jsonEscapedCharacter('t'), '\t');
  EXPECT_EQ(text::jsonEscapedCharacter('u'), 0);
  EXPECT_EQ(text::hexDigitValue('G'), -1);
  EXPECT_EQ(text::strictPercentDecode("a%3D%3db%25"), "a==b%");
  for (std::string_view bad : {"%", "a%4", "%G1", "%%41"}) {
    EXPECT_FALSE(text::strictPercentDecode(bad)) << bad;
  }
  EXPECT_EQ(text::asciiLowercase("Content-TYPE \xC3\x89"), "content-type \xC3\x89");
  EXPECT_FALSE(text::equalsIgnoringASCIICase("Etag", "Etags"));
  EXPECT_EQ(text::trimmed(" \t value \r\n"), "value");
  EXPECT_EQ(text::leadingInt32(" \t-12 apples"), -12);
  EXPECT_EQ(text::leadingInt32("+99999999999"), INT32_MAX);
  EXPECT_EQ(text::leadingInt32("-99999999999"), INT32_MIN);
  EXPECT_EQ(text::leadingInt32("x1"), 0);
  EXPECT_EQ(text::trimmed("\v x y \n", " \n"), "\v x y");
  EXPECT_EQ(text::markupEscaped("<b title=\"a's\">&\xC3\xA9</b>"),
            "&lt;b title=&quot;a&#39;s&quot;&gt;&amp;\xC3\xA9&lt;/b&gt;");
}

TEST(TextTest, SingleLineEscapesControlsAndBrokenBytesAndIsBounded) {
  EXPECT_EQ(text::singleLine("a\r\nb\t\\\x1B[2J\x7F\xC3\xA9 \xC2\x9B\xC2\x85\xC2\xA0 \xFF\xC3"),
            "a\\r\\nb\\t\\\\\\x1b[2J\\x7f\xC3\xA9 \\u009b\\u0085\xC2\xA0 \\xff\\xc3");
  EXPECT_EQ(text::singleLine(std::string("\0\xE2\x82\xAC", 4)), "\\x00\xE2\x82\xAC");
  EXPECT_EQ(text::singleLine(std::string(5000, 'x'), 100),
            std::string(100, 'x') + "... (4900 more bytes)");
  EXPECT_EQ(text::singleLine(std::string(100, 'x'), 100), std::string(100, 'x'));
}
