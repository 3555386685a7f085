#include <gtest/gtest.h>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/Window.h"
#include "tests/support/TestWorld.h"
#include "velourphone/ApplicationMain.h"

using namespace std::chrono_literals;

using platform::Application;
using platform::ApplicationState;
using platform::RunLoop;

namespace {

using Events = std::vector<std::string>;

Events& events() {
  static Events list;
  return list;
}

class RecordingDelegate : public platform::ApplicationDelegate {
 public:
  bool applicationDidFinishLaunchingWithOptions(Application& app,
                                                const platform::Dictionary&) override {
    note("didFinishLaunching", app);
    return true;
  }
  void applicationDidBecomeActive(Application& app) override { note("didBecomeActive", app); }
  void applicationWillResignActive(Application& app) override { note("willResignActive", app); }
  void applicationDidEnterBackground(Application& app) override { note("didEnterBackground", app); }
  void applicationWillEnterForeground(Application& app) override {
    note("willEnterForeground", app);
  }
  void applicationWillTerminate(Application& app) override { note("willTerminate", app); }
  bool setOutlet(const std::string& name, const std::shared_ptr<platform::Responder>& o) override {
    window = std::dynamic_pointer_cast<platform::Window>(o);
    return name == "window" && window;
  }
  std::shared_ptr<platform::Window> window;

 private:
  static void note(const std::string& what, Application& app) {
    events().push_back("delegate " + what +
                       " state=" + std::to_string(static_cast<int>(app.applicationState())));
  }
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    events().clear();
    platform::registerApplicationDelegateClass(
        "RecordingDelegate", [] { return std::make_shared<RecordingDelegate>(); });
    for (const char* name : {platform::kApplicationDidFinishLaunchingNotification,
                             platform::kApplicationDidBecomeActiveNotification,
                             platform::kApplicationWillResignActiveNotification,
                             platform::kApplicationDidEnterBackgroundNotification,
                             platform::kApplicationWillEnterForegroundNotification,
                             platform::kApplicationWillTerminateNotification}) {
      observers.push_back(center().addObserver(
          name, nullptr, [](const platform::Notification& n) { events().push_back(n.name); }));
    }
    bundle = world.makeFolder("bundle");
    world.useBundle(bundle);
  }
  static platform::NotificationCenter& center() {
    return platform::NotificationCenter::defaultCenter();
  }
  int runMain() {
    char name[] = "test";
    char* argv[] = {name, nullptr};
    return platform::UIApplicationMain(1, argv, "", "");
  }

  velour_test::TestWorld world;
  std::string bundle;
  std::vector<platform::Registration> observers;
};

TEST_F(ApplicationTest, LifecycleCallsAndNotificationsComeInThePlatformsOrder) {
  world.writeFile(bundle, "MainWindow.ui",
                  "delegate class=RecordingDelegate\nwindow outlet=window\n");
  Application::setDriver([] {
    auto app = Application::shared();
    events().push_back("driver");
    auto& store = platform::UserDefaults::standard();
    store.setObjectForKey("yes", "launched");
    EXPECT_TRUE(app->enterBackground());
    // Going to the background saves the store: a suspended application may never run again.
    EXPECT_EQ(platform::UserDefaults(store.filePath()).objectForKey("launched"),
              platform::Value("yes"));
    EXPECT_FALSE(app->enterBackground());
    EXPECT_TRUE(app->enterForeground());
    EXPECT_FALSE(app->enterForeground());
    return 7;
  });
  EXPECT_EQ(runMain(), 7);
  EXPECT_EQ(
      events(),
      (Events{"delegate didFinishLaunching state=1", "UIApplicationDidFinishLaunchingNotification",
              "delegate didBecomeActive state=0", "UIApplicationDidBecomeActiveNotification",
              "driver", "delegate willResignActive state=0",
              "UIApplicationWillResignActiveNotification", "delegate didEnterBackground state=2",
              "UIApplicationDidEnterBackgroundNotification", "delegate willEnterForeground state=1",
              "UIApplicationWillEnterForegroundNotification", "delegate didBecomeActive state=0",
              "UIApplicationDidBecomeActiveNotification", "delegate willTerminate state=0",
              "UIApplicationWillTerminateNotification"}));
  auto delegate = std::dynamic_pointer_cast<RecordingDelegate>(Application::shared()->delegate());
  ASSERT_TRUE(delegate);  // the main interface's objects live on with the application
  EXPECT_TRUE(delegate->window);
}

TEST_F(ApplicationTest, WithoutADriverTheRunLoopRunsUntilTerminate) {
  world.writeFile(bundle, "MainWindow.ui", "delegate class=RecordingDelegate\nwindow\n");
  RunLoop::main().post([] { Application::shared()->terminate(); });
  EXPECT_EQ(runMain(), 0);
  EXPECT_EQ(events().back(), "UIApplicationWillTerminateNotification");
}

TEST_F(ApplicationTest, AMissingOrBrokenMainInterfaceEndsTheLaunchWithAStatusOfOne) {
  EXPECT_EQ(runMain(), 1);
  EXPECT_TRUE(world.log().contains("no main interface MainWindow.ui"));
  world.writeFile(bundle, "MainWindow.ui",
                  "delegate class=RecordingDelegate\nwindow outlet=nothing\n");
  EXPECT_EQ(runMain(), 1);
  EXPECT_TRUE(world.log().contains(
      "interface: MainWindow.ui:2: RecordingDelegate has no outlet \"nothing\" for a Window"));
  EXPECT_TRUE(events().empty());
}

TEST_F(ApplicationTest, BackgroundTasksExpireAfterTenMinutesInTheBackgroundOnly) {
  auto app = Application::shared();
  app->finishLaunching();
  std::vector<double> expired;  // run-loop times in seconds; negative: a task that must not expire
  auto task = app->beginBackgroundTaskWithExpirationHandler([&] {
    expired.push_back(platform::toSeconds(RunLoop::main().now().time_since_epoch()));
    app->endBackgroundTask(1);
  });
  EXPECT_EQ(task, 1u);
  auto ended = app->beginBackgroundTaskWithExpirationHandler([&] { expired.push_back(-1); });
  EXPECT_GT(app->backgroundTimeRemaining(), 1e9s);

  platform::Harness::advance(1000s);  // foreground time does not count
  app->enterBackground();
  app->endBackgroundTask(ended);
  platform::Harness::advance(599s);
  EXPECT_TRUE(expired.empty());
  EXPECT_DOUBLE_EQ(platform::toSeconds(app->backgroundTimeRemaining()), 1);
  platform::Harness::advance(2s);
  EXPECT_EQ(expired, std::vector<double>{1600});
  EXPECT_EQ(app->openBackgroundTaskCount(), 0u);

  // Coming back before the limit cancels the expiry.
  app->enterForeground();
  app->beginBackgroundTaskWithExpirationHandler([&] { expired.push_back(-2); });
  app->enterBackground();
  platform::Harness::advance(300s);
  app->enterForeground();
  platform::Harness::advance(1000s);
  EXPECT_EQ(expired.size(), 1u);

  app->endBackgroundTask(99);
  EXPECT_TRUE(world.log().contains("no open background task 99"));
}

// The record of opened URLs is read by the ad client's tests.
TEST_F(ApplicationTest, OpenURLLogsEveryURLAndAnswersForKnownSchemesOnly) {
  auto app = Application::shared();
  for (const char* known : {"http://example.com/a?b=1", "mailto:a@example.com", "itms-apps://x"}) {
    EXPECT_TRUE(app->openURL(*platform::URL::parse(known))) << known;
  }
  EXPECT_FALSE(app->openURL(*platform::URL::parse("gmsg://click")));
  EXPECT_TRUE(world.log().contains("open URL: gmsg://click"));

  // A page that opens without end leaves the newest only.
  for (std::size_t i = 0; i <= Application::kOpenedRecordLimit; ++i) {
    app->openURL(*platform::URL::parse("http://example.com/" + std::to_string(i)));
  }
  ASSERT_EQ(app->openedURLs().size(), Application::kOpenedRecordLimit);
  EXPECT_EQ(app->openedURLs().back(),
            "http://example.com/" + std::to_string(Application::kOpenedRecordLimit));
}

}  // namespace
