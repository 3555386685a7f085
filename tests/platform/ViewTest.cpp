#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/ui/Button.h"
#include "platform/ui/View.h"

using platform::Point;
using platform::Rect;
using platform::View;

namespace {

TEST(ViewTest, AutoresizingFollowsTheSuperviewsSizeChange) {
  auto parent = View::create(Rect(0, 0, 320, 460));
  auto fixed = View::create(Rect(10, 10, 100, 40));
  auto stretch = View::create(Rect(20, 0, 280, 411));
  stretch->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                               platform::kAutoresizingFlexibleHeight);
  auto foot = View::create(Rect(0, 411, 320, 49));
  foot->setAutoresizingMask(platform::kAutoresizingFlexibleWidth |
                            platform::kAutoresizingFlexibleTopMargin);
  // Both margins flexible: the change is shared in proportion to them (60 and 20).
  auto centred = View::create(Rect(60, 0, 240, 10));
  centred->setAutoresizingMask(platform::kAutoresizingFlexibleLeftMargin |
                               platform::kAutoresizingFlexibleRightMargin);
  auto inner = View::create(Rect(0, 0, 280, 10));
  inner->setAutoresizingMask(platform::kAutoresizingFlexibleWidth);
  for (const auto& v : {fixed, stretch, foot, centred}) parent->addSubview(v);
  stretch->addSubview(inner);

  parent->setFrame(Rect(0, 0, 480, 300));
  EXPECT_EQ(stretch->frame(), Rect(20, 0, 440, 251));
  EXPECT_EQ(foot->frame(), Rect(0, 251, 480, 49));
  EXPECT_EQ(centred->frame(), Rect(180, 0, 240, 10));
  EXPECT_EQ(inner->frame(), Rect(0, 0, 440, 10));  // the change travels down the tree

  // A view that stops autoresizing its subviews leaves them be.
  stretch->setAutoresizesSubviews(false);
  parent->setFrame(Rect(0, 0, 320, 460));
  EXPECT_EQ(stretch->frame(), Rect(20, 0, 280, 411));
  EXPECT_EQ(inner->frame(), Rect(0, 0, 440, 10));

  // Moving a view without resizing it changes nothing below it.
  parent->setFrame(Rect(5, 5, 320, 460));
  EXPECT_EQ(foot->frame(), Rect(0, 411, 320, 49));
}

TEST(ViewTest, HitTestFindsTheDeepestFrontMostTouchableView) {
  auto root = View::create(Rect(0, 0, 320, 480));
  auto back = View::create(Rect(0, 0, 320, 200));
  auto front = View::create(Rect(0, 100, 320, 200));
  auto child = platform::Button::create(Rect(10, 10, 50, 50), "B");
  root->addSubview(back);
  root->addSubview(front);
  front->addSubview(child);

  EXPECT_EQ(root->hitTest({5, 150}), front);  // front-most where they overlap
  EXPECT_EQ(root->hitTest({20, 120}), child);
  EXPECT_EQ(root->hitTest({5, 400}), root);
  EXPECT_EQ(root->hitTest({400, 5}), nullptr);

  front->setAlpha(0.005);
  EXPECT_EQ(root->hitTest({20, 120}), back);
  front->setAlpha(1);
  front->setHidden(true);
  EXPECT_EQ(root->hitTest({20, 120}), back);
  front->setHidden(false);
  front->setUserInteractionEnabled(false);
  EXPECT_EQ(root->hitTest({20, 120}), back);
  front->setUserInteractionEnabled(true);

  root->bringSubviewToFront(back);
  EXPECT_EQ(root->hitTest({20, 120}), back);
  // Bounds with an offset origin scroll the content.
  front->removeFromSuperview();
  root->addSubview(front);
  front->setBounds(Rect(0, 10, 320, 200));
  EXPECT_EQ(root->hitTest({20, 105}), child);
  EXPECT_EQ(child->frameInWindow(), Rect(10, 100, 50, 50));
}

TEST(ViewTest, SubviewsMoveBetweenParentsAndCyclesAreRefused) {
  platform::LogCapture log;
  auto a = View::create(Rect(0, 0, 10, 10));
  auto b = View::create(Rect(0, 0, 10, 10));
  auto c = View::create(Rect(0, 0, 10, 10));
  a->addSubview(b);
  b->addSubview(c);
  EXPECT_FALSE(c->addSubview(a));
  EXPECT_FALSE(b->addSubview(b));
  EXPECT_TRUE(log.contains("refused"));

  a->addSubview(c);  // moves it
  EXPECT_TRUE(b->subviews().empty());
  EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>>{b, c}));
  a->addSubview(b);  // again: to the front
  EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>>{c, b}));
  a->insertSubviewAtIndex(View::create(), 99);
  a->bringSubviewToFront(c);
  EXPECT_EQ(a->subviews()[2], c);
  a->insertSubviewBelowSubview(c, b);
  EXPECT_EQ(a->subviews()[0], c);

  std::weak_ptr<View> gone = c;
  c->setTag(7);
  EXPECT_EQ(a->viewWithTag(7), c);
  c->removeFromSuperview();
  c.reset();
  EXPECT_TRUE(gone.expired());  // the superview was its only owner
  // A view that no shared_ptr owns cannot take subviews, and says so without throwing.
  View loose(Rect(0, 0, 1, 1));
  EXPECT_FALSE(loose.addSubview(b));
}

TEST(ViewTest, APointIsReadFromTwoFiniteNumbers) {
  EXPECT_EQ(platform::pointFromText(" 12.5 , -3"), (platform::Point{12.5, -3}));
  for (const char* bad : {"12", "1,", ",2", "1,2,3", "1;2", "nan,1", "1,inf", "0x1,2", "1e999,2"}) {
    EXPECT_FALSE(platform::pointFromText(bad)) << bad;
  }
}

}  // namespace
