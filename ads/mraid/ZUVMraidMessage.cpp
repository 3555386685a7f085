#include "ads/mraid/ZUVMraidMessage.h"

#include <array>
#include <charconv>
#include <cmath>

#include "ads/support/ZUV_SBJSONText.h"
#include "platform/foundation/Text.h"

namespace {

constexpr std::array<std::pair<std::string_view, ZUVMraidMessage::Call>, 8> kCalls = {{
    {"engage", ZUVMraidMessage::Call::Engage},
    {"open", ZUVMraidMessage::Call::Open},
    {"close", ZUVMraidMessage::Call::Close},
    {"unload", ZUVMraidMessage::Call::Unload},
    {"expand", ZUVMraidMessage::Call::Expand},
    {"resize", ZUVMraidMessage::Call::Resize},
    {"setOrientationProperties", ZUVMraidMessage::Call::SetOrientationProperties},
    {"playVideo", ZUVMraidMessage::Call::PlayVideo},
}};

platform::Error refusal(std::string_view why) {
  return platform::Error::make("ZUVMraidMessage", 1, "Not an MRAID message: " + std::string(why));
}

bool isKey(std::string_view key) {
  if (key.empty() || key.size() > ZUVMraidMessage::kMaxKeyBytes) return false;
  for (char c : key) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

bool isCleanText(std::string_view text) {
  return text.find('\0') == std::string_view::npos && platform::text::isValidUtf8(text);
}

}  // namespace

bool ZUVMraidMessage::isMessageURL(const platform::URL& url) {
  return url.writtenScheme() == kScheme;
}

platform::Result<ZUVMraidMessage> ZUVMraidMessage::read(std::string_view urlText) {
  if (urlText.size() > kMaxBytes) return refusal("too long");
  if (!urlText.starts_with(kScheme) || urlText.substr(kScheme.size(), 1) != ":") {
    return refusal("another scheme");
  }
  std::string_view rest = urlText.substr(kScheme.size() + 1);
  const std::size_t queryStart = rest.find('?');
  const std::string_view name = rest.substr(0, queryStart);
  std::optional<Call> call;
  for (const auto& [callName, value] : kCalls) {
    if (callName == name) call = value;
  }
  if (!call) return refusal("unknown call");
  ZUVMraidMessage message(*call);
  if (queryStart == std::string_view::npos) return message;
  std::string_view query = rest.substr(queryStart + 1);
  while (!query.empty()) {
    const std::size_t end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
    if (end != std::string_view::npos && query.empty()) return refusal("empty parameter");
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) return refusal("parameter without a value");
    const std::string_view key = pair.substr(0, equals);
    if (!isKey(key)) return refusal("bad parameter name");
    if (message.text(key)) return refusal("repeated parameter");
    if (message.parameters_.size() == kMaxParameters) return refusal("too many parameters");
    std::optional<std::string> value = platform::text::strictPercentDecode(pair.substr(equals + 1));
    if (!value) return refusal("bad escape");
    if (!isCleanText(*value)) return refusal("value not UTF-8 text");
    message.parameters_.emplace_back(key, std::move(*value));
  }
  return message;
}

std::string_view ZUVMraidMessage::name() const {
  for (const auto& [callName, value] : kCalls) {
    if (value == call_) return callName;
  }
  return {};
}

const std::string* ZUVMraidMessage::text(std::string_view key) const {
  for (const auto& [name, value] : parameters_) {
    if (name == key) return &value;
  }
  return nullptr;
}

std::optional<double> ZUVMraidMessage::number(std::string_view key) const {
  const std::string* value = text(key);
  if (!value || !zuv_sbjson::isJSONNumber(*value)) return std::nullopt;
  double number = 0;
  const auto [end, error] = std::from_chars(value->data(), value->data() + value->size(), number);
  if (error != std::errc() || end != value->data() + value->size() || !std::isfinite(number)) {
    return std::nullopt;
  }
  return number;
}

std::optional<bool> ZUVMraidMessage::boolean(std::string_view key) const {
  const std::string* value = text(key);
  if (!value) return std::nullopt;
  if (*value == "true") return true;
  if (*value == "false") return false;
  return std::nullopt;
}
