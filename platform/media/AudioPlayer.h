#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/media/Mp4.h"

namespace platform {

// Plays one clip file (an MP4/M4A container) once, on the run loop's time. No sound card is
// needed: playing is a span of loop time that ends on its own or on stop().
class AudioPlayer : public std::enable_shared_from_this<AudioPlayer> {
 public:
  // Null (and `error` filled in when given) for a missing file or one that is not an MP4
  // container with a readable duration.
  static std::shared_ptr<AudioPlayer> createWithContentsOfURL(const URL& url,
                                                              Error* error = nullptr);

  bool play();  // from the current position; logs the clip that plays
  void stop();  // stops and keeps the position, as the platform does
  bool isPlaying() const { return playing_; }
  Duration duration() const { return duration_; }
  Duration currentTime() const;  // the position in the clip
  void setCurrentTime(Duration position);
  const URL& url() const { return url_; }
  // The clip's file name, for logs and the screen.
  std::string clipName() const;

  // The players playing right now, oldest first.
  static std::vector<std::shared_ptr<AudioPlayer>> playingPlayers();

 private:
  // Only createWithContentsOfURL can make the key, so players are always shared-owned (the end
  // timer holds a weak link back).
  struct Key {
    explicit Key() = default;
  };

 public:
  AudioPlayer(Key, URL url, Duration duration);

 private:
  void scheduleEnd();
  void finish();

  URL url_;
  Duration duration_;
  Duration position_{};
  Instant startedAt_;
  bool playing_ = false;
  TimerHandle endTimer_;
};

}  // namespace platform
