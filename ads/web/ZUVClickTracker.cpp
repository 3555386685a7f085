#include "ads/web/ZUVClickTracker.h"

#include "ads/support/ZUVErrorDomain.h"
#include "ads/support/ZUVStatistics.h"

ZUVClickTracker::BackgroundTasks ZUVClickTracker::applicationBackgroundTasks() {
  return {[](std::function<void()> expiryHandler) {
            return platform::Application::shared()->beginBackgroundTaskWithExpirationHandler(
                std::move(expiryHandler));
          },
          [](platform::BackgroundTaskIdentifier task) {
            platform::Application::shared()->endBackgroundTask(task);
          }};
}

ZUVClickTracker::BackgroundTasks& ZUVClickTracker::backgroundTasks() {
  static BackgroundTasks tasks = applicationBackgroundTasks();
  return tasks;
}

std::shared_ptr<ZUVClickTracker> ZUVClickTracker::create() {
  return std::shared_ptr<ZUVClickTracker>(new ZUVClickTracker());
}

ZUVClickTracker::~ZUVClickTracker() {
  reset();
}

std::optional<platform::URL> ZUVClickTracker::trackingURL() const {
  if (!tracker_) return std::nullopt;
  return tracker_->httpDestinationURL();
}

void ZUVClickTracker::trackURL(const std::optional<platform::URL>& url) {
  if (!url) return;
  reset();
  beginBackgroundTask();
  // Held here too: a fetch that cannot start reports at once, and its delegate may reset us.
  auto file = ZUVCachedFile::create(weak_from_this(), *url);
  tracker_ = file;
  file->validate();
}

void ZUVClickTracker::reset() {
  hasTracked_ = false;
  if (tracker_) {
    tracker_->setDelegate({});
    tracker_->invalidate();
    tracker_.reset();
  }
  endBackgroundTask();
}

std::optional<platform::Error> ZUVClickTracker::cachedFileShouldRedirectToURL(
    ZUVCachedFile& file, const platform::URL& url) {
  if (url.isHTTPOrHTTPS()) return std::nullopt;
  // Reaching an application's link is the tracking's goal; the failure that stopping the
  // fetch brings is then ignored.
  cachedFileDownloadDidEnd(file);
  return platform::Error{kZUVErrorDomain, 0, {}};
}

void ZUVClickTracker::cachedFileDownloadDidEnd(ZUVCachedFile& file) {
  if (hasTracked_) return;
  hasTracked_ = true;
  ZUVStatistics::sharedStatistics().addClickTrackingURL(file.sourceURL());
  auto tracking = tracker_;
  auto delegate = delegate_.lock();
  if (delegate && delegate->trackerDidRedirect) delegate->trackerDidRedirect(*this, trackingURL());
  endBackgroundTaskOfTracking(tracking);
}

void ZUVClickTracker::cachedFileDownloadDidFail(ZUVCachedFile&,
                                                const std::optional<platform::Error>& error) {
  if (hasTracked_) return;
  hasTracked_ = true;
  auto tracking = tracker_;
  auto delegate = delegate_.lock();
  if (delegate && delegate->trackerDidFailWithError) {
    delegate->trackerDidFailWithError(*this, error);
  }
  endBackgroundTaskOfTracking(tracking);
}

void ZUVClickTracker::endBackgroundTaskOfTracking(const std::shared_ptr<ZUVCachedFile>& tracking) {
  // A delegate that reset or restarted the tracker from its callback has ended this tracking's
  // task already; the new tracking's task is not ours to end.
  if (tracker_ == tracking) endBackgroundTask();
}

void ZUVClickTracker::beginBackgroundTask() {
  auto& tasks = backgroundTasks();
  if (!tasks.begin) {
    ++trackingCount_;
    return;
  }
  backgroundTaskID_ = tasks.begin(weakFactory_.bind([](ZUVClickTracker& self) { self.reset(); }));
}

void ZUVClickTracker::endBackgroundTask() {
  auto& tasks = backgroundTasks();
  if (backgroundTaskID_ != platform::kBackgroundTaskInvalid) {
    // Without a way to end it, the task stays ours.
    if (tasks.end) {
      tasks.end(backgroundTaskID_);
      backgroundTaskID_ = platform::kBackgroundTaskInvalid;
    }
    return;
  }
  // The count is lowered by any tracker without a task, whether or not it counted itself.
  if (trackingCount_ > 0) --trackingCount_;
}
