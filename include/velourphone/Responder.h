#pragma once

/// @file
/// platform::Responder: the base of views, view controllers and the application delegate;
/// actions named by text and the first responder.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "velourphone/Export.h"

namespace platform {

class View;

// The base of everything that can receive actions: views, view controllers and the
// application delegate. Actions are one-argument selectors named by text ("playBoing:"), so
// interface resources can bind them by name; a class lists the ones it answers in its action
// table.
class VOZAVE_API Responder : public std::enable_shared_from_this<Responder> {
 public:
  // An action's code; `sender` is the view that sent it, if any.
  using Action = std::function<void(const std::shared_ptr<View>& sender)>;

  Responder() = default;
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;
  virtual ~Responder() = default;

  // Runs the action named `selector`; false if this object does not answer it.
  virtual bool performAction(const std::string& selector, const std::shared_ptr<View>& sender);
  // Whether performAction would run `selector` here.
  virtual bool respondsToAction(const std::string& selector) const;
  std::vector<std::string> actionNames() const;  // the action table's selectors, sorted

  // Connects an outlet named in an interface resource; false if there is no such outlet or
  // the object is of the wrong class.
  virtual bool setOutlet(const std::string& name, const std::shared_ptr<Responder>& object);

  virtual std::string className() const { return "Responder"; }  // for logs and interfaces

  // The first responder receives the platform's key and motion events. An object becomes it
  // only if it can (by default it cannot), and only when the current one resigns.
  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool canResignFirstResponder() const { return true; }  // by default it can
  bool becomeFirstResponder();    // false if this object cannot, or the current one will not resign
  bool resignFirstResponder();    // false only if it is the first responder and may not resign
  bool isFirstResponder() const;  // whether it is the first responder now
  static std::shared_ptr<Responder> firstResponder();  // the current one, if any

 protected:
  // Puts `selector` in the action table (replacing one of that name); subclasses list theirs.
  void addAction(std::string selector, Action action);

 private:
  std::map<std::string, Action> actions_;
};

}  // namespace platform
