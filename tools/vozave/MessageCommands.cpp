#include <iostream>

#include "ads/web/ZUVNotification.h"
#include "platform/foundation/URL.h"
#include "tools/vozave/Command.h"

namespace vozave {

namespace {

int message(const Arguments& args) {
  if (args.size() != 1) return usageError("message takes one URL");
  auto url = platform::URL::parse(args.front());
  if (!url) {
    std::cout << "not a URL\n";
    return 1;
  }
  auto notification = ZUVNotification::notificationFromURL(*url);
  if (!notification) {
    std::cout << "not an ad message\n";
    return 1;
  }
  std::cout << "message: " << notification->name() << "\n";
  if (!notification->parameters()) {
    std::cout << "parameters: none\n";
    return 0;
  }
  for (const auto& [key, value] : *notification->parameters()) {
    std::cout << "  " << key << " = " << value.stringValue() << "\n";
  }
  return 0;
}

}  // namespace

std::vector<Command> messageCommands() {
  return {
      {"message",
       "  message URL\n"
       "      tell whether URL is an ad message; if so print its name and parameters "
       "(exit 1 if not)\n",
       message},
  };
}

}  // namespace vozave
