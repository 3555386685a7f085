#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ads/core/ZUVDelegateContainer.h"
#include "ads/web/ZUVAdEventReporting.h"

// Turns each ad event into the banner messages, or for a full-screen load the interstitial
// ones, of every registered delegate that implements them, in registration order, on the main
// thread.
class ZUVDelegateManager : public std::enable_shared_from_this<ZUVDelegateManager>,
                           public ZUVAdEventReporting {
 public:
  using Containers = std::vector<std::shared_ptr<ZUVDelegateContainer>>;

  // Never merges: a delegate registered twice is called twice.
  std::shared_ptr<ZUVDelegateContainer> addDelegateForObject(
      const std::shared_ptr<ZUVBannerViewDelegate>& delegate,
      const std::shared_ptr<platform::View>& object);
  void removeDelegate(const ZUVBannerViewDelegate* delegate);
  // The first container registered for that very delegate.
  std::shared_ptr<ZUVDelegateContainer> containerForDelegate(
      const ZUVBannerViewDelegate* delegate) const;
  // The first container that is not internal.
  std::shared_ptr<ZUVDelegateContainer> publisherDelegateContainer() const;
  const Containers& delegateContainers() const { return delegates_; }

  // Which of the two forms of each message is sent: the banner's (the default) or the
  // full-screen ad's.
  void setFullScreen(bool fullScreen) { fullScreen_ = fullScreen; }
  bool isFullScreen() const { return fullScreen_; }

  // Any thread; the caller waits until the main thread has delivered.
  void didReceiveAd();
  void didFailToReceiveAdWithError(const platform::Error& error);
  void willPresentScreen() override;
  void willDismissScreen() override;
  void didDismissScreen() override;
  // Also marks a click being timed as one that left the application.
  void willLeaveApplication() override;
  // Banner messages only: an interstitial has no twins of these.
  void didRecordImpression();
  void didRecordViewableImpression();
  void didRecordClick();

  // Sends each message to every enabled container whose delegate implements it.
  void callActiveSelectorsWithArgument(const std::vector<ZUVBannerViewDelegateMessage>& messages,
                                       const platform::Error* argument);

 private:
  // On the main thread: the messages, then `after`.
  void deliver(const std::vector<ZUVBannerViewDelegateMessage>& messages,
               const platform::Error* argument, const std::function<void()>& after = {});

  // Of a pair of messages, the one of the form being sent.
  ZUVBannerViewDelegateMessage pick(ZUVBannerViewDelegateMessage banner,
                                    ZUVBannerViewDelegateMessage fullScreen) const {
    return fullScreen_ ? fullScreen : banner;
  }

  Containers delegates_;
  bool fullScreen_ = false;
};
