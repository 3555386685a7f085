#include "platform/ui/Responder.h"

namespace platform {

namespace {
// Not owned: a responder that goes stops being the first one.
std::weak_ptr<Responder>& currentFirstResponder() {
  static std::weak_ptr<Responder> current;
  return current;
}
}  // namespace

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

bool Responder::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (!canBecomeFirstResponder()) return false;
  auto me = weak_from_this().lock();
  if (!me) return false;
  if (auto current = firstResponder(); current && !current->resignFirstResponder()) return false;
  currentFirstResponder() = me;
  return true;
}

bool Responder::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  if (!canResignFirstResponder()) return false;
  currentFirstResponder().reset();
  return true;
}

bool Responder::isFirstResponder() const {
  return firstResponder().get() == this;
}

std::shared_ptr<Responder> Responder::firstResponder() {
  return currentFirstResponder().lock();
}

void Responder::addAction(std::string selector, Action action) {
  actions_[std::move(selector)] = std::move(action);
}

}  // namespace platform
