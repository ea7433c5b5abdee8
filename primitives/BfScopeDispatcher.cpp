// BfScopeDispatcher: the entries of conversion of real samples to single precision and to scaled integers, reversed subtraction, integer clipping, byte moves and a four-channel image fill.
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x)
#define FR_IPP_MODULE_Scope(x) x
#define FR_IPP_MODULE_Basic(x)
#define FR_IPP_MODULE_Norm(x)

namespace BfScopeDispatcher {

#include "primitives/IppModule.inc"

}  // namespace BfScopeDispatcher
