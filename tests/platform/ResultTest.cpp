#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/foundation/Result.h"

using platform::Error;
using platform::Result;

TEST(ResultTest, HoldsTheValueOrTheError) {
  Result<std::string> good = std::string("clip");
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(*good, "clip");
  EXPECT_EQ(good->size(), 4u);
  EXPECT_EQ(good.valueOr("none"), "clip");

  Result<std::string> bad = Error::make("Test", 7, "no clip");
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().code, 7);
  EXPECT_EQ(bad.error().localizedDescription(), "no clip");
  EXPECT_EQ(bad.valueOr("none"), "none");

  // A value that can only move comes out whole.
  Result<std::unique_ptr<int>> owned = std::make_unique<int>(3);
  std::unique_ptr<int> taken = std::move(owned).value();
  ASSERT_TRUE(taken);
  EXPECT_EQ(*taken, 3);

  Result<void> done;
  EXPECT_TRUE(done);
  Result<void> failed = Error::make("Test", 2, "refused");
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().domain, "Test");
}
