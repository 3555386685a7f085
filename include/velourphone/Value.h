#pragma once

/// @file
/// platform::Value and platform::Dictionary: the values that requests, errors and
/// notifications carry.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "velourphone/Export.h"

namespace platform {

class Value;

// Raw bytes of a data value.
using Bytes = std::vector<std::uint8_t>;

// A point in wall-clock time, seconds since 1970-01-01 00:00:00 UTC.
struct Date {
  double secondsSince1970 = 0;                   // may hold fractions of a second
  bool operator==(const Date&) const = default;  // the same instant
};

// A decimal number that keeps its text exactly as it was read ("1.10" stays "1.10").
struct Decimal {
  std::string text;                                 // as read, e.g. "1.10"
  bool operator==(const Decimal&) const = default;  // the same text
};

// A dictionary that keeps the order in which keys were first set. Past a few entries it keeps
// a hash index beside them, so that building or reading one of n keys costs n, not n².
class VOZAVE_API Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;  // a key and its value

  Dictionary() = default;
  // The entries in order; a repeated key keeps its first place and its last value.
  Dictionary(std::initializer_list<Entry> entries);

  const Value* find(std::string_view key) const;  // the key's value, or null if it is missing
  Value* find(std::string_view key);              // the key's value to change in place, or null
  // Whether the key is set.
  bool contains(std::string_view key) const { return find(key) != nullptr; }
  // Replaces the value of an existing key in place; a new key goes at the end.
  void set(std::string key, Value value);
  bool remove(std::string_view key);  // false if the key was not there
  void clear();                       // removes every entry

  std::size_t size() const;                          // the number of entries
  bool empty() const;                                // whether there are no entries
  std::vector<Entry>::const_iterator begin() const;  // the first entry, in insertion order
  std::vector<Entry>::const_iterator end() const;    // past the last entry
  std::vector<std::string> keys() const;             // in insertion order

  // The same keys with equal values, in whatever order.
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

// An array value's items, in order. A list of one array is written Array{Value(inner)}:
// clang reads Array{inner} as a copy of inner, gcc as a list that holds it.
using Array = std::vector<Value>;

// The one value type of the object model: null, booleans, numbers, texts, data, dates, arrays
// and dictionaries.
class VOZAVE_API Value {
 public:
  // What a value holds; kind() tells it.
  enum class Kind { Null, Boolean, Integer, Real, Decimal, String, Data, Date, Array, Dictionary };

  Value() = default;
  Value(std::nullptr_t) {}                                  // null
  Value(bool b) : v_(b) {}                                  // a boolean
  Value(int i) : v_(static_cast<std::int64_t>(i)) {}        // an integer
  Value(long i) : v_(static_cast<std::int64_t>(i)) {}       // an integer
  Value(long long i) : v_(static_cast<std::int64_t>(i)) {}  // an integer
  Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}   // an integer
  Value(double d) : v_(d) {}                                // a real number
  Value(platform::Decimal d) : v_(std::move(d)) {}          // a decimal, its text kept
  Value(const char* s) : v_(std::string(s)) {}              // a text
  Value(std::string s) : v_(std::move(s)) {}                // a text
  Value(std::string_view s) : v_(std::string(s)) {}         // a text
  Value(Bytes b) : v_(std::move(b)) {}                      // data
  Value(platform::Date d) : v_(d) {}                        // a date
  // An array; copies of the value share it until one is changed.
  Value(platform::Array a) : v_(std::make_shared<platform::Array>(std::move(a))) {}
  // A dictionary; copies of the value share it until one is changed.
  Value(platform::Dictionary d) : v_(std::make_shared<platform::Dictionary>(std::move(d))) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }       // what it holds
  bool isNull() const { return kind() == Kind::Null; }              // holds nothing
  bool isBoolean() const { return kind() == Kind::Boolean; }        // true or false
  bool isNumber() const;                                            // integer, real or decimal
  bool isString() const { return kind() == Kind::String; }          // a text
  bool isData() const { return kind() == Kind::Data; }              // raw bytes
  bool isDate() const { return kind() == Kind::Date; }              // a point in time
  bool isArray() const { return kind() == Kind::Array; }            // an ordered list
  bool isDictionary() const { return kind() == Kind::Dictionary; }  // values under string keys

  // Typed reads; a value of another kind gives the fallback.
  bool boolValue(bool fallback = false) const;
  // A boolean as 0 or 1; a real or decimal cut towards zero, the fallback if out of range.
  std::int64_t integerValue(std::int64_t fallback = 0) const;
  double doubleValue(double fallback = 0) const;        // a boolean as 0 or 1; any number
  const std::string& stringValue() const;               // empty text for a non-text
  const Bytes& dataValue() const;                       // no bytes for a non-data
  platform::Date dateValue() const;                     // 1970-01-01 for a non-date
  const platform::Array& arrayValue() const;            // empty for a non-array
  const platform::Dictionary& dictionaryValue() const;  // empty for a non-dictionary
  const std::string& decimalText() const;               // empty unless a decimal

  // Mutable access; turns a null into an empty container first, copies a shared container.
  platform::Array& mutableArray();
  platform::Dictionary& mutableDictionary();  // as mutableArray, for a dictionary

  // Dictionary lookup; a missing key or a non-dictionary gives a null value.
  const Value& operator[](std::string_view key) const;

  // Numbers compare by value whatever their kind; containers compare item by item.
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
