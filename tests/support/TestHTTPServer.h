#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/HTTPHeaderFields.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace velour_test {

// A request as the test server saw it.
struct RecordedRequest {
  std::string method;
  std::string path;   // without the query
  std::string query;  // raw, without "?"
  platform::HTTPHeaderFields headers;
};

// An HTTP (or HTTPS) server on 127.0.0.1 and a free port, on its own thread, with replies the
// test scripts per path. HTTPS uses tests/support/tls/server.pem (for "secure.velour.test",
// "localhost" and 127.0.0.1, signed by tests/support/tls/ca.pem, valid until 2126; made with
// `openssl req -x509` for the authority and `openssl x509 -req` for the server).
class TestHTTPServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  explicit TestHTTPServer(bool tls = false);
  ~TestHTTPServer();
  TestHTTPServer(const TestHTTPServer&) = delete;
  TestHTTPServer& operator=(const TestHTTPServer&) = delete;

  static std::string authorityCertificatePath();

  int port() const { return port_; }
  // "http://127.0.0.1:<port><path>", or https.
  std::string url(const std::string& path) const;

  void handle(const std::string& path, Handler handler);
  void reply(const std::string& path, int status, const std::string& body,
             const platform::HTTPHeaderFields& headers = {});
  void redirect(const std::string& path, int status, const std::string& location);
  // 200 with `lastModified` as "Last-Modified" (none when empty), or 304 when the request's
  // "If-Modified-Since" is a full HTTP date, zone included, not before the resource's date
  // (its `modifiedAt`, seconds since 1970). Strict, as many servers are.
  void conditional(const std::string& path, const std::string& body,
                   const std::string& lastModified, long long modifiedAt);
  // A body of `size` bytes of "x"; announced with Content-Length or streamed in chunks.
  void bigBody(const std::string& path, std::size_t size, bool announceLength);

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount(const std::string& path) const;

 private:
  void record(const httplib::Request& request);

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  bool tls_;
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
};

// A bare TCP server on 127.0.0.1 for peers that break the rules: for every connection it
// reads the request head (unless `readRequest` is false), writes `reply` and then closes the
// connection, or holds it open and silent until the server goes.
class RawTestServer {
 public:
  RawTestServer(std::string reply, bool closeAfterReply, bool readRequest = true);
  ~RawTestServer();
  RawTestServer(const RawTestServer&) = delete;
  RawTestServer& operator=(const RawTestServer&) = delete;

  int port() const { return port_; }
  std::string url(const std::string& path) const;
  int connectionCount() const { return connections_; }

 private:
  void serve();
  void answer(int fd);

  std::string reply_;
  bool close_;
  bool read_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::vector<int> open_;
  std::thread thread_;
};

}  // namespace velour_test
