#include "ads/signals/ZUVSignals.h"

#include <vector>

#include "platform/foundation/Text.h"

namespace {

constexpr const char* kFormatVersion = "1";

struct Knowledge {
  std::int32_t requestType = 0;
  std::string sdkVersion;
  std::uint32_t requests = 0;
  std::uint32_t touches = 0;
  std::int32_t touchX = -1, touchY = -1, touchDuration = -1;
  std::uint32_t clicks = 0;
};

Knowledge& knowledge() {
  static Knowledge known;
  return known;
}

// Values may hold anything; "%", "&" and "=" are escaped so that the record splits cleanly.
std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '&' || c == '=') {
      out += '%';
      out += platform::text::hexString(std::string_view(&c, 1), platform::text::HexCase::upper);
    } else {
      out += c;
    }
  }
  return out;
}

std::string record(const std::vector<std::pair<const char*, std::string>>& fields) {
  std::string text;
  for (const auto& [key, value] : fields) {
    if (!text.empty()) text += '&';
    text += key;
    text += '=';
    text += escaped(value);
  }
  return platform::text::base64UrlEncode(text);
}

std::vector<std::pair<const char*, std::string>> touchFields(const Knowledge& known) {
  return {{"tc", std::to_string(known.touches)},
          {"tx", std::to_string(known.touchX)},
          {"ty", std::to_string(known.touchY)},
          {"td", std::to_string(known.touchDuration)}};
}

}  // namespace

void zuv_gig(std::int32_t requestType, const std::string& sdkVersion) {
  Knowledge& known = knowledge();
  known.requestType = requestType;
  known.sdkVersion = sdkVersion;
  ++known.requests;
}

std::int32_t zuv_gmrs(std::string& signal) {
  const Knowledge& known = knowledge();
  std::vector<std::pair<const char*, std::string>> fields{{"v", kFormatVersion},
                                                          {"t", std::to_string(known.requestType)},
                                                          {"sv", known.sdkVersion},
                                                          {"n", std::to_string(known.requests)}};
  for (auto& field : touchFields(known)) fields.push_back(std::move(field));
  signal = "ms=" + record(fields);
  return 1;
}

std::int32_t zuv_gmcs(const std::string& adInfo, std::string& signal) {
  if (adInfo.empty()) return 0;
  Knowledge& known = knowledge();
  ++known.clicks;
  std::vector<std::pair<const char*, std::string>> fields{
      {"v", kFormatVersion}, {"ai", adInfo}, {"c", std::to_string(known.clicks)}};
  for (auto& field : touchFields(known)) fields.push_back(std::move(field));
  signal = "cs=" + record(fields);
  return 1;
}

void zuv_htg(std::int32_t x, std::int32_t y, std::int32_t duration) {
  Knowledge& known = knowledge();
  ++known.touches;
  known.touchX = x;
  known.touchY = y;
  known.touchDuration = duration;
}

std::optional<std::map<std::string, std::string>> ZUVSignalsDecodeValue(std::string_view value) {
  auto text = platform::text::base64UrlDecode(value);
  if (!text || text->empty()) return std::nullopt;
  std::map<std::string, std::string> fields;
  std::string_view rest = *text;
  while (true) {
    std::size_t end = rest.find('&');
    std::string_view field = rest.substr(0, end);
    std::size_t equals = field.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    auto decoded = platform::text::strictPercentDecode(field.substr(equals + 1));
    if (!decoded) return std::nullopt;
    fields[std::string(field.substr(0, equals))] = std::move(*decoded);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (fields["v"] != kFormatVersion) return std::nullopt;
  return fields;
}
