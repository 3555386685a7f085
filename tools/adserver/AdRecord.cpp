#include "tools/adserver/AdRecord.h"

#include <algorithm>
#include <ctime>

#include "platform/foundation/Text.h"
#include "platform/web/JsonCodec.h"

namespace adserver {

namespace {

constexpr std::size_t kMaximumCountedUnits = 1000;
constexpr std::size_t kReportedRequests = 100;

const char* const kKindNames[] = {"script",  "ad",    "page",   "click", "tracking",
                                  "landing", "asset", "report", "other"};

std::string timeText(double seconds) {
  std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&whole, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

platform::Value signalsValue(const std::optional<SignalFields>& signals) {
  if (!signals) return {};
  platform::Dictionary fields;
  for (const auto& [key, value] : *signals) fields.set(key, platform::Value(value));
  return fields;
}

std::string row(std::initializer_list<std::string> cells, const char* tag = "td") {
  std::string out = "<tr>";
  for (const std::string& cell : cells) {
    out += std::string("<") + tag + ">" + cell + "</" + tag + ">";
  }
  return out + "</tr>\n";
}

std::string unitsTable(const std::map<std::string, UnitCounts>& counts) {
  std::string out = "<h2>Ad units</h2>\n<table>\n" +
                    row({"ad unit", "requests", "impressions", "clicks", "tracking hits"}, "th");
  for (const auto& [slot, n] : counts) {
    out += row({platform::text::markupEscaped(slot), std::to_string(n.requests),
                std::to_string(n.impressions), std::to_string(n.clicks),
                std::to_string(n.trackingHits)});
  }
  return out + "</table>\n";
}

std::string lastRequestTable(const std::optional<RecordedRequest>& last) {
  if (!last) return "<h2>Last ad request</h2>\n<p>None yet.</p>\n";
  std::string out =
      "<h2>Last ad request</h2>\n<p>" + platform::text::markupEscaped(timeText(last->time)) +
      " UTC, ad unit " + platform::text::markupEscaped(last->slot) +
      (last->announcedVast.value_or(false) ? ", VAST announced" : ", no VAST announced") +
      "</p>\n<table>\n" + row({"parameter", "value"}, "th");
  for (const auto& [key, value] : last->parameters) {
    out += row(
        {platform::text::markupEscaped(key), platform::text::markupEscaped(value.stringValue())});
  }
  if (last->signals) {
    for (const auto& [key, value] : *last->signals) {
      out +=
          row({"ms: " + platform::text::markupEscaped(key), platform::text::markupEscaped(value)});
    }
  }
  return out + "</table>\n";
}

std::string requestsTable(const std::deque<RecordedRequest>& requests) {
  std::string out = "<h2>Requests, newest first</h2>\n<table>\n" +
                    row({"time (UTC)", "kind", "request", "status", "note"}, "th");
  std::size_t shown = 0;
  for (auto it = requests.rbegin(); it != requests.rend() && shown < kReportedRequests;
       ++it, ++shown) {
    std::string target = it->path + (it->query.empty() ? "" : "?" + it->query);
    if (target.size() > 160) target = target.substr(0, 160) + "...";
    out += row({platform::text::markupEscaped(timeText(it->time)), requestKindName(it->kind),
                platform::text::markupEscaped(it->method + " " + target),
                std::to_string(it->status), platform::text::markupEscaped(it->reason)});
  }
  return out + "</table>\n";
}

}  // namespace

const char* requestKindName(RequestKind kind) {
  return kKindNames[static_cast<int>(kind)];
}

platform::Result<void> AdRecord::openLog(const std::string& path) {
  std::lock_guard lock(mutex_);
  log_.open(path, std::ios::app);
  if (!log_) {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorCannotStart,
                                 "cannot write the log file " + path);
  }
  return {};
}

void AdRecord::add(RecordedRequest request) {
  std::lock_guard lock(mutex_);
  count(request);
  if (log_.is_open()) {
    log_ << platform::JsonCodec::write(toValue(request)) << "\n";
    log_.flush();
  }
  requests_.push_back(std::move(request));
  while (requests_.size() > capacity_) requests_.pop_front();
}

void AdRecord::count(const RecordedRequest& request) {
  if (request.slot.empty()) return;
  std::string key = request.slot;
  if (!counts_.contains(key) && counts_.size() >= kMaximumCountedUnits) key = "(others)";
  UnitCounts& n = counts_[key];
  bool served = request.status < 400;
  switch (request.kind) {
    case RequestKind::Ad:
      ++n.requests;
      break;
    case RequestKind::Page:
      n.impressions += request.status == 200;
      break;
    case RequestKind::Click:
      n.clicks += served;
      break;
    case RequestKind::Tracking:
      n.trackingHits += served;
      break;
    default:
      break;
  }
}

std::vector<RecordedRequest> AdRecord::requests() const {
  std::lock_guard lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

std::vector<RecordedRequest> AdRecord::requestsOfKind(RequestKind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<RecordedRequest> found;
  std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(found),
               [kind](const RecordedRequest& request) { return request.kind == kind; });
  return found;
}

std::optional<RecordedRequest> AdRecord::last(RequestKind kind) const {
  std::lock_guard lock(mutex_);
  for (auto it = requests_.rbegin(); it != requests_.rend(); ++it) {
    if (it->kind == kind) return *it;
  }
  return std::nullopt;
}

std::map<std::string, UnitCounts> AdRecord::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void AdRecord::clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
  counts_.clear();
}

platform::Value AdRecord::toValue(const RecordedRequest& request) {
  platform::Dictionary headers;
  if (!request.userAgent.empty()) headers.set("User-Agent", platform::Value(request.userAgent));
  if (!request.referer.empty()) headers.set("Referer", platform::Value(request.referer));
  if (!request.ifModifiedSince.empty()) {
    headers.set("If-Modified-Since", platform::Value(request.ifModifiedSince));
  }
  platform::Dictionary entry{{"time", request.time},
                             {"method", request.method},
                             {"path", request.path},
                             {"query", request.query},
                             {"kind", requestKindName(request.kind)},
                             {"status", request.status},
                             {"headers", headers}};
  if (!request.slot.empty()) entry.set("slot", platform::Value(request.slot));
  if (!request.reason.empty()) entry.set("reason", platform::Value(request.reason));
  if (!request.parameters.empty()) entry.set("parameters", request.parameters);
  if (request.signals) entry.set("signals", signalsValue(request.signals));
  if (request.announcedVast) entry.set("vast", platform::Value(*request.announcedVast));
  return entry;
}

std::string AdRecord::reportHTML() const {
  auto latest = last(RequestKind::Ad);
  std::lock_guard lock(mutex_);
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
         "<meta http-equiv=\"refresh\" content=\"5\"><title>Vozave demo ad server</title>\n"
         "<style>body{font:14px sans-serif;margin:1em 2em}table{border-collapse:collapse}"
         "td,th{border:1px solid #ccc;padding:2px 8px;text-align:left}th{background:#eee}"
         "</style></head><body>\n<h1>Vozave demo ad server</h1>\n" +
         unitsTable(counts_) + lastRequestTable(latest) + requestsTable(requests_) +
         "</body></html>\n";
}

std::string AdRecord::reportJSON() const {
  std::lock_guard lock(mutex_);
  platform::Dictionary units;
  for (const auto& [slot, n] : counts_) {
    units.set(slot, platform::Dictionary{{"requests", n.requests},
                                         {"impressions", n.impressions},
                                         {"clicks", n.clicks},
                                         {"trackingHits", n.trackingHits}});
  }
  platform::Array requests;
  for (const RecordedRequest& request : requests_) requests.push_back(toValue(request));
  return platform::JsonCodec::write(platform::Dictionary{{"units", units}, {"requests", requests}});
}

}  // namespace adserver
