#include <gtest/gtest.h>

#include <limits>

#include "ads/support/ZUVNumberUtilities.h"

namespace {

TEST(ZUVNumberUtilitiesTest, FloatsLoseTrailingZerosAndTheBarePoint) {
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(320.0f), "320");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(1.5f), "1.5");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(0.0000001f), "0");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(-0.0000001f), "0");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(0.125f), "0.125");
  EXPECT_EQ(ZUVNumberUtilities::stringWithFloat(std::numeric_limits<float>::infinity()), "inf");
}

}  // namespace
