#include "platform/web/JsonCodec.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace platform {

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Length of the valid UTF-8 sequence at `i`, or 0 when the byte there does not start one.
std::size_t utf8Length(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  std::uint32_t code = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0;
  return length;
}

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
    switch (c) {
      case '"':
        out += '"';
        return true;
      case '\\':
        out += '\\';
        return true;
      case '/':
        out += '/';
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        return unicodeEscape(out);
      default:
        return false;
    }
  }

  bool unicodeEscape(std::string& out) {
    auto code = hex4();
    if (!code) return false;
    if (*code >= 0xD800 && *code < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
      std::size_t saved = pos_;
      pos_ += 2;
      auto low = hex4();
      if (low && *low >= 0xDC00 && *low < 0xE000) {
        appendUtf8(out, 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00));
        return true;
      }
      pos_ = saved;
    }
    // A lone surrogate cannot be UTF-8; it becomes the replacement character.
    appendUtf8(out, (*code >= 0xD800 && *code < 0xE000) ? 0xFFFD : *code);
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
      std::size_t length = utf8Length(text_, pos_ - 1);
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
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length = utf8Length(text, i);
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
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
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
    case Value::Kind::Data: {
      const Bytes& bytes = value.dataValue();
      writeString(out, JsonCodec::base64Encode(std::string_view(
                           reinterpret_cast<const char*>(bytes.data()), bytes.size())));
      break;
    }
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

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::optional<Value> JsonCodec::parse(std::string_view text, std::string* problem) {
  Reader reader(text);
  auto value = reader.document();
  if (!value && problem) *problem = reader.problem();
  return value;
}

std::string JsonCodec::write(const Value& value) {
  std::string out;
  writeValue(out, value);
  return out;
}

std::string JsonCodec::base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<unsigned char>(bytes[i + 2]);
    out += kBase64Alphabet[(chunk >> 18) & 0x3F];
    out += kBase64Alphabet[(chunk >> 12) & 0x3F];
    out += i + 1 < bytes.size() ? kBase64Alphabet[(chunk >> 6) & 0x3F] : '=';
    out += i + 2 < bytes.size() ? kBase64Alphabet[chunk & 0x3F] : '=';
  }
  return out;
}

std::optional<std::string> JsonCodec::base64Decode(std::string_view text) {
  std::string out;
  std::uint32_t chunk = 0;
  int bits = 0;
  bool padded = false;
  for (char c : text) {
    if (c == '\n' || c == '\r') continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    std::size_t index = kBase64Alphabet.find(c);
    if (index == std::string_view::npos || padded) return std::nullopt;
    chunk = (chunk << 6) | static_cast<std::uint32_t>(index);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((chunk >> bits) & 0xFF);
    }
  }
  return out;
}

}  // namespace platform
