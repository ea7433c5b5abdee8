// Framework locks: the lock every framework object and every component guards
// its state with, the destroy lock that keeps an object alive while other
// threads still work on it, and the plain critical-section and mutex wrappers.
//
// A lock is held by taking a section (`IFlLockSection`): the hold lasts
// exactly as long as some `Ref` keeps the section, so every early return or
// exception ends it. The lock is exclusive and re-entrant per thread. Read and
// write holds behave the same (the names document intent). A stop hold has
// priority: while one is requested or held, read and write requests of other
// threads return at once without the lock (`IFlLock::ReadLock`/`WriteLock`
// give an empty section) and the caller proceeds unlocked, so that a thread
// tearing a link down never deadlocks against threads pushing data through
// it. An unlock-all section gives up every hold the calling thread has on a
// lock and takes them back when it ends.
//
// Lock order of the library, outermost first:
//   input owner lock > owner component lock > pin or pin-list lock >
//   internal critical sections.
// A thread that has waited 20 tries for a pin or pin-list lock gives up its
// holds on the owner component's lock (the slave lock) until it has released
// the pin lock; `UnlockAllLockInOrder` retakes the input lock before the lock
// itself. The internal critical section of a lock is held only for short,
// non-blocking steps, never while waiting for the lock's mutex.
//
// Every operation here may be called from any thread; none raises and none
// gives up waiting for good.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Interfaces.h"
#include "platform/Persistent.h"
#include "platform/Sync.h"

class TFlLock;
class TFlLockSection;
class TFlDestroyLock;
class TFlObject;

// ---------------------------------------------------------------------------
// Plain wrappers

// A re-entrant critical section for short, non-blocking steps.
class TFlCriticalSection : public TObject {
 public:
  TFlCriticalSection() = default;
  void Enter() { FSection.Enter(); }
  void Leave() { FSection.Leave(); }

 private:
  TSysCriticalSection FSection;
};

// Holds a TFlCriticalSection for the lifetime of the guard.
class TFlCriticalSectionGuard {
 public:
  explicit TFlCriticalSectionGuard(TFlCriticalSection& ASection) : FSection(ASection) { FSection.Enter(); }
  ~TFlCriticalSectionGuard() { FSection.Leave(); }
  TFlCriticalSectionGuard(const TFlCriticalSectionGuard&) = delete;
  TFlCriticalSectionGuard& operator=(const TFlCriticalSectionGuard&) = delete;

 private:
  TFlCriticalSection& FSection;
};

// An operating-system mutex with timed waits; the thread that owns it
// acquires it again at once (and releases it as often).
class TFlMutex : public TObject {
 public:
  // An unnamed mutex. It is never created owned: AInitialOwner is accepted
  // for the callers' sake and not used.
  explicit TFlMutex(bool AInitialOwner = false);
  // The process-wide mutex of that name (CreateNamed), likewise not owned.
  TFlMutex(const std::string& AName, bool AInitialOwner);

  // Waits at most AMilliseconds [ms]; false only when the wait timed out.
  bool Acquire(uint32_t AMilliseconds);
  // Gives up one acquisition; false when the calling thread did not own it.
  bool Release();

 private:
  TSysMutex FHandle;
};

// ---------------------------------------------------------------------------
// Lock interfaces

// A hold on a lock. It has no operations: releasing its last reference ends
// the hold.
struct IFlLockSection : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{3E2A7C51-9D04-4F6B-8A1E-5C7D2B9F0A01}");
};

struct IFlLock : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{3E2A7C51-9D04-4F6B-8A1E-5C7D2B9F0A02}");

  // Takes a read hold. Empty when a stop hold of another thread is pending or
  // held: the caller then proceeds without the lock.
  virtual Ref<IFlLockSection> ReadLock() = 0;
  // Takes a write hold; empty in the same case as ReadLock.
  virtual Ref<IFlLockSection> WriteLock() = 0;
  // Takes a stop hold, waiting as long as it takes; never empty.
  virtual Ref<IFlLockSection> StopLock() = 0;
  // Gives up every hold of the calling thread on this lock until the section
  // ends, then takes them back.
  virtual Ref<IFlLockSection> UnlockAll() = 0;
  // As UnlockAll; when the section ends, takes a write hold on AFirstLock
  // first, then retakes this lock, then releases AFirstLock. Keeps the order
  // input lock before owner lock when both are given up around a call.
  virtual Ref<IFlLockSection> UnlockAllLockInOrder(const Ref<IFlLock>& AFirstLock) = 0;
  // The TFlLock that really holds the counters, also for implementations
  // that wrap another lock.
  virtual TFlLock* Instance() = 0;
};

// ---------------------------------------------------------------------------
// Tracing

// What a traced lock step did. One byte; loNone and loError are never
// emitted.
enum TFlLockOperation : uint8_t {
  loNone,
  loError,
  loCreate,
  loDestroy,
  loBeginWriteCreate,
  loWriteCreate,
  loBeginWriteDestroy,
  loWriteDestroy,
  loBeginReadCreate,
  loReadCreate,
  loBeginReadDestroy,
  loReadDestroy,
  loBeginStopCreate,
  loStopCreate,
  loBeginStopDestroy,
  loStopDestroy,
  loBeginUnlockCreate,
  loUnlockCreate,
  loBeginUnlockDestroy,
  loUnlockDestroy,
};

inline constexpr int FlLockOperationCount = 20;
inline constexpr int FlLockOperationNameLength = 18;

// Display names of the operations, indexed by code, each exactly
// FlLockOperationNameLength characters, space-padded.
extern const char* const FlLockOperationNames[FlLockOperationCount];

// Receives every traced step while it is registered and active.
struct IFlLockTraceListener : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{3E2A7C51-9D04-4F6B-8A1E-5C7D2B9F0A03}");

  // Called on the thread that took or released the lock, inside the
  // registry's critical section. ASection is null for loCreate and loDestroy.
  virtual void Trace(TFlLock* ALock, TFlLockSection* ASection, uint8_t AOperation,
                     TThreadID AThreadID) = 0;
};

// The process-wide list of trace listeners. With no active listener a traced
// step reads the active count once (atomically), enters no critical section
// and calls nothing, so that untraced locks of different objects never meet
// on the registry's section.
class TFlLockTraceRegistry : public TObject {
 public:
  // The registry; made on first use and kept until the process ends.
  static TFlLockTraceRegistry& Instance();

  // Adds an active listener (at the end of the list).
  void AddListener(const Ref<IFlLockTraceListener>& AListener);
  // Removes the listener, if registered.
  void RemoveListener(const Ref<IFlLockTraceListener>& AListener);
  int32_t ActiveCount();

  // Calls every listener in list order when the active count is above 0.
  void Trace(TFlLock* ALock, TFlLockSection* ASection, uint8_t AOperation);

 private:
  TFlCriticalSection FSection;
  std::vector<Ref<IFlLockTraceListener>> FListeners;  // guarded by FSection
  std::atomic<int32_t> FActiveCount{0};               // changed under FSection
};

// ---------------------------------------------------------------------------
// The lock

// The framework lock. Counters, all guarded by FIntLockSection:
// - FCountStopLocks: holds of threads other than the owner that were answered
//   without the lock while a stop was pending or held, plus holds carried
//   over by a restore; always the sum of FStopShares;
// - FStopShares: the same holds counted per thread. Every step that counts,
//   ends, saves or restores such a hold uses the calling thread's own share,
//   so that a release can only ever balance a hold of the thread that makes
//   it: the owner ending its last hold (or its stop) while other threads
//   still hold sections answered without the lock releases the lock instead
//   of using up one of their counts;
// - FCountStopLocksOwner: holds of the owning thread answered without the
//   lock;
// - FCountLocks: re-entrant hold count of the owning thread;
// - FInStopCount: stop holds requested or held (> 0: a stop is pending or
//   active);
// - FOwningThread: the owner, 0 when nobody owns the lock.
// FLockMutex is what really excludes threads.
class TFlLock : public TInterfacedObject, public virtual IFlLock {
 public:
  TFlLock();
  ~TFlLock() override;

  static Ref<TFlLock> Create() { return MakeObject<TFlLock>(); }

  Ref<IFlLockSection> ReadLock() override;
  Ref<IFlLockSection> WriteLock() override;
  Ref<IFlLockSection> StopLock() override;
  Ref<IFlLockSection> UnlockAll() override;
  Ref<IFlLockSection> UnlockAllLockInOrder(const Ref<IFlLock>& AFirstLock) override;
  TFlLock* Instance() override { return this; }

  // One try to take a hold, waiting at most ATimeout [ms] for the mutex. The
  // owner gets a further hold at once; while a stop is pending or held any
  // other thread fails at once. True when the hold was counted.
  bool TryAcquire(uint32_t ATimeout);

  // A consistent copy of the counters, for diagnostics and tests.
  struct TCounters {
    int32_t CountStopLocks = 0;
    int32_t CountStopLocksOwner = 0;
    int32_t CountLocks = 0;
    int32_t InStopCount = 0;
    TThreadID OwningThread = 0;
    friend bool operator==(const TCounters&, const TCounters&) = default;
  };
  TCounters Counters();

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;

 private:
  friend class TFlSimpleReadLockSection;
  friend class TFlSimpleWriteLockSection;
  friend class TFlSimpleStopLockSection;
  friend class TFlSimpleUnlockSection;

  // The loop of a read or write section: tries with growing timeouts, gives
  // up the slave's holds after the 20th failed try. True when really locked.
  bool AcquireHold(TFlLockSection* ASection, const Ref<IFlLock>& ASlaveLock, uint8_t AEndCode,
                   Ref<IFlLockSection>& AUnlockSection, int32_t& ASlaveReleaseTry);
  // End of a read or write section, whether or not it was really locked.
  void ReleaseHold();
  // Stop section: take and end.
  void AcquireStop(TFlLockSection* ASection);
  void ReleaseStop(TFlLockSection* ASection);
  // Unlock-all section: give up the calling thread's holds (AOwn, AOther get
  // the saved counts: its own holds, and its share of the holds answered
  // without the lock) and take them back.
  void SaveAndUnlock(TFlLockSection* ASection, int32_t& AOwn, int32_t& AOther);
  void Restore(int32_t AOwn, int32_t AOther);

  // AThread's share of FCountStopLocks; the caller holds FIntLockSection.
  int32_t StopShare(TThreadID AThread) const;
  // Adds ADelta to AThread's share and to FCountStopLocks; the caller holds
  // FIntLockSection. Shares that drop to 0 are forgotten.
  void AddStopShare(TThreadID AThread, int32_t ADelta);

  TFlCriticalSection FIntLockSection;
  int32_t FCountStopLocks = 0;
  // (thread, count > 0) pairs; a handful at most, since only threads that
  // met a stop have one.
  std::vector<std::pair<TThreadID, int32_t>> FStopShares;
  int32_t FCountStopLocksOwner = 0;
  int32_t FCountLocks = 0;
  int32_t FInStopCount = 0;
  TThreadID FOwningThread = 0;
  TFlMutex FLockMutex{false};
};

// ---------------------------------------------------------------------------
// Lock sections

class TFlLockSection : public TInterfacedObject, public virtual IFlLockSection {
 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;
};

// A read hold on a lock, taken by the constructor and ended by the
// destructor. With a slave lock, the waiting thread gives up its holds on the
// slave after the 20th failed try and gets them back once this hold has ended.
class TFlSimpleReadLockSection : public TFlLockSection {
 public:
  TFlSimpleReadLockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& ASlaveLock);
  ~TFlSimpleReadLockSection() override;

  // True when the hold was really acquired; false when it was answered
  // without the lock because of a stop.
  bool Locked() const { return FLocked; }
  // The failed try after which the slave's holds were given up; 0 if never.
  int32_t SlaveReleaseTry() const { return FSlaveReleaseTry; }

 private:
  Ref<IFlLock> FOwnerIntf;
  TFlLock* FOwner;
  Ref<IFlLockSection> FUnlockSection;
  bool FLocked = false;
  int32_t FSlaveReleaseTry = 0;
};

class TFlSimpleLockSection : public TFlLockSection {
 protected:
  explicit TFlSimpleLockSection(const Ref<IFlLock>& ALock);

  Ref<IFlLock> FOwnerIntf;
  TFlLock* FOwner;
};

// A write hold; behaves as TFlSimpleReadLockSection.
class TFlSimpleWriteLockSection : public TFlSimpleLockSection {
 public:
  TFlSimpleWriteLockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& ASlaveLock);
  ~TFlSimpleWriteLockSection() override;

  bool Locked() const { return FLocked; }
  int32_t SlaveReleaseTry() const { return FSlaveReleaseTry; }

 private:
  Ref<IFlLockSection> FUnlockSection;
  bool FLocked = false;
  int32_t FSlaveReleaseTry = 0;
};

// A stop hold: always acquired, possibly after a long wait.
class TFlSimpleStopLockSection : public TFlSimpleLockSection {
 public:
  explicit TFlSimpleStopLockSection(const Ref<IFlLock>& ALock);
  ~TFlSimpleStopLockSection() override;
};

// Gives up every hold of the calling thread on a lock; the destructor takes
// them back (after a write hold on the first lock, when one was given).
class TFlSimpleUnlockSection : public TFlSimpleLockSection {
 public:
  TFlSimpleUnlockSection(const Ref<IFlLock>& ALock, const Ref<IFlLock>& AFirstLock);
  ~TFlSimpleUnlockSection() override;

  // The saved own holds and other-thread counts.
  int32_t SavedCountLocks() const { return FCountLocks; }
  int32_t SavedCountOtherLocks() const { return FCountOtherLocks; }

 private:
  int32_t FCountLocks = 0;
  int32_t FCountOtherLocks = 0;
  Ref<IFlLock> FFirstLockIntf;
};

// ---------------------------------------------------------------------------
// Destroy lock

struct IFlDestroyLockSection : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{3E2A7C51-9D04-4F6B-8A1E-5C7D2B9F0A04}");
};

struct IFlDestroyLock : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{3E2A7C51-9D04-4F6B-8A1E-5C7D2B9F0A05}");

  // Registers a worker. Empty while another thread destroys the object: the
  // caller must then not touch it.
  virtual Ref<IFlDestroyLockSection> Lock() = 0;
  // Announces destruction, waits until every worker has left (giving up the
  // calling thread's holds on the owner's lock meanwhile) and marks the
  // calling thread as the destroyer until the section ends. The destroyer
  // must not hold a Lock section itself, or it waits for itself forever.
  virtual Ref<IFlDestroyLockSection> DestroyLock() = 0;
  // Suspends every destroy hold until the section ends.
  virtual Ref<IFlDestroyLockSection> DestroyUnlockLock() = 0;
  virtual TFlDestroyLock* Instance() = 0;
};

// Keeps AOwner alive while workers are inside it. The counters change only
// through interlocked operations; FThreadID only under FSection.
class TFlDestroyLock : public TInterfacedObject, public virtual IFlDestroyLock {
 public:
  // AOwner is not owned; its UnlockAll is taken while the destroyer waits.
  // It may be null (then nothing is given up).
  explicit TFlDestroyLock(TFlObject* AOwner);

  static Ref<TFlDestroyLock> Create(TFlObject* AOwner) { return MakeObject<TFlDestroyLock>(AOwner); }

  Ref<IFlDestroyLockSection> Lock() override;
  Ref<IFlDestroyLockSection> DestroyLock() override;
  Ref<IFlDestroyLockSection> DestroyUnlockLock() override;
  TFlDestroyLock* Instance() override { return this; }

  // Atomic reads of the state, for diagnostics and tests.
  int32_t LockCount() { return InterlockedExchangeAdd(FLockCounter, 0); }
  int32_t DestroyingCount() { return InterlockedExchangeAdd(FDestroying, 0); }
  TThreadID DestroyingThread();

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;

 private:
  friend class TFlDestroyLockSection;
  friend class TFlDestroyLockLockSection;
  friend class TFlDestroyLockUnlockSection;

  int32_t FLockCounter = 0;
  int32_t FDestroying = 0;
  TFlObject* FOwner;
  TFlCriticalSection FSection;
  TThreadID FThreadID = 0;
};

class TFlDestroyLockSectionBase : public TInterfacedObject, public virtual IFlDestroyLockSection {
 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;
};

// A worker's registration (a Lock hold).
class TFlDestroyLockSection : public TFlDestroyLockSectionBase {
 public:
  explicit TFlDestroyLockSection(const Ref<IFlDestroyLock>& ALock) : FLock(ALock) {}
  ~TFlDestroyLockSection() override;

 private:
  Ref<IFlDestroyLock> FLock;
};

// The destroyer's hold.
class TFlDestroyLockLockSection : public TFlDestroyLockSectionBase {
 public:
  explicit TFlDestroyLockLockSection(TFlDestroyLock* ALock) : FLock(ALock) {}
  ~TFlDestroyLockLockSection() override;

 private:
  Ref<TFlDestroyLock> FLock;
};

// Destroy holds suspended by DestroyUnlockLock.
class TFlDestroyLockUnlockSection : public TFlDestroyLockSectionBase {
 public:
  TFlDestroyLockUnlockSection(TFlDestroyLock* ALock, int32_t ACount) : FLock(ALock), FCount(ACount) {}
  ~TFlDestroyLockUnlockSection() override;

 private:
  Ref<TFlDestroyLock> FLock;
  int32_t FCount;
};

// ---------------------------------------------------------------------------
// Framework object

// The persistent base of framework objects: each has a lock of its own.
class TFlObject : public TPersistent {
 public:
  TFlObject();

  std::string ClassName() const override { return "TFlObject"; }

  // A read, write or unlock-all section on the object's lock, with no slave
  // lock. Read and write sections are returned also when they were answered
  // without the lock because of a stop. Pins and pin lists override ReadLock
  // and WriteLock to pass their owner component's lock as slave lock.
  virtual Ref<IFlLockSection> ReadLock();
  virtual Ref<IFlLockSection> WriteLock();
  virtual Ref<IFlLockSection> UnlockAll();

  const Ref<IFlLock>& IntLock() const { return FIntLock; }

 protected:
  Ref<IFlLock> FIntLock;
  TFlCriticalSection FIntLockSection;
};
