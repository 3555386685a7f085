#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/web/WebRequest.h"

namespace platform {

// The web view's own document requests of its main frame, as the engine pauses them: what the
// next one of ours carries (its headers and a POST's body, or the text to answer it with), which
// requests of replaced loads may still come and are to be dropped, and the newest texts loaded
// with a web base URL, kept to answer a reload or a return in history. WebView alone owns and
// uses it; pages are told apart by pageKey.
class DocumentRequests {
 public:
  struct Expected {
    WebRequest request;
    std::optional<std::string> html;
  };

  // How many loaded texts are kept, the newest: a banner loads a new one at every refresh.
  static constexpr std::size_t kRememberedTexts = 4;

  // The key of a page's text: its URL without the fragment, with the root path that the engine
  // gives an http URL written without one ("http://host" is requested as "http://host/").
  static std::string pageKey(const std::string& url);

  // Our next request is `request`, answered with `html` when there is one.
  void expect(const WebRequest& request, std::optional<std::string> html);
  // Our next request is `request`, answered with the text remembered for `pageURL`, if any.
  void expectRemembered(const WebRequest& request, const std::string& pageURL);
  bool isExpecting() const { return expected_.has_value(); }
  Expected take();
  void forgetExpected() { expected_.reset(); }
  // The expected request belongs to a load that a newer one replaces: should it come, it is
  // dropped, not put to the delegate.
  void supersede();
  // True, once, for a request to `url` of a replaced load of ours.
  bool isSuperseded(const std::string& url);
  void forgetAll();

  void remember(const std::string& url, std::string html);
  std::size_t rememberedCount() const { return texts_.size(); }

 private:
  std::optional<std::string> rememberedText(const std::string& key) const;

  std::optional<Expected> expected_;
  std::vector<std::string> superseded_;                    // by page key, oldest first
  std::deque<std::pair<std::string, std::string>> texts_;  // by page key, oldest first
};

}  // namespace platform
