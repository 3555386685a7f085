#include "ads/core/ZUVBannerView.h"

#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVPrivateUtilities.h"
#include "platform/foundation/Log.h"

std::shared_ptr<ZUVBannerView> ZUVBannerView::create(const platform::Rect& frame) {
  auto banner = std::make_shared<ZUVBannerView>(frame);
  banner->commonInitializer();
  return banner;
}

ZUVBannerView::ZUVBannerView(const platform::Rect& frame) : View(frame) {}

void ZUVBannerView::awakeFromNib() {
  if (!ZUVBannerController(*this)) commonInitializer();
}

void ZUVBannerView::commonInitializer() {
  setBackgroundColor("clear");
  ZUVPrivateUtilities::setPrivateObjectForKey(ZUVObjectPrivate::createWithView(self()), this);
}

ZUVBannerView::~ZUVBannerView() {
  if (auto controller = ZUVBannerController(*this)) controller->cancelPendingActions();
  ZUVPrivateUtilities::removePrivateObjectForKey(this);
}

std::shared_ptr<ZUVObjectPrivate> ZUVBannerController(const ZUVBannerView& banner) {
  return std::static_pointer_cast<ZUVObjectPrivate>(
      ZUVPrivateUtilities::privateObjectForKey(&banner));
}

std::string ZUVBannerView::adUnitID() const {
  auto controller = ZUVBannerController(*this);
  return controller ? controller->adUnitID() : std::string();
}

void ZUVBannerView::setAdUnitID(std::string adUnitID) {
  if (auto controller = ZUVBannerController(*this)) controller->setAdUnitID(std::move(adUnitID));
}

std::shared_ptr<platform::ViewController> ZUVBannerView::rootViewController() const {
  auto controller = ZUVBannerController(*this);
  return controller ? controller->rootViewController() : nullptr;
}

void ZUVBannerView::setRootViewController(std::weak_ptr<platform::ViewController> rootController) {
  if (auto controller = ZUVBannerController(*this))
    controller->setRootViewController(std::move(rootController));
}

std::shared_ptr<ZUVBannerViewDelegate> ZUVBannerView::delegate() const {
  auto controller = ZUVBannerController(*this);
  if (!controller) return nullptr;
  auto container = controller->delegateManager()->publisherDelegateContainer();
  return container ? container->delegate() : nullptr;
}

void ZUVBannerView::setDelegate(const std::shared_ptr<ZUVBannerViewDelegate>& delegate) {
  if (auto controller = ZUVBannerController(*this)) {
    controller->delegateManager()->addDelegateForObject(
        delegate, std::static_pointer_cast<platform::View>(weak_from_this().lock()));
  }
}

bool ZUVBannerView::hasAutoRefreshed() const {
  auto controller = ZUVBannerController(*this);
  return controller && controller->hasAutoRefreshed();
}

bool ZUVBannerView::viewableRefresh() const {
  auto controller = ZUVBannerController(*this);
  return controller && controller->refresh().viewableRefresh();
}

void ZUVBannerView::setViewableRefresh(bool on) {
  if (auto controller = ZUVBannerController(*this)) controller->refresh().setViewableRefresh(on);
}

void ZUVBannerView::setRefreshInterval(double seconds) {
  if (auto controller = ZUVBannerController(*this)) {
    controller->refresh().setApplicationInterval(seconds);
  }
}

void ZUVBannerView::stopAutomaticRefresh() {
  if (auto controller = ZUVBannerController(*this))
    controller->refresh().setStoppedByApplication(true);
}

void ZUVBannerView::resumeAutomaticRefresh() {
  if (auto controller = ZUVBannerController(*this)) {
    controller->refresh().setStoppedByApplication(false);
  }
}

bool ZUVBannerView::sendsTrackingURLsAtImpression() const {
  auto controller = ZUVBannerController(*this);
  return controller && controller->firesTrackingURLsAtImpression();
}

void ZUVBannerView::setSendsTrackingURLsAtImpression(bool on) {
  if (auto controller = ZUVBannerController(*this))
    controller->setFiresTrackingURLsAtImpression(on);
}

void ZUVBannerView::loadRequest(const std::shared_ptr<ZUVRequest>& request) {
  auto controller = ZUVBannerController(*this);
  if (!controller) return;
  if (!controller->rootViewController()) {
    platform::log(
        "<Vozave> Must set the rootViewController property of ZUVBannerView before calling "
        "loadRequest:",
        platform::LogLevel::Error);
    controller->delegateManager()->didFailToReceiveAdWithError(
        ZUVRequestErrorWithReason(kZUVErrorInvalidRequest, request.get(),
                                  "the banner has no root view controller", adUnitID()));
    return;
  }
  controller->loadRequest(request);
}
