// Fill, copy, move and the conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>

#include "primitives/tests/PrimitiveTestSupport.h"

namespace {

using namespace PrimitiveTest;
using L = long double;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kFltMax = 3.4028234663852886e+38;

TEST(FillCopyEdgeTest, MoveHandlesOverlapInBothDirections) {
  double v[6] = {0, 1, 2, 3, 4, 5};
  EXPECT_EQ(ippsMove_64f(v, v + 1, 5), ippStsNoErr);  // destination after the source: back to front
  const double forward[] = {0, 0, 1, 2, 3, 4};
  EXPECT_TRUE(SameElements("ippsMove_64f", 6, v, forward));
  EXPECT_EQ(ippsMove_64f(v + 1, v, 5), ippStsNoErr);
  const double back[] = {0, 1, 2, 3, 4, 4};
  EXPECT_TRUE(SameElements("ippsMove_64f", 6, v, back));
  EXPECT_EQ(ippsMove_64f(v, v, 6), ippStsNoErr);
  Ipp8u b[5] = {1, 2, 3, 4, 5};
  ippsMove_8u(b, b + 2, 3);
  const Ipp8u want[] = {1, 2, 1, 2, 3};
  EXPECT_TRUE(SameElements("ippsMove_8u", 5, b, want));
}

TEST(FillCopyReferenceTest, SetZeroCopy) {
  ForLengthsAndOffsets([](int len, int off) {
    std::vector<double> d(len + off, 1.0);
    ASSERT_EQ(ippsSet_64f(-0.0, d.data() + off, len), ippStsNoErr);
    for (int i = 0; i < len; ++i) ASSERT_TRUE(std::signbit(d[off + i]));
    ASSERT_EQ(ippsZero_64f(d.data() + off, len), ippStsNoErr);
    for (int i = 0; i < len; ++i) ASSERT_EQ(UlpDistance(d[off + i], 0.0), 0u) << len;
    std::vector<Ipp64fc> c(len + off);
    ippsSet_64fc({1, -2}, c.data() + off, len);
    EXPECT_EQ(c[off + len - 1].im, -2);
    ippsZero_64fc(c.data() + off, len);
    EXPECT_EQ(c[off + len - 1].im, 0);
    std::vector<Ipp32s> i32(len + off, 3);
    ippsSet_32s(INT32_MIN, i32.data() + off, len);
    EXPECT_EQ(i32[off + len - 1], INT32_MIN);
    ippsZero_32s(i32.data() + off, len);
    EXPECT_EQ(i32[off], 0);
    std::vector<Ipp8u> u8(len + off, 3);
    ippsSet_8u(255, u8.data() + off, len);
    EXPECT_EQ(u8[off + len - 1], 255);
    ippsZero_8u(u8.data() + off, len);
    EXPECT_EQ(u8[off], 0);
    std::vector<float> f(len + off, 3);
    ippsSet_32f(2.5f, f.data() + off, len);
    EXPECT_EQ(f[off + len - 1], 2.5f);
    ippsZero_32f(f.data() + off, len);
    EXPECT_EQ(f[off], 0);
    std::vector<Ipp16s> s16(len + off, 3);
    ippsZero_16s(s16.data() + off, len);
    EXPECT_EQ(s16[off + len - 1], 0);
  });
  CheckUnary<double, double>("ippsCopy_64f", ippsCopy_64f, [](const double* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<float, float>("ippsCopy_32f", ippsCopy_32f, [](const float* s, float* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<Ipp8u, Ipp8u>("ippsCopy_8u", ippsCopy_8u, [](const Ipp8u* s, Ipp8u* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<Ipp8u, Ipp8u>("ippsMove_8u", ippsMove_8u, [](const Ipp8u* s, Ipp8u* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<double, double>("ippsMove_64f", ippsMove_64f, [](const double* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
}

TEST(ConversionEdgeTest, RoundingAndSaturationToIntegers) {
  struct TRow {
    double X;
    IppRoundMode Mode;
    int Scale;
    Ipp32s Want;
  } rows[] = {
      {2.5, ippRndNear, 0, 2},        {3.5, ippRndNear, 0, 4},        {-2.5, ippRndNear, 0, -2},
      {5.0, ippRndNear, 1, 2},        {-2.7, ippRndZero, 0, -2},      {1e10, ippRndNear, 0, INT32_MAX},
      {1e10, ippRndZero, 0, INT32_MAX}, {kNaN, ippRndNear, 0, INT32_MIN}, {kNaN, ippRndZero, 0, INT32_MIN},
      {-2147483648.4, ippRndNear, 0, INT32_MIN}, {2147483646.6, ippRndNear, 0, 2147483647},
      {2.5, IppRoundMode(7), 0, 2},   {0.0, ippRndNear, -5000, 0},   {1.0, ippRndNear, -5000, INT32_MAX},
      {3.0, ippRndNear, 30000, 0},
  };
  for (const auto& r : rows) {
    Ipp32s out = 12345;
    EXPECT_EQ(ippsConvert_64f32s_Sfs(&r.X, &out, 1, r.Mode, r.Scale), ippStsNoErr);
    EXPECT_EQ(out, r.Want) << r.X << " mode " << r.Mode << " sf " << r.Scale;
  }
  const float big = 2147483520.0f, limit = 2147483648.0f;
  Ipp32s out;
  ippsConvert_32f32s_Sfs(&big, &out, 1, ippRndNear, 0);
  EXPECT_EQ(out, 2147483520);
  ippsConvert_32f32s_Sfs(&limit, &out, 1, ippRndNear, 0);
  EXPECT_EQ(out, INT32_MAX);
}

TEST(ConversionEdgeTest, SingleSaturationAndComplexAssembly) {
  const double x[] = {1e39, kNaN, -1e39, 1.5};
  float f[4];
  ippsConvert_64f32f(x, f, 4);
  EXPECT_EQ(double(f[0]), kFltMax);
  EXPECT_EQ(double(f[1]), -kFltMax);
  EXPECT_EQ(double(f[2]), -kFltMax);
  EXPECT_EQ(f[3], 1.5f);
  const double re[] = {1, 2};
  Ipp64fc z[2] = {{9, 9}, {9, 9}};
  EXPECT_EQ(ippsRealToCplx_64f(re, nullptr, z, 2), ippStsNoErr);
  EXPECT_EQ(z[1].re, 2);
  EXPECT_EQ(UlpDistance(z[1].im, 0.0), 0u);
  EXPECT_EQ(ippsRealToCplx_64f(nullptr, nullptr, z, 2), ippStsNullPtrErr);
  EXPECT_EQ(ippsRealToCplx_64f(nullptr, nullptr, z, 0), ippStsSizeErr) << "the length comes before the two sources";
  const Ipp16s s[] = {-32768, 3};
  double d[2];
  ippsConvert_16s64f_Sfs(s, d, 2, 1);
  EXPECT_EQ(d[0], -16384);
  EXPECT_EQ(d[1], 1.5);
  ippsConvert_16s64f_Sfs(s, d, 2, -2000);  // clamped to -1008
  EXPECT_EQ(d[1], 3 * std::ldexp(1.0, 1008));
}

TEST(ConversionReferenceTest, AgainstPlainLoops) {
  CheckUnary<Ipp32s, double>("ippsConvert_32s64f", ippsConvert_32s64f, [](const Ipp32s* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<float, double>("ippsConvert_32f64f", ippsConvert_32f64f, [](const float* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i];
    return ippStsNoErr;
  });
  CheckUnary<Ipp32s, float>("ippsConvert_32s32f", ippsConvert_32s32f, [](const Ipp32s* s, float* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = float(s[i]);
    return ippStsNoErr;
  });
  CheckUnary<double, float>("ippsConvert_64f32f", ippsConvert_64f32f, [](const double* s, float* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i] >= kFltMax ? float(kFltMax) : (s[i] > -kFltMax ? float(s[i]) : float(-kFltMax));
    return ippStsNoErr;
  });
  for (int sf : {0, 1, -1, 15, -15, 1022, -1008, 2000, -2000}) {
    CheckUnary<Ipp16s, double>("ippsConvert_16s64f_Sfs sf " + std::to_string(sf),
                               [sf](const Ipp16s* s, double* d, int n) { return ippsConvert_16s64f_Sfs(s, d, n, sf); },
                               [sf](const Ipp16s* s, double* d, int n) {
                                 const int c = sf < -1008 ? -1008 : (sf > 1022 ? 1022 : sf);
                                 for (int i = 0; i < n; ++i) d[i] = double(std::ldexp(L(s[i]), -c));
                                 return ippStsNoErr;
                               });
  }
  // The integer conversions: t in extended precision with the scale formed
  // by repeated halving or doubling; a plain reading of the rule.
  auto toInt = [](L t, bool round, L upper) -> Ipp32s {
    if (t >= upper) return INT32_MAX;
    if (t > -2147483648.0L) return Ipp32s(round ? std::nearbyint(t) : std::trunc(t));
    return INT32_MIN;
  };
  auto scaleOf = [](int sf) {
    L s = 1;
    for (int k = 0; k < sf && k < 20000; ++k) s /= 2;
    for (int k = 0; k < -sf && k < 20000; ++k) s *= 2;
    return s;
  };
  for (int sf : {0, 1, -1, 3, -20, 31, 52, 1000, -1000, 1001, -1001, 1100, -1100}) {
    for (IppRoundMode m : {ippRndNear, ippRndZero}) {
      const std::string tag = " sf " + std::to_string(sf) + " mode " + std::to_string(m);
      const TRange range = sf == 0 ? TRange::General : TRange::Small;
      CheckUnary<double, Ipp32s>("ippsConvert_64f32s_Sfs" + tag, [=](const double* s, Ipp32s* d, int n) { return ippsConvert_64f32s_Sfs(s, d, n, m, sf); },
                                 [&](const double* s, Ipp32s* d, int n) {
                                   const L scale = scaleOf(sf);
                                   for (int i = 0; i < n; ++i) d[i] = toInt(L(s[i]) * scale, m == ippRndNear, 2147483647.0L);
                                   return ippStsNoErr;
                                 },
                                 range);
      CheckUnary<float, Ipp32s>("ippsConvert_32f32s_Sfs" + tag, [=](const float* s, Ipp32s* d, int n) { return ippsConvert_32f32s_Sfs(s, d, n, m, sf); },
                                [&](const float* s, Ipp32s* d, int n) {
                                  const L scale = scaleOf(sf);
                                  for (int i = 0; i < n; ++i) d[i] = toInt(L(s[i]) * scale, m == ippRndNear, sf == 0 ? 2147483648.0L : 2147483647.0L);
                                  return ippStsNoErr;
                                },
                                range);
    }
  }
  CheckBinary<double, double, Ipp64fc>("ippsRealToCplx_64f", ippsRealToCplx_64f, [](const double* a, const double* b, Ipp64fc* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = {a[i], b[i]};
    return ippStsNoErr;
  });
  CheckUnary<Ipp64fc, double>("ippsReal_64fc", ippsReal_64fc, [](const Ipp64fc* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i].re;
    return ippStsNoErr;
  });
  CheckUnary<Ipp64fc, double>("ippsImag_64fc", ippsImag_64fc, [](const Ipp64fc* s, double* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i].im;
    return ippStsNoErr;
  });
  CheckUnary<Ipp16u, Ipp16u>("ippsSwapBytes_16u", ippsSwapBytes_16u, [](const Ipp16u* s, Ipp16u* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = Ipp16u((s[i] >> 8) | (s[i] << 8));
    return ippStsNoErr;
  });
  CheckUnary<Ipp32u, Ipp32u>("ippsSwapBytes_32u", ippsSwapBytes_32u, [](const Ipp32u* s, Ipp32u* d, int n) {
    for (int i = 0; i < n; ++i) d[i] = (s[i] >> 24) | ((s[i] >> 8) & 0xFF00u) | ((s[i] << 8) & 0xFF0000u) | (s[i] << 24);
    return ippStsNoErr;
  });
  CheckInPlace<Ipp32u>("ippsSwapBytes_32u_I", ippsSwapBytes_32u_I, [](Ipp32u* y, int n) {
    for (int i = 0; i < n; ++i) y[i] = (y[i] >> 24) | ((y[i] >> 8) & 0xFF00u) | ((y[i] << 8) & 0xFF0000u) | (y[i] << 24);
    return ippStsNoErr;
  });
  const Ipp8u in[] = {1, 2, 3, 4, 5, 6};
  Ipp8u out[6];
  ippsSwapBytes_24u(in, out, 2);
  const Ipp8u want[] = {3, 2, 1, 6, 5, 4};
  EXPECT_TRUE(SameElements("ippsSwapBytes_24u", 6, out, want));
  const float fr[] = {1.5f}, fi[] = {-2.0f};
  Ipp32fc fz[1];
  ippsRealToCplx_32f(fr, fi, fz, 1);
  EXPECT_EQ(fz[0].re, 1.5f);
  EXPECT_EQ(fz[0].im, -2.0f);
}

}  // namespace
