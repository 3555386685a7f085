// The ad controller's video ads: a full-screen answer that is a VAST document is made ready to
// play here, and its player's native "Learn more" comes back through the click path.
#include "ads/core/ZUVBannerWebViewDelegate.h"
#include "ads/core/ZUVObjectPrivate.h"
#include "ads/core/ZUVRequestError.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVUserActivationGate.h"
#include "platform/foundation/Log.h"

// The wrappers' fetches are the ad page's still: the load stays in FetchingAdPage until the
// video is ready.
void ZUVObjectPrivate::loadVideo(std::string_view document, std::string source) {
  videoLoad_ = std::make_unique<ZUVVastLoad>();
  videoLoad_->start(
      document, std::move(source), ZUVVastMediaContext::current(),
      forThisLoad([](ZUVObjectPrivate& self, const platform::Result<ZUVVastReadyAd>& ready) {
        self.videoLoaded(ready);
      }));
}

void ZUVObjectPrivate::videoLoaded(const platform::Result<ZUVVastReadyAd>& ready) {
  // What reported may be let go inside the report: it goes after this pass.
  platform::RunLoop::main().releaseLater(std::shared_ptr<ZUVVastLoad>(std::move(videoLoad_)));
  if (!ready) {
    const platform::Error& vast = ready.error();
    changeState(State::LoadFailed);
    const long code = vast.code == kZUVVastWrapperTimeout ? kZUVErrorTimeout : kZUVErrorNoFill;
    platform::Error error = ZUVRequestErrorWithReason(code, request_.get(),
                                                      "the video ad cannot play (VAST error " +
                                                          std::to_string(vast.code) +
                                                          "): " + vast.localizedDescription(),
                                                      adUnitID_);
    error.userInfo.set(kZUVErrorVastCodeKey, vast.code);
    delegateManager_->didFailToReceiveAdWithError(error);
    adPageDidFail();
    return;
  }
  video_ = *ready;
  changeState(State::ShowingAd);
  adPageDidFinish();
  reportReceived();
}

bool ZUVObjectPrivate::followNativeClick(const platform::URL& url,
                                         const std::shared_ptr<platform::ViewController>& from) {
  if (!url.isHTTPOrHTTPS() || ZUVUserActivationGate::isForbiddenTarget(url)) {
    webViewDelegate_->gate()->refuse("a click-through", url, "to a page that is not on the web");
    return false;
  }
  ZUVOpener& opener = webViewDelegate_->opener();
  opener.setDelegateManager(delegateManager_);
  opener.setViewController(from);
  opener.setReferringURL(std::nullopt);
  opener.openBrowserToURLSupportedOrientations(ZUVStatistics::sharedStatistics().urlForClick(url),
                                               kZUVOrientationsAny);
  ++clicks_;
  delegateManager_->didRecordClick();
  return true;
}
