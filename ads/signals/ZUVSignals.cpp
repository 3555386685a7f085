#include "ads/signals/ZUVSignals.h"

#include <array>
#include <vector>

namespace {

constexpr const char* kFormatVersion = "1";
constexpr const char* kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

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
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '&' || c == '=') {
      out += '%';
      out += hex[static_cast<unsigned char>(c) >> 4];
      out += hex[static_cast<unsigned char>(c) & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexDigit(text[i + 1]), low = hexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string base64Url(std::string_view bytes) {
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (unsigned char byte : bytes) {
    buffer = (buffer << 8) | byte;
    bits += 8;
    while (bits >= 6) {
      bits -= 6;
      out += kAlphabet[(buffer >> bits) & 0x3F];
    }
  }
  if (bits > 0) out += kAlphabet[(buffer << (6 - bits)) & 0x3F];
  return out;
}

std::optional<std::string> fromBase64Url(std::string_view text) {
  std::array<int, 256> values;
  values.fill(-1);
  for (int i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = i;
  std::string out;
  std::uint32_t buffer = 0;
  int bits = 0;
  for (unsigned char c : text) {
    if (values[c] < 0) return std::nullopt;
    buffer = (buffer << 6) | static_cast<std::uint32_t>(values[c]);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  // Leftover bits of an unpadded tail must be zero; a single leftover character is no byte.
  if (bits >= 6 || (buffer & ((1u << bits) - 1)) != 0) return std::nullopt;
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
  return base64Url(text);
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
  auto text = fromBase64Url(value);
  if (!text || text->empty()) return std::nullopt;
  std::map<std::string, std::string> fields;
  std::string_view rest = *text;
  while (true) {
    std::size_t end = rest.find('&');
    std::string_view field = rest.substr(0, end);
    std::size_t equals = field.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    auto decoded = unescaped(field.substr(equals + 1));
    if (!decoded) return std::nullopt;
    fields[std::string(field.substr(0, equals))] = std::move(*decoded);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (fields["v"] != kFormatVersion) return std::nullopt;
  return fields;
}
