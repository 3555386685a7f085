#include "platform/ui/ClassRegistry.h"

#include <map>

#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"

namespace platform {

namespace {

std::map<std::string, ViewControllerFactory>& controllerClasses() {
  static std::map<std::string, ViewControllerFactory> classes{
      {"ViewController", [] { return std::make_shared<ViewController>(); }}};
  return classes;
}

std::map<std::string, ApplicationDelegateFactory>& delegateClasses() {
  static std::map<std::string, ApplicationDelegateFactory> classes{
      {"ApplicationDelegate", [] { return std::make_shared<ApplicationDelegate>(); }}};
  return classes;
}

}  // namespace

void registerViewControllerClass(const std::string& name, ViewControllerFactory factory) {
  controllerClasses()[name] = std::move(factory);
}

void registerApplicationDelegateClass(const std::string& name, ApplicationDelegateFactory factory) {
  delegateClasses()[name] = std::move(factory);
}

std::shared_ptr<ViewController> createViewController(const std::string& name) {
  auto found = controllerClasses().find(name);
  return found == controllerClasses().end() || !found->second ? nullptr : found->second();
}

std::shared_ptr<ApplicationDelegate> createApplicationDelegate(const std::string& name) {
  auto found = delegateClasses().find(name);
  return found == delegateClasses().end() || !found->second ? nullptr : found->second();
}

bool isViewControllerClassRegistered(const std::string& name) {
  return controllerClasses().count(name) != 0;
}

}  // namespace platform
