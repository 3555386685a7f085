#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ads/core/ZUVDelegateManager.h"
#include "ads/support/ZUVStatistics.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

using platform::RunLoop;
using platform::View;

namespace {

// A delegate that implements the messages asked for and records what it receives.
std::shared_ptr<ZUVBannerViewDelegate> recorder(std::vector<std::string>& log,
                                                const std::string& who, bool interstitial = false) {
  auto delegate = std::make_shared<ZUVBannerViewDelegate>();
  delegate->adViewDidReceiveAd = [&log, who](View&) { log.push_back(who + ":received"); };
  delegate->adViewDidFailToReceiveAdWithError = [&log, who](View&, const platform::Error& e) {
    log.push_back(who + ":failed " + std::to_string(e.code));
  };
  if (interstitial) {
    delegate->interstitialDidReceiveAd = [&log, who](View&) {
      log.push_back(who + ":interstitial received");
    };
  }
  return delegate;
}

class ZUVDelegateManagerTest : public ::testing::Test {
 protected:
  velour_test::TestWorld world_;
  std::shared_ptr<View> banner_ = View::create();
  std::shared_ptr<ZUVDelegateManager> manager_ = std::make_shared<ZUVDelegateManager>();
  std::vector<std::string> log_;
};

TEST_F(ZUVDelegateManagerTest, OnlyImplementedMessagesGoOutInRegistrationOrder) {
  auto first = recorder(log_, "first", true);
  auto second = recorder(log_, "second");
  second->adViewDidFailToReceiveAdWithError = nullptr;
  auto silent = std::make_shared<ZUVBannerViewDelegate>();
  manager_->addDelegateForObject(first, banner_);
  manager_->addDelegateForObject(nullptr, banner_);  // receives nothing, stops nothing
  manager_->addDelegateForObject(second, banner_);
  manager_->addDelegateForObject(first, banner_);  // twice: called twice
  manager_->addDelegateForObject(silent, banner_);

  manager_->didReceiveAd();
  manager_->didFailToReceiveAdWithError(platform::Error::make("d", 2, "network"));
  manager_->willPresentScreen();
  // A delegate with both forms hears the banner's for a banner load, the other for a
  // full-screen one.
  EXPECT_EQ(log_, (std::vector<std::string>{"first:received", "second:received", "first:received",
                                            "first:failed 2", "first:failed 2"}));

  EXPECT_EQ(manager_->publisherDelegateContainer()->delegate(), first);
  manager_->publisherDelegateContainer()->setInternal(true);
  EXPECT_EQ(manager_->publisherDelegateContainer()->delegate(), nullptr);  // the null one
  manager_->containerForDelegate(second.get())->setDisabled(true);
  manager_->removeDelegate(first.get());  // the first of its two containers
  log_.clear();
  manager_->didReceiveAd();
  manager_->setFullScreen(true);
  manager_->didReceiveAd();
  EXPECT_EQ(log_, (std::vector<std::string>{"first:received", "first:interstitial received"}));
  EXPECT_EQ(manager_->delegateContainers().size(), 4u);
}

TEST_F(ZUVDelegateManagerTest, CallbacksThatChangeTheListOrDestroyTheBannerAreSafe) {
  std::weak_ptr<ZUVDelegateManager> weakManager = manager_;
  auto late = recorder(log_, "late");
  auto destroyer = std::make_shared<ZUVBannerViewDelegate>();
  destroyer->adViewDidFailToReceiveAdWithError = [&](View&, const platform::Error&) {
    log_.push_back("destroyer");
    manager_->addDelegateForObject(late, banner_);  // counts from the next event
    manager_.reset();                               // the banner and its controller go
    banner_.reset();
  };
  auto after = recorder(log_, "after");
  manager_->addDelegateForObject(destroyer, banner_);
  manager_->addDelegateForObject(after, banner_);
  ZUVDelegateManager* raw = manager_.get();
  raw->didFailToReceiveAdWithError(platform::Error::make("d", 0, "invalid"));
  // The banner is gone, so the later container is skipped, and the manager lives to the
  // end of the pass.
  EXPECT_EQ(log_, (std::vector<std::string>{"destroyer"}));
  EXPECT_FALSE(weakManager.expired());
  RunLoop::main().runOnce();
  EXPECT_TRUE(weakManager.expired());
}

TEST_F(ZUVDelegateManagerTest, EventsFromOtherThreadsAreDeliveredOnTheMainThreadBeforeReturning) {
  std::thread::id deliveredOn;
  auto delegate = std::make_shared<ZUVBannerViewDelegate>();
  delegate->adViewDidFailToReceiveAdWithError = [&](View&, const platform::Error& error) {
    deliveredOn = std::this_thread::get_id();
    log_.push_back(error.localizedDescription());
  };
  delegate->adViewWillLeaveApplication = [&](View&) { log_.push_back("leaving"); };
  manager_->addDelegateForObject(delegate, banner_);
  ZUVStatistics::sharedStatistics().urlForClick(*platform::URL::parse("http://land.example/"));

  std::atomic<bool> returned = false;
  bool loggedBeforeReturn = false;
  std::thread raiser([&] {
    manager_->didFailToReceiveAdWithError(platform::Error::make("d", 2, "from afar"));
    manager_->willLeaveApplication();
    returned = true;
  });
  while (!returned) {
    RunLoop::main().runOnce(0.01s);
    if (returned) loggedBeforeReturn = log_.size() == 2;
  }
  raiser.join();
  EXPECT_TRUE(loggedBeforeReturn);
  EXPECT_EQ(deliveredOn, std::this_thread::get_id());
  EXPECT_EQ(log_, (std::vector<std::string>{"from afar", "leaving"}));
  // The click being timed is marked as one that left the application.
  EXPECT_EQ(ZUVStatistics::sharedStatistics().parameters().find("pclb")->integerValue(), 1);
  ZUVStatistics::releaseSharedStatistics();

  // The owner drops the manager while an event from another thread waits for the main thread:
  // the waiting event keeps it, goes out, and the manager goes on the main thread after it.
  log_.clear();
  std::weak_ptr<ZUVDelegateManager> weakManager = manager_;
  ZUVDelegateManager* raw = manager_.get();
  returned = false;
  std::thread late([&] {
    raw->didFailToReceiveAdWithError(platform::Error::make("d", 3, "after the owner"));
    returned = true;
  });
  // The raising thread has taken its hold once the count goes up; it then posts and waits.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (manager_.use_count() < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  bool held = manager_.use_count() >= 2;
  EXPECT_TRUE(held);
  if (held) manager_.reset();
  while (!returned) RunLoop::main().runOnce(0.01s);
  late.join();
  RunLoop::main().runOnce();
  EXPECT_EQ(log_, (std::vector<std::string>{"after the owner"}));
  EXPECT_TRUE(weakManager.expired());
}

}  // namespace
