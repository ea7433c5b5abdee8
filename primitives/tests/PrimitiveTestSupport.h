// Shared pieces of the primitive tests: random vectors with the awkward
// values mixed in, element comparison in units of the last place, and a
// driver that runs a check over many lengths and unaligned starts.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "primitives/Ipps.h"

namespace PrimitiveTest {

inline std::mt19937_64& Rng() {
  static std::mt19937_64 g(20261210);
  return g;
}

// Value ranges for floating-point vectors.
enum class TRange { General, Exp, Positive, Small };

template <class T>
T RandomValue(TRange ARange = TRange::General) {
  auto& g = Rng();
  if constexpr (std::is_floating_point_v<T>) {
    using L = std::numeric_limits<T>;
    static const T specials[] = {T(-0.0), T(0.0), L::infinity(), -L::infinity(), L::quiet_NaN(), -L::quiet_NaN(),
                                 L::max(), -L::max(), L::min(), L::denorm_min(), T(1), T(-1), T(0.5), T(-2.5)};
    if (g() % 8 == 0) return specials[g() % (sizeof specials / sizeof specials[0])];
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    switch (ARange) {
      case TRange::Exp: return T(u(g) * 760.0);
      case TRange::Positive: return T(std::exp(u(g) * 40.0));
      case TRange::Small: return T(u(g) * 8.0);
      default: return T(u(g) * std::exp2(std::uniform_int_distribution<int>(-30, 30)(g)));
    }
  } else {
    using L = std::numeric_limits<T>;
    static const T specials[] = {L::min(), L::max(), T(0), T(1), T(L::min() + 1), T(L::max() - 1)};
    if (g() % 6 == 0) return specials[g() % 6];
    if (g() % 2 == 0) return static_cast<T>(static_cast<int64_t>(g() % 201) - 100);
    return static_cast<T>(g());
  }
}

template <>
inline Ipp64fc RandomValue<Ipp64fc>(TRange ARange) {
  const double re = RandomValue<double>(ARange);
  return {re, RandomValue<double>(ARange)};
}

template <class T>
std::vector<T> RandomVector(size_t n, TRange ARange = TRange::General) {
  std::vector<T> v(n);
  for (auto& x : v) x = RandomValue<T>(ARange);
  return v;
}

// Distance in units of the last place; NaNs match any NaN, zeros of
// different signs differ.
template <class T>
uint64_t UlpDistance(T a, T b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    if (std::signbit(a) != std::signbit(b)) return UINT64_MAX;
    using U = std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>;
    U ua, ub;
    std::memcpy(&ua, &a, sizeof a);
    std::memcpy(&ub, &b, sizeof b);
    return ua > ub ? ua - ub : ub - ua;
  } else {
    return a == b ? 0 : UINT64_MAX;
  }
}

template <class T>
std::string Show(T v) {
  std::ostringstream s;
  s.precision(17);
  if constexpr (sizeof(T) == 1) s << int(v); else s << v;
  return s.str();
}
inline std::string Show(Ipp64fc v) {
  std::ostringstream s;
  s << '(' << Show(v.re) << ", " << Show(v.im) << ')';
  return s.str();
}
inline uint64_t UlpDistance(Ipp64fc a, Ipp64fc b) {
  const uint64_t r = UlpDistance(a.re, b.re), i = UlpDistance(a.im, b.im);
  return r > i ? r : i;
}

// Element-by-element comparison that names the primitive, the length and the
// first differing index.
template <class T>
::testing::AssertionResult SameElements(const std::string& AName, int len, const T* AGot, const T* AWant,
                                        uint64_t AUlps = 0) {
  for (int i = 0; i < len; ++i) {
    if (UlpDistance(AGot[i], AWant[i]) > AUlps) {
      return ::testing::AssertionFailure() << AName << " len " << len << ": first difference at index " << i
                                           << ": got " << Show(AGot[i]) << ", want " << Show(AWant[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

// Lengths around the unrolling and vector widths, and one long vector.
inline const std::vector<int>& Lengths() {
  static const std::vector<int> v = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 1000, 4099};
  return v;
}

// Runs ACheck(len, offset) for every length and for starts 0 to 3 elements
// past an aligned block.
template <class F>
void ForLengthsAndOffsets(F ACheck) {
  for (int len : Lengths())
    for (int off = 0; off < 4; ++off) ACheck(len, off);
}

// A primitive against its plain reference loop over random vectors: a unary
// out-of-place form.
template <class TS, class TD, class Fn, class Ref>
void CheckUnary(const std::string& AName, Fn AFn, Ref ARef, TRange ARange = TRange::General, uint64_t AUlps = 0) {
  ForLengthsAndOffsets([&](int len, int off) {
    const auto src = RandomVector<TS>(len + off, ARange);
    std::vector<TD> got(len + off), want(len + off);
    const IppStatus s = AFn(src.data() + off, got.data() + off, len);
    const IppStatus r = ARef(src.data() + off, want.data() + off, len);
    EXPECT_EQ(s, r) << AName << " len " << len << " offset " << off;
    EXPECT_TRUE(SameElements(AName, len, got.data() + off, want.data() + off, AUlps)) << "offset " << off;
  });
}

// In place: the reference works on a copy.
template <class T, class Fn, class Ref>
void CheckInPlace(const std::string& AName, Fn AFn, Ref ARef, TRange ARange = TRange::General, uint64_t AUlps = 0) {
  ForLengthsAndOffsets([&](int len, int off) {
    auto got = RandomVector<T>(len + off, ARange);
    auto want = got;
    const IppStatus s = AFn(got.data() + off, len);
    const IppStatus r = ARef(want.data() + off, len);
    EXPECT_EQ(s, r) << AName << " len " << len << " offset " << off;
    EXPECT_TRUE(SameElements(AName, len, got.data() + off, want.data() + off, AUlps)) << "offset " << off;
  });
}

// Two sources, one destination.
template <class TA, class TB, class TD, class Fn, class Ref>
void CheckBinary(const std::string& AName, Fn AFn, Ref ARef, TRange ARange = TRange::General, uint64_t AUlps = 0) {
  ForLengthsAndOffsets([&](int len, int off) {
    const auto a = RandomVector<TA>(len + off, ARange);
    const auto b = RandomVector<TB>(len + off, ARange);
    std::vector<TD> got(len + off), want(len + off);
    const IppStatus s = AFn(a.data() + off, b.data() + off, got.data() + off, len);
    const IppStatus r = ARef(a.data() + off, b.data() + off, want.data() + off, len);
    EXPECT_EQ(s, r) << AName << " len " << len << " offset " << off;
    EXPECT_TRUE(SameElements(AName, len, got.data() + off, want.data() + off, AUlps)) << "offset " << off;
  });
}

// A source and an in-place operand.
template <class TS, class TD, class Fn, class Ref>
void CheckBinaryInPlace(const std::string& AName, Fn AFn, Ref ARef, TRange ARange = TRange::General,
                        uint64_t AUlps = 0) {
  ForLengthsAndOffsets([&](int len, int off) {
    const auto a = RandomVector<TS>(len + off, ARange);
    auto got = RandomVector<TD>(len + off, ARange);
    auto want = got;
    const IppStatus s = AFn(a.data() + off, got.data() + off, len);
    const IppStatus r = ARef(a.data() + off, want.data() + off, len);
    EXPECT_EQ(s, r) << AName << " len " << len << " offset " << off;
    EXPECT_TRUE(SameElements(AName, len, got.data() + off, want.data() + off, AUlps)) << "offset " << off;
  });
}

// Complex vectors from pairs of random doubles.
inline std::vector<Ipp64fc> RandomComplex(size_t n, TRange ARange = TRange::General) {
  std::vector<Ipp64fc> v(n);
  for (auto& z : v) z = {RandomValue<double>(ARange), RandomValue<double>(ARange)};
  return v;
}

}  // namespace PrimitiveTest
