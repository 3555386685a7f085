// The demo ad server over loopback HTTP, and its inventory reader.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "ads/signals/ZUVSignals.h"
#include "platform/foundation/URL.h"
#include "platform/web/JsonCodec.h"
#include "tests/support/TestWorld.h"
#include "tools/adserver/AdServer.h"
#include "tools/adserver/AdServerEndpoints.h"

namespace {

using adserver::AdServer;
using adserver::AdUnit;
using adserver::Fault;
using adserver::RequestKind;

constexpr const char* kSlot = "0123456789abcde";

class AdServerTest : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }

  void start(adserver::AdServerOptions options) {
    server.reset();
    auto started = AdServer::start(std::move(options));
    ASSERT_TRUE(started) << started.error().localizedDescription();
    server = std::move(started).value();
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
  }
  httplib::Result get(const std::string& target, const httplib::Headers& headers = {}) {
    return client->Get(target.c_str(), headers);
  }
  // The path and query of one of the server's absolute URLs.
  static std::string target(const std::string& url) {
    auto parsed = platform::URL::parse(url);
    return parsed ? parsed->path() + (parsed->hasQuery() ? "?" + parsed->query() : "") : "";
  }
  std::string adRequest(const std::string& extra = "") {
    return std::string(adserver::kAdRequestPath) + "?slotname=" + kSlot + extra;
  }
  void setFault(Fault fault, int stallMilliseconds = 0) {
    AdUnit unit;
    unit.creatives = {"banner-plain"};
    unit.fault = fault;
    unit.stallMilliseconds = stallMilliseconds;
    server->setUnit(kSlot, unit);
  }

  velour_test::TestWorld world;
  std::unique_ptr<AdServer> server;
  std::unique_ptr<httplib::Client> client;
};

// What is wrong with an MRAID page as HTML: a missing doctype, a placeholder left, a first
// script other than mraid.js, an element not closed or closed out of order. Empty when none.
std::string problemOfMraidPage(const std::string& html) {
  static const std::set<std::string> kVoid{"meta", "link", "br", "img", "input", "hr"};
  static const std::regex kTag("<(/?)([a-zA-Z][a-zA-Z0-9]*)[^>]*?(/?)>");
  const std::string loadsMraid = "<script src=\"mraid.js\"></script>";
  if (html.rfind("<!DOCTYPE html>", 0) != 0) return "no doctype";
  if (html.find("{{") != std::string::npos) return "a placeholder left";
  if (html.find(loadsMraid) == std::string::npos || html.find(loadsMraid) != html.find("<script")) {
    return "the first script is not mraid.js";
  }
  std::vector<std::string> open;
  std::smatch tag;
  for (auto at = html.cbegin(); std::regex_search(at, html.cend(), tag, kTag);) {
    std::string name = tag[2];
    at = tag[0].second;
    if (tag[1].length()) {
      if (open.empty() || open.back() != name) return "</" + name + "> closes nothing open";
      open.pop_back();
    } else if (!kVoid.contains(name) && !tag[3].length()) {
      open.push_back(name);
      // A script's or a style's text is not markup.
      auto end = html.find("</" + name + ">", static_cast<std::size_t>(at - html.cbegin()));
      if ((name == "script" || name == "style") && end != std::string::npos) {
        at = html.cbegin() + static_cast<std::ptrdiff_t>(end);
      }
    }
  }
  return open.empty() ? "" : "<" + open.back() + "> not closed";
}

TEST_F(AdServerTest, AdRequestRedirectsOnceWithItsHeadersThenServesThePage) {
  zuv_gig(4, "zede-sdk-i-v4.0.2");
  std::string signal;
  ASSERT_NE(zuv_gmrs(signal), 0);
  auto hop = get(adRequest("&js=zede-sdk-i-v4.0.2&" + signal));
  ASSERT_TRUE(hop);
  EXPECT_EQ(hop->status, 302);
  EXPECT_EQ(hop->get_header_value("X-Zede-Orientation"), "any");
  std::string tracking = hop->get_header_value("X-Zede-Tracking-Urls");
  auto blank = tracking.find(' ');
  ASSERT_NE(blank, std::string::npos) << tracking;
  EXPECT_EQ(tracking.find(' ', blank + 1), std::string::npos);
  for (const std::string& url : {tracking.substr(0, blank), tracking.substr(blank + 1)}) {
    EXPECT_EQ(target(url).rfind(std::string(adserver::kTrackingPrefix) + kSlot, 0), 0u) << url;
  }

  auto page = get(target(hop->get_header_value("Location")));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("X-Zede-Refresh-Rate"), "30");
  EXPECT_NE(page->body.find(server->adOrigin() + "/cl/" + kSlot + "-"), std::string::npos);
  EXPECT_EQ(page->body.find("{{"), std::string::npos) << "a placeholder was left unfilled";

  auto recorded = server->record().last(RequestKind::Ad);
  ASSERT_TRUE(recorded && recorded->signals);
  EXPECT_FALSE(recorded->parameters.contains("ms"));
  EXPECT_EQ(recorded->signals->at("t"), "4");
  EXPECT_EQ(recorded->signals->at("sv"), "zede-sdk-i-v4.0.2");

  AdUnit landscape;
  landscape.creatives = {"banner-mail"};
  landscape.orientation = "landscape";
  landscape.refreshRate = "0.05";
  server->setUnit(kSlot, landscape);
  auto turned = get(adRequest());
  EXPECT_EQ(turned->get_header_value("X-Zede-Orientation"), "landscape");
  EXPECT_EQ(
      get(target(turned->get_header_value("Location")))->get_header_value("X-Zede-Refresh-Rate"),
      "0.05");
}

// The client's conditional request itself is checked by the vozave "fetch" command's test.
// The MRAID creatives, their second part and their shared checks are served; an interstitial
// request gets the interstitial rotation, a banner request never does.
TEST_F(AdServerTest, ServesTheMraidCreativesBesideTheirSecondPartAndChecks) {
  for (const char* name :
       {"mraid-expand", "mraid-two-part", "mraid-resize", "mraid-exposure", "mraid-interstitial"}) {
    auto page = get(std::string(adserver::kAdPagePrefix) + kSlot + "/" + name + "?n=1");
    ASSERT_EQ(page->status, 200) << name;
    EXPECT_EQ(problemOfMraidPage(page->body), "") << name;
    EXPECT_NE(page->body.find("<script>// What the demo ad server's MRAID creatives share"),
              std::string::npos)
        << name;
  }
  auto second = get(std::string(adserver::kMraidPrefix) + "two-part-expanded.html");
  ASSERT_EQ(second->status, 200);
  EXPECT_EQ(problemOfMraidPage(second->body), "");
  EXPECT_NE(second->body.find("var mraidChecks"), std::string::npos);
  auto checks = get(std::string(adserver::kMraidPrefix) + "checks.js");
  EXPECT_EQ(checks->get_header_value("Content-Type"), "application/javascript");
  EXPECT_NE(checks->body.find("mraid-check FAIL "), std::string::npos);
  EXPECT_EQ(get(std::string(adserver::kMraidPrefix) + "inventory.js")->status, 404);

  // Full-screen formats take their own rotations; only a rewarded ad's page names its reward.
  const std::string format = std::string("&") + adserver::kAdFormatParameter + "=";
  auto served = [&](const std::string& extra) {
    return get(adRequest(extra))->get_header_value("Location");
  };
  for (const char* name :
       {"/mraid-interstitial?", "/interstitial-plain?", "/mraid-interstitial?"}) {
    EXPECT_NE(served(format + adserver::kInterstitialFormat).find(name), std::string::npos);
  }
  std::string rewarded = served(format + adserver::kRewardedFormat);
  EXPECT_NE(rewarded.find("/mraid-rewarded?"), std::string::npos);
  auto page = get(target(rewarded));
  EXPECT_EQ(problemOfMraidPage(page->body), "");
  EXPECT_EQ(page->get_header_value("X-Zede-Reward"), "10 coins");
  EXPECT_EQ(page->get_header_value("X-Zede-Reward-Time"), "15");
  std::string banner = served("");
  EXPECT_NE(banner.find("/banner-plain?"), std::string::npos);
  EXPECT_FALSE(get(target(banner))->has_header("X-Zede-Reward"));
}

// The shipped video unit's rotations answer with VAST only to requests that announce it; the
// others skip the video ads, and get no ad where there is nothing else.
TEST_F(AdServerTest, VideoAdsGoOnlyToRequestsThatAnnounceVast) {
  const std::string video = std::string(adserver::kAdRequestPath) + "?slotname=a1b2c3d4e5f6072";
  const std::string vast = "&vast=2.0,4.2;video/webm", full = "&format=interstitial_mb";
  for (const char* name :
       {"/vast:inline?", "/vast:skippable?", "/vast:wrapper?", "/vast:broken?"}) {
    EXPECT_NE(get(video + full + vast)->get_header_value("Location").find(name), std::string::npos);
  }
  auto page = get(target(get(video + full + vast)->get_header_value("Location")));
  EXPECT_EQ(page->get_header_value("Content-Type"), "application/xml");
  EXPECT_NE(page->body.find("<![CDATA[" + server->adOrigin() + "/vt/inline-impression]]>"),
            std::string::npos)
      << page->body;
  EXPECT_TRUE(server->record().last(RequestKind::Ad)->announcedVast.value_or(false));
  auto rewarded =
      get(target(get(video + "&format=rewarded_mb" + vast)->get_header_value("Location")));
  EXPECT_EQ(rewarded->get_header_value("X-Zede-Reward-Time"), "5");
  EXPECT_EQ(rewarded->body, page->body);

  auto refused = get(video + full + "&vast=2.0");
  EXPECT_EQ(refused->status, 400);
  EXPECT_NE(refused->body.find("did not announce VAST"), std::string::npos) << refused->body;
  EXPECT_EQ(platform::JsonCodec::write(
                adserver::AdRecord::toValue(*server->record().last(RequestKind::Ad))["vast"]),
            "false");
  AdUnit mixed;
  mixed.creatives = {"vast:inline", "interstitial-plain"};
  server->setUnit(kSlot, mixed);
  EXPECT_NE(get(adRequest())->get_header_value("Location").find("/interstitial-plain?"),
            std::string::npos);
  EXPECT_NE(get(adRequest())->get_header_value("Location").find("/interstitial-plain?"),
            std::string::npos);
}

TEST_F(AdServerTest, AConditionalFetchOfTheScriptGetsNotModifiedUntilTheInventoryChanges) {
  auto first = get(adserver::kSupportScriptPath);
  std::string since = first->get_header_value("Last-Modified");
  ASSERT_FALSE(since.empty());
  EXPECT_EQ(get(adserver::kSupportScriptPath, {{"If-Modified-Since", since}})->status, 304);
  EXPECT_EQ(server->record().last(RequestKind::Script)->ifModifiedSince, since);

  // A changed inventory changes the script, which must then be served again.
  setFault(Fault::Unable);
  auto changed = get(adserver::kSupportScriptPath, {{"If-Modified-Since", since}});
  EXPECT_EQ(changed->status, 200);
  EXPECT_NE(changed->body.find("\"unable\""), std::string::npos);
  EXPECT_EQ(get(adserver::kSupportScriptPath,
                {{"If-Modified-Since", changed->get_header_value("Last-Modified")}})
                ->status,
            304);
}

TEST_F(AdServerTest, EachFaultActsOutWhatTheClientMustSurvive) {
  setFault(Fault::Reject);
  EXPECT_EQ(get(adRequest())->status, 400);
  setFault(Fault::ServerError);
  EXPECT_EQ(get(adRequest())->status, 500);

  setFault(Fault::NavigationLoop);
  EXPECT_NE(
      get(target(get(adRequest())->get_header_value("Location")))->body.find("location.replace"),
      std::string::npos);
  setFault(Fault::EmptyPage);
  auto empty = get(target(get(adRequest())->get_header_value("Location")));
  EXPECT_EQ(empty->status, 200);
  EXPECT_FALSE(empty->body.empty());
  EXPECT_EQ(empty->body.find_first_not_of(" \t\r\n"), std::string::npos);

  // A long stall ends at once when the server stops.
  setFault(Fault::Stall, 60000);
  std::string page = target(get(adRequest())->get_header_value("Location"));
  std::thread waiting([&] { (void)get(page); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto started = std::chrono::steady_clock::now();
  server->stop();
  waiting.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

// A burst of banners: ten connections at once, each sending its first request late, as one
// does after the listen queue overflowed; every one of them gets its reply.
TEST_F(AdServerTest, ABurstOfLateConnectionsIsServedInFull) {
  std::vector<int> sockets;
  for (int i = 0; i < 10; ++i) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(server->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval wait{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockets.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::string request =
      "GET " + std::string(adserver::kReportPath) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  for (int fd : sockets) {
    ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
  }
  for (int fd : sockets) {
    char reply[16] = {};
    EXPECT_GT(::read(fd, reply, sizeof reply - 1), 0);
    EXPECT_EQ(std::string(reply).substr(0, 12), "HTTP/1.1 200");
    ::close(fd);
  }
}

TEST_F(AdServerTest, AClickChainRedirectsTwiceKeepsItsSignalsAndCountsOnce) {
  std::string click;
  ASSERT_NE(zuv_gmcs("t1", click), 0);
  auto hop = get(std::string("/cl/") + kSlot + "-1?ai=t1&to=garden&" + click);
  ASSERT_EQ(hop->status, 302);
  auto second = get(target(hop->get_header_value("Location")));
  ASSERT_EQ(second->status, 302);
  auto landing = get(target(second->get_header_value("Location")));
  EXPECT_EQ(landing->status, 200);
  EXPECT_NE(landing->body.find("href=\"coffee.html\""), std::string::npos);
  auto clicks = server->record().requestsOfKind(RequestKind::Click);
  ASSERT_EQ(clicks.size(), 2u);
  ASSERT_TRUE(clicks[0].signals);
  EXPECT_EQ(clicks[0].signals->at("ai"), "t1");
  EXPECT_EQ(server->record().counts()[kSlot].clicks, 1);
}

TEST_F(AdServerTest, BadRequestsGetAOneLineReasonAndAreRecorded) {
  const std::pair<std::string, std::string> cases[] = {
      {"?slotname=0123456789ABCDE", "\"slotname\" must be 15 lower-case hexadecimal digits\n"},
      {"?slotname=0123456789abcde&ms=not-a-signal", "unreadable signal text in \"ms\"\n"},
      {"?slotname=0123456789abcde&a=%G1", "malformed %-escape in the query\n"},
      {"?slotname=0123456789abcde&a%0Ab=1&a%0Ab=2", "query parameter \"a?b\" given twice\n"},
  };
  for (const auto& [query, reason] : cases) {
    auto reply = get(adserver::kAdRequestPath + query);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400);
    EXPECT_EQ(reply->body, reason);
  }
  std::string many;
  for (int i = 0; i < 200; ++i) many += "&k" + std::to_string(i) + "=v";
  EXPECT_EQ(get(adRequest(many))->body, "more than 128 query parameters\n");
  EXPECT_EQ(get(adserver::kAdRequestPath + std::string("?a=") + std::string(20000, 'a'))->status,
            414);
  EXPECT_EQ(client->Post("/zede/ads", std::string(100000, 'x'), "text/plain")->status, 413);
  EXPECT_EQ(get("/zede/page/0123456789abcde/missing")->status, 404);
  EXPECT_EQ(get("/zede/page/0123456789abcde/banner-plain?n=1x")->status, 400);
  EXPECT_EQ(get("/elsewhere")->body, "no such resource\n");
  EXPECT_EQ(get("/cl/x?to=../inventory")->status, 400);
  EXPECT_EQ(get("/cl/x?to=garden&cs=%21%21")->status, 400);

  auto refused = server->record().requests();
  ASSERT_EQ(refused.size(), std::size(cases) + 8);
  for (const auto& request : refused) EXPECT_FALSE(request.reason.empty()) << request.path;
  EXPECT_EQ(get(adRequest())->status, 302) << "the server goes on serving";
}

TEST_F(AdServerTest, TheRecordKeepsTheNewestRequestsAndShowsThemInTheReportsAndTheLog) {
  std::string log = world.home() + "/requests.jsonl";
  adserver::AdServerOptions options;
  options.recordCapacity = 3;
  options.logPath = log;
  start(options);
  for (int i = 0; i < 4; ++i) get(adRequest("&kw=%3Cb%3E" + std::to_string(i)));
  EXPECT_EQ(server->record().requests().size(), 3u);
  EXPECT_EQ(server->record().requests().front().parameters.find("kw")->stringValue(), "<b>1");
  EXPECT_EQ(server->record().counts()[kSlot].requests, 4);

  auto html = get(adserver::kReportPath);
  EXPECT_NE(html->body.find("<td>0123456789abcde</td><td>4</td>"), std::string::npos);
  EXPECT_NE(html->body.find("<td>kw</td><td>&lt;b&gt;3</td>"), std::string::npos);
  EXPECT_EQ(html->body.find("<b>3"), std::string::npos);
  auto json = platform::JsonCodec::parse(get(adserver::kReportJsonPath)->body);
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["units"][kSlot]["requests"].integerValue(), 4);
  EXPECT_EQ((*json)["requests"].arrayValue().size(), 3u);

  std::ifstream file(log);
  std::string line;
  int lines = 0;
  while (std::getline(file, line)) {
    auto entry = platform::JsonCodec::parse(line);
    ASSERT_TRUE(entry) << line;
    EXPECT_EQ((*entry)["slot"].stringValue(), lines < 4 ? kSlot : "");
    ++lines;
  }
  EXPECT_EQ(lines, 6) << "four ad requests and the two reports";
}

TEST(ServeCommandTest, PrintsWhereItListensServesAndStopsOnInterrupt) {
  velour_test::TestWorld world;
  std::string log = world.home() + "/requests.jsonl";
  // The shell prints its process number and becomes the server, so that the test can
  // interrupt it.
  std::string command =
      "echo $$; exec '" + std::string(VOZAVE_BINARY) + "' serve --log '" + log + "'";
  FILE* out = ::popen(command.c_str(), "r");
  ASSERT_TRUE(out);
  char line[512] = "";
  int child = 0, port = 0;
  ASSERT_TRUE(fgets(line, sizeof line, out) && sscanf(line, "%d", &child) == 1) << line;
  ASSERT_TRUE(fgets(line, sizeof line, out));
  ASSERT_EQ(sscanf(line, "Vozave demo ad server on http://127.0.0.1:%d", &port), 1) << line;
  std::string text;
  while (text.find("Ctrl-C") == std::string::npos && fgets(line, sizeof line, out)) text += line;
  std::string p = std::to_string(port);
  EXPECT_NE(text.find(" --resolve static.vozave.com:" + p +
                      ":127.0.0.1 --resolve ads.vozave.com:" + p + ":127.0.0.1\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(httplib::Client("127.0.0.1", port).Get(adserver::kReportPath)->status, 200);

  kill(child, SIGINT);
  text.clear();
  while (fgets(line, sizeof line, out)) text += line;
  int status = ::pclose(out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(text, "stopped\n");
  std::ifstream file(log);
  std::string entry;
  EXPECT_TRUE(std::getline(file, entry) && entry.find("\"/_report\"") != std::string::npos);
}

TEST(AdServerInventoryTest, RefusesInventoriesItCannotServe) {
  const std::set<std::string> known{"banner-plain"};
  auto good = adserver::Inventory::parse(
      R"({"units": {"*": {"creatives": ["banner-plain"]},
          "0123456789abcde": {"fault": "stall", "stall_ms": 20, "refresh": 0.5}}})",
      known);
  ASSERT_TRUE(good) << good.error().localizedDescription();
  EXPECT_EQ(good->unit("fedcba987654321")->creatives, std::vector<std::string>{"banner-plain"});
  EXPECT_EQ(good->unit(kSlot)->fault, Fault::Stall);
  EXPECT_EQ(good->unit(kSlot)->stallMilliseconds, 20);
  EXPECT_EQ(good->unit(kSlot)->refreshRate, "0.5");
  auto named =
      adserver::Inventory::parse(R"({"units": {"0123456789abcde": {"fault": "unable"}}})", known);
  ASSERT_TRUE(named) << named.error().localizedDescription();
  EXPECT_EQ(named->unit("fedcba987654321"), nullptr) << "only \"*\" serves units not named";

  const std::pair<const char*, const char*> bad[] = {
      {"[", "not JSON"},
      {R"({"units": {}})", "at least one ad unit"},
      {R"({"units": {"ABC": {"creatives": ["banner-plain"]}}})", "neither"},
      {R"({"units": {"*": {"creatives": ["nope"]}}})", "unknown creative \"nope\""},
      {R"({"units": {"*": {"creatives": []}}})", "needs at least one creative"},
      {R"({"units": {"*": {"creatives": ["banner-plain"], "interstitials": ["x"]}}})",
       "unknown creative \"x\""},
      {R"({"units": {"*": {"fault": "sometimes"}}})", "unknown fault"},
      {R"({"units": {"*": {"fault": "stall", "refresh": -1}}})", "\"refresh\" must be"},
      {R"({"units": {"*": {"fault": "stall", "reward": "1 a\nX-Evil: 1"}}})", "one line"},
      {R"({"units": {"*": {"fault": "stall", "rewarded": ["y"]}}})", "unknown creative \"y\""},
  };
  for (const auto& [text, reason] : bad) {
    auto parsed = adserver::Inventory::parse(text, known);
    ASSERT_FALSE(parsed) << text;
    const std::string problem = parsed.error().localizedDescription();
    EXPECT_NE(problem.find(reason), std::string::npos) << problem;
  }

  std::string path = velour_test::TestWorld::writeFile("/tmp", "adserver-bad-inventory.json",
                                                       R"({"units": {"*": {"fault": "x"}}})");
  adserver::AdServerOptions options;
  options.inventoryPath = path;
  auto started = AdServer::start(options);
  ASSERT_FALSE(started);
  std::string problem = started.error().localizedDescription();
  EXPECT_NE(problem.find(path + ": ad unit \"*\": unknown fault"), std::string::npos) << problem;
  std::remove(path.c_str());
}

}  // namespace
