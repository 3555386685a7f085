#include <gtest/gtest.h>

#include "ads/vast/ZUVVastTracker.h"
#include "tests/support/TestWorld.h"

namespace {

// An ad whose every URL names its event.
ZUVVastAd trackedAd() {
  const std::string host = "http://t.test/";
  ZUVVastAd ad;
  ad.impressionURLs = {host + "imp"};
  ad.errorURLs = {host + "err?c=[ERRORCODE]"};
  ad.clickTrackingURLs = {host + "click"};
  ad.verifications = {{"v", {host + "vne?r=[REASON]"}}};
  for (const char* event : {"creativeView", "start", "firstQuartile", "midpoint", "thirdQuartile",
                            "complete", "pause", "resume", "mute", "skip", "closeLinear"}) {
    ad.tracking.push_back({event, std::nullopt, host + event});
  }
  ad.tracking.push_back({"progress", ZUVVastOffset{false, 1}, host + "p1?at=[ADPLAYHEAD]"});
  return ad;
}

TEST(ZUVVastTrackerTest, FiresEachEventOnceInPlayOrderWithItsMacros) {
  velour_test::TestWorld world;
  std::vector<std::string> sent;
  ZUVVastTracker tracker(trackedAd(), "http://t.test/m.webm",
                         [&](const std::string& url) { sent.push_back(url.substr(14)); });
  tracker.resumed();  // nothing to resume before a pause, nor to pause before the first frame
  tracker.paused();
  for (double t : {0.0, 0.5, 1.2, 2.0, 2.1, 3.9}) tracker.playheadAt(t, 8);
  tracker.paused();
  tracker.paused();
  tracker.resumed();
  tracker.muted();
  tracker.clicked();
  for (double t : {4.0, 6.0, 8.0}) tracker.playheadAt(t, 8);
  tracker.completed();
  tracker.completed();
  tracker.skipped();  // played to its end: nothing left to skip
  tracker.closed();
  tracker.failed(405);  // after the close nothing more
  tracker.playheadAt(9, 8);
  EXPECT_EQ(sent, (std::vector<std::string>{"imp", "creativeView", "start", "vne?r=2",
                                            "p1?at=00%3A00%3A01.200", "firstQuartile", "pause",
                                            "resume", "mute", "click", "midpoint", "thirdQuartile",
                                            "complete", "closeLinear"}));

  sent.clear();
  ZUVVastTracker failing(trackedAd(), "",
                         [&](const std::string& url) { sent.push_back(url.substr(14)); });
  failing.skipped();  // nothing plays yet: nothing to skip
  failing.failed(402);
  failing.failed(405);
  failing.playheadAt(1, 8);
  EXPECT_EQ(sent, std::vector<std::string>{"err?c=402"});
}

}  // namespace
