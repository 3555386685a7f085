#pragma once

#include <memory>
#include <string>

#include "velourphone/ClassRegistry.h"

// The registry of the classes that interface resources name: the application registers
// (public), the interface loader makes them by name.
namespace platform {

// Null for a class that is not registered.
std::shared_ptr<ViewController> createViewController(const std::string& name);
std::shared_ptr<ApplicationDelegate> createApplicationDelegate(const std::string& name);
bool isViewControllerClassRegistered(const std::string& name);

}  // namespace platform
