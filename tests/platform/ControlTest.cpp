#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"

using platform::Button;
using platform::Rect;
using platform::View;

namespace {

class Target : public platform::Responder {
 public:
  Target() {
    addAction("hit:", [this](const std::shared_ptr<View>& sender) {
      calls.push_back("hit:" + sender->title());
    });
    addAction("down:", [this](const std::shared_ptr<View>&) { calls.push_back("down:"); });
  }
  std::vector<std::string> calls;
};

TEST(ControlTest, ActionsGoToTheirTargetsForTheirEventsAndUnansweredOnesLogOneLine) {
  platform::LogCapture log;
  auto target = std::make_shared<Target>();
  auto button = Button::create(Rect(0, 0, 50, 20), "Go");
  button->addTargetActionForControlEvents(target, "hit:", platform::kControlEventTouchUpInside);
  button->addTargetActionForControlEvents(target, "down:", platform::kControlEventTouchDown);
  button->addTargetActionForControlEvents(target, "nope:", platform::kControlEventTouchUpInside);

  button->tap();
  EXPECT_EQ(target->calls, (std::vector<std::string>{"down:", "hit:Go"}));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "Responder does not respond to nope: (sent by Button \"Go\")");

  button->sendActionsForControlEvents(platform::kControlEventValueChanged);
  EXPECT_EQ(target->calls.size(), 2u);

  button->removeTargetActionForControlEvents(target.get(),
                                             "nope:", platform::kControlEventTouchUpInside);
  EXPECT_EQ(button->actionsForControlEvent(platform::kControlEventTouchUpInside),
            std::vector<std::string>{"hit:"});
  button->setEnabled(false);
  button->tap();
  EXPECT_EQ(target->calls.size(), 2u);

  // Targets are not owned: a gone target leaves a log line, not a crash.
  button->setEnabled(true);
  log.clear();
  target.reset();
  button->tap();
  EXPECT_TRUE(log.contains("no target for action hit:"));
}

// A 1 x 1 pixel PNG, at twice the screen's scale.
std::shared_ptr<platform::Image> dot() {
  return platform::Image::imageWithData(
      *platform::text::base64Decode("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+"
                                    "M9QDwADhgGAWjR9awAAAABJRU5ErkJggg=="),
      2.0);
}

TEST(ControlTest, AnImageButtonShowsTheImageOfItsStateAndGlowsWhenTouched) {
  auto normal = dot(), pressed = dot();
  auto button = Button::buttonWithType(platform::ButtonType::Custom);
  button->setImageForState(normal, platform::kControlStateNormal);
  button->setImageForState(pressed, platform::kControlStateHighlighted);
  EXPECT_EQ(button->currentImage(), normal);
  EXPECT_EQ(button->imageForState(platform::kControlStateSelected), normal);  // falls back
  EXPECT_EQ(button->describe(), "Button image 0.5x0.5");
  button->setEnabled(false);
  button->setShowsTouchWhenHighlighted(true);
  button->tap();  // disabled: no touch, no glow
  button->setEnabled(true);
  button->tap();
  EXPECT_EQ(button->glowCount(), 1);
  button->setShowsTouchWhenHighlighted(false);
  button->tap();
  EXPECT_EQ(button->glowCount(), 1);
}

}  // namespace
