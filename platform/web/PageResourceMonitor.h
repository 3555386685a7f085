#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/WeakFactory.h"

namespace platform {

class WebPage;

// How much of the phone one page may use before it is unloaded. The defaults are the limits
// for an ad's page; tests shrink them so that a runaway is caught in a moment.
struct PageResourceLimits {
  // The page's own processor time within any window of this length.
  Duration processorWindow = seconds(30);
  Duration processorInWindow = seconds(15);
  // Processor time since the page's document was loaded.
  Duration processorInAll = seconds(60);
  // Bytes the page's requests received from the network.
  std::int64_t networkBytes = 4 * 1024 * 1024;
  // The engine's memory for the page's scripts and document: its script heap, the objects of
  // its documents and layout, and the contents of its buffers.
  std::int64_t memoryBytes = 256 * 1024 * 1024;
  // Between two readings of the page's processor time.
  Duration sampleInterval = seconds(1);
};

// Watches one web view's page in the engine: its main thread's processor time, read from the
// engine's performance metrics in thread time (which the engine answers even while the page's
// script spins), its memory, read with it from the engine's heap figures (those of the page's
// renderer, which a page of the same site may share), and the bytes its requests receive.
// When the page passes a limit it calls `onExceeded` once with the limit's name, on a later
// pass and only while it still watches that page. WebView owns it and hands it the page's
// events.
class PageResourceMonitor {
 public:
  using Exceeded = std::function<void(const std::string& limit)>;

  PageResourceMonitor(PageResourceLimits limits, Exceeded onExceeded);
  PageResourceMonitor(const PageResourceMonitor&) = delete;
  PageResourceMonitor& operator=(const PageResourceMonitor&) = delete;

  // Starts watching `page`, which must outlive this or be detached first.
  void attach(WebPage& page);
  void detach();
  // A new document of the application's: its counts start from nothing.
  void restart();
  // The page's Network events; others are ignored.
  void onEvent(const std::string& method, const Value& params);

  Duration processorTime() const { return processorTotal_; }
  std::int64_t networkBytes() const { return bytes_; }
  std::int64_t memoryBytes() const { return memory_; }

 private:
  struct Sample {
    Instant at;
    Duration total;
  };

  void sample();
  void ask(const char* method, bool PageResourceMonitor::*pending,
           void (PageResourceMonitor::*take)(const Value&));
  void takeMetrics(const Value& result);
  void takeMemory(const Value& result);
  void takeReading(Duration taskTime);
  void countBytes(const std::string& requestId, std::int64_t bytes, bool finished);
  void check();

  PageResourceLimits limits_;
  Exceeded onExceeded_;
  WebPage* page_ = nullptr;
  TimerHandle timer_;
  bool readingPending_ = false;
  HostInstant readingAskedAt_{};  // the host's: a frozen page takes real time
  bool memoryPending_ = false;
  bool exceeded_ = false;
  std::optional<Duration> lastReading_;
  Duration processorTotal_{};
  std::deque<Sample> samples_;
  std::int64_t bytes_ = 0;
  std::int64_t memory_ = 0;
  std::unordered_map<std::string, std::int64_t> bytesByRequest_;
  // Links for the page and document watched now: revoked when either changes, and first of all.
  WeakFactory<PageResourceMonitor> documentWeak_{this};
};

}  // namespace platform
