#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "ads/web/ZUVWebAppViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::RunLoop;
using platform::URL;

// A web application's page on the real web engine, over a window's root controller, closes
// itself when it is told that it is shown.
TEST(FullScreenAdTest, AWebApplicationPageClosesItselfWhenShown) {
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no web engine: install the Debian package chromium (scripts/setup)";
  }
  velour_test::TestWorld world;
  platform::Harness::resetRunLoop(false);  // the engine keeps real time
  velour_test::TestHTTPServer server;
  const std::string page =
      "<script>function ZEDE_ReceiveMessage(name, info) {"
      " if (name == 'onshow' && info.version) location = 'gmsg://ad/close'; }</script>";
  server.handle("/app", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(page, "text/html");
  });
  auto window = platform::Window::create();
  auto root = std::make_shared<platform::ViewController>();
  window->setRootViewController(root);
  window->makeKeyAndVisible();
  int relinquished = 0;
  auto observer = platform::NotificationCenter::defaultCenter().addObserver(
      ZUVViewControllerDidRelinquishFullScreen, nullptr,
      [&](const platform::Notification&) { ++relinquished; });
  // By its URL, and as text without a base URL: the page's messages arrive either way.
  for (bool byURL : {true, false}) {
    std::weak_ptr<ZUVWebAppViewController> webApp;
    {
      auto shown = ZUVWebAppViewController::create();
      if (byURL) {
        shown->load(URL::parse(server.url("/app")));
      } else {
        shown->loadHTMLBaseURL(page, std::nullopt);
      }
      shown->presentFromViewController(root);
      webApp = shown;
    }
    EXPECT_FALSE(webApp.expired());
    relinquished = 0;
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return relinquished == 1; }, 10s)) << byURL;
    EXPECT_EQ(window->topViewController(), root);
    RunLoop::main().runOnce();
    EXPECT_TRUE(webApp.expired());
  }
}

}  // namespace
