#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

using platform::Array;
using platform::Decimal;
using platform::Dictionary;
using platform::Value;

TEST(ValueTest, DictionaryKeepsFirstInsertionOrderAndReplacesInPlace) {
  Dictionary d{{"b", 1}, {"a", 2}};
  d.set("c", 3);
  d.set("b", "again");
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_TRUE(d.remove("a"));
  EXPECT_FALSE(d.remove("a"));
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"b", "c"}));
  // Order does not take part in equality.
  EXPECT_EQ((Dictionary{{"x", 1}, {"y", 2}}), (Dictionary{{"y", 2}, {"x", 1}}));
  EXPECT_NE((Dictionary{{"x", 1}}), (Dictionary{{"x", 1}, {"y", 2}}));
}

TEST(ValueTest, LargeDictionariesFindEveryKeyThroughRemovalsAndCopies) {
  Dictionary d;
  std::vector<std::string> expected;
  for (int i = 0; i < 3000; ++i) d.set("k" + std::to_string(i), i);
  for (int i = 0; i < 3000; i += 3) EXPECT_TRUE(d.remove("k" + std::to_string(i)));
  for (int i = 0; i < 3000; i += 6) d.set("k" + std::to_string(i), -i);
  for (int i = 0; i < 3000; ++i) {
    if (i % 3) expected.push_back("k" + std::to_string(i));
  }
  for (int i = 0; i < 3000; i += 6) expected.push_back("k" + std::to_string(i));
  EXPECT_EQ(d.keys(), expected);
  for (int i = 0; i < 3000; ++i) {
    const Value* found = d.find("k" + std::to_string(i));
    if (i % 6 == 3) {
      EXPECT_FALSE(found) << i;
    } else {
      ASSERT_TRUE(found) << i;
      EXPECT_EQ(found->integerValue(), i % 3 ? i : -i);
    }
  }
  Dictionary copy = d;
  copy.set("k3", 3);
  EXPECT_FALSE(d.find("k3"));
  while (d.size() > 2) EXPECT_TRUE(d.remove(std::string((d.end() - 1)->first)));
  EXPECT_EQ(d.keys(), (std::vector<std::string>{"k1", "k2"}));
  EXPECT_EQ(d.find("k2")->integerValue(), 2);
}

TEST(ValueTest, CopiesDoNotShareMutations) {
  Value original = Dictionary{{"list", Array{1, 2}}};
  Value copy = original;
  copy.mutableDictionary().find("list")->mutableArray().push_back(3);
  EXPECT_EQ(original["list"].arrayValue().size(), 2u);
  Value null;
  null.mutableArray().push_back("x");
  EXPECT_TRUE(null.isArray());
}

TEST(ValueTest, NumbersCompareAcrossKindsAndDecimalsKeepTheirText) {
  EXPECT_EQ(Value(2), Value(2.0));
  EXPECT_EQ(Value(Decimal{"1.10"}), Value(1.1));
  EXPECT_EQ(Value(Decimal{"1.10"}).decimalText(), "1.10");
  EXPECT_NE(Value(true), Value("true"));
  EXPECT_EQ(Value(Decimal{"1e400"}).integerValue(-1), -1);
  EXPECT_EQ(Value(3.9).integerValue(), 3);
  EXPECT_TRUE(Value(Dictionary{{"k", 1}})["other"].isNull());
}

TEST(ValueTest, ErrorCarriesItsDescription) {
  auto error = platform::Error::make("Domain", 4, "It broke");
  EXPECT_EQ(error.localizedDescription(), "It broke");
  platform::Error bare{"Domain", 7, {}};
  EXPECT_NE(bare.localizedDescription().find("Domain error 7"), std::string::npos);
}
