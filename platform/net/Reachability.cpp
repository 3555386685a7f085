#include "platform/net/Reachability.h"

#include "platform/device/Device.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"

namespace platform {

namespace {

constexpr std::size_t kMaxHostNameLength = 253;

bool isHostNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.';
}

bool isHostName(std::string_view text) {
  if (text.empty() || text.size() > kMaxHostNameLength) return false;
  for (char c : text) {
    if (!isHostNameCharacter(c)) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<Reachability> Reachability::createWithName(std::string_view hostName) {
  if (!isHostName(hostName)) return nullptr;
  return std::make_unique<Reachability>(Token(), std::string(hostName));
}

void Reachability::setCallback(Callback callback, void* info) {
  callback_ = callback;
  info_ = info;
}

bool Reachability::scheduleWithRunLoop(RunLoop& loop) {
  if (&loop != &RunLoop::main() || isScheduled()) return false;
  const DeviceProfile& profile = DeviceProfile::current();
  profileObserver_ = NotificationCenter::defaultCenter().addObserver(
      kDeviceProfileReachabilityDidChangeNotification, &profile,
      [this](const Notification&) { reportLater(); });
  reportLater();
  return true;
}

bool Reachability::unscheduleFromRunLoop(RunLoop& loop) {
  if (&loop != &RunLoop::main() || !isScheduled()) return false;
  profileObserver_.cancel();
  reports_.cancelAll();
  return true;
}

std::uint32_t Reachability::flags() const {
  switch (DeviceProfile::current().reachability) {
    case NetworkReachability::WiFi:
      return kReachabilityFlagsReachable;
    case NetworkReachability::Cellular:
      return kReachabilityFlagsReachable | kReachabilityFlagsIsWWAN;
    case NetworkReachability::None:
      break;
  }
  return 0;
}

// Reports never run inside the code that changed the profile: they come on the loop, as a
// real phone's do. The pending report is cancelled when the watcher is unscheduled.
void Reachability::reportLater() {
  reports_.performAfterDelay(Duration::zero(), [this] { report(); });
}

void Reachability::report() {
  if (callback_) callback_(*this, flags(), info_);
}

}  // namespace platform
