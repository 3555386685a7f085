#include "platform/foundation/PropertyList.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/Calendar.h"
#include "platform/foundation/Text.h"

namespace platform {

namespace {

// Deeper nesting is refused rather than risking the stack on hostile files.
constexpr int kMaxDepth = 512;
// Dates are kept to the millisecond; years outside 0000-9999 have no text form.
constexpr double kMinDateSeconds = -62167219200.0;  // 0000-01-01T00:00:00Z
constexpr double kMaxDateSeconds = 253402300800.0;  // 10000-01-01T00:00:00Z
constexpr std::int64_t kMillisPerDay = 86400000;

// XML's white space: no vertical tab or form feed, unlike the ASCII blanks.
constexpr std::string_view kXmlSpaces = " \t\n\r";

bool isXmlSpace(char c) {
  return kXmlSpaces.find(c) != std::string_view::npos;
}

std::string_view trimmed(std::string_view text) {
  return text::trimmed(text, kXmlSpaces);
}

// ---- numbers ----

std::optional<std::int64_t> parseInteger(std::string_view text) {
  text = trimmed(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> parseReal(std::string_view text) {
  text = trimmed(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (end != text.data() + text.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    // from_chars leaves the value alone when it overflows or underflows; strtod gives the
    // infinity or zero that the text stands for.
    return std::strtod(std::string(text).c_str(), nullptr);
  }
  if (error != std::errc()) return std::nullopt;
  return value;
}

std::string formatReal(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// ---- dates ----

bool isRepresentableDate(Date date) {
  double s = date.secondsSince1970;
  return s >= kMinDateSeconds && s < kMaxDateSeconds - 0.0005;
}

std::string formatDate(Date date) {
  auto millis = static_cast<std::int64_t>(std::llround(date.secondsSince1970 * 1000));
  std::int64_t days = millis / kMillisPerDay;
  std::int64_t rest = millis % kMillisPerDay;
  if (rest < 0) {
    rest += kMillisPerDay;
    --days;
  }
  CivilDay civil = civilFromDays(days);
  int ms = static_cast<int>(rest % 1000);
  int seconds = static_cast<int>(rest / 1000);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d",
                static_cast<int>(civil.year), civil.month, civil.day, seconds / 3600,
                seconds / 60 % 60, seconds % 60);
  std::string out = buffer;
  if (ms != 0) {
    std::snprintf(buffer, sizeof buffer, ".%03d", ms);
    out += buffer;
  }
  return out + "Z";
}

// Reads `count` digits at `pos`, moving past them.
std::optional<int> readDigits(std::string_view text, std::size_t& pos, std::size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return value;
}

bool expectChar(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// "YYYY-MM-DDTHH:MM:SS[.fff]Z", rounded to the millisecond.
std::optional<Date> parseDate(std::string_view text) {
  text = trimmed(text);
  std::size_t pos = 0;
  auto year = readDigits(text, pos, 4);
  if (!year || !expectChar(text, pos, '-')) return std::nullopt;
  auto month = readDigits(text, pos, 2);
  if (!month || !expectChar(text, pos, '-')) return std::nullopt;
  auto day = readDigits(text, pos, 2);
  if (!day || !expectChar(text, pos, 'T')) return std::nullopt;
  auto hour = readDigits(text, pos, 2);
  if (!hour || !expectChar(text, pos, ':')) return std::nullopt;
  auto minute = readDigits(text, pos, 2);
  if (!minute || !expectChar(text, pos, ':')) return std::nullopt;
  auto second = readDigits(text, pos, 2);
  if (!second) return std::nullopt;
  if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
      *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  // Digits past the millisecond are dropped, never rounded up into the next second.
  std::int64_t millis = 0;
  if (pos < text.size() && text[pos] == '.') {
    std::size_t start = ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      if (pos - start < 3) millis = millis * 10 + (text[pos] - '0');
      ++pos;
    }
    if (pos == start) return std::nullopt;
    for (std::size_t digits = pos - start; digits < 3; ++digits) millis *= 10;
  }
  if (!expectChar(text, pos, 'Z') || pos != text.size()) return std::nullopt;
  std::int64_t wholeSeconds =
      daysFromCivil({*year, *month, *day}) * 86400 + *hour * 3600 + *minute * 60 + *second;
  return Date{static_cast<double>(wholeSeconds * 1000 + millis) / 1000};
}

// ---- data ----

// XML spaces may stand anywhere in the text; the "=" padding may be left out.
std::optional<Bytes> decodeBase64(std::string_view text) {
  auto bytes = text::base64Decode(text, kXmlSpaces);
  if (!bytes) return std::nullopt;
  return Bytes(bytes->begin(), bytes->end());
}

// ---- writing ----

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F) {
      // Control characters (and "\r", which XML readers would fold) as character references.
      out += "&#" + std::to_string(byte) + ";";
    } else {
      out += c;
    }
  }
}

bool isPropertyListValue(const Value& value) {
  if (value.isNull()) return false;
  if (value.isDate()) return isRepresentableDate(value.dateValue());
  return true;
}

// The text of a decimal, if a reader will take it back; otherwise its value.
std::string decimalText(const Value& value) {
  const std::string& text = value.decimalText();
  if (parseReal(text)) return std::string(trimmed(text));
  return formatReal(value.doubleValue());
}

class Writer {
 public:
  std::string finish() { return std::move(out_); }

  void write(const Value& value, int indent) {
    out_.append(static_cast<std::size_t>(indent), '\t');
    switch (value.kind()) {
      case Value::Kind::Null:
        break;
      case Value::Kind::Boolean:
        out_ += value.boolValue() ? "<true/>" : "<false/>";
        break;
      case Value::Kind::Integer:
        leaf("integer", std::to_string(value.integerValue()));
        break;
      case Value::Kind::Real:
        leaf("real", formatReal(value.doubleValue()));
        break;
      case Value::Kind::Decimal:
        leaf("real", decimalText(value));
        break;
      case Value::Kind::String:
        out_ += "<string>";
        appendEscaped(out_, value.stringValue());
        out_ += "</string>";
        break;
      case Value::Kind::Data:
        leaf("data", text::base64Encode(text::view(value.dataValue())));
        break;
      case Value::Kind::Date:
        leaf("date", formatDate(value.dateValue()));
        break;
      case Value::Kind::Array:
        writeArray(value.arrayValue(), indent);
        break;
      case Value::Kind::Dictionary:
        writeDictionary(value.dictionaryValue(), indent);
        break;
    }
    out_ += '\n';
  }

 private:
  void leaf(const char* tag, const std::string& text) {
    out_ += std::string("<") + tag + ">" + text + "</" + tag + ">";
  }

  void writeArray(const Array& array, int indent) {
    out_ += "<array>\n";
    for (const auto& item : array) {
      if (isPropertyListValue(item)) write(item, indent + 1);
    }
    out_.append(static_cast<std::size_t>(indent), '\t');
    out_ += "</array>";
  }

  void writeDictionary(const Dictionary& dictionary, int indent) {
    out_ += "<dict>\n";
    for (const auto& [key, item] : dictionary) {
      if (!isPropertyListValue(item)) continue;
      out_.append(static_cast<std::size_t>(indent + 1), '\t');
      out_ += "<key>";
      appendEscaped(out_, key);
      out_ += "</key>\n";
      write(item, indent + 1);
    }
    out_.append(static_cast<std::size_t>(indent), '\t');
    out_ += "</dict>";
  }

  std::string out_;
};

// ---- reading ----

struct Tag {
  std::string name;
  bool selfClosing = false;
};

bool isNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool isNameChar(char c) {
  return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<Value> document() {
    if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    if (!skipMisc(true)) return std::nullopt;
    auto root = startTag();
    if (!root) return std::nullopt;
    if (root->name != "plist") return fail("the root element is not <plist>");
    Value value;
    if (!root->selfClosing) {
      if (!skipMisc(false)) return std::nullopt;
      if (!at("</")) {
        auto parsed = element(0);
        if (!parsed) return std::nullopt;
        value = std::move(*parsed);
        if (!skipMisc(false)) return std::nullopt;
      }
      if (!endTag("plist")) return std::nullopt;
    }
    if (!skipMisc(false)) return std::nullopt;
    if (pos_ != text_.size()) return fail("text after </plist>");
    return value;
  }

  const std::string& error() const { return error_; }

 private:
  bool refuse(const std::string& message) {
    fail(message);
    return false;
  }

  std::nullopt_t fail(const std::string& message) {
    if (error_.empty()) {
      std::size_t line = 1;
      for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) line += text_[i] == '\n';
      error_ = "line " + std::to_string(line) + ": " + message;
    }
    return std::nullopt;
  }

  bool at(std::string_view prefix) const { return text_.substr(pos_).starts_with(prefix); }

  bool skipPast(std::string_view terminator, const char* what) {
    auto end = text_.find(terminator, pos_);
    if (end == std::string_view::npos) return refuse(std::string("unterminated ") + what);
    pos_ = end + terminator.size();
    return true;
  }

  // The declaration's internal subset may hold ">" inside brackets.
  bool skipDoctype() {
    int brackets = 0;
    for (; pos_ < text_.size(); ++pos_) {
      char c = text_[pos_];
      if (c == '[') ++brackets;
      if (c == ']') --brackets;
      if (c == '>' && brackets <= 0) {
        ++pos_;
        return true;
      }
    }
    return refuse("unterminated document type declaration");
  }

  // Whitespace, comments and processing instructions; before the root also the prolog.
  bool skipMisc(bool prolog) {
    while (true) {
      while (pos_ < text_.size() && isXmlSpace(text_[pos_])) ++pos_;
      if (at("<!--")) {
        if (!skipPast("-->", "comment")) return false;
      } else if (at("<?")) {
        if (!skipPast("?>", "processing instruction")) return false;
      } else if (prolog && at("<!DOCTYPE")) {
        if (!skipDoctype()) return false;
      } else {
        return true;
      }
    }
  }

  std::string name() {
    std::size_t start = pos_;
    if (pos_ < text_.size() && isNameStart(text_[pos_])) {
      while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  void skipSpace() {
    while (pos_ < text_.size() && isXmlSpace(text_[pos_])) ++pos_;
  }

  // Attributes are read past; none of them changes a value.
  bool attributes() {
    while (true) {
      std::size_t before = pos_;
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] == '>' || text_[pos_] == '/') return true;
      if (pos_ == before || name().empty()) return false;
      skipSpace();
      if (!expect('=')) return false;
      skipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) return false;
      char quote = text_[pos_++];
      auto end = text_.find(quote, pos_);
      if (end == std::string_view::npos) return false;
      pos_ = end + 1;
    }
  }

  bool expect(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  std::optional<Tag> startTag() {
    if (!expect('<')) return fail("expected an element");
    Tag tag;
    tag.name = name();
    if (tag.name.empty() || !attributes()) return fail("malformed start tag");
    if (expect('/')) tag.selfClosing = true;
    if (!expect('>')) return fail("malformed start tag <" + tag.name + ">");
    return tag;
  }

  bool endTag(const std::string& expected) {
    if (!at("</")) return refuse("expected </" + expected + ">");
    pos_ += 2;
    std::string found = name();
    skipSpace();
    if (found != expected || !expect('>')) {
      return refuse("expected </" + expected + ">");
    }
    return true;
  }

  bool entity(std::string& out) {
    auto end = text_.find(';', pos_);
    if (end == std::string_view::npos || end - pos_ > 12) return refuse("bad entity");
    std::string_view ref = text_.substr(pos_ + 1, end - pos_ - 1);
    pos_ = end + 1;
    if (ref == "amp") {
      out += '&';
    } else if (ref == "lt") {
      out += '<';
    } else if (ref == "gt") {
      out += '>';
    } else if (ref == "quot") {
      out += '"';
    } else if (ref == "apos") {
      out += '\'';
    } else if (ref.starts_with('#')) {
      return characterReference(ref.substr(1), out);
    } else {
      return refuse("unknown entity &" + std::string(ref) + ";");
    }
    return true;
  }

  bool characterReference(std::string_view digits, std::string& out) {
    int base = 10;
    if (digits.starts_with('x')) {
      base = 16;
      digits.remove_prefix(1);
    }
    std::uint32_t cp = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return refuse("bad character reference");
    }
    text::appendUtf8(out, cp);
    return true;
  }

  // The text of a leaf element up to its end tag: entities decoded, CDATA taken as it is,
  // comments dropped.
  std::optional<std::string> text(const std::string& tagName) {
    std::string out;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '&') {
        if (!entity(out)) return std::nullopt;
      } else if (at("<![CDATA[")) {
        std::size_t start = pos_ + 9;
        if (!skipPast("]]>", "CDATA section")) return std::nullopt;
        out.append(text_.substr(start, pos_ - 3 - start));
      } else if (at("<!--")) {
        if (!skipPast("-->", "comment")) return std::nullopt;
      } else if (c == '<') {
        if (!endTag(tagName)) return std::nullopt;
        return out;
      } else {
        out += c;
        ++pos_;
      }
    }
    return fail("unterminated <" + tagName + ">");
  }

  std::optional<std::string> leafText(const Tag& tag) {
    if (tag.selfClosing) return std::string();
    return text(tag.name);
  }

  std::optional<Value> element(int depth) {
    auto tag = startTag();
    if (!tag) return std::nullopt;
    if (tag->name == "dict") return dictionary(*tag, depth);
    if (tag->name == "array") return array(*tag, depth);
    if (tag->name == "true" || tag->name == "false") {
      if (!tag->selfClosing && !endTag(tag->name)) return std::nullopt;
      return Value(tag->name == "true");
    }
    auto content = leafText(*tag);
    if (!content) return std::nullopt;
    return leaf(tag->name, *content);
  }

  std::optional<Value> leaf(const std::string& tagName, const std::string& content) {
    if (tagName == "string") return Value(content);
    if (tagName == "integer") {
      if (auto value = parseInteger(content)) return Value(static_cast<long long>(*value));
      return fail("bad or out-of-range integer");
    }
    if (tagName == "real") {
      if (auto value = parseReal(content)) return Value(*value);
      return fail("bad real");
    }
    if (tagName == "date") {
      if (auto value = parseDate(content)) return Value(*value);
      return fail("bad date");
    }
    if (tagName == "data") {
      if (auto value = decodeBase64(content)) return Value(std::move(*value));
      return fail("bad base64 data");
    }
    return fail("unknown element <" + tagName + ">");
  }

  std::optional<Value> array(const Tag& tag, int depth) {
    if (depth >= kMaxDepth) return fail("nested too deeply");
    Array items;
    if (!tag.selfClosing) {
      while (true) {
        if (!skipMisc(false)) return std::nullopt;
        if (at("</")) break;
        auto item = element(depth + 1);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
      }
      if (!endTag("array")) return std::nullopt;
    }
    return Value(std::move(items));
  }

  std::optional<Value> dictionary(const Tag& tag, int depth) {
    if (depth >= kMaxDepth) return fail("nested too deeply");
    Dictionary entries;
    if (!tag.selfClosing) {
      while (true) {
        if (!skipMisc(false)) return std::nullopt;
        if (at("</")) break;
        auto keyTag = startTag();
        if (!keyTag) return std::nullopt;
        if (keyTag->name != "key") return fail("expected <key> in <dict>");
        auto key = leafText(*keyTag);
        if (!key || !skipMisc(false)) return std::nullopt;
        if (at("</")) return fail("<key> without a value");
        auto item = element(depth + 1);
        if (!item) return std::nullopt;
        entries.set(std::move(*key), std::move(*item));
      }
      if (!endTag("dict")) return std::nullopt;
    }
    return Value(std::move(entries));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace

std::string encodePropertyList(const Value& value) {
  Writer writer;
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
  if (isPropertyListValue(value)) writer.write(value, 0);
  return out + writer.finish() + "</plist>\n";
}

Result<Value> decodePropertyList(std::string_view text) {
  Parser parser(text);
  auto value = parser.document();
  if (!value) {
    return Error::make(kPropertyListErrorDomain, kPropertyListErrorMalformed, parser.error());
  }
  return std::move(*value);
}

}  // namespace platform
