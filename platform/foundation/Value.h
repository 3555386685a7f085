#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/foundation/Export.h"

namespace platform {

class Value;

// Raw bytes of a data value.
using Bytes = std::vector<std::uint8_t>;

// A point in wall-clock time, seconds since 1970-01-01 00:00:00 UTC.
struct Date {
  double secondsSince1970 = 0;
  bool operator==(const Date&) const = default;
};

// A decimal number that keeps its text exactly as it was read ("1.10" stays "1.10").
struct Decimal {
  std::string text;
  bool operator==(const Decimal&) const = default;
};

// A dictionary that keeps the order in which keys were first set. Past a few entries it keeps
// a hash index beside them, so that building or reading one of n keys costs n, not n².
class VOZAVE_API Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);

  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  // Replaces the value of an existing key in place; a new key goes at the end.
  void set(std::string key, Value value);
  bool remove(std::string_view key);
  void clear();

  std::size_t size() const;
  bool empty() const;
  std::vector<Entry>::const_iterator begin() const;
  std::vector<Entry>::const_iterator end() const;
  std::vector<std::string> keys() const;

  bool operator==(const Dictionary& other) const;

 private:
  // Where `key` is in entries_, or npos.
  std::size_t position(std::string_view key) const;
  // The index slot that holds `key`, or the empty slot where it would go.
  std::size_t slotFor(std::string_view key) const;
  void reindex();

  std::vector<Entry> entries_;
  // Open addressing: 0 is an empty slot, else an entry's position plus one. Empty while the
  // dictionary is small enough for a linear search to be quicker.
  std::vector<std::size_t> slots_;
};

using Array = std::vector<Value>;

// The one value type of the object model: null, booleans, numbers, texts, data, dates, arrays
// and dictionaries.
class VOZAVE_API Value {
 public:
  enum class Kind { Null, Boolean, Integer, Real, Decimal, String, Data, Date, Array, Dictionary };

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  Value(int i) : v_(static_cast<std::int64_t>(i)) {}
  Value(long i) : v_(static_cast<std::int64_t>(i)) {}
  Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
  Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
  Value(double d) : v_(d) {}
  Value(platform::Decimal d) : v_(std::move(d)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(Bytes b) : v_(std::move(b)) {}
  Value(platform::Date d) : v_(d) {}
  Value(platform::Array a) : v_(std::make_shared<platform::Array>(std::move(a))) {}
  Value(platform::Dictionary d) : v_(std::make_shared<platform::Dictionary>(std::move(d))) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool isNull() const { return kind() == Kind::Null; }
  bool isBoolean() const { return kind() == Kind::Boolean; }
  bool isNumber() const;  // integer, real or decimal
  bool isString() const { return kind() == Kind::String; }
  bool isData() const { return kind() == Kind::Data; }
  bool isDate() const { return kind() == Kind::Date; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isDictionary() const { return kind() == Kind::Dictionary; }

  // Typed reads; a value of another kind gives the fallback.
  bool boolValue(bool fallback = false) const;
  std::int64_t integerValue(std::int64_t fallback = 0) const;
  double doubleValue(double fallback = 0) const;
  const std::string& stringValue() const;  // empty text for a non-text
  const Bytes& dataValue() const;
  platform::Date dateValue() const;
  const platform::Array& arrayValue() const;
  const platform::Dictionary& dictionaryValue() const;
  const std::string& decimalText() const;  // empty unless a decimal

  // Mutable access; turns a null into an empty container first, copies a shared container.
  platform::Array& mutableArray();
  platform::Dictionary& mutableDictionary();

  // Dictionary lookup; a missing key or a non-dictionary gives a null value.
  const Value& operator[](std::string_view key) const;

  bool operator==(const Value& other) const;

  // A short readable form for logs and test failures.
  std::string debugDescription() const;

 private:
  std::variant<std::monostate, bool, std::int64_t, double, platform::Decimal, std::string, Bytes,
               platform::Date, std::shared_ptr<platform::Array>,
               std::shared_ptr<platform::Dictionary>>
      v_;
};

// Defined here, where Value is complete.
inline void Dictionary::clear() {
  entries_.clear();
  slots_.clear();
}
inline std::size_t Dictionary::size() const {
  return entries_.size();
}
inline bool Dictionary::empty() const {
  return entries_.empty();
}
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const {
  return entries_.begin();
}
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const {
  return entries_.end();
}

}  // namespace platform
