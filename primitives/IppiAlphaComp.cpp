// Alpha composition of four-channel byte images with an alpha channel:
// ippiAlphaComp_8u_AC4R.
//
// Every product of two bytes is divided by 255 with rounding,
// D(x) = (x + (x >> 8) + 1) >> 8, which stays inside 16 bits for x up to
// 255 * 255, so the loops run on 16-bit lanes. The composition type is a
// template parameter, and one set of formulas serves the scalar tail (32-bit
// values), the SSE2 body (two pixels in eight 16-bit lanes) and, where the
// processor has it (checked once at run time), the AVX2 body (four pixels).
#include <immintrin.h>

#include <cstdint>

#include "primitives/IppiCommon.h"

namespace IppInternal {

namespace {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;

inline uint32_t D(uint32_t x) noexcept { return (x + (x >> 8) + 1) >> 8; }
inline uint32_t Sat(uint32_t x) noexcept { return x > 255 ? 255 : x; }
inline uint32_t Inv(uint32_t x) noexcept { return 255 - x; }

// Eight unsigned 16-bit lanes: two pixels of four channels. Products of two
// bytes and D of them stay below 2^16, and sums of two results below 2^15.
struct V16 {
  __m128i v;
};
inline V16 operator+(V16 a, V16 b) noexcept { return {_mm_add_epi16(a.v, b.v)}; }
inline V16 operator*(V16 a, V16 b) noexcept { return {_mm_mullo_epi16(a.v, b.v)}; }
inline V16 D(V16 x) noexcept {
  const __m128i one = _mm_set1_epi16(1);
  return {_mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x.v, _mm_srli_epi16(x.v, 8)), one), 8)};
}
inline V16 Sat(V16 x) noexcept { return {_mm_min_epi16(x.v, _mm_set1_epi16(255))}; }
inline V16 Inv(V16 x) noexcept { return {_mm_sub_epi16(_mm_set1_epi16(255), x.v)}; }

// The composition of colour (or alpha) values a, b whose pixels have alpha
// aa, ab; a and b are already premultiplied where the type asks for it.
// Stamped out once per lane type with that type's target attribute: a
// template cannot carry a different instruction set per instantiation.
#define FR_ALPHA_FORMULAS(ATTR, V)                                                          \
  template <int T>                                                                         \
  ATTR inline V Compose(V a, V b, V aa, V ab) noexcept {                                   \
    if constexpr (T == 0) return Sat(a + D(b * Inv(aa)));               /* Over */         \
    if constexpr (T == 1) return D(a * ab);                             /* In */           \
    if constexpr (T == 2) return D(a * Inv(ab));                        /* Out */          \
    if constexpr (T == 3) return Sat(D(a * ab) + D(b * Inv(aa)));       /* ATop */         \
    if constexpr (T == 4) return Sat(D(a * Inv(ab)) + D(b * Inv(aa)));  /* Xor */          \
    if constexpr (T == 5) return Sat(a + b);                            /* Plus */         \
  }                                                                                        \
  /* ATop keeps the alpha of the second image; the others compose alphas alike. */        \
  template <int T>                                                                         \
  ATTR inline V ComposeAlpha(V aa, V ab) noexcept {                                        \
    if constexpr (T == 3) return ab;                                                       \
    return Compose<T>(aa, ab, aa, ab);                                                     \
  }

#define FR_NO_ATTRIBUTE
FR_ALPHA_FORMULAS(FR_NO_ATTRIBUTE, uint32_t)
FR_ALPHA_FORMULAS(FR_NO_ATTRIBUTE, V16)

// Sixteen unsigned 16-bit lanes: four pixels.
struct V32 {
  __m256i v;
};
#define FR_AVX2 __attribute__((target("avx2")))
FR_AVX2 inline V32 operator+(V32 a, V32 b) noexcept { return {_mm256_add_epi16(a.v, b.v)}; }
FR_AVX2 inline V32 operator*(V32 a, V32 b) noexcept { return {_mm256_mullo_epi16(a.v, b.v)}; }
FR_AVX2 inline V32 D(V32 x) noexcept {
  return {_mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x.v, _mm256_srli_epi16(x.v, 8)), _mm256_set1_epi16(1)), 8)};
}
FR_AVX2 inline V32 Sat(V32 x) noexcept { return {_mm256_min_epi16(x.v, _mm256_set1_epi16(255))}; }
FR_AVX2 inline V32 Inv(V32 x) noexcept { return {_mm256_sub_epi16(_mm256_set1_epi16(255), x.v)}; }
FR_ALPHA_FORMULAS(FR_AVX2, V32)

template <int T, bool Premul>
FR_AVX2 inline __m256i ComposeFour(__m256i a, __m256i b) noexcept {
  const __m256i aa = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF);
  const __m256i ab = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(b, 0xFF), 0xFF);
  V32 ca{a}, cb{b};
  if constexpr (!Premul) {
    ca = D(ca * V32{aa});
    cb = D(cb * V32{ab});
  }
  const __m256i colour = Compose<T>(ca, cb, V32{aa}, V32{ab}).v;
  const __m256i alpha = ComposeAlpha<T>(V32{aa}, V32{ab}).v;
  const __m256i mask = _mm256_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0);
  return _mm256_or_si256(_mm256_andnot_si256(mask, colour), _mm256_and_si256(mask, alpha));
}

// Eight pixels per step; in-lane unpacking and packing keep the order.
template <int T, bool Premul>
FR_AVX2 int ComposeRowAvx2(const Ipp8u* s1, const Ipp8u* s2, Ipp8u* d, int w) noexcept {
  const __m256i zero = _mm256_setzero_si256();
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s1 + 4 * x));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s2 + 4 * x));
    const __m256i lo = ComposeFour<T, Premul>(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
    const __m256i hi = ComposeFour<T, Premul>(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * x), _mm256_packus_epi16(lo, hi));
  }
  return x;
}

// Two pixels at a time in 16-bit lanes: colours and alpha are composed
// separately and merged by a lane mask.
template <int T, bool Premul>
inline __m128i ComposeTwo(__m128i a, __m128i b) noexcept {
  const __m128i aa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF);
  const __m128i ab = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b, 0xFF), 0xFF);
  V16 ca{a}, cb{b};
  if constexpr (!Premul) {
    ca = D(ca * V16{aa});
    cb = D(cb * V16{ab});
  }
  const __m128i colour = Compose<T>(ca, cb, V16{aa}, V16{ab}).v;
  const __m128i alpha = ComposeAlpha<T>(V16{aa}, V16{ab}).v;
  const __m128i mask = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  return _mm_or_si128(_mm_andnot_si128(mask, colour), _mm_and_si128(mask, alpha));
}

template <int T, bool Premul>
void ComposeRow(const Ipp8u* s1, const Ipp8u* s2, Ipp8u* d, int w) noexcept {
  int x = IppiCommon::UseAvx2() ? ComposeRowAvx2<T, Premul>(s1, s2, d, w) : 0;
  const __m128i zero = _mm_setzero_si128();
  for (; x + 4 <= w; x += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1 + 4 * x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s2 + 4 * x));
    const __m128i lo = ComposeTwo<T, Premul>(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
    const __m128i hi = ComposeTwo<T, Premul>(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_packus_epi16(lo, hi));
  }
  for (; x < w; ++x) {
    const uint32_t aa = s1[4 * x + 3], ab = s2[4 * x + 3];
    for (int c = 0; c < 3; ++c) {
      uint32_t a = s1[4 * x + c], b = s2[4 * x + c];
      if constexpr (!Premul) {
        a = D(a * aa);
        b = D(b * ab);
      }
      d[4 * x + c] = static_cast<Ipp8u>(Compose<T>(a, b, aa, ab));
    }
    d[4 * x + 3] = static_cast<Ipp8u>(ComposeAlpha<T>(aa, ab));
  }
}

using TRowFn = void (*)(const Ipp8u*, const Ipp8u*, Ipp8u*, int) noexcept;
constexpr TRowFn kRows[12] = {
    ComposeRow<0, false>, ComposeRow<1, false>, ComposeRow<2, false>, ComposeRow<3, false>,
    ComposeRow<4, false>, ComposeRow<5, false>, ComposeRow<0, true>,  ComposeRow<1, true>,
    ComposeRow<2, true>,  ComposeRow<3, true>,  ComposeRow<4, true>,  ComposeRow<5, true>};

}  // namespace

#undef FR_ALPHA_FORMULAS
#undef FR_NO_ATTRIBUTE
#undef FR_AVX2

IppStatus ippiAlphaComp_8u_AC4R(const Ipp8u* pSrc1, int src1Step, const Ipp8u* pSrc2, int src2Step, Ipp8u* pDst,
                                int dstStep, IppiSize roiSize, IppiAlphaType alphaType) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  if (roiSize.width < 1 || roiSize.height < 1) return ippStsSizeErr;
  // The enumeration's base is int: a caller can pass any number, and only
  // 0 to 11 name a composition.
  if (alphaType < ippAlphaOver || alphaType > ippAlphaPlusPremul) return ippStsAlphaTypeErr;
  if (StepTooSmall(src1Step, roiSize.width, 4) || StepTooSmall(src2Step, roiSize.width, 4) ||
      StepTooSmall(dstStep, roiSize.width, 4))
    return ippStsStepErr;
  const TRowFn row = kRows[alphaType];
  for (int y = 0; y < roiSize.height; ++y)
    row(Row(pSrc1, src1Step, y), Row(pSrc2, src2Step, y), Row(pDst, dstStep, y), roiSize.width);
  return ippStsNoErr;
}

}  // namespace IppInternal
