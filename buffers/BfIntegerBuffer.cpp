// The integer buffer: constructors, item access and its operations.
//
// Pointers as in the real buffer: in-place operations take Modify, result
// operations Write (through BfResultOperation), reading operations Read; the
// own pointer is taken before the other buffer's Read, so that an operation
// of a buffer with itself sees its own (possibly new) container.
#include "buffers/BfIntegerBuffer.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "buffers/BfResultGuard.h"
#include "primitives/Ipps.h"

namespace {

int Count(uint32_t ASize) { return static_cast<int>(ASize); }

IBfIntegerBuffer& Other(const Ref<IBfIntegerBuffer>& ABuffer, const char* AOperation) {
  if (!ABuffer) throw Exception(std::string("TBfIntegerBuffer.") + AOperation + ": no buffer given");
  return *ABuffer;
}

[[noreturn]] void RaiseIndex(int32_t AIndex) {
  throw ERangeError(Format("Index out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(AIndex))));
}

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

}  // namespace

// ---- quotient and remainder without traps

int32_t TBfIntegerBuffer::Quotient(int32_t AY, int32_t AX) noexcept {
  if (AX == 0) return AY == 0 ? 0 : (AY > 0 ? kMax : kMin);
  if (AX == -1) return AY == kMin ? kMax : -AY;
  return AY / AX;
}

int32_t TBfIntegerBuffer::Remainder(int32_t AY, int32_t AX) noexcept {
  if (AX == 0) return AY;
  if (AX == -1) return 0;
  return AY % AX;
}

// ---- construction

Ref<TBfIntegerBuffer> TBfIntegerBuffer::Create() { return CreateSize(0); }

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateSize(uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, IntegerSize);
  return Construct(new TBfIntegerBuffer(TBfSmartMemoryBuffer::Create(bytes, false), bytes));
}

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateData(const int32_t* AData, uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, IntegerSize);
  return Construct(new TBfIntegerBuffer(TBfSmartMemoryBuffer::CreateData(AData, bytes, false), bytes));
}

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateValue(int32_t AValue, uint32_t ASize) {
  Ref<TBfIntegerBuffer> r = CreateSize(ASize);
  r->SetValue(AValue);
  return r;
}

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateEx(TBfIntegerBuffer* AOther) {
  if (AOther == nullptr) throw EIntfCastError();
  return Construct(new TBfIntegerBuffer(AOther));
}

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateCopy(const Ref<IBfIntegerBuffer>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfIntegerBuffer(o));
}

Ref<TBfIntegerBuffer> TBfIntegerBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfIntegerBuffer(o));
}

Ref<IBfData> TBfIntegerBuffer::MakeCopy() { return CreateEx(this); }

void TBfIntegerBuffer::CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
                              uint32_t ACount) {
  if (!ADest) throw EIntfCastError();
  auto* dest = dynamic_cast<TBfIntegerBuffer*>(ADest->GetInstance());
  if (dest == nullptr) {
    TBfLinearMemoryBuffer::CopyTo(ASrcOffset, ADest, ADestOffset, ACount);
    return;
  }
  // Item ranges checked in 64 bits; the placeholder is the first item
  // outside, as for the real buffer.
  if (uint64_t(ASrcOffset) + ACount > GetSize()) RaiseIndex(int32_t(std::max(ASrcOffset, GetSize())));
  if (uint64_t(ADestOffset) + ACount > dest->GetSize())
    RaiseIndex(int32_t(std::max(ADestOffset, dest->GetSize())));
  if (ACount == 0) return;
  uint8_t* dst = reinterpret_cast<uint8_t*>(dest->Modify() + ADestOffset);
  const uint8_t* src = reinterpret_cast<const uint8_t*>(Read() + ASrcOffset);
  ippsCopy_8u(src, dst, Count(ACount * IntegerSize));
}

bool TBfIntegerBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther || dynamic_cast<TBfIntegerBuffer*>(AOther->GetInstance()) == nullptr) return false;
  return TBfLinearMemoryBuffer::IsEqual(AOther);
}

TBfSmartMemoryBuffer* TBfIntegerBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(BfCheckedByteCount(ASize, IntegerSize), false);
}

int32_t* TBfIntegerBuffer::Write() {
  Unique(false);
  return reinterpret_cast<int32_t*>(FDataPtr);
}

int32_t* TBfIntegerBuffer::Modify() {
  Unique(true);
  return reinterpret_cast<int32_t*>(FDataPtr);
}

int32_t TBfIntegerBuffer::GetItem(int32_t AIndex) const {
  if (static_cast<uint32_t>(AIndex) >= GetSize()) RaiseIndex(AIndex);
  return Read()[static_cast<uint32_t>(AIndex)];
}

void TBfIntegerBuffer::SetItem(int32_t AIndex, int32_t AValue) {
  Unique(true);
  if (static_cast<uint32_t>(AIndex) >= GetSize()) RaiseIndex(AIndex);
  reinterpret_cast<int32_t*>(FDataPtr)[static_cast<uint32_t>(AIndex)] = AValue;
}

void* TBfIntegerBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfIntegerBuffer>(this, AIID)) return p;
  return TBfLinearMemoryBuffer::FindInterface(AIID);
}

// ---- element-wise with another buffer

namespace {
template <class F>
void WithRight(TBfIntegerBuffer& ASelf, const Ref<IBfIntegerBuffer>& ARight, const char* AOperation, F AApply) {
  IBfIntegerBuffer& right = Other(ARight, AOperation);
  const uint32_t n = std::min(ASelf.GetSize(), right.GetSize());
  if (n == 0) return;
  int32_t* dst = ASelf.Modify();
  AApply(right.Read(), dst, n);
}
}  // namespace

void TBfIntegerBuffer::Add(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "Add", [](const int32_t* s, int32_t* d, uint32_t n) { ippsAdd_32s_ISfs(s, d, Count(n), 0); });
}

void TBfIntegerBuffer::Subtract(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "Subtract",
            [](const int32_t* s, int32_t* d, uint32_t n) { ippsSub_32s_ISfs(s, d, Count(n), 0); });
}

void TBfIntegerBuffer::Multiply(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "Multiply",
            [](const int32_t* s, int32_t* d, uint32_t n) { ippsMul_32s_ISfs(s, d, Count(n), 0); });
}

void TBfIntegerBuffer::Divide(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "Divide",
            [](const int32_t* s, int32_t* d, uint32_t n) { ippsDiv_32s_ISfs(s, d, Count(n), 0); });
}

void TBfIntegerBuffer::ModBuffer(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "ModBuffer", [](const int32_t* s, int32_t* d, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) d[i] = Remainder(d[i], s[i]);
  });
}

void TBfIntegerBuffer::AndBuffer(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "AndBuffer", [](const int32_t* s, int32_t* d, uint32_t n) {
    ippsAnd_32u_I(reinterpret_cast<const Ipp32u*>(s), reinterpret_cast<Ipp32u*>(d), Count(n));
  });
}

void TBfIntegerBuffer::OrBuffer(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "OrBuffer", [](const int32_t* s, int32_t* d, uint32_t n) {
    ippsOr_32u_I(reinterpret_cast<const Ipp32u*>(s), reinterpret_cast<Ipp32u*>(d), Count(n));
  });
}

void TBfIntegerBuffer::XorBuffer(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "XorBuffer", [](const int32_t* s, int32_t* d, uint32_t n) {
    ippsXor_32u_I(reinterpret_cast<const Ipp32u*>(s), reinterpret_cast<Ipp32u*>(d), Count(n));
  });
}

// The shifts work on the 32-bit patterns; only the five low bits of the
// count matter, so no shift is ever as wide as the type.
void TBfIntegerBuffer::LShift(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "LShift", [](const int32_t* s, int32_t* d, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
      d[i] = static_cast<int32_t>(static_cast<uint32_t>(d[i]) << (static_cast<uint32_t>(s[i]) & 31u));
  });
}

void TBfIntegerBuffer::RShift(const Ref<IBfIntegerBuffer>& Right) {
  WithRight(*this, Right, "RShift", [](const int32_t* s, int32_t* d, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i)
      d[i] = static_cast<int32_t>(static_cast<uint32_t>(d[i]) >> (static_cast<uint32_t>(s[i]) & 31u));
  });
}

// ---- with a constant

void TBfIntegerBuffer::SetValue(int32_t AValue) {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsSet_32s(AValue, Write(), Count(GetSize())); });
}

void TBfIntegerBuffer::AddValue(int32_t AValue) {
  if (AValue == 0 || GetSize() == 0) return;
  ippsAddC_32s_ISfs(AValue, Modify(), Count(GetSize()), 0);
}

void TBfIntegerBuffer::SubtractValue(int32_t AValue) {
  if (GetSize() == 0) return;
  ippsSubC_32s_ISfs(AValue, Modify(), Count(GetSize()), 0);
}

void TBfIntegerBuffer::MultiplyValue(int32_t AValue) {
  if (AValue == 1 || GetSize() == 0) return;
  ippsMulC_32s_ISfs(AValue, Modify(), Count(GetSize()), 0);
}

void TBfIntegerBuffer::DivideValue(int32_t AValue) {
  if (AValue == 1 || AValue == 0) return;
  const uint32_t size = GetSize();
  if (size == 0) return;
  if (MemoryBuffer()->SingleOwner()) {
    // In place through the block: no private copy is needed.
    auto* p = reinterpret_cast<int32_t*>(FDataPtr);
    for (uint32_t i = 0; i < size; ++i) p[i] = Quotient(p[i], AValue);
    return;
  }
  // Shared: the temporary keeps the old items while Write moves this buffer.
  Ref<TBfIntegerBuffer> temporary = CreateCopy(Ref<IBfIntegerBuffer>(this));
  int32_t* dst = Write();
  const int32_t* src = temporary->Read();
  for (uint32_t i = 0; i < size; ++i) dst[i] = Quotient(src[i], AValue);
}

void TBfIntegerBuffer::ModValue(int32_t AValue) {
  const uint32_t size = GetSize();
  if (size == 0) return;
  int32_t* p = Modify();
  for (uint32_t i = 0; i < size; ++i) p[i] = Remainder(p[i], AValue);
}

void TBfIntegerBuffer::AndValue(int32_t AValue) {
  if (AValue == -1 || GetSize() == 0) return;
  ippsAndC_32u_I(static_cast<Ipp32u>(AValue), reinterpret_cast<Ipp32u*>(Modify()), Count(GetSize()));
}

void TBfIntegerBuffer::OrValue(int32_t AValue) {
  if (AValue == 0 || GetSize() == 0) return;
  ippsOrC_32u_I(static_cast<Ipp32u>(AValue), reinterpret_cast<Ipp32u*>(Modify()), Count(GetSize()));
}

void TBfIntegerBuffer::XorValue(int32_t AValue) {
  if (AValue == 0 || GetSize() == 0) return;
  ippsXorC_32u_I(static_cast<Ipp32u>(AValue), reinterpret_cast<Ipp32u*>(Modify()), Count(GetSize()));
}

// A negative count is refused by the primitive; the buffer then keeps its
// items (Modify keeps them in a new container too).
void TBfIntegerBuffer::LShiftValue(int32_t AValue) {
  if (AValue == 0 || GetSize() == 0) return;
  ippsLShiftC_32s_I(AValue, Modify(), Count(GetSize()));
}

void TBfIntegerBuffer::RShiftValue(int32_t AValue) {
  if (AValue == 0 || GetSize() == 0) return;
  ippsRShiftC_32s_I(AValue, Modify(), Count(GetSize()));
}

void TBfIntegerBuffer::Zero() {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] {
    return ippsZero_16s(reinterpret_cast<Ipp16s*>(Write()), Count(2 * GetSize()));
  });
}

// ---- reading

int32_t TBfIntegerBuffer::Dot(const Ref<IBfIntegerBuffer>& Right) const {
  IBfIntegerBuffer& right = Other(Right, "Dot");
  const uint32_t n = std::min(GetSize(), right.GetSize());
  int32_t result = 0;
  if (n > 0) ippsDotProd_32s_Sfs(right.Read(), Read(), Count(n), &result, 0);
  return result;
}

int32_t TBfIntegerBuffer::GetMinValue() const {
  const uint32_t size = GetSize();
  if (size == 0) return 0;
  const int32_t* p = Read();
  int32_t v = p[0];
  for (uint32_t i = 1; i < size; ++i)
    if (p[i] < v) v = p[i];
  return v;
}

int32_t TBfIntegerBuffer::GetMaxValue() const {
  const uint32_t size = GetSize();
  if (size == 0) return 0;
  const int32_t* p = Read();
  int32_t v = p[0];
  for (uint32_t i = 1; i < size; ++i)
    if (p[i] > v) v = p[i];
  return v;
}
