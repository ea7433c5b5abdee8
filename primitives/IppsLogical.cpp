// Bitwise operations and shifts on 32-bit integers.
#include "primitives/IppsCommon.h"

namespace IppInternal {
namespace {

enum class TBit { And, Or, Xor };

template <TBit Op>
inline Ipp32u Bit(Ipp32u a, Ipp32u b) noexcept {
  if constexpr (Op == TBit::And) return a & b;
  if constexpr (Op == TBit::Or) return a | b;
  return a ^ b;
}

template <TBit Op>
IppStatus Vector_I(const Ipp32u* pSrc, Ipp32u* pSrcDst, int len) noexcept {
  FR_IPP_REQUIRE(pSrc, pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] = Bit<Op>(pSrcDst[i], pSrc[i]);
  return ippStsNoErr;
}

template <TBit Op>
IppStatus Const_I(Ipp32u val, Ipp32u* pSrcDst, int len) noexcept {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (val == 0) return ippStsNoErr;  // Or and Xor with 0 change nothing
  for (int i = 0; i < len; ++i) pSrcDst[i] = Bit<Op>(pSrcDst[i], val);
  return ippStsNoErr;
}

template <TBit Op>
IppStatus Const(const Ipp32u* pSrc, Ipp32u val, Ipp32u* pDst, int len) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = Bit<Op>(pSrc[i], val);
  return ippStsNoErr;
}

IppStatus Copy32(const Ipp32u* pSrc, Ipp32u* pDst, int len) noexcept {
  return ippsCopy_32f(reinterpret_cast<const Ipp32f*>(pSrc), reinterpret_cast<Ipp32f*>(pDst), len);
}

}  // namespace

IppStatus ippsAnd_32u_I(const Ipp32u* pSrc, Ipp32u* pSrcDst, int len) { return Vector_I<TBit::And>(pSrc, pSrcDst, len); }
IppStatus ippsOr_32u_I(const Ipp32u* pSrc, Ipp32u* pSrcDst, int len) { return Vector_I<TBit::Or>(pSrc, pSrcDst, len); }
IppStatus ippsXor_32u_I(const Ipp32u* pSrc, Ipp32u* pSrcDst, int len) { return Vector_I<TBit::Xor>(pSrc, pSrcDst, len); }

IppStatus ippsAndC_32u_I(Ipp32u val, Ipp32u* pSrcDst, int len) {
  if (val == 0) return ippsZero_32s(reinterpret_cast<Ipp32s*>(pSrcDst), len);
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pSrcDst[i] &= val;
  return ippStsNoErr;
}
IppStatus ippsOrC_32u_I(Ipp32u val, Ipp32u* pSrcDst, int len) { return Const_I<TBit::Or>(val, pSrcDst, len); }
IppStatus ippsXorC_32u_I(Ipp32u val, Ipp32u* pSrcDst, int len) { return Const_I<TBit::Xor>(val, pSrcDst, len); }

IppStatus ippsAndC_32u(const Ipp32u* pSrc, Ipp32u val, Ipp32u* pDst, int len) {
  if (val == 0) {
    if (pSrc == nullptr) return ippStsNullPtrErr;
    return ippsZero_32s(reinterpret_cast<Ipp32s*>(pDst), len);
  }
  return Const<TBit::And>(pSrc, val, pDst, len);
}
IppStatus ippsOrC_32u(const Ipp32u* pSrc, Ipp32u val, Ipp32u* pDst, int len) {
  if (val == 0) return Copy32(pSrc, pDst, len);
  return Const<TBit::Or>(pSrc, val, pDst, len);
}
IppStatus ippsXorC_32u(const Ipp32u* pSrc, Ipp32u val, Ipp32u* pDst, int len) {
  if (val == 0) return Copy32(pSrc, pDst, len);
  return Const<TBit::Xor>(pSrc, val, pDst, len);
}

// Left shifts are done on the unsigned pattern (bits shifted out are lost);
// right shifts are arithmetic.
IppStatus ippsLShiftC_32s(const Ipp32s* pSrc, int val, Ipp32s* pDst, int len) {
  if (val == 0) return Copy32(reinterpret_cast<const Ipp32u*>(pSrc), reinterpret_cast<Ipp32u*>(pDst), len);
  if (val >= 32) {
    if (pSrc == nullptr) return ippStsNullPtrErr;
    return ippsZero_32s(pDst, len);
  }
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (val < 0) return ippStsShiftErr;
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<Ipp32s>(static_cast<Ipp32u>(pSrc[i]) << val);
  return ippStsNoErr;
}

IppStatus ippsRShiftC_32s(const Ipp32s* pSrc, int val, Ipp32s* pDst, int len) {
  if (val == 0) return Copy32(reinterpret_cast<const Ipp32u*>(pSrc), reinterpret_cast<Ipp32u*>(pDst), len);
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (val < 0) return ippStsShiftErr;
  const int k = val > 31 ? 31 : val;  // beyond 31 only the sign is left
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] >> k;
  return ippStsNoErr;
}

IppStatus ippsLShiftC_32s_I(int val, Ipp32s* pSrcDst, int len) {
  if (val > 31) return ippsZero_32s(pSrcDst, len);
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (val < 0) return ippStsShiftErr;
  for (int i = 0; i < len; ++i) pSrcDst[i] = static_cast<Ipp32s>(static_cast<Ipp32u>(pSrcDst[i]) << val);
  return ippStsNoErr;
}

IppStatus ippsRShiftC_32s_I(int val, Ipp32s* pSrcDst, int len) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(len);
  if (val < 0) return ippStsShiftErr;
  const int k = val > 31 ? 31 : val;
  for (int i = 0; i < len; ++i) pSrcDst[i] >>= k;
  return ippStsNoErr;
}

}  // namespace IppInternal
