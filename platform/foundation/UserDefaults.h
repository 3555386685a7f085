#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"

namespace platform {

// The persistent key-value store: property-list values under string keys, kept in one file
// in the home folder's preferences and written atomically. A file whose content does not parse
// is logged once, set aside (the newest few such copies are kept) and replaced by an empty
// store. A file that cannot be read for another reason (too many open files, not a regular
// file, too large) is logged once and left as it is: the store starts empty and never writes.
// Every change of a value, and the standard store's replacement, is posted on the default
// notification centre, so that readers who keep what they read (the ad client's privacy
// signals) read again.
class UserDefaults {
 public:
  // Posted with the store as its object, or none when the standard store is replaced.
  static constexpr const char* kDidChangeNotification = "UserDefaultsDidChangeNotification";
  // The largest store file read, and so the largest one written.
  static constexpr std::size_t kMaxFileSize = 16 << 20;

  static UserDefaults& standard();
  // Forgets the in-memory state so that the next use reads the file again (tests, --home).
  static void resetStandard();

  explicit UserDefaults(std::string filePath, std::size_t maxFileSize = kMaxFileSize);

  Value objectForKey(const std::string& key) const;
  void setObjectForKey(const Value& value, const std::string& key);  // null removes
  void removeObjectForKey(const std::string& key);
  // Writes pending changes; false if the file could not or may not be written.
  bool synchronize();

  const std::string& filePath() const { return path_; }

 private:
  void load();
  void removeStaleTemporaries() const;
  void changed();

  std::string path_;
  std::size_t maxFileSize_;
  Value values_ = Dictionary();  // always a dictionary; a Value, so that it is saved uncopied
  bool dirty_ = false;
  // False while the file on disk holds what could not be read: it is kept, not written over.
  bool mayWrite_ = true;
};

}  // namespace platform
