// The uniform random vector and the Jaehne test vector.
#include "primitives/IppsCommon.h"
#include "primitives/LibCDispatcher.h"

using IppsCommon::Extended;

namespace IppInternal {

// A subtract-with-borrow sequence (lags s1, s2, s3, borrow b) rebuilt from
// the seed, added to a linear congruential word that restarts at 0x436CBAE9
// in every call; all words modulo 2^32. The seed written back is the last
// subtract-with-borrow value, so a call continues a sequence only through it.
IppStatus ippsRandUniform_Direct_64f(Ipp64f* pDst, int len, Ipp64f low, Ipp64f high, unsigned int* pSeed) {
  FR_IPP_REQUIRE(pDst, pSeed);
  FR_IPP_REQUIRE_LEN(len);
  constexpr uint32_t kMul = 69069u, kAdd = 1013904243u;
  uint32_t s1 = *pSeed;
  uint32_t s2 = kMul * s1 + kAdd;
  uint32_t s3 = kMul * s2 + kAdd;
  uint32_t b = 0xFFFFFFFFu;  // -1
  uint32_t x = 0x436CBAE9u;
  // 2^-32 raised by seven units in the last place, so that r*scale stays
  // inside [low, high) for every 32-bit r around the midpoint.
  const Extended scale = (static_cast<Extended>(high) - low) * IppsCommon::FromBits(0x3DF0000000000007ull);
  const Extended mid = (static_cast<Extended>(low) + high) * 0.5L;
  uint32_t t = 0;
  for (int i = 0; i < len; ++i) {
    x = kMul * x + kAdd;
    t = s2 - s3 + b;
    if ((t & 0x80000000u) != 0) {
      b = 0xFFFFFFFFu;
      t -= 18u;
    } else {
      b = 0;
    }
    s3 = s2;
    s2 = s1;
    s1 = t;
    const int32_t r = static_cast<int32_t>(t + x);
    pDst[i] = static_cast<double>(mid + static_cast<Extended>(r) * scale);
  }
  *pSeed = t;
  return ippStsNoErr;
}

// pDst[n] = magn * sin(pi*n^2/(2*len)).
IppStatus ippsVectorJaehne_64f(Ipp64f* pDst, int len, Ipp64f magn) {
  FR_IPP_REQUIRE(pDst);
  FR_IPP_REQUIRE_LEN(len);
  if (magn < 0) return ippStsJaehneErr;
  if (len == 1) {
    pDst[0] = 0;
    return ippStsNoErr;
  }
  const double k = (3.14159265358979323846 / 2) / static_cast<double>(len);
  for (int n = 0; n < len; ++n) {
    const double a = static_cast<double>((static_cast<Extended>(k) * n) * n);
    pDst[n] = magn * LibCDispatcher::sin(a);
  }
  return ippStsNoErr;
}

}  // namespace IppInternal
