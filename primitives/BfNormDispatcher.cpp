// BfNormDispatcher: the entries of ippsNorm_L2_64fc64f, bound last, after the buffer modules have started.
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x)
#define FR_IPP_MODULE_Scope(x)
#define FR_IPP_MODULE_Basic(x)
#define FR_IPP_MODULE_Norm(x) x

namespace BfNormDispatcher {

#include "primitives/IppModule.inc"

}  // namespace BfNormDispatcher
