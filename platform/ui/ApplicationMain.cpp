#include "platform/ui/ApplicationMain.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"

namespace platform {

namespace {

bool& running() {
  static bool value = false;
  return value;
}

// Clears the running flag however the session ends.
struct RunningScope {
  RunningScope() { running() = true; }
  ~RunningScope() { running() = false; }
};

}  // namespace

int UIApplicationMain(int, char**, const std::string& principalClassName,
                      const std::string& delegateClassName) {
  if (running()) {
    log("UIApplicationMain: an application is already running");
    return 1;
  }
  RunningScope scope;
  if (!principalClassName.empty() && principalClassName != "Application") {
    log("UIApplicationMain: unknown principal class \"" + principalClassName +
        "\"; using Application");
  }
  auto app = Application::shared();
  auto path = Bundle::main().pathForResourceOfType(kMainInterfaceName, "ui");
  if (!path) {
    log(std::string("UIApplicationMain: no main interface ") + kMainInterfaceName + ".ui");
    return 1;
  }
  auto interface = loadMainInterface(*path, delegateClassName);
  if (!interface) return 1;
  app->setDelegate(interface->delegate);
  app->keepObjects(std::move(interface->objects));
  app->finishLaunching();

  int status = 0;
  // A copy: the driver may reset the application, and the installed driver with it.
  if (auto driver = Application::driver()) {
    status = driver();
  } else {
    RunLoop::main().run();
  }
  app->sendWillTerminate();
  UserDefaults::standard().synchronize();
  return status;
}

}  // namespace platform
