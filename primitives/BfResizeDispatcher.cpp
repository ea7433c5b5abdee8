// BfResizeDispatcher: the entries of the resize family (image lookup).
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x) x
#define FR_IPP_MODULE_Scope(x)
#define FR_IPP_MODULE_Basic(x)
#define FR_IPP_MODULE_Norm(x)

namespace BfResizeDispatcher {

#include "primitives/IppModule.inc"

}  // namespace BfResizeDispatcher
