#include "platform/web/WebView.h"

#include <algorithm>
#include <cctype>
#include <random>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/web/JsonCodec.h"
#include "platform/web/PageScript.h"

namespace platform {

namespace {

double& loadTimeoutSeconds() {
  static double seconds = WebView::kDefaultLoadTimeout;
  return seconds;
}

std::string randomToken() {
  std::random_device device;
  std::string token;
  for (int i = 0; i < 32; ++i) token += text::hexDigit(device());
  return token;
}

bool isLoadable(const URL& url) {
  return url.isHTTPOrHTTPS() || url.scheme() == "about" || url.scheme() == "data";
}

// The key of a page's text: its URL without the fragment, with the root path that the engine
// gives an http URL written without one ("http://host" is requested as "http://host/").
std::string pageKey(const std::string& url) {
  std::string key = url.substr(0, url.find('#'));
  auto parsed = URL::parse(key);
  if (!parsed || !parsed->isHTTPOrHTTPS()) return key;
  auto path = key.find_first_of("/?", key.find("://") + 3);
  if (path == std::string::npos) path = key.size();
  if (path == key.size() || key[path] == '?') key.insert(path, "/");
  return key;
}

std::string jsString(std::string_view text) {
  return JsonCodec::write(Value(std::string(text)));
}

Error webError(long code, const std::string& text) {
  return Error::make(kWebErrorDomain, code, text);
}

const char* transitionFor(WebViewNavigationType type) {
  switch (type) {
    case kWebViewNavigationTypeLinkClicked:
      return "link";
    case kWebViewNavigationTypeFormSubmitted:
      return "form_submit";
    case kWebViewNavigationTypeReload:
      return "reload";
    default:
      return "other";
  }
}

}  // namespace

bool WebViewDelegate::webViewShouldStartLoadWithRequestNavigationType(WebView&, const WebRequest&,
                                                                      WebViewNavigationType) {
  return true;
}
void WebViewDelegate::webViewDidStartLoad(WebView&) {}
void WebViewDelegate::webViewDidFinishLoad(WebView&) {}
void WebViewDelegate::webViewDidFailLoadWithError(WebView&, const Error&) {}

std::shared_ptr<WebView> WebView::create(const Rect& frame) {
  return std::make_shared<WebView>(frame);
}

WebView::WebView(const Rect& frame) : View(frame), token_(randomToken()) {}

WebView::~WebView() {
  if (load_.timeout) load_.timeout->invalidate();
  if (carryOut_) carryOut_->invalidate();
  if (page_ && browser_) browser_->closePage(*page_);
}

double WebView::loadTimeout() {
  return loadTimeoutSeconds();
}
void WebView::setLoadTimeout(double seconds) {
  loadTimeoutSeconds() = seconds;
}

std::string WebView::describe() const {
  return "WebView " + (committedURL_.empty() ? std::string("(empty)") : committedURL_);
}

// --- The page in the browser -------------------------------------------------------------

bool WebView::ensurePage() {
  if (page_ && browser_ && browser_->isRunning()) return true;
  page_.reset();
  browser_ = Browser::shared();
  Error error;
  auto page = browser_->openPage(&error);
  if (!page) {
    engineError_ = error;
    log("web: " + error.localizedDescription());
    return false;
  }
  engineError_.reset();
  page_ = page;
  setUpPage();
  return page_.has_value();
}

void WebView::setUpPage() {
  std::weak_ptr<WebView> weak = webSelf();
  BrowserSessionClient client;
  client.onEvent = [weak](const std::string& method, const Value& params) {
    if (auto self = weak.lock()) self->onEvent(method, params);
  };
  client.onEnded = [weak](const Error& error) {
    if (auto self = weak.lock()) self->dropPage(error);
  };
  browser_->setSessionClient(page_->sessionId, std::move(client));
  call("Page.enable", Dictionary{});
  call("Runtime.enable", Dictionary{});
  call("Runtime.addBinding", Dictionary{{"name", kNavigationBinding}});
  call("Page.addScriptToEvaluateOnNewDocument", Dictionary{{"source", pageScript(token_)}});
  call("Emulation.setUserAgentOverride",
       Dictionary{{"userAgent", kUserAgent}, {"platform", "iPhone"}});
  Dictionary requests{
      {"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}};
  Dictionary responses{
      {"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Response"}};
  call("Fetch.enable", Dictionary{{"patterns", Array{Value(requests), Value(responses)}}});
  viewport_ = Size();
  applyViewport();
}

void WebView::dropPage(const Error& error) {
  page_.reset();
  mainContext_ = 0;
  expected_.reset();
  approved_.reset();
  superseded_.clear();
  failLoad(error);
}

Browser::CallResult WebView::call(std::string_view method, Value params, double budget) {
  if (!page_ || !browser_) {
    return {Value(), webError(kWebErrorEngineFailed, "the web view has no page")};
  }
  return browser_->call(method, std::move(params), page_->sessionId, budget);
}

void WebView::send(std::string_view method, Value params, Browser::Reply reply) {
  if (!page_ || !browser_) return;
  browser_->send(method, std::move(params), page_->sessionId, std::move(reply));
}

void WebView::applyViewport() {
  Size size{std::max(1.0, frame().size.width), std::max(1.0, frame().size.height)};
  if (size == viewport_ && scalesPageToFit_ == viewportScales_) return;
  viewport_ = size;
  viewportScales_ = scalesPageToFit_;
  // A page that scales to fit is laid out as a phone's browser lays it out (its viewport tag,
  // else 980 wide) and zoomed to the view; otherwise it is laid out at the view's width.
  call("Emulation.setDeviceMetricsOverride",
       Dictionary{{"width", static_cast<long long>(size.width)},
                  {"height", static_cast<long long>(size.height)},
                  {"deviceScaleFactor", 1},
                  {"mobile", scalesPageToFit_}});
}

// --- Loads and the delegate ----------------------------------------------------------------

bool WebView::ask(const WebRequest& request, WebViewNavigationType type, bool userActivation) {
  auto delegate = delegate_.lock();
  if (!delegate) return true;
  lastUserActivation_ = userActivation;
  bool approved = delegate->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
  lastUserActivation_ = false;
  return approved;
}

void WebView::notify(std::function<void(WebViewDelegate&, WebView&)> message) {
  std::weak_ptr<WebView> weak = webSelf();
  RunLoop::main().post([weak, message = std::move(message)] {
    auto self = weak.lock();
    if (!self) return;
    if (auto delegate = self->delegate_.lock()) message(*delegate, *self);
  });
}

void WebView::cancelLoadInProgress() {
  if (load_.active) failLoad(webError(kWebErrorCancelled, "the load was cancelled"));
}

void WebView::beginLoad(WebViewNavigationType type, const WebRequest& request,
                        bool userActivation) {
  // Our request of a load that is replaced may still come; it is then dropped, not asked for.
  if (load_.active && expected_) {
    if (superseded_.size() >= 16) superseded_.erase(superseded_.begin());
    superseded_.push_back(pageKey(expected_->request.url().absoluteString()));
  }
  cancelLoadInProgress();
  ++navigationSerial_;
  load_ = Load();
  load_.active = true;
  load_.id = nextLoadId_++;
  load_.type = type;
  load_.userActivation = userActivation;
  request_ = request;
  std::weak_ptr<WebView> weak = webSelf();
  const std::uint64_t id = load_.id;
  load_.timeout = RunLoop::main().scheduleTimer(loadTimeout(), false, [weak, id](Timer&) {
    auto self = weak.lock();
    if (!self || !self->load_.active || self->load_.id != id) return;
    self->send("Page.stopLoading", Dictionary{});
    self->failLoad(webError(kWebErrorTimedOut, "the load timed out"));
  });
  notify([](WebViewDelegate& delegate, WebView& view) { delegate.webViewDidStartLoad(view); });
}

void WebView::finishLoad() {
  if (!load_.active) return;
  if (load_.timeout) load_.timeout->invalidate();
  load_ = Load();
  expected_.reset();
  superseded_.clear();
  notify([](WebViewDelegate& delegate, WebView& view) { delegate.webViewDidFinishLoad(view); });
}

// Takes a copy: the error may be load_.failure, which the reset below ends.
void WebView::failLoad(Error error) {
  if (!load_.active) return;
  if (load_.timeout) load_.timeout->invalidate();
  load_ = Load();
  expected_.reset();
  notify([error = std::move(error)](WebViewDelegate& delegate, WebView& view) {
    delegate.webViewDidFailLoadWithError(view, error);
  });
}

void WebView::failWithoutEngine() {
  failLoad(engineError_ ? *engineError_
                        : webError(kWebErrorEngineFailed, "the web engine is not running"));
}

void WebView::loadRequest(const WebRequest& request) {
  WebRequest outgoing = request;
  if (outgoing.valueForHTTPHeaderField("User-Agent").empty()) {
    outgoing.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  }
  if (!ask(outgoing, kWebViewNavigationTypeOther)) return;
  if (!ensurePage()) {
    beginLoad(kWebViewNavigationTypeOther, outgoing);
    failWithoutEngine();
    return;
  }
  navigateTo(outgoing, std::nullopt, kWebViewNavigationTypeOther);
}

void WebView::loadHTMLStringBaseURL(std::string_view html, const std::optional<URL>& baseURL) {
  URL url = baseURL && baseURL->isHTTPOrHTTPS() ? *baseURL : *URL::parse("about:blank");
  WebRequest request(url);
  request.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  if (!ask(request, kWebViewNavigationTypeOther)) return;
  if (!ensurePage()) {
    beginLoad(kWebViewNavigationTypeOther, request);
    failWithoutEngine();
    return;
  }
  if (url.isHTTPOrHTTPS()) {
    rememberPageText(pageKey(url.absoluteString()), std::string(html));
    navigateTo(request, std::string(html), kWebViewNavigationTypeOther);
    return;
  }
  // A blank page of our own first, so that the page script is in place; then the text.
  beginLoad(kWebViewNavigationTypeOther, request);
  load_.htmlPending = true;
  applyViewport();
  std::weak_ptr<WebView> weak = webSelf();
  const std::uint64_t id = load_.id;
  send("Page.navigate", Dictionary{{"url", "about:blank"}},
       [weak, id, text = std::string(html)](const Value&, const Error* error) {
         auto self = weak.lock();
         if (!self || !self->load_.active || self->load_.id != id) return;
         if (error) {
           self->failLoad(*error);
           return;
         }
         self->send("Page.setDocumentContent",
                    Dictionary{{"frameId", self->page_->targetId}, {"html", text}},
                    [weak, id](const Value&, const Error* failure) {
                      auto view = weak.lock();
                      if (!view || !view->load_.active || view->load_.id != id) return;
                      if (failure) {
                        view->failLoad(*failure);
                      } else {
                        view->finishLoad();
                      }
                    });
       });
}

// The page's script sees our navigations within its document and in its history; this lets
// the next one to `url` through, then runs `then`, unless another navigation came meanwhile.
// Nothing waits for the page, which may be busy.
void WebView::passThen(const std::string& url, std::function<void(WebView&)> then) {
  std::string expression = std::string("window.") + kPassFunction + " && window." + kPassFunction +
                           "(" + jsString(token_) + ", " + jsString(url) + ")";
  std::weak_ptr<WebView> weak = webSelf();
  const std::uint64_t serial = navigationSerial_;
  send("Runtime.evaluate", Dictionary{{"expression", expression}},
       [weak, serial, then = std::move(then)](const Value&, const Error*) {
         auto self = weak.lock();
         if (self && self->navigationSerial_ == serial) then(*self);
       });
}

void WebView::navigateTo(const WebRequest& request, std::optional<std::string> html,
                         WebViewNavigationType type, bool userActivation) {
  beginLoad(type, request, userActivation);
  if (request.url().isHTTPOrHTTPS()) expected_ = Expected{request, std::move(html)};
  applyViewport();
  const std::string url = request.url().absoluteString();
  Dictionary params{{"url", url}, {"transitionType", transitionFor(type)}};
  std::string referrer = request.valueForHTTPHeaderField("Referer");
  if (!referrer.empty()) {
    // The application chose this Referer: it goes as given, even from a secure page.
    params.set("referrer", referrer);
    params.set("referrerPolicy", "unsafeUrl");
  }
  if (url.find('#') != std::string::npos && pageKey(url) == pageKey(committedURL_)) {
    passThen(url, [params = std::move(params)](WebView& view) { view.sendNavigate(params); });
  } else {
    sendNavigate(std::move(params));
  }
}

void WebView::sendNavigate(Dictionary params) {
  std::weak_ptr<WebView> weak = webSelf();
  const std::uint64_t id = load_.id;
  send("Page.navigate", std::move(params), [weak, id](const Value& result, const Error* error) {
    auto self = weak.lock();
    if (!self || !self->load_.active || self->load_.id != id) return;
    if (error) {
      self->failLoad(*error);
      return;
    }
    const std::string& problem = result["errorText"].stringValue();
    if (problem.empty()) return;
    // An abort is a newer load or a stop taking its place; those report themselves.
    if (problem == "net::ERR_ABORTED") return;
    self->failLoad(webError(kWebErrorLoadFailed, "the page could not be loaded: " + problem));
  });
}

// --- History, reload, stop -----------------------------------------------------------------

namespace {

struct History {
  int current = -1;
  Array entries;
};

History historyOf(const Browser::CallResult& reply) {
  History history;
  if (reply.error) return history;
  history.current = static_cast<int>(reply.result["currentIndex"].integerValue(-1));
  history.entries = reply.result["entries"].arrayValue();
  return history;
}

// The entry of the new page's own about:blank is not history that a user can go back to.
int firstEntry(const History& history) {
  return !history.entries.empty() && history.entries[0]["url"].stringValue() == "about:blank" &&
                 history.entries.size() > 1
             ? 1
             : 0;
}

}  // namespace

bool WebView::canGoBack() {
  if (!page_) return false;
  History history = historyOf(call("Page.getNavigationHistory", Dictionary{}));
  return history.current > firstEntry(history);
}

bool WebView::canGoForward() {
  if (!page_) return false;
  History history = historyOf(call("Page.getNavigationHistory", Dictionary{}));
  return history.current >= 0 && history.current + 1 < static_cast<int>(history.entries.size());
}

void WebView::goBack() {
  navigateInHistory(-1, true);
}
void WebView::goForward() {
  navigateInHistory(1, true);
}

void WebView::navigateInHistory(int offset, bool askFirst, bool userActivation) {
  if (!page_) return;
  History history = historyOf(call("Page.getNavigationHistory", Dictionary{}));
  int target = history.current + offset;
  if (history.current < 0 || target < firstEntry(history) ||
      target >= static_cast<int>(history.entries.size()))
    return;
  const Value& entry = history.entries[static_cast<std::size_t>(target)];
  const std::string& url = entry["url"].stringValue();
  WebRequest request = requestFromPage(url);
  if (askFirst && !ask(request, kWebViewNavigationTypeBackForward)) return;
  beginLoad(kWebViewNavigationTypeBackForward, request, userActivation);
  if (request.url().isHTTPOrHTTPS())
    expected_ = Expected{request, rememberedPageText(pageKey(url))};
  passThen(url, [entryId = entry["id"]](WebView& view) {
    view.send("Page.navigateToHistoryEntry", Dictionary{{"entryId", entryId}});
  });
}

void WebView::reload() {
  if (!page_ || committedURL_.empty()) return;
  if (ask(request_, kWebViewNavigationTypeReload)) reloadApproved(kWebViewNavigationTypeReload);
}

void WebView::reloadApproved(WebViewNavigationType type, bool userActivation) {
  WebRequest request = request_;
  beginLoad(type, request, userActivation);
  if (request.url().isHTTPOrHTTPS()) {
    expected_ = Expected{request, rememberedPageText(pageKey(committedURL_))};
  }
  send("Page.reload", Dictionary{});
}

void WebView::stopLoading() {
  if (page_) send("Page.stopLoading", Dictionary{});
  failLoad(webError(kWebErrorCancelled, "the load was stopped"));
}

// --- Events of the page --------------------------------------------------------------------

void WebView::onEvent(const std::string& method, const Value& params) {
  if (!page_) return;
  const std::string& mainFrame = page_->targetId;
  if (method == "Runtime.executionContextCreated") {
    const Value& context = params["context"];
    if (context["auxData"]["frameId"].stringValue() == mainFrame &&
        context["auxData"]["isDefault"].boolValue()) {
      mainContext_ = static_cast<int>(context["id"].integerValue());
    }
  } else if (method == "Runtime.bindingCalled") {
    if (params["name"].stringValue() != kNavigationBinding ||
        params["executionContextId"].integerValue() != mainContext_)
      return;
    auto report = JsonCodec::parse(params["payload"].stringValue());
    if (report && report->isDictionary()) onNavigationReport(*report);
  } else if (method == "Fetch.requestPaused") {
    onRequestPaused(params);
  } else if (method == "Page.frameStartedNavigating") {
    // Traversals to another document pass the page script unheld; their kind comes here.
    if (params["frameId"].stringValue() != mainFrame) return;
    const std::string& kind = params["navigationType"].stringValue();
    if (kind.rfind("history", 0) == 0) unheldType_ = kWebViewNavigationTypeBackForward;
    if (kind == "reload") unheldType_ = kWebViewNavigationTypeReload;
    if (load_.active) load_.started = true;
  } else if (method == "Page.frameNavigated") {
    if (params["frame"]["parentId"].stringValue().empty()) onFrameNavigated(params["frame"]);
  } else if (method == "Page.navigatedWithinDocument") {
    if (params["frameId"].stringValue() != mainFrame) return;
    committedURL_ = params["url"].stringValue();
    if (auto url = URL::parse(committedURL_)) request_.setURL(*url);
    if (load_.active && !load_.committed && !load_.htmlPending) finishLoad();
  } else if (method == "Page.frameStoppedLoading") {
    if (params["frameId"].stringValue() == mainFrame) onFrameStopped();
  } else if (method == "Page.javascriptDialogOpening") {
    // A dialog would hold the page's script forever; it is answered at once.
    log("web: page dialog: " + params["message"].stringValue());
    send("Page.handleJavaScriptDialog", Dictionary{{"accept", true}});
  } else if (method == "Inspector.targetCrashed") {
    onCrashed();
  }
}

void WebView::onNavigationReport(const Value& report) {
  if (report["end"].boolValue()) {
    carryOutNow();
    return;
  }
  lastReportTime_ = RunLoop::main().now();
  const std::string& url = report["url"].stringValue();
  auto type = static_cast<WebViewNavigationType>(report["type"].integerValue(5));
  if (type < kWebViewNavigationTypeLinkClicked || type > kWebViewNavigationTypeOther) {
    type = kWebViewNavigationTypeOther;
  }
  const bool userActivation = report["user"].boolValue();
  if (!report["held"].boolValue()) {
    // Not held by the page script (a traversal to another document): the document request
    // that follows is put to the delegate instead.
    unheldType_ = type;
    unheldUserActivation_ = userActivation;
    return;
  }
  if (!URL::parse(url)) return;
  WebRequest request = requestFromPage(url);
  if (report["post"].boolValue()) {
    request.setHTTPMethod("POST");
    request.setHTTPBody(report["body"].stringValue());
    request.setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
  }
  if (!ask(request, type, userActivation)) return;
  if (!isLoadable(request.url())) {
    // The engine has nothing to show for a message or application URL; the page stays.
    log("web: not loaded, no page for " + url);
    return;
  }
  approved_ = Approved{std::move(request), type, report["same"].boolValue(),
                       report["index"].integerValue(-1), userActivation};
  if (!carryOut_) armCarryOut(kBurstQuiet);
}

void WebView::armCarryOut(double delay) {
  std::weak_ptr<WebView> weak = webSelf();
  carryOut_ = RunLoop::main().scheduleTimer(delay, false, [weak](Timer&) {
    if (auto self = weak.lock()) self->carryOutWhenQuiet();
  });
}

// The page tells when the task that asked for navigations has ended; should it fail to (its
// document went meanwhile), a quiet spell will do.
void WebView::carryOutWhenQuiet() {
  carryOut_.reset();
  const double quietFor = RunLoop::main().now() - lastReportTime_;
  if (quietFor < kBurstQuiet) {
    armCarryOut(kBurstQuiet - quietFor);
    return;
  }
  carryOutNow();
}

// Only the last approved navigation of a burst loads, once the page's script has ended: one
// carried out meanwhile could take the page's place in the middle of its script.
void WebView::carryOutNow() {
  if (carryOut_) carryOut_->invalidate();
  carryOut_.reset();
  if (!approved_ || !page_) return;
  Approved next = std::move(*approved_);
  approved_.reset();
  const WebViewNavigationType type = next.type;
  if (type == kWebViewNavigationTypeReload || type == kWebViewNavigationTypeFormResubmitted) {
    reloadApproved(type, next.userActivation);
  } else if (type == kWebViewNavigationTypeBackForward) {
    History history = historyOf(call("Page.getNavigationHistory", Dictionary{}));
    const long long index = next.historyIndex >= 0 ? next.historyIndex : history.current;
    navigateInHistory(static_cast<int>(index) - history.current, false, next.userActivation);
  } else if (next.sameDocument) {
    ++navigationSerial_;
    const std::string url = next.request.url().absoluteString();
    passThen(url, [url](WebView& view) { view.send("Page.navigate", Dictionary{{"url", url}}); });
  } else {
    navigateTo(next.request, std::nullopt, type, next.userActivation);
  }
}

void WebView::rememberPageText(std::string key, std::string html) {
  std::erase_if(pageTexts_, [&key](const auto& entry) { return entry.first == key; });
  if (pageTexts_.size() >= kRememberedPageTexts) pageTexts_.pop_front();
  pageTexts_.emplace_back(std::move(key), std::move(html));
}

std::optional<std::string> WebView::rememberedPageText(const std::string& key) const {
  for (const auto& [stored, html] : pageTexts_) {
    if (stored == key) return html;
  }
  return std::nullopt;
}

bool WebView::isSuperseded(const std::string& key) {
  if (expected_ && pageKey(expected_->request.url().absoluteString()) == key) return false;
  auto found = std::find(superseded_.begin(), superseded_.end(), key);
  if (found == superseded_.end()) return false;
  superseded_.erase(found);
  return true;
}

void WebView::onRequestPaused(const Value& params) {
  const std::string& requestId = params["requestId"].stringValue();
  if (params["resourceType"].stringValue() != "Document" ||
      params["frameId"].stringValue() != page_->targetId) {
    send("Fetch.continueRequest", Dictionary{{"requestId", requestId}});
    return;
  }
  // The response stage: a reply, or a network error in place of one.
  if (params["responseStatusCode"].isNumber() || params["responseErrorReason"].isString()) {
    onResponsePaused(requestId, params);
    return;
  }
  const bool redirected = !params["redirectedRequestId"].stringValue().empty();
  if (!redirected && isSuperseded(pageKey(params["request"]["url"].stringValue()))) {
    send("Fetch.failRequest", Dictionary{{"requestId", requestId}, {"errorReason", "Aborted"}});
    return;
  }
  if (!redirected && expected_) {
    continueOurRequest(requestId, params["request"]);
    return;
  }
  WebRequest request = requestFromPaused(params["request"]);
  const bool inLoad = redirected && load_.active;
  WebViewNavigationType type = inLoad ? load_.type : unheldType_;
  const bool userActivation = inLoad ? load_.userActivation : unheldUserActivation_;
  unheldType_ = kWebViewNavigationTypeOther;
  unheldUserActivation_ = false;
  if (!ask(request, type, userActivation)) {
    send("Fetch.failRequest", Dictionary{{"requestId", requestId}, {"errorReason", "Aborted"}});
    if (redirected) failLoad(webError(kWebErrorInterrupted, "the delegate refused a redirect"));
    return;
  }
  if (redirected) {
    request_ = request;
    send("Fetch.continueRequest", Dictionary{{"requestId", requestId}});
    return;
  }
  beginLoad(type, request, userActivation);
  load_.started = true;  // the frame began loading before the request came to us
  expected_ = Expected{request, rememberedPageText(pageKey(request.url().absoluteString()))};
  continueOurRequest(requestId, params["request"]);
}

// A redirect to a URL that is not a web page (an application or message scheme) never comes
// back as a request; it is put to the delegate here, and the engine never follows it.
void WebView::onResponsePaused(const std::string& requestId, const Value& params) {
  const long long status = params["responseStatusCode"].integerValue();
  std::string location;
  for (const Value& header : params["responseHeaders"].arrayValue()) {
    if (text::equalsIgnoringASCIICase(header["name"].stringValue(), "location")) {
      location = header["value"].stringValue();
    }
  }
  auto from = URL::parse(params["request"]["url"].stringValue());
  auto target = from && !location.empty() ? URL::parse(location, *from) : std::nullopt;
  if (status < 300 || status > 399 || !target || target->isHTTPOrHTTPS()) {
    send("Fetch.continueRequest", Dictionary{{"requestId", requestId}});
    return;
  }
  WebRequest request = requestFromPage(target->absoluteString());
  ask(request, load_.active ? load_.type : kWebViewNavigationTypeOther,
      load_.active && load_.userActivation);
  send("Fetch.failRequest", Dictionary{{"requestId", requestId}, {"errorReason", "Aborted"}});
  failLoad(webError(kWebErrorInterrupted, "redirected to " + target->absoluteString()));
}

void WebView::continueOurRequest(const std::string& requestId, const Value& paused) {
  Expected expected = std::move(*expected_);
  expected_.reset();
  if (expected.html) {
    Dictionary header{{"name", "Content-Type"}, {"value", "text/html; charset=utf-8"}};
    send("Fetch.fulfillRequest", Dictionary{{"requestId", requestId},
                                            {"responseCode", 200},
                                            {"responseHeaders", Array{Value(header)}},
                                            {"body", text::base64Encode(*expected.html)}});
    return;
  }
  WebRequest merged = requestFromPaused(paused);
  for (const auto& [name, value] : expected.request.allHTTPHeaderFields()) {
    merged.setValueForHTTPHeaderField(value, name);
  }
  Array headers;
  for (const auto& [name, value] : merged.allHTTPHeaderFields()) {
    headers.push_back(Value(Dictionary{{"name", name}, {"value", value}}));
  }
  Dictionary params{{"requestId", requestId}, {"headers", std::move(headers)}};
  if (expected.request.httpMethod() != "GET") {
    params.set("method", expected.request.httpMethod());
    params.set("postData", text::base64Encode(expected.request.httpBody()));
  }
  send("Fetch.continueRequest", std::move(params));
}

void WebView::onFrameNavigated(const Value& frame) {
  if (load_.active && load_.started) load_.committed = true;
  const std::string& url = frame["url"].stringValue();
  const std::string& unreachable = frame["unreachableUrl"].stringValue();
  if (!unreachable.empty() || url.rfind("chrome-error:", 0) == 0) {
    if (load_.active && !load_.failure) {
      load_.failure = webError(kWebErrorLoadFailed, "the page could not be loaded: " +
                                                        (unreachable.empty() ? url : unreachable));
    }
    return;
  }
  committedURL_ = url;
  if (auto parsed = URL::parse(url)) request_.setURL(*parsed);
}

// The page is gone with its renderer: a load under way fails, saying so, and the next use of
// the view makes a fresh page.
void WebView::onCrashed() {
  log("web: the page's renderer crashed");
  Browser::Page page = *page_;
  dropPage(webError(kWebErrorCrashed, "the page's renderer crashed"));
  browser_->closePage(page);
}

void WebView::onFrameStopped() {
  if (!load_.active || load_.htmlPending || !load_.committed) return;
  if (load_.failure) {
    failLoad(*load_.failure);
  } else {
    finishLoad();
  }
}

WebRequest WebView::requestFromPaused(const Value& paused) const {
  WebRequest request;
  if (auto url = URL::parse(paused["url"].stringValue())) request.setURL(*url);
  if (paused["method"].isString()) request.setHTTPMethod(paused["method"].stringValue());
  for (const auto& [name, value] : paused["headers"].dictionaryValue()) {
    request.setValueForHTTPHeaderField(value.stringValue(), name);
  }
  if (request.valueForHTTPHeaderField("User-Agent").empty()) {
    request.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  }
  if (paused["postData"].isString()) request.setHTTPBody(paused["postData"].stringValue());
  return request;
}

WebRequest WebView::requestFromPage(const std::string& url) const {
  WebRequest request;
  if (auto parsed = URL::parse(url)) request.setURL(*parsed);
  request.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  auto current = URL::parse(committedURL_);
  if (current && current->isHTTPOrHTTPS())
    request.setValueForHTTPHeaderField(pageKey(committedURL_), "Referer");
  return request;
}

// --- Scripts and the driver ----------------------------------------------------------------

std::string WebView::stringByEvaluatingJavaScriptFromString(std::string_view script) {
  if (!ensurePage()) return "";
  const long long budgetMs = static_cast<long long>(scriptBudget_ * 1000);
  Browser::CallResult reply = call("Runtime.evaluate",
                                   Dictionary{{"expression", std::string(script)},
                                              {"timeout", budgetMs},
                                              {"silent", true},
                                              {"allowUnsafeEvalBlockedByCSP", true}},
                                   scriptBudget_ + 1);
  if (reply.error) {
    const bool busy = reply.error->code == kWebErrorNoReply;
    // A page that is busy with its own script has it ended, so that the view stays usable.
    if (busy) send("Runtime.terminateExecution", Dictionary{});
    if (busy || reply.error->localizedDescription().find("terminated") != std::string::npos) {
      log("web: a script ran past its budget of " + std::to_string(budgetMs) + " ms and was ended");
    }
    return "";
  }
  const Value& details = reply.result["exceptionDetails"];
  if (details.isDictionary()) {
    const std::string text =
        details["exception"]["description"].stringValue() + " " + details["text"].stringValue();
    if (text.find("terminated") != std::string::npos) {
      log("web: a script ran past its budget of " + std::to_string(budgetMs) + " ms and was ended");
    }
    return "";
  }
  const Value& result = reply.result["result"];
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
  Browser::CallResult text =
      call("Runtime.callFunctionOn",
           Dictionary{{"objectId", objectId},
                      {"functionDeclaration", "function() { return String(this); }"},
                      {"returnByValue", true}},
           scriptBudget_ + 1);
  send("Runtime.releaseObject", Dictionary{{"objectId", objectId}});
  if (text.error || text.result["exceptionDetails"].isDictionary()) return "";
  return text.result["result"]["value"].stringValue();
}

bool WebView::tapLink(std::string_view textOrSelector) {
  if (!ensurePage()) return false;
  applyViewport();
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
  auto point = JsonCodec::parse(stringByEvaluatingJavaScriptFromString(script));
  if (!point || !point->isDictionary()) return false;
  for (const char* kind : {"mousePressed", "mouseReleased"}) {
    Browser::CallResult reply =
        call("Input.dispatchMouseEvent", Dictionary{{"type", kind},
                                                    {"x", (*point)["x"].doubleValue()},
                                                    {"y", (*point)["y"].doubleValue()},
                                                    {"button", "left"},
                                                    {"clickCount", 1}});
    if (reply.error) return false;
  }
  return true;
}

std::string WebView::pageText() {
  return stringByEvaluatingJavaScriptFromString("document.body ? document.body.innerText : ''");
}

std::optional<Bytes> WebView::screenshotPNGAtScale(double scale) {
  constexpr double kMaxScale = 4;
  if (!(scale > 0 && scale <= kMaxScale) || !ensurePage()) return std::nullopt;
  applyViewport();
  // The clip's scale renders the page anew at that density, rather than enlarging pixels.
  Dictionary clip{{"x", 0},
                  {"y", 0},
                  {"width", viewport_.width},
                  {"height", viewport_.height},
                  {"scale", scale}};
  Browser::CallResult reply =
      call("Page.captureScreenshot",
           Dictionary{{"format", "png"}, {"clip", Value(std::move(clip))}}, 10);
  if (reply.error) return std::nullopt;
  auto bytes = text::base64Decode(reply.result["data"].stringValue(), "\r\n");
  if (!bytes || bytes->empty()) return std::nullopt;
  return Bytes(bytes->begin(), bytes->end());
}

}  // namespace platform
