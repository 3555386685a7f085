#include <gtest/gtest.h>

#include <string>

#include "ads/support/ZUVNetworkUtilities.h"

using platform::Dictionary;
using platform::URL;

namespace {

URL url(const std::string& text) {
  auto parsed = URL::parse(text);
  EXPECT_TRUE(parsed) << text;
  return parsed.value_or(*URL::parse("about:blank"));
}

std::string appended(const Dictionary& parameters, const std::string& base) {
  auto result = ZUVNetworkUtilities::appendQueryParametersToURL(parameters, url(base));
  return result ? result->absoluteString() : "(none)";
}

TEST(ZUVNetworkUtilitiesTest, QueryPairsAreDecodedWithLowerCaseKeysAndBadComponentsSkipped) {
  // Leading blanks of a component are skipped, inner and trailing ones kept; "+" stays.
  Dictionary pairs = ZUVNetworkUtilities::dictionaryFromQueryString(" \n x=a b \r\n; y=1+2");
  EXPECT_EQ(pairs, (Dictionary{{"x", "a b \r\n"}, {"y", "1+2"}}));

  pairs = ZUVNetworkUtilities::dictionaryFromQueryString("K%41=%C3%A9&k=%2");
  EXPECT_EQ(pairs, (Dictionary{{"ka", "\u00e9"}}));

  // An escape that is malformed or does not decode to UTF-8 drops its pair only.
  pairs = ZUVNetworkUtilities::dictionaryFromQueryString("a=%zz&b=%FF&c%=1&d=%C3&e=ok");
  EXPECT_EQ(pairs, (Dictionary{{"e", "ok"}}));

  // A later pair replaces an earlier one; empty pieces still count.
  pairs = ZUVNetworkUtilities::dictionaryFromQueryString("a=1&A=2&=x&z=");
  EXPECT_EQ(pairs, (Dictionary{{"a", "2"}, {"", "x"}, {"z", ""}}));

  EXPECT_TRUE(ZUVNetworkUtilities::dictionaryFromQueryString(" ;&& ").empty());
}

TEST(ZUVNetworkUtilitiesTest, ParameterValueIsTheFirstExactMatchStillEncoded) {
  URL page = url("http://ads.example/p?x=1&ai=a%20b&ai=second&n");
  EXPECT_EQ(ZUVNetworkUtilities::parameterValueForKeyFromURL("ai", page), "a%20b");
  EXPECT_EQ(ZUVNetworkUtilities::parameterValueForKeyFromURL("AI", page), std::nullopt);
  EXPECT_EQ(ZUVNetworkUtilities::parameterValueForKeyFromURL("n", page), std::nullopt);
}

TEST(ZUVNetworkUtilitiesTest, AppendingEncodesValuesAndPicksTheSeparator) {
  EXPECT_EQ(appended({{"u", "a b"}}, "http://a/p"), "http://a/p?u=a%20b");
  EXPECT_EQ(appended({{"u", "a b"}}, "http://a/p?x=1"), "http://a/p?x=1&u=a%20b");
  EXPECT_EQ(appended({{"k", ""}, {"n", 7}, {"f", 1.5}, {"t", true}}, "http://a/p"),
            "http://a/p?k&n=7&f=1.5&t=1");
  // Pairs go before the fragment, so that the server gets them.
  EXPECT_EQ(appended({{"u", "1"}}, "http://a/p?x=1#top"), "http://a/p?x=1&u=1#top");
  // Keys are not encoded; one that breaks the URL gives no URL.
  EXPECT_EQ(appended({{"a key", "1"}}, "http://a/p"), "(none)");

  auto one = ZUVNetworkUtilities::appendQueryKeyValueToURL("s", std::nullopt, url("http://a/"));
  ASSERT_TRUE(one);
  EXPECT_EQ(one->absoluteString(), "http://a/?s");
}

TEST(ZUVNetworkUtilitiesTest, UserAgentKeepsTheLastNonEmptyText) {
  ZUVNetworkUtilities::setUserAgentString("Agent/1");
  ZUVNetworkUtilities::setUserAgentString("");
  EXPECT_EQ(ZUVNetworkUtilities::userAgentString(), "Agent/1");
}

}  // namespace
