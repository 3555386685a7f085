#include "platform/foundation/UserDefaults.h"

#include <memory>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"

namespace platform {

namespace {

// Enough for every set-aside copy a device will ever collect; past it the file stays put.
constexpr int kMaxAsideCopies = 1000;

std::unique_ptr<UserDefaults>& standardInstance() {
  static std::unique_ptr<UserDefaults> instance;
  return instance;
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Moves a bad store file to the first free "<file>.corrupt-<n>", so that no earlier copy is
// overwritten; returns where it went, or nothing.
std::optional<std::string> moveAside(const std::string& path) {
  const FileManager& files = FileManager::defaultManager();
  for (int n = 1; n <= kMaxAsideCopies; ++n) {
    std::string aside = path + ".corrupt-" + std::to_string(n);
    if (files.fileExists(aside)) continue;
    if (files.moveItem(path, aside)) return aside;
    if (!files.fileExists(aside)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
  auto& instance = standardInstance();
  if (!instance) {
    std::string path = FileManager::defaultManager().preferencesDirectory() + "/" +
                       Bundle::main().bundleIdentifier() + ".plist";
    instance = std::make_unique<UserDefaults>(std::move(path));
  }
  return *instance;
}

void UserDefaults::resetStandard() {
  auto& instance = standardInstance();
  // Pending changes belong to the file they were made for.
  if (instance) instance->synchronize();
  instance.reset();
}

UserDefaults::UserDefaults(std::string filePath) : path_(std::move(filePath)) {
  load();
}

void UserDefaults::load() {
  const FileManager& files = FileManager::defaultManager();
  if (!files.fileExists(path_)) return;
  std::string problem;
  if (auto bytes = files.readFile(path_)) {
    std::string text(bytes->begin(), bytes->end());
    auto value = decodePropertyList(text, &problem);
    if (value && value->isDictionary()) {
      values_ = value->dictionaryValue();
      return;
    }
    if (value) problem = "not a dictionary";
  } else {
    problem = "unreadable";
  }
  auto aside = moveAside(path_);
  std::string where = aside ? "moved it to " + *aside : "could not move it aside";
  log("UserDefaults: could not read preferences file " + path_ + " (" + problem + "); " + where +
      " and started empty");
}

Value UserDefaults::objectForKey(const std::string& key) const {
  const Value* value = values_.find(key);
  return value ? *value : Value();
}

void UserDefaults::setObjectForKey(const Value& value, const std::string& key) {
  if (value.isNull()) {
    removeObjectForKey(key);
    return;
  }
  values_.set(key, value);
  dirty_ = true;
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  if (values_.remove(key)) dirty_ = true;
}

bool UserDefaults::synchronize() {
  if (!dirty_) return true;
  const FileManager& files = FileManager::defaultManager();
  bool written = files.createDirectory(folderOf(path_)) &&
                 files.writeAtomically(path_, encodePropertyList(Value(values_)));
  if (!written) {
    log("UserDefaults: could not write preferences file " + path_);
    return false;
  }
  dirty_ = false;
  return true;
}

}  // namespace platform
