// Helpers shared by the internal implementations. Private to primitives/.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#include "primitives/IppDispatch.h"

namespace IppsCommon {

// The floating-point unit's equality test, in which an unordered comparison
// (a NaN operand) also counts as equal: the shortcuts for the constants 0 and
// 1 take a NaN constant.
inline bool FpuEquals(double a, double b) noexcept { return !(a < b) && !(a > b); }

template <class... P>
inline bool AnyNull(P... p) noexcept {
  return ((p == nullptr) || ...);
}

// x87 extended precision (64-bit significand). The sums are defined by that
// precision: a platform whose long double is a plain double (53 bits) or a
// quadruple (113 bits) would give other results, so it is refused here and,
// with a clearer message, when the build is configured.
using Extended = long double;
static_assert(std::numeric_limits<long double>::digits == 64,
              "the internal primitives accumulate in the 80-bit extended format (a 64-bit significand)");

inline uint64_t Bits(double x) noexcept {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline double FromBits(uint64_t u) noexcept {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

// The scaled-integer rule: the exact result r divided by 2^s, rounded to
// nearest with ties to even, or multiplied by 2^-s, then saturated to
// [ALo, AHi]. Valid for s <= 62; s below -62 behaves as -62 (every nonzero r
// saturates by its sign either way).
inline int64_t ScaleSaturate(int64_t r, int s, int64_t ALo, int64_t AHi) noexcept {
  int64_t v;
  if (s == 0) {
    v = r;
  } else if (s > 0) {
    v = (r + (int64_t{1} << (s - 1)) - 1 + ((r >> s) & 1)) >> s;
  } else {
    const int k = s < -62 ? 62 : -s;
    if (r > (AHi >> k)) return AHi;
    if (r < (ALo >> k)) return ALo;
    v = r * (int64_t{1} << k);
  }
  return v < ALo ? ALo : (v > AHi ? AHi : v);
}

// 2^-s as repeated doubling or halving of 1.0 would form it in extended
// precision (powers of two are exact until they overflow to infinity or
// underflow to zero, which happens well inside the clamp).
inline Extended ExtendedScale(int s) noexcept {
  const int k = s < -20000 ? 20000 : (s > 20000 ? -20000 : -s);
  return __builtin_ldexpl(1.0L, k);
}

// Rounds half to even the way the primitives state it: t >= 0:
// n = trunc(t + 0.5), minus one when n is odd and t + 0.5 equals n exactly;
// t < 0 mirrored. Requires |t| well inside the int64 range.
inline int64_t RoundHalfEven(Extended t) noexcept {
  if (t >= 0) {
    const Extended u = t + 0.5L;
    int64_t n = static_cast<int64_t>(u);
    if ((n & 1) != 0 && static_cast<Extended>(n) == u) --n;
    return n;
  }
  const Extended u = t - 0.5L;
  int64_t n = static_cast<int64_t>(u);
  if ((n & 1) != 0 && static_cast<Extended>(n) == u) ++n;
  return n;
}

}  // namespace IppsCommon

#define FR_IPP_REQUIRE(...)                                          \
  do {                                                               \
    if (::IppsCommon::AnyNull(__VA_ARGS__)) return ippStsNullPtrErr; \
  } while (0)
#define FR_IPP_REQUIRE_LEN(len)            \
  do {                                     \
    if ((len) < 1) return ippStsSizeErr;   \
  } while (0)
