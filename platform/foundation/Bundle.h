#pragma once

#include <optional>
#include <string>

namespace platform {

// Who the application is: its bundle identifier (reverse DNS, e.g. "com.example.app"), its
// name and its version (empty: none). An empty identifier or name leaves the default.
struct BundleIdentity {
  std::string identifier;
  std::string name;
  std::string version;
};

// The application's main bundle: its identity and its resources folder. The application sets
// both before launch (setApplicationIdentity, setApplicationBundlePath); ad requests, the
// standard store and the default home folder read the identity, screens and sounds read the
// resources.
class Bundle {
 public:
  static Bundle& main();

  // Empty when the application named no bundle folder: it then has no resources.
  const std::string& resourcePath() const { return resources_; }
  void setResourcePath(std::string path);
  // "bundle <folder>", or "no bundle folder": where a missing resource was looked for.
  std::string description() const;
  // The path of resource `name` with extension `type`, searched in the resources folder and
  // its sub-folders; nothing if it is missing.
  std::optional<std::string> pathForResourceOfType(const std::string& name,
                                                   const std::string& type) const;

  // The application's own identifier or, when it set none, "unidentified." and the program's
  // name (said in the log at its first use).
  std::string bundleIdentifier() const;
  std::string name() const;  // the application's own, or the program's name
  const std::string& version() const { return identity_.version; }
  const BundleIdentity& identity() const { return identity_; }  // as the application set it
  bool hasIdentity() const { return !identity_.identifier.empty(); }
  void setIdentity(BundleIdentity identity);
  void setVersion(std::string version) { identity_.version = std::move(version); }

 private:
  Bundle() = default;
  std::string resources_;
  BundleIdentity identity_;
  mutable bool toldDefault_ = false;  // the default identifier has been logged
};

}  // namespace platform
