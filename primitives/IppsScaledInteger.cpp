// Scaled integer arithmetic (the Sfs primitives): the exact result r is
// formed in 64 bits, then divided by 2^scaleFactor with rounding to nearest,
// ties to even (or multiplied by 2^-scaleFactor), and saturated to the
// destination type.
//
// Scale factors whose result is known in advance are short-cut exactly as
// the rule would come out: large positive ones give all zeros (through the
// zero fill, with its own checks), large negative ones saturate every
// nonzero result by its sign.
#include "primitives/IppsCommon.h"

using IppsCommon::Extended;
using IppsCommon::ScaleSaturate;

namespace IppInternal {
namespace {

constexpr int64_t kMin32 = -2147483648LL;
constexpr int64_t kMax32 = 2147483647LL;

inline Ipp32s S32(int64_t r, int s) noexcept { return static_cast<Ipp32s>(ScaleSaturate(r, s, kMin32, kMax32)); }
inline Ipp8u S8(int64_t r, int s) noexcept { return static_cast<Ipp8u>(ScaleSaturate(r, s, 0, 255)); }

enum class TOp { Add, Sub, SubRev, Mul };

template <TOp Op>
inline int64_t Apply(int64_t y, int64_t x) noexcept {
  if constexpr (Op == TOp::Add) return y + x;
  if constexpr (Op == TOp::Sub) return y - x;
  if constexpr (Op == TOp::SubRev) return x - y;
  return y * x;
}

// Scale factor 0 of the sums and differences: the exact result saturated, in
// 32-bit lanes so that the loop vectorises. An overflow happened exactly
// when the result's sign differs from the dividend's where the rule says it
// cannot (operands of equal signs for a sum, of different signs for a
// difference); the saturated value then has the first operand's sign.
template <TOp Op>
inline Ipp32s Saturated32(Ipp32s y, Ipp32s x) noexcept {
  const uint32_t uy = static_cast<uint32_t>(y), ux = static_cast<uint32_t>(x);
  const uint32_t r = Op == TOp::Add ? uy + ux : uy - ux;
  const uint32_t overflow = Op == TOp::Add ? (~(uy ^ ux) & (uy ^ r)) : ((uy ^ ux) & (uy ^ r));
  const uint32_t limit = (uy >> 31) + 0x7FFFFFFFu;  // INT32_MAX, or INT32_MIN for a negative y
  return static_cast<Ipp32s>((overflow >> 31) != 0 ? limit : r);
}

// The 8u forms at scale factor 0: the exact result clamped to 0 ... 255.
template <TOp Op>
inline Ipp8u Saturated8(unsigned y, unsigned x) noexcept {
  if constexpr (Op == TOp::Add) {
    // In byte lanes: the sum wrapped exactly when it is below an operand.
    const Ipp8u r = static_cast<Ipp8u>(y + x);
    return static_cast<Ipp8u>(r < static_cast<Ipp8u>(y) ? 255u : r);
  } else if constexpr (Op == TOp::Sub) {
    const Ipp8u r = static_cast<Ipp8u>(y - x);
    return static_cast<Ipp8u>(r > static_cast<Ipp8u>(y) ? 0u : r);
  } else {
    const unsigned r = y * x;
    return static_cast<Ipp8u>(r > 255u ? 255u : r);
  }
}

// Scale factors above these give zero for every operand of the 32s forms.
template <TOp Op>
constexpr int kZeroAbove32 = Op == TOp::Mul ? 62 : 32;

template <TOp Op>
IppStatus Vector32s_I(const Ipp32s* pSrc, Ipp32s* pSrcDst, int len, int s) noexcept {
  if (s > kZeroAbove32<Op>) return ippsZero_32s(pSrcDst, len);
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if constexpr (Op == TOp::Add || Op == TOp::Sub) {
    if (s == 0) {
      for (int i = 0; i < len; ++i) pSrcDst[i] = Saturated32<Op>(pSrcDst[i], pSrc[i]);
      return ippStsNoErr;
    }
  }
  for (int i = 0; i < len; ++i) pSrcDst[i] = S32(Apply<Op>(pSrcDst[i], pSrc[i]), s);
  return ippStsNoErr;
}

template <TOp Op>
IppStatus Const32s_I(Ipp32s val, Ipp32s* pSrcDst, int len, int s) noexcept {
  if (s > kZeroAbove32<Op>) return ippsZero_32s(pSrcDst, len);
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = S32(Apply<Op>(pSrcDst[i], val), s);
  return ippStsNoErr;
}

template <TOp Op>
IppStatus Const32s(const Ipp32s* pSrc, Ipp32s val, Ipp32s* pDst, int len, int s) noexcept {
  if (s > kZeroAbove32<Op>) return ippsZero_32s(pDst, len);
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = S32(Apply<Op>(pSrc[i], val), s);
  return ippStsNoErr;
}

// Scale factors above these give zero for every operand of the 8u forms.
template <TOp Op>
constexpr int kZeroAbove8 = Op == TOp::Add ? 9 : (Op == TOp::Sub ? 8 : 16);

template <TOp Op>
IppStatus Vector8u_I(const Ipp8u* pSrc, Ipp8u* pSrcDst, int len, int s) noexcept {
  if (s > kZeroAbove8<Op>) return ippsZero_8u(pSrcDst, len);
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (s == 0) {
    for (int i = 0; i < len; ++i) pSrcDst[i] = Saturated8<Op>(pSrcDst[i], pSrc[i]);
    return ippStsNoErr;
  }
  for (int i = 0; i < len; ++i) pSrcDst[i] = S8(Apply<Op>(pSrcDst[i], pSrc[i]), s);
  return ippStsNoErr;
}

}  // namespace

IppStatus ippsAdd_32s_ISfs(const Ipp32s* pSrc, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Vector32s_I<TOp::Add>(pSrc, pSrcDst, len, scaleFactor);
}
IppStatus ippsSub_32s_ISfs(const Ipp32s* pSrc, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Vector32s_I<TOp::Sub>(pSrc, pSrcDst, len, scaleFactor);
}
IppStatus ippsMul_32s_ISfs(const Ipp32s* pSrc, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Vector32s_I<TOp::Mul>(pSrc, pSrcDst, len, scaleFactor);
}

IppStatus ippsAddC_32s_ISfs(Ipp32s val, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Const32s_I<TOp::Add>(val, pSrcDst, len, scaleFactor);
}
IppStatus ippsSubC_32s_ISfs(Ipp32s val, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Const32s_I<TOp::Sub>(val, pSrcDst, len, scaleFactor);
}
IppStatus ippsSubCRev_32s_ISfs(Ipp32s val, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Const32s_I<TOp::SubRev>(val, pSrcDst, len, scaleFactor);
}
IppStatus ippsMulC_32s_ISfs(Ipp32s val, Ipp32s* pSrcDst, int len, int scaleFactor) {
  return Const32s_I<TOp::Mul>(val, pSrcDst, len, scaleFactor);
}

IppStatus ippsAddC_32s_Sfs(const Ipp32s* pSrc, Ipp32s val, Ipp32s* pDst, int len, int scaleFactor) {
  return Const32s<TOp::Add>(pSrc, val, pDst, len, scaleFactor);
}
IppStatus ippsSubC_32s_Sfs(const Ipp32s* pSrc, Ipp32s val, Ipp32s* pDst, int len, int scaleFactor) {
  return Const32s<TOp::Sub>(pSrc, val, pDst, len, scaleFactor);
}
IppStatus ippsSubCRev_32s_Sfs(const Ipp32s* pSrc, Ipp32s val, Ipp32s* pDst, int len, int scaleFactor) {
  return Const32s<TOp::SubRev>(pSrc, val, pDst, len, scaleFactor);
}
IppStatus ippsMulC_32s_Sfs(const Ipp32s* pSrc, Ipp32s val, Ipp32s* pDst, int len, int scaleFactor) {
  return Const32s<TOp::Mul>(pSrc, val, pDst, len, scaleFactor);
}

IppStatus ippsAdd_8u_ISfs(const Ipp8u* pSrc, Ipp8u* pSrcDst, int len, int scaleFactor) {
  return Vector8u_I<TOp::Add>(pSrc, pSrcDst, len, scaleFactor);
}
IppStatus ippsSub_8u_ISfs(const Ipp8u* pSrc, Ipp8u* pSrcDst, int len, int scaleFactor) {
  return Vector8u_I<TOp::Sub>(pSrc, pSrcDst, len, scaleFactor);
}
IppStatus ippsMul_8u_ISfs(const Ipp8u* pSrc, Ipp8u* pSrcDst, int len, int scaleFactor) {
  return Vector8u_I<TOp::Mul>(pSrc, pSrcDst, len, scaleFactor);
}

// y / x: t = (2^-s * y) / x in extended precision, rounded half to even and,
// for s <= 0, saturated first. A zero divisor gives 0, INT32_MAX or INT32_MIN
// by the dividend's sign and the warning ippStsDivByZero.
IppStatus ippsDiv_32s_ISfs(const Ipp32s* pSrc, Ipp32s* pSrcDst, int len, int scaleFactor) {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  const Extended scale = IppsCommon::ExtendedScale(scaleFactor);
  IppStatus status = ippStsNoErr;
  for (int i = 0; i < len; ++i) {
    const Ipp32s x = pSrc[i], y = pSrcDst[i];
    if (x == 0) {
      pSrcDst[i] = y == 0 ? 0 : (y > 0 ? INT32_MAX : INT32_MIN);
      status = ippStsDivByZero;
      continue;
    }
    if (y == 0) {
      // 0 / x is 0 at every scale (the product with an overflowed scale
      // would be NaN).
      pSrcDst[i] = 0;
      continue;
    }
    const Extended t = (scale * static_cast<Extended>(y)) / static_cast<Extended>(x);
    if (scaleFactor <= 0 && t >= 2147483647.0L) {
      pSrcDst[i] = INT32_MAX;
    } else if (scaleFactor <= 0 && t <= -2147483648.0L) {
      pSrcDst[i] = INT32_MIN;
    } else {
      pSrcDst[i] = static_cast<Ipp32s>(IppsCommon::RoundHalfEven(t));
    }
  }
  return status;
}

}  // namespace IppInternal
