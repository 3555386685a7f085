// The end of a process with work still pending, against the real web engine: a delayed message
// that holds the last reference to a web view whose page is open, as the ad notification
// centre leaves one when a page's message comes in the last pass before `quit`.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ads/web/ZUVNotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

TEST(CleanExitTest, WorkPendingAtTheEndIsReleasedWhileEverythingItCallsExists) {
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no web engine at " << platform::Browser::executablePath();
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The process ends as velour's does: out of the application's main, then exit, with no
  // test world to undo anything first.
  EXPECT_EXIT(
      {
        velour_test::AppSession session;
        session.run([] {
          auto view = platform::WebView::create(platform::Rect(0, 0, 320, 50));
          view->loadHTMLStringBaseURL("<p>ad</p>", std::nullopt);
          platform::RunLoop::main().runUntil([&] { return !view->isLoading(); }, 20s);
          ZUVNotificationCenter::defaultCenter().postNotificationFromURLObjectWithDelay(
              *platform::URL::parse("gmsg://zede/ping"), view->webSelf(), 0);
        });
        std::filesystem::remove_all(session.home());
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
