#include "tests/support/TestWorld.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "ads/core/ZUVSession.h"
#include "ads/support/ZUVEndpoints.h"
#include "ads/support/ZUVStatistics.h"
#include "app/main.h"
#include "platform/device/Device.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/net/HostResolution.h"
#include "platform/ui/Application.h"
#include "platform/web/Browser.h"

namespace velour_test {

namespace fs = std::filesystem;

namespace {

// Neither a test nor a tool it runs keeps anything in the user's own data folder: a home left
// to its default (named by the bundle identifier under $XDG_DATA_HOME) lands in a folder of
// this test program's, which goes when the program ends.
class PrivateDataFolder {
 public:
  PrivateDataFolder() {
    std::string pattern = (fs::temp_directory_path() / "velour-data-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
    ::setenv("XDG_DATA_HOME", path_.empty() ? "/nonexistent" : path_.c_str(), 1);
  }
  ~PrivateDataFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  PrivateDataFolder(const PrivateDataFolder&) = delete;
  PrivateDataFolder& operator=(const PrivateDataFolder&) = delete;

 private:
  std::string path_;
};

const PrivateDataFolder privateDataFolder;

}  // namespace

TestWorld::TestWorld()
    : savedBundle_(platform::Bundle::main().resourcePath()),
      savedIdentity_(platform::Bundle::main().identity()) {
  // The test program is an application of its own; AppSession runs the soundboard as itself.
  platform::Bundle::main().setIdentity({"com.velour.tests", "Velour tests", "1.0"});
  std::string pattern = (fs::temp_directory_path() / "velour-test-XXXXXX").string();
  if (char* made = mkdtemp(pattern.data())) home_ = made;
  ZUVStatistics::releaseSharedStatistics();  // counts and timings start afresh with the home
  platform::Harness::resetRunLoop(true);
  platform::Harness::resetApplication();
  platform::FileManager::defaultManager().setHomeDirectory(home_);
  platform::UserDefaults::resetStandard();
  ZUVSession::shared().observeLaunch();  // a fresh device: launch is yet to come
  // Banners load from the first screen on; their traffic must never leave the machine. Port 9
  // (discard) is closed on the test hosts, so every fetch fails at once.
  for (const char* host : {kZUVStaticContentHost, kZUVAdServerHost}) {
    platform::HostResolution::shared().map(host, "127.0.0.1", 9);
  }
}

TestWorld::~TestWorld() {
  // A failed test shows what the system logged, which the capture otherwise keeps to itself.
  if (::testing::Test::HasFailure()) {
    for (const auto& line : log_.lines()) std::cerr << "log: " << line << "\n";
  }
  // An engine started in this world keeps its profile in the home folder that goes below; one
  // left running there fails the next test's page loads on some hosts.
  platform::Browser::shutdown();
  ZUVStatistics::releaseSharedStatistics();
  platform::HostResolution::shared().clear();
  // Without a network nothing is fetched: a test that took it away gives it back.
  platform::DeviceProfile::current().reachability = platform::NetworkReachability::WiFi;
  platform::Harness::resetApplication();
  platform::Harness::resetRunLoop(false);
  platform::Bundle::main().setResourcePath(savedBundle_);
  platform::Bundle::main().setIdentity(savedIdentity_);  // the soundboard's stays in its session
  platform::UserDefaults::resetStandard();
  std::error_code ignored;
  if (!home_.empty()) fs::remove_all(home_, ignored);
}

std::string TestWorld::makeFolder(const std::string& name) const {
  fs::path path = fs::path(home_) / name;
  fs::create_directories(path);
  return path.string();
}

std::string TestWorld::writeFile(const std::string& folder, const std::string& name,
                                 const std::string& text) {
  fs::path path = fs::path(folder) / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

void TestWorld::useBundle(const std::string& path) {
  platform::Bundle::main().setResourcePath(path);
}

int AppSession::run(const std::function<void()>& body) {
  platform::Bundle::main().setIdentity({});
  platform::Application::setDriver([&body] {
    body();
    return 0;
  });
  char name[] = "velour";
  char* argv[] = {name, nullptr};
  return velourMain(1, argv);
}

std::shared_ptr<platform::Window> AppSession::window() const {
  return platform::Application::shared()->keyWindow();
}

std::shared_ptr<platform::TabBarController> AppSession::tabs() const {
  auto w = window();
  return w ? std::dynamic_pointer_cast<platform::TabBarController>(w->rootViewController())
           : nullptr;
}

bool AppSession::tap(const std::string& title) const {
  auto w = window();
  return w && w->tapButton(title);
}

bool AppSession::selectTab(int index) const {
  auto t = tabs();
  return t && t->userSelectTab(index);
}

}  // namespace velour_test
