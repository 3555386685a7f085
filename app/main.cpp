#include "app/main.h"

#include <memory>

#include "app/FirstViewController.h"
#include "app/FlipSideView.h"
#include "app/SecondViewController.h"
#include "app/ThirdViewController.h"
#include "app/velourAppDelegate.h"
#include "platform/ui/ClassRegistry.h"
#include "velourphone/ApplicationMain.h"

void registerVelourClasses() {
  platform::registerApplicationDelegateClass("velourAppDelegate",
                                             [] { return std::make_shared<velourAppDelegate>(); });
  platform::registerViewControllerClass("FirstViewController",
                                        [] { return std::make_shared<FirstViewController>(); });
  platform::registerViewControllerClass("SecondViewController",
                                        [] { return std::make_shared<SecondViewController>(); });
  platform::registerViewControllerClass("ThirdViewController",
                                        [] { return std::make_shared<ThirdViewController>(); });
  platform::registerViewControllerClass("FlipSideView", [] { return FlipSideView::create(); });
}

int velourMain(int argc, char** argv) {
  registerVelourClasses();
  // No principal class and no delegate class: the main interface names the delegate.
  return platform::UIApplicationMain(argc, argv, "", "");
}
