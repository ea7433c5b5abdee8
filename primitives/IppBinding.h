// Helpers of the dispatch modules' sources: how one entry is bound and unbound.
// Private to primitives/.
#pragma once

#include <cstring>
#include <type_traits>

#include "primitives/CmIPPILoader.h"
#include "primitives/CmIPPSLoader.h"
#include "primitives/IppDispatch.h"

namespace IppBinding {

// Stores the library's export when AAddress is not null, else the fallback.
// The symbol address is turned into a function pointer by copying its bits
// (POSIX guarantees that both have the same representation).
template <class F>
void BindEntry(F*& AEntry, void* AAddress, std::type_identity_t<F*> AFallback) noexcept {
  static_assert(sizeof(F*) == sizeof(void*));
  if (AAddress != nullptr) {
    std::memcpy(&AEntry, &AAddress, sizeof AEntry);
  } else {
    AEntry = AFallback;
  }
}

}  // namespace IppBinding

#define FR_IPP_LOOKUP_Ipps(name) GetIppsProcAddress(name)
#define FR_IPP_LOOKUP_Ippi(name) GetIppiProcAddress(name)
#define FR_IPP_FALLBACK_Own(name) &IppInternal::name
#define FR_IPP_FALLBACK_Later(name) nullptr
#define FR_IPP_FALLBACK_None(name) nullptr

// In a module's source: FR_IPP_MODULE_<module>(x) expands to x for that
// module's lines only.
#define FR_IPP_DEFINE_ENTRY(module, lookup, kind, route, name, params, args) \
  FR_IPP_MODULE_##module(IppStatus(*name) params = nullptr;)
#define FR_IPP_BIND_ENTRY(module, lookup, kind, route, name, params, args) \
  FR_IPP_MODULE_##module(IppBinding::BindEntry(name, FR_IPP_LOOKUP_##lookup(#name), FR_IPP_FALLBACK_##kind(name));)
#define FR_IPP_UNBIND_ENTRY(module, lookup, kind, route, name, params, args) \
  FR_IPP_MODULE_##module(IppBinding::BindEntry(name, nullptr, FR_IPP_FALLBACK_##kind(name));)
