// Real and complex floating-point arithmetic: element-wise with another
// vector or with a constant.
//
// A real element-wise result that is one IEEE operation (x + y, x * y, ...)
// is computed as that double operation: it is the exact result rounded once
// to double, which is what carrying the operation in extended precision and
// rounding on store aims at, without the double rounding that a detour
// through the 64-bit significand can add. Compound results (complex products
// and quotients, reciprocals of constants) are carried in extended precision
// and rounded once on store.
#include <cmath>
#include <limits>

#include "primitives/IppsCommon.h"

using IppsCommon::Extended;
using IppsCommon::FpuEquals;

namespace IppInternal {

// ---- vector with vector

IppStatus ippsAdd_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = pSrc1[i] + pSrc2[i];
  return ippStsNoErr;
}

IppStatus ippsMul_64f(const Ipp64f* pSrc1, const Ipp64f* pSrc2, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = pSrc1[i] * pSrc2[i];
  return ippStsNoErr;
}

IppStatus ippsMul_32f(const Ipp32f* pSrc1, const Ipp32f* pSrc2, Ipp32f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(len);
  // A product of two singles is exact in double; one rounding to single.
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<float>(double(pSrc1[i]) * double(pSrc2[i]));
  return ippStsNoErr;
}

IppStatus ippsAdd_64fc(const Ipp64fc* pSrc1, const Ipp64fc* pSrc2, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc1, pSrc2, pDst);
  FR_IPP_REQUIRE_LEN(len);
  return ippsAdd_64f(&pSrc1->re, &pSrc2->re, &pDst->re, 2 * len);
}

IppStatus ippsAdd_64f_I(const Ipp64f* pSrc, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] + pSrc[i];
  return ippStsNoErr;
}

IppStatus ippsMul_64f_I(const Ipp64f* pSrc, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrc[i] * pSrcDst[i];
  return ippStsNoErr;
}

IppStatus ippsMul_32f_I(const Ipp32f* pSrc, Ipp32f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = static_cast<float>(double(pSrc[i]) * double(pSrcDst[i]));
  return ippStsNoErr;
}

IppStatus ippsAdd_64fc_I(const Ipp64fc* pSrc, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  return ippsAdd_64f_I(&pSrc->re, &pSrcDst->re, 2 * len);
}

IppStatus ippsSub_64f_I(const Ipp64f* pSrc, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] - pSrc[i];
  return ippStsNoErr;
}

IppStatus ippsSub_32f_I(const Ipp32f* pSrc, Ipp32f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = pSrcDst[i] - pSrc[i];
  return ippStsNoErr;
}

IppStatus ippsSub_64fc_I(const Ipp64fc* pSrc, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  return ippsSub_64f_I(&pSrc->re, &pSrcDst->re, 2 * len);
}

IppStatus ippsMul_64fc_I(const Ipp64fc* pSrc, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) {
    const Extended xr = pSrc[i].re, xi = pSrc[i].im, yr = pSrcDst[i].re, yi = pSrcDst[i].im;
    pSrcDst[i].re = static_cast<double>(yr * xr - yi * xi);
    pSrcDst[i].im = static_cast<double>(xr * yi + yr * xi);
  }
  return ippStsNoErr;
}

// A zero (or NaN) divisor gives +inf for a positive dividend, NaN for a zero
// one and -inf otherwise; the whole vector is processed.
IppStatus ippsDiv_64f_I(const Ipp64f* pSrc, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  int zeros = 0;
  for (int i = 0; i < len; ++i) {
    const double x = pSrc[i], y = pSrcDst[i];
    const bool zero = FpuEquals(x, 0.0);
    zeros += zero;
    const double q = y / x;  // for every element: a select, not a branch
    pSrcDst[i] = zero ? (y > 0 ? kInf : (y == 0 ? kNaN : -kInf)) : q;
  }
  return zeros != 0 ? ippStsDivByZero : ippStsNoErr;
}

IppStatus ippsDiv_64fc_I(const Ipp64fc* pSrc, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  IppStatus status = ippStsNoErr;
  for (int i = 0; i < len; ++i) {
    const Extended xr = pSrc[i].re, xi = pSrc[i].im, yr = pSrcDst[i].re, yi = pSrcDst[i].im;
    const Extended m = xi * xi + xr * xr;
    if (m != 0 && m == m) {
      const Extended r = 1.0L / m;
      pSrcDst[i].re = static_cast<double>((xr * yr + xi * yi) * r);
      pSrcDst[i].im = static_cast<double>((xr * yi - xi * yr) * r);
    } else {
      pSrcDst[i].re = kNaN;
      pSrcDst[i].im = kNaN;
      status = ippStsDivByZero;
    }
  }
  return status;
}

// ---- vector with constant, real

IppStatus ippsAddC_64f(const Ipp64f* pSrc, Ipp64f val, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippsCopy_64f(pSrc, pDst, len);
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] + val;
  return ippStsNoErr;
}

IppStatus ippsSubC_64f(const Ipp64f* pSrc, Ipp64f val, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippsCopy_64f(pSrc, pDst, len);
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] - val;
  return ippStsNoErr;
}

IppStatus ippsSubCRev_64f(const Ipp64f* pSrc, Ipp64f val, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = val - pSrc[i];
  return ippStsNoErr;
}

IppStatus ippsAddC_64f_I(Ipp64f val, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippStsNoErr;
  for (int i = 0; i < len; ++i) pSrcDst[i] += val;
  return ippStsNoErr;
}

IppStatus ippsSubC_64f_I(Ipp64f val, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippStsNoErr;
  for (int i = 0; i < len; ++i) pSrcDst[i] -= val;
  return ippStsNoErr;
}

IppStatus ippsSubCRev_64f_I(Ipp64f val, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = val - pSrcDst[i];
  return ippStsNoErr;
}

IppStatus ippsSubCRev_32f_I(Ipp32f val, Ipp32f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = val - pSrcDst[i];
  return ippStsNoErr;
}

IppStatus ippsMulC_64f(const Ipp64f* pSrc, Ipp64f val, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 1.0)) return ippsCopy_64f(pSrc, pDst, len);
  if (val == 0.0) return ippsZero_64f(pDst, len);  // +0.0 whatever the source holds
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] * val;
  return ippStsNoErr;
}

IppStatus ippsMulC_64f_I(Ipp64f val, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 1.0)) return ippStsNoErr;
  if (val == 0.0) return ippsZero_64f(pSrcDst, len);
  for (int i = 0; i < len; ++i) pSrcDst[i] *= val;
  return ippStsNoErr;
}

IppStatus ippsMulC_32f_I(Ipp32f val, Ipp32f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 1.0)) return ippStsNoErr;
  if (val == 0.0f) return ippsZero_32f(pSrcDst, len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = static_cast<float>(double(pSrcDst[i]) * double(val));
  return ippStsNoErr;
}

namespace {
// 1/c formed in extended precision and rounded to double.
double Reciprocal(double c) noexcept { return static_cast<double>(1.0L / static_cast<Extended>(c)); }
}  // namespace

IppStatus ippsDivC_64f(const Ipp64f* pSrc, Ipp64f val, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippStsDivByZeroErr;
  return ippsMulC_64f(pSrc, Reciprocal(val), pDst, len);
}

IppStatus ippsDivC_64f_I(Ipp64f val, Ipp64f* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (FpuEquals(val, 0.0)) return ippStsDivByZeroErr;
  return ippsMulC_64f_I(Reciprocal(val), pSrcDst, len);
}

// ---- vector with constant, complex

IppStatus ippsAddC_64fc(const Ipp64fc* pSrc, Ipp64fc val, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = {pSrc[i].re + val.re, pSrc[i].im + val.im};
  return ippStsNoErr;
}

IppStatus ippsSubC_64fc(const Ipp64fc* pSrc, Ipp64fc val, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = {pSrc[i].re - val.re, pSrc[i].im - val.im};
  return ippStsNoErr;
}

IppStatus ippsSubCRev_64fc(const Ipp64fc* pSrc, Ipp64fc val, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = {val.re - pSrc[i].re, val.im - pSrc[i].im};
  return ippStsNoErr;
}

IppStatus ippsAddC_64fc_I(Ipp64fc val, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = {pSrcDst[i].re + val.re, pSrcDst[i].im + val.im};
  return ippStsNoErr;
}

IppStatus ippsSubC_64fc_I(Ipp64fc val, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = {pSrcDst[i].re - val.re, pSrcDst[i].im - val.im};
  return ippStsNoErr;
}

namespace {
// z * c with re = c.re*z.re - c.im*z.im, im = c.im*z.re + c.re*z.im, carried
// in extended precision.
inline Ipp64fc MulExtended(Ipp64fc z, Extended cr, Extended ci) noexcept {
  const Extended zr = z.re, zi = z.im;
  return {static_cast<double>(cr * zr - ci * zi), static_cast<double>(ci * zr + cr * zi)};
}
}  // namespace

IppStatus ippsMulC_64fc(const Ipp64fc* pSrc, Ipp64fc val, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = MulExtended(pSrc[i], val.re, val.im);
  return ippStsNoErr;
}

IppStatus ippsMulC_64fc_I(Ipp64fc val, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = MulExtended(pSrcDst[i], val.re, val.im);
  return ippStsNoErr;
}

namespace {
// (c.re*r, -c.im*r) with r = 1/(c.re^2 + c.im^2) in extended precision, both
// rounded to double; false when the squared magnitude is 0.
bool ComplexReciprocal(Ipp64fc c, Ipp64fc& AResult) noexcept {
  const Extended cr = c.re, ci = c.im;
  const Extended m = cr * cr + ci * ci;
  if (!(m < 0) && !(m > 0)) return false;  // 0, or NaN (the unordered test counts as equal)
  const Extended r = 1.0L / m;
  AResult = {static_cast<double>(cr * r), static_cast<double>(-ci * r)};
  return true;
}
}  // namespace

IppStatus ippsDivC_64fc(const Ipp64fc* pSrc, Ipp64fc val, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  Ipp64fc inv;
  if (!ComplexReciprocal(val, inv)) return ippStsDivByZeroErr;
  return ippsMulC_64fc(pSrc, inv, pDst, len);
}

IppStatus ippsDivC_64fc_I(Ipp64fc val, Ipp64fc* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  Ipp64fc inv;
  if (!ComplexReciprocal(val, inv)) return ippStsDivByZeroErr;
  return ippsMulC_64fc_I(inv, pSrcDst, len);
}

}  // namespace IppInternal
