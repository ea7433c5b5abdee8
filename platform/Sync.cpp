#include "platform/Sync.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <ctime>
#include <chrono>
#include <condition_variable>
#include <map>
#include <thread>

// ---------------------------------------------------------------------------
// Threads

TThreadID detail::NewThreadId() noexcept {
  // Handed out on first use per thread, starting at 1 so that 0 stays free to
  // mean "no thread". 2^32 - 1 threads per process are more than enough.
  static std::atomic<TThreadID> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

void Sleep(uint32_t AMilliseconds) {
  if (AMilliseconds == 0)
    std::this_thread::yield();
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(AMilliseconds));
}

// ---------------------------------------------------------------------------
// Interlocked arithmetic

int32_t InterlockedIncrement(int32_t& ATarget) noexcept {
  return std::atomic_ref<int32_t>(ATarget).fetch_add(1) + 1;
}

int32_t InterlockedDecrement(int32_t& ATarget) noexcept {
  return std::atomic_ref<int32_t>(ATarget).fetch_sub(1) - 1;
}

int32_t InterlockedExchange(int32_t& ATarget, int32_t AValue) noexcept {
  return std::atomic_ref<int32_t>(ATarget).exchange(AValue);
}

int32_t InterlockedExchangeAdd(int32_t& ATarget, int32_t AValue) noexcept {
  return std::atomic_ref<int32_t>(ATarget).fetch_add(AValue);
}

// ---------------------------------------------------------------------------
// Waiting on a word

void FutexWait(std::atomic<uint32_t>& AWord, uint32_t AExpected, uint32_t AMilliseconds) noexcept {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free,
                "the kernel waits on the atomic's own 32-bit word");
  timespec timeout{};
  timespec* limit = nullptr;
  if (AMilliseconds != INFINITE) {
    timeout.tv_sec = static_cast<time_t>(AMilliseconds / 1000);
    timeout.tv_nsec = static_cast<long>(AMilliseconds % 1000) * 1000000L;
    limit = &timeout;
  }
  // EINTR, EAGAIN (the word changed) and ETIMEDOUT all just return: callers
  // look at their state again.
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&AWord), FUTEX_WAIT_PRIVATE, AExpected, limit, nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t>& AWord) noexcept {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(&AWord), FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr, nullptr, 0);
}

// ---------------------------------------------------------------------------
// Mutex

// The shared state of one mutex: who owns it and how often. FGuard is held
// only for these few fields, never while a caller waits for ownership.
struct TSysMutex::TState {
  std::mutex FGuard;
  std::condition_variable FFreed;
  TThreadID FOwner = 0;  // 0: free
  uint32_t FRecursion = 0;
};

namespace {

// Named mutexes of the process. Never destroyed, so that mutexes living in
// static objects can still be closed during process exit.
struct TNamedMutexes {
  std::mutex FGuard;
  std::map<std::string, std::weak_ptr<TSysMutex::TState>> FByName;
};

TNamedMutexes& NamedMutexes() {
  static TNamedMutexes* registry = new TNamedMutexes;
  return *registry;
}

}  // namespace

TSysMutex::TSysMutex() : FState(std::make_shared<TState>()) {}

TSysMutex::TSysMutex(const std::string& AName) : FName(AName) {
  if (AName.empty()) {
    FState = std::make_shared<TState>();
    return;
  }
  TNamedMutexes& named = NamedMutexes();
  std::lock_guard<std::mutex> hold(named.FGuard);
  std::weak_ptr<TState>& slot = named.FByName[AName];
  FState = slot.lock();
  if (!FState) {
    FState = std::make_shared<TState>();
    slot = FState;
  }
}

TSysMutex::~TSysMutex() {
  if (FName.empty()) return;
  TNamedMutexes& named = NamedMutexes();
  std::lock_guard<std::mutex> hold(named.FGuard);
  FState.reset();
  auto it = named.FByName.find(FName);
  if (it != named.FByName.end() && it->second.expired()) named.FByName.erase(it);
}

TWaitResult TSysMutex::Wait(uint32_t AMilliseconds) {
  const TThreadID self = GetCurrentThreadId();
  std::unique_lock<std::mutex> hold(FState->FGuard);
  if (FState->FOwner == self) {
    ++FState->FRecursion;
    return TWaitResult::wrSignaled;
  }
  auto isFree = [this] { return FState->FOwner == 0; };
  if (AMilliseconds == INFINITE) {
    FState->FFreed.wait(hold, isFree);
  } else if (!FState->FFreed.wait_for(hold, std::chrono::milliseconds(AMilliseconds), isFree)) {
    return TWaitResult::wrTimeout;
  }
  FState->FOwner = self;
  FState->FRecursion = 1;
  return TWaitResult::wrSignaled;
}

bool TSysMutex::Release() {
  std::lock_guard<std::mutex> hold(FState->FGuard);
  if (FState->FOwner != GetCurrentThreadId()) return false;
  if (--FState->FRecursion == 0) {
    FState->FOwner = 0;
    FState->FFreed.notify_one();
  }
  return true;
}
