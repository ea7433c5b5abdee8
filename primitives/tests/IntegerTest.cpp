// Scaled integer arithmetic, bitwise operations and shifts.
#include <gtest/gtest.h>

#include "primitives/tests/PrimitiveTestSupport.h"

namespace {

using namespace PrimitiveTest;
using L = long double;
__extension__ typedef __int128 Int128;  // exact products and sums of the reference

// The scaled-integer rule written out plainly with 128-bit arithmetic:
// divide by 2^s rounding to nearest, ties to even, or multiply by 2^-s, then
// saturate.
int64_t ReferenceScale(Int128 r, int s, int64_t lo, int64_t hi) {
  Int128 v;
  if (s == 0) {
    v = r;
  } else if (s > 0) {
    if (s > 100) {
      v = 0;
    } else {
      const Int128 d = Int128(1) << s;
      Int128 q = r / d, rem = r % d;
      if (rem < 0) {
        rem += d;
        q -= 1;
      }  // floor division
      if (2 * rem > d || (2 * rem == d && (q & 1) != 0)) q += 1;
      v = q;
    }
  } else {
    const int k = -s > 80 ? 80 : -s;
    v = r == 0 ? 0 : (r > 0 ? (Int128(1) << 100) : -(Int128(1) << 100));
    if (k < 60) v = r * (Int128(1) << k);
  }
  return v < lo ? lo : (v > hi ? hi : int64_t(v));
}

struct TScaledRow {
  const char* What;
  IppStatus (*Fn)(const Ipp32s*, Ipp32s*, int, int);
  Ipp32s X, Y;
  int Scale;
  Ipp32s Want;
};

TEST(ScaledIntegerEdgeTest, RoundingAndSaturation) {
  const TScaledRow rows[] = {
      {"add max+max sf0", ippsAdd_32s_ISfs, 2147483647, 2147483647, 0, 2147483647},
      {"add max+max sf1", ippsAdd_32s_ISfs, 2147483647, 2147483647, 1, 2147483647},
      {"add 1+2 sf1 (1.5 to even)", ippsAdd_32s_ISfs, 1, 2, 1, 2},
      {"add 0+5 sf1 (2.5 to even)", ippsAdd_32s_ISfs, 0, 5, 1, 2},
      {"add sf33 gives 0", ippsAdd_32s_ISfs, 123, 456, 33, 0},
      {"mul min*min sf0", ippsMul_32s_ISfs, INT32_MIN, INT32_MIN, 0, 2147483647},
      {"mul min*min sf62", ippsMul_32s_ISfs, INT32_MIN, INT32_MIN, 62, 1},
      {"mul min*min sf63", ippsMul_32s_ISfs, INT32_MIN, INT32_MIN, 63, 0},
      {"sub -3-5 sf-31", ippsSub_32s_ISfs, 5, -3, -31, INT32_MIN},
      {"sub 0 sf-40 stays 0", ippsSub_32s_ISfs, 7, 7, -40, 0},
      {"mul sf INT_MIN saturates", ippsMul_32s_ISfs, 3, -1, INT32_MIN, INT32_MIN},
  };
  for (const auto& r : rows) {
    Ipp32s y[] = {r.Y};
    const Ipp32s x[] = {r.X};
    EXPECT_EQ(r.Fn(x, y, 1, r.Scale), ippStsNoErr) << r.What;
    EXPECT_EQ(y[0], r.Want) << r.What;
  }
  Ipp8u b[] = {3};
  const Ipp8u ten[] = {10};
  ippsSub_8u_ISfs(ten, b, 1, 0);
  EXPECT_EQ(b[0], 0);
  Ipp8u c[] = {200};
  const Ipp8u two00[] = {200};
  ippsAdd_8u_ISfs(two00, c, 1, -8);
  EXPECT_EQ(c[0], 255);
  // A large scale factor short-cuts to the zero fill, whose checks apply.
  Ipp32s z[] = {5};
  EXPECT_EQ(ippsAdd_32s_ISfs(nullptr, z, 1, 40), ippStsNoErr);
  EXPECT_EQ(z[0], 0);
}

TEST(ScaledIntegerEdgeTest, DivisionRules) {
  const Ipp32s x[] = {0, 0, 0, 2, 2, 4, 1, -1};
  Ipp32s y[] = {0, 5, -5, 3, 5, 10, INT32_MIN, INT32_MIN};
  EXPECT_EQ(ippsDiv_32s_ISfs(x, y, 8, 0), ippStsDivByZero);
  const Ipp32s want[] = {0, INT32_MAX, INT32_MIN, 2, 2, 2, INT32_MIN, INT32_MAX};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(y[i], want[i]) << i;
  Ipp32s s[] = {7};
  const Ipp32s two[] = {2};
  ippsDiv_32s_ISfs(two, s, 1, -2);  // 7*4/2 = 14
  EXPECT_EQ(s[0], 14);
  ippsDiv_32s_ISfs(two, s, 1, 2);  // 14/4/2 = 1.75 -> 2
  EXPECT_EQ(s[0], 2);
}

TEST(ScaledIntegerReferenceTest, EveryFormAndScale) {
  const int scales[] = {0, 1, 2, 5, 16, 31, 32, 33, 61, 62, 63, -1, -2, -16, -30, -31, -40};
  struct TVec {
    const char* Name;
    IppStatus (*Fn)(const Ipp32s*, Ipp32s*, int, int);
    int Op;  // 0 add, 1 sub, 2 mul
  } vec[] = {{"ippsAdd_32s_ISfs", ippsAdd_32s_ISfs, 0}, {"ippsSub_32s_ISfs", ippsSub_32s_ISfs, 1}, {"ippsMul_32s_ISfs", ippsMul_32s_ISfs, 2}};
  auto apply = [](int op, int64_t y, int64_t x) -> Int128 { return op == 0 ? y + x : (op == 1 ? y - x : op == 2 ? Int128(y) * x : x - y); };
  for (int sf : scales) {
    for (const auto& v : vec) {
      CheckBinaryInPlace<Ipp32s, Ipp32s>(std::string(v.Name) + " sf " + std::to_string(sf),
                                         [&](const Ipp32s* x, Ipp32s* y, int n) { return v.Fn(x, y, n, sf); },
                                         [&](const Ipp32s* x, Ipp32s* y, int n) {
                                           for (int i = 0; i < n; ++i) y[i] = Ipp32s(ReferenceScale(apply(v.Op, y[i], x[i]), sf, INT32_MIN, INT32_MAX));
                                           return ippStsNoErr;
                                         });
    }
    for (Ipp32s c : {0, 1, -7, INT32_MIN, INT32_MAX}) {
      const std::string tag = " sf " + std::to_string(sf) + " c " + std::to_string(c);
      struct TC {
        const char* Name;
        IppStatus (*I)(Ipp32s, Ipp32s*, int, int);
        IppStatus (*O)(const Ipp32s*, Ipp32s, Ipp32s*, int, int);
        int Op;
      } cs[] = {{"AddC", ippsAddC_32s_ISfs, ippsAddC_32s_Sfs, 0},
                {"SubC", ippsSubC_32s_ISfs, ippsSubC_32s_Sfs, 1},
                {"MulC", ippsMulC_32s_ISfs, ippsMulC_32s_Sfs, 2},
                {"SubCRev", ippsSubCRev_32s_ISfs, ippsSubCRev_32s_Sfs, 3}};
      for (const auto& k : cs) {
        CheckInPlace<Ipp32s>(std::string(k.Name) + "_32s_ISfs" + tag, [&](Ipp32s* y, int n) { return k.I(c, y, n, sf); },
                             [&](Ipp32s* y, int n) {
                               for (int i = 0; i < n; ++i) y[i] = Ipp32s(ReferenceScale(apply(k.Op, y[i], c), sf, INT32_MIN, INT32_MAX));
                               return ippStsNoErr;
                             });
        CheckUnary<Ipp32s, Ipp32s>(std::string(k.Name) + "_32s_Sfs" + tag, [&](const Ipp32s* x, Ipp32s* d, int n) { return k.O(x, c, d, n, sf); },
                                   [&](const Ipp32s* x, Ipp32s* d, int n) {
                                     for (int i = 0; i < n; ++i) d[i] = Ipp32s(ReferenceScale(apply(k.Op, x[i], c), sf, INT32_MIN, INT32_MAX));
                                     return ippStsNoErr;
                                   });
      }
    }
  }
  for (int sf : {0, 1, 3, 8, 9, 10, 16, 17, -1, -7, -8, -100}) {
    struct TB {
      const char* Name;
      IppStatus (*Fn)(const Ipp8u*, Ipp8u*, int, int);
      int Op;
    } bs[] = {{"ippsAdd_8u_ISfs", ippsAdd_8u_ISfs, 0}, {"ippsSub_8u_ISfs", ippsSub_8u_ISfs, 1}, {"ippsMul_8u_ISfs", ippsMul_8u_ISfs, 2}};
    for (const auto& b : bs) {
      CheckBinaryInPlace<Ipp8u, Ipp8u>(std::string(b.Name) + " sf " + std::to_string(sf), [&](const Ipp8u* x, Ipp8u* y, int n) { return b.Fn(x, y, n, sf); },
                                       [&](const Ipp8u* x, Ipp8u* y, int n) {
                                         for (int i = 0; i < n; ++i) y[i] = Ipp8u(ReferenceScale(apply(b.Op, y[i], x[i]), sf, 0, 255));
                                         return ippStsNoErr;
                                       });
    }
  }
}

TEST(ScaledIntegerReferenceTest, Division) {
  for (int sf : {0, 1, 3, -1, -5, -31, 31, -100}) {
    CheckBinaryInPlace<Ipp32s, Ipp32s>("ippsDiv_32s_ISfs sf " + std::to_string(sf), [&](const Ipp32s* x, Ipp32s* y, int n) { return ippsDiv_32s_ISfs(x, y, n, sf); },
                                       [&](const Ipp32s* x, Ipp32s* y, int n) {
                                         IppStatus st = ippStsNoErr;
                                         for (int i = 0; i < n; ++i) {
                                           if (x[i] == 0) {
                                             y[i] = y[i] == 0 ? 0 : (y[i] > 0 ? INT32_MAX : INT32_MIN);
                                             st = ippStsDivByZero;
                                             continue;
                                           }
                                           L scale = 1;
                                           for (int k = 0; k < sf; ++k) scale /= 2;
                                           for (int k = 0; k < -sf; ++k) scale *= 2;
                                           const L t = scale * y[i] / x[i];
                                           if (sf <= 0 && t >= 2147483647.0L) { y[i] = INT32_MAX; continue; }
                                           if (sf <= 0 && t <= -2147483648.0L) { y[i] = INT32_MIN; continue; }
                                           y[i] = Ipp32s(std::nearbyint(t));  // ties to even in the default mode
                                         }
                                         return st;
                                       });
  }
}

TEST(LogicalEdgeTest, ShiftsAndConstantShortcuts) {
  const Ipp32s src[] = {-5, 5};
  Ipp32s dst[2];
  EXPECT_EQ(ippsRShiftC_32s(src, 40, dst, 2), ippStsNoErr);
  EXPECT_EQ(dst[0], -1);
  EXPECT_EQ(dst[1], 0);
  EXPECT_EQ(ippsRShiftC_32s(src, -1, dst, 2), ippStsShiftErr);
  EXPECT_EQ(ippsLShiftC_32s(src, -1, dst, 2), ippStsShiftErr);
  EXPECT_EQ(ippsLShiftC_32s(src, 32, dst, 2), ippStsNoErr);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(ippsLShiftC_32s(nullptr, 32, dst, 2), ippStsNullPtrErr);
  Ipp32s y[] = {-5, 5};
  EXPECT_EQ(ippsRShiftC_32s_I(-1, y, 2), ippStsShiftErr);
  EXPECT_EQ(ippsRShiftC_32s_I(99, y, 2), ippStsNoErr);
  EXPECT_EQ(y[0], -1);
  EXPECT_EQ(ippsLShiftC_32s_I(32, y, 2), ippStsNoErr);
  EXPECT_EQ(y[0], 0);
  EXPECT_EQ(ippsLShiftC_32s_I(-3, y, 2), ippStsShiftErr);
  Ipp32u u[] = {0xF0F0u};
  EXPECT_EQ(ippsAndC_32u(nullptr, 0, reinterpret_cast<Ipp32u*>(dst), 1), ippStsNullPtrErr);
  EXPECT_EQ(ippsAndC_32u_I(0, u, 1), ippStsNoErr);
  EXPECT_EQ(u[0], 0u);
}

TEST(LogicalReferenceTest, AgainstPlainLoops) {
  auto op = [](int k, Ipp32u a, Ipp32u b) { return k == 0 ? (a & b) : (k == 1 ? (a | b) : (a ^ b)); };
  IppStatus (*vec[])(const Ipp32u*, Ipp32u*, int) = {ippsAnd_32u_I, ippsOr_32u_I, ippsXor_32u_I};
  IppStatus (*ci[])(Ipp32u, Ipp32u*, int) = {ippsAndC_32u_I, ippsOrC_32u_I, ippsXorC_32u_I};
  IppStatus (*co[])(const Ipp32u*, Ipp32u, Ipp32u*, int) = {ippsAndC_32u, ippsOrC_32u, ippsXorC_32u};
  for (int k = 0; k < 3; ++k) {
    const std::string tag = "bitwise op " + std::to_string(k);
    CheckBinaryInPlace<Ipp32u, Ipp32u>(tag, vec[k], [&](const Ipp32u* x, Ipp32u* y, int n) {
      for (int i = 0; i < n; ++i) y[i] = op(k, y[i], x[i]);
      return ippStsNoErr;
    });
    for (Ipp32u c : {0u, 1u, 0xFFFFFFFFu, 0x80000001u}) {
      CheckInPlace<Ipp32u>(tag + " C_I", [&](Ipp32u* y, int n) { return ci[k](c, y, n); }, [&](Ipp32u* y, int n) {
        for (int i = 0; i < n; ++i) y[i] = op(k, y[i], c);
        return ippStsNoErr;
      });
      CheckUnary<Ipp32u, Ipp32u>(tag + " C", [&](const Ipp32u* x, Ipp32u* d, int n) { return co[k](x, c, d, n); },
                                 [&](const Ipp32u* x, Ipp32u* d, int n) {
                                   for (int i = 0; i < n; ++i) d[i] = op(k, x[i], c);
                                   return ippStsNoErr;
                                 });
    }
  }
  for (int c : {0, 1, 7, 31, 32, 33, 1000, -1}) {
    const std::string tag = " by " + std::to_string(c);
    auto lsh = [c](Ipp32s v) { return c >= 32 ? 0 : Ipp32s(Ipp32u(v) << c); };
    auto rsh = [c](Ipp32s v) { return v >> (c > 31 ? 31 : c); };
    CheckUnary<Ipp32s, Ipp32s>("ippsLShiftC_32s" + tag, [c](const Ipp32s* x, Ipp32s* d, int n) { return ippsLShiftC_32s(x, c, d, n); },
                               [&](const Ipp32s* x, Ipp32s* d, int n) {
                                 if (c < 0) return ippStsShiftErr;
                                 for (int i = 0; i < n; ++i) d[i] = lsh(x[i]);
                                 return ippStsNoErr;
                               });
    CheckUnary<Ipp32s, Ipp32s>("ippsRShiftC_32s" + tag, [c](const Ipp32s* x, Ipp32s* d, int n) { return ippsRShiftC_32s(x, c, d, n); },
                               [&](const Ipp32s* x, Ipp32s* d, int n) {
                                 if (c < 0) return ippStsShiftErr;
                                 for (int i = 0; i < n; ++i) d[i] = rsh(x[i]);
                                 return ippStsNoErr;
                               });
    CheckInPlace<Ipp32s>("ippsLShiftC_32s_I" + tag, [c](Ipp32s* y, int n) { return ippsLShiftC_32s_I(c, y, n); }, [&](Ipp32s* y, int n) {
      if (c < 0) return ippStsShiftErr;
      for (int i = 0; i < n; ++i) y[i] = lsh(y[i]);
      return ippStsNoErr;
    });
    CheckInPlace<Ipp32s>("ippsRShiftC_32s_I" + tag, [c](Ipp32s* y, int n) { return ippsRShiftC_32s_I(c, y, n); }, [&](Ipp32s* y, int n) {
      if (c < 0) return ippStsShiftErr;
      for (int i = 0; i < n; ++i) y[i] = rsh(y[i]);
      return ippStsNoErr;
    });
  }
}

TEST(IntegerDivisionRoutinesTest, TruncateTowardZero) {
  Ipp32s y[] = {7, -7, 6, INT32_MIN};
  BfBasicDispatcher::DivC_32s_I(2, y, 4);
  EXPECT_EQ(y[0], 3);
  EXPECT_EQ(y[1], -3);
  EXPECT_EQ(y[2], 3);
  EXPECT_EQ(y[3], INT32_MIN / 2);
  const Ipp32s x[] = {-9, 9};
  Ipp32s d[2];
  BfBasicDispatcher::DivC_32s(x, -4, d, 2);
  EXPECT_EQ(d[0], 2);
  EXPECT_EQ(d[1], -2);
}

}  // namespace
