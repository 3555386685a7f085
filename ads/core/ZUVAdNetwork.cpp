#include "ads/core/ZUVAdNetwork.h"

#include <cstdint>

#include "ads/support/ZUVEndpoints.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "platform/net/HostResolution.h"

namespace {

// "http://host[:port][/]" and nothing more: a path, a query or user information would be
// silently dropped by the host mapping, so such text is refused instead.
bool isHTTPOrigin(const std::string& text, const platform::URL& url) {
  bool bareOrigin = url.path().empty() || url.path() == "/";
  return url.scheme() == "http" && !url.host().empty() && url.user().empty() &&
         url.password().empty() && bareOrigin && url.query().empty() && url.fragment().empty() &&
         text.find_first_of("?#") == std::string::npos;
}

struct LogChoice {
  ZUVLogLevel level = ZUVLogLevel::Info;
  platform::LogSink sink;
};

LogChoice& logChoice() {
  static LogChoice choice;
  return choice;
}

void routeLog() {
  const LogChoice& choice = logChoice();
  platform::setLogRoute("<Vozave> ", static_cast<platform::LogLevel>(choice.level), choice.sink);
}

}  // namespace

void ZUVAdNetwork::setLogLevel(ZUVLogLevel level) {
  logChoice().level = level;
  routeLog();
}

ZUVLogLevel ZUVAdNetwork::logLevel() {
  return logChoice().level;
}

void ZUVAdNetwork::setLogSink(std::function<void(const std::string& line)> sink) {
  logChoice().sink = std::move(sink);
  routeLog();
}

bool ZUVAdNetwork::useServerAtURL(const std::string& url) {
  auto parsed = platform::URL::parse(url);
  if (!parsed || !isHTTPOrigin(url, *parsed)) return false;
  auto port = static_cast<std::uint16_t>(parsed->port() < 0 ? 80 : parsed->port());
  auto& resolution = platform::HostResolution::shared();
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    resolution.map(host, parsed->host(), port);
  }
  return true;
}
