// Runs the velour binary on scripts, as a user would, and reads what it prints.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

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

  // The text of the n-th (0-based) "show" output in `out`.
  static std::string screenNumber(const std::string& out, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i) {
      at = out.find("screen ", i == 0 ? 0 : at + 1);
      if (at == std::string::npos) return {};
    }
    std::size_t end = out.find("\n> ", at);
    return out.substr(at, end == std::string::npos ? std::string::npos : end - at);
  }

  std::string dir_;
};

TEST_F(VelourTest, ScriptPlaysClipsSwitchesTabsAndShowsTheScreen) {
  Outcome run = runScript(
      "show\n"
      "press Boing\n"
      "wait 0.2\n"
      "show\n"
      "press Zap\n"
      "tab 2\n"
      "show\n"
      "tab 1\n"
      "show\n"
      "log\n"
      "quit\n");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string first = screenNumber(run.out, 0);
  EXPECT_NE(first.find("button \"Boing\""), std::string::npos) << first;
  EXPECT_NE(first.find("playing: nothing"), std::string::npos) << first;
  std::string playing = screenNumber(run.out, 1);
  EXPECT_NE(playing.find("playing: Boing.m4a 0.20"), std::string::npos) << playing;
  std::string second = screenNumber(run.out, 2);
  EXPECT_NE(second.find("view: SecondViewController"), std::string::npos) << second;
  EXPECT_NE(second.find("playing: nothing"), std::string::npos) << second;
  // Coming back does not resume the clip that the tab switch stopped.
  EXPECT_NE(screenNumber(run.out, 3).find("playing: nothing"), std::string::npos);

  auto stopped = run.out.find("log: audio: stopped Boing.m4a");
  auto zap = run.out.find("log: audio: playing Zap.m4a");
  auto zapStopped = run.out.find("log: audio: stopped Zap.m4a");
  ASSERT_NE(stopped, std::string::npos) << run.out;
  ASSERT_NE(zap, std::string::npos) << run.out;
  ASSERT_NE(zapStopped, std::string::npos) << run.out;
  EXPECT_LT(stopped, zap);
  EXPECT_LT(zap, zapStopped);
}

TEST_F(VelourTest, BadCommandsAreReportedAndTheScriptGoesOnButFailsAtTheEnd) {
  Outcome run = runScript(
      "dance\n"
      "tab 9\n"
      "wait soon\n"
      "press Nothing Such\n"
      "rotate sideways\n"
      "network dialup\n"
      "network cellular\n"
      "tab 1e308\n"
      "tab 2147483648\n"
      "press Boing\n"
      "show\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("unknown command \"dance\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(line 2)"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("wait needs a number"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Nothing Such"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("sideways"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("not \"dialup\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("tab number, not \"1e308\""), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("tab number, not \"2147483648\""), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("(line 7)"), std::string::npos) << run.err;
  // The commands after the failures still ran.
  EXPECT_NE(run.out.find("playing: Boing.m4a"), std::string::npos) << run.out;
}

TEST_F(VelourTest, InformationScreenFlipsInAndFadesOutButStays) {
  Outcome run = runScript(
      "tab 3\n"
      "press Info\n"
      "show\n"
      "press Done\n"
      "wait 1\n"
      "show\n"
      "press Info\n"
      "show\n");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string flipped = screenNumber(run.out, 0);
  EXPECT_NE(flipped.find("overlay: FlipSideView alpha 1.00"), std::string::npos) << run.out;
  EXPECT_NE(flipped.find("animation: flip from right of ThirdViewController view (cached), 1.00 s"),
            std::string::npos)
      << flipped;
  std::string faded = screenNumber(run.out, 1);
  EXPECT_NE(faded.find("overlay: FlipSideView alpha 0.00"), std::string::npos) << faded;
  EXPECT_NE(faded.find("animation: no transition, 0.50 s; FlipSideView view alpha 0"),
            std::string::npos)
      << faded;
  std::string again = screenNumber(run.out, 2);
  EXPECT_NE(again.find("overlay: FlipSideView alpha 0.00"), std::string::npos) << again;
  EXPECT_NE(again.find("overlay: FlipSideView alpha 1.00"), std::string::npos) << again;
}

TEST_F(VelourTest, CommandLineErrorsAndHelp) {
  std::string velour = std::string("'") + VELOUR_BINARY + "'";
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --bogus 2>/dev/null").c_str())), 2);
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --script /nonexistent 2>/dev/null").c_str())), 2);
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --script '" + dir_ + "' 2>/dev/null").c_str())), 2);
  // Output that a full device swallows fails the run.
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --help >/dev/full 2>/dev/null").c_str())), 1);
  std::ofstream(dir_ + "/show.velour") << "show\n";
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --home '" + dir_ + "/home' --script '" + dir_ +
                                     "/show.velour' >/dev/full 2>/dev/null")
                                        .c_str())),
            1);
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --help >/dev/null").c_str())), 0);
  EXPECT_EQ(WEXITSTATUS(std::system((velour + " --resolve host:80 2>/dev/null").c_str())), 2);
  EXPECT_EQ(WEXITSTATUS(std::system(
                (velour + " --resolve ads.vozave.com:8080:127.0.0.1 --help >/dev/null").c_str())),
            0);
}

TEST_F(VelourTest, ThePromptRunsALastLineThatHasNoNewline) {
  int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(grantpt(terminal), 0);
  ASSERT_EQ(unlockpt(terminal), 0);
  std::string user = ptsname(terminal);
  std::string home = dir_ + "/home", out = dir_ + "/out";
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setsid();
    dup2(open(user.c_str(), O_RDWR), 0);
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

}  // namespace
