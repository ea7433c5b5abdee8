// BfBasicDispatcher: the entries of every other entry of the table, and the integer division routines.
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x)
#define FR_IPP_MODULE_Scope(x)
#define FR_IPP_MODULE_Basic(x) x
#define FR_IPP_MODULE_Norm(x)

namespace BfBasicDispatcher {

#include "primitives/IppModule.inc"

}  // namespace BfBasicDispatcher

namespace BfBasicDispatcher {

void DivC_32s_I(Ipp32s ADivisor, Ipp32s* pSrcDst, int len) noexcept {
  for (int i = 0; i < len; ++i) pSrcDst[i] /= ADivisor;  // C++ division truncates toward zero
}

void DivC_32s(const Ipp32s* pSrc, Ipp32s ADivisor, Ipp32s* pDst, int len) noexcept {
  for (int i = 0; i < len; ++i) pDst[i] = pSrc[i] / ADivisor;
}

}  // namespace BfBasicDispatcher
