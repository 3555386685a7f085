#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::Dictionary;
using platform::Notification;
using platform::RunLoop;
using platform::URL;

namespace {

std::optional<ZUVNotification> message(const std::string& text) {
  auto url = URL::parse(text);
  EXPECT_TRUE(url) << text;
  return url ? ZUVNotification::notificationFromURL(*url) : std::nullopt;
}

TEST(ZUVNotificationTest, MessageUrlsGiveTheirNameAndTheirDecodedQuery) {
  EXPECT_EQ(message("gmsg://any/open?a=browser;u=x")->parameters(),
            (Dictionary{{"a", "browser"}, {"u", "x"}}));

  auto settings = message("gmsg://h/settings?Supportedorientations=any&bad&x=%C3%A9");
  EXPECT_EQ(settings->parameters(),
            (Dictionary{{"supportedorientations", "any"}, {"x", "\u00e9"}}));

  EXPECT_EQ(message("gmsg://h/with%20space")->name(), "with space");
  EXPECT_FALSE(message("gmsg://h/%FF"));  // names decode as strictly as parameters
  auto bare = message("gmsg://h");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->name(), "");
  EXPECT_EQ(bare->parameters(), Dictionary());

  // "vodov" hosts compare as written, their keys in lower case; the launch and close hosts are
  // checked through the web view delegate's decisions.
  EXPECT_FALSE(ZUVNotification::isNotificationURL(*URL::parse("VODOV://launch")));
  EXPECT_EQ(message("vodov://log?Level=2")->parameters(), (Dictionary{{"level", "2"}}));
  EXPECT_FALSE(message("vodov://LAUNCH?url=x"));
}

class ZUVNotificationCenterTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world_;
};

TEST_F(ZUVNotificationCenterTest, EventsCallThePageReceiverWithTheirJson) {
  velour_test::RecordingWebView page;
  ZUVNotificationCenter center;
  center.postJSNotification("onhide", std::nullopt, page);
  center.postJSNotification("onshow", Dictionary{{"version", "v1.0"}}, page);
  center.postJSNotification("onshow", Dictionary{{"n", std::nan("")}}, page);
  EXPECT_EQ(page.scripts,
            (std::vector<std::string>{"ZEDE_ReceiveMessage('onhide');",
                                      "ZEDE_ReceiveMessage('onshow', {\"version\":\"v1.0\"});",
                                      "ZEDE_ReceiveMessage('onshow', );"}));
}

TEST_F(ZUVNotificationCenterTest, DelayedPostingsReachObserversOfTheirNameAndObject) {
  ZUVNotificationCenter center;
  auto x = std::make_shared<int>(0);
  auto y = std::make_shared<int>(0);
  std::vector<std::string> seen;
  auto record = [&](const char* who) {
    return [&seen, who](const Notification& n) {
      seen.push_back(std::string(who) + ":" + n.name + ":" + n.userInfo.find("k")->stringValue());
    };
  };
  auto observeX = center.addObserver("loadAdURL", x, record("x"));
  auto observeY = center.addObserver("loadAdURL", y, record("y"));
  auto observeAny = center.addObserver("loadAdURL", nullptr, record("any"));

  center.postNotificationFromURLObjectWithDelay(*URL::parse("gmsg://h/loadAdURL?k=1"), x, 0.5);
  center.postNotificationFromURLObjectWithDelay(*URL::parse("gmsg://h/loadAdURL?k=2"), nullptr, 0);
  center.postNotificationFromURLObjectWithDelay(*URL::parse("vodov://nowhere?k=3"), x, 0);
  EXPECT_TRUE(seen.empty());
  platform::Harness::advance(0.1s);
  EXPECT_EQ(seen, (std::vector<std::string>{"any:loadAdURL:2"}));
  platform::Harness::advance(0.5s);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"any:loadAdURL:2", "x:loadAdURL:1", "any:loadAdURL:1"}));

  // A posting holds its object: freed by its owner meanwhile, it still reaches the observers of
  // that object, and a new object at the same address is not taken for it.
  seen.clear();
  static int slot = 0;
  bool freed = false;
  auto webView = std::shared_ptr<int>(&slot, [&freed](int*) { freed = true; });
  auto observeOld = center.addObserver("loadAdURL", webView, record("old"));
  center.postNotificationFromURLObjectWithDelay(*URL::parse("gmsg://h/loadAdURL?k=5"), webView, 0);
  webView.reset();
  EXPECT_FALSE(freed);
  auto next = std::shared_ptr<int>(&slot, [](int*) {});
  auto observeNew = center.addObserver("loadAdURL", next, record("new"));
  platform::Harness::advance(0.1s);
  EXPECT_EQ(seen, (std::vector<std::string>{"any:loadAdURL:5", "old:loadAdURL:5"}));
  EXPECT_TRUE(freed);

  // A centre that goes away takes its pending postings with it.
  seen.clear();
  {
    ZUVNotificationCenter gone;
    auto observeGone = gone.addObserver("", nullptr, record("gone"));
    gone.postNotificationFromURLObjectWithDelay(*URL::parse("gmsg://h/click?k=4"), nullptr, 0);
  }
  platform::Harness::advance(1s);
  EXPECT_TRUE(seen.empty());
}

}  // namespace
