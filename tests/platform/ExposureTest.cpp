#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Exposure.h"
#include "platform/ui/Window.h"
#include "tests/support/TestWorld.h"

namespace platform {
void PrintTo(const Rect& rect, std::ostream* out) {
  *out << describeRect(rect);
}
}  // namespace platform

using platform::Application;
using platform::exposureOf;
using platform::Rect;
using platform::View;
using platform::ViewController;
using platform::Window;

namespace {

class ExposureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window->makeKeyAndVisible();
    window->addSubview(content);
    content->addSubview(ad);
  }

  velour_test::TestWorld world;
  std::shared_ptr<Window> window = Window::create();  // 320 x 480, status bar 20 high
  std::shared_ptr<View> content = View::create(Rect(0, 20, 320, 450));
  // 50 high, its lower 40 points below the content view's foot.
  std::shared_ptr<View> ad = View::create(Rect(0, 440, 320, 50));
};

TEST_F(ExposureTest, ClipsByAncestorsAndTakesOffWhatIsDrawnAbove) {
  EXPECT_DOUBLE_EQ(exposureOf(*ad).percent, 20);
  EXPECT_EQ(exposureOf(*ad).visible, Rect(0, 0, 320, 10));
  EXPECT_TRUE(exposureOf(*ad).occlusions.empty());
  // The window's bounds are the screen's edge.
  content->setFrame(Rect(0, 20, 320, 600));
  EXPECT_DOUBLE_EQ(exposureOf(*ad).percent, 40);
  content->setFrame(Rect(0, 20, 320, 450));

  // A later sibling of an ancestor (an information screen's flip side) with a background covers
  // the left half; one without, or a custom button without a title, covers nothing.
  auto flipSide = View::create(Rect(0, 460, 160, 20));
  window->addSubview(flipSide);
  window->addSubview(View::create(Rect(0, 0, 320, 480)));
  content->addSubview(platform::Button::buttonWithType(platform::ButtonType::Custom));
  content->subviews().back()->setFrame(Rect(160, 440, 50, 50));
  EXPECT_DOUBLE_EQ(exposureOf(*ad).percent, 20);
  flipSide->setBackgroundColor("darkgray");
  auto covered = exposureOf(*ad);
  EXPECT_DOUBLE_EQ(covered.percent, 10);
  EXPECT_EQ(covered.occlusions, std::vector<Rect>{Rect(0, 0, 160, 10)});
  // Overlapping covers count once; the ad's own subviews draw above it too.
  ad->addSubview(platform::Label::create(Rect(80, 0, 160, 20), "text"));
  EXPECT_DOUBLE_EQ(exposureOf(*ad).percent, 5);

  // Nothing shows while anything up the tree is hidden or transparent, out of a window, or in
  // the background.
  auto none = [&] {
    auto exposure = exposureOf(*ad);
    return exposure.percent == 0 && !exposure.visible && exposure.occlusions.empty();
  };
  content->setAlpha(0);
  EXPECT_TRUE(none());
  content->setAlpha(1);
  window->setHidden(true);
  EXPECT_TRUE(none());
  window->setHidden(false);
  ASSERT_TRUE(Application::shared()->enterBackground());
  EXPECT_TRUE(none());
  ASSERT_TRUE(Application::shared()->enterForeground());
  EXPECT_FALSE(none());
  content->removeFromSuperview();
  EXPECT_TRUE(none());

  // Turned, a full screen below the status bar is the screen's landscape width; a view that
  // the window's upright frame would cut shows whole.
  Application::shared()->setStatusBarOrientation(platform::InterfaceOrientation::LandscapeLeft);
  auto screen = View::create(Rect(0, 20, 480, 300));
  window->addSubview(screen);
  EXPECT_DOUBLE_EQ(exposureOf(*screen).percent, 100);
  EXPECT_EQ(exposureOf(*screen).visible, Rect(0, 0, 480, 300));
  screen->setFrame(Rect(0, 20, 480, 400));
  EXPECT_DOUBLE_EQ(exposureOf(*screen).percent, 75);
}

TEST_F(ExposureTest, APresentedScreenHidesTheViewAndObserversHearOnceAPass) {
  auto root = std::make_shared<ViewController>();
  root->view()->addSubview(ad);
  window->setRootViewController(root);
  EXPECT_GT(exposureOf(*ad).percent, 0);

  int heard = 0;
  auto observing = platform::observeExposureChanges([&] { ++heard; });
  ASSERT_TRUE(root->presentModalViewController(std::make_shared<ViewController>(), false));
  EXPECT_EQ(exposureOf(*ad).percent, 0);
  root->dismissModalViewController(false);
  ad->setHidden(true);
  EXPECT_EQ(heard, 0);  // on a later pass
  platform::RunLoop::main().runOnce();
  EXPECT_EQ(heard, 1);

  // A notice already posted is not delivered once the registration has gone.
  ad->setHidden(false);
  EXPECT_GT(exposureOf(*ad).percent, 0);
  observing.cancel();
  platform::RunLoop::main().runOnce();
  EXPECT_EQ(heard, 1);
}

}  // namespace
