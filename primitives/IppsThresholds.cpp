// Threshold operations. The comparison ippCmpGreater (4) clips from above;
// every other IppCmpOp value clips from below, as ippCmpLess does.
#include <cmath>

#include "primitives/IppsCommon.h"

using IppsCommon::Extended;

namespace IppInternal {

IppStatus ippsThreshold_LT_32s_I(Ipp32s* pSrcDst, int len, Ipp32s level) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] < level ? level : pSrcDst[i];
  return ippStsNoErr;
}

IppStatus ippsThreshold_GT_32s_I(Ipp32s* pSrcDst, int len, Ipp32s level) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] > level ? level : pSrcDst[i];
  return ippStsNoErr;
}

namespace {
// In place: greater: x becomes level unless level >= x (a NaN element becomes
// level); less: x becomes level when level > x (a NaN element stays).
template <class T>
IppStatus ThresholdInPlace(T* pSrcDst, int len, T level, IppCmpOp relOp) noexcept {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (relOp == ippCmpGreater) {
    for (int i = 0; i < len; ++i) pSrcDst[i] = level >= pSrcDst[i] ? pSrcDst[i] : level;
  } else {
    for (int i = 0; i < len; ++i) pSrcDst[i] = level > pSrcDst[i] ? level : pSrcDst[i];
  }
  return ippStsNoErr;
}
}  // namespace

IppStatus ippsThreshold_32f_I(Ipp32f* pSrcDst, int len, Ipp32f level, IppCmpOp relOp) {
  return ThresholdInPlace(pSrcDst, len, level, relOp);
}

IppStatus ippsThreshold_64f_I(Ipp64f* pSrcDst, int len, Ipp64f level, IppCmpOp relOp) {
  return ThresholdInPlace(pSrcDst, len, level, relOp);
}

// Out of place: greater: level when level < x, else x (NaN stays NaN); less:
// x when level <= x, else level (NaN becomes level).
IppStatus ippsThreshold_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len, Ipp64f level, IppCmpOp relOp) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (relOp == ippCmpGreater) {
    for (int i = 0; i < len; ++i) pDst[i] = level < pSrc[i] ? level : pSrc[i];
  } else {
    for (int i = 0; i < len; ++i) pDst[i] = level <= pSrc[i] ? pSrc[i] : level;
  }
  return ippStsNoErr;
}

namespace {
// Magnitude thresholds: with m = |z|^2 and L = level^2, greater scales z down
// to |z| = level when m > L; less scales it up when m < L and m != 0, and a
// zero z becomes (level, 0) (in place: only its real part is set).
template <bool InPlace>
inline void ThresholdComplex(const Ipp64fc& z, Ipp64fc& AOut, Extended level, bool AGreater) noexcept {
  const Extended re = z.re, im = z.im;
  const Extended m = re * re + im * im;
  const Extended l2 = level * level;
  if (AGreater ? m > l2 : (m < l2 && m != 0)) {
    const Extended f = std::sqrt(l2 / m);
    AOut = {static_cast<double>(re * f), static_cast<double>(im * f)};
  } else if (!AGreater && m < l2) {
    AOut.re = static_cast<double>(level);
    if (!InPlace) AOut.im = 0.0;
  } else if (!InPlace) {
    AOut = z;
  }
}
}  // namespace

IppStatus ippsThreshold_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, int len, Ipp64f level, IppCmpOp relOp) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (level < 0) return ippStsThreshNegLevelErr;
  for (int i = 0; i < len; ++i) ThresholdComplex<false>(pSrc[i], pDst[i], level, relOp == ippCmpGreater);
  return ippStsNoErr;
}

IppStatus ippsThreshold_64fc_I(Ipp64fc* pSrcDst, int len, Ipp64f level, IppCmpOp relOp) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (level < 0) return ippStsThreshNegLevelErr;
  for (int i = 0; i < len; ++i) ThresholdComplex<true>(pSrcDst[i], pSrcDst[i], level, relOp == ippCmpGreater);
  return ippStsNoErr;
}

}  // namespace IppInternal
