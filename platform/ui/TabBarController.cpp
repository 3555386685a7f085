#include "platform/ui/TabBarController.h"

#include "platform/ui/Screen.h"

namespace platform {

std::vector<std::string> TabBar::itemTitles() const {
  std::vector<std::string> titles;
  if (auto c = controller()) {
    for (const auto& vc : c->viewControllers()) titles.push_back(vc->tabBarItem().title);
  }
  return titles;
}

int TabBar::selectedIndex() const {
  auto c = controller();
  return c ? c->selectedIndex() : -1;
}

int TabBar::itemIndexAt(double x) const {
  auto c = controller();
  if (!c || c->viewControllers().empty() || x < 0 || x >= frame().size.width) return -1;
  double width = frame().size.width / static_cast<double>(c->viewControllers().size());
  return static_cast<int>(x / width);
}

std::shared_ptr<TabBarController> TabBarController::create() {
  return std::make_shared<TabBarController>();
}

void TabBarController::setViewControllers(
    std::vector<std::shared_ptr<ViewController>> controllers) {
  auto old = selectedViewController();
  bool onScreen = isOnScreen();
  if (old && onScreen) old->beginAppearanceTransition(false, false);
  if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
  if (old && onScreen) old->endAppearanceTransition(false);
  for (const auto& c : controllers_) c->setContainer(nullptr);
  controllers_ = std::move(controllers);
  for (const auto& c : controllers_) c->setContainer(self());
  selected_ = 0;
  if (onScreen) {
    auto now = selectedViewController();
    if (now) now->beginAppearanceTransition(true, false);
    showSelected();
    if (now) now->endAppearanceTransition(false);
  }
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(controllers_.size())) return nullptr;
  return controllers_[static_cast<std::size_t>(selected_)];
}

bool TabBarController::isOnScreen() const {
  return appearance() == Appearance::Appeared || appearance() == Appearance::Appearing;
}

void TabBarController::setSelectedIndex(int index) {
  if (index < 0 || index >= static_cast<int>(controllers_.size()) || index == selected_) return;
  auto old = selectedViewController();
  auto now = controllers_[static_cast<std::size_t>(index)];
  if (!isOnScreen()) {
    selected_ = index;
    return;
  }
  now->view();
  old->beginAppearanceTransition(false, false);
  now->beginAppearanceTransition(true, false);
  if (old->isViewLoaded()) old->view()->removeFromSuperview();
  selected_ = index;
  showSelected();
  old->endAppearanceTransition(false);
  now->endAppearanceTransition(false);
}

void TabBarController::setSelectedViewController(
    const std::shared_ptr<ViewController>& controller) {
  for (std::size_t i = 0; i < controllers_.size(); ++i) {
    if (controllers_[i] == controller) setSelectedIndex(static_cast<int>(i));
  }
}

bool TabBarController::userSelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(controllers_.size())) return false;
  setSelectedIndex(index);
  return true;
}

std::shared_ptr<TabBar> TabBarController::tabBar() {
  view();
  return bar_;
}

std::shared_ptr<View> TabBarController::contentView() {
  view();
  return content_;
}

void TabBarController::loadView() {
  Rect frame = Screen::applicationFrame();
  double w = frame.size.width, h = frame.size.height;
  auto root = View::create(Rect(0, 0, w, h));
  content_ = View::create(Rect(0, 0, w, h - kTabBarHeight));
  content_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
  bar_ = std::make_shared<TabBar>(Rect(0, h - kTabBarHeight, w, kTabBarHeight));
  bar_->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleTopMargin);
  bar_->controller_ = std::static_pointer_cast<TabBarController>(self());
  root->addSubview(content_);
  root->addSubview(bar_);
  setView(root);
}

bool TabBarController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation o) {
  // The platform turns a tab bar controller only when every tab agrees.
  for (const auto& c : controllers_) {
    if (!c->shouldAutorotateToInterfaceOrientation(o)) return false;
  }
  return !controllers_.empty() || o == InterfaceOrientation::Portrait;
}

std::vector<std::shared_ptr<ViewController>> TabBarController::visibleChildViewControllers() const {
  if (auto c = selectedViewController()) return {c};
  return {};
}

void TabBarController::prepareToAppear() {
  showSelected();
}

void TabBarController::showSelected() {
  auto c = selectedViewController();
  if (!c) return;
  auto content = contentView();
  auto childView = c->view();
  if (childView->superview() == content) return;
  childView->setFrame(content->bounds());
  childView->setAutoresizingMask(kAutoresizingFlexibleWidth | kAutoresizingFlexibleHeight);
  content->addSubview(childView);
}

}  // namespace platform
