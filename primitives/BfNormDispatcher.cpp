// BfNormDispatcher: the entries of ippsNorm_L2_64fc64f, bound last, after the buffer modules have started.
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x)
#define FR_IPP_MODULE_Scope(x)
#define FR_IPP_MODULE_Basic(x)
#define FR_IPP_MODULE_Norm(x) x

namespace BfNormDispatcher {

#define FR_IPP_ENTRY FR_IPP_DEFINE_ENTRY
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY

void Bind() noexcept {
#define FR_IPP_ENTRY FR_IPP_BIND_ENTRY
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
}

void Unbind() noexcept {
#define FR_IPP_ENTRY FR_IPP_UNBIND_ENTRY
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
}

}  // namespace BfNormDispatcher
