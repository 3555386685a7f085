#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace platform {

// The platform's control event flags.
enum ControlEvents : unsigned {
  kControlEventTouchDown = 1u << 0,
  kControlEventTouchDownRepeat = 1u << 1,
  kControlEventTouchDragInside = 1u << 2,
  kControlEventTouchDragOutside = 1u << 3,
  kControlEventTouchDragEnter = 1u << 4,
  kControlEventTouchDragExit = 1u << 5,
  kControlEventTouchUpInside = 1u << 6,
  kControlEventTouchUpOutside = 1u << 7,
  kControlEventTouchCancel = 1u << 8,
  kControlEventValueChanged = 1u << 12,
  kControlEventAllTouchEvents = 0x00000FFFu,
  kControlEventAllEvents = 0xFFFFFFFFu,
};

// The platform's control state flags; a control's state combines them.
enum ControlState : unsigned {
  kControlStateNormal = 0,
  kControlStateHighlighted = 1u << 0,
  kControlStateDisabled = 1u << 1,
  kControlStateSelected = 1u << 2,
};

// A view that sends actions to targets on control events. Targets are not owned.
class Control : public View {
 public:
  struct Binding {
    std::weak_ptr<Responder> target;
    std::string selector;
    unsigned events;
  };

  using View::View;

  void addTargetActionForControlEvents(const std::shared_ptr<Responder>& target,
                                       const std::string& selector, unsigned events);
  // An empty selector removes every action of `target` for those events.
  void removeTargetActionForControlEvents(const Responder* target, const std::string& selector,
                                          unsigned events);
  const std::vector<Binding>& bindings() const { return bindings_; }
  // The selectors bound to `events` (any target).
  std::vector<std::string> actionsForControlEvent(unsigned events) const;

  // Performs each bound action whose events intersect `events`, in binding order. An action
  // that its target does not answer, or whose target is gone, logs one line.
  void sendActionsForControlEvents(unsigned events);

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool isHighlighted() const { return highlighted_; }
  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { selected_ = selected; }
  unsigned state() const;

  // A finger down and up inside the control; nothing if it is disabled.
  virtual void tap();

  std::string className() const override { return "Control"; }

 private:
  std::vector<Binding> bindings_;
  bool enabled_ = true;
  bool highlighted_ = false;
  bool selected_ = false;
};

}  // namespace platform
