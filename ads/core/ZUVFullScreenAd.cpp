#include "ads/core/ZUVFullScreenAd.h"

#include <algorithm>
#include <utility>

#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVPrivateUtilities.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/TimeText.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

std::shared_ptr<ZUVFullScreenAd> ZUVFullScreenAd::create(Format format, std::string adUnitID) {
  return std::shared_ptr<ZUVFullScreenAd>(new ZUVFullScreenAd(format, std::move(adUnitID)));
}

std::shared_ptr<ZUVFullScreenAd> ZUVFullScreenAd::of(const void* publicAd) {
  return std::static_pointer_cast<ZUVFullScreenAd>(
      ZUVPrivateUtilities::privateObjectForKey(publicAd));
}

ZUVFullScreenAd::ZUVFullScreenAd(Format format, std::string adUnitID)
    : format_(format), adUnitID_(std::move(adUnitID)) {}

ZUVFullScreenAd::~ZUVFullScreenAd() {
  dropController();
}

const char* ZUVFullScreenAd::name() const {
  return format_ == Format::Rewarded ? "rewarded ad" : "interstitial ad";
}

// A delegate may let this ad go from inside a report of the controller or of the countdown:
// what reported goes after this pass.
void ZUVFullScreenAd::dropController() {
  expiry_.reset();
  auto& loop = platform::RunLoop::main();
  if (countdown_) countdown_->stop();
  if (countdown_) loop.releaseLater(std::move(countdown_));
  if (controller_) {
    controller_->cancelPendingActions();
    loop.releaseLater(std::move(controller_));
  }
  if (listener_) loop.releaseLater(std::move(listener_));
  // A player left on the screen could never be closed once its ad has gone.
  if (player_) dismissPlayer();
  if (holder_) loop.releaseLater(std::move(holder_));
}

void ZUVFullScreenAd::loadRequest(const std::shared_ptr<ZUVRequest>& request) {
  if (stage_ == Stage::Showing) {
    platform::log(std::string("<Vozave> The ") + name() +
                  " is on the screen; load the next one once it has gone.");
    return;
  }
  dropController();
  reward_.reset();
  rewardEarned_ = false;
  screensUp_ = 0;
  const platform::Size screen = platform::Screen::applicationFrame().size;
  holder_ = platform::View::create(platform::Rect(0, 0, screen.width, screen.height));
  controller_ = ZUVObjectPrivate::createWithView(holder_);
  controller_->setAdUnitID(adUnitID_);
  controller_->setRefreshes(false);
  listen();
  stage_ = Stage::Loading;
  controller_->loadFullScreenRequest(
      request, format_ == Format::Rewarded ? "rewarded_mb" : "interstitial_mb");
}

void ZUVFullScreenAd::listen() {
  listener_ = std::make_shared<ZUVBannerViewDelegate>();
  listener_->interstitialDidReceiveAd =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&) { self.arrived(); });
  listener_->interstitialDidFailToReceiveAdWithError =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&, const platform::Error& error) {
        self.failed(error);
      });
  listener_->interstitialWillPresentScreen =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&) { self.screenWillPresent(); });
  listener_->interstitialWillDismissScreen =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&) { self.screenWillDismiss(); });
  listener_->interstitialDidDismissScreen =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&) { self.screenDidDismiss(); });
  listener_->interstitialWillLeaveApplication =
      weak_.bind([](ZUVFullScreenAd& self, platform::View&) {
        if (auto call = self.events_.willLeave) call();
      });
  // The impression, viewable impression and click are the controller's own, as for banners.
  auto pass = [this](std::function<void()> ZUVFullScreenAd::Events::*event) {
    return weak_.bind([event](ZUVFullScreenAd& self, platform::View&) {
      if (auto call = self.events_.*event) call();
    });
  };
  listener_->adViewDidRecordImpression = pass(&Events::impression);
  listener_->adViewDidRecordViewableImpression = pass(&Events::viewableImpression);
  listener_->adViewDidRecordClick = pass(&Events::click);
  controller_->delegateManager()->addDelegateForObject(listener_, holder_)->setInternal(true);
}

void ZUVFullScreenAd::arrived() {
  if (stage_ != Stage::Loading) return;
  stage_ = Stage::Ready;
  if (format_ == Format::Rewarded) {
    const auto& headers = controller_->adHTML()->httpHeaders();
    reward_ = ZUVRewardCountdown::readReward(headers.value(ZUVRewardCountdown::kRewardHeader));
    watchTime_ =
        ZUVRewardCountdown::readWatchTime(headers.value(ZUVRewardCountdown::kWatchTimeHeader));
  }
  expiry_ = platform::RunLoop::main().scheduleTimer(
      expiryInterval_, false,
      weak_.bind([](ZUVFullScreenAd& self, platform::Timer&) { self.expire(); }));
  if (auto call = events_.received) call();
}

// A page that fails or unloads itself before it is shown leaves nothing to show; one on the
// screen is closed by the user with the close control.
void ZUVFullScreenAd::failed(const platform::Error& error) {
  if (stage_ != Stage::Loading && stage_ != Stage::Ready) return;
  stage_ = Stage::Failed;
  expiry_.reset();
  if (auto call = events_.failed) call(error);
}

void ZUVFullScreenAd::expire() {
  if (stage_ != Stage::Ready) return;
  stage_ = Stage::Expired;
  platform::log(std::string("<Vozave> The ") + name() + " was not shown within " +
                platform::secondsText(expiryInterval_) +
                " s of its arrival and has expired; load another.");
  dropController();
  if (auto call = events_.expired) call();
}

std::optional<std::string> ZUVFullScreenAd::refusal(
    const std::shared_ptr<platform::ViewController>& from) const {
  switch (stage_) {
    case Stage::Idle:
      return "no ad has been loaded";
    case Stage::Loading:
      return "the ad is still loading";
    case Stage::Failed:
      return "its load failed";
    case Stage::Showing:
      return "it is on the screen already";
    case Stage::Dismissed:
      return "it has been shown once; load another";
    case Stage::Expired:
      return "it has expired; load another";
    case Stage::Ready:
      break;
  }
  if (!from) return "there is no view controller to present it from";
  if (!from->view()->window()) return "the view controller to present it from is in no window";
  if (!controller_->mraid() && !controller_->video()) return "its page has gone";
  return std::nullopt;
}

platform::Result<void> ZUVFullScreenAd::present(
    const std::shared_ptr<platform::ViewController>& from) {
  std::optional<std::string> why = refusal(from);
  if (!why) why = controller_->video() ? presentVideo(from) : presentPage(from);
  if (why) {
    std::string line = std::string("The ") + name() + " was not shown: " + *why + ".";
    platform::log("<Vozave> " + line);
    return platform::Error::make(kZUVErrorDomain, kZUVErrorInvalidRequest, line);
  }
  expiry_.reset();
  if (format_ == Format::Rewarded && !player_) startCountdown();
  return {};
}

std::optional<std::string> ZUVFullScreenAd::presentPage(
    const std::shared_ptr<platform::ViewController>& from) {
  ZUVMraidController* mraid = controller_->mraid();
  controller_->setRootViewController(from);
  mraid->presenter().setViewController(from);
  stage_ = Stage::Showing;
  if (mraid->presentInterstitial()) return std::nullopt;
  stage_ = Stage::Ready;
  screensUp_ = 0;
  return "the phone refused it the screen";
}

// The player is the ad's own screen: its present and dismiss are told here; a browser opened
// from it comes and goes over it, inside the ad, as over the page's screen.
std::optional<std::string> ZUVFullScreenAd::presentVideo(
    const std::shared_ptr<platform::ViewController>& from) {
  const ZUVVastReadyAd& video = *controller_->video();
  auto player = ZUVVastPlayer::create(video.ad, video.media.file, videoCallbacks());
  // A rewarded video earns at its watch time or its end, whichever comes first.
  if (format_ == Format::Rewarded) player->setRewardAfter(watchTime_);
  controller_->setRootViewController(from);
  if (!from->presentModalViewController(player, false)) return "the phone refused it the screen";
  stage_ = Stage::Showing;
  screensUp_ = 1;
  player_ = std::move(player);
  if (auto call = events_.willPresent) call();
  videoViewable_ = false;
  auto app = platform::Application::shared();
  // The video has the whole screen, status bar and all, turned its way.
  statusBarWasHidden_ = app->isStatusBarHidden();
  app->setStatusBarHidden(true);
  orientationBefore_ = app->statusBarOrientation();
  turnVideo(player_->fittingOrientation(*orientationBefore_));
  return std::nullopt;
}

// A browser still over the player goes first: dismissing the player would take down only it.
void ZUVFullScreenAd::dismissPlayer() {
  giveScreenBack();
  std::shared_ptr<ZUVVastPlayer> player = std::move(player_);
  if (auto over = std::dynamic_pointer_cast<ZUVViewController>(player->modalViewController())) {
    over->relinquishScreen();
  }
  if (player->modalViewController()) player->dismissModalViewController(false);
  player->dismissModalViewController(false);
  platform::RunLoop::main().releaseLater(player);
}

// Turned back while the player is still up, so that what comes back comes back upright.
void ZUVFullScreenAd::giveScreenBack() {
  if (orientationBefore_) turnVideo(*std::exchange(orientationBefore_, std::nullopt));
  if (!statusBarWasHidden_) platform::Application::shared()->setStatusBarHidden(false);
}

void ZUVFullScreenAd::turnVideo(platform::InterfaceOrientation to) {
  auto app = platform::Application::shared();
  if (!player_ || app->statusBarOrientation() == to) return;
  app->setStatusBarOrientation(to);
  player_->rotateToInterfaceOrientation(to, platform::Application::kRotationDuration,
                                        platform::Screen::applicationFrame());
}

ZUVVastPlayerCallbacks ZUVFullScreenAd::videoCallbacks() {
  auto pass = [this](std::function<void()> Events::*event) {
    return weak_.bind([event](ZUVFullScreenAd& self) {
      if (auto call = self.events_.*event) call();
    });
  };
  ZUVVastPlayerCallbacks callbacks;
  callbacks.started = weak_.bind([](ZUVFullScreenAd& self) { self.videoStarted(); });
  callbacks.played =
      weak_.bind([](ZUVFullScreenAd& self, double seconds) { self.videoPlayed(seconds); });
  callbacks.reached = weak_.bind([](ZUVFullScreenAd& self, int quartile) {
    if (auto call = self.events_.videoReachedQuartile) call(quartile);
  });
  callbacks.completed = pass(&Events::videoCompleted);
  callbacks.skipped = pass(&Events::videoSkipped);
  callbacks.clicked =
      weak_.bind([](ZUVFullScreenAd& self, const std::string& url) { self.videoClicked(url); });
  callbacks.closed = weak_.bind([](ZUVFullScreenAd& self) { self.videoDone(); });
  callbacks.rewarded = weak_.bind([](ZUVFullScreenAd& self) { self.earn(); });
  callbacks.failed = weak_.bind([](ZUVFullScreenAd& self, long code) {
    platform::log(std::string("<Vozave> The ") + self.name() + " stopped: VAST error " +
                      std::to_string(code) + ".",
                  platform::LogLevel::Error);
    self.videoDone();
  });
  return callbacks;
}

// The impression is the first frame; the video counts as seen once it has played a while.
void ZUVFullScreenAd::videoStarted() {
  controller_->videoDidRecordImpression();
  if (auto call = events_.videoStarted) call();
}

void ZUVFullScreenAd::videoPlayed(double seconds) {
  if (videoViewable_ || seconds < kVideoViewableSeconds) return;
  videoViewable_ = true;
  controller_->videoDidRecordViewableImpression();
}

void ZUVFullScreenAd::videoClicked(const std::string& url) {
  auto target = platform::URL::parse(url);
  // The player goes on once the browser over it has gone; with none, at once.
  if (target && controller_->followNativeClick(*target, player_) && player_ &&
      player_->modalViewController()) {
    return;
  }
  if (player_) player_->resume();
}

void ZUVFullScreenAd::videoDone() {
  if (stage_ != Stage::Showing || !player_) return;
  if (auto call = events_.willDismiss) call();
  dismissPlayer();
  stage_ = Stage::Dismissed;
  screensUp_ = 0;
  if (auto call = events_.didDismiss) call();
}

void ZUVFullScreenAd::startCountdown() {
  countdown_ = std::make_shared<ZUVRewardCountdown>(
      watchTime_, controller_->mraid()->presenter().closeControl(),
      weak_.bind([](ZUVFullScreenAd& self) { self.earn(); }));
}

void ZUVFullScreenAd::earn() {
  rewardEarned_ = true;
  if (auto call = events_.earned) call(reward_.value_or(ZUVAdReward{}));
}

platform::Duration ZUVFullScreenAd::remainingWatchTime() const {
  if (format_ != Format::Rewarded || rewardEarned_) return platform::Duration::zero();
  if (player_) {
    const platform::Duration played = platform::seconds(player_->position());
    return std::max(platform::Duration::zero(), watchTime_ - played);
  }
  return countdown_ ? countdown_->remaining() : watchTime_;
}

// Only the ad's own screen is passed on: a browser opened over it comes and goes inside it.
void ZUVFullScreenAd::screenWillPresent() {
  if (stage_ != Stage::Showing || ++screensUp_ != 1) return;
  if (auto call = events_.willPresent) call();
}

void ZUVFullScreenAd::screenWillDismiss() {
  if (stage_ != Stage::Showing || screensUp_ != 1) return;
  if (auto call = events_.willDismiss) call();
}

void ZUVFullScreenAd::screenDidDismiss() {
  if (stage_ != Stage::Showing || screensUp_ == 0) return;
  if (--screensUp_ != 0) return;
  stage_ = Stage::Dismissed;
  // The page that closed itself early earns nothing; its scripts stay until the next load, so
  // that what it does as it closes still happens.
  if (countdown_) countdown_->stop();
  if (auto call = events_.didDismiss) call();
}
