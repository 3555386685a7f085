#include <gtest/gtest.h>

#include "ads/core/ZUVAdNetwork.h"
#include "ads/support/ZUVEndpoints.h"
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

}  // namespace
