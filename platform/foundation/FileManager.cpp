#include "platform/foundation/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/Bundle.h"

namespace platform {

namespace {

std::string parentOf(const std::string& path) {
  auto slash = path.find_last_not_of('/');
  if (slash == std::string::npos) return "/";
  slash = path.rfind('/', slash);
  if (slash == std::string::npos) return ".";
  auto end = path.find_last_not_of('/', slash);
  return end == std::string::npos ? "/" : path.substr(0, end + 1);
}

std::string absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? value : "";
}

// Where the user's applications keep their data; a relative or missing variable is ignored,
// as the base directory rules say.
std::string userDataFolder() {
  if (auto data = absoluteVariable("XDG_DATA_HOME"); !data.empty()) return data;
  std::string home = absoluteVariable("HOME");
  if (home.empty()) {
    const passwd* user = getpwuid(getuid());
    home = user && user->pw_dir ? user->pw_dir : "/tmp";
  }
  return home + "/.local/share";
}

std::string defaultHome() {
  if (const char* home = std::getenv("VELOUR_HOME"); home && *home) return home;
  return userDataFolder() + "/" + Bundle::main().bundleIdentifier();
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Makes the rename itself durable; a failure here loses nothing that is already written.
void syncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool removeTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode)) return ::unlink(path.c_str()) == 0;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return false;
  bool ok = true;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    ok = removeTree(path + "/" + name) && ok;
  }
  ::closedir(dir);
  return ::rmdir(path.c_str()) == 0 && ok;
}

Error readError(FileReadErrorCode code, std::string problem) {
  return Error::make(kFileReadErrorDomain, code, std::move(problem));
}

Error tooLarge(std::size_t maxBytes) {
  return readError(kFileReadTooLarge, "larger than " + std::to_string(maxBytes) + " bytes");
}

// Reads an opened file when it is a regular one of at most `maxBytes`; one that grows past
// `maxBytes` meanwhile is refused like one that was larger from the start. The opened file
// itself is checked, not its name, which may have changed meanwhile.
Result<Bytes> readToEnd(int fd, std::size_t maxBytes, Bytes data = {}) {
  std::uint8_t buffer[65536];
  while (true) {
    // One byte past the limit is enough to know it is passed.
    std::size_t left = maxBytes - data.size();
    std::size_t room = left < sizeof buffer ? left + 1 : sizeof buffer;
    ssize_t count = ::read(fd, buffer, room);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return readError(kFileReadFailed, std::strerror(errno));
    if (count == 0) break;
    data.insert(data.end(), buffer, buffer + count);
    if (data.size() > maxBytes) return tooLarge(maxBytes);
  }
  return data;
}

Result<Bytes> readOpened(int fd, std::size_t maxBytes) {
  struct stat info;
  if (::fstat(fd, &info) != 0) return readError(kFileReadFailed, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return readError(kFileReadNotRegular, "not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return tooLarge(maxBytes);
  Bytes data;
  data.reserve(static_cast<std::size_t>(info.st_size));
  return readToEnd(fd, maxBytes, std::move(data));
}

// Reads what `fd` holds with `read` and closes it; a descriptor that did not open says why.
template <typename Reader>
Result<Bytes> readAndClose(int fd, Reader read) {
  if (fd < 0) {
    bool missing = errno == ENOENT || errno == ENOTDIR;
    return readError(missing ? kFileReadMissing : kFileReadFailed, std::strerror(errno));
  }
  Result<Bytes> contents = read(fd);
  ::close(fd);
  return contents;
}

Error writeError(int errorNumber) {
  return Error::make(kPOSIXErrorDomain, errorNumber, std::strerror(errorNumber));
}

}  // namespace

FileManager& FileManager::defaultManager() {
  static FileManager manager;
  return manager;
}

FileManager::FileManager() = default;

const std::string& FileManager::homeDirectory() const {
  if (!homeSet_) home_ = defaultHome();
  return home_;
}

void FileManager::setHomeDirectory(std::string home) {
  home_ = std::move(home);
  homeSet_ = !home_.empty();
}

std::string FileManager::cachesDirectory() const {
  std::string path = cachesPath();
  createDirectory(path);
  return path;
}

bool FileManager::hasCachesDirectory() const {
  return isFolderItself(cachesPath());
}

std::string FileManager::documentsDirectory() const {
  std::string path = homeDirectory() + "/Documents";
  createDirectory(path);
  return path;
}

std::string FileManager::preferencesDirectory() const {
  return homeDirectory() + "/Library/Preferences";
}

bool FileManager::fileExists(const std::string& path) const {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool FileManager::isDirectory(const std::string& path) const {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileManager::isFolderItself(const std::string& path) const {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileManager::createDirectory(const std::string& path) const {
  if (path.empty()) return false;
  if (isDirectory(path)) return true;
  std::string parent = parentOf(path);
  if (parent != path && !createDirectory(parent)) return false;
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  return errno == EEXIST && isDirectory(path);
}

bool FileManager::removeItem(const std::string& path) const {
  return !path.empty() && removeTree(path);
}

bool FileManager::moveItem(const std::string& from, const std::string& to) const {
  // Never replaces what is already at `to`.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat info;
  if (::lstat(to.c_str(), &info) == 0) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

Result<Bytes> FileManager::readFile(const std::string& path) const {
  return readRegularFile(path, SIZE_MAX);
}

Result<Bytes> FileManager::readRegularFile(const std::string& path, std::size_t maxBytes,
                                           Links links) const {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  if (links == Links::refuse) flags |= O_NOFOLLOW;
  int fd = ::open(path.c_str(), flags);
  if (fd < 0 && errno == ELOOP && links == Links::refuse) {
    return readError(kFileReadNotRegular, "a symbolic link");
  }
  return readAndClose(fd, [maxBytes](int opened) { return readOpened(opened, maxBytes); });
}

Result<Bytes> FileManager::readStream(const std::string& path, std::size_t maxBytes) const {
  if (path == "-") return readToEnd(STDIN_FILENO, maxBytes);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  return readAndClose(fd, [maxBytes](int opened) { return readToEnd(opened, maxBytes); });
}

std::string FileManager::readVanishingText(const std::string& path, std::size_t maxBytes) const {
  auto bytes = readStream(path, maxBytes);
  if (!bytes) return {};
  return std::string(bytes->begin(), bytes->end());
}

bool FileManager::isInside(const std::string& path, const std::string& folder) const {
  char resolvedPath[PATH_MAX];
  char resolvedFolder[PATH_MAX];
  if (!::realpath(path.c_str(), resolvedPath) || !::realpath(folder.c_str(), resolvedFolder)) {
    return false;
  }
  std::string_view inner = resolvedPath;
  std::string prefix = std::string(resolvedFolder) + "/";
  return inner.starts_with(prefix) && inner.size() > prefix.size();
}

std::vector<std::string> FileManager::contentsOfDirectory(const std::string& path) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

Result<void> FileManager::writeAtomically(const std::string& path, const Bytes& data) const {
  if (path.empty() || path.back() == '/') return writeError(EISDIR);
  // A failure must never read as success, whatever errno was left at.
  auto cause = [] { return errno != 0 ? errno : EIO; };
  std::string temp = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  // A missing folder is made here, so that a failure names why it cannot be (a read-only or
  // full disk), not that it is missing.
  if (fd < 0 && errno == ENOENT) {
    if (!createDirectory(parentOf(path))) return writeError(cause());
    temp = path + ".tmp-XXXXXX";
    fd = ::mkstemp(temp.data());
  }
  if (fd < 0) return writeError(cause());
  // mkstemp makes the file private; the result should look like any other file written here.
  bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
  int failure = ok ? 0 : cause();
  if (::close(fd) != 0 && ok) {
    ok = false;
    failure = cause();
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
    syncDirectory(parentOf(path));
    return {};
  }
  if (ok) failure = cause();
  ::unlink(temp.c_str());
  return writeError(failure);
}

Result<void> FileManager::writeAtomically(const std::string& path, const std::string& text) const {
  return writeAtomically(path, Bytes(text.begin(), text.end()));
}

std::optional<Date> FileManager::modificationDate(const std::string& path) const {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return Date{static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9};
}

bool FileManager::setModificationDate(const std::string& path, Date when) const {
  // Far beyond any file system's range, and beyond what time_t can take.
  if (!(std::fabs(when.secondsSince1970) < 1e15)) return false;
  double whole = std::floor(when.secondsSince1970);
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(whole);
  times[1].tv_nsec = static_cast<long>((when.secondsSince1970 - whole) * 1e9);
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool FileManager::setAccessAndModificationDate(const std::string& path, Date when) const {
  if (!(std::fabs(when.secondsSince1970) < 1e15)) return false;
  timespec times[2];
  times[0].tv_sec = static_cast<time_t>(std::trunc(when.secondsSince1970));
  times[0].tv_nsec = 0;
  times[1] = times[0];
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace platform
