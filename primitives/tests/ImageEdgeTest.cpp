// The image primitives' edge cases and argument checks as tables: each row
// names a call, the status it must return and, for successful calls, the
// pixels it must write. Errors and the warning leave the destination as it
// was, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "primitives/tests/ImageTestSupport.h"

namespace {

using namespace ImageTest;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct TCase {
  std::string Name;
  int W, H, C;                                   // destination image
  std::function<IppStatus(TImage<Ipp8u>&)> Call;  // runs the primitive on the destination
  IppStatus Want;
  std::vector<Ipp8u> Pixels;  // the written region (W x H from the origin), or none
  int PixelsW = 0, PixelsH = 0;
};

// A source image with rows of the given values.
TImage<Ipp8u> Source(int W, int H, int C, const std::vector<int>& AValues) {
  TImage<Ipp8u> s(W, H, C, 3);
  for (int y = 0; y < H; ++y)
    for (int i = 0; i < W * C; ++i) s.Px(0, y)[i] = Ipp8u(AValues[(y * W * C + i) % AValues.size()]);
  return s;
}

const TImage<Ipp8u> k4x4 = Source(4, 4, 1, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150});
const TImage<Ipp8u> kRows10x20 = Source(2, 2, 1, {10, 20});
const TImage<Ipp8u> kRows0x255 = Source(2, 2, 1, {0, 255});

std::function<IppStatus(TImage<Ipp8u>&)> Resize(const TImage<Ipp8u>& s, IppiRect roi, IppiSize dst, double xf,
                                                double yf, int interpolation) {
  return [&s, roi, dst, xf, yf, interpolation](TImage<Ipp8u>& d) {
    return ippiResize_8u_C1R(s.Data(), {s.W, s.H}, s.Step, roi, d.Data(), d.Step, dst, xf, yf, interpolation);
  };
}

// Alpha composition of one pixel A over one pixel B.
std::function<IppStatus(TImage<Ipp8u>&)> AlphaOver(std::vector<Ipp8u> a, std::vector<Ipp8u> b) {
  return [a, b](TImage<Ipp8u>& d) {
    return ippiAlphaComp_8u_AC4R(a.data(), 4, b.data(), 4, d.Data(), d.Step, {1, 1}, ippAlphaOver);
  };
}

std::vector<Ipp8u> InvertedTable() {
  std::vector<Ipp8u> v;
  for (int i = 0; i < 256; ++i) v.push_back(Ipp8u(int(255.5L - 255.0L * i / 256)));
  return v;
}

std::function<IppStatus(TImage<Ipp8u>&)> InvertingLut() {
  return [](TImage<Ipp8u>& d) {
    static TImage<Ipp8u> s = [] {
      TImage<Ipp8u> img(64, 1, 4, 0);
      for (int i = 0; i < 256; ++i) img.Data()[i] = Ipp8u(i);
      return img;
    }();
    static const Ipp32s levels[2] = {0, 256}, values[2] = {255, 0};
    const Ipp32s* pv[4] = {values, values, values, values};
    const Ipp32s* pl[4] = {levels, levels, levels, levels};
    int n[4] = {2, 2, 2, 2};
    return ippiLUT_Linear_8u_C4R(s.Data(), s.Step, d.Data(), d.Step, {64, 1}, pv, pl, n);
  };
}

std::vector<TCase> EdgeCases() {
  const IppiRect all{0, 0, 4, 4};
  return {
      {"resize xFactor 0", 4, 4, 1, Resize(k4x4, all, {4, 4}, 0, 1, 1), ippStsResizeFactorErr, {}},
      {"resize yFactor negative", 4, 4, 1, Resize(k4x4, all, {4, 4}, 1, -1, 1), ippStsResizeFactorErr, {}},
      {"resize interpolation 3", 4, 4, 1, Resize(k4x4, all, {4, 4}, 1, 1, 3), ippStsInterpolationErr, {}},
      {"resize supersampling enlarging", 4, 4, 1, Resize(k4x4, all, {4, 4}, 2, 1, 8), ippStsInterpolationErr, {}},
      {"resize region x at the width", 4, 4, 1, Resize(k4x4, {4, 0, 2, 2}, {4, 4}, 1, 1, 1), ippStsRoiOutsideSource,
       {}},
      {"resize region y at the height", 4, 4, 1, Resize(k4x4, {0, 4, 2, 2}, {4, 4}, 1, 1, 2), ippStsRoiOutsideSource,
       {}},
      {"resize region x negative", 4, 4, 1, Resize(k4x4, {-1, 0, 2, 2}, {4, 4}, 1, 1, 1), ippStsSizeErr, {}},
      {"resize destination empty", 4, 4, 1, Resize(k4x4, all, {0, 4}, 1, 1, 1), ippStsSizeErr, {}},
      {"resize 4x4 by 0.1", 4, 4, 1, Resize(k4x4, all, {4, 4}, 0.1, 0.1, 2), ippStsResizeTooSmallErr, {}},
      {"resize 4x4 by 0.2 linear", 4, 4, 1, Resize(k4x4, all, {4, 4}, 0.2, 0.2, 2), ippStsNoErr, {0}, 1, 1},
      {"resize 4x4 by 0.2 nearest", 4, 4, 1, Resize(k4x4, all, {4, 4}, 0.2, 0.2, 1), ippStsNoErr, {100}, 1, 1},
      {"resize nearest 2x2 by 2", 4, 4, 1, Resize(kRows10x20, {0, 0, 2, 2}, {4, 4}, 2, 2, 1), ippStsNoErr,
       {10, 10, 20, 20, 10, 10, 20, 20, 10, 10, 20, 20, 10, 10, 20, 20}, 4, 4},
      {"resize linear 2x2 by 2", 4, 4, 1, Resize(kRows0x255, {0, 0, 2, 2}, {4, 4}, 2, 2, 2), ippStsNoErr,
       {0, 85, 170, 255, 0, 85, 170, 255, 0, 85, 170, 255, 0, 85, 170, 255}, 4, 4},
      {"alpha over with alpha 255", 1, 1, 4, AlphaOver({255, 0, 0, 255}, {17, 99, 201, 140}), ippStsNoErr,
       {255, 0, 0, 255}, 1, 1},
      {"alpha over with alpha 0", 1, 1, 4, AlphaOver({90, 60, 30, 0}, {0, 0, 255, 255}), ippStsNoErr,
       {0, 0, 255, 255}, 1, 1},
      {"inverting look-up table", 64, 1, 4, InvertingLut(), ippStsNoErr, InvertedTable(), 64, 1},
      {"mirror axis 3", 4, 4, 4,
       [](TImage<Ipp8u>& d) {
         const TImage<Ipp8u> s(4, 4, 4);
         return ippiMirror_8u_C4R(s.Data(), s.Step, d.Data(), d.Step, {4, 4}, IppiAxis(3));
       },
       ippStsMirrorFlipErr, {}},
      {"mirror in place axis -1", 4, 4, 3,
       [](TImage<Ipp8u>& d) { return ippiMirror_8u_C3IR(d.Data(), d.Step, {4, 4}, IppiAxis(-1)); },
       ippStsMirrorFlipErr, {}},
      {"alpha type 12", 1, 1, 4,
       [](TImage<Ipp8u>& d) {
         const Ipp8u a[4] = {1, 2, 3, 4};
         return ippiAlphaComp_8u_AC4R(a, 4, a, 4, d.Data(), d.Step, {1, 1}, IppiAlphaType(12));
       },
       ippStsAlphaTypeErr, {}},
      {"alpha type -1", 1, 1, 4,
       [](TImage<Ipp8u>& d) {
         const Ipp8u a[4] = {1, 2, 3, 4};
         return ippiAlphaComp_8u_AC4R(a, 4, a, 4, d.Data(), d.Step, {1, 1}, IppiAlphaType(-1));
       },
       ippStsAlphaTypeErr, {}},
  };
}

TEST(ImageEdgeCaseTest, Table) {
  for (const TCase& c : EdgeCases()) {
    TImage<Ipp8u> dst(c.W, c.H, c.C, 5);
    const TImage<Ipp8u> before = dst;
    EXPECT_EQ(c.Call(dst), c.Want) << c.Name;
    if (c.Want < 0 || c.Want == ippStsRoiOutsideSource) {
      EXPECT_TRUE(Untouched(c.Name, dst, before));
    } else {
      EXPECT_TRUE(SameRegion(c.Name, dst, before, c.Pixels, 0, 0, c.PixelsW, c.PixelsH));
    }
  }
}

// Every image entry with its arguments valid, then with one thing wrong:
// the checks come in the stated order and an error writes nothing.
struct TCheckCase {
  std::string Name;
  IppStatus Want;
  std::function<IppStatus(Ipp8u* dst, int dstStep)> Call;
};

std::vector<TCheckCase> CheckCases() {
  static TImage<Ipp8u> src(6, 5, 4, 8), src2(6, 5, 4, 0);
  static TImage<Ipp16u> src16(6, 5, 1, 4);
  static const Ipp32s lv[3] = {0, 100, 256}, vv[3] = {0, 50, 255}, lv1[1] = {0};
  const IppiSize sz{6, 5};
  const IppiRect roi{0, 0, 6, 5};
  auto lut = [](const Ipp32s* v, const Ipp32s* l, int n, IppiSize size, int srcStep, Ipp8u* d, int ds,
                int ABadChannel) {
    const Ipp32s* pv[4] = {vv, vv, vv, vv};
    const Ipp32s* pl[4] = {lv, lv, lv, lv};
    int nl[4] = {3, 3, 3, 3};
    pv[ABadChannel] = v;
    pl[ABadChannel] = l;
    nl[ABadChannel] = n;
    return ippiLUT_Linear_8u_C4R(src.Data(), srcStep, d, ds, size, pv, pl, nl);
  };
  const int s4 = src.Step;
  return {
      {"resize null source", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(nullptr, sz, s4, roi, d, ds, sz, 1, 1, 2); }},
      {"resize null destination", ippStsNullPtrErr,
       [=](Ipp8u*, int ds) { return ippiResize_8u_C4R(src.Data(), sz, s4, roi, nullptr, ds, sz, 1, 1, 2); }},
      {"resize empty source", ippStsSizeErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), {0, 5}, s4, roi, d, ds, sz, 1, 1, 2); }},
      {"resize empty region before the factor", ippStsSizeErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), sz, s4, {0, 0, 6, 0}, d, ds, sz, 0, 1, 2); }},
      {"resize warning before the destination size", ippStsRoiOutsideSource,
       [=](Ipp8u* d, int ds) {
         return ippiResize_8u_C4R(src.Data(), sz, s4, {6, 0, 1, 1}, d, ds, {0, 0}, 1, 1, 2);
       }},
      {"resize factor before the interpolation", ippStsResizeFactorErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), sz, s4, roi, d, ds, sz, 1, 0, 7); }},
      {"resize NaN factor", ippStsResizeFactorErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), sz, s4, roi, d, ds, sz, kNaN, 1, 2); }},
      {"resize source step below the row", ippStsStepErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), sz, 23, roi, d, ds, sz, 1, 1, 2); }},
      {"resize destination step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) { return ippiResize_8u_C4R(src.Data(), sz, s4, roi, d, 23, sz, 1, 1, 2); }},
      {"resize 16u destination step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) {
         return ippiResize_16u_C1R(src16.Data(), sz, src16.Step, roi, reinterpret_cast<Ipp16u*>(d), 11, sz, 1, 1, 2);
       }},
      {"resize destination step negative", ippStsStepErr,
       [=](Ipp8u* d, int ds) { return ippiResize_8u_C4R(src.Data(), sz, s4, roi, d + 4 * ds, -ds, sz, 1, 1, 1); }},
      {"resize centre null", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) { return ippiResizeCenter_8u_C4R(nullptr, sz, s4, roi, d, ds, sz, 1, 1, 3, 2, 2); }},
      {"resize centre interpolation", ippStsInterpolationErr,
       [=](Ipp8u* d, int ds) { return ippiResizeCenter_8u_C4R(src.Data(), sz, s4, roi, d, ds, sz, 1, 1, 3, 2, 5); }},
      {"resize centre not a number", ippStsSizeErr,
       [=](Ipp8u* d, int ds) {
         return ippiResizeCenter_8u_C4R(src.Data(), sz, s4, roi, d, ds, sz, 1, 1, kNaN, 2, 2);
       }},
      {"resize centre far away writes nothing", ippStsNoErr,
       [=](Ipp8u* d, int ds) { return ippiResizeCenter_8u_C4R(src.Data(), sz, s4, roi, d, ds, sz, 1, 1, 1e6, 2, 2); }},
      {"mirror null", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) { return ippiMirror_8u_C4R(nullptr, s4, d, ds, sz, ippAxsBoth); }},
      {"mirror size before the axis", ippStsSizeErr,
       [=](Ipp8u* d, int ds) { return ippiMirror_8u_C3R(src.Data(), s4, d, ds, {6, 0}, IppiAxis(7)); }},
      {"mirror destination step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) { return ippiMirror_8u_C3R(src.Data(), s4, d, 17, sz, ippAxsVertical); }},
      {"mirror in place step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) { return ippiMirror_8u_C3IR(d, 17, sz, ippAxsHorizontal); }},
      {"alpha null second source", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) {
         return ippiAlphaComp_8u_AC4R(src.Data(), s4, nullptr, s4, d, ds, sz, ippAlphaOver);
       }},
      {"alpha size before the type", ippStsSizeErr,
       [=](Ipp8u* d, int ds) {
         return ippiAlphaComp_8u_AC4R(src.Data(), s4, src2.Data(), src2.Step, d, ds, {0, 1}, IppiAlphaType(40));
       }},
      {"alpha source step below the row", ippStsStepErr,
       [=](Ipp8u* d, int ds) {
         return ippiAlphaComp_8u_AC4R(src.Data(), s4, src2.Data(), 20, d, ds, sz, ippAlphaPlus);
       }},
      {"look-up table null levels of channel 2", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) { return lut(vv, nullptr, 3, sz, s4, d, ds, 2); }},
      {"look-up table one level", ippStsLUTNofLevelsErr,
       [=](Ipp8u* d, int ds) { return lut(vv, lv1, 1, sz, s4, d, ds, 3); }},
      {"look-up table levels before the size", ippStsLUTNofLevelsErr,
       [=](Ipp8u* d, int ds) { return lut(vv, lv1, 1, {0, 0}, s4, d, ds, 1); }},
      {"look-up table size before the step", ippStsSizeErr,
       [=](Ipp8u* d, int ds) { return lut(vv, lv, 3, {0, 0}, 0, d, ds, 0); }},
      {"look-up table step below the row", ippStsStepErr,
       [=](Ipp8u* d, int ds) { return lut(vv, lv, 3, sz, 23, d, ds, 0); }},
      {"look-up table destination step zero", ippStsStepErr,
       [=](Ipp8u* d, int) { return lut(vv, lv, 3, sz, s4, d, 0, 0); }},
      {"set null value", ippStsNullPtrErr,
       [=](Ipp8u* d, int ds) { return ippiSet_8u_C4R(nullptr, d, ds, sz); }},
      {"set step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) {
         const Ipp8u v[4] = {1, 2, 3, 4};
         return ippiSet_8u_C4R(v, d, 23, sz);
       }},
      {"copy empty", ippStsSizeErr,
       [=](Ipp8u* d, int ds) { return ippiCopy_8u_C4R(src.Data(), s4, d, ds, {6, -1}); }},
      {"copy step below the row", ippStsStepErr,
       [=](Ipp8u* d, int) { return ippiCopy_8u_C4R(src.Data(), s4, d, 23, sz); }},
      {"copy 32s source step below the row", ippStsStepErr,
       [=](Ipp8u* d, int ds) {
         return ippiCopy_32s_C1R(reinterpret_cast<const Ipp32s*>(src.Data()), 20, reinterpret_cast<Ipp32s*>(d), ds,
                                 sz);
       }},
  };
}

TEST(ImageCheckOrderTest, ErrorsWriteNothing) {
  for (const TCheckCase& c : CheckCases()) {
    TImage<Ipp8u> dst(6, 5, 4, 4);
    const TImage<Ipp8u> before = dst;
    EXPECT_EQ(c.Call(dst.Data(), dst.Step), c.Want) << c.Name;
    EXPECT_TRUE(Untouched(c.Name, dst, before));
  }
}

// The working arrays of a destination row of 2^29 pixels need more than the
// aligned allocator can give: the call fails with -9 and writes nothing.
TEST(ImageCheckOrderTest, ResizeAllocationFailureGivesMemAllocErr) {
  const Ipp8u src[4] = {1, 2, 3, 4};
  Ipp8u dst[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  const int wide = 1 << 29;
  for (int interpolation : {1, 2, 4, 16}) {
    EXPECT_EQ(ippiResize_8u_C1R(src, {2, 2}, 2, {0, 0, 2, 2}, dst, wide, {wide, 1}, 1e9, 0.5, interpolation),
              ippStsMemAllocErr)
        << interpolation;
  }
  EXPECT_EQ(ippiResize_8u_C1R(src, {2, 2}, 2, {0, 0, 2, 2}, dst, wide, {wide, 1}, 1e9, 0.5, 2), ippStsMemAllocErr);
  // Four-channel rows of 2^27 pixels: offsets, weights and two cached rows
  // take 24 bytes per pixel.
  const Ipp8u src4[16] = {};
  EXPECT_EQ(ippiResizeCenter_8u_C4R(src4, {2, 2}, 8, {0, 0, 2, 2}, dst, wide, {wide / 4, 1}, 1e9, 0.5, 1, 1, 2),
            ippStsMemAllocErr);
  for (Ipp8u b : dst) EXPECT_EQ(b, 7);
}

}  // namespace
