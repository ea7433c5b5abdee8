// The 80-bit extended real in which stored layouts and learnt data keep
// reals: a 64-bit significand with an explicit leading bit, a 15-bit exponent
// with bias 16383 and the sign at the top, ten bytes little-endian.
//
// The conversions work on the bits alone (no long double), so they give the
// same bytes on every compiler and processor.
#pragma once

#include <array>
#include <cstdint>

using TExtended80 = std::array<uint8_t, 10>;

// Exact: every double, also subnormals, infinities and NaNs (payload kept),
// has an extended form. 0 gives ten zero bytes; -0 keeps its sign.
TExtended80 DoubleToExtended(double AValue);

// The double nearest to the extended value (ties to even); exact for every
// value that came from a double. Values beyond the double range become
// infinities, values below it subnormals or zeros. Forms that no processor
// produces for a number (an exponent of all ones without the leading bit)
// read as NaN; unnormal and pseudo-denormal forms read as the number their
// bits stand for.
double ExtendedToDouble(const TExtended80& AValue);
