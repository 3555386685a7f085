#pragma once

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace platform {

// File services under the device's home folder.
class FileManager {
 public:
  static FileManager& defaultManager();

  // The device's home folder; set by the front end or a test before first use.
  const std::string& homeDirectory() const { return home_; }
  void setHomeDirectory(std::string home);
  std::string cachesDirectory() const;       // <home>/Library/Caches, created on demand
  std::string documentsDirectory() const;    // <home>/Documents, created on demand
  std::string preferencesDirectory() const;  // <home>/Library/Preferences

  bool fileExists(const std::string& path) const;
  bool isDirectory(const std::string& path) const;
  bool createDirectory(const std::string& path) const;  // with parents; true if it exists
  bool removeItem(const std::string& path) const;       // file or tree; false if it failed
  bool moveItem(const std::string& from, const std::string& to) const;
  std::optional<Bytes> readFile(const std::string& path) const;
  // How an atomic write ended: true on success, else the system's error number saying why.
  struct [[nodiscard]] WriteResult {
    int errorNumber = 0;
    explicit operator bool() const { return errorNumber == 0; }
    std::string reason() const;  // the system's text for the error number
  };
  // Writes to a temporary file beside `path`, syncs and renames it over `path`.
  WriteResult writeAtomically(const std::string& path, const Bytes& data) const;
  WriteResult writeAtomically(const std::string& path, const std::string& text) const;
  std::optional<Date> modificationDate(const std::string& path) const;
  bool setModificationDate(const std::string& path, Date when) const;
  // Both times, as utimes sets them: whole seconds, rounded toward zero.
  bool setAccessAndModificationDate(const std::string& path, Date when) const;

 private:
  FileManager();
  std::string home_;
};

}  // namespace platform
