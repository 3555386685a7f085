#pragma once

#include <string>
#include <vector>

#include "ads/web/ZUVViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Registration.h"

namespace velour_test {

// Records the ad client's full-screen notifications in `events` by their short names
// ("WillPresentFullScreen", "DidRelinquishFullScreen") while the registrations returned live.
inline std::vector<platform::Registration> recordFullScreenEvents(
    std::vector<std::string>& events) {
  std::vector<platform::Registration> observers;
  for (const char* name :
       {ZUVViewControllerWillPresentFullScreen, ZUVViewControllerDidRelinquishFullScreen}) {
    observers.push_back(platform::NotificationCenter::defaultCenter().addObserver(
        name, nullptr, [&events](const platform::Notification& n) {
          events.push_back(n.name.substr(sizeof "ZUVViewController" - 1));
        }));
  }
  return observers;
}

}  // namespace velour_test
