#pragma once

#include "platform/web/WebView.h"

namespace velour {

// Which of a page's console messages reach the log: those of a page on screen only (a board's
// banners, whose pages on the other boards would flood the prompt), or all of them.
enum class ConsoleLines { WhileOnScreen, All };

// Sends the console messages of ad page `page` to the developer log from now on, as "web
// console: TEXT" lines ("web console: LEVEL: TEXT" for warnings and errors), escaped and cut as
// every page text in the log is, so that a page can neither break the log nor pass its text
// for the client's own lines.
void logConsoleOf(platform::WebView& page, ConsoleLines which);

}  // namespace velour
