#pragma once

/// @file
/// platform::DeviceProfile (model, system version, screen, languages, network) and
/// platform::Size.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velourphone/Export.h"
#include "velourphone/Result.h"
#include "velourphone/Value.h"

namespace platform {

// How the phone reaches the network: over Wi-Fi, over the cellular network, or not at all.
enum class NetworkReachability { WiFi, Cellular, None };

// Posted on the default notification centre, with the profile as object, when the profile's
// reachability is changed through setReachability.
VOZAVE_API extern const char* const kDeviceProfileReachabilityDidChangeNotification;
// A width and a height in points.
struct Size {
  double width = 0;                              // in points
  double height = 0;                             // in points
  bool operator==(const Size&) const = default;  // both the same
};
// The device profile: values the platform reports about the phone, with the defaults of a
// phone that the front end (--device KEY=VALUE) and tests can change.
struct VOZAVE_API DeviceProfile {
  std::string model = "iPhone";          // the model's name
  std::string systemName = "iPhone OS";  // the operating system's name
  std::string systemVersion = "4.3";     // "major.minor.patch"; ads need 3.0 or later
  // Empty: the identifier made once and kept in the home folder (deviceUniqueIdentifier).
  std::string uniqueIdentifier;
  std::string machine = "iPhone3,1";        // the hardware name the operating system gives
  std::optional<int> interfaceIdiom = 0;    // 0 phone, 1 pad; absent: a system that cannot tell
  std::optional<double> screenScale = 1.0;  // absent: a screen without a scale factor
  Size screenSize{320, 480};                // in points, portrait
  double statusBarHeight = 20;              // in points
  std::vector<std::string> preferredLanguages{"en"};             // most preferred first
  std::optional<std::string> audioRoute = "Speaker";             // absent: no route at all
  NetworkReachability reachability = NetworkReachability::WiFi;  // change: setReachability
  std::string timeZone;  // a zone name such as "Europe/Paris"; empty: the host's zone

  // Changes the reachability and, when it differs, announces it so that watchers report it.
  void setReachability(NetworkReachability value);

  // Sets the value named `key` from its text; an error (kDeviceErrorDomain) for an unknown key
  // or a text that does not fit it. The keys are listed in kDeviceProfileKeysUsage.
  Result<void> setValueForKey(std::string_view key, std::string_view text);

  static DeviceProfile& current();  // the one profile of the process
};

inline constexpr const char* kDeviceErrorDomain = "VelourDeviceErrorDomain";  // of setValueForKey
inline constexpr long kDeviceErrorBadValue = 1;  // an unknown key, or a text that does not fit it

// Usage lines for the keys of setValueForKey.
VOZAVE_API extern const char* const kDeviceProfileKeysUsage;

// The profile's unique identifier or, when it sets none, one made of 40 random hexadecimal
// digits on first use and kept in <home>/Library/DeviceIdentifier, so that it survives
// restarts as a phone's does.
VOZAVE_API std::string deviceUniqueIdentifier();

// Where an absolute path of the device's own file system lies: under <home>/DeviceRoot.
VOZAVE_API std::string deviceFileSystemPath(std::string_view devicePath);

// The store key of the preferred languages, most preferred first.
VOZAVE_API extern const char* const kPreferredLanguagesKey;  // "AppleLanguages"
// The store's value under kPreferredLanguagesKey (of whatever kind it is) or, when the store
// has none, the profile's list as an array of texts.
VOZAVE_API Value preferredLanguages();

}  // namespace platform
