#include "platform/foundation/RunLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <ctime>
#include <future>

#include "platform/harness/Harness.h"

namespace platform {

namespace {

// Repeating timers never fire more often than this, so that a zero interval cannot spin.
constexpr Duration kMinimumRepeatInterval = seconds(0.0001);

// Seconds since 1970: a calendar value, for Date.
double hostDateSeconds() {
  return toSeconds(std::chrono::system_clock::now().time_since_epoch());
}

HostInstant hostClockNow() {
  static const auto origin = std::chrono::steady_clock::now();
  return HostInstant(std::chrono::steady_clock::now() - origin);
}

// Processor time that this thread has used.
Duration threadProcessorTime() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return seconds(static_cast<double>(now.tv_sec)) + seconds(now.tv_nsec * 1e-9);
}

bool firesBefore(const std::shared_ptr<Timer>& a, const std::shared_ptr<Timer>& b,
                 std::uint64_t orderA, std::uint64_t orderB) {
  if (a->fireDate() != b->fireDate()) return a->fireDate() < b->fireDate();
  return orderA < orderB;
}

}  // namespace

Timer::Timer(Duration interval, bool repeats, std::function<void(Timer&)> action)
    : interval_(interval), repeats_(repeats), action_(std::move(action)) {}

void Timer::setFireDate(Instant when) {
  due_ = when.time_since_epoch();
}

void Timer::invalidate() {
  valid_ = false;
  // Moved out first: what the action holds may invalidate this timer again as it goes.
  auto released = std::move(action_);
  action_ = nullptr;
}

TimerHandle& TimerHandle::operator=(TimerHandle&& other) noexcept {
  if (this != &other) {
    reset();
    timer_ = std::move(other.timer_);
  }
  return *this;
}

TimerHandle::~TimerHandle() {
  invalidate();
}

Instant TimerHandle::fireDate() const {
  return timer_ ? timer_->fireDate() : Instant{};
}

void TimerHandle::setFireDate(Instant when) {
  if (timer_) timer_->setFireDate(when);
}

Duration TimerHandle::interval() const {
  return timer_ ? timer_->interval() : Duration::zero();
}

bool TimerHandle::repeats() const {
  return timer_ && timer_->repeats();
}

bool TimerHandle::isValid() const {
  return timer_ && timer_->isValid();
}

void TimerHandle::invalidate() {
  if (timer_) timer_->invalidate();
}

void TimerHandle::reset() {
  invalidate();
  timer_.reset();
}

RunLoop& RunLoop::main() {
  static auto* loop = new RunLoop();
  return *loop;
}

RunLoop::RunLoop() : mainThread_(std::this_thread::get_id()) {
  if (::pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
    wakePipe_[0] = wakePipe_[1] = -1;
  }
}

Instant RunLoop::now() const {
  return manual_ ? manualNow_ : Instant(hostClockNow().time_since_epoch());
}

HostInstant RunLoop::hostNow() const {
  return hostClockNow();
}

Duration RunLoop::uptime() const {
  constexpr Duration kManualTimeSinceBoot = seconds(1000);
  if (manual_) return kManualTimeSinceBoot + manualNow_.time_since_epoch();
  return std::chrono::steady_clock::now().time_since_epoch();
}

Date RunLoop::hostDate() {
  return Date{hostDateSeconds()};
}

Date RunLoop::currentDate() const {
  return Date{manual_ ? manualDateOrigin_ + toSeconds(manualNow_.time_since_epoch())
                      : hostDateSeconds()};
}

bool RunLoop::isMainThread() const {
  return std::this_thread::get_id() == mainThread_;
}

void Harness::resetRunLoop(bool manualClock) {
  RunLoop& loop = RunLoop::main();
  loop.cancelAll();
  loop.manual_ = manualClock;
  loop.manualDateOrigin_ = hostDateSeconds();
  loop.manualNow_ = Instant{};
  loop.stopped_ = false;
  loop.mainThread_ = std::this_thread::get_id();
}

bool Harness::hasManualClock() {
  return RunLoop::main().manual_;
}

void RunLoop::cancelAll() {
  // The tables are emptied before anything is released: a closure's destruction may call back
  // into the loop (a web view that closes its page re-arms a watch) and must find it whole.
  // A closure whose destruction always adds more work cannot hold the way out for ever.
  constexpr int kMaxRounds = 100;
  for (int round = 0; round < kMaxRounds; ++round) {
    std::vector<std::shared_ptr<Timer>> timers;
    timers.swap(timers_);
    std::map<WatchId, Watch> watches;
    watches.swap(watches_);
    std::vector<std::shared_ptr<const void>> releases;
    releases.swap(releases_);
    std::vector<std::function<void()>> posted;
    {
      std::lock_guard lock(postedMutex_);
      posted.swap(posted_);
    }
    if (timers.empty() && watches.empty() && releases.empty() && posted.empty()) return;
    for (auto& timer : timers) timer->invalidate();
  }
}

TimerHandle RunLoop::scheduleTimer(Duration interval, bool repeats,
                                   std::function<void(Timer&)> action) {
  return TimerHandle(addTimer(interval, repeats, std::move(action)));
}

std::shared_ptr<Timer> RunLoop::addTimer(Duration interval, bool repeats,
                                         std::function<void(Timer&)> action, TimerClock clock) {
  if (interval < Duration::zero()) interval = Duration::zero();
  if (repeats && interval < kMinimumRepeatInterval) interval = kMinimumRepeatInterval;
  std::shared_ptr<Timer> timer(new Timer(interval, repeats, std::move(action)));
  timer->onHostClock_ = clock == TimerClock::Host;
  timer->due_ = timeOn(*timer) + interval;
  timer->order_ = nextOrder_++;
  timers_.push_back(timer);
  return timer;
}

Registration RunLoop::performAfterDelay(Duration delay, std::function<void()> action,
                                        TimerClock clock) {
  auto timer = addTimer(
      delay, false, [action = std::move(action)](Timer&) { action(); }, clock);
  std::weak_ptr<Timer> weak = timer;
  return Registration(timer->order_, [weak] {
    if (auto timer = weak.lock()) timer->invalidate();
  });
}

void RunLoop::post(std::function<void()> task) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
  }
  wake();
}

void RunLoop::postAndWait(std::function<void()> task) {
  if (isMainThread()) {
    task();
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  post([task = std::move(task), done] {
    task();
    done->set_value();
  });
  finished.wait();
}

Registration RunLoop::watchFd(int fd, unsigned events,
                              std::function<void(unsigned events)> callback) {
  WatchId id = nextWatch_++;
  watches_[id] = Watch{fd, events, std::move(callback)};
  return Registration(id, [this, id] { watches_.erase(id); });
}

void RunLoop::changeWatch(WatchId id, unsigned events) {
  auto it = watches_.find(id);
  if (it != watches_.end()) it->second.events = events;
}

void RunLoop::releaseLater(std::shared_ptr<const void> object) {
  if (object) releases_.push_back(std::move(object));
}

void RunLoop::wake() {
  if (wakePipe_[1] < 0) return;
  char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(wakePipe_[1], &byte, 1);
}

bool RunLoop::runPosted() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard lock(postedMutex_);
    tasks.swap(posted_);
  }
  for (auto& task : tasks) task();
  return !tasks.empty();
}

// Where the timer's clock stands, from that clock's start: what its due_ counts from.
Duration RunLoop::timeOn(const Timer& timer) const {
  return timer.onHostClock_ ? hostNow().time_since_epoch() : now().time_since_epoch();
}

// Host time until the first timer on the host's clock falls due, if there is one.
std::optional<Duration> RunLoop::nextHostDelay() const {
  std::optional<Duration> delay;
  for (const auto& timer : timers_) {
    if (!timer->isValid() || !timer->onHostClock_) continue;
    const Duration left = std::max(Duration::zero(), timer->due_ - timeOn(*timer));
    if (!delay || left < *delay) delay = left;
  }
  return delay;
}

std::shared_ptr<Timer> RunLoop::nextTimer() const {
  std::shared_ptr<Timer> best;
  for (const auto& timer : timers_) {
    // The manual clock does not move the host's.
    if (!timer->isValid() || (manual_ && timer->onHostClock_)) continue;
    if (!best || firesBefore(timer, best, timer->order_, best->order_)) best = timer;
  }
  return best;
}

std::optional<Instant> RunLoop::nextDueTime() const {
  auto timer = nextTimer();
  if (!timer) return std::nullopt;
  return timer->fireDate();
}

bool RunLoop::fireDue() {
  std::vector<std::shared_ptr<Timer>> due;
  for (const auto& timer : timers_) {
    if (timer->isValid() && timer->due_ <= timeOn(*timer)) due.push_back(timer);
  }
  std::sort(due.begin(), due.end(),
            [](const auto& a, const auto& b) { return firesBefore(a, b, a->order_, b->order_); });
  for (auto& timer : due) {
    const Duration current = timeOn(*timer);
    if (!timer->isValid() || timer->due_ > current) continue;
    auto action = timer->action_;
    if (timer->repeats()) {
      // A repeating timer that fell behind skips the fires it missed.
      Duration next = timer->due_ + timer->interval();
      if (next <= current) {
        double missed = std::floor((current - timer->due_) / timer->interval());
        next = timer->due_ + (missed + 1) * timer->interval();
      }
      timer->due_ = next;
    } else {
      timer->invalidate();
    }
    if (action) action(*timer);
  }
  std::erase_if(timers_, [](const auto& timer) { return !timer->isValid(); });
  return !due.empty();
}

// Reads the host clock when a pass starts and ends, and around a poll() that may sleep: a
// sleep dwarfs the cost of the reads.
class RunLoop::PassClock {
 public:
  explicit PassClock(RunLoop& loop)
      : loop_(loop),
        start_(hostClockNow()),
        slept_(loop.slept_),
        processorStart_(threadProcessorTime()) {}
  ~PassClock() {
    const Duration held = hostClockNow() - start_ - (loop_.slept_ - slept_);
    loop_.longestPass_ = std::max(loop_.longestPass_, held);
    loop_.longestPassProcessor_ =
        std::max(loop_.longestPassProcessor_, threadProcessorTime() - processorStart_);
  }
  PassClock(const PassClock&) = delete;
  PassClock& operator=(const PassClock&) = delete;

  // poll(), adding the time it may sleep to `slept`.
  static int poll(pollfd* fds, nfds_t count, int timeoutMs, Duration& slept) {
    if (timeoutMs == 0) return ::poll(fds, count, 0);
    const HostInstant start = hostClockNow();
    int ready = ::poll(fds, count, timeoutMs);
    slept += hostClockNow() - start;
    return ready;
  }

 private:
  RunLoop& loop_;
  const HostInstant start_;
  const Duration slept_;
  const Duration processorStart_;
};

bool RunLoop::pollFds(Duration maxWait) {
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  if (wakePipe_[0] >= 0) {
    fds.push_back({wakePipe_[0], POLLIN, 0});
    ids.push_back(0);
  }
  for (const auto& [id, watch] : watches_) {
    short events = 0;
    if (watch.events & kFdReadable) events |= POLLIN;
    if (watch.events & kFdWritable) events |= POLLOUT;
    fds.push_back({watch.fd, events, 0});
    ids.push_back(id);
  }
  int timeoutMs =
      maxWait <= Duration::zero() ? 0 : static_cast<int>(std::ceil(toMilliseconds(maxWait)));
  int ready = PassClock::poll(fds.data(), fds.size(), timeoutMs, slept_);
  if (ready <= 0) return false;
  bool did = false;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    if (ids[i] == 0) {
      char buffer[64];
      while (::read(wakePipe_[0], buffer, sizeof buffer) > 0) {
      }
      continue;
    }
    auto it = watches_.find(ids[i]);
    if (it == watches_.end()) continue;  // removed by an earlier callback of this pass
    unsigned events = 0;
    if (fds[i].revents & POLLIN) events |= kFdReadable;
    if (fds[i].revents & POLLOUT) events |= kFdWritable;
    if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) events |= kFdError;
    auto callback = it->second.callback;
    callback(events);
    did = true;
  }
  return did;
}

void RunLoop::drainReleases() {
  while (!releases_.empty()) {
    std::vector<std::shared_ptr<const void>> releasing;
    releasing.swap(releases_);
  }
}

bool RunLoop::runOnce(Duration maxWait) {
  PassClock clock(*this);
  bool did = runPosted();
  Duration wait = did ? Duration::zero() : maxWait;
  {
    std::lock_guard lock(postedMutex_);
    if (!posted_.empty()) wait = Duration::zero();
  }
  if (const auto next = nextDueTime()) {
    if (*next <= now()) wait = Duration::zero();
    if (!manual_) wait = std::min(wait, std::max(Duration::zero(), *next - now()));
  }
  if (const auto hostDelay = nextHostDelay()) wait = std::min(wait, *hostDelay);
  // Descriptors before timers: an answer that has arrived wins over a time-out that falls
  // due in the same pass.
  did |= pollFds(wait);
  did |= fireDue();
  did |= runPosted();
  drainReleases();
  return did;
}

void RunLoop::run() {
  stopped_ = false;
  while (!stopped_) runOnce(seconds(1));
}

void RunLoop::stop() {
  stopped_ = true;
}

void Harness::advance(Duration span) {
  RunLoop& loop = RunLoop::main();
  if (span < Duration::zero()) span = Duration::zero();
  if (!loop.manual_) {
    const Instant deadline = loop.now() + span;
    while (!loop.stopped_ && loop.now() < deadline) loop.runOnce(deadline - loop.now());
    return;
  }
  const Instant target = loop.manualNow_ + span;
  for (;;) {
    loop.runOnce();
    const auto next = loop.nextDueTime();
    if (!next || *next > target) break;
    loop.manualNow_ = std::max(loop.manualNow_, *next);
  }
  loop.manualNow_ = target;
  loop.runOnce();
}

bool RunLoop::runUntil(const std::function<bool()>& done, Duration timeout) {
  constexpr Duration kLongestWait = milliseconds(50);
  const Instant deadline = now() + timeout;
  const HostInstant hostDeadline = hostNow() + timeout;
  while (!done()) {
    if (!manual_) {
      if (now() >= deadline) return false;
      runOnce(std::min(kLongestWait, deadline - now()));
      continue;
    }
    if (runOnce()) {
      // Work that never ends (a task that posts itself) cannot hold the caller for ever.
      if (hostNow() >= hostDeadline) return false;
      continue;
    }
    const auto next = nextDueTime();
    if (next && *next <= deadline) {
      manualNow_ = std::max(manualNow_, *next);
      continue;
    }
    // Nothing is due on the manual clock: only outside events (descriptors, posts) can
    // help, and those get the same span of host time.
    if (hostNow() >= hostDeadline) return false;
    runOnce(std::min(kLongestWait, hostDeadline - hostNow()));
  }
  return true;
}

bool Harness::runUntilHostTime(const std::function<bool()>& done, HostInstant deadline) {
  constexpr Duration kLongestWait = milliseconds(20);
  RunLoop& loop = RunLoop::main();
  while (!done()) {
    const HostInstant current = loop.hostNow();
    if (current >= deadline) return false;
    loop.runOnce(std::min(kLongestWait, deadline - current));
  }
  return true;
}

Duration Harness::longestPass() {
  return RunLoop::main().longestPass_;
}

Duration Harness::longestPassProcessorTime() {
  return RunLoop::main().longestPassProcessor_;
}

void Harness::resetLongestPass() {
  RunLoop& loop = RunLoop::main();
  loop.longestPass_ = Duration::zero();
  loop.longestPassProcessor_ = Duration::zero();
}

void DelayedCalls::performAfterDelay(Duration delay, std::function<void()> action) {
  const std::uint64_t id = ++next_;
  pending_[id] = RunLoop::main().performAfterDelay(delay, [this, id, action = std::move(action)] {
    // The registration goes first: the action may add calls or clear the set.
    pending_.erase(id);
    action();
  });
}

}  // namespace platform
