#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class Reachability;
}

// Host whose reachability stands for the internet's.
extern const char* const kZUVNetworkCheckerProbeHost;

// Watches the reachability of the internet and names the kind of connection for the "net"
// request parameter. Types: 0 unknown, 1 not reachable, 2 reachable not over the cellular
// network, 3 reachable over the cellular network.
class ZUVNetworkChecker {
 public:
  // The one checker, created and enabled on first use.
  static std::shared_ptr<ZUVNetworkChecker> sharedChecker();

  ZUVNetworkChecker() = default;
  ~ZUVNetworkChecker();
  ZUVNetworkChecker(const ZUVNetworkChecker&) = delete;
  ZUVNetworkChecker& operator=(const ZUVNetworkChecker&) = delete;

  std::int32_t networkType() const { return networkType_; }
  // Reachability reports received.
  std::uint32_t changeCount() const { return changeCount_; }
  // "wi" or "ed" while reachable; nothing while unknown or unreachable.
  std::optional<std::string> networkTypeString() const;

  bool isEnabled() const { return networkRef_ != nullptr; }
  void setEnabled(bool enabled);
  void startNetworkChecking();
  void stopNetworkChecking();

  void setNetworkTypeFromFlags(std::uint32_t flags);

 private:
  std::unique_ptr<platform::Reachability> networkRef_;
  std::int32_t networkType_ = 0;
  std::uint32_t changeCount_ = 0;
};

// The reachability callback; `context` is the checker, not retained.
void ReachabilityCallback(platform::Reachability& target, std::uint32_t flags, void* context);
