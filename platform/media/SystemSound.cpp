#include "platform/media/SystemSound.h"

#include <string>

#include "platform/foundation/Log.h"

namespace platform {
namespace {

std::size_t& vibrations() {
  static std::size_t count = 0;
  return count;
}

}  // namespace

void AudioServicesPlaySystemSound(unsigned soundID) {
  if (soundID == kSystemSoundID_Vibrate) {
    ++vibrations();
    platform::log("vibrate");
    return;
  }
  platform::log("system sound " + std::to_string(soundID));
}

std::size_t vibrationCount() {
  return vibrations();
}

void resetVibrationCount() {
  vibrations() = 0;
}

}  // namespace platform
