#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace velour_test {

// A fresh world for one test, undone when it goes: the run loop on its manual clock, an
// empty home folder, the test program's own bundle identity (the folder and identity go back
// as they were), the developer log
// captured, no shared application, ad statistics or animations, the ad controllers waiting for a
// launch, and the ad network's hosts sent to a closed port on 127.0.0.1. A web engine started in
// the world is stopped with it.
class TestWorld {
 public:
  TestWorld();
  ~TestWorld();
  TestWorld(const TestWorld&) = delete;
  TestWorld& operator=(const TestWorld&) = delete;

  const std::string& home() const { return home_; }
  platform::LogCapture& log() { return log_; }
  // A folder inside the home folder, made on demand; for test bundles.
  std::string makeFolder(const std::string& name) const;
  // Writes `text` to `folder`/`name`, returning the path.
  static std::string writeFile(const std::string& folder, const std::string& name,
                               const std::string& text);
  // Points the main bundle at `path` until the world goes.
  void useBundle(const std::string& path);

 private:
  std::string home_;
  std::string savedBundle_;
  platform::BundleIdentity savedIdentity_;
  platform::LogCapture log_;
};

// The soundboard running through velourMain in a TestWorld, with its own identity and bundle
// unless the test gave it a bundle. run() launches it with a driver that calls `body` while the
// application is up and returns velourMain's status.
class AppSession : public TestWorld {
 public:
  int run(const std::function<void()>& body);

  std::shared_ptr<platform::Window> window() const;
  std::shared_ptr<platform::TabBarController> tabs() const;
  // The board controller at tab `index`, as class T (null if it is another class).
  template <typename T>
  std::shared_ptr<T> board(int index) const {
    auto t = tabs();
    if (!t || index < 0 || index >= static_cast<int>(t->viewControllers().size())) return nullptr;
    return std::dynamic_pointer_cast<T>(t->viewControllers()[static_cast<std::size_t>(index)]);
  }
  // A user's tap on the visible button with `title`.
  bool tap(const std::string& title) const;
  bool selectTab(int index) const;
};

}  // namespace velour_test
