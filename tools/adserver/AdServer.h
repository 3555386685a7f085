#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/adserver/AdContent.h"
#include "tools/adserver/AdRecord.h"
#include "tools/adserver/Inventory.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// The demo ad server: the ad network's side of the protocol on 127.0.0.1, on its own thread.
// velour and the integration tests run it in-process; `vozave serve` runs it standalone. It
// serves the support script, ad requests with their redirect hop, ad pages from the
// inventory's creatives, click and tracking chains, landing pages and the report, acts out
// each ad unit's fault, and records every request.
namespace adserver {

struct AdServerOptions {
  int port = 0;  // 0: a free port of the system's choosing
  // Where the resources live; empty: the "adserver" folder of the application's resources.
  std::string resourceDirectory;
  // The origin of the URLs that the server hands out (ad URLs, pages, tracking, clicks);
  // empty: the server's own http://127.0.0.1:<port>. With the vendor's origin, the client
  // maps the host names to the server (resolveArguments).
  std::string adOrigin;
  // The inventory file; empty: the default one among the resources.
  std::string inventoryPath;
  std::string logPath;  // JSON lines of every request; empty: none
  std::size_t recordCapacity = AdRecord::kDefaultCapacity;
  // Creatives by name, held in memory beside the folder's; the inventory may name them.
  std::map<std::string, std::string> creatives;
};

class AdServer {
 public:
  // An error, the problem as its message, when the resources or the inventory cannot be read,
  // the log cannot be written or the port cannot be bound.
  static platform::Result<std::unique_ptr<AdServer>> start(AdServerOptions options);
  ~AdServer();
  AdServer(const AdServer&) = delete;
  AdServer& operator=(const AdServer&) = delete;

  // Ends stalls at once and stops serving; the destructor does it too.
  void stop();

  int port() const { return port_; }
  // "http://127.0.0.1:<port><path>".
  std::string localURL(const std::string& path) const;
  const std::string& adOrigin() const { return origin_; }
  // "HOST:PORT:127.0.0.1" for each vendor host name, as `velour --resolve` takes them.
  std::vector<std::string> resolveArguments() const;

  AdRecord& record() { return record_; }
  // Replaces one ad unit's entry, so that a test can choose a fault; the support script
  // counts as modified from then on.
  void setUnit(const std::string& slot, AdUnit unit);
  const AdContent& content() const { return content_; }
  // Holds every answer to a support script request for `milliseconds` (0: none), as a
  // server that hangs in the script fetch; ended at once when the server stops.
  void setScriptStall(int milliseconds);
  // The support script as it is served now.
  std::string supportScript() const;

 private:
  using Handler = void (AdServer::*)(const httplib::Request&, httplib::Response&, RecordedRequest&);

  explicit AdServer(AdServerOptions options);
  platform::Result<void> setUp();
  void route(const char* pattern, RequestKind kind, Handler handler);
  void routeErrors();

  void serveScript(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveAdRequest(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveAdPage(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveTracking(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveClick(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveLanding(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveAsset(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveMraidPage(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveVideoDocument(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveVideoClip(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveVideoTracking(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveReport(const httplib::Request&, httplib::Response&, RecordedRequest&);
  void serveReportJSON(const httplib::Request&, httplib::Response&, RecordedRequest&);

  // The ad page, or a video ad's document, with the unit's refresh rate.
  void sendPage(httplib::Response& response, const AdUnit& unit, std::string body,
                const char* type);
  // Waits `milliseconds` or until the server stops; false when it stopped.
  bool stall(int milliseconds);
  std::optional<AdUnit> unitFor(const std::string& slot) const;
  // The next of `creatives` in the rotation named `rotation`.
  std::string nextCreative(const std::string& rotation, const std::vector<std::string>& creatives);
  // The next creative of the rotation that the request's format takes; none when it has only
  // video ads and the request did not announce VAST.
  std::optional<std::string> creativeFor(const AdRequest& ad, const AdUnit& unit);

  AdServerOptions options_;
  AdContent content_;
  AdRecord record_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::string origin_;

  mutable std::mutex mutex_;  // guards what follows
  Inventory inventory_;
  std::map<std::string, std::size_t> rotation_;
  double scriptModified_ = 0;  // whole seconds since 1970
  int scriptStallMilliseconds_ = 0;
  bool stopping_ = false;
  std::condition_variable stopped_;
  std::atomic<long> sequence_{0};
};

}  // namespace adserver
