#include "platform/web/Browser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/net/HostResolution.h"
#include "platform/web/JsonCodec.h"

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

// The child's ends move to 3 and 4; every descriptor that we hold sits above them so that
// those moves cannot clobber one another.
int highDescriptor(int fd) {
  int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
  ::close(fd);
  return high;
}

std::string hostResolverRules() {
  std::string rules;
  for (const HostMapping& mapping : HostResolution::shared().mappings()) {
    if (!rules.empty()) rules += ", ";
    rules += "MAP " + mapping.host + " " + mapping.address + ":" + std::to_string(mapping.port);
  }
  return rules;
}

std::vector<std::string> launchArguments(const std::string& program,
                                         const std::string& userDataDir) {
  std::vector<std::string> args = {
      program,
      "--headless=new",
      "--no-sandbox",
      "--disable-gpu",
      "--disable-quic",
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-extensions",
      "--disable-dev-shm-usage",
      "--mute-audio",
      "--hide-scrollbars",
      "--password-store=basic",
      // Without it the engine drops a page's navigations past 200 in 10 s, and with them the
      // page's messages.
      "--disable-ipc-flooding-protection",
      // A page restored from the back-forward cache would skip the navigation decision; an
      // http navigation to a named host would be tried over https first, and fail on a server
      // that speaks only http. Pages of one site may not share a renderer: an ad page whose
      // script never ends would freeze every other page put in its process.
      "--disable-features=BackForwardCache,Translate,MediaRouter,HttpsUpgrades,"
      "ProcessPerSiteUpToMainFrameThreshold",
      "--user-data-dir=" + userDataDir,
      "--remote-debugging-pipe",
  };
  std::string rules = hostResolverRules();
  if (!rules.empty()) args.push_back("--host-resolver-rules=" + rules);
  args.push_back("about:blank");
  return args;
}

double hostNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Browser::~Browser() {
  stop();
}

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

std::optional<Error> Browser::start() {
  if (ended_) return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended");
  if (pid_ > 0) return std::nullopt;
  if (auto failure = launch()) {
    ended_ = true;
    profile_.reset();
    return failure;
  }
  CallResult version = call("Browser.getVersion", Dictionary{}, {}, kStartBudget);
  if (version.error) {
    Error failure =
        Error::make(kWebErrorDomain, kWebErrorEngineFailed,
                    "the web engine did not start: " + version.error->localizedDescription());
    log("web: " + failure.localizedDescription());
    ended(failure);
    return failure;
  }
  log("web: started " + version.result["product"].stringValue());
  return std::nullopt;
}

std::optional<Error> Browser::launch() {
  const std::string program = executablePath();
  if (::access(program.c_str(), X_OK) != 0) {
    return Error::make(kWebErrorDomain, kWebErrorEngineMissing,
                       "the web engine is missing: " + program +
                           " not found; install the Debian package chromium (scripts/setup)");
  }
  Error failure;
  profile_ = BrowserProfile::make(&failure);
  if (!profile_) return failure;
  int commands[2];
  int replies[2];
  if (::pipe(commands) != 0) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "no pipe for the web engine");
  }
  if (::pipe(replies) != 0) {
    ::close(commands[0]);
    ::close(commands[1]);
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "no pipe for the web engine");
  }
  for (int* fd : {&commands[0], &commands[1], &replies[0], &replies[1]}) *fd = highDescriptor(*fd);

  std::vector<std::string> args = launchArguments(program, profile_->userDataFolder());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = profile_->childEnvironment();
  const char* workingFolder = profile_->folder().c_str();
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  // A write to a browser that has just ended must fail with EPIPE, not end this process.
  ::signal(SIGPIPE, SIG_IGN);

  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    int devNull = ::open("/dev/null", O_RDWR);
    ::dup2(devNull, 0);
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    ::dup2(commands[0], 3);
    ::dup2(replies[1], 4);
    if (::chdir(workingFolder) != 0) ::_exit(127);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(commands[0]);
  ::close(replies[1]);
  if (pid < 0) {
    ::close(commands[1]);
    ::close(replies[0]);
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine could not start");
  }
  pid_ = pid;
  commandFd_ = commands[1];
  replyFd_ = replies[0];
  ::fcntl(commandFd_, F_SETFL, O_NONBLOCK);
  ::fcntl(replyFd_, F_SETFL, O_NONBLOCK);
  armWatch();
  return std::nullopt;
}

void Browser::armWatch() {
  // Re-made on every use: a test that resets the run loop drops every watch.
  if (ended_ || replyFd_ < 0) return;
  RunLoop& loop = RunLoop::main();
  std::weak_ptr<bool> alive = alive_;
  if (readWatch_) loop.unwatchFd(readWatch_);
  readWatch_ = loop.watchFd(replyFd_, kFdReadable, [this, alive](unsigned) {
    if (alive.lock()) onReadable();
  });
  if (writeWatch_) loop.unwatchFd(writeWatch_);
  writeWatch_ = 0;
  if (outgoing_.empty()) return;
  writeWatch_ = loop.watchFd(commandFd_, kFdWritable, [this, alive](unsigned) {
    if (!alive.lock()) return;
    flushWrites();
    if (outgoing_.empty() && writeWatch_) {
      RunLoop::main().unwatchFd(writeWatch_);
      writeWatch_ = 0;
    }
  });
}

std::uint64_t Browser::post(std::string_view method, Value params, std::string_view sessionId) {
  std::uint64_t id = nextId_++;
  Dictionary message{{"id", Value(static_cast<long long>(id))},
                     {"method", Value(std::string(method))},
                     {"params", std::move(params)}};
  if (!sessionId.empty()) message.set("sessionId", Value(std::string(sessionId)));
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

Browser::CallResult Browser::call(std::string_view method, Value params, std::string_view sessionId,
                                  double budget) {
  if (!isRunning()) {
    return {Value(),
            Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine is not running")};
  }
  std::uint64_t id = post(method, std::move(params), sessionId);
  pending_[id].waited = true;
  ++waitedCalls_;
  const double deadline = hostNow() + budget;
  while (isRunning()) {
    auto it = pending_.find(id);
    if (it != pending_.end() && it->second.answered) {
      CallResult result = std::move(it->second.result);
      pending_.erase(it);
      if (!queued_.empty()) deliverQueued();
      return result;
    }
    double left = deadline - hostNow();
    if (left <= 0) break;
    pollfd fds[2] = {{replyFd_, POLLIN, 0}, {commandFd_, POLLOUT, 0}};
    int count = outgoing_.empty() ? 1 : 2;
    int ready = ::poll(fds, count, static_cast<int>(left * 1000) + 1);
    if (ready < 0 && errno != EINTR) break;
    if (count == 2 && fds[1].revents) flushWrites();
    if (fds[0].revents && !readAvailable()) break;
  }
  auto it = pending_.find(id);
  if (it != pending_.end()) {
    if (it->second.answered) {
      CallResult result = std::move(it->second.result);
      pending_.erase(it);
      return result;
    }
    // A late answer is dropped when it comes.
    it->second.waited = false;
  }
  if (!queued_.empty()) deliverQueued();
  if (!isRunning()) {
    return {Value(), Error::make(kWebErrorDomain, kWebErrorEngineFailed, "the web engine ended")};
  }
  return {Value(), Error::make(kWebErrorDomain, kWebErrorNoReply,
                               std::string(method) + " got no answer in time")};
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
  std::string problem;
  auto message = JsonCodec::parse(text, &problem);
  if (!message || !message->isDictionary()) {
    log("web: unreadable message from the web engine: " + problem);
    return;
  }
  const Value& id = (*message)["id"];
  if (id.isNumber()) {
    auto it = pending_.find(static_cast<std::uint64_t>(id.integerValue()));
    if (it == pending_.end()) return;
    if (it->second.waited) {
      it->second.answered = true;
      it->second.result.result = (*message)["result"];
      if ((*message)["error"].isDictionary()) {
        it->second.result.error = errorFromReply((*message)["error"]);
      }
      return;
    }
    if (!it->second.reply) {
      pending_.erase(it);
      return;
    }
  }
  queued_.push_back(std::move(*message));
}

void Browser::deliverQueued() {
  if (!deliveryToken_.expired() || queued_.empty()) return;
  auto token = std::make_shared<bool>(true);
  deliveryToken_ = token;
  std::weak_ptr<bool> alive = alive_;
  RunLoop::main().post([this, alive, token] {
    if (!alive.lock()) return;
    deliveryToken_.reset();
    deliverQueuedNow();
  });
}

void Browser::deliverQueuedNow() {
  // A page that floods us with events must not hold one pass of the run loop: what is left
  // after the pass's share goes on in a later pass, in order.
  const double until = hostNow() + kDeliveryShare;
  std::weak_ptr<bool> alive = alive_;
  while (!queued_.empty() && alive.lock()) {
    if (hostNow() > until) {
      deliverQueued();
      return;
    }
    Value message = std::move(queued_.front());
    queued_.pop_front();
    deliver(message);
  }
}

void Browser::deliver(const Value& message) {
  // VELOUR_WEB_TRACE=1 logs the start of every message from the browser, for diagnosis.
  static const bool trace = std::getenv("VELOUR_WEB_TRACE") != nullptr;
  if (trace) log("web: << " + JsonCodec::write(message).substr(0, 300));
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

std::optional<Browser::Page> Browser::openPage(Error* error) {
  auto fail = [&](const Error& failure) -> std::optional<Page> {
    if (error) *error = failure;
    return std::nullopt;
  };
  if (auto failure = start()) return fail(*failure);
  CallResult created = call("Target.createTarget", Dictionary{{"url", "about:blank"}});
  if (created.error) return fail(*created.error);
  Page page;
  page.targetId = created.result["targetId"].stringValue();
  CallResult attached =
      call("Target.attachToTarget", Dictionary{{"targetId", page.targetId}, {"flatten", true}});
  if (attached.error) return fail(*attached.error);
  page.sessionId = attached.result["sessionId"].stringValue();
  return page;
}

void Browser::closePage(const Page& page) {
  removeSessionClient(page.sessionId);
  if (isRunning()) send("Target.closeTarget", Dictionary{{"targetId", page.targetId}});
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
  if (readWatch_) RunLoop::main().unwatchFd(readWatch_);
  if (writeWatch_) RunLoop::main().unwatchFd(writeWatch_);
  readWatch_ = writeWatch_ = 0;
  if (commandFd_ >= 0) ::close(commandFd_);
  if (replyFd_ >= 0) ::close(replyFd_);
  commandFd_ = replyFd_ = -1;
  outgoing_.clear();
  reap();
  if (wasRunning) log("web: " + error.localizedDescription());
  for (auto& [id, pending] : pending_) {
    if (pending.waited) {
      pending.answered = true;
      pending.result.error = error;
    } else if (pending.reply) {
      RunLoop::main().post([reply = pending.reply, error] { reply(Value(), &error); });
    }
  }
  std::erase_if(pending_, [](const auto& entry) { return !entry.second.waited; });
  queued_.clear();
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
  // The browser's own children (renderers, zygote) share its process group.
  ::kill(-pid_, SIGTERM);
  const double deadline = hostNow() + 2;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (hostNow() > deadline) {
      ::kill(-pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-pid_, SIGKILL);
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
