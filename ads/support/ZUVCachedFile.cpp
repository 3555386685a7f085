#include "ads/support/ZUVCachedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "ads/support/ZUVNetworkUtilities.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace {

// Seconds from 1970 to 2001, the epoch of the platform's absolute time.
constexpr double kAbsoluteTimeEpoch = 978307200;

// A host made only of dots would lead out of the caches folder.
std::string folderNameForHost(const std::string& host) {
  if (host.find_first_not_of('.') != std::string::npos) return host;
  std::string escaped;
  for (std::size_t i = 0; i < host.size(); ++i) escaped += "%2E";
  return escaped;
}

// The host's date: compared with the file system's times, which the manual clock does not move.
double secondsSince1970() {
  return platform::RunLoop::hostDate().secondsSince1970;
}

std::string absoluteTimeText() {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", secondsSince1970() - kAbsoluteTimeEpoch);
  return text;
}

}  // namespace

std::shared_ptr<ZUVCachedFile> ZUVCachedFile::create(std::weak_ptr<ZUVCachedFileDelegate> delegate,
                                                     const platform::URL& url,
                                                     std::size_t maxContentBytes) {
  return std::shared_ptr<ZUVCachedFile>(
      new ZUVCachedFile(std::move(delegate), url, maxContentBytes));
}

ZUVCachedFile::ZUVCachedFile(std::weak_ptr<ZUVCachedFileDelegate> delegate,
                             const platform::URL& url, std::size_t maxContentBytes)
    : delegate_(std::move(delegate)),
      sourceURL_(url),
      maxContentBytes_(maxContentBytes),
      httpDestinationURL_(url) {}

ZUVCachedFile::~ZUVCachedFile() {
  delegate_.reset();
  cleanUpConnection();
}

std::uint32_t ZUVCachedFile::hashOfURLText(std::string_view text) {
  // FNV-1a: fixed, so a later run finds the same file.
  std::uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

bool ZUVCachedFile::isCacheable(const platform::URL& url) {
  return url.isHTTPOrHTTPS() && !url.host().empty();
}

bool ZUVCachedFile::isOwnFolder(const std::string& folder) {
  auto& files = platform::FileManager::defaultManager();
  return files.isFolderItself(folder) &&
         files.readRegularFile(folder + "/" + kFolderMarker, 0,
                               platform::FileManager::Links::refuse);
}

void ZUVCachedFile::makeFolder(const std::string& folder) {
  auto& files = platform::FileManager::defaultManager();
  if (files.fileExists(folder)) return;
  if (files.createDirectory(folder)) {
    (void)files.writeAtomically(folder + "/" + kFolderMarker, std::string());
  }
}

std::optional<std::string> ZUVCachedFile::filePath() {
  if (filePath_) return filePath_;
  auto& files = platform::FileManager::defaultManager();
  // Without a host the copy's folder would be the caches folder itself.
  if (!isCacheable(sourceURL_) || files.homeDirectory().empty()) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "/%x", hashOfURLText(sourceURL_.absoluteString()));
  filePath_ = files.cachesDirectory() + "/" + folderNameForHost(sourceURL_.host()) + name;
  return filePath_;
}

// The copy decides what runs: a planted link, folder, huge or broken file is never read as it.
std::optional<std::string> ZUVCachedFile::content() {
  if (confirmedCopy_) return confirmedCopy_;
  auto path = filePath();
  if (!path) return std::nullopt;
  auto& files = platform::FileManager::defaultManager();
  std::string folder = path->substr(0, path->rfind('/'));
  if (files.fileExists(folder) && !files.isInside(folder, files.cachesDirectory())) {
    // The host's folder leads elsewhere: the link goes, never what it points to.
    refuseCopy(folder, "its folder lies outside the caches folder");
    return std::nullopt;
  }
  auto contents =
      files.readRegularFile(*path, maxContentBytes_, platform::FileManager::Links::refuse);
  if (!contents && contents.error().code == platform::kFileReadMissing) return std::nullopt;
  if (!contents) {
    refuseCopy(*path, contents.error().localizedDescription());
    return std::nullopt;
  }
  if (contents->empty() || !platform::text::isValidUtf8(platform::text::view(*contents))) {
    refuseCopy(*path, contents->empty() ? "empty" : "not UTF-8 text");
    return std::nullopt;
  }
  return std::string(contents->begin(), contents->end());
}

void ZUVCachedFile::refuseCopy(const std::string& path, const std::string& reason) {
  bool removed = platform::FileManager::defaultManager().removeItem(path);
  logFailure("the cached copy " + path + " is refused (" + reason + ")" +
             (removed ? "; it is removed, so the next fetch asks for it whole"
                      : "; it could not be removed"));
}

void ZUVCachedFile::logFailure(const std::string& cause) {
  platform::log(
      platform::text::singleLine("<Vozave> " + sourceURL_.absoluteString() + ": " + cause + "."));
}

std::optional<std::string> ZUVCachedFile::fileModificationDate() {
  if (!content()) return std::nullopt;
  auto modified = platform::FileManager::defaultManager().modificationDate(*filePath());
  if (!modified) return std::nullopt;
  // A time ahead of the clock, sent back, would keep the copy stale for good.
  modified->secondsSince1970 = std::min(modified->secondsSince1970, secondsSince1970());
  std::string text = formatterForHTTPDate().stringFromDate(*modified);
  if (text.empty()) return std::nullopt;
  return text;
}

std::string ZUVCachedFile::description() {
  auto path = filePath();
  char address[32];
  std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
  return "<ZUVCachedFile: " + std::string(address) +
         "> HTTP code: " + std::to_string(httpStatusCode_) +
         "\n\turl: " + sourceURL_.absoluteString() + "\n\tfile: " + path.value_or("(null)");
}

std::optional<std::string> ZUVCachedFile::modificationDateFromLastModified(
    const std::optional<std::string>& lastModified) {
  if (!lastModified) return std::nullopt;
  return lastModified->substr(0, lastModified->find("GMT"));
}

void ZUVCachedFile::validate() {
  if (!connection_) beginFetchWithCacheBuster(false);
}

void ZUVCachedFile::validateWithCacheBuster() {
  if (!connection_) beginFetchWithCacheBuster(true);
}

void ZUVCachedFile::beginFetchWithCacheBuster(bool cacheBuster) {
  // One fetch at a time: the one under way would write into the new one's buffer.
  cleanUpConnection();
  // Such a URL has no copy of its own; it fails as one the platform cannot connect to.
  if (!isCacheable(sourceURL_)) {
    logFailure("only an http or https URL with a host is fetched");
    reportFailure(std::nullopt);
    return;
  }
  platform::URL url = sourceURL_;
  if (cacheBuster) {
    auto busted = ZUVNetworkUtilities::appendQueryKeyValueToURL("unique", absoluteTimeText(), url);
    if (busted) url = *busted;
  }
  platform::URLRequest request(url);
  request.setCachePolicy(platform::URLRequestCachePolicy::ReloadIgnoringLocalCacheData);
  request.setHTTPShouldHandleCookies(true);
  auto userAgent = ZUVNetworkUtilities::userAgentString();
  if (userAgent && !userAgent->empty())
    request.setValueForHTTPHeaderField(*userAgent, "User-Agent");
  if (auto since = fileModificationDate()) {
    request.setValueForHTTPHeaderField(*since, "If-Modified-Since");
  }
  connection_ = platform::URLConnection::create(request, shared_from_this());
  if (!connection_) {
    reportFailure(std::nullopt);
    return;
  }
  receivedData_.emplace();
}

void ZUVCachedFile::cancel() {
  cleanUpConnection();
}

void ZUVCachedFile::invalidate() {
  cleanUpConnection();
  confirmedCopy_.reset();
  if (auto path = filePath()) platform::FileManager::defaultManager().removeItem(*path);
}

void ZUVCachedFile::cleanUpConnection() {
  if (connection_) connection_->cancel();
  connection_.reset();
  receivedData_.reset();
  receivedModificationDate_.reset();
}

void ZUVCachedFile::saveHeadersFromResponse(const platform::HTTPURLResponse& response) {
  httpHeaders_ = response.allHeaderFields();
}

void ZUVCachedFile::reportFailure(const std::optional<platform::Error>& error) {
  if (auto delegate = delegate_.lock()) delegate->cachedFileDownloadDidFail(*this, error);
}

void ZUVCachedFile::reportEnd(std::optional<std::string> confirmedCopy) {
  auto delegate = delegate_.lock();
  if (!delegate) return;
  // The delegate may let go of this file while it hears.
  auto self = shared_from_this();
  confirmedCopy_ = std::move(confirmedCopy);
  delegate->cachedFileDownloadDidEnd(*this);
  confirmedCopy_.reset();
}

bool ZUVCachedFile::isCurrent(const platform::URLConnection& connection) const {
  return &connection == connection_.get();
}

platform::URLRequest ZUVCachedFile::connectionWillSendRequest(
    platform::URLConnection& connection, const platform::URLRequest& request,
    const platform::HTTPURLResponse* redirectResponse) {
  if (!isCurrent(connection)) return request;
  httpDestinationURL_ = request.url();
  if (!redirectResponse) return request;
  saveHeadersFromResponse(*redirectResponse);
  std::optional<platform::Error> refusal;
  if (auto delegate = delegate_.lock()) {
    refusal = delegate->cachedFileShouldRedirectToURL(*this, request.url());
  }
  if (refusal) {
    cleanUpConnection();
    reportFailure(refusal);
  }
  return request;
}

// The fetch is cleaned up before the delegate hears, so that a fetch the delegate starts from
// its callback is not the one cleaned up.
void ZUVCachedFile::connectionDidReceiveResponse(platform::URLConnection& connection,
                                                 const platform::HTTPURLResponse& response) {
  if (!isCurrent(connection)) return;
  httpStatusCode_ = response.statusCode();
  saveHeadersFromResponse(response);
  if (httpStatusCode_ == 200) {
    receivedModificationDate_ =
        modificationDateFromLastModified(httpHeaders_.value("Last-Modified"));
    receivedData_->clear();
    return;
  }
  cleanUpConnection();
  // "Not modified" confirms only a usable copy, which the delegate then reads as checked here.
  if (httpStatusCode_ == 304) {
    if (auto copy = content()) {
      reportEnd(std::move(copy));
      return;
    }
    logFailure("a \"not modified\" reply is refused: there is no usable copy");
  } else {
    logFailure("the server answered " + std::to_string(httpStatusCode_));
  }
  reportFailure(std::nullopt);
}

// A copy that large would be refused at every use: the fetch ends once the reply passes it.
void ZUVCachedFile::connectionDidReceiveData(platform::URLConnection& connection,
                                             std::span<const std::uint8_t> data) {
  if (!isCurrent(connection)) return;
  if (receivedData_->size() + data.size() > maxContentBytes_) {
    failTooLarge();
    return;
  }
  receivedData_->insert(receivedData_->end(), data.begin(), data.end());
}

void ZUVCachedFile::failTooLarge() {
  cleanUpConnection();
  std::string cause = "the reply is larger than " + std::to_string(maxContentBytes_) + " bytes";
  logFailure(cause);
  reportFailure(platform::Error::make(platform::kURLErrorDomain,
                                      platform::kURLErrorDataLengthExceedsMaximum, cause));
}

void ZUVCachedFile::connectionDidFinishLoading(platform::URLConnection& connection) {
  if (!isCurrent(connection)) return;
  platform::Bytes body = std::move(receivedData_).value_or(platform::Bytes{});
  std::optional<std::string> modified = std::move(receivedModificationDate_);
  cleanUpConnection();
  auto path = filePath();
  if (!path) {
    reportFailure(platform::Error::make(platform::kPOSIXErrorDomain, ENOENT, "No caches folder."));
    return;
  }
  makeFolder(path->substr(0, path->rfind('/')));
  auto& files = platform::FileManager::defaultManager();
  auto written = files.writeAtomically(*path, body);
  if (!written) {
    std::string cause =
        "The file " + *path + " could not be written: " + written.error().localizedDescription();
    // A full or broken caches folder need not cost this load what has come.
    if (!body.empty() && platform::text::isValidUtf8(platform::text::view(body))) {
      logFailure(cause + "; the reply is used from memory for this load");
      reportEnd(std::string(body.begin(), body.end()));
      return;
    }
    logFailure(cause);
    reportFailure(platform::Error::make(platform::kPOSIXErrorDomain, written.error().code, cause));
    return;
  }
  // Times are set before the delegate hears, so that a fetch it starts at once sends them.
  setFileTimes(*path, modified);
  reportEnd();
}

// A date ahead of the clock counts as now: sent back, it would keep the copy stale for good.
void ZUVCachedFile::setFileTimes(const std::string& path,
                                 const std::optional<std::string>& modified) {
  if (!modified || modified->empty()) return;
  auto date = formatterForHTTPDate().dateFromString(*modified);
  if (!date) return;
  date->secondsSince1970 = std::min(date->secondsSince1970, secondsSince1970());
  platform::FileManager::defaultManager().setAccessAndModificationDate(path, *date);
}

void ZUVCachedFile::connectionDidFailWithError(platform::URLConnection& connection,
                                               const platform::Error& error) {
  if (!isCurrent(connection)) return;
  cleanUpConnection();
  logFailure("the fetch failed: " + error.localizedDescription());
  reportFailure(error);
}
