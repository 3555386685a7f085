#include "platform/net/HostResolution.h"

#include <algorithm>
#include <charconv>

#include "platform/foundation/Text.h"

namespace platform {

namespace {

bool isPlainHost(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
  });
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
  std::uint16_t port = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (ec != std::errc() || end != text.data() + text.size() || port == 0) return std::nullopt;
  return port;
}

}  // namespace

HostResolution& HostResolution::shared() {
  static HostResolution resolution;
  return resolution;
}

void HostResolution::map(std::string_view host, std::string_view address, std::uint16_t port) {
  HostMapping mapping{text::asciiLowercase(host), std::string(address), port};
  auto same = std::find_if(mappings_.begin(), mappings_.end(),
                           [&](const HostMapping& m) { return m.host == mapping.host; });
  if (same != mappings_.end()) {
    *same = std::move(mapping);
  } else {
    mappings_.push_back(std::move(mapping));
  }
}

bool HostResolution::mapFromText(std::string_view text) {
  std::size_t first = text.find(':');
  if (first == std::string_view::npos) return false;
  std::size_t second = text.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  std::string_view host = text.substr(0, first);
  auto port = parsePort(text.substr(first + 1, second - first - 1));
  std::string_view address = text.substr(second + 1);
  if (!isPlainHost(host) || !port || !isPlainHost(address)) return false;
  map(host, address, *port);
  return true;
}

void HostResolution::clear() {
  mappings_.clear();
}

std::optional<HostMapping> HostResolution::mappingForHost(std::string_view host) const {
  std::string key = text::asciiLowercase(host);
  for (const HostMapping& mapping : mappings_) {
    if (mapping.host == key) return mapping;
  }
  return std::nullopt;
}

}  // namespace platform
