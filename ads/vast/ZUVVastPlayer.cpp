#include "ads/vast/ZUVVastPlayer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace {

constexpr std::string_view kMessagePrefix = "vozave-video ";
constexpr double kControlHeight = 32, kControlWidth = 96, kInset = 10;

// The page that plays the media: it reports its playhead, its end and its errors on the
// console, and offers the player play, pause and mute.
constexpr const char* kPageScript = R"js(
(function () {
  var v = document.getElementById("v");
  function say(m) { console.info("vozave-video " + m); }
  function time() { say("time " + v.currentTime + " " + (isFinite(v.duration) ? v.duration : 0)); }
  v.muted = true;
  v.addEventListener("playing", time);
  v.addEventListener("timeupdate", time);
  v.addEventListener("ended", function () { say("ended"); });
  v.addEventListener("error", function () {
    say("error " + (v.error ? v.error.code : 0) + " " + v.readyState);
  });
  window.__vozaveVideo = {
    play: function () { var p = v.play(); if (p) p.catch(function () {}); },
    pause: function () { v.pause(); },
    mute: function (on) { v.muted = on; }
  };
})();
)js";

std::optional<double> number(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    out.push_back(text.substr(0, space));
    if (space == std::string_view::npos) break;
    text.remove_prefix(space + 1);
  }
  return out;
}

}  // namespace

std::shared_ptr<ZUVVastPlayer> ZUVVastPlayer::create(ZUVVastAd ad, ZUVVastMediaFile media,
                                                     ZUVVastPlayerCallbacks callbacks,
                                                     ZUVVastTracker::Sender sender) {
  return std::make_shared<ZUVVastPlayer>(std::move(ad), std::move(media), std::move(callbacks),
                                         std::move(sender));
}

ZUVVastPlayer::ZUVVastPlayer(ZUVVastAd ad, ZUVVastMediaFile media, ZUVVastPlayerCallbacks callbacks,
                             ZUVVastTracker::Sender sender)
    : platform::ViewController("ZUVVastPlayer"),
      ad_(std::move(ad)),
      media_(std::move(media)),
      callbacks_(std::move(callbacks)),
      tracker_(ad_, media_.url, std::move(sender)) {
  addAction("learnMore", [this](const auto&) { learnMore(); });
  addAction("skip", [this](const auto&) { skip(); });
  addAction("toggleMute", [this](const auto&) { toggleMute(); });
  addAction("close", [this](const auto&) { close(); });
  auto& center = platform::NotificationCenter::defaultCenter();
  observers_.push_back(
      center.addObserver(platform::kApplicationDidEnterBackgroundNotification, nullptr,
                         weakFactory_.bind([](ZUVVastPlayer& self, const platform::Notification&) {
                           if (self.paused_) return;
                           self.pause();
                           self.pausedForBackground_ = true;
                         })));
  observers_.push_back(
      center.addObserver(platform::kApplicationWillEnterForegroundNotification, nullptr,
                         weakFactory_.bind([](ZUVVastPlayer& self, const platform::Notification&) {
                           if (std::exchange(self.pausedForBackground_, false)) self.resume();
                         })));
}

ZUVVastPlayer::~ZUVVastPlayer() {
  if (webView_) webView_->setConsoleHandler({});
}

double ZUVVastPlayer::duration() const {
  return mediaDuration_ > 0 ? mediaDuration_ : ad_.durationSeconds;
}

std::optional<double> ZUVVastPlayer::skippableAt() const {
  if (!ad_.skipOffset) return std::nullopt;
  return ad_.skipOffset->secondsInto(duration());
}

std::string ZUVVastPlayer::pageHTML() const {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
         "content=\"width=device-width\"><style>html,body{margin:0;height:100%;background:#000;"
         "overflow:hidden}video{width:100%;height:100%;object-fit:contain}</style></head>"
         "<body><video id=\"v\" muted autoplay playsinline preload=\"auto\" src=\"" +
         platform::text::markupEscaped(media_.url) + "\"></video><script>" + kPageScript +
         "</script></body></html>";
}

// The whole screen, status bar and all: the player has no interface resource.
void ZUVVastPlayer::loadView() {
  setView(platform::View::create(platform::Screen::bounds()));
}

void ZUVVastPlayer::viewDidLoad() {
  auto root = view();
  root->setBackgroundColor("black");
  webView_ = platform::WebView::create(root->bounds());
  webView_->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                                platform::kAutoresizingFlexibleHeight);
  webView_->setAllowsInlineMediaPlayback(true);
  webView_->setMediaPlaybackRequiresUserAction(false);
  webView_->setBackgroundColor("black");
  webView_->setConsoleHandler(
      weakFactory_.bind([](ZUVVastPlayer& self, const std::string&, const std::string& text) {
        self.onConsole(text);
      }));
  root->addSubview(webView_);
  buildControls();
  webView_->loadHTMLStringBaseURL(pageHTML(), std::nullopt);
  armStallTimer();
}

void ZUVVastPlayer::viewWillAppear(bool animated) {
  platform::ViewController::viewWillAppear(animated);
  layoutControls();
}

bool ZUVVastPlayer::shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation o) {
  return fittingOrientation(o) == o;
}

void ZUVVastPlayer::didRotateFromInterfaceOrientation(platform::InterfaceOrientation) {
  layoutControls();
}

platform::InterfaceOrientation ZUVVastPlayer::fittingOrientation(
    platform::InterfaceOrientation current) const {
  using platform::InterfaceOrientation;
  if (media_.width <= 0 || media_.height <= 0 || media_.width == media_.height) return current;
  if (media_.width > media_.height) {
    return platform::isLandscape(current) ? current : InterfaceOrientation::LandscapeLeft;
  }
  return platform::isLandscape(current) ? InterfaceOrientation::Portrait : current;
}

void ZUVVastPlayer::viewDidAppear(bool animated) {
  platform::ViewController::viewDidAppear(animated);
  if (pausedForClick_) resume();
}

void ZUVVastPlayer::buildControls() {
  learnMore_ = ad_.clickThroughURL ? addControl(kLearnMore, "learnMore") : nullptr;
  skip_ = ad_.skipOffset ? addControl(kSkip, "skip") : nullptr;
  mute_ = addControl(kUnmute, "toggleMute");
  close_ = addControl(kClose, "close");
  // No early close for a video: the countdown only says how long is left.
  countdown_ = addControl(countdownTitle().c_str(), nullptr);
  layoutControls();
}

std::shared_ptr<platform::Button> ZUVVastPlayer::addControl(const char* title, const char* action) {
  auto button = platform::Button::buttonWithType(platform::ButtonType::RoundedRect);
  button->setTitle(title);
  if (action) {
    button->addTargetActionForControlEvents(self(), action, platform::kControlEventTouchUpInside);
  }
  view()->addSubview(button);
  return button;
}

// Mute at the top left, close (or the reward's countdown, wider for its words) at the top right,
// "Learn more" at the bottom left and "Skip" at the bottom right, clear of the video's middle.
void ZUVVastPlayer::layoutControls() {
  if (!isViewLoaded()) return;
  const platform::Rect bounds = view()->bounds();
  const double right = bounds.size.width - kInset - kControlWidth;
  const double bottom = bounds.size.height - kInset - kControlHeight;
  mute_->setFrame(platform::Rect(kInset, kInset, kControlWidth, kControlHeight));
  mute_->setTitle(muted_ ? kUnmute : kMute);
  mute_->setHidden(done_);
  close_->setFrame(platform::Rect(right, kInset, kControlWidth, kControlHeight));
  close_->setHidden(!isClosable());
  countdown_->setFrame(
      platform::Rect(right - kControlWidth, kInset, 2 * kControlWidth, kControlHeight));
  countdown_->setTitle(countdownTitle());
  countdown_->setHidden(done_ || !awaitsReward());
  if (learnMore_) {
    learnMore_->setFrame(platform::Rect(kInset, bottom, kControlWidth, kControlHeight));
    learnMore_->setHidden(done_);
  }
  if (skip_) {
    skip_->setFrame(platform::Rect(right, bottom, kControlWidth, kControlHeight));
    skip_->setHidden(done_ || ended_ || awaitsReward() || !tracker_.hasStarted() ||
                     position_ < *skippableAt());
  }
}

std::vector<std::string> ZUVVastPlayer::visibleControls() const {
  std::vector<std::string> titles;
  for (const auto& control : {mute_, learnMore_, skip_, close_, countdown_}) {
    if (control && !control->isHidden()) titles.push_back(control->title());
  }
  return titles;
}

bool ZUVVastPlayer::tapControl(std::string_view title) {
  for (const auto& control : {mute_, learnMore_, skip_, close_, countdown_}) {
    if (control && !control->isHidden() && control->title() == title) {
      control->tap();
      return true;
    }
  }
  return false;
}

// --- The page's reports ------------------------------------------------------------------

void ZUVVastPlayer::onConsole(const std::string& text) {
  if (done_ || text.rfind(kMessagePrefix, 0) != 0) return;
  const auto parts = words(std::string_view(text).substr(kMessagePrefix.size()));
  if (parts.size() == 3 && parts[0] == "time") {
    auto seconds = number(parts[1]), length = number(parts[2]);
    if (seconds && length) onTime(*seconds, *length);
  } else if (parts.size() == 1 && parts[0] == "ended") {
    onEnded();
  } else if (parts.size() == 3 && parts[0] == "error") {
    // Nothing of the file could be read: not found; read but not played: a problem with it.
    onFailed(parts[2] == "0" ? kZUVVastMediaNotFound : kZUVVastMediaProblem);
  }
}

void ZUVVastPlayer::onTime(double seconds, double mediaDuration) {
  if (ended_ || seconds < 0) return;
  if (mediaDuration > 0) mediaDuration_ = mediaDuration;
  const bool first = !tracker_.hasStarted();
  const bool advanced = first || seconds > position_;
  position_ = std::min(seconds, duration());
  tracker_.playheadAt(position_, duration());
  if (advanced && !paused_) armStallTimer();
  layoutControls();
  auto keep = self();
  if (first && callbacks_.started) callbacks_.started();
  if (advanced && callbacks_.played) callbacks_.played(position_);
  const int reached = duration() > 0 ? std::min(3, int(position_ / duration() * 4)) : 0;
  while (quartiles_ < reached && !done_) {
    ++quartiles_;
    if (callbacks_.reached) callbacks_.reached(quartiles_);
  }
  rewardIfWatched();
}

void ZUVVastPlayer::onEnded() {
  if (ended_) return;
  onTime(duration(), 0);
  ended_ = true;
  stall_.cancel();
  tracker_.completed();
  layoutControls();
  auto keep = self();
  rewardIfWatched();  // a video shorter than its watch time
  if (callbacks_.completed) callbacks_.completed();
}

void ZUVVastPlayer::onFailed(long code) {
  // An ad played to its end has nothing left to fail.
  if (done_ || ended_) return;
  platform::log("<Vozave> The video ad failed with " + std::to_string(code) + ": " +
                platform::text::singleLine(media_.url));
  tracker_.failed(code);
  finish();
  auto keep = self();
  if (callbacks_.failed) callbacks_.failed(code);
}

void ZUVVastPlayer::setRewardAfter(std::optional<platform::Duration> watchTime) {
  if (rewarded_ || done_) return;
  rewardAfter_ = watchTime;
  layoutControls();
}

// The watch time counts on the playhead, so a pause or the background stands it still.
void ZUVVastPlayer::rewardIfWatched() {
  if (done_ || !awaitsReward() || (!ended_ && position_ < rewardAfter_->count())) return;
  rewarded_ = true;
  layoutControls();
  auto keep = self();
  if (callbacks_.rewarded) callbacks_.rewarded();
}

std::string ZUVVastPlayer::countdownTitle() const {
  const double left = rewardAfter_ ? std::max(0.0, rewardAfter_->count() - position_) : 0;
  return std::string(kRewardIn) + std::to_string(static_cast<long>(std::ceil(left))) + " s";
}

void ZUVVastPlayer::armStallTimer() {
  stall_ = platform::RunLoop::main().performAfterDelay(kStallTimeout,
                                                       weakFactory_.bind([](ZUVVastPlayer& self) {
                                                         if (!self.paused_ && !self.ended_)
                                                           self.onFailed(kZUVVastMediaTimeout);
                                                       }));
}

// --- The controls ------------------------------------------------------------------------

void ZUVVastPlayer::pause() {
  if (done_ || ended_ || paused_) return;
  paused_ = true;
  stall_.cancel();
  runInPage("__vozaveVideo.pause()");
  tracker_.paused();
}

void ZUVVastPlayer::resume() {
  if (done_ || ended_ || !paused_) return;
  paused_ = false;
  pausedForClick_ = false;
  runInPage("__vozaveVideo.play()");
  tracker_.resumed();
  armStallTimer();
}

void ZUVVastPlayer::learnMore() {
  if (done_ || !ad_.clickThroughURL) return;
  pause();
  pausedForClick_ = true;
  tracker_.clicked();
  auto keep = self();
  if (callbacks_.clicked) callbacks_.clicked(*ad_.clickThroughURL);
}

void ZUVVastPlayer::skip() {
  if (done_ || ended_ || awaitsReward() || !skippableAt() || position_ < *skippableAt()) return;
  tracker_.skipped();
  finish();
  auto keep = self();
  if (callbacks_.skipped) callbacks_.skipped();
  if (callbacks_.closed) callbacks_.closed();
}

void ZUVVastPlayer::toggleMute() {
  if (done_) return;
  muted_ = !muted_;
  runInPage(muted_ ? "__vozaveVideo.mute(true)" : "__vozaveVideo.mute(false)");
  if (muted_) {
    tracker_.muted();
  } else {
    tracker_.unmuted();
  }
  layoutControls();
}

void ZUVVastPlayer::close() {
  if (!isClosable()) return;
  tracker_.closed();
  finish();
  auto keep = self();
  if (callbacks_.closed) callbacks_.closed();
}

void ZUVVastPlayer::finish() {
  done_ = true;
  stall_.cancel();
  runInPage("__vozaveVideo.pause()");
  layoutControls();
}

void ZUVVastPlayer::runInPage(std::string_view script) {
  if (webView_)
    webView_->runJavaScript(std::string("window.__vozaveVideo && ") + std::string(script));
}
