#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ads/vast/ZUVVastAd.h"

// Fires the tracking URLs of a resolved video ad as it plays. The player tells it where the
// playhead is and what the viewer did; it fires each event's URLs with their macros filled,
// each once where the standard counts once, and never waits for a tracking server's answer.
// The player owns one per ad; main thread only.
class ZUVVastTracker {
 public:
  // Sends one URL, its macros filled; by default over the click tracker's fetch, each fetch
  // kept until it ends even when the tracker has gone.
  using Sender = std::function<void(const std::string& url)>;

  ZUVVastTracker(ZUVVastAd ad, std::string assetURI, Sender sender = {});

  // The playhead is at `seconds` of an ad of `duration` seconds. The first call is the first
  // frame: the impression, creativeView and start; later ones pass quartiles and progress.
  void playheadAt(double seconds, double duration);
  void paused();
  void resumed();
  void muted();
  void unmuted();
  void clicked();
  void skipped();
  void completed();
  void closed();
  // The ad cannot play: its error URLs with `code`, once; nothing is fired after that.
  void failed(long code);

  // The events fired so far, in order ("impression", "start", "progress 2s", ...).
  const std::vector<std::string>& firedEvents() const { return fired_; }
  bool hasStarted() const { return playhead_.has_value(); }

 private:
  // Fires the URLs of `event` unless its `key` (by default the event) was fired before.
  void fireOnce(const std::string& event, const std::vector<std::string>& urls,
                std::optional<int> reason = std::nullopt, const std::string& key = {});
  void fire(const std::string& event, const std::vector<std::string>& urls,
            std::optional<int> reason = std::nullopt, std::optional<long> errorCode = {});
  void firstFrame();

  ZUVVastAd ad_;
  std::string assetURI_;
  Sender sender_;
  std::optional<double> playhead_;
  bool paused_ = false;
  bool ended_ = false;  // failed, skipped or closed: no playback events after it
  std::set<std::string> once_;
  std::vector<std::string> fired_;
};
