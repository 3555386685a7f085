#include "platform/ui/Window.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Toolbar.h"

namespace platform {

namespace {

void collectButtons(const std::shared_ptr<View>& view, std::vector<std::shared_ptr<Button>>& out) {
  if (auto button = std::dynamic_pointer_cast<Button>(view)) out.push_back(button);
  for (const auto& sub : view->subviews()) collectButtons(sub, out);
}

}  // namespace

std::shared_ptr<Window> Window::create(const Rect& frame) {
  return std::make_shared<Window>(frame);
}

std::shared_ptr<Window> Window::create() {
  return create(Screen::bounds());
}

Window::Window(const Rect& frame) : View(frame) {
  setHidden(true);
}

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller) {
  if (controller == root_) return;
  bool visible = !isHidden();
  auto old = root_;
  if (old && visible) old->beginAppearanceTransition(false, false);
  if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
  if (old && visible) old->endAppearanceTransition(false);
  root_ = controller;
  if (!root_) return;
  auto rootView = root_->view();
  rootView->setFrame(Screen::applicationFrame());
  if (visible) root_->beginAppearanceTransition(true, false);
  addSubview(rootView);
  if (visible) root_->endAppearanceTransition(false);
}

void Window::makeKeyAndVisible() {
  auto me = std::static_pointer_cast<Window>(self());
  Application::shared()->setKeyWindow(me);
  setHidden(false);
  if (root_ && root_->appearance() == ViewController::Appearance::Disappeared) {
    root_->beginAppearanceTransition(true, false);
    root_->endAppearanceTransition(false);
  }
}

bool Window::isKeyWindow() const {
  return keyWindow().get() == this;
}

std::shared_ptr<Window> Window::keyWindow() {
  return Application::shared()->keyWindow();
}

std::shared_ptr<ViewController> Window::topViewController() const {
  auto top = root_;
  while (top && top->modalViewController()) top = top->modalViewController();
  return top;
}

Rect Window::interfaceBounds() const {
  Rect turned = bounds();
  const bool landscape = isLandscape(Application::shared()->statusBarOrientation());
  if (landscape != (turned.size.width > turned.size.height)) {
    std::swap(turned.size.width, turned.size.height);
  }
  return turned;
}

bool Window::touchAt(Point point) {
  auto hit = hitTest(point);
  for (auto v = hit; v; v = v->superview()) {
    if (auto control = std::dynamic_pointer_cast<Control>(v)) {
      if (!control->isEnabled()) break;
      control->tap();
      return true;
    }
    if (auto toolbar = std::dynamic_pointer_cast<Toolbar>(v)) {
      Rect f = toolbar->frameInWindow();
      if (auto item = toolbar->itemAt({point.x - f.origin.x, point.y - f.origin.y})) {
        return item->tap();
      }
      break;
    }
    if (auto bar = std::dynamic_pointer_cast<TabBar>(v)) {
      Rect f = bar->frameInWindow();
      auto controller = bar->controller();
      int index = bar->itemIndexAt(point.x - f.origin.x);
      if (controller && index >= 0) return controller->userSelectTab(index);
      break;
    }
  }
  log("touch at " + describeNumber(point.x) + "," + describeNumber(point.y) + " hit " +
      (hit ? hit->describe() : std::string("nothing")) + ": no control there");
  return false;
}

bool Window::tapButton(const std::string& title) {
  std::vector<std::shared_ptr<Button>> all;  // back to front
  collectButtons(self(), all);
  bool found = false;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    const auto& button = *it;
    if (button->title() != title || !button->isVisibleInTree()) continue;
    found = true;
    Rect f = button->frameInWindow();
    Point centre{f.midX(), f.midY()};
    auto hit = hitTest(centre);
    if (hit && (hit == button || hit->isDescendantOfView(*button))) {
      if (!button->isEnabled()) break;
      button->tap();
      return true;
    }
  }
  log(found ? "button \"" + title + "\" cannot be tapped: it is covered or disabled"
            : "no visible button \"" + title + "\"");
  return false;
}

}  // namespace platform
