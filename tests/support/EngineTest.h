#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestWorld.h"

namespace velour_test {

// The base of the fixtures that put ads on the real engine: skipped without an engine, a fresh
// world, and (once the suite has its servers up) a launched application with a key window over
// a root view controller. A subclass's SetUp calls this one's, returns when IsSkipped(), and
// ends with showWindow(); its TearDown ends with this one's, which stops the engine.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
      GTEST_SKIP() << "no web engine at " << platform::Browser::executablePath();
    }
    world_ = std::make_unique<TestWorld>();
  }
  void TearDown() override {
    platform::Browser::shutdown();
    world_.reset();
  }

  void showWindow() {
    platform::Application::shared()->finishLaunching();
    root_ = std::make_shared<platform::ViewController>();
    window_ = platform::Window::create();
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
  }

  std::unique_ptr<TestWorld> world_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<platform::Window> window_;
};

}  // namespace velour_test
