// Correlation, convolution and FIR filtering: the exact small cases, the
// status codes, and every primitive on either side of each switch-over
// between its direct and its transform method against a sum in long double.
// Also the uniform random vector and the Jaehne vector.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <random>
#include <string>
#include <vector>

#include "primitives/Ipps.h"

namespace {

using LC = std::complex<long double>;

std::mt19937_64& Rng() {
  static std::mt19937_64 g(4711);
  return g;
}

std::vector<double> RandomReal(size_t n) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> v(n);
  for (auto& x : v) x = u(Rng());
  return v;
}

std::vector<Ipp64fc> RandomComplex(size_t n) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<Ipp64fc> v(n);
  for (auto& z : v) z = {u(Rng()), u(Rng())};
  return v;
}

// Largest difference relative to the largest reference magnitude.
template <class A, class R>
double MaxRelative(const A& got, const R& ref) {
  long double worst = 0, scale = 0;
  for (size_t i = 0; i < ref.size(); ++i) scale = std::max(scale, std::abs(ref[i]));
  for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(static_cast<long double>(got[i]) - ref[i]));
  return static_cast<double>(scale == 0 ? worst : worst / scale);
}

double MaxRelative(const std::vector<Ipp64fc>& got, const std::vector<LC>& ref) {
  long double worst = 0, scale = 0;
  for (size_t i = 0; i < ref.size(); ++i) scale = std::max(scale, std::abs(ref[i]));
  for (size_t i = 0; i < ref.size(); ++i) worst = std::max(worst, std::abs(LC(got[i].re, got[i].im) - ref[i]));
  return static_cast<double>(scale == 0 ? worst : worst / scale);
}

// ---- references in long double

std::vector<long double> RefCrossCorr(const std::vector<double>& a, const std::vector<double>& b, int dstLen, int lowLag) {
  std::vector<long double> r(dstLen, 0);
  for (int n = 0; n < dstLen; ++n) {
    const int64_t k = int64_t{n} + lowLag;
    for (int64_t i = 0; i < static_cast<int64_t>(a.size()); ++i) {
      if (i + k >= 0 && i + k < static_cast<int64_t>(b.size())) r[n] += static_cast<long double>(a[i]) * b[i + k];
    }
  }
  return r;
}

std::vector<LC> RefCrossCorr(const std::vector<Ipp64fc>& a, const std::vector<Ipp64fc>& b, int dstLen, int lowLag) {
  std::vector<LC> r(dstLen, 0);
  for (int n = 0; n < dstLen; ++n) {
    const int64_t k = int64_t{n} + lowLag;
    for (int64_t i = 0; i < static_cast<int64_t>(a.size()); ++i) {
      if (i + k >= 0 && i + k < static_cast<int64_t>(b.size()))
        r[n] += std::conj(LC(a[i].re, a[i].im)) * LC(b[i + k].re, b[i + k].im);
    }
  }
  return r;
}

std::vector<long double> RefConv(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<long double> r(a.size() + b.size() - 1, 0);
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = 0; j < b.size(); ++j) r[i + j] += static_cast<long double>(a[i]) * b[j];
  return r;
}

// ---- exact small cases

struct TAutoCase {
  std::string Name;
  IppStatus (*Entry)(const Ipp64f*, int, Ipp64f*, int);
  std::vector<double> Expected;
};

class AutoCorrSmallTest : public ::testing::TestWithParam<TAutoCase> {};

TEST_P(AutoCorrSmallTest, OneTwoThree) {
  const auto& c = GetParam();
  const double x[] = {1, 2, 3};
  std::vector<double> y(5, 99);
  ASSERT_EQ(c.Entry(x, 3, y.data(), 5), ippStsNoErr);
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(y[i], c.Expected[i]) << c.Name << " " << i;
  // A short destination takes the first lags only.
  std::vector<double> two(2, 99);
  ASSERT_EQ(c.Entry(x, 3, two.data(), 2), ippStsNoErr);
  EXPECT_DOUBLE_EQ(two[1], c.Expected[1]);
  EXPECT_EQ(c.Entry(nullptr, 3, y.data(), 5), ippStsNullPtrErr);
  EXPECT_EQ(c.Entry(x, 0, y.data(), 5), ippStsSizeErr);
  EXPECT_EQ(c.Entry(x, 3, y.data(), 0), ippStsSizeErr);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AutoCorrSmallTest,
    ::testing::Values(TAutoCase{"plain", ippsAutoCorr_64f, {14, 8, 3, 0, 0}},
                      TAutoCase{"NormA", ippsAutoCorr_NormA_64f, {14.0 / 3, 8.0 / 3, 1, 0, 0}},
                      TAutoCase{"NormB", ippsAutoCorr_NormB_64f, {14.0 / 3, 4, 3, 0, 0}}),
    [](const auto& info) { return info.param.Name; });

TEST(CorrelationEdgeTest, ComplexAutoCorrConjugatesTheFirstFactor) {
  const Ipp64fc x[] = {{0, 1}, {1, 0}};
  Ipp64fc y[3] = {{9, 9}, {9, 9}, {9, 9}};
  ASSERT_EQ(ippsAutoCorr_64fc(x, 2, y, 3), ippStsNoErr);
  EXPECT_EQ(y[0].re, 2);
  EXPECT_EQ(y[0].im, 0);
  EXPECT_EQ(y[1].re, 0);
  EXPECT_EQ(y[1].im, -1) << "lag 1 is conj(i)*1";
  EXPECT_EQ(y[2].re, 0);
  ASSERT_EQ(ippsAutoCorr_NormA_64fc(x, 2, y, 2), ippStsNoErr);
  EXPECT_EQ(y[0].re, 1);
  EXPECT_EQ(y[1].im, -0.5);
  ASSERT_EQ(ippsAutoCorr_NormB_64fc(x, 2, y, 2), ippStsNoErr);
  EXPECT_EQ(y[0].re, 1);
  EXPECT_EQ(y[1].im, -1);
}

TEST(CorrelationEdgeTest, CrossCorrWithANegativeLowLag) {
  const double a[] = {1, 2}, b[] = {1, 1, 1};
  double y[6];
  ASSERT_EQ(ippsCrossCorr_64f(a, 2, b, 3, y, 6, -2), ippStsNoErr);
  const double expected[] = {0, 2, 3, 3, 1, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(y[i], expected[i]) << i;
  const Ipp64fc ac[] = {{1, 0}, {2, 0}}, bc[] = {{1, 0}, {1, 0}, {1, 0}};
  Ipp64fc yc[6];
  ASSERT_EQ(ippsCrossCorr_64fc(ac, 2, bc, 3, yc, 6, -2), ippStsNoErr);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(yc[i].re, expected[i]) << i;
  // Lags wholly outside the overlap are zeros; extreme lags do not overflow.
  double far[3] = {9, 9, 9};
  ASSERT_EQ(ippsCrossCorr_64f(a, 2, b, 3, far, 3, 2147483647 - 2), ippStsNoErr);
  EXPECT_EQ(far[0], 0);
  EXPECT_EQ(far[2], 0);
  ASSERT_EQ(ippsCrossCorr_64f(a, 2, b, 3, far, 3, -2147483647), ippStsNoErr);
  EXPECT_EQ(far[1], 0);
  EXPECT_EQ(ippsCrossCorr_64f(a, 2, nullptr, 3, y, 6, 0), ippStsNullPtrErr);
  EXPECT_EQ(ippsCrossCorr_64f(a, 2, b, 0, y, 6, 0), ippStsSizeErr);
}

TEST(CorrelationEdgeTest, ConvolutionInBothArgumentOrders) {
  const double a[] = {1, 2}, b[] = {1, 1, 1};
  double y1[4], y2[4];
  ASSERT_EQ(ippsConv_64f(a, 2, b, 3, y1), ippStsNoErr);
  ASSERT_EQ(ippsConv_64f(b, 3, a, 2, y2), ippStsNoErr);
  const double expected[] = {1, 3, 3, 2};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(y1[i], expected[i]) << i;
    EXPECT_EQ(y2[i], expected[i]) << i;
  }
  // A destination overlapping a source still gets the convolution.
  double inplace[4] = {1, 2, 0, 0};
  ASSERT_EQ(ippsConv_64f(inplace, 2, b, 3, inplace), ippStsNoErr);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(inplace[i], expected[i]) << i;
  EXPECT_EQ(ippsConv_64f(a, 2, b, 3, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsConv_64f(a, 0, b, 3, y1), ippStsSizeErr);
}

TEST(FIREdgeTest, TwoTapsAcrossTwoCalls) {
  const double taps[] = {1, 1};
  IppsFIRState_64f* s = nullptr;
  ASSERT_EQ(ippsFIRInitAlloc_64f(&s, taps, 2, nullptr), ippStsNoErr);
  const double x1[] = {1, 2, 3};
  double y1[3];
  ASSERT_EQ(ippsFIR_64f(x1, y1, 3, s), ippStsNoErr);
  EXPECT_EQ(y1[0], 1);
  EXPECT_EQ(y1[1], 3);
  EXPECT_EQ(y1[2], 5);
  const double x2[] = {4};
  double y2[1];
  ASSERT_EQ(ippsFIR_64f(x2, y2, 1, s), ippStsNoErr);
  EXPECT_EQ(y2[0], 7);
  // In place.
  double xy[] = {1, 1};
  ASSERT_EQ(ippsFIR_64f(xy, xy, 2, s), ippStsNoErr);
  EXPECT_EQ(xy[0], 5);
  EXPECT_EQ(xy[1], 2);
  EXPECT_EQ(ippsFIRFree_64f(s), ippStsNoErr);

  // A delay line: pDlyLine[0] is the most recent earlier input.
  const double taps3[] = {1, 10, 100};
  const double dly[] = {2, 3, 99};
  ASSERT_EQ(ippsFIRInitAlloc_64f(&s, taps3, 3, dly), ippStsNoErr);
  const double x[] = {1};
  double y[1];
  ASSERT_EQ(ippsFIR_64f(x, y, 1, s), ippStsNoErr);
  EXPECT_EQ(y[0], 1 + 10 * 2 + 100 * 3);
  EXPECT_EQ(ippsFIRFree_64f(s), ippStsNoErr);
}

TEST(FIREdgeTest, StatusCodes) {
  const double taps[] = {1};
  IppsFIRState_64f* s = nullptr;
  EXPECT_EQ(ippsFIRInitAlloc_64f(&s, taps, 0, nullptr), ippStsFIRLenErr);
  EXPECT_EQ(ippsFIRInitAlloc_64f(nullptr, taps, 0, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsFIRInitAlloc_64f(&s, nullptr, 1, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(s, nullptr);
  alignas(64) unsigned char other[512] = {1, 2, 3, 4};
  auto* foreign = reinterpret_cast<IppsFIRState_64f*>(other);
  EXPECT_EQ(ippsFIRFree_64f(foreign), ippStsContextMatchErr);
  double x[1] = {1}, y[1] = {0};
  EXPECT_EQ(ippsFIR_64f(x, y, 1, foreign), ippStsContextMatchErr);
  EXPECT_EQ(ippsFIR_64f(x, y, 0, foreign), ippStsSizeErr) << "the length before the kind";
  EXPECT_EQ(ippsFIR_64f(x, nullptr, 1, foreign), ippStsNullPtrErr);
  EXPECT_EQ(ippsFIRFree_64f(nullptr), ippStsNullPtrErr);
}

// ---- both sides of every switch-over, against long double

struct TSwitchCase {
  std::string Name;
  int Len1, Len2, DstLen, LowLag;
};

class RealAutoCorrSwitchTest : public ::testing::TestWithParam<TSwitchCase> {};
class ComplexAutoCorrSwitchTest : public ::testing::TestWithParam<TSwitchCase> {};
class CrossCorrSwitchTest : public ::testing::TestWithParam<TSwitchCase> {};
class ConvSwitchTest : public ::testing::TestWithParam<TSwitchCase> {};
class FIRSwitchTest : public ::testing::TestWithParam<TSwitchCase> {};

// The direct methods are exact to extended precision; the transform methods
// are within a few units of rounding times log2 of the transform size.
constexpr double kDirectTol = 4 * DBL_EPSILON;
constexpr double kTransformTol = 64 * DBL_EPSILON;

TEST_P(RealAutoCorrSwitchTest, RealAutoCorr) {
  const auto& c = GetParam();
  const auto x = RandomReal(c.Len1);
  std::vector<double> y(c.DstLen);
  ASSERT_EQ(ippsAutoCorr_64f(x.data(), c.Len1, y.data(), c.DstLen), ippStsNoErr);
  const auto ref = RefCrossCorr(x, x, c.DstLen, 0);
  EXPECT_LT(MaxRelative(y, ref), std::min(c.Len1, c.DstLen) < 600 ? kDirectTol : kTransformTol) << c.Name;
  std::vector<double> b(c.DstLen);
  ASSERT_EQ(ippsAutoCorr_NormB_64f(x.data(), c.Len1, b.data(), c.DstLen), ippStsNoErr);
  for (int n = 0; n < std::min(c.Len1, c.DstLen); n += 97) EXPECT_NEAR(b[n], y[n] / (c.Len1 - n), 1e-15 * c.Len1) << n;
}

TEST_P(ComplexAutoCorrSwitchTest, ComplexAutoCorr) {
  const auto& c = GetParam();
  const auto x = RandomComplex(c.Len1);
  std::vector<Ipp64fc> y(c.DstLen);
  ASSERT_EQ(ippsAutoCorr_64fc(x.data(), c.Len1, y.data(), c.DstLen), ippStsNoErr);
  EXPECT_LT(MaxRelative(y, RefCrossCorr(x, x, c.DstLen, 0)), std::min(c.Len1, c.DstLen) < 96 ? kDirectTol : kTransformTol)
      << c.Name;
}

TEST_P(CrossCorrSwitchTest, CrossCorr) {
  const auto& c = GetParam();
  const auto a = RandomReal(c.Len1), b = RandomReal(c.Len2);
  std::vector<double> y(c.DstLen);
  ASSERT_EQ(ippsCrossCorr_64f(a.data(), c.Len1, b.data(), c.Len2, y.data(), c.DstLen, c.LowLag), ippStsNoErr);
  EXPECT_LT(MaxRelative(y, RefCrossCorr(a, b, c.DstLen, c.LowLag)), kTransformTol) << c.Name;
  const auto ac = RandomComplex(c.Len1), bc = RandomComplex(c.Len2);
  std::vector<Ipp64fc> yc(c.DstLen);
  ASSERT_EQ(ippsCrossCorr_64fc(ac.data(), c.Len1, bc.data(), c.Len2, yc.data(), c.DstLen, c.LowLag), ippStsNoErr);
  EXPECT_LT(MaxRelative(yc, RefCrossCorr(ac, bc, c.DstLen, c.LowLag)), kTransformTol) << c.Name;
}

TEST_P(ConvSwitchTest, Convolution) {
  const auto& c = GetParam();
  const auto a = RandomReal(c.Len1), b = RandomReal(c.Len2);
  std::vector<double> y(c.Len1 + c.Len2 - 1), z(y.size());
  ASSERT_EQ(ippsConv_64f(a.data(), c.Len1, b.data(), c.Len2, y.data()), ippStsNoErr);
  ASSERT_EQ(ippsConv_64f(b.data(), c.Len2, a.data(), c.Len1, z.data()), ippStsNoErr);
  const auto ref = RefConv(a, b);
  // The direct method rounds each partial sum to double: about sqrt(lv) units.
  EXPECT_LT(MaxRelative(y, ref), kTransformTol) << c.Name;
  if (c.Len1 != c.Len2) {
    EXPECT_EQ(y, z) << "the longer sequence is u whichever argument it is";
  }
}

TEST_P(FIRSwitchTest, FIRInPiecesEqualsTheWholeConvolution) {
  const auto& c = GetParam();
  const int taps = c.Len1, total = c.Len2, first = c.DstLen;
  const auto h = RandomReal(taps), x = RandomReal(total);
  IppsFIRState_64f* s = nullptr;
  ASSERT_EQ(ippsFIRInitAlloc_64f(&s, h.data(), taps, nullptr), ippStsNoErr);
  std::vector<double> y(total);
  ASSERT_EQ(ippsFIR_64f(x.data(), y.data(), first, s), ippStsNoErr);
  ASSERT_EQ(ippsFIR_64f(x.data() + first, y.data() + first, total - first, s), ippStsNoErr);
  EXPECT_EQ(ippsFIRFree_64f(s), ippStsNoErr);
  auto ref = RefConv(h, x);
  ref.resize(total);
  EXPECT_LT(MaxRelative(y, ref), kTransformTol) << c.Name;
}

auto CaseName = [](const auto& info) { return info.param.Name; };

// srcLen 599 (direct) and 600 (transform); dstLen limits L.
INSTANTIATE_TEST_SUITE_P(Cases, RealAutoCorrSwitchTest,
                         ::testing::Values(TSwitchCase{"src_599", 599, 0, 599, 0}, TSwitchCase{"src_600", 600, 0, 600, 0},
                                           TSwitchCase{"src_600_dst_599", 600, 0, 599, 0},
                                           TSwitchCase{"dst_longer", 700, 0, 900, 0}),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Cases, ComplexAutoCorrSwitchTest,
                         ::testing::Values(TSwitchCase{"src_95", 95, 0, 95, 0}, TSwitchCase{"src_96", 96, 0, 100, 0}),
                         CaseName);
// L*min/max: 511 direct, 512 transform.
INSTANTIATE_TEST_SUITE_P(Cases, CrossCorrSwitchTest,
                         ::testing::Values(TSwitchCase{"direct_511", 511, 511, 511, 0},
                                           TSwitchCase{"transform_512", 512, 512, 512, 0},
                                           TSwitchCase{"transform_unequal", 300, 1500, 2600, -700},
                                           TSwitchCase{"lags_outside", 600, 700, 1600, -650}),
                         CaseName);
// Lout 149 / 150, lv 31 / 32, lu < 3*lv against overlap-save, 4096-output blocks.
INSTANTIATE_TEST_SUITE_P(Cases, ConvSwitchTest,
                         ::testing::Values(TSwitchCase{"lout_149", 100, 50, 0, 0}, TSwitchCase{"lout_150", 100, 51, 0, 0},
                                           TSwitchCase{"lv_31", 500, 31, 0, 0}, TSwitchCase{"lv_32", 500, 32, 0, 0},
                                           TSwitchCase{"one_transform", 95, 32, 0, 0},
                                           TSwitchCase{"overlap_save", 96, 32, 0, 0},
                                           TSwitchCase{"overlap_save_long", 5000, 40, 0, 0},
                                           TSwitchCase{"direct_blocks", 9000, 20, 0, 0}),
                         CaseName);
// Taps 31 / 32, a first call of 511 / 512 samples, calls shorter than the taps.
INSTANTIATE_TEST_SUITE_P(Cases, FIRSwitchTest,
                         ::testing::Values(TSwitchCase{"taps_31", 31, 1500, 700, 0},
                                           TSwitchCase{"taps_32_first_511", 32, 1100, 511, 0},
                                           TSwitchCase{"taps_32_first_512", 32, 1100, 512, 0},
                                           TSwitchCase{"taps_511", 511, 2000, 600, 0},
                                           TSwitchCase{"calls_shorter_than_taps", 200, 300, 50, 0}),
                         CaseName);

// ---- random and test signals

TEST(RandomTest, SeedWriteBackAndRestart) {
  unsigned int seed = 12345;
  double v[1];
  ASSERT_EQ(ippsRandUniform_Direct_64f(v, 1, 0, 1, &seed), ippStsNoErr);
  const uint32_t S = 12345, s2 = 69069u * S + 1013904243u, s3 = 69069u * s2 + 1013904243u;
  uint32_t t = s2 - s3 - 1u;
  if (t & 0x80000000u) t -= 18u;
  EXPECT_EQ(seed, t);

  unsigned int a = 7, b = 7, c = 7;
  std::vector<double> x(4), y(4), z(4);
  ASSERT_EQ(ippsRandUniform_Direct_64f(x.data(), 4, -1, 1, &a), ippStsNoErr);
  ASSERT_EQ(ippsRandUniform_Direct_64f(y.data(), 4, -1, 1, &b), ippStsNoErr);
  EXPECT_EQ(x, y);
  EXPECT_EQ(a, b);
  ASSERT_EQ(ippsRandUniform_Direct_64f(z.data(), 2, -1, 1, &c), ippStsNoErr);
  ASSERT_EQ(ippsRandUniform_Direct_64f(z.data() + 2, 2, -1, 1, &c), ippStsNoErr);
  EXPECT_NE(z, x) << "the congruential word restarts in every call";
  EXPECT_EQ(z[0], x[0]);

  unsigned int keep = 5;
  EXPECT_EQ(ippsRandUniform_Direct_64f(v, 0, 0, 1, &keep), ippStsSizeErr);
  EXPECT_EQ(ippsRandUniform_Direct_64f(v, 1, 0, 1, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(keep, 5u) << "an error leaves the seed";
}

TEST(RandomTest, RangeAndDegenerateInterval) {
  unsigned int seed = 99;
  std::vector<double> v(100000);
  ASSERT_EQ(ippsRandUniform_Direct_64f(v.data(), 100000, -3, 5, &seed), ippStsNoErr);
  long double sum = 0;
  for (double x : v) {
    ASSERT_GE(x, -3 - 8 * std::ldexp(1.0, -32));
    ASSERT_LE(x, 5.0);
    sum += x;
  }
  EXPECT_NEAR(static_cast<double>(sum / 100000), 1.0, 0.05);
  std::vector<double> same(10);
  ASSERT_EQ(ippsRandUniform_Direct_64f(same.data(), 10, 2.5, 2.5, &seed), ippStsNoErr);
  for (double x : same) EXPECT_EQ(x, 2.5);
}

TEST(JaehneTest, ValuesAndErrors) {
  double one[1] = {9};
  ASSERT_EQ(ippsVectorJaehne_64f(one, 1, 3), ippStsNoErr);
  EXPECT_EQ(one[0], 0);
  double two[2];
  ASSERT_EQ(ippsVectorJaehne_64f(two, 2, 1), ippStsNoErr);
  EXPECT_EQ(two[0], 0);
  EXPECT_DOUBLE_EQ(two[1], std::sin(M_PI / 4));
  std::vector<double> v(1000);
  ASSERT_EQ(ippsVectorJaehne_64f(v.data(), 1000, 2.5), ippStsNoErr);
  for (int n = 0; n < 1000; n += 37) EXPECT_NEAR(v[n], 2.5 * std::sin(M_PI * n * n / 2000.0), 1e-12) << n;
  EXPECT_EQ(ippsVectorJaehne_64f(two, 2, -1), ippStsJaehneErr);
  EXPECT_EQ(ippsVectorJaehne_64f(nullptr, 0, -1), ippStsNullPtrErr);
  EXPECT_EQ(ippsVectorJaehne_64f(two, 0, -1), ippStsSizeErr);
}

}  // namespace
