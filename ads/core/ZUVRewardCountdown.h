#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/Button.h"
#include "vozave/RewardedAd.h"

// A rewarded ad's countdown over its screen: the container's close control stays hidden until
// the ad has been watched for its time, and a countdown takes its place. The time runs only
// while the application is active and no question is asked; a tap on the countdown asks
// whether to close now and lose the reward. The full-screen ad makes one when its rewarded ad
// takes the screen, and reads the server's reward and watch time with the readers below.
// Main thread only.
class ZUVRewardCountdown {
 public:
  static constexpr platform::Duration kTick = platform::seconds(1);
  // The server's watch time is held to these bounds.
  static constexpr platform::Duration kMinimumWatchTime = platform::seconds(5);
  static constexpr platform::Duration kMaximumWatchTime = platform::seconds(120);
  // A larger amount is lowered to this.
  static constexpr std::int64_t kMaximumAmount = 1'000'000;
  static constexpr std::size_t kMaximumTypeBytes = 64;
  static constexpr const char* kRewardHeader = "X-Zede-Reward";
  static constexpr const char* kWatchTimeHeader = "X-Zede-Reward-Time";
  // The buttons' titles, which velour and the tests tap.
  static constexpr const char* kCloseNowTitle = "Close ad";
  static constexpr const char* kKeepWatchingTitle = "Keep watching";

  // The reward header's "<amount> <type>": none, malformed or negative offers nothing
  // ({0, ""}); a huge amount is lowered to the maximum; of a repeated header the first counts.
  // Each of these writes one log line.
  static ZUVAdReward readReward(const std::optional<std::string>& header);
  // The watch-time header's whole seconds, held to the bounds; none or malformed is the default.
  static platform::Duration readWatchTime(const std::optional<std::string>& header);

  // Hides `closeControl` and puts the countdown at its place; `completed` runs once, when the
  // time has been watched, after which the close control shows.
  ZUVRewardCountdown(platform::Duration watchTime, std::shared_ptr<platform::Button> closeControl,
                     std::function<void()> completed);
  ~ZUVRewardCountdown();
  ZUVRewardCountdown(const ZUVRewardCountdown&) = delete;
  ZUVRewardCountdown& operator=(const ZUVRewardCountdown&) = delete;

  platform::Duration remaining() const { return remaining_; }
  bool isComplete() const { return remaining_ <= platform::Duration::zero(); }
  // The question after a tap on the countdown is on the screen.
  bool isAsking() const { return question_ != nullptr; }
  // The ad has gone: the time stops and nothing more is earned.
  void stop();
  // The countdown's control, while it counts.
  const std::shared_ptr<platform::Button>& countdownControl() const { return countdown_; }

 private:
  void tick();
  void ask();
  void keepWatching();
  void closeNow();
  void complete();
  std::string countdownTitle() const;

  platform::Duration remaining_;
  std::shared_ptr<platform::Button> closeControl_;
  std::function<void()> completed_;
  std::shared_ptr<platform::Button> countdown_;
  std::shared_ptr<platform::View> question_;
  std::shared_ptr<platform::Responder> target_;
  platform::TimerHandle ticker_;
  platform::WeakFactory<ZUVRewardCountdown> weak_{this};  // last: its links die first
};
