#include "ads/core/ZUVSession.h"

#include <string>

#include "ads/support/ZUVCachedFile.h"
#include "ads/support/ZUVEndpoints.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URL.h"
#include "platform/ui/Application.h"

ZUVSession& ZUVSession::shared() {
  // The centre is made first so that it outlives the session's launch observer.
  platform::NotificationCenter::defaultCenter();
  static ZUVSession session;
  return session;
}

void ZUVSession::controllerMade() {
  if (!watchingForLaunch_) observeLaunch();
  if (!leftoversRemoved_) {
    leftoversRemoved_ = true;
    removeAdPagesOfEarlierRuns();
  }
}

void ZUVSession::observeLaunch() {
  watchingForLaunch_ = true;
  didFinishLaunching_ = false;
  launchObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationDidFinishLaunchingNotification, nullptr,
      [this](const platform::Notification&) {
        didFinishLaunching_ = true;
        launchObserver_.cancel();
      });
}

void ZUVSession::removeAdPagesOfEarlierRuns() {
  // Cached files live in <caches>/<host>/<hash in hex>; of those only the support script is
  // kept between runs. Only folders that cached files made are looked into: the application's
  // own cache files may have names like ours.
  auto& files = platform::FileManager::defaultManager();
  if (!files.hasCachesDirectory()) return;
  auto script = ZUVCachedFile::create({}, *platform::URL::parse(kZUVSupportScriptURL))->filePath();
  if (!script) return;
  const std::string caches = files.cachesDirectory();
  auto isHashName = [](const std::string& name) {
    return !name.empty() && name.size() <= 8 &&
           name.find_first_not_of("0123456789abcdef") == std::string::npos;
  };
  for (const std::string& host : files.contentsOfDirectory(caches)) {
    const std::string folder = caches + "/" + host;
    if (!ZUVCachedFile::isOwnFolder(folder)) continue;
    for (const std::string& name : files.contentsOfDirectory(folder)) {
      const std::string path = folder + "/" + name;
      if (path != *script && isHashName(name) && !files.removeItem(path)) {
        platform::log("<Vozave> Could not remove an ad page left by an earlier run: " + path);
      }
    }
  }
}
