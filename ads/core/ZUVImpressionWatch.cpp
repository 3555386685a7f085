#include "ads/core/ZUVImpressionWatch.h"

#include <utility>

ZUVImpressionWatch::ZUVImpressionWatch(ZUVAdSight sight, std::function<bool()> active,
                                       Events events)
    : sight_(std::move(sight)), active_(std::move(active)), events_(std::move(events)) {}

void ZUVImpressionWatch::adShown() {
  adGone();
  watching_ = true;
  watch_ = sight_.watch(weak_.bind([](ZUVImpressionWatch& self) { self.look(); }));
  look();
}

void ZUVImpressionWatch::adGone() {
  watching_ = impression_ = viewable_ = false;
  watch_.cancel();
  viewableTimer_.reset();
}

bool ZUVImpressionWatch::seenEnough() const {
  return active_() && sight_.percentSeen() >= kViewablePercent;
}

// At every change of what is seen. The events go last: what the application does on them may
// change the screen, and with it this watch.
void ZUVImpressionWatch::look() {
  if (!watching_) return;
  const bool active = active_();
  const double seen = sight_.percentSeen();
  const bool firstPixel = !impression_ && active && seen > 0;
  if (firstPixel) impression_ = true;
  if (viewable_ || !active || seen < kViewablePercent) {
    viewableTimer_.reset();
  } else if (!viewableTimer_) {
    viewableTimer_ = platform::RunLoop::main().scheduleTimer(
        kViewableTime, false, weak_.bind([](ZUVImpressionWatch& self, platform::Timer&) {
          self.viewableTimer_.reset();
          if (!self.watching_ || self.viewable_ || !self.seenEnough()) return;
          self.viewable_ = true;
          self.watch_.cancel();
          if (self.events_.viewableImpression) self.events_.viewableImpression();
        }));
  }
  if (firstPixel && events_.impression) events_.impression();
}
