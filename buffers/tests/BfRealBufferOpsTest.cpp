// The vector operations of the real buffer: values, and whether the buffer
// moved to a new container (copy on write), each operation run once on a
// buffer of its own and once on a buffer that shares its container.
#include "buffers/BfSimpleDataBuffer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();
constexpr Real kInf = std::numeric_limits<Real>::infinity();

Ref<TBfRealBuffer> Filled(const std::vector<Real>& AValues) {
  return TBfRealBuffer::CreateData(AValues.data(), uint32_t(AValues.size()));
}

std::vector<Real> Items(TBfRealBuffer& ABuffer, size_t ACount) {
  std::vector<Real> r;
  for (size_t i = 0; i < ACount; ++i) r.push_back(ABuffer.GetItem(int32_t(i)));
  return r;
}

bool Same(Real a, Real b) { return (std::isnan(a) && std::isnan(b)) || std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b) || a == b; }

class RealBufferOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { FLive = TInterfacedObject::LiveInstances(); }
  void TearDown() override { EXPECT_EQ(TInterfacedObject::LiveInstances(), FLive) << "a buffer leaked"; }
  int64_t FLive = 0;
};

// Normalize always moves: its temporary shares the container while it writes.
enum class TAccess { Modify, Write, Read, AlwaysNew };

struct TRow {
  const char* What;
  std::vector<Real> Items;  // this buffer
  std::vector<Real> Other;  // the other buffer (empty: the operation takes none)
  std::function<void(TBfRealBuffer&, const Ref<IBfRealBuffer>&)> Op;
  std::vector<Real> Want;  // this buffer's first items afterwards
  TAccess Access;
};

const std::vector<TRow>& Rows() {
  static const std::vector<TRow> rows = {
      {"Add of a shorter buffer", {1, 2, 3}, {10, 20}, [](TBfRealBuffer& b, auto& o) { b.Add(o); }, {11, 22, 3}, TAccess::Modify},
      {"Subtract", {1, 2, 3}, {1, 1, 1, 1}, [](TBfRealBuffer& b, auto& o) { b.Subtract(o); }, {0, 1, 2}, TAccess::Modify},
      {"Multiply", {1, 2, 3}, {2, 3}, [](TBfRealBuffer& b, auto& o) { b.Multiply(o); }, {2, 6, 3}, TAccess::Modify},
      {"Divide with zero divisors", {1, -1, 0, 4}, {0, 0, 0, 2}, [](TBfRealBuffer& b, auto& o) { b.Divide(o); }, {1.0e15, -1.0e14, 0.0, 2}, TAccess::Modify},
      {"Divide by NaN and -0.0", {3, 3, -3}, {kNaN, -0.0, -0.0}, [](TBfRealBuffer& b, auto& o) { b.Divide(o); }, {0.0, 1.0e15, -1.0e14}, TAccess::Modify},
      {"Divide without zeros", {3, 9}, {2, 3}, [](TBfRealBuffer& b, auto& o) { b.Divide(o); }, {1.5, 3}, TAccess::Modify},
      {"SetValue", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.SetValue(-0.0); }, {-0.0, -0.0}, TAccess::Write},
      {"AddValue", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.AddValue(0.5); }, {1.5, 2.5}, TAccess::Modify},
      {"AddValue 0", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.AddValue(0); }, {1, 2}, TAccess::Read},
      {"SubtractValue", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.SubtractValue(1); }, {0, 1}, TAccess::Modify},
      {"SubtractValue 0", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.SubtractValue(0); }, {1, 2}, TAccess::Read},
      {"MultiplyValue", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.MultiplyValue(3); }, {3, 6}, TAccess::Modify},
      {"MultiplyValue 1", {1, kInf}, {}, [](TBfRealBuffer& b, auto&) { b.MultiplyValue(1); }, {1, kInf}, TAccess::Read},
      {"MultiplyValue 0", {-1, kInf}, {}, [](TBfRealBuffer& b, auto&) { b.MultiplyValue(0); }, {0.0, 0.0}, TAccess::Modify},
      {"DivideValue", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.DivideValue(4); }, {0.25, 0.5}, TAccess::Modify},
      {"DivideValue 0", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.DivideValue(0); }, {1, 2}, TAccess::Read},
      {"DivideValue 1", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.DivideValue(1); }, {1, 2}, TAccess::Read},
      {"Zero", {1, 2}, {}, [](TBfRealBuffer& b, auto&) { b.Zero(); }, {0, 0}, TAccess::Write},
      {"NormalizeFrom", {0, 0, 7}, {3, 5}, [](TBfRealBuffer& b, auto& o) { b.NormalizeFrom(o, 1, 2); }, {1, 2}, TAccess::Write},
      {"Normalize", {3, 5}, {}, [](TBfRealBuffer& b, auto&) { b.Normalize(1, 2); }, {1, 2}, TAccess::AlwaysNew},
      {"Threshold greater", {1, 7}, {}, [](TBfRealBuffer& b, auto&) { b.Threshold(5, ttGreaterThan); }, {1, 5}, TAccess::Modify},
      {"Threshold less", {1, 7}, {}, [](TBfRealBuffer& b, auto&) { b.Threshold(5, ttLessThan); }, {5, 7}, TAccess::Modify},
      {"ThresholdFrom", {0, 0}, {1, 7, 9}, [](TBfRealBuffer& b, auto& o) { b.ThresholdFrom(o, 5, ttGreaterThan); }, {1, 5}, TAccess::Write},
      {"Sqr", {-3, 2}, {}, [](TBfRealBuffer& b, auto&) { b.Sqr(); }, {9, 4}, TAccess::Modify},
      {"SqrFrom a longer source", {0, 0, 0}, {1, 2, 3, 4, 5}, [](TBfRealBuffer& b, auto& o) { b.SqrFrom(o); }, {1, 4, 9}, TAccess::Write},
      {"Sqrt", {9, -4, 0}, {}, [](TBfRealBuffer& b, auto&) { b.Sqrt(); }, {3, kNaN, 0}, TAccess::Modify},
      {"SqrtFrom", {0, 0}, {16, 25}, [](TBfRealBuffer& b, auto& o) { b.SqrtFrom(o); }, {4, 5}, TAccess::Write},
      {"Abs", {-3, 2}, {}, [](TBfRealBuffer& b, auto&) { b.Abs(); }, {3, 2}, TAccess::Modify},
      {"AbsFrom", {0, 0}, {-1, -2}, [](TBfRealBuffer& b, auto& o) { b.AbsFrom(o); }, {1, 2}, TAccess::Write},
      {"Exp", {0, -800}, {}, [](TBfRealBuffer& b, auto&) { b.Exp(); }, {1, 0}, TAccess::Modify},
      {"ExpFrom", {5, 5}, {0, 800}, [](TBfRealBuffer& b, auto& o) { b.ExpFrom(o); }, {1, kInf}, TAccess::Write},
      {"Ln", {1, 0}, {}, [](TBfRealBuffer& b, auto&) { b.Ln(); }, {0, -kInf}, TAccess::Modify},
      {"LnFrom", {5, 5}, {1, -1}, [](TBfRealBuffer& b, auto& o) { b.LnFrom(o); }, {0, kNaN}, TAccess::Write},
      {"FromInt", {9, 9}, {}, [](TBfRealBuffer& b, auto&) { const int32_t v[] = {INT32_MIN, 7}; b.FromInt(v); }, {-2147483648.0, 7}, TAccess::Write},
      {"FromShort", {9, 9}, {}, [](TBfRealBuffer& b, auto&) { const int16_t v[] = {-32768, 32767}; b.FromShort(v); }, {-32768, 32767}, TAccess::Write},
      {"FromSingle", {9, 9}, {}, [](TBfRealBuffer& b, auto&) { const float v[] = {0.5f, -2}; b.FromSingle(v); }, {0.5, -2}, TAccess::Write},
  };
  return rows;
}

TEST_F(RealBufferOpsTest, EveryOperationOnAnOwnedAndOnASharedBuffer) {
  for (const auto& row : Rows()) {
    for (const bool shared : {false, true}) {
      SCOPED_TRACE(std::string(row.What) + (shared ? " (shared)" : " (own container)"));
      Ref<TBfRealBuffer> b = Filled(row.Items);
      Ref<TBfRealBuffer> partner = shared ? TBfRealBuffer::CreateCopy(b) : Ref<TBfRealBuffer>();
      Ref<TBfRealBuffer> other = row.Other.empty() ? Ref<TBfRealBuffer>() : Filled(row.Other);
      auto* before = b->pBuffer();
      row.Op(*b, other);
      const auto got = Items(*b, row.Want.size());
      for (size_t i = 0; i < row.Want.size(); ++i) EXPECT_TRUE(Same(got[i], row.Want[i])) << "item " << i << ": " << got[i] << ", want " << row.Want[i];
      const bool moved = b->pBuffer() != before;
      EXPECT_EQ(moved, row.Access == TAccess::AlwaysNew || (shared && row.Access != TAccess::Read)) << "moved to a new container";
      EXPECT_EQ(b->GetSize(), row.Items.size()) << "no operation resizes";
      if (shared) {
        const auto kept = Items(*partner, row.Items.size());
        for (size_t i = 0; i < kept.size(); ++i) EXPECT_TRUE(Same(kept[i], row.Items[i])) << "the partner's item " << i << " changed";
        if (row.Access == TAccess::Read) {
          EXPECT_EQ(partner->pBuffer(), b->pBuffer()) << "still sharing";
        }
      }
      if (other && !shared) {
        const auto kept = Items(*other, row.Other.size());
        for (size_t i = 0; i < kept.size(); ++i) EXPECT_TRUE(Same(kept[i], row.Other[i])) << "the other buffer changed";
      }
    }
  }
}

TEST_F(RealBufferOpsTest, OwnItemsBeyondTheShorterLengthAreKept) {
  Ref<TBfRealBuffer> b = Filled({1, 2, 3, 4});
  b->SqrFrom(Filled({3}));
  EXPECT_EQ(Items(*b, 4), (std::vector<Real>{9, 2, 3, 4}));
  b->Add(Filled({}));
  EXPECT_EQ(Items(*b, 4), (std::vector<Real>{9, 2, 3, 4}));
}

TEST_F(RealBufferOpsTest, OperationsOfABufferWithItself) {
  Ref<TBfRealBuffer> b = Filled({1, 2, 3});
  b->Add(b);
  EXPECT_EQ(Items(*b, 3), (std::vector<Real>{2, 4, 6}));
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(b);
  b->Multiply(b);
  EXPECT_EQ(Items(*b, 3), (std::vector<Real>{4, 16, 36}));
  EXPECT_EQ(Items(*partner, 3), (std::vector<Real>{2, 4, 6}));
  // A From operation of a shared buffer with itself keeps its input.
  Ref<TBfRealBuffer> again = TBfRealBuffer::CreateCopy(b);
  b->SqrtFrom(b);
  EXPECT_EQ(Items(*b, 3), (std::vector<Real>{2, 4, 6}));
  EXPECT_EQ(Items(*again, 3), (std::vector<Real>{4, 16, 36}));
  b->Divide(b);
  EXPECT_EQ(Items(*b, 3), (std::vector<Real>{1, 1, 1}));
  // By itself with a zero and a NaN: the rule sees the divisors, not the
  // quotients that replaced them.
  Ref<TBfRealBuffer> z = Filled({0, kNaN, -2});
  z->Divide(z);
  EXPECT_EQ(Items(*z, 3), (std::vector<Real>{0.0, 0.0, 1}));
}

TEST_F(RealBufferOpsTest, SharedBufferAddsWithoutChangingItsPartner) {
  Ref<TBfRealBuffer> a = Filled({1, 2});
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateCopy(a);
  a->Add(Filled({5, 5}));
  EXPECT_EQ(Items(*a, 2), (std::vector<Real>{6, 7}));
  EXPECT_EQ(Items(*b, 2), (std::vector<Real>{1, 2}));
  EXPECT_NE(a->pBuffer(), b->pBuffer());
}

TEST_F(RealBufferOpsTest, ConversionsOut) {
  Ref<TBfRealBuffer> b = Filled({2.5, 3.5, -2.5, 2.9, -2.9, 40000.0, 1e10, kNaN});
  auto* container = b->pBuffer();
  int16_t s[8];
  b->ToShort(s, true);
  EXPECT_EQ(s[0], 2);
  EXPECT_EQ(s[1], 4);
  EXPECT_EQ(s[2], -2);
  EXPECT_EQ(s[5], -25536);
  EXPECT_EQ(s[7], 0) << "NaN has no integer";
  b->ToShort(s, false);
  EXPECT_EQ(s[3], 2);
  EXPECT_EQ(s[4], -2);
  EXPECT_EQ(s[5], -25536);
  int32_t i[8];
  b->ToInt(i, true);
  EXPECT_EQ(i[0], 2);
  EXPECT_EQ(i[1], 4);
  EXPECT_EQ(i[5], 40000);
  EXPECT_EQ(i[6], INT32_MAX) << "ToInt saturates";
  EXPECT_EQ(i[7], INT32_MIN);
  b->ToInt(i, false);
  EXPECT_EQ(i[3], 2);
  EXPECT_EQ(i[4], -2);
  float f[8];
  b->ToSingle(f);
  EXPECT_EQ(f[0], 2.5f);
  EXPECT_EQ(b->pBuffer(), container) << "conversions out only read";
}

TEST_F(RealBufferOpsTest, SummaryValuesOnlyRead) {
  Ref<TBfRealBuffer> b = Filled({2, 4, 4, 4, 5, 5, 7, 9});
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(b);
  EXPECT_EQ(b->Mean(), 5);
  EXPECT_NEAR(b->StdDev(), std::sqrt(32.0 / 7.0), 1e-15);
  EXPECT_EQ(b->Dot(Filled({1, 1})), 6);
  Ref<TBfRealBuffer> o = Filled({1, 4, 4, 4, 5, 5, 7, 19});
  EXPECT_EQ(b->Norm(o, ntL1Norm), 11);
  EXPECT_NEAR(b->Norm(o, ntL2Norm), std::sqrt(101.0), 1e-12);
  EXPECT_EQ(b->Norm(o, ntCNorm), 10);
  EXPECT_EQ(b->GetMinValue(), 2);
  EXPECT_EQ(b->GetMaxValue(), 9);
  EXPECT_EQ(b->Min(), 2);
  EXPECT_EQ(b->Max(), 9);
  int32_t at = -1;
  EXPECT_EQ(b->GetMaxIndex(at), 9);
  EXPECT_EQ(at, 7);
  EXPECT_EQ(b->GetMinIndex(at), 2);
  EXPECT_EQ(at, 0);
  EXPECT_EQ(b->pBuffer(), partner->pBuffer()) << "reading never moves the buffer";
}

TEST_F(RealBufferOpsTest, EmptyBuffers) {
  Ref<TBfRealBuffer> e = TBfRealBuffer::Create();
  EXPECT_EQ(e->Dot(TBfRealBuffer::Create()), 0.0);
  EXPECT_EQ(e->GetMinValue(), 0.0);
  EXPECT_EQ(e->GetMaxValue(), 0.0);
  int32_t at = 5;
  EXPECT_EQ(e->GetMinIndex(at), 0.0);
  EXPECT_EQ(at, 0);
  at = 5;
  EXPECT_EQ(e->GetMaxIndex(at), 0.0);
  EXPECT_EQ(at, 0);
  EXPECT_EQ(e->Mean(), 0.0);
  EXPECT_EQ(e->GetMin(0, 10), 0.0) << "nothing is read outside the block";
  EXPECT_EQ(e->GetMaxRestricted(-3, 3), 0.0);
  e->Add(Filled({1}));
  e->SetValue(3);
  EXPECT_EQ(e->GetSize(), 0u);
}

TEST_F(RealBufferOpsTest, RangesAreClamped) {
  Ref<TBfRealBuffer> b = Filled({5, 3, 8, 1, 9, 2, 7, 6, 4, 0.5});
  EXPECT_EQ(b->GetMin(-5, 100), 0.5);
  EXPECT_EQ(b->GetMax(3, 5), 9);
  EXPECT_EQ(b->GetMin(3, 5), 1);
  EXPECT_EQ(b->GetMax(50, 100), 0.5) << "IndexBegin at or past the end becomes S - 1";
  struct TRestrictedRow {
    std::vector<Real> Items;
    bool Max;
    Real Want;
  } rows[] = {
      {{1.7e308, 5, 2}, false, 0},
      {{4, 1.7e308, 2}, false, 2},
      {{-1.7e308, -5, -2}, true, 0},
      {{-1.75e308, -5, -2}, true, -2},
      {{-1.75e308, -5, -2}, false, -5},
      {{3, -1.7e308, 1.7e308}, false, 3},
  };
  for (const auto& r : rows) {
    Ref<TBfRealBuffer> x = Filled(r.Items);
    EXPECT_EQ(r.Max ? x->GetMaxRestricted(0, 3) : x->GetMinRestricted(0, 3), r.Want) << r.Items[0] << (r.Max ? " max" : " min");
  }
  Ref<TBfRealBuffer> x = Filled({4, 1, 3});
  EXPECT_EQ(x->GetMinRestricted(1, 1), 0.0);
  EXPECT_EQ(x->GetMinRestricted(2, 1), 3.0) << "IndexEnd below IndexBegin: the start value";
}

TEST_F(RealBufferOpsTest, NormalizeLeavesTheOldContainerToItsPartner) {
  Ref<TBfRealBuffer> b = Filled({3, 5});
  Ref<TBfRealBuffer> partner = TBfRealBuffer::CreateCopy(b);
  b->Normalize(1, 2);
  EXPECT_EQ(Items(*b, 2), (std::vector<Real>{1, 2}));
  EXPECT_EQ(Items(*partner, 2), (std::vector<Real>{3, 5}));
}

TEST_F(RealBufferOpsTest, CreateValueFillsThroughSetValue) {
  Ref<TBfRealBuffer> b = TBfRealBuffer::CreateValue(7.5, 3);
  EXPECT_EQ(Items(*b, 3), (std::vector<Real>{7.5, 7.5, 7.5}));
}

TEST_F(RealBufferOpsTest, CorrelationConvolutionAndTestSignal) {
  Ref<TBfRealBuffer> out = Filled({9, 9, 9, 9, 9});
  out->AutoCorr(Filled({1, 2, 3, 0, 0}), actNormal);
  EXPECT_EQ(Items(*out, 5), (std::vector<Real>{14, 8, 3, 0, 0}));
  out->AutoCorr(Filled({1, 2, 3, 0, 0}), actUnbiased);
  EXPECT_EQ(Items(*out, 3), (std::vector<Real>{14.0 / 5, 2, 1}));
  Ref<TBfRealBuffer> cross = Filled({9, 9, 9, 9, 9, 9});
  cross->CrossCorr(Filled({1, 2}), Filled({1, 1, 1}), -2);
  EXPECT_EQ(Items(*cross, 6), (std::vector<Real>{0, 2, 3, 3, 1, 0}));
  Ref<TBfRealBuffer> conv = Filled({9, 9, 9, 9});
  conv->Convolve(Filled({1, 2}), Filled({1, 1, 1}));
  EXPECT_EQ(Items(*conv, 4), (std::vector<Real>{1, 3, 3, 2}));

  // The Jaehne signal moves a shared buffer to its own container.
  Ref<TBfRealBuffer> jaehne = Filled({5, 6});
  Ref<IBfRealBuffer> sharer = TBfRealBuffer::CreateCopy(Ref<IBfRealBuffer>(jaehne.Get()));
  jaehne->VectorJaehne(1);
  EXPECT_EQ(jaehne->GetItem(0), 0);
  EXPECT_DOUBLE_EQ(jaehne->GetItem(1), std::sin(M_PI / 4));
  EXPECT_EQ(sharer->GetItem(0), 5);
  EXPECT_EQ(sharer->GetItem(1), 6);
}

TEST_F(RealBufferOpsTest, CorrelationOutsideTheContractStaysInsideTheBuffers) {
  // A source shorter than the buffer: only its items are read, n lags written.
  Ref<TBfRealBuffer> out = Filled({9, 9, 9, 9});
  out->AutoCorr(Filled({1, 2}), actNormal);
  EXPECT_EQ(Items(*out, 4), (std::vector<Real>{5, 2, 9, 9}));
  // A convolution longer than the buffer keeps its first items.
  Ref<TBfRealBuffer> shortConv = Filled({9, 9});
  shortConv->Convolve(Filled({1, 2}), Filled({1, 1, 1}));
  EXPECT_EQ(Items(*shortConv, 2), (std::vector<Real>{1, 3}));
  // A buffer as its own source sees its old items.
  Ref<TBfRealBuffer> self = Filled({1, 2, 3});
  self->AutoCorr(self, actNormal);
  EXPECT_EQ(Items(*self, 3), (std::vector<Real>{14, 8, 3}));
  Ref<TBfRealBuffer> selfConv = Filled({1, 2, 0, 0});
  selfConv->Convolve(selfConv, Filled({1}));
  EXPECT_EQ(Items(*selfConv, 4), (std::vector<Real>{1, 2, 0, 0}));
  // Empty sources write nothing.
  Ref<TBfRealBuffer> untouched = Filled({7});
  untouched->Convolve(Filled({}), Filled({1}));
  EXPECT_EQ(untouched->GetItem(0), 7);
}

TEST_F(RealBufferOpsTest, AMissingBufferIsAnError) {
  Ref<TBfRealBuffer> b = Filled({1, 2});
  EXPECT_THROW(b->Add(Ref<IBfRealBuffer>()), Exception);
  EXPECT_THROW(b->SqrFrom(Ref<IBfRealBuffer>()), Exception);
  EXPECT_THROW(b->Norm(Ref<IBfRealBuffer>(), ntL1Norm), Exception);
}

// A result operation whose primitive refuses (writes nothing) still leaves
// the buffer holding its values, also when Write moved it to a new container
// whose block may hold anything. One refused call per kind of result
// operation, each on an owned and on a shared buffer.
TEST_F(RealBufferOpsTest, ARefusedPrimitiveLeavesTheItemsAsTheyWere) {
  const Real tooSmall = std::nextafter(std::numeric_limits<Real>::min(), 0.0);
  const std::vector<std::pair<const char*, std::function<void(TBfRealBuffer&)>>> calls = {
      {"Normalize by a divisor below the smallest normal", [&](TBfRealBuffer& b) { b.Normalize(0, tooSmall); }},
      {"NormalizeFrom by a zero divisor", [](TBfRealBuffer& b) { b.NormalizeFrom(Filled({8, 9}), 0, 0); }},
      {"FromInt without input", [](TBfRealBuffer& b) { b.FromInt(nullptr); }},
      {"FromSingle without input", [](TBfRealBuffer& b) { b.FromSingle(nullptr); }},
      {"AutoCorr of an empty source", [](TBfRealBuffer& b) { b.AutoCorr(TBfRealBuffer::Create(), actNormal); }},
      {"CrossCorr with an empty source",
       [](TBfRealBuffer& b) { b.CrossCorr(TBfRealBuffer::Create(), Filled({1, 2}), 0); }},
      {"Convolve with empty taps", [](TBfRealBuffer& b) { b.Convolve(Filled({1, 2}), TBfRealBuffer::Create()); }},
  };
  for (const auto& [name, call] : calls) {
    for (bool shared : {false, true}) {
      // A recycled block of the same size, filled with other values, makes
      // undefined items visible.
      { Ref<TBfRealBuffer> garbage = Filled({3, 7}); }
      Ref<TBfRealBuffer> b = Filled({1, 2});
      Ref<TBfRealBuffer> partner = shared ? TBfRealBuffer::CreateEx(b.Get()) : Ref<TBfRealBuffer>();
      call(*b);
      EXPECT_EQ(Items(*b, 2), (std::vector<Real>{1, 2})) << name << (shared ? ", shared" : ", owned");
      if (shared) {
        EXPECT_EQ(Items(*partner, 2), (std::vector<Real>{1, 2})) << name;
        b->SetItem(0, 5);
        EXPECT_EQ(partner->GetItem(0), 1) << name << ": the partner keeps its own container";
      }
    }
  }
}

TEST_F(RealBufferOpsTest, NormalizeBySmallestNormalDivisor) {
  const Real dmin = std::numeric_limits<Real>::min();
  Ref<TBfRealBuffer> b = Filled({0.5, -0.25});
  b->Normalize(0, dmin);
  EXPECT_EQ(Items(*b, 2), (std::vector<Real>{0.5 / dmin, -0.25 / dmin}));
}

}  // namespace
