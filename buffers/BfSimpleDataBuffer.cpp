#include "buffers/BfSimpleDataBuffer.h"

#include <bit>
#include <cassert>
#include <cstring>

#include "platform/Classes.h"
#include "primitives/Ipps.h"

// The file format of SaveToFile is the block's bytes; for a real buffer it is
// specified as little-endian IEEE 754 doubles.
static_assert(std::endian::native == std::endian::little,
              "buffer files are written as the block's bytes, which must be little-endian");

namespace {

// Holds a container's lock for one decision (EnterRead ... LeaveRead).
class TReadSection {
 public:
  explicit TReadSection(TBfSmartBuffer* AContainer) : FContainer(AContainer) { FContainer->EnterRead(); }
  ~TReadSection() { FContainer->LeaveRead(); }
  TReadSection(const TReadSection&) = delete;
  TReadSection& operator=(const TReadSection&) = delete;

 private:
  TBfSmartBuffer* FContainer;
};

// Whether [AOffset, AOffset + ACount) lies inside ASize units; otherwise the
// first unit outside that the range would touch.
bool RangeInside(uint32_t AOffset, uint32_t ACount, uint32_t ASize, uint32_t& AFirstOutside) {
  if (uint64_t(AOffset) + ACount <= ASize) return true;
  AFirstOutside = AOffset > ASize ? AOffset : ASize;
  return false;
}

[[noreturn]] void RaiseRange(uint32_t AIndex) {
  throw ERangeError(Format("Index out of range = %u", static_cast<unsigned>(AIndex)));
}

}  // namespace

// ---------------------------------------------------------------------------
// TBfSequenceStamp

bool TBfSequenceStamp::GetAvailable() const {
  return FIntBuffer->pDataContainer->GetBufferNumberAvailable();
}
void TBfSequenceStamp::SetAvailable(bool AValue) {
  FIntBuffer->pDataContainer->SetBufferNumberAvailable(AValue);
}
int64_t TBfSequenceStamp::GetBufferNumber() const {
  return FIntBuffer->pDataContainer->GetBufferNumber();
}
void TBfSequenceStamp::SetBufferNumber(int64_t AValue) {
  FIntBuffer->pDataContainer->SetBufferNumber(AValue);
}

// ---------------------------------------------------------------------------
// TBfBasicBuffer

Ref<IBfData> TBfBasicBuffer::MakeIntfCopy() { return MakeCopy(); }

Ref<IBfData> TBfBasicBuffer::GetDataIntf() { return Ref<IBfData>(static_cast<IBfData*>(this)); }

void* TBfBasicBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfData>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// TBfGenericBuffer

TBfGenericBuffer::TBfGenericBuffer(TBfSmartBuffer* ADataContainer, uint32_t ASize)
    : FSequenceStamp(this), FCharSize(ASize), pDataContainer(ADataContainer) {
  assert(ADataContainer != nullptr);
  pDataContainer->AddReff(true);
  FOwnsData = true;
}

TBfGenericBuffer::TBfGenericBuffer(TBfGenericBuffer* AOther)
    : FSequenceStamp(this),
      FDataPtr(AOther->FDataPtr),
      FCharSize(AOther->FCharSize),
      pDataContainer(AOther->pDataContainer) {
  pDataContainer->AddReff(true);
  FOwnsData = true;
}

TBfGenericBuffer::~TBfGenericBuffer() {
  if (pDataContainer != nullptr) {
    TBfSmartBuffer* old = pDataContainer;
    pDataContainer = nullptr;
    old->RemoveReff(FOwnsData);
  }
}

void TBfGenericBuffer::AfterConstruction() {
  TBfBasicBuffer::AfterConstruction();
  SetDataContainer(pDataContainer);
}

TBfGenericBuffer* TBfGenericBuffer::GenericInstance(IBfData* AData) {
  if (AData == nullptr) throw EIntfCastError();
  auto* o = dynamic_cast<TBfGenericBuffer*>(AData->GetInstance());
  if (o == nullptr) throw EIntfCastError();
  return o;
}

Ref<TBfGenericBuffer> TBfGenericBuffer::Create(TBfSmartBuffer* ADataContainer, uint32_t ASize) {
  return Construct(new TBfGenericBuffer(ADataContainer, ASize));
}

Ref<TBfGenericBuffer> TBfGenericBuffer::CreateEx(TBfGenericBuffer* AOther) {
  return Construct(new TBfGenericBuffer(AOther));
}

Ref<TBfGenericBuffer> TBfGenericBuffer::CreateCopy(const Ref<IBfGenericBuffer>& AOther) {
  return CreateEx(GenericInstance(AOther.Get()));
}

Ref<TBfGenericBuffer> TBfGenericBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  return CreateEx(GenericInstance(AOther.Get()));
}

Ref<IBfData> TBfGenericBuffer::MakeCopy() { return CreateEx(this); }

void TBfGenericBuffer::CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest,
                              uint32_t ADestOffset, uint32_t ACount) {
  if (!ADest) throw EIntfCastError();
  // A buffer without a data pointer (a generic buffer on a plain container)
  // holds no bytes whatever its size says.
  const uint32_t srcSize = ByteRead() != nullptr ? GetByteSize() : 0;
  const uint32_t destSize = ADest->ByteRead() != nullptr ? ADest->GetByteSize() : 0;
  uint32_t outside = 0;
  if (!RangeInside(ASrcOffset, ACount, srcSize, outside)) RaiseRange(outside);
  if (!RangeInside(ADestOffset, ACount, destSize, outside)) RaiseRange(outside);
  if (ACount == 0) return;  // the primitive reports an error for length 0
  // The destination's pointer first: when the destination is this buffer,
  // ByteModify may move it, and the source pointer must be the one after.
  uint8_t* dst = ADest->ByteModify() + ADestOffset;
  const uint8_t* src = ByteRead() + ASrcOffset;
  ippsCopy_8u(src, dst, static_cast<int>(ACount));
}

bool TBfGenericBuffer::AcceptsDataContainer(TBfSmartBuffer* AContainer) const {
  return AContainer != nullptr;
}

void TBfGenericBuffer::Assign(const Ref<IBfDataBuffer>& AOtherBuffer) {
  Ref<IBfGenericBuffer> other = QueryAs<IBfGenericBuffer>(AOtherBuffer);
  TBfGenericBuffer* o = GenericInstance(other.Get());
  if (o != this && o->pDataContainer != pDataContainer) {
    if (!AcceptsDataContainer(o->pDataContainer)) throw EIntfCastError();
    TBfSmartBuffer* old = pDataContainer;
    // Attach first: o's container is kept alive by o, ours by us.
    pDataContainer = o->pDataContainer;
    pDataContainer->AddReff(FOwnsData);
    if (old != nullptr) old->RemoveReff(FOwnsData);
    SetDataContainer(pDataContainer);
    UpdateDataPtr();
  }
  FCharSize = o->FCharSize;
  FDataPtr = o->FDataPtr;
}

bool TBfGenericBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther) return false;
  const uint32_t n = GetByteSize();
  if (n != AOther->GetByteSize()) return false;
  if (n == 0) return true;
  const uint8_t* mine = ByteRead();
  const uint8_t* theirs = AOther->ByteRead();
  if (mine == theirs) return true;  // the same bytes (also two buffers without data)
  if (mine == nullptr || theirs == nullptr) return false;
  return std::memcmp(mine, theirs, n) == 0;
}

void TBfGenericBuffer::Unique(bool APreserveData) { (void)MakeUnique(APreserveData); }

bool TBfGenericBuffer::MakeUnique(bool APreserveData) {
  TBfSmartBuffer* old = pDataContainer;
  {
    TReadSection hold(old);
    if (old->SingleOwner()) return false;
  }
  // The clone is made without the lock. If it fails the buffer stays where
  // it is: nothing has been changed yet.
  TBfSmartBuffer* created = old->Clone(APreserveData);
  pDataContainer = created;
  created->AddReff(FOwnsData);
  SetDataContainer(created);
  old->RemoveReff(FOwnsData);  // may destroy old
  UpdateDataPtr();
  BfNoteCopyOnWriteContainer();
  return true;
}

uint32_t TBfGenericBuffer::GetByteSize() const { return FCharSize; }
uint32_t TBfGenericBuffer::GetSize() const { return FCharSize; }
void TBfGenericBuffer::UpdateDataPtr() {}

const uint8_t* TBfGenericBuffer::ByteRead() const { return FDataPtr; }

uint8_t* TBfGenericBuffer::ByteWrite() {
  Unique(false);
  return FDataPtr;
}

uint8_t* TBfGenericBuffer::ByteModify() {
  Unique(true);
  return FDataPtr;
}

void TBfGenericBuffer::SetDataContainer(TBfSmartBuffer* AContainer) { pDataContainer = AContainer; }

void TBfGenericBuffer::RemoveOwnerShip() {
  if (!FOwnsData) return;
  pDataContainer->RemoveOwnerShip();
  FOwnsData = false;
}

Ref<IBfDataBuffer> TBfGenericBuffer::GetDataBufferIntf() {
  return Ref<IBfDataBuffer>(static_cast<IBfDataBuffer*>(this));
}

void TBfGenericBuffer::SaveToFile(const std::string& AFileName) const {
  TFileStream file(AFileName, TFileMode::fmCreate);
  file.WriteBuffer(ByteRead(), GetByteSize());
}

void TBfGenericBuffer::LoadFromFile(const std::string& AFileName) {
  // Opened first, so that a missing file leaves the buffer where it is.
  TFileStream file(AFileName, TFileMode::fmOpenRead);
  file.ReadBuffer(ByteWrite(), GetByteSize());
}

void* TBfGenericBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfDataBuffer, IBfGenericBuffer>(this, AIID)) return p;
  return TBfBasicBuffer::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// TBfMemoryBuffer

TBfMemoryBuffer::TBfMemoryBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize)
    : TBfGenericBuffer(ADataContainer, ASize) {
  FDataPtr = static_cast<uint8_t*>(ADataContainer->GetRawData());
}

TBfMemoryBuffer::TBfMemoryBuffer(TBfMemoryBuffer* AOther) : TBfGenericBuffer(AOther) {}

Ref<TBfMemoryBuffer> TBfMemoryBuffer::Create(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize) {
  return Construct(new TBfMemoryBuffer(ADataContainer, ASize));
}

Ref<TBfMemoryBuffer> TBfMemoryBuffer::CreateSize(uint32_t ASize) {
  // The container is made inside the new-expression: if it fails, the
  // object's memory is given back and nothing is attached.
  return Construct(new TBfMemoryBuffer(TBfSmartMemoryBuffer::Create(ASize, false), ASize));
}

Ref<TBfMemoryBuffer> TBfMemoryBuffer::CreateEx(TBfMemoryBuffer* AOther) {
  return Construct(new TBfMemoryBuffer(AOther));
}

Ref<IBfData> TBfMemoryBuffer::MakeCopy() { return CreateEx(this); }

void TBfMemoryBuffer::UpdateDataPtr() {
  FDataPtr = static_cast<uint8_t*>(MemoryBuffer()->GetRawData());
}

TBfSmartMemoryBuffer* TBfMemoryBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(BfCheckedByteCount(ASize, GetItemSize()), false);
}

uint32_t TBfMemoryBuffer::GetItemSize() const { return 1; }
uint32_t TBfMemoryBuffer::GetCharSize() const { return FCharSize; }

bool TBfMemoryBuffer::AcceptsDataContainer(TBfSmartBuffer* AContainer) const {
  return dynamic_cast<TBfSmartMemoryBuffer*>(AContainer) != nullptr;
}

// ---------------------------------------------------------------------------
// TBfLinearMemoryBuffer

Ref<TBfLinearMemoryBuffer> TBfLinearMemoryBuffer::CreateSize(uint32_t ASize) {
  return Construct(new TBfLinearMemoryBuffer(TBfSmartMemoryBuffer::Create(ASize, false), ASize));
}

Ref<TBfLinearMemoryBuffer> TBfLinearMemoryBuffer::CreateEx(TBfLinearMemoryBuffer* AOther) {
  return Construct(new TBfLinearMemoryBuffer(AOther));
}

Ref<IBfData> TBfLinearMemoryBuffer::MakeCopy() { return CreateEx(this); }

void TBfLinearMemoryBuffer::Resize(uint32_t ASize, bool APreserveData) {
  const uint32_t itemSize = GetItemSize();
  const uint32_t count = GetSize();
  // 1. Size 0: the buffer stays on its container.
  if (ASize == 0) {
    FCharSize = 0;
    UpdateDataPtr();
    return;
  }
  // 2. The same count: nothing, not even when shared.
  if (ASize == count) return;
  // 3. Shrinking with the data kept: only this buffer's view changes.
  //    ASize < count, so ASize x itemSize fits in 32 bits.
  if (APreserveData && ASize < count) {
    FCharSize = ASize * itemSize;
    UpdateDataPtr();
    return;
  }
  // 4. Growing in place inside a single owner's block. The product is at
  //    most the allocated size, so it cannot overflow.
  if (APreserveData) {
    TBfSmartMemoryBuffer* current = MemoryBuffer();
    bool single;
    {
      TReadSection hold(current);
      single = current->SingleOwner();
    }
    if (single && current->AllocatedSize() / itemSize >= ASize) {
      FCharSize = ASize * itemSize;
      UpdateDataPtr();
      return;
    }
  }
  // 5. A new container. CreateDataContainer refuses sizes above 2^30 bytes
  //    before anything changes, so FCharSize below cannot overflow either.
  TBfSmartMemoryBuffer* old = MemoryBuffer();
  TBfSmartMemoryBuffer* created = CreateDataContainer(ASize);
  created->AddReff(FOwnsData);
  SetMemoryBuffer(created);
  if (APreserveData) created->CopyFrom(old);
  old->RemoveReff(FOwnsData);  // may destroy old
  FCharSize = ASize * itemSize;
  UpdateDataPtr();
  BfNoteResizeContainer();
}

void* TBfLinearMemoryBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfLinearDataBuffer>(this, AIID)) return p;
  return TBfMemoryBuffer::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// TBfRealBuffer

Ref<TBfRealBuffer> TBfRealBuffer::Create() { return CreateSize(0); }

Ref<TBfRealBuffer> TBfRealBuffer::CreateSize(uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, RealSize);
  return Construct(new TBfRealBuffer(TBfSmartMemoryBuffer::Create(bytes, false), bytes));
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateData(const Real* AData, uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, RealSize);
  return Construct(new TBfRealBuffer(TBfSmartMemoryBuffer::CreateData(AData, bytes, false), bytes));
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateValue(Real AValue, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  r->SetValue(AValue);
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateWordData(const uint16_t* AData, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  if (AData != nullptr) {
    Real* p = r->Write();
    for (uint32_t i = 0; i < ASize; ++i) p[i] = static_cast<Real>(AData[i]);
  }
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateSmallIntData(const int16_t* AData, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  // ASize <= 2^27 (the block limit), so it fits the primitive's int length.
  if (AData != nullptr && ASize > 0)
    ippsConvert_16s64f_Sfs(AData, r->Write(), static_cast<int>(ASize), 0);
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateCardinalData(const uint32_t* AData, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  if (AData != nullptr) {
    Real* p = r->Write();
    for (uint32_t i = 0; i < ASize; ++i) p[i] = static_cast<Real>(AData[i]);
  }
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateIntegerData(const int32_t* AData, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  if (AData != nullptr && ASize > 0) ippsConvert_32s64f(AData, r->Write(), static_cast<int>(ASize));
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateSingleData(const float* AData, uint32_t ASize) {
  Ref<TBfRealBuffer> r = CreateSize(ASize);
  if (AData != nullptr && ASize > 0) ippsConvert_32f64f(AData, r->Write(), static_cast<int>(ASize));
  return r;
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateEx(TBfRealBuffer* AOther) {
  return Construct(new TBfRealBuffer(AOther));
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateCopy(const Ref<IBfRealBuffer>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfRealBuffer(o));
}

Ref<TBfRealBuffer> TBfRealBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfRealBuffer(o));
}

Ref<IBfData> TBfRealBuffer::MakeCopy() { return CreateEx(this); }

void TBfRealBuffer::CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
                           uint32_t ACount) {
  if (!ADest) throw EIntfCastError();
  auto* dest = dynamic_cast<TBfRealBuffer*>(ADest->GetInstance());
  if (dest == nullptr) {
    TBfLinearMemoryBuffer::CopyTo(ASrcOffset, ADest, ADestOffset, ACount);
    return;
  }
  uint32_t outside = 0;
  if (!RangeInside(ASrcOffset, ACount, GetSize(), outside)) RaiseRange(outside);
  if (!RangeInside(ADestOffset, ACount, dest->GetSize(), outside)) RaiseRange(outside);
  if (ACount == 0) return;
  // Destination first (see TBfGenericBuffer::CopyTo).
  Real* dst = dest->Modify() + ADestOffset;
  const Real* src = Read() + ASrcOffset;
  ippsCopy_64f(src, dst, static_cast<int>(ACount));
}

bool TBfRealBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther || dynamic_cast<TBfRealBuffer*>(AOther->GetInstance()) == nullptr) return false;
  return TBfLinearMemoryBuffer::IsEqual(AOther);
}

TBfSmartMemoryBuffer* TBfRealBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(BfCheckedByteCount(ASize, RealSize), false);
}

Real* TBfRealBuffer::Write() {
  Unique(false);
  return reinterpret_cast<Real*>(FDataPtr);
}

Real* TBfRealBuffer::Modify() {
  Unique(true);
  return reinterpret_cast<Real*>(FDataPtr);
}

void TBfRealBuffer::RaiseIndexError(int32_t AIndex) { RaiseRange(static_cast<uint32_t>(AIndex)); }

Real TBfRealBuffer::GetItem(int32_t AIndex) const {
  // One unsigned comparison covers negative indexes too: they become values
  // of 2^31 and more, above every possible count (at most 2^27 items).
  if (static_cast<uint32_t>(AIndex) >= FCharSize / RealSize) RaiseIndexError(AIndex);
  return reinterpret_cast<const Real*>(FDataPtr)[static_cast<uint32_t>(AIndex)];
}

void TBfRealBuffer::SetItem(int32_t AIndex, Real AValue) {
  Unique(true);  // before the test: a shared buffer moves even for a bad index
  if (static_cast<uint32_t>(AIndex) >= FCharSize / RealSize) RaiseIndexError(AIndex);
  reinterpret_cast<Real*>(FDataPtr)[static_cast<uint32_t>(AIndex)] = AValue;
}

void* TBfRealBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfRealBuffer>(this, AIID)) return p;
  return TBfLinearMemoryBuffer::FindInterface(AIID);
}
