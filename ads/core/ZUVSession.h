#pragma once

#include "platform/foundation/Registration.h"

// What the ad controllers of one process share: whether the application has finished launching
// (a request made before that goes through while the application is inactive) and the removal
// of the ad pages that earlier runs left. The first ad controller starts it; a test's fresh
// device starts a new session. Main thread only.
class ZUVSession {
 public:
  static ZUVSession& shared();
  ZUVSession(const ZUVSession&) = delete;
  ZUVSession& operator=(const ZUVSession&) = delete;

  // Every controller as it is made: the first of a process starts watching for launch and
  // removes what earlier runs left.
  void controllerMade();
  // Whether the platform's did-finish-launching notification has been seen in this session.
  bool didAppFinishLaunching() const { return didFinishLaunching_; }
  // Starts a new session: launch is yet to come.
  void observeLaunch();
  // Removes the cached files that earlier runs left (their ad pages: a killed run cannot
  // remove its own).
  static void removeAdPagesOfEarlierRuns();

 private:
  ZUVSession() = default;

  bool didFinishLaunching_ = false;
  bool watchingForLaunch_ = false;  // since the first controller, or a new session
  bool leftoversRemoved_ = false;
  platform::Registration launchObserver_;
};
