#include <gtest/gtest.h>

#include "ads/signals/ZUVSignals.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::Dictionary;
using platform::RunLoop;
using platform::URL;
using platform::UserDefaults;
using platform::Value;

namespace {

class ZUVStatisticsTest : public ::testing::Test {
 protected:
  ZUVStatistics& stats() { return ZUVStatistics::sharedStatistics(); }
  static URL url(const std::string& text) { return *URL::parse(text); }

  velour_test::TestWorld world_;
};

TEST_F(ZUVStatisticsTest, CoreStoresOnlyMatchingKindsAndPersists) {
  {
    ZUVStatisticsCore core("ZUVObjectPrivate");
    EXPECT_EQ(core.userDefaultsKey(), "vozave_stats_ZUVObjectPrivate");
    EXPECT_EQ(core.addValueNumberForKey(1, "n"), 1);
    EXPECT_EQ(core.addValueNumberForKey(5, "n"), 6);
    core.setNumberForKey(Value("seven"), "n");
    core.setStringForKey(Value(7), "s");
    core.setDateForKey(Value(platform::Date{1000}), "d");
    EXPECT_EQ(core.numberForKey("n").integerValue(), 6);
    EXPECT_TRUE(core.stringForKey("s").isNull());
    core.setStringForKey(Value(" -12 apples"), "t");  // a text counts as its number
    EXPECT_EQ(core.addValueNumberForKey(20, "t"), 8);
    core.setNumberForKey(Value(INT64_MAX), "big");
    EXPECT_EQ(core.addValueNumberForKey(1, "big"), INT64_MAX);
  }
  UserDefaults::resetStandard();
  ZUVStatisticsCore again("ZUVObjectPrivate");
  EXPECT_EQ(again.numberForKey("n").integerValue(), 6);
  EXPECT_EQ(again.dateForKey("d").dateValue().secondsSince1970, 1000);
  again.removeAllObjects();
  // Something that is not a dictionary under the key leaves a new store empty.
  UserDefaults::standard().setObjectForKey(Value("junk"), "vozave_stats_bad");
  EXPECT_TRUE(ZUVStatisticsCore("bad").numberForKey("n").isNull());
}

TEST_F(ZUVStatisticsTest, ClicksAreCountedTimedAndSigned) {
  EXPECT_EQ(stats().urlForClick(url("about:blank")).absoluteString(), "about:blank");
  EXPECT_EQ(stats().urlForClick(url("gmsg://h/click?ai=1")).absoluteString(),
            "gmsg://h/click?ai=1");
  EXPECT_FALSE(stats().timingNamed("pcl"));
  EXPECT_TRUE(stats().parameters().empty());

  stats().startTimingNamed("ppcl");
  platform::Harness::advance(2s);
  URL plain = stats().urlForClick(url("http://land.example/p"));
  EXPECT_TRUE(stats().isTimingClick());
  EXPECT_FALSE(stats().timingNamed("ppcl")->isActive());

  URL signedClick = stats().urlForClick(url("http://land.example/p?x=1&ai=a%20b"));
  std::string text = signedClick.absoluteString();
  ASSERT_EQ(text.rfind("http://land.example/p?x=1&ai=a%20b&cs=", 0), 0u) << text;
  auto fields = ZUVSignalsDecodeValue(text.substr(text.find("cs=") + 3));
  ASSERT_TRUE(fields);
  EXPECT_EQ((*fields)["ai"], "a%20b");
  EXPECT_EQ(stats().timingNamed("pcl")->valueForKey("pai")->stringValue(), "a%20b");

  // Impression tickets only from the network's own hosts and paths over four characters.
  stats().addClickTrackingURL(url("http://evilvozave.com/abcdTICKET"));
  stats().addClickTrackingURL(url("http://t.vozave.com/abc"));
  EXPECT_FALSE(stats().timingNamed("pcl")->valueForKey("pit"));
  stats().addClickTrackingURL(url("http://t.vozave.com/abcdTICKET"));
  EXPECT_EQ(stats().timingNamed("pcl")->valueForKey("pit")->stringValue(), "dTICKET");

  platform::Harness::advance(0.5s);
  Dictionary report = stats().parameters();
  EXPECT_EQ(report.find("pcc")->integerValue(), 2);
  EXPECT_EQ(report.find("pcl")->stringValue(), "500");
  EXPECT_EQ(report.find("ppcl")->stringValue(), "2000");
  EXPECT_FALSE(report.contains("date"));
  EXPECT_FALSE(report.contains("pclb"));
}

TEST_F(ZUVStatisticsTest, ReportsClearEverythingButTheTotalAndTheTimeSinceTheFirstRequest) {
  stats().startTimingNamed("ptime");
  stats().startTimingNamed("ppcl");  // no click follows: not reported
  stats().startTimingNamed("prl");
  stats().incrementAdRequestCount();
  EXPECT_EQ(stats().incrementAdRequestCount(), 2);
  stats().incrementPageNavigationCount();
  stats().incrementSSLPageNavigationCount();
  stats().setBreakOutToSafari();
  stats().setAppOpenInterstitialNoFill();
  stats().setAppOpenInterstitialTimeOut();
  stats().resetAppOpenInterstitialTimeOut();
  platform::Harness::advance(1s);
  stats().endTimingNamed("prl");

  // A look that leaves the statistics in place, as a request that is never sent needs.
  Dictionary peek = stats().currentParameters();
  Dictionary first = stats().parameters();
  EXPECT_EQ(peek, first);
  EXPECT_EQ(first.keys(), (std::vector<std::string>{"prl", "ptime", "preqs", "pcbo", "aoi_nofill",
                                                    "plpnc", "plpsnc"}));
  EXPECT_EQ(first.find("prl")->stringValue(), "1000");

  platform::Harness::advance(1s);
  Dictionary second = stats().parameters();
  EXPECT_EQ(second, (Dictionary{{"ptime", "2000"}, {"preqs", 2}}));
  stats().setAdRequestCount(0);
  EXPECT_EQ(stats().parameters(), (Dictionary{{"ptime", "2000"}}));
}

TEST_F(ZUVStatisticsTest, ABackgroundedClickReportsMillisecondsSinceTheClick) {
  stats().urlForClick(url("http://land.example/"));
  stats().setClickBackgroundedApp();
  stats().endTimingNamed("pcl");
  platform::Harness::advance(3s);
  Dictionary report = stats().parameters();
  EXPECT_EQ(report.find("pclb")->integerValue(), 1);
  EXPECT_EQ(report.find("pcl")->integerValue(), 3000);
  EXPECT_FALSE(stats().parameters().contains("pclb"));
}

TEST_F(ZUVStatisticsTest, UnreportedCountsSurviveTheApplicationGoingAway) {
  stats().incrementClickCount();
  stats().setBreakOutToSafari();
  stats().startTimingNamed("ptime");
  platform::NotificationCenter::defaultCenter().postNotification(
      platform::kApplicationDidEnterBackgroundNotification, nullptr);
  // The process is killed in the background: what is in memory is gone.
  UserDefaults::resetStandard();
  // A count kept as text (written by another version) is reported as the number it holds.
  Value saved = UserDefaults::standard().objectForKey("vozave_stats_shared");
  saved.mutableDictionary().set("plpnc", "3");
  UserDefaults::standard().setObjectForKey(saved, "vozave_stats_shared");
  ZUVStatistics relaunched;
  Dictionary report = relaunched.parameters();
  EXPECT_EQ(Value(report)["plpnc"], Value("3"));
  EXPECT_EQ(report.find("pcc")->integerValue(), 1);
  EXPECT_EQ(report.find("pcbo")->integerValue(), 1);
  EXPECT_TRUE(report.contains("ptime"));
}

}  // namespace
