#include "platform/ui/Screen.h"

#include "platform/ui/Application.h"

namespace platform {

Rect Screen::bounds() {
  const Size& size = DeviceProfile::current().screenSize;
  return Rect(0, 0, size.width, size.height);
}

Rect Screen::applicationFrame() {
  auto app = Application::shared();
  Rect screen = bounds();
  double width = screen.size.width, height = screen.size.height;
  if (isLandscape(app->statusBarOrientation())) std::swap(width, height);
  double bar = app->statusBarFrame().size.height;
  return Rect(0, bar, width, height - bar);
}

}  // namespace platform
