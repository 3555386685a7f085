#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"

namespace platform {

// The persistent key-value store: property-list values under string keys, kept in one file
// in the home folder's preferences and written atomically. A corrupt or unreadable file is
// logged once, moved aside and replaced by an empty store.
class UserDefaults {
 public:
  static UserDefaults& standard();
  // Forgets the in-memory state so that the next use reads the file again (tests, --home).
  static void resetStandard();

  explicit UserDefaults(std::string filePath);

  Value objectForKey(const std::string& key) const;
  void setObjectForKey(const Value& value, const std::string& key);  // null removes
  void removeObjectForKey(const std::string& key);
  // Writes pending changes; false if the file could not be written.
  bool synchronize();

  const std::string& filePath() const { return path_; }

 private:
  void load();
  std::string path_;
  Dictionary values_;
  bool dirty_ = false;
};

}  // namespace platform
