#include "app/velourAppDelegate.h"

#include "platform/foundation/Log.h"

velourAppDelegate::~velourAppDelegate() {
  // The tab bar controller goes before the window that shows it.
  tabBarController_.reset();
  window_.reset();
}

bool velourAppDelegate::setOutlet(const std::string& name,
                                  const std::shared_ptr<platform::Responder>& object) {
  if (name == "window") {
    auto window = std::dynamic_pointer_cast<platform::Window>(object);
    if (window) window_ = window;
    return window != nullptr;
  }
  if (name == "tabBarController") {
    auto controller = std::dynamic_pointer_cast<platform::TabBarController>(object);
    if (controller) tabBarController_ = controller;
    return controller != nullptr;
  }
  return false;
}

bool velourAppDelegate::applicationDidFinishLaunchingWithOptions(platform::Application&,
                                                                 const platform::Dictionary&) {
  if (!window_) {
    platform::log("velourAppDelegate: the main interface connected no window");
    return false;
  }
  window_->setRootViewController(tabBarController_);
  window_->makeKeyAndVisible();
  return true;
}
