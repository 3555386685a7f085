#include "platform/device/Device.h"

#include "platform/foundation/NotificationCenter.h"

namespace platform {

const char* const kDeviceProfileReachabilityDidChangeNotification =
    "DeviceProfileReachabilityDidChangeNotification";

DeviceProfile& DeviceProfile::current() {
  static DeviceProfile profile;
  return profile;
}

void DeviceProfile::setReachability(NetworkReachability value) {
  if (reachability == value) return;
  reachability = value;
  NotificationCenter::defaultCenter().postNotification(
      kDeviceProfileReachabilityDidChangeNotification, this);
}

}  // namespace platform
