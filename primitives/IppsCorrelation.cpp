// Autocorrelation (plain, NormA, NormB; real and complex) and
// cross-correlation. Each has a direct method, summed in extended precision,
// and a method through the FFT for long inputs; the switch-over points decide
// the rounding of the results and are part of the behaviour:
//   real autocorrelation     min(srcLen, dstLen) >= 600 uses the FFT;
//   complex autocorrelation  min(srcLen, dstLen) >= 96;
//   cross-correlation        trunc(L*min(len1, len2)/max(len1, len2)) > 511,
//                            L the number of lags that overlap at all.
// The FFT methods allocate everything they need before writing pDst.
#include <algorithm>
#include <cstring>

#include "primitives/IppsCommon.h"
#include "primitives/IppsFFT.h"

using IppsCommon::Extended;

namespace {

constexpr int kRealAutoCorrFFT = 600;
constexpr int kComplexAutoCorrFFT = 96;
constexpr Extended kCrossCorrFFT = 511;

// ---- real autocorrelation

// Four lags at a time, each over its own range of i.
void AutoCorrDirect(const double* x, int srcLen, double* dst, int L) noexcept {
  int n = 0;
  for (; n + 4 <= L; n += 4) {
    Extended a0 = 0, a1 = 0, a2 = 0, a3 = 0;
    const int common = srcLen - n - 3;
    int i = 0;
    for (; i < common; ++i) {
      const Extended xi = x[i];
      a0 += xi * x[i + n];
      a1 += xi * x[i + n + 1];
      a2 += xi * x[i + n + 2];
      a3 += xi * x[i + n + 3];
    }
    for (; i < srcLen - n; ++i) {
      const Extended xi = x[i];
      a0 += xi * x[i + n];
      if (i < srcLen - n - 1) a1 += xi * x[i + n + 1];
      if (i < srcLen - n - 2) a2 += xi * x[i + n + 2];
    }
    dst[n] = static_cast<double>(a0);
    dst[n + 1] = static_cast<double>(a1);
    dst[n + 2] = static_cast<double>(a2);
    dst[n + 3] = static_cast<double>(a3);
  }
  for (; n < L; ++n) {
    Extended a = 0;
    for (int i = 0; i < srcLen - n; ++i) a += static_cast<Extended>(x[i]) * x[i + n];
    dst[n] = static_cast<double>(a);
  }
}

// The power spectrum of x zero-padded to N >= 2*srcLen, transformed back.
IppStatus AutoCorrFFT(const double* x, int srcLen, double* dst, int L) noexcept {
  IppsFFT::TRealTransform fft;
  const IppStatus st = fft.Init(IppsFFT::OrderFor(2 * int64_t{srcLen}, 1));
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length();
  IppsFFT::TReals buf(N + 2);
  if (buf.Get() == nullptr) return ippStsMemAllocErr;
  double* b = buf.Get();
  std::memcpy(b, x, sizeof(double) * static_cast<size_t>(srcLen));
  std::fill(b + srcLen, b + N + 2, 0.0);
  fft.Forward(b, b);
  Ipp64fc* X = buf.Complex();
  for (int64_t k = 0; k <= N / 2; ++k) X[k] = {X[k].re * X[k].re + X[k].im * X[k].im, 0.0};
  fft.Inverse(b, b);
  std::memcpy(dst, b, sizeof(double) * static_cast<size_t>(L));
  return ippStsNoErr;
}

IppStatus AutoCorrReal(const double* pSrc, int srcLen, double* pDst, int dstLen) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(srcLen);
  FR_IPP_REQUIRE_LEN(dstLen);
  const int L = std::min(srcLen, dstLen);
  if (L < kRealAutoCorrFFT) {
    AutoCorrDirect(pSrc, srcLen, pDst, L);
  } else {
    const IppStatus st = AutoCorrFFT(pSrc, srcLen, pDst, L);
    if (st != ippStsNoErr) return st;
  }
  std::fill(pDst + L, pDst + dstLen, 0.0);
  return ippStsNoErr;
}

// ---- complex autocorrelation

inline void AddConjProduct(Extended& re, Extended& im, Ipp64fc a, Ipp64fc b) noexcept {
  re += static_cast<Extended>(a.re) * b.re + static_cast<Extended>(a.im) * b.im;
  im += static_cast<Extended>(a.re) * b.im - static_cast<Extended>(a.im) * b.re;
}

// Two lags at a time.
void AutoCorrDirect(const Ipp64fc* x, int srcLen, Ipp64fc* dst, int L) noexcept {
  int n = 0;
  for (; n + 2 <= L; n += 2) {
    Extended r0 = 0, i0 = 0, r1 = 0, i1 = 0;
    int i = 0;
    for (; i < srcLen - n - 1; ++i) {
      AddConjProduct(r0, i0, x[i], x[i + n]);
      AddConjProduct(r1, i1, x[i], x[i + n + 1]);
    }
    AddConjProduct(r0, i0, x[i], x[i + n]);
    dst[n] = {static_cast<double>(r0), static_cast<double>(i0)};
    dst[n + 1] = {static_cast<double>(r1), static_cast<double>(i1)};
  }
  if (n < L) {
    Extended r = 0, im = 0;
    for (int i = 0; i < srcLen - n; ++i) AddConjProduct(r, im, x[i], x[i + n]);
    dst[n] = {static_cast<double>(r), static_cast<double>(im)};
  }
}

IppStatus AutoCorrFFT(const Ipp64fc* x, int srcLen, Ipp64fc* dst, int L) noexcept {
  IppsFFT::TComplexTransform fft;
  const IppStatus st = fft.Init(IppsFFT::OrderFor(2 * int64_t{srcLen}, 1));
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length();
  IppsFFT::TReals buf(2 * N);
  if (buf.Get() == nullptr) return ippStsMemAllocErr;
  Ipp64fc* X = buf.Complex();
  std::memcpy(static_cast<void*>(X), x, sizeof(Ipp64fc) * static_cast<size_t>(srcLen));
  std::fill(buf.Get() + 2 * int64_t{srcLen}, buf.Get() + 2 * N, 0.0);
  fft.Forward(X, X);
  for (int64_t k = 0; k < N; ++k) X[k] = {X[k].re * X[k].re + X[k].im * X[k].im, 0.0};
  fft.Inverse(X, X);
  std::memcpy(static_cast<void*>(dst), X, sizeof(Ipp64fc) * static_cast<size_t>(L));
  return ippStsNoErr;
}

IppStatus AutoCorrComplex(const Ipp64fc* pSrc, int srcLen, Ipp64fc* pDst, int dstLen) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(srcLen);
  FR_IPP_REQUIRE_LEN(dstLen);
  const int L = std::min(srcLen, dstLen);
  if (L < kComplexAutoCorrFFT) {
    AutoCorrDirect(pSrc, srcLen, pDst, L);
  } else {
    const IppStatus st = AutoCorrFFT(pSrc, srcLen, pDst, L);
    if (st != ippStsNoErr) return st;
  }
  std::fill(&pDst[L].re, &pDst[0].re + 2 * int64_t{dstLen}, 0.0);
  return ippStsNoErr;
}

// ---- normalisations: AValuesPerLag doubles per lag (1 real, 2 complex)

IppStatus NormA(int srcLen, int dstLen, double* pDst, int AValuesPerLag) noexcept {
  const int L = std::min(srcLen, dstLen);
  return IppInternal::ippsMulC_64f_I(1.0 / static_cast<double>(srcLen), pDst, L * AValuesPerLag);
}

// pDst[n] / (srcLen - n); -9 with pDst left unnormalised when the divisors
// cannot be allocated.
IppStatus NormB(int srcLen, int dstLen, double* pDst, int AValuesPerLag) noexcept {
  const int L = std::min(srcLen, dstLen);
  IppsFFT::TReals divisors(int64_t{L} * AValuesPerLag);
  if (divisors.Get() == nullptr) return ippStsMemAllocErr;
  for (int n = 0; n < L; ++n) {
    for (int j = 0; j < AValuesPerLag; ++j) divisors.Get()[n * AValuesPerLag + j] = static_cast<double>(srcLen - n);
  }
  return IppInternal::ippsDiv_64f_I(divisors.Get(), pDst, L * AValuesPerLag);
}

// ---- cross-correlation

inline void AddProduct(Extended& acc, Extended&, double a, double b) noexcept { acc += static_cast<Extended>(a) * b; }
inline void AddProduct(Extended& re, Extended& im, Ipp64fc a, Ipp64fc b) noexcept { AddConjProduct(re, im, a, b); }
inline void Store(double& d, Extended re, Extended) noexcept { d = static_cast<double>(re); }
inline void Store(Ipp64fc& d, Extended re, Extended im) noexcept {
  d = {static_cast<double>(re), static_cast<double>(im)};
}

// Lag k = ALag0 + n for n < ACount, each over 0 <= i < len1 with 0 <= i+k < len2.
template <class T>
void CrossCorrDirect(const T* a, int len1, const T* b, int len2, T* dst, int64_t ALag0, int64_t ACount) noexcept {
  for (int64_t n = 0; n < ACount; ++n) {
    const int64_t k = ALag0 + n;
    const int64_t i0 = std::max<int64_t>(0, -k), i1 = std::min<int64_t>(len1, len2 - k);
    Extended re = 0, im = 0;
    for (int64_t i = i0; i < i1; ++i) AddProduct(re, im, a[i], b[i + k]);
    Store(dst[n], re, im);
  }
}

// A zero-padded; B = len1 - 1 zeros, b, zeros; A <- B*conj(A) transformed
// back: position k + len1 - 1 holds lag k.
IppStatus CrossCorrFFT(const double* a, int len1, const double* b, int len2, double* dst, int64_t ALag0, int64_t ACount) noexcept {
  IppsFFT::TRealTransform fft;
  const IppStatus st = fft.Init(IppsFFT::OrderFor(int64_t{len1} + len2 - 1, 1));
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length();
  IppsFFT::TReals A(N + 2), B(N + 2);
  if (A.Get() == nullptr || B.Get() == nullptr) return ippStsMemAllocErr;
  fft.PaddedForward(a, len1, 0, A.Get());
  fft.PaddedForward(b, len2, len1 - 1, B.Get());
  IppsFFT::MulConjSpectrum(B.Complex(), A.Complex(), N / 2 + 1);
  fft.Inverse(A.Get(), A.Get());
  std::memcpy(dst, A.Get() + ALag0 + len1 - 1, sizeof(double) * static_cast<size_t>(ACount));
  return ippStsNoErr;
}

IppStatus CrossCorrFFT(const Ipp64fc* a, int len1, const Ipp64fc* b, int len2, Ipp64fc* dst, int64_t ALag0, int64_t ACount) noexcept {
  IppsFFT::TComplexTransform fft;
  const IppStatus st = fft.Init(IppsFFT::OrderFor(int64_t{len1} + len2 - 1, 1));
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length();
  IppsFFT::TReals A(2 * N), B(2 * N);
  if (A.Get() == nullptr || B.Get() == nullptr) return ippStsMemAllocErr;
  std::fill(A.Get(), A.Get() + 2 * N, 0.0);
  std::fill(B.Get(), B.Get() + 2 * N, 0.0);
  std::memcpy(A.Get(), a, sizeof(Ipp64fc) * static_cast<size_t>(len1));
  std::memcpy(B.Complex() + len1 - 1, b, sizeof(Ipp64fc) * static_cast<size_t>(len2));
  fft.Forward(A.Complex(), A.Complex());
  fft.Forward(B.Complex(), B.Complex());
  IppsFFT::MulConjSpectrum(B.Complex(), A.Complex(), N);
  fft.Inverse(A.Complex(), A.Complex());
  std::memcpy(static_cast<void*>(dst), A.Complex() + ALag0 + len1 - 1, sizeof(Ipp64fc) * static_cast<size_t>(ACount));
  return ippStsNoErr;
}

template <class T>
IppStatus CrossCorr(const T* pSrc1, int src1Len, const T* pSrc2, int src2Len, T* pDst, int dstLen, int lowLag) noexcept {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(src1Len);
  FR_IPP_REQUIRE_LEN(src2Len);
  FR_IPP_REQUIRE_LEN(dstLen);
  // Lags below 1 - src1Len and above src2Len - 1 have no overlap.
  const int64_t first = std::clamp<int64_t>(int64_t{1} - src1Len - lowLag, 0, dstLen);
  const int64_t last = std::clamp<int64_t>(int64_t{src2Len} - lowLag, first, dstLen);
  std::fill(pDst, pDst + first, T{});
  const int64_t L = last - first;
  if (L > 0) {
    const Extended ratio = static_cast<Extended>(L) * std::min(src1Len, src2Len) / std::max(src1Len, src2Len);
    if (static_cast<int64_t>(ratio) > kCrossCorrFFT) {
      const IppStatus st = CrossCorrFFT(pSrc1, src1Len, pSrc2, src2Len, pDst + first, lowLag + first, L);
      if (st != ippStsNoErr) return st;
    } else {
      CrossCorrDirect(pSrc1, src1Len, pSrc2, src2Len, pDst + first, lowLag + first, L);
    }
  }
  std::fill(pDst + last, pDst + dstLen, T{});
  return ippStsNoErr;
}

}  // namespace

namespace IppInternal {

IppStatus ippsAutoCorr_64f(const Ipp64f* pSrc, int srcLen, Ipp64f* pDst, int dstLen) {
  return AutoCorrReal(pSrc, srcLen, pDst, dstLen);
}

IppStatus ippsAutoCorr_NormA_64f(const Ipp64f* pSrc, int srcLen, Ipp64f* pDst, int dstLen) {
  const IppStatus st = AutoCorrReal(pSrc, srcLen, pDst, dstLen);
  return st != ippStsNoErr ? st : NormA(srcLen, dstLen, pDst, 1);
}

IppStatus ippsAutoCorr_NormB_64f(const Ipp64f* pSrc, int srcLen, Ipp64f* pDst, int dstLen) {
  const IppStatus st = AutoCorrReal(pSrc, srcLen, pDst, dstLen);
  return st != ippStsNoErr ? st : NormB(srcLen, dstLen, pDst, 1);
}

IppStatus ippsAutoCorr_64fc(const Ipp64fc* pSrc, int srcLen, Ipp64fc* pDst, int dstLen) {
  return AutoCorrComplex(pSrc, srcLen, pDst, dstLen);
}

IppStatus ippsAutoCorr_NormA_64fc(const Ipp64fc* pSrc, int srcLen, Ipp64fc* pDst, int dstLen) {
  const IppStatus st = AutoCorrComplex(pSrc, srcLen, pDst, dstLen);
  return st != ippStsNoErr ? st : NormA(srcLen, dstLen, &pDst[0].re, 2);
}

IppStatus ippsAutoCorr_NormB_64fc(const Ipp64fc* pSrc, int srcLen, Ipp64fc* pDst, int dstLen) {
  const IppStatus st = AutoCorrComplex(pSrc, srcLen, pDst, dstLen);
  return st != ippStsNoErr ? st : NormB(srcLen, dstLen, &pDst[0].re, 2);
}

IppStatus ippsCrossCorr_64f(const Ipp64f* pSrc1, int src1Len, const Ipp64f* pSrc2, int src2Len, Ipp64f* pDst, int dstLen,
                            int lowLag) {
  return CrossCorr(pSrc1, src1Len, pSrc2, src2Len, pDst, dstLen, lowLag);
}

IppStatus ippsCrossCorr_64fc(const Ipp64fc* pSrc1, int src1Len, const Ipp64fc* pSrc2, int src2Len, Ipp64fc* pDst,
                             int dstLen, int lowLag) {
  return CrossCorr(pSrc1, src1Len, pSrc2, src2Len, pDst, dstLen, lowLag);
}

}  // namespace IppInternal
