#include "pins/FlLocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pins/tests/LockTestSupport.h"

namespace {

using locktest::TEvent;
using locktest::TTraceScope;
using locktest::TWorker;
using locktest::WaitUntil;
using TCounters = TFlLock::TCounters;

TCounters Owned(TThreadID AOwner, int32_t ACount) {
  TCounters c;
  c.OwningThread = AOwner;
  c.CountLocks = ACount;
  return c;
}

// ---------------------------------------------------------------------------
// Trace names and the registry

TEST(FlLockTraceTest, NamesAreEighteenCharactersIndexedByCode) {
  const std::array<std::pair<uint8_t, const char*>, 6> samples = {{{loNone, "None"},
                                                                   {loCreate, "Create"},
                                                                   {loBeginWriteDestroy, "BeginWriteDestroy"},
                                                                   {loReadCreate, "ReadCreate"},
                                                                   {loBeginUnlockDestroy, "BeginUnlockDestroy"},
                                                                   {loUnlockDestroy, "UnlockDestroy"}}};
  for (int code = 0; code < FlLockOperationCount; ++code)
    EXPECT_EQ(std::strlen(FlLockOperationNames[code]), size_t(FlLockOperationNameLength)) << "code " << code;
  for (const auto& [code, word] : samples) {
    std::string expected = word;
    expected.resize(FlLockOperationNameLength, ' ');
    EXPECT_EQ(FlLockOperationNames[code], expected);
  }
}

TEST(FlLockTraceTest, EveryStepOfEverySectionInOrder) {
  TTraceScope trace;
  TFlLock* raw = nullptr;
  {
    Ref<IFlLock> lock(TFlLock::Create());
    raw = lock->Instance();
    lock->WriteLock().Reset();
    lock->ReadLock().Reset();
    lock->StopLock().Reset();
    lock->UnlockAll().Reset();
  }
  const std::vector<uint8_t> expected = {
      loCreate,           loBeginWriteCreate, loWriteCreate,       loBeginWriteDestroy, loWriteDestroy,
      loBeginReadCreate,  loReadCreate,       loBeginReadDestroy,  loReadDestroy,       loBeginStopCreate,
      loStopCreate,       loBeginStopDestroy, loStopDestroy,       loBeginUnlockCreate, loUnlockCreate,
      loBeginUnlockDestroy, loUnlockDestroy,  loDestroy};
  EXPECT_EQ(trace->Operations(raw), expected);
  for (const auto& step : trace->Steps()) {
    if (step.Lock != raw) continue;
    EXPECT_EQ(step.Thread, GetCurrentThreadId());
    const bool lifetime = step.Operation == loCreate || step.Operation == loDestroy;
    EXPECT_EQ(step.Section == nullptr, lifetime) << "operation " << int(step.Operation);
  }
}

TEST(FlLockTraceTest, NoListenerNoCall) {
  Ref<locktest::TTraceRecorder> recorder = MakeObject<locktest::TTraceRecorder>();
  Ref<IFlLockTraceListener> listener(recorder);
  TFlLockTraceRegistry& registry = TFlLockTraceRegistry::Instance();
  registry.AddListener(listener);
  Ref<IFlLock> lock(TFlLock::Create());
  lock->WriteLock().Reset();
  registry.RemoveListener(listener);
  const size_t seen = recorder->Steps().size();
  EXPECT_GE(seen, 5u);

  lock->WriteLock().Reset();
  lock->StopLock().Reset();
  lock.Reset();
  EXPECT_EQ(recorder->Steps().size(), seen) << "a removed listener must not be called";
  EXPECT_EQ(registry.ActiveCount(), 0);
}

// Ending an unlock-all section with a first lock takes the first lock, then
// restores this lock, then releases the first lock.
TEST(FlLockTraceTest, UnlockAllLockInOrderRestoresFirstLockFirst) {
  Ref<IFlLock> input(TFlLock::Create()), owner(TFlLock::Create());
  Ref<IFlLockSection> holdInput = input->WriteLock();
  Ref<IFlLockSection> holdOwner = owner->WriteLock();
  Ref<IFlLockSection> inputGivenUp = input->UnlockAll();
  Ref<IFlLockSection> ownerGivenUp = owner->UnlockAllLockInOrder(input);
  EXPECT_EQ(owner->Instance()->Counters(), TCounters{});
  EXPECT_EQ(input->Instance()->Counters(), TCounters{});

  TTraceScope trace;
  ownerGivenUp.Reset();
  std::vector<std::pair<TFlLock*, uint8_t>> steps;
  for (const auto& s : trace->Steps()) steps.emplace_back(s.Lock, s.Operation);
  TFlLock* in = input->Instance();
  TFlLock* own = owner->Instance();
  const std::vector<std::pair<TFlLock*, uint8_t>> expected = {
      {own, loBeginUnlockDestroy}, {in, loBeginWriteCreate},  {in, loWriteCreate},
      {own, loUnlockDestroy},      {in, loBeginWriteDestroy}, {in, loWriteDestroy}};
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(owner->Instance()->Counters(), Owned(GetCurrentThreadId(), 1));

  inputGivenUp.Reset();
  EXPECT_EQ(input->Instance()->Counters(), Owned(GetCurrentThreadId(), 1));
}

// ---------------------------------------------------------------------------
// Plain wrappers

TEST(FlMutexTest, TimedWaitsAndImmediateReacquisitionByOwner) {
  TFlMutex mutex(true);  // never created owned
  bool other = false;
  std::thread([&] {
    other = mutex.Acquire(0);
    if (other) mutex.Release();
  }).join();
  EXPECT_TRUE(other);

  ASSERT_TRUE(mutex.Acquire(1000));
  EXPECT_TRUE(mutex.Acquire(0)) << "the owner acquires again at once";
  std::thread([&] { other = mutex.Acquire(1); }).join();
  EXPECT_FALSE(other) << "false only because the wait timed out";
  EXPECT_TRUE(mutex.Release());
  EXPECT_TRUE(mutex.Release());
  EXPECT_FALSE(mutex.Release());
}

TEST(FlMutexTest, NamedMutexesOfOneNameAreOneMutex) {
  TFlMutex a("fr-locks-test", true), b("fr-locks-test", false);
  ASSERT_TRUE(a.Acquire(0));
  bool other = true;
  std::thread([&] { other = b.Acquire(0); }).join();
  EXPECT_FALSE(other);
  EXPECT_TRUE(a.Release());
}

TEST(FlCriticalSectionTest, ReentrantForItsOwner) {
  TFlCriticalSection section;
  section.Enter();
  {
    TFlCriticalSectionGuard again(section);
  }
  section.Leave();
}

// ---------------------------------------------------------------------------
// One thread: counters

TEST(FlLockTest, ReentrantHoldsCountWithoutTheMutexAndFreeWithTheLast) {
  Ref<IFlLock> lock(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> a = lock->WriteLock();
  Ref<IFlLockSection> b = lock->ReadLock();
  Ref<IFlLockSection> c = lock->StopLock();
  ASSERT_TRUE(a && b && c);
  TCounters expected = Owned(me, 3);
  expected.InStopCount = 1;
  EXPECT_EQ(lock->Instance()->Counters(), expected);
  c.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), Owned(me, 2));
  a.Reset();
  b.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

TEST(FlLockTest, SectionsKeepTheLockAlive) {
  const int64_t before = TInterfacedObject::LiveInstances();
  Ref<IFlLockSection> section;
  {
    Ref<IFlLock> lock(TFlLock::Create());
    section = lock->WriteLock();
  }
  EXPECT_GT(TInterfacedObject::LiveInstances(), before);
  section.Reset();
  EXPECT_EQ(TInterfacedObject::LiveInstances(), before);
}

TEST(FlLockTest, InterfacesAndInstance) {
  Ref<TFlLock> lock = TFlLock::Create();
  Ref<IFlLock> asLock = Supports<IFlLock>(Ref<IInterface>(static_cast<IInterface*>(lock.Get())));
  ASSERT_TRUE(asLock);
  EXPECT_EQ(asLock->Instance(), lock.Get());
  Ref<IFlLockSection> section = asLock->WriteLock();
  EXPECT_TRUE(Supports<IFlLockSection>(section));
  EXPECT_FALSE(Supports<IFlLock>(section));
}

// ---------------------------------------------------------------------------
// Three nested holds released in any order

// A timed try of another thread waits for the holder and gives up when its
// time has run out (a waiter that gets the lock on release: NestedTest).
TEST(FlLockTest, TimedTryOfAnotherThreadGivesUpWhileTheLockIsHeld) {
  Ref<IFlLock> lock(TFlLock::Create());
  Ref<IFlLockSection> held = lock->WriteLock();
  for (uint32_t timeout : {0u, 1u, 5u}) {
    bool taken = true;
    std::thread([&] { taken = lock->Instance()->TryAcquire(timeout); }).join();
    EXPECT_FALSE(taken) << "taken while another thread held it, timeout " << timeout;
  }
  EXPECT_EQ(lock->Instance()->Counters(), Owned(GetCurrentThreadId(), 1));
}

class FlLockNestedTest : public ::testing::TestWithParam<std::array<int, 3>> {};

TEST_P(FlLockNestedTest, WaiterGetsTheLockOnlyAfterTheLastRelease) {
  TTraceScope trace;
  Ref<IFlLock> lock(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  std::array<Ref<IFlLockSection>, 3> holds = {lock->WriteLock(), lock->WriteLock(), lock->WriteLock()};
  EXPECT_EQ(lock->Instance()->Counters(), Owned(me, 3));

  std::atomic<bool> acquired{false};
  TCounters whileWaiterHeld;
  TWorker waiter([&] {
    Ref<IFlLockSection> mine = lock->WriteLock();
    acquired = mine != nullptr;
    whileWaiterHeld = lock->Instance()->Counters();
  });
  EXPECT_TRUE(trace->WaitFor(lock->Instance(), loBeginWriteCreate, waiter.Id()));

  int left = 3;
  for (int index : GetParam()) {
    holds[index].Reset();
    --left;
    if (left == 0) break;
    EXPECT_EQ(lock->Instance()->Counters(), Owned(me, left));
    bool probe = true;
    std::thread([&] { probe = lock->Instance()->TryAcquire(0); }).join();
    EXPECT_FALSE(probe) << "the mutex must stay taken until the last release";
    EXPECT_FALSE(acquired);
  }
  waiter.Join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(whileWaiterHeld, Owned(waiter.Id(), 1));
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

INSTANTIATE_TEST_SUITE_P(AllReleaseOrders, FlLockNestedTest,
                         ::testing::Values(std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 1},
                                           std::array<int, 3>{1, 0, 2}, std::array<int, 3>{1, 2, 0},
                                           std::array<int, 3>{2, 0, 1}, std::array<int, 3>{2, 1, 0}));

// ---------------------------------------------------------------------------
// Stop holds

// A holds the lock, B asks for a stop hold, C's read request returns at once
// without the lock and its release leaves the counts as they were.
TEST(FlLockStopTest, PendingStopAnswersOtherThreadsWithoutTheLock) {
  Ref<IFlLock> lock(TFlLock::Create());
  TFlLock* counters = lock->Instance();
  const TThreadID a = GetCurrentThreadId();
  Ref<IFlLockSection> held = lock->WriteLock();

  TEvent stopHeld, endStop;
  bool ownerReenters = false;
  TWorker b([&] {
    Ref<IFlLockSection> stop = lock->StopLock();
    // The stopper itself takes further holds as the owner.
    ownerReenters = lock->WriteLock() != nullptr;
    stopHeld.Set();
    endStop.Wait();
  });
  EXPECT_TRUE(WaitUntil([&] { return counters->Counters().InStopCount > 0; }));
  TCounters pending = Owned(a, 1);
  pending.InStopCount = 1;
  EXPECT_EQ(counters->Counters(), pending);

  bool readEmpty = false, writeEmpty = false;
  bool internalLocked = true;
  TCounters whileInternalHeld;
  TEvent cDone;
  TWorker c([&] {
    readEmpty = lock->ReadLock() == nullptr;
    writeEmpty = lock->WriteLock() == nullptr;
    // The internal section, as framework objects keep it: counted while held.
    Ref<TFlSimpleReadLockSection> internal = MakeObject<TFlSimpleReadLockSection>(lock, Ref<IFlLock>());
    internalLocked = internal->Locked();
    whileInternalHeld = counters->Counters();
    internal.Reset();
    cDone.Set();
  });
  EXPECT_TRUE(cDone.Wait()) << "a request during a pending stop must not wait";
  c.Join();
  EXPECT_TRUE(readEmpty);
  EXPECT_TRUE(writeEmpty);
  EXPECT_FALSE(internalLocked);
  TCounters counted = pending;
  counted.CountStopLocks = 1;
  EXPECT_EQ(whileInternalHeld, counted);
  EXPECT_EQ(counters->Counters(), pending) << "C's releases must balance its counts";

  // A gives the lock up: the stopper gets it.
  held.Reset();
  EXPECT_TRUE(stopHeld.Wait());
  EXPECT_TRUE(ownerReenters);
  TCounters stopped = Owned(b.Id(), 1);
  stopped.InStopCount = 1;
  EXPECT_EQ(counters->Counters(), stopped);
  EXPECT_EQ(lock->WriteLock(), nullptr) << "while stopped, others proceed without the lock";
  EXPECT_EQ(counters->Counters(), stopped);

  endStop.Set();
  b.Join();
  EXPECT_EQ(counters->Counters(), TCounters{});
  EXPECT_NE(lock->WriteLock(), nullptr);
}

// The base framework object hands its internal section out even when it was
// answered without the lock.
TEST(FlLockStopTest, FrameworkObjectReturnsItsSectionAlsoWithoutTheLock) {
  TFlObject object;
  TEvent stopHeld, endStop;
  TWorker stopper([&] {
    Ref<IFlLockSection> stop = object.IntLock()->StopLock();
    stopHeld.Set();
    endStop.Wait();
  });
  EXPECT_TRUE(stopHeld.Wait());
  TFlLock* lock = object.IntLock()->Instance();
  {
    Ref<IFlLockSection> read = object.ReadLock();
    Ref<IFlLockSection> write = object.WriteLock();
    EXPECT_TRUE(read && write);
    EXPECT_EQ(lock->Counters().CountStopLocks, 2);
  }
  EXPECT_EQ(lock->Counters().CountStopLocks, 0);
  endStop.Set();
  stopper.Join();
  EXPECT_EQ(lock->Counters(), TCounters{});
}

// ---------------------------------------------------------------------------
// Slave release: the pin-lock / owner-lock standoff

// A holds the pin lock and waits for the component lock, which B holds while
// it waits for the pin lock. After its 20th failed try B gives up its holds
// on the component lock, A proceeds, and B's holds are back once B's pin
// section has ended.
TEST(FlLockSlaveTest, StandoffResolvedAfterTheTwentiethTry) {
  Ref<IFlLock> pin(TFlLock::Create()), component(TFlLock::Create());
  TEvent pinHeld, componentHeld, go;
  std::atomic<bool> aGotComponent{false};
  TCounters componentWhenAGotIt;

  TWorker a([&] {
    Ref<IFlLockSection> pinHold = pin->WriteLock();
    pinHeld.Set();
    go.Wait();
    Ref<IFlLockSection> componentHold = component->WriteLock();
    componentWhenAGotIt = component->Instance()->Counters();
    aGotComponent = componentHold != nullptr;
  });

  int32_t releaseTry = -1;
  bool pinLocked = false;
  bool aWasFirst = false;
  TCounters componentWhileBHoldsPin, componentAfterPinEnded;
  TWorker b([&] {
    Ref<IFlLockSection> first = component->WriteLock();
    Ref<IFlLockSection> second = component->WriteLock();
    componentHeld.Set();
    go.Wait();
    {
      // As a pin takes its own lock with the owner component's lock as slave.
      Ref<TFlSimpleWriteLockSection> pinHold = MakeObject<TFlSimpleWriteLockSection>(pin, component);
      pinLocked = pinHold->Locked();
      releaseTry = pinHold->SlaveReleaseTry();
      aWasFirst = aGotComponent;
      componentWhileBHoldsPin = component->Instance()->Counters();
    }
    componentAfterPinEnded = component->Instance()->Counters();
  });

  EXPECT_TRUE(pinHeld.Wait());
  EXPECT_TRUE(componentHeld.Wait());
  go.Set();
  a.Join();
  b.Join();

  EXPECT_TRUE(pinLocked);
  EXPECT_EQ(releaseTry, 20);
  EXPECT_TRUE(aWasFirst);
  EXPECT_EQ(componentWhenAGotIt, Owned(a.Id(), 1));
  EXPECT_EQ(componentWhileBHoldsPin, TCounters{}) << "B's component holds stay given up while it holds the pin";
  EXPECT_EQ(componentAfterPinEnded, Owned(b.Id(), 2)) << "B's two component holds must be back";
  EXPECT_EQ(component->Instance()->Counters(), TCounters{});
  EXPECT_EQ(pin->Instance()->Counters(), TCounters{});
}

// ---------------------------------------------------------------------------
// Unlock-all

TEST(FlLockUnlockAllTest, OwnerGivesUpThreeHoldsAndGetsThemBack) {
  Ref<IFlLock> lock(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> h1 = lock->WriteLock(), h2 = lock->ReadLock(), h3 = lock->WriteLock();

  Ref<IFlLockSection> givenUp = lock->UnlockAll();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
  bool otherGotIt = false;
  TCounters whileOtherHeld;
  std::thread([&] {
    Ref<IFlLockSection> s = lock->WriteLock();
    otherGotIt = s != nullptr;
    whileOtherHeld = lock->Instance()->Counters();
  }).join();
  EXPECT_TRUE(otherGotIt) << "the mutex must be free while the holds are given up";
  EXPECT_EQ(whileOtherHeld.CountLocks, 1);

  givenUp.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), Owned(me, 3));
  bool probe = true;
  std::thread([&] { probe = lock->Instance()->TryAcquire(0); }).join();
  EXPECT_FALSE(probe);

  h2.Reset();
  h1.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), Owned(me, 1));
  h3.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

// While the holds are given up another thread takes the lock; the restore
// waits until that thread has released it.
TEST(FlLockUnlockAllTest, RestoreWaitsForAnotherThreadHoldingTheLock) {
  TTraceScope trace;
  Ref<IFlLock> lock(TFlLock::Create());
  const TThreadID me = GetCurrentThreadId();
  Ref<IFlLockSection> mine = lock->WriteLock();
  Ref<IFlLockSection> givenUp = lock->UnlockAll();

  TEvent held;
  TWorker other([&] {
    Ref<IFlLockSection> s = lock->WriteLock();
    held.Set();
    // Keep the lock until the test thread has started to restore.
    trace->WaitFor(lock->Instance(), loBeginUnlockDestroy, me);
  });
  EXPECT_TRUE(held.Wait());
  givenUp.Reset();  // returns once `other` has released the lock
  other.Join();
  EXPECT_EQ(lock->Instance()->Counters(), Owned(me, 1));
  mine.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

// A stop taken by another thread while the holds are given up: the restore
// does not wait, the holds come back as holds answered without the lock, and
// their releases balance.
TEST(FlLockUnlockAllTest, RestoreDuringAStopReturnsWithoutTheLock) {
  Ref<IFlLock> lock(TFlLock::Create());
  TFlLock* counters = lock->Instance();
  Ref<IFlLockSection> h1 = lock->WriteLock(), h2 = lock->WriteLock();
  Ref<IFlLockSection> givenUp = lock->UnlockAll();

  TEvent stopHeld, endStop;
  TWorker stopper([&] {
    Ref<IFlLockSection> stop = lock->StopLock();
    stopHeld.Set();
    endStop.Wait();
  });
  EXPECT_TRUE(stopHeld.Wait());
  TCounters stopped = Owned(stopper.Id(), 1);
  stopped.InStopCount = 1;
  EXPECT_EQ(counters->Counters(), stopped);

  givenUp.Reset();  // must not wait for the stopper
  TCounters carried = stopped;
  carried.CountStopLocks = 2;
  EXPECT_EQ(counters->Counters(), carried);

  h1.Reset();
  h2.Reset();
  EXPECT_EQ(counters->Counters(), stopped);
  endStop.Set();
  stopper.Join();
  EXPECT_EQ(counters->Counters(), TCounters{});
}

TEST(FlLockUnlockAllTest, StrangerChangesNothing) {
  Ref<IFlLock> lock(TFlLock::Create());
  TEvent held, release;
  TWorker owner([&] {
    Ref<IFlLockSection> a = lock->WriteLock(), b = lock->WriteLock();
    held.Set();
    release.Wait();
  });
  EXPECT_TRUE(held.Wait());
  const TCounters before = Owned(owner.Id(), 2);
  EXPECT_EQ(lock->Instance()->Counters(), before);

  Ref<TFlSimpleUnlockSection> givenUp = MakeObject<TFlSimpleUnlockSection>(lock, Ref<IFlLock>());
  EXPECT_EQ(givenUp->SavedCountLocks(), 0);
  EXPECT_EQ(givenUp->SavedCountOtherLocks(), 0);
  EXPECT_EQ(lock->Instance()->Counters(), before);
  givenUp.Reset();
  EXPECT_EQ(lock->Instance()->Counters(), before);

  release.Set();
  owner.Join();
  EXPECT_EQ(lock->Instance()->Counters(), TCounters{});
}

TEST(FlLockUnlockAllTest, FrameworkObjectGivesUpItsLock) {
  TFlObject object;
  Ref<IFlLockSection> hold = object.WriteLock();
  {
    Ref<IFlLockSection> givenUp = object.UnlockAll();
    EXPECT_EQ(object.IntLock()->Instance()->Counters(), TCounters{});
  }
  EXPECT_EQ(object.IntLock()->Instance()->Counters(), Owned(GetCurrentThreadId(), 1));
}

// ---------------------------------------------------------------------------
// Destroy lock

TEST(FlDestroyLockTest, DestroyerWaitsForTwoWorkersWhileAThirdIsRefused) {
  TFlObject owner;
  Ref<IFlDestroyLock> lock(TFlDestroyLock::Create(&owner));
  TFlDestroyLock* state = lock->Instance();

  std::array<TEvent, 2> registered, leave;
  std::vector<std::unique_ptr<TWorker>> workers;
  for (int i = 0; i < 2; ++i) {
    workers.push_back(std::make_unique<TWorker>([&, i] {
      Ref<IFlDestroyLockSection> s = lock->Lock();
      if (s) registered[i].Set();
      leave[i].Wait();
    }));
  }
  EXPECT_TRUE(registered[0].Wait());
  EXPECT_TRUE(registered[1].Wait());
  EXPECT_EQ(state->LockCount(), 2);

  TEvent destroyReturned, finish;
  bool destroyerMayWork = false;
  TWorker destroyer([&] {
    Ref<IFlDestroyLockSection> d = lock->DestroyLock();
    destroyReturned.Set();
    destroyerMayWork = lock->Lock() != nullptr;
    finish.Wait();
  });
  EXPECT_TRUE(WaitUntil([&] { return state->DestroyingCount() > 0; }));

  EXPECT_EQ(lock->Lock(), nullptr) << "a third thread must be refused during destruction";
  EXPECT_EQ(state->LockCount(), 2);

  leave[0].Set();
  workers[0]->Join();
  EXPECT_EQ(state->LockCount(), 1);
  EXPECT_FALSE(destroyReturned.IsSet()) << "one worker is still inside";

  leave[1].Set();
  workers[1]->Join();
  EXPECT_TRUE(destroyReturned.Wait());
  EXPECT_EQ(state->DestroyingThread(), destroyer.Id());

  finish.Set();
  destroyer.Join();
  EXPECT_TRUE(destroyerMayWork) << "the destroying thread itself may register after DestroyLock";
  EXPECT_EQ(state->DestroyingCount(), 0);
  EXPECT_EQ(state->DestroyingThread(), 0u);
  EXPECT_EQ(state->LockCount(), 0);
  EXPECT_NE(lock->Lock(), nullptr);
}

// A worker inside the object waits for the owner's lock held by the destroyer:
// the destroyer gives its holds up while it waits, so the worker can finish.
TEST(FlDestroyLockTest, DestroyerGivesUpTheOwnersLockWhileWaiting) {
  TTraceScope trace;
  TFlObject owner;
  Ref<IFlDestroyLock> lock(TFlDestroyLock::Create(&owner));
  TFlLock* ownerLock = owner.IntLock()->Instance();
  Ref<IFlLockSection> destroyerHold = owner.WriteLock();

  TEvent registered;
  bool workerGotOwnerLock = false;
  TWorker worker([&] {
    Ref<IFlDestroyLockSection> inside = lock->Lock();
    registered.Set();
    Ref<IFlLockSection> s = owner.WriteLock();
    workerGotOwnerLock = ownerLock->Counters().OwningThread == GetCurrentThreadId();
  });
  EXPECT_TRUE(registered.Wait());
  EXPECT_TRUE(trace->WaitFor(ownerLock, loBeginWriteCreate, worker.Id()));

  Ref<IFlDestroyLockSection> destroying = lock->DestroyLock();
  worker.Join();
  EXPECT_TRUE(workerGotOwnerLock);
  EXPECT_EQ(ownerLock->Counters(), Owned(GetCurrentThreadId(), 1)) << "the destroyer's hold is back";
}

TEST(FlDestroyLockTest, DestroyUnlockLockSuspendsDestruction) {
  Ref<IFlDestroyLock> lock(TFlDestroyLock::Create(nullptr));
  Ref<IFlDestroyLockSection> destroying = lock->DestroyLock();
  EXPECT_EQ(lock->Instance()->DestroyingCount(), 1);

  auto otherThreadRegisters = [&] {
    bool got = false;
    std::thread([&] { got = lock->Lock() != nullptr; }).join();
    return got;
  };
  EXPECT_FALSE(otherThreadRegisters());
  {
    Ref<IFlDestroyLockSection> suspended = lock->DestroyUnlockLock();
    EXPECT_EQ(lock->Instance()->DestroyingCount(), 0);
    EXPECT_TRUE(otherThreadRegisters());
  }
  EXPECT_EQ(lock->Instance()->DestroyingCount(), 1);
  EXPECT_FALSE(otherThreadRegisters());
  destroying.Reset();
  EXPECT_EQ(lock->Instance()->DestroyingCount(), 0);
  EXPECT_TRUE(otherThreadRegisters());
}

// ---------------------------------------------------------------------------
// Stress: many threads, nested holds, unlock-all in lock order

TEST(FlLockStressTest, NestedHoldsAndUnlockAllKeepExclusion) {
  Ref<IFlLock> input(TFlLock::Create()), owner(TFlLock::Create());
  int64_t guarded = 0;  // touched only while `owner` is really held
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  constexpr int threads = 4, rounds = 150;

  auto touch = [&] {
    if (inside.fetch_add(1) != 0) overlap = true;
    ++guarded;
    inside.fetch_sub(1);
  };

  std::vector<std::unique_ptr<TWorker>> workers;
  for (int t = 0; t < threads; ++t) {
    workers.push_back(std::make_unique<TWorker>([&, t] {
      std::mt19937 random(1234 + t);
      for (int i = 0; i < rounds; ++i) {
        // Lock order: input before owner.
        Ref<IFlLockSection> in = input->WriteLock();
        Ref<IFlLockSection> own = owner->WriteLock();
        touch();
        switch (random() % 3) {
          case 0: {
            Ref<IFlLockSection> nested = owner->ReadLock();
            touch();
            break;
          }
          case 1: {
            // Give both up around a "call"; ending the sections in reverse
            // order takes input back first, then owner (with input held).
            Ref<IFlLockSection> ownGiven = owner->UnlockAllLockInOrder(input);
            Ref<IFlLockSection> inGiven = input->UnlockAll();
            inGiven.Reset();
            ownGiven.Reset();
            touch();
            break;
          }
          default:
            break;
        }
      }
    }));
  }
  for (auto& w : workers) w->Join();
  EXPECT_FALSE(overlap);
  EXPECT_GE(guarded, int64_t(threads) * rounds);
  EXPECT_EQ(owner->Instance()->Counters(), TCounters{});
  EXPECT_EQ(input->Instance()->Counters(), TCounters{});
}

}  // namespace
