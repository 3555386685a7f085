#include "ads/vast/ZUVVastTracker.h"

#include <algorithm>
#include <memory>

#include "ads/vast/ZUVVastMacros.h"
#include "ads/web/ZUVClickTracker.h"
#include "platform/foundation/RunLoop.h"

namespace {

// The reason a verification did not run: the phone has no measurement library.
constexpr int kVerificationNotSupported = 2;

// Fetches in flight, kept past the ad that fired them until each ends (a tracking server that
// never answers is ended by the fetch's own time-out).
struct Beacons {
  std::set<std::shared_ptr<ZUVClickTracker>> inFlight;
  std::shared_ptr<ZUVClickTrackerDelegate> delegate = std::make_shared<ZUVClickTrackerDelegate>();
  platform::Registration cleanup;

  Beacons() {
    auto later = [this] {
      cleanup = platform::RunLoop::main().performAfterDelay(platform::Duration::zero(), [this] {
        std::erase_if(inFlight, [](const auto& tracker) { return tracker->hasTracked(); });
      });
    };
    delegate->trackerDidRedirect = [later](auto&, const auto&) { later(); };
    delegate->trackerDidFailWithError = [later](auto&, const auto&) { later(); };
  }
};

void sendBeacon(const std::string& text) {
  static Beacons& beacons = *new Beacons();
  auto url = platform::URL::parse(text);
  if (!url || !url->isHTTPOrHTTPS()) return;
  auto tracker = ZUVClickTracker::create();
  tracker->setDelegate(beacons.delegate);
  tracker->trackURL(*url);
  beacons.inFlight.insert(std::move(tracker));
}

}  // namespace

ZUVVastTracker::ZUVVastTracker(ZUVVastAd ad, std::string assetURI, Sender sender)
    : ad_(std::move(ad)), assetURI_(std::move(assetURI)), sender_(std::move(sender)) {
  if (!sender_) sender_ = sendBeacon;
}

void ZUVVastTracker::playheadAt(double seconds, double duration) {
  if (ended_ || seconds < 0) return;
  const bool first = !playhead_;
  playhead_ = seconds;
  if (first) firstFrame();
  if (duration <= 0) return;
  static constexpr struct {
    double share;
    const char* event;
  } kQuartiles[] = {{0.25, "firstQuartile"}, {0.5, "midpoint"}, {0.75, "thirdQuartile"}};
  for (const auto& quartile : kQuartiles) {
    if (seconds >= duration * quartile.share) {
      fireOnce(quartile.event, ad_.trackingURLs(quartile.event));
    }
  }
  for (std::size_t i = 0; i < ad_.tracking.size(); ++i) {
    const ZUVVastTracking& tracking = ad_.tracking[i];
    if (tracking.event != "progress" || !tracking.offset) continue;
    if (seconds < tracking.offset->secondsInto(duration)) continue;
    // Each progress tracking counts on its own, even two at one offset.
    fireOnce("progress " + tracking.offset->description(), {tracking.url}, std::nullopt,
             "progress#" + std::to_string(i));
  }
}

void ZUVVastTracker::firstFrame() {
  fireOnce("impression", ad_.impressionURLs);
  fireOnce("creativeView", ad_.trackingURLs("creativeView"));
  fireOnce("start", ad_.trackingURLs("start"));
  for (const ZUVVastVerification& verification : ad_.verifications) {
    fireOnce("verificationNotExecuted " + verification.vendor, verification.notExecutedURLs,
             kVerificationNotSupported);
  }
}

void ZUVVastTracker::paused() {
  if (ended_ || !playhead_ || paused_) return;
  paused_ = true;
  fire("pause", ad_.trackingURLs("pause"));
}

void ZUVVastTracker::resumed() {
  if (ended_ || !paused_) return;
  paused_ = false;
  fire("resume", ad_.trackingURLs("resume"));
}

void ZUVVastTracker::muted() {
  if (!ended_) fire("mute", ad_.trackingURLs("mute"));
}

void ZUVVastTracker::unmuted() {
  if (!ended_) fire("unmute", ad_.trackingURLs("unmute"));
}

void ZUVVastTracker::clicked() {
  if (!ended_) fire("clickTracking", ad_.clickTrackingURLs);
}

void ZUVVastTracker::skipped() {
  // An ad that has played to its end has nothing left to skip.
  if (ended_ || !playhead_ || once_.contains("complete")) return;
  fireOnce("skip", ad_.trackingURLs("skip"));
  ended_ = true;
}

void ZUVVastTracker::completed() {
  if (ended_ || !playhead_) return;
  fireOnce("complete", ad_.trackingURLs("complete"));
}

void ZUVVastTracker::closed() {
  if (ended_) return;
  fireOnce("closeLinear", ad_.trackingURLs("closeLinear"));
  ended_ = true;
}

void ZUVVastTracker::failed(long code) {
  if (ended_) return;
  ended_ = true;
  fire("error " + std::to_string(code), ad_.errorURLs, std::nullopt, code);
}

void ZUVVastTracker::fireOnce(const std::string& event, const std::vector<std::string>& urls,
                              std::optional<int> reason, const std::string& key) {
  if (!once_.insert(key.empty() ? event : key).second) return;
  fire(event, urls, reason);
}

void ZUVVastTracker::fire(const std::string& event, const std::vector<std::string>& urls,
                          std::optional<int> reason, std::optional<long> errorCode) {
  fired_.push_back(event);
  ZUVVastMacroValues values = ZUVVastMacroValues::current();
  values.adPlayheadSeconds = playhead_;
  values.assetURI = assetURI_;
  values.reason = reason;
  values.errorCode = errorCode;
  for (const std::string& url : urls) sender_(ZUVVastExpandMacros(url, values));
}
