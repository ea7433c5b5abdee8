// Synchronisation stand-ins of the platform: thread identifiers, sleeping,
// interlocked arithmetic on 32-bit integers, a re-entrant critical section and
// a mutex with timed waits (unnamed or named).
//
// They behave as the operating-system primitives the library was written
// against: a critical section and a mutex may be entered again by the thread
// that owns them (each entry needs its own leave/release), a mutex wait can
// time out, and thread identifiers are small non-zero numbers, so 0 can mean
// "no thread".
//
// All of these are safe to call from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

// ---------------------------------------------------------------------------
// Threads

using TThreadID = uint32_t;

namespace detail {
TThreadID NewThreadId() noexcept;
}  // namespace detail

// The calling thread's identifier: never 0, distinct for every thread that
// has asked for one during the life of the process, stable for that thread.
// After the first call of a thread it is one read of a thread-local word.
inline TThreadID GetCurrentThreadId() noexcept {
  thread_local TThreadID id = 0;
  if (id == 0) [[unlikely]]
    id = detail::NewThreadId();
  return id;
}

// Suspends the calling thread for at least AMilliseconds [ms]; 0 only gives
// the rest of its time slice to other threads.
void Sleep(uint32_t AMilliseconds);

// ---------------------------------------------------------------------------
// Interlocked arithmetic
//
// Sequentially consistent atomic operations on a plain 32-bit integer that
// every thread touching it accesses only through these functions.

// Adds 1 and returns the new value.
int32_t InterlockedIncrement(int32_t& ATarget) noexcept;
// Subtracts 1 and returns the new value.
int32_t InterlockedDecrement(int32_t& ATarget) noexcept;
// Stores AValue and returns the value it replaced.
int32_t InterlockedExchange(int32_t& ATarget, int32_t AValue) noexcept;
// Adds AValue and returns the value before the addition; with AValue 0 it is
// an atomic read.
int32_t InterlockedExchangeAdd(int32_t& ATarget, int32_t AValue) noexcept;

// ---------------------------------------------------------------------------
// Waiting on a word (Linux futex)
//
// The building block for locks whose fast path is a few ordinary memory
// operations: a thread that must wait sleeps until another thread changes
// the word and wakes it. Spurious returns are possible; callers re-check.

// Sleeps while AWord still holds AExpected, at most AMilliseconds [ms]
// (INFINITE: no limit), until FutexWakeAll on the same word.
void FutexWait(std::atomic<uint32_t>& AWord, uint32_t AExpected, uint32_t AMilliseconds) noexcept;
// Wakes every thread sleeping in FutexWait on AWord.
void FutexWakeAll(std::atomic<uint32_t>& AWord) noexcept;

// ---------------------------------------------------------------------------
// Critical section

// A lock held for short, non-blocking steps. Re-entrant: the owning thread may
// enter again and must leave as often as it entered.
class TSysCriticalSection {
 public:
  TSysCriticalSection() = default;
  TSysCriticalSection(const TSysCriticalSection&) = delete;
  TSysCriticalSection& operator=(const TSysCriticalSection&) = delete;

  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }

 private:
  std::recursive_mutex FMutex;
};

// ---------------------------------------------------------------------------
// Mutex

// Result of a mutex wait.
enum class TWaitResult {
  wrSignaled,  // the calling thread owns the mutex now
  wrTimeout,   // the time ran out; the mutex was not taken
};

// Waits without a time limit.
inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// A mutex that the owning thread may acquire again at once (each acquisition
// needs its own release) and whose waits take a timeout. A named mutex is
// shared by every TSysMutex of the process created with the same name; it
// lives as long as one of them does.
class TSysMutex {
 public:
  // An unnamed mutex, owned by nobody.
  TSysMutex();
  // The mutex of that name, created owned by nobody if it does not exist yet.
  // An empty name makes an unnamed mutex.
  explicit TSysMutex(const std::string& AName);
  ~TSysMutex();
  TSysMutex(const TSysMutex&) = delete;
  TSysMutex& operator=(const TSysMutex&) = delete;

  // Waits at most AMilliseconds [ms] (INFINITE: no limit; 0: only tests)
  // until the mutex is free or owned by the calling thread, and takes it.
  TWaitResult Wait(uint32_t AMilliseconds);
  // Gives up one acquisition; the mutex is free after the last. False (and no
  // change) when the calling thread does not own the mutex.
  bool Release();

  struct TState;

 private:
  std::shared_ptr<TState> FState;
  std::string FName;
};
