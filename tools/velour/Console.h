#pragma once

#include <functional>

#include "platform/web/WebView.h"

namespace velour {

// Sends the console messages of ad page `page` to the developer log from now on, as "web
// console: TEXT" lines ("web console: LEVEL: TEXT" for warnings and errors), escaped and cut as
// every page text in the log is, so that a page can neither break the log nor pass its text
// for the client's own lines.
void logConsoleOf(platform::WebView& page);
// The same, only while `heard` says so (a board's banner while the user can see it or its ad:
// the banners of the boards the user cannot see would flood the prompt).
void logConsoleOf(platform::WebView& page, std::function<bool()> heard);

}  // namespace velour
