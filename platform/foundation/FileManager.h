#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace platform {

// What reading a file found: its bytes, or why there are none.
struct FileContents {
  enum class Status { Read, Missing, NotRegular, TooLarge, Failed };
  Status status = Status::Failed;
  Bytes bytes;
  std::string problem;  // why it was not read, for a log line; empty when read

  bool read() const { return status == Status::Read; }
};

// File services under the device's home folder.
class FileManager {
 public:
  static FileManager& defaultManager();

  // The device's home folder; set by the front end or a test before first use.
  const std::string& homeDirectory() const { return home_; }
  void setHomeDirectory(std::string home);
  std::string cachesDirectory() const;       // <home>/Library/Caches, created on demand
  bool hasCachesDirectory() const;           // without creating it
  std::string documentsDirectory() const;    // <home>/Documents, created on demand
  std::string preferencesDirectory() const;  // <home>/Library/Preferences

  bool fileExists(const std::string& path) const;
  bool isDirectory(const std::string& path) const;
  bool isFolderItself(const std::string& path) const;   // a folder, not a link to one
  bool createDirectory(const std::string& path) const;  // with parents; true if it exists
  bool removeItem(const std::string& path) const;       // file or tree; false if it failed
  bool moveItem(const std::string& from, const std::string& to) const;
  // The whole file, when it is a regular file that can be read; see readRegularFile.
  std::optional<Bytes> readFile(const std::string& path) const;
  // How an atomic write ended: true on success, else the system's error number saying why.
  struct [[nodiscard]] WriteResult {
    int errorNumber = 0;
    explicit operator bool() const { return errorNumber == 0; }
    std::string reason() const;  // the system's text for the error number
  };
  enum class Links { follow, refuse };
  // Reads a regular file of at most `maxBytes`. Anything else (a FIFO, a device, a folder, a
  // larger file, with Links::refuse a symbolic link) is refused without reading or waiting, so
  // that a planted file can neither block the caller nor take its memory.
  [[nodiscard]] FileContents readRegularFile(const std::string& path, std::size_t maxBytes,
                                             Links links = Links::follow) const;
  // True when `path`, with every link in it resolved, lies inside `folder` (resolved too).
  // False when either cannot be resolved.
  [[nodiscard]] bool isInside(const std::string& path, const std::string& folder) const;
  // The names in a folder, without "." and ".."; empty when it cannot be listed.
  std::vector<std::string> contentsOfDirectory(const std::string& path) const;
  // Writes to a temporary file beside `path`, syncs and renames it over `path`.
  WriteResult writeAtomically(const std::string& path, const Bytes& data) const;
  WriteResult writeAtomically(const std::string& path, const std::string& text) const;
  std::optional<Date> modificationDate(const std::string& path) const;
  bool setModificationDate(const std::string& path, Date when) const;
  // Both times, as utimes sets them: whole seconds, rounded toward zero.
  bool setAccessAndModificationDate(const std::string& path, Date when) const;

 private:
  FileManager();
  std::string cachesPath() const { return home_ + "/Library/Caches"; }
  std::string home_;
};

}  // namespace platform
