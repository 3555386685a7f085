#include "ads/core/ZUVDelegateManager.h"

#include <algorithm>

#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/RunLoop.h"

using Message = ZUVBannerViewDelegateMessage;

std::shared_ptr<ZUVDelegateContainer> ZUVDelegateManager::addDelegateForObject(
    const std::shared_ptr<ZUVBannerViewDelegate>& delegate,
    const std::shared_ptr<platform::View>& object) {
  auto container = ZUVDelegateContainer::containerWithDelegateObject(delegate, object);
  delegates_.push_back(container);
  return container;
}

void ZUVDelegateManager::removeDelegate(const ZUVBannerViewDelegate* delegate) {
  auto container = containerForDelegate(delegate);
  if (!container) return;
  delegates_.erase(std::find(delegates_.begin(), delegates_.end(), container));
}

std::shared_ptr<ZUVDelegateContainer> ZUVDelegateManager::containerForDelegate(
    const ZUVBannerViewDelegate* delegate) const {
  if (!delegate) return nullptr;
  for (const auto& container : delegates_) {
    if (container->delegateIdentity() == delegate) return container;
  }
  return nullptr;
}

std::shared_ptr<ZUVDelegateContainer> ZUVDelegateManager::publisherDelegateContainer() const {
  for (const auto& container : delegates_) {
    if (!container->isInternal()) return container;
  }
  return nullptr;
}

void ZUVDelegateManager::deliver(const std::vector<Message>& messages,
                                 const platform::Error* argument,
                                 const std::function<void()>& after) {
  platform::RunLoop& loop = platform::RunLoop::main();
  if (!loop.isMainThread()) {
    // The owner may drop this manager before the main thread gets to the task: the task
    // holds it, so it is destroyed on the main thread once the event has gone out.
    loop.postAndWait([&, self = weak_from_this().lock()] { deliver(messages, argument, after); });
    return;
  }
  // A delegate may destroy the banner, and with it this manager, from inside its callback.
  if (auto self = weak_from_this().lock()) loop.releaseLater(self);
  callActiveSelectorsWithArgument(messages, argument);
  if (after) after();
}

void ZUVDelegateManager::callActiveSelectorsWithArgument(const std::vector<Message>& messages,
                                                         const platform::Error* argument) {
  // Registrations made or removed by a callback count from the next event.
  Containers containers = delegates_;
  for (const auto& container : containers) {
    if (container->isDisabled()) continue;
    for (Message message : messages) {
      auto delegate = container->delegate();
      // A banner that is gone is not handed on as a dangling object.
      auto object = container->object();
      if (!delegate || !object) break;
      if (auto call = ZUVDelegateCall(*delegate, message)) call(*object, argument);
    }
  }
}

void ZUVDelegateManager::didReceiveAd() {
  deliver({pick(Message::adViewDidReceiveAd, Message::interstitialDidReceiveAd)}, nullptr);
}

void ZUVDelegateManager::didFailToReceiveAdWithError(const platform::Error& error) {
  deliver({pick(Message::adViewDidFailToReceiveAdWithError,
                Message::interstitialDidFailToReceiveAdWithError)},
          &error);
}

void ZUVDelegateManager::willPresentScreen() {
  deliver({pick(Message::adViewWillPresentScreen, Message::interstitialWillPresentScreen)},
          nullptr);
}

void ZUVDelegateManager::willDismissScreen() {
  deliver({pick(Message::adViewWillDismissScreen, Message::interstitialWillDismissScreen)},
          nullptr);
}

void ZUVDelegateManager::didDismissScreen() {
  deliver({pick(Message::adViewDidDismissScreen, Message::interstitialDidDismissScreen)}, nullptr);
}

void ZUVDelegateManager::willLeaveApplication() {
  deliver({pick(Message::adViewWillLeaveApplication, Message::interstitialWillLeaveApplication)},
          nullptr, [] {
            ZUVStatistics& statistics = ZUVStatistics::sharedStatistics();
            if (statistics.isTimingClick()) statistics.setClickBackgroundedApp();
          });
}

void ZUVDelegateManager::didRecordImpression() {
  deliver({Message::adViewDidRecordImpression}, nullptr);
}

void ZUVDelegateManager::didRecordViewableImpression() {
  deliver({Message::adViewDidRecordViewableImpression}, nullptr);
}

void ZUVDelegateManager::didRecordClick() {
  deliver({Message::adViewDidRecordClick}, nullptr);
}
