#pragma once

#include <optional>
#include <string>

namespace platform {

// Status codes of the audio session, as the platform gives them.
constexpr long kAudioSessionNoError = 0;
constexpr long kAudioSessionAlreadyInitialized = 0x696e6974;  // 'init'
constexpr long kAudioSessionNotInitialized = 0x21696e69;      // '!ini'

// The audio session: initialised once, then asked for the name of the current output route,
// which is the device profile's audio route. Tests may make either call fail.
class AudioSession {
 public:
  static AudioSession& shared();

  // kAudioSessionNoError the first time, kAudioSessionAlreadyInitialized after.
  long initialize();
  // The route's name; absent when there is no route. Needs an initialised session.
  long currentRouteName(std::optional<std::string>& name) const;

  // Test doubles: a status that the next calls give instead (kAudioSessionNoError clears it).
  void setInitializeStatus(long status) { initializeStatus_ = status; }
  void setRouteStatus(long status) { routeStatus_ = status; }

 private:
  bool initialized_ = false;
  long initializeStatus_ = kAudioSessionNoError;
  long routeStatus_ = kAudioSessionNoError;
};

}  // namespace platform
