#include <gtest/gtest.h>

#include <string>

#include "platform/web/JsonCodec.h"

using platform::Array;
using platform::Dictionary;
using platform::JsonCodec;
using platform::Value;

namespace {

TEST(JsonCodecTest, ReadsAndWritesProtocolMessagesAndRefusesOrMendsBadText) {
  auto message = JsonCodec::parse(
      R"( {"id": 12, "result": {"n": -2.5e1, "big": 18446744073709551616, "ok": true,
          "none": null, "list": [1, "two", []], "text": "a\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"}} )");
  ASSERT_TRUE(message);
  EXPECT_EQ((*message)["id"].kind(), Value::Kind::Integer);
  EXPECT_EQ((*message)["id"].integerValue(), 12);
  const Value& result = (*message)["result"];
  EXPECT_DOUBLE_EQ(result["n"].doubleValue(), -25.0);
  EXPECT_EQ(result["big"].kind(), Value::Kind::Real);
  EXPECT_TRUE(result["ok"].boolValue());
  EXPECT_TRUE(result["none"].isNull());
  EXPECT_EQ(result["list"].arrayValue().size(), 3u);
  EXPECT_EQ(result["text"].stringValue(), "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");

  Value out(Dictionary{{"id", 1},
                       {"method", "Runtime.evaluate"},
                       {"params", Dictionary{{"expression", "a\n\"b\"\x01"}, {"x", 0.5}}},
                       {"list", Array{Value(true), Value()}}});
  EXPECT_EQ(JsonCodec::write(out),
            R"({"id":1,"method":"Runtime.evaluate","params":{"expression":"a\n\"b\"\u0001",)"
            R"("x":0.5},"list":[true,null]})");
  EXPECT_EQ(JsonCodec::parse(JsonCodec::write(out)).valueOr(Value()), out);

  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "01", "1.", "-", "\"\\x\"", "\"a",
                          "\"\x01\"", "tru", "1 2", "{\"a\":1,}", "\"\\u12\""}) {
    auto parsed = JsonCodec::parse(bad);
    ASSERT_FALSE(parsed) << bad;
    EXPECT_FALSE(parsed.error().localizedDescription().empty()) << bad;
  }
  std::string deep(JsonCodec::kMaximumDepth + 10, '[');
  EXPECT_FALSE(JsonCodec::parse(deep + std::string(JsonCodec::kMaximumDepth + 10, ']')));

  // A lone surrogate and invalid UTF-8 become U+FFFD; NaN becomes null.
  EXPECT_EQ(JsonCodec::parse(R"("\ud800x")")->stringValue(), "\xEF\xBF\xBDx");
  EXPECT_EQ(JsonCodec::parse("\"\xED\xA0\x80\xC3\xA9\"")->stringValue(),
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9");
  EXPECT_EQ(JsonCodec::write(Value(std::string("a\xFF\xC3"))), "\"a\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonCodec::write(Value(0.0 / 0.0)), "null");
}

}  // namespace
