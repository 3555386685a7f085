#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "ads/support/ZUV_SBJSON.h"

using platform::Array;
using platform::Decimal;
using platform::Dictionary;
using platform::Error;
using platform::Value;

namespace {

// "code:message" of an error and each of its inner errors, outermost first.
std::vector<std::string> chain(const Error& error) {
  std::vector<std::string> out;
  std::optional<Error> current = error;
  while (current) {
    EXPECT_EQ(current->domain, ZUV_SBJSONErrorDomain);
    out.push_back(std::to_string(current->code) + ":" + current->localizedDescription());
    current = ZUV_SBJSON::underlyingError(*current);
  }
  return out;
}

// The error chain of reading text as a fragment; empty when it reads.
std::vector<std::string> readFailure(std::optional<std::string_view> text, bool fragments = true) {
  ZUV_SBJSON json;
  Error error;
  auto value = fragments ? json.fragmentWithStringError(text, &error)
                         : json.objectWithStringError(text, &error);
  if (value) return {};
  return chain(error);
}

Value read(std::string_view text) {
  ZUV_SBJSON json;
  Error error;
  auto value = json.fragmentWithStringError(text, &error);
  EXPECT_TRUE(value) << text << ": " << error.localizedDescription();
  return value.value_or(Value());
}

std::vector<std::string> writeFailure(const Value& value) {
  ZUV_SBJSON json;
  Error error;
  if (json.stringWithFragmentError(value, &error)) return {};
  return chain(error);
}

// The code of the error that writing the value gives; 0 when it writes.
int writeErrorCode(const Value& value) {
  ZUV_SBJSON json;
  Error error;
  return json.stringWithFragmentError(value, &error) ? 0 : error.code;
}

std::string write(const Value& value, bool humanReadable = false, bool sortKeys = false) {
  ZUV_SBJSON json;
  json.setHumanReadable(humanReadable);
  json.setSortKeys(sortKeys);
  Error error;
  auto text = json.stringWithFragmentError(value, &error);
  EXPECT_TRUE(text) << error.localizedDescription();
  return text.value_or("");
}

using Chain = std::vector<std::string>;

std::string nested(int levels, std::string_view open, std::string_view close,
                   std::string_view middle = "") {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  text += middle;
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

}  // namespace

TEST(ZUV_SBJSONTest, ReaderErrorsChainFromTheOutermost) {
  const std::pair<std::string, Chain> cases[] = {
      {"+1", {"2:Leading + disallowed in number"}},
      {"01", {"2:Leading 0 disallowed in number"}},
      {"-", {"2:No digits after initial minus"}},
      {"[-x]", {"3:Expected value while parsing array", "2:No digits after initial minus"}},
      {"1.", {"2:No digits after decimal point"}},
      {"1e", {"2:No digits after exponent"}},
      // Beyond the range of the number type.
      {"1e400", {"2:Failed creating decimal instance"}},
      {std::string(400, '9'), {"2:Failed creating decimal instance"}},
      {"x", {"3:Unrecognised leading character"}},
      {"nUll", {"3:Expected 'null'"}},
      {"tru", {"3:Expected 'true'"}},
      // The literal ends after its letters; what follows is the caller's.
      {"nullx", {"10:Garbage after JSON"}},
      {"", {"11:Unexpected end of string"}},
      {"{1:2}", {"3:Object key string expected"}},
      {"{\"a\x01\":1}", {"3:Object key string expected", "5:Unescaped control character '0x1'"}},
      {"{\"a\" 1}", {"3:Expected ':' separating key and value"}},
      {"{\"a\":}", {"3:Object value expected for key: a", "3:Unrecognised leading character"}},
      {"[1,x]", {"3:Expected value while parsing array", "3:Unrecognised leading character"}},
      {"{\"k\":[{\"m\":tx}]}",
       {"3:Object value expected for key: k", "3:Expected value while parsing array",
        "3:Object value expected for key: m", "3:Expected 'true'"}},
      {"[1,]", {"9:Trailing comma disallowed in array"}},
      {"{\"a\":1 , }", {"9:Trailing comma disallowed in object"}},
      {"[] x", {"10:Garbage after JSON"}},
      {"{", {"11:End of input while parsing object"}},
      {"[", {"11:End of input while parsing array"}},
      {"[1 ", {"11:End of input while parsing array"}},
      {std::string("[\0]", 3), {"11:End of input while parsing array"}},  // ends at its NUL
      {"\"a\x01\"", {"5:Unescaped control character '0x1'"}},
      {"\"abc", {"5:Unescaped control character '0x0'"}},
      {std::string("\"ab\0cd\"", 7), {"5:Unescaped control character '0x0'"}},
      {"\"ab\\n", {"11:Unexpected EOF while parsing string"}},
      {"\"\\u0041", {"11:Unexpected EOF while parsing string"}},
      {"\"\\x\"", {"8:Illegal escape sequence '0x78'"}},
      {"\"\\\xc3\xa9\"", {"8:Illegal escape sequence '0xffc3'"}},
      {"\"\\u12\"", {"6:Broken unicode character", "6:Missing hex quad"}},
      {"\"\\uDC00\"", {"6:Broken unicode character", "6:Invalid high character in surrogate pair"}},
      {"\"\\ud83d\"", {"6:Broken unicode character", "6:Missing low character in surrogate pair"}},
      {"\"\\ud83d\\u12x4\"",
       {"6:Broken unicode character", "6:Missing low character in surrogate pair",
        "6:Missing hex digit in quad"}},
      {"\"\\ud83d\\u0041\"", {"6:Broken unicode character", "6:Invalid low surrogate char"}},
      {"[\"\\uDE00\"]",
       {"3:Expected value while parsing array", "6:Broken unicode character",
        "6:Invalid high character in surrogate pair"}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(readFailure(text), expected) << text;
  EXPECT_EQ(readFailure(std::nullopt), Chain{"12:Input was 'nil'"});
  EXPECT_EQ(readFailure("1", false), Chain{"4:Valid fragment, but not JSON"});

  // The caller's slot is optional and left alone on success.
  ZUV_SBJSON json;
  EXPECT_FALSE(json.objectWithStringError("[", nullptr));
  Error untouched = Error::make("mine", 99, "kept");
  EXPECT_TRUE(json.objectWithStringError("[]", &untouched));
  EXPECT_EQ(untouched.code, 99);

  // Bytes that are not well-formed UTF-8 end the read: lone continuation, bad lead, overlong
  // form, encoded surrogate, beyond U+10FFFF, cut short by the quotation mark or the input.
  for (const char* text :
       {"\"\x80\"", "\"a\xff\"", "\"\xc0\xaf\"", "\"\xe0\x80\xaf\"", "\"\xed\xa0\x80\"",
        "\"\xf4\x90\x80\x80\"", "\"\xe2\x82\"", "\"\xf0\x9f\x98", "{\"\xfe\":1}"}) {
    Chain failure = readFailure(text);
    EXPECT_TRUE(!failure.empty() && failure.back().starts_with("5:")) << text;
  }
}

TEST(ZUV_SBJSONTest, DepthLimitCountsObjectsAndArraysAndChainsTheError) {
  ZUV_SBJSON json;
  EXPECT_TRUE(json.objectWithStringError(nested(512, "[", "]")));
  EXPECT_TRUE(json.objectWithStringError(nested(256, "[{\"k\":", "}]", "1")));

  Chain tooDeep = readFailure(nested(513, "[", "]"));
  ASSERT_EQ(tooDeep.size(), 513u);
  EXPECT_EQ(tooDeep.back(), "7:Nested too deep");
  Chain mixed = readFailure(nested(257, "{\"k\":[", "]}", "1"));
  EXPECT_EQ(mixed.front(), "3:Object value expected for key: k");
  EXPECT_EQ(mixed.back(), "7:Nested too deep");

  json.setMaxDepth(2);
  EXPECT_TRUE(json.objectWithStringError("[[1],{\"a\":1}]"));
  Error error;
  EXPECT_FALSE(json.objectWithStringError("[[[]]]", &error));
  EXPECT_EQ(chain(error).back(), "7:Nested too deep");
  // Depth goes back down after each container, so siblings do not add up.
  EXPECT_TRUE(json.objectWithStringError("[[],[],[],{},{}]"));

  // No configured limit still stops at the hard one instead of overflowing the stack.
  json.setMaxDepth(0);
  EXPECT_FALSE(json.objectWithStringError(nested(ZUV_SBJSON::kHardMaxDepth + 1, "[", "]"), &error));
  EXPECT_EQ(chain(error).back(), "7:Nested too deep");
  EXPECT_FALSE(json.objectWithStringError(std::string(1000000, '['), &error));
  EXPECT_EQ(error.code, 3);
  json.setMaxDepth(100000);
  EXPECT_FALSE(json.objectWithStringError(std::string(1000000, '{'), &error));
  EXPECT_EQ(error.code, 3);
}

TEST(ZUV_SBJSONTest, NumbersReadAsDecimalsThatKeepTheirText) {
  for (const char* text : {"-0", "0", "0.5", "1e5", "1E+5", "-12.340e-07", "1e-400",
                           "123456789012345678901234567890", "0.10000000000000000000001"}) {
    Value value = read(text);
    EXPECT_EQ(value.kind(), Value::Kind::Decimal) << text;
    EXPECT_EQ(value.decimalText(), text);
    EXPECT_EQ(write(value), text);
  }
  EXPECT_DOUBLE_EQ(read("-12.5e1").doubleValue(), -125.0);
  EXPECT_EQ(read("[1,-2]"), (Value(Array{Value(Decimal{"1"}), Value(Decimal{"-2"})})));
  EXPECT_EQ(read(" true ").kind(), Value::Kind::Boolean);
  EXPECT_FALSE(read("false").boolValue(true));
  EXPECT_TRUE(read("null").isNull());
}

TEST(ZUV_SBJSONTest, ReaderIsLenientAboutCommasAndBlanksAndKeepsMemberOrder) {
  EXPECT_EQ(read("{\"a\":1 \"b\":2}"), read("{\"a\":1,\"b\":2}"));
  EXPECT_EQ(read("[1 2 \"x\"]"), read("[1,2,\"x\"]"));
  EXPECT_EQ(read("\v\f [ 1 ,\r\n\t2 ] \v\f\r\n"), read("[1,2]"));
  EXPECT_EQ(read("{\n  \"a\" : [\n    1\n  ]\n}"),
            read("{\"a\":[1]}"));  // as laid out when written

  Value object = read("{\"z\":1,\"a\":{\"y\":true,\"b\":null},\"m\":\"s\",\"z\":[]}");
  EXPECT_EQ(object.dictionaryValue().keys(), (std::vector<std::string>{"z", "a", "m"}));
  EXPECT_EQ(object["z"], Value(Array{}));  // the later duplicate wins
  EXPECT_EQ(object["a"].dictionaryValue().keys(), (std::vector<std::string>{"y", "b"}));
  EXPECT_EQ(write(object), "{\"z\":[],\"a\":{\"y\":true,\"b\":null},\"m\":\"s\"}");
}

TEST(ZUV_SBJSONTest, StringEscapesAndSurrogatePairs) {
  EXPECT_EQ(read("\"\\\" \\\\ \\/ \\b \\f \\n \\r \\t\"").stringValue(), "\" \\ / \b \f \n \r \t");
  EXPECT_EQ(read("\"\\u0041\\u00e9\\u20AC\"").stringValue(), "A\xc3\xa9\xe2\x82\xac");
  EXPECT_EQ(read("\"\\ud83d\\ude00\"").stringValue(), "\xf0\x9f\x98\x80");
  EXPECT_EQ(read("\"\\uDBFF\\uDFFF\"").stringValue(), "\xf4\x8f\xbf\xbf");
  EXPECT_EQ(read("\"a\\u0000b\"").stringValue(), std::string("a\0b", 3));
  const std::string raw = "h\xc3\xa9llo \xe2\x82\xac \xf0\x9d\x84\x9e \x7f";
  EXPECT_EQ(read("\"" + raw + "\"").stringValue(), raw);
  EXPECT_EQ(read("{\"k\\u00e9y\":\"v\"}")["k\xc3\xa9y"].stringValue(), "v");
  // An input holding U+0000 is read only up to it.
  EXPECT_EQ(read(std::string_view("[\"a\"]\0[", 7)), (Value(Array{"a"})));
}

TEST(ZUV_SBJSONTest, WriterEscapesOnlyWhatJSONNeeds) {
  EXPECT_EQ(write("\"\t\x01"), "\"\\\"\\t\\u0001\"");
  EXPECT_EQ(write("\\\b\f\n\r\x1f"), "\"\\\\\\b\\f\\n\\r\\u001f\"");
  EXPECT_EQ(write(std::string("a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(write("/ \x7f \xc3\xa9 \xf0\x9f\x98\x80"), "\"/ \x7f \xc3\xa9 \xf0\x9f\x98\x80\"");
  EXPECT_EQ(write(Dictionary{{"k\"ey", "v"}}), "{\"k\\\"ey\":\"v\"}");

  // Text that is not UTF-8 would make text that is not JSON.
  EXPECT_EQ(writeErrorCode("ab\xff"), 1);
  EXPECT_EQ(writeErrorCode(Array{"\xed\xa0\x80"}), 1);
}

TEST(ZUV_SBJSONTest, WriterNumbersAndOtherValues) {
  EXPECT_EQ(write(-9007199254740993LL), "-9007199254740993");
  EXPECT_EQ(write(static_cast<double>(361.0f)), "361");
  EXPECT_EQ(write(0.1), "0.1");
  EXPECT_EQ(write(-2.5e-8), "-2.5e-08");
  EXPECT_EQ(write(1e21), "1e+21");
  EXPECT_EQ(read(write(1.0 / 3)).doubleValue(), 1.0 / 3);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const Value& refused : {Value(nan), Value(-inf), Value(Array{1, inf}),
                               Value(Decimal{"1.2.3"}), Value(Decimal{""})}) {
    EXPECT_EQ(writeErrorCode(refused), 1) << refused.debugDescription();
  }
  EXPECT_EQ(writeFailure(Dictionary{{"x", nan}}), Chain{"1:Unsupported value for key x in object"});
  // Data and dates have no JSON form and are written as their text form, content and all.
  EXPECT_EQ(write(Array{platform::Bytes{1, 2, 3, 4, 0xAB}, platform::Bytes{}}),
            R"(["<01020304 ab>","<>"])");
  EXPECT_EQ(write(platform::Date{365 * 86400 + 3661.75}), R"("1971-01-01 01:01:01 +0000")");
  EXPECT_EQ(write(platform::Date{-0.5}), R"("1969-12-31 23:59:59 +0000")");

  ZUV_SBJSON json;
  Error error;
  EXPECT_FALSE(json.stringWithObjectError("text", &error));
  EXPECT_EQ(chain(error), Chain{"4:Not valid type for JSON"});
  EXPECT_FALSE(json.stringWithObjectError(3));
  EXPECT_EQ(json.stringWithFragmentError("text"), "\"text\"");
}

TEST(ZUV_SBJSONTest, WriterOptionsLayOutAndSortMembers) {
  Value document = Dictionary{{"b", Array{1, Dictionary{}, Array{}}},
                              {"a", Dictionary{{"y", "s"}, {"x", Value()}}}};
  EXPECT_EQ(write(document), "{\"b\":[1,{},[]],\"a\":{\"y\":\"s\",\"x\":null}}");
  EXPECT_EQ(write(document, false, true), "{\"a\":{\"x\":null,\"y\":\"s\"},\"b\":[1,{},[]]}");
  EXPECT_EQ(write(document, true),
            "{\n"
            "  \"b\" : [\n"
            "    1,\n"
            "    {},\n"
            "    []\n"
            "  ],\n"
            "  \"a\" : {\n"
            "    \"y\" : \"s\",\n"
            "    \"x\" : null\n"
            "  }\n"
            "}");
  EXPECT_EQ(write(Array{Value{Array{"x"}}}, true), "[\n  [\n    \"x\"\n  ]\n]");
  EXPECT_EQ(write(Dictionary{{"b", 1}, {"B", 2}, {"a", 3}, {"\xc3\xa9", 4}}, false, true),
            "{\"B\":2,\"a\":3,\"b\":1,\"\xc3\xa9\":4}");
  // Options persist between calls on one instance, and depth does not leak out of a failure.
  ZUV_SBJSON json;
  json.setHumanReadable(true);
  json.setSortKeys(true);
  EXPECT_FALSE(json.stringWithObjectError(Array{Value(Array{std::nan("")})}));
  EXPECT_EQ(json.stringWithObjectError(Dictionary{{"b", 1}, {"a", Array{}}}),
            "{\n  \"a\" : [],\n  \"b\" : 1\n}");
}

TEST(ZUV_SBJSONTest, WriterRefusesNestingBeyondTheHardLimit) {
  Value deep = Array{};
  for (std::uint32_t i = 1; i < ZUV_SBJSON::kHardMaxDepth; ++i) deep = Array{deep};
  ZUV_SBJSON unlimited;
  unlimited.setMaxDepth(0);
  auto text = unlimited.stringWithObjectError(deep);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, nested(ZUV_SBJSON::kHardMaxDepth, "[", "]"));
  EXPECT_TRUE(unlimited.objectWithStringError(*text) == deep);
  EXPECT_EQ(writeFailure(Array{deep}), Chain{"7:Nested too deep"});
  EXPECT_EQ(writeFailure(Dictionary{{"k", deep}}),
            Chain{"1:Unsupported value for key k in object"});
}
