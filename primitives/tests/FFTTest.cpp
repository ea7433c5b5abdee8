// The FFT entries and the window functions: the exact small cases, the
// status codes and their order, and on random inputs of every order from 0
// to 20 the properties a correct DFT has (linearity, impulse response, time
// shift, inverse, Parseval, real against complex) and, up to order 12, the
// distance to a DFT summed in long double.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "primitives/Ipps.h"

namespace {

using LC = std::complex<long double>;
using Vec = std::vector<Ipp64fc>;

// Relative L2 error bound of a radix-4 FFT in double: a few units of
// rounding per pass, log2(N) passes (and one for orders 0 to 3).
double Bound(int order) { return 6.0 * DBL_EPSILON * (order < 2 ? 1 : order); }

struct TComplexSpec {
  TComplexSpec(int order, int flag) { EXPECT_EQ(ippsFFTInitAlloc_C_64fc(&P, order, flag, ippAlgHintNone), ippStsNoErr); }
  ~TComplexSpec() {
    if (P != nullptr) {
      EXPECT_EQ(ippsFFTFree_C_64fc(P), ippStsNoErr);
    }
  }
  TComplexSpec(const TComplexSpec&) = delete;
  TComplexSpec& operator=(const TComplexSpec&) = delete;
  IppsFFTSpec_C_64fc* P = nullptr;
};

struct TRealSpec {
  TRealSpec(int order, int flag) { EXPECT_EQ(ippsFFTInitAlloc_R_64f(&P, order, flag, ippAlgHintNone), ippStsNoErr); }
  ~TRealSpec() {
    if (P != nullptr) {
      EXPECT_EQ(ippsFFTFree_R_64f(P), ippStsNoErr);
    }
  }
  TRealSpec(const TRealSpec&) = delete;
  TRealSpec& operator=(const TRealSpec&) = delete;
  IppsFFTSpec_R_64f* P = nullptr;
};

std::mt19937_64& Rng() {
  static std::mt19937_64 g(1212);
  return g;
}

Vec RandomComplex(size_t n) {
  std::uniform_real_distribution<double> u(-1, 1);
  Vec v(n);
  for (auto& z : v) z = {u(Rng()), u(Rng())};
  return v;
}

std::vector<double> RandomReal(size_t n) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> v(n);
  for (auto& x : v) x = u(Rng());
  return v;
}

// e^(sign*2*pi*i*j/n) in long double.
LC Root(int64_t j, int64_t n, int sign) {
  const long double a = 2.0L * 3.141592653589793238462643383279502884L * static_cast<long double>(j % n) / n;
  return {std::cos(a), sign * std::sin(a)};
}

std::vector<LC> LongDoubleDFT(const Vec& x, int sign) {
  const int64_t n = static_cast<int64_t>(x.size());
  std::vector<LC> w(n), y(n);
  for (int64_t j = 0; j < n; ++j) w[j] = Root(j, n, sign);
  for (int64_t k = 0; k < n; ++k) {
    LC s = 0;
    for (int64_t j = 0; j < n; ++j) s += LC(x[j].re, x[j].im) * w[(j * k) % n];
    y[k] = s;
  }
  return y;
}

template <class A, class B>
double RelativeError(const A& y, const B& ref, size_t n) {
  long double num = 0, den = 0;
  for (size_t k = 0; k < n; ++k) {
    const LC a(y[k].real(), y[k].imag()), r(ref[k].real(), ref[k].imag());
    num += std::norm(a - r);
    den += std::norm(r);
  }
  return den == 0 ? static_cast<double>(std::sqrt(num)) : static_cast<double>(std::sqrt(num / den));
}

std::vector<LC> AsLC(const Vec& v) {
  std::vector<LC> r(v.size());
  for (size_t i = 0; i < v.size(); ++i) r[i] = {v[i].re, v[i].im};
  return r;
}

// CCS (N + 2 doubles) expanded to the full N-point spectrum.
std::vector<LC> ExpandCcs(const std::vector<double>& ccs, size_t n) {
  std::vector<LC> r(n);
  for (size_t k = 0; k <= n / 2; ++k) r[k] = {ccs[2 * k], ccs[2 * k + 1]};
  for (size_t k = n / 2 + 1; k < n; ++k) r[k] = std::conj(r[n - k]);
  return r;
}

Vec Forward(const TComplexSpec& s, const Vec& x) {
  Vec y(x.size());
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(x.data(), y.data(), s.P, nullptr), ippStsNoErr);
  return y;
}

// ---- exact small cases

TEST(FFTEdgeTest, OrderZeroCopiesAndWritesTheRealPair) {
  for (int flag : {1, 2, 4, 8}) {
    TComplexSpec c(0, flag);
    const Ipp64fc x[] = {{3, -2}};
    Ipp64fc y[] = {{0, 0}};
    EXPECT_EQ(ippsFFTFwd_CToC_64fc(x, y, c.P, nullptr), ippStsNoErr);
    EXPECT_EQ(y[0].re, 3);
    EXPECT_EQ(y[0].im, -2);
    EXPECT_EQ(ippsFFTInv_CToC_64fc(x, y, c.P, nullptr), ippStsNoErr);
    EXPECT_EQ(y[0].re, 3);
    TRealSpec r(0, flag);
    const double xr[] = {5};
    double ccs[] = {9, 9};
    EXPECT_EQ(ippsFFTFwd_RToCCS_64f(xr, ccs, r.P, nullptr), ippStsNoErr);
    EXPECT_EQ(ccs[0], 5);
    EXPECT_EQ(ccs[1], 0);
    double back[] = {0};
    EXPECT_EQ(ippsFFTInv_CCSToR_64f(ccs, back, r.P, nullptr), ippStsNoErr);
    EXPECT_EQ(back[0], 5);
  }
}

TEST(FFTEdgeTest, ImpulseAndShiftedImpulseSpectra) {
  TComplexSpec s(2, IPP_FFT_NODIV_BY_ANY);
  const Vec one = Forward(s, {{1, 0}, {0, 0}, {0, 0}, {0, 0}});
  for (const auto& z : one) {
    EXPECT_EQ(z.re, 1);
    EXPECT_EQ(z.im, 0);
  }
  const Vec shifted = Forward(s, {{0, 0}, {1, 0}, {0, 0}, {0, 0}});
  const Ipp64fc expected[] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(shifted[k].re, expected[k].re, 1e-15) << k;
    EXPECT_NEAR(shifted[k].im, expected[k].im, 1e-15) << k;
  }
  // The same on the table-driven sizes: a shifted impulse gives W^(s*k).
  for (int order : {4, 5, 11, 12, 13}) {
    const int64_t n = int64_t{1} << order;
    TComplexSpec big(order, IPP_FFT_NODIV_BY_ANY);
    Vec x(n, {0, 0});
    x[3] = {1, 0};
    const Vec y = Forward(big, x);
    double worst = 0;
    for (int64_t k = 0; k < n; ++k) {
      const LC w = Root(3 * k, n, -1);
      worst = std::max(worst, static_cast<double>(std::abs(LC(y[k].re, y[k].im) - w)));
    }
    EXPECT_LT(worst, 4 * DBL_EPSILON * order) << "order " << order;
  }
}

struct TFlagCase {
  int Flag;
  double Forward0;  // the forward spectrum of eight ones at 0
  double Back;      // forward then inverse of eight ones
};

class EightOnesTest : public ::testing::TestWithParam<TFlagCase> {};

TEST_P(EightOnesTest, RealSpectrumUnderEachFlag) {
  const TFlagCase c = GetParam();
  TRealSpec s(3, c.Flag);
  const std::vector<double> ones(8, 1.0);
  std::vector<double> ccs(10, 7.0), back(8, 0.0);
  ASSERT_EQ(ippsFFTFwd_RToCCS_64f(ones.data(), ccs.data(), s.P, nullptr), ippStsNoErr);
  EXPECT_NEAR(ccs[0], c.Forward0, 1e-15);
  for (int i = 1; i < 10; ++i) EXPECT_NEAR(ccs[i], 0.0, 1e-15) << i;
  ASSERT_EQ(ippsFFTInv_CCSToR_64f(ccs.data(), back.data(), s.P, nullptr), ippStsNoErr);
  for (double v : back) EXPECT_NEAR(v, c.Back, 1e-14);
  // The same through the table-driven real path (order 4: sixteen ones).
  TRealSpec s4(4, c.Flag);
  const std::vector<double> sixteen(16, 1.0);
  std::vector<double> ccs4(18, 7.0);
  ASSERT_EQ(ippsFFTFwd_RToCCS_64f(sixteen.data(), ccs4.data(), s4.P, nullptr), ippStsNoErr);
  const double scale16 = c.Flag == 1 ? 1.0 : (c.Flag == 4 ? 4.0 : 16.0);
  EXPECT_NEAR(ccs4[0], scale16, 1e-14);
  for (int i = 1; i < 18; ++i) EXPECT_NEAR(ccs4[i], 0.0, 1e-14) << i;
}

INSTANTIATE_TEST_SUITE_P(Flags, EightOnesTest,
                         ::testing::Values(TFlagCase{IPP_FFT_NODIV_BY_ANY, 8, 8}, TFlagCase{IPP_FFT_DIV_FWD_BY_N, 1, 1},
                                           TFlagCase{IPP_FFT_DIV_INV_BY_N, 8, 1},
                                           TFlagCase{IPP_FFT_DIV_BY_SQRTN, 8 / std::sqrt(8.0), 1}));

TEST(FFTEdgeTest, StatusCodesInTheirOrder) {
  IppsFFTSpec_C_64fc* c = nullptr;
  IppsFFTSpec_R_64f* r = nullptr;
  EXPECT_EQ(ippsFFTInitAlloc_C_64fc(nullptr, 31, 3, ippAlgHintNone), ippStsNullPtrErr) << "null before order";
  for (int order : {-1, 31}) {
    EXPECT_EQ(ippsFFTInitAlloc_C_64fc(&c, order, 3, ippAlgHintNone), ippStsFftOrderErr) << "order before flag";
    EXPECT_EQ(ippsFFTInitAlloc_R_64f(&r, order, 8, ippAlgHintNone), ippStsFftOrderErr);
  }
  for (int flag : {0, 3, 5, 16, -1}) {
    EXPECT_EQ(ippsFFTInitAlloc_C_64fc(&c, 4, flag, ippAlgHintNone), ippStsFftFlagErr) << flag;
    EXPECT_EQ(ippsFFTInitAlloc_R_64f(&r, 13, flag, ippAlgHintNone), ippStsFftFlagErr) << flag;
  }
  EXPECT_EQ(c, nullptr) << "a failed init leaves the handle alone";
  EXPECT_EQ(r, nullptr);

  ASSERT_EQ(ippsFFTInitAlloc_C_64fc(&c, 3, IPP_FFT_NODIV_BY_ANY, ippAlgHintNone), ippStsNoErr);
  ASSERT_EQ(ippsFFTInitAlloc_R_64f(&r, 3, IPP_FFT_NODIV_BY_ANY, ippAlgHintNone), ippStsNoErr);
  Ipp64fc z[8] = {};
  double d[10] = {};
  // A structure of the other kind.
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(z, z, reinterpret_cast<IppsFFTSpec_C_64fc*>(r), nullptr), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTInv_CToC_64fc(z, z, reinterpret_cast<IppsFFTSpec_C_64fc*>(r), nullptr), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTFwd_RToCCS_64f(d, d, reinterpret_cast<IppsFFTSpec_R_64f*>(c), nullptr), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTFree_R_64f(reinterpret_cast<IppsFFTSpec_R_64f*>(c)), ippStsContextMatchErr);
  // The structure is checked before the data pointers.
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(nullptr, z, nullptr, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(nullptr, z, reinterpret_cast<IppsFFTSpec_C_64fc*>(r), nullptr), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(nullptr, z, c, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsFFTInv_CCSToR_64f(d, nullptr, r, nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsFFTFree_C_64fc(nullptr), ippStsNullPtrErr);
  EXPECT_EQ(ippsFFTFree_C_64fc(c), ippStsNoErr);
  EXPECT_EQ(ippsFFTFree_R_64f(r), ippStsNoErr);
  // The largest orders are accepted (their tables are about sqrt(N) entries).
  ASSERT_EQ(ippsFFTInitAlloc_C_64fc(&c, 30, IPP_FFT_DIV_BY_SQRTN, ippAlgHintFast), ippStsNoErr);
  EXPECT_EQ(ippsFFTFree_C_64fc(c), ippStsNoErr);
}

TEST(FFTEdgeTest, AFreedStructureIsRefused) {
  // Freeing sets the kind to 0 before the memory goes back; every entry
  // refuses a structure of kind 0.
  IppsFFTSpec_C_64fc* c = nullptr;
  ASSERT_EQ(ippsFFTInitAlloc_C_64fc(&c, 2, IPP_FFT_NODIV_BY_ANY, ippAlgHintNone), ippStsNoErr);
  alignas(64) unsigned char freed[256] = {};  // kind 0, as the free entry leaves it
  Ipp64fc z[4] = {};
  EXPECT_EQ(ippsFFTFwd_CToC_64fc(z, z, reinterpret_cast<IppsFFTSpec_C_64fc*>(freed), nullptr), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTFree_C_64fc(reinterpret_cast<IppsFFTSpec_C_64fc*>(freed)), ippStsContextMatchErr);
  EXPECT_EQ(ippsFFTFree_C_64fc(c), ippStsNoErr);
}

TEST(FFTEdgeTest, ConjugateExpansionOfCcs) {
  const Ipp64fc a{1, 2}, b{3, 4}, c{5, 6};
  Ipp64fc four[] = {a, b, c, {9, 9}};
  EXPECT_EQ(ippsConjCcs_64fc_I(four, 4), ippStsNoErr);
  EXPECT_EQ(four[2].re, 5);
  EXPECT_EQ(four[3].re, 3);
  EXPECT_EQ(four[3].im, -4);
  Ipp64fc five[] = {a, b, c, {9, 9}, {9, 9}};
  EXPECT_EQ(ippsConjCcs_64fc_I(five, 5), ippStsNoErr);
  EXPECT_EQ(five[3].re, 5);
  EXPECT_EQ(five[3].im, -6);
  EXPECT_EQ(five[4].re, 3);
  EXPECT_EQ(five[4].im, -4);
  Ipp64fc single[] = {a};
  EXPECT_EQ(ippsConjCcs_64fc_I(single, 1), ippStsNoErr);
  EXPECT_EQ(single[0].im, 2);
  EXPECT_EQ(ippsConjCcs_64fc_I(nullptr, 0), ippStsNullPtrErr);
  EXPECT_EQ(ippsConjCcs_64fc_I(single, 0), ippStsSizeErr);
}

TEST(FFTEdgeTest, CallerBufferAndInPlaceGiveTheSameResult) {
  for (int order : {12, 13, 15}) {
    const int64_t n = int64_t{1} << order;
    TComplexSpec s(order, IPP_FFT_NODIV_BY_ANY);
    const Vec x = RandomComplex(n);
    const Vec y = Forward(s, x);
    std::vector<Ipp8u> buffer(static_cast<size_t>(n) * 32 + 64);
    Vec z = x;
    ASSERT_EQ(ippsFFTFwd_CToC_64fc(z.data(), z.data(), s.P, buffer.data() + 3), ippStsNoErr);
    for (int64_t k = 0; k < n; ++k) ASSERT_EQ(z[k].re, y[k].re) << order << " " << k;
    TRealSpec r(order, IPP_FFT_NODIV_BY_ANY);
    std::vector<double> xr = RandomReal(n), ccs(n + 2), inplace(n + 2);
    ASSERT_EQ(ippsFFTFwd_RToCCS_64f(xr.data(), ccs.data(), r.P, nullptr), ippStsNoErr);
    std::copy(xr.begin(), xr.end(), inplace.begin());
    ASSERT_EQ(ippsFFTFwd_RToCCS_64f(inplace.data(), inplace.data(), r.P, buffer.data()), ippStsNoErr);
    EXPECT_EQ(inplace, ccs);
    ASSERT_EQ(ippsFFTInv_CCSToR_64f(inplace.data(), inplace.data(), r.P, nullptr), ippStsNoErr);
    for (int64_t i = 0; i < n; ++i) ASSERT_NEAR(inplace[i] / n, xr[i], 1e-14) << order << " " << i;
  }
}

// ---- properties on random inputs, orders 0 to 20

class FFTPropertyTest : public ::testing::TestWithParam<int> {};

TEST_P(FFTPropertyTest, ComplexTransform) {
  const int order = GetParam();
  const int64_t n = int64_t{1} << order;
  const double bound = Bound(order);
  TComplexSpec s(order, IPP_FFT_NODIV_BY_ANY);
  const Vec x = RandomComplex(n), y = RandomComplex(n);
  const Vec X = Forward(s, x), Y = Forward(s, y);

  // Linearity: F(a*x + b*y) = a*F(x) + b*F(y).
  const LC a(0.75L, -0.5L), b(-1.25L, 2.0L);
  Vec mix(n);
  std::vector<LC> expected(n);
  for (int64_t i = 0; i < n; ++i) {
    const LC m = a * LC(x[i].re, x[i].im) + b * LC(y[i].re, y[i].im);
    mix[i] = {static_cast<double>(m.real()), static_cast<double>(m.imag())};
    expected[i] = a * LC(X[i].re, X[i].im) + b * LC(Y[i].re, Y[i].im);
  }
  EXPECT_LT(RelativeError(AsLC(Forward(s, mix)), expected, n), bound) << "linearity, order " << order;

  // Impulse response: a unit impulse at 0 gives ones.
  Vec impulse(n, {0, 0});
  impulse[0] = {1, 0};
  const Vec ones = Forward(s, impulse);
  for (int64_t k = 0; k < n; ++k) ASSERT_TRUE(ones[k].re == 1 && ones[k].im == 0) << "impulse, order " << order << " k " << k;

  // Time shift: x[n - 1] (circular) gives X[k] * W^k.
  Vec shifted(n);
  for (int64_t i = 0; i < n; ++i) shifted[i] = x[(i + n - 1) % n];
  for (int64_t k = 0; k < n; ++k) expected[k] = LC(X[k].re, X[k].im) * Root(k, n, -1);
  EXPECT_LT(RelativeError(AsLC(Forward(s, shifted)), expected, n), bound) << "time shift, order " << order;

  // Parseval: sum |X|^2 = N * sum |x|^2.
  long double ex = 0, eX = 0;
  for (int64_t i = 0; i < n; ++i) {
    ex += std::norm(LC(x[i].re, x[i].im));
    eX += std::norm(LC(X[i].re, X[i].im));
  }
  EXPECT_LT(std::fabs(static_cast<double>(eX / (ex * n) - 1)), 2 * bound) << "Parseval, order " << order;

  // Forward then inverse returns the input under the square-root scaling,
  // and N times it without scaling.
  TComplexSpec sq(order, IPP_FFT_DIV_BY_SQRTN);
  Vec f(n), back(n);
  ASSERT_EQ(ippsFFTFwd_CToC_64fc(x.data(), f.data(), sq.P, nullptr), ippStsNoErr);
  ASSERT_EQ(ippsFFTInv_CToC_64fc(f.data(), back.data(), sq.P, nullptr), ippStsNoErr);
  EXPECT_LT(RelativeError(AsLC(back), AsLC(x), n), 2 * bound) << "inverse, order " << order;
  ASSERT_EQ(ippsFFTInv_CToC_64fc(X.data(), back.data(), s.P, nullptr), ippStsNoErr);
  for (auto& z : back) z = {z.re / static_cast<double>(n), z.im / static_cast<double>(n)};
  EXPECT_LT(RelativeError(AsLC(back), AsLC(x), n), 2 * bound) << "unscaled inverse, order " << order;

  // Against the long double DFT, forward and inverse.
  if (order <= 12) {
    EXPECT_LT(RelativeError(AsLC(X), LongDoubleDFT(x, -1), n), bound) << "forward DFT, order " << order;
    EXPECT_LT(RelativeError(AsLC(back), AsLC(x), n), bound);
    Vec inv(n);
    ASSERT_EQ(ippsFFTInv_CToC_64fc(x.data(), inv.data(), s.P, nullptr), ippStsNoErr);
    EXPECT_LT(RelativeError(AsLC(inv), LongDoubleDFT(x, +1), n), bound) << "inverse DFT, order " << order;
  }
}

TEST_P(FFTPropertyTest, RealTransformAgainstTheComplexOne) {
  const int order = GetParam();
  const int64_t n = int64_t{1} << order;
  const double bound = Bound(order);
  TRealSpec r(order, IPP_FFT_NODIV_BY_ANY);
  TComplexSpec c(order, IPP_FFT_NODIV_BY_ANY);
  const std::vector<double> x = RandomReal(n);
  std::vector<double> ccs(n + 2, 99.0);
  ASSERT_EQ(ippsFFTFwd_RToCCS_64f(x.data(), ccs.data(), r.P, nullptr), ippStsNoErr);
  EXPECT_EQ(ccs[1], 0.0);
  if (n > 1) {
    EXPECT_EQ(ccs[n + 1], 0.0);
  }
  Vec xc(n);
  for (int64_t i = 0; i < n; ++i) xc[i] = {x[i], 0};
  const Vec X = Forward(c, xc);
  const std::vector<LC> full = ExpandCcs(ccs, n);
  EXPECT_LT(RelativeError(full, AsLC(X), n), 2 * bound) << "real vs complex, order " << order;
  if (order <= 12) {
    EXPECT_LT(RelativeError(full, LongDoubleDFT(xc, -1), n), bound) << "real DFT, order " << order;
  }

  // Linearity and the inverse.
  const std::vector<double> y = RandomReal(n);
  std::vector<double> mix(n), ccsY(n + 2), ccsMix(n + 2);
  for (int64_t i = 0; i < n; ++i) mix[i] = 0.5 * x[i] - 2.0 * y[i];
  ASSERT_EQ(ippsFFTFwd_RToCCS_64f(y.data(), ccsY.data(), r.P, nullptr), ippStsNoErr);
  ASSERT_EQ(ippsFFTFwd_RToCCS_64f(mix.data(), ccsMix.data(), r.P, nullptr), ippStsNoErr);
  std::vector<LC> expected(n);
  const std::vector<LC> fy = ExpandCcs(ccsY, n);
  for (int64_t k = 0; k < n; ++k) expected[k] = 0.5L * full[k] - 2.0L * fy[k];
  EXPECT_LT(RelativeError(ExpandCcs(ccsMix, n), expected, n), bound) << "real linearity, order " << order;

  TRealSpec inv(order, IPP_FFT_DIV_INV_BY_N);
  std::vector<double> back(n);
  ASSERT_EQ(ippsFFTInv_CCSToR_64f(ccs.data(), back.data(), inv.P, nullptr), ippStsNoErr);
  long double num = 0, den = 0;
  for (int64_t i = 0; i < n; ++i) {
    num += (static_cast<long double>(back[i]) - x[i]) * (static_cast<long double>(back[i]) - x[i]);
    den += static_cast<long double>(x[i]) * x[i];
  }
  EXPECT_LT(static_cast<double>(std::sqrt(num / den)), 2 * bound) << "real inverse, order " << order;
}

INSTANTIATE_TEST_SUITE_P(Orders, FFTPropertyTest, ::testing::Range(0, 21));

// ---- windows

TEST(WindowEdgeTest, ShortWindowValues) {
  double hann[] = {1, 1, 1};
  EXPECT_EQ(ippsWinHann_64f_I(hann, 3), ippStsNoErr);
  EXPECT_EQ(hann[0], 0);
  EXPECT_EQ(hann[1], 1);
  EXPECT_EQ(hann[2], 0);
  double hamming[] = {1, 1, 1};
  EXPECT_EQ(ippsWinHamming_64f_I(hamming, 3), ippStsNoErr);
  EXPECT_NEAR(hamming[0], 0.08, 1e-16);
  EXPECT_EQ(hamming[1], 1);
  EXPECT_NEAR(hamming[2], 0.08, 1e-16);
  double bartlett[] = {1, 1, 1, 1, 1};
  EXPECT_EQ(ippsWinBartlett_64f_I(bartlett, 5), ippStsNoErr);
  const double expected[] = {0, 0.5, 1, 0.5, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bartlett[i], expected[i]) << i;
  double blackman[] = {2, 2, 2};
  EXPECT_EQ(ippsWinBlackman_64f_I(blackman, 3, -0.16), ippStsNoErr);
  EXPECT_EQ(blackman[0], 0);
  EXPECT_EQ(blackman[1], 2);
  EXPECT_EQ(blackman[2], 0);
  double one[] = {7};
  EXPECT_EQ(ippsWinKaiser_64f_I(one, 1, 3.0f), ippStsNoErr);
  EXPECT_EQ(one[0], 7);
  double copied = 0;
  EXPECT_EQ(ippsWinKaiser_64f(one, &copied, 1, 3.0f), ippStsNoErr);
  EXPECT_EQ(copied, 7);
  double two[] = {1, 1};
  EXPECT_EQ(ippsWinKaiser_64f_I(two, 2, 1000.0f), ippStsHugeWinErr);
  EXPECT_EQ(two[0], 1) << "an error writes nothing";
  EXPECT_EQ(ippsWinKaiser_64f_I(two, 0, 1.0f), ippStsSizeErr);
  EXPECT_EQ(ippsWinKaiser_64f_I(nullptr, 0, 1000.0f), ippStsNullPtrErr);
  EXPECT_EQ(ippsWinHann_64f_I(two, 2), ippStsSizeErr);
  EXPECT_EQ(ippsWinBartlett_64f(two, nullptr, 2), ippStsNullPtrErr);
}

enum class TWin { Bartlett, Hann, Hamming, Blackman, Kaiser };
struct TWindowCase {
  TWin Window;
  int Len;
  double Param;
};

// The window's I0 approximation, in long double: the polynomial in (t/4)^2
// below 4 and the one in 4/t (times e^t/sqrt(t)) above; good to about 6e-6
// relative just above 4, better elsewhere.
long double ApproxI0(long double x) {
  const long double t = std::fabs(x);
  if (t < 4) {
    const long double y = (t / 4) * (t / 4);
    const long double c[] = {0.9999999985L, 4.0000001935L, 3.9999959541L, 1.777809969L,
                             0.4443189384L, 0.0713758187L, 0.0075942968L, 0.0008267816L};
    long double p = 0;
    for (int i = 7; i >= 0; --i) p = p * y + c[i];
    return p;
  }
  const long double u = 4 / t;
  const long double c[] = {0.3989422809L,  0.0124667783L, 0.0017623668L,  0.00026L,       0.0022585672L,
                           -0.0128314822L, 0.0495811118L, -0.1209940805L, 0.1895476618L,  -0.1867783276L,
                           0.1113315511L,  -0.0366694767L, 0.0051246015L};
  long double p = 0;
  for (int i = 12; i >= 0; --i) p = p * u + c[i];
  return p * std::exp(t) / std::sqrt(t);
}

TEST(WindowEdgeTest, KaiserApproximationOfI0) {
  for (long double x : {0.0L, 0.5L, 2.0L, 3.99L, 4.0L, 6.0L, 20.0L, 300.0L}) {
    EXPECT_NEAR(static_cast<double>(ApproxI0(x) / std::cyl_bessel_i(0.0L, x)), 1.0, 6e-6) << static_cast<double>(x);
  }
}

// The closed forms of the windows, in long double.
long double Weight(const TWindowCase& c, int n) {
  const long double N = c.Len, pi = 3.141592653589793238462643383279502884L;
  const long double x = 2 * pi * n / (N - 1);
  switch (c.Window) {
    case TWin::Bartlett: return n <= (N - 1) / 2 ? 2.0L * n / (N - 1) : 2.0L - 2.0L * n / (N - 1);
    case TWin::Hann: return 0.5L - 0.5L * std::cos(x);
    case TWin::Hamming: return 0.54L - 0.46L * std::cos(x);
    case TWin::Blackman: return (c.Param + 1) / 2 - 0.5L * std::cos(x) - c.Param / 2 * std::cos(2 * x);
    default: {
      const long double a = static_cast<float>(c.Param);
      return ApproxI0(a * std::sqrt(static_cast<long double>(n) * (N - 1 - n))) / ApproxI0(a * (N - 1) / 2);
    }
  }
}

class WindowTest : public ::testing::TestWithParam<TWindowCase> {};

TEST_P(WindowTest, MatchesTheClosedFormInEveryForm) {
  const TWindowCase c = GetParam();
  std::vector<double> src(c.Len);
  std::uniform_real_distribution<double> u(-4, 4);
  for (auto& v : src) v = u(Rng());
  std::vector<double> out(c.Len), inplace = src;
  std::vector<Ipp64fc> cplx(c.Len);
  for (int i = 0; i < c.Len; ++i) cplx[i] = {src[i], -2 * src[i]};
  const float fa = static_cast<float>(c.Param);
  IppStatus s1, s2, s3;
  switch (c.Window) {
    case TWin::Bartlett:
      s1 = ippsWinBartlett_64f(src.data(), out.data(), c.Len);
      s2 = ippsWinBartlett_64f_I(inplace.data(), c.Len);
      s3 = ippsWinBartlett_64fc_I(cplx.data(), c.Len);
      break;
    case TWin::Hann:
      s1 = ippsWinHann_64f(src.data(), out.data(), c.Len);
      s2 = ippsWinHann_64f_I(inplace.data(), c.Len);
      s3 = ippsWinHann_64fc_I(cplx.data(), c.Len);
      break;
    case TWin::Hamming:
      s1 = ippsWinHamming_64f(src.data(), out.data(), c.Len);
      s2 = ippsWinHamming_64f_I(inplace.data(), c.Len);
      s3 = ippsWinHamming_64fc_I(cplx.data(), c.Len);
      break;
    case TWin::Blackman:
      s1 = ippsWinBlackman_64f(src.data(), out.data(), c.Len, c.Param);
      s2 = ippsWinBlackman_64f_I(inplace.data(), c.Len, c.Param);
      s3 = ippsWinBlackman_64fc_I(cplx.data(), c.Len, c.Param);
      break;
    default:
      s1 = ippsWinKaiser_64f(src.data(), out.data(), c.Len, fa);
      s2 = ippsWinKaiser_64f_I(inplace.data(), c.Len, fa);
      s3 = ippsWinKaiser_64fc_I(cplx.data(), c.Len, fa);
      break;
  }
  ASSERT_EQ(s1, ippStsNoErr);
  ASSERT_EQ(s2, ippStsNoErr);
  ASSERT_EQ(s3, ippStsNoErr);
  // The recurrence drifts by a few units of rounding per step.
  const double tol = 1e-13;
  for (int n = 0; n < c.Len; ++n) {
    const long double w = (c.Len & 1) && n == c.Len / 2 ? 1.0L : Weight(c, n);
    EXPECT_NEAR(out[n], static_cast<double>(w * src[n]), tol * std::fabs(src[n]) + 1e-300) << "len " << c.Len << " n " << n;
    EXPECT_EQ(inplace[n], out[n]) << n;
    EXPECT_EQ(cplx[n].re, out[n]) << n;
    EXPECT_EQ(cplx[n].im, -2 * out[n]) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowTest,
    ::testing::Values(TWindowCase{TWin::Bartlett, 4, 0}, TWindowCase{TWin::Bartlett, 101, 0}, TWindowCase{TWin::Hann, 64, 0},
                      TWindowCase{TWin::Hann, 257, 0}, TWindowCase{TWin::Hamming, 5, 0}, TWindowCase{TWin::Hamming, 1000, 0},
                      TWindowCase{TWin::Blackman, 33, 0.16}, TWindowCase{TWin::Blackman, 128, -0.16},
                      TWindowCase{TWin::Kaiser, 2, 0.5}, TWindowCase{TWin::Kaiser, 9, 1.5}, TWindowCase{TWin::Kaiser, 200, 0.1},
                      TWindowCase{TWin::Kaiser, 64, -2.0}));

}  // namespace
