#pragma once

#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

// The application delegate: installs the tab bar controller in the window at launch.
class velourAppDelegate : public platform::ApplicationDelegate {
 public:
  ~velourAppDelegate() override;

  const std::shared_ptr<platform::Window>& window() const { return window_; }
  void setWindow(std::shared_ptr<platform::Window> window) { window_ = std::move(window); }
  const std::shared_ptr<platform::TabBarController>& tabBarController() const {
    return tabBarController_;
  }
  void setTabBarController(std::shared_ptr<platform::TabBarController> controller) {
    tabBarController_ = std::move(controller);
  }

  bool setOutlet(const std::string& name,
                 const std::shared_ptr<platform::Responder>& object) override;
  bool applicationDidFinishLaunchingWithOptions(platform::Application& application,
                                                const platform::Dictionary& options) override;

  std::string className() const override { return "velourAppDelegate"; }

 private:
  std::shared_ptr<platform::Window> window_;
  std::shared_ptr<platform::TabBarController> tabBarController_;
};
