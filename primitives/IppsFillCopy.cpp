// Fill, zero, copy and move primitives.
#include <cstring>

#include "primitives/IppsCommon.h"

namespace IppInternal {

namespace {
template <class T>
IppStatus SetT(T val, T* pDst, int len) noexcept {
  FR_IPP_REQUIRE(pDst);
  FR_IPP_REQUIRE_LEN(len);
  for (int i = 0; i < len; ++i) pDst[i] = val;
  return ippStsNoErr;
}
template <class T>
IppStatus ZeroT(T* pDst, int len) noexcept {
  FR_IPP_REQUIRE(pDst);
  FR_IPP_REQUIRE_LEN(len);
  std::memset(pDst, 0, sizeof(T) * static_cast<size_t>(len));
  return ippStsNoErr;
}
template <class T>
IppStatus CopyT(const T* pSrc, T* pDst, int len) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  // Forward copy of non-overlapping ranges; memmove costs the same and keeps
  // an overlapping call from producing garbage.
  std::memmove(pDst, pSrc, sizeof(T) * static_cast<size_t>(len));
  return ippStsNoErr;
}
// Correct for overlapping ranges: front to back when the source lies after
// the destination, back to front when it lies before, nothing when they
// coincide.
template <class T>
IppStatus MoveT(const T* pSrc, T* pDst, int len) noexcept {
  FR_IPP_REQUIRE(pSrc, pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (pSrc == pDst) return ippStsNoErr;
  std::memmove(pDst, pSrc, sizeof(T) * static_cast<size_t>(len));
  return ippStsNoErr;
}
}  // namespace

IppStatus ippsSet_8u(Ipp8u val, Ipp8u* pDst, int len) { return SetT(val, pDst, len); }
IppStatus ippsSet_32s(Ipp32s val, Ipp32s* pDst, int len) { return SetT(val, pDst, len); }
IppStatus ippsSet_32f(Ipp32f val, Ipp32f* pDst, int len) { return SetT(val, pDst, len); }
IppStatus ippsSet_64f(Ipp64f val, Ipp64f* pDst, int len) { return SetT(val, pDst, len); }
IppStatus ippsSet_64fc(Ipp64fc val, Ipp64fc* pDst, int len) { return SetT(val, pDst, len); }

IppStatus ippsZero_8u(Ipp8u* pDst, int len) { return ZeroT(pDst, len); }
IppStatus ippsZero_16s(Ipp16s* pDst, int len) { return ZeroT(pDst, len); }
IppStatus ippsZero_32s(Ipp32s* pDst, int len) { return ZeroT(pDst, len); }
IppStatus ippsZero_32f(Ipp32f* pDst, int len) { return ZeroT(pDst, len); }
IppStatus ippsZero_64f(Ipp64f* pDst, int len) { return ZeroT(pDst, len); }
IppStatus ippsZero_64fc(Ipp64fc* pDst, int len) { return ZeroT(pDst, len); }

IppStatus ippsCopy_8u(const Ipp8u* pSrc, Ipp8u* pDst, int len) { return CopyT(pSrc, pDst, len); }
IppStatus ippsCopy_32f(const Ipp32f* pSrc, Ipp32f* pDst, int len) { return CopyT(pSrc, pDst, len); }
IppStatus ippsCopy_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) { return CopyT(pSrc, pDst, len); }

IppStatus ippsMove_8u(const Ipp8u* pSrc, Ipp8u* pDst, int len) { return MoveT(pSrc, pDst, len); }
IppStatus ippsMove_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) { return MoveT(pSrc, pDst, len); }

}  // namespace IppInternal
