#include "platform/web/JsonCodec.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "platform/foundation/Text.h"

namespace platform {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Value> document() {
    auto value = parseValue(0);
    skipSpace();
    if (value && pos_ != text_.size()) return fail("text after the value");
    return value;
  }

  const std::string& problem() const { return problem_; }

 private:
  std::nullopt_t fail(const char* what) {
    if (problem_.empty()) problem_ = std::string(what) + " at offset " + std::to_string(pos_);
    return std::nullopt;
  }

  void skipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
  }

  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  std::optional<Value> parseValue(int depth) {
    if (depth > JsonCodec::kMaximumDepth) return fail("nesting too deep");
    skipSpace();
    if (pos_ >= text_.size()) return fail("missing value");
    char c = text_[pos_];
    if (c == '{') return parseObject(depth);
    if (c == '[') return parseArray(depth);
    if (c == '"') {
      auto text = parseString();
      if (!text) return std::nullopt;
      return Value(std::move(*text));
    }
    if (literal("true")) return Value(true);
    if (literal("false")) return Value(false);
    if (literal("null")) return Value();
    return parseNumber();
  }

  std::optional<Value> parseObject(int depth) {
    ++pos_;
    Dictionary dictionary;
    skipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      return Value(std::move(dictionary));
    }
    for (;;) {
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') return fail("expected a key");
      auto key = parseString();
      if (!key) return std::nullopt;
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ':') return fail("expected ':'");
      ++pos_;
      auto value = parseValue(depth + 1);
      if (!value) return std::nullopt;
      dictionary.set(std::move(*key), std::move(*value));
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return Value(std::move(dictionary));
      }
      return fail("expected ',' or '}'");
    }
  }

  std::optional<Value> parseArray(int depth) {
    ++pos_;
    Array array;
    skipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
      ++pos_;
      return Value(std::move(array));
    }
    for (;;) {
      auto value = parseValue(depth + 1);
      if (!value) return std::nullopt;
      array.push_back(std::move(*value));
      skipSpace();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return Value(std::move(array));
      }
      return fail("expected ',' or ']'");
    }
  }

  std::optional<std::uint32_t> hex4() {
    if (pos_ + 4 > text_.size()) return std::nullopt;
    std::uint32_t code = 0;
    auto [end, ec] = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
    if (ec != std::errc() || end != text_.data() + pos_ + 4) return std::nullopt;
    pos_ += 4;
    return code;
  }

  bool escape(std::string& out) {
    if (pos_ >= text_.size()) return false;
    char c = text_[pos_++];
    if (char plain = text::jsonEscapedCharacter(c)) {
      out += plain;
      return true;
    }
    return c == 'u' && unicodeEscape(out);
  }

  bool unicodeEscape(std::string& out) {
    auto code = hex4();
    if (!code) return false;
    if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
      std::size_t saved = pos_;
      pos_ += 2;
      auto low = hex4();
      if (low && *low >= 0xDC00 && *low < 0xE000) {
        text::appendUtf8(out, 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00));
        return true;
      }
      pos_ = saved;
    }
    // A lone surrogate cannot be UTF-8; appendUtf8 writes the replacement character for it.
    text::appendUtf8(out, *code);
    return true;
  }

  std::optional<std::string> parseString() {
    ++pos_;
    std::string out;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return out;
      if (c == '\\') {
        if (!escape(out)) return fail("bad escape");
        continue;
      }
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character in text");
      std::size_t length = text::utf8SequenceLength(text_, pos_ - 1);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // what is read is always valid UTF-8
        continue;
      }
      out.append(text_.substr(pos_ - 1, length));
      pos_ += length - 1;
    }
    return fail("unterminated text");
  }

  std::optional<Value> parseNumber() {
    std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    std::size_t digits = pos_;
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    if (pos_ == digits) return fail("unexpected character");
    if (text_[digits] == '0' && pos_ - digits > 1) return fail("leading zero");
    bool integral = true;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      integral = false;
      if (!skipDigits(++pos_)) return fail("digits expected after '.'");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      integral = false;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!skipDigits(pos_)) return fail("digits expected in exponent");
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (integral) {
      std::int64_t integer = 0;
      auto [end, ec] = std::from_chars(first, last, integer);
      if (ec == std::errc() && end == last) return Value(static_cast<long long>(integer));
    }
    double real = 0;
    auto [end, ec] = std::from_chars(first, last, real);
    if (end != last || (ec != std::errc() && ec != std::errc::result_out_of_range))
      return fail("bad number");
    return Value(real);
  }

  bool skipDigits(std::size_t from) {
    pos_ = from;
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    return pos_ > from;
  }

  static bool isDigit(char c) { return c >= '0' && c <= '9'; }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::string problem_;
};

void writeString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = text::utf8SequenceLength(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += text::hexDigit(c >> 4);
      out += text::hexDigit(c);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  out += '"';
}

void writeReal(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  if (value == 0) value = 0;  // no "-0", which would read back as the integer 0
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, ec == std::errc() ? end : buffer);
}

void writeValue(std::string& out, const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      out += "null";
      break;
    case Value::Kind::Boolean:
      out += value.boolValue() ? "true" : "false";
      break;
    case Value::Kind::Integer:
      out += std::to_string(value.integerValue());
      break;
    case Value::Kind::Real:
      writeReal(out, value.doubleValue());
      break;
    case Value::Kind::Decimal:
      writeReal(out, value.doubleValue());
      break;
    case Value::Kind::String:
      writeString(out, value.stringValue());
      break;
    case Value::Kind::Data:
      writeString(out, text::base64Encode(text::view(value.dataValue())));
      break;
    case Value::Kind::Date:
      writeReal(out, value.dateValue().secondsSince1970);
      break;
    case Value::Kind::Array: {
      out += '[';
      bool first = true;
      for (const Value& item : value.arrayValue()) {
        if (!first) out += ',';
        first = false;
        writeValue(out, item);
      }
      out += ']';
      break;
    }
    case Value::Kind::Dictionary: {
      out += '{';
      bool first = true;
      for (const auto& [key, item] : value.dictionaryValue()) {
        if (!first) out += ',';
        first = false;
        writeString(out, key);
        out += ':';
        writeValue(out, item);
      }
      out += '}';
      break;
    }
  }
}

}  // namespace

Result<Value> JsonCodec::parse(std::string_view text) {
  Reader reader(text);
  auto value = reader.document();
  if (!value) return Error::make(kJsonErrorDomain, kJsonErrorMalformed, reader.problem());
  return std::move(*value);
}

std::string JsonCodec::write(const Value& value) {
  std::string out;
  writeValue(out, value);
  return out;
}

}  // namespace platform
