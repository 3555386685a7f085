#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Export.h"

namespace platform {

class View;

// The base of everything that can receive actions: views, view controllers and the
// application delegate. Actions are one-argument selectors named by text ("playBoing:"), so
// interface resources can bind them by name; a class lists the ones it answers in its action
// table.
class VOZAVE_API Responder : public std::enable_shared_from_this<Responder> {
 public:
  using Action = std::function<void(const std::shared_ptr<View>& sender)>;

  Responder() = default;
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;
  virtual ~Responder() = default;

  // Runs the action named `selector`; false if this object does not answer it.
  virtual bool performAction(const std::string& selector, const std::shared_ptr<View>& sender);
  virtual bool respondsToAction(const std::string& selector) const;
  std::vector<std::string> actionNames() const;

  // Connects an outlet named in an interface resource; false if there is no such outlet or
  // the object is of the wrong class.
  virtual bool setOutlet(const std::string& name, const std::shared_ptr<Responder>& object);

  virtual std::string className() const { return "Responder"; }

  // The first responder receives the platform's key and motion events. An object becomes it
  // only if it can (by default it cannot), and only when the current one resigns.
  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool canResignFirstResponder() const { return true; }
  bool becomeFirstResponder();
  bool resignFirstResponder();
  bool isFirstResponder() const;
  static std::shared_ptr<Responder> firstResponder();

 protected:
  void addAction(std::string selector, Action action);

 private:
  std::map<std::string, Action> actions_;
};

}  // namespace platform
