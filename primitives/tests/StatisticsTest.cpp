// Statistics, norms, dot products and normalisation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "primitives/tests/PrimitiveTestSupport.h"

namespace {

using namespace PrimitiveTest;
using L = long double;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(StatisticsEdgeTest, SummaryValues) {
  const double five[] = {1, 2, 3, 4, 5};
  double r = 0;
  EXPECT_EQ(ippsMean_64f(five, 5, &r), ippStsNoErr);
  EXPECT_EQ(r, 3);
  const double eight[] = {2, 4, 4, 4, 5, 5, 7, 9};
  EXPECT_EQ(ippsStdDev_64f(eight, 8, &r), ippStsNoErr);
  EXPECT_LE(UlpDistance(r, std::sqrt(32.0 / 7.0)), 1u);
  r = 77;
  EXPECT_EQ(ippsStdDev_64f(eight, 1, &r), ippStsSizeErr);
  EXPECT_EQ(r, 77);
  const double threes[] = {3, 3};
  EXPECT_EQ(ippsStdDev_64f(threes, 2, &r), ippStsNoErr);
  EXPECT_EQ(r, 0);
  const double m1[] = {1, 5, 5, 2};
  int at = -1;
  ippsMaxIndx_64f(m1, 4, &r, &at);
  EXPECT_EQ(r, 5);
  EXPECT_EQ(at, 1);
  const double m2[] = {4, 1, 1};
  ippsMinIndx_64f(m2, 3, &r, &at);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(at, 1);
  EXPECT_EQ(ippsMinIndx_64f(m2, 3, &r, nullptr), ippStsNoErr) << "a null index is no error";
  const double withNaN[] = {3, kNaN, 1};
  ippsMin_64f(withNaN, 3, &r);
  EXPECT_EQ(r, 1) << "NaN replaces the running minimum, then 1 replaces NaN";
  ippsMax_64f(withNaN, 3, &r);
  EXPECT_EQ(r, 3) << "NaN never replaces the running maximum";
  const double d1[] = {1, kNaN, 5}, d2[] = {2, 0, 1};
  ippsNormDiff_Inf_64f(d1, d2, 3, &r);
  EXPECT_EQ(r, 4);
}

TEST(StatisticsEdgeTest, IntegerDotProductAndNormalize) {
  const Ipp32s a[] = {1, 1}, b[] = {1, 2};
  Ipp32s dp = 0;
  ippsDotProd_32s_Sfs(a, b, 2, &dp, 1);
  EXPECT_EQ(dp, 2) << "1.5 rounds to even";
  ippsDotProd_32s_Sfs(a, b, 2, &dp, -40);
  EXPECT_EQ(dp, INT32_MAX);
  const Ipp32s c[] = {INT32_MIN, INT32_MIN};
  ippsDotProd_32s_Sfs(c, c, 2, &dp, 0);
  EXPECT_EQ(dp, INT32_MAX);
  const Ipp32s n[] = {-5};
  const Ipp32s one[] = {1};
  ippsDotProd_32s_Sfs(n, one, 1, &dp, 1);
  EXPECT_EQ(dp, -2) << "-2.5 rounds to even";
  const double x[] = {3, 5};
  double y[2] = {9, 9};
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 1, 0), ippStsDivByZeroErr);
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 1, 1e-310), ippStsDivByZeroErr);
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 1, kNaN), ippStsDivByZeroErr);
  EXPECT_EQ(y[0], 9);
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 1, 2), ippStsNoErr);
  EXPECT_EQ(y[0], 1);
  EXPECT_EQ(y[1], 2);
  const float xf[] = {3};
  float yf[1];
  EXPECT_EQ(ippsNormalize_32f(xf, yf, 1, 0, 1e-39f), ippStsDivByZeroErr);
  const Ipp64fc z[] = {{3, 5}};
  Ipp64fc zo[1];
  EXPECT_EQ(ippsNormalize_64fc(z, zo, 1, {1, 1}, 2), ippStsNoErr);
  EXPECT_EQ(zo[0].re, 1);
  EXPECT_EQ(zo[0].im, 2);
}

// The smallest normal divisor is accepted by every form; the next smaller
// value is refused and writes nothing.
TEST(StatisticsEdgeTest, NormalizeAcceptsTheSmallestNormalDivisor) {
  const double dmin = std::numeric_limits<double>::min();
  const float fmin = std::numeric_limits<float>::min();
  const double x[] = {1, 2};
  double y[2] = {9, 9};
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 0, dmin), ippStsNoErr);
  EXPECT_EQ(y[0], double(1.0L / dmin));
  EXPECT_EQ(ippsNormalize_64f(x, y, 2, 0, -dmin), ippStsNoErr);
  double z[2] = {9, 9};
  EXPECT_EQ(ippsNormalize_64f(x, z, 2, 0, std::nextafter(dmin, 0.0)), ippStsDivByZeroErr);
  EXPECT_EQ(z[0], 9);
  const Ipp64fc c[] = {{1, 2}};
  Ipp64fc co[1] = {{9, 9}};
  EXPECT_EQ(ippsNormalize_64fc(c, co, 1, {0, 0}, dmin), ippStsNoErr);
  EXPECT_EQ(co[0].re, double(1.0L / dmin));
  EXPECT_EQ(ippsNormalize_64fc(c, co, 1, {0, 0}, std::nextafter(dmin, 0.0)), ippStsDivByZeroErr);
  const float xf[] = {1};
  float yf[1] = {9};
  EXPECT_EQ(ippsNormalize_32f(xf, yf, 1, 0, fmin), ippStsNoErr);
  EXPECT_EQ(ippsNormalize_32f(xf, yf, 1, 0, std::nextafter(fmin, 0.0f)), ippStsDivByZeroErr);
}

// ---- against reference loops

template <class Fn, class Ref>
void CheckReduction(const std::string& AName, Fn AFn, Ref ARef, uint64_t AUlps, TRange ARange = TRange::General) {
  ForLengthsAndOffsets([&](int len, int off) {
    const auto a = RandomVector<double>(len + off, ARange);
    const auto b = RandomVector<double>(len + off, ARange);
    double got = -1, want = -2;
    const IppStatus s = AFn(a.data() + off, b.data() + off, len, &got);
    const IppStatus r = ARef(a.data() + off, b.data() + off, len, &want);
    EXPECT_EQ(s, r) << AName << " len " << len;
    if (s < 0) {
      EXPECT_EQ(got, -1) << AName << ": an error writes nothing";
      return;
    }
    EXPECT_LE(UlpDistance(got, want), AUlps) << AName << " len " << len << " offset " << off << ": got " << Show(got) << ", want " << Show(want);
  });
}

TEST(StatisticsReferenceTest, SumsInTheirStatedOrder) {
  // Sum and mean follow the pairing exactly: bit for bit.
  auto paired = [](const double* x, int n) {
    L a = 0, b = 0;
    int k = 0;
    for (; k + 4 <= n; k += 4) {
      a = a + x[k];
      a = a + x[k + 2];
      b = b + x[k + 1];
      b = b + x[k + 3];
    }
    for (; k < n; ++k) a = a + x[k];
    return a + b;
  };
  for (TRange range : {TRange::General, TRange::Small}) {
    CheckReduction("ippsSum_64f", [](const double* x, const double*, int n, double* r) { return ippsSum_64f(x, n, r); },
                   [&](const double* x, const double*, int n, double* r) {
                     *r = double(paired(x, n));
                     return ippStsNoErr;
                   },
                   0, range);
    CheckReduction("ippsMean_64f", [](const double* x, const double*, int n, double* r) { return ippsMean_64f(x, n, r); },
                   [&](const double* x, const double*, int n, double* r) {
                     *r = double(paired(x, n) / n);
                     return ippStsNoErr;
                   },
                   0, range);
    CheckReduction("ippsDotProd_64f", [](const double* x, const double* y, int n, double* r) { return ippsDotProd_64f(x, y, n, r); },
                   [](const double* x, const double* y, int n, double* r) {
                     L s = 0;
                     for (int i = 0; i < n; ++i) s += L(x[i]) * y[i];
                     *r = double(s);
                     return ippStsNoErr;
                   },
                   0, range);
  }
  // Mean of singles: pairs joined before the remainder.
  ForLengthsAndOffsets([](int len, int off) {
    const auto x = RandomVector<float>(len + off, TRange::Small);
    float got = 0;
    ippsMean_32f(x.data() + off, len, &got, ippAlgHintNone);
    L a = 0, b = 0;
    int k = 0;
    const float* p = x.data() + off;
    for (; k + 4 <= len; k += 4) {
      a = (a + p[k]) + p[k + 2];
      b = (b + p[k + 1]) + p[k + 3];
    }
    L s = a + b;
    for (; k < len; ++k) s += p[k];
    EXPECT_EQ(UlpDistance(got, float(s / len)), 0u) << "ippsMean_32f len " << len;
  });
}

TEST(StatisticsReferenceTest, NormsAndDeviation) {
  // Orders not fixed by the primitive: within one unit in the last place of
  // the extended-precision sum (on inputs of one sign of magnitude, where
  // that bound is meaningful), and equal on the specials.
  for (TRange range : {TRange::General, TRange::Small}) {
    const uint64_t ulps = range == TRange::Small ? 1 : UINT64_MAX;
    CheckReduction("ippsNormDiff_L1_64f", [](const double* x, const double* y, int n, double* r) { return ippsNormDiff_L1_64f(x, y, n, r); },
                   [](const double* x, const double* y, int n, double* r) {
                     L s = 0;
                     for (int i = 0; i < n; ++i) s += std::fabs(L(x[i]) - y[i]);
                     *r = double(s);
                     return ippStsNoErr;
                   },
                   ulps, range);
    CheckReduction("ippsNormDiff_L2_64f", [](const double* x, const double* y, int n, double* r) { return ippsNormDiff_L2_64f(x, y, n, r); },
                   [](const double* x, const double* y, int n, double* r) {
                     L s = 0;
                     for (int i = 0; i < n; ++i) s += (L(x[i]) - y[i]) * (L(x[i]) - y[i]);
                     *r = double(std::sqrt(s));
                     return ippStsNoErr;
                   },
                   ulps, range);
  }
  CheckReduction("ippsNormDiff_Inf_64f", [](const double* x, const double* y, int n, double* r) { return ippsNormDiff_Inf_64f(x, y, n, r); },
                 [](const double* x, const double* y, int n, double* r) {
                   double m = 0;
                   for (int i = 0; i < n; ++i)
                     if (std::fabs(x[i] - y[i]) > m) m = std::fabs(x[i] - y[i]);
                   *r = m;
                   return ippStsNoErr;
                 },
                 0);
  CheckReduction("ippsStdDev_64f", [](const double* x, const double*, int n, double* r) { return ippsStdDev_64f(x, n, r); },
                 [](const double* x, const double*, int n, double* r) {
                   if (n < 2) return ippStsSizeErr;
                   L s1 = 0, s2 = 0;
                   for (int i = 0; i < n; ++i) {
                     s1 += x[i];
                     s2 += L(x[i]) * x[i];
                   }
                   const L f = n * s2 - s1 * s1;
                   *r = f > 0 ? double(std::sqrt(f / (L(n) * (n - 1)))) : 0.0;
                   return ippStsNoErr;
                 },
                 1, TRange::Small);
  // Min and max with their indices.
  for (bool useMax : {false, true}) {
    ForLengthsAndOffsets([&](int len, int off) {
      const auto x = RandomVector<double>(len + off);
      const double* p = x.data() + off;
      double got = 0, want = p[0];
      int at = -1, wantAt = 0;
      if (useMax) {
        ippsMaxIndx_64f(p, len, &got, &at);
      } else {
        ippsMinIndx_64f(p, len, &got, &at);
      }
      for (int i = 1; i < len; ++i) {
        const bool take = useMax ? want < p[i] : !(want <= p[i]);
        if (take) {
          want = p[i];
          wantAt = i;
        }
      }
      EXPECT_EQ(UlpDistance(got, want), 0u) << (useMax ? "ippsMaxIndx_64f" : "ippsMinIndx_64f") << " len " << len;
      EXPECT_EQ(at, wantAt) << len;
      double plain = 0;
      if (useMax) {
        ippsMax_64f(p, len, &plain);
      } else {
        ippsMin_64f(p, len, &plain);
      }
      EXPECT_EQ(UlpDistance(plain, want), 0u);
    });
  }
}

TEST(StatisticsReferenceTest, ComplexAndIntegerProducts) {
  ForLengthsAndOffsets([](int len, int off) {
    const auto a = RandomComplex(len + off, TRange::Small);
    const auto b = RandomComplex(len + off, TRange::Small);
    Ipp64fc got{};
    ippsDotProd_64fc(a.data() + off, b.data() + off, len, &got);
    L re = 0, im = 0;
    for (int i = off; i < off + len; ++i) {
      re += L(a[i].re) * b[i].re - L(a[i].im) * b[i].im;
      im += L(a[i].re) * b[i].im + L(a[i].im) * b[i].re;
    }
    EXPECT_EQ(UlpDistance(got, Ipp64fc{double(re), double(im)}), 0u) << "ippsDotProd_64fc len " << len;
    double norm = 0;
    ippsNorm_L2_64fc64f(a.data() + off, len, &norm);
    L first = 0, second = 0;
    for (int i = 0; i < len; ++i) {
      const Ipp64fc z = a[off + i];
      (i % 2 == 0 ? first : second) += L(z.re) * z.re + L(z.im) * z.im;
    }
    EXPECT_LE(UlpDistance(norm, double(std::sqrt(second + first))), 0u) << "ippsNorm_L2_64fc64f len " << len;
  });
  for (int sf : {0, 1, 2, 31, 40, 93, 100, -1, -31, -40}) {
    ForLengthsAndOffsets([&](int len, int off) {
      const auto a = RandomVector<Ipp32s>(len + off), b = RandomVector<Ipp32s>(len + off);
      Ipp32s got = 0;
      ippsDotProd_32s_Sfs(a.data() + off, b.data() + off, len, &got, sf);
      L s = 0;
      for (int i = off; i < off + len; ++i) s += L(int64_t(a[i]) * b[i]);
      const int c = sf < -31 ? -31 : (sf > 93 ? 93 : sf);
      L t = s * std::ldexp(1.0L, -c);
      t = t > 2147483647.0L ? 2147483647.0L : (t < -2147483648.0L ? -2147483648.0L : t);
      EXPECT_EQ(got, Ipp32s(std::nearbyint(t))) << "ippsDotProd_32s_Sfs sf " << sf << " len " << len;
    });
  }
}

TEST(StatisticsReferenceTest, Normalize) {
  for (double div : {2.0, -3.0, 1e-300, kInf, 0.0, kNaN}) {
    const double sub = 1.25;
    CheckUnary<double, double>("ippsNormalize_64f div " + Show(div), [=](const double* x, double* y, int n) { return ippsNormalize_64f(x, y, n, sub, div); },
                               [=](const double* x, double* y, int n) {
                                 if (!(std::fabs(div) >= 2.2250738585072014e-308)) return ippStsDivByZeroErr;
                                 const L r = 1.0L / div;
                                 for (int i = 0; i < n; ++i) y[i] = double((x[i] - L(sub)) * r);
                                 return ippStsNoErr;
                               });
    const float fd = float(div), fs = float(sub);
    CheckUnary<float, float>("ippsNormalize_32f div " + Show(div), [=](const float* x, float* y, int n) { return ippsNormalize_32f(x, y, n, fs, fd); },
                             [=](const float* x, float* y, int n) {
                               if (!(std::fabs(fd) >= 1.1754943508222875e-38f)) return ippStsDivByZeroErr;
                               const L r = 1.0L / fd;
                               for (int i = 0; i < n; ++i) y[i] = float((x[i] - L(fs)) * r);
                               return ippStsNoErr;
                             });
    CheckUnary<Ipp64fc, Ipp64fc>("ippsNormalize_64fc div " + Show(div), [=](const Ipp64fc* x, Ipp64fc* y, int n) { return ippsNormalize_64fc(x, y, n, {sub, -sub}, div); },
                                 [=](const Ipp64fc* x, Ipp64fc* y, int n) {
                                   if (!(std::fabs(div) >= 2.2250738585072014e-308)) return ippStsDivByZeroErr;
                                   const L r = 1.0L / div;
                                   for (int i = 0; i < n; ++i) y[i] = {double((x[i].re - L(sub)) * r), double((x[i].im + L(sub)) * r)};
                                   return ippStsNoErr;
                                 });
  }
  (void)kInf;
}

}  // namespace
