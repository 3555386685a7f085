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

std::shared_ptr<Reachability> Reachability::createWithName(std::string_view hostName) {
  if (!isHostName(hostName)) return nullptr;
  return std::make_shared<Reachability>(Token(), std::string(hostName));
}

Reachability::~Reachability() {
  if (scheduled_) unscheduleFromRunLoop(RunLoop::main());
}

void Reachability::setCallback(Callback callback, void* info) {
  callback_ = callback;
  info_ = info;
}

bool Reachability::scheduleWithRunLoop(RunLoop& loop) {
  if (&loop != &RunLoop::main() || scheduled_) return false;
  scheduled_ = true;
  const DeviceProfile& profile = DeviceProfile::current();
  NotificationCenter::defaultCenter().addObserver(
      this, kDeviceProfileReachabilityDidChangeNotification, &profile,
      [this](const Notification&) { reportLater(); });
  reportLater();
  return true;
}

bool Reachability::unscheduleFromRunLoop(RunLoop& loop) {
  if (&loop != &RunLoop::main() || !scheduled_) return false;
  scheduled_ = false;
  NotificationCenter::defaultCenter().removeObserver(this);
  loop.cancelPerformRequests(this);
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
  RunLoop::main().performAfterDelay(this, 0, [this] { report(); });
}

void Reachability::report() {
  if (callback_) callback_(*this, flags(), info_);
}

}  // namespace platform
