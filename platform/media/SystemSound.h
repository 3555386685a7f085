#pragma once

#include <cstddef>

namespace platform {

constexpr unsigned kSystemSoundID_Vibrate = 0x00000FFF;

// The system sound service: vibrations are counted and logged.
void AudioServicesPlaySystemSound(unsigned soundID);
std::size_t vibrationCount();
void resetVibrationCount();

}  // namespace platform
