#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Export.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Responder.h"
#include "platform/ui/ViewController.h"

namespace platform {

class Application;
class Window;

// The platform's application states.
enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

inline constexpr const char* kApplicationDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* kApplicationDidBecomeActiveNotification =
    "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* kApplicationWillResignActiveNotification =
    "UIApplicationWillResignActiveNotification";
inline constexpr const char* kApplicationDidEnterBackgroundNotification =
    "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* kApplicationWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* kApplicationWillTerminateNotification =
    "UIApplicationWillTerminateNotification";
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

using BackgroundTaskIdentifier = std::uint64_t;
inline constexpr BackgroundTaskIdentifier kBackgroundTaskInvalid = 0;

// The shared application object: state and lifecycle, status bar, URL opening, background
// tasks and device rotation. The driver calls (enterBackground, enterForeground, terminate,
// setDeviceOrientation, simulateMemoryWarning) stand for what the user and the system do.
class VOZAVE_API Application : public Responder {
 public:
  // Seconds of background time that open background tasks get before they expire.
  static constexpr double kBackgroundTimeLimit = 600;

  Application();

  // Created on first use; resetShared() releases it and everything the main interface made.
  static std::shared_ptr<Application> shared();
  static void resetShared();  // for tests: a fresh application next time
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

  // The handler runs when the application has spent kBackgroundTimeLimit seconds of run-loop
  // time in the background with the task still open.
  BackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler);
  // Closes the task; its handler will not run. An unknown task is logged.
  void endBackgroundTask(BackgroundTaskIdentifier task);
  std::size_t openBackgroundTaskCount() const { return tasks_.size(); }  // begun and not yet ended
  // Seconds left before open tasks expire; a very large number in the foreground.
  double backgroundTimeRemaining() const;

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
  double backgroundSince_ = 0;
  TimerHandle expiryTimer_;
};

}  // namespace platform
