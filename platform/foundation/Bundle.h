#pragma once

#include <optional>
#include <string>

namespace platform {

// The application's main bundle: its resources folder.
class Bundle {
 public:
  static Bundle& main();

  // Empty for an installed program whose resources are not installed beside it.
  const std::string& resourcePath() const { return resources_; }
  void setResourcePath(std::string path);
  // The path of resource `name` with extension `type`, searched in the resources folder and
  // its sub-folders; nothing if it is missing.
  std::optional<std::string> pathForResourceOfType(const std::string& name,
                                                   const std::string& type) const;

  std::string bundleIdentifier() const { return identifier_; }
  void setBundleIdentifier(std::string id) { identifier_ = std::move(id); }

 private:
  Bundle();
  std::string resources_;
  std::string identifier_ = "com.velour.soundboard";
};

}  // namespace platform
