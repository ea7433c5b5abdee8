#include "component/CmLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pins/tests/LockTestSupport.h"

namespace {

using locktest::TEvent;
using locktest::TTraceScope;
using locktest::TWorker;

// A property lock whose own notification and the caller's update function
// write into one log, so that tests see what ran and in which order, and
// check that both ran inside the write section.
struct TLoggedLock {
  std::vector<std::string> Log;
  bool HeldDuringCalls = true;
  Ref<TCmLock> Lock;

  TLoggedLock() {
    Lock = TCmLock::Create([this] { Record("notify"); });
  }
  TCmPropUpdateFunc Update() {
    return [this] { Record("update"); };
  }
  void Record(const char* AWhat) {
    Log.push_back(AWhat);
    const TFlLock::TCounters c = Lock->Instance()->Counters();
    if (c.OwningThread != GetCurrentThreadId() || c.CountLocks < 1) HeldDuringCalls = false;
  }
};

// ---------------------------------------------------------------------------
// The plain setters, one typed test for every value type

// Two different values of each type: A is where the field starts, B what is
// set.
template <class T>
struct TSetterCase {
  static std::pair<T, T> Values() {
    if constexpr (std::is_same_v<T, TGPColor>) return {aclRed, TGPColor(0x80FF0000u)};
    else if constexpr (std::is_same_v<T, TColor>) return {clRed, TColor(-1)};
    else if constexpr (std::is_same_v<T, TCursor>) return {crDefault, crHourGlass};
    else if constexpr (std::is_same_v<T, int32_t>) return {-7, std::numeric_limits<int32_t>::min()};
    else if constexpr (std::is_same_v<T, int16_t>) return {1, -32768};
    // Differ only in the low word: 64-bit values compare as a whole.
    else if constexpr (std::is_same_v<T, int64_t>) return {int64_t(1) << 40, (int64_t(1) << 40) + 1};
    else if constexpr (std::is_same_v<T, uint32_t>) return {1u, 4000000000u};
    else if constexpr (std::is_same_v<T, uint16_t>) return {1, 65535};
    else if constexpr (std::is_same_v<T, uint8_t>) return {0, 255};
    else if constexpr (std::is_same_v<T, float>) return {0.5f, -0.25f};
    else if constexpr (std::is_same_v<T, double>) return {2.0, 300.0};
    else if constexpr (std::is_same_v<T, bool>) return {false, true};
    // Texts differing only in letter case are different values.
    else if constexpr (std::is_same_v<T, std::u16string>) return {u"Background", u"background"};
    else if constexpr (std::is_same_v<T, std::string>) return {"Category", "category"};
    else if constexpr (std::is_same_v<T, char16_t>) return {u'a', u'A'};
    else if constexpr (std::is_same_v<T, TDateTime>) return {TDateTime(45000.25), TDateTime(45000.5)};
    else if constexpr (std::is_same_v<T, TBfClockSource>) return {csInternal, csExternal};
    else return {stNone, stQueue};
  }
  static T A() { return Values().first; }
  static T B() { return Values().second; }
};

template <class T>
bool CallSetter(ICmLock& ALock, T& AField, const T& AValue, const TCmPropUpdateFunc& AUpdate) {
  return ALock.Setter(AField, AValue, AUpdate);
}
template <>
bool CallSetter<TGPColor>(ICmLock& ALock, TGPColor& AField, const TGPColor& AValue, const TCmPropUpdateFunc& AUpdate) {
  // The extra Boolean is ignored either way.
  return ALock.Setter(AField, AValue, false, AUpdate);
}

// Synchronisation changes are not reported through the lock's notification.
template <class T>
constexpr bool NotifiesLock = !std::is_same_v<T, TBfSynchronizeType>;

template <class T>
class CmLockSetterTest : public ::testing::Test {};

using SetterTypes = ::testing::Types<TGPColor, TColor, TCursor, int32_t, int16_t, int64_t, uint32_t, uint16_t,
                                     uint8_t, float, double, bool, std::u16string, std::string, char16_t,
                                     TDateTime, TBfClockSource, TBfSynchronizeType>;
TYPED_TEST_SUITE(CmLockSetterTest, SetterTypes);

TYPED_TEST(CmLockSetterTest, NewValueIsAssignedThenUpdateThenNotify) {
  using T = TypeParam;
  TLoggedLock l;
  T field = TSetterCase<T>::A();
  EXPECT_TRUE(CallSetter<T>(*l.Lock, field, TSetterCase<T>::B(), l.Update()));
  EXPECT_TRUE(field == TSetterCase<T>::B());
  if constexpr (NotifiesLock<T>)
    EXPECT_EQ(l.Log, (std::vector<std::string>{"update", "notify"}));
  else
    EXPECT_EQ(l.Log, (std::vector<std::string>{"update"}));
  EXPECT_TRUE(l.HeldDuringCalls) << "notifications must run inside the write section";
  EXPECT_EQ(l.Lock->Instance()->Counters(), TFlLock::TCounters{}) << "the section must have ended";
}

TYPED_TEST(CmLockSetterTest, SameValueChangesNothingAndCallsNothing) {
  using T = TypeParam;
  TLoggedLock l;
  T field = TSetterCase<T>::B();
  EXPECT_FALSE(CallSetter<T>(*l.Lock, field, TSetterCase<T>::B(), l.Update()));
  EXPECT_TRUE(field == TSetterCase<T>::B());
  EXPECT_TRUE(l.Log.empty());
}

TYPED_TEST(CmLockSetterTest, EmptyCallbacksStillAssign) {
  using T = TypeParam;
  Ref<TCmLock> lock = TCmLock::Create();
  T field = TSetterCase<T>::A();
  EXPECT_TRUE(CallSetter<T>(*lock, field, TSetterCase<T>::B(), TCmPropUpdateFunc()));
  EXPECT_TRUE(field == TSetterCase<T>::B());
}

// NaN written over NaN is no change (though NaN == NaN is false); NaN over a
// number and a number over NaN are changes.
template <class T>
class CmLockRealSetterTest : public ::testing::Test {};

using RealSetterTypes = ::testing::Types<float, double, TDateTime>;
TYPED_TEST_SUITE(CmLockRealSetterTest, RealSetterTypes);

TYPED_TEST(CmLockRealSetterTest, NaNOverNaNChangesNothingAndCallsNothing) {
  using T = TypeParam;
  const T nan = T(std::numeric_limits<double>::quiet_NaN());
  const T otherNaN = T(-std::numeric_limits<double>::signaling_NaN());
  TLoggedLock l;
  T field = nan;
  EXPECT_FALSE(l.Lock->Setter(field, nan, l.Update()));
  EXPECT_FALSE(l.Lock->Setter(field, otherNaN, l.Update()));
  EXPECT_TRUE(l.Log.empty());
  EXPECT_TRUE(l.Lock->Setter(field, T(1), l.Update()));
  EXPECT_TRUE(l.Lock->Setter(field, nan, l.Update()));
  EXPECT_EQ(l.Log, (std::vector<std::string>{"update", "notify", "update", "notify"}));
}

// ---------------------------------------------------------------------------
// Range-limited setters: a table per type, with the type's own signedness

enum class TRange { Min, Max, MinMax };

template <class T>
struct TRangeRow {
  const char* Name;
  TRange Op;
  T Start, Value, Low, High;  // Low is the minimum, High the maximum
  T Expected;
  bool Changed;
};

template <class T>
void RunRangeRows(const std::vector<TRangeRow<T>>& ARows) {
  for (const TRangeRow<T>& row : ARows) {
    SCOPED_TRACE(row.Name);
    TLoggedLock l;
    T field = row.Start;
    bool changed = false;
    switch (row.Op) {
      case TRange::Min: changed = l.Lock->SetterMin(field, row.Value, row.Low, l.Update()); break;
      case TRange::Max: changed = l.Lock->SetterMax(field, row.Value, row.High, l.Update()); break;
      case TRange::MinMax: changed = l.Lock->SetterMinMax(field, row.Value, row.Low, row.High, l.Update()); break;
    }
    EXPECT_EQ(changed, row.Changed);
    EXPECT_EQ(field, row.Expected);
    EXPECT_EQ(l.Log.size(), row.Changed ? 2u : 0u);
  }
}

TEST(CmLockRangeTest, Integer) {
  RunRangeRows<int32_t>({
      {"below minimum stores minimum", TRange::Min, 3, -5, 0, 0, 0, true},
      {"below minimum already at minimum", TRange::Min, 0, -5, 0, 0, 0, false},
      {"above minimum kept", TRange::Min, 3, 7, 0, 0, 7, true},
      {"above maximum stores maximum", TRange::Max, 3, 7, 0, 5, 5, true},
      {"negative below maximum kept", TRange::Max, 3, -2000000000, 0, 5, -2000000000, true},
      {"inside the range kept", TRange::MinMax, 0, 4, 0, 5, 4, true},
      {"minimum above maximum: maximum wins", TRange::MinMax, 0, 7, 10, 5, 5, true},
  });
}

TEST(CmLockRangeTest, Int64ComparesAllSixtyFourBits) {
  constexpr int64_t big = int64_t(1) << 40;
  RunRangeRows<int64_t>({
      {"above a maximum beyond 32 bits", TRange::Max, 0, big + 1, 0, big, big, true},
      {"below a negative minimum", TRange::Min, 0, -big - 1, -big, 0, -big, true},
      {"equal in the low word only is still larger", TRange::Max, 0, big + 5, 0, 5, 5, true},
  });
}

TEST(CmLockRangeTest, CardinalComparesUnsigned) {
  RunRangeRows<uint32_t>({
      {"4000000000 above maximum 100", TRange::Max, 0, 4000000000u, 0, 100, 100, true},
      {"4000000000 above minimum 100", TRange::Min, 0, 4000000000u, 100, 0, 4000000000u, true},
      {"min-max clamps the top", TRange::MinMax, 0, 4000000000u, 1, 3000000000u, 3000000000u, true},
  });
}

TEST(CmLockRangeTest, WordComparesUnsigned) {
  RunRangeRows<uint16_t>({
      {"60000 above maximum 100", TRange::Max, 0, 60000, 0, 100, 100, true},
      {"60000 above minimum 100", TRange::Min, 0, 60000, 100, 0, 60000, true},
      {"below minimum", TRange::MinMax, 0, 2, 10, 20, 10, true},
  });
}

TEST(CmLockRangeTest, ByteComparesUnsigned) {
  RunRangeRows<uint8_t>({
      {"200 above maximum 100", TRange::Max, 0, 200, 0, 100, 100, true},
      {"200 above minimum 100", TRange::Min, 0, 200, 100, 0, 200, true},
      {"minimum above maximum: maximum wins", TRange::MinMax, 0, 7, 10, 5, 5, true},
  });
}

TEST(CmLockRangeTest, Single) {
  RunRangeRows<float>({
      {"below minimum", TRange::Min, 1.0f, -0.5f, 0.0f, 0.0f, 0.0f, true},
      {"above maximum", TRange::Max, 1.0f, 7.5f, 0.0f, 5.0f, 5.0f, true},
      {"min-max 7.5 in 0..5", TRange::MinMax, 0.0f, 7.5f, 0.0f, 5.0f, 5.0f, true},
  });
}

TEST(CmLockRangeTest, Real) {
  RunRangeRows<double>({
      {"min-max 7.5 in 0..5 stores 5", TRange::MinMax, 0.0, 7.5, 0.0, 5.0, 5.0, true},
      {"min-max 7 with minimum 10 and maximum 5 stores 5", TRange::MinMax, 0.0, 7.0, 10.0, 5.0, 5.0, true},
      {"clamped value equal to the field", TRange::MinMax, 5.0, 7.5, 0.0, 5.0, 5.0, false},
      {"below minimum", TRange::Min, 3.0, -1e300, 2.0, 0.0, 2.0, true},
      {"maximum 300 as the layout sets it", TRange::Max, 4000.0, 4000.0, 0.0, 300.0, 300.0, true},
  });
}

// ---------------------------------------------------------------------------
// Getters

template <class T>
class CmLockGetterTest : public ::testing::Test {};
using GetterTypes = ::testing::Types<int32_t, int64_t, uint32_t, uint8_t, uint16_t, double, float, bool,
                                     std::u16string, char16_t, TDateTime>;
TYPED_TEST_SUITE(CmLockGetterTest, GetterTypes);

template <class T>
T GetterValue() {
  if constexpr (std::is_same_v<T, std::u16string>)
    return u"Faces";
  else if constexpr (std::is_same_v<T, TDateTime>)
    return TDateTime(45000.75);
  else if constexpr (std::is_same_v<T, bool>)
    return true;
  else
    return T(std::numeric_limits<T>::max());
}

TYPED_TEST(CmLockGetterTest, ReturnsTheValueAndEndsTheReadSection) {
  using T = TypeParam;
  Ref<TCmLock> lock = TCmLock::Create();
  const T field = GetterValue<T>();
  const T got = lock->Getter(field);
  EXPECT_TRUE(got == field);
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
}

TEST(CmLockGetterTest, DateTimeGetterServesRealProperties) {
  Ref<TCmLock> lock = TCmLock::Create();
  const double influenceField = 123.5;
  const double got = lock->Getter(TDateTime(influenceField));
  EXPECT_EQ(got, 123.5);
}

// ---------------------------------------------------------------------------
// Notifications, errors and the lock's own notification

TEST(CmLockTest, ErrorInNotificationReachesCallerAndEndsSection) {
  Ref<TCmLock> lock = TCmLock::Create([] { throw std::runtime_error("notify failed"); });
  int32_t field = 0;
  EXPECT_THROW(lock->Setter(field, 1, TCmPropUpdateFunc()), std::runtime_error);
  EXPECT_EQ(field, 1) << "assigned before the notification ran";
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
}

TEST(CmLockTest, ErrorInUpdateFunctionSkipsTheNotificationAndEndsSection) {
  int notifications = 0;
  Ref<TCmLock> lock = TCmLock::Create([&] { ++notifications; });
  int32_t field = 0;
  EXPECT_THROW(lock->Setter(field, 1, [] { throw std::runtime_error("update failed"); }), std::runtime_error);
  EXPECT_EQ(field, 1) << "assigned before the update function ran";
  EXPECT_EQ(notifications, 0) << "the notification comes after the update function";
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
  bool otherGotIt = false;
  TWorker([&] { otherGotIt = lock->WriteLock() != nullptr; }).Join();
  EXPECT_TRUE(otherGotIt);
}

TEST(CmLockTest, NotificationMaySetFurtherPropertiesOfTheSameComponent) {
  Ref<TCmLock> lock = TCmLock::Create();
  Ref<TCmLock> item = TCmLock::CreateCopy(Ref<IFlLock>(lock));
  int32_t first = 0, second = 0;
  // The nested setter re-enters the lock this thread already holds.
  EXPECT_TRUE(lock->Setter(first, 1, [&] { EXPECT_TRUE(item->Setter(second, 2, TCmPropUpdateFunc())); }));
  EXPECT_EQ(second, 2);
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
}

TEST(CmLockTest, ChangeNotifyRunsOwnNotificationOnly) {
  int calls = 0;
  Ref<TCmLock> lock = TCmLock::Create([&] { ++calls; });
  lock->ChangeNotify();
  EXPECT_EQ(calls, 1);
  Ref<TCmLock> silent = TCmLock::Create();
  silent->ChangeNotify();  // no notification: nothing to call
}

TEST(CmLockTest, CreateCopyWrapsTheSameFrameworkLockWithItsOwnNotification) {
  int componentCalls = 0, itemCalls = 0;
  Ref<TCmLock> component = TCmLock::Create([&] { ++componentCalls; });
  Ref<TCmLock> item = TCmLock::CreateCopy(Ref<IFlLock>(component), [&] { ++itemCalls; });
  Ref<TCmLock> itemOfItem = TCmLock::CreateCopy(Ref<IFlLock>(item));
  EXPECT_EQ(item->Instance(), component->Instance());
  EXPECT_EQ(itemOfItem->Instance(), component->Instance());

  int32_t field = 0;
  EXPECT_TRUE(item->Setter(field, 5, TCmPropUpdateFunc()));
  EXPECT_EQ(itemCalls, 1);
  EXPECT_EQ(componentCalls, 0);

  // A hold through one is a hold through the other.
  Ref<IFlLockSection> held = component->WriteLock();
  EXPECT_EQ(item->Instance()->Counters().CountLocks, 1);
  Ref<IFlLockSection> again = item->WriteLock();
  EXPECT_EQ(component->Instance()->Counters().CountLocks, 2);
}

TEST(CmLockTest, CreateCopyWithoutLockIsRefused) {
  EXPECT_THROW(TCmLock::CreateCopy(Ref<IFlLock>()), Exception);
}

TEST(CmLockTest, AnswersForItsInterfacesAndFreesEverything) {
  const int64_t before = TInterfacedObject::LiveInstances();
  {
    Ref<TCmLock> lock = TCmLock::Create();
    Ref<IFlLock> asFramework = Supports<IFlLock>(lock);
    ASSERT_TRUE(asFramework);
    Ref<ICmLock> back = Supports<ICmLock>(asFramework);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Instance(), lock->Instance());
    EXPECT_FALSE(Supports<ICmLock>(Ref<IFlLock>(lock->Instance()))) << "a plain framework lock has no setters";
  }
  EXPECT_EQ(TInterfacedObject::LiveInstances(), before);
}

// ---------------------------------------------------------------------------
// Threads

// A writer inside a setter of one copy holds off writers on the other copy.
TEST(CmLockConcurrentTest, CopiesExcludeEachOthersWriters) {
  TTraceScope trace;
  Ref<TCmLock> component = TCmLock::Create();
  Ref<TCmLock> first = TCmLock::CreateCopy(Ref<IFlLock>(component));
  Ref<TCmLock> second = TCmLock::CreateCopy(Ref<IFlLock>(component));
  TFlLock* shared = component->Instance();

  int32_t a = 0, b = 0;
  std::atomic<bool> insideFirst{false};
  std::atomic<bool> secondSawFirstInside{false};
  TEvent entered, leave;

  TWorker one([&] {
    first->Setter(a, 1, [&] {
      insideFirst = true;
      entered.Set();
      leave.Wait();
      insideFirst = false;
    });
  });
  EXPECT_TRUE(entered.Wait());
  EXPECT_FALSE(second->Instance()->TryAcquire(0)) << "the second copy must be locked too";

  TWorker two([&] { second->Setter(b, 2, [&] { secondSawFirstInside = insideFirst.load(); }); });
  // The second writer has started asking for the lock while the first is inside.
  EXPECT_TRUE(trace->WaitFor(shared, loBeginWriteCreate, two.Id()));
  leave.Set();
  one.Join();
  two.Join();

  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_FALSE(secondSawFirstInside);
  EXPECT_EQ(shared->Counters(), TFlLock::TCounters{});
}

// A getter waits while another thread holds the lock and then hands back the
// value that thread wrote.
TEST(CmLockConcurrentTest, GetterWaitsForTheWriterAndReadsItsValue) {
  TTraceScope trace;
  Ref<TCmLock> lock = TCmLock::Create();
  int32_t field = 1;
  TEvent held, finish;

  TWorker writer([&] {
    Ref<IFlLockSection> section = lock->WriteLock();
    held.Set();
    finish.Wait();
    field = 2;  // written under the lock
  });
  EXPECT_TRUE(held.Wait());
  std::atomic<int32_t> seen{0};
  TWorker reader([&] { seen = lock->Getter(field); });
  EXPECT_TRUE(trace->WaitFor(lock->Instance(), loBeginReadCreate, reader.Id()));
  finish.Set();
  writer.Join();
  reader.Join();
  EXPECT_EQ(seen.load(), 2);
}

// ChangeNotify takes no lock: it runs while another thread holds the lock.
TEST(CmLockConcurrentTest, ChangeNotifyDoesNotWaitForTheLock) {
  std::atomic<int> calls{0};
  Ref<TCmLock> lock = TCmLock::Create([&] { ++calls; });
  TEvent held, finish;
  TWorker holder([&] {
    Ref<IFlLockSection> section = lock->WriteLock();
    held.Set();
    finish.Wait();
  });
  EXPECT_TRUE(held.Wait());
  lock->ChangeNotify();
  EXPECT_EQ(calls.load(), 1);
  finish.Set();
}

// While another thread holds a stop, setters and getters do not wait: they
// proceed without the lock and leave the counts as they were.
TEST(CmLockConcurrentTest, SettersProceedWithoutTheLockDuringAStop) {
  Ref<TCmLock> lock = TCmLock::Create();
  TEvent stopHeld, endStop;
  TWorker stopper([&] {
    Ref<IFlLockSection> stop = lock->StopLock();
    stopHeld.Set();
    endStop.Wait();
  });
  EXPECT_TRUE(stopHeld.Wait());
  const TFlLock::TCounters stopped = lock->Instance()->Counters();
  EXPECT_EQ(stopped.InStopCount, 1);

  int32_t field = 0;
  bool notified = false;
  EXPECT_TRUE(lock->Setter(field, 3, [&] { notified = true; }));
  EXPECT_EQ(field, 3);
  EXPECT_TRUE(notified);
  EXPECT_EQ(lock->Getter(field), 3);
  EXPECT_EQ(lock->Instance()->Counters(), stopped);

  endStop.Set();
  stopper.Join();
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
}

// Two threads keep writing properties while a third takes and ends stop
// holds over and over: setters answered without the lock during a stop end
// only their own counts, so every stop is granted and the lock ends free.
TEST(CmLockConcurrentTest, SettersAndRepeatedStopsLeaveTheLockFree) {
  Ref<TCmLock> lock = TCmLock::Create();
  constexpr int stopCycles = 300;
  std::atomic<int> stopsDone{0};
  std::atomic<bool> stopperDone{false};
  int32_t first = 0, second = 0;  // each written by one thread only
  auto writer = [&](int32_t& AField) {
    for (int32_t i = 1; !stopperDone.load(); ++i) lock->Setter(AField, i, TCmPropUpdateFunc());
  };
  TWorker a([&] { writer(first); }), b([&] { writer(second); });
  TWorker stopper([&] {
    for (int i = 0; i < stopCycles; ++i) {
      Ref<IFlLockSection> stop = lock->StopLock();
      ++stopsDone;
    }
    stopperDone = true;
  });
  EXPECT_TRUE(locktest::WaitUntil([&] { return stopperDone.load(); }))
      << "stuck after " << stopsDone.load() << " of " << stopCycles << " stops";
  stopper.Join();
  a.Join();
  b.Join();
  EXPECT_EQ(lock->Instance()->Counters(), TFlLock::TCounters{});
  bool otherGotIt = false;
  TWorker([&] { otherGotIt = lock->WriteLock() != nullptr; }).Join();
  EXPECT_TRUE(otherGotIt);
}

// Many threads writing through copies of one lock: every update is seen, no
// update is lost, and the notification runs once per change.
TEST(CmLockConcurrentTest, ManyWritersThroughCopiesLoseNothing) {
  std::atomic<int> notifications{0};
  Ref<TCmLock> component = TCmLock::Create([&] { ++notifications; });
  int64_t total = 0;
  constexpr int threads = 4, rounds = 500;
  std::vector<std::unique_ptr<TWorker>> workers;
  for (int t = 0; t < threads; ++t) {
    workers.push_back(std::make_unique<TWorker>([&] {
      Ref<TCmLock> mine = TCmLock::CreateCopy(Ref<IFlLock>(component), [&] { ++notifications; });
      for (int i = 0; i < rounds; ++i) {
        Ref<IFlLockSection> section = mine->WriteLock();  // read-modify-write under one hold
        mine->Setter(total, total + 1, TCmPropUpdateFunc());
      }
    }));
  }
  for (auto& w : workers) w->Join();
  EXPECT_EQ(total, int64_t(threads) * rounds);
  EXPECT_EQ(notifications.load(), threads * rounds);
  EXPECT_EQ(component->Instance()->Counters(), TFlLock::TCounters{});
}

}  // namespace
