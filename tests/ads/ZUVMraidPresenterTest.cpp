#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ads/mraid/ZUVMraidPresenter.h"
#include "ads/web/ZUVViewController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/FullScreenEvents.h"
#include "tests/support/RecordingWebView.h"
#include "tests/support/TestWorld.h"

namespace {

using platform::InterfaceOrientation;
using platform::Rect;

class ZUVMraidPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    observers_ = velour_test::recordFullScreenEvents(events_);
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
    // The banner at the foot of the screen, its ad filling it, a sibling above the ad.
    banner_->setFrame(Rect(0, 390, 320, 50));
    root_->view()->addSubview(banner_);
    ad_->setFrame(Rect(0, 0, 320, 50));
    banner_->addSubview(ad_);
    banner_->addSubview(platform::View::create(Rect(0, 0, 10, 10)));
    presenter_.setViewController(root_);
  }

  std::function<void()> countTaps() {
    return [this] { ++closeTaps_; };
  }
  void expectInBanner() {
    EXPECT_EQ(ad_->superview(), banner_);
    EXPECT_EQ(banner_->subviews().front(), ad_);
    EXPECT_EQ(ad_->frame(), Rect(0, 0, 320, 50));
    EXPECT_EQ(presenter_.presentation(), ZUVMraidPresentation::InPlace);
    EXPECT_FALSE(presenter_.closeControl());
  }

  velour_test::TestWorld world_;
  std::vector<std::string> events_;
  std::vector<platform::Registration> observers_;
  std::shared_ptr<platform::Window> window_ = platform::Window::create();
  std::shared_ptr<platform::ViewController> root_ = std::make_shared<platform::ViewController>();
  std::shared_ptr<platform::View> banner_ = platform::View::create();
  std::shared_ptr<velour_test::RecordingWebView> ad_ =
      std::make_shared<velour_test::RecordingWebView>();
  ZUVMraidPresenter presenter_;
  int closeTaps_ = 0;
};

TEST_F(ZUVMraidPresenterTest, ExpandTakesTheWholeScreenWithACloseControlAndRestorePutsItBack) {
  auto app = platform::Application::shared();
  const Rect bannerPlace(0, 390, 320, 50);  // the max-size area starts below the status bar
  EXPECT_EQ(presenter_.defaultPosition(*ad_), bannerPlace);
  ASSERT_TRUE(presenter_.expand(ad_, countTaps()));
  EXPECT_EQ(presenter_.presentation(), ZUVMraidPresentation::Expanded);
  EXPECT_TRUE(app->isStatusBarHidden());
  EXPECT_EQ(ad_->frameInWindow(), Rect(0, 0, 320, 480));
  EXPECT_EQ(presenter_.currentPosition(*ad_), Rect(0, 0, 320, 480));
  EXPECT_EQ(presenter_.maxSize(), (platform::Size{320, 480}));
  EXPECT_EQ(presenter_.defaultPosition(*ad_), bannerPlace);
  EXPECT_EQ(window_->topViewController(), presenter_.frontController());
  auto close = presenter_.closeControl();
  ASSERT_TRUE(close);
  EXPECT_EQ(close->frameInWindow(), Rect(270, 0, 50, 50));
  EXPECT_TRUE(close->currentImage());
  // Expanding again, or resizing while expanded, changes nothing.
  EXPECT_FALSE(presenter_.expand(ad_, countTaps()));
  EXPECT_FALSE(presenter_.resize(ad_, Rect(0, 0, 100, 100), ZUVMraidClosePosition::TopLeft, {}));

  // A person's tap reaches the control; the controller answers it with restore().
  ASSERT_TRUE(presenter_.tapCloseControl());
  EXPECT_EQ(closeTaps_, 1);
  presenter_.restore();
  expectInBanner();
  EXPECT_FALSE(app->isStatusBarHidden());
  EXPECT_EQ(window_->topViewController(), root_);
  EXPECT_EQ(presenter_.currentPosition(*ad_), bannerPlace);
  EXPECT_EQ(events_,
            (std::vector<std::string>{"WillPresentFullScreen", "DidRelinquishFullScreen"}));
  EXPECT_FALSE(presenter_.tapCloseControl());

  // A second part without a place of its own is taken off the screen again.
  auto secondPart = std::make_shared<velour_test::RecordingWebView>();
  ASSERT_TRUE(presenter_.expand(secondPart, countTaps()));
  EXPECT_EQ(ad_->superview(), banner_);
  presenter_.restore();
  EXPECT_FALSE(secondPart->superview());

  // The screen is taken: nothing moves.
  ASSERT_TRUE(
      root_->presentModalViewController(std::make_shared<platform::ViewController>(), false));
  EXPECT_FALSE(presenter_.expand(ad_, countTaps()));
  expectInBanner();
}

TEST_F(ZUVMraidPresenterTest, ResizeMovesTheAdAboveTheAppWithItsCloseRegionThenExpandsAndRestores) {
  ASSERT_TRUE(presenter_.resize(ad_, Rect(10, 300, 300, 100), ZUVMraidClosePosition::BottomLeft,
                                countTaps()));
  EXPECT_EQ(presenter_.presentation(), ZUVMraidPresentation::Resized);
  EXPECT_EQ(ad_->frameInWindow(), Rect(10, 320, 300, 100));
  EXPECT_EQ(presenter_.currentPosition(*ad_), Rect(10, 300, 300, 100));
  EXPECT_EQ(presenter_.defaultPosition(*ad_), Rect(0, 390, 320, 50));
  EXPECT_EQ(presenter_.closeControl()->frameInWindow(), Rect(10, 370, 50, 50));
  EXPECT_EQ(events_, std::vector<std::string>{});  // no full screen: refresh goes on

  // Resized again: the new frame and region; the control is the one the window hits first.
  ASSERT_TRUE(
      presenter_.resize(ad_, Rect(0, 0, 200, 200), ZUVMraidClosePosition::Center, countTaps()));
  EXPECT_EQ(presenter_.closeControl()->frameInWindow(), Rect(75, 95, 50, 50));
  ASSERT_TRUE(presenter_.tapCloseControl());
  EXPECT_EQ(closeTaps_, 1);

  ASSERT_TRUE(presenter_.expand(ad_, countTaps()));
  EXPECT_EQ(ad_->frameInWindow(), Rect(0, 0, 320, 480));
  presenter_.restore();
  expectInBanner();
  EXPECT_EQ(window_->subviews().size(), 1u);  // the resized ad's holder is gone

  // A second part expands from resized: the first goes home at once, holder and all.
  ASSERT_TRUE(
      presenter_.resize(ad_, Rect(0, 0, 200, 200), ZUVMraidClosePosition::TopLeft, countTaps()));
  auto secondPart = std::make_shared<velour_test::RecordingWebView>();
  ASSERT_TRUE(presenter_.expand(secondPart, countTaps()));
  EXPECT_EQ(ad_->superview(), banner_);
  EXPECT_EQ(ad_->frame(), Rect(0, 0, 320, 50));
  EXPECT_EQ(window_->subviews().size(), 1u);  // the ad's screen alone
  presenter_.restore();
  EXPECT_FALSE(secondPart->superview());
  EXPECT_EQ(window_->subviews().size(), 1u);
}

TEST_F(ZUVMraidPresenterTest, AForcedOrientationTurnsThePhoneWhileTheScreenIsUpAndBack) {
  auto app = platform::Application::shared();
  int geometryChanges = 0;
  presenter_.setGeometryChangedHandler([&geometryChanges] { ++geometryChanges; });
  presenter_.forceOrientation(ZUVMraidForcedOrientation::Landscape, true);
  EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientation::Portrait);  // not up yet
  ASSERT_TRUE(presenter_.presentInterstitial(ad_, countTaps()));
  EXPECT_TRUE(platform::isLandscape(app->statusBarOrientation()));
  EXPECT_EQ(ad_->frameInWindow(), Rect(0, 0, 480, 320));
  EXPECT_EQ(presenter_.screenSize(), (platform::Size{480, 320}));
  EXPECT_EQ(presenter_.closeControl()->frameInWindow(), Rect(430, 0, 50, 50));
  EXPECT_EQ(geometryChanges, 1);
  // The device turning cannot take a forced screen out of landscape.
  app->setDeviceOrientation(InterfaceOrientation::Portrait);
  EXPECT_TRUE(platform::isLandscape(app->statusBarOrientation()));

  // Changed while up: the phone turns at once; released, it follows the device.
  presenter_.forceOrientation(ZUVMraidForcedOrientation::Portrait, false);
  EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientation::Portrait);
  EXPECT_EQ(ad_->frameInWindow(), Rect(0, 0, 320, 480));
  app->setDeviceOrientation(InterfaceOrientation::LandscapeRight);
  presenter_.releaseOrientation();
  EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientation::LandscapeRight);
  EXPECT_EQ(geometryChanges, 3);

  presenter_.restore();
  EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientation::Portrait);
  EXPECT_EQ(root_->interfaceOrientation(), InterfaceOrientation::Portrait);
  EXPECT_EQ(root_->view()->frame(), Rect(0, 20, 320, 460));
  expectInBanner();
}

}  // namespace
