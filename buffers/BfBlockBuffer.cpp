// The block buffer of bytes.
#include "buffers/BfBlockBuffer.h"

#include <algorithm>
#include <string>

#include "buffers/BfResultGuard.h"
#include "primitives/Ipps.h"

namespace {

int Count(uint32_t ASize) { return static_cast<int>(ASize); }

IBfBlockBuffer& Other(const Ref<IBfBlockBuffer>& ABuffer, const char* AOperation) {
  if (!ABuffer) throw Exception(std::string("TBfBlockBuffer.") + AOperation + ": no buffer given");
  return *ABuffer;
}

[[noreturn]] void RaiseIndex(int32_t AIndex) {
  throw ERangeError(Format("Index out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(AIndex))));
}

}  // namespace

Ref<TBfBlockBuffer> TBfBlockBuffer::Create() { return CreateSize(0); }

Ref<TBfBlockBuffer> TBfBlockBuffer::CreateSize(uint32_t ASize) {
  return Construct(new TBfBlockBuffer(TBfSmartMemoryBuffer::Create(ASize, false), ASize));
}

Ref<TBfBlockBuffer> TBfBlockBuffer::CreateData(const void* AData, uint32_t ASize) {
  return Construct(new TBfBlockBuffer(TBfSmartMemoryBuffer::CreateData(AData, ASize, false), ASize));
}

Ref<TBfBlockBuffer> TBfBlockBuffer::CreateEx(TBfBlockBuffer* AOther) {
  if (AOther == nullptr) throw EIntfCastError();
  return Construct(new TBfBlockBuffer(AOther));
}

Ref<TBfBlockBuffer> TBfBlockBuffer::CreateCopy(const Ref<IBfBlockBuffer>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfBlockBuffer(o));
}

Ref<TBfBlockBuffer> TBfBlockBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfBlockBuffer(o));
}

Ref<IBfData> TBfBlockBuffer::MakeCopy() { return CreateEx(this); }

bool TBfBlockBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther || dynamic_cast<TBfBlockBuffer*>(AOther->GetInstance()) == nullptr) return false;
  return TBfLinearMemoryBuffer::IsEqual(AOther);
}

TBfSmartMemoryBuffer* TBfBlockBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(ASize, false);
}

namespace {
template <class F>
void WithRight(TBfBlockBuffer& ASelf, const Ref<IBfBlockBuffer>& ARight, const char* AOperation, F AApply) {
  IBfBlockBuffer& right = Other(ARight, AOperation);
  const uint32_t n = std::min(ASelf.GetSize(), right.GetSize());
  if (n == 0) return;
  uint8_t* dst = ASelf.Modify();
  AApply(right.Read(), dst, n);
}
}  // namespace

void TBfBlockBuffer::Add(const Ref<IBfBlockBuffer>& Right) {
  WithRight(*this, Right, "Add", [](const uint8_t* s, uint8_t* d, uint32_t n) { ippsAdd_8u_ISfs(s, d, Count(n), 0); });
}

void TBfBlockBuffer::Subtract(const Ref<IBfBlockBuffer>& Right) {
  WithRight(*this, Right, "Subtract",
            [](const uint8_t* s, uint8_t* d, uint32_t n) { ippsSub_8u_ISfs(s, d, Count(n), 0); });
}

void TBfBlockBuffer::Multiply(const Ref<IBfBlockBuffer>& Right) {
  WithRight(*this, Right, "Multiply",
            [](const uint8_t* s, uint8_t* d, uint32_t n) { ippsMul_8u_ISfs(s, d, Count(n), 0); });
}

void TBfBlockBuffer::Divide(const Ref<IBfBlockBuffer>& Right) {
  WithRight(*this, Right, "Divide", [](const uint8_t* s, uint8_t* d, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
      const unsigned x = s[i], y = d[i];
      d[i] = static_cast<uint8_t>(x == 0 ? (y == 0 ? 0u : 255u) : y / x);
    }
  });
}

void TBfBlockBuffer::SetValue(uint8_t AValue) {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsSet_8u(AValue, Write(), Count(GetSize())); });
}

void TBfBlockBuffer::Zero() {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsZero_8u(Write(), Count(GetSize())); });
}

uint8_t TBfBlockBuffer::GetItem(int32_t Index) const {
  if (static_cast<uint32_t>(Index) >= GetSize()) RaiseIndex(Index);
  return Read()[static_cast<uint32_t>(Index)];
}

void TBfBlockBuffer::SetItem(int32_t Index, uint8_t Value) {
  Unique(true);
  if (static_cast<uint32_t>(Index) >= GetSize()) RaiseIndex(Index);
  FDataPtr[static_cast<uint32_t>(Index)] = Value;
}

void* TBfBlockBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfBlockBuffer>(this, AIID)) return p;
  return TBfLinearMemoryBuffer::FindInterface(AIID);
}
