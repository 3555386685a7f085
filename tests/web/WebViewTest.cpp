#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Application.h"
#include "platform/ui/Png.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "platform/web/PagePool.h"
#include "platform/web/WebView.h"
#include "tests/support/TestHTTPServer.h"

using namespace std::chrono_literals;

using platform::Browser;
using platform::RunLoop;
using platform::URL;
using platform::WebRequest;
using platform::WebView;
using platform::WebViewNavigationType;

namespace {

using Calls = std::vector<std::string>;

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

  Calls calls;
  std::vector<WebRequest> requests;
  std::vector<bool> userActivations;
  platform::Error lastError;
  std::function<bool(const std::string&)> refuse;
};

std::string failed(int code) {
  return "fail " + std::to_string(code);
}

// Loopback pages for every test of this program.
velour_test::TestHTTPServer* server = nullptr;

void servePages() {
  auto page = [](const std::string& path, const std::string& title, const std::string& body) {
    server->handle(path, [title, body](const httplib::Request& request, httplib::Response& res) {
      // A form post's page shows what was posted.
      res.set_content("<html><head><title>" + title + "</title></head><body>" + body +
                          (request.method == "POST" ? "<p>" + request.body + "</p>" : "") +
                          "</body></html>",
                      "text/html");
    });
  };
  page("/page1", "One", R"(<a id="next" href="/page2">Next</a>
      <form action="/form" method="get"><input name="q" value="v"><button>Find</button></form>
      <form action="/post" method="post"><input name="k" value="w"><button>Send</button></form>)");
  page("/page2", "Two", "<p>second page</p>");
  page("/page3", "Three", "<p>third page</p>");
  page("/form", "Found", "<p>found</p>");
  page("/post", "Posted", "");
  page("/refused", "Refused", "");
  server->redirect("/redirect", 302, "/page3");
  server->redirect("/to-app", 302, "itms-apps://store.test/app?id=1");
  server->handle("/stall", [](const httplib::Request&, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    res.set_content("late", "text/html");
  });
}

// The header `name` of the last request the server had for `path`.
std::string lastHeader(const std::string& path, const std::string& name) {
  auto seen = server->requests();
  auto it = std::find_if(seen.rbegin(), seen.rend(), [&](auto& r) { return r.path == path; });
  return it == seen.rend() ? "(none)" : it->headers.value(name).value_or("");
}

namespace fs = std::filesystem;

// The suite's device home folder, and the folders that the engine must leave alone: the
// system's temporary folder and the user's own home (this program's environment names them).
const fs::path kFolders = fs::temp_directory_path() / ("velour-web-" + std::to_string(::getpid()));
const fs::path kEngineFolder = kFolders / "home" / "Library" / "WebEngine";
std::string savedHome;

// Processes left of an engine whose process group was `group`: members of the group, zombies
// of ours, and anything still naming the engine's folder (its crash handlers leave the group).
int leftOfEngine(pid_t group) {
  int left = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream statFile(entry.path() / "stat");
    std::string stat;
    if (!std::getline(statFile, stat) || stat.rfind(')') == std::string::npos) continue;
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long parent = 0;
    long processGroup = 0;
    fields >> state >> parent >> processGroup;
    std::ifstream commandFile(entry.path() / "cmdline");
    std::string command((std::istreambuf_iterator<char>(commandFile)), {});
    if (processGroup == group || (parent == ::getpid() && state == "Z") ||
        command.find(kEngineFolder.string()) != std::string::npos)
      ++left;
  }
  return left;
}

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new velour_test::TestHTTPServer();
    servePages();
    Browser::shutdown();
    for (const char* folder : {"home", "tmp", "user"}) fs::create_directories(kFolders / folder);
    // What a killed run left.
    fs::create_directories(kEngineFolder / "run-killed" / "profile");
    auto& files = platform::FileManager::defaultManager();
    savedHome = files.homeDirectory();
    files.setHomeDirectory((kFolders / "home").string());
    ::setenv("TMPDIR", (kFolders / "tmp").c_str(), 1);
    ::setenv("HOME", (kFolders / "user").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CACHE_HOME");
  }
  static void TearDownTestSuite() {
    // The browser's kept-alive connections would hold the server's stop for seconds.
    Browser::shutdown();
    delete server;
    server = nullptr;
    platform::FileManager::defaultManager().setHomeDirectory(savedHome);
    fs::remove_all(kFolders);
  }

  void SetUp() override {
    if (::access(Browser::executablePath().c_str(), X_OK) != 0) {
      GTEST_SKIP() << "no web engine at " << Browser::executablePath()
                   << ": install the Debian package chromium (scripts/setup)";
    }
    platform::Harness::resetRunLoop(false);
    view = WebView::create(platform::Rect(0, 0, 320, 480));
    view->setDelegate(delegate);
  }

  bool waitFor(const std::function<bool()>& done, platform::Duration timeout = 10s) {
    return RunLoop::main().runUntil(done, timeout);
  }
  // Forgets the calls, runs `action` and gives the calls of the load it started, once ended.
  Calls loadBy(const std::function<void()>& action) {
    recorder.clear();
    action();
    EXPECT_TRUE(waitFor([&] { return recorder.ended(); }))
        << ::testing::PrintToString(recorder.calls);
    return recorder.calls;
  }
  Calls open(const std::string& address) {
    return loadBy([&] { view->loadRequest(WebRequest(*URL::parse(address))); });
  }
  Calls script(const std::string& text) {
    return loadBy([&] { eval(text); });
  }
  Calls tap(const std::string& label) {
    return loadBy([&] { EXPECT_TRUE(view->tapLink(label)) << label; });
  }
  // The calls of a load that nothing stopped.
  static Calls loaded(const std::string& address, int type) {
    return {"should " + address + " " + std::to_string(type), "start", "finish"};
  }
  // Loads `path` to the end; then forgets the calls.
  void load(const std::string& path) {
    ASSERT_EQ(open(url(path)), loaded(url(path), 5));
    recorder.clear();
  }
  std::string eval(const std::string& text) {
    return view->stringByEvaluatingJavaScriptFromString(text);
  }
  std::string url(const std::string& path) { return server->url(path); }

  std::shared_ptr<WebView> view;
  std::shared_ptr<Recorder> delegate = std::make_shared<Recorder>();
  Recorder& recorder = *delegate;
};

TEST_F(WebViewTest, LoadsRequestsAndTextWithTheDelegateCallsInOrder) {
  WebRequest request(*URL::parse(url("/page1")));
  request.setValueForHTTPHeaderField("http://referrer.test/ad", "Referer");
  EXPECT_EQ(loadBy([&] {
              view->loadRequest(request);
              EXPECT_TRUE(view->isLoading());
            }),
            loaded(url("/page1"), 5));
  EXPECT_FALSE(view->isLoading());
  EXPECT_EQ(view->request().url().absoluteString(), url("/page1"));
  EXPECT_EQ(eval("document.title"), "One");
  EXPECT_EQ(recorder.requests[0].valueForHTTPHeaderField("User-Agent"), WebView::kUserAgent);
  EXPECT_EQ(lastHeader("/page1", "Referer"), "http://referrer.test/ad");
  EXPECT_EQ(lastHeader("/page1", "User-Agent"), WebView::kUserAgent);

  auto html = [&](const std::string& text, const std::optional<URL>& base) {
    return loadBy([&] { view->loadHTMLStringBaseURL(text, base); });
  };
  EXPECT_EQ(html("<title>Text</title><p>hello</p>", URL::parse("http://ads.test:81/")),
            loaded("http://ads.test:81/", 5));
  EXPECT_EQ(eval("location.origin + ' ' + document.title"), "http://ads.test:81 Text");
  EXPECT_EQ(view->pageText(), "hello");

  // A base URL on the default port, written without its root path: the page keeps the http
  // origin asked for, and a reload gets the same text back.
  html("<title>Root</title>", URL::parse("http://ads.example.com"));
  EXPECT_EQ(loadBy([&] { view->reload(); }).back(), "finish");
  EXPECT_EQ(eval("location.href + ' ' + document.title"), "http://ads.example.com/ Root");
  EXPECT_EQ(view->request().url().absoluteString(), "http://ads.example.com/");

  // A banner loads a new text at every refresh: only the newest are kept, and a reload still
  // serves the last one.
  for (std::size_t i = 0; i <= WebView::kRememberedPageTexts; ++i) {
    const std::string n = std::to_string(i);
    html("<p>ad " + n + "</p>", URL::parse("http://ads.test:81/ad?n=" + n));
  }
  EXPECT_EQ(view->rememberedPageTextCount(), WebView::kRememberedPageTexts);
  loadBy([&] { view->reload(); });
  EXPECT_EQ(view->pageText(), "ad " + std::to_string(WebView::kRememberedPageTexts));

  // Without a base URL the text is a blank page to the view, and what its script asks for is
  // put to the delegate as from any page.
  EXPECT_EQ(html("<p>blank</p>", std::nullopt), loaded("about:blank", 5));
  EXPECT_EQ(eval("document.body.innerText"), "blank");
  EXPECT_EQ(view->request().url().absoluteString(), "about:blank");
  recorder.clear();
  recorder.refuse = [](const std::string&) { return true; };
  eval("location.href = 'gmsg://ad/close'");
  EXPECT_TRUE(waitFor([&] { return recorder.asked() == Calls{"gmsg://ad/close"}; }));
  recorder.refuse = nullptr;

  EXPECT_EQ(open("http://127.0.0.1:1/nothing"),
            (Calls{"should http://127.0.0.1:1/nothing 5", "start",
                   failed(platform::kWebErrorLoadFailed)}));

  // Without a network no page loads, in a view made meanwhile or in one already there; with it
  // back, they load again.
  const std::size_t served = server->requestCount("/page3");
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::None);
  auto offline = WebView::create(platform::Rect(0, 0, 320, 480));
  auto offlineRecorder = std::make_shared<Recorder>();
  offline->setDelegate(offlineRecorder);
  offline->loadRequest(WebRequest(*URL::parse(url("/page3"))));
  EXPECT_TRUE(waitFor([&] { return offlineRecorder->ended(); }));
  EXPECT_EQ(offlineRecorder->calls.back(), failed(platform::kWebErrorLoadFailed));
  EXPECT_EQ(open(url("/page3")).back(), failed(platform::kWebErrorLoadFailed));
  EXPECT_EQ(server->requestCount("/page3"), served);
  platform::DeviceProfile::current().setReachability(platform::NetworkReachability::WiFi);
  offlineRecorder->clear();
  offline->loadRequest(WebRequest(*URL::parse(url("/page2"))));
  EXPECT_TRUE(waitFor([&] { return offlineRecorder->ended(); }));
  EXPECT_EQ(offlineRecorder->calls, loaded(url("/page2"), 5));
}

TEST_F(WebViewTest, ShootsThePageAtTheViewsSizeInPointsAndTheScaleAsked) {
  view->setFrame(platform::Rect(0, 0, 100, 60));
  loadBy([&] {
    view->loadHTMLStringBaseURL(
        "<body style='margin:0;background:#f00'><div style='height:30px;background:#00f'>",
        std::nullopt);
  });
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

// The page is laid out at the view's size the moment its frame changes, by its own hand or by
// its superview's, and is visible to the engine, at full rate, only while the view shows.
TEST_F(WebViewTest, FollowsTheFrameAtOnceAndIsVisibleOnlyWhileItShows) {
  loadBy([&] {
    view->loadHTMLStringBaseURL(
        "<style>body { margin: 0 } div { height: 100vh }</style><div></div><script>"
        "var frames = 0, heard = [], ticks = 0, start = 0; setInterval(() => ticks++, 10);"
        "(function count() { frames++; requestAnimationFrame(count); })();"
        "document.onvisibilitychange = () => heard.push(document.visibilityState);</script>",
        std::nullopt);
  });
  const std::string layout =
      "innerWidth + 'x' + innerHeight + ' ' + document.querySelector('div').offsetHeight + ' ' +"
      "matchMedia('(max-width: 200px)').matches";
  view->setFrame(platform::Rect(0, 0, 480, 320));
  EXPECT_EQ(eval(layout), "480x320 320 false");
  view->setFrame(platform::Rect(0, 0, 150, 50));
  EXPECT_EQ(eval(layout), "150x50 50 true");
  // Off the screen the page is hidden and draws no frame (the count's first call is its own).
  EXPECT_EQ(eval("document.visibilityState + ' ' + frames"), "hidden 1");

  auto window = platform::Window::create();
  window->makeKeyAndVisible();
  auto screen = platform::View::create(platform::Rect(0, 20, 320, 460));
  window->addSubview(screen);
  view->setFrame(screen->bounds());
  view->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                            platform::kAutoresizingFlexibleHeight);
  screen->addSubview(view);
  screen->setFrame(platform::Rect(0, 20, 480, 300));  // turned
  EXPECT_EQ(eval(layout), "480x300 300 false");
  auto state = [&] { return eval("document.visibilityState"); };
  ASSERT_TRUE(waitFor([&] { return state() == "visible" && eval("frames > 10") == "true"; }));
  eval("ticks = 0, start = performance.now()");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(eval("ticks / (performance.now() - start) * 1000 > 20"), "true");  // 100 a second

  // Covered by a view drawn over it, or with the application in the background, it is hidden
  // and its frames stand still.
  auto cover = platform::View::create(window->bounds());
  cover->setBackgroundColor("white");
  window->addSubview(cover);
  ASSERT_TRUE(waitFor([&] { return state() == "hidden"; }));
  const std::string frames = eval("frames");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(eval("frames"), frames);
  cover->removeFromSuperview();
  ASSERT_TRUE(waitFor([&] { return state() == "visible"; }));
  ASSERT_TRUE(platform::Application::shared()->enterBackground());
  ASSERT_TRUE(waitFor([&] { return state() == "hidden"; }));
  ASSERT_TRUE(platform::Application::shared()->enterForeground());
  ASSERT_TRUE(waitFor([&] { return state() == "visible"; }));
  EXPECT_EQ(eval("heard.join()"), "visible,hidden,visible,hidden,visible");
  view->removeFromSuperview();
}

// A page that grows without end is unloaded as a runaway, the limit named; its next load
// opens a fresh page. The engine lays out no viewport past its bound, however large the frame.
TEST_F(WebViewTest, APageGrowingPastItsMemoryIsUnloadedAndTheViewportIsBounded) {
  platform::PageResourceLimits limits;
  limits.memoryBytes = 64 << 20;
  limits.sampleInterval = 100ms;
  std::vector<std::string> unloaded;
  view->limitResources(limits, [&](const std::string& limit) { unloaded.push_back(limit); });
  view->setFrame(platform::Rect(0, 0, 1e7, 1e308));
  loadBy([&] {
    view->loadHTMLStringBaseURL(
        "<script>var kept = [];"
        "setInterval(() => kept.push(new Float64Array(1 << 20)), 20);"
        "</script>",
        std::nullopt);
  });
  EXPECT_EQ(eval("innerWidth + 'x' + innerHeight"), "2048x2048");
  ASSERT_TRUE(waitFor([&] { return !unloaded.empty(); }));
  EXPECT_EQ(unloaded, std::vector<std::string>{"memory 67108864 bytes"});
  EXPECT_EQ(eval("typeof kept"), "undefined");
}

TEST_F(WebViewTest, RunsTheOwnersScriptFirstAnswersItsFileLocallyAndPassesTheConsoleOn) {
  Calls console;
  view->setConsoleHandler([&](const std::string& level, const std::string& text) {
    console.push_back(level + ": " + text.substr(0, text.find('\n')));
  });
  auto logged = [&](const std::string& line) {
    return waitFor([&] { return std::count(console.begin(), console.end(), line) == 1; });
  };
  view->setDocumentStartScript(
      "window.bridge = {afterPageScript: typeof window.__velourPass === 'function'};");
  view->answerRequestsForFileName("mraid.js", "text/javascript",
                                  "window.answers = (window.answers || 0) + 1;");
  std::set<std::string> answered;
  view->setLocalAnswerHandler([&](const std::string& url) { answered.insert(url); });
  auto serve = [](const std::string& path, const std::string& html) {
    server->handle(path, [html](const httplib::Request&, httplib::Response& response) {
      response.set_content(html, "text/html");
    });
  };
  serve("/ad", R"(<html><head>
      <script src="x/mraid.js?v=1"></script>
      <script src="http://cdn.mraid.invalid/lib/mraid.js"></script>
      <script>console.log('bridge', bridge.afterPageScript, answers);
              console.warn('two', 2, null);</script>
      </head><body><iframe src="/frame"></iframe><script>throw new Error('boom')</script>)");
  serve("/frame", "<script>console.log('frame', typeof bridge)</script>");
  serve("/x/mraid.js", "window.answers = 'from the network';");
  load("/ad");
  EXPECT_TRUE(logged("log: bridge true 2"));
  EXPECT_TRUE(logged("warning: two 2 null"));
  EXPECT_TRUE(logged("error: Uncaught Error: boom"));
  EXPECT_TRUE(logged("log: frame undefined"));
  EXPECT_EQ(server->requestCount("/x/mraid.js"), 0u);
  EXPECT_EQ(answered, (std::set<std::string>{url("/x/mraid.js?v=1"),
                                             "http://cdn.mraid.invalid/lib/mraid.js"}));

  // Kept across loads and in the fresh page after a close; gone once taken back.
  const std::string page = "<script>console.log('loaded', typeof bridge)</script>";
  loadBy([&] { view->loadHTMLStringBaseURL(page, URL::parse(url("/"))); });
  view->closePage();
  loadBy([&] { view->loadHTMLStringBaseURL(page, URL::parse(url("/"))); });
  EXPECT_TRUE(waitFor(
      [&] { return std::count(console.begin(), console.end(), "log: loaded object") == 2; }));
  view->setDocumentStartScript("");
  loadBy([&] { view->loadHTMLStringBaseURL(page, URL::parse(url("/"))); });
  EXPECT_TRUE(logged("log: loaded undefined"));
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
  view->setScriptBudget(0.3s);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(eval("while (true) {}"), "");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_TRUE(log.contains("ran past its budget"));
  EXPECT_EQ(eval("6 * 7"), "42");

  // A dialog is answered at once; its text cannot break the log's line or steer a terminal.
  eval("setTimeout(function() { alert('one\\ntwo\\u001b[2J\\u009b'); }, 0)");
  EXPECT_TRUE(waitFor([&] { return log.contains("web: page dialog: one\\ntwo\\x1b[2J\\u009b"); }));
}

TEST_F(WebViewTest, PutsEveryNavigationToTheDelegateWithItsType) {
  load("/page1");
  EXPECT_EQ(tap("Next"), loaded(url("/page2"), 0));
  EXPECT_EQ(recorder.requests[0].valueForHTTPHeaderField("Referer"), url("/page1"));
  EXPECT_EQ(recorder.userActivations, std::vector<bool>{true});
  EXPECT_EQ(view->pageText(), "second page");

  load("/page1");
  EXPECT_EQ(tap("Find"), loaded(url("/form?q=v"), 1));
  load("/page1");
  EXPECT_EQ(tap("Send"), loaded(url("/post"), 1));
  EXPECT_EQ(view->pageText(), "k=w");  // shown only for a post

  EXPECT_EQ(script("location.href = '/page2'"), loaded(url("/page2"), 5));
  EXPECT_EQ(recorder.userActivations, std::vector<bool>{false});

  // A finger at a point of a link that has no name: a touch there, and the click it makes,
  // with the user's activation; a page's own click() on the same link has none.
  const std::string page = "<a href='/page2' style='display:block;height:100px'>Go</a>";
  auto loadPage = [&] { loadBy([&] { view->loadHTMLStringBaseURL(page, URL::parse(url("/"))); }); };
  loadPage();
  EXPECT_FALSE(view->tapAt(platform::Point{160, 480}));
  EXPECT_EQ(loadBy([&] {
              EXPECT_TRUE(view->tapAt(platform::Point{160, 50}));
            }),
            loaded(url("/page2"), 0));
  EXPECT_EQ(recorder.userActivations, std::vector<bool>{true});
  loadPage();
  EXPECT_EQ(script("document.querySelector('a').click()"), loaded(url("/page2"), 0));
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
  RunLoop::main().runUntil([] { return false; }, 0.3s);
  EXPECT_EQ(recorder.calls,
            (Calls{"should gmsg://ad/one?a=1 5", "should gmsg://ad/two 5",
                   "should vodov://log?text=3 5", "should mailto:x@y.test 5",
                   "should " + url("/refused") + " 5", "should " + url("/refused?popup") + " 5"}));
  EXPECT_EQ(eval("location.href"), url("/page2"));
  EXPECT_EQ(eval("document.title"), "Two");
  EXPECT_EQ(server->requestCount("/refused"), 0u);
  EXPECT_FALSE(view->isLoading());
}

TEST_F(WebViewTest, GoesThroughHistoryAndReloads) {
  load("/page1");
  load("/page2");
  EXPECT_TRUE(view->canGoBack());
  EXPECT_FALSE(view->canGoForward());
  EXPECT_EQ(loadBy([&] { view->goBack(); }), loaded(url("/page1"), 2));
  EXPECT_EQ(eval("document.title"), "One");
  EXPECT_TRUE(view->canGoForward());
  EXPECT_EQ(loadBy([&] { view->goForward(); }), loaded(url("/page2"), 2));
  EXPECT_EQ(view->request().url().absoluteString(), url("/page2"));
  EXPECT_EQ(loadBy([&] { view->reload(); }), loaded(url("/page2"), 3));
  EXPECT_EQ(script("location.reload()"), loaded(url("/page2"), 3));
  EXPECT_EQ(script("history.back()"), loaded(url("/page1"), 2));
}

TEST_F(WebViewTest, PutsRedirectsToTheDelegate) {
  load("/page2");
  EXPECT_EQ(open(url("/redirect")), (Calls{"should " + url("/redirect") + " 5", "start",
                                           "should " + url("/page3") + " 5", "finish"}));
  EXPECT_EQ(eval("document.title"), "Three");
  EXPECT_EQ(view->request().url().absoluteString(), url("/page3"));

  load("/page2");
  recorder.refuse = [](const std::string& u) { return u.find("/page3") != std::string::npos; };
  EXPECT_EQ(open(url("/redirect")).back(), failed(platform::kWebErrorInterrupted));
  EXPECT_EQ(eval("document.title"), "Two");

  load("/page2");
  EXPECT_EQ(open(url("/to-app")), (Calls{"should " + url("/to-app") + " 5", "start",
                                         "should itms-apps://store.test/app?id=1 5",
                                         failed(platform::kWebErrorInterrupted)}));
  EXPECT_EQ(eval("document.title"), "Two");
  // The application loads for its user: its redirects carry the user's activation, unlike the
  // redirects of the page's own navigation.
  EXPECT_EQ(recorder.userActivations, (std::vector<bool>{false, true}));
  EXPECT_EQ(script("location.href = '/to-app'").back(), failed(platform::kWebErrorInterrupted));
  EXPECT_EQ(recorder.userActivations, (std::vector<bool>{false, false}));
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
    auto lateTimer = RunLoop::main().scheduleTimer(0.5s, false, [&](platform::Timer&) {
      late = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count() - 0.5;
    });
    eval("setTimeout(() => { for (let i = 0; i < " + std::to_string(count) + "; i++) {" + body +
         "} }, 0)");
    EXPECT_TRUE(waitFor(
        [&] { return recorder.ended() && view->request().url().absoluteString() == url(last); },
        15s))
        << recorder.calls.size() << " calls, the last " << recorder.calls.back() << " at "
        << view->request().url().absoluteString();
    EXPECT_TRUE(waitFor([&] { return late >= 0; }, 1s));
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

// Writes what it hears into a list that outlives it.
class Witness : public platform::WebViewDelegate {
 public:
  explicit Witness(Calls& heard) : heard_(heard) {}
  void webViewDidStartLoad(WebView&) override { heard_.push_back("start"); }
  void webViewDidFinishLoad(WebView&) override { heard_.push_back("finish"); }
  void webViewDidFailLoadWithError(WebView&, const platform::Error&) override {
    heard_.push_back("fail");
  }

 private:
  Calls& heard_;
};

TEST_F(WebViewTest, MessagesGoToTheDelegateOfTheirDeliveryAndNeverToOneThatWent) {
  Calls heard;
  auto gone = std::make_shared<Witness>(heard);
  view->setDelegate(gone);
  view->loadRequest(WebRequest(*URL::parse(url("/page2"))));
  gone.reset();
  ASSERT_TRUE(waitFor([&] { return !view->isLoading(); }));
  RunLoop::main().runUntil([] { return false; }, 0.1s);
  EXPECT_TRUE(heard.empty());

  auto replaced = std::make_shared<Witness>(heard);
  EXPECT_EQ(loadBy([&] {
              view->setDelegate(replaced);
              view->loadRequest(WebRequest(*URL::parse(url("/page3"))));
              view->setDelegate(delegate);
            }),
            (Calls{"start", "finish"}));
  EXPECT_TRUE(heard.empty());

  // A message read during a script's call waits for a later pass; a reset of the loop that drops
  // that pass must not keep it, and every later one, from the delegate.
  recorder.clear();
  eval("location = 'gmsg://ad/one'");
  platform::Harness::resetRunLoop(false);
  eval("location = 'gmsg://ad/two'");
  ASSERT_TRUE(waitFor([&] { return recorder.calls.size() >= 2; }))
      << ::testing::PrintToString(recorder.calls);
}

TEST_F(WebViewTest, ThePoolKeepsSparesWhilePagesAreTakenAndClosesThemIdleOrShortOfMemory) {
  // On the manual clock, from a fresh engine, so that only the test's advance counts as idle.
  Browser::shutdown();
  platform::Harness::resetRunLoop(true);
  view = WebView::create(platform::Rect(0, 0, 320, 480));
  view->setDelegate(delegate);
  load("/page1");
  platform::PagePool& pool = Browser::shared()->pool();
  ASSERT_TRUE(waitFor([&] { return pool.spareCount() == 1; }));
  // Two views in quick succession want two spares, kept until the pool has been idle long enough.
  auto second = WebView::create(platform::Rect(0, 0, 320, 480));
  second->loadHTMLStringBaseURL("<p>two</p>", std::nullopt);
  ASSERT_TRUE(waitFor([&] { return pool.spareCount() == platform::PagePool::kMaxSpares; }));
  platform::Harness::advance(platform::PagePool::kIdleRelease - platform::seconds(1));
  EXPECT_EQ(pool.spareCount(), platform::PagePool::kMaxSpares);
  platform::Harness::advance(platform::seconds(1));
  EXPECT_TRUE(waitFor([&] { return pool.spareCount() == 0; }));

  // Taken again, it refills; a memory warning closes the spares at once.
  auto third = WebView::create(platform::Rect(0, 0, 320, 480));
  third->loadHTMLStringBaseURL("<p>three</p>", std::nullopt);
  ASSERT_TRUE(waitFor([&] { return pool.spareCount() >= 1; }));
  platform::NotificationCenter::defaultCenter().postNotification(
      platform::kApplicationDidReceiveMemoryWarningNotification, nullptr);
  EXPECT_EQ(pool.spareCount(), 0u);
  Browser::shutdown();
}

TEST_F(WebViewTest, StopsLoadsOutlivesACrashOrABrowserThatDiesAndKeepsItsFilesAtHome) {
  load("/page2");
  EXPECT_EQ(open("chrome://crash"),
            (Calls{"should chrome://crash 5", "start", failed(platform::kWebErrorCrashed)}));
  EXPECT_NE(recorder.lastError.localizedDescription().find("crashed"), std::string::npos);
  EXPECT_EQ(eval("1 + 2"), "3");

  auto stalled = [&](const std::function<void()>& then) {
    return loadBy([&] {
      view->loadRequest(WebRequest(*URL::parse(url("/stall"))));
      ASSERT_TRUE(waitFor([&] { return recorder.calls.size() >= 2; }));
      then();
    });
  };
  // Stopped while the engine's news of its request waits unread: that request is not a new load.
  EXPECT_EQ(stalled([&] {
              std::this_thread::sleep_for(500ms);
              view->stopLoading();
            }).back(),
            failed(platform::kWebErrorCancelled));
  EXPECT_FALSE(waitFor([&] { return recorder.calls.size() > 3; }, 1s)) << recorder.calls.back();
  EXPECT_FALSE(view->isLoading());

  WebView::setLoadTimeout(0.3s);
  EXPECT_EQ(open(url("/stall")).back(), failed(platform::kWebErrorTimedOut));
  WebView::setLoadTimeout(WebView::kDefaultLoadTimeout);

  pid_t old = 0;
  EXPECT_EQ(
      stalled([&] {
        old = Browser::shared()->processId();
        ASSERT_GT(old, 0);
        ::kill(old, SIGKILL);
      }),
      (Calls{"should " + url("/stall") + " 5", "start", failed(platform::kWebErrorEngineFailed)}));
  EXPECT_EQ(leftOfEngine(old), 0);
  EXPECT_EQ(eval("1 + 2"), "3");
  EXPECT_NE(Browser::shared()->processId(), old);
  // Stopped and used again at once: the old engine's end notice, which comes on a later pass,
  // leaves the new page alone.
  Browser::shutdown();
  load("/page3");
  EXPECT_EQ(eval("document.title"), "Three");

  // Its files: one folder of the running browser in the home folder, nothing elsewhere, and
  // nothing left once it stops.
  std::vector<std::string> runs;
  for (const auto& entry : fs::directory_iterator(kEngineFolder)) {
    runs.push_back(entry.path().filename());
  }
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].rfind("run-", 0), 0u);
  EXPECT_NE(runs[0], "run-killed");
  EXPECT_TRUE(fs::is_empty(kFolders / "tmp"));
  EXPECT_TRUE(fs::is_empty(kFolders / "user"));
  Browser::shutdown();
  EXPECT_TRUE(fs::is_empty(kEngineFolder));
}

// Runs where no engine is installed too.
TEST(WebViewWithoutEngineTest, EveryLoadFailsNamingThePackage) {
  platform::Harness::resetRunLoop(false);
  Browser::shutdown();
  Browser::setExecutablePath("/nonexistent/chromium");
  auto lonely = WebView::create(platform::Rect(0, 0, 10, 10));
  auto recorder = std::make_shared<Recorder>();
  lonely->setDelegate(recorder);
  lonely->loadHTMLStringBaseURL("<p>x</p>", URL::parse("http://ads.test/"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return recorder->ended(); }, 10s));
  EXPECT_EQ(recorder->calls, (Calls{"should http://ads.test/ 5", "start",
                                    failed(platform::kWebErrorEngineMissing)}));
  EXPECT_NE(recorder->lastError.localizedDescription().find("package chromium"), std::string::npos);
  EXPECT_EQ(lonely->stringByEvaluatingJavaScriptFromString("1"), "");
  EXPECT_FALSE(lonely->canGoBack());
  Browser::setExecutablePath("");
}

}  // namespace
