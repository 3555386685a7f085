#pragma once

/// @file
/// ZUVAdNetwork: sends the ad client's requests to an ad server of the application's choosing.

#include <functional>
#include <string>

#include "velourphone/Export.h"

/// How many of the ad client's own log lines (those that begin "<Vozave> ") go out.
enum class ZUVLogLevel {
  None = 0,   ///< none
  Error = 1,  ///< those that say why a load failed or was refused
  Info = 2,   ///< all of them: the default
};

/// Where the ad client's requests go. The client names the ad network's hosts itself (its
/// static-content host for the support script, its ad host for ads, clicks and tracking); an
/// application, a test or a demo sends both to another server, such as the one that
/// `vozave serve` runs. Called once, before the first banner loads.
class VOZAVE_API ZUVAdNetwork {
 public:
  /// Sends both hosts to the server at `url`, written "http://HOST:PORT" (port 80 when left
  /// out; a trailing "/" is allowed). Returns false, and changes nothing, for anything else:
  /// another scheme, a path, a query, a fragment or user information.
  [[nodiscard]] static bool useServerAtURL(const std::string& url);

  /// How many of the client's own log lines go out; ZUVLogLevel::Info by default.
  static void setLogLevel(ZUVLogLevel level);
  static ZUVLogLevel logLevel();  ///< the level set last
  /// Where the client's own log lines go, each whole with its "<Vozave> " prefix, on the thread
  /// that logs it; an empty sink sends them to standard error, as by default.
  static void setLogSink(std::function<void(const std::string& line)> sink);
};
