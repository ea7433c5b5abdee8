// Mirroring of three- and four-channel byte images: ippiMirror_8u_C3R,
// ippiMirror_8u_C4R and the in-place ippiMirror_8u_C3IR.
//
// Reversing a row is the only step that is not a plain row copy. Four-byte
// pixels are reversed four at a time with an SSE2 lane shuffle; three-byte
// pixels sixteen at a time (48 bytes, three registers) with SSSE3 byte
// shuffles when the processor has them (checked once at run time), and one
// pixel at a time otherwise and for the last few pixels of a row.
#include <immintrin.h>

#include <array>
#include <cstring>

#include "primitives/IppiCommon.h"

namespace IppInternal {

namespace {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;

template <int P>
inline void SwapPixel(Ipp8u* a, Ipp8u* b) noexcept {
  Ipp8u t[P];
  std::memcpy(t, a, P);
  std::memmove(a, b, P);
  std::memcpy(b, t, P);
}

// ---- four-byte pixels

inline __m128i Reverse4(__m128i v) noexcept { return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)); }

// dst[x] = src[w - 1 - x] for pixels x in [0, w); the rows do not overlap.
void ReverseCopy4(const Ipp8u* src, Ipp8u* dst, int w) noexcept {
  int x = 0;
  for (; x + 4 <= w; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * (w - 4 - x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), Reverse4(v));
  }
  for (; x < w; ++x) std::memcpy(dst + 4 * x, src + 4 * (w - 1 - x), 4);
}

// Exchanges a[x] with b[w - 1 - x] for pixels x in [0, n); a and b are the
// same row (n = w / 2) or rows that do not overlap (n = w).
void SwapReversed4(Ipp8u* a, Ipp8u* b, int w, int n) noexcept {
  int x = 0;
  for (; x + 4 <= n; x += 4) {
    __m128i* pa = reinterpret_cast<__m128i*>(a + 4 * x);
    __m128i* pb = reinterpret_cast<__m128i*>(b + 4 * (w - 4 - x));
    const __m128i va = _mm_loadu_si128(pa), vb = _mm_loadu_si128(pb);
    _mm_storeu_si128(pa, Reverse4(vb));
    _mm_storeu_si128(pb, Reverse4(va));
  }
  for (; x < n; ++x) SwapPixel<4>(a + 4 * x, b + 4 * (w - 1 - x));
}

// ---- three-byte pixels

// Byte shuffle masks for reversing 16 three-byte pixels held in three
// registers: output register o takes byte k from input register i at
// kMasks[o][i][k], or nothing (0x80).
struct TMasks3 {
  alignas(16) std::array<std::array<std::array<Ipp8u, 16>, 3>, 3> M;
};
constexpr TMasks3 MakeMasks3() {
  TMasks3 m{};
  for (int o = 0; o < 3; ++o)
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 16; ++k) {
        const int out = 16 * o + k;                        // byte of the reversed block
        const int in = 3 * (15 - out / 3) + out % 3 - 16 * i;  // its byte in input register i
        m.M[o][i][k] = (in >= 0 && in < 16) ? static_cast<Ipp8u>(in) : Ipp8u{0x80};
      }
  return m;
}
constexpr TMasks3 kMasks3 = MakeMasks3();

struct TBlock3 {
  __m128i R[3];
};

__attribute__((target("ssse3"))) inline TBlock3 Reverse3(const Ipp8u* p) noexcept {
  __m128i in[3];
  for (int i = 0; i < 3; ++i) in[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
  TBlock3 r;
  for (int o = 0; o < 3; ++o) {
    __m128i v = _mm_setzero_si128();
    for (int i = 0; i < 3; ++i)
      v = _mm_or_si128(v, _mm_shuffle_epi8(in[i], _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks3.M[o][i].data()))));
    r.R[o] = v;
  }
  return r;
}
__attribute__((target("ssse3"))) inline void Store3(Ipp8u* p, const TBlock3& b) noexcept {
  for (int o = 0; o < 3; ++o) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * o), b.R[o]);
}

__attribute__((target("ssse3"))) int ReverseCopy3Ssse3(const Ipp8u* src, Ipp8u* dst, int w) noexcept {
  int x = 0;
  for (; x + 16 <= w; x += 16) Store3(dst + 3 * x, Reverse3(src + 3 * (w - 16 - x)));
  return x;
}
__attribute__((target("ssse3"))) int SwapReversed3Ssse3(Ipp8u* a, Ipp8u* b, int w, int n) noexcept {
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    Ipp8u* pa = a + 3 * x;
    Ipp8u* pb = b + 3 * (w - 16 - x);
    const TBlock3 ra = Reverse3(pa), rb = Reverse3(pb);
    Store3(pa, rb);
    Store3(pb, ra);
  }
  return x;
}

void ReverseCopy3(const Ipp8u* src, Ipp8u* dst, int w) noexcept {
  int x = IppiCommon::UseSsse3() ? ReverseCopy3Ssse3(src, dst, w) : 0;
  for (; x < w; ++x) std::memcpy(dst + 3 * x, src + 3 * (w - 1 - x), 3);
}
void SwapReversed3(Ipp8u* a, Ipp8u* b, int w, int n) noexcept {
  int x = IppiCommon::UseSsse3() ? SwapReversed3Ssse3(a, b, w, n) : 0;
  for (; x < n; ++x) SwapPixel<3>(a + 3 * x, b + 3 * (w - 1 - x));
}

template <int P>
void ReverseCopy(const Ipp8u* src, Ipp8u* dst, int w) noexcept {
  if constexpr (P == 4) ReverseCopy4(src, dst, w); else ReverseCopy3(src, dst, w);
}
template <int P>
void SwapReversed(Ipp8u* a, Ipp8u* b, int w, int n) noexcept {
  if constexpr (P == 4) SwapReversed4(a, b, w, n); else SwapReversed3(a, b, w, n);
}

void SwapBytes(Ipp8u* a, Ipp8u* b, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i) {
    const Ipp8u t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

bool ValidAxis(IppiAxis flip) noexcept {
  return flip == ippAxsHorizontal || flip == ippAxsVertical || flip == ippAxsBoth;
}

template <int P>
IppStatus MirrorInPlace(Ipp8u* p, int step, IppiSize roi, IppiAxis flip) noexcept {
  const int w = roi.width, h = roi.height;
  const size_t bytes = static_cast<size_t>(w) * P;
  if (flip == ippAxsVertical) {
    for (int y = 0; y < h; ++y) SwapReversed<P>(Row(p, step, y), Row(p, step, y), w, w / 2);
    return ippStsNoErr;
  }
  for (int y = 0; y < h / 2; ++y) {
    Ipp8u* a = Row(p, step, y);
    Ipp8u* b = Row(p, step, h - 1 - y);
    if (flip == ippAxsHorizontal) SwapBytes(a, b, bytes); else SwapReversed<P>(a, b, w, w);
  }
  if (flip == ippAxsBoth && h % 2 == 1) {
    Ipp8u* m = Row(p, step, h / 2);
    SwapReversed<P>(m, m, w, w / 2);
  }
  return ippStsNoErr;
}

template <int P>
IppStatus Mirror(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roi, IppiAxis flip) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  if (roi.width < 1 || roi.height < 1) return ippStsSizeErr;
  if (!ValidAxis(flip)) return ippStsMirrorFlipErr;
  if (StepTooSmall(srcStep, roi.width, P) || StepTooSmall(dstStep, roi.width, P)) return ippStsStepErr;
  // The same image given as source and destination is mirrored in place
  // rather than read while it is being overwritten.
  if (pSrc == pDst && srcStep == dstStep) return MirrorInPlace<P>(pDst, dstStep, roi, flip);
  const int w = roi.width, h = roi.height;
  for (int y = 0; y < h; ++y) {
    const Ipp8u* s = Row(pSrc, srcStep, flip == ippAxsVertical ? y : h - 1 - y);
    Ipp8u* d = Row(pDst, dstStep, y);
    if (flip == ippAxsHorizontal) std::memcpy(d, s, static_cast<size_t>(w) * P); else ReverseCopy<P>(s, d, w);
  }
  return ippStsNoErr;
}

}  // namespace

IppStatus ippiMirror_8u_C3R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roiSize, IppiAxis flip) {
  return Mirror<3>(pSrc, srcStep, pDst, dstStep, roiSize, flip);
}
IppStatus ippiMirror_8u_C4R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roiSize, IppiAxis flip) {
  return Mirror<4>(pSrc, srcStep, pDst, dstStep, roiSize, flip);
}
IppStatus ippiMirror_8u_C3IR(Ipp8u* pSrcDst, int srcDstStep, IppiSize roiSize, IppiAxis flip) {
  FR_IPP_REQUIRE(pSrcDst);
  if (roiSize.width < 1 || roiSize.height < 1) return ippStsSizeErr;
  if (!ValidAxis(flip)) return ippStsMirrorFlipErr;
  if (StepTooSmall(srcDstStep, roiSize.width, 3)) return ippStsStepErr;
  return MirrorInPlace<3>(pSrcDst, srcDstStep, roiSize, flip);
}

}  // namespace IppInternal
