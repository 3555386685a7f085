#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/net/URLConnection.h"
#include "tests/support/RecordingConnectionDelegate.h"
#include "tests/support/ShortNetworkTimeouts.h"
#include "tests/support/TestHTTPServer.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

namespace {

using platform::URL;
using platform::URLConnection;
using platform::URLRequest;
using velour_test::RawTestServer;
using velour_test::RecordingConnectionDelegate;
using velour_test::TestHTTPServer;

// Real sockets need real waiting: the host clock, short time-outs, generous caps.
class URLConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::Harness::resetRunLoop(false); }
  void TearDown() override { platform::HostResolution::shared().clear(); }

  std::shared_ptr<RecordingConnectionDelegate> fetch(const std::string& url,
                                                     URLRequest* custom = nullptr) {
    auto delegate = std::make_shared<RecordingConnectionDelegate>();
    URLRequest request = custom ? *custom : URLRequest(*URL::parse(url));
    if (!custom) request.setURL(*URL::parse(url));
    connection_ = URLConnection::create(request, delegate);
    EXPECT_TRUE(connection_);
    EXPECT_TRUE(delegate->waitForEnd());
    return delegate;
  }

  velour_test::TestWorld world_;
  TestHTTPServer server;
  velour_test::ShortNetworkTimeouts timeouts_;
  std::shared_ptr<URLConnection> connection_;
};

TEST_F(URLConnectionTest, DeliversOneReplyInThePlatformsOrder) {
  server.reply("/page", 200, "hello page", {{"x-zede-refresh-rate", "30"}});
  server.reply("/missing", 404, "not here");
  server.handle("/echo", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content(request.method + ":" + request.body, "text/plain");
  });

  URLRequest request(*URL::parse(server.url("/page")));
  request.setValueForHTTPHeaderField("Velour/1.0", "User-Agent");
  auto page = fetch("", &request);
  EXPECT_EQ(page->events, (std::vector<std::string>{"send " + server.url("/page"), "response 200",
                                                    "data", "finish"}));
  EXPECT_EQ(page->body, "hello page");
  ASSERT_EQ(page->responses.size(), 1u);
  // Whatever case the server sent, the name is found in any case.
  EXPECT_EQ(page->responses[0].valueForHTTPHeaderField("X-Zede-Refresh-Rate"), "30");
  EXPECT_EQ(server.requests().at(0).headers.value("user-agent"), "Velour/1.0");

  // An error status is a reply like any other, not a failure of the connection.
  auto missing = fetch(server.url("/missing"));
  EXPECT_EQ(missing->events.back(), "finish");
  EXPECT_EQ(missing->responses.back().statusCode(), 404);

  URLRequest post(*URL::parse(server.url("/echo")));
  post.setHTTPMethod("POST");
  post.setHTTPBody({'a', '=', '1'});
  EXPECT_EQ(fetch("", &post)->body, "POST:a=1");
}

TEST_F(URLConnectionTest, TakesRedirectsOneHopAtATime) {
  server.redirect("/one", 302, "/two?step=2");
  server.redirect("/two", 301, server.url("/three"));
  server.reply("/three", 200, "arrived");
  auto chain = fetch(server.url("/one"));
  EXPECT_EQ(chain->events,
            (std::vector<std::string>{
                "send " + server.url("/one"), "send " + server.url("/two?step=2") + " after 302",
                "send " + server.url("/three") + " after 301", "response 200", "data", "finish"}));
  EXPECT_EQ(chain->body, "arrived");
  EXPECT_EQ(connection_->currentRequest().url().absoluteString(), server.url("/three"));

  // 303 turns a POST into a GET without its body.
  server.redirect("/form", 303, "/three");
  URLRequest post(*URL::parse(server.url("/form")));
  post.setHTTPMethod("POST");
  post.setHTTPBody({'x'});
  auto seeOther = fetch("", &post);
  EXPECT_EQ(server.requests().back().method, "GET");

  // A delegate that cancels at the redirect hears nothing more, and the target is never asked.
  server.redirect("/away", 302, "/never");
  auto delegate = std::make_shared<RecordingConnectionDelegate>();
  delegate->refuseRedirect = [](const URLRequest&) { return true; };
  connection_ = URLConnection::create(URLRequest(*URL::parse(server.url("/away"))), delegate);
  ASSERT_TRUE(delegate->waitForEnd());
  platform::Harness::advance(0.2s);
  EXPECT_EQ(delegate->events.size(), 2u);
  EXPECT_EQ(server.requestCount("/never"), 0u);

  // A redirect to a URL that is not a web URL cannot be loaded.
  server.redirect("/store", 302, "itms-apps://itunes.example/app/1");
  auto store = fetch(server.url("/store"));
  EXPECT_EQ(store->events.at(1), "send itms-apps://itunes.example/app/1 after 302");
  EXPECT_EQ(store->events.back(), "fail " + std::to_string(platform::kURLErrorUnsupportedURL));
}

TEST_F(URLConnectionTest, EveryBadFetchEndsWithAnError) {
  server.redirect("/loop", 302, "/loop");
  auto loop = fetch(server.url("/loop"));
  EXPECT_EQ(loop->error->code, platform::kURLErrorHTTPTooManyRedirects);
  EXPECT_EQ(server.requestCount("/loop"), 21u);  // the first request and 20 redirects

  URLConnection::settings().maxBodyBytes = 100000;
  server.bigBody("/announced", 200000, true);
  auto announced = fetch(server.url("/announced"));
  EXPECT_EQ(announced->events.back(),
            "fail " + std::to_string(platform::kURLErrorDataLengthExceedsMaximum));
  server.bigBody("/streamed", 200000, false);
  auto streamed = fetch(server.url("/streamed"));
  EXPECT_EQ(streamed->error->code, platform::kURLErrorDataLengthExceedsMaximum);
  EXPECT_LE(streamed->body.size(), 100000u);
  server.bigBody("/fits", 100000, false);
  EXPECT_EQ(fetch(server.url("/fits"))->body.size(), 100000u);

  RawTestServer stall("", false);
  auto silent = fetch(stall.url("/"));
  EXPECT_EQ(silent->events,
            (std::vector<std::string>{"send " + stall.url("/"),
                                      "fail " + std::to_string(platform::kURLErrorTimedOut)}));
  RawTestServer halfBody("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part", false);
  auto stalledBody = fetch(halfBody.url("/"));
  EXPECT_EQ(stalledBody->events.back(), "fail " + std::to_string(platform::kURLErrorTimedOut));
  EXPECT_EQ(stalledBody->body, "only a part");

  RawTestServer cut("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part", true);
  auto closed = fetch(cut.url("/"));
  EXPECT_EQ(closed->events.back(),
            "fail " + std::to_string(platform::kURLErrorNetworkConnectionLost));
  RawTestServer garbage("this is not HTTP\r\n\r\n", true);
  EXPECT_EQ(fetch(garbage.url("/"))->error->code, platform::kURLErrorBadServerResponse);

  int freePort = 0;
  {
    RawTestServer gone("", true);
    freePort = gone.port();
  }
  auto refused = fetch("http://127.0.0.1:" + std::to_string(freePort) + "/");
  EXPECT_EQ(refused->error->code, platform::kURLErrorCannotConnectToHost);
  EXPECT_EQ(refused->error->userInfo.find(platform::kURLErrorFailingURLStringKey)->stringValue(),
            "http://127.0.0.1:" + std::to_string(freePort) + "/");

  // A TLS handshake that never gets an answer is still connecting: the connect time-out ends it.
  URLConnection::settings().idleTimeout = 30s;
  RawTestServer mute("", false, false);
  auto handshake = fetch("https://127.0.0.1:" + std::to_string(mute.port()) + "/");
  EXPECT_EQ(handshake->error->code, platform::kURLErrorTimedOut);

  EXPECT_EQ(URLConnection::create(URLRequest(*URL::parse("ftp://example.com/x")), nullptr),
            nullptr);

  // Without a network nothing goes out, until it is back.
  server.reply("/online", 200, "here");
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::None);
  EXPECT_EQ(fetch(server.url("/online"))->error->code, platform::kURLErrorNotConnectedToInternet);
  EXPECT_EQ(server.requestCount("/online"), 0u);
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::WiFi);
  EXPECT_EQ(fetch(server.url("/online"))->body, "here");
}

TEST_F(URLConnectionTest, RepliesThatCannotBeTrustedFail) {
  auto failure = [&](const std::string& head, const std::string& rest = "") {
    RawTestServer raw("HTTP/1.1 200 OK\r\n" + head + rest + "\r\nhello", true);
    auto result = fetch(raw.url("/"));
    return result->error ? result->error->code : 0;
  };
  const long bad = platform::kURLErrorBadServerResponse;
  EXPECT_EQ(failure("Content-Length: 5\r\nContent-Length: 7\r\n"), bad);
  EXPECT_EQ(failure("Content-Length: 99999999999999999999999\r\n"), bad);
  EXPECT_EQ(failure("Content-Length: 5\r\ncontent-length: 5\r\n"), 0);
  // A header block past the cap, folded or in many small fields, is refused as it comes.
  std::string folds;
  for (int i = 0; i < 30000; ++i) folds += " continued\r\n";
  EXPECT_EQ(failure("X-Long: start\r\n", folds), bad);
  std::string many;
  for (int i = 0; i < 45000; ++i) many += "h" + std::to_string(i) + ": v\r\n";
  EXPECT_EQ(failure(many), bad);
  // One line longer than libcurl takes, well under the cap.
  EXPECT_EQ(failure("X-Long: " + std::string(150000, 'a') + "\r\n"), bad);

  // A server that drips its reply is cut off once it stays below the minimum speed.
  URLConnection::settings().minimumBytesPerSecond = 40;
  server.handle("/drip", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider(
        "application/octet-stream", [sent = 0](std::size_t, httplib::DataSink& sink) mutable {
          if (sent++ == 40 || !sink.is_writable()) return false;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          return sink.write("x", 1);
        });
  });
  auto drip = fetch(server.url("/drip"));
  EXPECT_EQ(drip->events.back(), "fail " + std::to_string(platform::kURLErrorTimedOut));
  EXPECT_FALSE(drip->body.empty());
}

TEST(HTTPHeaderFieldsTest, KeepsOrderAndCaseAndFindsAnyCase) {
  platform::HTTPHeaderFields fields{{"Accept", "a"}, {"X-One", "1"}, {"x-one", "2"}};
  EXPECT_TRUE(fields.remove("ACCEPT"));
  EXPECT_TRUE(fields.appendToValue("x-ONE", "3"));
  fields.set("Host", "h");
  fields.set("HOST", "example");
  std::vector<platform::HTTPHeaderFields::Field> expected{{"X-One", "1, 2 3"}, {"Host", "example"}};
  EXPECT_EQ(std::vector<platform::HTTPHeaderFields::Field>(fields.begin(), fields.end()), expected);
  EXPECT_EQ(fields.value("host"), "example");
  EXPECT_FALSE(fields.contains("Accept"));
}

TEST_F(URLConnectionTest, MappedHostsAndHttpsReachTheLocalServer) {
  TestHTTPServer plain;
  plain.reply("/ad", 200, "ad page");
  platform::HostResolution::shared().map("ads.velour.test", "127.0.0.1",
                                         static_cast<std::uint16_t>(plain.port()));
  auto mapped = fetch("http://ads.velour.test/ad");
  EXPECT_EQ(mapped->body, "ad page");
  EXPECT_EQ(plain.requests().at(0).headers.value("Host"), "ads.velour.test");

  // The connect time-out covers the TLS handshake, which a loaded machine may not finish in
  // the fixture's half second.
  URLConnection::settings().connectTimeout = 10s;
  TestHTTPServer secure(true);
  secure.reply("/script.js", 200, "var x;");
  platform::HostResolution::shared().map("secure.velour.test", "127.0.0.1",
                                         static_cast<std::uint16_t>(secure.port()));
  // The system's authorities do not know the test certificate.
  auto untrusted = fetch("https://secure.velour.test/script.js");
  EXPECT_EQ(untrusted->error->code, platform::kURLErrorServerCertificateUntrusted);

  URLConnection::settings().trustedCertificatesPath = TestHTTPServer::authorityCertificatePath();
  auto trusted = fetch("https://secure.velour.test/script.js");
  EXPECT_EQ(trusted->body, "var x;");
}

TEST_F(URLConnectionTest, CookiesLiveInTheHomeFoldersJar) {
  server.reply("/set", 200, "", {{"Set-Cookie", "id=abc123; Path=/"}});
  server.handle("/check", [](const httplib::Request& request, httplib::Response& response) {
    response.set_content(request.get_header_value("Cookie"), "text/plain");
  });
  fetch(server.url("/set"));
  EXPECT_EQ(fetch(server.url("/check"))->body, "id=abc123");

  URLRequest without(*URL::parse(server.url("/check")));
  without.setHTTPShouldHandleCookies(false);
  EXPECT_EQ(fetch("", &without)->body, "");

  connection_.reset();
  std::string jar = world_.home() + "/Library/Cookies/Cookies.txt";
  std::ifstream file(jar);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(text.str().find("abc123"), std::string::npos);

  // Another device's home folder has a jar of its own.
  velour_test::TestWorld other;
  platform::Harness::resetRunLoop(false);
  EXPECT_EQ(fetch(server.url("/check"))->body, "");
}

TEST_F(URLConnectionTest, CancelEndsSilentlyAndReleasesTheDelegate) {
  server.reply("/page", 200, "text");
  auto delegate = std::make_shared<RecordingConnectionDelegate>();
  std::weak_ptr<RecordingConnectionDelegate> watched = delegate;
  auto connection = URLConnection::create(URLRequest(*URL::parse(server.url("/page"))), delegate);
  delegate.reset();
  ASSERT_FALSE(watched.expired());  // the running connection holds it
  connection->cancel();
  EXPECT_TRUE(watched.expired());
  platform::Harness::advance(0.3s);
  EXPECT_EQ(server.requestCount("/page"), 0u);

  // A delegate that only the connection holds still hears the end.
  auto owned = std::make_shared<RecordingConnectionDelegate>();
  std::weak_ptr<RecordingConnectionDelegate> ownedWatch = owned;
  URLConnection::create(URLRequest(*URL::parse(server.url("/page"))), std::move(owned));
  ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return ownedWatch.expired(); }, 10s));
  EXPECT_EQ(server.requestCount("/page"), 1u);
}

}  // namespace
