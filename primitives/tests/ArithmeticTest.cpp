// Real and complex floating-point arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "primitives/tests/PrimitiveTestSupport.h"

namespace {

using namespace PrimitiveTest;
using L = long double;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool FpuEq(double a, double b) { return !(a < b) && !(a > b); }

// ---- edge cases

TEST(ArithmeticEdgeTest, DivisionByZeroElements) {
  double y[] = {2, 0, -2, kNaN, 6};
  const double x[] = {0, 0, -0.0, kNaN, 3};
  EXPECT_EQ(ippsDiv_64f_I(x, y, 5), ippStsDivByZero);
  EXPECT_EQ(y[0], kInf);
  EXPECT_TRUE(std::isnan(y[1]));
  EXPECT_EQ(y[2], -kInf);
  EXPECT_EQ(y[3], -kInf) << "a NaN divisor counts as zero; a NaN dividend gives -inf";
  EXPECT_EQ(y[4], 2) << "the rest of the vector is processed";
  double ok[] = {4};
  const double two[] = {2};
  EXPECT_EQ(ippsDiv_64f_I(two, ok, 1), ippStsNoErr);
  Ipp64fc z[] = {{1, 1}, {3, 4}};
  const Ipp64fc d[] = {{0, 0}, {1, 2}};
  EXPECT_EQ(ippsDiv_64fc_I(d, z, 2), ippStsDivByZero);
  EXPECT_TRUE(std::isnan(z[0].re) && std::isnan(z[0].im));
  EXPECT_DOUBLE_EQ(z[1].re, 2.2);
  EXPECT_DOUBLE_EQ(z[1].im, -0.4);
}

TEST(ArithmeticEdgeTest, ZeroDivisorConstantsAreRefusedAndWriteNothing) {
  const double src[] = {1, 2};
  double dst[] = {7, 7};
  EXPECT_EQ(ippsDivC_64f(src, 0.0, dst, 2), ippStsDivByZeroErr);
  EXPECT_EQ(ippsDivC_64f(src, kNaN, dst, 2), ippStsDivByZeroErr) << "NaN takes the zero test";
  EXPECT_EQ(ippsDivC_64f_I(-0.0, dst, 2), ippStsDivByZeroErr);
  EXPECT_EQ(dst[0], 7);
  EXPECT_EQ(dst[1], 7);
  Ipp64fc z[] = {{1, 2}};
  EXPECT_EQ(ippsDivC_64fc_I({0, 0}, z, 1), ippStsDivByZeroErr);
  EXPECT_EQ(ippsDivC_64fc(z, {0, -0.0}, z, 1), ippStsDivByZeroErr);
  EXPECT_EQ(z[0].re, 1);
}

TEST(ArithmeticEdgeTest, ShortcutsOfTheConstantsZeroAndOne) {
  struct TRow {
    const char* What;
    double Val;
    double In;
    double Want;
  } rows[] = {
      {"MulC_I by 0 turns +inf into +0.0", 0.0, kInf, 0.0},
      {"MulC_I by 0 turns -5 into +0.0", 0.0, -5, 0.0},
      {"MulC_I by -0.0 also fills +0.0", -0.0, -5, 0.0},
      {"MulC_I by 1 leaves NaN", 1.0, kNaN, kNaN},
      {"MulC_I by NaN takes the first shortcut (1): unchanged", kNaN, 3, 3},
      {"MulC_I by 2", 2.0, 3, 6},
  };
  for (const auto& r : rows) {
    double y[] = {r.In};
    EXPECT_EQ(ippsMulC_64f_I(r.Val, y, 1), ippStsNoErr) << r.What;
    EXPECT_EQ(UlpDistance(y[0], r.Want), 0u) << r.What << ": " << y[0];
    double out[] = {99};
    const double in[] = {r.In};
    EXPECT_EQ(ippsMulC_64f(in, r.Val, out, 1), ippStsNoErr);
    EXPECT_EQ(UlpDistance(out[0], r.Want), 0u) << r.What << " (out of place)";
  }
  double y[] = {kInf};
  EXPECT_EQ(ippsAddC_64f_I(kNaN, y, 1), ippStsNoErr);
  EXPECT_EQ(y[0], kInf) << "AddC by NaN counts as 0: unchanged";
  const double in[] = {-0.0};
  double out[] = {1};
  ippsAddC_64f(in, 0.0, out, 1);
  EXPECT_TRUE(std::signbit(out[0])) << "AddC by 0 copies (-0.0 + 0.0 would be +0.0)";
  ippsSubC_64f(in, 0.0, out, 1);
  EXPECT_TRUE(std::signbit(out[0]));
  // DivC passes the reciprocal to MulC, whose shortcuts then apply.
  const double big[] = {kInf};
  ippsDivC_64f(big, kInf, out, 1);
  EXPECT_EQ(UlpDistance(out[0], 0.0), 0u) << "1/inf = 0: the zero fill";
}

TEST(ArithmeticEdgeTest, ComplexProductsAndQuotients) {
  Ipp64fc y[] = {{1, 2}};
  const Ipp64fc x[] = {{3, -1}};
  ippsMul_64fc_I(x, y, 1);
  EXPECT_EQ(y[0].re, 5);
  EXPECT_EQ(y[0].im, 5);
  ippsMulC_64fc_I({0, 1}, y, 1);
  EXPECT_EQ(y[0].re, -5);
  EXPECT_EQ(y[0].im, 5);
  ippsDivC_64fc_I({0, 1}, y, 1);
  EXPECT_EQ(y[0].re, 5);
  EXPECT_EQ(y[0].im, 5);
  Ipp64fc out[1];
  ippsSubCRev_64fc(y, {10, 10}, out, 1);
  EXPECT_EQ(out[0].re, 5);
  EXPECT_EQ(out[0].im, 5);
}

// ---- against reference loops

TEST(ArithmeticReferenceTest, VectorWithVector) {
  CheckBinary<double, double, double>("ippsAdd_64f", ippsAdd_64f, [](const double* a, const double* b, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = a[i] + b[i];
    return ippStsNoErr;
  });
  CheckBinary<double, double, double>("ippsMul_64f", ippsMul_64f, [](const double* a, const double* b, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = a[i] * b[i];
    return ippStsNoErr;
  });
  CheckBinary<float, float, float>("ippsMul_32f", ippsMul_32f, [](const float* a, const float* b, float* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = float(L(a[i]) * L(b[i]));
    return ippStsNoErr;
  });
  CheckBinaryInPlace<double, double>("ippsAdd_64f_I", ippsAdd_64f_I, [](const double* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = y[i] + x[i];
    return ippStsNoErr;
  });
  CheckBinaryInPlace<double, double>("ippsSub_64f_I", ippsSub_64f_I, [](const double* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = y[i] - x[i];
    return ippStsNoErr;
  });
  CheckBinaryInPlace<double, double>("ippsMul_64f_I", ippsMul_64f_I, [](const double* x, double* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = x[i] * y[i];
    return ippStsNoErr;
  });
  CheckBinaryInPlace<float, float>("ippsSub_32f_I", ippsSub_32f_I, [](const float* x, float* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = y[i] - x[i];
    return ippStsNoErr;
  });
  CheckBinaryInPlace<float, float>("ippsMul_32f_I", ippsMul_32f_I, [](const float* x, float* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = float(L(x[i]) * L(y[i]));
    return ippStsNoErr;
  });
  CheckBinaryInPlace<double, double>("ippsDiv_64f_I", ippsDiv_64f_I, [](const double* x, double* y, int n) {
    IppStatus s = ippStsNoErr;
    for (int i = 0; i < n; ++i) {
      if (FpuEq(x[i], 0)) {
        y[i] = y[i] > 0 ? kInf : (y[i] == 0 ? kNaN : -kInf);
        s = ippStsDivByZero;
      } else {
        y[i] = y[i] / x[i];
      }
    }
    return s;
  });
}

TEST(ArithmeticReferenceTest, ComplexVectorWithVector) {
  CheckBinary<Ipp64fc, Ipp64fc, Ipp64fc>("ippsAdd_64fc", ippsAdd_64fc, [](const Ipp64fc* a, const Ipp64fc* b, Ipp64fc* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = {a[i].re + b[i].re, a[i].im + b[i].im};
    return ippStsNoErr;
  });
  CheckBinaryInPlace<Ipp64fc, Ipp64fc>("ippsAdd_64fc_I", ippsAdd_64fc_I, [](const Ipp64fc* x, Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = {y[i].re + x[i].re, y[i].im + x[i].im};
    return ippStsNoErr;
  });
  CheckBinaryInPlace<Ipp64fc, Ipp64fc>("ippsSub_64fc_I", ippsSub_64fc_I, [](const Ipp64fc* x, Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = {y[i].re - x[i].re, y[i].im - x[i].im};
    return ippStsNoErr;
  });
  CheckBinaryInPlace<Ipp64fc, Ipp64fc>("ippsMul_64fc_I", ippsMul_64fc_I, [](const Ipp64fc* x, Ipp64fc* y, int n) {
    for (int i = 0; i < n; ++i) {
      const L re = L(y[i].re) * x[i].re - L(y[i].im) * x[i].im;
      const L im = L(x[i].re) * y[i].im + L(y[i].re) * x[i].im;
      y[i] = {double(re), double(im)};
    }
    return ippStsNoErr;
  });
  CheckBinaryInPlace<Ipp64fc, Ipp64fc>("ippsDiv_64fc_I", ippsDiv_64fc_I, [](const Ipp64fc* x, Ipp64fc* y, int n) {
    IppStatus s = ippStsNoErr;
    for (int i = 0; i < n; ++i) {
      const L m = L(x[i].im) * x[i].im + L(x[i].re) * x[i].re;
      if (m == 0 || std::isnan(m)) {
        y[i] = {kNaN, kNaN};
        s = ippStsDivByZero;
      } else {
        const L r = 1 / m;
        const L re = (L(x[i].re) * y[i].re + L(x[i].im) * y[i].im) * r;
        const L im = (L(x[i].re) * y[i].im - L(x[i].im) * y[i].re) * r;
        y[i] = {double(re), double(im)};
      }
    }
    return s;
  });
}

const double kConstants[] = {0.0, -0.0, 1.0, kNaN, kInf, 2.5, -3.75e-5, 1e300};

TEST(ArithmeticReferenceTest, RealConstants) {
  for (const double c : kConstants) {
    const std::string tag = " c=" + Show(c);
    CheckUnary<double, double>("ippsAddC_64f" + tag, [c](const double* s, double* d, int n) { return ippsAddC_64f(s, c, d, n); },
                               [c](const double* s, double* d, int n) {
                                 for (int i = 0; i < n; ++i) d[i] = FpuEq(c, 0) ? s[i] : s[i] + c;
                                 return ippStsNoErr;
                               });
    CheckUnary<double, double>("ippsSubC_64f" + tag, [c](const double* s, double* d, int n) { return ippsSubC_64f(s, c, d, n); },
                               [c](const double* s, double* d, int n) {
                                 for (int i = 0; i < n; ++i) d[i] = FpuEq(c, 0) ? s[i] : s[i] - c;
                                 return ippStsNoErr;
                               });
    CheckUnary<double, double>("ippsSubCRev_64f" + tag, [c](const double* s, double* d, int n) { return ippsSubCRev_64f(s, c, d, n); },
                               [c](const double* s, double* d, int n) {
                                 for (int i = 0; i < n; ++i) d[i] = c - s[i];
                                 return ippStsNoErr;
                               });
    CheckUnary<double, double>("ippsMulC_64f" + tag, [c](const double* s, double* d, int n) { return ippsMulC_64f(s, c, d, n); },
                               [c](const double* s, double* d, int n) {
                                 for (int i = 0; i < n; ++i) d[i] = FpuEq(c, 1) ? s[i] : (c == 0 ? 0.0 : s[i] * c);
                                 return ippStsNoErr;
                               });
    CheckUnary<double, double>("ippsDivC_64f" + tag, [c](const double* s, double* d, int n) { return ippsDivC_64f(s, c, d, n); },
                               [c](const double* s, double* d, int n) {
                                 if (FpuEq(c, 0)) return ippStsDivByZeroErr;
                                 const double r = double(1.0L / c);
                                 for (int i = 0; i < n; ++i) d[i] = FpuEq(r, 1) ? s[i] : (r == 0 ? 0.0 : s[i] * r);
                                 return ippStsNoErr;
                               });
    CheckInPlace<double>("ippsAddC_64f_I" + tag, [c](double* y, int n) { return ippsAddC_64f_I(c, y, n); }, [c](double* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = FpuEq(c, 0) ? y[i] : y[i] + c;
      return ippStsNoErr;
    });
    CheckInPlace<double>("ippsSubC_64f_I" + tag, [c](double* y, int n) { return ippsSubC_64f_I(c, y, n); }, [c](double* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = FpuEq(c, 0) ? y[i] : y[i] - c;
      return ippStsNoErr;
    });
    CheckInPlace<double>("ippsSubCRev_64f_I" + tag, [c](double* y, int n) { return ippsSubCRev_64f_I(c, y, n); }, [c](double* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = c - y[i];
      return ippStsNoErr;
    });
    CheckInPlace<double>("ippsMulC_64f_I" + tag, [c](double* y, int n) { return ippsMulC_64f_I(c, y, n); }, [c](double* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = FpuEq(c, 1) ? y[i] : (c == 0 ? 0.0 : y[i] * c);
      return ippStsNoErr;
    });
    CheckInPlace<double>("ippsDivC_64f_I" + tag, [c](double* y, int n) { return ippsDivC_64f_I(c, y, n); }, [c](double* y, int n) {
      if (FpuEq(c, 0)) return ippStsDivByZeroErr;
      const double r = double(1.0L / c);
      for (int i = 0; i < n; ++i) y[i] = FpuEq(r, 1) ? y[i] : (r == 0 ? 0.0 : y[i] * r);
      return ippStsNoErr;
    });
    const float cf = float(c);
    CheckInPlace<float>("ippsSubCRev_32f_I" + tag, [cf](float* y, int n) { return ippsSubCRev_32f_I(cf, y, n); }, [cf](float* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = cf - y[i];
      return ippStsNoErr;
    });
    CheckInPlace<float>("ippsMulC_32f_I" + tag, [cf](float* y, int n) { return ippsMulC_32f_I(cf, y, n); }, [cf](float* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = FpuEq(cf, 1) ? y[i] : (cf == 0 ? 0.0f : float(L(y[i]) * cf));
      return ippStsNoErr;
    });
  }
}

TEST(ArithmeticReferenceTest, ComplexConstants) {
  const Ipp64fc constants[] = {{0, 0}, {1, 0}, {2.5, -1}, {0, kNaN}, {-3e-3, 7}};
  for (const Ipp64fc c : constants) {
    const std::string tag = " c=" + Show(c);
    auto mul = [](Ipp64fc z, L cr, L ci) {
      return Ipp64fc{double(cr * z.re - ci * z.im), double(ci * z.re + cr * z.im)};
    };
    CheckUnary<Ipp64fc, Ipp64fc>("ippsAddC_64fc" + tag, [c](const Ipp64fc* s, Ipp64fc* d, int n) { return ippsAddC_64fc(s, c, d, n); },
                                 [c](const Ipp64fc* s, Ipp64fc* d, int n) {
                                   for (int i = 0; i < n; ++i) d[i] = {s[i].re + c.re, s[i].im + c.im};
                                   return ippStsNoErr;
                                 });
    CheckUnary<Ipp64fc, Ipp64fc>("ippsSubC_64fc" + tag, [c](const Ipp64fc* s, Ipp64fc* d, int n) { return ippsSubC_64fc(s, c, d, n); },
                                 [c](const Ipp64fc* s, Ipp64fc* d, int n) {
                                   for (int i = 0; i < n; ++i) d[i] = {s[i].re - c.re, s[i].im - c.im};
                                   return ippStsNoErr;
                                 });
    CheckUnary<Ipp64fc, Ipp64fc>("ippsSubCRev_64fc" + tag, [c](const Ipp64fc* s, Ipp64fc* d, int n) { return ippsSubCRev_64fc(s, c, d, n); },
                                 [c](const Ipp64fc* s, Ipp64fc* d, int n) {
                                   for (int i = 0; i < n; ++i) d[i] = {c.re - s[i].re, c.im - s[i].im};
                                   return ippStsNoErr;
                                 });
    CheckInPlace<Ipp64fc>("ippsAddC_64fc_I" + tag, [c](Ipp64fc* y, int n) { return ippsAddC_64fc_I(c, y, n); }, [c](Ipp64fc* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = {y[i].re + c.re, y[i].im + c.im};
      return ippStsNoErr;
    });
    CheckInPlace<Ipp64fc>("ippsSubC_64fc_I" + tag, [c](Ipp64fc* y, int n) { return ippsSubC_64fc_I(c, y, n); }, [c](Ipp64fc* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = {y[i].re - c.re, y[i].im - c.im};
      return ippStsNoErr;
    });
    CheckUnary<Ipp64fc, Ipp64fc>("ippsMulC_64fc" + tag, [c](const Ipp64fc* s, Ipp64fc* d, int n) { return ippsMulC_64fc(s, c, d, n); },
                                 [&](const Ipp64fc* s, Ipp64fc* d, int n) {
                                   for (int i = 0; i < n; ++i) d[i] = mul(s[i], c.re, c.im);
                                   return ippStsNoErr;
                                 });
    CheckInPlace<Ipp64fc>("ippsMulC_64fc_I" + tag, [c](Ipp64fc* y, int n) { return ippsMulC_64fc_I(c, y, n); }, [&](Ipp64fc* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = mul(y[i], c.re, c.im);
      return ippStsNoErr;
    });
    auto divRef = [&](const Ipp64fc* s, Ipp64fc* d, int n) {
      const L m = L(c.re) * c.re + L(c.im) * c.im;
      if (FpuEq(double(m), 0)) return ippStsDivByZeroErr;
      const L r = 1 / m;
      const double ir = double(c.re * r), ii = double(-c.im * r);
      for (int i = 0; i < n; ++i) d[i] = mul(s[i], ir, ii);
      return ippStsNoErr;
    };
    CheckUnary<Ipp64fc, Ipp64fc>("ippsDivC_64fc" + tag, [c](const Ipp64fc* s, Ipp64fc* d, int n) { return ippsDivC_64fc(s, c, d, n); }, divRef);
    CheckInPlace<Ipp64fc>("ippsDivC_64fc_I" + tag, [c](Ipp64fc* y, int n) { return ippsDivC_64fc_I(c, y, n); },
                          [&](Ipp64fc* y, int n) { return divRef(y, y, n); });
  }
}

}  // namespace
