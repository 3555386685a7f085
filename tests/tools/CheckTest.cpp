// vozave check: its reports written from fixed findings, and whole runs of it on the real
// engine against a good creative, a hostile one and bad command lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/web/JsonCodec.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TestHTTPServer.h"
#include "tools/vozave/CheckReport.h"

namespace {

using vozave::CheckReport;
using vozave::Severity;

platform::Value parsed(const std::string& text) {
  auto value = platform::JsonCodec::parse(text);
  EXPECT_TRUE(value) << text;
  return value ? *value : platform::Value();
}

std::string readFile(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// The kinds of the report's findings, as "kind@step" in order.
std::vector<std::string> findingsOf(const platform::Value& report) {
  std::vector<std::string> kinds;
  for (const auto& finding : report["findings"].arrayValue()) {
    kinds.push_back(finding["kind"].stringValue() + "@" + finding["step"].stringValue());
  }
  return kinds;
}

bool has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(CheckTest, ReportsSayWhatFailedAndWhatWarnsInEachForm) {
  CheckReport report;
  report.creative = "ad.html";
  report.format = "banner";
  report.width = 320;
  report.height = 50;
  report.requestsByHost["cdn.test"] = 3;
  // Page text that the log has escaped already stays as it is.
  report.add("console-error", "load", "web console: error: <b>&\"x\" a\\nb");
  EXPECT_EQ(report.findings.front().evidence, "web console: error: <b>&\"x\" a\\nb");
  EXPECT_STREQ(report.result(), "warnings");
  EXPECT_EQ(report.exitStatus(), 0);
  for (int i = 0; i < 25; ++i) report.add("left-without-tap", "quiet", "line\nbreak");
  EXPECT_EQ(report.findings.size(), 1 + CheckReport::kMaxFindingsOfAKind);
  EXPECT_EQ(report.omitted["left-without-tap"], 5u);
  EXPECT_EQ(report.findings.back().evidence, "line\\nbreak");
  EXPECT_EQ(report.exitStatus(), 1);

  platform::Value json = parsed(vozave::jsonText(report));
  EXPECT_EQ(json["result"].stringValue(), "fail");
  EXPECT_EQ(json["findings"].arrayValue().front()["severity"].stringValue(), "warning");
  EXPECT_EQ(json["findings"].arrayValue()[1]["severity"].stringValue(), "failure");
  EXPECT_EQ(json["omittedFindings"]["left-without-tap"].integerValue(), 5);
  EXPECT_EQ(json["measurements"]["requestsByHost"]["cdn.test"].integerValue(), 3);

  std::string junit = vozave::junitText(report);
  EXPECT_NE(junit.find("failures=\"1\""), std::string::npos) << junit;
  EXPECT_NE(junit.find("<system-out>load: web console: error: &lt;b&gt;&amp;&quot;x&quot; a\\nb\n"),
            std::string::npos)
      << junit;
  EXPECT_NE(junit.find("name=\"left-without-tap\">\n    <failure"), std::string::npos) << junit;

  std::string summary = vozave::summaryText(report);
  EXPECT_NE(summary.find("fail (20 failures, 1 warnings)"), std::string::npos) << summary;
  EXPECT_NE(summary.find("and 5 more left-without-tap findings"), std::string::npos) << summary;

  // Strict: the warning fails as well.
  report.strict = true;
  EXPECT_EQ(report.count(Severity::Failure), 21u);
  EXPECT_NE(vozave::junitText(report).find("failures=\"2\""), std::string::npos);
}

velour_test::CommandResult check(const std::string& args) {
  return velour_test::runCommand(VOZAVE_BINARY, "check " + args, "",
                                 velour_test::StandardError::Dropped);
}

// Each run takes some 15 s of real time: the walk's steps and their pictures.
TEST(CheckTest, PassesAGoodCreativeAndFailsAHostileOneForItsReasons) {
  if (::access("/usr/bin/chromium", X_OK) != 0 && !std::getenv("VELOUR_CHROMIUM")) {
    GTEST_SKIP() << "no web engine: install the Debian package chromium (scripts/setup)";
  }
  char folder[] = "/tmp/vozave-check-test-XXXXXX";
  ASSERT_TRUE(::mkdtemp(folder));
  const std::string dir = folder;
  const std::string creatives = VELOUR_CREATIVES_DIR;

  auto run = check(creatives + "/banner-plain.html --quiet 0.5 --json " + dir +
                   "/good.json --pictures " + dir + "/pictures");
  EXPECT_EQ(run.status, 0) << run.out;
  platform::Value good = parsed(readFile(dir + "/good.json"));
  EXPECT_EQ(good["result"].stringValue(), "pass") << run.out;
  std::vector<std::string> steps;
  for (const auto& step : good["steps"].arrayValue()) steps.push_back(step["name"].stringValue());
  EXPECT_EQ(steps, (std::vector<std::string>{"load", "ready", "quiet", "tap", "close", "rotate",
                                             "background", "unload"}));
  EXPECT_NE(good["steps"].arrayValue().at(3)["outcome"].stringValue().find("ZUVBrowserController"),
            std::string::npos);
  EXPECT_EQ(::access((dir + "/pictures/04-tap.png").c_str(), R_OK), 0);

  // An ad tag that leaves without a tap, logs an error, fetches from a blocked host and
  // listens to an event MRAID does not have.
  // Offline, its other host is refused too; a script of the user's takes the fixed walk's place.
  std::ofstream(dir + "/hostile.html")
      << "<script src=\"mraid.js\"></script><img src=\"http://cdn.blocked.test/pixel.gif\">"
         "<img src=\"https://cdn.elsewhere.test/pixel.gif\">"
         "<script>console.error('broken'); mraid.addEventListener('nope', function () {});"
         "console.warn = function () {};"
         "window.location.href = 'tel:5550100';</script>";
  std::ofstream(dir + "/walk.txt") << "# the user waits, then turns the phone\nwait 0.2\n"
                                      "rotate landscape\n";
  run = check(dir + "/hostile.html --script " + dir + "/walk.txt --offline --block blocked.test " +
              "--json " + dir + "/bad.json");
  EXPECT_EQ(run.status, 1) << run.out;
  platform::Value bad = parsed(readFile(dir + "/bad.json"));
  auto found = findingsOf(bad);
  EXPECT_TRUE(has(found, "left-without-tap@load")) << run.out;
  EXPECT_TRUE(has(found, "blocked-request@load")) << run.out;
  EXPECT_TRUE(has(found, "offline-request@load")) << run.out;
  EXPECT_TRUE(has(found, "console-hidden@rotate")) << run.out;
  EXPECT_EQ(bad["steps"].arrayValue().at(2)["name"].stringValue(), "wait") << run.out;
  EXPECT_EQ(bad["steps"].arrayValue().at(3)["name"].stringValue(), "rotate") << run.out;
  EXPECT_TRUE(has(found, "console-error@load")) << run.out;
  EXPECT_TRUE(has(found, "mraid-error@load")) << run.out;

  EXPECT_EQ(check("").status, 2);
  EXPECT_EQ(check(dir + "/missing.html").status, 2);
  EXPECT_EQ(check(dir + "/hostile.html --format rewarded").status, 2);
  EXPECT_EQ(check(dir + "/hostile.html --size 321x50").status, 2);
  std::ofstream(dir + "/dance.txt") << "wait 1\ndance\n";
  run = check(dir + "/hostile.html --script " + dir + "/dance.txt");
  EXPECT_EQ(run.status, 2);
  velour_test::TestHTTPServer server;
  server.reply("/gone.html", 404, "gone");
  EXPECT_EQ(check(server.url("/gone.html")).status, 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
