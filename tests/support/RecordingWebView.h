#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/web/WebView.h"

namespace velour_test {

// A web view that never reaches the browser engine: it keeps every script it is asked to
// evaluate and answers "". For unit tests of web view delegates, which need a real web view
// object as the sender of their notifications.
class RecordingWebView : public platform::WebView {
 public:
  std::string stringByEvaluatingJavaScriptFromString(std::string_view script) override {
    scripts.emplace_back(script);
    return "";
  }

  std::vector<std::string> scripts;
};

}  // namespace velour_test
