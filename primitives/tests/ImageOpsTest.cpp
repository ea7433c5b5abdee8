// Mirror, alpha composition, the linear look-up table, fill and copy against
// plain references, on random images of odd sizes with padded rows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "primitives/tests/ImageTestSupport.h"

namespace {

using namespace ImageTest;

IppiSize RandomSize() { return {RandomInt(1, 70) | 1, RandomInt(1, 9) | 1}; }

// ---- mirror

std::vector<Ipp8u> RefMirror(const TImage<Ipp8u>& s, int W, int H, int axis) {
  std::vector<Ipp8u> v(size_t(W) * H * s.C);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int sx = axis == 0 ? x : W - 1 - x, sy = axis == 1 ? y : H - 1 - y;
      for (int c = 0; c < s.C; ++c) v[(size_t(y) * W + x) * s.C + c] = s.Get(sx, sy, c);
    }
  return v;
}

class MirrorTest : public ::testing::TestWithParam<int> {};

TEST_P(MirrorTest, OutOfPlaceAndInPlaceMatchTheReference) {
  const int axis = GetParam();
  // Widths around the 4- and 16-pixel blocks of the row reversal.
  std::vector<int> widths = {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 31, 32, 33, 47, 63, 65, 97};
  for (int w : widths)
    for (int h : {1, 2, 3, 6}) {
      for (int C : {3, 4}) {
        const std::string name = "ippiMirror_8u_C" + std::to_string(C) + "R " + std::to_string(w) + "x" +
                                 std::to_string(h) + " axis " + std::to_string(axis);
        const TImage<Ipp8u> src(w + 2, h + 1, C);
        TImage<Ipp8u> dst(w + 1, h, C), before = dst;
        auto fn = C == 3 ? ippiMirror_8u_C3R : ippiMirror_8u_C4R;
        ASSERT_EQ(fn(src.Data(), src.Step, dst.Data(), dst.Step, {w, h}, IppiAxis(axis)), ippStsNoErr) << name;
        ASSERT_TRUE(SameRegion(name, dst, before, RefMirror(src, w, h, axis), 0, 0, w, h));
        // The same image as source and destination: mirrored in place.
        TImage<Ipp8u> same = src;
        const TImage<Ipp8u> sameBefore = same;
        ASSERT_EQ(fn(same.Data(), same.Step, same.Data(), same.Step, {w, h}, IppiAxis(axis)), ippStsNoErr) << name;
        ASSERT_TRUE(SameRegion(name + " onto itself", same, sameBefore, RefMirror(sameBefore, w, h, axis), 0, 0, w, h));
      }
      const std::string name = "ippiMirror_8u_C3IR " + std::to_string(w) + "x" + std::to_string(h) + " axis " +
                               std::to_string(axis);
      TImage<Ipp8u> img(w + 1, h, 3);
      const TImage<Ipp8u> before = img;
      ASSERT_EQ(ippiMirror_8u_C3IR(img.Data(), img.Step, {w, h}, IppiAxis(axis)), ippStsNoErr) << name;
      ASSERT_TRUE(SameRegion(name, img, before, RefMirror(before, w, h, axis), 0, 0, w, h));
    }
}

INSTANTIATE_TEST_SUITE_P(Axes, MirrorTest, ::testing::Values(0, 1, 2), [](const auto& info) {
  return std::string(info.param == 0 ? "Horizontal" : info.param == 1 ? "Vertical" : "Both");
});

// ---- alpha composition

int D255(int x) { return (x + (x >> 8) + 1) >> 8; }
int Sat(int x) { return x > 255 ? 255 : x; }

// The composition of pixel a over (in, out, ...) pixel b, from the formulas.
std::vector<int> RefCompose(const Ipp8u* a, const Ipp8u* b, int type) {
  const int aa = a[3], ab = b[3];
  const bool premul = type >= 6;
  const int op = type % 6;
  std::vector<int> out(4);
  for (int c = 0; c < 3; ++c) {
    const int A = premul ? a[c] : D255(a[c] * aa), B = premul ? b[c] : D255(b[c] * ab);
    switch (op) {
      case 0: out[c] = A + D255(B * (255 - aa)); break;
      case 1: out[c] = D255(A * ab); break;
      case 2: out[c] = D255(A * (255 - ab)); break;
      case 3: out[c] = D255(A * ab) + D255(B * (255 - aa)); break;
      case 4: out[c] = D255(A * (255 - ab)) + D255(B * (255 - aa)); break;
      default: out[c] = A + B; break;
    }
  }
  switch (op) {
    case 0: out[3] = aa + D255(ab * (255 - aa)); break;
    case 1: out[3] = D255(aa * ab); break;
    case 2: out[3] = D255(aa * (255 - ab)); break;
    case 3: out[3] = ab; break;
    case 4: out[3] = D255(aa * (255 - ab)) + D255(ab * (255 - aa)); break;
    default: out[3] = aa + ab; break;
  }
  for (int& v : out) v = Sat(v);
  return out;
}

class AlphaCompTest : public ::testing::TestWithParam<int> {};

TEST_P(AlphaCompTest, EveryPixelMatchesTheFormulas) {
  const int type = GetParam();
  for (int n = 0; n < 20; ++n) {
    const IppiSize sz = RandomSize();
    TImage<Ipp8u> a(sz.width, sz.height, 4), b(sz.width + 1, sz.height, 4), dst(sz.width, sz.height, 4);
    // The extreme alphas and colours on the first pixels.
    const Ipp8u edges[] = {0, 255, 1, 254, 128};
    for (int i = 0; i < 5 && i < sz.width; ++i) {
      a.Px(i, 0)[3] = edges[i];
      b.Px(i, 0)[3] = edges[4 - i];
      a.Px(i, 0)[0] = 255;
      b.Px(i, 0)[1] = 255;
    }
    const TImage<Ipp8u> before = dst;
    ASSERT_EQ(ippiAlphaComp_8u_AC4R(a.Data(), a.Step, b.Data(), b.Step, dst.Data(), dst.Step, sz, IppiAlphaType(type)),
              ippStsNoErr);
    std::vector<Ipp8u> want;
    for (int y = 0; y < sz.height; ++y)
      for (int x = 0; x < sz.width; ++x)
        for (int v : RefCompose(a.Px(x, y), b.Px(x, y), type)) want.push_back(Ipp8u(v));
    ASSERT_TRUE(SameRegion("ippiAlphaComp_8u_AC4R type " + std::to_string(type), dst, before, want, 0, 0, sz.width,
                           sz.height));
  }
}

INSTANTIATE_TEST_SUITE_P(Types, AlphaCompTest, ::testing::Range(0, 12));

// ---- look-up table

// Entry i of one channel's table, from the formulas.
std::vector<Ipp8u> RefTable(const std::vector<Ipp32s>& V, const std::vector<Ipp32s>& Lv) {
  std::vector<Ipp8u> t(256);
  for (int i = 0; i < 256; ++i) t[i] = Ipp8u(i);
  const int n = int(Lv.size());
  for (int k = 0; k + 1 < n; ++k) {
    if (!(Lv[k] < Lv[k + 1])) continue;
    const int64_t lo = std::max<int64_t>(0, std::min<int64_t>(Lv[k], 255));
    const int64_t hi = std::min<int64_t>(std::max<int64_t>(Lv[k + 1], 0), 256);
    if (hi - lo == 1) {
      t[lo] = Ipp8u(std::clamp<int64_t>(V[k], 0, 255));
      continue;
    }
    const long double s = ((long double)V[k + 1] - V[k]) / ((long double)Lv[k + 1] - Lv[k]);
    for (int64_t i = lo; i < hi; ++i) {
      const long double v = 0.5L + V[k] - s * Lv[k] + s * i;
      const long double tr = v >= 1e6L ? 1e6L : (v <= -1e6L ? -1e6L : (long double)(int64_t)v);
      t[i] = Ipp8u(std::clamp<long double>(tr, 0, 255));
    }
  }
  for (int64_t i = std::max<int64_t>(Lv[n - 1], 0); i < 256; ++i) t[i] = Ipp8u(i);
  return t;
}

TEST(LutLinearTest, RandomLevelsMatchTheReference) {
  for (int n = 0; n < 40; ++n) {
    std::vector<Ipp32s> values[4], levels[4];
    for (int c = 0; c < 4; ++c) {
      const int count = RandomInt(2, 7);
      int l = RandomInt(-20, 60);
      for (int k = 0; k < count; ++k) {
        levels[c].push_back(l);
        values[c].push_back(RandomInt(-100, 400));
        // Mostly rising levels, sometimes one that falls back or repeats,
        // sometimes one past 256.
        l += RandomInt(0, 8) == 0 ? -RandomInt(0, 30) : RandomInt(1, 90);
      }
    }
    const Ipp32s* pv[4];
    const Ipp32s* pl[4];
    int nl[4];
    for (int c = 0; c < 4; ++c) pv[c] = values[c].data(), pl[c] = levels[c].data(), nl[c] = int(levels[c].size());
    const IppiSize sz = RandomSize();
    const TImage<Ipp8u> src(sz.width + 3, sz.height, 4);
    TImage<Ipp8u> dst(sz.width, sz.height, 4);
    const TImage<Ipp8u> before = dst;
    ASSERT_EQ(ippiLUT_Linear_8u_C4R(src.Data(), src.Step, dst.Data(), dst.Step, sz, pv, pl, nl), ippStsNoErr);
    std::vector<Ipp8u> tables[4];
    for (int c = 0; c < 4; ++c) tables[c] = RefTable(values[c], levels[c]);
    std::vector<Ipp8u> want;
    for (int y = 0; y < sz.height; ++y)
      for (int x = 0; x < sz.width; ++x)
        for (int c = 0; c < 4; ++c) want.push_back(tables[c][src.Get(x, y, c)]);
    ASSERT_TRUE(SameRegion("ippiLUT_Linear_8u_C4R case " + std::to_string(n), dst, before, want, 0, 0, sz.width,
                           sz.height));
  }
}

// ---- fill and copy

TEST(ImageFillCopyTest, SetAndCopyWriteExactlyTheRegion) {
  for (int n = 0; n < 30; ++n) {
    const IppiSize sz = RandomSize();
    const Ipp8u value[4] = {Ipp8u(RandomInt(0, 255)), 0, 255, Ipp8u(RandomInt(0, 255))};
    TImage<Ipp8u> dst(sz.width + 1, sz.height + 1, 4);
    TImage<Ipp8u> before = dst;
    ASSERT_EQ(ippiSet_8u_C4R(value, dst.Data(), dst.Step, sz), ippStsNoErr);
    std::vector<Ipp8u> want;
    for (int i = 0; i < sz.width * sz.height; ++i) want.insert(want.end(), value, value + 4);
    ASSERT_TRUE(SameRegion("ippiSet_8u_C4R", dst, before, want, 0, 0, sz.width, sz.height));
    // Both entries of the name do the same.
    before = dst = TImage<Ipp8u>(sz.width, sz.height, 4);
    EnsurePrimitivesBound();
    ASSERT_EQ(BfScopeDispatcher::ippiSet_8u_C4R(value, dst.Data(), dst.Step, sz), ippStsNoErr);
    ASSERT_TRUE(SameRegion("BfScopeDispatcher::ippiSet_8u_C4R", dst, before, want, 0, 0, sz.width, sz.height));

    const TImage<Ipp8u> src(sz.width + 2, sz.height, 4);
    before = dst = TImage<Ipp8u>(sz.width, sz.height + 2, 4);
    ASSERT_EQ(ippiCopy_8u_C4R(src.Data(), src.Step, dst.Data(), dst.Step, sz), ippStsNoErr);
    want.clear();
    for (int y = 0; y < sz.height; ++y) want.insert(want.end(), src.Px(0, y), src.Px(0, y) + 4 * sz.width);
    ASSERT_TRUE(SameRegion("ippiCopy_8u_C4R", dst, before, want, 0, 0, sz.width, sz.height));

    const TImage<Ipp32s> src32(sz.width + 1, sz.height, 1);
    TImage<Ipp32s> dst32(sz.width, sz.height, 1);
    const TImage<Ipp32s> before32 = dst32;
    ASSERT_EQ(ippiCopy_32s_C1R(src32.Data(), src32.Step, dst32.Data(), dst32.Step, sz), ippStsNoErr);
    std::vector<Ipp32s> want32;
    for (int y = 0; y < sz.height; ++y)
      for (int x = 0; x < sz.width; ++x) want32.push_back(src32.Get(x, y, 0));
    ASSERT_TRUE(SameRegion("ippiCopy_32s_C1R", dst32, before32, want32, 0, 0, sz.width, sz.height));
  }
}

}  // namespace
