#include "platform/ui/Control.h"

#include <algorithm>

#include "platform/foundation/Log.h"

namespace platform {

void Control::addTargetActionForControlEvents(const std::shared_ptr<Responder>& target,
                                              const std::string& selector, unsigned events) {
  if (selector.empty() || events == 0) return;
  for (auto& b : bindings_) {
    if (b.target.lock() == target && b.selector == selector) {
      b.events |= events;
      return;
    }
  }
  bindings_.push_back({target, selector, events});
}

void Control::removeTargetActionForControlEvents(const Responder* target,
                                                 const std::string& selector, unsigned events) {
  for (auto& b : bindings_) {
    if (b.target.lock().get() == target && (selector.empty() || b.selector == selector)) {
      b.events &= ~events;
    }
  }
  std::erase_if(bindings_, [](const Binding& b) { return b.events == 0; });
}

std::vector<std::string> Control::actionsForControlEvent(unsigned events) const {
  std::vector<std::string> selectors;
  for (const auto& b : bindings_) {
    if (b.events & events) selectors.push_back(b.selector);
  }
  return selectors;
}

void Control::sendActionsForControlEvents(unsigned events) {
  auto sender = self();
  // A copy: an action may rebind this control or tear down its screen.
  auto bindings = bindings_;
  for (const auto& b : bindings) {
    if (!(b.events & events)) continue;
    auto target = b.target.lock();
    if (!target) {
      log(describe() + ": no target for action " + b.selector);
      continue;
    }
    if (!target->performAction(b.selector, sender)) {
      log(target->className() + " does not respond to " + b.selector + " (sent by " + describe() +
          ")");
    }
  }
}

unsigned Control::state() const {
  unsigned state = kControlStateNormal;
  if (highlighted_) state |= kControlStateHighlighted;
  if (!enabled_) state |= kControlStateDisabled;
  if (selected_) state |= kControlStateSelected;
  return state;
}

void Control::tap() {
  if (!enabled_) return;
  auto keep = self();  // the action may remove this control from its screen
  highlighted_ = true;
  sendActionsForControlEvents(kControlEventTouchDown);
  highlighted_ = false;
  sendActionsForControlEvents(kControlEventTouchUpInside);
}

}  // namespace platform
