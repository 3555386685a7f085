// 1, 4 and 16 banners loading at once against the demo ad server on loopback, with the support
// script cached: the time from loadRequest to the last didReceiveAd, beside the web engine
// alone loading the same two pages per banner (the build page, then the ad page by its URL),
// in one run, with how many banners got their ad. With --busy, two spinning processes of its
// own share the machine, as a loaded phone does: the target is still every ad. First it times the
// launch to the first ad with the engine not yet started. It prints how much slower our road is,
// the engine calls per ad that held the run loop, the longest pass of the run loop (in host time,
// and in this thread's processor time: the difference is the host giving the core to other
// processes), and the memory of this process and of the browser's processes once the ads are up,
// with the targets beside them and the load average beside each figure (the machine may be shared).
// Loads are issued from inside a pass of the run loop, as an application's code issues them, so
// that what they hold the loop for counts.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestPrivate.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVMacros.h"
#include "ads/web/ZUVNotification.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/web/Browser.h"
#include "platform/web/WebView.h"
#include "tools/adserver/AdServer.h"

namespace {

using platform::RunLoop;

constexpr const char* kUnit = "0123456789abcde";
constexpr platform::Duration kLimit = platform::seconds(
    60);  // for one round of loads before the banners without an ad count as failed
constexpr int kIterations = 3;
const int kBannerCounts[] = {1, 4, 16};

// The targets: our road against the engine alone, for one banner and for sixteen; no engine
// call that holds the run loop; no pass of the run loop longer than this.
constexpr double kTargetRatioOne = 1.1;
constexpr double kTargetRatioSixteen = 1.0;
constexpr double kTargetWaitedPerAd = 0;
constexpr double kTargetLongestPassMs = 50;

adserver::AdServer* gServer = nullptr;
std::shared_ptr<platform::ViewController> gRoot;

// The field `name` (such as "VmRSS:") of a /proc file of lines "Name: value kB", in kB; 0 for a
// process that has gone or that we may not read.
long kbFrom(const std::string& path, std::string_view name) {
  std::istringstream file(platform::FileManager::defaultManager().readVanishingText(path));
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + name.size());
  }
  return 0;
}

// The 1-minute load average of the host.
double loadAverage() {
  std::ifstream file("/proc/loadavg");
  double load = 0;
  file >> load;
  return load;
}

struct TreeMemory {
  long residentKB = 0;      // summed: a page shared by n processes counts n times
  long proportionalKB = 0;  // summed: every page counts once
};

// The browser and every process below it (zygotes, renderers, utilities), by their parents.
TreeMemory browserMemory() {
  TreeMemory memory;
  auto browser = platform::Browser::shared();
  if (!browser || !browser->isRunning()) return memory;
  std::map<long, std::vector<std::string>> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string text =
        platform::FileManager::defaultManager().readVanishingText(entry.path() / "stat");
    auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    long parent = 0;
    char state = 0;
    if (std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &parent) == 2) {
      children[parent].push_back(pid);
    }
  }
  std::vector<std::string> pending{std::to_string(browser->processId())};
  while (!pending.empty()) {
    std::string pid = pending.back();
    pending.pop_back();
    memory.residentKB += kbFrom("/proc/" + pid + "/status", "VmRSS:");
    memory.proportionalKB += kbFrom("/proc/" + pid + "/smaps_rollup", "Pss:");
    for (const std::string& child : children[std::atol(pid.c_str())]) pending.push_back(child);
  }
  return memory;
}

void reportMemory(benchmark::State& state) {
  TreeMemory browser = browserMemory();
  state.counters["self_MB"] = static_cast<double>(kbFrom("/proc/self/status", "VmRSS:")) / 1024;
  state.counters["browser_MB"] = static_cast<double>(browser.residentKB) / 1024;
  state.counters["browser_PSS_MB"] = static_cast<double>(browser.proportionalKB) / 1024;
}

// Fresh banners, each loading its own request.
class BannerRound {
 public:
  explicit BannerRound(int count) : count_(count) {
    events_->adViewDidReceiveAd = [this](platform::View&) { ++received_; };
    events_->adViewDidFailToReceiveAdWithError = [this](platform::View&, const platform::Error&) {
      ++failed_;
    };
    for (int i = 0; i < count; ++i) {
      auto banner = ZUVBannerView::create(platform::Rect(0, 50.0 * i, 320, 50));
      banner->setAdUnitID(kUnit);
      banner->setRootViewController(gRoot);
      banner->setDelegate(events_);
      banners_.push_back(banner);
    }
  }
  BannerRound(const BannerRound&) = delete;
  BannerRound& operator=(const BannerRound&) = delete;

  // Runs `first` and the loads in the loop's next pass, then the loop until every banner has
  // reported. Answers how many got their ad.
  [[nodiscard]] int load(std::function<void()> first = {}) {
    RunLoop::main().post([this, first = std::move(first)] {
      if (first) first();
      for (auto& banner : banners_) banner->loadRequest(ZUVRequest::request());
    });
    RunLoop::main().runUntil([this] { return received_ + failed_ >= count_; }, kLimit);
    for (std::size_t i = 0; i < banners_.size() && received_ < count_; ++i) {
      std::fprintf(stderr, "adload: banner %zu of %d in state %d\n", i, count_,
                   static_cast<int>(ZUVBannerController(*banners_[i])->state()));
    }
    return received_;
  }

 private:
  const int count_;
  int received_ = 0;
  int failed_ = 0;
  std::shared_ptr<ZUVBannerViewDelegate> events_ = std::make_shared<ZUVBannerViewDelegate>();
  std::vector<std::shared_ptr<ZUVBannerView>> banners_;
};

// Runs `round` once per iteration, which times itself and answers how many banners got their
// ad; then adds the figures of the whole run: the fewest ads of a round, the waited engine
// calls per ad, the longest pass and the load average. A round short of ads is timed to its
// limit, and shown as such.
void measure(benchmark::State& state, int (*round)(int count, benchmark::State& state)) {
  const int count = static_cast<int>(state.range(0));
  const std::uint64_t waitedBefore = platform::Browser::waitedCalls();
  platform::Harness::resetLongestPass();
  int fewest = count;
  for (auto _ : state) {
    state.PauseTiming();
    fewest = std::min(fewest, round(count, state));
    state.ResumeTiming();
  }
  state.counters["got_ad"] = fewest;
  const auto waited = static_cast<double>(platform::Browser::waitedCalls() - waitedBefore);
  state.counters["waited_per_ad"] = waited / (kIterations * count);
  state.counters["longest_pass_ms"] = platform::toMilliseconds(platform::Harness::longestPass());
  state.counters["longest_pass_cpu_ms"] =
      platform::toMilliseconds(platform::Harness::longestPassProcessorTime());
  state.counters["load"] = loadAverage();
}

// Our road, timed until the last banner has its ad.
int loadBanners(int count, benchmark::State& state) {
  BannerRound round(count);
  state.ResumeTiming();
  const int loaded = round.load();
  state.PauseTiming();
  if (loaded == count) reportMemory(state);
  return loaded;
}

void ours(benchmark::State& state) {
  measure(state, loadBanners);
}

// The engine alone: a build view that reports its ad URL as a message, and on it starts the ad
// view's load in the next pass; and a view that shows the ad page.
class EngineDelegate : public platform::WebViewDelegate {
 public:
  std::weak_ptr<platform::WebView> adView;  // set on the build view's delegate
  bool finished = false, failed = false;

  bool webViewShouldStartLoadWithRequestNavigationType(platform::WebView&,
                                                       const platform::WebRequest& request,
                                                       platform::WebViewNavigationType) override {
    if (!ZUVNotification::isNotificationURL(request.url())) return true;
    auto message = ZUVNotification::notificationFromURL(request.url());
    std::optional<platform::URL> adURL;
    if (message && message->name() == "loadAdURL" && message->parameters()) {
      const platform::Value* url = message->parameters()->find("url");
      if (url && url->isString()) adURL = platform::URL::parse(url->stringValue());
    }
    if (adStarted_) return false;
    if (!adURL) {
      failed = true;
      return false;
    }
    adStarted_ = true;
    RunLoop::main().post([view = adView, url = *adURL] {
      if (auto ad = view.lock()) ad->loadRequest(platform::WebRequest(url));
    });
    return false;
  }
  void webViewDidFinishLoad(platform::WebView&) override { finished = true; }
  void webViewDidFailLoadWithError(platform::WebView&, const platform::Error&) override {
    failed = true;
  }

 private:
  bool adStarted_ = false;
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
};

int loadEnginePages(int count, benchmark::State& state) {
  std::vector<EnginePair> pairs(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    EnginePair& pair = pairs[static_cast<std::size_t>(i)];
    platform::Rect frame(0, 50.0 * i, 320, 50);
    pair.page = buildPage(frame);
    pair.build = platform::WebView::create(platform::Rect(0, 0, 1, 1));
    pair.build->setDelegate(pair.buildEvents);
    pair.ad = platform::WebView::create(frame);
    pair.ad->setDelegate(pair.adEvents);
    pair.buildEvents->adView = pair.ad;
  }
  state.ResumeTiming();
  RunLoop::main().post([&pairs] {
    for (EnginePair& pair : pairs) {
      pair.build->loadHTMLStringBaseURL(pair.page, platform::URL::parse(kZUVAdServerOrigin));
    }
  });
  auto done = [&] {
    int ended = 0;
    for (EnginePair& pair : pairs) {
      if (pair.buildEvents->failed || pair.adEvents->failed || pair.adEvents->finished) ++ended;
    }
    return ended == count;
  };
  RunLoop::main().runUntil(done, kLimit);
  state.PauseTiming();
  int shown = 0;
  for (EnginePair& pair : pairs) shown += pair.adEvents->finished && !pair.adEvents->failed;
  if (shown == count) reportMemory(state);
  return shown;
}

void engine(benchmark::State& state) {
  measure(state, loadEnginePages);
}

// From launch to the first ad on screen with the engine not started (nor the support script
// cached): the application finishes launching and loads a banner in one pass, as a first
// screen would.
struct ColdLaunch {
  bool loaded = false;
  double ms = 0;
  double longestPassMs = 0;
  std::uint64_t waitedCalls = 0;
  double load = 0;
};

ColdLaunch launchToFirstAd() {
  ColdLaunch launch;
  platform::Harness::resetLongestPass();
  const std::uint64_t waitedBefore = platform::Browser::waitedCalls();
  const auto start = std::chrono::steady_clock::now();
  BannerRound round(1);
  launch.loaded = round.load([] { platform::Application::shared()->finishLaunching(); }) == 1;
  launch.ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  launch.longestPassMs = platform::toMilliseconds(platform::Harness::longestPass());
  launch.waitedCalls = platform::Browser::waitedCalls() - waitedBefore;
  launch.load = loadAverage();
  return launch;
}

class AdLoadReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Row& row = rows_[run.benchmark_name()];
      row.ms = run.GetAdjustedRealTime();
      for (const auto& [name, counter] : run.counters) row.figures[name] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printFigures(const ColdLaunch& launch) {
    std::printf(
        "\nLaunch to the first ad, engine not started nor support script cached:\n"
        "  %.0f ms (load %.2f); longest pass %.0f ms (target < %.0f); waited engine calls "
        "%llu (target %.0f)\n",
        launch.ms, launch.load, launch.longestPassMs, kTargetLongestPassMs,
        static_cast<unsigned long long>(launch.waitedCalls), kTargetWaitedPerAd);
    std::printf("\n%-7s %8s %9s %11s %6s %8s %10s %9s %8s %8s %11s %6s\n", "banners", "ours ms",
                "engine ms", "ours/engine", "target", "ours got", "engine got", "waited/ad",
                "pass ms", "pass cpu", "engine pass", "load");
    double longest = launch.longestPassMs;
    for (int count : kBannerCounts) {
      Row& mine = oursRow(count);
      Row& theirs = engineRow(count);
      if (mine.ms == 0 && theirs.ms == 0) continue;  // filtered out
      longest = std::max(longest, mine.figures["longest_pass_ms"]);
      std::printf(
          "%-7d %8.0f %9.0f %10.2fx %6s %5.0f/%-2d %7.0f/%-2d %9.1f %8.0f %8.0f %11.0f %6.2f\n",
          count, mine.ms, theirs.ms, theirs.ms > 0 ? mine.ms / theirs.ms : 0,
          ratioTarget(count).c_str(), mine.figures["got_ad"], count, theirs.figures["got_ad"],
          count, mine.figures["waited_per_ad"], mine.figures["longest_pass_ms"],
          mine.figures["longest_pass_cpu_ms"], theirs.figures["longest_pass_ms"],
          mine.figures["load"]);
    }
    std::printf(
        "targets: every banner its ad, waited engine calls per ad %.0f, longest pass < %.0f ms; "
        "longest pass of our road in this run, engine start included: %.0f ms\n",
        kTargetWaitedPerAd, kTargetLongestPassMs, longest);
    std::printf(
        "\nMemory once the ads are up, MB; the engine's processes summed, PSS counting a "
        "page shared by processes once\n%-7s %6s %12s %9s %10s %11s %10s\n",
        "banners", "self", "browser RSS", "ours PSS", "PSS/banner", "engine PSS", "PSS/banner");
    for (int count : kBannerCounts) {
      Row& mine = oursRow(count);
      Row& theirs = engineRow(count);
      const double oursPSS = mine.figures["browser_PSS_MB"];
      const double enginePSS = theirs.figures["browser_PSS_MB"];
      std::printf("%-7d %6.0f %12.0f %9.0f %10.1f %11.0f %10.1f\n", count, mine.figures["self_MB"],
                  mine.figures["browser_MB"], oursPSS, oursPSS / count, enginePSS,
                  enginePSS / count);
    }
  }

 private:
  struct Row {
    double ms = 0;
    std::map<std::string, double> figures;
  };

  Row& oursRow(int count) { return rows_[rowName("ours", count)]; }
  Row& engineRow(int count) { return rows_[rowName("engine", count)]; }
  static std::string rowName(const char* road, int count) {
    return std::string("adload/") + road + "/" + std::to_string(count) +
           "/iterations:" + std::to_string(kIterations) + "/real_time";
  }
  static std::string ratioTarget(int count) {
    char text[16] = "-";
    if (count == 1) std::snprintf(text, sizeof text, "%.1fx", kTargetRatioOne);
    if (count == 16) std::snprintf(text, sizeof text, "%.1fx", kTargetRatioSixteen);
    return text;
  }

  std::map<std::string, Row> rows_;
};

std::vector<pid_t> gSpinners;

// Two processes that spin on the processor until this one ends (or dies).
void startSpinners() {
  for (int i = 0; i < 2; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      volatile unsigned long spin = 0;
      for (;;) spin = spin + 1;
    }
    if (pid > 0) gSpinners.push_back(pid);
  }
}

void stopSpinners() {
  for (pid_t pid : gSpinners) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  gSpinners.clear();
}

// Takes --busy out of the arguments, which the benchmark library would refuse.
bool takeBusyFlag(int& argc, char** argv) {
  bool busy = false;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::string_view(argv[i]) == "--busy") {
      busy = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return busy;
}

// The browser goes before the server that its connections hold, and the banners' root before
// the run loop's statics.
int finish(const char* home, int status) {
  stopSpinners();
  gRoot.reset();
  platform::Browser::shutdown();
  delete gServer;
  gServer = nullptr;
  std::filesystem::remove_all(home);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const bool busy = takeBusyFlag(argc, argv);
  char home[] = "/tmp/velour-adload-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  platform::FileManager::defaultManager().setHomeDirectory(home);
  platform::Harness::resetRunLoop(false);
  adserver::AdServerOptions options;
  options.adOrigin = kZUVAdServerOrigin;
  auto started = adserver::AdServer::start(options);
  if (!started) {
    std::fprintf(stderr, "adload: %s\n", started.error().localizedDescription().c_str());
    return finish(home, 1);
  }
  gServer = std::move(started).value().release();
  adserver::AdUnit unit;
  unit.creatives = {"banner-plain"};
  unit.refreshRate = "0";
  gServer->setUnit(kUnit, unit);
  for (const std::string& mapping : gServer->resolveArguments()) {
    if (!platform::HostResolution::shared().mapFromText(mapping)) return finish(home, 1);
  }
  gRoot = std::make_shared<platform::ViewController>();
  if (busy) startSpinners();

  // The first load starts the engine and fetches the support script; every later one finds
  // both ready.
  const ColdLaunch launch = launchToFirstAd();
  if (!launch.loaded) {
    std::fprintf(stderr, "adload: the first banner got no ad\n");
    return finish(home, 1);
  }
  for (int count : kBannerCounts) {
    benchmark::RegisterBenchmark("adload/ours", ours)
        ->Arg(count)
        ->Iterations(kIterations)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("adload/engine", engine)
        ->Arg(count)
        ->Iterations(kIterations)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  AdLoadReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printFigures(launch);
  benchmark::Shutdown();
  return finish(home, 0);
}
