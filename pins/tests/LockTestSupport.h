// Helpers for tests of the framework and property locks: a trace recorder
// that lets a test wait until another thread has reached a given lock step,
// a one-shot event, and waiting for an observable condition.
//
// Threads are coordinated by what they demonstrably did (a traced step, a
// counter) rather than by sleeping. The waits below give up after a generous
// limit only so that a broken lock fails the test instead of hanging it;
// tests therefore check waits with EXPECT and carry on, so that every hold a
// blocked worker waits for is still released before the worker is joined.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "pins/FlLocks.h"
#include "platform/tests/WaitUntil.h"

namespace locktest {

using frtest::GiveUpAfter;
using frtest::WaitUntil;

// A one-shot event: Set once, Wait returns once it is set.
class TEvent {
 public:
  void Set() {
    std::lock_guard<std::mutex> hold(FMutex);
    FSet = true;
    FCond.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> hold(FMutex);
    return FCond.wait_for(hold, GiveUpAfter, [this] { return FSet; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> hold(FMutex);
    return FSet;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FCond;
  bool FSet = false;
};

// Records every traced lock step while registered.
class TTraceRecorder : public TInterfacedObject, public virtual IFlLockTraceListener {
 public:
  struct TStep {
    TFlLock* Lock;
    TFlLockSection* Section;
    uint8_t Operation;
    TThreadID Thread;
  };

  void Trace(TFlLock* ALock, TFlLockSection* ASection, uint8_t AOperation, TThreadID AThreadID) override {
    std::lock_guard<std::mutex> hold(FMutex);
    FSteps.push_back({ALock, ASection, AOperation, AThreadID});
    FChanged.notify_all();
  }

  std::vector<TStep> Steps() {
    std::lock_guard<std::mutex> hold(FMutex);
    return FSteps;
  }
  // The operations recorded on ALock, in order.
  std::vector<uint8_t> Operations(TFlLock* ALock) {
    std::lock_guard<std::mutex> hold(FMutex);
    std::vector<uint8_t> ops;
    for (const TStep& s : FSteps)
      if (s.Lock == ALock) ops.push_back(s.Operation);
    return ops;
  }
  // Waits until AThread has traced AOperation on ALock.
  bool WaitFor(TFlLock* ALock, uint8_t AOperation, TThreadID AThread) {
    std::unique_lock<std::mutex> hold(FMutex);
    return FChanged.wait_for(hold, GiveUpAfter, [&] {
      for (const TStep& s : FSteps)
        if (s.Lock == ALock && s.Operation == AOperation && s.Thread == AThread) return true;
      return false;
    });
  }

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IFlLockTraceListener>(this, AIID)) return p;
    return TInterfacedObject::FindInterface(AIID);
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::vector<TStep> FSteps;
};

// Registers a recorder with the trace registry for the scope's lifetime.
class TTraceScope {
 public:
  TTraceScope() : FRecorder(MakeObject<TTraceRecorder>()) {
    TFlLockTraceRegistry::Instance().AddListener(Ref<IFlLockTraceListener>(FRecorder));
  }
  ~TTraceScope() { TFlLockTraceRegistry::Instance().RemoveListener(Ref<IFlLockTraceListener>(FRecorder)); }
  TTraceScope(const TTraceScope&) = delete;
  TTraceScope& operator=(const TTraceScope&) = delete;

  TTraceRecorder& operator*() { return *FRecorder; }
  TTraceRecorder* operator->() { return FRecorder.Get(); }

 private:
  Ref<TTraceRecorder> FRecorder;
};

// A thread whose identifier (as the locks see it) is known once it runs.
class TWorker {
 public:
  explicit TWorker(std::function<void()> ABody)
      : FThread([this, body = std::move(ABody)] {
          FId.store(GetCurrentThreadId());
          FStarted.Set();
          body();
        }) {}
  ~TWorker() { Join(); }
  TWorker(const TWorker&) = delete;
  TWorker& operator=(const TWorker&) = delete;

  TThreadID Id() {
    FStarted.Wait();
    return FId.load();
  }
  void Join() {
    if (FThread.joinable()) FThread.join();
  }

 private:
  std::atomic<TThreadID> FId{0};
  TEvent FStarted;
  std::thread FThread;
};

}  // namespace locktest
