#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ads/core/ZUVAdSight.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/WeakFactory.h"

// When a banner's next ad loads. The ad controller owns one, tells it how each load ended and
// when its MRAID ad is away, and hears back only that a refresh is due. The schedule itself
// watches the application going to the background and full screens coming up, and keeps its
// time on the run loop's timers, so tests run it on the manual clock. Main thread only.
class ZUVRefreshSchedule {
 public:
  // Refresh intervals from the server below this are raised to it.
  static constexpr platform::Duration kMinimumInterval = platform::seconds(10);
  // A banner whose server has sent no refresh interval yet tries a failed load again after
  // these delays, in turn, the last one over and over; the first interval sent takes over.
  static constexpr std::array<platform::Duration, 3> kRetryDelays = {
      platform::seconds(30), platform::seconds(60), platform::seconds(120)};
  // The bounds of an interval that the application sets, as current SDKs clamp it.
  static constexpr platform::Duration kMinimumApplicationInterval = platform::seconds(30);
  static constexpr platform::Duration kMaximumApplicationInterval = platform::seconds(120);
  // Viewable refresh: a refresh that falls due while less than this percentage of the banner
  // can be seen waits until that much of it can (no impression for an ad nobody sees).
  static constexpr double kViewableExposure = 50;

  // How the load that is ending went, for the choice of the next load.
  enum class LoadEnd { Served, Failed };

  ZUVRefreshSchedule(std::function<void()> due, ZUVAdSight sight);
  ZUVRefreshSchedule(const ZUVRefreshSchedule&) = delete;
  ZUVRefreshSchedule& operator=(const ZUVRefreshSchedule&) = delete;

  // The pending refresh, if any.
  const platform::TimerHandle& timer() const { return timer_; }
  // What a refresh is armed with when nothing else says: the application's interval if it set
  // one, else the last non-zero interval.
  platform::Duration interval() const { return applicationInterval_.value_or(interval_); }
  // The application's interval takes the place of the server's from now on (0: no refresh); it
  // is clamped to the bounds above with a log line; a negative or non-finite one is ignored with
  // a log line. A refresh that is due or pending counts the new interval from now.
  void setApplicationInterval(double seconds);
  const std::optional<platform::Duration>& applicationInterval() const {
    return applicationInterval_;
  }
  // The application stops the refresh until it resumes it: a pause like the others.
  void setStoppedByApplication(bool stopped) { setPauseReason(stoppedByApplication_, stopped); }
  bool isStoppedByApplication() const { return stoppedByApplication_; }
  // A refresh pauses while the application is in the background, any full screen is up, or
  // the MRAID ad is expanded or resized; a load that ends meanwhile leaves its next load due,
  // armed in full when the last pause ends.
  bool isPaused() const {
    return inBackground_ || !screensUp_.empty() || adAway_ || stoppedByApplication_;
  }
  bool viewableRefresh() const { return viewableRefresh_; }
  void setViewableRefresh(bool on);  // off by default
  // A refresh has fallen due and waits for the banner to be seen.
  bool isWaitingToBeSeen() const { return exposureWait_.isActive(); }

  // Arms a refresh after `interval`, paused or not, and keeps a non-zero one as the interval.
  void start(platform::Duration interval);
  void restart() { arm(interval()); }
  // Drops the pending refresh and the wait to be seen.
  void stop();

  // An ad page's answer came, with its refresh header if it had one: the header's interval
  // ("0" means no refresh), else the last interval; a failure with no interval is retried.
  void answered(const std::optional<std::string>& refreshHeader, LoadEnd end);
  // A load failed: the interval known, else the next retry delay.
  void loadFailed();
  // An ad page failed after its answer armed the interval: only a retry is armed, if due.
  void pageFailed();
  // A load begins: a refresh waiting to be seen is no longer due.
  void loadBegins();
  // The retries start over: the application asked for a load, or an ad page showed.
  void resetRetries() { retries_ = 0; }
  // The MRAID ad went away from its banner (expanded or resized) or came back.
  void setAdAway(bool away);
  // A new ad page replaces the one that was away: that pause ends without arming anything,
  // for the load under way arms what follows.
  void adReplaced() { adAway_ = false; }

  // A refresh header's value as an interval: its leading decimal number of seconds (0 without
  // one), with negative and non-finite values as 0 and positive ones raised to the minimum.
  static platform::Duration intervalFromHeader(std::string_view value);

 private:
  void observeApplication();
  // Each full screen pauses the refresh until that one has given the screen back.
  void screenChanged(const void* screen, bool up);
  void setPauseReason(bool& reason, bool on);
  void pause();
  void resume();
  void armNextLoad(platform::Duration delay);
  void arm(platform::Duration interval);
  void refreshDue();
  void refreshWhenSeen();
  bool isSeenEnough() const { return sight_.percentSeen() >= kViewableExposure; }
  bool hasInterval() const {
    return applicationInterval_ || intervalFromServer_ || interval_ != platform::Duration{};
  }
  void fire() const;

  std::function<void()> due_;
  ZUVAdSight sight_;
  platform::TimerHandle timer_;
  platform::Duration interval_{};
  bool intervalFromServer_ = false;  // a server has sent an interval, 0 ("no refresh") included
  std::size_t retries_ = 0;          // failed loads in a row with no interval known
  bool inBackground_ = false;
  std::set<const void*> screensUp_;  // the full screens up, by controller
  bool adAway_ = false;              // the MRAID ad is expanded or resized
  bool stoppedByApplication_ = false;
  bool loadUnderWay_ = true;  // no load has ended since the last began (or none has begun)
  std::optional<platform::Duration> applicationInterval_;
  platform::Duration dueAfterPause_{};  // the delay of the next load, put off by a pause
  bool viewableRefresh_ = false;
  platform::Registration exposureWait_;  // while a due refresh waits to be seen
  std::vector<platform::Registration> applicationObservers_;
  platform::WeakFactory<ZUVRefreshSchedule> weakFactory_{this};
};
