#include <gtest/gtest.h>

#include <string>

#include "ads/mraid/ZUVMraidMessage.h"
#include "ads/mraid/ZUVMraidScript.h"
#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUV_SBJSON.h"

namespace {

// Texts that would end a string literal, a script element or a script line if they went in raw.
const std::string kHostile[] = {
    "say \"hi\"",
    "it's",
    "back\\slash",
    "</script><script>alert(1)</script>",
    "line\xE2\x80\xA8separator\xE2\x80\xA9",
    std::string("nul\0inside", 10),
    "<!-- -->",
};

TEST(ZUVMraidScriptTest, EveryTextStaysInsideItsLiteral) {
  for (const std::string& text : kHostile) {
    platform::Dictionary change{
        {"state", text},
        {"events", platform::Array{platform::Value(platform::Array{"error", text, "open"})}}};
    const std::optional<std::string> script = ZUVMraidScript::update(change);
    ASSERT_TRUE(script) << text;
    EXPECT_EQ(script->find('<'), std::string::npos) << *script;
    EXPECT_EQ(script->find('\0'), std::string::npos) << *script;
    EXPECT_EQ(script->find("\xE2\x80\xA8"), std::string::npos) << *script;
    EXPECT_EQ(script->find("\xE2\x80\xA9"), std::string::npos) << *script;
    // The argument is one JSON value that gives back exactly the text.
    const std::string prefix = "window.__vozaveMraid && window.__vozaveMraid.update(";
    ASSERT_TRUE(script->starts_with(prefix) && script->ends_with(");")) << *script;
    ZUV_SBJSON reader;
    auto value = reader.objectWithStringError(
        std::string_view(*script).substr(prefix.size(), script->size() - prefix.size() - 2));
    ASSERT_TRUE(value) << *script;
    EXPECT_EQ(*value, platform::Value(change)) << text;
  }
  // Text that is not UTF-8 has no literal: nothing is sent rather than something broken.
  EXPECT_FALSE(ZUVMraidScript::literal(platform::Value("\xFF")));
  const std::string start =
      ZUVMraidScript::documentStart(platform::Dictionary{{"sdk", "</script>"}});
  EXPECT_TRUE(start.starts_with("window.MRAID_ENV = {\"sdk\":\"\\u003c/script>\"};\n")) << start;
}

TEST(ZUVMraidMessageTest, ValuesComeBackExactlyAndAnythingMalformedIsRefused) {
  for (const std::string& text : kHostile) {
    if (text.find('\0') != std::string::npos) continue;
    auto message = ZUVMraidMessage::read(
        "vozave-mraid:open?url=" + ZUVNetworkUtilities::encodeURL(text) + "&width=-1.5e+2");
    ASSERT_TRUE(message) << text;
    EXPECT_EQ(message->call(), ZUVMraidMessage::Call::Open);
    EXPECT_EQ(*message->text("url"), text);
    EXPECT_EQ(message->number("width"), -150);
  }
  auto resize = ZUVMraidMessage::read("vozave-mraid:resize?allowOffscreen=true&width=0x10");
  ASSERT_TRUE(resize);
  EXPECT_EQ(resize->boolean("allowOffscreen"), true);
  EXPECT_FALSE(resize->number("width"));
  EXPECT_FALSE(resize->text("height"));

  const std::string refused[] = {
      "vozave-mraid:open?url=a%00b",
      "vozave-mraid:open?url=%FF",
      "vozave-mraid:open?url=%4",
      "vozave-mraid:open?url=%zz",
      "vozave-mraid:open?url=a&url=b",
      "vozave-mraid:open?url",
      "vozave-mraid:open?u-rl=a",
      "vozave-mraid:open?url=a&",
      "vozave-mraid:storePicture",
      "vozave-mraid:",
      "VOZAVE-MRAID:close",
      "gmsg:close",
      "vozave-mraid:close?a=1&b=1&c=1&d=1&e=1&f=1&g=1&h=1&i=1",
      "vozave-mraid:open?url=" + std::string(ZUVMraidMessage::kMaxBytes, 'a'),
  };
  for (const std::string& text : refused) {
    EXPECT_FALSE(ZUVMraidMessage::read(text)) << text;
  }
}

}  // namespace
