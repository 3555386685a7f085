#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/URL.h"
#include "platform/ui/ViewController.h"

class ZUVNotification;

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
// "open" messages, mail links and links of schemes that are not web schemes. Main thread only.
//
// Deciding what to open, the mail fields and leaving the application are done here; showing
// the browser, the web application and the mail composer is left to the overridable ends,
// which do nothing until those controllers exist.
class ZUVOpener {
 public:
  virtual ~ZUVOpener() = default;

  std::shared_ptr<platform::ViewController> viewController() const {
    return viewController_.lock();
  }
  void setViewController(std::weak_ptr<platform::ViewController> controller) {
    viewController_ = std::move(controller);
  }
  // Told before the application is left; the delegate fan-out's willLeaveApplication.
  void setWillLeaveApplication(std::function<void()> handler) {
    willLeaveApplication_ = std::move(handler);
  }

  // Opens the target of an "open" message by its "a", "u", "html" and "o" parameters; a
  // message without a usable URL, unless a web application with HTML, is dropped.
  void openNotification(const ZUVNotification& message);
  // Fills a mail composer from the link and presents it; a malformed link shows nothing.
  void openEmailComposer(const platform::URL& url);
  // Leaves the application for the URL once running click trackings have ended, retrying
  // every 0.3 s at most three times; null does nothing.
  void openApp(const std::optional<platform::URL>& url);

  virtual void openBrowserToURLSupportedOrientations(const platform::URL& url,
                                                     std::int32_t orientations);
  virtual void openWebAppSupportedOrientations(const platform::URL& url, std::int32_t orientations);
  virtual void openWebAppWithHTMLSupportedOrientations(const std::string& html,
                                                       std::int32_t orientations);
  virtual void presentMailComposer(const ZUVMailFields& fields);

  // The fields of the link after "mailto:"; null for text too short to hold that prefix.
  [[nodiscard]] static std::optional<ZUVMailFields> mailFieldsFromURL(const platform::URL& url);
  // "p" portrait, "l" landscape, anything else any.
  static std::int32_t orientationsFromParameter(const std::optional<std::string>& value);
  // Delayed attempts of openApp made since the application was last left; process-wide.
  static std::int32_t repeatCount() { return repeatCount_; }

 private:
  static void attemptToLeave(const platform::URL& url, std::function<void()> willLeave);

  static inline std::int32_t repeatCount_ = 0;

  std::weak_ptr<platform::ViewController> viewController_;
  std::function<void()> willLeaveApplication_;
};
