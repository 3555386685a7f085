#include "platform/web/PagePool.h"

#include <algorithm>

#include "platform/device/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Application.h"
#include "platform/web/PageScript.h"
#include "platform/web/WebView.h"

namespace platform {

namespace {

// The engine's URL patterns take '*' and '?' as wildcards, and a backslash as their escape.
std::string wildcardEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '*' || c == '?' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

PagePool::PagePool(Browser& browser)
    : browser_(browser),
      memoryWarning_(NotificationCenter::defaultCenter().addObserver(
          kApplicationDidReceiveMemoryWarningNotification, nullptr,
          [this](const Notification&) { releaseSpares(); })) {}

std::optional<PagePool::ReadyPage> PagePool::take() {
  const double now = RunLoop::main().now();
  std::erase_if(takes_, [now](double at) { return at < now - kBurstWindow; });
  takes_.push_back(now);
  armIdleRelease();
  std::optional<ReadyPage> page;
  if (!spares_.empty()) {
    page = std::move(spares_.back());
    spares_.pop_back();
  }
  refill();
  return page;
}

std::size_t PagePool::wanted() const {
  return std::min(kMaxSpares, std::max<std::size_t>(1, takes_.size()));
}

void PagePool::refill() {
  while (spares_.size() + preparing_ < wanted()) {
    ++preparing_;
    prepare([self = weak_.weak()](const ReadyPage*, const Error*) {
      if (PagePool* pool = self.get()) --pool->preparing_;
      return false;
    });
  }
}

void PagePool::keep(const ReadyPage& page) {
  // Pages that came too late for views that have gone are kept only up to the spares wanted.
  if (spares_.size() >= wanted()) {
    browser_.closePage(page.page);
    return;
  }
  spares_.push_back(page);
  // A spare hears nothing until it is taken; should it be closed meanwhile, it is forgotten.
  BrowserSessionClient quiet;
  quiet.onEnded = weak_.bind([sessionId = page.page.sessionId](PagePool& pool, const Error&) {
    std::erase_if(pool.spares_,
                  [&](const ReadyPage& spare) { return spare.page.sessionId == sessionId; });
  });
  browser_.setSessionClient(page.page.sessionId, std::move(quiet));
}

void PagePool::prepare(Prepared done) {
  browser_.openPage([self = weak_.weak(), done](const Browser::Page* page, const Error* error) {
    PagePool* pool = self.get();
    if (!page || !pool) {
      if (!page) done(nullptr, error);
      return;
    }
    // Shared by the set-up's answer, which hands it on.
    auto ready = std::make_shared<ReadyPage>();
    *ready = setUp(pool->browser_, *page, [self, ready, done] {
      if (done(ready.get(), nullptr)) return;
      if (PagePool* keeper = self.get()) keeper->keep(*ready);
    });
  });
}

PagePool::ReadyPage PagePool::setUp(Browser& browser, const Browser::Page& page,
                                    std::function<void()> acknowledged) {
  constexpr std::size_t kTokenDigits = 32;
  ReadyPage ready{page, text::randomHex(kTokenDigits), isOffline()};
  const std::string& session = page.sessionId;
  browser.setSessionClient(session, {});
  applyReachability(browser, session, ready.offline);
  browser.send("Page.enable", Dictionary{}, session);
  browser.send("Runtime.enable", Dictionary{}, session);
  browser.send("Runtime.addBinding", Dictionary{{"name", kNavigationBinding}}, session);
  browser.send("Page.addScriptToEvaluateOnNewDocument",
               Dictionary{{"source", pageScript(ready.token)}}, session);
  // A phone's screen is touched: real touches, and the mouse events and clicks they make.
  browser.send("Emulation.setTouchEmulationEnabled",
               Dictionary{{"enabled", true}, {"maxTouchPoints", 1}}, session);
  browser.send("Emulation.setUserAgentOverride",
               Dictionary{{"userAgent", WebView::kUserAgent}, {"platform", "iPhone"}}, session);
  // The renderer answers a script after the commands before it: the page is then set up.
  Browser::Reply reply;
  if (acknowledged) {
    reply = [acknowledged = std::move(acknowledged)](const Value&, const Error*) {
      acknowledged();
    };
  }
  browser.send("Runtime.evaluate", Dictionary{{"expression", "0"}}, session, std::move(reply));
  return ready;
}

// Document requests are always paused for the view; without a network every other request is
// paused too, so that the view can fail it. The decision is taken when a request is let go,
// so a change of patterns that the engine applies late cannot let one through.
// A file name's pattern is wider than the name (it matches anywhere in the URL); the view
// checks the last path segment itself and lets the others go on.
void PagePool::applyReachability(Browser& browser, const std::string& sessionId, bool offline,
                                 const std::vector<std::string>& answeredFileNames) {
  Dictionary requests{
      {"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}};
  Dictionary responses{
      {"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Response"}};
  Array patterns{Value(requests), Value(responses)};
  if (offline) {
    patterns.emplace_back(Dictionary{{"urlPattern", "*"}, {"requestStage", "Request"}});
  } else {
    for (const std::string& fileName : answeredFileNames) {
      patterns.emplace_back(Dictionary{{"urlPattern", "*" + wildcardEscaped(fileName) + "*"},
                                       {"requestStage", "Request"}});
    }
  }
  browser.send("Fetch.enable", Dictionary{{"patterns", std::move(patterns)}}, sessionId);
}

bool PagePool::isOffline() {
  return DeviceProfile::current().reachability == NetworkReachability::None;
}

void PagePool::releaseSpares() {
  for (const ReadyPage& spare : std::exchange(spares_, {})) browser_.closePage(spare.page);
  takes_.clear();
}

void PagePool::armIdleRelease() {
  idleRelease_ = RunLoop::main().scheduleTimer(
      kIdleRelease, false, weak_.bind([](PagePool& pool, Timer&) { pool.releaseSpares(); }));
}

}  // namespace platform
