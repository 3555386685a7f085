#include <gtest/gtest.h>

#include "ads/core/ZUVAdNetwork.h"
#include "ads/support/ZUVEndpoints.h"
#include "platform/foundation/Log.h"
#include "platform/net/HostResolution.h"

using platform::HostMapping;
using platform::HostResolution;

namespace {

class ZUVAdNetworkTest : public ::testing::Test {
 protected:
  ~ZUVAdNetworkTest() override { HostResolution::shared().clear(); }
};

TEST_F(ZUVAdNetworkTest, SendsBothVendorHostsToAnOriginAndNothingElse) {
  ASSERT_TRUE(ZUVAdNetwork::useServerAtURL("http://127.0.0.1:8080/"));
  EXPECT_EQ(HostResolution::shared().mappingForHost(kZUVAdServerHost),
            (HostMapping{kZUVAdServerHost, "127.0.0.1", 8080}));
  EXPECT_EQ(HostResolution::shared().mappingForHost(kZUVStaticContentHost),
            (HostMapping{kZUVStaticContentHost, "127.0.0.1", 8080}));
  ASSERT_TRUE(ZUVAdNetwork::useServerAtURL("http://localhost"));
  EXPECT_EQ(HostResolution::shared().mappingForHost(kZUVAdServerHost)->port, 80);

  // Anything but an origin changes nothing.
  ASSERT_TRUE(ZUVAdNetwork::useServerAtURL("http://127.0.0.1:8080"));
  for (const char* bad :
       {"", "127.0.0.1:9000", "https://127.0.0.1:9000", "ftp://127.0.0.1:9000",
        "http://127.0.0.1:9000/ads", "http://127.0.0.1:9000/?a=1", "http://127.0.0.1:9000#x",
        "http://u:p@127.0.0.1:9000", "http://127.0.0.1:99999"}) {
    EXPECT_FALSE(ZUVAdNetwork::useServerAtURL(bad)) << bad;
  }
  EXPECT_EQ(HostResolution::shared().mappingForHost(kZUVAdServerHost)->port, 8080);
}

// The client's own lines follow its level and sink; the phone's lines stay where they were.
TEST_F(ZUVAdNetworkTest, TheClientsLinesFollowItsLevelAndSink) {
  platform::LogCapture phone;
  std::vector<std::string> ours;
  ZUVAdNetwork::setLogSink([&](const std::string& line) { ours.push_back(line); });
  for (ZUVLogLevel level : {ZUVLogLevel::Error, ZUVLogLevel::None}) {
    ZUVAdNetwork::setLogLevel(level);
    platform::log("<Vozave> news");
    platform::log("<Vozave> failure", platform::LogLevel::Error);
  }
  platform::log("phone news");
  EXPECT_EQ(ours, std::vector<std::string>{"<Vozave> failure"});
  ZUVAdNetwork::setLogSink({});
  ZUVAdNetwork::setLogLevel(ZUVLogLevel::Info);
  platform::log("<Vozave> news");
  EXPECT_EQ(phone.lines(), (std::vector<std::string>{"phone news", "<Vozave> news"}));
}

}  // namespace
