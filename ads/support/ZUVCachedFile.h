#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "ads/support/ZUVHTTPDateFormatter.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URL.h"
#include "platform/net/URLConnection.h"

class ZUVCachedFile;

// The outcome of a cached file's fetch. Every operation is sent without asking first.
class ZUVCachedFileDelegate {
 public:
  virtual ~ZUVCachedFileDelegate() = default;
  // The file on disk is current: freshly written, or confirmed by a 304 reply.
  virtual void cachedFileDownloadDidEnd(ZUVCachedFile& file) = 0;
  // The fetch ended without a current file; the error may be absent.
  virtual void cachedFileDownloadDidFail(ZUVCachedFile& file,
                                         const std::optional<platform::Error>& error) = 0;
  // Before each redirect: no error lets it go on; an error stops the fetch, and the same error
  // then comes back through cachedFileDownloadDidFail.
  virtual std::optional<platform::Error> cachedFileShouldRedirectToURL(
      ZUVCachedFile& file, const platform::URL& url) = 0;
};

// One HTTP resource kept as a file of the user's caches folder between runs, revalidated with
// conditional requests: the file's modification time goes out as "If-Modified-Since" and is
// set from the reply's "Last-Modified".
class ZUVCachedFile : public platform::URLConnectionDelegate,
                      public std::enable_shared_from_this<ZUVCachedFile> {
 public:
  // A copy is used only up to this size unless the maker says otherwise: generous for a script.
  static constexpr std::size_t kMaxContentBytes = 1 << 20;

  // initWithDelegate:URL:, with the most that a copy of this kind may hold. No input or output
  // happens.
  static std::shared_ptr<ZUVCachedFile> create(std::weak_ptr<ZUVCachedFileDelegate> delegate,
                                               const platform::URL& url,
                                               std::size_t maxContentBytes = kMaxContentBytes);
  ~ZUVCachedFile() override;
  ZUVCachedFile(const ZUVCachedFile&) = delete;
  ZUVCachedFile& operator=(const ZUVCachedFile&) = delete;

  std::shared_ptr<ZUVCachedFileDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(std::weak_ptr<ZUVCachedFileDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  const platform::URL& sourceURL() const { return sourceURL_; }
  std::size_t maxContentBytes() const { return maxContentBytes_; }
  // The URL of the last request sent: after redirects, the final one.
  const platform::URL& httpDestinationURL() const { return httpDestinationURL_; }
  std::int32_t httpStatusCode() const { return httpStatusCode_; }
  // The last reply's header fields; names are looked up in any case.
  const platform::HTTPHeaderFields& httpHeaders() const { return httpHeaders_; }

  // <caches>/<host>/<hash of the URL's text in hex>; null without a caches folder, or for a
  // URL that is not cacheable.
  std::optional<std::string> filePath();
  // Only an http or https URL with a host has a copy; any other is refused before a fetch.
  static bool isCacheable(const platform::URL& url);
  // The file that a host's folder holds when cached files made it: a folder without it is
  // someone else's, and nothing in it is ever removed as a leftover copy.
  static constexpr const char* kFolderMarker = ".vozave-cache";
  [[nodiscard]] static bool isOwnFolder(const std::string& folder);
  // The copy as UTF-8 text, read and checked once per call. Null when there is none or it is
  // refused: a copy that is not a regular file inside the caches folder, is larger than
  // maxContentBytes() or is not UTF-8 is removed, with one log line saying why, so that the next
  // fetch asks without a condition. Inside cachedFileDownloadDidEnd after a "not modified"
  // reply it is the copy that the reply confirmed, as it was checked then.
  std::optional<std::string> content();
  // The usable copy's modification time as an HTTP date, a time ahead of the clock read as
  // now; null without a usable copy.
  std::optional<std::string> fileModificationDate();
  static ZUVHTTPDateFormatter formatterForHTTPDate() { return {}; }
  std::string description();

  // Start a fetch unless one is running.
  void validate();
  void validateWithCacheBuster();
  // Starts a fetch; one under way is cancelled first, without a delegate operation.
  void beginFetchWithCacheBuster(bool cacheBuster);
  // Ends a running fetch without a delegate operation.
  void cancel();
  // Cancels, then removes the file.
  void invalidate();
  bool isFetching() const { return connection_ != nullptr; }

  // The text of "Last-Modified" before its first "GMT" (ending with the blank before it), the
  // whole value when it has none; null without the field.
  static std::optional<std::string> modificationDateFromLastModified(
      const std::optional<std::string>& lastModified);
  // The 32-bit hash that names the file, the same for the same text in every run.
  static std::uint32_t hashOfURLText(std::string_view text);

  // The connection's callbacks.
  platform::URLRequest connectionWillSendRequest(
      platform::URLConnection& connection, const platform::URLRequest& request,
      const platform::HTTPURLResponse* redirectResponse) override;
  void connectionDidReceiveResponse(platform::URLConnection& connection,
                                    const platform::HTTPURLResponse& response) override;
  void connectionDidReceiveData(platform::URLConnection& connection,
                                std::span<const std::uint8_t> data) override;
  void connectionDidFinishLoading(platform::URLConnection& connection) override;
  void connectionDidFailWithError(platform::URLConnection& connection,
                                  const platform::Error& error) override;

 private:
  ZUVCachedFile(std::weak_ptr<ZUVCachedFileDelegate> delegate, const platform::URL& url,
                std::size_t maxContentBytes);
  void failTooLarge();
  // Makes the host's folder, marked as made here, unless something stands in its place.
  static void makeFolder(const std::string& folder);
  void saveHeadersFromResponse(const platform::HTTPURLResponse& response);
  void cleanUpConnection();
  void reportFailure(const std::optional<platform::Error>& error);
  // `confirmedCopy`, when given, is what content() answers while the delegate hears.
  void reportEnd(std::optional<std::string> confirmedCopy = std::nullopt);
  bool isCurrent(const platform::URLConnection& connection) const;
  static void setFileTimes(const std::string& path, const std::optional<std::string>& modified);
  // Removes whatever stands in the copy's place, naming the reason in the log.
  void refuseCopy(const std::string& path, const std::string& reason);
  void logFailure(const std::string& cause);

  std::weak_ptr<ZUVCachedFileDelegate> delegate_;
  const platform::URL sourceURL_;
  const std::size_t maxContentBytes_;
  std::optional<std::string> filePath_;
  std::shared_ptr<platform::URLConnection> connection_;
  std::optional<platform::Bytes> receivedData_;
  std::optional<std::string> receivedModificationDate_;
  platform::URL httpDestinationURL_;
  std::int32_t httpStatusCode_ = 0;
  platform::HTTPHeaderFields httpHeaders_;
  std::optional<std::string> confirmedCopy_;
};
