#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Result.h"
#include "platform/ui/InterfaceParser.h"

namespace platform {

class ApplicationDelegate;
class Responder;
class TabBarController;
class View;
class Window;

// What the main interface resource makes; `objects` owns all of them.
struct MainInterface {
  std::shared_ptr<ApplicationDelegate> delegate;
  std::shared_ptr<Window> window;
  std::shared_ptr<TabBarController> tabBarController;
  std::vector<std::shared_ptr<Responder>> objects;
};

// Builds a screen's view tree; each button's touch-up-inside is bound to `owner` (not owned)
// with its action's name. An error for content that does not make sense.
Result<std::shared_ptr<View>> buildViewResource(const InterfaceDocument& doc,
                                                const std::shared_ptr<Responder>& owner);
// Builds the delegate (of `delegateClassName` if given, else of the file's class), the window
// and the tab bar controller with its tabs, and connects the outlets on the delegate.
Result<MainInterface> buildMainInterface(const InterfaceDocument& doc,
                                         const std::string& delegateClassName);

// Read, parse and build; a failure logs one line "interface: <file>:<line>: <what>".
Result<std::shared_ptr<View>> loadViewResource(const std::string& path,
                                               const std::shared_ptr<Responder>& owner);
Result<MainInterface> loadMainInterface(const std::string& path,
                                        const std::string& delegateClassName);

}  // namespace platform
