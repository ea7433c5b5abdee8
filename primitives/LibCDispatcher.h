// The C-library maths functions the internal implementations call, on
// doubles, each computed in extended precision (long double, a 64-bit
// significand on x86-64) and rounded once to double.
#pragma once

#include <cmath>

namespace LibCDispatcher {

// The integer part truncated toward zero, plus one when the fractional part
// is greater than zero.
inline double ceil(double x) noexcept {
  const long double v = x;
  long double t = std::trunc(v);
  if (v - t > 0.0L) t += 1.0L;
  return static_cast<double>(t);
}
inline double sin(double x) noexcept { return static_cast<double>(std::sin(static_cast<long double>(x))); }
inline double cos(double x) noexcept { return static_cast<double>(std::cos(static_cast<long double>(x))); }
inline double sqrt(double x) noexcept { return static_cast<double>(std::sqrt(static_cast<long double>(x))); }
inline double exp(double x) noexcept { return static_cast<double>(std::exp(static_cast<long double>(x))); }
// Natural logarithm.
inline double log(double x) noexcept { return static_cast<double>(std::log(static_cast<long double>(x))); }
// Radians in the range -pi to pi.
inline double atan2(double y, double x) noexcept {
  return static_cast<double>(std::atan2(static_cast<long double>(y), static_cast<long double>(x)));
}

}  // namespace LibCDispatcher
