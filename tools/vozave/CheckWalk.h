#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ads/core/ZUVBannerView.h"
#include "ads/mraid/ZUVMraidController.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ViewController.h"
#include "tools/velour/Phone.h"
#include "tools/vozave/CheckReport.h"
#include "tools/vozave/CheckScript.h"

namespace vozave {

struct WalkOptions {
  bool interstitial = false;
  int width = 320, height = 50;  // the banner's size in points
  double quietSeconds = 2;       // the time with no input after the ad is ready
  std::string picturesFolder;    // empty: no pictures
  std::vector<std::string> blockedHosts;
  std::vector<std::string> ownHosts;  // the check's ad server: never an insecure request
  bool offline = false;               // requests beyond the check's ad server are refused
  // Steps of the user's between the load and the unload; empty: the fixed walk's.
  std::vector<ScriptCommand> script;
  bool showLog = false;  // the developer log goes on to standard error as well
  // Whether the creative has been served: a load that failed before it was is the phone's
  // (its engine slow to start on a busy machine) and is tried once more.
  std::function<bool()> creativeServed;
};

// The fixed walk of `vozave check` on the headless phone: the creative, served by the check's
// own ad server, loads into a banner on a bare screen (or an interstitial over it); then a
// quiet time with no input, a tap at the ad's centre, the closing of what the tap opened,
// a rotation, the background and back, and the ad's unload. Each step is printed as it ends
// and pictured; what the page did meanwhile (the developer log's refusals, limits, MRAID
// errors and console errors, and every request it made) becomes findings of the report.
// A script (--script) takes the place of the steps between the load and the unload. The check
// command runs it once the application has launched, on the run loop's real clock.
class CheckWalk {
 public:
  CheckWalk(WalkOptions options, CheckReport& report, std::ostream& out);
  // Gives the developer log back and stops watching new web views.
  ~CheckWalk();
  CheckWalk(const CheckWalk&) = delete;
  CheckWalk& operator=(const CheckWalk&) = delete;

  void run();

 private:
  struct Traffic;

  void warmUp();
  bool load();
  void loadBanner();
  void awaitReady();
  void quiet();
  void tap();
  [[nodiscard]] platform::Result<void> tapAd(std::optional<platform::Point> at);
  void closeWhatOpened();
  void rotate();
  void background();
  void unload();
  void measure();
  void findHiddenConsole(platform::WebView& page);
  void runScript();
  // One command of the script as a step of its own; its outcome, or why it could not be done.
  std::string perform(const ScriptCommand& command);

  // The log's lines come on any thread: they wait for the main thread to take them.
  void keepLogLine(const std::string& line);
  void takeLogLines();
  void endStep(const std::string& outcome);
  std::shared_ptr<platform::WebView> adPage();
  ZUVMraidController* mraid();

  WalkOptions options_;
  CheckReport& report_;
  std::ostream& out_;
  std::string step_ = "load";
  platform::LogSink previousSink_;
  std::mutex logMutex_;  // guards the lines kept
  std::vector<std::string> keptLines_;
  static constexpr std::size_t kMaxKeptLines = 10000;
  std::shared_ptr<Traffic> traffic_;
  std::shared_ptr<platform::ViewController> root_;
  std::shared_ptr<platform::Window> window_;
  velour::Phone phone_;
  std::shared_ptr<ZUVBannerView> banner_;
  std::shared_ptr<ZUVBannerViewDelegate> events_;
  bool received_ = false;
  std::string failure_;
};

}  // namespace vozave
