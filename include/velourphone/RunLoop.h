#pragma once

/// @file
/// platform::RunLoop, the main thread's loop that delivers every timer, fetch and ad event,
/// its platform::Timer and the handles that end timers, delayed calls and watches when they go.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "velourphone/Export.h"
#include "velourphone/Registration.h"
#include "velourphone/Time.h"
#include "velourphone/Value.h"

namespace platform {

class RunLoop;

// The clock a timer counts on: the loop's (manual in tests and scripts), or the host's.
enum class TimerClock { Loop, Host };

// A timer on the main run loop. The loop keeps it until it is invalidated; a one-shot timer
// invalidates itself when it fires.
class VOZAVE_API Timer : public std::enable_shared_from_this<Timer> {
 public:
  Duration interval() const { return interval_; }  // between fires
  bool repeats() const { return repeats_; }        // false: it fires once
  bool isValid() const { return valid_; }          // false once invalidated
  // Run-loop time at which it fires next.
  Instant fireDate() const { return Instant(due_); }
  void setFireDate(Instant when);  // moves the next fire (pausing, resuming)
  void invalidate();               // it never fires again; the loop lets it go

 private:
  friend class RunLoop;
  Timer(Duration interval, bool repeats, std::function<void(Timer&)> action);

  Duration interval_;
  bool repeats_;
  bool valid_ = true;
  Duration due_{};  // its fire date, from the start of its clock (the loop's or the host's)
  std::uint64_t order_ = 0;
  bool onHostClock_ = false;
  std::function<void(Timer&)> action_;
};

// Owns a scheduled timer: destroying, reassigning or resetting the handle invalidates the
// timer, so an owner needs no teardown code. It may be destroyed inside the timer's own
// callback. Handed out by RunLoop::scheduleTimer; kept as a member by whoever waits.
class VOZAVE_API TimerHandle {
 public:
  TimerHandle() = default;                               // holds no timer
  TimerHandle(TimerHandle&& other) noexcept = default;   // takes the timer; `other` is empty
  TimerHandle& operator=(TimerHandle&& other) noexcept;  // invalidates the timer held before
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  ~TimerHandle();

  // Run-loop time at which the timer fires next; the clock's start for an empty handle.
  Instant fireDate() const;
  void setFireDate(Instant when);  // moves the next fire (pausing, resuming)
  Duration interval() const;       // between fires; zero for an empty handle
  bool repeats() const;            // false: it fires once
  bool isValid() const;            // false once invalidated, fired once, or empty
  explicit operator bool() const { return isValid(); }  // isValid()

  void invalidate();  // the timer never fires again; the handle still answers what it was
  void reset();       // invalidates it and empties the handle

 private:
  friend class RunLoop;
  explicit TimerHandle(std::shared_ptr<Timer> timer) : timer_(std::move(timer)) {}

  std::shared_ptr<Timer> timer_;
};

// Readiness of a watched file descriptor.
enum FdEvent : unsigned { kFdReadable = 1, kFdWritable = 2, kFdError = 4 };

// The one run loop of the main thread: timers, delayed calls, tasks posted from any thread,
// file-descriptor watches and deferred release, all on one clock. The clock is the monotonic
// clock of the host or, for tests and scripted sessions, a manual clock that moves only when
// told to.
class VOZAVE_API RunLoop {
 public:
  using WatchId = std::uint64_t;  // names a descriptor watch

  // The main thread's loop. Never destroyed: whatever a static's destructor calls at exit finds
  // the loop whole.
  static RunLoop& main();

  // The loop's clock (monotonic; the manual clock starts at its origin, Instant{}).
  Instant now() const;
  // The host's monotonic clock whatever the loop's: for a watch over a process that runs in
  // real time (the web engine), which a manual clock must not stop or hurry.
  HostInstant hostNow() const;
  // Time since the device started, as the platform's tick counter gives it: the host's
  // boot-based monotonic clock, or the manual clock plus a fixed time since boot (never zero,
  // so that zero can mean "not taken"). Readings stay comparable across launches of one boot.
  Duration uptime() const;
  // The wall-clock date. On the manual clock it starts from the host's date at the reset and
  // moves with the clock.
  Date currentDate() const;
  // The host's date whatever the loop's clock: for what is compared with the file system's
  // times or recorded by a server. Thread-safe; it needs no loop.
  static Date hostDate();
  bool isMainThread() const;  // whether the caller runs on the loop's thread

  // Cancels every pending timer, delayed call, posted task, descriptor watch and deferred
  // release, and releases their closures now, while everything they may call still exists.
  // Work that a released closure adds as it goes is cancelled in turn. The way out of the
  // application calls it before the process's statics go.
  void cancelAll();

  // Calls `action` after `interval`, and every `interval` after when it repeats, until the
  // handle goes.
  [[nodiscard]] TimerHandle scheduleTimer(Duration interval, bool repeats,
                                          std::function<void(Timer&)> action);

  // Calls `action` once after `delay` unless the registration goes first.
  // On TimerClock::Host the delay is the host's time whatever the loop's clock: for a watch
  // over a process that runs in real time (the web engine), which a manual clock must not
  // stop or hurry.
  [[nodiscard]] Registration performAfterDelay(Duration delay, std::function<void()> action,
                                               TimerClock clock = TimerClock::Loop);

  // Thread-safe: queue a task for the main thread.
  void post(std::function<void()> task);
  // Thread-safe: run the task on the main thread and wait until it has run. On the main
  // thread it runs at once.
  void postAndWait(std::function<void()> task);
  // Calls `callback` with the FdEvent bits that are ready whenever `fd` is ready for `events`,
  // until the registration goes (no more callbacks, not even in this pass). Its id() is the
  // WatchId.
  [[nodiscard]] Registration watchFd(int fd, unsigned events,
                                     std::function<void(unsigned events)> callback);
  void changeWatch(WatchId id, unsigned events);  // the FdEvent bits to wait for from now on

  // Keeps `object` alive until the end of the current pass.
  void releaseLater(std::shared_ptr<const void> object);

  // One pass: posted tasks, ready descriptors (waiting at most `maxWait` of host time for
  // them, and not at all when a timer is due), due timers and delayed calls, the tasks posted
  // meanwhile, then deferred releases. Returns true if any work was done.
  bool runOnce(Duration maxWait = Duration::zero());
  // Runs passes until stop() is called.
  void run();
  void stop();  // run() returns after the current pass
  // Runs passes until `done()` holds or `timeout` of loop time has gone by.
  bool runUntil(const std::function<bool()>& done, Duration timeout);

  // Loop time of the next timer or delayed call; none if there is none.
  std::optional<Instant> nextDueTime() const;

 private:
  friend class Harness;  // the manual clock and the pass timings
  RunLoop();

  // Times one pass for longestPass(): host time from its start to its end, less what it
  // slept in poll() (slept_, a running total).
  class PassClock;
  Duration longestPass_{};
  Duration longestPassProcessor_{};
  Duration slept_{};

  struct Watch {
    int fd;
    unsigned events;
    std::function<void(unsigned)> callback;
  };

  bool runPosted();
  bool fireDue();
  bool pollFds(Duration maxWait);
  void drainReleases();
  void wake();
  std::shared_ptr<Timer> nextTimer() const;
  Duration timeOn(const Timer& timer) const;
  std::optional<Duration> nextHostDelay() const;
  std::shared_ptr<Timer> addTimer(Duration interval, bool repeats,
                                  std::function<void(Timer&)> action,
                                  TimerClock clock = TimerClock::Loop);

  std::thread::id mainThread_;
  bool manual_ = false;
  Instant manualNow_{};
  double manualDateOrigin_ = 0;  // the host's date at the reset, in seconds since 1970
  bool stopped_ = false;
  std::uint64_t nextOrder_ = 1;
  WatchId nextWatch_ = 1;

  std::vector<std::shared_ptr<Timer>> timers_;
  std::map<WatchId, Watch> watches_;
  std::vector<std::shared_ptr<const void>> releases_;

  mutable std::mutex postedMutex_;
  std::vector<std::function<void()>> posted_;
  int wakePipe_[2] = {-1, -1};
};

// Owns any number of delayed calls: each leaves as it runs, and those still waiting are
// cancelled with the owner. For an owner whose calls do not replace one another (one handle
// suits "the newest replaces the older").
class VOZAVE_API DelayedCalls {
 public:
  DelayedCalls() = default;
  DelayedCalls(const DelayedCalls&) = delete;
  DelayedCalls& operator=(const DelayedCalls&) = delete;

  // Calls `action` once after `delay` unless cancelled first.
  void performAfterDelay(Duration delay, std::function<void()> action);
  void cancelAll() { pending_.clear(); }           // none of the waiting calls runs
  bool empty() const { return pending_.empty(); }  // no call is waiting

 private:
  std::map<std::uint64_t, Registration> pending_;
  std::uint64_t next_ = 0;
};

}  // namespace platform
