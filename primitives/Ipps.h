// The numeric primitives that the rest of the library calls, by their IPP 5.1
// names and signatures. Callers use these functions only: each one reads its
// entry of the dispatch table (IppDispatch.h) and calls through it, so that
// whether an outside library or the internal implementation answers is
// decided inside primitives/ alone. The first call binds the table when the
// program has not done so (PrimitivesStartup).
//
// The primitives report IppStatus codes and never raise: null pointers give
// ippStsNullPtrErr (-8) before lengths below 1 give ippStsSizeErr (-6); an
// error writes nothing, a warning (positive) writes everything.
//
// Every entry whose internal implementation exists has its free function
// here; the entries of families still to be built (image) get theirs when
// they are built. For the names held twice (ippsConvert_64f32f,
// ippsConvert_64f32s_Sfs) the BfBasicDispatcher entry is the one called.
#pragma once

#include "primitives/IppDispatch.h"

#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) FR_IPP_SEAM_##kind##_##route(module, name, params, args)
#define FR_IPP_SEAM_Own_Seam(module, name, params, args) \
  inline IppStatus name params {                         \
    EnsurePrimitivesBound();                             \
    return Bf##module##Dispatcher::name args;            \
  }
#define FR_IPP_SEAM_Own_Twin(module, name, params, args)
#define FR_IPP_SEAM_Later_Seam(module, name, params, args)
#define FR_IPP_SEAM_Later_Twin(module, name, params, args)
#define FR_IPP_SEAM_None_Seam(module, name, params, args)
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
#undef FR_IPP_SEAM_Own_Seam
#undef FR_IPP_SEAM_Own_Twin
#undef FR_IPP_SEAM_Later_Seam
#undef FR_IPP_SEAM_Later_Twin
#undef FR_IPP_SEAM_None_Seam

namespace CmIPPSLoader {
extern IppCpuType (*ippGetCpuType)();
}
// The processor type code of the bound core library; 0 (ippCpuUnknown) from
// the internal side.
inline IppCpuType ippGetCpuType() {
  EnsurePrimitivesBound();
  return CmIPPSLoader::ippGetCpuType();
}
