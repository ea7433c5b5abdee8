// BfScopeDispatcher: the entries of conversion of real samples to single precision and to scaled integers, reversed subtraction, integer clipping, byte moves and a four-channel image fill.
#include "primitives/IppBinding.h"

#define FR_IPP_MODULE_Resize(x)
#define FR_IPP_MODULE_Scope(x) x
#define FR_IPP_MODULE_Basic(x)
#define FR_IPP_MODULE_Norm(x)

namespace BfScopeDispatcher {

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

}  // namespace BfScopeDispatcher
