// The message loop: timers on a clock of the test's own, the timer
// capacity, posted messages and calls, the wake hook, and dispatching on the
// loop's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/MessageLoop.h"
#include "platform/tests/WaitUntil.h"

namespace {

class MessageLoopTest : public testing::Test {
 protected:
  void SetUp() override { Loop.SetClock([this] { return Now; }); }
  bool Advance(int AMilliseconds) {
    Now += std::chrono::milliseconds(AMilliseconds);
    return Loop.ProcessMessages();
  }

  TMessageLoop Loop;
  std::chrono::steady_clock::time_point Now{};
};

TEST_F(MessageLoopTest, TimersFireEachPeriodAndOnceWhenLate) {
  std::vector<uintptr_t> got;
  TMessageWindow* w = Loop.AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_TIMER) got.push_back(m.WParam);
  });
  ASSERT_TRUE(Loop.SetTimer(w, 1, 100));
  ASSERT_TRUE(Loop.SetTimer(w, 2, 250));
  EXPECT_FALSE(Advance(99));
  EXPECT_TRUE(Advance(1));
  EXPECT_EQ(got, (std::vector<uintptr_t>{1}));
  Advance(1000);  // late: each timer fires once, not once per missed period
  EXPECT_EQ(got, (std::vector<uintptr_t>{1, 1, 2}));
  EXPECT_TRUE(Loop.KillTimer(w, 1));
  EXPECT_FALSE(Loop.KillTimer(w, 1));
  ASSERT_TRUE(Loop.NextDueTime().has_value());
  EXPECT_EQ(*Loop.NextDueTime(), Now + std::chrono::milliseconds(250));
  Loop.DeallocateHWnd(w);
  EXPECT_EQ(Loop.ActiveTimers(), 0u);
  EXPECT_FALSE(Loop.NextDueTime().has_value());
}

TEST_F(MessageLoopTest, CapacityIsFiniteAndSettable) {
  TMessageWindow* w = Loop.AllocateHWnd([](TMessage&) {});
  Loop.SetTimerCapacity(2);
  EXPECT_TRUE(Loop.SetTimer(w, 1, 10));
  EXPECT_TRUE(Loop.SetTimer(w, 2, 10));
  EXPECT_FALSE(Loop.SetTimer(w, 3, 10)) << "beyond the capacity";
  EXPECT_TRUE(Loop.SetTimer(w, 2, 20)) << "restarting a running timer takes no new slot";
  Loop.KillTimer(w, 1);
  EXPECT_TRUE(Loop.SetTimer(w, 3, 10));
  Loop.DeallocateHWnd(w);
}

TEST_F(MessageLoopTest, PostedCallsAndMessagesRunInOrderOnTheNextStep) {
  std::vector<int> order;
  TMessageWindow* w = Loop.AllocateHWnd([&](TMessage& m) { order.push_back(int(m.LParam)); });
  int wakes = 0;
  Loop.SetWakeHook([&] { ++wakes; });
  Loop.Post([&] { order.push_back(1); });
  TMessage m;
  m.Msg = WM_USER;
  m.LParam = 2;
  Loop.PostMessage(w, m);
  EXPECT_EQ(wakes, 2) << "an outside event loop hears of every posting";
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(Loop.ProcessMessages());
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  Loop.PostMessage(w, m);
  Loop.DeallocateHWnd(w);  // drops the message for the freed window
  EXPECT_FALSE(Loop.ProcessMessages());
}

TEST_F(MessageLoopTest, AHandlerMayKillItsOwnTimerAndFreeItsWindow) {
  TMessageWindow* w = nullptr;
  int calls = 0;
  w = Loop.AllocateHWnd([&](TMessage&) {
    ++calls;
    Loop.KillTimer(w, 1);
    Loop.DeallocateHWnd(w);
  });
  Loop.SetTimer(w, 1, 5);
  Advance(5);
  Advance(5);
  EXPECT_EQ(calls, 1);
}

TEST(MessageLoopThreads, DispatchesOnTheRunningThreadAndKillWaitsForAHandler) {
  TMessageLoop loop;
  std::atomic<int> ticks{0};
  std::atomic<bool> inHandler{false};
  std::thread::id handlerThread;
  TMessageWindow* w = loop.AllocateHWnd([&](TMessage& m) {
    if (m.Msg != WM_TIMER) return;
    inHandler = true;
    handlerThread = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ++ticks;
    inHandler = false;
  });
  ASSERT_TRUE(loop.SetTimer(w, 1, 1));
  std::thread runner([&] { loop.Run(); });
  const std::thread::id runnerId = runner.get_id();
  EXPECT_TRUE(frtest::WaitUntil([&] { return ticks.load() >= 3; })) << "the timer never ticked three times";
  // From another thread: returns only once no handler of the window runs.
  loop.DeallocateHWnd(w);
  EXPECT_FALSE(inHandler.load());
  const int after = ticks.load();
  loop.Terminate();
  runner.join();
  EXPECT_EQ(ticks.load(), after);
  EXPECT_EQ(handlerThread, runnerId);
}

}  // namespace
