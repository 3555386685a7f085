// Runs the velour binary on scripts, as a user would, and reads what it prints.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/BannerPlacement.h"
#include "platform/ui/Png.h"
#include "tests/support/TestHTTPServer.h"
#include "tools/adserver/AdServer.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class VelourTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velour-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  // A support script on `server` whose build asks for the ad page at /ad.
  static void serveSupportScriptLeadingToAd(velour_test::TestHTTPServer& server) {
    server.reply(
        "/zede/sdk-core-v40.js", 200,
        "function ZEDE_buildAdURL(p) { window.location.href = "
        "'gmsg://zede/loadAdURL?url=' + encodeURIComponent('http://ads.vozave.com/ad'); }");
  }

  // A demo ad server of the test's own for --ad-server; null if it cannot start.
  static std::unique_ptr<adserver::AdServer> startServer() {
    adserver::AdServerOptions options;
    options.adOrigin = "http://ads.vozave.com";
    auto started = adserver::AdServer::start(options);
    EXPECT_TRUE(started) << started.error().localizedDescription();
    return started ? std::move(started).value() : nullptr;
  }

  Outcome runScript(const std::string& script, const std::string& extraArgs = "") {
    std::ofstream(dir_ + "/script.velour") << script;
    std::string command = std::string("'") + VELOUR_BINARY + "' --home '" + dir_ + "/home' " +
                          extraArgs + " --script '" + dir_ + "/script.velour' > '" + dir_ +
                          "/out' 2> '" + dir_ + "/err' < /dev/null";
    Outcome run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readAll(dir_ + "/out");
    run.err = readAll(dir_ + "/err");
    return run;
  }

  // What the n-th (0-based) run of `command` printed, up to the next command.
  static std::string outputOf(const std::string& out, const std::string& command, int n) {
    std::size_t at = std::string::npos;
    for (int i = 0; i <= n; ++i) {
      at = out.find("> " + command + "\n", at == std::string::npos ? 0 : at + 1);
      if (at == std::string::npos) return {};
    }
    std::size_t begin = out.find('\n', at) + 1;
    std::size_t end = out.find("\n> ", begin);
    return out.substr(begin, end == std::string::npos ? std::string::npos : end + 1 - begin);
  }

  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  std::string dir_;
};

TEST_F(VelourTest, ScriptPlaysClipsSwitchesTabsAndShowsTheScreen) {
  Outcome run = runScript(
      "show\npress Boing\nwait 0.2\nshow\ntab 2\nshow\ntab 3\npress Info\nshow\n"
      "press Done\nwait 1\nshow\nquit\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::pair<int, const char*> shown[] = {
      {0, "button \"Boing\""},
      {0, "playing: nothing"},
      {1, "playing: Boing.m4a 0.20"},
      {2, "view: SecondViewController"},
      {2, "playing: nothing"},
      {3, "overlay: FlipSideView alpha 1.00"},
      {3, "animation: flip from right of ThirdViewController view (cached), 1.00 s"},
      {4, "overlay: FlipSideView alpha 0.00"},
      {4, "animation: no transition, 0.50 s; FlipSideView view alpha 0"},
  };
  for (const auto& [n, line] : shown) {
    EXPECT_NE(outputOf(run.out, "show", n).find(line), std::string::npos)
        << line << " in " << run.out;
  }
}

TEST_F(VelourTest, BadCommandsAreReportedAndTheScriptGoesOnButFailsAtTheEnd) {
  Outcome run = runScript(
      "dance\ntab 9\nwait soon\npress Nothing Such\nrotate sideways\nnetwork dialup\n"
      "network cellular\ntab 1e308\ntab 2147483648\ndone\nclose\nmail send\nmail later\n"
      "press Boing\nwait for\nsnapshot x.jpg\nshow\ndefaults frob IABTCF_gdprApplies\n"
      "defaults write IABTCF_gdprApplies 1\ndefaults write IABTCF_PurposeConsents \"01\"\n"
      "consent\ndefaults read IABTCF_gdprApplies\n");
  EXPECT_EQ(run.status, 1);
  for (const char* reported :
       {"unknown command \"dance\"", "(line 2)", "wait needs a number", "Nothing Such", "sideways",
        "not \"dialup\"", "tab number, not \"1e308\"", "tab number, not \"2147483648\"",
        "no browser, web application or expanded ad on the screen for done", "for close",
        "no mail composer on the screen", "mail takes send or cancel, not \"later\"",
        "wait for needs the text of a log line", "snapshot writes PNG pictures",
        "defaults takes read KEY"}) {
    EXPECT_NE(run.err.find(reported), std::string::npos) << reported << " in " << run.err;
  }
  EXPECT_EQ(run.err.find("(line 7)"), std::string::npos) << run.err;
  // The commands after the failures still ran.
  EXPECT_NE(run.out.find("playing: Boing.m4a"), std::string::npos) << run.out;
  // A consent tool's values, as it writes them, count for the next request.
  EXPECT_NE(run.out.find("consent: the next request carries {\"gdpr\":1}\nconsent: it withholds "
                         "the device identifier"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("IABTCF_gdprApplies = 1\n"), std::string::npos) << run.out;
}

TEST_F(VelourTest, CommandLineErrorsAndHelp) {
  auto exitOf = [](const std::string& args) {
    return WEXITSTATUS(std::system((std::string("'") + VELOUR_BINARY + "' " + args).c_str()));
  };
  std::ofstream(dir_ + "/show.velour") << "show\n";
  const std::pair<std::string, int> cases[] = {
      {"--bogus 2>/dev/null", 2},
      {"--script /nonexistent 2>/dev/null", 2},
      {"--script '" + dir_ + "' 2>/dev/null", 2},
      // Output that a full device swallows fails the run.
      {"--help >/dev/full 2>/dev/null", 1},
      {"--home '" + dir_ + "/home' --script '" + dir_ + "/show.velour' >/dev/full 2>/dev/null", 1},
      {"--help >/dev/null", 0},
      {"--resolve host:80 2>/dev/null", 2},
      {"--resolve ads.vozave.com:8080:127.0.0.1 --help >/dev/null", 0},
      // A script with no line break would take the memory.
      {"--home '" + dir_ + "/home' --script /dev/zero >/dev/null 2>/dev/null", 1},
  };
  for (const auto& [args, status] : cases) EXPECT_EQ(exitOf(args), status) << args;

  // An installed copy without its resources says so, rather than use the build machine's.
  const std::string installed = dir_ + "/prefix/bin/velour";
  std::filesystem::create_directories(dir_ + "/prefix/bin");
  std::error_code linked;
  std::filesystem::create_hard_link(VELOUR_BINARY, installed, linked);
  if (linked) std::filesystem::copy_file(VELOUR_BINARY, installed);
  int raw = std::system(
      ("env -u VELOUR_RESOURCES '" + installed + "' --script /dev/null 2> '" + dir_ + "/err'")
          .c_str());
  EXPECT_EQ(WEXITSTATUS(raw), 2);
  EXPECT_NE(readAll(dir_ + "/err").find("no resources beside the program"), std::string::npos);
}

TEST_F(VelourTest, ThePromptRunsALastLineThatHasNoNewline) {
  std::string home = dir_ + "/home", out = dir_ + "/out";
  // The child gets a terminal of its own for its input and session.
  int terminal = -1;
  pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    execl(VELOUR_BINARY, "velour", "--home", home.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // "show" ended by the end-of-file key instead of a newline, then the end of input.
  ASSERT_EQ(write(terminal, "show\x04\x04", 6), 6);
  int raw = 0;
  pid_t ended = 0;
  for (int tries = 0; tries < 600 && (ended = waitpid(child, &raw, WNOHANG)) == 0; ++tries) {
    usleep(50'000);
  }
  if (ended == 0) kill(child, SIGKILL);
  close(terminal);
  ASSERT_NE(ended, 0) << "velour did not end";
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << readAll(out);
  EXPECT_NE(readAll(out).find("screen "), std::string::npos) << readAll(out);
}

// A server of the test's own, named with --ad-server, takes the banners' whole road: the
// script, the ad request and the page. `tap banner` needs an ad on the screen; the snapshot
// waits for the banners on screen to show their ads, pictures the screen at the device's scale
// and refuses a folder it cannot make.
TEST_F(VelourTest, BannersShowTheirServersAdsAndTheSnapshotPicturesThem) {
  auto server = startServer();
  ASSERT_TRUE(server);
  adserver::AdUnit unit;
  unit.creatives = {"banner-plain"};
  unit.refreshRate = std::string(35, '9');
  server->setUnit("a1b2c3d4e5f6071", unit);
  std::ofstream(dir_ + "/plain-file") << "not a folder";
  Outcome run =
      runScript("tap banner\nwait 1\nshow\nads\ntap No Such Link\nsnapshot " + dir_ +
                    "/shots/board.png\nsnapshot " + dir_ + "/plain-file/x.png\ntab 3\npress " +
                    "Info\nsnapshot " + dir_ + "/shots/info.png\nshow\nquit\n",
                "--device scale=2 --ad-server http://127.0.0.1:" + std::to_string(server->port()));
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  EXPECT_EQ(run.status, 1) << run.err;
  for (const std::string& error :
       {std::string("error: the banner shows no ad yet\n"),
        std::string("error: no link or button \"No Such Link\" on the page in front\n"),
        "error: " + dir_ + "/plain-file is not a folder"}) {
    EXPECT_NE(run.err.find(error), std::string::npos) << error << " in " << run.err;
  }
  EXPECT_EQ(count(run.err, "error:"), 3) << run.err;
  EXPECT_NE(run.out.find("> quit"), std::string::npos);
  EXPECT_NE(
      outputOf(run.out, "show", 0)
          .find("banner 0,361 320x50 showing http://ads.vozave.com/zede/page/a1b2c3d4e5f6071/"),
      std::string::npos)
      << run.out;
  EXPECT_EQ(count(outputOf(run.out, "show", 1), "x50 showing http"), 2) << run.out;
  EXPECT_EQ(server->record().requestsOfKind(adserver::RequestKind::Script).size(), 1u);
  // A refresh however far away is printed whole.
  EXPECT_TRUE(
      std::regex_search(outputOf(run.out, "ads", 0), std::regex("refresh in \\d{35}\\.\\d s")))
      << run.out;

  auto pixels = platform::decodePng(readAll(dir_ + "/shots/board.png"));
  ASSERT_TRUE(pixels) << run.out << run.err;
  EXPECT_EQ(pixels->width, 640u);  // the 320 x 480 point screen, two pixels to the point
  EXPECT_EQ(pixels->height, 960u);
  // The banner's strip (50 points above the 49-point tab bar) shows the ad's page, not the
  // board's white nor a grey stand-in: many colours, a good part of them not grey.
  std::set<std::uint32_t> colours;
  std::size_t coloured = 0, total = 0;
  for (std::uint32_t y = 2 * (480 - 49 - 50); y < 2 * (480 - 49); ++y) {
    for (std::uint32_t x = 0; x < pixels->width; ++x, ++total) {
      const std::uint8_t* p = &pixels->rgba[(y * pixels->width + x) * 4];
      colours.insert(std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2]);
      auto [low, high] = std::minmax({p[0], p[1], p[2]});
      if (high - low > 40) ++coloured;
    }
  }
  EXPECT_GT(colours.size(), 16u);
  EXPECT_GT(coloured, total / 4);
}

// An interstitial loads with the interstitial request, takes the screen with the container's
// close control, and the control ends it; the page in front is what `text` reads.
TEST_F(VelourTest, AnInterstitialTakesTheScreenUntilItsCloseControlIsTapped) {
  auto server = startServer();
  ASSERT_TRUE(server);
  adserver::AdUnit unit;
  unit.creatives = {"banner-plain"};
  unit.rewarded = {"mraid-rewarded"};
  unit.rewardTime = "15";
  server->setUnit("a1b2c3d4e5f6071", unit);
  Outcome run = runScript(
      "interstitial\ninterstitial\nwait 1\nshow\ntext\nclose\nshow\nclose\ntext\n"
      // A rewarded ad's close asks first before its time, and is its close control after it.
      "rewarded\nwait for mraid-rewarded ready\nshow\nclose\npress Keep watching\nwait 20\n"
      "show\nclose\nwait for mraid-rewarded closed\nshow\nlog\n"
      // The video ad unit's request announces VAST; its video closes only once it has earned.
      "rewarded movie\nrewarded video\nwait for velour: the rewarded video started\nshow\nclose\n"
      "tap Skip\nwait for velour: the rewarded video completed\nshow\nclose\nshow\nquit\n",
      "--ad-server http://127.0.0.1:" + std::to_string(server->port()));
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("error: an interstitial is loading already"), std::string::npos);
  EXPECT_NE(run.err.find("error: no browser, web application or expanded ad on the screen for "
                         "close"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("error: rewarded takes nothing or video, not \"movie\""),
            std::string::npos);
  EXPECT_NE(run.err.find("error: the video cannot be closed yet (it shows Unmute, Learn more, "
                         "Reward in 5 s)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("error: the video shows no control \"Skip\""), std::string::npos);
  EXPECT_EQ(count(run.err, "error:"), 5) << run.err;

  std::string shown = outputOf(run.out, "show", 0);
  EXPECT_NE(shown.find("full screen: ZUVMraidScreenController over"), std::string::npos) << shown;
  EXPECT_NE(
      shown.find("mraid ad: interstitial, state default, 0,0 320x480, close control 270,0 50x50"),
      std::string::npos)
      << shown;
  EXPECT_NE(shown.find("interstitial: showing http://ads.vozave.com/zede/page/a1b2c3d4e5f6071/"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("status bar: hidden"), std::string::npos) << shown;
  EXPECT_EQ(outputOf(run.out, "text", 0),
            "text: Verdant Gardens\ntext: Seeds delivered every week\n"
            "text: Shop\ntext: Ad\n");
  std::string after = outputOf(run.out, "show", 1);
  EXPECT_EQ(after.find("full screen:"), std::string::npos) << after;
  EXPECT_NE(after.find("interstitial: closed"), std::string::npos) << after;
  // Back on the board, the text is the banner's ad.
  EXPECT_NE(outputOf(run.out, "text", 1).find("text: Verdant Gardens"), std::string::npos);

  EXPECT_NE(outputOf(run.out, "show", 2).find(", reward 10 coins in "), std::string::npos);
  EXPECT_NE(outputOf(run.out, "show", 2).find("close control 270,0 50x50 (hidden)"),
            std::string::npos);
  EXPECT_NE(outputOf(run.out, "show", 3).find("mraid-rewarded?n="), std::string::npos);
  EXPECT_NE(outputOf(run.out, "show", 3).find(", reward 10 coins earned"), std::string::npos);
  EXPECT_NE(outputOf(run.out, "show", 4).find("rewarded: closed, reward 10 coins earned"),
            std::string::npos);
  std::string video = outputOf(run.out, "show", 5);
  EXPECT_NE(video.find("full screen: ZUVVastPlayer over"), std::string::npos) << video;
  EXPECT_NE(video.find("rewarded: showing video http://ads.vozave.com/zede/video/clip.webm, "
                       "reward 10 coins in "),
            std::string::npos)
      << video;
  EXPECT_NE(outputOf(run.out, "show", 6)
                .find("fired: impression, creativeView, start, firstQuartile, midpoint, "
                      "thirdQuartile, complete"),
            std::string::npos)
      << run.out;
  EXPECT_NE(outputOf(run.out, "show", 7).find("rewarded: closed, reward 10 coins earned"),
            std::string::npos);
  EXPECT_EQ(count(run.out, "log: velour: the rewarded ad earned 10 coins"), 1) << run.out;

  auto ads = server->record().requestsOfKind(adserver::RequestKind::Ad);
  for (const char* format : {"interstitial_mb", "rewarded_mb"}) {
    EXPECT_TRUE(std::any_of(ads.begin(), ads.end(), [&](const adserver::RecordedRequest& request) {
      const platform::Value* asked = request.parameters.find("format");
      return asked && asked->isString() && asked->stringValue() == format;
    })) << format;
  }
  EXPECT_EQ(ads.back().slot, kVelourVideoAdUnitID);
  EXPECT_TRUE(ads.back().announcedVast.value_or(false));
}

// A page's console messages reach the log, escaped, while its banner can be seen; a line ends
// one `wait for` only, so a second wait for the same text waits for its next line. With
// --viewable-refresh, the first board's banner waits while another tab hides it and refreshes
// once it is back.
TEST_F(VelourTest, PagesConsoleMessagesAreLoggedAndAViewableRefreshWaitsForItsBanner) {
  velour_test::TestHTTPServer server;
  serveSupportScriptLeadingToAd(server);
  server.reply("/ad", 200,
               "<p>ad</p><script>console.log('shown\\n\\x1b[31m');"
               "console.error('<Vozave> not the client');"
               "setTimeout(function () { console.log('later');"
               "  setTimeout(function () { console.log('later'); }, 2000); }, 500);</script>",
               {{"X-Zede-Refresh-Rate", "30"}});
  // The page's own timer runs in real time, which only `wait for` gives it.
  Outcome run = runScript(
      "wait 1\nwait for console: later\nwait for console: later\nlog\n"
      "tab 2\nwait 40\nads\ntab 1\nwait 1\nads\nquit\n",
      "--viewable-refresh --ad-server " + server.url(""));
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  EXPECT_EQ(run.status, 0) << run.err;
  std::string log = outputOf(run.out, "log", 0);
  EXPECT_NE(log.find("log: web console: shown\\\\n\\\\x1b[31m\n"), std::string::npos) << log;
  EXPECT_NE(log.find("log: web console: error: \\\\x3cVozave> not the client\n"), std::string::npos)
      << log;
  EXPECT_EQ(count(log, "log: web console: later\n"), 2) << log;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);

  auto firstBoard = [&run](int n) {
    std::istringstream lines(outputOf(run.out, "ads", n));
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("ad FirstViewController")) return line;
    }
    return std::string();
  };
  EXPECT_NE(firstBoard(0).find("refresh due when the banner is seen"), std::string::npos)
      << run.out;
  EXPECT_NE(firstBoard(1).find("refresh in 29.0 s"), std::string::npos) << run.out;

  // Without it the first board's banner refreshes behind the second board, unheard; the
  // second board's, on screen, is heard.
  run = runScript("wait 1\ntab 2\nwait 1\nlog\nwait 35\nlog\nquit\n",
                  "--ad-server " + server.url(""));
  EXPECT_EQ(count(outputOf(run.out, "log", 1), "web console: shown"), 1) << run.out;
}

// Every way out releases the work still pending while all it may call exists, and stops the web
// engine: here the banner's page keeps sending messages that wait for the next pass, and a
// full screen is up at `quit`. Runs side by side, as on a busy machine, where an exit that
// reached a table already destroyed failed one run in a few dozen (every run under the
// sanitizer).
TEST_F(VelourTest, QuitEndsCleanlyWithMessagesPendingAndAFullScreenUp) {
  velour_test::TestHTTPServer server;
  serveSupportScriptLeadingToAd(server);
  server.reply("/ad", 200,
               "<a id=\"ad\" href=\"http://ads.vozave.com/landing\" "
               "style=\"display:block;height:50px\">ad</a><script>"
               "setInterval(function () { window.location.href = 'gmsg://zede/ping'; }, 2);"
               "</script>",
               {{"X-Zede-Refresh-Rate", "0"}});
  server.reply("/landing", 200, "<p>landing</p>");
  std::ofstream(dir_ + "/script.velour")
      << "show\npress Boing\nshow\ntab 2\nshow\ntab 3\nshow\ntab 1\nwait 1\ntap banner\nshow\n"
         "quit\n";
  constexpr int kRounds = 2;
  constexpr int kSideBySide = 3;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> runs;
    std::vector<int> statuses(kSideBySide, -1);
    for (int i = 0; i < kSideBySide; ++i) {
      std::string run = dir_ + "/run" + std::to_string(i);
      std::string command = std::string("rm -rf '") + run + "' && '" + VELOUR_BINARY +
                            "' --home '" + run + "' --ad-server " + server.url("") + " --script '" +
                            dir_ + "/script.velour' > '" + run + ".out' 2> '" + run + ".err'";
      runs.emplace_back([&statuses, i, command] {
        int raw = std::system(command.c_str());
        statuses[static_cast<std::size_t>(i)] = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      });
    }
    for (auto& run : runs) run.join();
    for (int i = 0; i < kSideBySide; ++i) {
      std::string run = dir_ + "/run" + std::to_string(i);
      std::string err = readAll(run + ".err");
      if (err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << err;
      ASSERT_EQ(statuses[static_cast<std::size_t>(i)], 0) << err;
      ASSERT_NE(readAll(run + ".out").find("full screen: ZUVBrowserController"), std::string::npos)
          << readAll(run + ".out");
      std::string leftover = run + "/Library/WebEngine";
      ASSERT_EQ(std::system(("[ -z \"$(ls -A '" + leftover + "' 2>/dev/null)\" ]").c_str()), 0)
          << "the engine's run folder is left in " << leftover;
    }
  }
}

// Every way out with an MRAID ad away from its banner ends with status 0 and leaves no process:
// each presentation (expanded, the browser over it, resized, two parts, an interstitial) with
// one of the ways (a quit, the end of the script, SIGTERM, SIGINT), side by side. Before, the
// ad's restore at the application's destruction destroyed the application a second time.
struct MraidAway {
  const char* creative;
  bool interstitial;
  const char* steps;
  const char* shown;  // what `show` prints while it is up
  const char* end;    // the script's last line
  int signal;         // sent once the ad is up; 0: none
};

class VelourMraidExitTest : public VelourTest {
 protected:
  // Starts velour on `script` with its output in `run`.out and .err.
  static pid_t spawn(const std::string& run, const std::string& script, int port) {
    std::ofstream(run + ".velour") << script;
    std::vector<std::string> args = {VELOUR_BINARY,
                                     "--home",
                                     run,
                                     "--ad-server",
                                     "http://127.0.0.1:" + std::to_string(port),
                                     "--script",
                                     run + ".velour"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (run + ".out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, (run + ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    return pid;
  }

  // Waits for `pid` within `budget`; -1 when it did not exit normally (killed after the budget).
  static int statusOf(pid_t pid, std::chrono::seconds budget) {
    auto deadline = std::chrono::steady_clock::now() + budget;
    int raw = 0;
    while (::waitpid(pid, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  // A process still running whose command line names `path` (the engine of a run).
  static bool anyProcessNames(const std::string& path) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
      if (readAll(entry.path().string() + "/cmdline").find(path) != std::string::npos) return true;
    }
    return false;
  }

  static void waitFor(const std::function<bool()>& done, std::chrono::seconds budget) {
    auto deadline = std::chrono::steady_clock::now() + budget;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
};

TEST_F(VelourMraidExitTest, EveryWayOutWithAnAdAwayEndsCleanly) {
  const MraidAway runs[] = {
      {"mraid-expand", false,
       "wait for mraid-done expand ready\ntap banner\nwait for mraid-done expand expanded\n",
       "mraid ad: expanded, state expanded", "quit\n", 0},
      {"mraid-expand", false,
       "wait for mraid-done expand ready\ntap banner\nwait for mraid-done expand expanded\n"
       "tap Visit the shop\nwait 1\n",
       "full screen: ZUVBrowserController", "wait for the end\n", SIGTERM},
      {"mraid-resize", false,
       "wait for mraid-done resize ready\ntap banner\nwait for mraid-done resize resized\n",
       "mraid ad: resized, state resized", "wait for the end\n", SIGINT},
      {"mraid-two-part", false,
       "wait for mraid-done two-part ready\ntap banner\n"
       "wait for mraid-done two-part-expanded ready\n",
       "mraid ad: expanded, state expanded", "", 0},
      // Its page's lines after it went hidden reach the log: the closed stage is heard.
      {"mraid-interstitial", true, "interstitial\nwait for mraid-done interstitial ready\n",
       "mraid ad: interstitial", "close\nwait for mraid-done interstitial closed\n", 0},
  };
  constexpr std::size_t kSideBySide = 2;
  for (std::size_t first = 0; first < std::size(runs); first += kSideBySide) {
    const std::size_t last = std::min(first + kSideBySide, std::size(runs));
    std::vector<std::unique_ptr<adserver::AdServer>> servers;
    std::vector<pid_t> pids;
    for (std::size_t i = first; i < last; ++i) {
      servers.push_back(startServer());
      ASSERT_TRUE(servers.back());
      adserver::AdUnit unit;
      unit.creatives = {runs[i].interstitial ? "banner-plain" : runs[i].creative};
      if (runs[i].interstitial) unit.interstitials = {runs[i].creative};
      servers.back()->setUnit("a1b2c3d4e5f6071", unit);
      const std::string run = dir_ + "/run" + std::to_string(i);
      // The picture tells the test that the ad is up: the output reaches its file at the end.
      pids.push_back(
          spawn(run, std::string(runs[i].steps) + "show\nsnapshot " + run + ".png\n" + runs[i].end,
                servers.back()->port()));
    }
    for (std::size_t i = first; i < last; ++i) {
      const std::string run = dir_ + "/run" + std::to_string(i);
      if (runs[i].signal != 0) {
        waitFor([&] { return std::filesystem::exists(run + ".png"); }, std::chrono::seconds(90));
        ::kill(pids[i - first], runs[i].signal);
      }
      const int status = statusOf(pids[i - first], std::chrono::seconds(90));
      const std::string err = readAll(run + ".err");
      if (err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << err;
      EXPECT_EQ(status, 0) << "run " << i << ": " << err;
      EXPECT_NE(readAll(run + ".out").find(runs[i].shown), std::string::npos)
          << "run " << i << ": " << readAll(run + ".out") << err;
      waitFor([&] { return !anyProcessNames(run + "/"); }, std::chrono::seconds(10));
      EXPECT_FALSE(anyProcessNames(run + "/")) << "run " << i << " left a process behind";
    }
  }
}

// Without a network nothing loads, and the banners say so from their first failure, even one
// that comes before any command looks; with the network back, ads come again.
TEST_F(VelourTest, NetworkNoneFailsLoadsFromTheStartAndWifiBringsThemBack) {
  Outcome run = runScript(
      "wait 1\nads\nnetwork none\ntab 2\nwait 31\nads\nnetwork wifi\n"
      "defaults write IABUSPrivacy_String 1YNN\nwait 31\nads\nreport\nquit\n");
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(outputOf(run.out, "ads", 0).find("FirstViewController: banner 0,361 320x50 showing"),
            std::string::npos)
      << run.out;
  std::string offline = outputOf(run.out, "ads", 1);
  EXPECT_NE(offline.find("SecondViewController: banner 0,361 320x50 failed 2"), std::string::npos)
      << offline;
  // Both banners failed, with no other code: the new one retried once in the 31 s.
  const std::regex onlyNetworkErrors("errors: 2( 2)*, refused");
  EXPECT_EQ(std::distance(std::sregex_iterator(offline.begin(), offline.end(), onlyNetworkErrors),
                          std::sregex_iterator()),
            2)
      << offline;
  EXPECT_NE(outputOf(run.out, "ads", 2)
                .find("FirstViewController (off screen): banner 0,361 "
                      "320x50 showing"),
            std::string::npos)
      << run.out;
  // A consent tool's value written meanwhile reached the server with the next requests.
  EXPECT_NE(outputOf(run.out, "report", 0)
                .find("privacy of the last ad request: us_privacy=1YNN; the device identifier "
                      "was sent"),
            std::string::npos)
      << run.out;
}

// A support script that never answers holds the simulated clock for its real-time budget once,
// not again at every timer on the way to its time-out (a wait of a minute took minutes).
TEST_F(VelourTest, ASilentSupportScriptDoesNotSlowTheSimulatedClock) {
  velour_test::TestHTTPServer server;
  server.reply("/zede/sdk-core-v40.js", 200, "function ZEDE_buildAdURL(p) {}");
  const auto started = std::chrono::steady_clock::now();
  Outcome run = runScript("wait 5\nwait 60\nads\nquit\n", "--ad-server " + server.url(""));
  const auto took = std::chrono::steady_clock::now() - started;
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("FirstViewController: banner 0,361 320x50 failed 2"), std::string::npos)
      << run.out;
  EXPECT_LT(took, std::chrono::seconds(90));
}

// The demo walks the whole ad road; its screens, its log and the demo ad server's record show
// every step.
TEST_F(VelourTest, TheDemoWalksTheWholeAdRoad) {
  std::string script = readAll(VELOUR_DEMO_SCRIPT);
  const std::string shots = "snapshot build/demo/";
  for (auto at = script.find(shots); at != std::string::npos; at = script.find(shots, at)) {
    script.replace(at, shots.size(), "snapshot " + dir_ + "/");
  }
  Outcome run = runScript(script);
  if (run.err.find("the web engine is missing") != std::string::npos) GTEST_SKIP() << run.err;
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string& out = run.out;
  std::smatch shown;
  std::string first = outputOf(out, "show", 1);
  ASSERT_TRUE(std::regex_search(first, shown, std::regex("banner \\S+ \\S+ showing (\\S+)")))
      << first;
  const std::string adPage = shown[1];

  // The click-through opens the browser over the board, the status bar hidden; a mail link
  // brings the composer over the browser; the third board's ad is a web application.
  const std::pair<int, const char*> screens[] = {
      {2, "status bar: hidden\n"},
      {2, "full screen: ZUVBrowserController over FirstViewController\n"},
      {2, "page http://ads.vozave.com/landing/garden.html \"Verdant Gardens\"\n"},
      {2, "toolbar: Back (disabled), Forward (disabled), Reload, View in Safari, Done\n"},
      {6,
       "full screen: MailComposeViewController over ZUVBrowserController\n"
       "  to: beans@sunny.example\n  subject: A table for two\n"},
      {8, "full screen: ZUVWebAppViewController over ThirdViewController\n"},
      {8, "\"Puzzle Peaks\"\n  close button"},
      {11, "mraid ad: expanded, state expanded, 0,0 320x480"},
      {11, ", close control "},
      {13, " showing http://ads.vozave.com/zede/page/"},
  };
  for (const auto& [n, line] : screens) {
    EXPECT_NE(outputOf(out, "show", n).find(line), std::string::npos) << line << " in " << out;
  }
  EXPECT_EQ(outputOf(out, "opened", 0),
            "opened: itms-apps://apps.vozave.com/app/sunny-coffee\n"
            "mail sent: to beans@sunny.example \"A table for two\"\n");
  // The composer's picture shows its white sheet, not a black screen.
  auto mail = platform::decodePng(readAll(dir_ + "/3-mail.png"));
  ASSERT_TRUE(mail);
  std::size_t white = 0;
  for (std::size_t i = 0; i + 3 < mail->rgba.size(); i += 4) {
    if (mail->rgba[i] > 240 && mail->rgba[i + 1] > 240 && mail->rgba[i + 2] > 240) ++white;
  }
  EXPECT_GT(white, mail->rgba.size() / 4 / 2);

  // The information screen's banner shows an ad of its own: the MRAID ad that expands over
  // everything, reads as its expanded page, checks the container and goes back when closed.
  EXPECT_EQ(count(outputOf(out, "show", 10), " showing http"), 2) << out;
  EXPECT_NE(outputOf(out, "text", 0).find("text: Visit the shop\n"), std::string::npos) << out;
  EXPECT_EQ(outputOf(out, "show", 12).find("mraid ad:"), std::string::npos) << out;

  // No refresh is due under a full screen or in the background; in the foreground every banner
  // has one again, and the board's ad is replaced after the server's interval.
  std::string underBrowser = outputOf(out, "ads", 1), background = outputOf(out, "ads", 2),
              foreground = outputOf(out, "ads", 3);
  EXPECT_EQ(count(underBrowser, "refresh in"), 0) << underBrowser;
  EXPECT_EQ(count(background, "refresh in"), 0) << background;
  EXPECT_EQ(count(foreground, "refresh in"), 4) << foreground;
  EXPECT_EQ(outputOf(out, "show", 13).find(adPage), std::string::npos) << out;

  std::string log = outputOf(out, "log", 0);
  for (const char* line : {"log: mail sent to beans@sunny.example",
                           "log: open URL: itms-apps://apps.vozave.com/app/sunny-coffee",
                           "mraid-check PASS expand.expanded-position"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " in " << log;
  }
  EXPECT_EQ(log.find("mraid-check FAIL"), std::string::npos) << log;

  // The server saw an impression for every ad shown, the click, the tracked click of the
  // coffee ad, and the ad page as the Referer of the browser's first request.
  std::string report = outputOf(out, "report", 0);
  std::smatch counts;
  ASSERT_TRUE(std::regex_search(report, counts,
                                std::regex("(\\d+) ad requests, (\\d+) impressions, 1 clicks, 1 "
                                           "tracking hits")))
      << report;
  EXPECT_GE(std::stoi(counts[2]), 5);
  EXPECT_EQ(counts[1], counts[2]);
  std::string firstClick = report.substr(report.find("  click /cl/"));
  EXPECT_EQ(firstClick.substr(0, firstClick.find('\n')).substr(firstClick.find(" from ")),
            " from " + adPage);
}

}  // namespace
