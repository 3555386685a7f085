#include "platform/media/AudioSession.h"

#include "platform/device/Device.h"

namespace platform {

AudioSession& AudioSession::shared() {
  static AudioSession session;
  return session;
}

long AudioSession::initialize() {
  if (initializeStatus_ != kAudioSessionNoError) return initializeStatus_;
  if (initialized_) return kAudioSessionAlreadyInitialized;
  initialized_ = true;
  return kAudioSessionNoError;
}

long AudioSession::currentRouteName(std::optional<std::string>& name) const {
  name.reset();
  if (!initialized_) return kAudioSessionNotInitialized;
  if (routeStatus_ != kAudioSessionNoError) return routeStatus_;
  name = DeviceProfile::current().audioRoute;
  return kAudioSessionNoError;
}

}  // namespace platform
