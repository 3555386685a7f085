#pragma once

#include <cstddef>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"
#include "tools/adserver/AdQuery.h"

// The demo ad server's record of what clients sent: every request with its decoded ad
// parameters and signals, and per-unit counts. The server's threads add to it; tests query it;
// it is written as JSON lines to a log file and shown as the report pages.
namespace adserver {

// What kind of resource a request asked for.
enum class RequestKind { Script, Ad, Page, Click, Tracking, Landing, Asset, Report, Other };
const char* requestKindName(RequestKind kind);

struct RecordedRequest {
  double time = 0;  // seconds since 1970
  std::string method, path, query;
  std::string userAgent, referer, ifModifiedSince;
  RequestKind kind = RequestKind::Other;
  std::string slot;  // the ad unit, when the request names one
  int status = 0;
  std::string reason;  // why the server refused it, in one line
  platform::Dictionary parameters;
  std::optional<SignalFields> signals;
  // An ad request's: whether it announced VAST (AdRequest::announcesVast).
  std::optional<bool> announcedVast;
};

struct UnitCounts {
  long requests = 0, impressions = 0, clicks = 0, trackingHits = 0;
};

class AdRecord {
 public:
  static constexpr std::size_t kDefaultCapacity = 1000;

  // Keeps the newest `capacity` requests; the counts cover every request.
  explicit AdRecord(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // Appends every later request to `path` as one JSON line.
  platform::Result<void> openLog(const std::string& path);
  void add(RecordedRequest request);

  std::vector<RecordedRequest> requests() const;  // oldest first
  std::vector<RecordedRequest> requestsOfKind(RequestKind kind) const;
  std::optional<RecordedRequest> last(RequestKind kind) const;
  std::map<std::string, UnitCounts> counts() const;
  void clear();

  std::string reportHTML() const;
  std::string reportJSON() const;
  static platform::Value toValue(const RecordedRequest& request);

 private:
  void count(const RecordedRequest& request);

  mutable std::mutex mutex_;
  std::size_t capacity_;
  std::deque<RecordedRequest> requests_;
  std::map<std::string, UnitCounts> counts_;
  std::ofstream log_;
};

}  // namespace adserver
