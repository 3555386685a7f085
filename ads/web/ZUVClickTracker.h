#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "ads/support/ZUVCachedFile.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/ui/Application.h"

class ZUVClickTracker;

// What a click tracker reports; each message is optional and only the ones set are sent.
struct ZUVClickTrackerDelegate {
  // The tracking ended successfully; the URL is where the redirects got to.
  std::function<void(ZUVClickTracker& tracker, const std::optional<platform::URL>& trackingURL)>
      trackerDidRedirect;
  // The tracking failed; the cached file's error may be absent.
  std::function<void(ZUVClickTracker& tracker, const std::optional<platform::Error>& error)>
      trackerDidFailWithError;
};

// Follows one tracking URL through its HTTP redirects without showing anything, keeping the
// application running in the background meanwhile. A redirect to a URL that is not a web URL
// (an application store link) ends the tracking successfully. Main thread only.
class ZUVClickTracker : public ZUVCachedFileDelegate,
                        public std::enable_shared_from_this<ZUVClickTracker> {
 public:
  // The platform's background tasks; either operation may be missing, as on systems that have
  // none. Process-wide; by default the shared application's.
  struct BackgroundTasks {
    std::function<platform::BackgroundTaskIdentifier(std::function<void()> expiryHandler)> begin;
    std::function<void(platform::BackgroundTaskIdentifier task)> end;
  };
  static BackgroundTasks& backgroundTasks();
  static BackgroundTasks applicationBackgroundTasks();

  static std::shared_ptr<ZUVClickTracker> create();
  ~ZUVClickTracker() override;
  ZUVClickTracker(const ZUVClickTracker&) = delete;
  ZUVClickTracker& operator=(const ZUVClickTracker&) = delete;

  // Trackings begun without background tasks are counted here; the opener reads it before it
  // leaves the application.
  static bool activeTrackings() { return trackingCount_ != 0; }
  static std::uint32_t trackingCount() { return trackingCount_; }

  std::shared_ptr<ZUVClickTrackerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<ZUVClickTrackerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  bool hasTracked() const { return hasTracked_; }
  // Where the redirects have got to; null without a tracking.
  std::optional<platform::URL> trackingURL() const;

  // Stops any tracking without report and follows `url`; null does nothing.
  void trackURL(const std::optional<platform::URL>& url);
  // Stops the current tracking, if any, without report.
  void reset();

  void cachedFileDownloadDidEnd(ZUVCachedFile& file) override;
  void cachedFileDownloadDidFail(ZUVCachedFile& file,
                                 const std::optional<platform::Error>& error) override;
  std::optional<platform::Error> cachedFileShouldRedirectToURL(ZUVCachedFile& file,
                                                               const platform::URL& url) override;

 private:
  ZUVClickTracker() = default;
  void beginBackgroundTask();
  void endBackgroundTask();
  void endBackgroundTaskOfTracking(const std::shared_ptr<ZUVCachedFile>& tracking);

  static inline std::uint32_t trackingCount_ = 0;

  std::weak_ptr<ZUVClickTrackerDelegate> delegate_;
  std::shared_ptr<ZUVCachedFile> tracker_;
  bool hasTracked_ = false;
  platform::BackgroundTaskIdentifier backgroundTaskID_ = platform::kBackgroundTaskInvalid;
  platform::WeakFactory<ZUVClickTracker> weakFactory_{this};
};
