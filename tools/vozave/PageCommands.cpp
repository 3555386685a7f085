#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVNotificationCenter.h"
#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Geometry.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

// Names, keys and mail fields come from the page: escaped, they cannot steer the terminal.
using platform::text::singleLine;

// How the page's load ended, as the delegate saw it.
struct LoadEnd {
  bool ended = false;
  bool failed = false;
};

void printRequest(const platform::WebRequest& request, platform::WebViewNavigationType type) {
  std::cout << "webView:shouldStartLoadWithRequest: " << request.httpMethod() << " "
            << request.url().absoluteString() << " navigationType: " << type;
}

void printFailure(const platform::Error& error, LoadEnd& end) {
  std::cout << "webView:didFailLoadWithError: " << error.domain << " " << error.code << " "
            << error.localizedDescription() << "\n";
  end.ended = end.failed = true;
}

// Prints each delegate call with its arguments; lets web pages load and refuses the rest
// (messages, mail and application links), as the ad client's delegates do.
class PrintingDelegate : public platform::WebViewDelegate {
 public:
  explicit PrintingDelegate(LoadEnd& end) : end_(end) {}

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView&, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override {
    printRequest(request, type);
    bool load = request.url().isHTTPOrHTTPS() || request.url().scheme() == "about";
    std::cout << (load ? " => load\n" : " => refuse\n");
    return load;
  }
  void webViewDidStartLoad(platform::WebView&) override { std::cout << "webViewDidStartLoad:\n"; }
  void webViewDidFinishLoad(platform::WebView&) override {
    std::cout << "webViewDidFinishLoad:\n";
    end_.ended = true;
  }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error& error) override {
    printFailure(error, end_);
  }

 private:
  LoadEnd& end_;
};

std::string describe(const std::optional<platform::Dictionary>& dictionary) {
  if (!dictionary) return "(none)";
  std::string text = "{";
  for (const auto& [key, value] : *dictionary) {
    text +=
        (text.size() > 1 ? ", " : "") + singleLine(key) + ": " + singleLine(value.stringValue());
  }
  return text + "}";
}

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + singleLine(part);
  return text;
}

// Says what the ad's opener would show; leaving the application is the real one's.
class PrintingOpener : public ZUVOpener {
 public:
  void openBrowserToURLSupportedOrientations(const platform::URL& url,
                                             std::int32_t orientations) override {
    std::cout << "  open in-app browser: " << url.absoluteString()
              << " orientations: " << orientations
              << " Referer: " << (referringURL() ? referringURL()->absoluteString() : "(none)")
              << "\n";
  }
  void openWebAppSupportedOrientations(const platform::URL& url,
                                       std::int32_t orientations) override {
    std::cout << "  open web application: " << url.absoluteString()
              << " orientations: " << orientations << "\n";
  }
  void openWebAppWithHTMLSupportedOrientations(const std::string& html,
                                               std::int32_t orientations) override {
    std::cout << "  open web application with HTML (" << html.size()
              << " bytes) base URL: (none) orientations: " << orientations << "\n";
  }
  void presentMailComposer(const ZUVMailFields& mail) override {
    std::cout << "  mail composer: to: " << join(mail.toRecipients)
              << " cc: " << join(mail.ccRecipients) << " bcc: " << join(mail.bccRecipients)
              << " subject: " << singleLine(mail.subject.value_or("(none)"))
              << " body: " << singleLine(mail.body.value_or("(none)")) << " (plain text)\n";
  }
};

// Prints what the application's delegates would hear.
class PrintingReporter : public ZUVAdEventReporting {
 public:
  void willPresentScreen() override { std::cout << "  willPresentScreen\n"; }
  void willDismissScreen() override { std::cout << "  willDismissScreen\n"; }
  void didDismissScreen() override { std::cout << "  didDismissScreen\n"; }
  void willLeaveApplication() override { std::cout << "  willLeaveApplication\n"; }
};

// Stands for a full-screen ad controller, so that "close" shows what it does.
class PrintingScreen : public platform::ViewController, public ZUVScreenRelinquishing {
 public:
  void relinquishScreen() override {
    std::cout << "  relinquishScreen: the ad gives the screen back\n";
  }
};

// The ad client's own delegate on the page, printing every action it takes: the messages
// and their parameters, trackings, notifications, what the opener would open, log lines.
class AdPrintingDelegate : public ZUVWebViewDelegate {
 public:
  explicit AdPrintingDelegate(LoadEnd& end)
      : ZUVWebViewDelegate(std::make_unique<PrintingOpener>()), end_(end) {
    setViewController(screen_);
    opener().setDelegateManager(std::make_shared<PrintingReporter>());
    actionObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        ZUVWebViewDelegateDidReceiveWebAction, nullptr, [](const platform::Notification& n) {
          std::cout << "  posted " << singleLine(n.name) << " " << describe(n.userInfo) << "\n";
        });
    adMessageObserver_ = ZUVNotificationCenter::defaultCenter().addObserver(
        "", nullptr, [](const platform::Notification& n) {
          std::cout << "posted on the ad notification centre: \"" << singleLine(n.name) << "\" "
                    << describe(n.userInfo) << "\n";
        });
    previousSink_ = platform::setLogSink(
        [](const std::string& line) { std::cout << "  log: " << line << "\n"; });
  }
  ~AdPrintingDelegate() override { platform::setLogSink(previousSink_); }

  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView& webView, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override {
    printRequest(request, type);
    std::cout << "\n";
    if (auto message = ZUVNotification::notificationFromURL(request.url())) {
      std::cout << "  message \"" << singleLine(message->name()) << "\" "
                << describe(message->parameters()) << "\n";
      if (message->name() == "touch") printTouch(message->parameters());
    }
    bool load =
        ZUVWebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(webView, request, type);
    std::cout << (load ? "  => load\n" : "  => refuse\n");
    return load;
  }
  void webViewDidStartLoad(platform::WebView&) override { std::cout << "webViewDidStartLoad:\n"; }
  void webViewDidFinishLoad(platform::WebView& webView) override {
    std::cout << "webViewDidFinishLoad:\n  orientation to the page: "
              << platform::describeOrientation(
                     platform::Application::shared()->statusBarOrientation())
              << "\n";
    ZUVWebViewDelegate::webViewDidFinishLoad(webView);
    end_.ended = true;
  }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error& error) override {
    printFailure(error, end_);
  }

 protected:
  static void printTouch(const std::optional<platform::Dictionary>& parameters) {
    const platform::Dictionary touch = parameters.value_or(platform::Dictionary());
    std::cout << "  touch signals: x " << intForKeyFromDictionary("tx", touch) << " y "
              << intForKeyFromDictionary("ty", touch) << " duration "
              << intForKeyFromDictionary("td", touch) << "\n";
  }
  void trackURL(const std::optional<platform::URL>& url) override {
    std::cout << "  track: " << (url ? url->absoluteString() : "nothing (no usable URL)") << "\n";
    ZUVWebViewDelegate::trackURL(url);
  }

 private:
  LoadEnd& end_;
  std::shared_ptr<PrintingScreen> screen_ = std::make_shared<PrintingScreen>();
  platform::LogSink previousSink_;
  platform::Registration actionObserver_;
  platform::Registration adMessageObserver_;
};

constexpr platform::Duration kAdSettle = platform::milliseconds(500);
// Beyond the load time-out, for the failure to reach the delegate.
constexpr platform::Duration kLoadAllowance = platform::seconds(5);
constexpr platform::Duration kScriptSettle = platform::milliseconds(300);

struct PageOptions {
  std::optional<std::string> url, htmlFile, base, screenshot;
  std::vector<std::string> scripts;
  std::optional<platform::Point> tap;
  bool ad = false;
};

platform::Result<PageOptions> readOptions(const Arguments& args) {
  PageOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takesValue = arg == "--html" || arg == "--base" || arg == "--eval" ||
                      arg == "--screenshot" || arg == "--tap";
    if (takesValue && i + 1 >= args.size()) {
      return usageProblem(arg + " needs a value");
    }
    if (arg == "--ad") {
      options.ad = true;
    } else if (arg == "--html") {
      options.htmlFile = args[++i];
    } else if (arg == "--base") {
      options.base = args[++i];
    } else if (arg == "--eval") {
      options.scripts.push_back(args[++i]);
    } else if (arg == "--screenshot") {
      options.screenshot = args[++i];
    } else if (arg == "--tap") {
      options.tap = platform::pointFromText(args[++i]);
      if (!options.tap) {
        return usageProblem("--tap needs a point X,Y, not " + args[i]);
      }
    } else if (arg.rfind("--", 0) != 0 && !options.url) {
      options.url = arg;
    } else {
      return usageProblem("unexpected " + arg);
    }
  }
  if (options.url.has_value() == options.htmlFile.has_value()) {
    return usageProblem("page takes a URL or --html FILE");
  }
  return options;
}

bool startLoad(platform::WebView& view, const PageOptions& options) {
  if (options.url) {
    auto url = platform::URL::parse(*options.url);
    if (!url) {
      std::cerr << "vozave: not a URL: " << *options.url << "\n";
      return false;
    }
    // Both delegates refuse any other page, which would then never end its load.
    if (!url->isHTTPOrHTTPS() && url->scheme() != "about") {
      std::cerr << "vozave: page loads http, https and about URLs, not "
                << singleLine(url->scheme()) << ":\n";
      return false;
    }
    view.loadRequest(platform::WebRequest(*url));
    return true;
  }
  auto text = readInput(*options.htmlFile);
  if (!text) return false;
  std::optional<platform::URL> base;
  if (options.base) {
    base = platform::URL::parse(*options.base);
    if (!base) {
      std::cerr << "vozave: not a URL: " << *options.base << "\n";
      return false;
    }
  }
  view.loadHTMLStringBaseURL(*text, base);
  return true;
}

bool writeScreenshot(platform::WebView& view, const std::string& path) {
  auto png = view.screenshotPNG();
  std::ofstream out(path, std::ios::binary);
  if (!png || !out.write(reinterpret_cast<const char*>(png->data()),
                         static_cast<std::streamsize>(png->size()))) {
    std::cerr << "vozave: no screenshot written to " << path << "\n";
    return false;
  }
  std::cout << "screenshot: " << path << " (" << png->size() << " bytes)\n";
  return true;
}

std::shared_ptr<platform::WebViewDelegate> makeDelegate(bool ad, LoadEnd& end) {
  if (ad) return std::make_shared<AdPrintingDelegate>(end);
  return std::make_shared<PrintingDelegate>(end);
}

int page(const Arguments& args) {
  auto read = readOptions(args);
  if (!read) return usageError(read.error().localizedDescription());
  const PageOptions& options = *read;
  platform::RunLoop& loop = platform::RunLoop::main();
  auto view = platform::WebView::create(platform::Rect(0, 0, 320, 480));
  LoadEnd end;
  std::shared_ptr<platform::WebViewDelegate> delegate = makeDelegate(options.ad, end);
  view->setDelegate(delegate);
  int status = 1;
  if (startLoad(*view, options)) {
    loop.runUntil([&] { return end.ended; }, platform::WebView::loadTimeout() + kLoadAllowance);
    // Messages re-posted for the next pass, and those a loaded page sends at once, arrive.
    if (options.ad) loop.runUntil([] { return false; }, kAdSettle);
    if (options.tap) {
      const bool tapped = view->tapAt(*options.tap);
      std::cout << "tap " << platform::describeNumber(options.tap->x) << ","
                << platform::describeNumber(options.tap->y) << (tapped ? "" : " => missed") << "\n";
      // What the tap starts reaches the delegate before the scripts run.
      loop.runUntil([] { return false; }, kAdSettle);
    }
    for (const std::string& script : options.scripts) {
      std::cout << "eval " << script << " => "
                << view->stringByEvaluatingJavaScriptFromString(script) << "\n";
      // Navigations that the script starts reach the delegate before the next one runs.
      loop.runUntil([] { return false; }, kScriptSettle);
    }
    bool shot = !options.screenshot || writeScreenshot(*view, *options.screenshot);
    std::cout << "url: " << view->request().url().absoluteString() << "\n";
    status = end.ended && !end.failed && shot ? 0 : 1;
  }
  platform::Browser::shutdown();
  return status;
}

}  // namespace

std::vector<Command> pageCommands() {
  return {
      {"page",
       "  page URL|--html FILE [--base URL] [--ad] [--tap X,Y] [--eval JS]...\n"
       "       [--screenshot OUT.png]\n"
       "      load a page in a web view; print every delegate call, each script's result and\n"
       "      the final URL; with --ad the ad client's delegate decides, as in a full-screen\n"
       "      ad, and every action it takes is printed; --tap is a finger at X,Y (points) once\n"
       "      the page has loaded: an ad acts on a tap only\n",
       page},
  };
}

}  // namespace vozave
