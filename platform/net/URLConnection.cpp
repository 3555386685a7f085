#include "platform/net/URLConnection.h"

#include <charconv>
#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/device/Device.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"
#include "platform/net/CurlSession.h"
#include "platform/net/HostResolution.h"

namespace platform {

// One request and its reply: one libcurl transfer. What libcurl's callbacks record waits here
// until deliver() hands it to the delegate.
struct URLConnection::Hop {
  CURL* easy = curl_easy_init();
  curl_slist* headers = nullptr;
  curl_slist* connectTo = nullptr;
  std::shared_ptr<CookieStore> cookies;
  char errorText[CURL_ERROR_SIZE] = {};

  HTTPHeaderFields replyHeaders;
  std::string lastHeaderName;
  int status = 0;
  bool headersDone = false;
  bool responseReady = false;
  bool responseSent = false;
  bool sawSetCookie = false;
  std::optional<URL> redirectTo;
  Bytes pending;
  std::size_t bodyBytes = 0;
  std::size_t headerBytes = 0;
  std::size_t windowBytes = 0;  // received since the speed was last checked
  std::optional<int> result;
  std::optional<Error> abortError;

  Hop() = default;
  Hop(const Hop&) = delete;
  Hop& operator=(const Hop&) = delete;
  ~Hop() {
    if (sawSetCookie && cookies) {
      std::string jar = cookies->jarPath();
      FileManager::defaultManager().createDirectory(jar.substr(0, jar.rfind('/')));
      curl_easy_setopt(easy, CURLOPT_COOKIEJAR, jar.c_str());
    }
    curl_easy_cleanup(easy);  // writes the jar, before the store can go
    curl_slist_free_all(headers);
    curl_slist_free_all(connectTo);
  }
};

namespace {

Error urlError(long code, const std::string& description, const URL& url) {
  Error error = Error::make(kURLErrorDomain, code, description);
  error.userInfo.set(kURLErrorFailingURLStringKey, url.absoluteString());
  return error;
}

long urlErrorCode(CURLcode code) {
  switch (code) {
    case CURLE_URL_MALFORMAT:
      return kURLErrorBadURL;
    case CURLE_COULDNT_RESOLVE_HOST:
      return kURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return kURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
      return kURLErrorTimedOut;
    case CURLE_PEER_FAILED_VERIFICATION:
      return kURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return kURLErrorSecureConnectionFailed;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return kURLErrorNetworkConnectionLost;
    case CURLE_UNSUPPORTED_PROTOCOL:  // the scheme was checked: this is an HTTP/0.9 reply
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return kURLErrorBadServerResponse;
    default:
      return kURLErrorUnknown;
  }
}

bool isRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Blanks around a header's name and value; line ends arrive with each header line.
std::string_view trimmedHeaderText(std::string_view text) {
  return text::trimmed(text, " \t\r\n");
}

// The announced body length into `length` (none without the field). Repeated fields arrive
// joined by ", "; they must all give the same number. False for differing values, a value that
// is not a decimal number or one past 64 bits: the body's end could not be known.
bool readContentLength(const HTTPHeaderFields& headers, std::optional<unsigned long long>& length) {
  length.reset();
  auto text = headers.value("Content-Length");
  if (!text) return true;
  std::string_view rest = *text;
  while (true) {
    std::size_t comma = rest.find(',');
    std::string_view piece = trimmedHeaderText(rest.substr(0, comma));
    unsigned long long value = 0;
    auto [end, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (piece.empty() || ec != std::errc() || end != piece.data() + piece.size()) return false;
    if (length && *length != value) return false;
    length = value;
    if (comma == std::string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
}

// The next hop's request: 303 asks for a GET, and so do 301 and 302 after a POST, as browsers
// do; a body does not follow a method change.
URLRequest redirectedRequest(const URLRequest& request, const URL& target, int status) {
  URLRequest next = request;
  next.setURL(target);
  const std::string& method = request.httpMethod();
  bool toGet =
      (status == 303 && method != "HEAD") || ((status == 301 || status == 302) && method == "POST");
  if (toGet) {
    next.setHTTPMethod("GET");
    next.setHTTPBody({});
    next.removeHTTPHeaderField("Content-Type");
    next.removeHTTPHeaderField("Content-Length");
  }
  return next;
}

}  // namespace

URLConnectionSettings& URLConnection::settings() {
  static URLConnectionSettings settings;
  return settings;
}

std::shared_ptr<URLConnection> URLConnection::create(
    const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate) {
  if (!request.url().isHTTPOrHTTPS()) return nullptr;
  if (!delegate) delegate = std::make_shared<URLConnectionDelegate>();
  std::shared_ptr<URLConnection> connection(new URLConnection(request, std::move(delegate)));
  RunLoop::main().post([connection] {
    if (connection->ended_) return;
    connection->sendRequest(nullptr);
  });
  return connection;
}

URLConnection::URLConnection(const URLRequest& request,
                             std::shared_ptr<URLConnectionDelegate> delegate)
    : originalRequest_(request), currentRequest_(request), delegate_(std::move(delegate)) {}

void URLConnection::cancel() {
  if (ended_) return;
  auto self = shared_from_this();
  ended_ = true;
  releaseHop();
  delegate_.reset();
}

void URLConnection::sendRequest(const HTTPURLResponse* redirectResponse) {
  auto self = shared_from_this();
  auto delegate = delegate_;
  URLRequest request =
      delegate->connectionWillSendRequest(*this, currentRequest_, redirectResponse);
  if (ended_) return;
  currentRequest_ = std::move(request);
  if (!currentRequest_.url().isHTTPOrHTTPS()) {
    fail(urlError(kURLErrorUnsupportedURL, "unsupported URL", currentRequest_.url()));
    return;
  }
  // The headless phone's network is the device profile's: without one, nothing goes out.
  if (DeviceProfile::current().reachability == NetworkReachability::None) {
    fail(urlError(kURLErrorNotConnectedToInternet, "The Internet connection appears to be offline.",
                  currentRequest_.url()));
    return;
  }
  startHop();
}

void URLConnection::startHop() {
  const URLConnectionSettings& limits = settings();
  hop_ = std::make_unique<Hop>();
  Hop& hop = *hop_;
  CURL* easy = hop.easy;
  curl_easy_setopt(easy, CURLOPT_URL, currentRequest_.url().absoluteString().c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, hop.errorText);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(toMilliseconds(limits.connectTimeout)));
  if (!limits.trustedCertificatesPath.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, limits.trustedCertificatesPath.c_str());
  }

  const std::string& method = currentRequest_.httpMethod();
  const Bytes& body = currentRequest_.httpBody();
  if (method == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else {
    if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS,
                     body.empty() ? "" : reinterpret_cast<const char*>(body.data()));
    hop.headers = curl_slist_append(hop.headers, "Expect:");
  }
  for (const auto& [name, value] : currentRequest_.allHTTPHeaderFields()) {
    std::string line = value.empty() ? name + ";" : name + ": " + value;
    hop.headers = curl_slist_append(hop.headers, line.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, hop.headers);

  for (const HostMapping& mapping : HostResolution::shared().mappings()) {
    std::string rule = mapping.host + "::" + mapping.address + ":" + std::to_string(mapping.port);
    hop.connectTo = curl_slist_append(hop.connectTo, rule.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_CONNECT_TO, hop.connectTo);

  if (currentRequest_.httpShouldHandleCookies()) {
    hop.cookies = CurlSession::shared().cookieStore();
    curl_easy_setopt(easy, CURLOPT_SHARE, hop.cookies->share());
    bool first = hop.cookies->takeFirstUse();
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, first ? hop.cookies->jarPath().c_str() : "");
  }

  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &headerCallback);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &bodyCallback);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  armIdleTimer();
  CurlSession::shared().attach(easy, shared_from_this());
}

std::size_t URLConnection::headerCallback(char* data, std::size_t size, std::size_t count,
                                          void* connection) {
  return static_cast<URLConnection*>(connection)->onHeaderLine(data, size * count);
}

std::size_t URLConnection::bodyCallback(char* data, std::size_t size, std::size_t count,
                                        void* connection) {
  return static_cast<URLConnection*>(connection)->onBody(data, size * count);
}

std::size_t URLConnection::onHeaderLine(const char* data, std::size_t size) {
  noteReceived(size);
  Hop& hop = *hop_;
  hop.headerBytes += size;
  if (hop.headerBytes > settings().maxHeaderBytes) {
    hop.abortError = urlError(kURLErrorBadServerResponse,
                              "The reply's header fields are larger than " +
                                  std::to_string(settings().maxHeaderBytes) + " bytes.",
                              currentRequest_.url());
    return 0;
  }
  std::string_view line(data, size);
  if (line.starts_with("HTTP/")) {
    hop.replyHeaders = {};
    hop.lastHeaderName.clear();
    hop.headersDone = false;
    return size;
  }
  if (hop.headersDone) return size;  // trailers after a chunked body
  if (trimmedHeaderText(line).empty()) {
    onHeadersEnd();
    return hop.redirectTo || hop.abortError ? 0 : size;
  }
  if ((line.front() == ' ' || line.front() == '\t') && !hop.lastHeaderName.empty()) {
    hop.replyHeaders.appendToValue(hop.lastHeaderName, trimmedHeaderText(line));
    return size;
  }
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return size;
  std::string_view name = trimmedHeaderText(line.substr(0, colon));
  hop.replyHeaders.add(name, trimmedHeaderText(line.substr(colon + 1)));
  hop.lastHeaderName = name;
  if (text::equalsIgnoringASCIICase(name, "Set-Cookie")) hop.sawSetCookie = true;
  return size;
}

// A redirect or an announced body over the cap stops the transfer here, before any body.
void URLConnection::onHeadersEnd() {
  Hop& hop = *hop_;
  long status = 0;
  curl_easy_getinfo(hop.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 100 && status < 200) return;  // an interim reply; the real one follows
  hop.status = static_cast<int>(status);
  hop.headersDone = true;
  if (isRedirectStatus(hop.status)) {
    if (auto location = hop.replyHeaders.value("Location")) {
      hop.redirectTo = URL::parse(*location, currentRequest_.url());
      if (hop.redirectTo) return;
    }
  }
  std::optional<unsigned long long> length;
  if (!readContentLength(hop.replyHeaders, length)) {
    hop.abortError =
        urlError(kURLErrorBadServerResponse, "The reply's Content-Length is not one number.",
                 currentRequest_.url());
    return;
  }
  if (length && *length > settings().maxBodyBytes) {
    hop.abortError = urlError(
        kURLErrorDataLengthExceedsMaximum,
        "The reply's body is larger than " + std::to_string(settings().maxBodyBytes) + " bytes.",
        currentRequest_.url());
    return;
  }
  hop.responseReady = true;
}

std::size_t URLConnection::onBody(const char* data, std::size_t size) {
  noteReceived(size);
  Hop& hop = *hop_;
  if (hop.bodyBytes + size > settings().maxBodyBytes) {
    hop.abortError = urlError(
        kURLErrorDataLengthExceedsMaximum,
        "The reply's body is larger than " + std::to_string(settings().maxBodyBytes) + " bytes.",
        currentRequest_.url());
    return 0;
  }
  hop.bodyBytes += size;
  auto bytes = reinterpret_cast<const std::uint8_t*>(data);
  hop.pending.insert(hop.pending.end(), bytes, bytes + size);
  return size;
}

void URLConnection::onTransferDone(int curlCode) {
  if (hop_) hop_->result = curlCode;
}

// Every byte puts the idle time-out off; the first also starts the speed check, which then
// runs once per idle time-out.
void URLConnection::noteReceived(std::size_t size) {
  armIdleTimer();
  hop_->windowBytes += size;
  if (speedTimer_) return;
  std::weak_ptr<URLConnection> weak = weak_from_this();
  speedTimer_ = RunLoop::main().scheduleTimer(settings().idleTimeout, true, [weak](Timer&) {
    if (auto connection = weak.lock()) connection->checkSpeed();
  });
}

void URLConnection::armIdleTimer() {
  RunLoop& loop = RunLoop::main();
  const Duration interval = settings().idleTimeout;
  if (idleTimer_.isValid()) {
    idleTimer_.setFireDate(loop.now() + interval);
    return;
  }
  std::weak_ptr<URLConnection> weak = weak_from_this();
  idleTimer_ = loop.scheduleTimer(interval, false, [weak](Timer&) {
    if (auto connection = weak.lock()) connection->idleTimedOut();
  });
}

void URLConnection::idleTimedOut() {
  if (ended_ || !hop_ || hop_->result) return;
  timeOut("The request timed out.");
}

void URLConnection::checkSpeed() {
  if (ended_ || !hop_ || hop_->result) return;
  const URLConnectionSettings& limits = settings();
  std::size_t received = std::exchange(hop_->windowBytes, 0);
  if (static_cast<double>(received) >= limits.minimumBytesPerSecond * toSeconds(limits.idleTimeout))
    return;
  char rate[32];
  std::snprintf(rate, sizeof rate, "%g", limits.minimumBytesPerSecond);
  timeOut(std::string("The reply came slower than ") + rate + " bytes a second.");
}

void URLConnection::timeOut(const std::string& reason) {
  hop_->abortError = urlError(kURLErrorTimedOut, reason, currentRequest_.url());
  hop_->result = CURLE_OPERATION_TIMEDOUT;
  deliver();
}

void URLConnection::deliver() {
  auto self = shared_from_this();
  while (hop_ && !ended_) {
    Hop& hop = *hop_;
    auto delegate = delegate_;
    if (hop.responseReady && !hop.responseSent) {
      hop.responseSent = true;
      delegate->connectionDidReceiveResponse(
          *this, HTTPURLResponse(currentRequest_.url(), hop.status, hop.replyHeaders));
      continue;
    }
    if (!hop.pending.empty()) {
      Bytes chunk = std::move(hop.pending);
      hop.pending.clear();
      delegate->connectionDidReceiveData(*this, chunk);
      continue;
    }
    if (hop.result) finishHop();
    return;
  }
}

void URLConnection::finishHop() {
  Hop& hop = *hop_;
  if (hop.redirectTo) {
    takeRedirect();
    return;
  }
  std::optional<Error> error = hop.abortError;
  if (!error && *hop.result == CURLE_OUT_OF_MEMORY && !hop.headersDone) {
    // libcurl refuses a header line past its own limit this way, before the line reaches us.
    error = urlError(kURLErrorBadServerResponse, "A header line of the reply is too long.",
                     currentRequest_.url());
  }
  if (!error && *hop.result != CURLE_OK) {
    auto code = static_cast<CURLcode>(*hop.result);
    std::string detail = hop.errorText[0] ? hop.errorText : curl_easy_strerror(code);
    error = urlError(urlErrorCode(code), detail, currentRequest_.url());
  }
  if (!error && !hop.responseSent) {
    error = urlError(kURLErrorBadServerResponse, "No reply came.", currentRequest_.url());
  }
  releaseHop();
  if (error) {
    fail(*error);
  } else {
    end();
  }
}

void URLConnection::takeRedirect() {
  HTTPURLResponse reply(currentRequest_.url(), hop_->status, hop_->replyHeaders);
  URL target = *hop_->redirectTo;
  int status = hop_->status;
  releaseHop();
  if (++redirects_ > settings().maxRedirects) {
    fail(urlError(kURLErrorHTTPTooManyRedirects,
                  "More than " + std::to_string(settings().maxRedirects) + " redirects.",
                  currentRequest_.url()));
    return;
  }
  currentRequest_ = redirectedRequest(currentRequest_, target, status);
  sendRequest(&reply);
}

void URLConnection::releaseHop() {
  idleTimer_.reset();
  speedTimer_.reset();
  if (!hop_) return;
  auto hop = std::move(hop_);
  CurlSession::shared().detach(hop->easy);
}

void URLConnection::fail(const Error& error) {
  ended_ = true;
  releaseHop();
  auto delegate = std::move(delegate_);
  delegate->connectionDidFailWithError(*this, error);
}

void URLConnection::end() {
  ended_ = true;
  releaseHop();
  auto delegate = std::move(delegate_);
  delegate->connectionDidFinishLoading(*this);
}

}  // namespace platform
