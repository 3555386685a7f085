#include "ads/core/ZUVRewardCountdown.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <system_error>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/TimeText.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"

namespace {

constexpr const char* kAskAction = "countdownTapped";
constexpr const char* kCloseAction = "closeNowTapped";
constexpr const char* kResumeAction = "keepWatchingTapped";

// Of a header sent more than once (read as one value joined with ", ") the first counts.
std::string_view firstValue(std::string_view value, const char* header) {
  auto comma = value.find(',');
  if (comma == std::string_view::npos) return platform::text::trimmed(value);
  platform::log(
      std::string("<Vozave> The rewarded ad's ") + header +
      " header came more than once; the first counts: " + platform::text::singleLine(value));
  return platform::text::trimmed(value.substr(0, comma));
}

// A leading whole number; the rest of `text` follows in `rest`.
std::optional<std::int64_t> leadingNumber(std::string_view text, std::string_view& rest,
                                          bool& tooLarge) {
  std::int64_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  tooLarge = error == std::errc::result_out_of_range;
  if (end == text.data()) return std::nullopt;
  // Out of range still consumed the digits.
  rest = text.substr(static_cast<std::size_t>(end - text.data()));
  if (tooLarge) return text.front() == '-' ? -1 : std::numeric_limits<std::int64_t>::max();
  return number;
}

bool isPrintable(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// The target of the countdown's buttons.
class CountdownTarget : public platform::Responder {
 public:
  void on(const char* action, std::function<void()> run) {
    addAction(action, [run = std::move(run)](const std::shared_ptr<platform::View>&) { run(); });
  }
  std::string className() const override { return "ZUVRewardCountdownTarget"; }
};

std::shared_ptr<platform::Button> button(const platform::Rect& frame, std::string title,
                                         const std::shared_ptr<platform::Responder>& target,
                                         const char* action) {
  auto control = platform::Button::create(frame, std::move(title));
  control->addTargetActionForControlEvents(target, action, platform::kControlEventTouchUpInside);
  return control;
}

}  // namespace

ZUVAdReward ZUVRewardCountdown::readReward(const std::optional<std::string>& header) {
  auto nothing = [](const std::string& why) {
    platform::log("<Vozave> The rewarded ad offers no reward: " + why);
    return ZUVAdReward{};
  };
  if (!header) return nothing(std::string("its answer has no ") + kRewardHeader + " header");
  std::string_view value = firstValue(*header, kRewardHeader);
  std::string_view rest;
  bool tooLarge = false;
  std::optional<std::int64_t> amount = leadingNumber(value, rest, tooLarge);
  std::string_view type = platform::text::trimmed(rest);
  const bool separated = !rest.empty() && platform::text::isASCIIBlank(rest.front());
  if (!amount || !separated || type.empty() || type.size() > kMaximumTypeBytes ||
      !isPrintable(type)) {
    return nothing("its header does not read as \"<amount> <type>\": " +
                   platform::text::singleLine(*header));
  }
  if (*amount < 0) return nothing("its amount is negative: " + platform::text::singleLine(*header));
  ZUVAdReward reward{*amount, std::string(type)};
  if (reward.amount > kMaximumAmount) {
    platform::log("<Vozave> The rewarded ad's amount is lowered to " +
                  std::to_string(kMaximumAmount) + ": " + platform::text::singleLine(*header));
    reward.amount = kMaximumAmount;
  }
  return reward;
}

platform::Duration ZUVRewardCountdown::readWatchTime(const std::optional<std::string>& header) {
  const platform::Duration fallback = ZUVRewardedAd::kDefaultWatchTime;
  if (!header) return fallback;
  std::string_view value = firstValue(*header, kWatchTimeHeader);
  std::string_view rest;
  bool tooLarge = false;
  std::optional<std::int64_t> count = leadingNumber(value, rest, tooLarge);
  if (!count || !rest.empty()) {
    platform::log(std::string("<Vozave> The rewarded ad's ") + kWatchTimeHeader +
                  " is no whole number of seconds; it is watched for " +
                  platform::secondsText(fallback) + " s: " + platform::text::singleLine(*header));
    return fallback;
  }
  platform::Duration asked = platform::seconds(static_cast<double>(*count));
  platform::Duration held = std::clamp(asked, kMinimumWatchTime, kMaximumWatchTime);
  if (held != asked) {
    platform::log(std::string("<Vozave> The rewarded ad's ") + kWatchTimeHeader + " is held to " +
                  platform::secondsText(held) + " s: " + platform::text::singleLine(*header));
  }
  return held;
}

ZUVRewardCountdown::ZUVRewardCountdown(platform::Duration watchTime,
                                       std::shared_ptr<platform::Button> closeControl,
                                       std::function<void()> completed)
    : remaining_(watchTime),
      closeControl_(std::move(closeControl)),
      completed_(std::move(completed)) {
  auto target = std::make_shared<CountdownTarget>();
  target->on(kAskAction, weak_.bind([](ZUVRewardCountdown& self) { self.ask(); }));
  target->on(kCloseAction, weak_.bind([](ZUVRewardCountdown& self) { self.closeNow(); }));
  target->on(kResumeAction, weak_.bind([](ZUVRewardCountdown& self) { self.keepWatching(); }));
  target_ = target;
  auto screen = closeControl_ ? closeControl_->superview() : nullptr;
  if (!screen) return;
  closeControl_->setHidden(true);
  // Wider than the close control, so that its words fit, and at the same corner.
  platform::Rect corner = closeControl_->frame();
  const double width = 3 * corner.size.width;
  countdown_ =
      button(platform::Rect(corner.maxX() - width, corner.minY(), width, corner.size.height),
             countdownTitle(), target_, kAskAction);
  countdown_->setAutoresizingMask(closeControl_->autoresizingMask());
  screen->addSubview(countdown_);
  ticker_ = platform::RunLoop::main().scheduleTimer(
      kTick, true, weak_.bind([](ZUVRewardCountdown& self, platform::Timer&) { self.tick(); }));
}

ZUVRewardCountdown::~ZUVRewardCountdown() {
  ticker_.reset();
  if (countdown_) countdown_->removeFromSuperview();
  if (question_) question_->removeFromSuperview();
}

std::string ZUVRewardCountdown::countdownTitle() const {
  return "Reward in " + std::to_string(static_cast<long>(std::ceil(remaining_.count()))) + " s";
}

// The time counts only while someone can watch: not in the background, not while asked.
void ZUVRewardCountdown::tick() {
  auto application = platform::Application::shared();
  if (question_ || isComplete()) return;
  if (application && application->applicationState() != platform::ApplicationState::Active) return;
  remaining_ = std::max(platform::Duration::zero(), remaining_ - kTick);
  if (isComplete()) {
    complete();
    return;
  }
  countdown_->setTitle(countdownTitle());
}

void ZUVRewardCountdown::complete() {
  ticker_.reset();
  if (question_) question_->removeFromSuperview();
  question_.reset();
  countdown_->removeFromSuperview();
  countdown_.reset();
  closeControl_->setHidden(false);
  if (auto completed = std::move(completed_)) completed();
}

void ZUVRewardCountdown::ask() {
  auto screen = countdown_ ? countdown_->superview() : nullptr;
  if (question_ || !screen) return;
  const platform::Rect area = screen->bounds();
  const double width = 260, height = 120;
  question_ = platform::View::create(
      platform::Rect(area.midX() - width / 2, area.midY() - height / 2, width, height));
  question_->setBackgroundColor("white");
  question_->addSubview(platform::Label::create(platform::Rect(10, 10, width - 20, 50),
                                                "Close now and lose the reward?"));
  question_->addSubview(
      button(platform::Rect(10, 70, 115, 40), kCloseNowTitle, target_, kCloseAction));
  question_->addSubview(
      button(platform::Rect(135, 70, 115, 40), kKeepWatchingTitle, target_, kResumeAction));
  screen->addSubview(question_);
}

void ZUVRewardCountdown::stop() {
  ticker_.reset();
  completed_ = nullptr;
}

void ZUVRewardCountdown::keepWatching() {
  if (question_) question_->removeFromSuperview();
  question_.reset();
}

// The container's own close, as its control would: the ad goes and nothing is earned.
void ZUVRewardCountdown::closeNow() {
  keepWatching();
  stop();
  platform::log("<Vozave> The rewarded ad was closed before its time; no reward.");
  auto control = closeControl_;
  control->sendActionsForControlEvents(platform::kControlEventTouchUpInside);
}
