// vozave page, run as a developer would, against a page of text.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/support/RunCommand.h"

namespace {

using Outcome = velour_test::CommandResult;

Outcome runVozave(const std::string& args) {
  return velour_test::runCommand(VOZAVE_BINARY, args, "", velour_test::StandardError::Dropped);
}

TEST(PageCommandTest, PrintsTheDelegateCallsScriptResultsAndFinalURL) {
  if (::access("/usr/bin/chromium", X_OK) != 0 && !std::getenv("VELOUR_CHROMIUM")) {
    GTEST_SKIP() << "no web engine: install the Debian package chromium (scripts/setup)";
  }
  char path[] = "/tmp/vozave-page-XXXXXX";
  int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::ofstream(path) << "<title>Ad</title><script>location = 'gmsg://ad/hello?a=1'</script>";
  std::string shot = std::string(path) + ".png";
  Outcome run = runVozave(std::string("page --html ") + path +
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
  const std::string last = "url: http://ads.test/\n";
  ASSERT_GT(run.out.size(), last.size());
  EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last);
  std::ifstream png(shot, std::ios::binary);
  char magic[4] = {};
  png.read(magic, 4);
  EXPECT_EQ(std::string(magic + 1, 3), "PNG");

  EXPECT_EQ(runVozave("page --html /nonexistent/page.html").status, 1);
  EXPECT_EQ(runVozave("page").status, 2);
  std::remove(path);
  std::remove(shot.c_str());
}

}  // namespace
