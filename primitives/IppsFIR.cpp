// FIR filter of real samples: y[n] = sum over k < tapsLen of h[k]*x[n-k],
// with x[-1], x[-2], ... from the state's delay line, which each call leaves
// holding its last tapsLen inputs so that consecutive calls filter one
// continuous signal.
//
// Direct method: extended-precision accumulators over the reversed taps, four
// outputs at a time; the first tapsLen outputs read the delay line followed
// by the new input, the rest read pSrc directly. With more than 31 taps the
// state also holds a real transform of size N = 2^(e+1) (2^e > tapsLen) and
// the spectrum of the taps; calls of more than 511 samples then run
// overlap-save in blocks of N - tapsLen + 1 outputs.
#include <algorithm>
#include <cstring>
#include <new>

#include "primitives/IppsCommon.h"
#include "primitives/IppsFFT.h"

using IppsCommon::Extended;

namespace {
constexpr int32_t kFirKind = 0x46493133;
constexpr int kDirectMaxTaps = 31;
constexpr int kDirectMaxIters = 511;
}  // namespace

// One AlignedAlloc block: this header, then the reversed taps (tapsLen
// doubles), the delay line (tapsLen doubles, oldest first) followed by room
// for tapsLen inputs, and for the transform method the taps' spectrum and a
// block buffer (N + 2 doubles each).
struct IppsFIRState_64f {
  int32_t Kind;
  int32_t TapsLen;
  int32_t RoundedLen;  // tapsLen rounded up to a multiple of 4, plus one
  int32_t Owned;
  double* Taps;
  double* Dly;
  double* Spectrum;  // null without the transform method
  double* Block;
  IppsFFT::TRealTransform Fft;
};

namespace {

// y[r] = sum over j < T of hr[j]*base[r + j], r < ACount.
void FirKernel(const double* base, const double* hr, int T, double* y, int64_t ACount) noexcept {
  int64_t r = 0;
  for (; r + 4 <= ACount; r += 4) {
    Extended a0 = 0, a1 = 0, a2 = 0, a3 = 0;
    const double* b = base + r;
    for (int j = 0; j < T; ++j) {
      const Extended h = hr[j];
      a0 += h * b[j];
      a1 += h * b[j + 1];
      a2 += h * b[j + 2];
      a3 += h * b[j + 3];
    }
    y[r] = static_cast<double>(a0);
    y[r + 1] = static_cast<double>(a1);
    y[r + 2] = static_cast<double>(a2);
    y[r + 3] = static_cast<double>(a3);
  }
  for (; r < ACount; ++r) {
    Extended a = 0;
    for (int j = 0; j < T; ++j) a += static_cast<Extended>(hr[j]) * base[r + j];
    y[r] = static_cast<double>(a);
  }
}

void FirDirect(IppsFIRState_64f* s, const double* x, double* y, int64_t n) noexcept {
  const int T = s->TapsLen;
  const int64_t first = std::min<int64_t>(n, T);
  std::memcpy(s->Dly + T, x, sizeof(double) * static_cast<size_t>(first));
  FirKernel(s->Dly + 1, s->Taps, T, y, first);
  if (n > T) FirKernel(x + 1, s->Taps, T, y + T, n - T);
}

void FirTransform(IppsFIRState_64f* s, const double* x, double* y, int64_t n) noexcept {
  const int T = s->TapsLen;
  const int64_t N = s->Fft.Length(), S = N - T + 1;
  double* b = s->Block;
  for (int64_t o = 0; o < n; o += S) {
    const int64_t start = o - T + 1;
    for (int64_t t = 0; t < N; ++t) {
      const int64_t i = start + t;
      b[t] = i < 0 ? s->Dly[T + i] : (i < n ? x[i] : 0.0);
    }
    s->Fft.Forward(b, b);
    IppsFFT::MulSpectrum(reinterpret_cast<const Ipp64fc*>(s->Spectrum), reinterpret_cast<Ipp64fc*>(b), N / 2 + 1);
    s->Fft.Inverse(b, b);
    std::memcpy(y + o, b + T - 1, sizeof(double) * static_cast<size_t>(std::min(S, n - o)));
  }
}

// The last tapsLen inputs of delay line and new input become the delay line.
void UpdateDelayLine(IppsFIRState_64f* s, const double* x, int64_t n) noexcept {
  const int T = s->TapsLen;
  if (n >= T) {
    std::memcpy(s->Dly, x + n - T, sizeof(double) * static_cast<size_t>(T));
  } else {
    std::memmove(s->Dly, s->Dly + n, sizeof(double) * static_cast<size_t>(T - n));
    std::memcpy(s->Dly + T - n, x, sizeof(double) * static_cast<size_t>(n));
  }
}

void Release(IppsFIRState_64f* s) noexcept {
  s->~IppsFIRState_64f();
  AlignedFree(s);
}

}  // namespace

namespace IppInternal {

IppStatus ippsFIRInitAlloc_64f(IppsFIRState_64f** ppState, const Ipp64f* pTaps, int tapsLen, const Ipp64f* pDlyLine) {
  FR_IPP_REQUIRE(ppState, pTaps);
  if (tapsLen < 1) return ippStsFIRLenErr;
  const int64_t T = tapsLen;
  int order = 0;
  int64_t N = 0;
  if (tapsLen > kDirectMaxTaps) {
    int e = 1;
    while ((int64_t{1} << e) <= T) ++e;
    order = e + 1;
    N = int64_t{1} << order;
  }
  const int64_t header = (static_cast<int64_t>(sizeof(IppsFIRState_64f)) + 31) & ~int64_t{31};
  const int64_t doubles = 3 * T + (N > 0 ? 2 * (N + 2) : 0);
  const int64_t bytes = header + 8 * doubles;
  if (bytes > INT32_MAX) return ippStsMemAllocErr;
  void* block = AlignedAlloc(static_cast<int32_t>(bytes));
  if (block == nullptr) return ippStsMemAllocErr;
  auto* s = new (block) IppsFIRState_64f{};
  auto* data = reinterpret_cast<double*>(static_cast<char*>(block) + header);
  s->Kind = kFirKind;
  s->TapsLen = tapsLen;
  s->RoundedLen = ((tapsLen + 3) & ~3) + 1;
  s->Owned = 1;
  s->Taps = data;
  s->Dly = data + T;
  for (int64_t j = 0; j < T; ++j) s->Taps[j] = pTaps[T - 1 - j];
  for (int64_t j = 0; j < T; ++j) s->Dly[T - 1 - j] = pDlyLine != nullptr ? pDlyLine[j] : 0.0;
  if (N > 0) {
    s->Spectrum = data + 3 * T;
    s->Block = s->Spectrum + N + 2;
    const IppStatus st = s->Fft.Init(order);
    if (st != ippStsNoErr) {
      Release(s);
      return st;
    }
    std::fill(s->Spectrum, s->Spectrum + N + 2, 0.0);
    std::memcpy(s->Spectrum, pTaps, sizeof(double) * static_cast<size_t>(T));
    s->Fft.Forward(s->Spectrum, s->Spectrum);
  }
  *ppState = s;
  return ippStsNoErr;
}

// A pDst that overlaps pSrc is filtered from a copy of the input, so no
// input is read after its output has replaced it.
IppStatus ippsFIR_64f(const Ipp64f* pSrc, Ipp64f* pDst, int numIters, IppsFIRState_64f* pState) {
  FR_IPP_REQUIRE(pState, pSrc, pDst);
  FR_IPP_REQUIRE_LEN(numIters);
  if (pState->Kind != kFirKind) return ippStsContextMatchErr;
  const int64_t n = numIters;
  const auto ps = reinterpret_cast<uintptr_t>(pSrc), pd = reinterpret_cast<uintptr_t>(pDst);
  const uintptr_t bytes = static_cast<uintptr_t>(n) * sizeof(double);
  const bool aliased = ps < pd + bytes && pd < ps + bytes;
  const IppsFFT::TReals copy(aliased ? n : 0);
  if (aliased && copy.Get() == nullptr) return ippStsMemAllocErr;
  const double* x = pSrc;
  if (aliased) {
    std::memcpy(copy.Get(), pSrc, bytes);
    x = copy.Get();
  }
  if (numIters > kDirectMaxIters && pState->Spectrum != nullptr) {
    FirTransform(pState, x, pDst, n);
  } else {
    FirDirect(pState, x, pDst, n);
  }
  UpdateDelayLine(pState, x, n);
  return ippStsNoErr;
}

IppStatus ippsFIRFree_64f(IppsFIRState_64f* pState) {
  FR_IPP_REQUIRE(pState);
  if (pState->Kind != kFirKind) return ippStsContextMatchErr;
  if (pState->Owned != 1) return ippStsNoErr;
  pState->Kind = 0;
  Release(pState);
  return ippStsNoErr;
}

}  // namespace IppInternal
