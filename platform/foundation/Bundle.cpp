#include "platform/foundation/Bundle.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

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

bool isWithin(const fs::path& path, const fs::path& folder) {
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

// An installed program finds the resources installed beside it (<prefix>/bin and
// <prefix>/share/vozave/resources); a program of the build tree finds the source tree's. An
// installed program without its own has none: the build machine's folders are not its.
std::string defaultResources() {
  if (const char* path = std::getenv("VELOUR_RESOURCES"); path && *path) return path;
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return VELOUR_RESOURCES_DIR;
  fs::path installed = program.parent_path().parent_path() / "share" / "vozave" / "resources";
  if (fs::is_directory(installed, error)) return installed.string();
  if (isWithin(program, fs::weakly_canonical(VELOUR_BUILD_DIR, error))) {
    return VELOUR_RESOURCES_DIR;
  }
  return "";
}

}  // namespace

Bundle& Bundle::main() {
  static Bundle bundle;
  return bundle;
}

Bundle::Bundle() : resources_(defaultResources()) {}

void Bundle::setResourcePath(std::string path) {
  resources_ = std::move(path);
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
