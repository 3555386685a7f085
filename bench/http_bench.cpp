// 1,000 conditional fetches (304) and 1,000 full fetches of a 20 KB body on loopback, through
// ZUVCachedFile on the run loop and through a plain libcurl easy handle, in one run; prints
// requests per second and how much slower our road is. Also the cost of reading a reply of
// 20,000 header fields.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ads/support/ZUVCachedFile.h"
#include "bench/ThroughputReporter.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HTTPHeaderFields.h"

namespace {

constexpr int kFetches = 1000;
constexpr const char* kModified = "Sun, 06 Nov 1994 08:49:37 GMT";

// The server answers /full with 20 KB every time and /conditional with 304 to any
// conditional request.
class Server {
 public:
  Server() {
    server_.Get("/full", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(body_, "application/octet-stream");
    });
    server_.Get("/conditional", [](const httplib::Request& request, httplib::Response& response) {
      if (request.has_header("If-Modified-Since")) {
        response.status = 304;
        return;
      }
      response.set_header("Last-Modified", kModified);
      response.set_content("script", "application/octet-stream");
    });
    server_.set_tcp_nodelay(true);  // else delayed acknowledgements dominate every fetch
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~Server() {
    server_.stop();
    thread_.join();
  }
  std::string url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  std::string body_ = std::string(20 * 1024, 'b');
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

Server& server() {
  static Server instance;
  return instance;
}

class Waiter : public ZUVCachedFileDelegate {
 public:
  bool ended = false, ok = false;
  void cachedFileDownloadDidEnd(ZUVCachedFile&) override { ended = ok = true; }
  void cachedFileDownloadDidFail(ZUVCachedFile&, const std::optional<platform::Error>&) override {
    ended = true;
  }
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile&,
                                                               const platform::URL&) override {
    return std::nullopt;
  }
};

// One fetch as the ad client makes it: a new cached file, validated, the loop run to its end.
bool fetchOurs(const platform::URL& url) {
  auto waiter = std::make_shared<Waiter>();
  auto file = ZUVCachedFile::create(waiter, url);
  file->validate();
  platform::RunLoop::main().runUntil([&] { return waiter->ended; }, platform::seconds(30));
  return waiter->ok;
}

void ours(benchmark::State& state, const char* path) {
  auto url = *platform::URL::parse(server().url(path));
  fetchOurs(url);  // the file is there before the first conditional fetch
  for (auto _ : state) {
    if (!fetchOurs(url)) state.SkipWithError("fetch failed");
  }
  state.SetItemsProcessed(state.iterations());
}

size_t collect(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The same job with libcurl alone: one reused easy handle, the body written to a file, either
// plainly or with the same synced atomic write that the cached file makes.
void plainFetch(benchmark::State& state, const char* path, bool durable) {
  std::string url = server().url(path);
  std::string file = platform::FileManager::defaultManager().cachesDirectory() + "/plain";
  CURL* easy = curl_easy_init();
  curl_slist* headers =
      curl_slist_append(nullptr, (std::string("If-Modified-Since: ") + kModified).c_str());
  std::string body;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  for (auto _ : state) {
    body.clear();
    long status = 0;
    if (curl_easy_perform(easy) != CURLE_OK) state.SkipWithError("fetch failed");
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status == 200 && durable) {
      if (!platform::FileManager::defaultManager().writeAtomically(file, body)) {
        state.SkipWithError("write failed");
      }
    } else if (status == 200) {
      std::ofstream(file, std::ios::binary) << body;
    }
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(easy);
  state.SetItemsProcessed(state.iterations());
}

void plain(benchmark::State& state, const char* path) {
  plainFetch(state, path, false);
}
void durable(benchmark::State& state, const char* path) {
  plainFetch(state, path, true);
}

// A hostile reply's header block just under the cap: 20,000 tiny fields, each added as the
// connection reads it (a lookup, then an append).
void headerFields(benchmark::State& state) {
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i) names.push_back("h" + std::to_string(i));
  for (auto _ : state) {
    platform::HTTPHeaderFields fields;
    for (const std::string& name : names) fields.add(name, "v");
    benchmark::DoNotOptimize(fields.value("Content-Length"));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto found = run.counters.find("items_per_second");
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && found != run.counters.end()) {
        perSecond_[run.run_name.function_name] = found->second;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void printRatios() const {
    std::printf("\n%-10s %11s %12s %13s %16s %17s\n", "fetch", "ours req/s", "plain req/s",
                "synced req/s", "ours/plain time", "ours/synced time");
    for (const char* kind : {"304", "full20KB"}) {
      double mine = at(std::string("http/") + kind + "/ours");
      double theirs = at(std::string("http/") + kind + "/plain");
      double synced = at(std::string("http/") + kind + "/plain-synced");
      if (synced > 0) {
        std::printf("%-10s %11.0f %12.0f %13.0f %15.2fx %16.2fx\n", kind, mine, theirs, synced,
                    mine > 0 ? theirs / mine : 0, synced / mine);
      } else {
        std::printf("%-10s %11.0f %12.0f %13s %15.2fx %17s\n", kind, mine, theirs, "-",
                    mine > 0 ? theirs / mine : 0, "-");
      }
    }
  }

 private:
  double at(const std::string& name) const {
    auto found = perSecond_.find(name);
    return found == perSecond_.end() ? 0 : found->second;
  }
  std::map<std::string, double> perSecond_;
};

}  // namespace

int main(int argc, char** argv) {
  char home[] = "/tmp/velour-http-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  platform::FileManager::defaultManager().setHomeDirectory(home);
  const struct {
    const char* name;
    void (*run)(benchmark::State&, const char*);
    const char* path;
  } benches[] = {{"http/304/ours", ours, "/conditional"},
                 {"http/304/plain", plain, "/conditional"},
                 {"http/full20KB/ours", ours, "/full"},
                 {"http/full20KB/plain", plain, "/full"},
                 {"http/full20KB/plain-synced", durable, "/full"}};
  for (const auto& bench : benches) {
    benchmark::RegisterBenchmark(bench.name, bench.run, bench.path)
        ->Iterations(kFetches)
        ->UseRealTime()
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("headers/20000-fields", headerFields)->Unit(benchmark::kMillisecond);
  int status = runWithRatios<RatioReporter>(argc, argv);
  std::filesystem::remove_all(home);
  return status;
}
