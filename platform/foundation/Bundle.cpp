#include "platform/foundation/Bundle.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/foundation/Log.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

// Interface folders are shallow; the cap only guards against a loop of links.
constexpr int kMaxSearchDepth = 16;

bool isPlainName(const std::string& name) {
  return name.find('/') == std::string::npos && name.find("..") == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool isRegularFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// Sorted sub-folders, so that a name found in two folders always gives the same answer.
std::vector<fs::path> subfolders(const fs::path& folder) {
  std::vector<fs::path> out;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) out.push_back(it->path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The folder itself first, then its sub-folders in name order.
std::optional<fs::path> findFile(const fs::path& folder, const std::string& file, int depth) {
  if (isRegularFile(folder / file)) return folder / file;
  if (depth >= kMaxSearchDepth) return std::nullopt;
  for (const auto& sub : subfolders(folder)) {
    if (auto found = findFile(sub, file, depth + 1)) return found;
  }
  return std::nullopt;
}

// The program's own file name, kept to the characters of an identifier: the default identity.
const std::string& programName() {
  static const std::string name = [] {
    std::error_code error;
    std::string file = fs::read_symlink("/proc/self/exe", error).filename().string();
    for (char& c : file) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') c = '-';
    }
    return file.empty() ? std::string("app") : file;
  }();
  return name;
}

}  // namespace

Bundle& Bundle::main() {
  static Bundle bundle;
  return bundle;
}

void Bundle::setIdentity(BundleIdentity identity) {
  identity_ = std::move(identity);
  toldDefault_ = false;
}

void Bundle::setResourcePath(std::string path) {
  resources_ = std::move(path);
}

std::string Bundle::bundleIdentifier() const {
  if (hasIdentity()) return identity_.identifier;
  std::string fallback = "unidentified." + programName();
  if (!toldDefault_) {
    toldDefault_ = true;
    log("bundle: the application set no bundle identifier; it is " + fallback +
        " (setApplicationIdentity sets one before launch)");
  }
  return fallback;
}

std::string Bundle::name() const {
  return identity_.name.empty() ? programName() : identity_.name;
}

std::string Bundle::description() const {
  return resources_.empty() ? "no bundle folder" : "bundle " + resources_;
}

std::optional<std::string> Bundle::pathForResourceOfType(const std::string& name,
                                                         const std::string& type) const {
  if (name.empty() || !isPlainName(name) || !isPlainName(type)) return std::nullopt;
  std::string file = type.empty() ? name : name + "." + type;
  auto found = findFile(fs::path(resources_), file, 0);
  if (!found) return std::nullopt;
  return found->string();
}

}  // namespace platform
