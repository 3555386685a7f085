#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakFactory.h"
#include "platform/harness/Harness.h"
#include "tests/support/TestWorld.h"

using namespace std::chrono_literals;

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
    return [&fired, name](Timer&) {
      fired.push_back(name + "@" +
                      std::to_string(platform::toSeconds(loop().now().time_since_epoch())));
    };
  };
  auto late = loop().scheduleTimer(2.0s, false, record("late"));
  auto first = loop().scheduleTimer(1.0s, false, record("first"));
  auto second = loop().scheduleTimer(1.0s, false, record("second"));
  auto repeating = loop().scheduleTimer(0.75s, true, record("tick"));

  platform::Harness::advance(0.5s);
  EXPECT_TRUE(fired.empty());
  platform::Harness::advance(1.6s);
  repeating.invalidate();
  platform::Harness::advance(10s);

  EXPECT_EQ(fired, (std::vector<std::string>{"tick@0.750000", "first@1.000000", "second@1.000000",
                                             "tick@1.500000", "late@2.000000"}));
  EXPECT_DOUBLE_EQ(platform::toSeconds(loop().now().time_since_epoch()), 12.1);

  // A one-shot timer is invalid when it fires, and its fire date can move.
  bool validInside = true;
  auto timer = loop().scheduleTimer(1.0s, false, [&](Timer& t) { validInside = t.isValid(); });
  timer.setFireDate(loop().now() + 5.0s);
  platform::Harness::advance(4.9s);
  platform::Harness::advance(0.2s);
  EXPECT_FALSE(validInside);
  EXPECT_FALSE(timer.isValid());

  // A timer invalidated by an earlier timer of the same pass does not fire.
  int victimFired = 0;
  platform::TimerHandle victim;
  auto killer = loop().scheduleTimer(1.0s, false, [&](Timer&) { victim.reset(); });
  victim = loop().scheduleTimer(1.0s, false, [&](Timer&) { ++victimFired; });
  platform::Harness::advance(2s);
  EXPECT_EQ(victimFired, 0);
}

TEST_F(RunLoopTest, AHandleEndsItsRegistrationWhenDestroyedEvenInsideItsOwnCallback) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  int fired = 0;
  {
    auto timer = loop().scheduleTimer(1.0s, true, [&](Timer&) { ++fired; });
    auto call = loop().performAfterDelay(1.0s, [&] { ++fired; });
    auto watch = loop().watchFd(fds[0], platform::kFdReadable, [&](unsigned) { ++fired; });
    platform::DelayedCalls calls;
    calls.performAfterDelay(1.0s, [&] { ++fired; });
  }
  platform::Harness::advance(2s);
  EXPECT_EQ(fired, 0);
  // A set of delayed calls runs each one and lets it go.
  platform::DelayedCalls calls;
  calls.performAfterDelay(1.0s, [&] { ++fired; });
  calls.performAfterDelay(1.0s, [&] { ++fired; });
  platform::Harness::advance(2s);
  EXPECT_EQ(fired, 2);
  EXPECT_TRUE(calls.empty());

  // Each handle goes inside its own callback; the callback finishes safely and never runs again.
  platform::TimerHandle timer;
  platform::Registration call, watch;
  std::string seen;
  timer = loop().scheduleTimer(1.0s, true, [&, tag = std::string("t")](Timer&) {
    timer = {};
    seen += tag;
  });
  call = loop().performAfterDelay(1.0s, [&, tag = std::string("c")] {
    call = {};
    seen += tag;
  });
  watch = loop().watchFd(fds[0], platform::kFdReadable, [&, tag = std::string("w")](unsigned) {
    watch.cancel();
    seen += tag;
  });
  platform::Harness::advance(3s);
  EXPECT_EQ(seen, "wtc");

  // Moving a new registration into a handle ends the one it held.
  int older = 0, newer = 0;
  timer = loop().scheduleTimer(1.0s, false, [&](Timer&) { ++older; });
  timer = loop().scheduleTimer(2.0s, false, [&](Timer&) { ++newer; });
  call = loop().performAfterDelay(1.0s, [&] { ++older; });
  call = loop().performAfterDelay(2.0s, [&] { ++newer; });
  platform::Harness::advance(3s);
  EXPECT_EQ(older, 0);
  EXPECT_EQ(newer, 2);
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST_F(RunLoopTest, AWeakCallbackToADestroyedObjectDoesNothing) {
  struct Owner {
    int& calls;
    platform::WeakFactory<Owner> weakFactory{this};
  };
  int calls = 0;
  std::unique_ptr<Owner> owner(new Owner{calls});
  std::function<void(int)> add =
      owner->weakFactory.bind([](Owner& self, int n) { self.calls += n; });
  add(2);
  EXPECT_EQ(calls, 2);
  // Revoked links stay dead; new ones work.
  owner->weakFactory.revoke();
  add(5);
  EXPECT_EQ(calls, 2);

  auto weak = owner->weakFactory.weak();
  auto timer = loop().scheduleTimer(
      1.0s, false, owner->weakFactory.bind([](Owner& self, Timer&) { ++self.calls; }));
  EXPECT_EQ(weak.get(), owner.get());
  owner.reset();
  EXPECT_EQ(weak.get(), nullptr);
  platform::Harness::advance(2s);
  EXPECT_EQ(calls, 2);
}

TEST_F(RunLoopTest, AnAnswerThatHasArrivedWinsOverATimeOutAndAFloodHoldsNoTimerBack) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::string outcome;
  platform::TimerHandle timeout;
  platform::Registration reply;
  reply = loop().watchFd(fds[0], platform::kFdReadable, [&](unsigned) {
    outcome += "reply ";
    timeout.reset();
    reply.cancel();
  });
  // Both are there when the pass begins: the answer came while the loop was busy, and the
  // time-out has fallen due since.
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  timeout = loop().scheduleTimer(0s, false, [&](Timer&) { outcome += "timeout "; });
  loop().runOnce();
  platform::Harness::advance(1s);
  EXPECT_EQ(outcome, "reply ");
  ::close(fds[0]);
  ::close(fds[1]);

  // A flood of tasks that post tasks does not keep a due timer from firing, nor a wait from
  // ending.
  bool fired = false;
  std::function<void()> flood = [&] { loop().post(flood); };
  loop().post(flood);
  auto due = loop().scheduleTimer(0s, false, [&](Timer&) { fired = true; });
  EXPECT_FALSE(loop().runUntil([] { return false; }, 0.2s));
  EXPECT_TRUE(fired);
  loop().cancelAll();
}

// A watch over the engine counts the host's time: the manual clock neither hurries nor stops it.
TEST_F(RunLoopTest, ADelayOnTheHostClockIgnoresTheManualClock) {
  const platform::HostInstant start = loop().hostNow();
  bool fired = false;
  auto watch = loop().performAfterDelay(
      0.2s, [&] { fired = true; }, platform::TimerClock::Host);
  platform::Harness::advance(60s);
  EXPECT_FALSE(fired);
  EXPECT_TRUE(loop().runUntil([&] { return fired; }, 5s));
  const platform::Duration hostSpent = loop().hostNow() - start;
  EXPECT_GE(hostSpent, 0.2s);
  EXPECT_LT(hostSpent, 60s);
}

// A time that comes as milliseconds is the same duration as when it comes as decimal seconds.
TEST(TimeTest, MillisecondsAndDecimalSecondsAgree) {
  for (int count = 0; count < 1000; ++count) {
    char decimal[8];
    std::snprintf(decimal, sizeof decimal, "0.%03d", count);
    EXPECT_EQ(platform::milliseconds(count), platform::seconds(std::strtod(decimal, nullptr)))
        << decimal;
  }
  EXPECT_EQ(platform::Duration(250ms), platform::milliseconds(250));
  EXPECT_EQ(platform::toMilliseconds(platform::seconds(1.5)), 1500);
}

TEST_F(RunLoopTest, PostAndWaitFromAnotherThreadRunsOnTheMainThread) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    loop().postAndWait([&] { ranOnMain = loop().isMainThread(); });
    returned = true;
  });
  EXPECT_TRUE(loop().runUntil([&] { return returned.load(); }, 5.0s));
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
  platform::Registration watch;
  watch = loop().watchFd(fds[0], platform::kFdReadable, [&](unsigned events) {
    ++calls;
    EXPECT_TRUE(events & platform::kFdReadable);
    watch.cancel();
  });
  loop().runOnce();
  EXPECT_EQ(calls, 0);
  ASSERT_EQ(::write(fds[1], "x", 1), 1);
  EXPECT_TRUE(loop().runUntil([&] { return calls > 0; }, 2.0s));
  loop().runOnce();
  EXPECT_EQ(calls, 1);
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
