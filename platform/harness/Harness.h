#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "velourphone/Animation.h"
#include "velourphone/RunLoop.h"
#include "velourphone/Time.h"
#include "velourphone/ViewController.h"

namespace platform {

// The controls that tests, benchmarks and velour's driver have over the phone and that an
// application has no use for: the main run loop's manual clock and pass timings, a fresh
// application object, the animation and presentation logs. Not installed with the SDK; the
// public classes name it only as a friend. Each part is defined beside the class it controls.
class Harness {
 public:
  // The main run loop. Switches between the host's clock and a manual clock; drops all
  // pending work.
  static void resetRunLoop(bool manualClock);
  static bool hasManualClock();  // true after resetRunLoop(true)
  // Manual clock: moves time forward by `span`, firing everything that falls due on the way
  // at its own time, in order. Host clock: runs the loop for that long.
  static void advance(Duration span);
  // Runs passes until `done()` holds or the host's clock reaches `deadline`; a manual clock
  // stands still meanwhile. For drivers waiting on real work (an engine's page, its timers).
  static bool runUntilHostTime(const std::function<bool()>& done, HostInstant deadline);
  // The longest pass since the last reset, in host time: how long one pass held the thread,
  // its sleep waiting for descriptors left out.
  static Duration longestPass();
  // The most processor time the main thread spent in one pass since the last reset: what a
  // pass cost by itself, without the time the host gave other processes meanwhile.
  static Duration longestPassProcessorTime();
  static void resetLongestPass();  // starts both measures anew

  // Releases the shared application and everything the main interface made, the animation
  // and presentation logs with it: a fresh application next time.
  static void resetApplication();

  // Every committed animation, oldest first.
  static const std::vector<AnimationRecord>& animationLog();
  static void clearAnimationLog();  // empties animationLog()
  static void resetAnimations();    // drops any open block and the log (between tests)

  // The latest presentations and dismissals, oldest first, at most kPresentationLogLimit of
  // them (ad pages can open and close screens without end).
  static constexpr std::size_t kPresentationLogLimit = 256;
  static const std::vector<PresentationRecord>& presentationLog();
  static void clearPresentationLog();  // empties presentationLog()
};

}  // namespace platform
