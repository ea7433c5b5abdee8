// The vector operations of TBfRealBuffer: each one a call of a numeric
// primitive through the dispatch table (primitives/Ipps.h), with the
// buffer's copy-on-write rules around it.
//
// Pointers: in-place operations take Modify, operations whose result does
// not depend on the old items take Write, reading operations take Read. The
// own pointer is always taken before the other buffer's Read, so that an
// operation of a buffer with itself sees its own (possibly new) container.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "buffers/BfResultGuard.h"
#include "buffers/BfSimpleDataBuffer.h"
#include "primitives/Ipps.h"

namespace {

int Count(uint32_t ASize) { return static_cast<int>(ASize); }

// The other buffer of an operation; a missing one is a caller's error.
IBfRealBuffer& Other(const Ref<IBfRealBuffer>& ABuffer, const char* AOperation) {
  if (!ABuffer) throw Exception(std::string("TBfRealBuffer.") + AOperation + ": no buffer given");
  return *ABuffer;
}

IppCmpOp Comparison(TBfThresholdType AType) { return AType == ttGreaterThan ? ippCmpGreater : ippCmpLess; }

// The marker values of the restricted minimum and maximum: the doubles
// nearest to -1.7e308 and 1.7e308.
constexpr Real kMarker = 1.7e308;

}  // namespace

// ---- element-wise with another buffer

void TBfRealBuffer::Add(const Ref<IBfRealBuffer>& Right) {
  IBfRealBuffer& right = Other(Right, "Add");
  const int n = Count(std::min(GetSize(), right.GetSize()));
  Real* dst = Modify();
  ippsAdd_64f_I(right.Read(), dst, n);
}

void TBfRealBuffer::Subtract(const Ref<IBfRealBuffer>& Right) {
  IBfRealBuffer& right = Other(Right, "Subtract");
  const int n = Count(std::min(GetSize(), right.GetSize()));
  Real* dst = Modify();
  ippsSub_64f_I(right.Read(), dst, n);
}

void TBfRealBuffer::Multiply(const Ref<IBfRealBuffer>& Right) {
  IBfRealBuffer& right = Other(Right, "Multiply");
  const int n = Count(std::min(GetSize(), right.GetSize()));
  Real* dst = Modify();
  ippsMul_64f_I(right.Read(), dst, n);
}

void TBfRealBuffer::Divide(const Ref<IBfRealBuffer>& Right) {
  IBfRealBuffer& right = Other(Right, "Divide");
  const int n = Count(std::min(GetSize(), right.GetSize()));
  Real* dst = Modify();
  const Real* divisor = right.Read();
  // Dividing a buffer by itself overwrites the divisors with the quotients;
  // the zero-divisor rule needs the divisors, so they are kept aside then.
  std::vector<Real> kept;
  if (divisor == dst && n > 0) {
    kept.assign(divisor, divisor + n);
    divisor = kept.data();
  }
  if (ippsDiv_64f_I(divisor, dst, n) != ippStsDivByZero) return;
  // The zero-divisor rule, each position on its own.
  for (int i = 0; i < n; ++i) {
    const Real d = divisor[i];
    const Real q = dst[i];
    if (std::isnan(d)) {
      dst[i] = 0.0;
    } else if (d != 0) {
      // the quotient stays
    } else if (q > 0) {
      dst[i] = 1.0e15;
    } else if (std::isnan(q)) {
      dst[i] = 0.0;
    } else {
      dst[i] = -1.0e14;
    }
  }
}

// ---- with a constant

void TBfRealBuffer::SetValue(Real AValue) {
  BfResultOperation(*this, [&] { return ippsSet_64f(AValue, Write(), Count(GetSize())); });
}

void TBfRealBuffer::AddValue(Real AValue) {
  if (AValue == 0) return;
  ippsAddC_64f_I(AValue, Modify(), Count(GetSize()));
}

void TBfRealBuffer::SubtractValue(Real AValue) {
  if (AValue == 0) return;
  ippsSubC_64f_I(AValue, Modify(), Count(GetSize()));
}

void TBfRealBuffer::MultiplyValue(Real AValue) {
  if (AValue == 1) return;
  ippsMulC_64f_I(AValue, Modify(), Count(GetSize()));
}

void TBfRealBuffer::DivideValue(Real AValue) {
  if (AValue == 0 || AValue == 1) return;
  ippsDivC_64f_I(AValue, Modify(), Count(GetSize()));
}

void TBfRealBuffer::Zero() {
  BfResultOperation(*this, [&] { return ippsZero_64f(Write(), Count(GetSize())); });
}

// ---- conversions

void TBfRealBuffer::ToInt(int32_t* OutBuffer, bool ARound) const {
  ippsConvert_64f32s_Sfs(Read(), OutBuffer, Count(GetSize()), ARound ? ippRndNear : ippRndZero, 0);
}

void TBfRealBuffer::ToShort(int16_t* OutBuffer, bool ARound) const {
  const Real* src = Read();
  const uint32_t size = GetSize();
  // The 64-bit integer's low 16 bits: values outside -32768..32767 wrap
  // around. NaN and values beyond the 64-bit range have no integer; they
  // give 0, the low bits of the integer-indefinite value of the x87
  // conversion.
  constexpr Real kLimit = 9223372036854775808.0;  // 2^63
  for (uint32_t i = 0; i < size; ++i) {
    const Real r = ARound ? std::nearbyint(src[i]) : std::trunc(src[i]);
    const int64_t v = (r >= -kLimit && r < kLimit) ? static_cast<int64_t>(r) : 0;
    OutBuffer[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu));
  }
}

void TBfRealBuffer::ToSingle(float* OutBuffer) const { ippsConvert_64f32f(Read(), OutBuffer, Count(GetSize())); }

void TBfRealBuffer::FromInt(const int32_t* InBuffer) {
  BfResultOperation(*this, [&] { return ippsConvert_32s64f(InBuffer, Write(), Count(GetSize())); });
}

void TBfRealBuffer::FromShort(const int16_t* InBuffer) {
  BfResultOperation(*this, [&] { return ippsConvert_16s64f_Sfs(InBuffer, Write(), Count(GetSize()), 0); });
}

void TBfRealBuffer::FromSingle(const float* InBuffer) {
  BfResultOperation(*this, [&] { return ippsConvert_32f64f(InBuffer, Write(), Count(GetSize())); });
}

// ---- from another buffer
//
// The From operations take Write; when the source is this very buffer the
// result is the in-place operation, so they take Modify then (Write of a
// shared buffer would hand the primitive a new container with undefined
// items as its source).

namespace {
template <class F>
void FromOther(TBfRealBuffer& ASelf, const Ref<IBfRealBuffer>& ASrc, const char* AOperation, F AApply) {
  IBfRealBuffer& src = Other(ASrc, AOperation);
  const int n = Count(std::min(ASelf.GetSize(), src.GetSize()));
  const bool same = src.GetInstance() == static_cast<TObject*>(&ASelf);
  BfResultOperation(ASelf, [&] {
    Real* dst = same ? ASelf.Modify() : ASelf.Write();
    return AApply(src.Read(), dst, n);
  });
}
}  // namespace

void TBfRealBuffer::NormalizeFrom(const Ref<IBfRealBuffer>& Src, Real Offset, Real Factor) {
  FromOther(*this, Src, "NormalizeFrom",
            [&](const Real* s, Real* d, int n) { return ippsNormalize_64f(s, d, n, Offset, Factor); });
}

void TBfRealBuffer::Normalize(Real Offset, Real Factor) {
  // The temporary shares this container, so NormalizeFrom's Write moves this
  // buffer and the primitive reads the old items: no overlap, no copy.
  Ref<IBfRealBuffer> temporary = CreateCopy(Ref<IBfRealBuffer>(this));
  NormalizeFrom(temporary, Offset, Factor);
}

void TBfRealBuffer::ThresholdFrom(const Ref<IBfRealBuffer>& Src, Real AThreshold, TBfThresholdType AType) {
  // The source must hold S items; a shorter one is read only as far as it
  // goes (the items beyond keep or lose their values as with any From).
  FromOther(*this, Src, "ThresholdFrom",
            [&](const Real* s, Real* d, int n) { return ippsThreshold_64f(s, d, n, AThreshold, Comparison(AType)); });
}

void TBfRealBuffer::SqrFrom(const Ref<IBfRealBuffer>& Src) {
  FromOther(*this, Src, "SqrFrom", [](const Real* s, Real* d, int n) { return ippsSqr_64f(s, d, n); });
}

void TBfRealBuffer::SqrtFrom(const Ref<IBfRealBuffer>& Src) {
  FromOther(*this, Src, "SqrtFrom", [](const Real* s, Real* d, int n) { return ippsSqrt_64f(s, d, n); });
}

void TBfRealBuffer::AbsFrom(const Ref<IBfRealBuffer>& Src) {
  FromOther(*this, Src, "AbsFrom", [](const Real* s, Real* d, int n) { return ippsAbs_64f(s, d, n); });
}

void TBfRealBuffer::ExpFrom(const Ref<IBfRealBuffer>& Src) {
  FromOther(*this, Src, "ExpFrom", [](const Real* s, Real* d, int n) { return ippsExp_64f(s, d, n); });
}

void TBfRealBuffer::LnFrom(const Ref<IBfRealBuffer>& Src) {
  FromOther(*this, Src, "LnFrom", [](const Real* s, Real* d, int n) { return ippsLn_64f(s, d, n); });
}

// ---- in place

void TBfRealBuffer::Threshold(Real AThreshold, TBfThresholdType AType) {
  ippsThreshold_64f_I(Modify(), Count(GetSize()), AThreshold, Comparison(AType));
}

void TBfRealBuffer::Sqr() { ippsSqr_64f_I(Modify(), Count(GetSize())); }
void TBfRealBuffer::Sqrt() { ippsSqrt_64f_I(Modify(), Count(GetSize())); }
void TBfRealBuffer::Abs() { ippsAbs_64f_I(Modify(), Count(GetSize())); }
void TBfRealBuffer::Exp() { ippsExp_64f_I(Modify(), Count(GetSize())); }
void TBfRealBuffer::Ln() { ippsLn_64f_I(Modify(), Count(GetSize())); }

// ---- reading

Real TBfRealBuffer::Dot(const Ref<IBfRealBuffer>& Right) const {
  IBfRealBuffer& right = Other(Right, "Dot");
  const int n = Count(std::min(GetSize(), right.GetSize()));
  Real result = 0.0;
  ippsDotProd_64f(right.Read(), Read(), n, &result);
  return result;
}

// An empty buffer gives 0.0 (the primitive reports a size error).
Real TBfRealBuffer::Mean() const {
  Real result = 0.0;
  ippsMean_64f(Read(), Count(GetSize()), &result);
  return result;
}

// Fewer than two items give 0.0.
Real TBfRealBuffer::StdDev() const {
  Real result = 0.0;
  ippsStdDev_64f(Read(), Count(GetSize()), &result);
  return result;
}

Real TBfRealBuffer::Norm(const Ref<IBfRealBuffer>& Src, TBfNormType AType) const {
  IBfRealBuffer& src = Other(Src, "Norm");
  // Src must hold S items; a shorter one is compared only as far as it goes.
  const int n = Count(std::min(GetSize(), src.GetSize()));
  Real result = 0.0;
  switch (AType) {
    case ntL1Norm: ippsNormDiff_L1_64f(src.Read(), Read(), n, &result); break;
    case ntL2Norm: ippsNormDiff_L2_64f(src.Read(), Read(), n, &result); break;
    default: ippsNormDiff_Inf_64f(src.Read(), Read(), n, &result); break;
  }
  return result;
}

Real TBfRealBuffer::GetMinValue() const {
  Real result = 0.0;
  if (GetSize() > 0) ippsMin_64f(Read(), Count(GetSize()), &result);
  return result;
}

Real TBfRealBuffer::GetMaxValue() const {
  Real result = 0.0;
  if (GetSize() > 0) ippsMax_64f(Read(), Count(GetSize()), &result);
  return result;
}

Real TBfRealBuffer::GetMinIndex(int32_t& AIndex) const {
  AIndex = 0;
  Real result = 0.0;
  if (GetSize() > 0) ippsMinIndx_64f(Read(), Count(GetSize()), &result, &AIndex);
  return result;
}

Real TBfRealBuffer::GetMaxIndex(int32_t& AIndex) const {
  AIndex = 0;
  Real result = 0.0;
  if (GetSize() > 0) ippsMaxIndx_64f(Read(), Count(GetSize()), &result, &AIndex);
  return result;
}

namespace {
// Clamps [ABegin, AEnd) to the buffer: negative bounds become 0, AEnd at
// most S, ABegin at most S - 1. S must be at least 1.
void ClampRange(int64_t ASize, int32_t& ABegin, int32_t& AEnd) {
  if (ABegin < 0) ABegin = 0;
  if (AEnd < 0) AEnd = 0;
  if (AEnd > ASize) AEnd = static_cast<int32_t>(ASize);
  if (ABegin >= ASize) ABegin = static_cast<int32_t>(ASize - 1);
}
}  // namespace

// An empty buffer or an empty range gives 0.0.
Real TBfRealBuffer::GetMin(int32_t IndexBegin, int32_t IndexEnd) const {
  Real result = 0.0;
  if (GetSize() == 0) return result;
  ClampRange(GetSize(), IndexBegin, IndexEnd);
  ippsMin_64f(Read() + IndexBegin, IndexEnd - IndexBegin, &result);
  return result;
}

Real TBfRealBuffer::GetMax(int32_t IndexBegin, int32_t IndexEnd) const {
  Real result = 0.0;
  if (GetSize() == 0) return result;
  ClampRange(GetSize(), IndexBegin, IndexEnd);
  ippsMax_64f(Read() + IndexBegin, IndexEnd - IndexBegin, &result);
  return result;
}

Real TBfRealBuffer::GetMinRestricted(int32_t IndexBegin, int32_t IndexEnd) const {
  if (GetSize() == 0) return 0.0;
  ClampRange(GetSize(), IndexBegin, IndexEnd);
  if (IndexBegin == IndexEnd) return 0.0;
  const Real* p = Read();
  Real value = p[IndexBegin];
  if (value <= -kMarker || value == kMarker) value = 0;
  for (int32_t i = IndexBegin + 1; i < IndexEnd; ++i) {
    if (p[i] == -kMarker || p[i] == kMarker) continue;
    if (p[i] < value) value = p[i];
  }
  return value;
}

Real TBfRealBuffer::GetMaxRestricted(int32_t IndexBegin, int32_t IndexEnd) const {
  if (GetSize() == 0) return 0.0;
  ClampRange(GetSize(), IndexBegin, IndexEnd);
  if (IndexBegin == IndexEnd) return 0.0;
  const Real* p = Read();
  Real value = p[IndexBegin];
  if (value == -kMarker || value == kMarker) value = 0;
  for (int32_t i = IndexBegin + 1; i < IndexEnd; ++i) {
    if (p[i] == -kMarker || p[i] == kMarker) continue;
    if (p[i] > value) value = p[i];
  }
  return value;
}

// ---- test signal, correlation and convolution

namespace {
// The items of a source of an operation that writes this buffer with Write:
// when the source is this buffer, a copy of its items, since Write may give
// it new storage or the result may overwrite items still to be read.
class TSourceItems {
 public:
  TSourceItems(TBfRealBuffer& ASelf, IBfRealBuffer& ASource) : FSource(ASource) {
    if (ASource.GetInstance() == static_cast<TObject*>(&ASelf)) {
      const Real* p = ASource.Read();
      FCopy.assign(p, p + ASource.GetSize());
      FCopied = true;
    }
  }
  // Valid after this buffer's Write.
  const Real* Get() { return FCopied ? FCopy.data() : FSource.Read(); }

 private:
  IBfRealBuffer& FSource;
  std::vector<Real> FCopy;
  bool FCopied = false;
};
}  // namespace

void TBfRealBuffer::VectorJaehne(Real AMagnitude) {
  BfResultOperation(*this, [&] { return ippsVectorJaehne_64f(Write(), Count(GetSize()), AMagnitude); });
}

// A source shorter than this buffer is read only as far as it goes: the
// correlation runs over its n items (the normalisations then divide by n).
void TBfRealBuffer::AutoCorr(const Ref<IBfRealBuffer>& Src, TBfAutoCorrType AType) {
  IBfRealBuffer& src = Other(Src, "AutoCorr");
  const int n = Count(std::min(GetSize(), src.GetSize()));
  TSourceItems items(*this, src);
  BfResultOperation(*this, [&] {
    Real* dst = Write();
    switch (AType) {
      case actBiased: return ippsAutoCorr_NormA_64f(items.Get(), n, dst, n);
      case actUnbiased: return ippsAutoCorr_NormB_64f(items.Get(), n, dst, n);
      default: return ippsAutoCorr_64f(items.Get(), n, dst, n);
    }
  });
}

void TBfRealBuffer::CrossCorr(const Ref<IBfRealBuffer>& Src1, const Ref<IBfRealBuffer>& Src2, int32_t LoLag) {
  IBfRealBuffer& src1 = Other(Src1, "CrossCorr");
  IBfRealBuffer& src2 = Other(Src2, "CrossCorr");
  TSourceItems items1(*this, src1), items2(*this, src2);
  BfResultOperation(*this, [&] {
    Real* dst = Write();
    return ippsCrossCorr_64f(items1.Get(), Count(src1.GetSize()), items2.Get(), Count(src2.GetSize()), dst,
                             Count(GetSize()), LoLag);
  });
}

// Into a buffer shorter than RS + RH - 1 items only the first items of the
// convolution are stored.
void TBfRealBuffer::Convolve(const Ref<IBfRealBuffer>& Src, const Ref<IBfRealBuffer>& H) {
  IBfRealBuffer& src = Other(Src, "Convolve");
  IBfRealBuffer& h = Other(H, "Convolve");
  TSourceItems items(*this, src), taps(*this, h);
  const uint64_t length = uint64_t{src.GetSize()} + h.GetSize() - 1;
  BfResultOperation(*this, [&] {
    Real* dst = Write();
    if (src.GetSize() == 0 || h.GetSize() == 0 || length <= GetSize())  // an empty source: a size error, nothing written
      return ippsConv_64f(items.Get(), Count(src.GetSize()), taps.Get(), Count(h.GetSize()), dst);
    std::vector<Real> full(length);
    const IppStatus status = ippsConv_64f(items.Get(), Count(src.GetSize()), taps.Get(), Count(h.GetSize()), full.data());
    if (status >= 0) std::copy(full.begin(), full.begin() + GetSize(), dst);
    return status;
  });
}
