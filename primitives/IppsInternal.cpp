// Internal implementations of the primitives declared in Ipps.h: plain element
// loops with the IPP status order (null pointers first, then lengths).
#include <cmath>
#include <cstring>

#include "primitives/Ipps.h"

IppStatus ippsCopy_8u(const Ipp8u* pSrc, Ipp8u* pDst, int len) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (len <= 0) return ippStsSizeErr;
  std::memmove(pDst, pSrc, static_cast<size_t>(len));
  return ippStsNoErr;
}

IppStatus ippsCopy_64f(const Ipp64f* pSrc, Ipp64f* pDst, int len) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (len <= 0) return ippStsSizeErr;
  std::memmove(pDst, pSrc, static_cast<size_t>(len) * sizeof(Ipp64f));
  return ippStsNoErr;
}

IppStatus ippsConvert_16s64f_Sfs(const Ipp16s* pSrc, Ipp64f* pDst, int len, int scaleFactor) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (len <= 0) return ippStsSizeErr;
  // A scale factor s divides by 2^s; exact for every 16-bit value.
  for (int i = 0; i < len; ++i) pDst[i] = std::ldexp(static_cast<Ipp64f>(pSrc[i]), -scaleFactor);
  return ippStsNoErr;
}

IppStatus ippsConvert_32s64f(const Ipp32s* pSrc, Ipp64f* pDst, int len) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (len <= 0) return ippStsSizeErr;
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<Ipp64f>(pSrc[i]);
  return ippStsNoErr;
}

IppStatus ippsConvert_32f64f(const Ipp32f* pSrc, Ipp64f* pDst, int len) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (len <= 0) return ippStsSizeErr;
  for (int i = 0; i < len; ++i) pDst[i] = static_cast<Ipp64f>(pSrc[i]);
  return ippStsNoErr;
}
