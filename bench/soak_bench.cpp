// The soak: 16 banners on the demo ad server, refreshed every 10 s on the manual clock for many
// rounds, with the real web engine. Each round advances the clock by one refresh interval and
// lets the real work settle; it prints the resident memory of this process and of the engine's
// processes and the longest pass of the run loop in the round, and at the end how much each
// memory grew after the warm-up and the longest pass of the run. Not a test: run it by hand,
//   soak [--rounds N] [--warmup N]
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/web/Browser.h"
#include "tools/adserver/AdServer.h"

namespace {

using platform::RunLoop;

constexpr int kBanners = 16;
constexpr double kRefreshSeconds = 10;
// Real seconds a round may take before its missing banners are counted as stuck.
constexpr double kRoundBudget = 60;
// No pass of the run loop should hold the thread longer than this.
constexpr double kTargetLongestPassMs = 50;

struct Options {
  int rounds = 200;
  int warmup = 20;
};

bool readOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    int* target = flag == "--rounds"   ? &options.rounds
                  : flag == "--warmup" ? &options.warmup
                                       : nullptr;
    if (!target || i + 1 == argc) return false;
    char* end = nullptr;
    long value = std::strtol(argv[++i], &end, 10);
    if (*end != '\0' || value < 1 || value > 100000) return false;
    *target = static_cast<int>(value);
  }
  return options.warmup < options.rounds;
}

// The field `name` (such as "VmRSS:") of a /proc file of lines "Name: value kB", in KiB; 0 for
// a process that has gone.
long kibFrom(const std::string& path, std::string_view name) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + name.size());
  }
  return 0;
}

// The 1-minute load average of the host: the machine may be shared.
double loadAverage() {
  std::ifstream file("/proc/loadavg");
  double load = 0;
  file >> load;
  return load;
}

long residentKiB(const std::string& pid) {
  return kibFrom("/proc/" + pid + "/status", "VmRSS:");
}

// The proportional share: pages shared by several processes are divided among them.
long proportionalKiB(const std::string& pid) {
  return kibFrom("/proc/" + pid + "/smaps_rollup", "Pss:");
}

struct Sample {
  long own = 0;
  long heap = 0;         // of ours, allocated and not freed: growth here is not fragmentation
  long engine = 0;       // resident, summed: a page shared by n processes counts n times
  long engineShare = 0;  // proportional, summed: every page counts once
};

// The engine runs as a process group led by the browser.
void sampleEngine(pid_t group, Sample& sample) {
  DIR* proc = ::opendir("/proc");
  if (!proc) return;
  while (dirent* entry = ::readdir(proc)) {
    std::string pid = entry->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    std::getline(stat, line);
    // After "(name)": state, ppid, pgrp.
    auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long parent = 0, processGroup = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %ld %ld", &state, &parent, &processGroup) == 3 &&
        processGroup == group) {
      sample.engine += residentKiB(pid);
      sample.engineShare += proportionalKiB(pid);
    }
  }
  ::closedir(proc);
}

struct Banner {
  std::shared_ptr<ZUVBannerView> view;
  std::shared_ptr<ZUVBannerViewDelegate> events;
  int received = 0;
  int failed = 0;
};

double average(const std::vector<Sample>& samples, std::size_t from, std::size_t count,
               long Sample::*field) {
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += static_cast<double>(samples[i].*field);
  return sum / static_cast<double>(count);
}

class Soak {
 public:
  [[nodiscard]] bool setUp(std::string& problem) {
    char pattern[] = "/tmp/velour-soak-XXXXXX";
    if (!::mkdtemp(pattern)) {
      problem = "cannot make a home folder";
      return false;
    }
    home_ = pattern;
    platform::FileManager::defaultManager().setHomeDirectory(home_);
    platform::setLogSink([this](const std::string&) { ++logLines_; });
    platform::Harness::resetRunLoop(true);
    adserver::AdServerOptions options;
    options.adOrigin = kZUVAdServerOrigin;
    // The server's record of requests shares our process: kept small, it is full after the
    // first round and does not pass for the client's growth.
    options.recordCapacity = 64;
    auto started = adserver::AdServer::start(options);
    if (!started) {
      problem = started.error().localizedDescription();
      return false;
    }
    server_ = std::move(started).value();
    for (const std::string& mapping : server_->resolveArguments()) {
      if (!platform::HostResolution::shared().mapFromText(mapping)) {
        problem = "cannot map " + mapping;
        return false;
      }
    }
    platform::Application::shared()->finishLaunching();
    root_ = std::make_shared<platform::ViewController>();
    window_ = platform::Window::create();
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
    addBanners();
    return true;
  }

  void tearDown() {
    for (Banner& banner : banners_) banner.view->removeFromSuperview();
    banners_.clear();
    ZUVStatistics::releaseSharedStatistics();
    platform::Browser::shutdown();
    server_->stop();
    platform::setLogSink({});
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }

  // The first round: the engine is started first and the banners load one after the other,
  // all at the same moment of the manual clock, so that their refreshes fall together. (The
  // engine's start and its new pages hold the run loop; a fetch begun meanwhile can outwait
  // the server, and a first load that fails knows no refresh interval and is never retried.)
  // Both run inside passes of the loop, as an application's code does, so that the longest
  // pass counts them. Answers how many banners did not report.
  int firstRound() {
    RunLoop::main().post([] {
      if (auto started = platform::Browser::shared()->start(); !started) {
        std::fprintf(stderr, "soak: %s\n", started.error().localizedDescription().c_str());
      }
    });
    RunLoop::main().runOnce();
    int stuck = 0;
    for (Banner& banner : banners_) {
      int before = reports();
      RunLoop::main().post([&banner] { banner.view->loadRequest(ZUVRequest::request()); });
      stuck += settle(before + 1) ? 0 : 1;
    }
    return stuck;
  }

  // A refresh round: every banner reports once (an ad or an error), or the budget runs out.
  int refreshRound() {
    int before = reports();
    platform::Harness::advance(platform::seconds(kRefreshSeconds));
    settle(before + kBanners);
    return kBanners - (reports() - before);
  }

  Sample sample() const {
    Sample sample;
    sample.own = residentKiB("self");
    sample.heap = static_cast<long>(::mallinfo2().uordblks / 1024);
    sampleEngine(platform::Browser::shared()->processId(), sample);
    return sample;
  }
  int received() const {
    return std::accumulate(banners_.begin(), banners_.end(), 0,
                           [](int sum, const Banner& b) { return sum + b.received; });
  }
  int failed() const {
    return std::accumulate(banners_.begin(), banners_.end(), 0,
                           [](int sum, const Banner& b) { return sum + b.failed; });
  }
  long logLines() const { return logLines_; }

 private:
  void addBanners() {
    adserver::AdUnit unit;
    const auto& names = server_->content().creativeNames();
    unit.creatives.assign(names.begin(), names.end());
    unit.refreshRate = std::to_string(static_cast<int>(kRefreshSeconds));
    for (int i = 0; i < kBanners; ++i) {
      char slot[16];
      std::snprintf(slot, sizeof slot, "5a0a0000000%04x", i);
      server_->setUnit(slot, unit);
      Banner& banner = banners_.emplace_back();
      banner.view = ZUVBannerView::create(platform::Rect(0, 50.0 * (i % 8), 320, 50));
      banner.view->setAdUnitID(slot);
      banner.view->setRootViewController(root_);
      root_->view()->addSubview(banner.view);
      banner.events = std::make_shared<ZUVBannerViewDelegate>();
      banner.events->adViewDidReceiveAd = [&banner](platform::View&) { ++banner.received; };
      banner.events->adViewDidFailToReceiveAdWithError =
          [&banner](platform::View&, const platform::Error&) { ++banner.failed; };
      banner.view->setDelegate(banner.events);
    }
  }
  int reports() const { return received() + failed(); }
  // Runs the loop on host time until `count` reports have come, or the round's budget is out.
  bool settle(int count) const {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(kRoundBudget);
    while (reports() < count) {
      if (std::chrono::steady_clock::now() > end) return false;
      RunLoop::main().runOnce(platform::milliseconds(50));
    }
    return true;
  }

  std::string home_;
  long logLines_ = 0;
  std::unique_ptr<adserver::AdServer> server_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<platform::Window> window_;
  std::deque<Banner> banners_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!readOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: soak [--rounds N] [--warmup N]  (warm-up below rounds)\n");
    return 2;
  }
  if (::access(platform::Browser::executablePath().c_str(), X_OK) != 0) {
    std::fprintf(stderr, "soak: no web engine at %s\n",
                 platform::Browser::executablePath().c_str());
    return 1;
  }
  Soak soak;
  std::string problem;
  if (!soak.setUp(problem)) {
    std::fprintf(stderr, "soak: %s\n", problem.c_str());
    return 1;
  }
  std::printf("%d banners, refresh every %g s, %d rounds, warm-up %d\n", kBanners, kRefreshSeconds,
              options.rounds, options.warmup);
  std::printf(
      "round  ours RSS  ours heap  engine RSS  engine PSS   ads  errors  stuck  seconds  pass ms"
      "  load  (KiB)\n");
  std::vector<Sample> samples;
  double longestPassMs = 0;
  int longestRound = 0;
  for (int n = 1; n <= options.rounds; ++n) {
    auto started = std::chrono::steady_clock::now();
    platform::Harness::resetLongestPass();
    int stuck = n == 1 ? soak.firstRound() : soak.refreshRound();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double passMs = platform::toMilliseconds(platform::Harness::longestPass());
    if (passMs > longestPassMs) {
      longestPassMs = passMs;
      longestRound = n;
    }
    samples.push_back(soak.sample());
    const Sample& last = samples.back();
    std::printf("%5d  %8ld  %9ld  %10ld  %10ld  %4d  %6d  %5d  %7.1f  %7.0f  %4.2f\n", n, last.own,
                last.heap, last.engine, last.engineShare, soak.received(), soak.failed(), stuck,
                seconds, passMs, loadAverage());
    std::fflush(stdout);
  }
  // Growth after the warm-up, as averages of ten rounds (or fewer) to smooth the noise.
  auto window =
      static_cast<std::size_t>(std::min(10, std::max(1, (options.rounds - options.warmup) / 2)));
  std::size_t from = static_cast<std::size_t>(options.warmup);
  std::size_t last = samples.size() - window;
  for (auto [name, field] :
       {std::pair{"ours RSS", &Sample::own}, std::pair{"ours heap", &Sample::heap},
        std::pair{"engine RSS", &Sample::engine}, std::pair{"engine PSS", &Sample::engineShare}}) {
    double early = average(samples, from, window, field);
    double late = average(samples, last, window, field);
    std::printf("%s: %.0f KiB after warm-up, %.0f KiB at the end: %+.0f KiB (%+.1f%%)\n", name,
                early, late, late - early, early > 0 ? 100 * (late - early) / early : 0.0);
  }
  std::printf("longest pass of the run loop: %.0f ms, in round %d (target < %.0f ms)\n",
              longestPassMs, longestRound, kTargetLongestPassMs);
  std::printf("log lines: %ld\n", soak.logLines());
  soak.tearDown();
  return 0;
}
