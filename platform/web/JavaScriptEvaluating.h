#pragma once

#include <string>
#include <string_view>

namespace platform {

// What can run a script in a page and answer its result as text: the web view, or a test's
// recording double. The answer is "" for undefined, null, an exception or a script that ran
// past its time budget.
class JavaScriptEvaluating {
 public:
  virtual ~JavaScriptEvaluating() = default;
  // Waits for the page's answer.
  virtual std::string stringByEvaluatingJavaScriptFromString(std::string_view script) = 0;
  // Runs the script in the page shown without waiting for it, for a caller that does not read
  // the result; nothing without a page.
  virtual void runJavaScript(std::string_view script) = 0;
};

}  // namespace platform
