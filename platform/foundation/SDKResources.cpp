#include "platform/foundation/SDKResources.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

bool isWithin(const fs::path& path, const fs::path& folder) {
  auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

}  // namespace

std::string sdkResourcePath() {
  if (const char* path = std::getenv("VELOUR_RESOURCES"); path && *path) return path;
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return "";
  fs::path installed = program.parent_path().parent_path() / "share" / "vozave" / "resources";
  if (fs::is_directory(installed, error)) return installed.string();
  if (isWithin(program, fs::weakly_canonical(VELOUR_BUILD_DIR, error))) {
    return VELOUR_RESOURCES_DIR;
  }
  return "";
}

}  // namespace platform
