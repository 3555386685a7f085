#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/foundation/Registration.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

// Reachability flags as the platform reports them.
enum ReachabilityFlags : std::uint32_t {
  kReachabilityFlagsReachable = 1u << 1,
  kReachabilityFlagsIsWWAN = 1u << 18,  // reachable over the cellular network
};

// Watches whether a host name can be reached. The headless phone takes the answer from the
// device profile; once scheduled on a run loop the watcher reports the current flags there,
// and again whenever the profile's reachability changes.
class Reachability {
  struct Token {
    explicit Token() = default;
  };

 public:
  using Callback = void (*)(Reachability& target, std::uint32_t flags, void* info);

  // Null for a text that is not a host name.
  static std::unique_ptr<Reachability> createWithName(std::string_view hostName);
  Reachability(Token, std::string hostName) : hostName_(std::move(hostName)) {}
  Reachability(const Reachability&) = delete;
  Reachability& operator=(const Reachability&) = delete;

  const std::string& hostName() const { return hostName_; }
  // `info` is handed back to the callback and not owned. A null callback stops the reports.
  void setCallback(Callback callback, void* info);
  // Only the main run loop can carry reports; false for another or when already scheduled.
  bool scheduleWithRunLoop(RunLoop& loop);
  // False when not scheduled on `loop`.
  bool unscheduleFromRunLoop(RunLoop& loop);
  bool isScheduled() const { return profileObserver_.isActive(); }
  // The flags that the host has now.
  std::uint32_t flags() const;

 private:
  void reportLater();
  void report();

  std::string hostName_;
  Callback callback_ = nullptr;
  void* info_ = nullptr;
  Registration profileObserver_;  // active while scheduled
  DelayedCalls reports_;
};

}  // namespace platform
