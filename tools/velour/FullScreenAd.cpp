#include "tools/velour/FullScreenAd.h"

#include <cmath>

#include "ads/core/ZUVFullScreenAd.h"
#include "app/BannerPlacement.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Window.h"
#include "tools/velour/Console.h"
#include "tools/velour/Refusal.h"
#include "vozave/RequestError.h"

namespace velour {

platform::Result<void> FullScreenAd::load(const char* adUnitID) {
  const std::string one = kind_ == Kind::Rewarded ? "a rewarded ad" : "an interstitial";
  if (stage_ == Stage::Loading) return refused(one + " is loading already");
  if (stage_ == Stage::Showing) return refused(one + " is on the screen already");
  auto window = platform::Window::keyWindow();
  if (!window || !window->rootViewController()) {
    return refused("there is no window on the screen");
  }
  earned_ = false;
  if (kind_ == Kind::Rewarded) {
    makeRewarded(adUnitID);
  } else {
    makeInterstitial(adUnitID);
  }
  stage_ = Stage::Loading;
  if (kind_ == Kind::Rewarded) {
    rewarded_->loadRequest(ZUVRequest::request());
  } else {
    interstitial_->loadRequest(ZUVRequest::request());
  }
  if (auto ad = core(); ad && ad->controller()) logConsoleOf(*ad->controller()->webView());
  return {};
}

// The ads own their delegates' calls; they run while the ads live, so `this` (which owns them)
// is there.
void FullScreenAd::makeRewarded(const char* adUnitID) {
  rewarded_ = ZUVRewardedAd::create(adUnitID);
  rewardedDelegate_ = std::make_shared<ZUVRewardedAdDelegate>();
  auto& d = *rewardedDelegate_;
  d.rewardedAdDidReceiveAd = [this](ZUVRewardedAd&) { arrived(); };
  d.rewardedAdDidFailToReceiveAdWithError = [this](ZUVRewardedAd&, const platform::Error& e) {
    failed(e);
  };
  d.rewardedAdVideoDidStart = [this](ZUVRewardedAd&) { videoEvent("started"); };
  d.rewardedAdVideoDidReachQuartile = [this](ZUVRewardedAd&, int quartile) {
    videoEvent("reached quartile " + std::to_string(quartile));
  };
  d.rewardedAdVideoDidComplete = [this](ZUVRewardedAd&) { videoEvent("completed"); };
  d.rewardedAdVideoWasSkipped = [this](ZUVRewardedAd&) { videoEvent("was skipped"); };
  d.rewardedAdDidDismissScreen = [this](ZUVRewardedAd&) { closed(); };
  d.rewardedAdDidEarnReward = [this](ZUVRewardedAd&, const ZUVAdReward& r) { earned(r); };
  rewarded_->setDelegate(rewardedDelegate_);
}

void FullScreenAd::makeInterstitial(const char* adUnitID) {
  interstitial_ = ZUVInterstitialAd::create(adUnitID);
  interstitialDelegate_ = std::make_shared<ZUVInterstitialAdDelegate>();
  auto& d = *interstitialDelegate_;
  d.interstitialDidReceiveAd = [this](ZUVInterstitialAd&) { arrived(); };
  d.interstitialDidFailToReceiveAdWithError = [this](ZUVInterstitialAd&, const platform::Error& e) {
    failed(e);
  };
  d.interstitialVideoDidStart = [this](ZUVInterstitialAd&) { videoEvent("started"); };
  d.interstitialVideoDidReachQuartile = [this](ZUVInterstitialAd&, int quartile) {
    videoEvent("reached quartile " + std::to_string(quartile));
  };
  d.interstitialVideoDidComplete = [this](ZUVInterstitialAd&) { videoEvent("completed"); };
  d.interstitialVideoWasSkipped = [this](ZUVInterstitialAd&) { videoEvent("was skipped"); };
  d.interstitialDidDismissScreen = [this](ZUVInterstitialAd&) { closed(); };
  interstitial_->setDelegate(interstitialDelegate_);
}

std::shared_ptr<ZUVFullScreenAd> FullScreenAd::core() const {
  if (kind_ == Kind::Rewarded) return rewarded_ ? ZUVFullScreenAd::of(rewarded_.get()) : nullptr;
  return interstitial_ ? ZUVFullScreenAd::of(interstitial_.get()) : nullptr;
}

void FullScreenAd::arrived() {
  if (stage_ != Stage::Loading) return;
  auto window = platform::Window::keyWindow();
  auto root = window ? window->rootViewController() : nullptr;
  auto shown = kind_ == Kind::Rewarded ? rewarded_->presentFromRootViewController(root)
                                       : interstitial_->presentFromRootViewController(root);
  if (!shown) {
    stage_ = Stage::Refused;
    refusal_ = shown.error().localizedDescription();
    return;
  }
  stage_ = Stage::Showing;
}

void FullScreenAd::failed(const platform::Error& error) {
  if (stage_ != Stage::Loading) return;
  stage_ = Stage::Failed;
  error_ = error.code;
  const platform::Value* vast = error.userInfo.find(kZUVErrorVastCodeKey);
  vastError_ = vast ? static_cast<long>(vast->doubleValue()) : 0;
}

// A line a script can wait for.
void FullScreenAd::videoEvent(const std::string& what) {
  platform::log(std::string("velour: the ") + name() + " video " + what);
}

// The hidden page stays until the next ad, so that what it prints as it closes still reaches
// the log.
void FullScreenAd::closed() {
  if (stage_ == Stage::Showing) stage_ = Stage::Closed;
}

void FullScreenAd::earned(const ZUVAdReward& reward) {
  earned_ = true;
  platform::log("velour: the rewarded ad earned " + std::to_string(reward.amount) + " " +
                reward.type);
}

std::string FullScreenAd::rewardText() const {
  auto reward = rewarded_ ? rewarded_->reward() : std::nullopt;
  if (!reward || reward->type.empty()) return "no reward named";
  return "reward " + std::to_string(reward->amount) + " " + reward->type;
}

ZUVObjectPrivate* FullScreenAd::showing() const {
  auto ad = stage_ == Stage::Showing || stage_ == Stage::Closed ? core() : nullptr;
  return ad ? ad->controller() : nullptr;
}

ZUVMraidController* FullScreenAd::mraid() const {
  auto* controller = showing();
  return controller ? controller->mraid() : nullptr;
}

std::optional<std::string> FullScreenAd::countdownTitle() const {
  if (stage_ != Stage::Showing || kind_ != Kind::Rewarded || earned_) return std::nullopt;
  auto ad = core();
  auto* countdown = ad ? ad->countdown() : nullptr;
  if (!countdown || !countdown->countdownControl()) return std::nullopt;
  return countdown->countdownControl()->title();
}

void FullScreenAd::print(std::ostream& out) const {
  if (stage_ == Stage::None) return;
  out << name() << ": ";
  switch (stage_) {
    case Stage::None:
      return;
    case Stage::Loading:
      out << "loading\n";
      return;
    case Stage::Showing: {
      auto ad = core();
      auto base = ad && ad->controller() ? ad->controller()->adHTMLBaseURL() : std::nullopt;
      if (const ZUVVastReadyAd* video =
              ad && ad->controller() ? ad->controller()->video() : nullptr) {
        out << "showing video " << platform::text::singleLine(video->media.file.url);
      } else {
        out << "showing " << (base ? base->absoluteString() : "(no page)");
      }
      if (kind_ == Kind::Rewarded) {
        auto left = static_cast<long>(std::ceil(rewarded_->remainingWatchTime().count()));
        out << ", " << rewardText()
            << (earned_ ? std::string(" earned") : " in " + std::to_string(left) + " s");
      }
      out << "\n";
      return;
    }
    case Stage::Failed:
      out << "failed " << error_;
      if (vastError_ != 0) out << " (VAST error " << vastError_ << ")";
      out << "\n";
      return;
    case Stage::Refused:
      out << "refused: " << refusal_ << "\n";
      return;
    case Stage::Closed:
      out << "closed";
      if (kind_ == Kind::Rewarded)
        out << ", " << (earned_ ? rewardText() + " earned" : "no reward");
      out << "\n";
      return;
  }
}

}  // namespace velour
