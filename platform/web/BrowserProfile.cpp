#include "platform/web/BrowserProfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string_view>

#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/web/Browser.h"

namespace platform {

namespace {

// Every run's profile is a folder of its own under this one, locked while the run lives.
std::string profilesFolder() {
  std::error_code ignored;
  std::filesystem::path home =
      std::filesystem::absolute(FileManager::defaultManager().homeDirectory(), ignored);
  return (home / "Library" / "WebEngine").string();
}

constexpr const char* kProfileLock = "run.lock";

// Holds the lock of `folder` on a descriptor of ours; -1 if another run holds it.
int lockProfile(const std::string& folder) {
  int fd = ::open((folder + "/" + kProfileLock).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A run that was killed leaves its profile behind, unlocked; a run that lives keeps its lock.
void removeStaleProfiles(const std::string& root) {
  DIR* dir = ::opendir(root.c_str());
  if (!dir) return;
  std::vector<std::string> stale;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.rfind("run-", 0) != 0) continue;
    std::string folder = root + "/" + name;
    int lock = lockProfile(folder);
    if (lock < 0) continue;
    stale.push_back(folder);
    ::close(lock);
  }
  ::closedir(dir);
  for (const auto& folder : stale) {
    if (!FileManager::defaultManager().removeItem(folder)) {
      log("web: could not remove the old web engine folder " + folder);
    }
  }
}

}  // namespace

Result<std::unique_ptr<BrowserProfile>> BrowserProfile::make() {
  const std::string root = profilesFolder();
  removeStaleProfiles(root);
  // Made under another name and locked before it is named "run-": a run starting at the same
  // time never takes it for a killed run's.
  std::string pattern = root + "/new-XXXXXX";
  if (!FileManager::defaultManager().createDirectory(root) || !::mkdtemp(pattern.data())) {
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed,
                       "no folder for the web engine under " + root);
  }
  const std::string folder = root + "/run-" + pattern.substr(pattern.size() - 6);
  const int lock = lockProfile(pattern);
  if (lock < 0 || ::rename(pattern.c_str(), folder.c_str()) != 0) {
    if (lock >= 0) ::close(lock);
    FileManager::defaultManager().removeItem(pattern);
    return Error::make(kWebErrorDomain, kWebErrorEngineFailed,
                       "the web engine's folder could not be made ready: " + folder);
  }
  return std::unique_ptr<BrowserProfile>(new BrowserProfile(folder, lock));
}

BrowserProfile::~BrowserProfile() {
  FileManager::defaultManager().removeItem(folder_);
  ::close(lock_);
}

// The temporary folder is named relative to the child's working folder, the run's folder: the
// engine puts a socket there, whose path may not pass 107 bytes, however deep the home lies.
std::vector<std::string> BrowserProfile::childEnvironment() const {
  const std::map<std::string, std::string> own = {
      {"HOME", folder_},
      {"TMPDIR", "tmp"},
      {"XDG_CONFIG_HOME", folder_ + "/config"},
      {"XDG_CACHE_HOME", folder_ + "/cache"},
      {"XDG_DATA_HOME", folder_ + "/data"},
  };
  std::vector<std::string> environment;
  for (char** entry = environ; entry && *entry; ++entry) {
    std::string_view text(*entry);
    if (!own.contains(std::string(text.substr(0, text.find('='))))) environment.emplace_back(text);
  }
  for (const auto& [name, value] : own) environment.push_back(name + "=" + value);
  for (const char* subfolder : {"/tmp", "/config", "/cache", "/data"}) {
    FileManager::defaultManager().createDirectory(folder_ + subfolder);
  }
  return environment;
}

}  // namespace platform
