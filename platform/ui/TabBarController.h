#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ViewController.h"

namespace platform {

class TabBarController;

// The bar at the foot of a tab bar controller's view: one item per controller.
class TabBar : public View {
 public:
  explicit TabBar(const Rect& frame) : View(frame) {}

  std::vector<std::string> itemTitles() const;
  int selectedIndex() const;
  // The item under `x` (in the bar's coordinates), or -1.
  int itemIndexAt(double x) const;
  std::shared_ptr<TabBarController> controller() const { return controller_.lock(); }

  bool drawsContent() const override { return true; }
  std::string className() const override { return "TabBar"; }

 private:
  friend class TabBarController;
  std::weak_ptr<TabBarController> controller_;
};

// Shows one of its controllers at a time above a tab bar, and switches between them with the
// platform's order of appearance calls.
class TabBarController : public ViewController {
 public:
  static constexpr double kTabBarHeight = 49;

  static std::shared_ptr<TabBarController> create();
  TabBarController() : ViewController("TabBarController") { setNibName(""); }

  void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const {
    return controllers_;
  }
  int selectedIndex() const { return selected_; }
  std::shared_ptr<ViewController> selectedViewController() const;
  // Out-of-range indexes and the selected tab do nothing.
  void setSelectedIndex(int index);
  void setSelectedViewController(const std::shared_ptr<ViewController>& controller);
  // The user tapping the tab at `index`; false if there is no such tab.
  bool userSelectTab(int index);

  std::shared_ptr<TabBar> tabBar();
  // Where the selected controller's view goes: the area above the bar.
  std::shared_ptr<View> contentView();

  void loadView() override;
  bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) override;
  std::vector<std::shared_ptr<ViewController>> childViewControllers() const override {
    return controllers_;
  }
  std::vector<std::shared_ptr<ViewController>> visibleChildViewControllers() const override;

 protected:
  void prepareToAppear() override;

 private:
  void showSelected();
  bool isOnScreen() const;

  std::vector<std::shared_ptr<ViewController>> controllers_;
  int selected_ = 0;
  std::shared_ptr<View> content_;
  std::shared_ptr<TabBar> bar_;
};

}  // namespace platform
