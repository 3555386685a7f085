#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestWorld.h"
#include "tools/adserver/AdServer.h"

namespace velour_test {

// The fixture of the suites that run banners on the real engine against the demo ad server
// under the vendor's host names: a fresh world, the server, a launched application and a
// window with a root view controller for the banners. Skipped without an engine.
class VendorAdServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
      GTEST_SKIP() << "no web engine at " << platform::Browser::executablePath();
    }
    world_ = std::make_unique<TestWorld>();
    adserver::AdServerOptions options;
    options.adOrigin = kZUVAdServerOrigin;
    auto started = adserver::AdServer::start(options);
    ASSERT_TRUE(started) << started.error().localizedDescription();
    server_ = std::move(started).value();
    connect();
    // The engine takes the host mapping when it starts: it must start with this server's.
    platform::Browser::shutdown();
    platform::Application::shared()->finishLaunching();
    root_ = std::make_shared<platform::ViewController>();
    window_ = platform::Window::create();
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
  }

  // A subclass removes its banners first.
  void TearDown() override {
    ZUVStatistics::releaseSharedStatistics();
    if (server_) server_->stop();
    platform::Browser::shutdown();
    world_.reset();
  }

  // Sends the vendor's host names to the server (again, after the network came back).
  void connect() {
    for (const std::string& mapping : server_->resolveArguments()) {
      ASSERT_TRUE(platform::HostResolution::shared().mapFromText(mapping));
    }
  }

  std::unique_ptr<TestWorld> world_;
  std::unique_ptr<adserver::AdServer> server_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<platform::Window> window_;
};

}  // namespace velour_test
