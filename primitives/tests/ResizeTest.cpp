// The resize kernels against plain references written from their formulas:
// every method, every channel count, random odd sizes, regions that start
// inside the image, padded rows, factors above and below 1.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "primitives/tests/ImageTestSupport.h"

namespace {

using namespace ImageTest;
using L = long double;

// One dimension, relative to the region origin.
struct TRefAxis {
  int First, Last;  // image indices
  int Size;         // clipped region size
  int Dst;          // destination pixels
  double Factor;
  L Shift;
};

template <class T>
constexpr int kMax = sizeof(T) == 1 ? 255 : 65535;

template <class T>
T RoundHalfUp(float v) {  // trunc(v + 0.5000001) clamped
  const float r = v + 0.5000001f;
  return r < 1 ? T(0) : (r >= kMax<T> ? T(kMax<T>) : T(int(r)));
}
template <class T>
T RoundSuper(float v) {  // trunc(v + 0.5) clamped
  const float r = v + 0.5f;
  return r < 1 ? T(0) : (r >= kMax<T> ? T(kMax<T>) : T(int(r)));
}

// Positions of the linear, cubic and Lanczos kernels, by repeated addition.
std::vector<L> SpanPositions(const TRefAxis& A) {
  const L fw = L(A.Factor) * A.Size;
  const L step = fw > 1 ? L(A.Size - 1) / (fw - 1) : 0;
  std::vector<L> v;
  L pos = A.Shift;
  for (int k = 0; k < A.Dst; ++k, pos += step) v.push_back(pos);
  return v;
}
std::vector<L> NearestPositions(const TRefAxis& A) {
  const L step = 1.0L / A.Factor;
  std::vector<L> v;
  L pos = A.Shift + 0.5L * step;
  for (int k = 0; k < A.Dst; ++k, pos += step) v.push_back(pos);
  return v;
}
int IntegerPart(L pos) { return int(int64_t(pos + 1e-7L)); }

// A sample of the source at region-relative (x, y).
template <class T>
struct TSource {
  const TImage<T>& Img;
  int X0, Y0;
  int operator()(int x, int y, int c) const { return Img.Get(X0 + x, Y0 + y, c); }
};

float Newton(float q0, float q1, float q2, float q3, float x) {
  // q0 + x D1 + x(x-1)/2 D2 + x(x-1)(x-2)/6 D3, forward differences
  const float c1 = x, c2 = x * (x - 1) / 2, c3 = x * (x - 1) * (x - 2) / 6;
  const float e0 = q1 - q0, e1 = q2 - q1, e2 = q3 - q2;
  const float d2 = e1 - e0, d3 = (e2 - e1) - d2;
  return q0 + c1 * e0 + c2 * d2 + c3 * d3;
}

struct TCubicPoint {
  int B;    // first of the four neighbours
  float X;  // position measured from B
};
TCubicPoint CubicPoint(const TRefAxis& A, L pos) {
  int j = IntegerPart(pos);
  L at = pos;
  if (j > A.Last) j = A.Last, at = A.Last;
  int b = j - 1;
  if (j == A.First) b = j;
  else if (j == A.Last - 1) b = j - 2;
  else if (j == A.Last) b = j - 3;
  return {b, float(at - b)};
}

float LanczosKernel(float a) {  // a = |d| * 100, from the 301-sample table
  static const std::vector<float> t = [] {
    std::vector<float> v(301);
    const double pi = 3.14159265358979323846;
    v[0] = 1;
    for (int i = 1; i <= 300; ++i) {
      const double d = i / 100.0;
      v[i] = float(std::sin(pi * d) / (pi * d) * (std::sin(pi * d / 3) / (pi * d / 3)));
    }
    v[300] = 0;
    return v;
  }();
  const int s = int(a);
  return t[s] + (a - float(s)) * (t[s + 1] - t[s]);
}
struct TLanczosPoint {
  int I[6];
  float W[6];
};
TLanczosPoint LanczosPoint(const TRefAxis& A, L pos) {
  int j = IntegerPart(pos);
  if (j > A.Last) j = A.Last, pos = A.Last;
  TLanczosPoint p{};
  float sum = 0;
  for (int m = 0; m < 6; ++m) {
    const int i = j - 2 + m;
    const L d = L(i) - pos;
    const float a = float((d < 0 ? -d : d) * 100);
    const bool inside = i >= A.First && i <= A.Last;
    p.W[m] = a < 300 && inside ? LanczosKernel(a) : 0.0f;
    sum += p.W[m];
    p.I[m] = i < A.First ? A.First : (i > A.Last ? A.Last : i);
  }
  for (float& w : p.W) w /= sum;
  return p;
}

// Supersampling weights of one destination index: source indices and the
// covered fractions, scaled to the full area where the region cuts it.
struct TSuperPoint {
  int I0;
  std::vector<float> W;
};
TSuperPoint SuperPoint(const TRefAxis& A, int k) {
  const L inv = 1.0L / A.Factor, n = A.Size;
  const L a = A.Shift + k * inv, b = A.Shift + (k + 1) * inv, e = b < n ? b : n;
  const L scale = b > n ? (b - a) / (e - a) : 1;
  TSuperPoint p{int(std::floor(a)), {}};
  int i1 = int(std::ceil(e));
  if (i1 > A.Size) i1 = A.Size;
  for (int i = p.I0; i < i1; ++i) p.W.push_back(float(((i + 1 < e ? L(i + 1) : e) - (i > a ? L(i) : a)) * scale));
  return p;
}

// The resize of region-relative axes X and Y by method AMethod (1 nearest, 2
// linear, 4 cubic, 16 Lanczos, 8 supersampling), dense rows.
template <class T>
std::vector<T> Reference(const TSource<T>& S, int C, const TRefAxis& X, const TRefAxis& Y, int AMethod) {
  std::vector<T> out(size_t(X.Dst) * Y.Dst * C);
  auto put = [&](int k, int r, int c, T v) { out[(size_t(r) * X.Dst + k) * C + c] = v; };
  if (AMethod == 1) {
    const auto px = NearestPositions(X), py = NearestPositions(Y);
    for (int r = 0; r < Y.Dst; ++r)
      for (int k = 0; k < X.Dst; ++k) {
        const int x = std::min(IntegerPart(px[k]), X.Last), y = std::min(IntegerPart(py[r]), Y.Last);
        for (int c = 0; c < C; ++c) put(k, r, c, T(S(x, y, c)));
      }
  } else if (AMethod == 2) {
    const auto px = SpanPositions(X), py = SpanPositions(Y);
    auto pair = [](const TRefAxis& A, L pos, int& lo, int64_t& w) {
      const int j = std::min(IntegerPart(pos), A.Last);
      if (j == A.Last) lo = j - 1, w = 16384;
      else lo = j, w = int64_t(1e-7L + 16384 * (pos - j));
    };
    for (int r = 0; r < Y.Dst; ++r)
      for (int k = 0; k < X.Dst; ++k) {
        int x, y;
        int64_t wx, wy;
        pair(X, px[k], x, wx);
        pair(Y, py[r], y, wy);
        for (int c = 0; c < C; ++c) {
          if constexpr (sizeof(T) == 1) {
            const int64_t hu = ((16384 - wx) * S(x, y, c) + wx * S(x + 1, y, c) + 128) >> 8;
            const int64_t hl = ((16384 - wx) * S(x, y + 1, c) + wx * S(x + 1, y + 1, c) + 128) >> 8;
            put(k, r, c, T(((16384 - wy) * hu + wy * hl + 524288) >> 20));
          } else {
            const int64_t hu = (16384 - wx) * S(x, y, c) + wx * S(x + 1, y, c);
            const int64_t hl = (16384 - wx) * S(x, y + 1, c) + wx * S(x + 1, y + 1, c);
            put(k, r, c, T(((16384 - wy) * hu + wy * hl + (int64_t(1) << 27)) >> 28));
          }
        }
      }
  } else if (AMethod == 4) {
    const auto px = SpanPositions(X), py = SpanPositions(Y);
    for (int r = 0; r < Y.Dst; ++r)
      for (int k = 0; k < X.Dst; ++k) {
        const TCubicPoint a = CubicPoint(X, px[k]), b = CubicPoint(Y, py[r]);
        for (int c = 0; c < C; ++c) {
          float h[4];
          for (int m = 0; m < 4; ++m) {
            const int y = b.B + m;
            h[m] = Newton(float(S(a.B, y, c)), float(S(a.B + 1, y, c)), float(S(a.B + 2, y, c)),
                          float(S(a.B + 3, y, c)), a.X);
          }
          put(k, r, c, RoundHalfUp<T>(Newton(h[0], h[1], h[2], h[3], b.X)));
        }
      }
  } else if (AMethod == 16) {
    const auto px = SpanPositions(X), py = SpanPositions(Y);
    for (int r = 0; r < Y.Dst; ++r)
      for (int k = 0; k < X.Dst; ++k) {
        const TLanczosPoint a = LanczosPoint(X, px[k]), b = LanczosPoint(Y, py[r]);
        for (int c = 0; c < C; ++c) {
          float v = 0;
          for (int m = 0; m < 6; ++m) {
            float h = 0;
            for (int q = 0; q < 6; ++q) h += a.W[q] * float(S(a.I[q], b.I[m], c));
            v += b.W[m] * h;
          }
          put(k, r, c, RoundHalfUp<T>(v));
        }
      }
  } else {
    const float scale = float(X.Factor * Y.Factor);
    for (int r = 0; r < Y.Dst; ++r)
      for (int k = 0; k < X.Dst; ++k) {
        const TSuperPoint a = SuperPoint(X, k), b = SuperPoint(Y, r);
        for (int c = 0; c < C; ++c) {
          float acc = 0;
          for (size_t m = 0; m < b.W.size(); ++m) {
            float h = 0;
            for (size_t q = 0; q < a.W.size(); ++q) h += a.W[q] * float(S(a.I0 + int(q), b.I0 + int(m), c));
            acc += b.W[m] * h;
          }
          put(k, r, c, RoundSuper<T>(acc * scale));
        }
      }
  }
  return out;
}

// The method after the small-source rules.
int EffectiveMethod(int AInterpolation, double xf, double yf, IppiSize src) {
  if (AInterpolation == 8) return 8;
  const int small = std::min(src.width, src.height);
  int m = AInterpolation;
  if (m == 16 && small < 8) m = 4;
  if (m == 4 && small < 4) m = 2;
  if (small < 2) m = 1;
  (void)xf;
  (void)yf;
  return m;
}

// The destination size rule; false for -201.
bool FitDst(TRefAxis& A) {
  const double s = 1e-7 + A.Factor * A.Size;
  if (s < A.Dst) {
    if (std::trunc(s) >= 1) A.Dst = int(std::trunc(s));
    else if (s >= 0.5) A.Dst = 1;
    else return false;
  }
  return true;
}

TRefAxis Axis(int AImage, int AOrigin, int ARegion, int ADst, double AFactor, L AShift = 0) {
  return {-AOrigin, AImage - 1 - AOrigin, std::min(ARegion, AImage - AOrigin), ADst, AFactor, AShift};
}

template <class T>
using TResizeFn = IppStatus (*)(const T*, IppiSize, int, IppiRect, T*, int, IppiSize, double, double, int);

// One random case of a resize entry against the reference.
template <class T>
void CheckRandomCase(const char* AName, TResizeFn<T> AFn, int C, int AInterpolation, double xf, double yf) {
  const IppiSize src{RandomInt(1, 23) | 1, RandomInt(1, 23) | 1};
  const IppiRect roi{RandomInt(0, src.width - 1), RandomInt(0, src.height - 1), RandomInt(1, src.width + 3),
                     RandomInt(1, src.height + 3)};
  TRefAxis X = Axis(src.width, roi.x, roi.width, 0, xf), Y = Axis(src.height, roi.y, roi.height, 0, yf);
  // Destination regions both larger and smaller than the scaled region.
  X.Dst = std::max(1, int(xf * X.Size) + RandomInt(-2, 3));
  Y.Dst = std::max(1, int(yf * Y.Size) + RandomInt(-2, 3));
  const IppiSize dstRoi{X.Dst, Y.Dst};
  TImage<T> in(src.width, src.height, C);
  TImage<T> out(dstRoi.width + RandomInt(0, 2), dstRoi.height + RandomInt(0, 2), C), before = out;
  std::ostringstream what;
  what << AName << " interpolation " << AInterpolation << " factors " << xf << " x " << yf << ", source "
       << src.width << "x" << src.height << " region (" << roi.x << ", " << roi.y << ", " << roi.width << ", "
       << roi.height << "), destination " << dstRoi.width << "x" << dstRoi.height;
  const IppStatus s = AFn(in.Data(), src, in.Step, roi, out.Data(), out.Step, dstRoi, xf, yf, AInterpolation);
  if (AInterpolation == 8 && (xf > 1 || yf > 1)) {
    EXPECT_EQ(s, ippStsInterpolationErr) << what.str();
    EXPECT_TRUE(Untouched(what.str(), out, before));
    return;
  }
  if (!FitDst(X) || !FitDst(Y)) {
    EXPECT_EQ(s, ippStsResizeTooSmallErr) << what.str();
    EXPECT_TRUE(Untouched(what.str(), out, before));
    return;
  }
  ASSERT_EQ(s, ippStsNoErr) << what.str();
  const int method = EffectiveMethod(AInterpolation, xf, yf, src);
  const auto want = Reference<T>({in, roi.x, roi.y}, C, X, Y, method);
  EXPECT_TRUE(SameRegion(what.str(), out, before, want, 0, 0, X.Dst, Y.Dst));
}

struct TEntryCase {
  const char* Name;
  int C;
};

class ResizeReferenceTest : public ::testing::TestWithParam<int> {};

TEST_P(ResizeReferenceTest, EveryEntryMatchesTheReference) {
  const int interpolation = GetParam();
  const double factors[] = {0.21, 0.5, 0.77, 1.0, 1.3, 2.0, 3.7};
  for (int n = 0; n < 12; ++n)
    for (double xf : factors) {
      const double yf = factors[RandomInt(0, 6)];
      CheckRandomCase<Ipp8u>("ippiResize_8u_C1R", ippiResize_8u_C1R, 1, interpolation, xf, yf);
      CheckRandomCase<Ipp8u>("ippiResize_8u_C3R", ippiResize_8u_C3R, 3, interpolation, xf, yf);
      CheckRandomCase<Ipp8u>("ippiResize_8u_C4R", ippiResize_8u_C4R, 4, interpolation, xf, yf);
      CheckRandomCase<Ipp16u>("ippiResize_16u_C1R", ippiResize_16u_C1R, 1, interpolation, xf, yf);
      if (HasFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ResizeReferenceTest, ::testing::Values(1, 2, 4, 8, 16),
                         [](const auto& info) {
                           switch (info.param) {
                             case 1: return std::string("Nearest");
                             case 2: return std::string("Linear");
                             case 4: return std::string("Cubic");
                             case 8: return std::string("Supersampling");
                             default: return std::string("Lanczos");
                           }
                         });

// Large images exercise the row cache and the whole-pixel supersampling
// path (factor 0.5) over many rows.
TEST(ResizeReferenceTest, LargeImagesByHalfAndByTwo) {
  for (int interpolation : {2, 8})
    for (double f : {0.5, 2.0, 0.25})
      for (int C : {1, 4}) {
        const IppiSize src{101, 67};
        const IppiRect roi{0, 0, 101, 67};
        TRefAxis X = Axis(101, 0, 101, int(f * 101), f), Y = Axis(67, 0, 67, int(f * 67), f);
        TImage<Ipp8u> in(src.width, src.height, C), out(X.Dst, Y.Dst, C), before = out;
        auto fn = C == 1 ? ippiResize_8u_C1R : ippiResize_8u_C4R;
        const IppStatus s = fn(in.Data(), src, in.Step, roi, out.Data(), out.Step, {X.Dst, Y.Dst}, f, f, interpolation);
        if (interpolation == 8 && f > 1) {
          EXPECT_EQ(s, ippStsInterpolationErr);
          continue;
        }
        ASSERT_EQ(s, ippStsNoErr);
        ASSERT_TRUE(FitDst(X) && FitDst(Y));
        const auto want = Reference<Ipp8u>({in, 0, 0}, C, X, Y, interpolation);
        std::ostringstream what;
        what << "ippiResize_8u_C" << C << "R interpolation " << interpolation << " by " << f;
        EXPECT_TRUE(SameRegion(what.str(), out, before, want, 0, 0, X.Dst, Y.Dst));
      }
}

// The 16u linear kernel rounds the exact Q14 bilinear value once: halfway
// between 0 and 65535 is 32767.5, which rounds up.
TEST(ResizeReferenceTest, SixteenBitLinearRoundsTheExactValueToNearest) {
  const Ipp16u src[4] = {0, 65535, 0, 65535};
  Ipp16u dst[6] = {1, 1, 1, 1, 1, 1};
  // Factor 1.5 on 2 pixels: step (2 - 1) / (3 - 1) = 0.5, weights 8192.
  ASSERT_EQ(ippiResize_16u_C1R(src, {2, 2}, 4, {0, 0, 2, 2}, dst, 6, {3, 2}, 1.5, 1, 2), ippStsNoErr);
  for (int r = 0; r < 2; ++r) {
    EXPECT_EQ(dst[3 * r], 0);
    EXPECT_EQ(dst[3 * r + 1], 32768);
    EXPECT_EQ(dst[3 * r + 2], 65535);
  }
  // Values that a 16-bit intermediate would lose: 1 and 2 give 1.5 -> 2.
  const Ipp16u small[4] = {1, 2, 1, 2};
  Ipp16u out[6] = {};
  ASSERT_EQ(ippiResize_16u_C1R(small, {2, 2}, 4, {0, 0, 2, 2}, out, 6, {3, 2}, 1.5, 1, 2), ippStsNoErr);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[4], 2);
}

// ---- the centre variant

struct TCentreAxis {
  int First, Count, Origin;
  L Shift;
  bool Any;
};
TCentreAxis CentreMapping(int ARoiOrigin, int ARoiSize, int AImage, int ADst, double f, double centre) {
  const int size = std::min(ARoiSize, AImage - ARoiOrigin);
  const L half = 0.5L * ADst;
  L first = std::ceil(half + L(f) * (ARoiOrigin - L(centre)));
  if (first < 0) first = 0;
  L end = std::ceil(half + L(f) * (L(ARoiOrigin) + size - L(centre)));
  if (end > ADst) end = ADst;
  if (!(end > first)) return {0, 0, 0, 0, false};
  const L s = L(centre) + (first - half) / L(f);
  L o = std::floor(s), shift = s - o;
  if (o < ARoiOrigin) o = ARoiOrigin, shift = 0;
  if (o > ARoiOrigin + size - 1) o = ARoiOrigin + size - 1;
  return {int(first), int(end) - int(first), int(o), shift, true};
}

TEST(ResizeCenterReferenceTest, MapsTheCentreToTheMiddleOfTheDestination) {
  for (int interpolation : {1, 2, 4, 8, 16})
    for (int n = 0; n < 40; ++n) {
      const IppiSize src{RandomInt(4, 25), RandomInt(4, 25)};
      const IppiRect roi{RandomInt(0, src.width - 1), RandomInt(0, src.height - 1), RandomInt(1, src.width),
                         RandomInt(1, src.height)};
      const double xf = std::vector<double>{0.5, 0.8, 1.0, 1.7, 2.0}[RandomInt(0, 4)];
      const double yf = std::vector<double>{0.5, 0.8, 1.0, 1.7, 2.0}[RandomInt(0, 4)];
      const double xc = roi.x + RandomInt(-2, roi.width + 2) * 0.5, yc = roi.y + RandomInt(-2, roi.height + 2) * 0.5;
      const IppiSize dstRoi{RandomInt(1, 30), RandomInt(1, 30)};
      TImage<Ipp8u> in(src.width, src.height, 4), out(dstRoi.width, dstRoi.height, 4), before = out;
      std::ostringstream what;
      what << "ippiResizeCenter_8u_C4R interpolation " << interpolation << " factors " << xf << " x " << yf
           << " centre (" << xc << ", " << yc << ") source " << src.width << "x" << src.height << " region ("
           << roi.x << ", " << roi.y << ", " << roi.width << ", " << roi.height << ") destination " << dstRoi.width
           << "x" << dstRoi.height;
      const IppStatus s = ippiResizeCenter_8u_C4R(in.Data(), src, in.Step, roi, out.Data(), out.Step, dstRoi, xf, yf,
                                                  xc, yc, interpolation);
      if (interpolation == 8 && (xf > 1 || yf > 1)) {
        EXPECT_EQ(s, ippStsInterpolationErr) << what.str();
        EXPECT_TRUE(Untouched(what.str(), out, before));
        continue;
      }
      const TCentreAxis cx = CentreMapping(roi.x, roi.width, src.width, dstRoi.width, xf, xc);
      const TCentreAxis cy = CentreMapping(roi.y, roi.height, src.height, dstRoi.height, yf, yc);
      if (!cx.Any || !cy.Any) {
        EXPECT_EQ(s, ippStsNoErr) << what.str();
        EXPECT_TRUE(Untouched(what.str(), out, before));
        continue;
      }
      auto rest = [](int o, int sz, int img, int no) { return std::min(o + sz, img) - no; };
      TRefAxis X = Axis(src.width, cx.Origin, rest(roi.x, roi.width, src.width, cx.Origin), cx.Count, xf, cx.Shift);
      TRefAxis Y = Axis(src.height, cy.Origin, rest(roi.y, roi.height, src.height, cy.Origin), cy.Count, yf, cy.Shift);
      if (!FitDst(X) || !FitDst(Y)) {
        EXPECT_EQ(s, ippStsResizeTooSmallErr) << what.str();
        continue;
      }
      ASSERT_EQ(s, ippStsNoErr) << what.str();
      const auto want =
          Reference<Ipp8u>({in, cx.Origin, cy.Origin}, 4, X, Y, EffectiveMethod(interpolation, xf, yf, src));
      ASSERT_TRUE(SameRegion(what.str(), out, before, want, cx.First, cy.First, X.Dst, Y.Dst));
    }
}

}  // namespace
