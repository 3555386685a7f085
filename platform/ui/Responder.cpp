#include "platform/ui/Responder.h"

namespace platform {

bool Responder::performAction(const std::string& selector, const std::shared_ptr<View>& sender) {
  auto found = actions_.find(selector);
  if (found == actions_.end()) return false;
  // A copy, so an action that replaces the table cannot pull the running function away.
  Action action = found->second;
  action(sender);
  return true;
}

bool Responder::respondsToAction(const std::string& selector) const {
  return actions_.count(selector) != 0;
}

std::vector<std::string> Responder::actionNames() const {
  std::vector<std::string> names;
  for (const auto& [name, action] : actions_) names.push_back(name);
  return names;
}

bool Responder::setOutlet(const std::string&, const std::shared_ptr<Responder>&) {
  return false;
}

void Responder::addAction(std::string selector, Action action) {
  actions_[std::move(selector)] = std::move(action);
}

}  // namespace platform
