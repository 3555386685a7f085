#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/web/PageResourceMonitor.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::Dictionary;
using platform::PageResourceMonitor;

// The network share of a page: chunks count as they come, a finished request's total makes up
// for what its chunks did not say, and the page hears of its limit once, on a later pass.
TEST(PageResourceMonitorTest, BytesPastTheLimitAreReportedOnceOnALaterPass) {
  velour_test::TestWorld world;
  std::vector<std::string> reports;
  platform::PageResourceLimits limits;
  limits.networkBytes = 1000;
  PageResourceMonitor monitor(limits, [&](const std::string& limit) { reports.push_back(limit); });
  auto event = [&](const char* method, const char* id, long long bytes) {
    monitor.onEvent(method, Dictionary{{"requestId", id}, {"encodedDataLength", bytes}});
  };
  event("Network.dataReceived", "a", 400);
  event("Network.dataReceived", "a", 0);
  event("Network.loadingFinished", "a", 700);
  event("Network.loadingFinished", "b", 300);
  EXPECT_EQ(monitor.networkBytes(), 1000);
  platform::Harness::advance(0s);
  EXPECT_TRUE(reports.empty());

  // A chunk without its network size counts by its own.
  monitor.onEvent("Network.dataReceived",
                  Dictionary{{"requestId", "c"}, {"encodedDataLength", 0}, {"dataLength", 5000}});
  EXPECT_TRUE(reports.empty());
  platform::Harness::advance(0s);
  EXPECT_EQ(reports, std::vector<std::string>{"network 1000 bytes"});

  // A new document counts from nothing.
  monitor.restart();
  event("Network.loadingFinished", "d", 999);
  platform::Harness::advance(0s);
  EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
