#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ads/support/ZUVPrivateUtilities.h"

namespace {

TEST(ZUVPrivateUtilitiesTest, EntriesAreKeyedByIdentityAndKeepTheirValuesAlive) {
  int owner = 0, other = 0;
  auto companion = std::make_shared<std::string>("private");
  std::weak_ptr<std::string> watch = companion;
  ZUVPrivateUtilities::setPrivateObjectForKey(companion, &owner);
  companion.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(
      *std::static_pointer_cast<std::string>(ZUVPrivateUtilities::privateObjectForKey(&owner)),
      "private");
  EXPECT_EQ(ZUVPrivateUtilities::privateObjectForKey(&other), nullptr);

  ZUVPrivateUtilities::setPrivateObjectForKey(std::make_shared<int>(2), &owner);
  EXPECT_TRUE(watch.expired());
  ZUVPrivateUtilities::setPrivateObjectForKey(nullptr, &owner);
  EXPECT_EQ(ZUVPrivateUtilities::privateObjectForKey(&owner), nullptr);

  ZUVPrivateUtilities::setPrivateObjectForKey(std::make_shared<int>(3), &other);
  ZUVPrivateUtilities::removePrivateObjectForKey(&other);
  EXPECT_EQ(ZUVPrivateUtilities::privateObjectForKey(&other), nullptr);
  ZUVPrivateUtilities::setPrivateObjectForKey(std::make_shared<int>(4), nullptr);
  EXPECT_EQ(ZUVPrivateUtilities::privateObjectForKey(nullptr), nullptr);
}

}  // namespace
