#include "platform/ui/InterfaceParser.h"

#include <algorithm>

namespace platform {

namespace {

bool isWordStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isWordChar(char c) {
  return isWordStart(c) || (c >= '0' && c <= '9') || c == '_' || c == '-';
}
bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

// Reads one line's tokens; the error text is empty on success.
class LineReader {
 public:
  explicit LineReader(std::string_view line) : s_(line) {}

  std::string parse(InterfaceElement& element) {
    skipSpaces();
    element.kind = word();
    if (element.kind.empty()) return "expected an element name";
    while (pos_ < s_.size()) {
      if (!isSpace(s_[pos_])) return "expected a space before \"" + rest() + "\"";
      skipSpaces();
      if (pos_ == s_.size()) break;
      std::string key = word();
      if (key.empty()) return "expected an attribute name at \"" + rest() + "\"";
      if (pos_ == s_.size() || s_[pos_] != '=') return "expected '=' after \"" + key + "\"";
      ++pos_;
      std::string value;
      std::string problem = readValue(value);
      if (!problem.empty()) return problem + " in attribute \"" + key + "\"";
      if (element.attribute(key)) return "attribute \"" + key + "\" given twice";
      element.attributes.emplace_back(std::move(key), std::move(value));
    }
    return "";
  }

 private:
  void skipSpaces() {
    while (pos_ < s_.size() && isSpace(s_[pos_])) ++pos_;
  }

  std::string rest() const {
    std::string text(s_.substr(pos_, 20));
    return pos_ + 20 < s_.size() ? text + "..." : text;
  }

  std::string word() {
    if (pos_ >= s_.size() || !isWordStart(s_[pos_])) return "";
    std::size_t start = pos_;
    while (pos_ < s_.size() && isWordChar(s_[pos_])) ++pos_;
    return std::string(s_.substr(start, pos_ - start));
  }

  std::string readValue(std::string& value) {
    if (pos_ < s_.size() && s_[pos_] == '"') return readQuoted(value);
    std::size_t start = pos_;
    while (pos_ < s_.size() && !isSpace(s_[pos_])) {
      if (s_[pos_] == '"') return "a quote inside an unquoted value";
      ++pos_;
    }
    if (pos_ == start) return "an empty value";
    value = std::string(s_.substr(start, pos_ - start));
    return "";
  }

  std::string readQuoted(std::string& value) {
    ++pos_;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return "";
      if (c != '\\') {
        value += c;
        continue;
      }
      if (pos_ == s_.size()) break;
      char e = s_[pos_++];
      switch (e) {
        case '"':
          value += '"';
          break;
        case '\\':
          value += '\\';
          break;
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        default:
          return std::string("an unknown escape \\") + e;
      }
    }
    return "an unterminated quoted value";
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

bool hasControlCharacter(std::string_view line) {
  return std::any_of(line.begin(), line.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t') || u == 0x7f;
  });
}

}  // namespace

const std::string* InterfaceElement::attribute(std::string_view key) const {
  for (const auto& [k, v] : attributes) {
    if (k == key) return &v;
  }
  return nullptr;
}

Error interfaceError(InterfaceErrorCode code, const std::string& fileName, int line,
                     const std::string& what) {
  std::string where = line > 0 ? fileName + ":" + std::to_string(line) : fileName;
  return Error::make(kInterfaceErrorDomain, code, where + ": " + what);
}

Result<InterfaceDocument> parseInterface(std::string_view text, const std::string& fileName) {
  auto fail = [&](int line, const std::string& what) -> Result<InterfaceDocument> {
    return interfaceError(kInterfaceSyntaxError, fileName, line, what);
  };
  if (text.size() > kInterfaceMaxBytes) return fail(0, "file too large");
  InterfaceDocument doc;
  doc.fileName = fileName;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (hasControlCharacter(line)) return fail(lineNumber, "control character in line");
    std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;
    if (doc.elements.size() == kInterfaceMaxElements) return fail(lineNumber, "too many elements");
    InterfaceElement element;
    element.line = lineNumber;
    std::string problem = LineReader(line).parse(element);
    if (!problem.empty()) return fail(lineNumber, problem);
    doc.elements.push_back(std::move(element));
  }
  return doc;
}

}  // namespace platform
