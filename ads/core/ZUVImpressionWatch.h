#pragma once

#include <functional>

#include "ads/core/ZUVAdSight.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Time.h"
#include "platform/foundation/WeakFactory.h"

// Counts a shown ad's impressions as display advertising counts them: the impression once its
// page has loaded with at least one pixel of it on screen, the viewable impression once at
// least half of it has been seen for one continuous second while the application is active.
// Each is told once per ad; the ad controller starts it anew with each ad it shows. It follows
// the ad's exposure through the same sight as the viewable refresh, on the run loop's clock, so
// tests run it on the manual clock. Main thread only.
class ZUVImpressionWatch {
 public:
  static constexpr double kViewablePercent = 50;
  static constexpr platform::Duration kViewableTime = platform::seconds(1);

  struct Events {
    std::function<void()> impression;
    std::function<void()> viewableImpression;
  };
  // `active` says whether the application is active (in the foreground, not interrupted).
  ZUVImpressionWatch(ZUVAdSight sight, std::function<bool()> active, Events events);
  ZUVImpressionWatch(const ZUVImpressionWatch&) = delete;
  ZUVImpressionWatch& operator=(const ZUVImpressionWatch&) = delete;

  // A new ad's page has loaded: its impressions are counted from now.
  void adShown();
  // The ad has gone (replaced or unloaded): nothing more is counted for it.
  void adGone();
  bool impressionCounted() const { return impression_; }
  bool viewableImpressionCounted() const { return viewable_; }

 private:
  void look();
  bool seenEnough() const;

  ZUVAdSight sight_;
  std::function<bool()> active_;
  Events events_;
  bool watching_ = false;
  bool impression_ = false;
  bool viewable_ = false;
  platform::Registration watch_;
  platform::TimerHandle viewableTimer_;                   // runs while half the ad is seen
  platform::WeakFactory<ZUVImpressionWatch> weak_{this};  // last: its links die first
};
