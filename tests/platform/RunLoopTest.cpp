#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "tests/support/TestWorld.h"

using platform::RunLoop;
using platform::Timer;

namespace {

class RunLoopTest : public ::testing::Test {
 protected:
  static RunLoop& loop() { return RunLoop::main(); }
  velour_test::TestWorld world_;
};

TEST_F(RunLoopTest, TimersFireInTimeOrderThenInScheduleOrderOnTheManualClock) {
  std::vector<std::string> fired;
  auto record = [&](std::string name) {
    return [&fired, name](Timer&) { fired.push_back(name + "@" + std::to_string(loop().now())); };
  };
  loop().scheduleTimer(2.0, false, record("late"));
  loop().scheduleTimer(1.0, false, record("first"));
  loop().scheduleTimer(1.0, false, record("second"));
  auto repeating = loop().scheduleTimer(0.75, true, record("tick"));

  loop().advance(0.5);
  EXPECT_TRUE(fired.empty());
  loop().advance(1.6);
  repeating->invalidate();
  loop().advance(10);

  EXPECT_EQ(fired, (std::vector<std::string>{"tick@0.750000", "first@1.000000", "second@1.000000",
                                             "tick@1.500000", "late@2.000000"}));
  EXPECT_DOUBLE_EQ(loop().now(), 12.1);

  // A one-shot timer is invalid when it fires, and its fire date can move.
  bool validInside = true;
  auto timer = loop().scheduleTimer(1.0, false, [&](Timer& t) { validInside = t.isValid(); });
  timer->setFireDate(loop().now() + 5.0);
  loop().advance(4.9);
  loop().advance(0.2);
  EXPECT_FALSE(validInside);
  EXPECT_FALSE(timer->isValid());

  // A timer invalidated by an earlier timer of the same pass does not fire.
  int victimFired = 0;
  std::shared_ptr<Timer> victim;
  loop().scheduleTimer(1.0, false, [&](Timer&) { victim->invalidate(); });
  victim = loop().scheduleTimer(1.0, false, [&](Timer&) { ++victimFired; });
  loop().advance(2);
  EXPECT_EQ(victimFired, 0);

  // Delayed calls are cancelled per target.
  int a = 0, b = 0;
  int targetA = 0, targetB = 0;
  loop().performAfterDelay(&targetA, 1.0, [&] { ++a; });
  loop().performAfterDelay(&targetA, 2.0, [&] { ++a; });
  loop().performAfterDelay(&targetB, 1.5, [&] { ++b; });
  loop().advance(1.2);
  loop().cancelPerformRequests(&targetA);
  loop().advance(5);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1);
  // Cancelling with no target must not touch ordinary timers.
  int plain = 0;
  loop().scheduleTimer(1.0, false, [&](Timer&) { ++plain; });
  loop().cancelPerformRequests(nullptr);
  loop().advance(2);
  EXPECT_EQ(plain, 1);
}

TEST_F(RunLoopTest, PostAndWaitFromAnotherThreadRunsOnTheMainThread) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    loop().postAndWait([&] { ranOnMain = loop().isMainThread(); });
    returned = true;
  });
  EXPECT_TRUE(loop().runUntil([&] { return returned.load(); }, 5.0));
  worker.join();
  EXPECT_TRUE(ranOnMain);

  bool inline_ = false;
  loop().postAndWait([&] { inline_ = true; });
  EXPECT_TRUE(inline_);
}

TEST_F(RunLoopTest, DeferredReleaseKeepsObjectsUntilTheEndOfThePass) {
  auto object = std::make_shared<int>(7);
  std::weak_ptr<int> watch = object;
  bool aliveInLaterTask = false;
  loop().post([&] {
    loop().releaseLater(std::move(object));
    loop().post([&] { aliveInLaterTask = !watch.expired(); });
  });
  loop().runOnce();
  EXPECT_TRUE(aliveInLaterTask);
  EXPECT_TRUE(watch.expired());
}

TEST_F(RunLoopTest, FileDescriptorWatchReportsReadinessAndCanBeRemovedInItsCallback) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  int calls = 0;
  RunLoop::WatchId id = 0;
  id = loop().watchFd(fds[0], platform::kFdReadable, [&](unsigned events) {
    ++calls;
    EXPECT_TRUE(events & platform::kFdReadable);
    loop().unwatchFd(id);
  });
  loop().runOnce(0);
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  EXPECT_TRUE(loop().runUntil([&] { return calls > 0; }, 2.0));
  loop().runOnce(0);
  EXPECT_EQ(calls, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
