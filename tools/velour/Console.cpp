#include "tools/velour/Console.h"

#include "ads/web/ZUVWebViewDelegate.h"
#include "platform/foundation/Log.h"

namespace velour {

namespace {

std::string consoleLine(const std::string& level, const std::string& text) {
  std::string line = "web console: ";
  if (level == "warning" || level == "error") line += level + ": ";
  return line + ZUVWebViewDelegate::pageLogLine(text);
}

}  // namespace

void logConsoleOf(platform::WebView& page, ConsoleLines which) {
  std::weak_ptr<platform::WebView> weak = page.webSelf();
  page.setConsoleHandler([weak, which](const std::string& level, const std::string& text) {
    if (which == ConsoleLines::WhileOnScreen) {
      auto view = weak.lock();
      if (!view || !view->window() || !view->isVisibleInTree()) return;
    }
    platform::log(consoleLine(level, text));
  });
}

}  // namespace velour
