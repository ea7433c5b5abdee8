#include "component/CmExtended.h"

#include <bit>
#include <cstddef>

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;
constexpr uint64_t kTopBit = uint64_t(1) << 63;

uint64_t DoubleBits(double AValue) { return std::bit_cast<uint64_t>(AValue); }
double BitsDouble(uint64_t ABits) { return std::bit_cast<double>(ABits); }

// AValue / 2^AShift rounded to nearest, ties to even.
uint64_t ShiftRightRounded(uint64_t AValue, int AShift) {
  if (AShift <= 0) return AValue;
  if (AShift > 64) return 0;
  if (AShift == 64) return AValue > kTopBit ? 1 : 0;  // exactly a half rounds to even 0
  const uint64_t q = AValue >> AShift;
  const uint64_t rest = AValue & ((uint64_t(1) << AShift) - 1);
  const uint64_t half = uint64_t(1) << (AShift - 1);
  if (rest > half || (rest == half && (q & 1) != 0)) return q + 1;
  return q;
}

}  // namespace

TExtended80 DoubleToExtended(double AValue) {
  const uint64_t bits = DoubleBits(AValue);
  const uint16_t sign = (bits >> 63) != 0 ? 0x8000 : 0;
  const int exp = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
  uint16_t extExp = 0;
  uint64_t mantissa = 0;
  if (exp == 0x7FF) {  // infinity or NaN: the payload moves to the top
    extExp = 0x7FFF;
    mantissa = kTopBit | (fraction << 11);
  } else if (exp == 0) {
    if (fraction != 0) {  // subnormal double: normal in the wider exponent
      const int lz = std::countl_zero(fraction);
      mantissa = fraction << lz;
      // value = fraction * 2^-1074 = mantissa * 2^(-1074 - lz) = 1.m * 2^(-1011 - lz)
      extExp = static_cast<uint16_t>(-1011 - lz + kExtendedBias);
    }
  } else {
    extExp = static_cast<uint16_t>(exp - kDoubleBias + kExtendedBias);
    mantissa = kTopBit | (fraction << 11);
  }
  TExtended80 out{};
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(mantissa >> (8 * i));
  const uint16_t top = static_cast<uint16_t>(sign | extExp);
  out[8] = static_cast<uint8_t>(top & 0xFF);
  out[9] = static_cast<uint8_t>(top >> 8);
  return out;
}

double ExtendedToDouble(const TExtended80& AValue) {
  uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | AValue[static_cast<std::size_t>(i)];
  const uint16_t top = static_cast<uint16_t>(AValue[8] | (AValue[9] << 8));
  const uint64_t sign = (top & 0x8000) != 0 ? kTopBit : 0;
  const int extExp = top & 0x7FFF;

  if (extExp == 0x7FFF) {
    const uint64_t payload = mantissa & ~kTopBit;
    if ((mantissa & kTopBit) == 0) return BitsDouble(sign | 0x7FF8000000000000ull);  // pseudo forms
    if (payload == 0) return BitsDouble(sign | 0x7FF0000000000000ull);             // infinity
    uint64_t fraction = payload >> 11;
    if (fraction == 0) fraction = uint64_t(1) << 51;  // a payload only in the low bits stays a NaN
    return BitsDouble(sign | 0x7FF0000000000000ull | fraction);
  }
  if (mantissa == 0) return BitsDouble(sign);

  // value = mantissa * 2^(e - 63), e the unbiased exponent; denormal
  // extendeds use the exponent of the smallest normal.
  int e = (extExp == 0 ? 1 : extExp) - kExtendedBias;
  const int lz = std::countl_zero(mantissa);
  mantissa <<= lz;
  e -= lz;

  if (e > kDoubleBias) return BitsDouble(sign | 0x7FF0000000000000ull);
  if (e >= -1022) {
    uint64_t q = ShiftRightRounded(mantissa, 11);  // 53 significant bits
    if (q == (uint64_t(1) << 53)) {
      q >>= 1;
      ++e;
      if (e > kDoubleBias) return BitsDouble(sign | 0x7FF0000000000000ull);
    }
    const uint64_t biased = static_cast<uint64_t>(e + kDoubleBias);
    return BitsDouble(sign | (biased << 52) | (q & ((uint64_t(1) << 52) - 1)));
  }
  // Subnormal result, in units of 2^-1074: mantissa * 2^(e - 63 + 1074).
  // A result rounded up to 2^52 is the smallest normal, whose bits are the same.
  const uint64_t q = ShiftRightRounded(mantissa, -(e + 1011));
  return BitsDouble(sign | q);
}
