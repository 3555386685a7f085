#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/device/Device.h"
#include "platform/foundation/Value.h"

// The MD5 digest of the device's unique identifier, by value: each caller has its own copy.
std::array<std::uint8_t, 16> HashedDeviceIdentifier();

// Audio output codes of the "u_audio" parameter.
enum ZUVAudioRoute : int {
  ZUVAudioRouteSpeakerOrUnknown = 1,
  ZUVAudioRouteHeadphones = 2,
  ZUVAudioRouteSilent = 3,  // the route has an empty name
  ZUVAudioRouteOther = 5,
};

// What the ad server is told about the device and the running application. The shared
// instance caches the values that cannot change while the process runs; the rest are read
// anew at every call.
class ZUVIdentifierUtilities {
 public:
  static ZUVIdentifierUtilities& sharedInstance();
  // A fresh instance with empty caches; the ad client uses the shared one.
  ZUVIdentifierUtilities();

  // True when the device's file system holds /Applications/Cydia.app.
  static bool detectJailbreak();
  // The pieces of the system version split at "."; a missing piece is 0.
  static void getOSMajorMinorBugFix(int* major, int* minor, int* bugFix);
  static bool isOSAtLeastMajorMinorBug(int major, int minor, int bug);
  // The XML property list at `path` when it is a dictionary; an empty dictionary for a missing
  // or unreadable file or any other kind of list.
  static platform::Dictionary readITunesMetadataFileAt(const std::string& path);
  static platform::Dictionary iTunesMetadataFromData(std::string_view data);

  bool isPhoneIdiom() const { return isPhoneIdiom_; }
  bool isJailbroken() const { return isJailbroken_; }
  std::string deviceModel() const;
  std::string osVersion() const;
  // The operating system's machine name (iPhone3,1); absent when it is not ASCII text.
  const std::optional<std::string>& deviceSubmodel();
  float screenDensity() const;
  // The application frame, plus the status bar's height while it shows.
  platform::Size screenSize() const;
  bool isOrientationLandscape() const;
  // The first preferred language, lower-cased; absent while there is none.
  std::optional<std::string> locale();
  const platform::Dictionary& iTunesMetadata();
  // 32 upper-case hexadecimal digits of HashedDeviceIdentifier.
  const std::string& deviceIdentifier();
  // The same 16 bytes in web-safe base 64 without padding: 22 characters.
  const std::string& deviceIdentifierBase64();
  int audioRoute() const;

  // The device part of an ad request's parameters.
  platform::Dictionary parameters();

 private:
  bool isPhoneIdiom_;
  std::optional<platform::Dictionary> iTunesMetadata_;
  bool isJailbroken_;
  std::optional<std::string> deviceIdentifier_;
  std::optional<std::string> deviceIdentifierBase64_;
  std::optional<std::string> deviceSubmodel_;
  bool deviceSubmodelRead_ = false;
  std::optional<std::string> locale_;
};
