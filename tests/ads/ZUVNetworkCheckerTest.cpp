#include <gtest/gtest.h>

#include "ads/support/ZUVNetworkChecker.h"
#include "platform/device/Device.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/Reachability.h"

using namespace std::chrono_literals;

using platform::DeviceProfile;
using platform::NetworkReachability;
using platform::RunLoop;

namespace {

class ZUVNetworkCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Harness::resetRunLoop(true); }
  void TearDown() override {
    // The shared checker hears the change back to Wi-Fi before the loop drops its tasks.
    DeviceProfile::current().setReachability(NetworkReachability::WiFi);
    platform::Harness::advance(0s);
    platform::Harness::resetRunLoop(false);
  }
};

TEST_F(ZUVNetworkCheckerTest, ReportsArriveOnTheRunLoopAndFollowTheDevice) {
  ZUVNetworkChecker checker;
  checker.setEnabled(true);
  EXPECT_EQ(checker.networkType(), 0);  // nothing known until the first report
  platform::Harness::advance(0s);
  EXPECT_EQ(checker.networkTypeString(), "wi");
  EXPECT_EQ(checker.changeCount(), 1u);

  DeviceProfile::current().setReachability(NetworkReachability::Cellular);
  EXPECT_EQ(checker.networkType(), 2);
  platform::Harness::advance(0s);
  EXPECT_EQ(checker.networkTypeString(), "ed");
  DeviceProfile::current().setReachability(NetworkReachability::None);
  platform::Harness::advance(0s);
  EXPECT_EQ(checker.networkType(), 1);
  EXPECT_EQ(checker.changeCount(), 3u);

  // Enabling again changes nothing; disabling forgets the type and stops the reports.
  checker.setEnabled(true);
  platform::Harness::advance(0s);
  EXPECT_EQ(checker.changeCount(), 3u);
  checker.setEnabled(false);
  EXPECT_EQ(checker.networkType(), 0);
  DeviceProfile::current().setReachability(NetworkReachability::WiFi);
  platform::Harness::advance(0s);
  EXPECT_EQ(checker.changeCount(), 3u);
  // A cellular flag without the reachable one is still no network.
  checker.setNetworkTypeFromFlags(platform::kReachabilityFlagsIsWWAN);
  EXPECT_EQ(checker.networkType(), 1);
}

}  // namespace
