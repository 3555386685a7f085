#pragma once

/// @file
/// platform::Application, its delegate protocol and lifecycle notifications, and
/// platform::UIApplicationMain for an application laid out by an interface resource.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "velourphone/ApplicationMain.h"
#include "velourphone/Export.h"
#include "velourphone/Responder.h"
#include "velourphone/RunLoop.h"
#include "velourphone/URL.h"
#include "velourphone/Value.h"
#include "velourphone/ViewController.h"

namespace platform {

class Application;
class Window;

// The platform's application states.
enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

// The lifecycle notifications, posted on the default notification centre with the application
// as object: launch is done.
inline constexpr const char* kApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
// Lifecycle: now in front and taking touches.
inline constexpr const char* kApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
// Lifecycle: about to stop taking touches.
inline constexpr const char* kApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
// Lifecycle: gone to the background.
inline constexpr const char* kApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
// Lifecycle: coming back from the background.
inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
// Lifecycle: the last chance to save.
inline constexpr const char* kApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";
// Lifecycle: drop what can be remade.
inline constexpr const char* kApplicationDidReceiveMemoryWarningNotification =
    "UIApplicationDidReceiveMemoryWarningNotification";

// The application delegate protocol; every message is optional (the defaults do nothing).
class VOZAVE_API ApplicationDelegate : public Responder {
 public:
  // Launch is done; the options say why the application was started.
  virtual bool applicationDidFinishLaunchingWithOptions(Application&, const Dictionary&) {
    return true;
  }
  virtual void applicationDidBecomeActive(Application&) {}      // now in front and taking touches
  virtual void applicationWillResignActive(Application&) {}     // about to stop taking touches
  virtual void applicationDidEnterBackground(Application&) {}   // save state here
  virtual void applicationWillEnterForeground(Application&) {}  // coming back from the background
  virtual void applicationWillTerminate(Application&) {}        // the last chance to save
  virtual void applicationDidReceiveMemoryWarning(Application&) {}  // drop what can be remade

  // For logs and interfaces.
  std::string className() const override { return "ApplicationDelegate"; }
};

// How the status bar comes and goes.
enum class StatusBarAnimation { None = 0, Fade = 1, Slide = 2 };

// One call that hid or showed the status bar.
struct StatusBarChange {
  bool hidden = false;                                      // the state it asked for
  StatusBarAnimation animation = StatusBarAnimation::None;  // how it asked to get there
};

// A mail that the user sent from a mail composer.
struct SentMail {
  std::vector<std::string> to,  // the main recipients' addresses
      cc,                       // the copied recipients' addresses
      bcc;                      // the hidden recipients' addresses
  std::string subject;          // the subject line
  std::string body;             // the message text
  bool isHTML = false;          // whether the body is HTML rather than plain text
};

using BackgroundTaskIdentifier = std::uint64_t;  // names an open background task
inline constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;  // names no task

// The shared application object: state and lifecycle, status bar, URL opening, background
// tasks and device rotation. The driver calls (enterBackground, enterForeground, terminate,
// setDeviceOrientation, simulateMemoryWarning) stand for what the user and the system do.
class VOZAVE_API Application : public Responder {
 public:
  // The background time that open background tasks get before they expire.
  static constexpr Duration kBackgroundTimeLimit = seconds(600);
  // How long the interface takes to turn to a new orientation.
  static constexpr Duration kRotationDuration = seconds(0.3);

  Application();

  // Created on first use.
  static std::shared_ptr<Application> shared();
  // A function that runs the session instead of the run loop (front end, tests). It pumps
  // RunLoop::main() itself and returns the exit status.
  static void setDriver(std::function<int()> driver);
  static const std::function<int()>& driver();  // the installed driver, or none

  ApplicationState applicationState() const { return state_; }  // inactive until launched
  // The delegate that hears the lifecycle, if it still lives.
  std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_.lock(); }
  // Not owned: the main interface keeps the delegate.
  void setDelegate(const std::shared_ptr<ApplicationDelegate>& delegate) { delegate_ = delegate; }
  // The window that takes touches, if it still lives.
  std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
  // Not owned; Window::makeKeyAndVisible calls it.
  void setKeyWindow(const std::shared_ptr<Window>& window) { keyWindow_ = window; }
  // The main interface's objects, owned here for the life of the application.
  void keepObjects(std::vector<std::shared_ptr<Responder>> objects);

  // Launch: the delegate's didFinishLaunching, the did-finish-launching notification, then
  // the application becomes active.
  void finishLaunching(const Dictionary& options = {});
  // The user leaves the application (resign active, then enter background); false unless it
  // was in the foreground.
  bool enterBackground();
  // The user comes back (enter foreground, then become active); false unless it was in the
  // background.
  bool enterForeground();
  // Asks the session to end: the run loop stops, the driver sees isTerminating().
  void terminate();
  bool isTerminating() const { return terminating_; }  // whether terminate() was called
  // The way out: the delegate's willTerminate and the notification, once.
  void sendWillTerminate();
  // The system runs short of memory: the delegate and the notification hear of it.
  void simulateMemoryWarning();

  bool isStatusBarHidden() const { return statusBarHidden_; }  // shown until hidden
  // Hides or shows the status bar at once.
  void setStatusBarHidden(bool hidden) {
    setStatusBarHiddenWithAnimation(hidden, StatusBarAnimation::None);
  }
  // Hides or shows the status bar; the change is recorded in statusBarChanges().
  void setStatusBarHiddenWithAnimation(bool hidden, StatusBarAnimation animation);
  // The older call: an animated change slides.
  void setStatusBarHiddenAnimated(bool hidden, bool animated) {
    setStatusBarHiddenWithAnimation(
        hidden, animated ? StatusBarAnimation::Slide : StatusBarAnimation::None);
  }
  // The latest calls that set the status bar's hidden state, oldest first, at most
  // kStatusBarChangeLimit of them.
  static constexpr std::size_t kStatusBarChangeLimit = 256;
  // The hidden-state changes kept, oldest first.
  const std::vector<StatusBarChange>& statusBarChanges() const { return statusBarChanges_; }
  // The way the status bar, and so the interface, faces.
  InterfaceOrientation statusBarOrientation() const { return orientation_; }
  // Turns the status bar alone, as an application may without rotating its views.
  void setStatusBarOrientation(InterfaceOrientation orientation);
  // In the coordinates of the current orientation; empty while hidden.
  Rect statusBarFrame() const;

  // Records and logs the URL; true for the schemes the phone knows how to open.
  bool openURL(const URL& url);
  bool canOpenURL(const URL& url) const;  // whether openURL would take its scheme
  // The newest kOpenedRecordLimit URLs opened and mails sent are kept: an ad page could open
  // them without end.
  static constexpr std::size_t kOpenedRecordLimit = 1000;
  // The URLs given to openURL, oldest first, opened or not.
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }
  void clearOpenedURLs() { openedURLs_.clear(); }  // forgets the URLs recorded so far
  // Mail that left the phone through a mail composer, oldest first; logged as it goes.
  void recordSentMail(SentMail mail);
  const std::vector<SentMail>& sentMail() const { return sentMail_; }  // oldest first

  // The handler runs when the application has spent kBackgroundTimeLimit of run-loop time in
  // the background with the task still open.
  BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
  // Closes the task; its handler will not run. An unknown task is logged.
  void endBackgroundTask(BackgroundTaskIdentifier task);
  std::size_t openBackgroundTaskCount() const { return tasks_.size(); }  // begun and not yet ended
  // Time left before open tasks expire; Duration::max() in the foreground.
  Duration backgroundTimeRemaining() const;

  // The device turned: the front-most controller is asked and, if it agrees, rotated; its
  // view takes the new application frame. True if the interface turned.
  bool setDeviceOrientation(InterfaceOrientation orientation);
  InterfaceOrientation deviceOrientation() const { return deviceOrientation_; }  // as last set

  std::string className() const override { return "Application"; }  // for logs and interfaces

 private:
  void becomeActive();
  void scheduleExpiry();
  void expireTasks();
  void post(const char* name);

  ApplicationState state_ = ApplicationState::Inactive;
  std::weak_ptr<ApplicationDelegate> delegate_;
  std::weak_ptr<Window> keyWindow_;
  std::vector<std::shared_ptr<Responder>> objects_;
  bool terminating_ = false;
  bool terminated_ = false;
  bool statusBarHidden_ = false;
  InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
  InterfaceOrientation deviceOrientation_ = InterfaceOrientation::Portrait;
  std::vector<std::string> openedURLs_;
  std::vector<StatusBarChange> statusBarChanges_;
  std::vector<SentMail> sentMail_;
  std::map<BackgroundTaskIdentifier, std::function<void()>> tasks_;
  BackgroundTaskIdentifier nextTask_ = 1;
  Instant backgroundSince_;
  TimerHandle expiryTimer_;
};

}  // namespace platform
