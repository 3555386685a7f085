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

// Reads one line's tokens; an error names the file and the line.
class LineReader {
 public:
  LineReader(std::string_view line, const std::string& fileName, int lineNumber)
      : s_(line), fileName_(fileName), lineNumber_(lineNumber) {}

  Result<InterfaceElement> parse() {
    InterfaceElement element;
    element.line = lineNumber_;
    skipSpaces();
    element.kind = word();
    if (element.kind.empty()) return refuse("expected an element name");
    while (pos_ < s_.size()) {
      if (!isSpace(s_[pos_])) return refuse("expected a space before \"" + rest() + "\"");
      skipSpaces();
      if (pos_ == s_.size()) break;
      std::string key = word();
      if (key.empty()) return refuse("expected an attribute name at \"" + rest() + "\"");
      if (pos_ == s_.size() || s_[pos_] != '=') return refuse("expected '=' after \"" + key + "\"");
      ++pos_;
      auto value = readValue();
      if (!value) {
        return refuse(value.error().localizedDescription() + " in attribute \"" + key + "\"");
      }
      if (element.attribute(key)) return refuse("attribute \"" + key + "\" given twice");
      element.attributes.emplace_back(std::move(key), std::move(*value));
    }
    return element;
  }

 private:
  // The problem alone, as readValue reports it; parse places it.
  static Error bare(std::string problem) {
    return Error::make(kInterfaceErrorDomain, kInterfaceSyntaxError, std::move(problem));
  }
  Error refuse(const std::string& what) const {
    return interfaceError(kInterfaceSyntaxError, fileName_, lineNumber_, what);
  }

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

  Result<std::string> readValue() {
    if (pos_ < s_.size() && s_[pos_] == '"') return readQuoted();
    std::size_t start = pos_;
    while (pos_ < s_.size() && !isSpace(s_[pos_])) {
      if (s_[pos_] == '"') return bare("a quote inside an unquoted value");
      ++pos_;
    }
    if (pos_ == start) return bare("an empty value");
    return std::string(s_.substr(start, pos_ - start));
  }

  Result<std::string> readQuoted() {
    std::string value;
    ++pos_;
    while (pos_ < s_.size()) {
      char c = s_[pos_++];
      if (c == '"') return value;
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
          return bare(std::string("an unknown escape \\") + e);
      }
    }
    return bare("an unterminated quoted value");
  }

  std::string_view s_;
  const std::string& fileName_;
  int lineNumber_;
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
    auto element = LineReader(line, fileName, lineNumber).parse();
    if (!element) return element.error();
    doc.elements.push_back(std::move(*element));
  }
  return doc;
}

}  // namespace platform
