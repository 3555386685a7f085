#include "platform/net/CurlSession.h"

#include <vector>

#include "platform/foundation/FileManager.h"
#include "platform/net/URLConnection.h"

namespace platform {

CookieStore::CookieStore(std::string jarPath)
    : share_(curl_share_init()), jarPath_(std::move(jarPath)) {
  curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
}

CookieStore::~CookieStore() {
  curl_share_cleanup(share_);
}

bool CookieStore::takeFirstUse() {
  bool first = !used_;
  used_ = true;
  return first;
}

CurlSession& CurlSession::shared() {
  static CurlSession session;
  return session;
}

CurlSession::CurlSession() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  open();
}

CurlSession::~CurlSession() {
  // At exit. The watches and the timer end with their handles, on a loop that is never
  // destroyed.
  stopAll();
}

void CurlSession::open() {
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlSession::socketCallback);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlSession::timerCallback);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

void CurlSession::stopAll() {
  auto running = std::move(running_);
  for (auto& [easy, connection] : running) curl_multi_remove_handle(multi_, easy);
  running.clear();
  curl_multi_cleanup(multi_);
  multi_ = nullptr;
}

void CurlSession::closeAll() {
  stopAll();
  watches_.clear();
  timer_.reset();
  open();
}

void CurlSession::attach(CURL* easy, std::shared_ptr<URLConnection> connection) {
  running_[easy] = std::move(connection);
  curl_multi_add_handle(multi_, easy);
}

void CurlSession::detach(CURL* easy) {
  auto it = running_.find(easy);
  if (it == running_.end()) return;
  curl_multi_remove_handle(multi_, easy);
  auto keep = std::move(it->second);  // the caller still runs inside this connection
  running_.erase(it);
}

std::shared_ptr<CookieStore> CurlSession::cookieStore() {
  std::string jar = FileManager::defaultManager().homeDirectory() + "/Library/Cookies/Cookies.txt";
  if (!cookies_ || cookies_->jarPath() != jar) cookies_ = std::make_shared<CookieStore>(jar);
  return cookies_;
}

int CurlSession::socketCallback(CURL*, curl_socket_t socket, int what, void* session, void*) {
  static_cast<CurlSession*>(session)->watch(socket, what);
  return 0;
}

int CurlSession::timerCallback(CURLM*, long timeoutMs, void* session) {
  static_cast<CurlSession*>(session)->schedule(timeoutMs);
  return 0;
}

// A watch is replaced rather than changed: a reset of the run loop drops every watch, and a
// fresh one is right whatever the loop still holds.
void CurlSession::watch(curl_socket_t socket, int what) {
  RunLoop& loop = RunLoop::main();
  watches_.erase(socket);
  if (what == CURL_POLL_REMOVE) return;
  unsigned events =
      ((what & CURL_POLL_IN) ? kFdReadable : 0u) | ((what & CURL_POLL_OUT) ? kFdWritable : 0u);
  watches_[socket] = loop.watchFd(socket, events, [this, socket](unsigned ready) {
    int mask = ((ready & kFdReadable) ? CURL_CSELECT_IN : 0) |
               ((ready & kFdWritable) ? CURL_CSELECT_OUT : 0) |
               ((ready & kFdError) ? CURL_CSELECT_ERR : 0);
    perform(socket, mask);
  });
}

void CurlSession::schedule(long timeoutMs) {
  timer_.reset();
  if (timeoutMs < 0) return;
  timer_ = RunLoop::main().scheduleTimer(milliseconds(static_cast<double>(timeoutMs)), false,
                                         [this](Timer&) { onTimer(); });
}

void CurlSession::onTimer() {
  perform(CURL_SOCKET_TIMEOUT, 0);
  // libcurl does not announce a deadline it has announced before; a timer that fired early
  // (a manual clock) would otherwise leave none.
  if (timer_.isValid()) return;
  long timeoutMs = -1;
  curl_multi_timeout(multi_, &timeoutMs);
  if (timeoutMs >= 0) schedule(timeoutMs);
}

void CurlSession::perform(curl_socket_t socket, int mask) {
  int running = 0;
  curl_multi_socket_action(multi_, socket, mask, &running);
  collectDone();
  deliverAll();
}

void CurlSession::collectDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    auto it = running_.find(message->easy_handle);
    if (it != running_.end()) it->second->onTransferDone(message->data.result);
  }
}

void CurlSession::deliverAll() {
  std::vector<std::shared_ptr<URLConnection>> connections;
  connections.reserve(running_.size());
  for (const auto& [easy, connection] : running_) connections.push_back(connection);
  for (const auto& connection : connections) connection->deliver();
}

}  // namespace platform
