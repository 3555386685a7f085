#include "platform/web/Browser.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/foundation/TimeText.h"
#include "platform/web/EngineProcess.h"
#include "platform/web/JsonCodec.h"
#include "platform/web/PagePool.h"

namespace platform {

namespace {

std::string& configuredPath() {
  static std::string path;
  return path;
}

std::shared_ptr<Browser>& sharedSlot() {
  static std::shared_ptr<Browser> browser;
  return browser;
}

// VELOUR_WEB_TRACE=1 writes the start of every message to and from the browser to standard
// error, with the host time, for diagnosis; not to the log, which the application reads.
void trace(std::string_view direction, const Value& message) {
  static const bool tracing = std::getenv("VELOUR_WEB_TRACE") != nullptr;
  if (!tracing) return;
  std::fprintf(stderr, "web trace %.3f %.*s %s\n",
               toSeconds(RunLoop::main().hostNow().time_since_epoch()),
               static_cast<int>(direction.size()), direction.data(),
               JsonCodec::write(message).substr(0, 300).c_str());
}

}  // namespace

Browser::~Browser() {
  stop();
}

Browser::Browser() : pool_(std::make_unique<PagePool>(*this)) {}

std::shared_ptr<Browser> Browser::shared() {
  auto& slot = sharedSlot();
  if (!slot || slot->ended_) slot = std::shared_ptr<Browser>(new Browser());
  return slot;
}

void Browser::shutdown() {
  auto& slot = sharedSlot();
  if (slot) slot->stop();
  slot.reset();
}

std::string Browser::executablePath() {
  if (!configuredPath().empty()) return configuredPath();
  if (const char* chosen = std::getenv("VELOUR_CHROMIUM"); chosen && *chosen) return chosen;
  return "/usr/bin/chromium";
}

void Browser::setExecutablePath(std::string path) {
  configuredPath() = std::move(path);
}

Result<void> Browser::start() {
  if (ended_) return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended");
  if (pid_ > 0) return {};
  if (auto launched = launch(); !launched) {
    ended_ = true;
    profile_.reset();
    return launched;
  }
  send("Browser.getVersion", Dictionary{}, {},
       weak_.bind([](Browser& self, const Value& result, const Error* error) {
         if (error) return;
         self.answered_ = true;
         self.startBudget_.reset();
         log("web: started " + result["product"].stringValue());
       }));
  armStartBudget(RunLoop::main().hostNow() + kStartBudget);
  return {};
}

// The budget is the host's time, which a process takes to start whatever the loop's clock
// says; on a manual clock it is checked when the clock moves.
void Browser::armStartBudget(HostInstant hostDeadline) {
  constexpr Duration kStartRecheck = milliseconds(250);
  startBudget_ = RunLoop::main().scheduleTimer(
      std::max(kStartRecheck, hostDeadline - RunLoop::main().hostNow()), false,
      weak_.bind([hostDeadline](Browser& self, Timer&) {
        if (RunLoop::main().hostNow() < hostDeadline) {
          self.armStartBudget(hostDeadline);
          return;
        }
        Error failure = Error::make(kWebErrorDomain, kWebErrorEngineFailed,
                                    "the web engine did not start: it did not answer within " +
                                        secondsText(kStartBudget) + " s");
        log("web: " + failure.localizedDescription());
        self.ended(failure);
      }));
}

Result<void> Browser::launch() {
  const std::string program = executablePath();
  if (::access(program.c_str(), X_OK) != 0) {
    return Error::make(kWebErrorDomain, kWebErrorEngineMissing,
                       "the web engine is missing: " + program +
                           " not found; install the Debian package chromium (scripts/setup)");
  }
  auto profile = BrowserProfile::make();
  if (!profile) return profile.error();
  profile_ = std::move(profile).value();
  auto process = EngineProcess::launch(program, *profile_);
  if (!process) return process.error();
  pid_ = process->pid;
  commandFd_ = process->commandFd;
  replyFd_ = process->replyFd;
  armWatch();
  return {};
}

void Browser::armWatch() {
  // Re-made on every use: a test that resets the run loop drops every watch.
  if (ended_ || replyFd_ < 0) return;
  RunLoop& loop = RunLoop::main();
  readWatch_ = loop.watchFd(replyFd_, kFdReadable,
                            weak_.bind([](Browser& self, unsigned) { self.onReadable(); }));
  writeWatch_.cancel();
  if (outgoing_.empty()) return;
  writeWatch_ = loop.watchFd(commandFd_, kFdWritable, weak_.bind([](Browser& self, unsigned) {
    self.flushWrites();
    if (self.outgoing_.empty()) self.writeWatch_.cancel();
  }));
}

std::uint64_t Browser::post(std::string_view method, Value params, std::string_view sessionId) {
  std::uint64_t id = nextId_++;
  Dictionary message{{"id", Value(static_cast<long long>(id))},
                     {"method", Value(std::string(method))},
                     {"params", std::move(params)}};
  if (!sessionId.empty()) message.set("sessionId", Value(std::string(sessionId)));
  trace(">>", Value(message));
  outgoing_ += JsonCodec::write(Value(std::move(message)));
  outgoing_ += '\0';
  flushWrites();
  armWatch();
  return id;
}

void Browser::flushWrites() {
  while (!outgoing_.empty() && commandFd_ >= 0) {
    ssize_t written = ::write(commandFd_, outgoing_.data(), outgoing_.size());
    if (written > 0) {
      outgoing_.erase(0, static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    ended(Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended"));
    return;
  }
}

void Browser::send(std::string_view method, Value params, std::string_view sessionId, Reply reply) {
  if (!isRunning()) {
    if (reply) {
      Error failure = Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended");
      RunLoop::main().post([reply, failure] { reply(Value(), &failure); });
    }
    return;
  }
  std::uint64_t id = post(method, std::move(params), sessionId);
  pending_[id].reply = std::move(reply);
}

Result<Value> Browser::call(std::string_view method, Value params, std::string_view sessionId,
                            Duration budget) {
  if (!isRunning()) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine is not running");
  }
  std::uint64_t id = post(method, std::move(params), sessionId);
  pending_[id].waited = true;
  ++waitedCalls_;
  // A browser still starting answers once it has started.
  const HostInstant deadline =
      RunLoop::main().hostNow() + (answered_ ? budget : std::max(budget, kStartBudget));
  while (isRunning()) {
    auto it = pending_.find(id);
    if (it != pending_.end() && it->second.answered) {
      Result<Value> result = std::move(it->second.result);
      pending_.erase(it);
      if (!queued_.empty()) deliverQueued();
      return result;
    }
    const Duration left = deadline - RunLoop::main().hostNow();
    if (left <= Duration::zero()) break;
    pollfd fds[2] = {{replyFd_, POLLIN, 0}, {commandFd_, POLLOUT, 0}};
    int count = outgoing_.empty() ? 1 : 2;
    int ready = ::poll(fds, count, static_cast<int>(toMilliseconds(left)) + 1);
    if (ready < 0 && errno != EINTR) break;
    if (count == 2 && fds[1].revents) flushWrites();
    if (fds[0].revents && !readAvailable()) break;
  }
  auto it = pending_.find(id);
  if (it != pending_.end()) {
    if (it->second.answered) {
      Result<Value> result = std::move(it->second.result);
      pending_.erase(it);
      return result;
    }
    // A late answer is dropped when it comes.
    it->second.waited = false;
  }
  if (!queued_.empty()) deliverQueued();
  if (!isRunning()) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended");
  }
  return Error::make(kWebErrorDomain, kWebErrorNoReply,
                     std::string(method) + " got no answer in time");
}

void Browser::onReadable() {
  if (readAvailable()) deliverQueuedNow();
}

bool Browser::readAvailable() {
  char buffer[65536];
  // A browser that keeps writing gets a share of each pass; the pipe stays readable for the
  // next one.
  for (std::size_t taken = 0; taken < kReadShare;) {
    ssize_t got = ::read(replyFd_, buffer, sizeof buffer);
    if (got > 0) {
      taken += static_cast<std::size_t>(got);
      // What was kept holds no delimiter: only the new bytes are searched, so that a long
      // message costs its length once.
      std::size_t start = 0;
      std::size_t end = incoming_.size();
      incoming_.append(buffer, static_cast<std::size_t>(got));
      while ((end = incoming_.find('\0', end)) != std::string::npos) {
        takeMessage(std::string_view(incoming_).substr(start, end - start));
        start = ++end;
      }
      incoming_.erase(0, start);
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    ended(Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended"));
    return false;
  }
  return true;
}

void Browser::takeMessage(std::string_view text) {
  auto message = JsonCodec::parse(text);
  if (!message || !message->isDictionary()) {
    std::string problem = message ? "not an object" : message.error().localizedDescription();
    log("web: unreadable message from the web engine: " + problem);
    return;
  }
  const Value& id = (*message)["id"];
  if (id.isNumber()) {
    auto it = pending_.find(static_cast<std::uint64_t>(id.integerValue()));
    if (it == pending_.end()) return;
    if (it->second.waited) {
      it->second.answered = true;
      if ((*message)["error"].isDictionary()) {
        it->second.result = errorFromReply((*message)["error"]);
      } else {
        it->second.result = (*message)["result"];
      }
      return;
    }
    if (!it->second.reply) {
      pending_.erase(it);
      return;
    }
  }
  queue(std::move(*message));
}

void Browser::queue(Value message) {
  std::string sessionId = message["sessionId"].stringValue();
  std::deque<Value>& messages = queued_[sessionId];
  if (messages.empty()) turns_.push_back(std::move(sessionId));
  messages.push_back(std::move(message));
}

void Browser::deliverQueued() {
  if (!deliveryToken_.expired() || queued_.empty()) return;
  auto token = std::make_shared<bool>(true);
  deliveryToken_ = token;
  RunLoop::main().post([self = weak_.weak(), token] {
    Browser* browser = self.get();
    if (!browser) return;
    browser->deliveryToken_.reset();
    browser->deliverQueuedNow();
  });
}

void Browser::deliverQueuedNow() {
  // A page that floods us with events must not hold one pass of the run loop, nor the other
  // pages: sessions take turns, a message each, and what is left after the pass's share goes
  // on in a later pass, in order.
  const HostInstant until = RunLoop::main().hostNow() + kDeliveryShare;
  // A message's receiver may let the last holder of this browser go.
  const WeakRef<Browser> self = weak_.weak();
  while (self && !turns_.empty()) {
    if (RunLoop::main().hostNow() > until) {
      deliverQueued();
      return;
    }
    std::string sessionId = std::move(turns_.front());
    turns_.pop_front();
    auto messages = queued_.find(sessionId);
    if (messages == queued_.end()) continue;
    Value message = std::move(messages->second.front());
    messages->second.pop_front();
    if (messages->second.empty()) {
      queued_.erase(messages);
    } else {
      turns_.push_back(std::move(sessionId));
    }
    deliver(message);
  }
}

void Browser::deliver(const Value& message) {
  trace("<<", message);
  const Value& id = message["id"];
  if (id.isNumber()) {
    auto it = pending_.find(static_cast<std::uint64_t>(id.integerValue()));
    if (it == pending_.end()) return;
    Reply reply = std::move(it->second.reply);
    pending_.erase(it);
    if (!reply) return;
    if (message["error"].isDictionary()) {
      Error error = errorFromReply(message["error"]);
      reply(Value(), &error);
    } else {
      reply(message["result"], nullptr);
    }
    return;
  }
  const std::string& method = message["method"].stringValue();
  const std::string& sessionId = message["sessionId"].stringValue();
  if (sessionId.empty()) {
    handleBrowserEvent(method, message["params"]);
    return;
  }
  auto session = sessions_.find(sessionId);
  if (session != sessions_.end() && session->second.onEvent) {
    auto onEvent = session->second.onEvent;
    onEvent(method, message["params"]);
  }
}

void Browser::handleBrowserEvent(const std::string& method, const Value& params) {
  if (method != "Target.detachedFromTarget") return;
  auto session = sessions_.find(params["sessionId"].stringValue());
  if (session == sessions_.end()) return;
  auto onEnded = session->second.onEnded;
  sessions_.erase(session);
  if (onEnded) onEnded(Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the page was closed"));
}

// Each page has a window of its own, so that the engine shows or hides each page by itself
// (pages that share a window are tabs, of which only the front one is visible). A page is born
// hidden: its web view shows it once the view is on the screen.
Dictionary Browser::newPageParams() {
  return Dictionary{{"url", "about:blank"}, {"newWindow", true}, {"windowState", "minimized"}};
}

void Browser::openPage(PageOpened done) {
  if (auto started = start(); !started) {
    RunLoop::main().post([done, failure = started.error()] { done(nullptr, &failure); });
    return;
  }
  auto attach = [self = weak_.weak(), done](const Value& created, const Error* error) {
    if (error || !self) {
      Error failure =
          error ? *error
                : Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended");
      done(nullptr, &failure);
      return;
    }
    Page page{created["targetId"].stringValue(), {}};
    self.get()->send("Target.attachToTarget",
                     Dictionary{{"targetId", page.targetId}, {"flatten", true}}, {},
                     [done, page](const Value& attached, const Error* error) mutable {
                       if (error) {
                         done(nullptr, error);
                         return;
                       }
                       page.sessionId = attached["sessionId"].stringValue();
                       done(&page, nullptr);
                     });
  };
  send("Target.createTarget", newPageParams(), {}, std::move(attach));
}

Result<Browser::Page> Browser::openPageNow() {
  if (auto started = start(); !started) return started.error();
  auto created = call("Target.createTarget", newPageParams());
  if (!created) return created.error();
  Page page;
  page.targetId = (*created)["targetId"].stringValue();
  auto attached =
      call("Target.attachToTarget", Dictionary{{"targetId", page.targetId}, {"flatten", true}});
  if (!attached) return attached.error();
  page.sessionId = (*attached)["sessionId"].stringValue();
  return page;
}

void Browser::closePage(const Page& page) {
  removeSessionClient(page.sessionId);
  if (!isRunning()) return;
  // A page spinning in its own script would keep its renderer, and the processor, until the
  // engine gave up waiting for it to unload: its scripts end first. A closed page is abandoned,
  // so none of its scripts (unload handlers included) has anything left to do.
  send("Runtime.terminateExecution", Dictionary{}, page.sessionId);
  send("Target.closeTarget", Dictionary{{"targetId", page.targetId}});
}

void Browser::setSessionClient(const std::string& sessionId, BrowserSessionClient client) {
  sessions_[sessionId] = std::move(client);
}

void Browser::removeSessionClient(const std::string& sessionId) {
  sessions_.erase(sessionId);
}

void Browser::ended(const Error& error) {
  if (ended_ && replyFd_ < 0) return;
  const bool wasRunning = pid_ > 0 && !ended_;
  ended_ = true;
  startBudget_.reset();
  readWatch_.cancel();
  writeWatch_.cancel();
  if (commandFd_ >= 0) ::close(commandFd_);
  if (replyFd_ >= 0) ::close(replyFd_);
  commandFd_ = replyFd_ = -1;
  outgoing_.clear();
  reap();
  if (wasRunning) log("web: " + error.localizedDescription());
  for (auto& [id, pending] : pending_) {
    if (pending.waited) {
      pending.answered = true;
      pending.result = error;
    } else if (pending.reply) {
      RunLoop::main().post([reply = pending.reply, error] { reply(Value(), &error); });
    }
  }
  std::erase_if(pending_, [](const auto& entry) { return !entry.second.waited; });
  queued_.clear();
  turns_.clear();
  auto sessions = std::move(sessions_);
  sessions_.clear();
  // Told on a later pass: this may run inside a page's own command.
  for (auto& [id, session] : sessions) {
    if (session.onEnded)
      RunLoop::main().post([onEnded = session.onEnded, error] { onEnded(error); });
  }
}

void Browser::reap() {
  if (pid_ <= 0) return;
  EngineProcess::end(pid_, profile_.get());
  profile_.reset();
}

void Browser::stop() {
  if (pid_ <= 0 || (ended_ && replyFd_ < 0)) return;
  ended(Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine was stopped"));
}

Error Browser::errorFromReply(const Value& error) {
  return Error::make(kWebErrorDomain, kWebErrorProtocol, error["message"].stringValue());
}

}  // namespace platform
