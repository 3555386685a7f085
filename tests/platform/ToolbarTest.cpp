#include <gtest/gtest.h>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/Window.h"
#include "tests/support/TestWorld.h"

using platform::ActivityIndicatorView;
using platform::BarButtonItem;
using platform::BarButtonItemStyle;
using platform::BarButtonSystemItem;
using platform::Rect;
using platform::Toolbar;
using platform::View;

namespace {

class Target : public platform::Responder {
 public:
  Target() {
    for (const char* action : {"back", "done"}) {
      addAction(action, [this, action](const std::shared_ptr<View>&) { calls.push_back(action); });
    }
  }
  std::vector<std::string> calls;
};

// A browser's toolbar at the foot of a 320 x 480 screen: back, forward, a spinner, the
// action item and "Done", with flexible spaces between them.
class ToolbarTest : public ::testing::Test {
 protected:
  ToolbarTest() {
    window->makeKeyAndVisible();
    window->addSubview(root);
    root->addSubview(toolbar);
    toolbar->setAutoresizingMask(
        platform::kAutoresizingFlexibleWidth | platform::kAutoresizingFlexibleTopMargin |
        platform::kAutoresizingFlexibleHeight | platform::kAutoresizingFlexibleBottomMargin);
    spinner->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                                 platform::kAutoresizingFlexibleRightMargin);
    back->setWidth(27);
    back->setEnabled(false);
    back->setAccessibilityLabel("Back");
    spinnerItem->setWidth(20);
    done->setStyle(BarButtonItemStyle::Done);
    done->setAccessibilityLabel("Done");
    toolbar->setItems({back, flexible, forward, flexible, spinnerItem, flexible, done});
  }

  // The spinner sits in the middle of its item's slot.
  void expectSpinnerCentred() {
    Rect slot = toolbar->itemFrames()[4];
    EXPECT_DOUBLE_EQ(spinner->center().x, slot.midX());
    EXPECT_DOUBLE_EQ(spinner->center().y, slot.midY());
  }

  velour_test::TestWorld world;
  std::shared_ptr<Target> target = std::make_shared<Target>();
  std::shared_ptr<platform::Window> window = platform::Window::create(Rect(0, 0, 320, 480));
  std::shared_ptr<View> root = View::create(Rect(0, 0, 320, 480));
  std::shared_ptr<Toolbar> toolbar = Toolbar::create(Rect(0, 436, 320, 44));
  std::shared_ptr<ActivityIndicatorView> spinner = ActivityIndicatorView::create();
  std::shared_ptr<BarButtonItem> flexible =
      BarButtonItem::createWithSystemItem(BarButtonSystemItem::FlexibleSpace);
  std::shared_ptr<BarButtonItem> back =
      BarButtonItem::createWithImage(nullptr, BarButtonItemStyle::Plain, target, "back");
  std::shared_ptr<BarButtonItem> forward =
      BarButtonItem::createWithSystemItem(BarButtonSystemItem::Action, target, "forward");
  std::shared_ptr<BarButtonItem> spinnerItem = BarButtonItem::createWithCustomView(spinner);
  std::shared_ptr<BarButtonItem> done =
      BarButtonItem::createWithSystemItem(BarButtonSystemItem::Done, target, "done");
};

TEST_F(ToolbarTest, ItemsShareTheBarAndCustomViewsFollowTheirSlotsWhenTheBarResizes) {
  auto frames = toolbar->itemFrames();
  ASSERT_EQ(frames.size(), 7u);
  EXPECT_EQ(frames[0], Rect(Toolbar::kInset, 0, 27, 44));
  EXPECT_DOUBLE_EQ(frames[6].maxX(), 320 - Toolbar::kInset);  // flexible spaces take the rest
  EXPECT_DOUBLE_EQ(frames[1].size.width, frames[5].size.width);
  expectSpinnerCentred();

  root->setFrame(Rect(0, 0, 480, 320));  // turned to landscape
  EXPECT_DOUBLE_EQ(toolbar->frame().maxY(), 320);
  EXPECT_LT(toolbar->frame().size.height, 44);
  EXPECT_DOUBLE_EQ(toolbar->itemFrames()[6].maxX(), 480 - Toolbar::kInset);
  expectSpinnerCentred();

  // The spinner shows only while it spins.
  EXPECT_TRUE(spinner->isHidden());
  spinner->startAnimating();
  EXPECT_FALSE(spinner->isHidden());
  spinner->stopAnimating();
  EXPECT_TRUE(spinner->isHidden());

  // New items take the old custom views out of the bar.
  toolbar->setItems({done, nullptr});
  EXPECT_EQ(spinner->superview(), nullptr);
  EXPECT_EQ(toolbar->items().size(), 1u);
}

TEST_F(ToolbarTest, ATouchOnAnEnabledItemSendsItsActionToItsTarget) {
  Rect doneSlot = toolbar->itemFrames()[6];
  EXPECT_TRUE(window->touchAt({doneSlot.midX(), 436 + doneSlot.midY()}));
  EXPECT_FALSE(window->touchAt({toolbar->itemFrames()[0].midX(), 450}));  // back is disabled
  EXPECT_FALSE(window->touchAt({toolbar->itemFrames()[1].midX(), 450}));  // a flexible space
  EXPECT_EQ(target->calls, std::vector<std::string>{"done"});

  back->setEnabled(true);
  EXPECT_TRUE(toolbar->itemWithAccessibilityLabel("Back")->tap());
  EXPECT_EQ(target->calls.back(), "back");
  EXPECT_FALSE(forward->tap());  // the target has no "forward"
  EXPECT_TRUE(world.log().contains("does not respond to forward"));
  target.reset();
  EXPECT_FALSE(done->tap());
  EXPECT_TRUE(world.log().contains("Done: no target for action done"));
}

}  // namespace
