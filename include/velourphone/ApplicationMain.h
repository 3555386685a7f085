#pragma once

/// @file
/// platform::UIApplicationMain: runs an application laid out by an interface resource.

#include <string>

#include "velourphone/Export.h"

namespace platform {

// The main interface resource that UIApplicationMain loads: <name>.ui in the main bundle.
inline constexpr const char* kMainInterfaceName = "MainWindow";

// Creates the shared application, loads the main interface (which makes the delegate, the
// window and the tab bar controller), launches, then runs the installed driver or else the
// main run loop until Application::terminate(). On the way out: willTerminate, a
// synchronised UserDefaults, the run loop's pending work cancelled and the web engine stopped.
// Returns the exit status; 1 if the interface cannot be loaded or
// an application is already running.
VOZAVE_API int UIApplicationMain(int argc, char** argv, const std::string& principalClassName,
                                 const std::string& delegateClassName);

}  // namespace platform
