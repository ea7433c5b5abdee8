#include "buffers/BfInternalStore.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "primitives/CmMalloc.h"

namespace {

struct TCounters {
  std::atomic<int64_t> BlocksTaken{0};
  std::atomic<int64_t> BlocksReturned{0};
  std::atomic<int64_t> ContainersCreated{0};
  std::atomic<int64_t> ContainersDestroyed{0};
  std::atomic<int64_t> CopyOnWriteContainers{0};
  std::atomic<int64_t> ResizeContainers{0};
  std::atomic<int64_t> BytesCopied{0};
};

TCounters& Counters() noexcept {
  static TCounters counters;
  return counters;
}

void Bump(std::atomic<int64_t>& ACounter, int64_t AValue = 1) noexcept {
  ACounter.fetch_add(AValue, std::memory_order_relaxed);
}

}  // namespace

// ---------------------------------------------------------------------------
// Block store

void* StoreAllocate(uint32_t ASize) {
  if (ASize == 0) return nullptr;
  // AlignedAlloc takes a signed 32-bit count; BfMaxBlockSize keeps the request
  // positive, and a larger one must never come back as a smaller block.
  if (ASize > BfMaxBlockSize) throw EOutOfMemory();
  void* block = AlignedAlloc(static_cast<int32_t>(ASize));
  if (block == nullptr) throw EOutOfMemory();
  Bump(Counters().BlocksTaken);
  return block;
}

void StoreDeallocate(void* ADataPtr, uint32_t /*ASize*/) noexcept {
  if (ADataPtr == nullptr) return;
  Bump(Counters().BlocksReturned);
  AlignedFree(ADataPtr);
}

uint32_t BfAllocationSize(uint32_t ASize) {
  if (ASize > BfMaxBlockSize) throw EOutOfMemory();
  return std::max<uint32_t>(4, std::bit_ceil(ASize));
}

uint32_t BfCheckedByteCount(uint32_t ACount, uint32_t AItemSize) {
  const uint64_t bytes = uint64_t(ACount) * uint64_t(AItemSize);
  if (bytes > BfMaxBlockSize) throw EOutOfMemory();
  return static_cast<uint32_t>(bytes);
}

TBfStoreCounts BfGetStoreCounts() noexcept {
  const TCounters& c = Counters();
  TBfStoreCounts r;
  r.BlocksTaken = c.BlocksTaken.load(std::memory_order_relaxed);
  r.BlocksReturned = c.BlocksReturned.load(std::memory_order_relaxed);
  r.ContainersCreated = c.ContainersCreated.load(std::memory_order_relaxed);
  r.ContainersDestroyed = c.ContainersDestroyed.load(std::memory_order_relaxed);
  r.CopyOnWriteContainers = c.CopyOnWriteContainers.load(std::memory_order_relaxed);
  r.ResizeContainers = c.ResizeContainers.load(std::memory_order_relaxed);
  r.BytesCopied = c.BytesCopied.load(std::memory_order_relaxed);
  return r;
}

void BfNoteCopyOnWriteContainer() noexcept { Bump(Counters().CopyOnWriteContainers); }
void BfNoteResizeContainer() noexcept { Bump(Counters().ResizeContainers); }

// ---------------------------------------------------------------------------
// TBfSmartBuffer

TBfSmartBuffer::TBfSmartBuffer() { Bump(Counters().ContainersCreated); }

TBfSmartBuffer::TBfSmartBuffer(TBfSmartBuffer* /*AOther*/, bool /*APreserve*/) : TBfSmartBuffer() {}

TBfSmartBuffer::~TBfSmartBuffer() {
  // Destroyed while buffers are still attached: their counts would dangle.
  assert(FCountTransports == 0 && "container destroyed with buffers attached");
  Bump(Counters().ContainersDestroyed);
}

TBfSmartBuffer* TBfSmartBuffer::Create() { return new TBfSmartBuffer(); }

TBfSmartBuffer* TBfSmartBuffer::CreateEx(TBfSmartBuffer* AOther, bool APreserve) {
  return new TBfSmartBuffer(AOther, APreserve);
}

void TBfSmartBuffer::AddReff(bool AOwnsData) {
  std::lock_guard<TBfContainerLock> hold(FCriticalSection);
  if (AOwnsData) ++FCountOwners;
  ++FCountTransports;
}

void TBfSmartBuffer::RemoveReff(bool AOwnsData) {
  bool last = false;
  {
    std::lock_guard<TBfContainerLock> hold(FCriticalSection);
    if (AOwnsData && FCountOwners > 0) --FCountOwners;
    if (FCountTransports > 0) {
      --FCountTransports;
      last = FCountTransports == 0;
    }
  }
  // The lock is released before the container destroys itself. No other
  // buffer can reach it any more: the transports were its only holders.
  if (last) delete this;
}

void TBfSmartBuffer::RemoveOwnerShip() {
  std::lock_guard<TBfContainerLock> hold(FCriticalSection);
  if (FCountOwners > 0) --FCountOwners;
}

bool TBfSmartBuffer::SingleOwner() {
  std::lock_guard<TBfContainerLock> hold(FCriticalSection);
  return FCountOwners <= 1;
}

TBfSmartBuffer* TBfSmartBuffer::Clone(bool APreserve) { return CreateEx(this, APreserve); }

int32_t TBfSmartBuffer::GetCountOwners() {
  std::lock_guard<TBfContainerLock> hold(FCriticalSection);
  return FCountOwners;
}

int32_t TBfSmartBuffer::GetCountTransports() {
  std::lock_guard<TBfContainerLock> hold(FCriticalSection);
  return FCountTransports;
}

// ---------------------------------------------------------------------------
// TBfSmartMemoryBuffer

TBfSmartMemoryBuffer::TBfSmartMemoryBuffer(uint32_t ASize, bool /*AExactSize*/)
    : FAllocatedSize(BfAllocationSize(ASize)) {
  FDataPtr = StoreAllocate(FAllocatedSize);
}

TBfSmartMemoryBuffer::TBfSmartMemoryBuffer(TBfSmartMemoryBuffer* AOther, bool APreserve)
    : TBfSmartBuffer(AOther, APreserve), FAllocatedSize(AOther->FAllocatedSize) {
  FDataPtr = StoreAllocate(FAllocatedSize);
  if (APreserve && FAllocatedSize > 0) {
    std::memcpy(FDataPtr, AOther->FDataPtr, FAllocatedSize);
    Bump(Counters().BytesCopied, FAllocatedSize);
  }
}

TBfSmartMemoryBuffer::~TBfSmartMemoryBuffer() {
  if (FDataPtr != nullptr) StoreDeallocate(FDataPtr, FAllocatedSize);
  FDataPtr = nullptr;
}

TBfSmartMemoryBuffer* TBfSmartMemoryBuffer::Create(uint32_t ASize, bool AExactSize) {
  return new TBfSmartMemoryBuffer(ASize, AExactSize);
}

TBfSmartMemoryBuffer* TBfSmartMemoryBuffer::CreateEx(TBfSmartMemoryBuffer* AOther, bool APreserve) {
  return new TBfSmartMemoryBuffer(AOther, APreserve);
}

TBfSmartMemoryBuffer* TBfSmartMemoryBuffer::CreateData(const void* AData, uint32_t ASize,
                                                       bool AExactSize) {
  TBfSmartMemoryBuffer* r = Create(ASize, AExactSize);
  // ASize <= FAllocatedSize by the allocation size rule.
  if (AData != nullptr && ASize > 0) std::memcpy(r->FDataPtr, AData, ASize);
  return r;
}

TBfSmartMemoryBuffer* TBfSmartMemoryBuffer::Clone(bool APreserve) { return CreateEx(this, APreserve); }

void TBfSmartMemoryBuffer::CopyFrom(TBfSmartMemoryBuffer* AOther) {
  const uint32_t n = std::min(FAllocatedSize, AOther->FAllocatedSize);
  if (n == 0 || AOther == this) return;
  std::memcpy(FDataPtr, AOther->FDataPtr, n);
  Bump(Counters().BytesCopied, n);
}
