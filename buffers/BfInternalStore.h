// Data containers shared copy-on-write by buffers, and the block store
// functions they take their memory from.
//
// A container is a plain object, never held through an interface. It counts
// the buffers attached to it (transports) and, among them, the ones that count
// as owners of the data; it destroys itself when the last transport detaches
// (RemoveReff bringing FCountTransports to 0).
//
// Sizes in this file are byte counts unless a name says otherwise.
//
// Lock order: a container's FCriticalSection is an innermost lock. It guards
// only the two counts; nothing is called while it is held except the counts'
// own reads and writes (and the container's self-destruction happens after it
// has been released).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/SysUtils.h"

// ---------------------------------------------------------------------------
// Block store. Until the pooled store exists these are AlignedAlloc
// and AlignedFree of primitives/CmMalloc.h.

// The largest block one request may ask for [bytes]: 2^30. Larger requests are
// outside the supported range and are refused with EOutOfMemory; a smaller
// block is never handed out instead.
inline constexpr uint32_t BfMaxBlockSize = uint32_t(1) << 30;

// A block of at least ASize bytes whose address is a multiple of 32; nullptr
// for ASize 0. Raises EOutOfMemory ("Out of memory") when no memory can be had
// or ASize is above BfMaxBlockSize.
void* StoreAllocate(uint32_t ASize);

// Takes back a block of StoreAllocate; ASize is the size it was obtained with.
// Does nothing for nullptr.
void StoreDeallocate(void* ADataPtr, uint32_t ASize) noexcept;

// The allocation size rule of memory containers: the smallest power of two
// 2^k, k from 2 to 30, that is at least ASize (0 to 4 bytes give 4). Raises
// EOutOfMemory for ASize above BfMaxBlockSize.
uint32_t BfAllocationSize(uint32_t ASize);

// ACount items of AItemSize bytes as a byte count [bytes], computed without
// 32-bit overflow. Raises EOutOfMemory when the product is above
// BfMaxBlockSize, so that no caller ever asks for a block smaller than it
// needs.
uint32_t BfCheckedByteCount(uint32_t ACount, uint32_t AItemSize);

// ---------------------------------------------------------------------------
// Debug-visible counters. Always on (relaxed atomic increments, far cheaper
// than the allocation they count); tests take a snapshot before and after an
// operation and assert that no copy, no block and no container was made.

struct TBfStoreCounts {
  int64_t BlocksTaken = 0;            // blocks handed out by StoreAllocate
  int64_t BlocksReturned = 0;         // blocks given back to StoreDeallocate
  int64_t ContainersCreated = 0;      // containers constructed (any origin)
  int64_t ContainersDestroyed = 0;    // containers destroyed
  int64_t CopyOnWriteContainers = 0;  // containers made by MakeUnique (a real copy on write)
  int64_t ResizeContainers = 0;       // containers made by Resize step 5
  int64_t BytesCopied = 0;            // bytes moved between blocks by Clone(true) and CopyFrom [bytes]

  int64_t ContainersAlive() const { return ContainersCreated - ContainersDestroyed; }
  int64_t BlocksOutstanding() const { return BlocksTaken - BlocksReturned; }

  // The difference of two snapshots: what happened in between.
  friend TBfStoreCounts operator-(const TBfStoreCounts& A, const TBfStoreCounts& B) {
    TBfStoreCounts r;
    r.BlocksTaken = A.BlocksTaken - B.BlocksTaken;
    r.BlocksReturned = A.BlocksReturned - B.BlocksReturned;
    r.ContainersCreated = A.ContainersCreated - B.ContainersCreated;
    r.ContainersDestroyed = A.ContainersDestroyed - B.ContainersDestroyed;
    r.CopyOnWriteContainers = A.CopyOnWriteContainers - B.CopyOnWriteContainers;
    r.ResizeContainers = A.ResizeContainers - B.ResizeContainers;
    r.BytesCopied = A.BytesCopied - B.BytesCopied;
    return r;
  }
};

// A snapshot of the process-wide counters.
TBfStoreCounts BfGetStoreCounts() noexcept;

// Used by the buffer classes to record why a container was made.
void BfNoteCopyOnWriteContainer() noexcept;
void BfNoteResizeContainer() noexcept;

// ---------------------------------------------------------------------------
// Containers

// The container's re-entrant lock. A std::recursive_mutex until the platform
// critical section exists; swapping it is this one line.
using TBfContainerLock = std::recursive_mutex;

// Data container base: counts and the sequence number of the data.
class TBfSmartBuffer : public TObject {
 public:
  // TBfSmartBuffer.Create: counts 0, a new lock, no buffer number.
  static TBfSmartBuffer* Create();
  // TBfSmartBuffer.CreateEx(Other, Preserve): the same as Create; the
  // parameters serve descendants.
  static TBfSmartBuffer* CreateEx(TBfSmartBuffer* AOther, bool APreserve);

  // Destroy. Containers normally destroy themselves in RemoveReff; a
  // container that was never attached may be deleted by its creator.
  ~TBfSmartBuffer() override;

  // Attach and detach (virtual slots 1 to 5, in slot order). Each takes
  // the lock for the counts only.
  virtual void AddReff(bool AOwnsData);
  // May destroy the container (when the last transport detaches): the caller
  // must not touch it afterwards.
  virtual void RemoveReff(bool AOwnsData);
  virtual void RemoveOwnerShip();
  // FCountOwners <= 1, read under the lock.
  virtual bool SingleOwner();
  // A new container of the same class with counts 0 and no buffer number;
  // with APreserve a memory container receives a copy of the whole block.
  [[nodiscard]] virtual TBfSmartBuffer* Clone(bool APreserve);

  // The container's one lock; there is no separate reader mode.
  void EnterRead() { FCriticalSection.lock(); }
  void LeaveRead() { FCriticalSection.unlock(); }
  void EnterWrite() { FCriticalSection.lock(); }
  void LeaveWrite() { FCriticalSection.unlock(); }

  // Plain reads and writes, without the lock (the buffer number is not
  // synchronised).
  bool GetBufferNumberAvailable() const { return FBufferNumberAvailable; }
  void SetBufferNumberAvailable(bool AValue) { FBufferNumberAvailable = AValue; }
  int64_t GetBufferNumber() const { return FBufferNumber; }
  void SetBufferNumber(int64_t AValue) { FBufferNumber = AValue; }

  // The counts, read under the lock (for tests and diagnostics).
  int32_t GetCountOwners();
  int32_t GetCountTransports();

 protected:
  TBfSmartBuffer();
  TBfSmartBuffer(TBfSmartBuffer* AOther, bool APreserve);

 private:
  int32_t FCountOwners = 0;      // attached buffers that count as owners
  int32_t FCountTransports = 0;  // attached buffers, owners or not
  TBfContainerLock FCriticalSection;  // guards the two counts
  bool FBufferNumberAvailable = false;
  int64_t FBufferNumber = 0;
};

// A container holding one raw memory block from the block store.
class TBfSmartMemoryBuffer : public TBfSmartBuffer {
 public:
  // FAllocatedSize := ASize rounded by the allocation size rule; a new block
  // with undefined contents. AExactSize is accepted and does not change the
  // rule. Raises EOutOfMemory (nothing is left behind).
  static TBfSmartMemoryBuffer* Create(uint32_t ASize, bool AExactSize);
  // The same allocated size as AOther and a new block; with APreserve the
  // whole allocated block of AOther is copied (not only the bytes in use).
  static TBfSmartMemoryBuffer* CreateEx(TBfSmartMemoryBuffer* AOther, bool APreserve);
  // As Create; then, if AData is not nullptr, ASize bytes are copied from it.
  static TBfSmartMemoryBuffer* CreateData(const void* AData, uint32_t ASize, bool AExactSize);

  // Gives the block back to the store.
  ~TBfSmartMemoryBuffer() override;

  [[nodiscard]] TBfSmartMemoryBuffer* Clone(bool APreserve) override;

  // Copies min(own, AOther's allocated size) bytes from AOther's block to the
  // start of this block.
  void CopyFrom(TBfSmartMemoryBuffer* AOther);

  // Size of the block [bytes].
  uint32_t AllocatedSize() const { return FAllocatedSize; }
  // The block (32-byte aligned).
  void* GetRawData() const { return FDataPtr; }
  void* RawData() const { return FDataPtr; }

 protected:
  TBfSmartMemoryBuffer(uint32_t ASize, bool AExactSize);
  TBfSmartMemoryBuffer(TBfSmartMemoryBuffer* AOther, bool APreserve);

 private:
  void* FDataPtr = nullptr;     // the raw block, from StoreAllocate
  uint32_t FAllocatedSize = 0;  // size of the block [bytes]
};
