// Element-wise mathematical functions: absolute value, square, square root,
// exponential, logarithm, and the complex square, square root, magnitude,
// phase and power spectrum.
#include <cmath>
#include <cstring>
#include <limits>

#include "primitives/IppsCommon.h"
#include "primitives/IppsExp.h"
#include "primitives/LibCDispatcher.h"

using IppsCommon::Extended;

namespace IppInternal {

IppStatus ippsAbs_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = std::fabs(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsAbs_64f_I(Ipp64f* pSrcDst, int len) { return ippsAbs_64f(pSrcDst, pSrcDst, len); }

IppStatus ippsSqr_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] * pSrc[i];
  return ippStsNoErr;
}

IppStatus ippsSqr_64f_I(Ipp64f* pSrcDst, int len) { return ippsSqr_64f(pSrcDst, pSrcDst, len); }

// In place: x > 0 or NaN gives sqrt(x); x < 0 gives NaN and the warning
// ippStsSqrtNegArg; a zero of either sign stays as it is.
IppStatus ippsSqrt_64f_I(Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  int negatives = 0;
  for (int i = 0; i < len; ++i) {
    const double x = pSrcDst[i];
    negatives += x < 0;
    pSrcDst[i] = x < 0 ? kNaN : (x == 0 ? x : std::sqrt(x));
  }
  return negatives != 0 ? ippStsSqrtNegArg : ippStsNoErr;
}

// Out of place: x >= 0 gives sqrt(x); anything else (negative or NaN) gives
// NaN and the warning.
IppStatus ippsSqrt_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  int bad = 0;
  for (int i = 0; i < len; ++i) {
    const double x = pSrc[i];
    const bool ok = x >= 0;
    bad += !ok;
    pDst[i] = ok ? std::sqrt(x) : kNaN;
  }
  return bad != 0 ? ippStsSqrtNegArg : ippStsNoErr;
}

namespace {

// e^x for every element. Up to three elements: the library exponential of
// each. Otherwise the elements are screened (NaN, overflow, underflow) and
// the rest go in groups of four, formed from the end of the vector toward its
// start, through the fdlibm kernel; the one to three unscreened elements left
// over at the start take the library exponential. A lane's kernel result
// does not depend on its group, so one pass computes every element with the
// kernel and the leftover elements (the first U mod 4 unscreened ones, U the
// number of unscreened elements) are redone afterwards from their saved
// values, which also makes the in-place form safe.
IppStatus ExpVector(const Ipp64f* pSrc, Ipp64f* pDst, int len) noexcept {
  if (len <= 3) {
    for (int i = 0; i < len; ++i) pDst[i] = LibCDispatcher::exp(pSrc[i]);
    return ippStsNoErr;
  }
  int leftPos[3];
  double leftVal[3];
  int found = 0;
  for (int i = 0; i < len && found < 3; ++i) {
    double screened;
    if (!IppsExp::Screen(pSrc[i], screened)) {
      leftPos[found] = i;
      leftVal[found] = pSrc[i];
      ++found;
    }
  }
  // Branch-free: the screening and the kernel for every element (no
  // mispredicted branches on mixed data; GCC 12 does not vectorise it for
  // SSE2, which lacks packed 64-bit conversions); screened elements run the
  // kernel on 0.0 and take their screened value. Every element runs the one
  // scalar kernel (IppsExp::Kernel, inlined here), which the tests compare
  // against bit for bit.
  int unscreened = 0;
  for (int i = 0; i < len; ++i) {
    const double x = pSrc[i];
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    const uint32_t hi = static_cast<uint32_t>(u >> 32);
    const uint32_t ahi = hi & 0x7fffffffu;
    const bool negative = (hi >> 31) != 0;
    const bool nan = x != x;
    const bool big = !negative && ahi >= 0x40862E42u;
    const bool small = negative && ahi >= 0x4086232Bu;
    const bool screened = nan || big || small;
    const double v = IppsExp::Kernel(screened ? 0.0 : x);
    pDst[i] = screened ? (nan ? x + x : (big ? __builtin_inf() : 0.0)) : v;
    unscreened += screened ? 0 : 1;
  }
  for (int j = 0; j < unscreened % 4; ++j) pDst[leftPos[j]] = LibCDispatcher::exp(leftVal[j]);
  return ippStsNoErr;
}

// ln x: a set sign bit (negative numbers, -0.0, negative NaNs) gives NaN and
// ippStsLnNegArg; a positive NaN gives NaN without a warning; +0.0 gives -inf
// and ippStsLnZeroArg; the status is the warning of the first element that
// raised one.
IppStatus LnVector(const Ipp64f* pSrc, Ipp64f* pDst, int len) noexcept {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  IppStatus status = ippStsNoErr;
  for (int i = 0; i < len; ++i) {
    const double x = pSrc[i];
    if (std::signbit(x)) {
      pDst[i] = kNaN;
      if (status == ippStsNoErr) status = ippStsLnNegArg;
    } else if (x != x) {
      pDst[i] = kNaN;
    } else if (x == 0) {
      pDst[i] = -kInf;
      if (status == ippStsNoErr) status = ippStsLnZeroArg;
    } else {
      // glibc's log is within one unit in the last place of the exact value.
      pDst[i] = std::log(x);
    }
  }
  return status;
}

}  // namespace

IppStatus ippsExp_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  return ExpVector(pSrc, pDst, len);
}

IppStatus ippsExp_64f_I(Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  return ExpVector(pSrcDst, pSrcDst, len);
}

IppStatus ippsLn_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  return LnVector(pSrc, pDst, len);
}

IppStatus ippsLn_64f_I(Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  return LnVector(pSrcDst, pSrcDst, len);
}

// ---- complex

namespace {
// re' = (re - im)(im + re), im' = 2(re * im), in extended precision.
inline Ipp64fc SqrComplex(Ipp64fc z) noexcept {
  const Extended re = z.re, im = z.im;
  return {static_cast<double>((re - im) * (im + re)), static_cast<double>(2 * (re * im))};
}

// The principal square root: with hx = x/2, hy = y/2 and r = |(hx, hy)|:
// hx > 0 gives (s, hy/s) with s = sqrt(r + hx); hx = 0 (or x NaN) gives
// (t, -t) with t = sqrt(-hy) when hy < 0 and (t, t) with t = sqrt(hy)
// otherwise; hx < 0 gives (hy/t, t) with t = sqrt(r - hx), negated when
// hy < 0 (-0.0 counts as not negative).
inline Ipp64fc SqrtComplex(Ipp64fc z) noexcept {
  const Extended hx = 0.5L * z.re, hy = 0.5L * z.im;
  const Extended r = std::sqrt(hx * hx + hy * hy);
  if (hx > 0) {
    const Extended s = std::sqrt(r + hx);
    return {static_cast<double>(s), static_cast<double>(hy / s)};
  }
  if (hx < 0) {
    Extended t = std::sqrt(r - hx);
    if (hy < 0) t = -t;
    return {static_cast<double>(hy / t), static_cast<double>(t)};
  }
  if (hy < 0) {
    const Extended t = std::sqrt(-hy);
    return {static_cast<double>(t), static_cast<double>(-t)};
  }
  const Extended t = std::sqrt(hy);
  return {static_cast<double>(t), static_cast<double>(t)};
}
}  // namespace

IppStatus ippsSqr_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = SqrComplex(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsSqr_64fc_I(Ipp64fc* pSrcDst, int len) { return ippsSqr_64fc(pSrcDst, pSrcDst, len); }

IppStatus ippsSqrt_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = SqrtComplex(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsSqrt_64fc_I(Ipp64fc* pSrcDst, int len) { return ippsSqrt_64fc(pSrcDst, pSrcDst, len); }

// sqrt(re^2 + im^2), the sum formed in extended precision.
IppStatus ippsMagnitude_64fc(const Ipp64fc* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) {
    const Extended re = pSrc[i].re, im = pSrc[i].im;
    pDst[i] = static_cast<double>(std::sqrt(re * re + im * im));
  }
  return ippStsNoErr;
}

IppStatus ippsPhase_64fc(const Ipp64fc* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = LibCDispatcher::atan2(pSrc[i].im, pSrc[i].re);
  return ippStsNoErr;
}

IppStatus ippsPowerSpectr_64fc(const Ipp64fc* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) {
    const Extended re = pSrc[i].re, im = pSrc[i].im;
    pDst[i] = static_cast<double>(im * im + re * re);
  }
  return ippStsNoErr;
}

}  // namespace IppInternal
