#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Png.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"

using platform::Browser;
using platform::RunLoop;
using platform::URL;
using platform::WebRequest;
using platform::WebView;
using platform::WebViewNavigationType;

namespace {

struct Seen {
  std::string method, path, body, referer, userAgent;
};

// Loopback pages for every test of this program, on a port of the system's choosing.
class PageServer {
 public:
  PageServer() {
    server_.Get("/page1", page("One", R"(<a id="next" href="/page2">Next</a>
        <form action="/form" method="get"><input name="q" value="v"><button>Find</button></form>
        <form action="/post" method="post"><input name="k" value="w"><button>Send</button></form>)"));
    server_.Get("/page2", page("Two", "<p>second page</p>"));
    server_.Get("/page3", page("Three", "<p>third page</p>"));
    server_.Get("/form", page("Found", "<p>found</p>"));
    server_.Post("/post", page("Posted", "<p>posted</p>"));
    server_.Get("/refused", page("Refused", ""));
    server_.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/page3");
    });
    server_.Get("/to-app", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("itms-apps://store.test/app?id=1");
    });
    server_.Get("/stall", [](const httplib::Request&, httplib::Response& res) {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      res.set_content("late", "text/html");
    });
    server_.set_logger([this](const httplib::Request& req, const httplib::Response&) {
      std::lock_guard lock(mutex_);
      seen_.push_back({req.method, req.path, req.body, req.get_header_value("Referer"),
                       req.get_header_value("User-Agent")});
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~PageServer() {
    server_.stop();
    thread_.join();
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  // The last request for `path`, or an empty one.
  Seen request(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto it = seen_.rbegin(); it != seen_.rend(); ++it) {
      if (it->path == path) return *it;
    }
    return {};
  }
  bool served(const std::string& path) { return !request(path).path.empty(); }

 private:
  static httplib::Server::Handler page(const std::string& title, const std::string& body) {
    return [title, body](const httplib::Request&, httplib::Response& res) {
      res.set_content(
          "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>",
          "text/html");
    };
  }

  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

// Writes down every delegate call; refuses what `refuse` says.
class Recorder : public platform::WebViewDelegate {
 public:
  bool webViewShouldStartLoadWithRequestNavigationType(WebView& view, const WebRequest& request,
                                                       WebViewNavigationType type) override {
    calls.push_back("should " + request.url().absoluteString() + " " + std::to_string(type));
    requests.push_back(request);
    userActivations.push_back(view.lastNavigationHadUserActivation());
    return !refuse || !refuse(request.url().absoluteString());
  }
  void webViewDidStartLoad(WebView&) override { calls.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { calls.push_back("finish"); }
  void webViewDidFailLoadWithError(WebView&, const platform::Error& error) override {
    calls.push_back("fail " + std::to_string(error.code));
    lastError = error;
  }

  bool ended() const {
    return !calls.empty() && (calls.back() == "finish" || calls.back().rfind("fail", 0) == 0);
  }
  void clear() {
    calls.clear();
    requests.clear();
    userActivations.clear();
  }
  std::vector<std::string> asked() const {
    std::vector<std::string> urls;
    for (const auto& request : requests) urls.push_back(request.url().absoluteString());
    return urls;
  }

  std::vector<std::string> calls;
  std::vector<WebRequest> requests;
  std::vector<bool> userActivations;
  platform::Error lastError;
  std::function<bool(const std::string&)> refuse;
};

PageServer* server = nullptr;

// The device's home folder of the suite, and the folders that the engine must leave alone: the
// system's temporary folder and the user's own home (this program's environment names them).
struct Folders {
  std::filesystem::path base, home, tmp, user, engine;
  std::string savedHome;
};
Folders* folders = nullptr;

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!server) server = new PageServer();
    namespace fs = std::filesystem;
    Browser::shutdown();
    folders = new Folders;
    folders->base = fs::temp_directory_path() / ("velour-web-" + std::to_string(::getpid()));
    folders->home = folders->base / "home";
    folders->tmp = folders->base / "tmp";
    folders->user = folders->base / "user";
    folders->engine = folders->home / "Library" / "WebEngine";
    for (const auto& folder : {folders->home, folders->tmp, folders->user}) {
      fs::create_directories(folder);
    }
    // What a killed run left.
    fs::create_directories(folders->engine / "run-killed" / "profile");
    auto& files = platform::FileManager::defaultManager();
    folders->savedHome = files.homeDirectory();
    files.setHomeDirectory(folders->home.string());
    ::setenv("TMPDIR", folders->tmp.c_str(), 1);
    ::setenv("HOME", folders->user.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CACHE_HOME");
  }
  static void TearDownTestSuite() {
    // The browser's kept-alive connections would hold the server's stop for seconds.
    Browser::shutdown();
    delete server;
    server = nullptr;
    platform::FileManager::defaultManager().setHomeDirectory(folders->savedHome);
    std::filesystem::remove_all(folders->base);
    delete folders;
    folders = nullptr;
  }

  void SetUp() override {
    if (::access(Browser::executablePath().c_str(), X_OK) != 0) {
      GTEST_SKIP() << "no web engine at " << Browser::executablePath()
                   << ": install the Debian package chromium (scripts/setup)";
    }
    RunLoop::main().reset(false);
    view = WebView::create(platform::Rect(0, 0, 320, 480));
    view->setDelegate(delegate);
  }

  bool waitFor(const std::function<bool()>& done, double seconds = 10) {
    return RunLoop::main().runUntil(done, seconds);
  }
  // Loads `path` and waits until the load has ended; then forgets the calls.
  void load(const std::string& path) {
    recorder.clear();
    view->loadRequest(WebRequest(*URL::parse(server->url(path))));
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
    ASSERT_EQ(recorder.calls.back(), "finish");
    recorder.clear();
  }
  std::string eval(const std::string& script) {
    return view->stringByEvaluatingJavaScriptFromString(script);
  }
  std::string url(const std::string& path) { return server->url(path); }

  std::shared_ptr<WebView> view;
  std::shared_ptr<Recorder> delegate = std::make_shared<Recorder>();
  Recorder& recorder = *delegate;
};

TEST_F(WebViewTest, LoadsRequestsAndTextWithTheDelegateCallsInOrder) {
  WebRequest request(*URL::parse(url("/page1")));
  request.setValueForHTTPHeaderField("http://referrer.test/ad", "Referer");
  view->loadRequest(request);
  EXPECT_TRUE(view->isLoading());
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page1") + " 5", "start", "finish"}));
  EXPECT_FALSE(view->isLoading());
  EXPECT_EQ(view->request().url().absoluteString(), url("/page1"));
  EXPECT_EQ(eval("document.title"), "One");
  EXPECT_EQ(recorder.requests[0].valueForHTTPHeaderField("User-Agent"), WebView::kUserAgent);
  Seen first = server->request("/page1");
  EXPECT_EQ(first.referer, "http://referrer.test/ad");
  EXPECT_EQ(first.userAgent, WebView::kUserAgent);

  recorder.clear();
  view->loadHTMLStringBaseURL("<title>Text</title><p>hello</p>", URL::parse("http://ads.test:81/"));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should http://ads.test:81/ 5", "start", "finish"}));
  EXPECT_EQ(eval("location.origin + ' ' + document.title"), "http://ads.test:81 Text");
  EXPECT_EQ(view->pageText(), "hello");

  // A base URL on the default port, written without its root path: the page keeps the http
  // origin asked for, and a reload gets the same text back.
  view->loadHTMLStringBaseURL("<title>Root</title>", URL::parse("http://ads.example.com"));
  ASSERT_TRUE(waitFor([&] { return !view->isLoading(); }));
  recorder.clear();
  view->reload();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls.back(), "finish");
  EXPECT_EQ(eval("location.href + ' ' + document.title"), "http://ads.example.com/ Root");
  EXPECT_EQ(view->request().url().absoluteString(), "http://ads.example.com/");

  // A banner loads a new text at every refresh: only the newest are kept, and a reload still
  // serves the last one.
  for (std::size_t i = 0; i <= WebView::kRememberedPageTexts; ++i) {
    recorder.clear();
    view->loadHTMLStringBaseURL("<p>ad " + std::to_string(i) + "</p>",
                                URL::parse("http://ads.test:81/ad?n=" + std::to_string(i)));
    ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  }
  EXPECT_EQ(view->rememberedPageTextCount(), WebView::kRememberedPageTexts);
  recorder.clear();
  view->reload();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(view->pageText(), "ad " + std::to_string(WebView::kRememberedPageTexts));

  recorder.clear();
  view->loadHTMLStringBaseURL("<p>blank</p>", std::nullopt);
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"should about:blank 5", "start", "finish"}));
  EXPECT_EQ(eval("location.href + ' ' + document.body.innerText"), "about:blank blank");

  recorder.clear();
  view->loadRequest(WebRequest(*URL::parse("http://127.0.0.1:1/nothing")));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls.size(), 3u);
  EXPECT_EQ(recorder.calls.back(), "fail " + std::to_string(platform::kWebErrorLoadFailed));
}

TEST_F(WebViewTest, ShootsThePageAtTheViewsSizeInPointsAndTheScaleAsked) {
  view->setFrame(platform::Rect(0, 0, 100, 60));
  view->loadHTMLStringBaseURL(
      "<body style='margin:0;background:#f00'><div style='height:30px;background:#00f'>",
      std::nullopt);
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  auto shot = view->screenshotPNGAtScale(2);
  ASSERT_TRUE(shot);
  auto pixels = platform::decodePng(platform::text::view(*shot));
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels->width, 200u);
  EXPECT_EQ(pixels->height, 120u);
  auto at = [&](std::size_t x, std::size_t y) {
    const std::uint8_t* p = &pixels->rgba[(y * pixels->width + x) * 4];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(at(199, 58), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(at(0, 62), (std::vector<int>{255, 0, 0}));
  EXPECT_FALSE(view->screenshotPNGAtScale(0));
}

TEST_F(WebViewTest, EvaluatesScriptsAsTextWithinTheirBudget) {
  load("/page2");
  EXPECT_EQ(eval("1 + 1"), "2");
  EXPECT_EQ(eval("'a' + 'b'"), "ab");
  EXPECT_EQ(eval("var kept; kept"), "");
  EXPECT_EQ(eval("throw new Error('x')"), "");
  EXPECT_EQ(eval("({})"), "[object Object]");
  EXPECT_EQ(eval("window.orientation"), "0");
  EXPECT_EQ(eval("kept = 7; window.kept"), "7");
  EXPECT_EQ(eval("innerWidth + 'x' + innerHeight + ' ' + navigator.userAgent"),
            std::string("320x480 ") + WebView::kUserAgent);

  platform::LogCapture log;
  view->setScriptBudget(0.3);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(eval("while (true) {}"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_TRUE(log.contains("ran past its budget"));
  EXPECT_EQ(eval("6 * 7"), "42");
}

TEST_F(WebViewTest, PutsEveryNavigationToTheDelegateWithItsType) {
  load("/page1");
  ASSERT_TRUE(view->tapLink("Next"));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page2") + " 0", "start", "finish"}));
  EXPECT_EQ(recorder.requests[0].valueForHTTPHeaderField("Referer"), url("/page1"));
  EXPECT_EQ(recorder.userActivations, std::vector<bool>{true});
  EXPECT_EQ(view->pageText(), "second page");

  load("/page1");
  ASSERT_TRUE(view->tapLink("Find"));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/form?q=v") + " 1", "start", "finish"}));

  load("/page1");
  ASSERT_TRUE(view->tapLink("Send"));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/post") + " 1", "start", "finish"}));
  EXPECT_EQ(eval("document.title"), "Posted");
  EXPECT_EQ(server->request("/post").method, "POST");
  EXPECT_EQ(server->request("/post").body, "k=w");

  recorder.clear();
  eval("location.href = '/page2'");
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page2") + " 5", "start", "finish"}));
  EXPECT_EQ(recorder.userActivations, std::vector<bool>{false});
}

TEST_F(WebViewTest, ARefusedNavigationNeverLoadsAndMessagesArriveInOrder) {
  load("/page2");
  recorder.refuse = [](const std::string& u) { return u.find("/page2") == std::string::npos; };
  eval(
      "location = 'gmsg://ad/one?a=1'; window.location.href = 'gmsg://ad/two';"
      "location.assign('vodov://log?text=3'); location.href = 'mailto:x@y.test';"
      "location.href = '/refused'; window.open('/refused?popup')");
  ASSERT_TRUE(waitFor([&] { return recorder.calls.size() >= 6; }));
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should gmsg://ad/one?a=1 5", "should gmsg://ad/two 5",
                                      "should vodov://log?text=3 5", "should mailto:x@y.test 5",
                                      "should " + url("/refused") + " 5",
                                      "should " + url("/refused?popup") + " 5"}));
  EXPECT_EQ(eval("location.href"), url("/page2"));
  EXPECT_EQ(eval("document.title"), "Two");
  EXPECT_FALSE(server->served("/refused"));
  EXPECT_FALSE(view->isLoading());
}

TEST_F(WebViewTest, GoesThroughHistoryAndReloads) {
  load("/page1");
  load("/page2");
  EXPECT_TRUE(view->canGoBack());
  EXPECT_FALSE(view->canGoForward());
  view->goBack();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page1") + " 2", "start", "finish"}));
  EXPECT_EQ(eval("document.title"), "One");
  EXPECT_TRUE(view->canGoForward());

  recorder.clear();
  view->goForward();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page2") + " 2", "start", "finish"}));
  EXPECT_EQ(view->request().url().absoluteString(), url("/page2"));

  recorder.clear();
  view->reload();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page2") + " 3", "start", "finish"}));

  recorder.clear();
  eval("location.reload()");
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page2") + " 3", "start", "finish"}));

  recorder.clear();
  eval("history.back()");
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }))
      << ::testing::PrintToString(recorder.calls);
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/page1") + " 2", "start", "finish"}));
}

TEST_F(WebViewTest, PutsRedirectsToTheDelegate) {
  load("/page2");
  view->loadRequest(WebRequest(*URL::parse(url("/redirect"))));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"should " + url("/redirect") + " 5", "start",
                                                      "should " + url("/page3") + " 5", "finish"}));
  EXPECT_EQ(eval("document.title"), "Three");
  EXPECT_EQ(view->request().url().absoluteString(), url("/page3"));

  load("/page2");
  recorder.refuse = [](const std::string& u) { return u.find("/page3") != std::string::npos; };
  view->loadRequest(WebRequest(*URL::parse(url("/redirect"))));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls.back(), "fail " + std::to_string(platform::kWebErrorInterrupted));
  EXPECT_EQ(eval("document.title"), "Two");

  load("/page2");
  view->loadRequest(WebRequest(*URL::parse(url("/to-app"))));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/to-app") + " 5", "start",
                                      "should itms-apps://store.test/app?id=1 5",
                                      "fail " + std::to_string(platform::kWebErrorInterrupted)}));
  EXPECT_EQ(eval("document.title"), "Two");
}

// A page that floods the view with navigations: each one reaches the delegate once, in order,
// only the last approved one loads, and the run loop keeps its timers.
TEST_F(WebViewTest, NavigationFloodsReachTheDelegateInOrderWithoutHoldingTheLoop) {
  load("/page2");
  recorder.refuse = [](const std::string& u) { return u.rfind("gmsg:", 0) == 0; };
  auto flood = [&](const std::string& body, const std::string& last, int count) {
    recorder.clear();
    const auto begun = std::chrono::steady_clock::now();
    double late = -1;
    RunLoop::main().scheduleTimer(0.5, false, [&](platform::Timer&) {
      late = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count() - 0.5;
    });
    eval("setTimeout(() => { for (let i = 0; i < " + std::to_string(count) + "; i++) {" + body +
         "} }, 0)");
    EXPECT_TRUE(waitFor(
        [&] { return recorder.ended() && view->request().url().absoluteString() == url(last); },
        15))
        << recorder.calls.size() << " calls, the last " << recorder.calls.back() << " at "
        << view->request().url().absoluteString();
    EXPECT_TRUE(waitFor([&] { return late >= 0; }, 1));
    EXPECT_LT(late, 1.0) << "a timer waited behind the flood";
    EXPECT_EQ(recorder.calls.back(), "finish");
    EXPECT_EQ(eval("location.href"), url(last));
  };

  flood("location.href = '/page3?' + i;", "/page3?29", 30);
  std::vector<std::string> expected;
  for (int i = 0; i < 30; ++i) expected.push_back(url("/page3?" + std::to_string(i)));
  EXPECT_EQ(recorder.asked(), expected);

  flood("window.open(i % 2 ? '/page1?' + i : 'gmsg://ad/m?i=' + i);", "/page1?1999", 2000);
  expected.clear();
  for (int i = 0; i < 2000; ++i) {
    expected.push_back(i % 2 ? url("/page1?" + std::to_string(i))
                             : "gmsg://ad/m?i=" + std::to_string(i));
  }
  EXPECT_EQ(recorder.asked(), expected);
}

TEST_F(WebViewTest, ARendererCrashFailsTheLoadAndTheNextUseGetsAFreshPage) {
  load("/page2");
  view->loadRequest(WebRequest(*URL::parse("chrome://crash")));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should chrome://crash 5", "start",
                                      "fail " + std::to_string(platform::kWebErrorCrashed)}));
  EXPECT_NE(recorder.lastError.localizedDescription().find("crashed"), std::string::npos);
  EXPECT_EQ(eval("1 + 2"), "3");
  load("/page3");
  EXPECT_EQ(eval("document.title"), "Three");
}

// Writes what it hears into a list that outlives it.
class Witness : public platform::WebViewDelegate {
 public:
  explicit Witness(std::vector<std::string>& heard) : heard_(heard) {}
  void webViewDidStartLoad(WebView&) override { heard_.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { heard_.push_back("finish"); }
  void webViewDidFailLoadWithError(WebView&, const platform::Error&) override {
    heard_.push_back("fail");
  }

 private:
  std::vector<std::string>& heard_;
};

TEST_F(WebViewTest, MessagesGoToTheDelegateOfTheirDeliveryAndNeverToOneThatWent) {
  std::vector<std::string> heard;
  auto gone = std::make_shared<Witness>(heard);
  view->setDelegate(gone);
  view->loadRequest(WebRequest(*URL::parse(url("/page2"))));
  gone.reset();
  ASSERT_TRUE(waitFor([&] { return !view->isLoading(); }));
  RunLoop::main().runUntil([] { return false; }, 0.1);
  EXPECT_TRUE(heard.empty());

  auto replaced = std::make_shared<Witness>(heard);
  view->setDelegate(replaced);
  view->loadRequest(WebRequest(*URL::parse(url("/page3"))));
  view->setDelegate(delegate);
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start", "finish"}));
  EXPECT_TRUE(heard.empty());
}

TEST_F(WebViewTest, StopsLoadsOutlivesABrowserThatDiesAndKeepsItsFilesAtHome) {
  load("/page2");
  view->loadRequest(WebRequest(*URL::parse(url("/stall"))));
  ASSERT_TRUE(waitFor([&] { return recorder.calls.size() >= 2; }));
  view->stopLoading();
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls.back(), "fail " + std::to_string(platform::kWebErrorCancelled));
  EXPECT_FALSE(view->isLoading());

  recorder.clear();
  WebView::setLoadTimeout(0.3);
  view->loadRequest(WebRequest(*URL::parse(url("/stall"))));
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  WebView::setLoadTimeout(WebView::kDefaultLoadTimeout);
  EXPECT_EQ(recorder.calls.back(), "fail " + std::to_string(platform::kWebErrorTimedOut));

  recorder.clear();
  view->loadRequest(WebRequest(*URL::parse(url("/stall"))));
  ASSERT_TRUE(waitFor([&] { return recorder.calls.size() >= 2; }));
  pid_t old = Browser::shared()->processId();
  ASSERT_GT(old, 0);
  ::kill(old, SIGKILL);
  ASSERT_TRUE(waitFor([&] { return recorder.ended(); }));
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"should " + url("/stall") + " 5", "start",
                                      "fail " + std::to_string(platform::kWebErrorEngineFailed)}));
  EXPECT_EQ(eval("1 + 2"), "3");
  EXPECT_NE(Browser::shared()->processId(), old);
  load("/page3");
  EXPECT_EQ(eval("document.title"), "Three");

  // Its files: one folder of the running browser in the home folder, nothing elsewhere, and
  // nothing left once it stops.
  namespace fs = std::filesystem;
  std::vector<std::string> runs;
  for (const auto& entry : fs::directory_iterator(folders->engine)) {
    runs.push_back(entry.path().filename());
  }
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].rfind("run-", 0), 0u);
  EXPECT_NE(runs[0], "run-killed");
  EXPECT_TRUE(fs::is_empty(folders->tmp));
  EXPECT_TRUE(fs::is_empty(folders->user));
  Browser::shutdown();
  EXPECT_TRUE(fs::is_empty(folders->engine));
}

// Runs where no engine is installed too.
TEST(WebViewWithoutEngineTest, EveryLoadFailsNamingThePackage) {
  RunLoop::main().reset(false);
  auto waitFor = [](const std::function<bool()>& done) {
    return RunLoop::main().runUntil(done, 10);
  };
  Browser::shutdown();
  Browser::setExecutablePath("/nonexistent/chromium");
  auto lonely = WebView::create(platform::Rect(0, 0, 10, 10));
  auto recorder = std::make_shared<Recorder>();
  Recorder& calls = *recorder;
  lonely->setDelegate(recorder);
  lonely->loadHTMLStringBaseURL("<p>x</p>", URL::parse("http://ads.test/"));
  ASSERT_TRUE(waitFor([&] { return calls.ended(); }));
  EXPECT_EQ(calls.calls,
            (std::vector<std::string>{"should http://ads.test/ 5", "start",
                                      "fail " + std::to_string(platform::kWebErrorEngineMissing)}));
  EXPECT_NE(calls.lastError.localizedDescription().find("package chromium"), std::string::npos);
  EXPECT_EQ(lonely->stringByEvaluatingJavaScriptFromString("1"), "");
  EXPECT_FALSE(lonely->canGoBack());
  Browser::setExecutablePath("");
}

}  // namespace
