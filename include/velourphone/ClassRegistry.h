#pragma once

/// @file
/// platform::registerViewControllerClass and platform::registerApplicationDelegateClass: the
/// application's classes that its interface resources name.

#include <functional>
#include <memory>
#include <string>

#include "velourphone/Export.h"

namespace platform {

class ApplicationDelegate;
class ViewController;

// Classes that interface resources name, by name. "ViewController" and "ApplicationDelegate"
// (the plain platform classes) are always there; an application registers its own before
// UIApplicationMain loads its main interface. Makes a view controller of a registered class.
using ViewControllerFactory = std::function<std::shared_ptr<ViewController>()>;
// Makes an application delegate of a registered class.
using ApplicationDelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;

// Registers (or replaces) the view controller class `name` that screens and tabs name.
VOZAVE_API void registerViewControllerClass(const std::string& name, ViewControllerFactory factory);
// Registers (or replaces) the application delegate class `name` that the main interface names.
VOZAVE_API void registerApplicationDelegateClass(const std::string& name,
                                                 ApplicationDelegateFactory factory);

}  // namespace platform
