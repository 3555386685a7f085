#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "app/BannerPlacement.h"
#include "app/FirstViewController.h"
#include "app/SecondViewController.h"
#include "app/ThirdViewController.h"
#include "app/velourAppDelegate.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::Application;
using platform::Button;
using platform::RunLoop;
using platform::View;

namespace {

namespace fs = std::filesystem;

std::vector<std::shared_ptr<Button>> buttonsIn(const std::shared_ptr<View>& view) {
  std::vector<std::shared_ptr<Button>> out;
  for (const auto& sub : view->subviews()) {
    if (auto b = std::dynamic_pointer_cast<Button>(sub)) out.push_back(b);
  }
  return out;
}

// board number -> clip name -> button title, as the clip list ships them.
std::map<int, std::map<std::string, std::string>> shippedClips() {
  std::map<int, std::map<std::string, std::string>> clips;
  std::ifstream in(std::string(VELOUR_RESOURCES_DIR) + "/clips/clips.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    int board = 0;
    std::string name, title;
    words >> board >> name;
    std::getline(words >> std::ws, title);
    if (board > 0) clips[board][name] = title;
  }
  return clips;
}

class SoundboardTest : public ::testing::Test {
 protected:
  velour_test::AppSession app;
  std::shared_ptr<FirstViewController> first() { return app.board<FirstViewController>(0); }
  std::shared_ptr<SecondViewController> second() { return app.board<SecondViewController>(1); }
  std::shared_ptr<ThirdViewController> third() { return app.board<ThirdViewController>(2); }
};

TEST_F(SoundboardTest, LaunchShowsTheFirstBoardWithEveryButtonWiredToAnActionItAnswers) {
  int status = app.run([&] {
    auto delegate = std::dynamic_pointer_cast<velourAppDelegate>(Application::shared()->delegate());
    ASSERT_TRUE(delegate);
    EXPECT_EQ(delegate->window(), app.window());
    EXPECT_EQ(delegate->tabBarController(), app.tabs());
    EXPECT_EQ(Application::shared()->applicationState(), platform::ApplicationState::Active);
    ASSERT_TRUE(first() && second() && third());
    EXPECT_TRUE(first()->isViewLoaded());
    EXPECT_FALSE(second()->isViewLoaded());
    EXPECT_FALSE(third()->isViewLoaded());
    EXPECT_EQ(first()->view()->window(), app.window());

    auto clips = shippedClips();
    std::vector<std::shared_ptr<BoardViewController>> boards{first(), second(), third()};
    for (int b = 0; b < 3; ++b) {
      app.selectTab(b);
      const auto& board = boards[static_cast<std::size_t>(b)];
      auto buttons = buttonsIn(board->view());
      std::map<std::string, std::string> actionByTitle;
      for (const auto& button : buttons) {
        auto actions = button->actionsForControlEvent(platform::kControlEventTouchUpInside);
        ASSERT_EQ(actions.size(), 1u) << button->title();
        EXPECT_TRUE(board->respondsToAction(actions[0])) << actions[0];
        EXPECT_LE(button->frame().maxY(), 361) << button->title() << " overlaps the banner strip";
        actionByTitle[button->title()] = actions[0];
      }
      const auto& shipped = clips[b + 1];
      EXPECT_EQ(board->clipNames().size(), shipped.size());
      for (const auto& [name, title] : shipped) {
        EXPECT_EQ(actionByTitle[title], BoardViewController::clipActionName(name)) << title;
      }
      EXPECT_EQ(buttons.size(), shipped.size() + (b == 1 ? 0 : 1));
    }
    EXPECT_EQ(clips[1].size(), 16u);  // the clip list was read
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(app.log().contains("interface:"));
}

TEST_F(SoundboardTest, AClipStopsTheOneBeforeStopAndTabSwitchesEndItAndNothingResumesIt) {
  app.run([&] {
    ASSERT_TRUE(app.tap("Stop"));
    EXPECT_FALSE(first()->player());
    ASSERT_TRUE(app.tap("Boing"));
    auto boing = first()->player();
    ASSERT_TRUE(boing && boing->isPlaying());
    EXPECT_EQ(boing->clipName(), "Boing.m4a");
    platform::Harness::advance(0.05s);

    ASSERT_TRUE(app.tap("Zap"));
    auto zap = first()->player();
    ASSERT_TRUE(zap && zap != boing);
    EXPECT_FALSE(boing->isPlaying());
    EXPECT_TRUE(zap->isPlaying());
    EXPECT_DOUBLE_EQ(platform::toSeconds(zap->currentTime()), 0);
    platform::Harness::advance(0.05s);
    ASSERT_TRUE(app.tap("Zap"));
    EXPECT_FALSE(zap->isPlaying());
    EXPECT_DOUBLE_EQ(platform::toSeconds(first()->player()->currentTime()), 0);
    ASSERT_TRUE(app.tap("Stop"));
    EXPECT_FALSE(first()->player()->isPlaying());

    ASSERT_TRUE(app.tap("Hooray"));
    auto player = first()->player();
    ASSERT_TRUE(app.selectTab(1));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(platform::AudioPlayer::playingPlayers().empty());
    ASSERT_TRUE(app.selectTab(0));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(first()->player(), player);
    EXPECT_FALSE(app.tap("Cow"));  // board 2 is not on screen

    // Neither a clip on another board nor leaving the application stops this one.
    ASSERT_TRUE(app.tap("Boing"));
    second()->playClip("Moo");
    Application::shared()->enterBackground();
    EXPECT_TRUE(first()->player()->isPlaying());
    EXPECT_TRUE(second()->player()->isPlaying());
  });
  EXPECT_FALSE(app.log().contains("does not respond"));
}

TEST_F(SoundboardTest, AMissingClipLogsOneLineAndLeavesTheBoardWithNoPlayer) {
  // A bundle with the real interface and every clip but Boing.
  std::string bundle = app.makeFolder("bundle");
  fs::path resources(VELOUR_RESOURCES_DIR);
  fs::create_directory_symlink(resources / "interface", fs::path(bundle) / "interface");
  fs::create_directory(fs::path(bundle) / "clips");
  for (const auto& entry : fs::directory_iterator(resources / "clips")) {
    if (entry.path().filename() == "Boing.m4a") continue;
    fs::create_symlink(entry.path(), fs::path(bundle) / "clips" / entry.path().filename());
  }
  app.useBundle(bundle);

  app.run([&] {
    ASSERT_TRUE(app.tap("Zap"));
    auto zap = first()->player();
    ASSERT_TRUE(zap && zap->isPlaying());
    app.log().clear();
    ASSERT_TRUE(app.tap("Boing"));
    EXPECT_FALSE(first()->player());
    EXPECT_FALSE(zap->isPlaying());
    std::vector<std::string> appLines;
    for (const auto& line : app.log().lines()) {
      if (line.rfind("audio: ", 0) != 0) appLines.push_back(line);
    }
    EXPECT_EQ(appLines, std::vector<std::string>{"clip not found: Boing.m4a"});
    ASSERT_TRUE(app.tap("Stop"));
    ASSERT_TRUE(app.tap("Pop"));
    EXPECT_TRUE(first()->player()->isPlaying());
  });
}

// The banner that `screen` placed, checked where every screen places it.
void expectPlacedBanner(const std::shared_ptr<ZUVBannerView>& banner,
                        const std::shared_ptr<platform::ViewController>& screen) {
  ASSERT_TRUE(banner);
  EXPECT_EQ(banner->frame(), platform::Rect(0, 361, 320, 50));
  EXPECT_EQ(banner->superview(), screen->view());
  EXPECT_EQ(banner->rootViewController(), screen);
  EXPECT_EQ(banner->adUnitID(), kVelourAdUnitID);
  // Loaded after the root view controller was set: the load went past its first check.
  EXPECT_NE(ZUVBannerController(*banner)->state(), ZUVObjectPrivate::State::NothingRequested);
}

TEST_F(SoundboardTest, InformationScreensFadeButStayAndEveryScreensBannerLoadsOnceAndRefreshes) {
  // No web engine: the banners' web views record their loads and the build pages' reports are
  // posted as their delegate posts them; the script and the ad come from loopback.
  velour_test::TestHTTPServer server;
  server.reply(kZUVSupportScriptPath, 200, "function ZEDE_buildAdURL(p) {}");
  server.reply("/ad", 200, "<p>ad</p>", {{"X-Zede-Refresh-Rate", "30"}});
  platform::HostResolution::shared().map(kZUVStaticContentHost, "127.0.0.1",
                                         static_cast<std::uint16_t>(server.port()));
  ZUVObjectPrivate::setWebViewMaker([](const platform::Rect& frame) {
    auto view = std::make_shared<velour_test::RecordingWebView>();
    view->setFrame(frame);
    return view;
  });
  app.run([&] {
    auto& statistics = ZUVStatistics::sharedStatistics();
    expectPlacedBanner(first()->bannerView(), first());
    EXPECT_FALSE(second()->isViewLoaded());
    std::int32_t loads = statistics.adRequestCount();
    ASSERT_TRUE(app.selectTab(1));
    expectPlacedBanner(second()->bannerView(), second());
    EXPECT_EQ(statistics.adRequestCount(), loads + 1);
    ASSERT_TRUE(app.selectTab(2));
    expectPlacedBanner(third()->bannerView(), third());

    // Each information screen flips in over the board and fades out, but stays in it.
    auto boardView = third()->view();
    platform::Harness::clearAnimationLog();
    for (std::size_t round = 1; round <= 2; ++round) {
      ASSERT_TRUE(app.tap("Info"));
      ASSERT_EQ(third()->infoScreens().size(), round);
      auto info = third()->infoScreens().back();
      ASSERT_TRUE(info->isViewLoaded());
      EXPECT_EQ(info->view()->superview(), boardView);
      EXPECT_EQ(boardView->subviews().back(), info->view());
      // The open screen covers the board's buttons.
      EXPECT_FALSE(app.tap("Chime"));

      // What each animation does is checked where velour prints it.
      ASSERT_EQ(platform::Harness::animationLog().size(), 2 * round - 1);
      ASSERT_TRUE(app.tap("Done"));
      ASSERT_EQ(platform::Harness::animationLog().size(), 2 * round);
      EXPECT_DOUBLE_EQ(info->view()->alpha(), 0);
      EXPECT_EQ(info->view()->superview(), boardView);
      EXPECT_TRUE(app.tap("Chime"));
    }
    EXPECT_EQ(third()->infoScreens()[0]->view()->superview(), boardView);
    std::vector<std::shared_ptr<ZUVObjectPrivate>> banners;
    for (const auto& info : third()->infoScreens()) {
      expectPlacedBanner(info->bannerView(), info);
      banners.push_back(ZUVBannerController(*info->bannerView()));
    }
    ASSERT_EQ(banners.size(), 2u);
    EXPECT_NE(banners[0], banners[1]);
    EXPECT_EQ(statistics.adRequestCount(), loads + 4);

    // Both faded screens' banners go on refreshing.
    auto all = [&](auto test) { return std::ranges::all_of(banners, test); };
    auto building = [&] {
      return all([](const auto& c) { return c->buildAdWebView() != nullptr; });
    };
    ASSERT_TRUE(RunLoop::main().runUntil(building, 5s));
    for (std::size_t round = 1; round <= 2; ++round) {
      for (const auto& c : banners) {
        ZUVNotificationCenter::defaultCenter().postNotification(
            "loadAdURL", c->buildAdWebView().get(), {{"url", server.url("/ad")}});
      }
      ASSERT_TRUE(RunLoop::main().runUntil(
          [&] {
            return all(
                [](const auto& c) { return c->state() == ZUVObjectPrivate::State::LoadingAdPage; });
          },
          5s));
      EXPECT_EQ(server.requestCount("/ad"), 2 * round);
      platform::Harness::advance(30s);
      EXPECT_TRUE(building()) << "round " << round;
      EXPECT_TRUE(all([](const auto& c) { return c->hasAutoRefreshed(); }));
    }
  });
  ZUVObjectPrivate::setWebViewMaker(nullptr);
}

}  // namespace
