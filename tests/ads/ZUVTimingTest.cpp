#include <gtest/gtest.h>

#include <algorithm>

#include "ads/support/ZUVTimingManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::Dictionary;
using platform::RunLoop;
using platform::UserDefaults;

namespace {

class ZUVTimingTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world_;
};

TEST_F(ZUVTimingTest, StatesAndElapsedTime) {
  ZUVTiming timing("prl");
  EXPECT_FALSE(timing.isActive());
  timing.end();  // never started: stays so
  EXPECT_EQ(timing.endSeconds(), 0);
  EXPECT_EQ(timing.elapsedMillisecondsString(), "0");

  timing.start();
  platform::Harness::advance(1.25s);
  EXPECT_EQ(timing.elapsedMilliseconds(), 1250u);
  timing.end();
  EXPECT_FALSE(timing.isActive());
  platform::Harness::advance(3s);
  EXPECT_EQ(timing.elapsedMilliseconds(), 1250u);  // ended: fixed
  timing.end();                                    // ending again moves the end
  EXPECT_EQ(timing.elapsedMilliseconds(), 4250u);

  timing.start();  // restarting begins again from now
  platform::Harness::advance(0.0004s);
  EXPECT_EQ(timing.elapsedMilliseconds(), 0u);
  timing.reset();
  EXPECT_FALSE(timing.isActive());

  EXPECT_EQ(ZUVTiming::createWithCategory(""), nullptr);
}

TEST_F(ZUVTimingTest, RepresentationsAndRestoredReadings) {
  ZUVTiming timing("pcl");
  EXPECT_FALSE(timing.dictionaryRepresentation().contains("userData"));
  timing.setValueForKey(std::nullopt, "date");
  EXPECT_EQ(timing.dictionaryRepresentation().find("userData")->dictionaryValue(), Dictionary());
  timing.setValueForKey(platform::Value("a%20b"), "pai");
  timing.start();
  auto copy = ZUVTiming::createWithDictionaryRepresentation(timing.dictionaryRepresentation());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->dictionaryRepresentation(), timing.dictionaryRepresentation());
  copy->removeValueForKey("pai");
  EXPECT_TRUE(copy->keysAndValues().empty());
  EXPECT_EQ(timing.keysAndValues().size(), 1u);  // the copy has data of its own

  auto ancient = ZUVTiming::createWithDictionaryRepresentation(
      {{"category", "x"}, {"start", 1.0}, {"end", 1e8}});
  EXPECT_EQ(ancient->elapsedMilliseconds(), 4294967295u);
  EXPECT_FALSE(ZUVTiming::createWithDictionaryRepresentation({{"start", 1.0}}));
}

TEST_F(ZUVTimingTest, ManagersKeepOneTimingACategoryAndSurviveALaunch) {
  {
    auto owner = std::make_unique<ZUVTimingManager>("shared");
    ZUVTimingManager& manager = *owner;
    auto first = manager.addTimingWithCategory("prl");
    first->start();
    auto second = std::make_shared<ZUVTiming>("prl");
    manager.addTiming(second);
    manager.addTiming(nullptr);
    EXPECT_EQ(manager.timingForCategory("prl"), second);
    manager.addTimingWithCategory("plpd")->setValueForKey(platform::Value(7), "n");
    manager.addTimingWithCategory("gone");
    manager.removeTimingsForCategories({"gone", "absent"});
    second->start();
    platform::Harness::advance(2s);
    second->end();
    // The application ends: the manager saves itself.
    platform::NotificationCenter::defaultCenter().postNotification(
        platform::kApplicationWillTerminateNotification, nullptr);
    UserDefaults::resetStandard();  // the file is read again, as at the next launch
    ZUVTimingManager reloaded("shared");
    auto categories = reloaded.categories();
    std::sort(categories.begin(), categories.end());
    EXPECT_EQ(categories, (std::vector<std::string>{"plpd", "prl"}));
    EXPECT_EQ(reloaded.timingForCategory("prl")->elapsedMilliseconds(), 2000u);
    EXPECT_EQ(reloaded.timingForCategory("plpd")->valueForKey("n")->integerValue(), 7);
    owner.reset();
    reloaded.removeAllTimings();
  }
  // The last manager to go saved its empty set.
  UserDefaults::resetStandard();
  EXPECT_TRUE(ZUVTimingManager("shared").timings().empty());

  // A stored entry of the wrong kind loads nothing, and other identifiers are apart.
  UserDefaults::standard().setObjectForKey(platform::Value("junk"), "vozave_timing_other");
  EXPECT_TRUE(ZUVTimingManager("other").timings().empty());

  // Saved before the device restarted, a running timing starts ahead of the clock: it measures
  // afresh from the load, while an ended one keeps its figure.
  const double ahead = ZUVTiming::counter() + 500;
  UserDefaults::standard().setObjectForKey(
      Dictionary{{"ptime", Dictionary{{"category", "ptime"}, {"start", ahead}}},
                 {"prl", Dictionary{{"category", "prl"}, {"start", ahead}, {"end", ahead + 2}}}},
      "vozave_timing_restarted");
  ZUVTimingManager restarted("restarted");
  platform::Harness::advance(1.5s);
  EXPECT_EQ(restarted.timingForCategory("ptime")->elapsedMilliseconds(), 1500u);
  EXPECT_EQ(restarted.timingForCategory("prl")->elapsedMilliseconds(), 2000u);
}

}  // namespace
