#pragma once

/// @file
/// platform::UIApplicationMain: runs an application laid out by an interface resource.

#include <string>

#include "velourphone/Export.h"

namespace platform {

// The main interface resource that UIApplicationMain loads: <name>.ui in the main bundle.
inline constexpr const char* kMainInterfaceName = "MainWindow";

// Who the application is, set before launch, before anything else of the phone is used: its
// bundle identifier (reverse DNS, e.g. "com.example.app"), its name and its version (empty:
// none). Ad requests carry the identifier and the version; the home folder and the standard
// store are named by the identifier. An application that sets none is "unidentified." and its
// program's name, and the log says so.
VOZAVE_API void setApplicationIdentity(const std::string& bundleIdentifier, const std::string& name,
                                       const std::string& version);
// The application's bundle folder, set before launch: its interface resources (<screen>.ui,
// kMainInterfaceName), sounds and pictures are found there and in its sub-folders. An
// application that sets none has no resources: its screens are plain views.
VOZAVE_API void setApplicationBundlePath(const std::string& folder);

// Creates the shared application, loads the main interface (which makes the delegate, the
// window and the tab bar controller), launches, then runs the installed driver or else the
// main run loop until Application::terminate(). On the way out: willTerminate, a
// synchronised UserDefaults, the run loop's pending work cancelled and the web engine stopped.
// Returns the exit status; 1 if the interface cannot be loaded or
// an application is already running.
VOZAVE_API int UIApplicationMain(int argc, char** argv, const std::string& principalClassName,
                                 const std::string& delegateClassName);

}  // namespace platform
