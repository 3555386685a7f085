#pragma once

#include <string>
#include <vector>

namespace platform {

// How the phone reaches the network: over Wi-Fi, over the cellular network, or not at all.
enum class NetworkReachability { WiFi, Cellular, None };

// Posted on the default notification centre, with the profile as object, when the profile's
// reachability is changed through setReachability.
extern const char* const kDeviceProfileReachabilityDidChangeNotification;

struct Size {
  double width = 0, height = 0;
  bool operator==(const Size&) const = default;
};

// The device profile: values the platform reports about the phone, with sensible defaults
// that the front end and tests can change.
struct DeviceProfile {
  std::string model = "iPhone";
  std::string systemName = "iPhone OS";
  std::string systemVersion = "4.3";
  std::string uniqueIdentifier = "0f1e2d3c4b5a69788796a5b4c3d2e1f00f1e2d3c";
  std::string machine = "iPhone3,1";
  int interfaceIdiom = 0;  // 0 phone, 1 pad
  double screenScale = 1.0;
  Size screenSize{320, 480};
  double statusBarHeight = 20;
  std::string bundleVersion = "1.0";
  std::vector<std::string> preferredLanguages{"en"};
  NetworkReachability reachability = NetworkReachability::WiFi;

  // Changes the reachability and, when it differs, announces it so that watchers report it.
  void setReachability(NetworkReachability value);

  static DeviceProfile& current();
};

}  // namespace platform
