#include "platform/foundation/UserDefaults.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Text.h"

namespace platform {

namespace {

// Set-aside copies kept of bad store files, the one just found among them.
constexpr std::size_t kKeptAsideCopies = 5;
// A temporary file of a save older than this was left by a writer that died.
constexpr Duration kStaleTemporaryAge = seconds(600);
// Copy numbers past this are not ours, and could not be counted up from.
constexpr std::uint64_t kMaxAsideNumber = 1'000'000'000'000;

std::unique_ptr<UserDefaults>& standardInstance() {
  static std::unique_ptr<UserDefaults> instance;
  return instance;
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The numbers n of the "<file>.corrupt-<n>" copies beside `path`, lowest first.
std::vector<std::uint64_t> asideNumbers(const std::string& path) {
  std::string prefix = nameOf(path) + ".corrupt-";
  std::vector<std::uint64_t> numbers;
  for (const std::string& name :
       FileManager::defaultManager().contentsOfDirectory(folderOf(path))) {
    if (!name.starts_with(prefix)) continue;
    const char* digits = name.data() + prefix.size();
    const char* end = name.data() + name.size();
    std::uint64_t n = 0;
    auto [stop, error] = std::from_chars(digits, end, n);
    if (error == std::errc() && stop == end && n <= kMaxAsideNumber) numbers.push_back(n);
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

// Moves a bad store file to "<file>.corrupt-<n>", one past the highest copy there, then drops
// the oldest copies past the few kept; returns where it went, or nothing if it stayed put.
std::optional<std::string> moveAside(const std::string& path) {
  const FileManager& files = FileManager::defaultManager();
  std::vector<std::uint64_t> numbers = asideNumbers(path);
  std::uint64_t next = numbers.empty() ? 1 : numbers.back() + 1;
  std::string aside = path + ".corrupt-" + std::to_string(next);
  if (next > kMaxAsideNumber || !files.moveItem(path, aside)) return std::nullopt;
  numbers.push_back(next);
  for (std::size_t i = 0; i + kKeptAsideCopies < numbers.size(); ++i) {
    files.removeItem(path + ".corrupt-" + std::to_string(numbers[i]));
  }
  return aside;
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
  NotificationCenter::defaultCenter().postNotification(kDidChangeNotification, nullptr);
}

UserDefaults::UserDefaults(std::string filePath, std::size_t maxFileSize)
    : path_(std::move(filePath)), maxFileSize_(maxFileSize) {
  load();
}

void UserDefaults::load() {
  auto contents = FileManager::defaultManager().readRegularFile(path_, maxFileSize_);
  if (!contents && contents.error().code == kFileReadMissing) return;
  if (!contents) {
    mayWrite_ = false;
    log("UserDefaults: could not read preferences file " + path_ + " (" +
        contents.error().localizedDescription() +
        "); left it as it is and started empty, without saving");
    return;
  }
  auto value = decodePropertyList(text::view(*contents));
  if (value && value->isDictionary()) {
    values_ = std::move(*value);
    return;
  }
  std::string problem = value ? "not a dictionary" : value.error().localizedDescription();
  auto aside = moveAside(path_);
  // A bad file that could not be set aside is all there is of it: it is not written over.
  mayWrite_ = aside.has_value();
  std::string outcome = aside ? "moved it to " + *aside + " and started empty"
                              : "could not move it aside; left it as it is and started empty, "
                                "without saving";
  log("UserDefaults: could not read preferences file " + path_ + " (" + problem + "); " + outcome);
}

Value UserDefaults::objectForKey(const std::string& key) const {
  const Value* value = values_.dictionaryValue().find(key);
  return value ? *value : Value();
}

void UserDefaults::setObjectForKey(const Value& value, const std::string& key) {
  if (value.isNull()) {
    removeObjectForKey(key);
    return;
  }
  values_.mutableDictionary().set(key, value);
  changed();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  if (values_.mutableDictionary().remove(key)) changed();
}

void UserDefaults::changed() {
  dirty_ = true;
  NotificationCenter::defaultCenter().postNotification(kDidChangeNotification, this);
}

bool UserDefaults::synchronize() {
  if (!dirty_) return true;
  if (!mayWrite_) return false;
  const FileManager& files = FileManager::defaultManager();
  std::string text = encodePropertyList(values_);
  if (text.size() > maxFileSize_) {
    // A file that could not be read back would cost every later launch its store.
    log("UserDefaults: preferences for " + path_ + " would take " + std::to_string(text.size()) +
        " bytes, past the " + std::to_string(maxFileSize_) + " that are read; kept the file");
    return false;
  }
  // Without its folder the write below fails too, and says why.
  if (files.createDirectory(folderOf(path_))) removeStaleTemporaries();
  auto written = files.writeAtomically(path_, text);
  if (!written) {
    log("UserDefaults: could not write preferences file " + path_ + " (" +
        written.error().localizedDescription() + ")");
    return false;
  }
  dirty_ = false;
  return true;
}

// A writer killed during a save leaves its "<file>.tmp-*" behind; one that is old is not
// being written by anyone any more.
void UserDefaults::removeStaleTemporaries() const {
  const FileManager& files = FileManager::defaultManager();
  std::string folder = folderOf(path_);
  std::string prefix = nameOf(path_) + ".tmp-";
  // The file system's times run on the host's clock, which a manual clock does not move.
  const Date now = RunLoop::hostDate();
  for (const std::string& name : files.contentsOfDirectory(folder)) {
    if (!name.starts_with(prefix)) continue;
    std::string path = folder + "/" + name;
    if (files.isDirectory(path)) continue;
    auto modified = files.modificationDate(path);
    if (modified &&
        seconds(now.secondsSince1970 - modified->secondsSince1970) > kStaleTemporaryAge) {
      files.removeItem(path);
    }
  }
}

}  // namespace platform
