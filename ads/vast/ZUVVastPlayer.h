#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/vast/ZUVVastAd.h"
#include "ads/vast/ZUVVastTracker.h"
#include "ads/web/ZUVViewController.h"
#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"
#include "platform/web/WebView.h"

// What the owner of a video player hears; each one is optional.
struct ZUVVastPlayerCallbacks {
  std::function<void()> started;               // the first frame is on the screen
  std::function<void(double seconds)> played;  // the playhead has moved on to `seconds`
  std::function<void(int quartile)> reached;   // 1, 2, 3: a quarter, half, three quarters
  std::function<void()> completed;             // played to its end
  std::function<void()> skipped;               // the user skipped it; `closed` follows
  // The user tapped "Learn more": the owner opens `url` through its click path; the video
  // waits paused until resume().
  std::function<void(const std::string& url)> clicked;
  std::function<void()> closed;           // the player is done and may be dismissed
  std::function<void(long code)> failed;  // a VAST error code; the player is done
  // A rewarded player's watch time has been played, or the video ended before it; once.
  std::function<void()> rewarded;
};

// Plays a resolved linear ad's chosen media file full screen, in an engine page of its own
// (muted autoplay), with native controls over it: "Learn more", "Skip" once the skip offset
// has passed, mute and unmute, and "Close" after the end. A rewarded player (setRewardAfter)
// shows a countdown where "Close" will be, and neither "Skip" nor "Close" until the reward. The
// page reports its playhead on the console; the player fires the tracking through its
// ZUVVastTracker. The full-screen video formats make one per ad and present it; main thread
// only; made with create().
class ZUVVastPlayer : public platform::ViewController, public ZUVAdScreen {
 public:
  // Without a new frame for this long while it should play, the ad fails with 402.
  static constexpr platform::Duration kStallTimeout = platform::seconds(8);
  static constexpr const char* kLearnMore = "Learn more";
  static constexpr const char* kSkip = "Skip";
  static constexpr const char* kMute = "Mute";
  static constexpr const char* kUnmute = "Unmute";
  static constexpr const char* kClose = "Close";
  // The start of the countdown's title, "Reward in N s".
  static constexpr std::string_view kRewardIn = "Reward in ";

  static std::shared_ptr<ZUVVastPlayer> create(ZUVVastAd ad, ZUVVastMediaFile media,
                                               ZUVVastPlayerCallbacks callbacks,
                                               ZUVVastTracker::Sender sender = {});
  ~ZUVVastPlayer() override;

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  // Back from the click-through's browser: the video goes on.
  void viewDidAppear(bool animated) override;
  // The interface turns to fit the video: either landscape for a video wider than tall, either
  // portrait for one taller than wide, any way for one of unknown shape.
  bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation o) override;
  void didRotateFromInterfaceOrientation(platform::InterfaceOrientation from) override;
  // The way to turn to from `current` to fit the video.
  platform::InterfaceOrientation fittingOrientation(platform::InterfaceOrientation current) const;

  // Makes this a rewarded player: it rewards once `watchTime` of the video has played (or at
  // the end of a shorter one; at the first frame for no time) and closes only after that. Set
  // before presenting.
  void setRewardAfter(std::optional<platform::Duration> watchTime);
  std::optional<platform::Duration> rewardAfter() const { return rewardAfter_; }
  bool hasRewarded() const { return rewarded_; }

  void pause();
  void resume();  // after a click-through, or the application's return
  // Taps the visible control titled `title`; false when there is none.
  [[nodiscard]] bool tapControl(std::string_view title);

  double position() const { return position_; }
  double duration() const;
  bool isMuted() const { return muted_; }
  // When the skip control shows; none for an ad that is not skippable.
  std::optional<double> skippableAt() const;
  bool isClosable() const { return (ended_ || rewarded_) && !done_; }
  // The titles of the controls that show now, left to right.
  std::vector<std::string> visibleControls() const;
  const ZUVVastTracker& tracker() const { return tracker_; }
  platform::WebView* webView() const { return webView_.get(); }

  ZUVVastPlayer(ZUVVastAd ad, ZUVVastMediaFile media, ZUVVastPlayerCallbacks callbacks,
                ZUVVastTracker::Sender sender);

 private:
  std::string pageHTML() const;
  void buildControls();
  std::shared_ptr<platform::Button> addControl(const char* title, const char* action);
  void layoutControls();
  void onConsole(const std::string& text);
  void onTime(double seconds, double mediaDuration);
  void onEnded();
  void onFailed(long code);
  bool awaitsReward() const { return rewardAfter_ && !rewarded_; }
  void rewardIfWatched();
  std::string countdownTitle() const;
  void learnMore();
  void skip();
  void toggleMute();
  void close();
  void armStallTimer();
  void finish();
  void runInPage(std::string_view script);

  ZUVVastAd ad_;
  ZUVVastMediaFile media_;
  ZUVVastPlayerCallbacks callbacks_;
  ZUVVastTracker tracker_;
  std::shared_ptr<platform::WebView> webView_;
  std::shared_ptr<platform::Button> learnMore_, skip_, mute_, close_, countdown_;
  std::optional<platform::Duration> rewardAfter_;
  double position_ = 0;
  double mediaDuration_ = 0;  // 0: the media did not say
  int quartiles_ = 0;
  bool muted_ = true;
  bool paused_ = false;
  bool ended_ = false;
  bool rewarded_ = false;
  bool done_ = false;
  bool pausedForBackground_ = false;
  bool pausedForClick_ = false;
  platform::Registration stall_;
  std::vector<platform::Registration> observers_;
  platform::WeakFactory<ZUVVastPlayer> weakFactory_{this};
};
