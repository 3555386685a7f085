#include "ads/core/ZUVAdNetwork.h"

#include <cstdint>

#include "ads/support/ZUVEndpoints.h"
#include "platform/foundation/URL.h"
#include "platform/net/HostResolution.h"

bool ZUVAdNetwork::useServerAtURL(const std::string& url) {
  auto parsed = platform::URL::parse(url);
  // Only the origin counts: a path or a query would be silently dropped, so it is refused.
  if (!parsed || parsed->scheme() != "http" || parsed->host().empty() || !parsed->user().empty() ||
      !parsed->password().empty() || (!parsed->path().empty() && parsed->path() != "/") ||
      !parsed->query().empty() || !parsed->fragment().empty() ||
      url.find_first_of("?#") != std::string::npos) {
    return false;
  }
  auto port = static_cast<std::uint16_t>(parsed->port() < 0 ? 80 : parsed->port());
  auto& resolution = platform::HostResolution::shared();
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    resolution.map(host, parsed->host(), port);
  }
  return true;
}
