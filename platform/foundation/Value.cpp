#include "platform/foundation/Value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/foundation/Text.h"

namespace platform {

namespace {

const std::string kEmptyString;
const Bytes kEmptyBytes;
const Array kEmptyArray;
const Dictionary kEmptyDictionary;
const Value kNullValue;

// Up to this many entries a linear search beats hashing the key.
constexpr std::size_t kLinearSearchLimit = 8;

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string formatDouble(double d) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.17g", d);
  return buffer;
}

}  // namespace

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  for (const auto& [key, value] : entries) set(key, value);
}

const Value* Dictionary::find(std::string_view key) const {
  std::size_t at = position(key);
  return at == std::string::npos ? nullptr : &entries_[at].second;
}

Value* Dictionary::find(std::string_view key) {
  std::size_t at = position(key);
  return at == std::string::npos ? nullptr : &entries_[at].second;
}

void Dictionary::set(std::string key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return;
  }
  entries_.emplace_back(std::move(key), std::move(value));
  if (entries_.size() * 2 > slots_.size()) {
    reindex();
  } else {
    slots_[slotFor(entries_.back().first)] = entries_.size();
  }
}

bool Dictionary::remove(std::string_view key) {
  std::size_t at = position(key);
  if (at == std::string::npos) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
  // The entries after it moved down by one, so the index is made again: as costly as the erase.
  reindex();
  return true;
}

std::size_t Dictionary::position(std::string_view key) const {
  if (slots_.empty()) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].first == key) return i;
    }
    return std::string::npos;
  }
  std::size_t held = slots_[slotFor(key)];
  return held == 0 ? std::string::npos : held - 1;
}

std::size_t Dictionary::slotFor(std::string_view key) const {
  std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = text::keyedHash(key) & mask;; slot = (slot + 1) & mask) {
    std::size_t held = slots_[slot];
    if (held == 0 || entries_[held - 1].first == key) return slot;
  }
}

void Dictionary::reindex() {
  slots_.clear();
  if (entries_.size() <= kLinearSearchLimit) return;
  // At most half full, so that a probe ends soon.
  std::size_t capacity = 4 * kLinearSearchLimit;
  while (capacity < entries_.size() * 4) capacity *= 2;
  slots_.assign(capacity, 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) slots_[slotFor(entries_[i].first)] = i + 1;
}

std::vector<std::string> Dictionary::keys() const {
  std::vector<std::string> out;
  out.reserve(entries_.size());
  for (const auto& entry : entries_) out.push_back(entry.first);
  return out;
}

// Equality ignores order, as dictionaries of the object model do.
bool Dictionary::operator==(const Dictionary& other) const {
  if (size() != other.size()) return false;
  for (const auto& [key, value] : entries_) {
    const Value* theirs = other.find(key);
    if (!theirs || !(*theirs == value)) return false;
  }
  return true;
}

bool Value::isNumber() const {
  Kind k = kind();
  return k == Kind::Integer || k == Kind::Real || k == Kind::Decimal;
}

bool Value::boolValue(bool fallback) const {
  switch (kind()) {
    case Kind::Boolean:
      return std::get<bool>(v_);
    case Kind::Integer:
      return std::get<std::int64_t>(v_) != 0;
    case Kind::Real:
      return std::get<double>(v_) != 0;
    case Kind::Decimal:
      return std::strtod(std::get<platform::Decimal>(v_).text.c_str(), nullptr) != 0;
    default:
      return fallback;
  }
}

std::int64_t Value::integerValue(std::int64_t fallback) const {
  switch (kind()) {
    case Kind::Boolean:
      return std::get<bool>(v_) ? 1 : 0;
    case Kind::Integer:
      return std::get<std::int64_t>(v_);
    case Kind::Real:
    case Kind::Decimal: {
      double d = doubleValue();
      if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18) return fallback;
      return static_cast<std::int64_t>(d);
    }
    default:
      return fallback;
  }
}

double Value::doubleValue(double fallback) const {
  switch (kind()) {
    case Kind::Boolean:
      return std::get<bool>(v_) ? 1 : 0;
    case Kind::Integer:
      return static_cast<double>(std::get<std::int64_t>(v_));
    case Kind::Real:
      return std::get<double>(v_);
    case Kind::Decimal:
      return std::strtod(std::get<platform::Decimal>(v_).text.c_str(), nullptr);
    default:
      return fallback;
  }
}

const std::string& Value::stringValue() const {
  return isString() ? std::get<std::string>(v_) : kEmptyString;
}

const Bytes& Value::dataValue() const {
  return isData() ? std::get<Bytes>(v_) : kEmptyBytes;
}

platform::Date Value::dateValue() const {
  return isDate() ? std::get<platform::Date>(v_) : platform::Date{};
}

const platform::Array& Value::arrayValue() const {
  return isArray() ? *std::get<std::shared_ptr<platform::Array>>(v_) : kEmptyArray;
}

const platform::Dictionary& Value::dictionaryValue() const {
  return isDictionary() ? *std::get<std::shared_ptr<platform::Dictionary>>(v_) : kEmptyDictionary;
}

const std::string& Value::decimalText() const {
  return kind() == Kind::Decimal ? std::get<platform::Decimal>(v_).text : kEmptyString;
}

platform::Array& Value::mutableArray() {
  if (!isArray()) v_ = std::make_shared<platform::Array>();
  auto& shared = std::get<std::shared_ptr<platform::Array>>(v_);
  if (shared.use_count() > 1) shared = std::make_shared<platform::Array>(*shared);
  return *shared;
}

platform::Dictionary& Value::mutableDictionary() {
  if (!isDictionary()) v_ = std::make_shared<platform::Dictionary>();
  auto& shared = std::get<std::shared_ptr<platform::Dictionary>>(v_);
  if (shared.use_count() > 1) shared = std::make_shared<platform::Dictionary>(*shared);
  return *shared;
}

const Value& Value::operator[](std::string_view key) const {
  const Value* found = dictionaryValue().find(key);
  return found ? *found : kNullValue;
}

bool Value::operator==(const Value& other) const {
  if (isNumber() && other.isNumber()) {
    if (kind() == Kind::Integer && other.kind() == Kind::Integer) {
      return integerValue() == other.integerValue();
    }
    if (kind() == Kind::Decimal && other.kind() == Kind::Decimal) {
      return decimalText() == other.decimalText() || doubleValue() == other.doubleValue();
    }
    return doubleValue() == other.doubleValue();
  }
  if (kind() != other.kind()) return false;
  switch (kind()) {
    case Kind::Array:
      return arrayValue() == other.arrayValue();
    case Kind::Dictionary:
      return dictionaryValue() == other.dictionaryValue();
    default:
      return v_ == other.v_;
  }
}

std::string Value::debugDescription() const {
  switch (kind()) {
    case Kind::Null:
      return "null";
    case Kind::Boolean:
      return std::get<bool>(v_) ? "true" : "false";
    case Kind::Integer:
      return std::to_string(std::get<std::int64_t>(v_));
    case Kind::Real:
      return formatDouble(std::get<double>(v_));
    case Kind::Decimal:
      return decimalText();
    case Kind::String:
      return quoted(stringValue());
    case Kind::Data:
      return "<" + std::to_string(dataValue().size()) + " bytes>";
    case Kind::Date:
      return "@" + formatDouble(dateValue().secondsSince1970);
    case Kind::Array: {
      std::string out = "[";
      for (const auto& item : arrayValue()) {
        if (out.size() > 1) out += ", ";
        out += item.debugDescription();
      }
      return out + "]";
    }
    case Kind::Dictionary: {
      std::string out = "{";
      for (const auto& [key, value] : dictionaryValue()) {
        if (out.size() > 1) out += ", ";
        out += quoted(key) + ": " + value.debugDescription();
      }
      return out + "}";
    }
  }
  return {};
}

}  // namespace platform
