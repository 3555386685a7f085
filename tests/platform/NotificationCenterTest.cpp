#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"

using platform::Notification;
using platform::NotificationCenter;

TEST(NotificationCenterTest, DeliversInOrderThroughNameAndObjectFilters) {
  NotificationCenter center;
  int sender = 0, otherSender = 0;
  std::vector<std::string> calls;
  auto a = center.addObserver("", nullptr,
                              [&](const Notification& n) { calls.push_back("a:" + n.name); });
  auto b = center.addObserver("Ping", nullptr, [&](const Notification& n) {
    calls.push_back("b:" + n.name + ":" + n.userInfo.find("k")->stringValue());
  });
  auto c = center.addObserver("Ping", &sender,
                              [&](const Notification& n) { calls.push_back("c:" + n.name); });

  center.postNotification("Ping", &sender, {{"k", "v"}});
  center.postNotification("Ping", &otherSender, {{"k", "w"}});
  center.postNotification("Pong", &sender);
  EXPECT_EQ(calls, (std::vector<std::string>{"a:Ping", "b:Ping:v", "c:Ping", "a:Ping", "b:Ping:w",
                                             "a:Pong"}));
}

TEST(NotificationCenterTest, AFreedObjectIsNotTakenForANewOneAtItsAddress) {
  NotificationCenter center;
  static int slot = 0;
  auto at = [] { return std::shared_ptr<int>(&slot, [](int*) {}); };
  int calls = 0;
  auto first = at();
  auto observer = center.addObserver("Ping", first, [&](const Notification&) { ++calls; });
  center.postNotification("Ping", &slot);  // a bare address names the live object
  first.reset();
  center.postNotification("Ping", at());  // the freed object's address, another object
  center.postNotification("Ping", &slot);
  EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, ChangesDuringADeliveryTakeEffectAtOnce) {
  NotificationCenter center;
  platform::Registration first, second, third, late;
  std::vector<std::string> calls;
  first = center.addObserver("Go", nullptr, [&](const Notification&) {
    calls.push_back("first");
    second = {};
    late = center.addObserver("Go", nullptr, [&](const Notification&) { calls.push_back("late"); });
  });
  second =
      center.addObserver("Go", nullptr, [&](const Notification&) { calls.push_back("second"); });
  third = center.addObserver("Go", nullptr, [&](const Notification&) {
    calls.push_back("third");
    third = {};
  });

  center.postNotification("Go", nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"first", "third"}));
  calls.clear();
  first = {};
  center.postNotification("Go", nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"late"}));

  // A handler that posts again sees the nested delivery complete before its own goes on.
  NotificationCenter nested;
  calls.clear();
  auto outer = nested.addObserver("Outer", nullptr, [&](const Notification&) {
    calls.push_back("outer");
    nested.postNotification("Inner", nullptr);
  });
  auto any =
      nested.addObserver("", nullptr, [&](const Notification& n) { calls.push_back(n.name); });
  nested.postNotification("Outer", nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"outer", "Inner", "Outer"}));
}

TEST(NotificationCenterTest, AnObserverLastsAsLongAsItsRegistration) {
  NotificationCenter center;
  std::string calls;
  platform::Registration first, own;
  first = center.addObserver("Go", nullptr, [&](const Notification&) { calls += "1"; });
  first = center.addObserver("Go", nullptr, [&](const Notification&) { calls += "2"; });
  own = center.addObserver("Go", nullptr, [&, tag = std::string("o")](const Notification&) {
    own = {};
    calls += tag;
  });
  {
    auto gone = center.addObserver("Go", nullptr, [&](const Notification&) { calls += "x"; });
  }
  center.postNotification("Go", nullptr);
  center.postNotification("Go", nullptr);
  EXPECT_EQ(calls, "2o2");
  EXPECT_EQ(center.observerCount(), 1u);
}
