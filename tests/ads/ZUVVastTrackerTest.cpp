#include <gtest/gtest.h>

#include "ads/vast/ZUVVastReader.h"
#include "ads/vast/ZUVVastTracker.h"
#include "tests/support/TestWorld.h"

namespace {

// An ad of 8 s whose every URL names its event; `host` is where they all go.
ZUVVastAd trackedAd(const std::string& host) {
  std::string doc = "<VAST version=\"4.1\"><Ad><InLine><Impression>" + host +
                    "/imp</Impression><Error>" + host +
                    "/err?c=[ERRORCODE]</Error><AdVerifications><Verification vendor=\"v\">"
                    "<TrackingEvents><Tracking event=\"verificationNotExecuted\">" +
                    host +
                    "/vne?r=[REASON]</Tracking></TrackingEvents></Verification>"
                    "</AdVerifications><Creatives><Creative><Linear><Duration>00:00:08"
                    "</Duration><TrackingEvents>";
  for (const char* event : {"creativeView", "start", "firstQuartile", "midpoint", "thirdQuartile",
                            "complete", "pause", "resume", "mute", "skip", "closeLinear"}) {
    doc += "<Tracking event=\"" + std::string(event) + "\">" + host + "/" + event + "</Tracking>";
  }
  doc += "<Tracking event=\"progress\" offset=\"00:00:01\">" + host +
         "/p1?at=[ADPLAYHEAD]</Tracking></TrackingEvents><VideoClicks><ClickTracking>" + host +
         "/click</ClickTracking></VideoClicks><MediaFiles><MediaFile type=\"video/webm\">" + host +
         "/m.webm</MediaFile></MediaFiles></Linear></Creative></Creatives></InLine>" +
         "</Ad></VAST>";
  auto read = ZUVVastReader::read(doc);
  EXPECT_TRUE(read);
  return *read->adToPlay();
}

TEST(ZUVVastTrackerTest, FiresEachEventOnceInPlayOrderWithItsMacros) {
  velour_test::TestWorld world;
  std::vector<std::string> sent;
  ZUVVastTracker tracker(trackedAd("http://t.test"), "http://t.test/m.webm",
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
  ZUVVastTracker failing(trackedAd("http://t.test"), "",
                         [&](const std::string& url) { sent.push_back(url.substr(14)); });
  failing.skipped();  // nothing plays yet: nothing to skip
  failing.failed(402);
  failing.failed(405);
  failing.playheadAt(1, 8);
  EXPECT_EQ(sent, std::vector<std::string>{"err?c=402"});
}

}  // namespace
