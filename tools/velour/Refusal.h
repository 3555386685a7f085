#pragma once

#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Result.h"

// What velour could not do, in the user's words: the error that the phone's actions return and
// that the driver prints. The Phone, FullScreens, Banners, the snapshot and the option reader
// make them.
namespace velour {

inline constexpr const char* kVelourErrorDomain = "VelourErrorDomain";
enum VelourErrorCode : long {
  kVelourUsageError = 1,     // a command line that velour does not take
  kVelourCommandRefused = 2  // a command that could not be carried out
};

inline platform::Error refused(std::string problem, long code = kVelourCommandRefused) {
  return platform::Error::make(kVelourErrorDomain, code, std::move(problem));
}

}  // namespace velour
