#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/Reachability.h"

using namespace std::chrono_literals;

using platform::DeviceProfile;
using platform::NetworkReachability;
using platform::Reachability;
using platform::RunLoop;

namespace {

void record(Reachability&, std::uint32_t flags, void* info) {
  static_cast<std::vector<std::uint32_t>*>(info)->push_back(flags);
}

class ReachabilityTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Harness::resetRunLoop(true); }
  void TearDown() override {
    DeviceProfile::current().setReachability(NetworkReachability::WiFi);
    platform::Harness::resetRunLoop(false);
  }
};

TEST_F(ReachabilityTest, OnlyHostNamesMakeAWatcher) {
  EXPECT_NE(Reachability::createWithName("www.example.com"), nullptr);
  EXPECT_EQ(Reachability::createWithName(""), nullptr);
  EXPECT_EQ(Reachability::createWithName("bad host"), nullptr);
  EXPECT_EQ(Reachability::createWithName(std::string(300, 'a')), nullptr);
}

TEST_F(ReachabilityTest, ScheduledWatcherReportsNowAndOnEveryChangeUntilUnscheduled) {
  std::vector<std::uint32_t> reports;
  auto watcher = Reachability::createWithName("probe.example");
  ASSERT_NE(watcher, nullptr);
  watcher->setCallback(record, &reports);
  ASSERT_TRUE(watcher->scheduleWithRunLoop(RunLoop::main()));
  EXPECT_FALSE(watcher->scheduleWithRunLoop(RunLoop::main()));
  EXPECT_TRUE(reports.empty());  // reports come on the loop, never inside the call
  platform::Harness::advance(0s);
  EXPECT_EQ(reports, (std::vector<std::uint32_t>{platform::kReachabilityFlagsReachable}));

  DeviceProfile::current().setReachability(NetworkReachability::Cellular);
  DeviceProfile::current().setReachability(NetworkReachability::Cellular);  // no change
  platform::Harness::advance(0s);
  DeviceProfile::current().setReachability(NetworkReachability::None);
  platform::Harness::advance(0s);
  EXPECT_EQ(reports,
            (std::vector<std::uint32_t>{
                platform::kReachabilityFlagsReachable,
                platform::kReachabilityFlagsReachable | platform::kReachabilityFlagsIsWWAN, 0}));

  DeviceProfile::current().setReachability(NetworkReachability::WiFi);
  ASSERT_TRUE(watcher->unscheduleFromRunLoop(RunLoop::main()));
  EXPECT_FALSE(watcher->unscheduleFromRunLoop(RunLoop::main()));
  platform::Harness::advance(0s);
  EXPECT_EQ(reports.size(), 3u);  // the pending report was cancelled too
}

}  // namespace
