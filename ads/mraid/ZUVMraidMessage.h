#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Result.h"
#include "platform/foundation/URL.h"

// One call of an ad page's MRAID bridge to the application, read from the message URL that
// the bridge navigates to: "vozave-mraid:CALL?key=value&..." with each value percent-encoded.
// The page is untrusted, so the reader is strict and bounded: a known call, at most a few
// parameters with short names, each once, each value UTF-8 text without NUL, the whole URL
// short. The MRAID controller reads every message its ad views send.
class ZUVMraidMessage {
 public:
  // Engage: the page has touched mraid or MRAID_ENV, and says nothing more.
  enum class Call {
    Engage,
    Open,
    Close,
    Unload,
    Expand,
    Resize,
    SetOrientationProperties,
    PlayVideo
  };

  static constexpr std::string_view kScheme = "vozave-mraid";
  static constexpr std::size_t kMaxBytes = 8192;
  static constexpr std::size_t kMaxParameters = 8;
  static constexpr std::size_t kMaxKeyBytes = 32;

  // The scheme as written: messages never load, whatever they carry.
  static bool isMessageURL(const platform::URL& url);
  // The message, or an error whose message says what is wrong with the text.
  static platform::Result<ZUVMraidMessage> read(std::string_view urlText);

  Call call() const { return call_; }
  // The call's name as the page wrote it; the action of an `error` event about it.
  std::string_view name() const;

  // A parameter's decoded text, or nothing when it is absent.
  const std::string* text(std::string_view key) const;
  // A parameter that is a finite JSON number, as the bridge writes numbers.
  std::optional<double> number(std::string_view key) const;
  // A parameter that is "true" or "false".
  std::optional<bool> boolean(std::string_view key) const;

 private:
  explicit ZUVMraidMessage(Call call) : call_(call) {}

  Call call_;
  std::vector<std::pair<std::string, std::string>> parameters_;
};
