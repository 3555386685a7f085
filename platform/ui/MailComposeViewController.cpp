#include "platform/ui/MailComposeViewController.h"

#include "platform/ui/Application.h"

namespace platform {

namespace {
bool& mailAccount() {
  static bool configured = true;
  return configured;
}
}  // namespace

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
  return std::make_shared<MailComposeViewController>();
}

MailComposeViewController::MailComposeViewController()
    : ViewController("MailComposeViewController") {
  setNibName("");
}

bool MailComposeViewController::canSendMail() {
  return mailAccount();
}

void MailComposeViewController::setCanSendMail(bool can) {
  mailAccount() = can;
}

bool MailComposeViewController::finish(MailComposeResult result) {
  if (result_) return false;
  auto keep = std::static_pointer_cast<MailComposeViewController>(self());
  if (result == MailComposeResult::Sent && !canSendMail()) result = MailComposeResult::Failed;
  result_ = result;
  std::optional<Error> error;
  if (result == MailComposeResult::Sent) {
    Application::shared()->recordSentMail({to_, cc_, bcc_, subject_, body_, bodyIsHTML_});
  } else if (result == MailComposeResult::Failed) {
    error = Error::make(kMailComposeErrorDomain, kMailComposeErrorSendFailed,
                        "The mail could not be sent.");
  }
  if (auto delegate = delegate_.lock()) {
    delegate->mailComposeControllerDidFinishWithResult(keep, result, error ? &*error : nullptr);
  }
  return true;
}

}  // namespace platform
