// The exponential's pieces, shared by ippsExp_64f(_I) and the tests that
// check it against a plain element-by-element version. Private to
// primitives/.
#pragma once

#include <cstdint>
#include <cstring>

namespace IppsExp {

// Screening: NaN gives NaN; x >= 709.7822265625 (upper 32 bits of x at least
// 0x40862E42, +inf included) gives +inf; x <= -708.39599609375 (x negative
// and the upper 32 bits of |x| at least 0x4086232B, -inf included) gives
// +0.0. Returns true and sets AResult for a screened element.
inline bool Screen(double x, double& AResult) noexcept {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  const uint32_t hi = static_cast<uint32_t>(u >> 32);
  const uint32_t ahi = hi & 0x7fffffffu;
  if (x != x) {
    AResult = x + x;  // a quiet NaN of the same sign
    return true;
  }
  if ((hi >> 31) == 0 && ahi >= 0x40862E42u) {
    AResult = __builtin_inf();
    return true;
  }
  if ((hi >> 31) != 0 && ahi >= 0x4086232Bu) {
    AResult = 0.0;
    return true;
  }
  return false;
}

// The fdlibm method for an unscreened x: x = k*ln2 + r with ln2 split in a
// high and a low part and k the nearest integer to x/ln2 (halves away from
// zero), e^r from the rational approximation with fdlibm's five coefficients,
// and e^x = e^r * 2^k by adding k to the binary exponent (through 2^-1000
// when the result is subnormal). Every lane of the vector form performs
// exactly these operations in this order.
struct TConstants {
  static constexpr double kLn2Hi = 6.93147180369123816490e-01;
  static constexpr double kLn2Lo = 1.90821492927058770002e-10;
  static constexpr double kInvLn2 = 1.44269504088896338700e+00;
  static constexpr double kP1 = 1.66666666666666019037e-01;
  static constexpr double kP2 = -2.77777777770155933842e-03;
  static constexpr double kP3 = 6.61375632143793436117e-05;
  static constexpr double kP4 = -1.65339022054652515390e-06;
  static constexpr double kP5 = 4.13813679705723846039e-08;
  static constexpr double kTwoM1000 = 9.33263618503218878990e-302;  // 2^-1000
};

inline double Kernel(double x) noexcept {
  using C = TConstants;
  const double half = x < 0 ? -0.5 : 0.5;
  const int32_t k = static_cast<int32_t>(C::kInvLn2 * x + half);
  const double t = static_cast<double>(k);
  const double hi = x - t * C::kLn2Hi;
  const double lo = t * C::kLn2Lo;
  const double r = hi - lo;
  const double r2 = r * r;
  const double c = r - r2 * (C::kP1 + r2 * (C::kP2 + r2 * (C::kP3 + r2 * (C::kP4 + r2 * C::kP5))));
  const double y = 1.0 - ((lo - (r * c) / (2.0 - c)) - hi);
  uint64_t u;
  std::memcpy(&u, &y, sizeof u);
  const bool tiny = k < -1021;
  u += static_cast<uint64_t>(static_cast<int64_t>(tiny ? k + 1000 : k)) << 52;
  double v;
  std::memcpy(&v, &u, sizeof v);
  return tiny ? v * C::kTwoM1000 : v;
}

}  // namespace IppsExp
