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

void logConsoleOf(platform::WebView& page) {
  page.setConsoleHandler([](const std::string& level, const std::string& text) {
    platform::log(consoleLine(level, text));
  });
}

void logConsoleOf(platform::WebView& page, std::function<bool()> heard) {
  page.setConsoleHandler(
      [heard = std::move(heard)](const std::string& level, const std::string& text) {
        if (heard()) platform::log(consoleLine(level, text));
      });
}

}  // namespace velour
