#include "velourphone/ApplicationMain.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/net/CurlSession.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/web/Browser.h"

namespace platform {

namespace {

bool& running() {
  static bool value = false;
  return value;
}

// The way out, the same however the session ended (a quit, the end of a script, a full screen
// still up): the pending work of the run loop is released first, while the application, the
// web engine and every registry that the released closures may call still exist; then the
// engine stops and its run folder goes; what its stop posted is released last. The network
// connections close with it, so that a server of the same process stops at once.
void endSession() {
  RunLoop::main().cancelAll();
  Browser::shutdown();
  CurlSession::shared().closeAll();
  RunLoop::main().cancelAll();
}

// Clears the running flag however the session ends.
struct RunningScope {
  RunningScope() { running() = true; }
  ~RunningScope() { running() = false; }
};

}  // namespace

void setApplicationIdentity(const std::string& bundleIdentifier, const std::string& name,
                            const std::string& version) {
  Bundle::main().setIdentity({bundleIdentifier, name, version});
}

void setApplicationBundlePath(const std::string& folder) {
  Bundle::main().setResourcePath(folder);
}

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
    log(std::string("UIApplicationMain: no main interface ") + kMainInterfaceName + ".ui in " +
        Bundle::main().description());
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
  endSession();
  return status;
}

}  // namespace platform
