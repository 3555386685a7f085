#include "tests/support/TestHTTPServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

namespace velour_test {

namespace {

const std::string kTlsFolder = std::string(VELOUR_TEST_SUPPORT_DIR) + "/tls/";

// Only the full form with its zone: a strict reading.
bool parseFullHTTPDate(const std::string& text, long long& seconds) {
  std::tm tm{};
  const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
  if (!end || *end != '\0') return false;
  seconds = static_cast<long long>(timegm(&tm));
  return true;
}

}  // namespace

TestHTTPServer::TestHTTPServer(bool tls) : tls_(tls) {
  if (tls) {
    server_ = std::make_unique<httplib::SSLServer>((kTlsFolder + "server.pem").c_str(),
                                                   (kTlsFolder + "server-key.pem").c_str());
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  server_->set_keep_alive_timeout(1);
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop that comes before the loop runs would be lost and the join would hang, so the
  // server is up before anyone can destroy it.
  for (int wait = 0; wait < 5000 && !server_->is_running(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TestHTTPServer::~TestHTTPServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string TestHTTPServer::authorityCertificatePath() {
  return kTlsFolder + "ca.pem";
}

std::string TestHTTPServer::url(const std::string& path) const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHTTPServer::record(const httplib::Request& request) {
  RecordedRequest recorded{request.method, request.path, {}, {}};
  auto question = request.target.find('?');
  if (question != std::string::npos) recorded.query = request.target.substr(question + 1);
  for (const auto& [name, value] : request.headers) recorded.headers.add(name, value);
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(recorded));
}

void TestHTTPServer::handle(const std::string& path, Handler handler) {
  auto wrapped = [this, handler](const httplib::Request& request, httplib::Response& response) {
    record(request);
    handler(request, response);
  };
  server_->Get(path, wrapped);
  server_->Post(path, wrapped);
  server_->Put(path, wrapped);
}

void TestHTTPServer::reply(const std::string& path, int status, const std::string& body,
                           const platform::HTTPHeaderFields& headers) {
  handle(path, [status, body, headers](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    for (const auto& [name, value] : headers) {
      if (!platform::text::equalsIgnoringASCIICase(name, "Content-Type")) {
        response.set_header(name, value);
      }
    }
    response.set_content(body, headers.value("Content-Type").value_or("text/plain"));
  });
}

void TestHTTPServer::redirect(const std::string& path, int status, const std::string& location) {
  reply(path, status, "moved", {{"Location", location}});
}

void TestHTTPServer::conditional(const std::string& path, const std::string& body,
                                 const std::string& lastModified, long long modifiedAt) {
  handle(path, [=](const httplib::Request& request, httplib::Response& response) {
    long long since = 0;
    if (parseFullHTTPDate(request.get_header_value("If-Modified-Since"), since) &&
        since >= modifiedAt) {
      response.status = 304;
      return;
    }
    response.status = 200;
    if (!lastModified.empty()) response.set_header("Last-Modified", lastModified);
    response.set_content(body, "text/plain");
  });
}

void TestHTTPServer::bigBody(const std::string& path, std::size_t size, bool announceLength) {
  handle(path, [size, announceLength](const httplib::Request&, httplib::Response& response) {
    // Either provider is told how many bytes have gone out so far.
    auto provide = [size](std::size_t offset, httplib::DataSink& sink) {
      static const std::string block(65536, 'x');
      if (offset >= size) {
        sink.done();
        return true;
      }
      return sink.write(block.data(), std::min(block.size(), size - offset));
    };
    if (announceLength) {
      response.set_content_provider(
          size, "application/octet-stream",
          [provide](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            return provide(offset, sink);
          });
    } else {
      response.set_chunked_content_provider("application/octet-stream", provide);
    }
  });
}

std::vector<RecordedRequest> TestHTTPServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t TestHTTPServer::requestCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& request : requests_) count += request.path == path ? 1 : 0;
  return count;
}

RawTestServer::RawTestServer(std::string reply, bool closeAfterReply, bool readRequest)
    : reply_(std::move(reply)), close_(closeAfterReply), read_(readRequest) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listenFd_, 16);
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

RawTestServer::~RawTestServer() {
  // Shutting the listening socket down ends the accept that the serving thread waits in.
  stopping_ = true;
  ::shutdown(listenFd_, SHUT_RDWR);
  thread_.join();
  for (int fd : open_) ::close(fd);
  ::close(listenFd_);
}

std::string RawTestServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawTestServer::serve() {
  while (!stopping_) {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    answer(fd);
  }
}

void RawTestServer::answer(int fd) {
  std::string head;
  char buffer[4096];
  while (read_ && head.find("\r\n\r\n") == std::string::npos) {
    pollfd pending{fd, POLLIN, 0};
    if (::poll(&pending, 1, 2000) <= 0) break;
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) break;
    head.append(buffer, static_cast<std::size_t>(count));
  }
  if (!reply_.empty()) {
    [[maybe_unused]] ssize_t written = ::send(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL);
  }
  if (close_) {
    ::close(fd);
  } else {
    open_.push_back(fd);
  }
}

}  // namespace velour_test
