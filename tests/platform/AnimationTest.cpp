#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/harness/Harness.h"
#include "platform/ui/View.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::AnimationTransition;
using platform::Rect;
using platform::RunLoop;
using platform::View;

namespace {

class AnimationTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world_;  // the manual clock and no animations left from before
};

// Records the did-stop calls that an animation delegate receives.
class StopRecorder : public platform::Responder {
 public:
  StopRecorder() {
    addAction("animationDidStop:",
              [this](const std::shared_ptr<View>&) { stops.push_back(RunLoop::main().now()); });
  }
  std::vector<platform::Instant> stops;
};

TEST_F(AnimationTest, ACommittedBlockAppliesItsEndStateAtOnceAndIsRecorded) {
  auto board = View::create(Rect(0, 0, 320, 411));
  auto panel = View::create(Rect(0, 0, 320, 411));
  panel->setAlpha(0.5);  // outside a block: not recorded
  EXPECT_TRUE(platform::Harness::animationLog().empty());

  View::beginAnimations("flip");
  View::setAnimationDuration(1.0s);
  View::setAnimationTransitionForView(AnimationTransition::FlipFromRight, board, true);
  board->addSubview(panel);
  panel->setAlpha(0);
  EXPECT_EQ(panel->alpha(), 0);  // the end state at once
  EXPECT_TRUE(platform::Harness::animationLog().empty());
  View::commitAnimations();

  // Its settings and an alpha change are checked by the soundboard's information screens.
  ASSERT_EQ(platform::Harness::animationLog().size(), 1u);
  const auto& changes = platform::Harness::animationLog()[0].changes;
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].property + " " + changes[0].value, "subviews +View");

  View::commitAnimations();  // an unbalanced commit does nothing
  EXPECT_EQ(platform::Harness::animationLog().size(), 1u);
}

TEST_F(AnimationTest, NestedBlocksAreRecordedOnceWithTheOutermostSettings) {
  auto v = View::create(Rect(0, 0, 10, 10));
  View::beginAnimations("outer");
  View::setAnimationDuration(0.5s);
  View::beginAnimations("inner");
  View::setAnimationDuration(3s);
  View::setAnimationTransitionForView(AnimationTransition::CurlUp, v, false);
  v->setFrame(Rect(0, 0, 20, 20));
  View::commitAnimations();
  EXPECT_TRUE(View::isInAnimationBlock());
  EXPECT_TRUE(platform::Harness::animationLog().empty());
  v->setHidden(true);
  View::commitAnimations();

  ASSERT_EQ(platform::Harness::animationLog().size(), 1u);
  const auto& r = platform::Harness::animationLog()[0];
  EXPECT_EQ(r.name, "outer");
  EXPECT_DOUBLE_EQ(platform::toSeconds(r.duration), 0.5);
  EXPECT_EQ(r.transition, AnimationTransition::None);
  ASSERT_EQ(r.changes.size(), 2u);
  EXPECT_EQ(r.changes[0].value, "0,0,20,20");
  EXPECT_EQ(r.changes[1].property, "hidden");
}

TEST_F(AnimationTest, TheDelegateHearsTheStopAfterTheDurationUnlessReset) {
  auto recorder = std::make_shared<StopRecorder>();
  auto v = View::create();
  View::beginAnimations();
  View::setAnimationDuration(0.5s);
  View::setAnimationDelegate(recorder);
  View::setAnimationDidStopSelector("animationDidStop:");
  v->setAlpha(0);
  View::commitAnimations();
  platform::Harness::advance(0.4s);
  EXPECT_TRUE(recorder->stops.empty());
  platform::Harness::advance(0.2s);
  EXPECT_EQ(recorder->stops, std::vector{platform::Instant(0.5s)});

  View::beginAnimations();
  View::setAnimationDelegate(recorder);
  View::setAnimationDidStopSelector("animationDidStop:");
  View::commitAnimations();
  platform::Harness::resetAnimations();
  platform::Harness::advance(1s);
  EXPECT_EQ(recorder->stops.size(), 1u);
}

}  // namespace
