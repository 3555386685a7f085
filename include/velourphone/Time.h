#pragma once

/// @file
/// platform::Duration, platform::Instant and platform::HostInstant: what every timer and
/// time-out counts in.

#include <chrono>
#include <ratio>

namespace platform {

// The types every timer, time-out, budget and timing measure counts in: a Duration, an Instant
// on the run loop's clock and a HostInstant on the host's. The run loop hands out instants
// (RunLoop::now(), hostNow()); everyone else adds and compares durations. A Duration holds
// seconds in a double, as the loop always counted: times that come as fractional seconds (a
// refresh header, a page's script) convert without rounding, and a double keeps sub-microsecond
// resolution for years of uptime. A bare number of seconds appears only where a file format or
// the wire carries one: seconds(), milliseconds() and toSeconds() convert there. std::chrono's
// literals (2s, 250ms) convert to a Duration as they are.
using Duration = std::chrono::duration<double>;

// The run loop's clock: manual in tests and scripted sessions, the host's monotonic clock
// otherwise. Read through RunLoop::now() only.
struct LoopClock {
  using rep = double;                                               // seconds in a double
  using period = std::ratio<1>;                                     // of one second
  using duration = Duration;                                        // a span on it
  using time_point = std::chrono::time_point<LoopClock, Duration>;  // an instant on it
  static constexpr bool is_steady = true;                           // it never goes back
};

// The host's monotonic clock, which no manual clock stops: for watches over a process that
// runs in real time (the web engine). Read through RunLoop::hostNow() only.
struct HostClock {
  using rep = double;                                               // seconds in a double
  using period = std::ratio<1>;                                     // of one second
  using duration = Duration;                                        // a span on it
  using time_point = std::chrono::time_point<HostClock, Duration>;  // an instant on it
  static constexpr bool is_steady = true;                           // it never goes back
};

using Instant = LoopClock::time_point;      // a moment on the run loop's clock
using HostInstant = HostClock::time_point;  // a moment on the host's clock

// A Duration of `count` seconds.
constexpr Duration seconds(double count) {
  return Duration(count);
}
// A Duration of `count` milliseconds.
constexpr Duration milliseconds(double count) {
  return Duration(count / 1000);
}
// The duration in seconds.
constexpr double toSeconds(Duration duration) {
  return duration.count();
}
// The duration in milliseconds.
constexpr double toMilliseconds(Duration duration) {
  return duration.count() * 1000;
}

}  // namespace platform
