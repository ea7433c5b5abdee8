// Alpha composition of four-channel byte images with an alpha channel:
// ippiAlphaComp_8u_AC4R.
//
// Every product of two bytes is divided by 255 with rounding,
// D(x) = (x + (x >> 8) + 1) >> 8, which stays inside 16 bits for x up to
// 255 * 255, so the loops run on 16-bit lanes. The composition type is a
// template parameter: the per-pixel loop has no branch and the vectoriser
// sees straight arithmetic.
#include <cstdint>

#include "primitives/IppiCommon.h"

namespace IppInternal {

namespace {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;

inline uint32_t D(uint32_t x) noexcept { return (x + (x >> 8) + 1) >> 8; }
inline uint32_t Sat(uint32_t x) noexcept { return x > 255 ? 255 : x; }

// The composition of colour (or alpha) values a, b whose pixels have alpha
// aa, ab; a and b are already premultiplied where the type asks for it.
template <int T>
inline uint32_t Compose(uint32_t a, uint32_t b, uint32_t aa, uint32_t ab) noexcept {
  if constexpr (T == 0) return Sat(a + D(b * (255 - aa)));                // Over
  if constexpr (T == 1) return D(a * ab);                                 // In
  if constexpr (T == 2) return D(a * (255 - ab));                         // Out
  if constexpr (T == 3) return Sat(D(a * ab) + D(b * (255 - aa)));        // ATop
  if constexpr (T == 4) return Sat(D(a * (255 - ab)) + D(b * (255 - aa)));  // Xor
  if constexpr (T == 5) return Sat(a + b);                                // Plus
}

template <int T>
inline uint32_t ComposeAlpha(uint32_t aa, uint32_t ab) noexcept {
  if constexpr (T == 3) return ab;  // ATop keeps the alpha of the second image
  return Compose<T>(aa, ab, aa, ab);
}

template <int T, bool Premul>
void ComposeRow(const Ipp8u* s1, const Ipp8u* s2, Ipp8u* d, int w) noexcept {
  for (int x = 0; x < w; ++x) {
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
