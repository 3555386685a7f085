#include "ads/core/ZUVRefreshSchedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "ads/support/ZUVIdentifierUtilities.h"
#include "ads/web/ZUVViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/TimeText.h"
#include "platform/ui/Application.h"

namespace {

// The text's leading decimal number ("30", "-2.5e1x"), as a number reader takes it; 0 without
// one, and a number too large for a double reads as infinity.
double leadingDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t start = i;
  auto digits = [&] {
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  };
  digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits();
  }
  if (i == start || (i == start + 1 && text[start] == '.')) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t mark = i++;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::size_t exponent = i;
    digits();
    if (i == exponent) i = mark;
  }
  // The text is digits, a point and an exponent only by now, so the reader cannot take it
  // for a hexadecimal number, an infinity or a not-a-number; overflow gives HUGE_VAL.
  std::string number(text.substr(start, i - start));
  double value = std::strtod(number.c_str(), nullptr);
  return negative ? -value : value;
}

}  // namespace

ZUVRefreshSchedule::ZUVRefreshSchedule(std::function<void()> due, ZUVAdSight sight)
    : due_(std::move(due)), sight_(std::move(sight)) {
  observeApplication();
}

void ZUVRefreshSchedule::observeApplication() {
  auto& center = platform::NotificationCenter::defaultCenter();
  auto on = [&](const char* name, auto action) {
    applicationObservers_.push_back(center.addObserver(name, nullptr, weakFactory_.bind(action)));
  };
  bool multitasking = ZUVIdentifierUtilities::isOSAtLeastMajorMinorBug(4, 0, 0);
  on(multitasking ? platform::kApplicationDidEnterBackgroundNotification
                  : platform::kApplicationWillResignActiveNotification,
     [](ZUVRefreshSchedule& self, const platform::Notification&) {
       self.setPauseReason(self.inBackground_, true);
     });
  on(multitasking ? platform::kApplicationWillEnterForegroundNotification
                  : platform::kApplicationDidBecomeActiveNotification,
     [](ZUVRefreshSchedule& self, const platform::Notification&) {
       self.setPauseReason(self.inBackground_, false);
     });
  on(ZUVViewControllerWillPresentFullScreen,
     [](ZUVRefreshSchedule& self, const platform::Notification& note) {
       self.screenChanged(note.object.address(), true);
     });
  on(ZUVViewControllerDidRelinquishFullScreen,
     [](ZUVRefreshSchedule& self, const platform::Notification& note) {
       self.screenChanged(note.object.address(), false);
     });
}

void ZUVRefreshSchedule::screenChanged(const void* screen, bool up) {
  if (up) {
    screensUp_.insert(screen);
    pause();
  } else if (screensUp_.erase(screen) != 0) {
    resume();
  }
}

void ZUVRefreshSchedule::setAdAway(bool away) {
  setPauseReason(adAway_, away);
}

void ZUVRefreshSchedule::setPauseReason(bool& reason, bool on) {
  reason = on;
  if (on) {
    pause();
  } else {
    resume();
  }
}

void ZUVRefreshSchedule::pause() {
  // A pending refresh or retry comes back in full when the pause ends.
  if (timer_.isValid()) dueAfterPause_ = timer_.interval();
  timer_.reset();
}

void ZUVRefreshSchedule::resume() {
  if (isPaused()) return;
  // A refresh that fell due and waits to be seen is still due.
  if (exposureWait_) {
    refreshWhenSeen();
    return;
  }
  const platform::Duration due = std::exchange(dueAfterPause_, platform::Duration::zero());
  if (due != platform::Duration::zero()) {
    arm(due);
  } else {
    restart();
  }
}

void ZUVRefreshSchedule::answered(const std::optional<std::string>& refreshHeader, LoadEnd end) {
  if (refreshHeader && !refreshHeader->empty()) {
    const platform::Duration interval = intervalFromHeader(*refreshHeader);
    intervalFromServer_ = true;
    if (interval != platform::Duration::zero()) interval_ = interval;
    armNextLoad(applicationInterval_.value_or(interval));
  } else if (end == LoadEnd::Failed) {
    loadFailed();
  } else {
    armNextLoad(interval());
  }
}

void ZUVRefreshSchedule::loadFailed() {
  if (hasInterval()) {
    armNextLoad(interval());
    return;
  }
  const platform::Duration delay = kRetryDelays[std::min(retries_, kRetryDelays.size() - 1)];
  ++retries_;
  armNextLoad(delay);
}

void ZUVRefreshSchedule::pageFailed() {
  if (!hasInterval()) loadFailed();
}

void ZUVRefreshSchedule::armNextLoad(platform::Duration delay) {
  loadUnderWay_ = false;
  dueAfterPause_ = platform::Duration::zero();
  if (isPaused()) {
    timer_.reset();
    dueAfterPause_ = delay;
    return;
  }
  arm(delay);
}

platform::Duration ZUVRefreshSchedule::intervalFromHeader(std::string_view value) {
  double seconds = leadingDecimal(value);
  if (!std::isfinite(seconds) || seconds <= 0) return platform::Duration::zero();
  return std::max(platform::seconds(seconds), kMinimumInterval);
}

void ZUVRefreshSchedule::start(platform::Duration interval) {
  arm(interval);
  if (interval != platform::Duration::zero()) interval_ = interval;
}

void ZUVRefreshSchedule::arm(platform::Duration interval) {
  timer_.reset();
  exposureWait_.cancel();
  if (interval == platform::Duration::zero()) return;
  timer_ = platform::RunLoop::main().scheduleTimer(
      interval, false,
      weakFactory_.bind([](ZUVRefreshSchedule& self, platform::Timer&) { self.refreshDue(); }));
}

void ZUVRefreshSchedule::refreshDue() {
  timer_.reset();
  if (!viewableRefresh_ || isSeenEnough()) {
    fire();
    return;
  }
  exposureWait_ =
      sight_.watch(weakFactory_.bind([](ZUVRefreshSchedule& self) { self.refreshWhenSeen(); }));
}

void ZUVRefreshSchedule::refreshWhenSeen() {
  if (isPaused() || (viewableRefresh_ && !isSeenEnough())) return;
  exposureWait_.cancel();
  fire();
}

// The owner may let the schedule go while it refreshes: the call runs on a copy.
void ZUVRefreshSchedule::fire() const {
  auto due = due_;
  due();
}

void ZUVRefreshSchedule::setViewableRefresh(bool on) {
  viewableRefresh_ = on;
  if (exposureWait_) refreshWhenSeen();
}

void ZUVRefreshSchedule::loadBegins() {
  loadUnderWay_ = true;
  exposureWait_.cancel();
}

void ZUVRefreshSchedule::setApplicationInterval(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) {
    platform::log("<Vozave> Ignored a refresh interval that is not 0 or more seconds.");
    return;
  }
  platform::Duration interval = platform::seconds(seconds);
  const std::string asked = platform::secondsText(interval);
  if (interval != platform::Duration::zero()) {
    const platform::Duration clamped =
        std::clamp(interval, kMinimumApplicationInterval, kMaximumApplicationInterval);
    if (clamped != interval) {
      platform::log("<Vozave> A refresh interval of " + asked + " s is outside 30 to 120 s; " +
                    platform::secondsText(clamped) + " s is used.");
    }
    interval = clamped;
  }
  applicationInterval_ = interval;
  // Between loads the new interval counts from now; a load under way arms it as it ends.
  if (!loadUnderWay_) armNextLoad(interval);
}

void ZUVRefreshSchedule::stop() {
  exposureWait_.cancel();
  timer_.reset();
}
