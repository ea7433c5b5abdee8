// A stand-in outside library for the binding tests: exports a few primitive
// names, each answering with a code that tells which library it came from
// (FAKE_LIBRARY_ID * 1000 + a per-name number). Which names a library exports
// is chosen by FAKE_EXPORTS_* definitions; some of them are names the lookup
// rules must never take from this library.
#include "primitives/ippdefs.h"

#define FAKE_CODE(n) (FAKE_LIBRARY_ID * 1000 + (n))

extern "C" {
#ifdef FAKE_EXPORTS_ADD
IppStatus ippsAdd_64f(const Ipp64f*, const Ipp64f*, Ipp64f*, int) { return FAKE_CODE(1); }
#endif
#ifdef FAKE_EXPORTS_CONVERT
IppStatus ippsConvert_64f32f(const Ipp64f*, Ipp32f*, int) { return FAKE_CODE(2); }
IppStatus ippsConvert_64f32s_Sfs(const Ipp64f*, Ipp32s*, int, IppRoundMode, int) { return FAKE_CODE(3); }
#endif
#ifdef FAKE_EXPORTS_SVD
IppStatus ippsSVD_64f_D2L(const Ipp64f**, Ipp64f**, int, Ipp64f*, Ipp64f**, int, int) { return FAKE_CODE(4); }
#endif
#ifdef FAKE_EXPORTS_CPU
int ippGetCpuType(void) { return FAKE_CODE(5); }
#endif
#ifdef FAKE_EXPORTS_MIRROR
IppStatus ippiMirror_8u_C3IR(Ipp8u*, int, IppiSize, IppiAxis) { return FAKE_CODE(6); }
#endif
#ifdef FAKE_EXPORTS_SET4
IppStatus ippiSet_8u_C4R(const Ipp8u[4], Ipp8u*, int, IppiSize) { return FAKE_CODE(7); }
#endif
#ifdef FAKE_EXPORTS_COPY4
IppStatus ippiCopy_8u_C4R(const Ipp8u*, int, Ipp8u*, int, IppiSize) { return FAKE_CODE(8); }
#endif
#ifdef FAKE_EXPORTS_SUM
IppStatus ippsSum_64f(const Ipp64f*, int, Ipp64f*) { return FAKE_CODE(9); }
#endif
}
