#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "platform/tests/WaitUntil.h"

namespace {

TEST(ThreadIdTest, NeverZeroStableAndDistinct) {
  const TThreadID mine = GetCurrentThreadId();
  EXPECT_NE(mine, 0u);
  EXPECT_EQ(GetCurrentThreadId(), mine);

  constexpr int threads = 8;
  std::vector<TThreadID> ids(threads);
  std::vector<std::thread> pool;
  for (int i = 0; i < threads; ++i) pool.emplace_back([&ids, i] { ids[i] = GetCurrentThreadId(); });
  for (auto& t : pool) t.join();
  std::set<TThreadID> distinct(ids.begin(), ids.end());
  distinct.insert(mine);
  EXPECT_EQ(distinct.size(), size_t(threads + 1));
  EXPECT_EQ(distinct.count(0u), 0u);
}

TEST(InterlockedTest, ReturnValues) {
  int32_t v = 5;
  EXPECT_EQ(InterlockedIncrement(v), 6);
  EXPECT_EQ(InterlockedDecrement(v), 5);
  EXPECT_EQ(InterlockedExchange(v, 42), 5);
  EXPECT_EQ(v, 42);
  EXPECT_EQ(InterlockedExchangeAdd(v, -2), 42);
  EXPECT_EQ(InterlockedExchangeAdd(v, 0), 40);
}

TEST(InterlockedTest, ConcurrentIncrementsAndDecrementsBalance) {
  int32_t counter = 0;
  int32_t added = 0;
  constexpr int threads = 4, rounds = 10000;
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (int i = 0; i < rounds; ++i) {
        InterlockedIncrement(counter);
        InterlockedExchangeAdd(added, 3);
        InterlockedDecrement(counter);
        InterlockedIncrement(counter);
      }
    });
  for (auto& t : pool) t.join();
  EXPECT_EQ(InterlockedExchangeAdd(counter, 0), threads * rounds);
  EXPECT_EQ(InterlockedExchangeAdd(added, 0), 3 * threads * rounds);
}

TEST(CriticalSectionTest, ReentrantAndExclusive) {
  TSysCriticalSection section;
  section.Enter();
  section.Enter();  // the owner enters again at once
  section.Leave();
  section.Leave();

  int64_t total = 0;  // guarded by section only
  constexpr int threads = 4, rounds = 5000;
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (int i = 0; i < rounds; ++i) {
        section.Enter();
        section.Enter();
        ++total;
        section.Leave();
        section.Leave();
      }
    });
  for (auto& t : pool) t.join();
  EXPECT_EQ(total, int64_t(threads) * rounds);
}

TEST(MutexTest, OwnerReacquiresAtOnceAndReleasesAsOften) {
  TSysMutex mutex;
  EXPECT_EQ(mutex.Wait(0), TWaitResult::wrSignaled);
  EXPECT_EQ(mutex.Wait(0), TWaitResult::wrSignaled);
  EXPECT_TRUE(mutex.Release());

  // Still owned once: another thread times out.
  TWaitResult other = TWaitResult::wrSignaled;
  std::thread([&] { other = mutex.Wait(1); }).join();
  EXPECT_EQ(other, TWaitResult::wrTimeout);

  EXPECT_TRUE(mutex.Release());
  EXPECT_FALSE(mutex.Release()) << "releasing a mutex nobody owns must fail";

  bool released = false;
  std::thread([&] {
    other = mutex.Wait(0);
    released = mutex.Release();
  }).join();
  EXPECT_EQ(other, TWaitResult::wrSignaled);
  EXPECT_TRUE(released);
}

TEST(MutexTest, ReleaseByAStrangerFailsAndChangesNothing) {
  TSysMutex mutex;
  ASSERT_EQ(mutex.Wait(INFINITE), TWaitResult::wrSignaled);
  bool strangerReleased = true;
  std::thread([&] { strangerReleased = mutex.Release(); }).join();
  EXPECT_FALSE(strangerReleased);
  EXPECT_EQ(mutex.Wait(0), TWaitResult::wrSignaled);  // still ours
  EXPECT_TRUE(mutex.Release());
  EXPECT_TRUE(mutex.Release());
}

TEST(MutexTest, WaiterGetsTheMutexWhenTheOwnerReleases) {
  TSysMutex mutex;
  ASSERT_EQ(mutex.Wait(0), TWaitResult::wrSignaled);
  std::atomic<bool> waiting{false};
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    waiting = true;
    got = mutex.Wait(INFINITE) == TWaitResult::wrSignaled;
    mutex.Release();
  });
  EXPECT_TRUE(frtest::WaitUntil([&] { return waiting.load(); }));
  EXPECT_TRUE(mutex.Release());
  waiter.join();
  EXPECT_TRUE(got);
}

TEST(MutexTest, SameNameSharesOneMutexOtherNamesDoNot) {
  TSysMutex a("fr-sync-test"), b("fr-sync-test"), c("fr-sync-test-other");
  ASSERT_EQ(a.Wait(0), TWaitResult::wrSignaled);
  TWaitResult viaB = TWaitResult::wrSignaled, viaC = TWaitResult::wrTimeout;
  std::thread([&] {
    viaB = b.Wait(0);
    viaC = c.Wait(0);
    if (viaC == TWaitResult::wrSignaled) c.Release();
  }).join();
  EXPECT_EQ(viaB, TWaitResult::wrTimeout) << "the same name must be the same mutex";
  EXPECT_EQ(viaC, TWaitResult::wrSignaled);
  EXPECT_TRUE(b.Release()) << "the owner may release through any handle of the name";
}

TEST(MutexTest, NamedMutexEndsWithItsLastHandle) {
  {
    TSysMutex first("fr-sync-test-lifetime");
    ASSERT_EQ(first.Wait(0), TWaitResult::wrSignaled);
    // Deliberately closed while owned.
  }
  // A new mutex of that name is a fresh one, owned by nobody.
  TSysMutex again("fr-sync-test-lifetime");
  TWaitResult other = TWaitResult::wrTimeout;
  std::thread([&] {
    other = again.Wait(0);
    if (other == TWaitResult::wrSignaled) again.Release();
  }).join();
  EXPECT_EQ(other, TWaitResult::wrSignaled);
}

}  // namespace
