#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/foundation/Text.h"

namespace platform {

// The header fields of a request or a reply, in the order first seen. Names keep the case they
// were given in, but every lookup ignores case, as HTTP header names do. An index by lower-case
// name keeps a reply of many thousand fields from costing a search per field.
class HTTPHeaderFields {
 public:
  using Field = std::pair<std::string, std::string>;

  HTTPHeaderFields() = default;
  HTTPHeaderFields(std::initializer_list<Field> fields);

  std::optional<std::string> value(std::string_view name) const;
  bool contains(std::string_view name) const { return find(name) != nullptr; }
  // Content-Type's type and subtype in lower case, without parameters; empty without one.
  std::string mediaType() const;
  // Replaces the value of a field of that name, whatever its case; a new name goes at the end.
  void set(std::string_view name, std::string_view value);
  // A repeated field's value is joined to the earlier one with ", ", as a reply's list is read.
  void add(std::string_view name, std::string_view value);
  // Joins `text` to the value with a blank, in place: a folded line's continuation. False when
  // there is no such field.
  bool appendToValue(std::string_view name, std::string_view text);
  bool remove(std::string_view name);

  std::size_t size() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }
  std::vector<Field>::const_iterator begin() const { return fields_.begin(); }
  std::vector<Field>::const_iterator end() const { return fields_.end(); }

  // Same fields and values, names compared without case, order ignored.
  bool operator==(const HTTPHeaderFields& other) const;

 private:
  const Field* find(std::string_view name) const;
  Field* find(std::string_view name);

  std::vector<Field> fields_;
  // Lower-case name to index; keyed, since a server chooses the names.
  std::unordered_map<std::string, std::size_t, text::KeyedHash> positions_;
};

}  // namespace platform
