#include "platform/net/HTTPHeaderFields.h"

#include "platform/foundation/Text.h"

namespace platform {

HTTPHeaderFields::HTTPHeaderFields(std::initializer_list<Field> fields) {
  for (const auto& [name, value] : fields) add(name, value);
}

const HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) const {
  auto it = positions_.find(text::asciiLowercase(name));
  return it == positions_.end() ? nullptr : &fields_[it->second];
}

HTTPHeaderFields::Field* HTTPHeaderFields::find(std::string_view name) {
  return const_cast<Field*>(std::as_const(*this).find(name));
}

std::optional<std::string> HTTPHeaderFields::value(std::string_view name) const {
  const Field* field = find(name);
  if (!field) return std::nullopt;
  return field->second;
}

std::string HTTPHeaderFields::mediaType() const {
  const Field* field = find("Content-Type");
  if (!field) return {};
  std::string_view value = field->second;
  return text::asciiLowercase(text::trimmed(value.substr(0, value.find(';'))));
}

void HTTPHeaderFields::set(std::string_view name, std::string_view value) {
  auto [it, added] = positions_.try_emplace(text::asciiLowercase(name), fields_.size());
  if (added) {
    fields_.emplace_back(name, value);
  } else {
    fields_[it->second].second = value;
  }
}

void HTTPHeaderFields::add(std::string_view name, std::string_view value) {
  auto [it, added] = positions_.try_emplace(text::asciiLowercase(name), fields_.size());
  if (added) {
    fields_.emplace_back(name, value);
    return;
  }
  std::string& joined = fields_[it->second].second;
  joined += ", ";
  joined += value;
}

bool HTTPHeaderFields::appendToValue(std::string_view name, std::string_view text) {
  Field* field = find(name);
  if (!field) return false;
  field->second += ' ';
  field->second += text;
  return true;
}

bool HTTPHeaderFields::remove(std::string_view name) {
  auto it = positions_.find(text::asciiLowercase(name));
  if (it == positions_.end()) return false;
  std::size_t index = it->second;
  positions_.erase(it);
  fields_.erase(fields_.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto& [key, position] : positions_) {
    if (position > index) --position;
  }
  return true;
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
