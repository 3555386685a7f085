#pragma once

#include "platform/net/URLConnection.h"

namespace velour_test {

// Short connect and idle time-outs for tests that talk to real sockets, so that a peer that
// never answers ends a test in half a second; a fixture holds one, and the settings from
// before come back when it goes.
class ShortNetworkTimeouts {
 public:
  ShortNetworkTimeouts() : saved_(platform::URLConnection::settings()) {
    platform::URLConnection::settings().connectTimeout = kTimeout;
    platform::URLConnection::settings().idleTimeout = kTimeout;
  }
  ~ShortNetworkTimeouts() { platform::URLConnection::settings() = saved_; }
  ShortNetworkTimeouts(const ShortNetworkTimeouts&) = delete;
  ShortNetworkTimeouts& operator=(const ShortNetworkTimeouts&) = delete;

 private:
  static constexpr platform::Duration kTimeout = platform::milliseconds(500);
  platform::URLConnectionSettings saved_;
};

}  // namespace velour_test
