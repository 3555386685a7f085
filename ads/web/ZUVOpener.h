#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/web/ZUVAdEventReporting.h"
#include "platform/foundation/URL.h"
#include "platform/ui/MailComposeViewController.h"
#include "platform/ui/ViewController.h"

class ZUVUserActivationGate;

class ZUVNotification;
class ZUVWebAppViewController;

// Orientations that an ad asks of the full-screen controller it opens.
enum ZUVSupportedOrientations : std::int32_t {
  kZUVOrientationsAny = 1,
  kZUVOrientationsPortrait = 2,
  kZUVOrientationsLandscape = 3,
};

// The fields of a mail composer filled from a "mailto" link.
struct ZUVMailFields {
  std::vector<std::string> toRecipients;
  std::vector<std::string> ccRecipients;
  std::vector<std::string> bccRecipients;
  std::optional<std::string> subject;
  std::optional<std::string> body;
};

// Carries out what an ad asks to open: the in-app browser, a full-screen web application,
// the mail composer, or another application. Each ad web view delegate owns one and hands it
// "open" messages, mail links and links of schemes that are not web schemes; the browser's
// open-outside button uses a fresh one. Main thread only. The ends that show something are
// virtual, so that a tool can print what an ad would open instead.
class ZUVOpener {
 public:
  ZUVOpener();
  virtual ~ZUVOpener();
  ZUVOpener(const ZUVOpener&) = delete;
  ZUVOpener& operator=(const ZUVOpener&) = delete;

  std::shared_ptr<platform::ViewController> viewController() const {
    return viewController_.lock();
  }
  void setViewController(std::weak_ptr<platform::ViewController> controller) {
    viewController_ = std::move(controller);
  }
  // Told before the application is left, and handed to the controllers the opener shows.
  const std::shared_ptr<ZUVAdEventReporting>& delegateManager() const { return delegateManager_; }
  void setDelegateManager(std::shared_ptr<ZUVAdEventReporting> manager) {
    delegateManager_ = std::move(manager);
  }
  // The gate of the web view whose taps the opener carries out; the screens it opens share it.
  void setGate(std::shared_ptr<ZUVUserActivationGate> gate) { gate_ = std::move(gate); }
  // The page on which the ad was clicked; the browser sends it as "Referer".
  const std::optional<platform::URL>& referringURL() const { return referringURL_; }
  void setReferringURL(std::optional<platform::URL> url) { referringURL_ = std::move(url); }

  // Opens the target of an "open" message by its "a", "u", "html" and "o" parameters; a
  // message without a usable URL, unless a web application with HTML, is dropped.
  void openNotification(const ZUVNotification& message);
  // Fills a mail composer from the link and presents it; a malformed link shows nothing.
  void openEmailComposer(const platform::URL& url);
  // Leaves the application for the URL once running click trackings have ended, retrying
  // every 0.3 s at most three times; null does nothing.
  void openApp(const std::optional<platform::URL>& url);

  // Each presents from the opener's view controller; without one, nothing shows.
  virtual void openBrowserToURLSupportedOrientations(const platform::URL& url,
                                                     std::int32_t orientations);
  virtual void openWebAppSupportedOrientations(const platform::URL& url, std::int32_t orientations);
  virtual void openWebAppWithHTMLSupportedOrientations(const std::string& html,
                                                       std::int32_t orientations);
  virtual void presentMailComposer(const ZUVMailFields& fields);
  // A web application with those orientations and this opener's delegate manager.
  std::shared_ptr<ZUVWebAppViewController> webAppOrientations(std::int32_t orientations) const;
  // The composer goes, and the opener's view controller takes the key events again.
  void mailComposeControllerDidFinish(
      const std::shared_ptr<platform::MailComposeViewController>& controller);

  // The fields of the link after "mailto:"; null for text too short to hold that prefix.
  [[nodiscard]] static std::optional<ZUVMailFields> mailFieldsFromURL(const platform::URL& url);
  // "p" portrait, "l" landscape, anything else any.
  static std::int32_t orientationsFromParameter(const std::optional<std::string>& value);
  // Delayed attempts of openApp made since the application was last left; process-wide.
  static std::int32_t repeatCount() { return repeatCount_; }

 private:
  class MailDelegate;

  static void attemptToLeave(const platform::URL& url,
                             std::shared_ptr<ZUVAdEventReporting> delegateManager);

  static inline std::int32_t repeatCount_ = 0;

  std::shared_ptr<ZUVAdEventReporting> delegateManager_;
  std::weak_ptr<platform::ViewController> viewController_;
  std::optional<platform::URL> referringURL_;
  std::shared_ptr<ZUVUserActivationGate> gate_;
  // The composer links to it without owning; it goes with the opener.
  std::shared_ptr<MailDelegate> mailDelegate_;
};
