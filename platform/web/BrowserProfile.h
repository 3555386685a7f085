#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Result.h"

namespace platform {

// The folder of one run of the web engine, <home>/Library/WebEngine/run-*: made fresh and held
// locked (flock) while the run lives, removed with its lock when it goes. Making one first
// removes every unlocked run folder, what a killed run left. Browser alone makes and owns it
// when it starts the engine, whose profile, home, temporary, cache and configuration folders
// all lie inside it.
class BrowserProfile {
 public:
  // A new run folder, locked, or the reason none can be made.
  static Result<std::unique_ptr<BrowserProfile>> make();
  ~BrowserProfile();
  BrowserProfile(const BrowserProfile&) = delete;
  BrowserProfile& operator=(const BrowserProfile&) = delete;

  // The run's folder, which is also the engine's working folder.
  const std::string& folder() const { return folder_; }
  // The engine's own user data folder.
  std::string userDataFolder() const { return folder_ + "/profile"; }
  // The engine's environment: ours, with its home, temporary, configuration and cache folders
  // (made here) inside the run's folder, so that it writes nothing elsewhere.
  std::vector<std::string> childEnvironment() const;

 private:
  BrowserProfile(std::string folder, int lock) : folder_(std::move(folder)), lock_(lock) {}

  std::string folder_;
  int lock_;
};

}  // namespace platform
