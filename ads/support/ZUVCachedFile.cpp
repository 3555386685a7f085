#include "ads/support/ZUVCachedFile.h"

#include <chrono>
#include <cstdio>

#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUV_SBJSONText.h"
#include "platform/foundation/FileManager.h"

namespace {

// The platform's error for a file that could not be written.
constexpr const char* kFileWriteErrorDomain = "NSCocoaErrorDomain";
constexpr long kFileWriteUnknownError = 512;

// Seconds from 1970 to 2001, the epoch of the platform's absolute time.
constexpr double kAbsoluteTimeEpoch = 978307200;

bool isUTF8(const platform::Bytes& bytes) {
  const unsigned char* p = bytes.data();
  const unsigned char* end = p + bytes.size();
  while (p < end) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = zuv_sbjson::utf8SequenceLength(p, end);
    if (length == 0) return false;
    p += length;
  }
  return true;
}

// A host made only of dots would lead out of the caches folder.
std::string folderNameForHost(const std::string& host) {
  if (host.find_first_not_of('.') != std::string::npos) return host;
  std::string escaped;
  for (std::size_t i = 0; i < host.size(); ++i) escaped += "%2E";
  return escaped;
}

std::string absoluteTimeText() {
  using namespace std::chrono;
  double now = duration<double>(system_clock::now().time_since_epoch()).count();
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", now - kAbsoluteTimeEpoch);
  return text;
}

}  // namespace

std::shared_ptr<ZUVCachedFile> ZUVCachedFile::create(std::weak_ptr<ZUVCachedFileDelegate> delegate,
                                                     const platform::URL& url) {
  return std::shared_ptr<ZUVCachedFile>(new ZUVCachedFile(std::move(delegate), url));
}

ZUVCachedFile::ZUVCachedFile(std::weak_ptr<ZUVCachedFileDelegate> delegate,
                             const platform::URL& url)
    : delegate_(std::move(delegate)), sourceURL_(url), httpDestinationURL_(url) {}

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

std::optional<std::string> ZUVCachedFile::filePath() {
  if (filePath_) return filePath_;
  auto& files = platform::FileManager::defaultManager();
  if (files.homeDirectory().empty()) return std::nullopt;
  char name[16];
  std::snprintf(name, sizeof name, "/%x", hashOfURLText(sourceURL_.absoluteString()));
  filePath_ = files.cachesDirectory() + "/" + folderNameForHost(sourceURL_.host()) + name;
  return filePath_;
}

bool ZUVCachedFile::hasContent() {
  auto path = filePath();
  return path && platform::FileManager::defaultManager().fileExists(*path);
}

std::optional<std::string> ZUVCachedFile::content() {
  auto path = filePath();
  if (!path) return std::nullopt;
  auto bytes = platform::FileManager::defaultManager().readFile(*path);
  if (!bytes || !isUTF8(*bytes)) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

std::optional<std::string> ZUVCachedFile::fileModificationDate() {
  auto path = filePath();
  if (!path) return std::nullopt;
  auto modified = platform::FileManager::defaultManager().modificationDate(*path);
  if (!modified) return std::nullopt;
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

void ZUVCachedFile::reportEnd() {
  if (auto delegate = delegate_.lock()) delegate->cachedFileDownloadDidEnd(*this);
}

platform::URLRequest ZUVCachedFile::connectionWillSendRequest(
    platform::URLConnection&, const platform::URLRequest& request,
    const platform::HTTPURLResponse* redirectResponse) {
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

void ZUVCachedFile::connectionDidReceiveResponse(platform::URLConnection&,
                                                 const platform::HTTPURLResponse& response) {
  httpStatusCode_ = response.statusCode();
  saveHeadersFromResponse(response);
  if (httpStatusCode_ == 200) {
    receivedModificationDate_ =
        modificationDateFromLastModified(httpHeaders_.value("Last-Modified"));
  } else if (httpStatusCode_ == 304) {
    reportEnd();
    cleanUpConnection();
  } else {
    reportFailure(std::nullopt);
    cleanUpConnection();
  }
  if (receivedData_) receivedData_->clear();
}

void ZUVCachedFile::connectionDidReceiveData(platform::URLConnection&,
                                             std::span<const std::uint8_t> data) {
  if (receivedData_) receivedData_->insert(receivedData_->end(), data.begin(), data.end());
}

void ZUVCachedFile::connectionDidFinishLoading(platform::URLConnection&) {
  auto& files = platform::FileManager::defaultManager();
  auto path = filePath();
  bool written = false;
  if (path) {
    files.createDirectory(path->substr(0, path->rfind('/')));
    written = files.writeAtomically(*path, receivedData_.value_or(platform::Bytes{}));
  }
  if (written) {
    reportEnd();
    setFileTimesFromReply();
  } else {
    reportFailure(platform::Error::make(
        kFileWriteErrorDomain, kFileWriteUnknownError,
        "The file could not be written: " + path.value_or(sourceURL_.absoluteString())));
  }
  cleanUpConnection();
}

void ZUVCachedFile::setFileTimesFromReply() {
  if (receivedModificationDate_ && !receivedModificationDate_->empty()) {
    if (auto date = formatterForHTTPDate().dateFromString(*receivedModificationDate_)) {
      if (auto path = filePath()) {
        platform::FileManager::defaultManager().setAccessAndModificationDate(*path, *date);
      }
    }
  }
  receivedModificationDate_.reset();
}

void ZUVCachedFile::connectionDidFailWithError(platform::URLConnection&,
                                               const platform::Error& error) {
  cleanUpConnection();
  reportFailure(error);
}
