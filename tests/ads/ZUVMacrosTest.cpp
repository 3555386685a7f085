#include <gtest/gtest.h>

#include <limits>

#include "ads/support/ZUVMacros.h"

using platform::Dictionary;
using platform::Value;

namespace {

TEST(ZUVMacrosTest, JsonifyWritesContainersAndGivesEmptyTextForWhatTheWriterRefuses) {
  EXPECT_EQ(ZUVMacros::jsonify(std::nullopt), std::nullopt);
  EXPECT_EQ(ZUVMacros::jsonify(Value(Dictionary{{"b", 1}, {"a", "x"}})), R"({"b":1,"a":"x"})");
  EXPECT_EQ(ZUVMacros::jsonify(Value(platform::Array{Value(true)})), "[true]");
  EXPECT_EQ(ZUVMacros::jsonify(Value("top-level text")), "");
  EXPECT_EQ(
      ZUVMacros::jsonify(Value(Dictionary{{"n", Value(std::numeric_limits<double>::quiet_NaN())}})),
      "");
}

}  // namespace
