// The primitive dispatch table: one function pointer per bound name, held by
// the dispatch modules BfResizeDispatcher, BfScopeDispatcher,
// BfBasicDispatcher and BfNormDispatcher (and CmIPPSLoader's ippGetCpuType),
// with the prototypes of the IPP 5.1 functions of the same names.
//
// Binding. PrimitivesStartup() loads the outside libraries (CmIPPSLoader,
// then CmIPPILoader) and fills the entries module by module in the order
// Resize, Scope, Basic, Norm; every entry takes the library's export when the
// lookup finds one and the internal implementation (IppInternal::<name>)
// otherwise. The first call binds; later calls return at once. It runs inside
// a function-local static, so concurrent first calls are safe (the others
// wait), and the free functions of Ipps.h call it on first use: a program
// that never calls it still gets a bound table. A program calls it at start,
// before it starts threads, and PrimitivesShutdown() at its end.
//
// After start-up the table is read without a lock and never changes until
// PrimitivesShutdown(), which runs after every other thread has stopped: it
// points the entries that held a library's export back at the internal
// implementation (so that a late call cannot jump into a released library),
// then releases the libraries in reverse order of loading. Binding is never
// repeated.
#pragma once

#include "primitives/ippdefs.h"

#include <atomic>

// Internal implementations, one per entry of kind Own, with the IPP names
// and prototypes. They call each other directly, never through the table.
namespace IppInternal {
#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) FR_IPP_DECLARE_##kind##_##route(name, params)
#define FR_IPP_DECLARE_Own_Seam(name, params) IppStatus name params;
#define FR_IPP_DECLARE_Own_Twin(name, params)
#define FR_IPP_DECLARE_Later_Seam(name, params)
#define FR_IPP_DECLARE_Later_Twin(name, params)
#define FR_IPP_DECLARE_None_Seam(name, params)
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
#undef FR_IPP_DECLARE_Own_Seam
#undef FR_IPP_DECLARE_Own_Twin
#undef FR_IPP_DECLARE_Later_Seam
#undef FR_IPP_DECLARE_Later_Twin
#undef FR_IPP_DECLARE_None_Seam

// The processor type the internal side reports: always ippCpuUnknown.
IppCpuType ippGetCpuType();
}  // namespace IppInternal

// The entries, each a module-level variable of its dispatch module.
#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) \
  namespace Bf##module##Dispatcher {                                 \
  extern IppStatus(*name) params;                                    \
  }
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY

namespace BfResizeDispatcher { void Bind() noexcept; void Unbind() noexcept; }
namespace BfScopeDispatcher { void Bind() noexcept; void Unbind() noexcept; }
namespace BfNormDispatcher { void Bind() noexcept; void Unbind() noexcept; }

namespace BfBasicDispatcher {
void Bind() noexcept;
void Unbind() noexcept;

// Integer division by a constant, the quotient truncated toward zero. Not
// entries of the table; no status and no checks: the caller never passes a
// divisor of 0 (or the quotient -2147483648 / -1).
void DivC_32s_I(Ipp32s ADivisor, Ipp32s* pSrcDst, int len) noexcept;
void DivC_32s(const Ipp32s* pSrc, Ipp32s ADivisor, Ipp32s* pDst, int len) noexcept;
}  // namespace BfBasicDispatcher

// Loads the libraries and binds every entry, once; see above.
void PrimitivesStartup() noexcept;
// Points library-bound entries back at the internal side and releases the
// libraries, once; nothing happens when start-up never ran.
void PrimitivesShutdown() noexcept;

namespace IppDispatchDetail {
// Set (release) once every entry is written; read (acquire) by the free
// functions before they call through an entry.
inline std::atomic<bool> gBound{false};
}  // namespace IppDispatchDetail

// True once the table is bound.
inline bool PrimitivesBound() noexcept { return IppDispatchDetail::gBound.load(std::memory_order_acquire); }

// Binds the table on first use; one load and a branch afterwards.
inline void EnsurePrimitivesBound() noexcept {
  if (!PrimitivesBound()) PrimitivesStartup();
}
