#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/URLRequest.h"

namespace platform {

class CookieStore;
class URLConnection;

// Errors of the URL connection: domain kURLErrorDomain, codes of URLErrorCode. Their user
// information carries a description and the URL that failed (kURLErrorFailingURLStringKey).
inline constexpr const char* kURLErrorDomain = "NSURLErrorDomain";
inline constexpr const char* kURLErrorFailingURLStringKey = "NSErrorFailingURLStringKey";
enum URLErrorCode : long {
  kURLErrorUnknown = -1,
  kURLErrorBadURL = -1000,
  kURLErrorTimedOut = -1001,
  kURLErrorUnsupportedURL = -1002,
  kURLErrorCannotFindHost = -1003,
  kURLErrorCannotConnectToHost = -1004,
  kURLErrorNetworkConnectionLost = -1005,
  kURLErrorHTTPTooManyRedirects = -1007,
  kURLErrorNotConnectedToInternet = -1009,
  kURLErrorBadServerResponse = -1011,
  kURLErrorDataLengthExceedsMaximum = -1103,
  kURLErrorSecureConnectionFailed = -1200,
  kURLErrorServerCertificateUntrusted = -1202,
};

// What a connection tells its delegate, in this order: each request about to go out (the first
// one too, without a redirect reply), the final reply, its body in pieces, then either the end
// or a failure. Every callback arrives on the main run loop, never inside `create` or `cancel`.
class URLConnectionDelegate {
 public:
  virtual ~URLConnectionDelegate() = default;

  // Returns the request to send, normally `request` itself. To refuse a redirect, cancel the
  // connection here; nothing more is then sent or reported.
  virtual URLRequest connectionWillSendRequest(URLConnection&, const URLRequest& request,
                                               const HTTPURLResponse* redirectResponse) {
    (void)redirectResponse;
    return request;
  }
  virtual void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse&) {}
  virtual void connectionDidReceiveData(URLConnection&, std::span<const std::uint8_t>) {}
  virtual void connectionDidFinishLoading(URLConnection&) {}
  virtual void connectionDidFailWithError(URLConnection&, const Error&) {}
};

// Limits that make every fetch end. Process-wide; tests shorten the time-outs.
struct URLConnectionSettings {
  Duration connectTimeout = seconds(60);  // to reach the server, TLS included
  Duration idleTimeout = seconds(60);     // of run-loop time without a byte from the server
  // A reply that comes slower than this over a whole idle time-out fails as timed out, so a
  // server that drips a byte now and then cannot hold a fetch for ever.
  double minimumBytesPerSecond = 100;
  std::size_t maxBodyBytes = 16 * 1024 * 1024;
  std::size_t maxHeaderBytes = 256 * 1024;  // of one request's replies, interim ones too
  int maxRedirects = 20;
  // A PEM file of the authorities to trust instead of the system's; empty for the system's.
  std::string trustedCertificatesPath;
};

// An asynchronous HTTP(S) fetch on the main run loop. Redirects are taken one hop at a time
// and each is put to the delegate first. Connections to a host of the process-wide
// HostResolution map go to its address instead. Cookies live in one jar per home folder,
// <home>/Library/Cookies/Cookies.txt. While it runs, the connection keeps itself and its
// delegate alive; it lets go of the delegate when it ends or is cancelled.
class URLConnection : public std::enable_shared_from_this<URLConnection> {
 public:
  // Starts at once. Null when the request's URL is not http or https.
  static std::shared_ptr<URLConnection> create(const URLRequest& request,
                                               std::shared_ptr<URLConnectionDelegate> delegate);
  URLConnection(const URLConnection&) = delete;
  URLConnection& operator=(const URLConnection&) = delete;

  // Stops the fetch; the delegate hears nothing more. Safe from inside a callback.
  void cancel();

  const URLRequest& originalRequest() const { return originalRequest_; }
  // The request of the current hop.
  const URLRequest& currentRequest() const { return currentRequest_; }
  bool isRunning() const { return !ended_; }

  static URLConnectionSettings& settings();

 private:
  friend class CurlSession;
  struct Hop;
  URLConnection(const URLRequest& request, std::shared_ptr<URLConnectionDelegate> delegate);

  void sendRequest(const HTTPURLResponse* redirectResponse);
  void startHop();
  void takeRedirect();
  void deliver();
  void finishHop();
  void fail(const Error& error);
  void end();
  void releaseHop();
  void noteReceived(std::size_t size);
  void armIdleTimer();
  void idleTimedOut();
  void checkSpeed();
  void timeOut(const std::string& reason);

  static std::size_t headerCallback(char* data, std::size_t size, std::size_t count,
                                    void* connection);
  static std::size_t bodyCallback(char* data, std::size_t size, std::size_t count,
                                  void* connection);
  // Called by libcurl while it reads; they only record, the delegate hears in deliver().
  std::size_t onHeaderLine(const char* data, std::size_t size);
  std::size_t onBody(const char* data, std::size_t size);
  void onHeadersEnd();
  void onTransferDone(int curlCode);

  URLRequest originalRequest_;
  URLRequest currentRequest_;
  std::shared_ptr<URLConnectionDelegate> delegate_;
  std::unique_ptr<Hop> hop_;
  TimerHandle idleTimer_;
  TimerHandle speedTimer_;
  int redirects_ = 0;
  bool ended_ = false;
};

}  // namespace platform
