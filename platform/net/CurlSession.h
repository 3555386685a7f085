#pragma once

#include <curl/curl.h>

#include <map>
#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace platform {

class URLConnection;

// libcurl's shared cookie engine for one jar file. A new store is made when the home folder
// changes, so one device's cookies never reach another's jar.
class CookieStore {
 public:
  explicit CookieStore(std::string jarPath);
  ~CookieStore();
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  CURLSH* share() const { return share_; }
  const std::string& jarPath() const { return jarPath_; }
  // The jar file is read into the store once, by the first transfer that uses it.
  bool takeFirstUse();

 private:
  CURLSH* share_;
  std::string jarPath_;
  bool used_ = false;
};

// The process's libcurl multi handle, driven by the main run loop: libcurl's sockets become
// descriptor watches and its timer a run-loop timer. It keeps each running connection alive.
// libcurl's callbacks only record; connections talk to their delegates after libcurl returns.
class CurlSession {
 public:
  static CurlSession& shared();
  ~CurlSession();
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  void attach(CURL* easy, std::shared_ptr<URLConnection> connection);
  void detach(CURL* easy);
  std::shared_ptr<CookieStore> cookieStore();
  // The application's end: every transfer stops unheard and every connection closes, kept-alive
  // ones too, so that a server of the same process (the demo's) need not wait for them as it
  // stops. Connections made afterwards start a fresh session.
  void closeAll();

 private:
  CurlSession();
  void open();
  void stopAll();

  static int socketCallback(CURL* easy, curl_socket_t socket, int what, void* session, void*);
  static int timerCallback(CURLM* multi, long timeoutMs, void* session);
  void watch(curl_socket_t socket, int what);
  void schedule(long timeoutMs);
  void onTimer();
  void perform(curl_socket_t socket, int mask);
  void collectDone();
  void deliverAll();

  CURLM* multi_;
  std::map<CURL*, std::shared_ptr<URLConnection>> running_;
  std::map<curl_socket_t, Registration> watches_;
  TimerHandle timer_;
  std::shared_ptr<CookieStore> cookies_;
};

}  // namespace platform
