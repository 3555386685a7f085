#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "platform/foundation/RunLoop.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

// Prints each delegate call with its arguments; lets web pages load and refuses the rest
// (messages, mail and application links), as the ad client's delegates do.
class PrintingDelegate : public platform::WebViewDelegate {
 public:
  bool webViewShouldStartLoadWithRequestNavigationType(
      platform::WebView&, const platform::WebRequest& request,
      platform::WebViewNavigationType type) override {
    std::cout << "webView:shouldStartLoadWithRequest: " << request.httpMethod() << " "
              << request.url().absoluteString() << " navigationType: " << type;
    const std::string& scheme = request.url().scheme();
    bool load = scheme == "http" || scheme == "https" || scheme == "about";
    std::cout << (load ? " => load\n" : " => refuse\n");
    return load;
  }
  void webViewDidStartLoad(platform::WebView&) override { std::cout << "webViewDidStartLoad:\n"; }
  void webViewDidFinishLoad(platform::WebView&) override {
    std::cout << "webViewDidFinishLoad:\n";
    ended = true;
  }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error& error) override {
    std::cout << "webView:didFailLoadWithError: " << error.domain << " " << error.code << " "
              << error.localizedDescription() << "\n";
    ended = failed = true;
  }

  bool ended = false;
  bool failed = false;
};

struct PageOptions {
  std::optional<std::string> url, htmlFile, base, screenshot;
  std::vector<std::string> scripts;
};

bool readOptions(const Arguments& args, PageOptions& options, std::string& problem) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool takesValue =
        arg == "--html" || arg == "--base" || arg == "--eval" || arg == "--screenshot";
    if (takesValue && i + 1 >= args.size()) {
      problem = arg + " needs a value";
      return false;
    }
    if (arg == "--html") {
      options.htmlFile = args[++i];
    } else if (arg == "--base") {
      options.base = args[++i];
    } else if (arg == "--eval") {
      options.scripts.push_back(args[++i]);
    } else if (arg == "--screenshot") {
      options.screenshot = args[++i];
    } else if (arg.rfind("--", 0) != 0 && !options.url) {
      options.url = arg;
    } else {
      problem = "unexpected " + arg;
      return false;
    }
  }
  if (options.url.has_value() == options.htmlFile.has_value()) {
    problem = "page takes a URL or --html FILE";
    return false;
  }
  return true;
}

bool startLoad(platform::WebView& view, const PageOptions& options) {
  if (options.url) {
    auto url = platform::URL::parse(*options.url);
    if (!url) {
      std::cerr << "vozave: not a URL: " << *options.url << "\n";
      return false;
    }
    view.loadRequest(platform::WebRequest(*url));
    return true;
  }
  std::ifstream file(*options.htmlFile, std::ios::binary);
  if (!file) {
    std::cerr << "vozave: cannot read " << *options.htmlFile << "\n";
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  std::optional<platform::URL> base;
  if (options.base) {
    base = platform::URL::parse(*options.base);
    if (!base) {
      std::cerr << "vozave: not a URL: " << *options.base << "\n";
      return false;
    }
  }
  view.loadHTMLStringBaseURL(text.str(), base);
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

int page(const Arguments& args) {
  PageOptions options;
  std::string problem;
  if (!readOptions(args, options, problem)) return usageError(problem);
  platform::RunLoop& loop = platform::RunLoop::main();
  auto view = platform::WebView::create(platform::Rect(0, 0, 320, 480));
  auto printer = std::make_shared<PrintingDelegate>();
  PrintingDelegate& delegate = *printer;
  view->setDelegate(printer);
  int status = 1;
  if (startLoad(*view, options)) {
    loop.runUntil([&] { return delegate.ended; }, platform::WebView::loadTimeout() + 5);
    for (const std::string& script : options.scripts) {
      std::cout << "eval " << script << " => "
                << view->stringByEvaluatingJavaScriptFromString(script) << "\n";
      // Navigations that the script starts reach the delegate before the next one runs.
      loop.runUntil([] { return false; }, 0.3);
    }
    bool shot = !options.screenshot || writeScreenshot(*view, *options.screenshot);
    std::cout << "url: " << view->request().url().absoluteString() << "\n";
    status = delegate.ended && !delegate.failed && shot ? 0 : 1;
  }
  platform::Browser::shutdown();
  return status;
}

}  // namespace

std::vector<Command> pageCommands() {
  return {
      {"page",
       "  page URL|--html FILE [--base URL] [--eval JS]... [--screenshot OUT.png]\n"
       "      load a page in a web view; print every delegate call, each script's result and\n"
       "      the final URL\n",
       page},
  };
}

}  // namespace vozave
