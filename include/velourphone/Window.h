#pragma once

/// @file
/// platform::Window: the screen's top view, holding the root view controller.

#include <memory>
#include <string>

#include "velourphone/Export.h"
#include "velourphone/View.h"
#include "velourphone/ViewController.h"

namespace platform {

// The screen's top view. Hidden until made key and visible; its root view controller's view
// fills the application frame (the screen below the status bar).
class VOZAVE_API Window : public View {
 public:
  static std::shared_ptr<Window> create(const Rect& frame);  // a window of that frame
  static std::shared_ptr<Window> create();                   // the screen's bounds
  explicit Window(const Rect& frame);                        // for a subclass; use create

  std::shared_ptr<ViewController> rootViewController() const { return root_; }    // owned
  void setRootViewController(const std::shared_ptr<ViewController>& controller);  // shows its view
  void makeKeyAndVisible();  // shown, and the application's key window
  bool isKeyWindow() const;  // whether it is the application's key window
  // The application's key window, if any.
  static std::shared_ptr<Window> keyWindow();

  // The front-most presented controller: the root, or the last of its modal chain.
  std::shared_ptr<ViewController> topViewController() const;

  // A touch at `point` (window coordinates), as a finger would: the control under it gets a
  // tap, a tab bar item selects its tab, a toolbar item sends its action. False (and a log line) if
  // nothing takes it.
  bool touchAt(Point point);
  // Taps the front-most visible button with `title`, at its centre; false (and a log line) if
  // there is none or something covers it.
  bool tapButton(const std::string& title);

  std::string className() const override { return "Window"; }  // for logs and interfaces

  // The window's bounds in the interface orientation: rotation turns the application's frame,
  // not the window, so a landscape interface lies across it.
  Rect interfaceBounds() const;
  // Touches reach the interface wherever it lies, in either orientation.
  bool pointInside(Point point) const override { return interfaceBounds().contains(point); }

 private:
  std::shared_ptr<ViewController> root_;
};

}  // namespace platform
