#include "tools/adserver/AdServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "ads/support/ZUVHTTPDateFormatter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/SDKResources.h"
#include "platform/foundation/URL.h"
#include "tools/adserver/AdServerEndpoints.h"

namespace adserver {

namespace {

constexpr std::size_t kMaximumRequestBody = 64 * 1024;
constexpr std::size_t kMaximumInventoryFile = 1 << 20;
constexpr std::size_t kMaximumRotations = 1000;
constexpr const char* kHTML = "text/html; charset=utf-8";

// A calendar time for the records and the script's Last-Modified.
double now() {
  return platform::RunLoop::hostDate().secondsSince1970;
}

std::string rawQuery(const httplib::Request& request) {
  auto question = request.target.find('?');
  return question == std::string::npos ? "" : request.target.substr(question + 1);
}

RecordedRequest recordOf(const httplib::Request& request, RequestKind kind) {
  RecordedRequest record;
  record.time = now();
  record.method = request.method;
  record.path = request.path;
  record.query = rawQuery(request);
  record.userAgent = request.get_header_value("User-Agent");
  record.referer = request.get_header_value("Referer");
  record.ifModifiedSince = request.get_header_value("If-Modified-Since");
  record.kind = kind;
  return record;
}

// A refusal: the status and a one-line reason, as the body and in the record.
void refuse(httplib::Response& response, RecordedRequest& record, int status, std::string reason) {
  response.status = status;
  response.set_content(reason + "\n", "text/plain");
  record.reason = std::move(reason);
}

void redirect(httplib::Response& response, const std::string& location) {
  response.status = 302;
  response.set_header("Location", location);
  response.set_content("moved\n", "text/plain");
}

// The ad unit a ticket belongs to: tickets begin with the slot.
std::string slotOfTicket(const std::string& ticket) {
  std::string slot = ticket.substr(0, 15);
  return isAdUnitID(slot) ? slot : "";
}

platform::Result<std::string> readInventoryFile(const std::string& path) {
  auto refuse = [](std::string problem) -> platform::Result<std::string> {
    return platform::Error::make(kAdServerErrorDomain, kAdServerErrorBadInventory,
                                 std::move(problem));
  };
  std::ifstream file(path, std::ios::binary);
  std::string text(kMaximumInventoryFile + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad() || !file.is_open()) return refuse("cannot read the inventory " + path);
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kMaximumInventoryFile) {
    return refuse("the inventory " + path + " is larger than 1 MB");
  }
  return text;
}

}  // namespace

AdServer::AdServer(AdServerOptions options)
    : options_(std::move(options)), record_(options_.recordCapacity) {}

platform::Result<std::unique_ptr<AdServer>> AdServer::start(AdServerOptions options) {
  std::unique_ptr<AdServer> server(new AdServer(std::move(options)));
  if (auto set = server->setUp(); !set) return set.error();
  return server;
}

platform::Result<void> AdServer::setUp() {
  if (options_.resourceDirectory.empty()) {
    options_.resourceDirectory = platform::sdkResourcePath() + "/adserver";
  }
  if (options_.inventoryPath.empty()) {
    options_.inventoryPath = options_.resourceDirectory + "/inventory.json";
  }
  if (auto loaded = content_.load(options_.resourceDirectory); !loaded) return loaded.error();
  for (auto& [name, html] : options_.creatives) content_.addCreative(name, std::move(html));
  auto text = readInventoryFile(options_.inventoryPath);
  if (!text) return text.error();
  std::set<std::string> known = content_.creativeNames();
  known.insert(content_.videoCreativeNames().begin(), content_.videoCreativeNames().end());
  auto inventory = Inventory::parse(*text, known);
  if (!inventory) {
    return platform::Error::make(
        kAdServerErrorDomain, kAdServerErrorBadInventory,
        options_.inventoryPath + ": " + inventory.error().localizedDescription());
  }
  inventory_ = std::move(*inventory);
  scriptModified_ = content_.scriptTemplateModified();
  if (!options_.logPath.empty()) {
    if (auto opened = record_.openLog(options_.logPath); !opened) return opened.error();
  }

  server_ = std::make_unique<httplib::Server>();
  // The listen queue is short (5): in a burst of banners a client's first request can come
  // seconds after its connection is taken, and the server waits for it as long as for any
  // request rather than closing the connection with no reply.
  server_->set_keep_alive_timeout(5);
  server_->set_read_timeout(5);
  server_->set_payload_max_length(kMaximumRequestBody);
  route(R"(/zede/sdk-core-v40\.js)", RequestKind::Script, &AdServer::serveScript);
  route(R"(/zede/ads)", RequestKind::Ad, &AdServer::serveAdRequest);
  route(R"(/zede/page/([^/]*)/([^/]*))", RequestKind::Page, &AdServer::serveAdPage);
  route(R"(/ct/([A-Za-z0-9_.-]+)(/2|/end)?)", RequestKind::Tracking, &AdServer::serveTracking);
  route(R"(/cl/([A-Za-z0-9_.-]+)(/2)?)", RequestKind::Click, &AdServer::serveClick);
  route(R"(/landing/([a-z0-9-]+)\.html)", RequestKind::Landing, &AdServer::serveLanding);
  route(R"(/zede/(webapp|video)\.html)", RequestKind::Asset, &AdServer::serveAsset);
  route(R"(/zede/mraid/([a-z0-9-]+)\.(html|js))", RequestKind::Asset, &AdServer::serveMraidPage);
  route(R"(/zede/vast/([a-z0-9-]+)\.xml)", RequestKind::Asset, &AdServer::serveVideoDocument);
  route(R"(/zede/video/([a-z0-9-]+)\.webm)", RequestKind::Asset, &AdServer::serveVideoClip);
  route(R"(/vt/([A-Za-z0-9_.-]+))", RequestKind::Tracking, &AdServer::serveVideoTracking);
  route(R"(/_report)", RequestKind::Report, &AdServer::serveReport);
  route(R"(/_report\.json)", RequestKind::Report, &AdServer::serveReportJSON);
  routeErrors();

  port_ = options_.port == 0
              ? server_->bind_to_any_port("127.0.0.1")
              : (server_->bind_to_port("127.0.0.1", options_.port) ? options_.port : -1);
  if (port_ <= 0) {
    return platform::Error::make(
        kAdServerErrorDomain, kAdServerErrorCannotStart,
        "cannot listen on 127.0.0.1 port " + std::to_string(options_.port));
  }
  origin_ = options_.adOrigin.empty() ? localURL("") : options_.adOrigin;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // A stop before the loop runs would be lost and the join would hang.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return {};
}

AdServer::~AdServer() {
  stop();
}

void AdServer::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string AdServer::localURL(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> AdServer::resolveArguments() const {
  std::vector<std::string> lines;
  for (const char* host : {kStaticHost, kAdHost}) {
    lines.push_back(std::string(host) + ":" + std::to_string(port_) + ":127.0.0.1");
  }
  return lines;
}

void AdServer::setUnit(const std::string& slot, AdUnit unit) {
  std::lock_guard lock(mutex_);
  inventory_.setUnit(slot, std::move(unit));
  // Strictly later, so that a client that fetched the old script in this second refetches.
  scriptModified_ = std::max(scriptModified_ + 1, static_cast<double>(static_cast<long>(now())));
}

void AdServer::setScriptStall(int milliseconds) {
  std::lock_guard lock(mutex_);
  scriptStallMilliseconds_ = milliseconds;
}

std::string AdServer::supportScript() const {
  std::lock_guard lock(mutex_);
  return content_.supportScript(origin_, inventory_).value_or("");
}

void AdServer::route(const char* pattern, RequestKind kind, Handler handler) {
  server_->Get(pattern,
               [this, kind, handler](const httplib::Request& request, httplib::Response& response) {
                 RecordedRequest record = recordOf(request, kind);
                 (this->*handler)(request, response, record);
                 // A handler that sets no status sends 200 once it returns.
                 record.status = response.status < 0 ? 200 : response.status;
                 record_.add(std::move(record));
               });
}

// What the routes do not answer (unknown paths, other methods, requests that the HTTP layer
// refuses) still gets a one-line reason and goes into the record.
void AdServer::routeErrors() {
  server_->set_error_handler(httplib::Server::HandlerWithResponse(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        std::string reason = response.status == 404   ? "no such resource"
                             : response.status == 413 ? "request body too large"
                             : response.status == 414 ? "request line too long"
                             : response.status == 405 ? "method not allowed"
                                                      : "malformed request";
        RecordedRequest record = recordOf(request, RequestKind::Other);
        record.status = response.status;
        record.reason = reason;
        response.set_content(reason + "\n", "text/plain");
        record_.add(std::move(record));
        return httplib::Server::HandlerResponse::Handled;
      }));
}

std::optional<AdUnit> AdServer::unitFor(const std::string& slot) const {
  std::lock_guard lock(mutex_);
  const AdUnit* unit = inventory_.unit(slot);
  return unit ? std::optional<AdUnit>(*unit) : std::nullopt;
}

std::string AdServer::nextCreative(const std::string& rotation,
                                   const std::vector<std::string>& creatives) {
  if (creatives.empty()) return *content_.creativeNames().begin();
  std::lock_guard lock(mutex_);
  if (rotation_.size() >= kMaximumRotations && !rotation_.contains(rotation)) rotation_.clear();
  return creatives[rotation_[rotation]++ % creatives.size()];
}

bool AdServer::stall(int milliseconds) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                            [this] { return stopping_; });
}

void AdServer::serveScript(const httplib::Request&, httplib::Response& response,
                           RecordedRequest& record) {
  std::string script;
  double modified = 0;
  int stallMilliseconds = 0;
  {
    std::lock_guard lock(mutex_);
    script = content_.supportScript(origin_, inventory_).value_or("");
    modified = scriptModified_;
    stallMilliseconds = scriptStallMilliseconds_;
  }
  if (stallMilliseconds > 0 && !stall(stallMilliseconds)) {
    return refuse(response, record, 503, "server stopping");
  }
  if (script.empty()) return refuse(response, record, 500, "the support script cannot be read");
  ZUVHTTPDateFormatter dates;
  auto since = dates.dateFromString(record.ifModifiedSince);
  if (since && since->secondsSince1970 >= modified) {
    response.status = 304;
    return;
  }
  response.status = 200;
  response.set_header("Last-Modified", dates.stringFromDate(platform::Date{modified}));
  response.set_content(script, "application/javascript");
}

void AdServer::serveAdRequest(const httplib::Request&, httplib::Response& response,
                              RecordedRequest& record) {
  auto query = Query::parse(record.query);
  if (!query) return refuse(response, record, 400, query.error().localizedDescription());
  auto ad = readAdRequest(*query);
  if (!ad) return refuse(response, record, 400, ad.error().localizedDescription());
  record.slot = ad->slot;
  record.parameters = ad->parameters;
  record.signals = ad->signals;
  record.announcedVast = ad->announcesVast;
  auto unit = unitFor(ad->slot);
  if (!unit) return refuse(response, record, 400, "unknown ad unit " + ad->slot);
  if (unit->fault == Fault::Reject) {
    return refuse(response, record, 400, "ad unit " + ad->slot + " refused by the inventory");
  }
  if (unit->fault == Fault::ServerError) {
    return refuse(response, record, 500, "server error chosen by the inventory");
  }
  auto creative = creativeFor(*ad, *unit);
  if (!creative) {
    return refuse(response, record, 400,
                  "no ad for this request: ad unit " + ad->slot +
                      " has only video ads for it and it did not announce VAST");
  }
  long n = ++sequence_;
  std::string ticket = ad->slot + "-" + std::to_string(n);
  redirect(response,
           origin_ + kAdPagePrefix + ad->slot + "/" + *creative + "?n=" + std::to_string(n));
  response.set_header("X-Zede-Tracking-Urls", origin_ + kTrackingPrefix + ticket + "-imp " +
                                                  origin_ + kTrackingPrefix + ticket + "-view");
  response.set_header("X-Zede-Orientation", unit->orientation);
}

// Interstitial and rewarded ads have rotations of their own where the unit names them; a
// rewarded request takes the interstitials' where it names none of its own. A request that did
// not announce VAST skips the video ads; none: no ad. A unit with a fault may have no creatives
// at all, and still answers.
std::optional<std::string> AdServer::creativeFor(const AdRequest& ad, const AdUnit& unit) {
  const platform::Value* format = ad.parameters.find(kAdFormatParameter);
  const std::string asked = format ? format->stringValue() : "";
  std::string rotation = ad.slot;
  const std::vector<std::string>* creatives = &unit.creatives;
  if (asked == kRewardedFormat && !unit.rewarded.empty()) {
    rotation += " rewarded";
    creatives = &unit.rewarded;
  } else if ((asked == kInterstitialFormat || asked == kRewardedFormat) &&
             !unit.interstitials.empty()) {
    rotation += " interstitial";
    creatives = &unit.interstitials;
  }
  if (ad.announcesVast || creatives->empty()) return nextCreative(rotation, *creatives);
  std::vector<std::string> pages;
  std::copy_if(creatives->begin(), creatives->end(), std::back_inserter(pages),
               [](const std::string& name) { return !isVideoCreative(name); });
  if (pages.empty()) return std::nullopt;
  return nextCreative(rotation + " without video", pages);
}

void AdServer::serveAdPage(const httplib::Request& request, httplib::Response& response,
                           RecordedRequest& record) {
  std::string slot = request.matches[1], name = request.matches[2];
  auto query = Query::parse(record.query);
  if (!query) return refuse(response, record, 400, query.error().localizedDescription());
  if (!isAdUnitID(slot)) return refuse(response, record, 400, "bad ad unit in the page path");
  record.slot = slot;
  record.parameters.set("creative", platform::Value(name));
  auto unit = unitFor(slot);
  if (!unit) return refuse(response, record, 400, "unknown ad unit " + slot);
  const std::string* n = query->find("n");
  if (n &&
      (n->empty() || n->size() > 18 || n->find_first_not_of("0123456789") != std::string::npos)) {
    return refuse(response, record, 400, "\"n\" must be a number");
  }
  AdPlaceholders values{origin_, slot, slot + "-" + (n ? *n : "0")};
  const bool video = isVideoCreative(name);
  auto html = video ? content_.videoCreative(name, origin_) : content_.creative(name, values);
  if (!html) return refuse(response, record, 404, "no creative named " + quotedForReason(name));
  const char* type = video ? "application/xml" : kHTML;
  if (std::find(unit->rewarded.begin(), unit->rewarded.end(), name) != unit->rewarded.end()) {
    response.set_header("X-Zede-Reward", unit->reward);
    response.set_header("X-Zede-Reward-Time", unit->rewardTime);
  }
  // The fault pages take the place of any creative, a video ad's too.
  switch (unit->fault) {
    case Fault::EmptyPage:
      return sendPage(response, *unit, AdContent::emptyPage(), kHTML);
    case Fault::NavigationLoop:
      return sendPage(response, *unit, AdContent::navigationLoopPage(), kHTML);
    case Fault::RunawayScript:
      return sendPage(response, *unit, AdContent::runawayScriptPage(), kHTML);
    case Fault::MessageFlood:
      return sendPage(response, *unit, AdContent::messageFloodPage(), kHTML);
    case Fault::Stall:
      if (!stall(unit->stallMilliseconds)) return refuse(response, record, 503, "server stopping");
      break;
    case Fault::CloseMidBody: {
      auto body = std::make_shared<std::string>(std::move(*html));
      response.status = 200;
      response.set_header("X-Zede-Refresh-Rate", unit->refreshRate);
      response.set_content_provider(
          body->size(), type, [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
            // Half the page, then the connection closes.
            if (offset >= body->size() / 2) return false;
            return sink.write(body->data(), body->size() / 2);
          });
      record.reason = "closed in mid-body";
      return;
    }
    default:
      break;
  }
  sendPage(response, *unit, std::move(*html), type);
}

void AdServer::sendPage(httplib::Response& response, const AdUnit& unit, std::string body,
                        const char* type) {
  response.status = 200;
  response.set_header("X-Zede-Refresh-Rate", unit.refreshRate);
  response.set_content(std::move(body), type);
}

void AdServer::serveTracking(const httplib::Request& request, httplib::Response& response,
                             RecordedRequest& record) {
  std::string ticket = request.matches[1], hop = request.matches[2];
  record.slot = slotOfTicket(ticket);
  if (hop.empty()) return redirect(response, origin_ + kTrackingPrefix + ticket + "/2");
  // Only the first hop counts; the rest of the chain is recorded without a unit.
  record.slot.clear();
  if (hop == "/2") return redirect(response, origin_ + kTrackingPrefix + ticket + "/end");
  response.status = 200;
  response.set_content("tracked\n", "text/plain");
}

void AdServer::serveClick(const httplib::Request& request, httplib::Response& response,
                          RecordedRequest& record) {
  std::string ticket = request.matches[1], hop = request.matches[2];
  auto query = Query::parse(record.query);
  if (!query) return refuse(response, record, 400, query.error().localizedDescription());
  auto signals = readSignal(*query, "cs");
  if (!signals) return refuse(response, record, 400, signals.error().localizedDescription());
  record.signals = std::move(signals).value();
  const std::string* to = query->find("to");
  if (!to || to->empty() ||
      to->find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-") != std::string::npos ||
      !content_.page("landing/" + *to + ".html")) {
    return refuse(response, record, 400, "\"to\" must name a landing page");
  }
  for (const auto& [name, value] : query->pairs()) {
    if (name != "cs") record.parameters.set(name, platform::Value(value));
  }
  if (!hop.empty()) return redirect(response, origin_ + "/landing/" + *to + ".html");
  record.slot = slotOfTicket(ticket);
  redirect(response, origin_ + kClickPrefix + ticket + "/2?to=" + *to);
}

void AdServer::serveLanding(const httplib::Request& request, httplib::Response& response,
                            RecordedRequest& record) {
  auto html = content_.page("landing/" + std::string(request.matches[1]) + ".html");
  if (!html) return refuse(response, record, 404, "no such landing page");
  response.set_content(*html, "text/html; charset=utf-8");
}

void AdServer::serveAsset(const httplib::Request& request, httplib::Response& response,
                          RecordedRequest& record) {
  auto html = content_.page(std::string(request.matches[1]) + ".html");
  if (!html) return refuse(response, record, 404, "no such page");
  response.set_content(*html, "text/html; charset=utf-8");
}

void AdServer::serveMraidPage(const httplib::Request& request, httplib::Response& response,
                              RecordedRequest& record) {
  std::string name = request.matches[1], extension = request.matches[2];
  auto text = content_.mraidFile(name + "." + extension);
  if (!text) return refuse(response, record, 404, "no such MRAID page");
  response.set_content(*text,
                       extension == "js" ? "application/javascript" : "text/html; charset=utf-8");
}

void AdServer::serveVideoDocument(const httplib::Request& request, httplib::Response& response,
                                  RecordedRequest& record) {
  auto text = content_.videoDocument(request.matches[1], origin_);
  if (!text) return refuse(response, record, 404, "no such video ad");
  response.set_content(*text, "application/xml");
}

void AdServer::serveVideoClip(const httplib::Request& request, httplib::Response& response,
                              RecordedRequest& record) {
  auto clip = content_.videoClip(request.matches[1]);
  if (!clip) return refuse(response, record, 404, "no such clip");
  response.set_content(*clip, "video/webm");
}

// A video ad's tracking: the event is the path's name; nothing to answer.
void AdServer::serveVideoTracking(const httplib::Request& request, httplib::Response& response,
                                  RecordedRequest& record) {
  record.parameters.set("event", platform::Value(std::string(request.matches[1])));
  response.status = 204;
}

void AdServer::serveReport(const httplib::Request&, httplib::Response& response, RecordedRequest&) {
  response.set_content(record_.reportHTML(), "text/html; charset=utf-8");
}

void AdServer::serveReportJSON(const httplib::Request&, httplib::Response& response,
                               RecordedRequest&) {
  response.set_content(record_.reportJSON(), "application/json");
}

}  // namespace adserver
