#include "platform/web/WebView.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/TimeText.h"
#include "platform/ui/Exposure.h"

namespace platform {

namespace {

Duration& loadTimeoutSetting() {
  static Duration timeout = WebView::kDefaultLoadTimeout;
  return timeout;
}

bool isLoadable(const URL& url) {
  return url.isHTTPOrHTTPS() || url.scheme() == "about" || url.scheme() == "data";
}

Error webError(long code, const std::string& text) {
  return Error::make(kWebErrorDomain, code, text);
}

// A console argument as the console shows it: text as it is, other values by their description.
std::string consoleText(const Value& argument) {
  const std::string& type = argument["type"].stringValue();
  if (type == "string") return argument["value"].stringValue();
  if (type == "boolean") return argument["value"].boolValue() ? "true" : "false";
  if (argument["subtype"].stringValue() == "null") return "null";
  if (argument["unserializableValue"].isString())
    return argument["unserializableValue"].stringValue();
  const std::string& description = argument["description"].stringValue();
  return description.empty() ? type : description;
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

WebView::WebView(const Rect& frame) : View(frame), page_(std::make_unique<WebPage>()) {
  exposureWatch_ = observeExposureChanges(weak_.bind([](WebView& self) { self.followExposure(); }));
}

WebView::~WebView() {
  // The monitor watches the page: it goes first.
  monitor_.reset();
}

Duration WebView::loadTimeout() {
  return loadTimeoutSetting();
}
void WebView::setLoadTimeout(Duration timeout) {
  loadTimeoutSetting() = timeout;
}

std::string WebView::describe() const {
  return "WebView " + (committedURL_.empty() ? std::string("(empty)") : committedURL_);
}

// --- The page in the browser -------------------------------------------------------------

bool WebView::ensurePage() {
  if (page_->isOpen()) return true;
  if (monitor_) monitor_->detach();
  if (!page_->open(pageClient())) return false;
  if (monitor_) monitor_->attach(*page_);
  applyViewport();
  followExposure();
  return true;
}

void WebView::limitResources(const PageResourceLimits& limits,
                             std::function<void(const std::string& limit)> onUnloaded) {
  onUnloaded_ = std::move(onUnloaded);
  // The monitor goes with this view, and its notices with it.
  monitor_ = std::make_unique<PageResourceMonitor>(
      limits, [this](const std::string& limit) { unloadOverLimit(limit); });
  if (page_->isOpen()) monitor_->attach(*page_);
}

void WebView::unloadOverLimit(const std::string& limit) {
  closePage();
  if (auto onUnloaded = onUnloaded_) onUnloaded(limit);
}

void WebView::closePage() {
  if (monitor_) monitor_->detach();
  // The old page's notices are addressed to it and go with it; what the owner added stays.
  page_ = std::make_unique<WebPage>(page_->hooks());
  committedURL_.clear();
  dropPage(webError(kWebErrorCancelled, "the page was closed"));
}

WebPage::Client WebView::pageClient() {
  WebPage::Client client;
  client.onEvent = weak_.bind([](WebView& self, const std::string& method, const Value& params) {
    self.onEvent(method, params);
  });
  client.onNavigationReport =
      weak_.bind([](WebView& self, const Value& report) { self.onNavigationReport(report); });
  client.onGone = weak_.bind([](WebView& self, const Error& error) { self.dropPage(error); });
  return client;
}

void WebView::setDocumentStartScript(std::string source) {
  page_->setDocumentStartScript(std::move(source));
}

void WebView::answerRequestsForFileName(std::string fileName, std::string mimeType,
                                        std::string body) {
  page_->answerRequestsForFileName(std::move(fileName),
                                   WebPage::LocalAnswer{std::move(mimeType), std::move(body)});
}

void WebView::dropPage(const Error& error) {
  history_ = WebPage::History();
  requests_.forgetAll();
  approved_.reset();
  failLoad(error);
}

void WebView::applyViewport() {
  page_->applyViewport(frame().size, scalesPageToFit_);
}

// At once, in the page's command order: what the view's owner tells the page next (an ad's
// sizeChange) finds the page laid out at the new size.
void WebView::layoutSubviews() {
  if (page_->hasPage()) applyViewport();
}

void WebView::followExposure() {
  page_->setShown(exposureOf(*this).percent > 0);
}

// --- Loads and the delegate ----------------------------------------------------------------

bool WebView::ask(const WebRequest& request, WebViewNavigationType type, Asker asker,
                  bool userActivation) {
  auto delegate = delegate_.lock();
  if (!delegate) return true;
  lastUserActivation_ = userActivation;
  lastFromPage_ = asker == Asker::Page;
  lastFromApplication_ = asker == Asker::Application;
  bool approved = delegate->webViewShouldStartLoadWithRequestNavigationType(*this, request, type);
  lastUserActivation_ = false;
  lastFromPage_ = false;
  lastFromApplication_ = false;
  return approved;
}

void WebView::notify(std::function<void(WebViewDelegate&, WebView&)> message) {
  RunLoop::main().post(weak_.bind([message = std::move(message)](WebView& self) {
    if (auto delegate = self.delegate_.lock()) message(*delegate, self);
  }));
}

void WebView::cancelLoadInProgress() {
  if (load_.active) failLoad(webError(kWebErrorCancelled, "the load was cancelled"));
}

void WebView::beginLoad(WebViewNavigationType type, const WebRequest& request,
                        bool userActivation) {
  cancelLoadInProgress();
  navigationWeak_.revoke();
  resetLoad();
  load_.active = true;
  load_.type = type;
  load_.userActivation = userActivation;
  request_ = request;
  load_.timeout =
      RunLoop::main().scheduleTimer(loadTimeout(), false, weak_.bind([](WebView& self, Timer&) {
        self.page_->send("Page.stopLoading", Dictionary{});
        self.failLoad(webError(kWebErrorTimedOut,
                               "the load timed out after " + secondsText(loadTimeout()) + " s"));
      }));
  notify([](WebViewDelegate& delegate, WebView& view) { delegate.webViewDidStartLoad(view); });
}

// The load's timer goes with it, and the callbacks bound to it fall silent.
void WebView::resetLoad() {
  load_ = Load();
  loadWeak_.revoke();
}

void WebView::finishLoad() {
  if (!load_.active) return;
  resetLoad();
  requests_.forgetAll();
  notify([](WebViewDelegate& delegate, WebView& view) { delegate.webViewDidFinishLoad(view); });
}

// Takes a copy: the error may be load_.failure, which the reset below ends.
void WebView::failLoad(Error error) {
  if (!load_.active) return;
  resetLoad();
  // Our request of a load that ended (replaced, stopped, timed out) may still come; it is then
  // dropped, not put to the delegate as the page's own navigation.
  requests_.supersede();
  requests_.forgetExpected();
  notify([error = std::move(error)](WebViewDelegate& delegate, WebView& view) {
    delegate.webViewDidFailLoadWithError(view, error);
  });
}

void WebView::failWithoutEngine() {
  const std::optional<Error>& error = page_->openError();
  failLoad(error ? *error : webError(kWebErrorEngineFailed, "the web engine is not running"));
}

// The delegate's approval and a page for a load of the application's; false when the load
// goes no further (refused, or failed at once for want of an engine).
bool WebView::startApplicationLoad(const WebRequest& request) {
  if (!ask(request, kWebViewNavigationTypeOther)) return false;
  if (!ensurePage()) {
    beginLoad(kWebViewNavigationTypeOther, request);
    failWithoutEngine();
    return false;
  }
  if (monitor_) monitor_->restart();
  return true;
}

void WebView::loadRequest(const WebRequest& request) {
  WebRequest outgoing = request;
  if (outgoing.valueForHTTPHeaderField("User-Agent").empty()) {
    outgoing.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  }
  if (!startApplicationLoad(outgoing)) return;
  // The application loads a URL for its user (a browser or web application the user opened):
  // the load's redirects, to another application too, are the user's.
  constexpr bool kForTheUser = true;
  navigateTo(outgoing, std::nullopt, kWebViewNavigationTypeOther, kForTheUser);
}

void WebView::loadHTMLStringBaseURL(std::string_view html, const std::optional<URL>& baseURL) {
  URL url = baseURL && baseURL->isHTTPOrHTTPS() ? *baseURL : *URL::parse("about:blank");
  WebRequest request(url);
  request.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  if (!startApplicationLoad(request)) return;
  WebRequest sent = request;
  if (!url.isHTTPOrHTTPS()) {
    // Without a base URL the text is the reply to a page of its own that no server has. Written
    // into a blank page instead, it would reopen that document and take the page script's
    // watch on navigations, and every message of the page, with it.
    static std::uint64_t standIns = 0;
    blankStandIn_ = "http://page-" + std::to_string(++standIns) + ".blank.invalid/";
    sent.setURL(*URL::parse(blankStandIn_));
  }
  requests_.remember(sent.url().absoluteString(), std::string(html));
  navigateTo(sent, std::string(html), kWebViewNavigationTypeOther);
  request_ = request;
}

// The page's script sees our navigations within its document and in its history; this lets
// the next one to `url` through, then runs `then`, unless another navigation came meanwhile.
// Nothing waits for the page, which may be busy.
void WebView::passThen(const std::string& url, std::function<void(WebView&)> then) {
  page_->letThrough(url,
                    navigationWeak_.bind([then = std::move(then)](WebView& self, const Value&,
                                                                  const Error*) { then(self); }));
}

void WebView::navigateTo(const WebRequest& request, std::optional<std::string> html,
                         WebViewNavigationType type, bool userActivation) {
  beginLoad(type, request, userActivation);
  if (request.url().isHTTPOrHTTPS()) requests_.expect(request, std::move(html));
  applyViewport();
  const std::string url = request.url().absoluteString();
  Dictionary params{{"url", url}, {"transitionType", transitionFor(type)}};
  std::string referrer = request.valueForHTTPHeaderField("Referer");
  if (!referrer.empty()) {
    // The application chose this Referer: it goes as given, even from a secure page.
    params.set("referrer", referrer);
    params.set("referrerPolicy", "unsafeUrl");
  }
  if (url.find('#') != std::string::npos &&
      DocumentRequests::pageKey(url) == DocumentRequests::pageKey(committedURL_)) {
    passThen(url, [params = std::move(params)](WebView& view) { view.sendNavigate(params); });
  } else {
    sendNavigate(std::move(params));
  }
}

void WebView::sendNavigate(Dictionary params) {
  page_->send(
      "Page.navigate", std::move(params),
      loadWeak_.bind([](WebView& self, const Value& result, const Error* error) {
        if (error) {
          self.failLoad(*error);
          return;
        }
        const std::string& problem = result["errorText"].stringValue();
        if (problem.empty()) return;
        // An abort is a newer load or a stop taking its place; those report themselves.
        if (problem == "net::ERR_ABORTED") return;
        self.failLoad(webError(kWebErrorLoadFailed, "the page could not be loaded: " + problem));
      }));
}

// --- History, reload, stop -----------------------------------------------------------------

bool WebView::canGoBack() {
  return page_->hasPage() && history_.current > history_.firstEntry();
}

bool WebView::canGoForward() {
  return page_->hasPage() && history_.current >= 0 &&
         history_.current + 1 < static_cast<int>(history_.entries.size());
}

// The history that the page's committed navigations leave is read after each of them, and a
// load is reported finished only once it has been: a delegate that asks at its news finds it
// current.
void WebView::refreshHistory(std::function<void()> then) {
  page_->readHistory(weak_.bind([then = std::move(then)](WebView& self, WebPage::History history) {
    if (history.current >= 0) self.history_ = std::move(history);
    if (then) then();
  }));
}

void WebView::goBack() {
  navigateInHistory(-1, true);
}
void WebView::goForward() {
  navigateInHistory(1, true);
}

void WebView::navigateInHistory(int offset, bool askFirst, bool userActivation) {
  if (!page_->hasPage()) return;
  const WebPage::History& history = history_;
  int target = history.current + offset;
  if (history.current < 0 || target < history.firstEntry() ||
      target >= static_cast<int>(history.entries.size()))
    return;
  const Value entry = history.entries[static_cast<std::size_t>(target)];
  const std::string& url = entry["url"].stringValue();
  WebRequest request = requestFromPage(url);
  if (askFirst && !ask(request, kWebViewNavigationTypeBackForward)) return;
  beginLoad(kWebViewNavigationTypeBackForward, request, userActivation);
  if (request.url().isHTTPOrHTTPS()) requests_.expectRemembered(request, url);
  passThen(url, [entryId = entry["id"]](WebView& view) {
    view.page_->send("Page.navigateToHistoryEntry", Dictionary{{"entryId", entryId}});
  });
}

void WebView::reload() {
  if (!page_->hasPage() || committedURL_.empty()) return;
  if (ask(request_, kWebViewNavigationTypeReload)) reloadApproved(kWebViewNavigationTypeReload);
}

void WebView::reloadApproved(WebViewNavigationType type, bool userActivation) {
  WebRequest request = request_;
  beginLoad(type, request, userActivation);
  if (request.url().isHTTPOrHTTPS()) requests_.expectRemembered(request, committedURL_);
  page_->send("Page.reload", Dictionary{});
}

void WebView::stopLoading() {
  if (page_->hasPage()) page_->send("Page.stopLoading", Dictionary{});
  failLoad(webError(kWebErrorCancelled, "the load was stopped"));
}

// --- Events of the page --------------------------------------------------------------------

void WebView::onEvent(const std::string& method, const Value& params) {
  if (monitor_ && method.rfind("Network.", 0) == 0) {
    monitor_->onEvent(method, params);
    return;
  }
  const std::string& mainFrame = page_->mainFrameId();
  if (method == "Fetch.requestPaused") {
    onRequestPaused(params);
  } else if (method == "Runtime.consoleAPICalled") {
    if (!consoleHandler_) return;
    std::string text;
    for (const Value& argument : params["args"].arrayValue()) {
      if (!text.empty()) text += ' ';
      text += consoleText(argument);
    }
    onConsoleMessage(params["type"].stringValue(), std::move(text));
  } else if (method == "Runtime.exceptionThrown") {
    if (!consoleHandler_) return;
    const Value& details = params["exceptionDetails"];
    const std::string& description = details["exception"]["description"].stringValue();
    onConsoleMessage(
        "error", details["text"].stringValue() + (description.empty() ? "" : " " + description));
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
    if (!load_.active || load_.committed) {
      refreshHistory({});
      return;
    }
    refreshHistory(loadWeak_.bind([](WebView& view) { view.finishLoad(); }));
  } else if (method == "Page.frameStoppedLoading") {
    if (params["frameId"].stringValue() == mainFrame) onFrameStopped();
  }
}

// Posted: the handler may let the view go, or run a script in its page.
void WebView::onConsoleMessage(const std::string& level, std::string text) {
  RunLoop::main().post(weak_.bind([level, text = std::move(text)](WebView& self) {
    if (auto handler = self.consoleHandler_) handler(level, text);
  }));
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
  if (!ask(request, type, Asker::Page, userActivation)) return;
  if (!isLoadable(request.url())) {
    // The engine has nothing to show for a message or application URL; the page stays.
    log("web: not loaded, no page for " + url);
    return;
  }
  approved_ = Approved{std::move(request), type, report["same"].boolValue(),
                       report["index"].integerValue(-1), userActivation};
  if (!carryOut_) armCarryOut(kBurstQuiet);
}

void WebView::armCarryOut(Duration delay) {
  carryOut_ = RunLoop::main().scheduleTimer(
      delay, false, weak_.bind([](WebView& self, Timer&) { self.carryOutWhenQuiet(); }));
}

// The page tells when the task that asked for navigations has ended; should it fail to (its
// document went meanwhile), a quiet spell will do.
void WebView::carryOutWhenQuiet() {
  carryOut_.reset();
  const Duration quietFor = RunLoop::main().now() - lastReportTime_;
  if (quietFor < kBurstQuiet) {
    armCarryOut(kBurstQuiet - quietFor);
    return;
  }
  carryOutNow();
}

// Only the last approved navigation of a burst loads, once the page's script has ended: one
// carried out meanwhile could take the page's place in the middle of its script.
void WebView::carryOutNow() {
  carryOut_.reset();
  if (!approved_ || !page_->hasPage()) return;
  Approved next = std::move(*approved_);
  approved_.reset();
  const WebViewNavigationType type = next.type;
  if (type == kWebViewNavigationTypeReload || type == kWebViewNavigationTypeFormResubmitted) {
    reloadApproved(type, next.userActivation);
  } else if (type == kWebViewNavigationTypeBackForward) {
    const int current = history_.current;
    const long long index = next.historyIndex >= 0 ? next.historyIndex : current;
    navigateInHistory(static_cast<int>(index) - current, false, next.userActivation);
  } else if (next.sameDocument) {
    navigationWeak_.revoke();
    const std::string url = next.request.url().absoluteString();
    passThen(url, [url](WebView& view) {
      view.page_->send("Page.navigate", Dictionary{{"url", url}});
    });
  } else {
    navigateTo(next.request, std::nullopt, type, next.userActivation);
  }
}

void WebView::onRequestPaused(const Value& params) {
  const std::string& requestId = params["requestId"].stringValue();
  // The response stage: a reply, or a network error in place of one.
  const bool atResponse =
      params["responseStatusCode"].isNumber() || params["responseErrorReason"].isString();
  const std::string& url = params["request"]["url"].stringValue();
  if (!atResponse && requestFilter_ && !requestFilter_(url)) {
    page_->abortRequest(requestId);
    return;
  }
  if (params["resourceType"].stringValue() != "Document" ||
      params["frameId"].stringValue() != page_->mainFrameId()) {
    if (atResponse || !answerLocally(requestId, url)) page_->continueRequest(requestId);
    return;
  }
  if (atResponse) {
    onResponsePaused(requestId, params);
    return;
  }
  const bool redirected = !params["redirectedRequestId"].stringValue().empty();
  if (!redirected && requests_.isSuperseded(params["request"]["url"].stringValue())) {
    page_->abortRequest(requestId);
    return;
  }
  if (!redirected && requests_.isExpecting()) {
    continueOurRequest(requestId, params["request"]);
    return;
  }
  WebRequest request = WebPage::pausedRequest(params["request"]);
  const bool inLoad = redirected && load_.active;
  WebViewNavigationType type = inLoad ? load_.type : unheldType_;
  const bool userActivation = inLoad ? load_.userActivation : unheldUserActivation_;
  unheldType_ = kWebViewNavigationTypeOther;
  unheldUserActivation_ = false;
  if (!ask(request, type, redirected ? Asker::Redirect : Asker::Page, userActivation)) {
    page_->abortRequest(requestId);
    if (redirected) failLoad(webError(kWebErrorInterrupted, "the delegate refused a redirect"));
    return;
  }
  if (redirected) {
    request_ = request;
    if (!answerLocally(requestId, url)) page_->continueRequest(requestId);
    return;
  }
  beginLoad(type, request, userActivation);
  load_.started = true;  // the frame began loading before the request came to us
  requests_.expectRemembered(request, request.url().absoluteString());
  continueOurRequest(requestId, params["request"]);
}

// A redirect to a URL that is not a web page (an application or message scheme) never comes
// back as a request; it is put to the delegate here, and the engine never follows it.
void WebView::onResponsePaused(const std::string& requestId, const Value& params) {
  auto target = WebPage::redirectTarget(params);
  if (!target || target->isHTTPOrHTTPS()) {
    page_->continueRequest(requestId);
    return;
  }
  WebRequest request = requestFromPage(target->absoluteString());
  ask(request, load_.active ? load_.type : kWebViewNavigationTypeOther, Asker::Redirect,
      load_.active && load_.userActivation);
  page_->abortRequest(requestId);
  failLoad(webError(kWebErrorInterrupted, "redirected to " + target->absoluteString()));
}

void WebView::continueOurRequest(const std::string& requestId, const Value& paused) {
  DocumentRequests::Expected expected = requests_.take();
  if (expected.html) {
    page_->fulfillRequest(requestId, *expected.html);
    return;
  }
  if (answerLocally(requestId, paused["url"].stringValue())) return;
  WebRequest merged = WebPage::pausedRequest(paused);
  for (const auto& [name, value] : expected.request.allHTTPHeaderFields()) {
    merged.setValueForHTTPHeaderField(value, name);
  }
  page_->continueRequest(requestId, merged.allHTTPHeaderFields(), expected.request);
}

void WebView::onFrameNavigated(const Value& frame) {
  const std::string& url = frame["url"].stringValue();
  const std::string& unreachable = frame["unreachableUrl"].stringValue();
  // The engine may commit the error page of a failed load after a new load began: it is not the
  // new load's.
  if (!unreachable.empty() && DocumentRequests::pageKey(unreachable) !=
                                  DocumentRequests::pageKey(request_.url().absoluteString())) {
    return;
  }
  if (load_.active && load_.started) load_.committed = true;
  if (!unreachable.empty() || url.rfind("chrome-error:", 0) == 0) {
    if (load_.active && !load_.failure) {
      load_.failure = webError(kWebErrorLoadFailed, "the page could not be loaded: " +
                                                        (unreachable.empty() ? url : unreachable));
    }
    return;
  }
  committedURL_ = url;
  // A text loaded without a base URL is a blank page to the view's users.
  auto parsed = URL::parse(url == blankStandIn_ ? std::string("about:blank") : url);
  if (parsed) request_.setURL(*parsed);
}

void WebView::onFrameStopped() {
  if (!load_.active || !load_.committed) return;
  refreshHistory(loadWeak_.bind([](WebView& view) {
    if (view.load_.failure) {
      view.failLoad(*view.load_.failure);
    } else {
      view.finishLoad();
    }
  }));
}

// The main frame's documents are answered once the view has let them go on, as any other.
void WebView::setRequestFilter(RequestFilter filter) {
  requestFilter_ = std::move(filter);
  page_->setPausesEveryRequest(static_cast<bool>(requestFilter_));
}

bool WebView::answerLocally(const std::string& requestId, const std::string& url) {
  const WebPage::LocalAnswer* answer = page_->localAnswerFor(url);
  if (!answer) return false;
  page_->fulfillRequest(requestId, *answer);
  if (localAnswerHandler_) {
    RunLoop::main().post(weak_.bind([url](WebView& self) {
      if (auto handler = self.localAnswerHandler_) handler(url);
    }));
  }
  return true;
}

WebRequest WebView::requestFromPage(const std::string& url) const {
  WebRequest request;
  if (auto parsed = URL::parse(url)) request.setURL(*parsed);
  request.setValueForHTTPHeaderField(kUserAgent, "User-Agent");
  auto current = URL::parse(committedURL_);
  if (current && current->isHTTPOrHTTPS() && committedURL_ != blankStandIn_)
    request.setValueForHTTPHeaderField(DocumentRequests::pageKey(committedURL_), "Referer");
  return request;
}

// --- Scripts and the driver ----------------------------------------------------------------

std::string WebView::stringByEvaluatingJavaScriptFromString(std::string_view script) {
  if (!ensurePage()) return "";
  return page_->evaluate(script, scriptBudget_);
}

// An event for a page that has gone is dropped: it would open a blank page (and start an
// engine that has ended) only to run in it.
void WebView::runJavaScript(std::string_view script) {
  if (page_->isOpen()) page_->run(script, scriptBudget_);
}

bool WebView::tapLink(std::string_view textOrSelector) {
  if (!ensurePage()) return false;
  applyViewport();
  return page_->tap(textOrSelector, scriptBudget_);
}

bool WebView::tapAt(Point point) {
  if (!ensurePage()) return false;
  applyViewport();
  return page_->tapAt(point);
}

std::string WebView::pageText() {
  return stringByEvaluatingJavaScriptFromString("document.body ? document.body.innerText : ''");
}

std::optional<Bytes> WebView::screenshotPNGAtScale(double scale) {
  constexpr double kMaxScale = 4;
  if (!(scale > 0 && scale <= kMaxScale) || !ensurePage()) return std::nullopt;
  applyViewport();
  return page_->screenshotPNG(scale);
}

}  // namespace platform
