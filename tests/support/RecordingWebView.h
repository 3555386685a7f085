#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/web/WebView.h"

namespace velour_test {

// A web view that never reaches the browser engine: it keeps every script it is asked to
// evaluate (answering ""), every load and history call, and reports the loading and history
// state that the test sets. For unit tests of web view delegates and of the controllers that
// own web views; the test plays the delegate's messages itself.
class RecordingWebView : public platform::WebView {
 public:
  std::string stringByEvaluatingJavaScriptFromString(std::string_view script) override {
    scripts.emplace_back(script);
    return "";
  }
  void runJavaScript(std::string_view script) override { scripts.emplace_back(script); }
  // Recorded as "load <url>" with " Referer=<value>" when the request carries one.
  void loadRequest(const platform::WebRequest& request) override {
    std::string referer = request.valueForHTTPHeaderField("Referer");
    calls.push_back("load " + request.url().absoluteString() +
                    (referer.empty() ? "" : " Referer=" + referer));
    current = request;
  }
  void loadHTMLStringBaseURL(std::string_view html,
                             const std::optional<platform::URL>& baseURL) override {
    calls.push_back("html " + std::string(html) + " base " +
                    (baseURL ? baseURL->absoluteString() : "(none)"));
  }
  void goBack() override { calls.emplace_back("back"); }
  void goForward() override { calls.emplace_back("forward"); }
  void reload() override { calls.emplace_back("reload"); }
  void stopLoading() override { calls.emplace_back("stop"); }
  bool canGoBack() override { return backPossible; }
  bool canGoForward() override { return forwardPossible; }
  bool isLoading() const override { return loading; }
  const platform::WebRequest& request() const override { return current; }
  bool lastNavigationHadUserActivation() const override { return userActivation; }
  bool lastNavigationCameFromPage() const override { return fromPage; }
  bool lastNavigationCameFromApplication() const override { return fromApplication; }

  std::vector<std::string> scripts;
  std::vector<std::string> calls;
  platform::WebRequest current;
  bool loading = false;
  bool backPossible = false;
  bool forwardPossible = false;
  // What the navigation that the delegate decides next is said to carry.
  bool userActivation = false;
  bool fromPage = false;
  bool fromApplication = false;
};

}  // namespace velour_test
