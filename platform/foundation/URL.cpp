#include "platform/foundation/URL.h"

#include <unistd.h>

#include "platform/foundation/Text.h"

namespace platform {

namespace {

bool isAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isUnreserved(char c) {
  return isAsciiAlpha(c) || isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

void appendEscaped(std::string& out, unsigned char byte) {
  out += '%';
  out += text::hexDigit(byte >> 4, text::HexCase::upper);
  out += text::hexDigit(byte, text::HexCase::upper);
}

// Spaces and control characters never belong in a URL; bytes beyond ASCII are escaped, as
// browsers do, so that the stored text is plain ASCII.
std::optional<std::string> cleanedText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return std::nullopt;
    if (byte >= 0x80) {
      appendEscaped(out, byte);
    } else {
      out += c;
    }
  }
  return out;
}

// The length of the scheme at the start of `text` (before its ":"), or 0 if there is none.
std::size_t schemeLength(std::string_view text) {
  if (text.empty() || !isAsciiAlpha(text[0])) return 0;
  for (std::size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == ':') return i;
    if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

bool isHostChar(char c) {
  static constexpr std::string_view kAllowed = "-._~!$&'()*+,;=%";
  return isAsciiAlpha(c) || isAsciiDigit(c) || kAllowed.find(c) != std::string_view::npos;
}

bool isValidHost(std::string_view host) {
  if (!host.empty() && host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      if (text::hexDigitValue(c) < 0 && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (char c : host) {
    if (!isHostChar(c)) return false;
  }
  return true;
}

// Parses the digits of a port; an empty text means "no port".
std::optional<int> parsePort(std::string_view text) {
  if (text.empty()) return -1;
  int port = 0;
  for (char c : text) {
    if (!isAsciiDigit(c)) return std::nullopt;
    port = port * 10 + (c - '0');
    if (port > 65535) return std::nullopt;
  }
  return port;
}

// Removes "." and ".." segments from a path (RFC 3986, 5.2.4).
std::string removeDotSegments(std::string_view input) {
  std::string output;
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.remove_prefix(3);
    } else if (input.starts_with("./")) {
      input.remove_prefix(2);
    } else if (input.starts_with("/./")) {
      input.remove_prefix(2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../") || input == "/..") {
      input = input.size() == 3 ? std::string_view("/") : input.substr(3);
      auto slash = output.rfind('/');
      output.erase(slash == std::string::npos ? 0 : slash);
    } else if (input == "." || input == "..") {
      input = {};
    } else {
      auto next = input.find('/', 1);
      if (next == std::string_view::npos) next = input.size();
      output += input.substr(0, next);
      input.remove_prefix(next);
    }
  }
  return output;
}

struct Reference {
  std::string_view authority, path, query, fragment;
  bool hasAuthority = false, hasQuery = false, hasFragment = false;
};

// Splits a scheme-less reference into its parts.
Reference splitReference(std::string_view text) {
  Reference ref;
  if (auto hash = text.find('#'); hash != std::string_view::npos) {
    ref.fragment = text.substr(hash + 1);
    ref.hasFragment = true;
    text = text.substr(0, hash);
  }
  if (auto question = text.find('?'); question != std::string_view::npos) {
    ref.query = text.substr(question + 1);
    ref.hasQuery = true;
    text = text.substr(0, question);
  }
  if (text.starts_with("//")) {
    text.remove_prefix(2);
    auto slash = text.find('/');
    if (slash == std::string_view::npos) slash = text.size();
    ref.authority = text.substr(0, slash);
    ref.hasAuthority = true;
    text.remove_prefix(slash);
  }
  ref.path = text;
  return ref;
}

std::string joinReference(const Reference& ref, std::string_view path) {
  std::string out;
  if (ref.hasAuthority) {
    out += "//";
    out += ref.authority;
  }
  out += path;
  if (ref.hasQuery) {
    out += '?';
    out += ref.query;
  }
  if (ref.hasFragment) {
    out += '#';
    out += ref.fragment;
  }
  return out;
}

// The base path up to its last "/", with the reference's path after it (RFC 3986, 5.2.3).
std::string mergePaths(const Reference& base, std::string_view path) {
  if (base.hasAuthority && base.path.empty()) return "/" + std::string(path);
  auto slash = base.path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(base.path.substr(0, slash + 1)) + std::string(path);
}

// The target of relative reference `ref` against hierarchical `base`, without its scheme.
std::string resolveReference(const Reference& base, Reference ref) {
  if (ref.hasAuthority) return joinReference(ref, removeDotSegments(ref.path));
  ref.authority = base.authority;
  ref.hasAuthority = base.hasAuthority;
  if (ref.path.empty()) {
    if (!ref.hasQuery) {
      ref.query = base.query;
      ref.hasQuery = base.hasQuery;
    }
    return joinReference(ref, base.path);
  }
  if (ref.path.front() == '/') return joinReference(ref, removeDotSegments(ref.path));
  return joinReference(ref, removeDotSegments(mergePaths(base, ref.path)));
}

}  // namespace

std::optional<URL> URL::parse(std::string_view input) {
  auto cleaned = cleanedText(input);
  if (!cleaned) return std::nullopt;
  std::string_view text = *cleaned;
  std::size_t length = schemeLength(text);
  if (length == 0) return std::nullopt;

  URL url;
  url.writtenScheme_ = std::string(text.substr(0, length));
  url.scheme_ = text::asciiLowercase(url.writtenScheme_);
  std::string_view rest = text.substr(length + 1);
  url.resourceSpecifier_ = std::string(rest);
  Reference ref = splitReference(rest);
  bool web = url.isHTTPOrHTTPS();
  if (web && !ref.hasAuthority) return std::nullopt;

  std::string authority;
  if (ref.hasAuthority) {
    std::string_view hostPort = ref.authority;
    std::string_view userInfo;
    if (auto at = hostPort.rfind('@'); at != std::string_view::npos) {
      userInfo = hostPort.substr(0, at);
      hostPort.remove_prefix(at + 1);
      auto colon = userInfo.find(':');
      url.user_ = std::string(userInfo.substr(0, colon));
      if (colon != std::string_view::npos) url.password_ = std::string(userInfo.substr(colon + 1));
    }
    std::string_view portText;
    auto colon = hostPort.rfind(':');
    if (colon != std::string_view::npos && hostPort.find(']', colon) == std::string_view::npos) {
      portText = hostPort.substr(colon + 1);
      hostPort = hostPort.substr(0, colon);
    }
    auto port = parsePort(portText);
    if (!port || !isValidHost(hostPort)) return std::nullopt;
    if (web && hostPort.empty()) return std::nullopt;
    url.port_ = *port;
    url.writtenHost_ = std::string(hostPort);
    url.host_ = text::asciiLowercase(hostPort);
    if (!userInfo.empty()) authority = std::string(userInfo) + "@";
    authority += url.host_;
    if (url.port_ >= 0) authority += ":" + std::to_string(url.port_);
    ref.authority = authority;
  }
  url.path_ = std::string(ref.path);
  url.query_ = std::string(ref.query);
  url.hasQuery_ = ref.hasQuery;
  url.fragment_ = std::string(ref.fragment);
  url.hasFragment_ = ref.hasFragment;
  url.resourceSpecifier_ = joinReference(ref, ref.path);
  url.text_ = url.scheme_ + ":" + url.resourceSpecifier_;
  return url;
}

std::optional<URL> URL::parse(std::string_view input, const URL& base) {
  auto cleaned = cleanedText(input);
  if (!cleaned) return std::nullopt;
  if (schemeLength(*cleaned) > 0) return parse(*cleaned);

  const std::string& specifier = base.resourceSpecifier_;
  Reference ref = splitReference(*cleaned);
  Reference baseRef = splitReference(specifier);
  // An opaque base ("mailto:x", "about:blank") only takes a new fragment.
  bool opaque = !baseRef.hasAuthority && !baseRef.path.starts_with("/");
  if (opaque) {
    if (ref.hasAuthority || !ref.path.empty() || ref.hasQuery) return std::nullopt;
    auto withoutFragment = specifier.substr(0, specifier.find('#'));
    return parse(base.scheme_ + ":" + withoutFragment + *cleaned);
  }
  return parse(base.scheme_ + ":" + resolveReference(baseRef, ref));
}

URL URL::fileURLWithPath(std::string_view path) {
  std::string absolute;
  if (!path.starts_with("/")) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer)) absolute = buffer;
    if (absolute.empty() || absolute.back() != '/') absolute += '/';
  }
  absolute += path;
  std::string encoded;
  for (char c : absolute) {
    if (isUnreserved(c) || c == '/') {
      encoded += c;
    } else {
      appendEscaped(encoded, static_cast<unsigned char>(c));
    }
  }
  // The encoded text holds only characters that parse accepts.
  return *parse("file://" + encoded);
}

std::string URL::filePath() const {
  return percentDecode(path_);
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && text::hexDigitValue(text[i + 1]) >= 0 &&
        text::hexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(text::hexDigitValue(text[i + 1]) * 16 +
                               text::hexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string percentEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (isUnreserved(c)) {
      out += c;
    } else {
      appendEscaped(out, static_cast<unsigned char>(c));
    }
  }
  return out;
}

}  // namespace platform
