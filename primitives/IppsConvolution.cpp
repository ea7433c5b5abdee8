// Linear convolution of two real sequences. With u the longer (pSrc1 when
// the lengths are equal, length lu), v the shorter (lv) and
// Lout = lu + lv - 1:
//   Lout < 150 or lv < 32   direct: pDst[i+j] += u[j]*v[i] for i in order,
//                           each sum rounded to double when stored;
//   lu < 3*lv               one transform of the smallest size >= Lout
//                           (at least 4);
//   otherwise               overlap-save in blocks of N = 2^(d+1), 2^d >= 2*lv.
// A pDst that overlaps either source is filled through a copy, so the inputs
// are never read after they have been overwritten.
#include <algorithm>
#include <cstring>

#include "primitives/IppsCommon.h"
#include "primitives/IppsFFT.h"

namespace {

constexpr int64_t kDirectOutputs = 150;
constexpr int kDirectShortLength = 32;
constexpr int64_t kDirectBlock = 4096;

// The outputs are produced in blocks of 4096; within a block every v[i] is
// added in order of i, so each output sees the same additions in the same
// order as in one pass over all of u.
void ConvDirect(const double* u, int64_t lu, const double* v, int64_t lv, double* out) noexcept {
  const int64_t Lout = lu + lv - 1;
  for (int64_t t0 = 0; t0 < Lout; t0 += kDirectBlock) {
    const int64_t t1 = std::min(Lout, t0 + kDirectBlock);
    std::fill(out + t0, out + t1, 0.0);
    for (int64_t i = 0; i < lv; ++i) {
      const double vi = v[i];
      const int64_t a = std::max(t0, i), b = std::min(t1, i + lu);
      for (int64_t t = a; t < b; ++t) out[t] = out[t] + u[t - i] * vi;
    }
  }
}

IppStatus ConvOneTransform(const double* u, int64_t lu, const double* v, int64_t lv, double* out) noexcept {
  const int64_t Lout = lu + lv - 1;
  IppsFFT::TRealTransform fft;
  const IppStatus st = fft.Init(IppsFFT::OrderFor(Lout, 2));
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length();
  IppsFFT::TReals A(N + 2), B(N + 2);
  if (A.Get() == nullptr || B.Get() == nullptr) return ippStsMemAllocErr;
  fft.PaddedForward(u, lu, 0, A.Get());
  fft.PaddedForward(v, lv, 0, B.Get());
  IppsFFT::MulSpectrum(B.Complex(), A.Complex(), N / 2 + 1);
  fft.Inverse(A.Get(), A.Get());
  std::memcpy(out, A.Get(), sizeof(double) * static_cast<size_t>(Lout));
  return ippStsNoErr;
}

// Each block: the lv - 1 samples of u before it (zeros before the start),
// N - lv + 1 new ones, zeros after the end; its outputs follow the first lv - 1.
IppStatus ConvOverlapSave(const double* u, int64_t lu, const double* v, int64_t lv, double* out) noexcept {
  const int64_t Lout = lu + lv - 1;
  int d = 1;
  while ((int64_t{1} << d) < 2 * lv) ++d;
  IppsFFT::TRealTransform fft;
  const IppStatus st = fft.Init(d + 1);
  if (st != ippStsNoErr) return st;
  const int64_t N = fft.Length(), S = N - lv + 1;
  IppsFFT::TReals V(N + 2), B(N + 2);
  if (V.Get() == nullptr || B.Get() == nullptr) return ippStsMemAllocErr;
  fft.PaddedForward(v, lv, 0, V.Get());
  double* b = B.Get();
  for (int64_t o = 0; o < Lout; o += S) {
    const int64_t start = o - (lv - 1);
    for (int64_t t = 0; t < N; ++t) {
      const int64_t j = start + t;
      b[t] = (j >= 0 && j < lu) ? u[j] : 0.0;
    }
    fft.Forward(b, b);
    IppsFFT::MulSpectrum(V.Complex(), B.Complex(), N / 2 + 1);
    fft.Inverse(b, b);
    const int64_t count = std::min(S, Lout - o);
    std::memcpy(out + o, b + lv - 1, sizeof(double) * static_cast<size_t>(count));
  }
  return ippStsNoErr;
}

bool Overlaps(const double* a, int64_t na, const double* b, int64_t nb) noexcept {
  const auto pa = reinterpret_cast<uintptr_t>(a), pb = reinterpret_cast<uintptr_t>(b);
  return pa < pb + static_cast<uintptr_t>(nb) * sizeof(double) && pb < pa + static_cast<uintptr_t>(na) * sizeof(double);
}

}  // namespace

namespace IppInternal {

IppStatus ippsConv_64f(const Ipp64f* pSrc1, int src1Len, const Ipp64f* pSrc2, int src2Len, Ipp64f* pDst) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(src1Len);
  FR_IPP_REQUIRE_LEN(src2Len);
  const bool firstLonger = src1Len >= src2Len;
  const double* u = firstLonger ? pSrc1 : pSrc2;
  const double* v = firstLonger ? pSrc2 : pSrc1;
  const int64_t lu = firstLonger ? src1Len : src2Len, lv = firstLonger ? src2Len : src1Len;
  const int64_t Lout = lu + lv - 1;
  const bool aliased = Overlaps(pDst, Lout, pSrc1, src1Len) || Overlaps(pDst, Lout, pSrc2, src2Len);
  const IppsFFT::TReals copy(aliased ? Lout : 0);
  if (aliased && copy.Get() == nullptr) return ippStsMemAllocErr;
  double* out = aliased ? copy.Get() : pDst;
  IppStatus st = ippStsNoErr;
  if (Lout < kDirectOutputs || lv < kDirectShortLength) {
    ConvDirect(u, lu, v, lv, out);
  } else if (lu < 3 * lv) {
    st = ConvOneTransform(u, lu, v, lv, out);
  } else {
    st = ConvOverlapSave(u, lu, v, lv, out);
  }
  if (st == ippStsNoErr && out != pDst) std::memcpy(pDst, out, sizeof(double) * static_cast<size_t>(Lout));
  return st;
}

}  // namespace IppInternal
