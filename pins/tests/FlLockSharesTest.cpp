// Holds answered without the lock while a stop is pending or held belong to
// the thread that took them: no release of another thread (the owner ending
// its hold, the stopper ending its stop, an unlock-all and its restore) may
// use up their counts. Each case runs with real threads, coordinated through
// events and the counters the lock shows, and ends with the lock free.
#include "pins/FlLocks.h"

#include <gtest/gtest.h>

#include <atomic>

#include "pins/tests/LockTestSupport.h"

namespace {

using locktest::TEvent;
using locktest::TTraceScope;
using locktest::TWorker;
using locktest::WaitUntil;
using TCounters = TFlLock::TCounters;

TCounters Counts(TThreadID AOwner, int32_t ALocks, int32_t AInStop, int32_t AStopLocks) {
  TCounters c;
  c.OwningThread = AOwner;
  c.CountLocks = ALocks;
  c.InStopCount = AInStop;
  c.CountStopLocks = AStopLocks;
  return c;
}

// A thread holding a framework object's write section that was answered
// without the lock, until told to end it.
class TUnlockedHolder {
 public:
  explicit TUnlockedHolder(TFlObject& AObject)
      : FWorker([this, &AObject] {
          Ref<IFlLockSection> section = AObject.WriteLock();
          auto* simple = dynamic_cast<TFlSimpleWriteLockSection*>(section.Get());
          FLocked = simple != nullptr && simple->Locked();
          FHolding.Set();
          FEnd.Wait();
        }) {}
  ~TUnlockedHolder() { End(); }

  bool WaitHolding() { return FHolding.Wait(); }
  bool Locked() const { return FLocked.load(); }
  void End() {
    FEnd.Set();
    FWorker.Join();
  }

 private:
  std::atomic<bool> FLocked{true};
  TEvent FHolding, FEnd;
  TWorker FWorker;
};

// A stop hold on a thread of its own, taken at once and ended when told.
class TStopper {
 public:
  explicit TStopper(const Ref<IFlLock>& ALock)
      : FWorker([this, ALock] {
          Ref<IFlLockSection> stop = ALock->StopLock();
          FHeld.Set();
          FEnd.Wait();
          stop.Reset();
          FEnded.Set();
        }) {}
  ~TStopper() { End(); }

  bool WaitHeld() { return FHeld.Wait(); }
  bool HeldNow() { return FHeld.IsSet(); }
  TThreadID Id() { return FWorker.Id(); }
  // Ends the stop and waits until it has ended.
  bool End() {
    FEnd.Set();
    const bool ended = FEnded.Wait();
    FWorker.Join();
    return ended;
  }

 private:
  TEvent FHeld, FEnd, FEnded;
  TWorker FWorker;
};

// The stopper ends its stop while another thread still holds a section that
// was answered without the lock: the stop's own count goes, the lock is free
// at once, and a third thread gets it.
TEST(FlLockShareTest, StopEndsWhileAnotherThreadHoldsAnUnlockedSection) {
  TFlObject object;
  TFlLock* lock = object.IntLock()->Instance();
  TStopper stopper(object.IntLock());
  ASSERT_TRUE(stopper.WaitHeld());
  TUnlockedHolder holder(object);
  ASSERT_TRUE(holder.WaitHolding());
  EXPECT_FALSE(holder.Locked());
  EXPECT_EQ(lock->Counters(), Counts(stopper.Id(), 1, 1, 1));

  EXPECT_TRUE(stopper.End());
  EXPECT_EQ(lock->Counters(), Counts(0, 0, 0, 1)) << "only the holder's own count may remain";

  std::atomic<bool> thirdGotIt{false};
  TWorker third([&] { thirdGotIt = object.IntLock()->WriteLock() != nullptr; });
  EXPECT_TRUE(WaitUntil([&] { return thirdGotIt.load(); })) << "the lock stayed owned after the stop ended";
  third.Join();

  holder.End();
  EXPECT_EQ(lock->Counters(), TCounters{});
}

// The owner ends its only hold while a stop is pending and another thread
// holds an unlocked section: the owner's release frees the mutex, so the
// stop is granted; nobody's count is used up.
TEST(FlLockShareTest, OwnerReleaseWhileAStopIsPendingGrantsTheStop) {
  TFlObject object;
  TFlLock* lock = object.IntLock()->Instance();
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> held = object.IntLock()->WriteLock();
  TStopper stopper(object.IntLock());
  EXPECT_TRUE(WaitUntil([&] { return lock->Counters().InStopCount > 0; }));
  TUnlockedHolder holder(object);
  ASSERT_TRUE(holder.WaitHolding());
  EXPECT_EQ(lock->Counters(), Counts(me, 1, 1, 1));

  held.Reset();
  EXPECT_TRUE(stopper.WaitHeld()) << "the owner's release used another thread's count";
  EXPECT_EQ(lock->Counters(), Counts(stopper.Id(), 1, 1, 1));

  holder.End();
  EXPECT_EQ(lock->Counters(), Counts(stopper.Id(), 1, 1, 0));
  EXPECT_TRUE(stopper.End());
  EXPECT_EQ(lock->Counters(), TCounters{});
}

// A waiter already inside its retry loop when a stop arrives gives up
// waiting within one slice and proceeds without the lock.
TEST(FlLockShareTest, WaiterInItsRetryLoopProceedsWhenAStopArrives) {
  TTraceScope trace;
  Ref<IFlLock> lock(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> held = lock->WriteLock();
  std::atomic<bool> answered{false}, locked{true};
  TEvent endWaiter;
  TWorker waiter([&] {
    Ref<TFlSimpleWriteLockSection> section = MakeObject<TFlSimpleWriteLockSection>(lock, Ref<IFlLock>());
    locked = section->Locked();
    answered = true;
    endWaiter.Wait();
  });
  EXPECT_TRUE(trace->WaitFor(lock->Instance(), loBeginWriteCreate, waiter.Id()));
  EXPECT_FALSE(answered.load());

  TStopper stopper(lock);
  EXPECT_TRUE(WaitUntil([&] { return answered.load(); })) << "the stop did not reach the waiting thread";
  EXPECT_FALSE(locked.load());
  EXPECT_EQ(lock->Instance()->Counters(), Counts(me, 1, 1, 1));

  endWaiter.Set();
  waiter.Join();
  held.Reset();
  EXPECT_TRUE(stopper.WaitHeld());
  EXPECT_TRUE(stopper.End());
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

// The stopper gives up its holds while another thread holds an unlocked
// section: only the stopper's own holds are saved and restored, the other
// thread's count stays where it is and is ended by that thread.
TEST(FlLockShareTest, UnlockAllSavesOnlyTheCallersShare) {
  TFlObject object;
  TFlLock* lock = object.IntLock()->Instance();
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> stop = object.IntLock()->StopLock();
  TUnlockedHolder holder(object);
  ASSERT_TRUE(holder.WaitHolding());
  EXPECT_EQ(lock->Counters(), Counts(me, 1, 1, 1));

  {
    Ref<IFlLockSection> givenUp = object.IntLock()->UnlockAll();
    auto* section = dynamic_cast<TFlSimpleUnlockSection*>(givenUp.Get());
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->SavedCountLocks(), 1);
    EXPECT_EQ(section->SavedCountOtherLocks(), 0) << "another thread's count was taken";
    EXPECT_EQ(lock->Counters(), Counts(0, 0, 1, 1));
  }
  // The restore meets this thread's own pending stop, so its hold comes back
  // answered without the lock, in its own share beside the holder's.
  EXPECT_EQ(lock->Counters(), Counts(0, 0, 1, 2));
  holder.End();
  EXPECT_EQ(lock->Counters(), Counts(0, 0, 1, 1));
  stop.Reset();
  EXPECT_EQ(lock->Counters(), TCounters{});
  EXPECT_NE(object.IntLock()->WriteLock(), nullptr);
}

// Restoring in lock order while the first lock is stopped by another thread:
// the hold on the first lock is answered without the lock and balances, and
// the own lock comes back whole.
TEST(FlLockShareTest, RestoreWhoseFirstLockHoldIsAnsweredWithoutTheLock) {
  Ref<IFlLock> lock(TFlLock::Create());
  Ref<IFlLock> first(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> h1 = lock->WriteLock(), h2 = lock->WriteLock();
  Ref<IFlLockSection> givenUp = lock->UnlockAllLockInOrder(first);
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});

  TStopper stopper(first);
  ASSERT_TRUE(stopper.WaitHeld());
  givenUp.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), Counts(me, 2, 0, 0));
  EXPECT_EQ(first->Instance()->Counters(), Counts(stopper.Id(), 1, 1, 0))
      << "the hold on the first lock must be ended with the restore";
  EXPECT_TRUE(stopper.End());
  EXPECT_EQ(first->Instance()->Counters(), TCounters{});
  h1.Reset();
  h2.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

// Two threads ask for a stop at once while a third owns the lock: both wait,
// other requests are answered without the lock meanwhile, and the stops are
// granted one after the other.
TEST(FlLockShareTest, TwoConcurrentStopsAreGrantedInTurn) {
  Ref<IFlLock> lock(TFlLock::Create());
  TFlLock* counters = lock->Instance();
  Ref<IFlLockSection> held = lock->WriteLock();
  TStopper first(lock), second(lock);
  EXPECT_TRUE(WaitUntil([&] { return counters->Counters().InStopCount == 2; }));
  bool answeredWithout = false;
  TWorker([&] { answeredWithout = lock->WriteLock() == nullptr; }).Join();
  EXPECT_TRUE(answeredWithout);

  held.Reset();
  EXPECT_TRUE(WaitUntil([&] { return first.HeldNow() || second.HeldNow(); }));
  TStopper& winner = first.HeldNow() ? first : second;
  TStopper& other = first.HeldNow() ? second : first;
  EXPECT_FALSE(other.HeldNow()) << "two stops held at once";
  EXPECT_EQ(counters->Counters(), Counts(winner.Id(), 1, 2, 0));
  EXPECT_TRUE(winner.End());
  EXPECT_TRUE(other.WaitHeld());
  EXPECT_EQ(counters->Counters(), Counts(other.Id(), 1, 1, 0));
  EXPECT_TRUE(other.End());
  EXPECT_EQ(counters->Counters(), TCounters{});
}

}  // namespace
