// Conversions between number formats, complex assembly and disassembly, and
// byte swaps.
#include <cmath>
#include <cstring>

#include "primitives/IppsCommon.h"

using IppsCommon::Extended;

namespace IppInternal {

IppStatus ippsConvert_32s64f(const Ipp32s* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<double>(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsConvert_32f64f(const Ipp32f* pSrc, Ipp64f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<double>(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsConvert_32s32f(const Ipp32s* pSrc, Ipp32f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<float>(pSrc[i]);  // nearest, ties to even
  return ippStsNoErr;
}

// Saturates to the largest single magnitude; NaN gives the negative limit.
IppStatus ippsConvert_64f32f(const Ipp64f* pSrc, Ipp32f* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  constexpr double kMax = 3.4028234663852886e+38;
  for (int i = 0; i < len; ++i) {
    const double x = pSrc[i];
    const double c = x >= kMax ? kMax : (x > -kMax ? x : -kMax);
    pDst[i] = static_cast<float>(c);
  }
  return ippStsNoErr;
}

IppStatus ippsConvert_16s64f_Sfs(const Ipp16s* pSrc, Ipp64f* pDst, int len, int scaleFactor) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  const int s = scaleFactor < -1008 ? -1008 : (scaleFactor > 1022 ? 1022 : scaleFactor);
  const double scale = std::ldexp(1.0, -s);  // a normal double over the clamped range: exact products
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<double>(pSrc[i]) * scale;
  return ippStsNoErr;
}

namespace {

// t = x * 2^-s, then: t >= AUpper gives INT32_MAX; t > -2^31 gives t rounded
// (half to even when ARound, toward zero otherwise); anything else (NaN
// included) gives INT32_MIN.
//
// For |s| <= 1000 the scale is a normal double and x * 2^-s in double is the
// extended product whenever the result can matter: it is exact unless it
// overflows (saturated either way) or falls below 2^-1022 (rounds to 0 either
// way). That path vectorises; the 2^52 * 1.5 addition rounds half to even
// exactly for magnitudes below 2^51.
template <class TSrc>
void ConvertTo32s(const TSrc* pSrc, Ipp32s* pDst, int len, bool ARound, int s, double AUpper) noexcept {
  constexpr double kLow = -2147483648.0;
  if (s >= -1000 && s <= 1000) {
    const double scale = std::ldexp(1.0, -s);
    constexpr double kMagic = 6755399441055744.0;  // 1.5 * 2^52
    if (ARound) {
      for (int i = 0; i < len; ++i) {
        const double t = static_cast<double>(pSrc[i]) * scale;
        const double rounded = (t + kMagic) - kMagic;  // for every element: a select, not a branch
        const double c = t >= AUpper ? 2147483647.0 : (t > kLow ? rounded : kLow);
        pDst[i] = static_cast<Ipp32s>(c);
      }
    } else {
      for (int i = 0; i < len; ++i) {
        const double t = static_cast<double>(pSrc[i]) * scale;
        const double c = t >= AUpper ? 2147483647.0 : (t > kLow ? t : kLow);
        pDst[i] = static_cast<Ipp32s>(c);
      }
    }
    return;
  }
  const Extended scale = IppsCommon::ExtendedScale(s);
  for (int i = 0; i < len; ++i) {
    const Extended t = static_cast<Extended>(pSrc[i]) * scale;
    if (t >= AUpper) {
      pDst[i] = INT32_MAX;
    } else if (t > kLow) {
      pDst[i] = static_cast<Ipp32s>(ARound ? std::nearbyint(t) : std::trunc(t));
    } else {
      pDst[i] = INT32_MIN;
    }
  }
}

}  // namespace

IppStatus ippsConvert_64f32s_Sfs(const Ipp64f* pSrc, Ipp32s* pDst, int len, IppRoundMode rndMode, int scaleFactor) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  ConvertTo32s(pSrc, pDst, len, rndMode == ippRndNear, scaleFactor, 2147483647.0);
  return ippStsNoErr;
}

IppStatus ippsConvert_32f32s_Sfs(const Ipp32f* pSrc, Ipp32s* pDst, int len, IppRoundMode rndMode, int scaleFactor) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  ConvertTo32s(pSrc, pDst, len, rndMode == ippRndNear, scaleFactor, scaleFactor == 0 ? 2147483648.0 : 2147483647.0);
  return ippStsNoErr;
}

// A null source contributes zeros to its part; both null is an error.
IppStatus ippsRealToCplx_64f(const Ipp64f* pSrcRe, const Ipp64f* pSrcIm, Ipp64fc* pDst, int len) {
  FR_IPP_REQUIRE(pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (pSrcRe == nullptr && pSrcIm == nullptr) return ippStsNullPtrErr;
  for (int i = 0; i < len; ++i) {
    pDst[i].re = pSrcRe != nullptr ? pSrcRe[i] : 0.0;
    pDst[i].im = pSrcIm != nullptr ? pSrcIm[i] : 0.0;
  }
  return ippStsNoErr;
}

// Copies the 32-bit patterns (a signalling NaN stays signalling).
IppStatus ippsRealToCplx_32f(const Ipp32f* pSrcRe, const Ipp32f* pSrcIm, Ipp32fc* pDst, int len) {
  FR_IPP_REQUIRE(pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (pSrcRe == nullptr && pSrcIm == nullptr) return ippStsNullPtrErr;
  for (int i = 0; i < len; ++i) {
    uint32_t re = 0, im = 0;
    if (pSrcRe != nullptr) std::memcpy(&re, pSrcRe + i, 4);
    if (pSrcIm != nullptr) std::memcpy(&im, pSrcIm + i, 4);
    std::memcpy(&pDst[i].re, &re, 4);
    std::memcpy(&pDst[i].im, &im, 4);
  }
  return ippStsNoErr;
}

IppStatus ippsReal_64fc(const Ipp64fc* pSrc, Ipp64f* pDstRe, int len) {
  FR_IPP_REQUIRE(pSrc, pDstRe);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDstRe[i] = pSrc[i].re;
  return ippStsNoErr;
}

IppStatus ippsImag_64fc(const Ipp64fc* pSrc, Ipp64f* pDstIm, int len) {
  FR_IPP_REQUIRE(pSrc, pDstIm);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDstIm[i] = pSrc[i].im;
  return ippStsNoErr;
}

IppStatus ippsSwapBytes_16u(const Ipp16u* pSrc, Ipp16u* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = __builtin_bswap16(pSrc[i]);
  return ippStsNoErr;
}

// Each 3-byte element has its first and third byte exchanged.
IppStatus ippsSwapBytes_24u(const Ipp8u* pSrc, Ipp8u* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) {
    const Ipp8u a = pSrc[3 * i], b = pSrc[3 * i + 1], c = pSrc[3 * i + 2];
    pDst[3 * i] = c;
    pDst[3 * i + 1] = b;
    pDst[3 * i + 2] = a;
  }
  return ippStsNoErr;
}

IppStatus ippsSwapBytes_32u(const Ipp32u* pSrc, Ipp32u* pDst, int len) {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = __builtin_bswap32(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsSwapBytes_32u_I(Ipp32u* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = __builtin_bswap32(pSrcDst[i]);
  return ippStsNoErr;
}

}  // namespace IppInternal
