// Piecewise-linear look-up table on four-channel byte images:
// ippiLUT_Linear_8u_C4R. One 256-entry table per channel is built from the
// levels and values, then every channel byte is replaced by its entry.
#include <cstdint>

#include "primitives/IppiCommon.h"

namespace IppInternal {

namespace {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;
using IppsCommon::Extended;

inline Ipp8u ClampByte(Extended v) noexcept {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<Ipp8u>(static_cast<int>(v));
}

// The table of one channel. Levels and values are 32-bit integers: the
// differences and the slope are formed in extended precision, which holds
// every difference exactly, and the ranges are clamped to 0 ... 256 so that
// levels outside that span only cut the ranges short.
void BuildTable(const Ipp32s* AValues, const Ipp32s* ALevels, int n, Ipp8u ATable[256]) noexcept {
  // Entries below the first level and from the last level on map to
  // themselves; so do entries that no rising pair of levels covers.
  for (int i = 0; i < 256; ++i) ATable[i] = static_cast<Ipp8u>(i);
  for (int k = 0; k + 1 < n; ++k) {
    const int64_t lk = ALevels[k], lk1 = ALevels[k + 1];
    if (!(lk < lk1)) continue;
    const int64_t lo = lk < 0 ? 0 : (lk > 255 ? 255 : lk);
    const int64_t hi = lk1 > 256 ? 256 : (lk1 < 0 ? 0 : lk1);
    if (hi - lo == 1) {
      ATable[lo] = ClampByte(AValues[k]);
      continue;
    }
    const Extended s = (static_cast<Extended>(AValues[k + 1]) - AValues[k]) / (static_cast<Extended>(lk1) - lk);
    const Extended base = 0.5L + AValues[k] - s * lk;
    for (int64_t i = lo; i < hi; ++i) {
      // trunc toward zero, then clamped to 0 ... 255.
      const Extended v = base + s * static_cast<Extended>(i);
      ATable[i] = v >= 255 ? Ipp8u{255} : (v >= 1 ? static_cast<Ipp8u>(static_cast<int>(v)) : Ipp8u{0});
    }
  }
  const int64_t last = ALevels[n - 1];
  for (int64_t i = last < 0 ? 0 : last; i < 256; ++i) ATable[i] = static_cast<Ipp8u>(i);
}

}  // namespace

IppStatus ippiLUT_Linear_8u_C4R(const Ipp8u* pSrc, int srcStep, Ipp8u* pDst, int dstStep, IppiSize roiSize,
                                const Ipp32s* pValues[4], const Ipp32s* pLevels[4], int nLevels[4]) {
  FR_IPP_REQUIRE(pSrc, pDst, pValues, pLevels, nLevels);
  for (int c = 0; c < 4; ++c) {
    FR_IPP_REQUIRE(pValues[c], pLevels[c]);
    if (nLevels[c] < 2) return ippStsLUTNofLevelsErr;
  }
  if (roiSize.width < 1 || roiSize.height < 1) return ippStsSizeErr;
  if (StepTooSmall(srcStep, roiSize.width, 4) || StepTooSmall(dstStep, roiSize.width, 4)) return ippStsStepErr;
  Ipp8u table[4][256];
  for (int c = 0; c < 4; ++c) BuildTable(pValues[c], pLevels[c], nLevels[c], table[c]);
  for (int y = 0; y < roiSize.height; ++y) {
    const Ipp8u* s = Row(pSrc, srcStep, y);
    Ipp8u* d = Row(pDst, dstStep, y);
    for (int x = 0; x < roiSize.width; ++x) {
      d[4 * x] = table[0][s[4 * x]];
      d[4 * x + 1] = table[1][s[4 * x + 1]];
      d[4 * x + 2] = table[2][s[4 * x + 2]];
      d[4 * x + 3] = table[3][s[4 * x + 3]];
    }
  }
  return ippStsNoErr;
}

}  // namespace IppInternal
