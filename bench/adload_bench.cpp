// 1, 4 and 16 banners loading at once against the demo ad server on loopback, with the support
// script cached: the time from loadRequest to the last didReceiveAd, beside the web engine
// alone loading the same two pages per banner (the build page, then the ad page by its URL),
// in one run; prints both, how much slower our road is, and the memory of this process and of
// the browser's processes once the ads are up.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVMacros.h"
#include "ads/web/ZUVNotification.h"
#include "bench/ThroughputReporter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/adserver/AdServer.h"

namespace {

constexpr const char* kUnit = "0123456789abcde";
constexpr double kLimit = 60;  // seconds for one round of loads before it counts as failed
const int kBannerCounts[] = {1, 4, 16};

adserver::AdServer* gServer = nullptr;
std::shared_ptr<platform::ViewController> gRoot;

// "VmRSS" of /proc/<pid>/status, in kB; 0 for a process that has gone.
long residentKB(const std::string& pid) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// The browser and every process below it (zygotes, renderers, utilities), by their parents.
long browserResidentKB() {
  auto browser = platform::Browser::shared();
  if (!browser || !browser->isRunning()) return 0;
  std::map<long, std::vector<std::string>> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    long parent = 0;
    char state = 0;
    if (std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) == 2) {
      children[parent].push_back(pid);
    }
  }
  long total = 0;
  std::vector<std::string> pending{std::to_string(browser->processId())};
  while (!pending.empty()) {
    std::string pid = pending.back();
    pending.pop_back();
    total += residentKB(pid);
    for (const std::string& child : children[std::atol(pid.c_str())]) pending.push_back(child);
  }
  return total;
}

void reportMemory(benchmark::State& state) {
  state.counters["self_MB"] = static_cast<double>(residentKB("self")) / 1024;
  state.counters["browser_MB"] = static_cast<double>(browserResidentKB()) / 1024;
}

// Our road: fresh banners, each loading its own request; timed until the last has its ad.
// Without a state, an untimed round.
bool loadBanners(int count, benchmark::State* state) {
  std::vector<std::shared_ptr<ZUVBannerView>> banners;
  int received = 0, failed = 0;
  auto events = std::make_shared<ZUVBannerViewDelegate>();
  events->adViewDidReceiveAd = [&](platform::View&) { ++received; };
  events->adViewDidFailToReceiveAdWithError = [&](platform::View&, const platform::Error&) {
    ++failed;
  };
  for (int i = 0; i < count; ++i) {
    auto banner = ZUVBannerView::create(platform::Rect(0, 50.0 * i, 320, 50));
    banner->setAdUnitID(kUnit);
    banner->setRootViewController(gRoot);
    banner->setDelegate(events);
    banners.push_back(banner);
  }
  if (state) state->ResumeTiming();
  for (auto& banner : banners) banner->loadRequest(ZUVRequest::request());
  platform::RunLoop::main().runUntil([&] { return received + failed >= count; }, kLimit);
  if (state) state->PauseTiming();
  if (state && received == count) reportMemory(*state);
  for (std::size_t i = 0; i < banners.size() && received < count; ++i) {
    std::fprintf(stderr, "adload: banner %zu of %d in state %d\n", i, count,
                 static_cast<int>(banners[i]->privateObject()->state()));
  }
  return received == count;
}

void ours(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    if (!loadBanners(count, &state)) {
      state.SkipWithError("a banner got no ad");
      break;
    }
    state.ResumeTiming();
  }
}

// The engine alone: a build view that reports its ad URL as a message, which it keeps without
// loading it, and a view that shows the ad page.
class EngineDelegate : public platform::WebViewDelegate {
 public:
  std::optional<platform::URL> adURL;
  bool finished = false, failed = false;

  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView&,
                                                       const platform::WebRequest& request,
                                                       platform::WebViewNavigationType) override {
    if (!ZUVNotification::isNotificationURL(request.url())) return true;
    auto message = ZUVNotification::notificationFromURL(request.url());
    if (message && message->name() == "loadAdURL" && message->parameters()) {
      const platform::Value* url = message->parameters()->find("url");
      if (url && url->isString()) adURL = platform::URL::parse(url->stringValue());
    }
    if (!adURL) failed = true;
    return false;
  }
  void webViewDidFinishLoad(platform::WebView&) override { finished = true; }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error&) override {
    failed = true;
  }
};

// The build page as the controller writes it for a banner of this frame.
std::string buildPage(const platform::Rect& frame) {
  auto controller = ZUVObjectPrivate::createWithFrame(frame);
  controller->setAdUnitID(kUnit);
  auto request = std::dynamic_pointer_cast<ZUVRequestPrivate>(ZUVRequest::request());
  platform::Dictionary parameters = request->parameters();
  controller->addAdditionalParameters(parameters);
  std::string json = ZUVMacros::jsonify(platform::Value(std::move(parameters))).value_or("");
  return ZUVObjectPrivate::buildAdPage(gServer->supportScript(), json);
}

struct EnginePair {
  std::shared_ptr<platform::WebView> build, ad;
  std::shared_ptr<EngineDelegate> buildEvents = std::make_shared<EngineDelegate>();
  std::shared_ptr<EngineDelegate> adEvents = std::make_shared<EngineDelegate>();
  std::string page;
  bool adStarted = false;
};

bool loadEnginePages(int count, benchmark::State& state) {
  std::vector<EnginePair> pairs(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    EnginePair& pair = pairs[static_cast<std::size_t>(i)];
    platform::Rect frame(0, 50.0 * i, 320, 50);
    pair.page = buildPage(frame);
    pair.build = platform::WebView::create(platform::Rect(0, 0, 1, 1));
    pair.build->setDelegate(pair.buildEvents);
    pair.ad = platform::WebView::create(frame);
    pair.ad->setDelegate(pair.adEvents);
  }
  state.ResumeTiming();
  for (EnginePair& pair : pairs) {
    pair.build->loadHTMLStringBaseURL(pair.page, platform::URL::parse(kZUVAdServerOrigin));
  }
  auto done = [&] {
    int ended = 0;
    for (EnginePair& pair : pairs) {
      if (pair.buildEvents->adURL && !pair.adStarted) {
        pair.adStarted = true;
        pair.ad->loadRequest(platform::WebRequest(*pair.buildEvents->adURL));
      }
      if (pair.buildEvents->failed || pair.adEvents->failed || pair.adEvents->finished) ++ended;
    }
    return ended == count;
  };
  platform::RunLoop::main().runUntil(done, kLimit);
  state.PauseTiming();
  int shown = 0;
  for (EnginePair& pair : pairs) shown += pair.adEvents->finished && !pair.adEvents->failed;
  if (shown == count) reportMemory(state);
  return shown == count;
}

void engine(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    if (!loadEnginePages(count, state)) {
      state.SkipWithError("an ad page did not load");
      break;
    }
    state.ResumeTiming();
  }
}

class AdLoadReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Row& row = rows_[run.benchmark_name()];
      row.ms = run.GetAdjustedRealTime();
      for (const char* name : {"self_MB", "browser_MB"}) {
        auto found = run.counters.find(name);
        if (found != run.counters.end()) row.memory[name] = found->second;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios() {
    std::printf("\n%-8s %9s %11s %12s %8s %12s %15s\n", "banners", "ours ms", "engine ms",
                "ours/engine", "self MB", "browser MB", "engine brws MB");
    for (int count : kBannerCounts) {
      const std::string n = std::to_string(count);
      Row& mine = rows_["adload/ours/" + n + "/iterations:3/real_time"];
      Row& theirs = rows_["adload/engine/" + n + "/iterations:3/real_time"];
      std::printf("%-8d %9.0f %11.0f %11.2fx %8.0f %12.0f %15.0f\n", count, mine.ms, theirs.ms,
                  theirs.ms > 0 ? mine.ms / theirs.ms : 0, mine.memory["self_MB"],
                  mine.memory["browser_MB"], theirs.memory["browser_MB"]);
    }
  }

 private:
  struct Row {
    double ms = 0;
    std::map<std::string, double> memory;
  };
  std::map<std::string, Row> rows_;
};

// The browser goes before the server that its connections hold, and the banners' root before
// the run loop's statics.
int finish(const char* home, int status) {
  gRoot.reset();
  platform::Browser::shutdown();
  delete gServer;
  gServer = nullptr;
  std::filesystem::remove_all(home);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  char home[] = "/tmp/velour-adload-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  platform::FileManager::defaultManager().setHomeDirectory(home);
  platform::RunLoop::main().reset(false);
  std::string problem;
  adserver::AdServerOptions options;
  options.adOrigin = kZUVAdServerOrigin;
  gServer = adserver::AdServer::start(options, problem).release();
  if (!gServer) {
    std::fprintf(stderr, "adload: %s\n", problem.c_str());
    return finish(home, 1);
  }
  adserver::AdUnit unit;
  unit.creatives = {"banner-plain"};
  unit.refreshRate = "0";
  gServer->setUnit(kUnit, unit);
  for (const std::string& mapping : gServer->resolveArguments()) {
    if (!platform::HostResolution::shared().mapFromText(mapping)) return finish(home, 1);
  }
  platform::Application::shared()->finishLaunching();
  gRoot = std::make_shared<platform::ViewController>();

  // The browser starts first, as it has long before an application's ads load; then the first
  // load fetches the support script, and every later one finds it cached.
  auto blank = platform::WebView::create();
  blank->loadHTMLStringBaseURL("<p></p>", std::nullopt);
  platform::RunLoop::main().runUntil([&] { return !blank->isLoading(); }, kLimit);
  if (!loadBanners(1, nullptr)) {
    std::fprintf(stderr, "adload: the first banner got no ad\n");
    return finish(home, 1);
  }
  for (int count : kBannerCounts) {
    benchmark::RegisterBenchmark("adload/ours", ours)
        ->Arg(count)
        ->Iterations(3)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("adload/engine", engine)
        ->Arg(count)
        ->Iterations(3)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  return finish(home, runWithRatios<AdLoadReporter>(argc, argv));
}
