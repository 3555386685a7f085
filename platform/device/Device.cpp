#include "platform/device/Device.h"

namespace platform {

DeviceProfile& DeviceProfile::current() {
  static DeviceProfile profile;
  return profile;
}

}  // namespace platform
