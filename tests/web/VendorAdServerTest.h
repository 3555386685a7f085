#pragma once

#include <memory>
#include <string>

#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/net/HostResolution.h"
#include "tests/support/EngineTest.h"
#include "tools/adserver/AdServer.h"

namespace velour_test {

// The fixture of the suites that run banners on the real engine against the demo ad server
// under the vendor's host names: the engine's fixture (a fresh world, a launched application and
// a window with a root view controller for the banners) and the server.
class VendorAdServerTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped()) return;
    adserver::AdServerOptions options;
    options.adOrigin = kZUVAdServerOrigin;
    auto started = adserver::AdServer::start(options);
    ASSERT_TRUE(started) << started.error().localizedDescription();
    server_ = std::move(started).value();
    connect();
    // The engine takes the host mapping when it starts: it must start with this server's.
    platform::Browser::shutdown();
    showWindow();
  }

  // A subclass removes its banners first.
  void TearDown() override {
    ZUVStatistics::releaseSharedStatistics();
    if (server_) server_->stop();
    EngineTest::TearDown();
  }

  // Sends the vendor's host names to the server (again, after the network came back).
  void connect() {
    for (const std::string& mapping : server_->resolveArguments()) {
      ASSERT_TRUE(platform::HostResolution::shared().mapFromText(mapping));
    }
  }

  std::unique_ptr<adserver::AdServer> server_;
};

}  // namespace velour_test
