// Block store functions and data containers (BfInternalStore).
#include "buffers/BfInternalStore.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// ---------------------------------------------------------------------------
// Allocation size rule

struct SizeRow {
  uint32_t Request;    // [bytes]
  uint32_t Allocated;  // [bytes]
};

class AllocationSizeTest : public ::testing::TestWithParam<SizeRow> {};

TEST_P(AllocationSizeTest, SmallestPowerOfTwoFromFour) {
  EXPECT_EQ(BfAllocationSize(GetParam().Request), GetParam().Allocated);
}

INSTANTIATE_TEST_SUITE_P(Rule, AllocationSizeTest,
                         ::testing::Values(SizeRow{0, 4}, SizeRow{1, 4}, SizeRow{4, 4}, SizeRow{5, 8},
                                           SizeRow{24, 32}, SizeRow{32, 32}, SizeRow{33, 64},
                                           SizeRow{8192, 8192}, SizeRow{8193, 16384},
                                           SizeRow{(1u << 29) + 1, 1u << 30},
                                           SizeRow{1u << 30, 1u << 30}));

TEST(AllocationSizeLimitTest, AboveTwoToTheThirtyIsRefused) {
  for (uint32_t request : {(1u << 30) + 1, 1u << 31, 0xFFFFFFFFu}) {
    try {
      BfAllocationSize(request);
      FAIL() << "accepted " << request;
    } catch (const EOutOfMemory& e) {
      EXPECT_EQ(e.Message(), "Out of memory");
    }
  }
}

TEST(CheckedByteCountTest, NeverWrapsAround) {
  EXPECT_EQ(BfCheckedByteCount(0, 8), 0u);
  EXPECT_EQ(BfCheckedByteCount(1024, 8), 8192u);
  EXPECT_EQ(BfCheckedByteCount(1u << 27, 8), 1u << 30);
  // (2^27 + 1) x 8 is above the limit; 2^29 x 8 and 2^31 x 8 wrap to 0 in 32
  // bits and 0x20000001 x 8 to 8: all must be refused, never a small block.
  for (uint32_t count : {(1u << 27) + 1, 1u << 29, 0x20000001u, 1u << 31, 0xFFFFFFFFu})
    EXPECT_THROW(BfCheckedByteCount(count, 8), EOutOfMemory) << count;
}

// ---------------------------------------------------------------------------
// StoreAllocate / StoreDeallocate

TEST(StoreTest, ZeroGivesNoBlock) {
  const TBfStoreCounts before = BfGetStoreCounts();
  EXPECT_EQ(StoreAllocate(0), nullptr);
  StoreDeallocate(nullptr, 0);  // does nothing
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.BlocksTaken, 0);
  EXPECT_EQ(d.BlocksReturned, 0);
}

TEST(StoreTest, BlocksAreAlignedAndCounted) {
  const TBfStoreCounts before = BfGetStoreCounts();
  for (uint32_t size : {1u, 4u, 31u, 32u, 33u, 4096u}) {
    void* p = StoreAllocate(size);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 32, 0u) << size;
    std::memset(p, 0xA5, size);  // the whole block is usable
    StoreDeallocate(p, size);
  }
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.BlocksTaken, 6);
  EXPECT_EQ(d.BlocksReturned, 6);
}

TEST(StoreTest, RequestAboveTwoToTheThirtyIsRefused) {
  const TBfStoreCounts before = BfGetStoreCounts();
  for (uint32_t size : {(1u << 30) + 1, 1u << 31, 0xFFFFFFFFu}) {
    try {
      StoreAllocate(size);
      FAIL() << "handed out a block for " << size;
    } catch (const EOutOfMemory& e) {
      EXPECT_EQ(e.Message(), "Out of memory");
    }
  }
  EXPECT_EQ((BfGetStoreCounts() - before).BlocksTaken, 0);
}

// ---------------------------------------------------------------------------
// Containers

TEST(SmartBufferTest, NewContainerHasNoCountsAndNoNumber) {
  TBfSmartBuffer* c = TBfSmartBuffer::Create();
  EXPECT_EQ(c->GetCountOwners(), 0);
  EXPECT_EQ(c->GetCountTransports(), 0);
  EXPECT_FALSE(c->GetBufferNumberAvailable());
  EXPECT_EQ(c->GetBufferNumber(), 0);
  EXPECT_TRUE(c->SingleOwner());
  delete c;  // never attached: its creator frees it
}

TEST(SmartBufferTest, CountsFollowAttachments) {
  const TBfStoreCounts before = BfGetStoreCounts();
  TBfSmartBuffer* c = TBfSmartBuffer::Create();
  c->AddReff(true);
  c->AddReff(false);
  EXPECT_EQ(c->GetCountOwners(), 1);
  EXPECT_EQ(c->GetCountTransports(), 2);
  EXPECT_TRUE(c->SingleOwner());
  c->AddReff(true);
  EXPECT_FALSE(c->SingleOwner());
  c->RemoveOwnerShip();
  EXPECT_EQ(c->GetCountOwners(), 1);
  EXPECT_EQ(c->GetCountTransports(), 3);
  c->RemoveOwnerShip();
  c->RemoveOwnerShip();  // already 0: stays 0
  EXPECT_EQ(c->GetCountOwners(), 0);
  c->RemoveReff(true);  // owners already 0: only the transport goes
  EXPECT_EQ(c->GetCountOwners(), 0);
  EXPECT_EQ(c->GetCountTransports(), 2);
  c->RemoveReff(false);
  EXPECT_EQ((BfGetStoreCounts() - before).ContainersDestroyed, 0);
  c->RemoveReff(false);  // the last transport: the container destroys itself
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.ContainersCreated, 1);
  EXPECT_EQ(d.ContainersDestroyed, 1);
}

TEST(SmartBufferTest, BufferNumberAccessors) {
  TBfSmartBuffer* c = TBfSmartBuffer::Create();
  c->SetBufferNumberAvailable(true);
  c->SetBufferNumber(-5);
  EXPECT_TRUE(c->GetBufferNumberAvailable());
  EXPECT_EQ(c->GetBufferNumber(), -5);
  TBfSmartBuffer* k = c->Clone(true);
  EXPECT_FALSE(k->GetBufferNumberAvailable());
  EXPECT_EQ(k->GetBufferNumber(), 0);
  EXPECT_EQ(k->GetCountTransports(), 0);
  delete k;
  delete c;
}

TEST(SmartBufferTest, LockIsReentrant) {
  TBfSmartBuffer* c = TBfSmartBuffer::Create();
  c->EnterRead();
  c->EnterWrite();
  c->AddReff(true);  // takes the lock again on the same thread
  EXPECT_TRUE(c->SingleOwner());
  c->LeaveWrite();
  c->LeaveRead();
  c->RemoveReff(true);
}

TEST(SmartMemoryBufferTest, CreateRoundsAndAligns) {
  const TBfStoreCounts before = BfGetStoreCounts();
  TBfSmartMemoryBuffer* c = TBfSmartMemoryBuffer::Create(24, true);  // ExactSize changes nothing
  EXPECT_EQ(c->AllocatedSize(), 32u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(c->GetRawData()) % 32, 0u);
  EXPECT_EQ(c->RawData(), c->GetRawData());
  TBfSmartMemoryBuffer* z = TBfSmartMemoryBuffer::Create(0, false);
  EXPECT_EQ(z->AllocatedSize(), 4u);
  EXPECT_NE(z->GetRawData(), nullptr);
  EXPECT_EQ((BfGetStoreCounts() - before).BlocksTaken, 2);
  delete z;
  delete c;
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.BlocksOutstanding(), 0);
  EXPECT_EQ(d.ContainersAlive(), 0);
}

TEST(SmartMemoryBufferTest, TooLargeLeavesNothingBehind) {
  const TBfStoreCounts before = BfGetStoreCounts();
  EXPECT_THROW(TBfSmartMemoryBuffer::Create((1u << 30) + 1, false), EOutOfMemory);
  EXPECT_THROW(TBfSmartMemoryBuffer::CreateData(nullptr, 0xFFFFFFFFu, false), EOutOfMemory);
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.ContainersAlive(), 0);
  EXPECT_EQ(d.BlocksTaken, 0);
}

TEST(SmartMemoryBufferTest, CreateDataCopiesTheBytes) {
  const uint8_t data[5] = {1, 2, 3, 4, 5};
  TBfSmartMemoryBuffer* c = TBfSmartMemoryBuffer::CreateData(data, 5, false);
  EXPECT_EQ(c->AllocatedSize(), 8u);
  EXPECT_EQ(std::memcmp(c->GetRawData(), data, 5), 0);
  TBfSmartMemoryBuffer* n = TBfSmartMemoryBuffer::CreateData(nullptr, 5, false);  // contents undefined
  EXPECT_EQ(n->AllocatedSize(), 8u);
  delete n;
  delete c;
}

TEST(SmartMemoryBufferTest, ClonePreserveCopiesTheWholeBlock) {
  TBfSmartMemoryBuffer* c = TBfSmartMemoryBuffer::Create(5, false);  // 8-byte block
  auto* p = static_cast<uint8_t*>(c->GetRawData());
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(10 + i);
  c->SetBufferNumberAvailable(true);
  const TBfStoreCounts before = BfGetStoreCounts();
  TBfSmartMemoryBuffer* k = c->Clone(true);
  EXPECT_EQ(k->AllocatedSize(), 8u);
  EXPECT_NE(k->GetRawData(), c->GetRawData());
  EXPECT_EQ(std::memcmp(k->GetRawData(), p, 8), 0);  // bytes beyond the 5 asked for too
  EXPECT_FALSE(k->GetBufferNumberAvailable());
  EXPECT_EQ(k->GetCountOwners(), 0);
  EXPECT_EQ(k->GetCountTransports(), 0);
  TBfSmartMemoryBuffer* u = c->Clone(false);
  EXPECT_EQ(u->AllocatedSize(), 8u);
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.BlocksTaken, 2);
  EXPECT_EQ(d.BytesCopied, 8);  // only the preserving clone copied
  delete u;
  delete k;
  delete c;
}

TEST(SmartMemoryBufferTest, CopyFromTakesTheSmallerSize) {
  TBfSmartMemoryBuffer* small = TBfSmartMemoryBuffer::Create(8, false);
  TBfSmartMemoryBuffer* big = TBfSmartMemoryBuffer::Create(16, false);
  std::memset(small->GetRawData(), 1, 8);
  std::memset(big->GetRawData(), 2, 16);
  big->CopyFrom(small);
  const auto* b = static_cast<const uint8_t*>(big->GetRawData());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[i], 1) << i;
  for (int i = 8; i < 16; ++i) EXPECT_EQ(b[i], 2) << i;
  std::memset(big->GetRawData(), 3, 16);
  small->CopyFrom(big);  // only 8 bytes fit
  const auto* s = static_cast<const uint8_t*>(small->GetRawData());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s[i], 3) << i;
  delete big;
  delete small;
}

TEST(SmartMemoryBufferTest, LastDetachReturnsTheBlock) {
  const TBfStoreCounts before = BfGetStoreCounts();
  TBfSmartMemoryBuffer* c = TBfSmartMemoryBuffer::Create(100, false);
  c->AddReff(true);
  c->AddReff(true);
  c->RemoveReff(true);
  EXPECT_EQ((BfGetStoreCounts() - before).BlocksOutstanding(), 1);
  c->RemoveReff(true);
  const TBfStoreCounts d = BfGetStoreCounts() - before;
  EXPECT_EQ(d.BlocksOutstanding(), 0);
  EXPECT_EQ(d.ContainersAlive(), 0);
}

}  // namespace
