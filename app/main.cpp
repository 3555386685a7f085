#include "app/main.h"

#include <memory>

#include "app/FirstViewController.h"
#include "app/FlipSideView.h"
#include "app/SecondViewController.h"
#include "app/ThirdViewController.h"
#include "app/velourAppDelegate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/SDKResources.h"
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

void useSoundboardBundle() {
  const platform::Bundle& bundle = platform::Bundle::main();
  // Every ad request carries these: they stay what the soundboard has always sent.
  if (!bundle.hasIdentity()) {
    platform::setApplicationIdentity("com.velour.soundboard", "Velour", "1.0");
  }
  if (bundle.resourcePath().empty()) {
    platform::setApplicationBundlePath(platform::sdkResourcePath());
  }
}

int velourMain(int argc, char** argv) {
  useSoundboardBundle();
  registerVelourClasses();
  // No principal class and no delegate class: the main interface names the delegate.
  return platform::UIApplicationMain(argc, argv, "", "");
}
