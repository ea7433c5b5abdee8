// Uncontended costs of the framework lock and the property lock, with
// std::recursive_mutex doing the same work as the reference.
//
// Every hold of the framework lock creates and frees a section object and
// passes the trace registry four times (two steps when taken, two when
// ended), each one enter and leave of its critical section with no listener.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "component/CmLock.h"
#include "pins/FlLocks.h"

namespace {

// --- framework lock

void BM_FlLock_FirstHold(benchmark::State& AState) {
  Ref<IFlLock> lock(TFlLock::Create());
  for (auto _ : AState) {
    Ref<IFlLockSection> section = lock->WriteLock();
    benchmark::DoNotOptimize(section.Get());
  }
}
BENCHMARK(BM_FlLock_FirstHold);

void BM_FlLock_ReentrantHold(benchmark::State& AState) {
  Ref<IFlLock> lock(TFlLock::Create());
  Ref<IFlLockSection> outer = lock->WriteLock();
  for (auto _ : AState) {
    Ref<IFlLockSection> section = lock->WriteLock();
    benchmark::DoNotOptimize(section.Get());
  }
}
BENCHMARK(BM_FlLock_ReentrantHold);

// --- property lock

void BM_CmLock_SetterUnchanged(benchmark::State& AState) {
  int notifications = 0;
  Ref<TCmLock> lock = TCmLock::Create([&] { ++notifications; });
  int32_t field = 7;
  for (auto _ : AState) benchmark::DoNotOptimize(lock->Setter(field, 7, TCmPropUpdateFunc()));
  benchmark::DoNotOptimize(notifications);
}
BENCHMARK(BM_CmLock_SetterUnchanged);

void BM_CmLock_SetterChangedAndNotified(benchmark::State& AState) {
  int notifications = 0;
  int updates = 0;
  Ref<TCmLock> lock = TCmLock::Create([&] { ++notifications; });
  const TCmPropUpdateFunc update = [&] { ++updates; };
  int32_t field = 0;
  int32_t next = 1;
  for (auto _ : AState) {
    benchmark::DoNotOptimize(lock->Setter(field, next, update));
    next ^= 1;
  }
  benchmark::DoNotOptimize(notifications + updates);
}
BENCHMARK(BM_CmLock_SetterChangedAndNotified);

// --- std::recursive_mutex doing the same

void BM_StdRecursiveMutex_FirstHold(benchmark::State& AState) {
  std::recursive_mutex mutex;
  for (auto _ : AState) {
    std::lock_guard<std::recursive_mutex> hold(mutex);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StdRecursiveMutex_FirstHold);

void BM_StdRecursiveMutex_ReentrantHold(benchmark::State& AState) {
  std::recursive_mutex mutex;
  std::lock_guard<std::recursive_mutex> outer(mutex);
  for (auto _ : AState) {
    std::lock_guard<std::recursive_mutex> hold(mutex);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StdRecursiveMutex_ReentrantHold);

// A setter written directly on std::recursive_mutex with the same compare,
// assign and notify steps.
struct TStdSetter {
  std::recursive_mutex Mutex;
  std::function<void()> Notify;
  bool Set(int32_t& AField, int32_t AValue, const std::function<void()>& AUpdated) {
    std::lock_guard<std::recursive_mutex> hold(Mutex);
    if (AField == AValue) return false;
    AField = AValue;
    if (AUpdated) AUpdated();
    if (Notify) Notify();
    return true;
  }
};

void BM_StdRecursiveMutex_SetterUnchanged(benchmark::State& AState) {
  int notifications = 0;
  TStdSetter setter;
  setter.Notify = [&] { ++notifications; };
  int32_t field = 7;
  for (auto _ : AState) benchmark::DoNotOptimize(setter.Set(field, 7, {}));
  benchmark::DoNotOptimize(notifications);
}
BENCHMARK(BM_StdRecursiveMutex_SetterUnchanged);

void BM_StdRecursiveMutex_SetterChangedAndNotified(benchmark::State& AState) {
  int notifications = 0;
  int updates = 0;
  TStdSetter setter;
  setter.Notify = [&] { ++notifications; };
  const std::function<void()> update = [&] { ++updates; };
  int32_t field = 0;
  int32_t next = 1;
  for (auto _ : AState) {
    benchmark::DoNotOptimize(setter.Set(field, next, update));
    next ^= 1;
  }
  benchmark::DoNotOptimize(notifications + updates);
}
BENCHMARK(BM_StdRecursiveMutex_SetterChangedAndNotified);

}  // namespace

BENCHMARK_MAIN();
