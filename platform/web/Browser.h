#pragma once

#include <sys/types.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/web/BrowserProfile.h"

namespace platform {

inline constexpr const char* kWebErrorDomain = "VelourWebErrorDomain";

// Codes of kWebErrorDomain.
enum WebErrorCode : long {
  kWebErrorEngineMissing = 1,  // no browser installed
  kWebErrorEngineFailed = 2,   // the browser would not start, or ended
  kWebErrorNoReply = 3,        // a command got no answer within its budget
  kWebErrorProtocol = 4,       // the browser refused a command
};

class PagePool;

// One page target of the browser, attached in flattened mode: its events go to `onEvent`;
// `onEnded` is called once if the browser ends or detaches the page.
struct BrowserSessionClient {
  std::function<void(const std::string& method, const Value& params)> onEvent;
  std::function<void(const Error& error)> onEnded;
};

// The one headless Chromium process of the application, spoken to over the debugging
// protocol on a pipe (commands on the child's fd 3, replies and events on its fd 4,
// NUL-delimited JSON). Everything runs on the main run loop and nothing waits for the engine:
// the reply pipe is a run-loop descriptor watch, a command's reply comes to its callback on a
// later pass, and starting is an event too (commands written before the engine reads them
// wait in the pipe). Events are delivered in turns, one page's after another's, so that a
// page that floods us cannot hold back the others. A browser that ends is noticed (end of its
// pipe); its processes, grandchildren included, are killed and reaped, and shared() starts a
// new one on the next use. Its files (profile, temporary, cache and configuration folders)
// live in a folder of its own under <home>/Library/WebEngine, removed when it stops; what a
// killed run left there is removed at the next start.
class Browser {
 public:
  using Reply = std::function<void(const Value& result, const Error* error)>;
  struct Page {
    std::string targetId;
    std::string sessionId;
  };

  // The time a browser gets to start and answer its first command: it starts in about 3 s on
  // an idle machine, and a loaded one may be many times slower.
  static constexpr Duration kStartBudget = seconds(60);
  // The part of one run-loop pass that the delivery of the browser's messages may take.
  static constexpr Duration kDeliveryShare = milliseconds(20);
  // Bytes of the browser's messages read in one pass of the run loop.
  static constexpr std::size_t kReadShare = 1 << 20;

  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // The browser of the application; a new, not yet started one when the last one ended.
  static std::shared_ptr<Browser> shared();
  // Stops the shared browser, if one runs (the application ends).
  static void shutdown();
  // The program that is started: /usr/bin/chromium unless VELOUR_CHROMIUM names another, or a
  // test sets one.
  static std::string executablePath();
  static void setExecutablePath(std::string path);

  // Starts the process if it does not run yet, without waiting for it; what fails at once
  // (no program, no pipe) is returned, a browser that does not answer within kStartBudget
  // ends later.
  Result<void> start();
  bool isRunning() const { return pid_ > 0 && !ended_; }
  bool hasAnswered() const { return answered_; }  // its first reply came
  pid_t processId() const { return pid_; }

  // Sends a command (to the browser, or to a page with its session); the reply comes to
  // `reply` on a later pass of the run loop.
  void send(std::string_view method, Value params, std::string_view sessionId = {},
            Reply reply = {});
  // Sends a command and waits for its reply, handling only this pipe meanwhile, for at most
  // `budget` (and until the engine's start budget, while it has not answered yet).
  // Events and other replies that arrive meanwhile are delivered on a later pass. Only for a
  // driver's questions that need the page's answer at once; never on the road of an ad.
  Result<Value> call(std::string_view method, Value params, std::string_view sessionId = {},
                     Duration budget = seconds(5));
  // How many commands call() has waited for, all browsers of the process together. For
  // benchmarks.
  static std::uint64_t waitedCalls() { return waitedCalls_; }

  // Opens a new page target and attaches to it; `done` comes on a later pass with the page,
  // or with the reason there is none.
  using PageOpened = std::function<void(const Page* page, const Error* error)>;
  void openPage(PageOpened done);
  // The same, waiting for the engine's answers (see call()).
  Result<Page> openPageNow();
  // Pages opened and set up ahead of need.
  PagePool& pool() { return *pool_; }
  void closePage(const Page& page);
  void setSessionClient(const std::string& sessionId, BrowserSessionClient client);
  void removeSessionClient(const std::string& sessionId);

  // Ends the process and fails every session.
  void stop();

 private:
  Browser();

  struct Pending {
    Reply reply;
    bool waited = false;
    bool answered = false;
    Result<Value> result = Value();
  };

  Result<void> launch();
  void armStartBudget(HostInstant hostDeadline);
  std::uint64_t post(std::string_view method, Value params, std::string_view sessionId);
  void armWatch();
  void flushWrites();
  void onReadable();
  bool readAvailable();
  void takeMessage(std::string_view text);
  void deliverQueued();
  void deliverQueuedNow();
  void deliver(const Value& message);
  void handleBrowserEvent(const std::string& method, const Value& params);
  void ended(const Error& error);
  void reap();
  void queue(Value message);
  static Error errorFromReply(const Value& error);
  static Dictionary newPageParams();

  pid_t pid_ = -1;
  bool ended_ = false;
  bool answered_ = false;
  TimerHandle startBudget_;
  int commandFd_ = -1;
  int replyFd_ = -1;
  Registration readWatch_;
  Registration writeWatch_;
  std::unique_ptr<BrowserProfile> profile_;  // this run's folder, while it has one
  std::string outgoing_;
  std::string incoming_;
  std::uint64_t nextId_ = 1;
  std::map<std::uint64_t, Pending> pending_;
  // Messages waiting for delivery, per session ("" for the browser's own), and the sessions'
  // turns.
  std::map<std::string, std::deque<Value>> queued_;
  std::deque<std::string> turns_;
  // Held by the posted delivery task while it is pending: a task that a reset of the run loop
  // drops unrun lets the next delivery be posted again, instead of leaving events queued.
  std::weak_ptr<void> deliveryToken_;
  std::map<std::string, BrowserSessionClient> sessions_;
  std::unique_ptr<PagePool> pool_;
  static inline std::uint64_t waitedCalls_ = 0;
  WeakFactory<Browser> weak_{this};  // last: its links die first
};

}  // namespace platform
