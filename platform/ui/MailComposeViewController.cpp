#include "platform/ui/MailComposeViewController.h"

#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/Screen.h"

namespace platform {

namespace {

constexpr double kBarHeight = 44;
constexpr double kRowHeight = 36;
constexpr double kInset = 8;
constexpr double kButtonWidth = 68;
constexpr double kButtonHeight = 30;

bool& mailAccount() {
  static bool configured = true;
  return configured;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

}  // namespace

std::shared_ptr<MailComposeViewController> MailComposeViewController::create() {
  return std::make_shared<MailComposeViewController>();
}

MailComposeViewController::MailComposeViewController()
    : ViewController("MailComposeViewController") {
  setNibName("");
}

void MailComposeViewController::setToRecipients(std::vector<std::string> to) {
  to_ = std::move(to);
  showFields();
}

void MailComposeViewController::setCcRecipients(std::vector<std::string> cc) {
  cc_ = std::move(cc);
  showFields();
}

void MailComposeViewController::setBccRecipients(std::vector<std::string> bcc) {
  bcc_ = std::move(bcc);
  showFields();
}

void MailComposeViewController::setSubject(std::string subject) {
  subject_ = std::move(subject);
  showFields();
}

void MailComposeViewController::setMessageBody(std::string body, bool isHTML) {
  body_ = std::move(body);
  bodyIsHTML_ = isHTML;
  showFields();
}

void MailComposeViewController::loadView() {
  const Rect frame = Screen::applicationFrame();
  const double width = frame.size.width;
  auto root = View::create(frame);
  root->setBackgroundColor("white");
  auto bar = View::create(Rect(0, 0, width, kBarHeight));
  bar->setBackgroundColor("#6d84a2");
  bar->setAutoresizingMask(kAutoresizingFlexibleWidth);
  root->addSubview(bar);
  bar->addSubview(Label::create(
      Rect(kInset * 2 + kButtonWidth, 0, width - 4 * kInset - 2 * kButtonWidth, kBarHeight),
      "New Message"));
  auto addButton = [&](const char* title, double x, MailComposeResult result) {
    auto button = Button::buttonWithType(ButtonType::RoundedRect);
    button->setTitle(title);
    button->setFrame(Rect(x, (kBarHeight - kButtonHeight) / 2, kButtonWidth, kButtonHeight));
    addAction(title, [this, result](const std::shared_ptr<View>&) { (void)finish(result); });
    button->addTargetActionForControlEvents(self(), title, kControlEventTouchUpInside);
    bar->addSubview(button);
  };
  addButton("Cancel", kInset, MailComposeResult::Cancelled);
  addButton("Send", width - kInset - kButtonWidth, MailComposeResult::Sent);
  fieldLabels_.clear();
  double y = kBarHeight;
  for (int row = 0; row < 5; ++row) {
    const bool body = row == 4;
    const double height = body ? frame.size.height - y : kRowHeight;
    auto label = Label::create(Rect(kInset, y, width - 2 * kInset, height));
    root->addSubview(label);
    fieldLabels_.push_back(label);
    y += height;
    if (body) break;
    auto rule = View::create(Rect(0, y - 1, width, 1));
    rule->setBackgroundColor("#c8c8c8");
    root->addSubview(rule);
  }
  setView(root);
  showFields();
}

void MailComposeViewController::showFields() {
  if (fieldLabels_.size() < 5) return;
  fieldLabels_[0]->setText("To: " + joined(to_));
  fieldLabels_[1]->setText("Cc: " + joined(cc_));
  fieldLabels_[2]->setText("Bcc: " + joined(bcc_));
  fieldLabels_[3]->setText("Subject: " + subject_);
  fieldLabels_[4]->setText(body_);
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
