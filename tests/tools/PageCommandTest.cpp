// vozave page, run as a developer would, against a page of text.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/RunCommand.h"

namespace {

using Outcome = velour_test::CommandResult;

Outcome runVozave(const std::string& args) {
  return velour_test::runCommand(VOZAVE_BINARY, args, "", velour_test::StandardError::Dropped);
}

bool haveWebEngine() {
  return ::access("/usr/bin/chromium", X_OK) == 0 || std::getenv("VELOUR_CHROMIUM");
}

std::string writePage(const std::string& html) {
  char path[] = "/tmp/vozave-page-XXXXXX";
  int fd = ::mkstemp(path);
  if (fd >= 0) ::close(fd);
  std::ofstream(path) << html;
  return path;
}

TEST(PageCommandTest, PrintsTheDelegateCallsScriptResultsAndWhatTheAdDelegateDoes) {
  if (!haveWebEngine()) {
    GTEST_SKIP() << "no web engine: install the Debian package chromium (scripts/setup)";
  }
  std::string path =
      writePage("<title>Ad</title><script>location = 'gmsg://ad/hello?a=1'</script>");
  std::string shot = path + ".png";
  Outcome run = runVozave("page --html " + path +
                          " --base http://ads.test/ --eval document.title --screenshot " + shot);
  EXPECT_EQ(run.status, 0) << run.out;
  const std::string calls =
      "webView:shouldStartLoadWithRequest: GET http://ads.test/ navigationType: 5 => load\n"
      "webViewDidStartLoad:\n"
      "webView:shouldStartLoadWithRequest: GET gmsg://ad/hello?a=1 navigationType: 5 => refuse\n"
      "webViewDidFinishLoad:\n"
      "eval document.title => Ad\n"
      "screenshot: " +
      shot + " (";
  EXPECT_EQ(run.out.substr(0, calls.size()), calls);
  EXPECT_TRUE(run.out.ends_with("url: http://ads.test/\n")) << run.out;
  std::ifstream png(shot, std::ios::binary);
  char magic[4] = {};
  png.read(magic, 4);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");

  EXPECT_EQ(runVozave("page --html /nonexistent/page.html").status, 1);
  EXPECT_EQ(runVozave("page").status, 2);
  std::remove(path.c_str());
  std::remove(shot.c_str());

  // With --ad, the ad delegate acts on each message; it opens something only on a tap.
  const std::string open = "gmsg://ad/open?a=browser&u=http%3A%2F%2Fl.test%2F&o=p";
  path = writePage(
      "<body style='margin:0'><div style='height:480px' onclick=\"location = '" + open +
      "'; setTimeout(function () { location = 'mailto:x@y.test?subject=S%0AT'; }, 10);\"></div>"
      "<script>var m = ['gmsg://ad/log?string=a%0Ab', 'gmsg://ad/touch?tx=3', '" +
      open +
      "', 'vodov://nowhere', 'gmsg://ad/settings?supportedorientations=any', "
      "'gmsg://ad/x%1By?k%C2%9B=v%0A'];"
      "function next() { if (m.length) { location = m.shift(); setTimeout(next, 10); } }"
      "setTimeout(next, 10);</script>");
  run = runVozave("page --ad --html " + path + " --base http://ads.test/ --tap 100,100");
  EXPECT_EQ(run.status, 0) << run.out;
  for (const std::string& line : std::vector<std::string>{
           "  orientation to the page: portrait\n", "  log: a\\nb\n",
           "  touch signals: x 3 y -1 duration -1\n",
           "  log: <Vozave> Refused an open message without a tap: " + open + "\n",
           "  posted didReceiveWebAction {u: vodov://nowhere}\n  => refuse\n",
           "posted on the ad notification centre: \"settings\" {supportedorientations: any}\n",
           "  message \"x\\x1by\" {k\\u009b: v\\n}\n", "tap 100,100\n",
           "  open in-app browser: http://l.test/ orientations: 2 Referer: (none)\n",
           "  mail composer: to: x@y.test cc:  bcc:  subject: S\\nT body: (none) (plain text)\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  }
  EXPECT_EQ(runVozave("page --html " + path + " --tap 1").status, 2);
  std::remove(path.c_str());
}

}  // namespace
