#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class ApplicationDelegate;
class ViewController;

// Classes that interface resources name, by name. "ViewController" and "ApplicationDelegate"
// (the plain platform classes) are always there.
using ViewControllerFactory = std::function<std::shared_ptr<ViewController>()>;
using ApplicationDelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;

void registerViewControllerClass(const std::string& name, ViewControllerFactory factory);
void registerApplicationDelegateClass(const std::string& name, ApplicationDelegateFactory factory);
// Null for a class that is not registered.
std::shared_ptr<ViewController> createViewController(const std::string& name);
std::shared_ptr<ApplicationDelegate> createApplicationDelegate(const std::string& name);
bool isViewControllerClassRegistered(const std::string& name);

}  // namespace platform
