#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "ads/web/ZUVBrowserController.h"
#include "ads/web/ZUVWebAppViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

namespace {

using platform::RunLoop;
using platform::URL;

// The full-screen ad controllers on the real web engine, over a window's root controller.
class FullScreenAdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
      GTEST_SKIP() << "no web engine: install the Debian package chromium (scripts/setup)";
    }
    RunLoop::main().reset(false);  // the engine keeps real time
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
  }
  bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10); }
  void page(const std::string& path, const std::string& body) {
    server_.handle(path, [body](const httplib::Request&, httplib::Response& response) {
      response.set_content(body, "text/html");
    });
  }

  velour_test::TestWorld world_;
  velour_test::TestHTTPServer server_;
  std::shared_ptr<platform::Window> window_ = platform::Window::create();
  std::shared_ptr<platform::ViewController> root_ = std::make_shared<platform::ViewController>();
};

TEST_F(FullScreenAdTest, AWebApplicationPageClosesItselfWhenShown) {
  page("/app",
       "<script>function ZEDE_ReceiveMessage(name, info) {"
       " if (name == 'onshow' && info.version) location = 'gmsg://ad/close'; }</script>");
  int relinquished = 0;
  platform::NotificationCenter::defaultCenter().addObserver(
      this, ZUVViewControllerDidRelinquishFullScreen, nullptr,
      [&](const platform::Notification&) { ++relinquished; });
  std::weak_ptr<ZUVWebAppViewController> webApp;
  {
    auto shown = ZUVWebAppViewController::create();
    shown->load(URL::parse(server_.url("/app")));
    shown->presentFromViewController(root_);
    webApp = shown;
  }
  EXPECT_FALSE(webApp.expired());
  EXPECT_TRUE(waitFor([&] { return relinquished == 1; }));
  EXPECT_EQ(window_->topViewController(), root_);
  platform::NotificationCenter::defaultCenter().removeObserver(this);
  RunLoop::main().runOnce(0);
  EXPECT_TRUE(webApp.expired());
}

TEST_F(FullScreenAdTest, OnlyTheBrowsersFirstRequestCarriesTheAdPageAsReferer) {
  page("/landing", "<a href='/next'>Next</a>");
  page("/next", "<p>next</p>");
  auto browser = ZUVBrowserController::create();
  browser->load(URL::parse(server_.url("/landing")), URL::parse("http://ad.test/page"));
  browser->presentFromViewController(root_);
  auto reloadShown = [&] {
    return browser->toolbar()->itemWithAccessibilityLabel("Reload") != nullptr;
  };
  ASSERT_TRUE(waitFor([&] { return server_.requestCount("/landing") == 1 && reloadShown(); }));
  EXPECT_EQ(server_.requests().back().headers.value("Referer").value_or(""), "http://ad.test/page");
  ASSERT_TRUE(browser->webView()->tapLink("Next"));
  ASSERT_TRUE(waitFor([&] { return server_.requestCount("/next") == 1; }));
  EXPECT_NE(server_.requests().back().headers.value("Referer").value_or(""), "http://ad.test/page");
  ASSERT_TRUE(waitFor([&] {
    return reloadShown() && browser->toolbar()->itemWithAccessibilityLabel("Back")->isEnabled();
  }));
  browser->relinquishScreen();
}

}  // namespace
