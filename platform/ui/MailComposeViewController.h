#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/ViewController.h"

namespace platform {

class Label;
class MailComposeViewController;

// The platform's results of a mail composer.
enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

inline constexpr const char* kMailComposeErrorDomain = "MFMailComposeErrorDomain";
enum MailComposeErrorCode : long {
  kMailComposeErrorSaveFailed = 0,
  kMailComposeErrorSendFailed = 1
};

// Told when the user is done with a mail composer; it dismisses the composer.
class MailComposeViewControllerDelegate {
 public:
  virtual ~MailComposeViewControllerDelegate() = default;
  // `error` is set only for a failed composer.
  virtual void mailComposeControllerDidFinishWithResult(
      const std::shared_ptr<MailComposeViewController>& controller, MailComposeResult result,
      const Error* error) = 0;
};

// The platform's mail sheet: the ad client fills it from a "mailto" link and presents it
// modally. Headless, the fields are recorded and a driver (velour, a test) finishes the sheet
// as the user would; a sent mail is recorded by the application object.
class MailComposeViewController : public ViewController {
 public:
  static std::shared_ptr<MailComposeViewController> create();
  MailComposeViewController();

  // Whether the device has a mail account; a driver can turn it off.
  static bool canSendMail();
  static void setCanSendMail(bool can);

  const std::vector<std::string>& toRecipients() const { return to_; }
  void setToRecipients(std::vector<std::string> to);
  const std::vector<std::string>& ccRecipients() const { return cc_; }
  void setCcRecipients(std::vector<std::string> cc);
  const std::vector<std::string>& bccRecipients() const { return bcc_; }
  void setBccRecipients(std::vector<std::string> bcc);
  const std::string& subject() const { return subject_; }
  void setSubject(std::string subject);
  const std::string& messageBody() const { return body_; }
  bool isBodyHTML() const { return bodyIsHTML_; }
  void setMessageBody(std::string body, bool isHTML);

  // Not owned.
  std::shared_ptr<MailComposeViewControllerDelegate> mailComposeDelegate() const {
    return delegate_.lock();
  }
  void setMailComposeDelegate(const std::shared_ptr<MailComposeViewControllerDelegate>& delegate) {
    delegate_ = delegate;
  }

  // The driver's call: the user sends, saves, cancels, or the sending fails. Sending without
  // a mail account fails. The delegate hears the result (with an error for a failure). A
  // composer finishes once: later calls are refused.
  [[nodiscard]] bool finish(MailComposeResult result);
  std::optional<MailComposeResult> result() const { return result_; }

  std::string className() const override { return "MailComposeViewController"; }
  // The sheet as a user sees it: a bar with Cancel and Send (each finishes the composer), the
  // recipients, the subject and the body.
  void loadView() override;

 private:
  void showFields();

  std::vector<std::string> to_, cc_, bcc_;
  std::string subject_;
  std::string body_;
  bool bodyIsHTML_ = false;
  std::weak_ptr<MailComposeViewControllerDelegate> delegate_;
  std::optional<MailComposeResult> result_;
  // The field rows, in the order of their setters; made with the view.
  std::vector<std::shared_ptr<Label>> fieldLabels_;
};

}  // namespace platform
