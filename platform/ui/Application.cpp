#include "platform/ui/Application.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/harness/Harness.h"
#include "platform/ui/Exposure.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace platform {

namespace {


std::shared_ptr<Application>& instance() {
  // The centre that the application's objects leave while they are destroyed is made first,
  // so it outlives them at exit.
  NotificationCenter::defaultCenter();
  static std::shared_ptr<Application> app;
  return app;
}

std::function<int()>& installedDriver() {
  static std::function<int()> driver;
  return driver;
}

bool isKnownScheme(const std::string& scheme) {
  static const char* const known[] = {"http", "https", "mailto", "tel", "sms", "itms", "itms-apps"};
  for (const char* k : known) {
    if (scheme == k) return true;
  }
  return false;
}

}  // namespace

Application::Application() = default;

std::shared_ptr<Application> Application::shared() {
  auto& app = instance();
  if (!app) app = std::make_shared<Application>();
  return app;
}

void Harness::resetApplication() {
  auto& app = instance();
  // Moved out first, so objects that ask for the shared application while they go get a
  // fresh one rather than the one being destroyed.
  auto old = std::move(app);
  app.reset();
  installedDriver() = nullptr;
  resetAnimations();
  clearPresentationLog();
  MailComposeViewController::setCanSendMail(true);
  old.reset();
}

void Application::setDriver(std::function<int()> driver) {
  installedDriver() = std::move(driver);
}

const std::function<int()>& Application::driver() {
  return installedDriver();
}

void Application::keepObjects(std::vector<std::shared_ptr<Responder>> objects) {
  for (auto& o : objects) objects_.push_back(std::move(o));
}

void Application::post(const char* name) {
  NotificationCenter::defaultCenter().postNotification(name, this);
}

void Application::finishLaunching(const Dictionary& options) {
  state_ = ApplicationState::Inactive;
  if (auto d = delegate()) d->applicationDidFinishLaunchingWithOptions(*this, options);
  post(kApplicationDidFinishLaunchingNotification);
  becomeActive();
}

void Application::becomeActive() {
  state_ = ApplicationState::Active;
  if (auto d = delegate()) d->applicationDidBecomeActive(*this);
  post(kApplicationDidBecomeActiveNotification);
}

bool Application::enterBackground() {
  if (state_ == ApplicationState::Background) return false;
  if (state_ == ApplicationState::Active) {
    if (auto d = delegate()) d->applicationWillResignActive(*this);
    post(kApplicationWillResignActiveNotification);
    state_ = ApplicationState::Inactive;
  }
  state_ = ApplicationState::Background;
  exposureMayHaveChanged();
  backgroundSince_ = RunLoop::main().now();
  if (auto d = delegate()) d->applicationDidEnterBackground(*this);
  post(kApplicationDidEnterBackgroundNotification);
  // A suspended application may be ended without another word; what it stored must be safe.
  UserDefaults::standard().synchronize();
  scheduleExpiry();
  return true;
}

bool Application::enterForeground() {
  if (state_ != ApplicationState::Background) return false;
  expiryTimer_.reset();
  state_ = ApplicationState::Inactive;
  exposureMayHaveChanged();
  if (auto d = delegate()) d->applicationWillEnterForeground(*this);
  post(kApplicationWillEnterForegroundNotification);
  becomeActive();
  return true;
}

void Application::terminate() {
  terminating_ = true;
  RunLoop::main().stop();
}

void Application::sendWillTerminate() {
  if (terminated_) return;
  terminated_ = true;
  if (auto d = delegate()) d->applicationWillTerminate(*this);
  post(kApplicationWillTerminateNotification);
}

void Application::simulateMemoryWarning() {
  if (auto d = delegate()) d->applicationDidReceiveMemoryWarning(*this);
  post(kApplicationDidReceiveMemoryWarningNotification);
}

Rect Application::statusBarFrame() const {
  if (statusBarHidden_) return {};
  Rect screen = Screen::bounds();
  double width = isLandscape(orientation_) ? screen.size.height : screen.size.width;
  return Rect(0, 0, width, DeviceProfile::current().statusBarHeight);
}

void Application::setStatusBarOrientation(InterfaceOrientation orientation) {
  orientation_ = orientation;
  exposureMayHaveChanged();
}

bool Application::canOpenURL(const URL& url) const {
  return isKnownScheme(url.scheme());
}

void Application::setStatusBarHiddenWithAnimation(bool hidden, StatusBarAnimation animation) {
  statusBarHidden_ = hidden;
  exposureMayHaveChanged();
  if (statusBarChanges_.size() >= kStatusBarChangeLimit) {
    statusBarChanges_.erase(statusBarChanges_.begin());
  }
  statusBarChanges_.push_back({hidden, animation});
}

void Application::recordSentMail(SentMail mail) {
  std::string to;
  for (const auto& address : mail.to) to += (to.empty() ? "" : ", ") + address;
  // Addresses and subjects come from ad pages: escaped, a mail cannot add lines to the log.
  log("mail sent to " + (to.empty() ? std::string("nobody") : text::singleLine(to)) + ": \"" +
      text::singleLine(mail.subject) + "\"");
  if (sentMail_.size() == kOpenedRecordLimit) sentMail_.erase(sentMail_.begin());
  sentMail_.push_back(std::move(mail));
}

bool Application::openURL(const URL& url) {
  if (openedURLs_.size() == kOpenedRecordLimit) openedURLs_.erase(openedURLs_.begin());
  openedURLs_.push_back(url.absoluteString());
  log("open URL: " + url.absoluteString());
  return canOpenURL(url);
}

BackgroundTaskIdentifier Application::beginBackgroundTaskWithExpirationHandler(
    std::function<void()> handler) {
  BackgroundTaskIdentifier id = nextTask_++;
  tasks_[id] = std::move(handler);
  if (state_ == ApplicationState::Background && !expiryTimer_) scheduleExpiry();
  return id;
}

void Application::endBackgroundTask(BackgroundTaskIdentifier task) {
  if (tasks_.erase(task) == 0) {
    log("endBackgroundTask: no open background task " + std::to_string(task));
  }
}

Duration Application::backgroundTimeRemaining() const {
  if (state_ != ApplicationState::Background) return Duration::max();
  const Duration left = kBackgroundTimeLimit - (RunLoop::main().now() - backgroundSince_);
  return std::max(left, Duration::zero());
}

void Application::scheduleExpiry() {
  std::weak_ptr<Application> weak = std::static_pointer_cast<Application>(shared_from_this());
  expiryTimer_ = RunLoop::main().scheduleTimer(backgroundTimeRemaining(), false, [weak](Timer&) {
    if (auto app = weak.lock()) app->expireTasks();
  });
}

void Application::expireTasks() {
  expiryTimer_.reset();
  // Handlers usually end their own task; a copy lets them.
  auto open = tasks_;
  for (auto& [id, handler] : open) {
    if (tasks_.count(id) && handler) handler();
  }
  if (!tasks_.empty()) {
    log("background tasks still open after " + describeNumber(toSeconds(kBackgroundTimeLimit)) +
        " s in the background: " + std::to_string(tasks_.size()));
  }
}

bool Application::setDeviceOrientation(InterfaceOrientation orientation) {
  deviceOrientation_ = orientation;
  auto window = keyWindow();
  auto top = window ? window->topViewController() : nullptr;
  if (!top || orientation == orientation_) return false;
  if (!top->shouldAutorotateToInterfaceOrientation(orientation)) return false;
  orientation_ = orientation;
  exposureMayHaveChanged();
  top->rotateToInterfaceOrientation(orientation, kRotationDuration, Screen::applicationFrame());
  return true;
}

}  // namespace platform
