#include "pins/FlLocks.h"

#include <algorithm>

namespace {

// Every traced step of a lock goes through the process-wide registry.
void Trace(TFlLock* ALock, TFlLockSection* ASection, uint8_t AOperation) {
  TFlLockTraceRegistry::Instance().Trace(ALock, ASection, AOperation);
}

// Read and write sections wait with timeouts growing by 1 ms per failed try
// up to this limit [ms]; the slave lock is given up after the try that
// already waited this long failed (the 20th).
constexpr uint32_t MaxHoldTimeout = 20;
// A stop hold waits for the mutex in slices of this length [ms].
constexpr uint32_t StopWaitSlice = 1000;
// A restore retries with this timeout [ms] so that a stop takes effect soon.
constexpr uint32_t RestoreTimeout = 1;

}  // namespace

// ---------------------------------------------------------------------------
// Plain wrappers

TFlMutex::TFlMutex(bool /*AInitialOwner*/) {}

TFlMutex::TFlMutex(const std::string& AName, bool /*AInitialOwner*/) : FHandle(AName) {}

bool TFlMutex::Acquire(uint32_t AMilliseconds) {
  return FHandle.Wait(AMilliseconds) != TWaitResult::wrTimeout;
}

bool TFlMutex::Release() { return FHandle.Release(); }

// ---------------------------------------------------------------------------
// Tracing

const char* const FlLockOperationNames[FlLockOperationCount] = {
    "None              ", "Error             ", "Create            ", "Destroy           ",
    "BeginWriteCreate  ", "WriteCreate       ", "BeginWriteDestroy ", "WriteDestroy      ",
    "BeginReadCreate   ", "ReadCreate        ", "BeginReadDestroy  ", "ReadDestroy       ",
    "BeginStopCreate   ", "StopCreate        ", "BeginStopDestroy  ", "StopDestroy       ",
    "BeginUnlockCreate ", "UnlockCreate      ", "BeginUnlockDestroy", "UnlockDestroy     ",
};

TFlLockTraceRegistry& TFlLockTraceRegistry::Instance() {
  // Never destroyed: locks that live in static objects still trace their
  // destruction while the process exits.
  static TFlLockTraceRegistry* registry = new TFlLockTraceRegistry;
  return *registry;
}

void TFlLockTraceRegistry::AddListener(const Ref<IFlLockTraceListener>& AListener) {
  if (!AListener) return;
  TFlCriticalSectionGuard hold(FSection);
  FListeners.push_back(AListener);
  ++FActiveCount;
}

void TFlLockTraceRegistry::RemoveListener(const Ref<IFlLockTraceListener>& AListener) {
  Ref<IFlLockTraceListener> removed;  // released after leaving the section
  TFlCriticalSectionGuard hold(FSection);
  auto it = std::find(FListeners.begin(), FListeners.end(), AListener);
  if (it == FListeners.end()) return;
  removed = *it;
  FListeners.erase(it);
  --FActiveCount;
}

int32_t TFlLockTraceRegistry::ActiveCount() { return FActiveCount.load(); }

void TFlLockTraceRegistry::Trace(TFlLock* ALock, TFlLockSection* ASection, uint8_t AOperation) {
  // A listener added concurrently with this step may or may not see it; one
  // added before (in happens-before order) always does.
  if (FActiveCount.load() <= 0) return;
  TFlCriticalSectionGuard hold(FSection);
  if (FActiveCount.load() <= 0) return;
  const TThreadID self = GetCurrentThreadId();
  // By index and through a copy of the reference: a listener may remove
  // itself (the registry's section is re-entrant).
  for (size_t i = 0; i < FListeners.size(); ++i) {
    Ref<IFlLockTraceListener> listener = FListeners[i];
    listener->Trace(ALock, ASection, AOperation, self);
  }
}

// ---------------------------------------------------------------------------
// The lock

TFlLock::TFlLock() { Trace(this, nullptr, loCreate); }

TFlLock::~TFlLock() { Trace(this, nullptr, loDestroy); }

void* TFlLock::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlLock>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

Ref<IFlLockSection> TFlLock::ReadLock() {
  Ref<TFlSimpleReadLockSection> section =
      MakeObject<TFlSimpleReadLockSection>(Ref<IFlLock>(static_cast<IFlLock*>(this)), Ref<IFlLock>());
  // Answered without the lock: dropping the section balances its count.
  if (!section->Locked()) return {};
  return section;
}

Ref<IFlLockSection> TFlLock::WriteLock() {
  Ref<TFlSimpleWriteLockSection> section =
      MakeObject<TFlSimpleWriteLockSection>(Ref<IFlLock>(static_cast<IFlLock*>(this)), Ref<IFlLock>());
  if (!section->Locked()) return {};
  return section;
}

Ref<IFlLockSection> TFlLock::StopLock() {
  return MakeObject<TFlSimpleStopLockSection>(Ref<IFlLock>(static_cast<IFlLock*>(this)));
}

Ref<IFlLockSection> TFlLock::UnlockAll() {
  return MakeObject<TFlSimpleUnlockSection>(Ref<IFlLock>(static_cast<IFlLock*>(this)), Ref<IFlLock>());
}

Ref<IFlLockSection> TFlLock::UnlockAllLockInOrder(const Ref<IFlLock>& AFirstLock) {
  return MakeObject<TFlSimpleUnlockSection>(Ref<IFlLock>(static_cast<IFlLock*>(this)), AFirstLock);
}

TFlLock::TCounters TFlLock::Counters() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return {FCountStopLocks, FCountStopLocksOwner, FCountLocks, FInStopCount, FOwningThread};
}

bool TFlLock::TryAcquire(uint32_t ATimeout) {
  const TThreadID self = GetCurrentThreadId();
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (self == FOwningThread && FCountLocks > 0) {
      // Re-entrant path: no mutex call.
      ++FCountLocks;
      return true;
    }
    if (FInStopCount > 0) return false;
  }
  // Never wait for the mutex inside FIntLockSection.
  if (!FLockMutex.Acquire(ATimeout)) return false;
  TFlCriticalSectionGuard hold(FIntLockSection);
  FOwningThread = self;
  ++FCountLocks;
  return true;
}

int32_t TFlLock::StopShare(TThreadID AThread) const {
  for (const auto& [thread, count] : FStopShares)
    if (thread == AThread) return count;
  return 0;
}

void TFlLock::AddStopShare(TThreadID AThread, int32_t ADelta) {
  if (ADelta == 0) return;
  FCountStopLocks += ADelta;
  for (auto it = FStopShares.begin(); it != FStopShares.end(); ++it) {
    if (it->first != AThread) continue;
    it->second += ADelta;
    if (it->second == 0) FStopShares.erase(it);
    return;
  }
  FStopShares.emplace_back(AThread, ADelta);
}

bool TFlLock::AcquireHold(TFlLockSection* ASection, const Ref<IFlLock>& ASlaveLock, uint8_t AEndCode,
                          Ref<IFlLockSection>& AUnlockSection, int32_t& ASlaveReleaseTry) {
  uint32_t timeout = 1;
  int32_t failedTries = 0;
  for (;;) {
    if (TryAcquire(timeout)) {
      Trace(this, ASection, AEndCode);
      return true;
    }
    ++failedTries;
    {
      TFlCriticalSectionGuard hold(FIntLockSection);
      if (FInStopCount > 0) {
        // Answered without the lock; counted, as this thread's own, so that
        // its release balances.
        const TThreadID self = GetCurrentThreadId();
        if (self == FOwningThread)
          ++FCountStopLocksOwner;
        else
          AddStopShare(self, +1);
        Trace(this, ASection, AEndCode);
        return false;
      }
    }
    if (timeout < MaxHoldTimeout) {
      ++timeout;
    } else if (ASlaveLock && !AUnlockSection) {
      // Give up our holds on the owner component's lock while we keep
      // waiting, so that the thread owning this lock can take it and finish.
      AUnlockSection = ASlaveLock->UnlockAll();
      ASlaveReleaseTry = failedTries;
    }
  }
}

void TFlLock::ReleaseHold() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  const TThreadID self = GetCurrentThreadId();
  if (self != FOwningThread) {
    if (StopShare(self) > 0) AddStopShare(self, -1);
    return;
  }
  if (FCountStopLocksOwner > 0)
    --FCountStopLocksOwner;
  else if (StopShare(self) > 0)
    AddStopShare(self, -1);
  else
    --FCountLocks;
  if (FCountLocks == 0 && FCountStopLocksOwner == 0) {
    FLockMutex.Release();
    FOwningThread = 0;
  }
}

void TFlLock::AcquireStop(TFlLockSection* ASection) {
  Trace(this, ASection, loBeginStopCreate);
  {
    // From now on other threads' read and write requests fail over at once.
    TFlCriticalSectionGuard hold(FIntLockSection);
    ++FInStopCount;
  }
  const TThreadID self = GetCurrentThreadId();
  FIntLockSection.Enter();
  if (self == FOwningThread && FCountLocks > 0) {
    ++FCountLocks;
  } else {
    FIntLockSection.Leave();
    while (!FLockMutex.Acquire(StopWaitSlice)) {
    }
    FIntLockSection.Enter();
    FOwningThread = self;
    ++FCountLocks;
  }
  ++FInStopCount;
  FIntLockSection.Leave();
  {
    // Net effect of the hold: FInStopCount + 1 until its end.
    TFlCriticalSectionGuard hold(FIntLockSection);
    --FInStopCount;
  }
  Trace(this, ASection, loStopCreate);
}

void TFlLock::ReleaseStop(TFlLockSection* ASection) {
  Trace(this, ASection, loBeginStopDestroy);
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    --FInStopCount;
    const TThreadID self = GetCurrentThreadId();
    if (self != FOwningThread) {
      if (StopShare(self) > 0) AddStopShare(self, -1);
    } else {
      if (FCountStopLocksOwner > 0)
        --FCountStopLocksOwner;
      else if (FCountLocks > 1)
        --FCountLocks;
      else if (StopShare(self) > 0)
        AddStopShare(self, -1);
      else
        --FCountLocks;
      if (FCountLocks == 0 && FCountStopLocksOwner == 0) {
        FOwningThread = 0;
        FLockMutex.Release();
      }
    }
  }
  Trace(this, ASection, loStopDestroy);
}

void TFlLock::SaveAndUnlock(TFlLockSection* ASection, int32_t& AOwn, int32_t& AOther) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  Trace(this, ASection, loBeginUnlockCreate);
  const TThreadID self = GetCurrentThreadId();
  if (FOwningThread != 0 && FOwningThread != self) {
    // Another thread owns the lock: nothing of ours to give up.
    Trace(this, ASection, loUnlockCreate);
    return;
  }
  AOwn = FCountLocks + FCountStopLocksOwner;
  // Only this thread's share: the holds other threads were answered
  // without the lock stay theirs to end.
  AOther = StopShare(self);
  if (AOwn > 0 && FCountLocks > 0) FLockMutex.Release();
  FCountLocks = 0;
  AddStopShare(self, -AOther);
  FCountStopLocksOwner = 0;
  FOwningThread = 0;
  Trace(this, ASection, loUnlockCreate);
}

void TFlLock::Restore(int32_t AOwn, int32_t AOther) {
  if (AOwn == 0 && AOther == 0) return;
  const TThreadID self = GetCurrentThreadId();
  if (AOwn == 0) {
    TFlCriticalSectionGuard hold(FIntLockSection);
    AddStopShare(self, AOther);
    return;
  }
  for (;;) {
    if (TryAcquire(RestoreTimeout)) {
      TFlCriticalSectionGuard hold(FIntLockSection);
      FCountLocks += AOwn - 1;  // the successful try already counted one
      AddStopShare(self, AOther);
      return;
    }
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (FInStopCount > 0) {
      // A stop is pending or held: the holds come back as holds answered
      // without the lock, each still this thread's to end. A thread that
      // does not own the lock gets both its own holds and its saved share
      // back in its share, so none of its sections is left uncounted.
      if (self == FOwningThread) {
        FCountStopLocksOwner += AOwn;
        AddStopShare(self, AOther);
      } else {
        AddStopShare(self, AOwn + AOther);
      }
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Lock sections

void* TFlLockSection::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlLockSection>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

TFlSimpleReadLockSection::TFlSimpleReadLockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& ASlaveLock)
    : FOwnerIntf(ALock), FOwner(ALock->Instance()) {
  Trace(FOwner, this, loBeginReadCreate);
  FLocked = FOwner->AcquireHold(this, ASlaveLock, loReadCreate, FUnlockSection, FSlaveReleaseTry);
}

TFlSimpleReadLockSection::~TFlSimpleReadLockSection() {
  Trace(FOwner, this, loBeginReadDestroy);
  FOwner->ReleaseHold();
  Trace(FOwner, this, loReadDestroy);
  // Our holds on the slave come back only now that this lock is given up.
  FUnlockSection.Reset();
}

TFlSimpleLockSection::TFlSimpleLockSection(const Ref<IFlLock>& ALock)
    : FOwnerIntf(ALock), FOwner(ALock->Instance()) {}

TFlSimpleWriteLockSection::TFlSimpleWriteLockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& ASlaveLock)
    : TFlSimpleLockSection(ALock) {
  Trace(FOwner, this, loBeginWriteCreate);
  FLocked = FOwner->AcquireHold(this, ASlaveLock, loWriteCreate, FUnlockSection, FSlaveReleaseTry);
}

TFlSimpleWriteLockSection::~TFlSimpleWriteLockSection() {
  Trace(FOwner, this, loBeginWriteDestroy);
  FOwner->ReleaseHold();
  Trace(FOwner, this, loWriteDestroy);
  FUnlockSection.Reset();
}

TFlSimpleStopLockSection::TFlSimpleStopLockSection(const Ref<IFlLock>& ALock) : TFlSimpleLockSection(ALock) {
  FOwner->AcquireStop(this);
}

TFlSimpleStopLockSection::~TFlSimpleStopLockSection() { FOwner->ReleaseStop(this); }

TFlSimpleUnlockSection::TFlSimpleUnlockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& AFirstLock)
    : TFlSimpleLockSection(ALock), FFirstLockIntf(AFirstLock) {
  FOwner->SaveAndUnlock(this, FCountLocks, FCountOtherLocks);
}

TFlSimpleUnlockSection::~TFlSimpleUnlockSection() {
  Trace(FOwner, this, loBeginUnlockDestroy);
  Ref<TFlSimpleWriteLockSection> first;
  if (FFirstLockIntf) first = MakeObject<TFlSimpleWriteLockSection>(FFirstLockIntf, Ref<IFlLock>());
  FOwner->Restore(FCountLocks, FCountOtherLocks);
  Trace(FOwner, this, loUnlockDestroy);
  first.Reset();
}

// ---------------------------------------------------------------------------
// Destroy lock

TFlDestroyLock::TFlDestroyLock(TFlObject* AOwner) : FOwner(AOwner) {}

void* TFlDestroyLock::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlDestroyLock>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

TThreadID TFlDestroyLock::DestroyingThread() {
  TFlCriticalSectionGuard hold(FSection);
  return FThreadID;
}

Ref<IFlDestroyLockSection> TFlDestroyLock::Lock() {
  TFlCriticalSectionGuard hold(FSection);
  InterlockedIncrement(FLockCounter);
  if (InterlockedExchangeAdd(FDestroying, 0) != 0 && GetCurrentThreadId() != FThreadID) {
    InterlockedDecrement(FLockCounter);
    return {};
  }
  return MakeObject<TFlDestroyLockSection>(Ref<IFlDestroyLock>(static_cast<IFlDestroyLock*>(this)));
}

Ref<IFlDestroyLockSection> TFlDestroyLock::DestroyLock() {
  InterlockedIncrement(FDestroying);  // new Lock calls of other threads fail from now on
  {
    // Workers waiting for the owner's lock that we hold can finish meanwhile.
    Ref<IFlLockSection> unlock;
    if (FOwner != nullptr) unlock = FOwner->UnlockAll();
    while (InterlockedExchangeAdd(FLockCounter, 0) != 0) Sleep(0);
  }
  TFlCriticalSectionGuard hold(FSection);
  FThreadID = GetCurrentThreadId();
  return MakeObject<TFlDestroyLockLockSection>(this);
}

Ref<IFlDestroyLockSection> TFlDestroyLock::DestroyUnlockLock() {
  const int32_t count = InterlockedExchange(FDestroying, 0);
  return MakeObject<TFlDestroyLockUnlockSection>(this, count);
}

void* TFlDestroyLockSectionBase::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlDestroyLockSection>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

TFlDestroyLockSection::~TFlDestroyLockSection() { InterlockedDecrement(FLock->Instance()->FLockCounter); }

TFlDestroyLockLockSection::~TFlDestroyLockLockSection() {
  TFlCriticalSectionGuard hold(FLock->FSection);
  if (InterlockedDecrement(FLock->FDestroying) == 0) FLock->FThreadID = 0;
}

TFlDestroyLockUnlockSection::~TFlDestroyLockUnlockSection() { InterlockedExchangeAdd(FLock->FDestroying, FCount); }

// ---------------------------------------------------------------------------
// Framework object

TFlObject::TFlObject() : FIntLock(TFlLock::Create()) {}

Ref<IFlLockSection> TFlObject::ReadLock() {
  return MakeObject<TFlSimpleReadLockSection>(FIntLock, Ref<IFlLock>());
}

Ref<IFlLockSection> TFlObject::WriteLock() {
  return MakeObject<TFlSimpleWriteLockSection>(FIntLock, Ref<IFlLock>());
}

Ref<IFlLockSection> TFlObject::UnlockAll() { return FIntLock->UnlockAll(); }
