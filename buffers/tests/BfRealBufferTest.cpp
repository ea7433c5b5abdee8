// The buffer class chain and the core of the real buffer
// (BfSimpleDataBuffer): construction, copy on write, RemoveOwnerShip, Resize,
// Assign, IsEqual, CopyTo, item access, files, sequence stamp.
//
// Every test runs in a fixture that checks, at its end, that no buffer object,
// no container and no block is left alive.
#include "buffers/BfSimpleDataBuffer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <thread>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "buffers/tests/BfBufferTestSupport.h"
#include "platform/Classes.h"

namespace {

static_assert(std::is_convertible_v<Ref<TBfRealBuffer>, Ref<IBfRealBuffer>>);
static_assert(std::is_convertible_v<Ref<TBfRealBuffer>, Ref<IBfLinearDataBuffer>>);
static_assert(std::is_convertible_v<Ref<TBfRealBuffer>, Ref<IBfDataBuffer>>);
static_assert(std::is_convertible_v<Ref<TBfRealBuffer>, Ref<IBfData>>);
static_assert(std::is_convertible_v<Ref<TBfRealBuffer>, Ref<IBfGenericBuffer>>);
static_assert(!std::is_convertible_v<Ref<IBfData>, Ref<IBfRealBuffer>>,
              "going down the interface chain needs a query");
static_assert(!std::is_constructible_v<TBfRealBuffer>, "buffers are created by Create... only");
// Copy on write rests on this: Read and ByteRead give no storage of its own,
// so the items they point to may be shared and must not be written through.
static_assert(!std::is_assignable_v<decltype(*std::declval<IBfRealBuffer&>().Read()), Real>,
              "Read() hands out read-only items; writing takes Write() or Modify()");
static_assert(!std::is_assignable_v<decltype(*std::declval<IBfDataBuffer&>().ByteRead()), uint8_t>,
              "ByteRead() hands out read-only bytes; writing takes ByteWrite() or ByteModify()");
static_assert(std::is_assignable_v<decltype(*std::declval<IBfRealBuffer&>().Modify()), Real>);
// Queries are callable on a buffer seen as const.
static_assert(std::is_invocable_v<decltype(&IBfRealBuffer::GetItem), const IBfRealBuffer&, int32_t>);
static_assert(std::is_invocable_v<decltype(&IBfRealBuffer::Mean), const IBfRealBuffer&>);
static_assert(std::is_invocable_v<decltype(&IBfDataBuffer::IsEqual), const IBfDataBuffer&,
                                  const Ref<IBfDataBuffer>&>);

std::string TempPath(const char* AName) { return std::string(FR_TEST_TMP_DIR) + "/" + AName; }

std::vector<uint8_t> FileBytes(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& APath, const std::vector<uint8_t>& ABytes) {
  std::ofstream out(APath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ABytes.data()), std::streamsize(ABytes.size()));
}

std::vector<Real> Items(const Ref<TBfRealBuffer>& ABuffer) {
  std::vector<Real> r;
  for (uint32_t i = 0; i < ABuffer->GetSize(); ++i) r.push_back(ABuffer->GetItem(int32_t(i)));
  return r;
}

Ref<TBfRealBuffer> Filled(std::initializer_list<Real> AValues) {
  std::vector<Real> v(AValues);
  return TBfRealBuffer::CreateData(v.data(), uint32_t(v.size()));
}

uint64_t Bits(Real AValue) { return std::bit_cast<uint64_t>(AValue); }

// A buffer kind of a later stage, built on the chain the way the integer buffers will:
// items of 4 bytes. It also counts the calls of SetDataContainer, to prove
// the after-construction hook runs once.
class TTestIntBuffer : public TBfLinearMemoryBuffer {
 public:
  static Ref<TTestIntBuffer> CreateSize(uint32_t ASize) {
    const uint32_t bytes = BfCheckedByteCount(ASize, 4);
    return Construct(new TTestIntBuffer(TBfSmartMemoryBuffer::Create(bytes, false), bytes));
  }
  Ref<IBfData> MakeCopy() override { return Construct(new TTestIntBuffer(this)); }
  uint32_t GetItemSize() const override { return 4; }
  uint32_t GetSize() const override { return FCharSize / 4; }
  const int32_t* Data() const { return reinterpret_cast<const int32_t*>(ByteRead()); }
  int32_t* ModifyData() { return reinterpret_cast<int32_t*>(ByteModify()); }
  void SetDataContainer(TBfSmartBuffer* AContainer) override {
    ++SetDataContainerCalls;
    TBfLinearMemoryBuffer::SetDataContainer(AContainer);
  }
  int SetDataContainerCalls = 0;

 protected:
  TTestIntBuffer(TBfSmartMemoryBuffer* AContainer, uint32_t ASize)
      : TBfLinearMemoryBuffer(AContainer, ASize) {}
  explicit TTestIntBuffer(TTestIntBuffer* AOther) : TBfLinearMemoryBuffer(AOther) {}
};

// An IBfDataBuffer that is not a generic buffer: Assign must refuse it.
class TForeignData : public TInterfacedObject, public virtual IBfDataBuffer {
 public:
  TObject* GetInstance() override { return this; }
  Ref<IBfData> MakeCopy() override { return {}; }
  void Assign(const Ref<IBfDataBuffer>&) override {}
  bool IsEqual(const Ref<IBfDataBuffer>&) const override { return false; }
  const uint8_t* ByteRead() const override { return FBytes; }
  uint8_t* ByteWrite() override { return FBytes; }
  uint8_t* ByteModify() override { return FBytes; }
  uint32_t GetByteSize() const override { return 8; }
  uint32_t GetSize() const override { return 8; }
  TBfSequenceStamp* GetSequenceStamp() override { return nullptr; }
  void CopyTo(uint32_t, const Ref<IBfDataBuffer>&, uint32_t, uint32_t) override {}
  void Unique(bool) override {}
  void SaveToFile(const std::string&) const override {}
  void LoadFromFile(const std::string&) override {}

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IBfData, IBfDataBuffer>(this, AIID)) return p;
    return TInterfacedObject::FindInterface(AIID);
  }

 private:
  uint8_t FBytes[8] = {};
};

// A memory container whose clones cannot get memory: the road of an
// EOutOfMemory from the store through copy on write.
class TNoCloneContainer : public TBfSmartMemoryBuffer {
 public:
  static TNoCloneContainer* Create(uint32_t ASize) { return new TNoCloneContainer(ASize); }
  [[nodiscard]] TBfSmartMemoryBuffer* Clone(bool) override { throw EOutOfMemory(); }

 protected:
  explicit TNoCloneContainer(uint32_t ASize) : TBfSmartMemoryBuffer(ASize, false) {}
};

// Checks at the end of every test that nothing leaked.
class BufferTest : public BufferKindTest {};

void ExpectCounts(TBfSmartBuffer* AContainer, int32_t AOwners, int32_t ATransports) {
  EXPECT_EQ(AContainer->GetCountOwners(), AOwners);
  EXPECT_EQ(AContainer->GetCountTransports(), ATransports);
}

// ---------------------------------------------------------------------------
// Construction and sizes

struct CreateSizeRow {
  uint32_t Items;
  uint32_t ByteSize;   // [bytes]
  uint32_t Allocated;  // [bytes]
};

class CreateSizeTest : public BufferTest, public ::testing::WithParamInterface<CreateSizeRow> {};

TEST_P(CreateSizeTest, SizesAndBlock) {
  const CreateSizeRow& row = GetParam();
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateSize(row.Items);
  EXPECT_EQ(b->GetSize(), row.Items);
  EXPECT_EQ(b->GetByteSize(), row.ByteSize);
  EXPECT_EQ(b->GetCharSize(), row.ByteSize);
  EXPECT_EQ(b->MemoryBuffer()->AllocatedSize(), row.Allocated);
  EXPECT_EQ(b->pBuffer(), b->MemoryBuffer());
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b->Read()) % 32, 0u);
  EXPECT_EQ(reinterpret_cast<const void*>(b->Read()), b->MemoryBuffer()->GetRawData());
  EXPECT_TRUE(b->OwnsData());
  ExpectCounts(b->GetDataContainer(), 1, 1);
}

INSTANTIATE_TEST_SUITE_P(Rule, CreateSizeTest,
                         ::testing::Values(CreateSizeRow{0, 0, 4}, CreateSizeRow{1, 8, 8},
                                           CreateSizeRow{3, 24, 32}, CreateSizeRow{4, 32, 32},
                                           CreateSizeRow{5, 40, 64}, CreateSizeRow{1024, 8192, 8192},
                                           CreateSizeRow{1025, 8200, 16384}));

TEST_F(BufferTest, CreateIsEmptyWithAFourByteBlock) {
  Ref<TBfRealBuffer> b = TBfRealBuffer::Create();
  EXPECT_EQ(b->GetSize(), 0u);
  EXPECT_EQ(b->GetByteSize(), 0u);
  EXPECT_EQ(b->MemoryBuffer()->AllocatedSize(), 4u);
  EXPECT_EQ(Since().BlocksTaken, 1);
}

TEST_F(BufferTest, CreateDataCopiesAndCreateValueFills) {
  Real src[3] = {1.5, -2.0, 3.25};
  Ref<TBfRealBuffer> d = TBfRealBuffer::CreateData(src, 3);
  src[0] = 99;  // the buffer holds its own copy
  EXPECT_EQ(Items(d), (std::vector<Real>{1.5, -2.0, 3.25}));
  EXPECT_NE(d->Read(), src);

  Ref<TBfRealBuffer> v = TBfRealBuffer::CreateValue(-0.5, 5);
  EXPECT_EQ(Items(v), std::vector<Real>(5, -0.5));
  EXPECT_EQ(TBfRealBuffer::CreateValue(7, 0)->GetSize(), 0u);
  EXPECT_EQ(TBfRealBuffer::CreateData(nullptr, 4)->GetSize(), 4u);  // contents undefined
}

TEST_F(BufferTest, ConversionConstructorsAreExactAtTheExtremes) {
  const int16_t shorts[3] = {-32768, 0, 32767};
  EXPECT_EQ(Items(TBfRealBuffer::CreateSmallIntData(shorts, 3)),
            (std::vector<Real>{-32768.0, 0.0, 32767.0}));
  const uint16_t words[3] = {0, 1, 65535};
  EXPECT_EQ(Items(TBfRealBuffer::CreateWordData(words, 3)), (std::vector<Real>{0.0, 1.0, 65535.0}));
  const uint32_t cardinals[3] = {0, 2147483648u, 4294967295u};
  EXPECT_EQ(Items(TBfRealBuffer::CreateCardinalData(cardinals, 3)),
            (std::vector<Real>{0.0, 2147483648.0, 4294967295.0}));  // never -1
  const int32_t ints[3] = {std::numeric_limits<int32_t>::min(), -1, std::numeric_limits<int32_t>::max()};
  EXPECT_EQ(Items(TBfRealBuffer::CreateIntegerData(ints, 3)),
            (std::vector<Real>{-2147483648.0, -1.0, 2147483647.0}));
  const float singles[5] = {FLT_MAX, -0.0f, FLT_TRUE_MIN, 0.1f, -std::numeric_limits<float>::infinity()};
  Ref<TBfRealBuffer> s = TBfRealBuffer::CreateSingleData(singles, 5);
  EXPECT_EQ(s->GetItem(0), double(FLT_MAX));
  EXPECT_EQ(Bits(s->GetItem(1)), Bits(-0.0));
  EXPECT_EQ(s->GetItem(2), double(FLT_TRUE_MIN));
  EXPECT_EQ(s->GetItem(3), double(0.1f));
  EXPECT_EQ(s->GetItem(4), -std::numeric_limits<double>::infinity());
  // Empty conversions call no primitive (IPP reports an error for length 0).
  EXPECT_EQ(TBfRealBuffer::CreateSmallIntData(shorts, 0)->GetSize(), 0u);
  EXPECT_EQ(TBfRealBuffer::CreateIntegerData(ints, 0)->GetSize(), 0u);
  EXPECT_EQ(TBfRealBuffer::CreateSingleData(singles, 0)->GetSize(), 0u);
  EXPECT_EQ(TBfRealBuffer::CreateWordData(nullptr, 2)->GetSize(), 2u);
}

TEST_F(BufferTest, AnswersEveryInterfaceOfItsChain) {
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateSize(2);
  Ref<IBfData> data = b;
  EXPECT_TRUE(Supports<IBfData>(data));
  EXPECT_TRUE(Supports<IBfDataBuffer>(data));
  EXPECT_TRUE(Supports<IBfGenericBuffer>(data));
  EXPECT_TRUE(Supports<IBfLinearDataBuffer>(data));
  EXPECT_TRUE(Supports<IBfRealBuffer>(data));
  EXPECT_TRUE(Supports<IInterface>(data));
  EXPECT_EQ(data->GetInstance(), static_cast<TObject*>(b.Get()));
  EXPECT_EQ(b->GetDataIntf().Get(), static_cast<IBfData*>(b.Get()));
  EXPECT_EQ(b->GetDataBufferIntf().Get(), static_cast<IBfDataBuffer*>(b.Get()));
  // A memory buffer is no linear or real buffer.
  Ref<TBfMemoryBuffer> m = TBfMemoryBuffer::CreateSize(8);
  EXPECT_TRUE(Supports<IBfGenericBuffer>(m));
  EXPECT_FALSE(Supports<IBfLinearDataBuffer>(m));
  EXPECT_FALSE(Supports<IBfRealBuffer>(m));
  EXPECT_THROW(QueryAs<IBfRealBuffer>(m), EIntfCastError);
}

TEST_F(BufferTest, CopiesShareTheContainer) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Mark();
  Ref<IBfData> viaMakeCopy = a->MakeCopy();
  Ref<IBfData> viaIntf = a->MakeIntfCopy();
  Ref<TBfRealBuffer> ex = TBfRealBuffer::CreateEx(a.Get());
  Ref<TBfRealBuffer> copy = TBfRealBuffer::CreateCopy(a);
  Ref<TBfRealBuffer> universal = TBfRealBuffer::CreateUniversal(a);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.ContainersCreated, 0);
  EXPECT_EQ(d.BlocksTaken, 0);
  ExpectCounts(a->GetDataContainer(), 6, 6);
  for (const Ref<IBfData>& c : {viaMakeCopy, viaIntf}) {
    auto* o = dynamic_cast<TBfRealBuffer*>(c->GetInstance());
    ASSERT_NE(o, nullptr);
    EXPECT_NE(o, a.Get());
    EXPECT_EQ(o->GetDataContainer(), a->GetDataContainer());
    EXPECT_EQ(o->GetSize(), 3u);
  }
  for (const Ref<TBfRealBuffer>& c : {ex, copy, universal}) {
    EXPECT_EQ(c->GetDataContainer(), a->GetDataContainer());
    EXPECT_EQ(c->Read(), a->Read());
    EXPECT_EQ(Items(c), (std::vector<Real>{1, 2, 3}));
  }
}

TEST_F(BufferTest, GenericAndMemoryBuffersCopyToTheirOwnClass) {
  Ref<TBfMemoryBuffer> m = TBfMemoryBuffer::CreateSize(5);
  // typeid of a call's result would evaluate the call inside typeid, which
  // reads as if it did not: the object is named first.
  auto classOf = [](const Ref<IBfData>& ACopy) -> const std::type_info& {
    const TObject& object = *ACopy->GetInstance();
    return typeid(object);
  };
  Ref<IBfData> mc = m->MakeCopy();
  EXPECT_EQ(classOf(mc), typeid(TBfMemoryBuffer));
  Ref<TBfLinearMemoryBuffer> l = TBfLinearMemoryBuffer::CreateSize(5);
  EXPECT_EQ(classOf(l->MakeCopy()), typeid(TBfLinearMemoryBuffer));
  Ref<TBfGenericBuffer> g = TBfGenericBuffer::CreateCopy(m);
  EXPECT_EQ(classOf(g->MakeCopy()), typeid(TBfGenericBuffer));
  EXPECT_EQ(g->GetDataContainer(), m->GetDataContainer());
  EXPECT_EQ(g->GetByteSize(), 5u);
  EXPECT_EQ(g->ByteRead(), m->ByteRead());
  Ref<TBfGenericBuffer> u = TBfGenericBuffer::CreateUniversal(Ref<IBfData>(mc));
  ExpectCounts(m->GetDataContainer(), 4, 4);  // m, mc, g, u

  // A generic buffer on a plain container: no data pointer.
  Ref<TBfGenericBuffer> plain = TBfGenericBuffer::Create(TBfSmartBuffer::Create(), 0);
  EXPECT_EQ(plain->ByteRead(), nullptr);
  ExpectCounts(plain->GetDataContainer(), 1, 1);
}

TEST_F(BufferTest, UniversalReadsAnyMemoryBufferAsReals) {
  Ref<TBfLinearMemoryBuffer> bytes = TBfLinearMemoryBuffer::CreateSize(13);
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateUniversal(bytes);
  EXPECT_EQ(r->GetByteSize(), 13u);
  EXPECT_EQ(r->GetSize(), 1u);  // 13 / 8
  EXPECT_EQ(r->GetDataContainer(), bytes->GetDataContainer());
  EXPECT_THROW(r->GetItem(1), ERangeError);

  // Not a memory buffer, or no buffer at all: refused, nothing attached.
  Ref<TBfGenericBuffer> plain = TBfGenericBuffer::Create(TBfSmartBuffer::Create(), 16);
  EXPECT_THROW(TBfRealBuffer::CreateUniversal(plain), EIntfCastError);
  EXPECT_THROW(TBfRealBuffer::CreateUniversal(nullptr), EIntfCastError);
  EXPECT_THROW(TBfRealBuffer::CreateCopy(nullptr), EIntfCastError);
  Ref<TForeignData> foreign(new TForeignData());
  EXPECT_THROW(TBfRealBuffer::CreateUniversal(foreign), EIntfCastError);
  ExpectCounts(plain->GetDataContainer(), 1, 1);
}

TEST_F(BufferTest, AfterConstructionHookCallsSetDataContainerOnce) {
  Ref<TTestIntBuffer> b = TTestIntBuffer::CreateSize(3);
  EXPECT_EQ(b->SetDataContainerCalls, 1);
  EXPECT_EQ(b->GetSize(), 3u);
  EXPECT_EQ(b->GetByteSize(), 12u);
  Ref<IBfData> c = b->MakeCopy();
  auto* copy = static_cast<TTestIntBuffer*>(c->GetInstance());
  EXPECT_EQ(copy->SetDataContainerCalls, 1);
  // Descendants hear of every later move: copy on write, Resize step 5, Assign.
  copy->ByteWrite();
  EXPECT_EQ(copy->SetDataContainerCalls, 2);
  copy->Resize(100, false);
  EXPECT_EQ(copy->SetDataContainerCalls, 3);
  copy->Resize(1, true);  // step 3: same container, no call
  EXPECT_EQ(copy->SetDataContainerCalls, 3);
  copy->Assign(b);
  EXPECT_EQ(copy->SetDataContainerCalls, 4);
  EXPECT_EQ(copy->GetSize(), 3u);
}

// ---------------------------------------------------------------------------
// Copy on write

TEST_F(BufferTest, SetItemOnASharedBufferMovesOnlyThatBuffer) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  TBfSmartBuffer* shared = a->GetDataContainer();
  ASSERT_EQ(b->GetDataContainer(), shared);
  ExpectCounts(shared, 2, 2);
  Mark();
  b->SetItem(0, 42);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 1);
  EXPECT_EQ(d.BlocksTaken, 1);
  EXPECT_NE(b->GetDataContainer(), shared);
  EXPECT_EQ(a->GetDataContainer(), shared);
  EXPECT_EQ(Items(b), (std::vector<Real>{42, 2, 3}));
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2, 3}));
  ExpectCounts(shared, 1, 1);
  ExpectCounts(b->GetDataContainer(), 1, 1);
  EXPECT_EQ(b->MemoryBuffer()->AllocatedSize(), 32u);  // same allocated size as the old one
}

TEST_F(BufferTest, WriteOnASharedBufferGivesANewBlock) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  const Real* before = a->Read();
  Mark();
  Real* p = a->Write();
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 1);
  EXPECT_EQ(d.BytesCopied, 0);  // Write does not keep the contents
  EXPECT_NE(p, before);
  EXPECT_EQ(p, a->Read());
  p[0] = p[1] = p[2] = 9;
  EXPECT_EQ(Items(b), (std::vector<Real>{1, 2, 3}));
  EXPECT_EQ(b->Read(), before);
}

TEST_F(BufferTest, ModifyOnASharedBufferKeepsTheContents) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  Mark();
  Real* p = a->Modify();
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 1);
  EXPECT_EQ(d.BytesCopied, 32);  // the whole allocated block
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[2], 3);
  p[1] = -1;
  EXPECT_EQ(Items(a), (std::vector<Real>{1, -1, 3}));
  EXPECT_EQ(Items(b), (std::vector<Real>{1, 2, 3}));
}

TEST_F(BufferTest, ReadNeverCopies) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  Mark();
  EXPECT_EQ(a->Read(), b->Read());
  EXPECT_EQ(a->ByteRead(), b->ByteRead());
  EXPECT_EQ(a->GetItem(1), 2);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 0);
  EXPECT_EQ(d.BlocksTaken, 0);
}

TEST_F(BufferTest, ASingleOwnerWritesInPlace) {
  Ref<TBfRealBuffer> a = TBfRealBuffer::CreateSize(3);
  TBfSmartBuffer* container = a->GetDataContainer();
  Mark();
  Real* first = a->Write();
  first[0] = 5;
  first[2] = 7;
  Real* second = a->Write();
  EXPECT_EQ(first, second);
  EXPECT_EQ(second[0], 5);
  EXPECT_EQ(second[2], 7);
  EXPECT_EQ(a->Modify(), first);
  EXPECT_EQ(a->ByteWrite(), reinterpret_cast<uint8_t*>(first));
  EXPECT_EQ(a->ByteModify(), reinterpret_cast<uint8_t*>(first));
  a->SetItem(1, 6);
  EXPECT_FALSE(a->MakeUnique(true));
  EXPECT_EQ(a->GetDataContainer(), container);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 0);
  EXPECT_EQ(d.BlocksTaken, 0);
}

TEST_F(BufferTest, MakeUniqueReportsTheMove) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  EXPECT_TRUE(b->MakeUnique(true));
  EXPECT_FALSE(b->MakeUnique(true));
  EXPECT_FALSE(a->MakeUnique(true));
  EXPECT_EQ(Items(b), (std::vector<Real>{1, 2}));
}

TEST_F(BufferTest, RemoveOwnerShipLetsTheOwnerWriteInPlace) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  b->RemoveOwnerShip();
  EXPECT_FALSE(b->OwnsData());
  ExpectCounts(a->GetDataContainer(), 1, 2);
  b->RemoveOwnerShip();  // once only
  ExpectCounts(a->GetDataContainer(), 1, 2);
  Mark();
  a->SetItem(0, 10);
  EXPECT_EQ(b->GetItem(0), 10);  // in place: B sees it
  b->SetItem(1, 20);             // a non-owner with one owner attached also writes in place
  EXPECT_EQ(a->GetItem(1), 20);
  EXPECT_EQ(Since().CopyOnWriteContainers, 0);
  EXPECT_EQ(a->GetDataContainer(), b->GetDataContainer());
}

TEST_F(BufferTest, ANonOwnerBesideTwoOwnersMovesWhenItWrites) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> c = TBfRealBuffer::CreateCopy(a);
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  b->RemoveOwnerShip();
  TBfSmartBuffer* shared = a->GetDataContainer();
  ExpectCounts(shared, 2, 3);
  b->SetItem(0, 5);
  EXPECT_NE(b->GetDataContainer(), shared);
  ExpectCounts(b->GetDataContainer(), 0, 1);  // still no owner
  ExpectCounts(shared, 2, 2);
  EXPECT_EQ(a->GetItem(0), 1);
  EXPECT_EQ(b->GetItem(0), 5);
  EXPECT_FALSE(b->OwnsData());
}

TEST_F(BufferTest, OutOfMemoryDuringCopyOnWriteLeavesTheBufferWhereItWas) {
  Ref<TBfMemoryBuffer> bytes = TBfMemoryBuffer::Create(TNoCloneContainer::Create(16), 16);
  const Real values[2] = {1, 2};
  std::memcpy(bytes->ByteWrite(), values, 16);  // single owner: in place
  Ref<TBfRealBuffer> a = TBfRealBuffer::CreateUniversal(bytes);  // two owners: writes must copy
  TBfSmartBuffer* c = a->GetDataContainer();
  ExpectCounts(c, 2, 2);
  EXPECT_THROW(a->Write(), EOutOfMemory);
  EXPECT_THROW(a->Modify(), EOutOfMemory);
  EXPECT_THROW(a->SetItem(0, 5), EOutOfMemory);
  EXPECT_THROW(a->SetItem(7, 5), EOutOfMemory);  // the copy comes before the index test
  EXPECT_THROW(bytes->ByteWrite(), EOutOfMemory);
  EXPECT_EQ(a->GetDataContainer(), c);
  EXPECT_EQ(bytes->GetDataContainer(), c);
  ExpectCounts(c, 2, 2);
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2}));
  // A single owner needs no copy and writes in place.
  bytes->RemoveOwnerShip();
  a->SetItem(0, 5);
  EXPECT_EQ(a->GetDataContainer(), c);
  EXPECT_EQ(a->GetItem(0), 5);
}

TEST_F(BufferTest, ByteAccessOfASharedMemoryBuffer) {
  Ref<TBfMemoryBuffer> a = TBfMemoryBuffer::CreateSize(3);
  std::memcpy(a->ByteWrite(), "abc", 3);
  Ref<TBfMemoryBuffer> b = TBfMemoryBuffer::CreateEx(a.Get());
  EXPECT_EQ(a->ByteRead(), b->ByteRead());
  uint8_t* m = b->ByteModify();
  EXPECT_NE(m, a->ByteRead());
  EXPECT_EQ(std::memcmp(m, "abc", 3), 0);
  m[0] = 'x';
  EXPECT_EQ(a->ByteRead()[0], 'a');
  Ref<TBfMemoryBuffer> c = TBfMemoryBuffer::CreateEx(a.Get());
  Mark();
  uint8_t* w = c->ByteWrite();
  EXPECT_NE(w, a->ByteRead());
  EXPECT_EQ(Since().BytesCopied, 0);
  EXPECT_EQ(c->GetByteSize(), 3u);
  EXPECT_EQ(c->GetSize(), 3u);
  EXPECT_EQ(c->GetItemSize(), 1u);
}

TEST_F(BufferTest, GenericBuffersOnPlainContainersCopyOnWriteToo) {
  Ref<TBfGenericBuffer> a = TBfGenericBuffer::Create(TBfSmartBuffer::Create(), 0);
  Ref<TBfGenericBuffer> b = TBfGenericBuffer::CreateEx(a.Get());
  a->GetSequenceStamp()->SetBufferNumber(3);
  TBfSmartBuffer* c = a->GetDataContainer();
  ExpectCounts(c, 2, 2);
  Mark();
  EXPECT_EQ(b->ByteWrite(), nullptr);  // no data, but the container is made private
  EXPECT_EQ(Since().CopyOnWriteContainers, 1);
  EXPECT_NE(b->GetDataContainer(), c);
  const TBfSmartBuffer& container = *b->GetDataContainer();
  EXPECT_EQ(typeid(container), typeid(TBfSmartBuffer));
  // No data pointer: no bytes to compare or copy, whatever the size says.
  Ref<TBfGenericBuffer> sized = TBfGenericBuffer::Create(TBfSmartBuffer::Create(), 16);
  Ref<TBfMemoryBuffer> m = TBfMemoryBuffer::CreateSize(16);
  EXPECT_TRUE(sized->IsEqual(TBfGenericBuffer::CreateEx(sized.Get())));
  EXPECT_FALSE(sized->IsEqual(m));
  EXPECT_FALSE(m->IsEqual(sized));
  EXPECT_THROW(sized->CopyTo(0, m, 0, 1), ERangeError);
  EXPECT_THROW(m->CopyTo(0, sized, 0, 1), ERangeError);
  EXPECT_EQ(b->GetSequenceStamp()->GetBufferNumber(), 0);
  EXPECT_EQ(a->GetSequenceStamp()->GetBufferNumber(), 3);
  ExpectCounts(c, 1, 1);
}

TEST_F(BufferTest, ReleasingTheLastBufferFreesContainerAndBlock) {
  Mark();
  {
    Ref<TBfRealBuffer> a = TBfRealBuffer::CreateSize(10);
    Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
    a.Reset();
    const TBfStoreCounts d = Since();
    EXPECT_EQ(d.ContainersAlive(), 1);
    EXPECT_EQ(d.BlocksOutstanding(), 1);
    ExpectCounts(b->GetDataContainer(), 1, 1);
  }
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.ContainersDestroyed, 1);
  EXPECT_EQ(d.BlocksReturned, 1);
}

// ---------------------------------------------------------------------------
// Item access

struct IndexRow {
  int32_t Index;
  const char* Message;  // nullptr: valid
};

class ItemIndexTest : public BufferTest, public ::testing::WithParamInterface<IndexRow> {};

TEST_P(ItemIndexTest, GetItemAndSetItem) {
  const IndexRow& row = GetParam();
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateValue(1.0, 1024);
  if (row.Message == nullptr) {
    b->SetItem(row.Index, 2.5);
    EXPECT_EQ(b->GetItem(row.Index), 2.5);
    return;
  }
  for (int setter = 0; setter < 2; ++setter) {
    try {
      if (setter) b->SetItem(row.Index, 2.5);
      else b->GetItem(row.Index);
      FAIL() << "index " << row.Index << " accepted";
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), row.Message);
    }
  }
  EXPECT_EQ(Items(b), std::vector<Real>(1024, 1.0));  // nothing written anywhere
}

INSTANTIATE_TEST_SUITE_P(
    Range, ItemIndexTest,
    ::testing::Values(IndexRow{0, nullptr}, IndexRow{1023, nullptr},
                      IndexRow{1024, "Index out of range = 1024"},
                      IndexRow{1025, "Index out of range = 1025"},
                      // Negative indexes: the same error, the index shown as its
                      // unsigned 32-bit value.
                      IndexRow{-1, "Index out of range = 4294967295"},
                      IndexRow{std::numeric_limits<int32_t>::min(), "Index out of range = 2147483648"},
                      IndexRow{std::numeric_limits<int32_t>::max(), "Index out of range = 2147483647"}));

TEST_F(BufferTest, EmptyBufferHasNoValidIndex) {
  Ref<TBfRealBuffer> b = TBfRealBuffer::Create();
  EXPECT_THROW(b->GetItem(0), ERangeError);
  EXPECT_THROW(b->SetItem(0, 1), ERangeError);
  EXPECT_THROW(b->GetItem(-1), ERangeError);
}

TEST_F(BufferTest, FailedSetItemOnASharedBufferHasAlreadyMoved) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  TBfSmartBuffer* shared = a->GetDataContainer();
  for (int32_t bad : {5, -1}) {
    try {
      b->SetItem(bad, 9);
      FAIL();
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), bad == 5 ? "Index out of range = 5" : "Index out of range = 4294967295");
    }
    EXPECT_NE(b->GetDataContainer(), shared);
    EXPECT_EQ(Items(b), (std::vector<Real>{1, 2, 3}));
    EXPECT_EQ(Items(a), (std::vector<Real>{1, 2, 3}));
    ExpectCounts(shared, 1, 1);
  }
}

// ---------------------------------------------------------------------------
// Resize

struct ResizeRow {
  const char* Name;
  uint32_t From;           // count [items], filled with 1, 2, 3, ...
  bool Shared;             // a second owner shares the container
  uint32_t To;             // count [items]
  bool Preserve;
  bool SameContainer;      // the buffer stays on its container
  uint32_t Allocated;      // allocated size afterwards [bytes]
  uint32_t Kept;           // items that must hold their old values
};

void PrintTo(const ResizeRow& ARow, std::ostream* AOut) { *AOut << ARow.Name; }

class ResizeTest : public BufferTest, public ::testing::WithParamInterface<ResizeRow> {};

TEST_P(ResizeTest, StepsOfResize) {
  const ResizeRow& row = GetParam();
  Ref<TBfRealBuffer> a = TBfRealBuffer::CreateSize(row.From);
  for (uint32_t i = 0; i < row.From; ++i) a->SetItem(int32_t(i), Real(i + 1));
  Ref<TBfRealBuffer> other;
  if (row.Shared) other = TBfRealBuffer::CreateCopy(a);
  TBfSmartBuffer* before = a->GetDataContainer();
  Mark();
  a->Resize(row.To, row.Preserve);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(a->GetSize(), row.To);
  EXPECT_EQ(a->GetByteSize(), row.To * 8);
  EXPECT_EQ(a->GetDataContainer() == before, row.SameContainer);
  EXPECT_EQ(d.ResizeContainers, row.SameContainer ? 0 : 1);
  EXPECT_EQ(d.CopyOnWriteContainers, 0);
  EXPECT_EQ(a->MemoryBuffer()->AllocatedSize(), row.Allocated);
  EXPECT_EQ(a->Read(), static_cast<Real*>(a->MemoryBuffer()->GetRawData()));
  for (uint32_t i = 0; i < row.Kept; ++i) EXPECT_EQ(a->GetItem(int32_t(i)), Real(i + 1)) << i;
  if (row.Shared) {
    // The partner keeps its size, its values and the old container.
    EXPECT_EQ(other->GetSize(), row.From);
    EXPECT_EQ(other->GetDataContainer(), before);
    for (uint32_t i = 0; i < row.From; ++i) EXPECT_EQ(other->GetItem(int32_t(i)), Real(i + 1));
    ExpectCounts(before, row.SameContainer ? 2 : 1, row.SameContainer ? 2 : 1);
  } else if (!row.SameContainer) {
    EXPECT_EQ(d.ContainersDestroyed, 1) << "the old container is released";
  }
  ExpectCounts(a->GetDataContainer(), row.SameContainer && row.Shared ? 2 : 1,
               row.SameContainer && row.Shared ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ResizeTest,
    ::testing::Values(
        // 1. size 0: same container, shared or not, with or without the data.
        ResizeRow{"ZeroKeepsContainer", 3, false, 0, false, true, 32, 0},
        ResizeRow{"ZeroSharedKeepsContainer", 3, true, 0, true, true, 32, 0},
        // 2. the current size: nothing, not even when shared.
        ResizeRow{"SameSizeShared", 3, true, 3, false, true, 32, 3},
        ResizeRow{"SameSizeSharedPreserve", 3, true, 3, true, true, 32, 3},
        // 3. smaller with the data: only this view shrinks.
        ResizeRow{"ShrinkPreserveShared", 4, true, 2, true, true, 32, 2},
        ResizeRow{"ShrinkPreserveSingle", 4, false, 1, true, true, 32, 1},
        // 4. growing inside a single owner's block.
        ResizeRow{"GrowInPlace3To4", 3, false, 4, true, true, 32, 3},
        ResizeRow{"GrowInPlace5To8", 5, false, 8, true, true, 64, 5},
        // 5. a new container.
        ResizeRow{"Grow4To5NewBlock", 4, false, 5, true, false, 64, 4},
        ResizeRow{"GrowPreserveShared", 3, true, 4, true, false, 32, 3},
        ResizeRow{"ShrinkWithoutData", 3, false, 2, false, false, 16, 0},
        ResizeRow{"GrowWithoutDataRoomLeft", 3, false, 4, false, false, 32, 0},
        ResizeRow{"GrowWithoutDataShared", 3, true, 1024, false, false, 8192, 0},
        ResizeRow{"FromEmpty", 0, false, 2, true, false, 16, 0}),
    [](const ::testing::TestParamInfo<ResizeRow>& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(BufferTest, ResizeToZeroAndBackFromTheSameBlock) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  TBfSmartBuffer* c = a->GetDataContainer();
  a->Resize(0, true);
  EXPECT_EQ(a->GetDataContainer(), c);
  a->Resize(3, true);  // step 4: the block still holds the old items
  EXPECT_EQ(a->GetDataContainer(), c);
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2, 3}));
}

TEST_F(BufferTest, ResizeStartsANewSequenceStamp) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3, 4});
  a->GetSequenceStamp()->SetAvailable(true);
  a->GetSequenceStamp()->SetBufferNumber(17);
  a->Resize(5, true);
  EXPECT_FALSE(a->GetSequenceStamp()->GetAvailable());
  EXPECT_EQ(a->GetSequenceStamp()->GetBufferNumber(), 0);
}

TEST_F(BufferTest, ResizeBeyondTheLimitIsRefusedAndChangesNothing) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  TBfSmartBuffer* c = a->GetDataContainer();
  Mark();
  // (2^27 + 1) x 8 is above 2^30; 2^29 x 8 and 2^31 x 8 wrap to 0 in 32 bits.
  for (uint32_t size : {(1u << 27) + 1, 1u << 29, 1u << 31, 0xFFFFFFFFu}) {
    for (bool preserve : {false, true}) {
      EXPECT_THROW(a->Resize(size, preserve), EOutOfMemory) << size;
      EXPECT_EQ(a->GetSize(), 3u);
      EXPECT_EQ(a->GetDataContainer(), c);
    }
  }
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2, 3}));
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.BlocksTaken, 0);
  EXPECT_EQ(d.ContainersCreated, 0);
}

TEST_F(BufferTest, ConstructorsBeyondTheLimitLeaveNothingBehind) {
  const int64_t live = TInterfacedObject::LiveInstances();
  Mark();
  for (uint32_t size : {(1u << 27) + 1, 1u << 29, 0x20000001u, 0xFFFFFFFFu}) {
    EXPECT_THROW(TBfRealBuffer::CreateSize(size), EOutOfMemory) << size;
    EXPECT_THROW(TBfRealBuffer::CreateValue(1.0, size), EOutOfMemory) << size;
    EXPECT_THROW(TBfRealBuffer::CreateData(nullptr, size), EOutOfMemory) << size;
  }
  EXPECT_THROW(TBfMemoryBuffer::CreateSize((1u << 30) + 1), EOutOfMemory);
  EXPECT_THROW(TBfLinearMemoryBuffer::CreateSize(0xFFFFFFFFu), EOutOfMemory);
  EXPECT_THROW(TTestIntBuffer::CreateSize(1u << 30), EOutOfMemory);  // 2^32 bytes wrap to 0
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.BlocksTaken, 0);
  EXPECT_EQ(d.ContainersAlive(), 0);
  EXPECT_EQ(TInterfacedObject::LiveInstances(), live);
}

TEST_F(BufferTest, OtherItemSizesResizeByTheirItems) {
  Ref<TTestIntBuffer> b = TTestIntBuffer::CreateSize(3);  // 12 bytes in a 16-byte block
  b->ModifyData()[0] = 7;
  TBfSmartBuffer* c = b->GetDataContainer();
  b->Resize(4, true);  // 16 bytes still fit
  EXPECT_EQ(b->GetDataContainer(), c);
  EXPECT_EQ(b->GetByteSize(), 16u);
  b->Resize(5, true);
  EXPECT_NE(b->GetDataContainer(), c);
  EXPECT_EQ(b->MemoryBuffer()->AllocatedSize(), 32u);
  EXPECT_EQ(b->Data()[0], 7);
}

// ---------------------------------------------------------------------------
// Assign

TEST_F(BufferTest, AssignToItselfOrTheSameContainerChangesNoCount) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  TBfSmartBuffer* c = a->GetDataContainer();
  Mark();
  a->Assign(a);
  ExpectCounts(c, 2, 2);
  a->Assign(b);
  ExpectCounts(c, 2, 2);
  b->RemoveOwnerShip();
  b->Assign(a);
  ExpectCounts(c, 1, 2);
  EXPECT_EQ(a->GetDataContainer(), c);
  EXPECT_EQ(Since().ContainersCreated, 0);
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2, 3}));
}

TEST_F(BufferTest, AssignAttachesToTheOtherContainer) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3});
  Ref<TBfRealBuffer> b = Filled({4, 5});
  TBfSmartBuffer* old = a->GetDataContainer();
  Mark();
  a->Assign(b);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.ContainersDestroyed, 1);  // a was the last on its old container
  EXPECT_EQ(d.ContainersCreated, 0);
  EXPECT_EQ(d.BlocksTaken, 0);
  EXPECT_NE(a->GetDataContainer(), old);
  EXPECT_EQ(a->GetDataContainer(), b->GetDataContainer());
  EXPECT_EQ(a->Read(), b->Read());
  EXPECT_EQ(Items(a), (std::vector<Real>{4, 5}));
  ExpectCounts(b->GetDataContainer(), 2, 2);
  a->SetItem(0, 0);  // now shared: copy on write
  EXPECT_EQ(b->GetItem(0), 4);
}

TEST_F(BufferTest, AssignKeepsOwnership) {
  Ref<TBfRealBuffer> a = Filled({1});
  Ref<TBfRealBuffer> b = Filled({2});
  a->RemoveOwnerShip();
  a->Assign(b);
  EXPECT_FALSE(a->OwnsData());
  ExpectCounts(b->GetDataContainer(), 1, 2);
}

TEST_F(BufferTest, AssignReadsAnyGenericBufferAsReals) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfLinearMemoryBuffer> bytes = TBfLinearMemoryBuffer::CreateSize(13);
  a->Assign(bytes);
  EXPECT_EQ(a->GetByteSize(), 13u);
  EXPECT_EQ(a->GetSize(), 1u);
  EXPECT_EQ(a->ByteRead(), bytes->ByteRead());
}

TEST_F(BufferTest, AssignRefusesWhatItCannotUse) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  TBfSmartBuffer* c = a->GetDataContainer();
  Ref<TForeignData> foreign(new TForeignData());
  EXPECT_THROW(a->Assign(foreign), EIntfCastError);  // no IBfGenericBuffer
  EXPECT_THROW(a->Assign(nullptr), EIntfCastError);
  // A generic buffer on a plain container has no block a memory buffer could use.
  Ref<TBfGenericBuffer> plain = TBfGenericBuffer::Create(TBfSmartBuffer::Create(), 16);
  EXPECT_THROW(a->Assign(plain), EIntfCastError);
  EXPECT_EQ(a->GetDataContainer(), c);
  ExpectCounts(c, 1, 1);
  ExpectCounts(plain->GetDataContainer(), 1, 1);
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2}));
  // A generic buffer itself takes any container.
  plain->Assign(a);
  EXPECT_EQ(plain->GetDataContainer(), c);
  EXPECT_EQ(plain->GetByteSize(), 16u);
}

// ---------------------------------------------------------------------------
// IsEqual

struct EqualRow {
  const char* Name;
  std::vector<Real> Left, Right;
  bool Equal;
};

void PrintTo(const EqualRow& ARow, std::ostream* AOut) { *AOut << ARow.Name; }

class IsEqualTest : public BufferTest, public ::testing::WithParamInterface<EqualRow> {};

TEST_P(IsEqualTest, ByteWise) {
  const EqualRow& row = GetParam();
  Ref<TBfRealBuffer> l = TBfRealBuffer::CreateData(row.Left.data(), uint32_t(row.Left.size()));
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateData(row.Right.data(), uint32_t(row.Right.size()));
  ASSERT_NE(l->GetDataContainer(), r->GetDataContainer());
  EXPECT_EQ(l->IsEqual(r), row.Equal);
  EXPECT_EQ(r->IsEqual(l), row.Equal);
}

const Real kNaN = std::numeric_limits<Real>::quiet_NaN();
const Real kOtherNaN = std::bit_cast<Real>(std::bit_cast<uint64_t>(kNaN) | 1);

INSTANTIATE_TEST_SUITE_P(
    Rows, IsEqualTest,
    ::testing::Values(EqualRow{"SameBytes", {1, 2, 3}, {1, 2, 3}, true},
                      EqualRow{"BothEmpty", {}, {}, true},
                      EqualRow{"DifferentSize", {1, 2, 3}, {1, 2}, false},
                      EqualRow{"EmptyAndNot", {}, {0}, false},
                      EqualRow{"OneItemDiffers", {1, 2, 3}, {1, 2, 4}, false},
                      EqualRow{"PlusAndMinusZero", {0.0}, {-0.0}, false},
                      EqualRow{"SameNaNBits", {kNaN}, {kNaN}, true},
                      EqualRow{"DifferentNaNBits", {kNaN}, {kOtherNaN}, false}),
    [](const ::testing::TestParamInfo<EqualRow>& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(BufferTest, IsEqualOfARealBufferNeedsARealBuffer) {
  Ref<TBfRealBuffer> r = Filled({1, 2});
  Ref<TTestIntBuffer> i = TTestIntBuffer::CreateSize(4);
  std::memcpy(i->ByteWrite(), r->Read(), 16);
  Ref<TBfMemoryBuffer> m = TBfMemoryBuffer::CreateSize(16);
  std::memcpy(m->ByteWrite(), r->Read(), 16);
  EXPECT_FALSE(r->IsEqual(i));
  EXPECT_FALSE(r->IsEqual(m));
  EXPECT_FALSE(r->IsEqual(nullptr));
  // The generic rule has no type test: the byte buffers compare the bytes.
  EXPECT_TRUE(i->IsEqual(r));
  EXPECT_TRUE(m->IsEqual(i));
  EXPECT_TRUE(r->IsEqual(TBfRealBuffer::CreateCopy(r)));
}

// ---------------------------------------------------------------------------
// CopyTo

TEST_F(BufferTest, CopyToARealBufferCountsItems) {
  Ref<TBfRealBuffer> src = Filled({10, 11, 12, 13});
  Ref<TBfRealBuffer> dest = Filled({0, 0, 0});
  const Real* srcBlock = src->Read();
  src->CopyTo(1, dest, 0, 2);
  EXPECT_EQ(Items(dest), (std::vector<Real>{11, 12, 0}));
  EXPECT_EQ(Items(src), (std::vector<Real>{10, 11, 12, 13}));
  EXPECT_EQ(src->Read(), srcBlock);  // the source is only read
  src->CopyTo(3, dest, 2, 1);
  EXPECT_EQ(Items(dest), (std::vector<Real>{11, 12, 13}));
  src->CopyTo(0, dest, 0, 0);  // nothing, no primitive call
  EXPECT_EQ(Items(dest), (std::vector<Real>{11, 12, 13}));
}

TEST_F(BufferTest, CopyToAByteBufferCountsBytes) {
  const Real values[2] = {std::bit_cast<Real>(uint64_t(0x0807060504030201)), 0};
  Ref<TBfRealBuffer> src = TBfRealBuffer::CreateData(values, 2);
  Ref<TBfLinearMemoryBuffer> dest = TBfLinearMemoryBuffer::CreateSize(4);
  std::memset(dest->ByteWrite(), 0xEE, 4);
  src->CopyTo(1, dest, 0, 2);
  const uint8_t* d = dest->ByteRead();
  EXPECT_EQ(d[0], 0x02);
  EXPECT_EQ(d[1], 0x03);
  EXPECT_EQ(d[2], 0xEE);
  EXPECT_EQ(d[3], 0xEE);
  // And the other way round: bytes into a real buffer from a byte buffer.
  Ref<TBfRealBuffer> back = TBfRealBuffer::CreateValue(0, 1);
  dest->CopyTo(0, back, 3, 1);
  EXPECT_EQ(std::bit_cast<uint64_t>(back->GetItem(0)), uint64_t(0x02) << 24);
}

TEST_F(BufferTest, CopyToASharedDestinationKeepsThePartner) {
  Ref<TBfRealBuffer> src = Filled({7, 8});
  Ref<TBfRealBuffer> dest = Filled({1, 2, 3});
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(dest);
  Mark();
  src->CopyTo(0, dest, 1, 2);
  EXPECT_EQ(Since().CopyOnWriteContainers, 1);
  EXPECT_EQ(Items(dest), (std::vector<Real>{1, 7, 8}));  // Modify kept item 0
  EXPECT_EQ(Items(partner), (std::vector<Real>{1, 2, 3}));
}

TEST_F(BufferTest, CopyToItselfWhileShared) {
  Ref<TBfRealBuffer> a = Filled({1, 2, 3, 4});
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(a);
  a->CopyTo(0, a, 1, 3);  // overlapping, and the destination moves first
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 1, 2, 3}));
  EXPECT_EQ(Items(partner), (std::vector<Real>{1, 2, 3, 4}));
}

TEST_F(BufferTest, CopyToOutsideEitherBufferIsRefused) {
  Ref<TBfRealBuffer> src = Filled({1, 2, 3});
  Ref<TBfRealBuffer> dest = Filled({0, 0});
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(dest);
  EXPECT_THROW(src->CopyTo(2, dest, 0, 2), ERangeError);
  EXPECT_THROW(src->CopyTo(0, dest, 1, 2), ERangeError);
  EXPECT_THROW(src->CopyTo(0xFFFFFFFFu, dest, 0, 2), ERangeError);  // no 32-bit wrap-around
  EXPECT_THROW(src->CopyTo(0, dest, 0, 0xFFFFFFFFu), ERangeError);
  Ref<TBfLinearMemoryBuffer> bytes = TBfLinearMemoryBuffer::CreateSize(4);
  EXPECT_THROW(src->CopyTo(0, bytes, 0, 5), ERangeError);
  EXPECT_THROW(src->CopyTo(24, bytes, 0, 1), ERangeError);
  EXPECT_EQ(dest->GetDataContainer(), partner->GetDataContainer());  // nothing touched
  EXPECT_EQ(Items(dest), (std::vector<Real>{0, 0}));
}

// ---------------------------------------------------------------------------
// Files

TEST_F(BufferTest, SaveToFileWritesTheDataBytesOnly) {
  const std::string path = TempPath("real12.bin");
  Filled({1.0, 2.0})->SaveToFile(path);
  EXPECT_EQ(FileBytes(path), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,
                                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40}));
  // An existing file is truncated; an empty buffer writes an empty file.
  TBfRealBuffer::Create()->SaveToFile(path);
  EXPECT_TRUE(FileBytes(path).empty());
}

TEST_F(BufferTest, LoadFromFileReadsExactlyTheBufferSize) {
  const std::string path = TempPath("load24.bin");
  std::vector<uint8_t> bytes(24);
  for (int i = 0; i < 24; ++i) bytes[i] = uint8_t(i);
  WriteFile(path, bytes);
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateValue(0, 2);
  b->LoadFromFile(path);
  EXPECT_EQ(b->GetSize(), 2u);
  EXPECT_EQ(std::memcmp(b->Read(), bytes.data(), 16), 0);
}

TEST_F(BufferTest, LoadFromAShortFileFailsNamingTheFile) {
  const std::string path = TempPath("short8.bin");
  WriteFile(path, std::vector<uint8_t>(8, 1));
  Ref<TBfRealBuffer> b = Filled({1, 2});
  try {
    b->LoadFromFile(path);
    FAIL() << "short read accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find("short8.bin"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(b->GetSize(), 2u);  // size unchanged, contents undefined
}

TEST_F(BufferTest, LoadFromAMissingFileLeavesTheBufferWhereItIs) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  try {
    b->LoadFromFile(TempPath("no-such-file.bin"));
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("no-such-file.bin"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(a->GetDataContainer(), b->GetDataContainer());
  EXPECT_THROW(a->SaveToFile(TempPath("no-such-dir/x.bin")), EFCreateError);
}

TEST_F(BufferTest, LoadIntoASharedBufferMovesIt) {
  const std::string path = TempPath("load16.bin");
  Filled({5, 6})->SaveToFile(path);
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  Mark();
  b->LoadFromFile(path);
  const TBfStoreCounts d = Since();
  EXPECT_EQ(d.CopyOnWriteContainers, 1);
  EXPECT_EQ(d.BytesCopied, 0);  // ByteWrite: the old contents are not kept
  EXPECT_EQ(Items(b), (std::vector<Real>{5, 6}));
  EXPECT_EQ(Items(a), (std::vector<Real>{1, 2}));
}

// ---------------------------------------------------------------------------
// Sequence stamp

TEST_F(BufferTest, SequenceStampBelongsToTheData) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  TBfSequenceStamp* stamp = a->GetSequenceStamp();
  EXPECT_FALSE(stamp->GetAvailable());
  EXPECT_EQ(stamp->GetBufferNumber(), 0);
  stamp->SetAvailable(true);
  stamp->SetBufferNumber(123456789012345);
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  EXPECT_NE(b->GetSequenceStamp(), stamp);  // each buffer has its own stamp ...
  EXPECT_TRUE(b->GetSequenceStamp()->GetAvailable());  // ... reading the shared container
  EXPECT_EQ(b->GetSequenceStamp()->GetBufferNumber(), 123456789012345);
  b->SetItem(0, 0);  // copy on write: the new container has no number
  EXPECT_FALSE(b->GetSequenceStamp()->GetAvailable());
  EXPECT_EQ(b->GetSequenceStamp()->GetBufferNumber(), 0);
  EXPECT_TRUE(stamp->GetAvailable());
  EXPECT_EQ(stamp->GetBufferNumber(), 123456789012345);
}

// ---------------------------------------------------------------------------
// Threads: buffers sharing one container, each used by its own thread.

TEST_F(BufferTest, SharedContainerWrittenFromManyThreads) {
  Ref<TBfRealBuffer> origin = TBfRealBuffer::CreateValue(1.0, 64);
  constexpr int kThreads = 8;
  constexpr int kRounds = 500;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    Ref<TBfRealBuffer> mine = TBfRealBuffer::CreateCopy(origin);  // made here, used there
    threads.emplace_back([mine, t, &failures]() mutable {
      for (int r = 0; r < kRounds; ++r) {
        Ref<TBfRealBuffer> copy = TBfRealBuffer::CreateCopy(mine);
        copy->SetItem(r % 64, Real(t));
        if (copy->GetItem(r % 64) != Real(t)) ++failures[t];
        mine->Assign(copy);
      }
      for (int i = 0; i < 64; ++i)
        if (mine->GetItem(i) != Real(t) && mine->GetItem(i) != 1.0) ++failures[t];
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
  EXPECT_EQ(Items(origin), std::vector<Real>(64, 1.0));
  ExpectCounts(origin->GetDataContainer(), 1, 1);
}

}  // namespace
