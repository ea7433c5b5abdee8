// The complex buffer: constructors, item access and its operations, each a
// call of one complex primitive. TFlRealComplex and the primitives' Ipp64fc
// have the same layout (two doubles, real part first).
#include "buffers/BfComplexBuffer.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "buffers/BfResultGuard.h"
#include "primitives/Ipps.h"

static_assert(sizeof(TFlRealComplex) == sizeof(Ipp64fc) && sizeof(TFlRealComplex) == 16);

namespace {

int Count(uint32_t ASize) { return static_cast<int>(ASize); }

IBfComplexBuffer& Other(const Ref<IBfComplexBuffer>& ABuffer, const char* AOperation) {
  if (!ABuffer) throw Exception(std::string("TBfComplexBuffer.") + AOperation + ": no buffer given");
  return *ABuffer;
}

[[noreturn]] void RaiseIndex(int32_t AIndex) {
  throw ERangeError(Format("Index out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(AIndex))));
}

const Ipp64fc* C(const TFlRealComplex* p) { return reinterpret_cast<const Ipp64fc*>(p); }
Ipp64fc* C(TFlRealComplex* p) { return reinterpret_cast<Ipp64fc*>(p); }
Ipp64fc C(Real re, Real im) { return Ipp64fc{re, im}; }

IppCmpOp Comparison(TBfThresholdType AType) { return AType == ttGreaterThan ? ippCmpGreater : ippCmpLess; }

// A new real buffer of ASize items filled by AApply(its Write pointer).
template <class F>
Ref<IBfRealBuffer> RealResult(uint32_t ASize, F AApply) {
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateSize(ASize);
  if (ASize > 0) AApply(r->Write());
  return r;
}

}  // namespace

Ref<TBfComplexBuffer> TBfComplexBuffer::Create() { return CreateSize(0); }

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateSize(uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, ComplexSize);
  return Construct(new TBfComplexBuffer(TBfSmartMemoryBuffer::Create(bytes, false), bytes));
}

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateData(const TFlRealComplex* AData, uint32_t ASize) {
  const uint32_t bytes = BfCheckedByteCount(ASize, ComplexSize);
  return Construct(new TBfComplexBuffer(TBfSmartMemoryBuffer::CreateData(AData, bytes, false), bytes));
}

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateValue(const TFlRealComplex& AValue, uint32_t ASize) {
  Ref<TBfComplexBuffer> r = CreateSize(ASize);
  r->SetValue(AValue);
  return r;
}

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateEx(TBfComplexBuffer* AOther) {
  if (AOther == nullptr) throw EIntfCastError();
  return Construct(new TBfComplexBuffer(AOther));
}

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateCopy(const Ref<IBfComplexBuffer>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfComplexBuffer(o));
}

Ref<TBfComplexBuffer> TBfComplexBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfComplexBuffer(o));
}

Ref<IBfData> TBfComplexBuffer::MakeCopy() { return CreateEx(this); }

bool TBfComplexBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther || dynamic_cast<TBfComplexBuffer*>(AOther->GetInstance()) == nullptr) return false;
  return TBfLinearMemoryBuffer::IsEqual(AOther);
}

TBfSmartMemoryBuffer* TBfComplexBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(BfCheckedByteCount(ASize, ComplexSize), false);
}

TFlRealComplex* TBfComplexBuffer::Write() {
  Unique(false);
  return reinterpret_cast<TFlRealComplex*>(FDataPtr);
}

TFlRealComplex* TBfComplexBuffer::Modify() {
  Unique(true);
  return reinterpret_cast<TFlRealComplex*>(FDataPtr);
}

TFlRealComplex TBfComplexBuffer::GetItem(int32_t AIndex) const {
  if (static_cast<uint32_t>(AIndex) >= GetSize()) RaiseIndex(AIndex);
  return Read()[static_cast<uint32_t>(AIndex)];
}

void TBfComplexBuffer::SetItem(int32_t AIndex, const TFlRealComplex& AValue) {
  Unique(true);
  if (static_cast<uint32_t>(AIndex) >= GetSize()) RaiseIndex(AIndex);
  reinterpret_cast<TFlRealComplex*>(FDataPtr)[static_cast<uint32_t>(AIndex)] = AValue;
}

void* TBfComplexBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfComplexBuffer>(this, AIID)) return p;
  return TBfLinearMemoryBuffer::FindInterface(AIID);
}

// ---- results as real buffers

Ref<IBfRealBuffer> TBfComplexBuffer::GetReal() const {
  return RealResult(GetSize(), [&](Real* d) { ippsReal_64fc(C(Read()), d, Count(GetSize())); });
}

Ref<IBfRealBuffer> TBfComplexBuffer::GetImaginary() const {
  return RealResult(GetSize(), [&](Real* d) { ippsImag_64fc(C(Read()), d, Count(GetSize())); });
}

Ref<IBfRealBuffer> TBfComplexBuffer::Phase() const {
  return RealResult(GetSize(), [&](Real* d) { ippsPhase_64fc(C(Read()), d, Count(GetSize())); });
}

Ref<IBfRealBuffer> TBfComplexBuffer::Magnitude() const {
  return RealResult(GetSize(), [&](Real* d) { ippsMagnitude_64fc(C(Read()), d, Count(GetSize())); });
}

Ref<IBfRealBuffer> TBfComplexBuffer::PowerSpectrum() const {
  return RealResult(GetSize(), [&](Real* d) { ippsPowerSpectr_64fc(C(Read()), d, Count(GetSize())); });
}

// ---- element-wise with another buffer

namespace {
template <class F>
void WithRight(TBfComplexBuffer& ASelf, const Ref<IBfComplexBuffer>& ARight, const char* AOperation, F AApply) {
  IBfComplexBuffer& right = Other(ARight, AOperation);
  const uint32_t n = std::min(ASelf.GetSize(), right.GetSize());
  if (n == 0) return;
  Ipp64fc* dst = C(ASelf.Modify());
  AApply(C(right.Read()), dst, Count(n));
}

// From operations: Write, or Modify when the source is this very buffer.
template <class F>
void FromOther(TBfComplexBuffer& ASelf, const Ref<IBfComplexBuffer>& ASrc, const char* AOperation, uint32_t ACount,
               F AApply) {
  IBfComplexBuffer& src = Other(ASrc, AOperation);
  if (ACount == 0) return;
  const bool same = src.GetInstance() == static_cast<TObject*>(&ASelf);
  BfResultOperation(ASelf, [&] {
    Ipp64fc* dst = C(same ? ASelf.Modify() : ASelf.Write());
    return AApply(C(src.Read()), dst, Count(ACount));
  });
}
}  // namespace

void TBfComplexBuffer::Add(const Ref<IBfComplexBuffer>& Right) {
  WithRight(*this, Right, "Add", [](const Ipp64fc* s, Ipp64fc* d, int n) { ippsAdd_64fc_I(s, d, n); });
}
void TBfComplexBuffer::Subtract(const Ref<IBfComplexBuffer>& Right) {
  WithRight(*this, Right, "Subtract", [](const Ipp64fc* s, Ipp64fc* d, int n) { ippsSub_64fc_I(s, d, n); });
}
void TBfComplexBuffer::Multiply(const Ref<IBfComplexBuffer>& Right) {
  WithRight(*this, Right, "Multiply", [](const Ipp64fc* s, Ipp64fc* d, int n) { ippsMul_64fc_I(s, d, n); });
}
void TBfComplexBuffer::Divide(const Ref<IBfComplexBuffer>& Right) {
  WithRight(*this, Right, "Divide", [](const Ipp64fc* s, Ipp64fc* d, int n) { ippsDiv_64fc_I(s, d, n); });
}

// ---- with a constant

void TBfComplexBuffer::AddValue(Real AReal, Real AImag) {
  if (GetSize() > 0) ippsAddC_64fc_I(C(AReal, AImag), C(Modify()), Count(GetSize()));
}
void TBfComplexBuffer::SubtractValue(Real AReal, Real AImag) {
  if (GetSize() > 0) ippsSubC_64fc_I(C(AReal, AImag), C(Modify()), Count(GetSize()));
}
void TBfComplexBuffer::MultiplyValue(Real AReal, Real AImag) {
  if (GetSize() > 0) ippsMulC_64fc_I(C(AReal, AImag), C(Modify()), Count(GetSize()));
}
// A zero divisor is refused by the primitive; Modify kept the items.
void TBfComplexBuffer::DivideValue(Real AReal, Real AImag) {
  if (GetSize() > 0) ippsDivC_64fc_I(C(AReal, AImag), C(Modify()), Count(GetSize()));
}

void TBfComplexBuffer::SetBuffer(const Ref<IBfRealBuffer>& AReal, const Ref<IBfRealBuffer>& AImag) {
  if (!AReal || !AImag) throw Exception("TBfComplexBuffer.SetBuffer: no buffer given");
  const uint32_t n = std::min(AReal->GetSize(), AImag->GetSize());
  Resize(n, false);
  if (n == 0) return;
  ippsRealToCplx_64f(AReal->Read(), AImag->Read(), C(Write()), Count(n));
}

void TBfComplexBuffer::SetValue(Real AReal, Real AImag) { SetValue(TFlRealComplex{AReal, AImag}); }

void TBfComplexBuffer::SetValue(const TFlRealComplex& AValue) {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsSet_64fc(C(AValue.Real_, AValue.Imaginary), C(Write()), Count(GetSize())); });
}

void TBfComplexBuffer::Zero() {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsZero_64fc(C(Write()), Count(GetSize())); });
}

void TBfComplexBuffer::NormalizeFrom(const Ref<IBfComplexBuffer>& Src, const TFlRealComplex& Offset, Real Factor) {
  const uint32_t n = Src ? std::min(GetSize(), Src->GetSize()) : 0;
  FromOther(*this, Src, "NormalizeFrom", n, [&](const Ipp64fc* s, Ipp64fc* d, int k) {
    return ippsNormalize_64fc(s, d, k, C(Offset.Real_, Offset.Imaginary), Factor);
  });
}

void TBfComplexBuffer::Normalize(const TFlRealComplex& Offset, Real Factor) {
  // The temporary shares this container, so NormalizeFrom's Write moves this
  // buffer and the primitive reads the old items.
  Ref<IBfComplexBuffer> temporary = CreateCopy(Ref<IBfComplexBuffer>(this));
  NormalizeFrom(temporary, Offset, Factor);
}

void TBfComplexBuffer::ThresholdFrom(const Ref<IBfComplexBuffer>& Src, Real AThreshold, TBfThresholdType AType) {
  // Over S items; a shorter source is read only as far as it goes.
  const uint32_t n = Src ? std::min(GetSize(), Src->GetSize()) : 0;
  FromOther(*this, Src, "ThresholdFrom", n, [&](const Ipp64fc* s, Ipp64fc* d, int k) {
    return ippsThreshold_64fc(s, d, k, AThreshold, Comparison(AType));
  });
}

void TBfComplexBuffer::SqrFrom(const Ref<IBfComplexBuffer>& Src) {
  const uint32_t n = Src ? std::min(GetSize(), Src->GetSize()) : 0;
  FromOther(*this, Src, "SqrFrom", n, [](const Ipp64fc* s, Ipp64fc* d, int k) { return ippsSqr_64fc(s, d, k); });
}

void TBfComplexBuffer::SqrtFrom(const Ref<IBfComplexBuffer>& Src) {
  const uint32_t n = Src ? std::min(GetSize(), Src->GetSize()) : 0;
  FromOther(*this, Src, "SqrtFrom", n, [](const Ipp64fc* s, Ipp64fc* d, int k) { return ippsSqrt_64fc(s, d, k); });
}

void TBfComplexBuffer::Threshold(Real AThreshold, TBfThresholdType AType) {
  if (GetSize() > 0) ippsThreshold_64fc_I(C(Modify()), Count(GetSize()), AThreshold, Comparison(AType));
}

void TBfComplexBuffer::Sqr() {
  if (GetSize() > 0) ippsSqr_64fc_I(C(Modify()), Count(GetSize()));
}

void TBfComplexBuffer::Sqrt() {
  if (GetSize() > 0) ippsSqrt_64fc_I(C(Modify()), Count(GetSize()));
}

TFlRealComplex TBfComplexBuffer::Dot(const Ref<IBfComplexBuffer>& Src) const {
  IBfComplexBuffer& src = Other(Src, "Dot");
  const uint32_t n = std::min(GetSize(), src.GetSize());
  Ipp64fc result{0.0, 0.0};
  if (n > 0) ippsDotProd_64fc(C(src.Read()), C(Read()), Count(n), &result);
  return TFlRealComplex{result.re, result.im};
}

// ---- correlation

namespace {
// The items of a source of an operation that writes this buffer with Write:
// when the source is this buffer, a copy of its items, since Write may give
// it new storage or the result may overwrite items still to be read.
class TComplexSourceItems {
 public:
  TComplexSourceItems(TBfComplexBuffer& ASelf, IBfComplexBuffer& ASource) : FSource(ASource) {
    if (ASource.GetInstance() == static_cast<TObject*>(&ASelf)) {
      const TFlRealComplex* p = ASource.Read();
      FCopy.assign(p, p + ASource.GetSize());
      FCopied = true;
    }
  }
  // Valid after this buffer's Write.
  const Ipp64fc* Get() { return C(FCopied ? FCopy.data() : FSource.Read()); }

 private:
  IBfComplexBuffer& FSource;
  std::vector<TFlRealComplex> FCopy;
  bool FCopied = false;
};
}  // namespace

// As the real buffer's: a source shorter than this buffer is read only as
// far as it goes, the correlation runs over its n items (the first factor
// conjugated).
void TBfComplexBuffer::AutoCorr(const Ref<IBfComplexBuffer>& Src, TBfAutoCorrType AType) {
  IBfComplexBuffer& src = Other(Src, "AutoCorr");
  const int n = Count(std::min(GetSize(), src.GetSize()));
  TComplexSourceItems items(*this, src);
  BfResultOperation(*this, [&] {
    Ipp64fc* dst = C(Write());
    switch (AType) {
      case actBiased: return ippsAutoCorr_NormA_64fc(items.Get(), n, dst, n);
      case actUnbiased: return ippsAutoCorr_NormB_64fc(items.Get(), n, dst, n);
      default: return ippsAutoCorr_64fc(items.Get(), n, dst, n);
    }
  });
}

void TBfComplexBuffer::CrossCorr(const Ref<IBfComplexBuffer>& Src1, const Ref<IBfComplexBuffer>& Src2,
                                 int32_t LoLag) {
  IBfComplexBuffer& src1 = Other(Src1, "CrossCorr");
  IBfComplexBuffer& src2 = Other(Src2, "CrossCorr");
  TComplexSourceItems items1(*this, src1), items2(*this, src2);
  BfResultOperation(*this, [&] {
    Ipp64fc* dst = C(Write());
    return ippsCrossCorr_64fc(items1.Get(), Count(src1.GetSize()), items2.Get(), Count(src2.GetSize()), dst,
                              Count(GetSize()), LoLag);
  });
}
