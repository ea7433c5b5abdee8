// Element-wise functions and thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "primitives/IppsExp.h"
#include "primitives/tests/PrimitiveTestSupport.h"

namespace {

using namespace PrimitiveTest;
using L = long double;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FunctionsEdgeTest, SquareRootsAndLogarithmStatuses) {
  double v[] = {-4, 0, 9};
  EXPECT_EQ(ippsSqrt_64f_I(v, 3), ippStsSqrtNegArg);
  EXPECT_TRUE(std::isnan(v[0]));
  EXPECT_EQ(v[1], 0);
  EXPECT_EQ(v[2], 3);
  double z[] = {-0.0};
  EXPECT_EQ(ippsSqrt_64f_I(z, 1), ippStsNoErr);
  EXPECT_TRUE(std::signbit(z[0])) << "a zero stays as it is";
  const double nan[] = {kNaN};
  double out[2];
  EXPECT_EQ(ippsSqrt_64f(nan, out, 1), ippStsSqrtNegArg);
  EXPECT_TRUE(std::isnan(out[0]));
  const double a[] = {0, -1}, b[] = {-1, 0};
  EXPECT_EQ(ippsLn_64f(a, out, 2), ippStsLnZeroArg);
  EXPECT_EQ(out[0], -kInf);
  EXPECT_TRUE(std::isnan(out[1]));
  EXPECT_EQ(ippsLn_64f(b, out, 2), ippStsLnNegArg);
  EXPECT_TRUE(std::isnan(out[0]));
  EXPECT_EQ(out[1], -kInf);
  const double negZero[] = {-0.0, kNaN};
  EXPECT_EQ(ippsLn_64f(negZero, out, 2), ippStsLnNegArg) << "-0.0 has its sign bit set";
  EXPECT_EQ(ippsLn_64f(negZero + 1, out, 1), ippStsNoErr) << "a positive NaN raises nothing";
  const double negNaN[] = {-kNaN};
  EXPECT_EQ(ippsLn_64f(negNaN, out, 1), ippStsLnNegArg);
}

TEST(FunctionsEdgeTest, ExponentialScreening) {
  const double x[] = {0, 1, 800, -800, -710, 710, kNaN, 2};
  double y[8];
  EXPECT_EQ(ippsExp_64f(x, y, 8), ippStsNoErr);
  const double want[] = {1, std::exp(1.0), kInf, 0, 0, kInf, kNaN, std::exp(2.0)};
  EXPECT_TRUE(SameElements("ippsExp_64f", 8, y, want, 1));
  // The screening limits themselves.
  const double limits[] = {709.7822265625, std::nextafter(709.7822265625, 0.0), -708.39599609375, -kInf, kInf, 1, 2, 3};
  double r[8];
  ippsExp_64f(limits, r, 8);
  EXPECT_EQ(r[0], kInf);
  EXPECT_TRUE(std::isfinite(r[1]));
  EXPECT_EQ(UlpDistance(r[2], 0.0), 0u);
  EXPECT_EQ(UlpDistance(r[3], 0.0), 0u);
  EXPECT_EQ(r[4], kInf);
}

TEST(FunctionsEdgeTest, ComplexSquareRootAndThresholds) {
  const Ipp64fc z[] = {{-4, 0}, {0, -8}, {3, 4}, {-3, -4}, {-4, -0.0}};
  Ipp64fc r[5];
  ippsSqrt_64fc(z, r, 5);
  EXPECT_EQ(r[0].re, 0);
  EXPECT_EQ(r[0].im, 2);
  EXPECT_EQ(r[1].re, 2);
  EXPECT_EQ(r[1].im, -2);
  EXPECT_EQ(r[2].re, 2);
  EXPECT_EQ(r[2].im, 1);
  EXPECT_EQ(r[3].re, 1);
  EXPECT_EQ(r[3].im, -2);
  EXPECT_EQ(r[4].im, 2) << "-0.0 counts as not negative";

  const double t[] = {0.5, 2};
  double o[2];
  ippsThreshold_64f(t, o, 2, 1, ippCmpGreater);
  EXPECT_EQ(o[0], 0.5);
  EXPECT_EQ(o[1], 1);
  ippsThreshold_64f(t, o, 2, 1, ippCmpLess);
  EXPECT_EQ(o[0], 1);
  EXPECT_EQ(o[1], 2);
  const Ipp64fc c[] = {{3, 4}, {0, 0}};
  Ipp64fc co[2];
  EXPECT_EQ(ippsThreshold_64fc(c, co, 2, 2, ippCmpGreater), ippStsNoErr);
  EXPECT_EQ(UlpDistance(co[0].re, 1.2), 0u);
  EXPECT_EQ(UlpDistance(co[0].im, 1.6), 0u);
  EXPECT_EQ(ippsThreshold_64fc(c, co, 2, 2, ippCmpLess), ippStsNoErr);
  EXPECT_EQ(co[1].re, 2);
  EXPECT_EQ(co[1].im, 0);
  EXPECT_EQ(ippsThreshold_64fc(c, co, 2, -1, ippCmpLess), ippStsThreshNegLevelErr);
  Ipp64fc ci[] = {{0, -0.0}};
  EXPECT_EQ(ippsThreshold_64fc_I(ci, 1, -1, ippCmpLess), ippStsThreshNegLevelErr);
  EXPECT_EQ(ippsThreshold_64fc_I(ci, 1, 2, ippCmpLess), ippStsNoErr);
  EXPECT_EQ(ci[0].re, 2);
  EXPECT_TRUE(std::signbit(ci[0].im)) << "in place only the real part is set";
  double nanIn[] = {kNaN, kNaN};
  ippsThreshold_64f_I(nanIn, 1, 5, ippCmpGreater);
  EXPECT_EQ(nanIn[0], 5) << "in place, greater: a NaN becomes the level";
  ippsThreshold_64f_I(nanIn + 1, 1, 5, ippCmpLess);
  EXPECT_TRUE(std::isnan(nanIn[1])) << "in place, less: a NaN stays";
  Ipp32s i32[] = {-5, 0, 9};
  ippsThreshold_LT_32s_I(i32, 3, 0);
  EXPECT_EQ(i32[0], 0);
  ippsThreshold_GT_32s_I(i32, 3, 4);
  EXPECT_EQ(i32[2], 4);
}

// ---- against reference loops

// The exponential exactly as stated: groups of four unscreened elements
// formed from the end, the kernel per element of a full group, the library
// exponential for the leftover at the start and for vectors of up to three.
IppStatus ReferenceExp(const double* x, double* y, int n) {
  std::vector<double> in(x, x + n);
  if (n <= 3) {
    for (int i = 0; i < n; ++i) y[i] = double(std::exp(L(in[i])));
    return ippStsNoErr;
  }
  std::vector<int> group;
  for (int i = n - 1; i >= 0; --i) {
    double s;
    if (IppsExp::Screen(in[i], s)) {
      y[i] = s;
      continue;
    }
    group.push_back(i);
    if (group.size() == 4) {
      for (int k : group) y[k] = IppsExp::Kernel(in[k]);
      group.clear();
    }
  }
  for (int k : group) y[k] = double(std::exp(L(in[k])));
  return ippStsNoErr;
}

IppStatus ReferenceLn(const double* x, double* y, int n) {
  IppStatus s = ippStsNoErr;
  for (int i = 0; i < n; ++i) {
    const double v = x[i];
    if (std::signbit(v)) {
      y[i] = kNaN;
      if (s == ippStsNoErr) s = ippStsLnNegArg;
    } else if (std::isnan(v)) {
      y[i] = kNaN;
    } else if (v == 0) {
      y[i] = -kInf;
      if (s == ippStsNoErr) s = ippStsLnZeroArg;
    } else {
      y[i] = double(std::log(L(v)));
    }
  }
  return s;
}

TEST(FunctionsReferenceTest, ExponentialAndLogarithm) {
  CheckUnary<double, double>("ippsExp_64f", ippsExp_64f, ReferenceExp, TRange::Exp);
  CheckInPlace<double>("ippsExp_64f_I", ippsExp_64f_I, [](double* y, int n) { return ReferenceExp(y, y, n); }, TRange::Exp);
  CheckUnary<double, double>("ippsLn_64f", ippsLn_64f, ReferenceLn, TRange::Positive, 1);
  CheckInPlace<double>("ippsLn_64f_I", ippsLn_64f_I, [](double* y, int n) { return ReferenceLn(y, y, n); }, TRange::Positive, 1);
}

TEST(FunctionsReferenceTest, ExponentialKernelIsWithinOneUlp) {
  for (int i = 0; i < 200000; ++i) {
    const double x = RandomValue<double>(TRange::Exp);
    double s;
    if (IppsExp::Screen(x, s)) continue;
    const double want = double(std::exp(L(x)));
    ASSERT_LE(UlpDistance(IppsExp::Kernel(x), want), 1u) << "x = " << Show(x);
  }
}

TEST(FunctionsReferenceTest, RealFunctions) {
  CheckUnary<double, double>("ippsAbs_64f", ippsAbs_64f, [](const double* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = std::fabs(x[i]);
    return ippStsNoErr;
  });
  CheckInPlace<double>("ippsAbs_64f_I", ippsAbs_64f_I, [](double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = std::fabs(y[i]);
    return ippStsNoErr;
  });
  CheckUnary<double, double>("ippsSqr_64f", ippsSqr_64f, [](const double* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = x[i] * x[i];
    return ippStsNoErr;
  });
  CheckInPlace<double>("ippsSqr_64f_I", ippsSqr_64f_I, [](double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = y[i] * y[i];
    return ippStsNoErr;
  });
  CheckUnary<double, double>("ippsSqrt_64f", ippsSqrt_64f, [](const double* x, double* y, int n) {
    IppStatus s = ippStsNoErr;
    for (int i = 0; i < n; ++i) {
      if (x[i] >= 0) {
        y[i] = std::sqrt(x[i]);
      } else {
        y[i] = kNaN;
        s = ippStsSqrtNegArg;
      }
    }
    return s;
  });
  CheckInPlace<double>("ippsSqrt_64f_I", ippsSqrt_64f_I, [](double* y, int n) {
    IppStatus s = ippStsNoErr;
    for (int i = 0; i < n; ++i) {
      if (y[i] < 0) {
        y[i] = kNaN;
        s = ippStsSqrtNegArg;
      } else if (y[i] != 0) {
        y[i] = std::sqrt(y[i]);
      }
    }
    return s;
  });
}

TEST(FunctionsReferenceTest, ComplexFunctions) {
  auto sqr = [](Ipp64fc z) { return Ipp64fc{double((L(z.re) - z.im) * (L(z.im) + z.re)), double(2 * (L(z.re) * z.im))}; };
  CheckUnary<Ipp64fc, Ipp64fc>("ippsSqr_64fc", ippsSqr_64fc, [&](const Ipp64fc* x, Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = sqr(x[i]);
    return ippStsNoErr;
  });
  CheckInPlace<Ipp64fc>("ippsSqr_64fc_I", ippsSqr_64fc_I, [&](Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = sqr(y[i]);
    return ippStsNoErr;
  });
  auto root = [](Ipp64fc z) {
    const L hx = 0.5L * z.re, hy = 0.5L * z.im, r = std::sqrt(hx * hx + hy * hy);
    if (hx > 0) {
      const L s = std::sqrt(r + hx);
      return Ipp64fc{double(s), double(hy / s)};
    }
    if (hx == 0 || std::isnan(hx)) {
      const L t = std::sqrt(hy < 0 ? -hy : hy);
      return hy < 0 ? Ipp64fc{double(t), double(-t)} : Ipp64fc{double(t), double(t)};
    }
    const L t = hy < 0 ? -std::sqrt(r - hx) : std::sqrt(r - hx);
    return Ipp64fc{double(hy / t), double(t)};
  };
  CheckUnary<Ipp64fc, Ipp64fc>("ippsSqrt_64fc", ippsSqrt_64fc, [&](const Ipp64fc* x, Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = root(x[i]);
    return ippStsNoErr;
  });
  CheckInPlace<Ipp64fc>("ippsSqrt_64fc_I", ippsSqrt_64fc_I, [&](Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = root(y[i]);
    return ippStsNoErr;
  });
  CheckUnary<Ipp64fc, double>("ippsMagnitude_64fc", ippsMagnitude_64fc, [](const Ipp64fc* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = double(std::sqrt(L(x[i].re) * x[i].re + L(x[i].im) * x[i].im));
    return ippStsNoErr;
  });
  CheckUnary<Ipp64fc, double>("ippsPowerSpectr_64fc", ippsPowerSpectr_64fc, [](const Ipp64fc* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = double(L(x[i].im) * x[i].im + L(x[i].re) * x[i].re);
    return ippStsNoErr;
  });
  CheckUnary<Ipp64fc, double>("ippsPhase_64fc", ippsPhase_64fc, [](const Ipp64fc* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = std::atan2(x[i].im, x[i].re);
    return ippStsNoErr;
  }, TRange::General, 1);
}

TEST(ThresholdReferenceTest, AgainstPlainLoops) {
  for (double level : {0.0, -1.5, 2.0, kInf, -kInf, kNaN}) {
    for (IppCmpOp op : {ippCmpLess, ippCmpGreater, ippCmpEq}) {
      const std::string tag = " level " + Show(level) + " op " + std::to_string(op);
      const bool gt = op == ippCmpGreater;
      CheckInPlace<double>("ippsThreshold_64f_I" + tag, [=](double* y, int n) { return ippsThreshold_64f_I(y, n, level, op); },
                           [=](double* y, int n) {
                             for (int i = 0; i < n; ++i)
                               if (gt ? !(level >= y[i]) : level > y[i]) y[i] = level;
                             return ippStsNoErr;
                           });
      const float lf = float(level);
      CheckInPlace<float>("ippsThreshold_32f_I" + tag, [=](float* y, int n) { return ippsThreshold_32f_I(y, n, lf, op); },
                          [=](float* y, int n) {
                            for (int i = 0; i < n; ++i)
                              if (gt ? !(lf >= y[i]) : lf > y[i]) y[i] = lf;
                            return ippStsNoErr;
                          });
      CheckUnary<double, double>("ippsThreshold_64f" + tag, [=](const double* x, double* y, int n) { return ippsThreshold_64f(x, y, n, level, op); },
                                 [=](const double* x, double* y, int n) {
                                   for (int i = 0; i < n; ++i) y[i] = gt ? (level < x[i] ? level : x[i]) : (level <= x[i] ? x[i] : level);
                                   return ippStsNoErr;
                                 });
      auto cplx = [=](Ipp64fc z, bool inPlace) {
        const L m = L(z.re) * z.re + L(z.im) * z.im, l2 = L(level) * level;
        if (gt ? m > l2 : (m < l2 && m != 0)) {
          const L f = std::sqrt(l2 / m);
          return Ipp64fc{double(z.re * f), double(z.im * f)};
        }
        if (!gt && m < l2) return Ipp64fc{level, inPlace ? z.im : 0.0};
        return z;
      };
      CheckUnary<Ipp64fc, Ipp64fc>("ippsThreshold_64fc" + tag, [=](const Ipp64fc* x, Ipp64fc* y, int n) { return ippsThreshold_64fc(x, y, n, level, op); },
                                   [=](const Ipp64fc* x, Ipp64fc* y, int n) {
                                     if (level < 0) return ippStsThreshNegLevelErr;
                                     for (int i = 0; i < n; ++i) y[i] = cplx(x[i], false);
                                     return ippStsNoErr;
                                   });
      CheckInPlace<Ipp64fc>("ippsThreshold_64fc_I" + tag, [=](Ipp64fc* y, int n) { return ippsThreshold_64fc_I(y, n, level, op); },
                            [=](Ipp64fc* y, int n) {
                              if (level < 0) return ippStsThreshNegLevelErr;
                              for (int i = 0; i < n; ++i) y[i] = cplx(y[i], true);
                              return ippStsNoErr;
                            });
    }
  }
  for (Ipp32s level : {INT32_MIN, -3, 0, 100, INT32_MAX}) {
    CheckInPlace<Ipp32s>("ippsThreshold_LT_32s_I", [=](Ipp32s* y, int n) { return ippsThreshold_LT_32s_I(y, n, level); }, [=](Ipp32s* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = y[i] < level ? level : y[i];
      return ippStsNoErr;
    });
    CheckInPlace<Ipp32s>("ippsThreshold_GT_32s_I", [=](Ipp32s* y, int n) { return ippsThreshold_GT_32s_I(y, n, level); }, [=](Ipp32s* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = y[i] > level ? level : y[i];
      return ippStsNoErr;
    });
  }
}

}  // namespace
