#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Result.h"
#include "platform/foundation/Value.h"

namespace platform {

// Why a file was not read: the codes of kFileReadErrorDomain, the message a text for a log line.
inline constexpr const char* kFileReadErrorDomain = "VelourFileReadErrorDomain";
enum FileReadErrorCode : long {
  kFileReadMissing = 1,  // nothing at the path (or a part of it is no folder)
  kFileReadNotRegular,   // a folder, FIFO, device, or a refused symbolic link
  kFileReadTooLarge,     // past the size the caller reads
  kFileReadFailed,       // the system refused to open or read it
};
// Why a write failed: the system's error number as the code.
inline constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";

// File services under the device's home folder.
class FileManager {
 public:
  static FileManager& defaultManager();

  // The device's home folder: the one set by the front end or a test, else VELOUR_HOME, else
  // the user's data folder ($XDG_DATA_HOME, or ~/.local/share) named by the application's
  // bundle identifier, as that is at each call.
  const std::string& homeDirectory() const;
  void setHomeDirectory(std::string home);   // empty: the default again
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
  Result<Bytes> readFile(const std::string& path) const;
  enum class Links { follow, refuse };
  // Reads a regular file of at most `maxBytes`. Anything else (a FIFO, a device, a folder, a
  // larger file, with Links::refuse a symbolic link) is refused without reading or waiting, so
  // that a planted file can neither block the caller nor take its memory. The error is of
  // kFileReadErrorDomain.
  Result<Bytes> readRegularFile(const std::string& path, std::size_t maxBytes,
                                Links links = Links::follow) const;
  // Reads a tool's input to its end: a file of any kind, or standard input for "-". Past
  // `maxBytes` it stops and refuses, so that a device or a pipe that never ends takes neither
  // the memory nor the time of more. The error is of kFileReadErrorDomain.
  Result<Bytes> readStream(const std::string& path, std::size_t maxBytes) const;
  // The text of a small file that may vanish while it is read (a process's file under /proc),
  // up to `maxBytes`; empty when it cannot be read.
  std::string readVanishingText(const std::string& path, std::size_t maxBytes = 64 << 10) const;
  // True when `path`, with every link in it resolved, lies inside `folder` (resolved too).
  // False when either cannot be resolved.
  [[nodiscard]] bool isInside(const std::string& path, const std::string& folder) const;
  // The names in a folder, without "." and ".."; empty when it cannot be listed.
  std::vector<std::string> contentsOfDirectory(const std::string& path) const;
  // Writes to a temporary file beside `path`, syncs and renames it over `path`. The error is
  // of kPOSIXErrorDomain.
  Result<void> writeAtomically(const std::string& path, const Bytes& data) const;
  Result<void> writeAtomically(const std::string& path, const std::string& text) const;
  std::optional<Date> modificationDate(const std::string& path) const;
  bool setModificationDate(const std::string& path, Date when) const;
  // Both times, as utimes sets them: whole seconds, rounded toward zero.
  bool setAccessAndModificationDate(const std::string& path, Date when) const;

 private:
  FileManager();
  std::string cachesPath() const { return homeDirectory() + "/Library/Caches"; }
  mutable std::string home_;
  bool homeSet_ = false;
};

}  // namespace platform
