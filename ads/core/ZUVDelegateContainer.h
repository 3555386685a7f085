#pragma once

#include <memory>

#include "ads/core/ZUVBannerViewDelegate.h"

// The delegate's implementation of `message` as one call (the error is given to the failure
// messages only); empty when the delegate does not implement it.
std::function<void(platform::View&, const platform::Error*)> ZUVDelegateCall(
    const ZUVBannerViewDelegate& delegate, ZUVBannerViewDelegateMessage message);

// One registered delegate with the banner on whose behalf it is called. Neither is retained.
class ZUVDelegateContainer {
 public:
  static std::shared_ptr<ZUVDelegateContainer> containerWithDelegateObject(
      const std::shared_ptr<ZUVBannerViewDelegate>& delegate,
      const std::shared_ptr<platform::View>& object);

  // True when the delegate is still there and implements `message`.
  bool didYouNilOutYourDelegate(ZUVBannerViewDelegateMessage message) const;

  std::shared_ptr<ZUVBannerViewDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<ZUVBannerViewDelegate>& delegate) { delegate_ = delegate; }
  std::shared_ptr<platform::View> object() const { return object_.lock(); }
  void setObject(const std::shared_ptr<platform::View>& object) { object_ = object; }
  // Identity of the delegate given at registration, for lookups after it has gone.
  const ZUVBannerViewDelegate* delegateIdentity() const { return delegateIdentity_; }

  bool isDisabled() const { return disabled_; }
  void setDisabled(bool disabled) { disabled_ = disabled; }
  // Added by the client for itself; not the publisher's.
  bool isInternal() const { return internal_; }
  void setInternal(bool internal) { internal_ = internal; }

 private:
  std::weak_ptr<ZUVBannerViewDelegate> delegate_;
  std::weak_ptr<platform::View> object_;
  const ZUVBannerViewDelegate* delegateIdentity_ = nullptr;
  bool disabled_ = false;
  bool internal_ = false;
};
