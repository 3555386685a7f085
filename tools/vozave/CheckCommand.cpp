// `vozave check`: runs one creative on the headless phone through a fixed walk and reports
// what it did, for a person at a terminal and for a CI job.
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "ads/support/ZUVEndpoints.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SDKResources.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/net/URLConnection.h"
#include "platform/ui/Screen.h"
#include "platform/web/Browser.h"
#include "tools/adserver/AdServer.h"
#include "tools/vozave/CheckWalk.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

constexpr const char* kCreativeName = "vozave-check";
// How long a creative's URL has to answer, and the most of it that is read.
constexpr platform::Duration kFetchTimeout = platform::seconds(15);

struct CheckOptions {
  std::string creative;
  WalkOptions walk;
  std::string jsonPath, junitPath;
  bool strict = false;
};

// A whole number of points from 1 to `most`, or nothing.
std::optional<int> parsePoints(std::string_view text, double most) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > most) {
    return std::nullopt;
  }
  return value;
}

platform::Result<void> parseSize(const std::string& text, WalkOptions& walk) {
  const auto x = text.find('x');
  const platform::Size screen = platform::Screen::applicationFrame().size;
  if (x == std::string::npos) return usageProblem("--size takes WIDTHxHEIGHT, e.g. 320x50");
  auto width = parsePoints(std::string_view(text).substr(0, x), screen.width);
  auto height = parsePoints(std::string_view(text).substr(x + 1), screen.height);
  if (!width || !height) {
    return usageProblem("--size takes WIDTHxHEIGHT in whole points within the screen's " +
                        std::to_string(static_cast<int>(screen.width)) + "x" +
                        std::to_string(static_cast<int>(screen.height)) + ", not \"" +
                        platform::text::singleLine(text) + "\"");
  }
  walk.width = *width;
  walk.height = *height;
  return {};
}

platform::Result<void> takeOption(const std::string& arg, const std::string& value,
                                  CheckOptions& options) {
  if (arg == "--size") return parseSize(value, options.walk);
  if (arg == "--format") {
    if (value == "rewarded" || value == "vast") {
      return usageProblem(value + " ads cannot be checked yet");
    }
    if (value != "banner" && value != "interstitial") {
      return usageProblem("--format takes banner or interstitial, not \"" +
                          platform::text::singleLine(value) + "\"");
    }
    options.walk.interstitial = value == "interstitial";
  } else if (arg == "--quiet") {
    auto seconds = parseFinite<double>(value);
    if (!seconds || *seconds < 0 || *seconds > 600) {
      return usageProblem("--quiet takes seconds from 0 to 600");
    }
    options.walk.quietSeconds = *seconds;
  } else if (arg == "--block") {
    if (value.empty()) return usageProblem("--block takes a host name");
    options.walk.blockedHosts.push_back(platform::text::asciiLowercase(value));
  } else if (arg == "--script") {
    auto text = readInput(value);
    if (!text) return usageProblem("--script needs a readable file");
    auto script = parseCheckScript(*text);
    if (!script) return usageProblem(script.error().localizedDescription());
    options.walk.script = std::move(script).value();
  } else if (arg == "--pictures") {
    options.walk.picturesFolder = value;
  } else if (arg == "--json") {
    options.jsonPath = value;
  } else if (arg == "--junit") {
    options.junitPath = value;
  }
  return {};
}

platform::Result<CheckOptions> parseCheckArguments(const Arguments& args) {
  CheckOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--strict") {
      options.strict = true;
    } else if (arg == "--log") {
      options.walk.showLog = true;
    } else if (arg == "--offline") {
      options.walk.offline = true;
    } else if (arg == "--size" || arg == "--format" || arg == "--quiet" || arg == "--block" ||
               arg == "--pictures" || arg == "--json" || arg == "--junit" || arg == "--script") {
      if (i + 1 == args.size()) return usageProblem(arg + " needs a value");
      if (auto taken = takeOption(arg, args[++i], options); !taken) return taken.error();
    } else if ((arg.starts_with("--") && arg != "-") || !options.creative.empty()) {
      return usageProblem("unexpected argument " + platform::text::singleLine(arg));
    } else {
      options.creative = arg;
    }
  }
  if (options.creative.empty()) return usageProblem("check takes a creative: a file or a URL");
  return options;
}

// Collects a creative's page from its URL.
class PageFetch : public platform::URLConnectionDelegate {
 public:
  void connectionDidReceiveResponse(platform::URLConnection&,
                                    const platform::HTTPURLResponse& response) override {
    status = response.statusCode();
  }
  void connectionDidReceiveData(platform::URLConnection&,
                                std::span<const std::uint8_t> data) override {
    body.append(data.begin(), data.end());
  }
  void connectionDidFinishLoading(platform::URLConnection&) override { ended = true; }
  void connectionDidFailWithError(platform::URLConnection&, const platform::Error& e) override {
    error = e.localizedDescription();
    ended = true;
  }
  int status = 0;
  std::string body, error;
  bool ended = false;
};

// The page at `url`, its relative references kept to its own address; nothing after a line on
// standard error when it does not answer with a page.
std::optional<std::string> fetchCreative(const platform::URL& url) {
  auto& settings = platform::URLConnection::settings();
  settings.connectTimeout = settings.idleTimeout = kFetchTimeout;
  settings.maxBodyBytes = kMaxInputBytes;
  auto fetch = std::make_shared<PageFetch>();
  auto connection = platform::URLConnection::create(platform::URLRequest(url), fetch);
  // The connection's time-outs end every fetch; the cap only guards against a stuck loop.
  platform::Harness::runUntilHostTime([&] { return fetch->ended; },
                                      platform::RunLoop::main().hostNow() + 4 * kFetchTimeout);
  std::string name = platform::text::singleLine(url.absoluteString());
  if (!fetch->ended || !fetch->error.empty() || fetch->status < 200 || fetch->status > 299) {
    std::cerr << "vozave: " << name << " does not answer with a page: "
              << (fetch->error.empty() ? "status " + std::to_string(fetch->status) : fetch->error)
              << "\n";
    return std::nullopt;
  }
  std::string html = adserver::AdContent::asPage(fetch->body);
  std::string base = "<base href=\"" + platform::text::markupEscaped(url.absoluteString()) + "\">";
  auto head = platform::text::asciiLowercase(html).find("<head>");
  html.insert(head == std::string::npos ? 0 : head + 6, base);
  return html;
}

std::optional<std::string> readCreative(const std::string& creative) {
  if (creative.starts_with("http://") || creative.starts_with("https://")) {
    auto url = platform::URL::parse(creative);
    if (!url || url->host().empty()) {
      std::cerr << "vozave: not a URL: " << platform::text::singleLine(creative) << "\n";
      return std::nullopt;
    }
    return fetchCreative(*url);
  }
  auto text = readInput(creative);
  if (!text) return std::nullopt;
  auto start = platform::text::asciiLowercase(platform::text::trimmed(*text).substr(0, 256));
  if (start.starts_with("<?xml") || start.find("<vast") != std::string::npos) {
    std::cerr << "vozave: " << platform::text::singleLine(creative)
              << " is a VAST document; video ads cannot be checked yet\n";
    return std::nullopt;
  }
  return adserver::AdContent::asPage(*text);
}

// The check's own ad server, serving `html` to every ad request under the ad network's names.
std::unique_ptr<adserver::AdServer> startServer(std::string html) {
  adserver::AdServerOptions options;
  options.adOrigin = kZUVAdServerOrigin;
  options.creatives[kCreativeName] = std::move(html);
  auto server = adserver::AdServer::start(std::move(options));
  if (!server) {
    std::cerr << "vozave: no ad server: " << server.error().localizedDescription() << "\n";
    return nullptr;
  }
  adserver::AdUnit unit;
  unit.creatives = unit.interstitials = {kCreativeName};
  // No refresh comes within the walk.
  unit.refreshRate = "600";
  (*server)->setUnit(adserver::Inventory::kAnyUnit, unit);
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    platform::HostResolution::shared().map(host, "127.0.0.1",
                                           static_cast<std::uint16_t>((*server)->port()));
  }
  return std::move(server).value();
}

bool writeReport(const std::string& path, const std::string& text) {
  if (path.empty()) return true;
  auto written = platform::FileManager::defaultManager().writeAtomically(path, text);
  if (!written) {
    std::cerr << "vozave: cannot write " << platform::text::singleLine(path) << ": "
              << written.error().localizedDescription() << "\n";
  }
  return static_cast<bool>(written);
}

// A home folder of its own, so that the check neither reads nor changes the user's.
std::string makeHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vozave-check-XXXXXX").string();
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

int walk(const CheckOptions& options, CheckReport& report) {
  auto html = readCreative(options.creative);
  if (!html) return 2;
  report.pageBytes = html->size();
  auto server = startServer(*html);
  if (!server) return 2;
  WalkOptions walkOptions = options.walk;
  walkOptions.ownHosts = {kZUVStaticContentHost, kZUVAdServerHost};
  adserver::AdServer* served = server.get();
  walkOptions.creativeServed = [served] {
    return !served->record().requestsOfKind(adserver::RequestKind::Page).empty();
  };
  {
    CheckWalk walk(walkOptions, report, std::cout);
    walk.run();
  }
  platform::Browser::shutdown();
  server->stop();
  return 0;
}

int check(const Arguments& args) {
  auto parsed = parseCheckArguments(args);
  if (!parsed) return usageError(parsed.error().localizedDescription());
  const CheckOptions& options = *parsed;
  if (platform::sdkResourcePath().empty()) {
    std::cerr << "vozave: no resources beside the program; set VELOUR_RESOURCES to the folder\n";
    return 2;
  }
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    std::cerr << "vozave: no web engine at " << platform::Browser::executablePath() << "\n";
    return 2;
  }
  std::string home = makeHome();
  if (home.empty()) {
    std::cerr << "vozave: cannot make a home folder for the phone\n";
    return 2;
  }
  platform::FileManager::defaultManager().setHomeDirectory(home);
  platform::Harness::resetRunLoop(false);
  CheckReport report;
  report.creative = platform::text::singleLine(options.creative);
  report.format = options.walk.interstitial ? "interstitial" : "banner";
  const platform::Size screen = platform::Screen::applicationFrame().size;
  report.width = options.walk.interstitial ? static_cast<int>(screen.width) : options.walk.width;
  report.height = options.walk.interstitial ? static_cast<int>(screen.height) : options.walk.height;
  report.strict = options.strict;
  int status = walk(options, report);
  platform::FileManager::defaultManager().removeItem(home);
  if (status != 0) return status;
  std::cout << summaryText(report);
  if (!writeReport(options.jsonPath, jsonText(report)) ||
      !writeReport(options.junitPath, junitText(report))) {
    return 2;
  }
  return report.exitStatus();
}

}  // namespace

std::vector<Command> checkCommands() {
  return {
      {"check",
       "  check CREATIVE [--format banner|interstitial] [--size WxH] [--quiet SECONDS]\n"
       "        [--block HOST]... [--offline] [--script FILE] [--pictures DIR] [--json FILE]\n"
       "        [--junit FILE] [--strict] [--log]\n"
       "      run an ad page (an HTML file, an ad tag or an http(s) URL) on the headless\n"
       "      phone through a fixed walk (load, ready, a quiet time, a tap, close, rotation,\n"
       "      background, unload; or the script's commands between load and unload) and\n"
       "      report what it did; exit 1 when a check failed (docs/CHECK.md)\n",
       check},
  };
}

}  // namespace vozave
