#include "ads/web/ZUVOpener.h"

#include <string_view>

#include "ads/support/ZUVNetworkUtilities.h"
#include "ads/support/ZUVStatistics.h"
#include "ads/web/ZUVBrowserController.h"
#include "ads/web/ZUVClickTracker.h"
#include "ads/web/ZUVNotification.h"
#include "ads/web/ZUVWebAppViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"

namespace {

constexpr std::size_t kMailtoPrefixLength = 7;  // "mailto:"
constexpr platform::Duration kLeaveRetryDelay = platform::milliseconds(300);
constexpr std::int32_t kLeaveRetries = 3;
// The delayed attempts belong to the process, not to the opener that began them: an ad view
// that closes meanwhile must not stop the user from getting where the click was going.
platform::DelayedCalls& delayedLeaves() {
  static platform::DelayedCalls calls;
  return calls;
}

std::optional<std::string> textParameter(const platform::Dictionary& parameters,
                                         std::string_view key) {
  const platform::Value* value = parameters.find(key);
  if (!value || !value->isString()) return std::nullopt;
  return value->stringValue();
}

std::vector<std::string> splitAtCommas(const std::optional<std::string>& text) {
  std::vector<std::string> parts;
  if (!text) return parts;
  std::size_t start = 0;
  for (std::size_t comma = text->find(','); comma != std::string::npos;
       comma = text->find(',', start)) {
    parts.push_back(text->substr(start, comma - start));
    start = comma + 1;
  }
  parts.push_back(text->substr(start));
  return parts;
}

}  // namespace

class ZUVOpener::MailDelegate : public platform::MailComposeViewControllerDelegate {
 public:
  explicit MailDelegate(ZUVOpener& opener) : opener_(opener) {}
  void mailComposeControllerDidFinishWithResult(
      const std::shared_ptr<platform::MailComposeViewController>& controller,
      platform::MailComposeResult, const platform::Error*) override {
    opener_.mailComposeControllerDidFinish(controller);
  }

 private:
  ZUVOpener& opener_;
};

ZUVOpener::ZUVOpener() : mailDelegate_(std::make_shared<MailDelegate>(*this)) {}

ZUVOpener::~ZUVOpener() = default;

std::int32_t ZUVOpener::orientationsFromParameter(const std::optional<std::string>& value) {
  if (value == "p") return kZUVOrientationsPortrait;
  if (value == "l") return kZUVOrientationsLandscape;
  return kZUVOrientationsAny;
}

void ZUVOpener::openNotification(const ZUVNotification& message) {
  const platform::Dictionary parameters = message.parameters().value_or(platform::Dictionary());
  std::optional<std::string> action = textParameter(parameters, "a");
  std::optional<std::string> target = textParameter(parameters, "u");
  std::optional<std::string> html = textParameter(parameters, "html");
  std::optional<platform::URL> url = target ? platform::URL::parse(*target) : std::nullopt;
  std::int32_t orientations = orientationsFromParameter(textParameter(parameters, "o"));
  if (!url) {
    if (html && action == "webapp") {
      ZUVStatistics::sharedStatistics().urlForClick(std::nullopt);
      openWebAppWithHTMLSupportedOrientations(*html, orientations);
    }
    return;
  }
  platform::URL clickURL = ZUVStatistics::sharedStatistics().urlForClick(*url);
  if (action == "browser" || action == "video") {
    openBrowserToURLSupportedOrientations(clickURL, orientations);
  } else if (action == "webapp") {
    openWebAppSupportedOrientations(clickURL, orientations);
  } else {
    openApp(clickURL);
  }
}

std::optional<ZUVMailFields> ZUVOpener::mailFieldsFromURL(const platform::URL& url) {
  const std::string& text = url.absoluteString();
  if (text.size() < kMailtoPrefixLength) return std::nullopt;
  std::string rest = text.substr(kMailtoPrefixLength);
  ZUVMailFields fields;
  std::size_t question = rest.find('?');
  fields.toRecipients.push_back(rest.substr(0, question));
  if (question == std::string::npos) return fields;
  platform::Dictionary query =
      ZUVNetworkUtilities::dictionaryFromQueryString(std::string_view(rest).substr(question + 1));
  fields.ccRecipients = splitAtCommas(textParameter(query, "cc"));
  fields.bccRecipients = splitAtCommas(textParameter(query, "bcc"));
  fields.subject = textParameter(query, "subject");
  fields.body = textParameter(query, "body");
  return fields;
}

void ZUVOpener::openEmailComposer(const platform::URL& url) {
  if (auto fields = mailFieldsFromURL(url)) presentMailComposer(*fields);
}

void ZUVOpener::openApp(const std::optional<platform::URL>& url) {
  if (url) attemptToLeave(*url, delegateManager_);
}

void ZUVOpener::attemptToLeave(const platform::URL& url,
                               std::shared_ptr<ZUVAdEventReporting> delegateManager) {
  if (ZUVClickTracker::activeTrackings() && repeatCount_++ < kLeaveRetries) {
    delayedLeaves().performAfterDelay(
        kLeaveRetryDelay, [url, delegateManager] { attemptToLeave(url, delegateManager); });
    return;
  }
  repeatCount_ = 0;
  if (delegateManager) delegateManager->willLeaveApplication();
  // The platform opens the URL once the current work has finished.
  delayedLeaves().performAfterDelay(platform::Duration::zero(),
                                    [url] { (void)platform::Application::shared()->openURL(url); });
}

void ZUVOpener::openBrowserToURLSupportedOrientations(const platform::URL& url,
                                                      std::int32_t orientations) {
  auto browser = ZUVBrowserController::create();
  browser->setSupportedOrientations(orientations);
  browser->load(url, referringURL_);
  browser->setDelegateManager(delegateManager_);
  browser->setOpenedByTap(gate_);
  // The browser holds itself while it is on screen.
  browser->presentFromViewController(viewController());
}

std::shared_ptr<ZUVWebAppViewController> ZUVOpener::webAppOrientations(
    std::int32_t orientations) const {
  auto webApp = ZUVWebAppViewController::create();
  webApp->setSupportedOrientations(orientations);
  webApp->setDelegateManager(delegateManager_);
  webApp->setOpenedByTap(gate_);
  return webApp;
}

void ZUVOpener::openWebAppSupportedOrientations(const platform::URL& url,
                                                std::int32_t orientations) {
  auto webApp = webAppOrientations(orientations);
  webApp->load(url);
  webApp->presentFromViewController(viewController());
}

void ZUVOpener::openWebAppWithHTMLSupportedOrientations(const std::string& html,
                                                        std::int32_t orientations) {
  auto webApp = webAppOrientations(orientations);
  webApp->loadHTMLBaseURL(html, std::nullopt);
  webApp->presentFromViewController(viewController());
}

void ZUVOpener::presentMailComposer(const ZUVMailFields& fields) {
  auto presenter = viewController();
  if (!presenter) return;
  // A closed ad screen is off the screen: a composer over it would never be seen.
  if (auto screen = std::dynamic_pointer_cast<ZUVViewController>(presenter);
      screen && !screen->holdsScreen()) {
    platform::log("<Vozave> The ad's screen is closed; the mail composer not shown.");
    return;
  }
  auto composer = platform::MailComposeViewController::create();
  composer->setMailComposeDelegate(mailDelegate_);
  composer->setToRecipients(fields.toRecipients);
  composer->setCcRecipients(fields.ccRecipients);
  composer->setBccRecipients(fields.bccRecipients);
  composer->setSubject(fields.subject.value_or(""));
  composer->setMessageBody(fields.body.value_or(""), false);
  composer->setModalTransitionStyle(platform::ModalTransitionStyle::CoverVertical);
  // A refused composer has been logged by the platform and goes with this scope.
  (void)presenter->presentModalViewController(composer, true);
}

void ZUVOpener::mailComposeControllerDidFinish(
    const std::shared_ptr<platform::MailComposeViewController>& controller) {
  if (controller) controller->dismissModalViewController(true);
  if (auto presenter = viewController()) (void)presenter->becomeFirstResponder();
}
