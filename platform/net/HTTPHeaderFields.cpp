#include "platform/net/HTTPHeaderFields.h"

namespace platform {

namespace {

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

HTTPHeaderFields::HTTPHeaderFields(std::initializer_list<Field> fields) {
  for (const auto& [name, value] : fields) add(name, value);
}

const HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) const {
  for (const Field& field : fields_) {
    if (equalsIgnoringCase(field.first, name)) return &field;
  }
  return nullptr;
}

HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) {
  return const_cast<Field*>(std::as_const(*this).find(name));
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
  const Field* field = find(name);
  if (!field) return std::nullopt;
  return field->second;
}

void HTTPHeaderFields::set(std::string_view name, std::string_view value) {
  if (Field* field = find(name)) {
    field->second = value;
  } else {
    fields_.emplace_back(name, value);
  }
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value) {
  if (Field* field = find(name)) {
    field->second += ", ";
    field->second += value;
  } else {
    fields_.emplace_back(name, value);
  }
}

bool HTTPHeaderFields::remove(std::string_view name) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it) {
    if (equalsIgnoringCase(it->first, name)) {
      fields_.erase(it);
      return true;
    }
  }
  return false;
}

bool HTTPHeaderFields::operator==(const HTTPHeaderFields& other) const {
  if (size() != other.size()) return false;
  for (const auto& [name, value] : fields_) {
    const Field* theirs = other.find(name);
    if (!theirs || theirs->second != value) return false;
  }
  return true;
}

}  // namespace platform
