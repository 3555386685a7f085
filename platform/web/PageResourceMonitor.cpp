#include "platform/web/PageResourceMonitor.h"

#include <algorithm>

#include "platform/foundation/TimeText.h"
#include "platform/web/WebPage.h"

namespace platform {

namespace {

// Requests in flight whose bytes are counted one by one; past it a page's requests count
// only when they finish, so that a page cannot grow the table without end.
constexpr std::size_t kTrackedRequests = 1024;

}  // namespace

PageResourceMonitor::PageResourceMonitor(PageResourceLimits limits, Exceeded onExceeded)
    : limits_(limits), onExceeded_(std::move(onExceeded)) {}

void PageResourceMonitor::attach(WebPage& page) {
  detach();
  page_ = &page;
  // Thread time: the main thread's processor time, not the wall time its tasks took.
  page.send("Performance.enable", Dictionary{{"timeDomain", "threadTicks"}});
  page.send("Network.enable", Dictionary{});
  lastReading_.reset();
  timer_ =
      RunLoop::main().scheduleTimer(limits_.sampleInterval, true, [this](Timer&) { sample(); });
}

void PageResourceMonitor::detach() {
  timer_.reset();
  page_ = nullptr;
  // A reading asked of the old page is not this page's.
  documentWeak_.revoke();
  readingPending_ = false;
  memoryPending_ = false;
}

void PageResourceMonitor::restart() {
  // A reading or a notice on its way belongs to the document before.
  documentWeak_.revoke();
  readingPending_ = false;
  memoryPending_ = false;
  exceeded_ = false;
  memory_ = 0;
  lastReading_.reset();
  processorTotal_ = Duration::zero();
  samples_.clear();
  bytes_ = 0;
  bytesByRequest_.clear();
}

void PageResourceMonitor::sample() {
  ask("Runtime.getHeapUsage", &PageResourceMonitor::memoryPending_,
      &PageResourceMonitor::takeMemory);
  if (!readingPending_) readingAskedAt_ = RunLoop::main().hostNow();
  ask("Performance.getMetrics", &PageResourceMonitor::readingPending_,
      &PageResourceMonitor::takeMetrics);
  check();
}

// One reading at a time of each kind: a page whose engine is slow to answer is not asked again.
void PageResourceMonitor::ask(const char* method, bool PageResourceMonitor::*pending,
                              void (PageResourceMonitor::*take)(const Value&)) {
  if (!page_ || this->*pending || exceeded_) return;
  this->*pending = true;
  page_->send(method, Dictionary{},
              documentWeak_.bind([pending, take](PageResourceMonitor& self, const Value& result,
                                                 const Error* error) {
                self.*pending = false;
                if (!error) (self.*take)(result);
              }));
}

void PageResourceMonitor::takeMetrics(const Value& result) {
  for (const Value& metric : result["metrics"].arrayValue()) {
    if (metric["name"].stringValue() == "TaskDuration") {
      // Seconds on the wire.
      takeReading(seconds(metric["value"].doubleValue()));
    }
  }
}

void PageResourceMonitor::takeMemory(const Value& result) {
  // The script heap as allocated, the document's objects and the buffers' contents.
  const double bytes = result["totalSize"].doubleValue() +
                       result["embedderHeapUsedSize"].doubleValue() +
                       result["backingStorageSize"].doubleValue();
  constexpr double kMost = 1e18;  // past any machine's memory, within the count's range
  memory_ = bytes > 0 ? static_cast<std::int64_t>(std::min(bytes, kMost)) : 0;
  check();
}

void PageResourceMonitor::takeReading(Duration taskTime) {
  // The first reading after a restart is where the new document begins; a smaller one than
  // the last comes from a new renderer, whose whole count is new.
  if (lastReading_) {
    processorTotal_ += taskTime >= *lastReading_ ? taskTime - *lastReading_ : taskTime;
  }
  lastReading_ = taskTime;
  const Instant now = RunLoop::main().now();
  samples_.push_back({now, processorTotal_});
  // The front stays the last sample at or before the window's start.
  while (samples_.size() > 1 && samples_[1].at <= now - limits_.processorWindow) {
    samples_.pop_front();
  }
  check();
}

void PageResourceMonitor::onEvent(const std::string& method, const Value& params) {
  if (method == "Network.dataReceived") {
    // The engine may leave a chunk's network size at 0 until the request ends; its decoded
    // size stands in, so that a download that never ends still counts.
    long long bytes = params["encodedDataLength"].integerValue();
    if (bytes <= 0) bytes = params["dataLength"].integerValue();
    countBytes(params["requestId"].stringValue(), bytes, false);
  } else if (method == "Network.loadingFinished") {
    countBytes(params["requestId"].stringValue(), params["encodedDataLength"].integerValue(), true);
  } else if (method == "Network.loadingFailed") {
    bytesByRequest_.erase(params["requestId"].stringValue());
  }
}

// Received chunks count as they come; a finished request's total makes up for chunks that
// were reported without their size.
void PageResourceMonitor::countBytes(const std::string& requestId, std::int64_t bytes,
                                     bool finished) {
  if (bytes < 0) bytes = 0;
  auto found = bytesByRequest_.find(requestId);
  std::int64_t counted = found == bytesByRequest_.end() ? 0 : found->second;
  if (finished) {
    if (bytes > counted) bytes_ += bytes - counted;
    if (found != bytesByRequest_.end()) bytesByRequest_.erase(found);
  } else {
    bytes_ += bytes;
    if (found != bytesByRequest_.end()) {
      found->second += bytes;
    } else if (bytesByRequest_.size() < kTrackedRequests) {
      bytesByRequest_.emplace(requestId, bytes);
    }
  }
  check();
}

void PageResourceMonitor::check() {
  if (exceeded_) return;
  std::string limit;
  const Duration inWindow =
      samples_.empty() ? Duration::zero() : processorTotal_ - samples_.front().total;
  // The engine counts a task's time once it ends, and answers the page's readings between its
  // tasks: a script that never ends is seen only as a reading that does not come, for as long
  // as the window's share of real time.
  const bool unanswered =
      readingPending_ && RunLoop::main().hostNow() - readingAskedAt_ > limits_.processorInWindow;
  if (inWindow > limits_.processorInWindow || unanswered) {
    limit = "processor time " + secondsText(limits_.processorInWindow) + " s in " +
            secondsText(limits_.processorWindow) + " s";
  } else if (processorTotal_ > limits_.processorInAll) {
    limit = "processor time " + secondsText(limits_.processorInAll) + " s in all";
  } else if (bytes_ > limits_.networkBytes) {
    limit = "network " + std::to_string(limits_.networkBytes) + " bytes";
  } else if (memory_ > limits_.memoryBytes) {
    limit = "memory " + std::to_string(limits_.memoryBytes) + " bytes";
  } else {
    return;
  }
  exceeded_ = true;
  // Told on a later pass: this runs inside the page's events and replies.
  RunLoop::main().post(documentWeak_.bind([limit](PageResourceMonitor& self) {
    if (self.onExceeded_) self.onExceeded_(limit);
  }));
}

}  // namespace platform
