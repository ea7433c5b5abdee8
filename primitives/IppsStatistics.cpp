// Statistics, norms, dot products and normalisation.
//
// Every sum is carried in x87 extended precision (long double, a 64-bit
// significand) and rounded once to the output type. Where the summation
// order is part of the result (Sum, Mean, DotProd, the complex L2 norm) it is
// followed exactly; elsewhere several independent accumulators keep the
// floating-point unit busy and are joined at the end.
#include <cmath>
#include <limits>

#include "primitives/IppsCommon.h"

using IppsCommon::Extended;

namespace IppInternal {

namespace {
// A = B = 0; for each full group of four from the start, A += x[k] + x[k+2]
// and B += x[k+1] + x[k+3] (left to right); the len mod 4 remaining elements
// go to A in order. Returns A + B.
template <class T>
Extended PairedSum(const T* x, int len) noexcept {
  Extended a = 0, b = 0;
  int k = 0;
  for (; k + 4 <= len; k += 4) {
    a = (a + x[k]) + x[k + 2];
    b = (b + x[k + 1]) + x[k + 3];
  }
  for (; k < len; ++k) a += x[k];
  return a + b;
}
}  // namespace

IppStatus ippsSum_64f(const Ipp64f* pSrc, int len, Ipp64f* pSum) {
  FR_IPP_REQUIRE(pSrc, pSum);
  FR_IPP_REQUIRE_LEN(len);
  *pSum = static_cast<double>(PairedSum(pSrc, len));
  return ippStsNoErr;
}

IppStatus ippsMean_64f(const Ipp64f* pSrc, int len, Ipp64f* pMean) {
  FR_IPP_REQUIRE(pSrc, pMean);
  FR_IPP_REQUIRE_LEN(len);
  *pMean = static_cast<double>(PairedSum(pSrc, len) / static_cast<Extended>(len));
  return ippStsNoErr;
}

// The same pairing, but the two accumulators are joined before the remaining
// elements are added; the hint is ignored.
IppStatus ippsMean_32f(const Ipp32f* pSrc, int len, Ipp32f* pMean, IppHintAlgorithm) {
  FR_IPP_REQUIRE(pSrc, pMean);
  FR_IPP_REQUIRE_LEN(len);
  Extended a = 0, b = 0;
  int k = 0;
  for (; k + 4 <= len; k += 4) {
    a = (a + pSrc[k]) + pSrc[k + 2];
    b = (b + pSrc[k + 1]) + pSrc[k + 3];
  }
  Extended s = a + b;
  for (; k < len; ++k) s += pSrc[k];
  *pMean = static_cast<float>(s / static_cast<Extended>(len));
  return ippStsNoErr;
}

// Sample deviation: f = len*S2 - S1^2; sqrt(f / (len*(len - 1))) when f > 0,
// else 0. Needs two elements.
IppStatus ippsStdDev_64f(const Ipp64f* pSrc, int len, Ipp64f* pStdDev) {
  FR_IPP_REQUIRE(pSrc, pStdDev);
  if (len < 2) return ippStsSizeErr;
  Extended s1[4] = {0, 0, 0, 0}, s2[4] = {0, 0, 0, 0};
  int k = 0;
  for (; k + 4 <= len; k += 4) {
    for (int j = 0; j < 4; ++j) {
      const Extended x = pSrc[k + j];
      s1[j] += x;
      s2[j] += x * x;
    }
  }
  for (; k < len; ++k) {
    const Extended x = pSrc[k];
    s1[0] += x;
    s2[0] += x * x;
  }
  const Extended S1 = (s1[0] + s1[2]) + (s1[1] + s1[3]);
  const Extended S2 = (s2[0] + s2[2]) + (s2[1] + s2[3]);
  const Extended n = len;
  const Extended f = n * S2 - S1 * S1;
  *pStdDev = f > 0 ? static_cast<double>(std::sqrt(f / (n * (n - 1)))) : 0.0;
  return ippStsNoErr;
}

// Max replaces the running value when it is less than the element; Min keeps
// it when it is less than or equal to the element and replaces it otherwise
// (so a NaN element replaces it). The index is that of the element last
// taken; ties keep the first. A null pIndx writes no index.
IppStatus ippsMaxIndx_64f(const Ipp64f* pSrc, int len, Ipp64f* pMax, int* pIndx) {
  FR_IPP_REQUIRE(pSrc, pMax);
  FR_IPP_REQUIRE_LEN(len);
  double m = pSrc[0];
  int at = 0;
  for (int i = 1; i < len; ++i) {
    if (m < pSrc[i]) {
      m = pSrc[i];
      at = i;
    }
  }
  *pMax = m;
  if (pIndx != nullptr) *pIndx = at;
  return ippStsNoErr;
}

IppStatus ippsMinIndx_64f(const Ipp64f* pSrc, int len, Ipp64f* pMin, int* pIndx) {
  FR_IPP_REQUIRE(pSrc, pMin);
  FR_IPP_REQUIRE_LEN(len);
  double m = pSrc[0];
  int at = 0;
  for (int i = 1; i < len; ++i) {
    if (!(m <= pSrc[i])) {
      m = pSrc[i];
      at = i;
    }
  }
  *pMin = m;
  if (pIndx != nullptr) *pIndx = at;
  return ippStsNoErr;
}

IppStatus ippsMax_64f(const Ipp64f* pSrc, int len, Ipp64f* pMax) { return ippsMaxIndx_64f(pSrc, len, pMax, nullptr); }
IppStatus ippsMin_64f(const Ipp64f* pSrc, int len, Ipp64f* pMin) { return ippsMinIndx_64f(pSrc, len, pMin, nullptr); }

// One accumulator, first to last.
IppStatus ippsDotProd_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, int len, Ipp64f* pDp) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDp);
  FR_IPP_REQUIRE_LEN(len);
  Extended s = 0;
  for (int i = 0; i < len; ++i) s += static_cast<Extended>(pSrc1[i]) * pSrc2[i];
  *pDp = static_cast<double>(s);
  return ippStsNoErr;
}

// No conjugation: re = sum(x.re*y.re - x.im*y.im), im = sum(x.re*y.im + x.im*y.re).
IppStatus ippsDotProd_64fc(const Ipp64fc* pSrc1, const Ipp64fc* pSrc2, int len, Ipp64fc* pDp) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDp);
  FR_IPP_REQUIRE_LEN(len);
  Extended re = 0, im = 0;
  for (int i = 0; i < len; ++i) {
    const Extended xr = pSrc1[i].re, xi = pSrc1[i].im, yr = pSrc2[i].re, yi = pSrc2[i].im;
    re += xr * yr - xi * yi;
    im += xr * yi + xi * yr;
  }
  *pDp = {static_cast<double>(re), static_cast<double>(im)};
  return ippStsNoErr;
}

// The integer products summed in extended precision, times 2^-s with s
// clamped to [-31, 93], saturated to the 32-bit range, then rounded half to
// even.
IppStatus ippsDotProd_32s_Sfs(const Ipp32s* pSrc1, const Ipp32s* pSrc2, int len, Ipp32s* pDp, int scaleFactor) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDp);
  FR_IPP_REQUIRE_LEN(len);
  Extended s = 0;
  for (int i = 0; i < len; ++i) s += static_cast<Extended>(static_cast<int64_t>(pSrc1[i]) * pSrc2[i]);
  const int sf = scaleFactor < -31 ? -31 : (scaleFactor > 93 ? 93 : scaleFactor);
  Extended t = s * __builtin_ldexpl(1.0L, -sf);
  if (t > 2147483647.0L) t = 2147483647.0L;
  if (t < -2147483648.0L) t = -2147483648.0L;
  *pDp = static_cast<Ipp32s>(IppsCommon::RoundHalfEven(t));
  return ippStsNoErr;
}

IppStatus ippsNormDiff_L1_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, int len, Ipp64f* pNorm) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pNorm);
  FR_IPP_REQUIRE_LEN(len);
  Extended acc[4] = {0, 0, 0, 0};
  int i = 0;
  for (; i + 4 <= len; i += 4) {
    for (int j = 0; j < 4; ++j) acc[j] += std::fabs(static_cast<Extended>(pSrc1[i + j]) - pSrc2[i + j]);
  }
  for (; i < len; ++i) acc[0] += std::fabs(static_cast<Extended>(pSrc1[i]) - pSrc2[i]);
  *pNorm = static_cast<double>((acc[0] + acc[2]) + (acc[1] + acc[3]));
  return ippStsNoErr;
}

IppStatus ippsNormDiff_L2_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, int len, Ipp64f* pNorm) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pNorm);
  FR_IPP_REQUIRE_LEN(len);
  Extended acc[4] = {0, 0, 0, 0};
  int i = 0;
  for (; i + 4 <= len; i += 4) {
    for (int j = 0; j < 4; ++j) {
      const Extended d = static_cast<Extended>(pSrc1[i + j]) - pSrc2[i + j];
      acc[j] += d * d;
    }
  }
  for (; i < len; ++i) {
    const Extended d = static_cast<Extended>(pSrc1[i]) - pSrc2[i];
    acc[0] += d * d;
  }
  *pNorm = static_cast<double>(std::sqrt((acc[0] + acc[2]) + (acc[1] + acc[3])));
  return ippStsNoErr;
}

// max |x - y| starting from 0; a NaN difference never wins. The largest of
// the differences rounded to double is the rounded largest difference.
IppStatus ippsNormDiff_Inf_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, int len, Ipp64f* pNorm) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pNorm);
  FR_IPP_REQUIRE_LEN(len);
  double m = 0;
  for (int i = 0; i < len; ++i) {
    const double d = std::fabs(pSrc1[i] - pSrc2[i]);
    m = d > m ? d : m;
  }
  *pNorm = m;
  return ippStsNoErr;
}

// Even indices go to one accumulator, odd ones to another (a last unpaired
// element to the first); the result is sqrt(second + first).
IppStatus ippsNorm_L2_64fc64f(const Ipp64fc* pSrc, int len, Ipp64f* pNorm) {
  FR_IPP_REQUIRE(pSrc, pNorm);
  FR_IPP_REQUIRE_LEN(len);
  Extended first = 0, second = 0;
  int i = 0;
  for (; i + 2 <= len; i += 2) {
    const Extended a = pSrc[i].re, b = pSrc[i].im, c = pSrc[i + 1].re, d = pSrc[i + 1].im;
    first += a * a + b * b;
    second += c * c + d * d;
  }
  if (i < len) {
    const Extended a = pSrc[i].re, b = pSrc[i].im;
    first += a * a + b * b;
  }
  *pNorm = static_cast<double>(std::sqrt(second + first));
  return ippStsNoErr;
}

namespace {
// |vDiv| below the smallest normal (or NaN) is refused. The limit is the
// smallest normal of the divisor's own type, given as that type: a long
// double literal of the same digits lies slightly above the double value and
// would refuse the smallest normal itself.
inline bool TooSmall(Extended vDiv, Extended ALimit) noexcept {
  const Extended a = vDiv < 0 ? -vDiv : vDiv;
  return !(a >= ALimit);
}
}  // namespace

// (x - vSub) * r with r = 1/vDiv in extended precision.
IppStatus ippsNormalize_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len, Ipp64f vSub, Ipp64f vDiv) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (TooSmall(vDiv, std::numeric_limits<double>::min())) return ippStsDivByZeroErr;
  const Extended r = 1.0L / vDiv, sub = vSub;
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<double>((pSrc[i] - sub) * r);
  return ippStsNoErr;
}

IppStatus ippsNormalize_32f(const Ipp32f* pSrc, Ipp32f* pDst, int len, Ipp32f vSub, Ipp32f vDiv) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (TooSmall(vDiv, std::numeric_limits<float>::min())) return ippStsDivByZeroErr;
  const Extended r = 1.0L / vDiv, sub = vSub;
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<float>((pSrc[i] - sub) * r);
  return ippStsNoErr;
}

IppStatus ippsNormalize_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, int len, Ipp64fc vSub, Ipp64f vDiv) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (TooSmall(vDiv, std::numeric_limits<double>::min())) return ippStsDivByZeroErr;
  const Extended r = 1.0L / vDiv, subRe = vSub.re, subIm = vSub.im;
  for (int i = 0; i < len; ++i) {
    pDst[i] = {static_cast<double>((pSrc[i].re - subRe) * r), static_cast<double>((pSrc[i].im - subIm) * r)};
  }
  return ippStsNoErr;
}

}  // namespace IppInternal
