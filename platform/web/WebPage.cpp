#include "platform/web/WebPage.h"

#include <algorithm>

#include "platform/device/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/web/JsonCodec.h"
#include "platform/web/PageScript.h"
#include "platform/web/WebView.h"

namespace platform {

namespace {

// Beyond a script's budget, for the way to the engine and back.
constexpr Duration kReplyAllowance = seconds(1);

std::string jsString(std::string_view text) {
  return JsonCodec::write(Value(std::string(text)));
}

void logBudgetEnded(long long budgetMs) {
  log("web: a script ran past its budget of " + std::to_string(budgetMs) + " ms and was ended");
}

}  // namespace

int WebPage::History::firstEntry() const {
  return !entries.empty() && entries[0]["url"].stringValue() == "about:blank" && entries.size() > 1
             ? 1
             : 0;
}

WebPage::WebPage() : WebPage(Hooks()) {}

WebPage::WebPage(Hooks hooks)
    : hooks_(std::move(hooks)),
      reachability_(NotificationCenter::defaultCenter().addObserver(
          kDeviceProfileReachabilityDidChangeNotification, nullptr,
          [this](const Notification&) { applyReachability(); })) {}

WebPage::~WebPage() {
  if (page_ && browser_) browser_->closePage(*page_);
}

bool WebPage::open(Client client) {
  client_ = std::move(client);
  forgetPage();
  viewport_ = Size();
  browser_ = Browser::shared();
  if (auto started = browser_->start(); !started) {
    openError_ = started.error();
    log("web: " + started.error().localizedDescription());
    return false;
  }
  openError_.reset();
  if (auto ready = browser_->pool().take()) {
    attach(*ready);
    return true;
  }
  opening_ = true;
  // A page that comes when we have gone, or no longer wait for it, is a spare for the next view.
  browser_->pool().prepare(
      [opening = openingWeak_.weak()](const PagePool::ReadyPage* ready, const Error* error) {
        WebPage* self = opening.get();
        if (!self) return false;
        if (!ready) {
          self->openFailed(*error);
          return false;
        }
        self->attach(*ready);
        return true;
      });
  return true;
}

void WebPage::attach(const PagePool::ReadyPage& ready) {
  std::vector<std::function<void()>> waiting = std::exchange(waiting_, {});
  stopOpening();
  page_ = ready.page;
  token_ = ready.token;
  BrowserSessionClient session;
  session.onEvent = weak_.bind([](WebPage& self, const std::string& method, const Value& params) {
    self.onEvent(method, params);
  });
  // The notice comes on a later pass, when this may already hold a page of a new engine.
  session.onEnded = weak_.bind([sessionId = page_->sessionId](WebPage& self, const Error& error) {
    if (self.page_ && self.page_->sessionId == sessionId) self.drop(error);
  });
  browser_->setSessionClient(page_->sessionId, std::move(session));
  findWindow();
  // Before the commands given meanwhile, which may load a document.
  if (ready.offline != PagePool::isOffline() || !hooks_.localAnswers.empty() ||
      hooks_.pausesEveryRequest) {
    applyReachability();
  }
  installDocumentStartScript();
  for (auto& command : waiting) command();
}

void WebPage::stopOpening() {
  opening_ = false;
  openingWeak_.revoke();
  waiting_.clear();
}

void WebPage::openFailed(const Error& error) {
  openError_ = error;
  log("web: " + error.localizedDescription());
  drop(error);
}

// For a question that needs the page's answer now: the page on its way is opened at once (the
// one being prepared becomes a spare).
bool WebPage::attachNow() {
  if (page_) return true;
  if (!opening_ || !browser_) return false;
  if (auto ready = browser_->pool().take()) {
    attach(*ready);
    return true;
  }
  auto page = browser_->openPageNow();
  if (!page) {
    openFailed(page.error());
    return false;
  }
  attach(PagePool::setUp(*browser_, *page));
  return true;
}

void WebPage::whenAttached(std::function<void()> command) {
  if (page_) {
    command();
  } else if (opening_) {
    waiting_.push_back(std::move(command));
  }
}

// The page's window is shown or hidden in the page's own command order, once its number is
// known. A page should come hidden, but the engine may show a window it opens: the engine is
// told the page's state once at first.
void WebPage::findWindow() {
  windowShown_.reset();
  send("Browser.getWindowForTarget", Dictionary{},
       weak_.bind(
           [session = page_->sessionId](WebPage& self, const Value& result, const Error* error) {
             if (!self.page_ || self.page_->sessionId != session) return;
             if (error || !result["windowId"].isNumber()) {
               log("web: the page's window is unknown; it stays hidden");
               return;
             }
             self.windowId_ = result["windowId"].integerValue();
             self.applyShown();
           }));
}

void WebPage::setShown(bool shown) {
  shown_ = shown;
  applyShown();
}

void WebPage::applyShown() {
  const bool shown = shown_ || showHolds_ > 0;
  if (!page_ || !windowId_ || windowShown_ == shown) return;
  windowShown_ = shown;
  send("Browser.setWindowBounds",
       Dictionary{{"windowId", *windowId_},
                  {"bounds", Dictionary{{"windowState", shown ? "normal" : "minimized"}}}});
}

void WebPage::applyReachability() {
  if (!page_ || !browser_) return;
  std::vector<std::string> answered;
  for (const auto& [fileName, answer] : hooks_.localAnswers) answered.push_back(fileName);
  // Pausing every request, as without a network, lets the view judge each one.
  PagePool::applyReachability(*browser_, page_->sessionId,
                              PagePool::isOffline() || hooks_.pausesEveryRequest, answered);
}

void WebPage::setPausesEveryRequest(bool on) {
  if (on == hooks_.pausesEveryRequest) return;
  hooks_.pausesEveryRequest = on;
  applyReachability();
}

// --- What the view's owner adds to its pages -------------------------------------------------

void WebPage::setDocumentStartScript(std::string source) {
  if (source == hooks_.documentStartScript) return;
  hooks_.documentStartScript = std::move(source);
  if (page_) installDocumentStartScript();
}

// Replaces the script installed before, if any. The engine names a script in its reply: one
// that comes after a newer install is removed again.
void WebPage::installDocumentStartScript() {
  if (!startScriptId_.empty()) {
    send("Page.removeScriptToEvaluateOnNewDocument",
         Dictionary{{"identifier", std::exchange(startScriptId_, {})}});
  }
  const std::uint64_t install = ++startScripts_;
  if (hooks_.documentStartScript.empty()) return;
  // The engine runs it in every frame; the page's frames other than the main one are left alone.
  // The block keeps the script's top-level let, const and class declarations its own.
  std::string source = "if (window.top === window) {\n" + hooks_.documentStartScript + "\n}";
  send(
      "Page.addScriptToEvaluateOnNewDocument", Dictionary{{"source", std::move(source)}},
      weak_.bind([install, session = page_->sessionId](WebPage& self, const Value& result,
                                                       const Error* error) {
        if (error) {
          log("web: the document-start script was not installed: " + error->localizedDescription());
          return;
        }
        if (!self.page_ || self.page_->sessionId != session) return;
        const std::string& identifier = result["identifier"].stringValue();
        if (install == self.startScripts_) {
          self.startScriptId_ = identifier;
        } else {
          self.send("Page.removeScriptToEvaluateOnNewDocument",
                    Dictionary{{"identifier", identifier}});
        }
      }));
}

void WebPage::answerRequestsForFileName(std::string fileName, LocalAnswer answer) {
  if (fileName.empty() || fileName.find('/') != std::string::npos) {
    log("web: no local answer for \"" + text::singleLine(fileName) + "\": not a file name");
    return;
  }
  hooks_.localAnswers[std::move(fileName)] = std::move(answer);
  applyReachability();
}

const WebPage::LocalAnswer* WebPage::localAnswerFor(const std::string& url) const {
  if (hooks_.localAnswers.empty()) return nullptr;
  auto parsed = URL::parse(url);
  if (!parsed) return nullptr;
  const std::string& path = parsed->path();
  auto found = hooks_.localAnswers.find(path.substr(path.rfind('/') + 1));
  return found == hooks_.localAnswers.end() ? nullptr : &found->second;
}

void WebPage::failOffline(const std::string& requestId) {
  send("Fetch.failRequest",
       Dictionary{{"requestId", requestId}, {"errorReason", "InternetDisconnected"}});
}

// The client is told last, through a copy: it may let the view, and this page with it, go.
void WebPage::drop(const Error& error) {
  forgetPage();
  if (auto onGone = client_.onGone) onGone(error);
}

// Nothing of the page before, nor of one on its way, reaches this any more.
void WebPage::forgetPage() {
  page_.reset();
  windowId_.reset();
  showHolds_ = 0;
  startScriptId_.clear();
  mainContext_ = 0;
  scriptsRunning_ = 0;
  busyWatch_.cancel();
  stopOpening();
}

Result<Value> WebPage::call(std::string_view method, Value params, Duration budget) {
  if (!attachNow()) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web view has no page");
  }
  return browser_->call(method, std::move(params), page_->sessionId, budget);
}

void WebPage::send(std::string_view method, Value params, Browser::Reply reply) {
  whenAttached([this, method = std::string(method), params = std::move(params),
                reply = std::move(reply)]() mutable {
    browser_->send(method, std::move(params), page_->sessionId, std::move(reply));
  });
}

void WebPage::letThrough(const std::string& url, Browser::Reply reply) {
  // The token is the page's: known once the page is there.
  whenAttached([this, url, reply = std::move(reply)]() mutable {
    std::string expression = std::string("window.") + kPassFunction + " && window." +
                             kPassFunction + "(" + jsString(token_) + ", " + jsString(url) + ")";
    send("Runtime.evaluate", Dictionary{{"expression", expression}}, std::move(reply));
  });
}

void WebPage::readHistory(std::function<void(History)> done) {
  send("Page.getNavigationHistory", Dictionary{},
       [done = std::move(done)](const Value& result, const Error* error) {
         History history;
         if (!error) {
           history.current = static_cast<int>(result["currentIndex"].integerValue(-1));
           history.entries = result["entries"].arrayValue();
         }
         done(std::move(history));
       });
}

void WebPage::continueRequest(const std::string& requestId) {
  if (PagePool::isOffline()) {
    failOffline(requestId);
    return;
  }
  send("Fetch.continueRequest", Dictionary{{"requestId", requestId}});
}

void WebPage::fulfillRequest(const std::string& requestId, const std::string& html) {
  fulfill(requestId, "text/html; charset=utf-8", html, {});
}

// Any page may ask for it (a module script, a fetch from another origin), and a later answer
// may differ, so no cache keeps it.
void WebPage::fulfillRequest(const std::string& requestId, const LocalAnswer& answer) {
  Array headers{Value(Dictionary{{"name", "Access-Control-Allow-Origin"}, {"value", "*"}}),
                Value(Dictionary{{"name", "Cache-Control"}, {"value", "no-store"}})};
  fulfill(requestId, answer.mimeType, answer.body, std::move(headers));
}

void WebPage::fulfill(const std::string& requestId, const std::string& contentType,
                      const std::string& body, Array extraHeaders) {
  Array headers{Value(Dictionary{{"name", "Content-Type"}, {"value", contentType}})};
  for (Value& header : extraHeaders) headers.push_back(std::move(header));
  send("Fetch.fulfillRequest", Dictionary{{"requestId", requestId},
                                          {"responseCode", 200},
                                          {"responseHeaders", std::move(headers)},
                                          {"body", text::base64Encode(body)}});
}

void WebPage::continueRequest(const std::string& requestId, const WebRequest::Headers& headers,
                              const WebRequest& sent) {
  if (PagePool::isOffline()) {
    failOffline(requestId);
    return;
  }
  Array fields;
  for (const auto& [name, value] : headers) {
    fields.emplace_back(Dictionary{{"name", name}, {"value", value}});
  }
  Dictionary params{{"requestId", requestId}, {"headers", std::move(fields)}};
  if (sent.httpMethod() != "GET") {
    params.set("method", sent.httpMethod());
    params.set("postData", text::base64Encode(sent.httpBody()));
  }
  send("Fetch.continueRequest", std::move(params));
}

void WebPage::abortRequest(const std::string& requestId) {
  send("Fetch.failRequest", Dictionary{{"requestId", requestId}, {"errorReason", "Aborted"}});
}

WebRequest WebPage::pausedRequest(const Value& paused) {
  WebRequest request;
  if (auto url = URL::parse(paused["url"].stringValue())) request.setURL(*url);
  if (paused["method"].isString()) request.setHTTPMethod(paused["method"].stringValue());
  for (const auto& [name, value] : paused["headers"].dictionaryValue()) {
    request.setValueForHTTPHeaderField(value.stringValue(), name);
  }
  if (request.valueForHTTPHeaderField("User-Agent").empty()) {
    request.setValueForHTTPHeaderField(WebView::kUserAgent, "User-Agent");
  }
  if (paused["postData"].isString()) request.setHTTPBody(paused["postData"].stringValue());
  return request;
}

std::optional<URL> WebPage::redirectTarget(const Value& paused) {
  const long long status = paused["responseStatusCode"].integerValue();
  if (status < 300 || status > 399) return std::nullopt;
  std::string location;
  for (const Value& header : paused["responseHeaders"].arrayValue()) {
    if (text::equalsIgnoringASCIICase(header["name"].stringValue(), "location")) {
      location = header["value"].stringValue();
    }
  }
  auto from = URL::parse(paused["request"]["url"].stringValue());
  return from && !location.empty() ? URL::parse(location, *from) : std::nullopt;
}

void WebPage::applyViewport(Size frame, bool scales) {
  // The engine keeps the whole viewport's layers: a huge one takes gigabytes, even hidden.
  auto side = [](double length) { return std::min(std::max(1.0, length), kMaxViewportSide); };
  Size size{side(frame.width), side(frame.height)};
  if (size == viewport_ && scales == viewportScales_) return;
  viewport_ = size;
  viewportScales_ = scales;
  // A page that scales to fit is laid out as a phone's browser lays it out (its viewport tag,
  // else 980 wide) and zoomed to the view; otherwise it is laid out at the view's width.
  send("Emulation.setDeviceMetricsOverride",
       Dictionary{{"width", static_cast<long long>(size.width)},
                  {"height", static_cast<long long>(size.height)},
                  {"deviceScaleFactor", 1},
                  {"mobile", scales}});
}

// --- Events of the page --------------------------------------------------------------------

void WebPage::onEvent(const std::string& method, const Value& params) {
  if (!page_) return;
  if (method == "Runtime.executionContextCreated") {
    const Value& context = params["context"];
    if (context["auxData"]["frameId"].stringValue() == page_->targetId &&
        context["auxData"]["isDefault"].boolValue()) {
      mainContext_ = static_cast<int>(context["id"].integerValue());
    }
  } else if (method == "Runtime.bindingCalled") {
    if (params["name"].stringValue() != kNavigationBinding ||
        params["executionContextId"].integerValue() != mainContext_)
      return;
    auto report = JsonCodec::parse(params["payload"].stringValue());
    auto onReport = client_.onNavigationReport;
    if (report && report->isDictionary() && onReport) onReport(*report);
  } else if (method == "Page.javascriptDialogOpening") {
    // A dialog would hold the page's script forever; it is answered at once.
    log("web: page dialog: " + text::singleLine(params["message"].stringValue()));
    send("Page.handleJavaScriptDialog", Dictionary{{"accept", true}});
  } else if (method == "Inspector.targetCrashed") {
    onCrashed();
  } else if (auto onOther = client_.onEvent) {
    onOther(method, params);
  }
}

// The page is gone with its renderer; the next use of the view makes a fresh one.
void WebPage::onCrashed() {
  log("web: the page's renderer crashed");
  Browser::Page page = *page_;
  browser_->closePage(page);
  drop(Error::make(kWebErrorDomain, kWebErrorCrashed, "the page's renderer crashed"));
}

// --- Scripts and the driver ----------------------------------------------------------------

std::string WebPage::evaluate(std::string_view script, Duration budget) {
  const long long budgetMs = static_cast<long long>(toMilliseconds(budget));
  auto reply = call("Runtime.evaluate",
                    Dictionary{{"expression", std::string(script)},
                               {"timeout", budgetMs},
                               {"silent", true},
                               {"allowUnsafeEvalBlockedByCSP", true}},
                    budget + kReplyAllowance);
  if (!reply) {
    const bool busy = reply.error().code == kWebErrorNoReply;
    // A page that is busy with its own script has it ended, so that the view stays usable.
    if (busy) send("Runtime.terminateExecution", Dictionary{});
    if (busy || reply.error().localizedDescription().find("terminated") != std::string::npos) {
      logBudgetEnded(budgetMs);
    }
    return "";
  }
  const Value& details = (*reply)["exceptionDetails"];
  if (details.isDictionary()) {
    const std::string text =
        details["exception"]["description"].stringValue() + " " + details["text"].stringValue();
    if (text.find("terminated") != std::string::npos) logBudgetEnded(budgetMs);
    return "";
  }
  return textOf((*reply)["result"], budget);
}

void WebPage::run(std::string_view script, Duration budget) {
  const long long budgetMs = static_cast<long long>(toMilliseconds(budget));
  ++scriptsRunning_;
  // A page busy with its own script never gets to ours: past the budget (and a second for the
  // way there and back) its script is ended, so that the view stays usable.
  if (!busyWatch_) {
    busyWatch_ = RunLoop::main().performAfterDelay(
        budget + kReplyAllowance, weak_.bind([budgetMs](WebPage& self) {
          self.send("Runtime.terminateExecution", Dictionary{});
          logBudgetEnded(budgetMs);
        }),
        TimerClock::Host);
  }
  send("Runtime.evaluate",
       Dictionary{{"expression", std::string(script)},
                  {"timeout", budgetMs},
                  {"silent", true},
                  {"allowUnsafeEvalBlockedByCSP", true}},
       weak_.bind([budgetMs](WebPage& self, const Value& result, const Error* error) {
         if (--self.scriptsRunning_ == 0) self.busyWatch_.cancel();
         const std::string text =
             error ? error->localizedDescription()
                   : result["exceptionDetails"]["exception"]["description"].stringValue();
         if (text.find("terminated") != std::string::npos) logBudgetEnded(budgetMs);
       }));
}

std::string WebPage::textOf(const Value& result, Duration budget) {
  const std::string& type = result["type"].stringValue();
  if (type == "undefined" || result["subtype"].stringValue() == "null") return "";
  if (type == "string") return result["value"].stringValue();
  if (type == "boolean") return result["value"].boolValue() ? "true" : "false";
  if (type == "number" || type == "bigint") {
    if (result["unserializableValue"].isString())
      return result["unserializableValue"].stringValue();
    return result["description"].stringValue();
  }
  const std::string& objectId = result["objectId"].stringValue();
  if (objectId.empty()) return result["description"].stringValue();
  auto text = call("Runtime.callFunctionOn",
                   Dictionary{{"objectId", objectId},
                              {"functionDeclaration", "function() { return String(this); }"},
                              {"returnByValue", true}},
                   budget + kReplyAllowance);
  send("Runtime.releaseObject", Dictionary{{"objectId", objectId}});
  if (!text || (*text)["exceptionDetails"].isDictionary()) return "";
  return (*text)["result"]["value"].stringValue();
}

bool WebPage::tap(std::string_view textOrSelector, Duration scriptBudget) {
  const std::string script = "(() => { const q = " + jsString(textOrSelector) + R"JS(;
    const named = Array.from(document.querySelectorAll('a,area,button,input,[onclick]'))
      .find((el) => (el.innerText || el.value || el.alt || '').trim() === q);
    let el = named || null;
    if (!el) { try { el = document.querySelector(q); } catch (e) {} }
    if (!el) return '';
    el.scrollIntoView({block: 'center', inline: 'center'});
    const r = el.getBoundingClientRect();
    return JSON.stringify({x: r.left + r.width / 2, y: r.top + r.height / 2});
  })())JS";
  auto point = JsonCodec::parse(evaluate(script, scriptBudget));
  if (!point || !point->isDictionary()) return false;
  return tapAt(Point{(*point)["x"].doubleValue(), (*point)["y"].doubleValue()});
}

bool WebPage::tapAt(Point point) {
  if (!(point.x >= 0 && point.y >= 0 && point.x < viewport_.width && point.y < viewport_.height)) {
    return false;
  }
  if (!hasPage()) return false;
  // Input reaches only the engine's front page; a page opened since (a build page) is in front.
  // The page applies the three in order.
  send("Page.bringToFront", Dictionary{});
  ++showHolds_;
  applyShown();
  Dictionary finger{{"x", point.x}, {"y", point.y}, {"radiusX", 1}, {"radiusY", 1}, {"id", 0}};
  send("Input.dispatchTouchEvent",
       Dictionary{{"type", "touchStart"}, {"touchPoints", Array{Value(std::move(finger))}}});
  // The engine answers once the page has taken the touch; a page of a new engine has no tap
  // of ours in flight.
  whenAttached([this] {
    send("Input.dispatchTouchEvent", Dictionary{{"type", "touchEnd"}, {"touchPoints", Array{}}},
         weak_.bind([session = page_->sessionId](WebPage& self, const Value&, const Error*) {
           if (!self.page_ || self.page_->sessionId != session) return;
           --self.showHolds_;
           self.applyShown();
         }));
  });
  return true;
}

std::optional<Bytes> WebPage::screenshotPNG(double scale) {
  // The clip's scale renders the page anew at that density, rather than enlarging pixels.
  Dictionary clip{{"x", 0},
                  {"y", 0},
                  {"width", viewport_.width},
                  {"height", viewport_.height},
                  {"scale", scale}};
  ++showHolds_;
  applyShown();
  auto reply = call("Page.captureScreenshot",
                    Dictionary{{"format", "png"}, {"clip", Value(std::move(clip))}}, seconds(10));
  if (showHolds_ > 0) --showHolds_;  // none once the page has gone
  applyShown();
  if (!reply) return std::nullopt;
  auto bytes = text::base64Decode((*reply)["data"].stringValue(), "\r\n");
  if (!bytes || bytes->empty()) return std::nullopt;
  return Bytes(bytes->begin(), bytes->end());
}

}  // namespace platform
