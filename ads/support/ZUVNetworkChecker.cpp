#include "ads/support/ZUVNetworkChecker.h"

#include "platform/foundation/RunLoop.h"
#include "platform/net/Reachability.h"

const char* const kZUVNetworkCheckerProbeHost = "www.vozave.com";

namespace {

enum NetworkType : std::int32_t { kUnknown = 0, kNotReachable = 1, kWiFi = 2, kCellular = 3 };

}  // namespace

void ReachabilityCallback(platform::Reachability&, std::uint32_t flags, void* context) {
  static_cast<ZUVNetworkChecker*>(context)->setNetworkTypeFromFlags(flags);
}

std::shared_ptr<ZUVNetworkChecker> ZUVNetworkChecker::sharedChecker() {
  static std::shared_ptr<ZUVNetworkChecker> checker = [] {
    auto created = std::make_shared<ZUVNetworkChecker>();
    created->setEnabled(true);
    return created;
  }();
  return checker;
}

ZUVNetworkChecker::~ZUVNetworkChecker() {
  stopNetworkChecking();
}

std::optional<std::string> ZUVNetworkChecker::networkTypeString() const {
  switch (networkType_) {
    case kWiFi:
      return "wi";
    case kCellular:
      return "ed";
    default:
      return std::nullopt;
  }
}

void ZUVNetworkChecker::setEnabled(bool enabled) {
  if (enabled && !isEnabled()) {
    startNetworkChecking();
  } else if (!enabled && isEnabled()) {
    stopNetworkChecking();
  }
}

void ZUVNetworkChecker::startNetworkChecking() {
  networkType_ = kUnknown;
  if (networkRef_) return;
  auto reachability = platform::Reachability::createWithName(kZUVNetworkCheckerProbeHost);
  if (!reachability) return;
  // The callback is in place before the first report can arrive.
  reachability->setCallback(ReachabilityCallback, this);
  if (!reachability->scheduleWithRunLoop(platform::RunLoop::main())) return;
  networkRef_ = std::move(reachability);
}

void ZUVNetworkChecker::stopNetworkChecking() {
  if (!networkRef_) return;
  networkRef_->unscheduleFromRunLoop(platform::RunLoop::main());
  networkRef_->setCallback(nullptr, nullptr);
  networkRef_.reset();
  networkType_ = kUnknown;
}

void ZUVNetworkChecker::setNetworkTypeFromFlags(std::uint32_t flags) {
  ++changeCount_;
  if (!(flags & platform::kReachabilityFlagsReachable)) {
    networkType_ = kNotReachable;
  } else if (flags & platform::kReachabilityFlagsIsWWAN) {
    networkType_ = kCellular;
  } else {
    networkType_ = kWiFi;
  }
}
