// The demo ad server's support script in the real web engine: each call of ZEDE_buildAdURL
// answers with one report, a "gmsg" message URL, as the ad client's build page expects.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/adserver/AdQuery.h"
#include "tools/adserver/AdServer.h"

using namespace std::chrono_literals;

namespace {

using platform::WebView;

// Keeps every message URL and refuses it, as the ad client's delegates do.
class MessageRecorder : public platform::WebViewDelegate {
 public:
  bool webViewShouldStartLoadWithRequestNavigationType(WebView&,
                                                       const platform::WebRequest& request,
                                                       platform::WebViewNavigationType) override {
    if (request.url().writtenScheme() != "gmsg") return true;
    messages.push_back(request.url().absoluteString());
    return false;
  }
  void webViewDidFinishLoad(WebView&) override { ended = true; }
  void webViewDidFailLoadWithError(WebView&, const platform::Error&) override { ended = true; }

  std::vector<std::string> messages;
  bool ended = false;
};

// The fields of `url`, which must be the report "gmsg://zede/<name>?<fields>".
adserver::Query report(const std::string& url, const std::string& name) {
  const std::string prefix = "gmsg://zede/" + name + "?";
  EXPECT_EQ(url.rfind(prefix, 0), 0u) << url;
  auto query = adserver::Query::parse(url.substr(std::min(url.size(), prefix.size())));
  EXPECT_TRUE(query) << (query ? "" : query.error().localizedDescription());
  return query.valueOr(adserver::Query());
}

std::string field(const adserver::Query& fields, const char* name) {
  const std::string* value = fields.find(name);
  return value ? *value : "(none)";
}

TEST(AdServerScriptTest, ReportsEachRequestThroughAMessageURL) {
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    GTEST_SKIP() << "no web engine at " << platform::Browser::executablePath();
  }
  platform::Harness::resetRunLoop(false);
  auto started = adserver::AdServer::start({});
  ASSERT_TRUE(started) << started.error().localizedDescription();
  auto server = std::move(started).value();
  for (auto [slot, fault] : {std::pair{"aaaaaaaaaaaaaaa", adserver::Fault::Unable},
                             std::pair{"bbbbbbbbbbbbbbb", adserver::Fault::ThrowingScript},
                             std::pair{"ccccccccccccccc", adserver::Fault::SilentScript}}) {
    adserver::AdUnit unit;
    unit.fault = fault;
    server->setUnit(slot, unit);
  }
  // One call per script element, as in the client's build page; a throwing call ends only its
  // own element.
  std::string page = "<html><head><script>" + server->supportScript() + "</script>";
  for (const char* call : {
           R"(ZEDE_buildAdURL({"slotname":"0123456789abcde","js":"zede-sdk-i-v4.0.2",
               "ad_frame":{"x":0,"y":361,"w":320,"h":50},"kw":["a b","c&d"],
               "ios_metadata":{"big":"blob"}}))",
           R"(ZEDE_buildAdURL({"slotname":"bbbbbbbbbbbbbbb"}))",
           R"(ZEDE_buildAdURL({"slotname":"ccccccccccccccc"}))",
           R"(ZEDE_buildAdURL({"slotname":"0123456789ABCDE"}))",
           R"(ZEDE_buildAdURL({"slotname":"aaaaaaaaaaaaaaa"}))",
           R"(ZEDE_buildAdURL())",
       }) {
    page += std::string("<script>") + call + ";</script>";
  }
  page += "</head><body></body></html>";

  auto view = WebView::create(platform::Rect(0, 0, 1, 1));
  auto recording = std::make_shared<MessageRecorder>();
  MessageRecorder& recorder = *recording;
  view->setDelegate(recording);
  view->loadHTMLStringBaseURL(page, platform::URL::parse(server->adOrigin()));
  platform::RunLoop::main().runUntil(
      [&] { return recorder.ended && recorder.messages.size() >= 4; }, 15s);
  ASSERT_EQ(recorder.messages.size(), 4u);

  adserver::Query load = report(recorder.messages[0], "loadAdURL");
  EXPECT_EQ(field(load, "type"), "vodov");
  std::string url = field(load, "url");
  ASSERT_EQ(url.rfind(server->adOrigin() + "/zede/ads?", 0), 0u) << url;
  EXPECT_NE(field(report(recorder.messages[1], "invalidRequest"), "reason").find("slotname"),
            std::string::npos);
  EXPECT_EQ(field(report(recorder.messages[2], "unableToServe"), "slotname"), "aaaaaaaaaaaaaaa");
  EXPECT_EQ(field(report(recorder.messages[3], "invalidRequest"), "reason"),
            "the request parameters are not an object");

  // The server takes the ad URL that its script built.
  httplib::Client client("127.0.0.1", server->port());
  auto hop = client.Get(url.substr(server->adOrigin().size()).c_str());
  ASSERT_TRUE(hop);
  EXPECT_EQ(hop->status, 302);
  auto recorded = server->record().last(adserver::RequestKind::Ad);
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->parameters.find("ad_frame")->stringValue(),
            R"({"x":0,"y":361,"w":320,"h":50})");
  EXPECT_EQ(recorded->parameters.find("kw")->stringValue(), R"(["a b","c&d"])");
  EXPECT_FALSE(recorded->parameters.contains("ios_metadata"));
}

}  // namespace
