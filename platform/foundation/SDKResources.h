#pragma once

#include <string>

namespace platform {

// The folder of the resources that the SDK ships for its own programs: the soundboard that
// velour runs (interface, clips) and the demo ad server. VELOUR_RESOURCES when set; else those
// installed beside the program (<prefix>/share/vozave/resources); else, for a program of the
// SDK's own build tree, the source tree's. Empty otherwise: another application's folders are
// its own, and the build machine's are not its.
std::string sdkResourcePath();

}  // namespace platform
