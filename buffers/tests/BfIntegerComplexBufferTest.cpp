// The integer and complex buffers: sizes, sharing between kinds, the
// operations' values, the neutral values that leave buffer and container
// untouched, copy on write, and the defined integer division.
#include "buffers/BfComplexBuffer.h"
#include "buffers/BfIntegerBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "buffers/tests/BfBufferTestSupport.h"

namespace {

using IntVec = std::vector<int32_t>;

Ref<TBfIntegerBuffer> Ints(const IntVec& A) { return TBfIntegerBuffer::CreateData(A.data(), uint32_t(A.size())); }

IntVec Items(const TBfIntegerBuffer& B) {
  IntVec r;
  for (uint32_t i = 0; i < B.GetSize(); ++i) r.push_back(B.GetItem(int32_t(i)));
  return r;
}

Ref<TBfComplexBuffer> Complexes(const std::vector<TFlRealComplex>& A) {
  return TBfComplexBuffer::CreateData(A.data(), uint32_t(A.size()));
}

std::vector<Real> Reals(const IBfRealBuffer& B) {
  std::vector<Real> r;
  for (uint32_t i = 0; i < B.GetSize(); ++i) r.push_back(B.GetItem(int32_t(i)));
  return r;
}

class IntegerComplexTest : public BufferKindTest {};

TEST_F(IntegerComplexTest, SizesOfTheItemKinds) {
  Ref<TBfIntegerBuffer> i = TBfIntegerBuffer::CreateSize(3);
  EXPECT_EQ(i->GetByteSize(), 12u);
  EXPECT_EQ(i->GetSize(), 3u);
  Ref<TBfComplexBuffer> c = TBfComplexBuffer::CreateSize(3);
  EXPECT_EQ(c->GetByteSize(), 48u);
  EXPECT_EQ(c->GetSize(), 3u);
  EXPECT_EQ(TBfIntegerBuffer::Create()->GetSize(), 0u);
  EXPECT_EQ(Items(*TBfIntegerBuffer::CreateValue(-4, 2)), (IntVec{-4, -4}));
  EXPECT_TRUE(Supports<IBfIntegerBuffer>(Ref<IBfData>(i)));
  EXPECT_FALSE(Supports<IBfComplexBuffer>(Ref<IBfData>(i)));
  EXPECT_TRUE(Supports<IBfLinearDataBuffer>(Ref<IBfData>(c)));
  c->Resize(5, true);
  EXPECT_EQ(c->GetByteSize(), 80u);
}

TEST_F(IntegerComplexTest, CreateUniversalReadsTheBytesOfAnotherKind) {
  Ref<TBfComplexBuffer> c = Complexes({{1, 2}, {3, 4}});
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateUniversal(Ref<IBfData>(c));
  EXPECT_EQ(Reals(*r), (std::vector<Real>{1, 2, 3, 4}));
  EXPECT_EQ(r->GetDataContainer(), c->GetDataContainer()) << "shared, not copied";
  Ref<TBfComplexBuffer> back = TBfComplexBuffer::CreateUniversal(Ref<IBfData>(r));
  EXPECT_EQ(back->GetSize(), 2u);
  EXPECT_EQ(back->GetItem(1).Imaginary, 4);
  Ref<TBfIntegerBuffer> i = TBfIntegerBuffer::CreateUniversal(Ref<IBfData>(c));
  EXPECT_EQ(i->GetSize(), 8u);
  EXPECT_THROW(TBfIntegerBuffer::CreateUniversal(Ref<IBfData>()), EIntfCastError);
  EXPECT_FALSE(i->IsEqual(Ref<IBfDataBuffer>(c))) << "another kind is never equal";
  EXPECT_TRUE(i->IsEqual(Ref<IBfDataBuffer>(TBfIntegerBuffer::CreateEx(i.Get()))));
}

TEST_F(IntegerComplexTest, ItemAccessOutsideRaisesTheRangeError) {
  Ref<TBfIntegerBuffer> i = Ints({1, 2});
  Ref<TBfComplexBuffer> c = Complexes({{1, 2}});
  for (int32_t bad : {2, -1, INT32_MIN}) {
    const std::string want = "Index out of range = " + std::to_string(uint32_t(bad));
    try {
      (void)i->GetItem(bad);
      ADD_FAILURE() << bad;
    } catch (const ERangeError& e) {
      EXPECT_EQ(e.Message(), want);
    }
    EXPECT_THROW(i->SetItem(bad, 0), ERangeError);
    EXPECT_THROW((void)c->GetItem(bad == 2 ? 1 : bad), ERangeError);
    EXPECT_THROW(c->SetItem(bad == 2 ? 1 : bad, {0, 0}), ERangeError);
  }
  EXPECT_EQ(Items(*i), (IntVec{1, 2}));
}

// ---- integer operations, each on an owned and on a shared buffer

struct TIntRow {
  const char* What;
  IntVec Items, Other;
  std::function<void(TBfIntegerBuffer&, const Ref<IBfIntegerBuffer>&)> Op;
  IntVec Want;
  bool Untouched;  // a neutral value: no copy, the same container
};

TEST_F(IntegerComplexTest, IntegerOperations) {
  using B = TBfIntegerBuffer;
  using O = const Ref<IBfIntegerBuffer>;
  const std::vector<TIntRow> rows = {
      {"Add saturates", {1, INT32_MAX, 5}, {2, 1}, [](B& b, O& o) { b.Add(o); }, {3, INT32_MAX, 5}, false},
      {"Subtract", {1, 2}, {3, 3}, [](B& b, O& o) { b.Subtract(o); }, {-2, -1}, false},
      {"Multiply", {3, -4}, {5, 6}, [](B& b, O& o) { b.Multiply(o); }, {15, -24}, false},
      {"Divide rounds, zero divisors by sign", {7, 5, -5, 0}, {2, 0, 0, 0}, [](B& b, O& o) { b.Divide(o); }, {4, INT32_MAX, INT32_MIN, 0}, false},
      {"ModBuffer", {7, 7, -7}, {3, -3, 3}, [](B& b, O& o) { b.ModBuffer(o); }, {1, 1, -1}, false},
      {"AndBuffer", {0xFF, -1}, {0x0F, 6}, [](B& b, O& o) { b.AndBuffer(o); }, {0x0F, 6}, false},
      {"OrBuffer", {1, 2}, {4, 8}, [](B& b, O& o) { b.OrBuffer(o); }, {5, 10}, false},
      {"XorBuffer", {3, -1}, {1, -1}, [](B& b, O& o) { b.XorBuffer(o); }, {2, 0}, false},
      {"LShift counts mod 32", {1, 1, 3}, {33, -1, 1}, [](B& b, O& o) { b.LShift(o); }, {2, INT32_MIN, 6}, false},
      {"RShift is logical", {-8, -1}, {1, 31}, [](B& b, O& o) { b.RShift(o); }, {2147483644, 1}, false},
      {"SetValue", {1, 2}, {}, [](B& b, O&) { b.SetValue(9); }, {9, 9}, false},
      {"AddValue", {1, 2}, {}, [](B& b, O&) { b.AddValue(5); }, {6, 7}, false},
      {"SubtractValue", {1, 2}, {}, [](B& b, O&) { b.SubtractValue(1); }, {0, 1}, false},
      {"MultiplyValue", {1, -2}, {}, [](B& b, O&) { b.MultiplyValue(3); }, {3, -6}, false},
      {"DivideValue truncates", {7, -7}, {}, [](B& b, O&) { b.DivideValue(2); }, {3, -3}, false},
      {"ModValue", {7, -7}, {}, [](B& b, O&) { b.ModValue(3); }, {1, -1}, false},
      {"AndValue", {6, 3}, {}, [](B& b, O&) { b.AndValue(2); }, {2, 2}, false},
      {"OrValue", {6, 3}, {}, [](B& b, O&) { b.OrValue(8); }, {14, 11}, false},
      {"XorValue", {6, 3}, {}, [](B& b, O&) { b.XorValue(1); }, {7, 2}, false},
      {"LShiftValue", {1, -1}, {}, [](B& b, O&) { b.LShiftValue(4); }, {16, -16}, false},
      {"RShiftValue is arithmetic", {-8, 8}, {}, [](B& b, O&) { b.RShiftValue(1); }, {-4, 4}, false},
      {"Zero", {1, 2}, {}, [](B& b, O&) { b.Zero(); }, {0, 0}, false},
      {"AddValue 0", {1, 2}, {}, [](B& b, O&) { b.AddValue(0); }, {1, 2}, true},
      {"MultiplyValue 1", {1, 2}, {}, [](B& b, O&) { b.MultiplyValue(1); }, {1, 2}, true},
      {"DivideValue 0", {1, 2}, {}, [](B& b, O&) { b.DivideValue(0); }, {1, 2}, true},
      {"DivideValue 1", {1, 2}, {}, [](B& b, O&) { b.DivideValue(1); }, {1, 2}, true},
      {"AndValue -1", {1, 2}, {}, [](B& b, O&) { b.AndValue(-1); }, {1, 2}, true},
      {"OrValue 0", {1, 2}, {}, [](B& b, O&) { b.OrValue(0); }, {1, 2}, true},
      {"XorValue 0", {1, 2}, {}, [](B& b, O&) { b.XorValue(0); }, {1, 2}, true},
      {"LShiftValue 0", {1, 2}, {}, [](B& b, O&) { b.LShiftValue(0); }, {1, 2}, true},
      {"RShiftValue 0", {1, 2}, {}, [](B& b, O&) { b.RShiftValue(0); }, {1, 2}, true},
  };
  for (const TIntRow& row : rows) {
    for (bool shared : {false, true}) {
      Ref<TBfIntegerBuffer> b = Ints(row.Items);
      Ref<TBfIntegerBuffer> partner = shared ? TBfIntegerBuffer::CreateEx(b.Get()) : Ref<TBfIntegerBuffer>();
      Ref<TBfIntegerBuffer> other = Ints(row.Other);
      TBfSmartBuffer* before = b->GetDataContainer();
      Since();
      row.Op(*b, other);
      const TBfStoreCounts d = Since();
      const std::string where = std::string(row.What) + (shared ? ", shared" : ", owned");
      EXPECT_EQ(Items(*b), row.Want) << where;
      if (row.Untouched || !shared) {
        EXPECT_EQ(b->GetDataContainer(), before) << where;
        EXPECT_EQ(d.ContainersCreated, 0) << where;
      } else {
        EXPECT_NE(b->GetDataContainer(), before) << where << ": the first write moves a sharer";
        EXPECT_EQ(d.CopyOnWriteContainers, 1) << where;
        EXPECT_EQ(Items(*partner), row.Items) << where << ": the partner keeps its values";
      }
    }
  }
}

// Every division of the integer buffer has a defined result, without a trap
// and without undefined behaviour: zero divisors follow the division
// primitive (0, INT32_MAX or INT32_MIN by the dividend's sign; the
// remainder is the dividend), INT32_MIN / -1 saturates to INT32_MAX with
// remainder 0.
TEST_F(IntegerComplexTest, DivisionIsDefinedForEveryPair) {
  struct TDiv {
    int32_t Y, X, Quotient, Remainder;
  };
  const std::vector<TDiv> table = {
      {7, 2, 3, 1},        {-7, 2, -3, -1},   {7, -3, -2, 1},         {-7, -3, 2, -1},
      {5, 0, INT32_MAX, 5}, {-5, 0, INT32_MIN, -5}, {0, 0, 0, 0},     {INT32_MIN, -1, INT32_MAX, 0},
      {INT32_MAX, -1, -INT32_MAX, 0}, {INT32_MIN, 1, INT32_MIN, 0}, {INT32_MIN, 0, INT32_MIN, INT32_MIN},
      {INT32_MIN, INT32_MIN, 1, 0}, {INT32_MAX, INT32_MIN, 0, INT32_MAX},
  };
  for (const TDiv& t : table) {
    const std::string where = std::to_string(t.Y) + " / " + std::to_string(t.X);
    EXPECT_EQ(TBfIntegerBuffer::Quotient(t.Y, t.X), t.Quotient) << where;
    EXPECT_EQ(TBfIntegerBuffer::Remainder(t.Y, t.X), t.Remainder) << where;
    if (t.X != 0) {  // DivideValue(0) is a neutral value: nothing happens
      Ref<TBfIntegerBuffer> q = Ints({t.Y});
      q->DivideValue(t.X);
      EXPECT_EQ(q->GetItem(0), t.X == 1 ? t.Y : t.Quotient) << where << " DivideValue";
    }
    Ref<TBfIntegerBuffer> m = Ints({t.Y});
    m->ModValue(t.X);
    EXPECT_EQ(m->GetItem(0), t.Remainder) << where << " ModValue";
    Ref<TBfIntegerBuffer> mb = Ints({t.Y});
    mb->ModBuffer(Ints({t.X}));
    EXPECT_EQ(mb->GetItem(0), t.Remainder) << where << " ModBuffer";
    if (t.X == 0) {
      Ref<TBfIntegerBuffer> d = Ints({t.Y});
      d->Divide(Ints({t.X}));
      EXPECT_EQ(d->GetItem(0), t.Quotient) << where << " Divide follows the primitive";
    }
  }
}

TEST_F(IntegerComplexTest, IntegerSummaryValues) {
  EXPECT_EQ(TBfIntegerBuffer::Create()->GetMinValue(), 0);
  EXPECT_EQ(TBfIntegerBuffer::Create()->GetMaxValue(), 0);
  EXPECT_EQ(Ints({5, 2, 2, 9})->GetMinValue(), 2);
  EXPECT_EQ(Ints({5, 2, 9, 9})->GetMaxValue(), 9);
  EXPECT_EQ(Ints({1, 2, 3})->Dot(Ints({4, 5})), 14);
  EXPECT_EQ(Ints({INT32_MAX})->Dot(Ints({2})), INT32_MAX);
  EXPECT_EQ(Ints({})->Dot(Ints({2})), 0);
}

TEST_F(IntegerComplexTest, IntegerCopyToCountsItemsBetweenIntegerBuffers) {
  Ref<TBfIntegerBuffer> a = Ints({1, 2, 3});
  Ref<TBfIntegerBuffer> b = Ints({0, 0, 0, 0});
  Ref<TBfIntegerBuffer> partner = TBfIntegerBuffer::CreateEx(b.Get());
  a->CopyTo(1, b, 2, 2);
  EXPECT_EQ(Items(*b), (IntVec{0, 0, 2, 3}));
  EXPECT_EQ(Items(*partner), (IntVec{0, 0, 0, 0}));
  EXPECT_THROW(a->CopyTo(2, b, 0, 2), ERangeError);
  EXPECT_THROW(a->CopyTo(0, b, 3, 2), ERangeError);
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateValue(0, 1);
  a->CopyTo(0, r, 0, 8);  // bytes for another kind
  EXPECT_EQ(TBfIntegerBuffer::CreateUniversal(Ref<IBfData>(r))->GetItem(1), 2);
}

// ---- complex operations

TEST_F(IntegerComplexTest, ComplexOperations) {
  using C = std::vector<TFlRealComplex>;
  auto same = [](const TBfComplexBuffer& b, const C& want) {
    if (b.GetSize() != want.size()) return false;
    for (uint32_t i = 0; i < want.size(); ++i) {
      if (b.GetItem(int32_t(i)).Real_ != want[i].Real_ || b.GetItem(int32_t(i)).Imaginary != want[i].Imaginary) return false;
    }
    return true;
  };
  struct TRow {
    const char* What;
    C Items, Other;
    std::function<void(TBfComplexBuffer&, const Ref<IBfComplexBuffer>&)> Op;
    C Want;
  };
  using B = TBfComplexBuffer;
  using O = const Ref<IBfComplexBuffer>;
  const std::vector<TRow> rows = {
      {"Add", {{1, 2}, {3, 4}}, {{1, 1}}, [](B& b, O& o) { b.Add(o); }, {{2, 3}, {3, 4}}},
      {"Subtract", {{1, 2}}, {{1, 1}}, [](B& b, O& o) { b.Subtract(o); }, {{0, 1}}},
      {"Multiply", {{1, 2}}, {{3, 4}}, [](B& b, O& o) { b.Multiply(o); }, {{-5, 10}}},
      {"Divide", {{-5, 10}}, {{3, 4}}, [](B& b, O& o) { b.Divide(o); }, {{1, 2}}},
      {"AddValue 0 still writes", {{1, 2}}, {}, [](B& b, O&) { b.AddValue(0, 0); }, {{1, 2}}},
      {"MultiplyValue by i", {{1, 2}}, {}, [](B& b, O&) { b.MultiplyValue(0, 1); }, {{-2, 1}}},
      {"DivideValue", {{2, 4}}, {}, [](B& b, O&) { b.DivideValue(2, 0); }, {{1, 2}}},
      {"SubtractValue", {{2, 4}}, {}, [](B& b, O&) { b.SubtractValue(1, 1); }, {{1, 3}}},
      {"SetValue", {{2, 4}, {0, 0}}, {}, [](B& b, O&) { b.SetValue(7, -1); }, {{7, -1}, {7, -1}}},
      {"Zero", {{2, 4}}, {}, [](B& b, O&) { b.Zero(); }, {{0, 0}}},
      {"NormalizeFrom", {{0, 0}}, {{3, 5}, {9, 9}}, [](B& b, O& o) { b.NormalizeFrom(o, {1, 1}, 2); }, {{1, 2}}},
      {"Normalize", {{3, 5}}, {}, [](B& b, O&) { b.Normalize({1, 1}, 2); }, {{1, 2}}},
      {"Sqr", {{1, 2}}, {}, [](B& b, O&) { b.Sqr(); }, {{-3, 4}}},
      {"SqrFrom", {{0, 0}}, {{1, 2}}, [](B& b, O& o) { b.SqrFrom(o); }, {{-3, 4}}},
      {"Sqrt", {{-4, 0}}, {}, [](B& b, O&) { b.Sqrt(); }, {{0, 2}}},
      {"SqrtFrom", {{0, 0}}, {{-3, 4}}, [](B& b, O& o) { b.SqrtFrom(o); }, {{1, 2}}},
      {"Threshold greater", {{3, 4}, {0, 1}}, {}, [](B& b, O&) { b.Threshold(2.5, ttGreaterThan); }, {{1.5, 2}, {0, 1}}},
      {"ThresholdFrom", {{0, 0}}, {{3, 4}}, [](B& b, O& o) { b.ThresholdFrom(o, 2.5, ttGreaterThan); }, {{1.5, 2}}},
  };
  for (const TRow& row : rows) {
    for (bool shared : {false, true}) {
      Ref<TBfComplexBuffer> b = Complexes(row.Items);
      Ref<TBfComplexBuffer> partner = shared ? TBfComplexBuffer::CreateEx(b.Get()) : Ref<TBfComplexBuffer>();
      row.Op(*b, Complexes(row.Other));
      const std::string where = std::string(row.What) + (shared ? ", shared" : ", owned");
      EXPECT_TRUE(same(*b, row.Want)) << where;
      if (shared) {
        EXPECT_TRUE(same(*partner, row.Items)) << where << ": the partner keeps its values";
      }
    }
  }
}

TEST_F(IntegerComplexTest, ComplexResultsAsRealBuffers) {
  Ref<TBfComplexBuffer> c = Complexes({{3, 4}, {0, -2}});
  Ref<TBfComplexBuffer> partner = TBfComplexBuffer::CreateEx(c.Get());
  Since();
  EXPECT_EQ(Reals(*c->Magnitude()), (std::vector<Real>{5, 2}));
  EXPECT_EQ(Reals(*c->PowerSpectrum()), (std::vector<Real>{25, 4}));
  EXPECT_EQ(Reals(*c->GetReal()), (std::vector<Real>{3, 0}));
  EXPECT_EQ(Reals(*c->GetImaginary()), (std::vector<Real>{4, -2}));
  EXPECT_EQ(c->Phase()->GetItem(1), std::atan2(-2.0, 0.0));
  EXPECT_EQ(Since().CopyOnWriteContainers, 0) << "results only read this buffer";
  EXPECT_EQ(c->GetDataContainer(), partner->GetDataContainer());
  const TFlRealComplex dot = c->Dot(Complexes({{1, 1}}));
  EXPECT_EQ(dot.Real_, -1);
  EXPECT_EQ(dot.Imaginary, 7);
  EXPECT_EQ(c->Dot(Complexes({})).Real_, 0);
}

TEST_F(IntegerComplexTest, SetBufferTakesTheShorterPart) {
  Ref<TBfComplexBuffer> c = TBfComplexBuffer::CreateSize(5);
  const Real re[] = {1, 2, 3}, im[] = {-1, -2};
  c->SetBuffer(TBfRealBuffer::CreateData(re, 3), TBfRealBuffer::CreateData(im, 2));
  ASSERT_EQ(c->GetSize(), 2u);
  EXPECT_EQ(c->GetItem(1).Real_, 2);
  EXPECT_EQ(c->GetItem(1).Imaginary, -2);
  EXPECT_THROW(c->SetBuffer(Ref<IBfRealBuffer>(), TBfRealBuffer::CreateData(im, 2)), Exception);
}

// A refused primitive on the Write path leaves the items (here a zero
// factor of NormalizeFrom, on a buffer that moves because it is shared).
TEST_F(IntegerComplexTest, RefusedComplexPrimitiveKeepsTheItems) {
  { Ref<TBfComplexBuffer> garbage = Complexes({{8, 8}, {8, 8}}); }
  Ref<TBfComplexBuffer> c = Complexes({{1, 2}, {3, 4}});
  Ref<TBfComplexBuffer> partner = TBfComplexBuffer::CreateEx(c.Get());
  c->NormalizeFrom(Complexes({{5, 5}, {5, 5}}), {0, 0}, 0);
  EXPECT_EQ(c->GetItem(0).Real_, 1);
  EXPECT_EQ(c->GetItem(1).Imaginary, 4);
  c->Normalize({0, 0}, 0);
  EXPECT_EQ(c->GetItem(1).Real_, 3);
  c->DivideValue(0, 0);
  EXPECT_EQ(c->GetItem(1).Real_, 3);
}

// Correlation over complex items conjugates the first factor; a shared
// buffer moves to its own container and its partner keeps its items, and a
// refused call (an empty source) leaves the items.
TEST_F(IntegerComplexTest, AutoCorrAndCrossCorrConjugateTheFirstFactor) {
  Ref<TBfComplexBuffer> auto2 = Complexes({{9, 9}, {9, 9}});
  Ref<TBfComplexBuffer> partner = TBfComplexBuffer::CreateEx(auto2.Get());
  auto2->AutoCorr(Complexes({{0, 1}, {1, 0}}), actNormal);  // (i, 1): (2, -i)
  EXPECT_EQ(auto2->GetItem(0).Real_, 2);
  EXPECT_EQ(auto2->GetItem(0).Imaginary, 0);
  EXPECT_EQ(auto2->GetItem(1).Real_, 0);
  EXPECT_EQ(auto2->GetItem(1).Imaginary, -1);
  EXPECT_EQ(partner->GetItem(0).Real_, 9) << "the sharer keeps its items";

  Ref<TBfComplexBuffer> cross = Complexes({{7, 7}, {7, 7}, {7, 7}});
  // (i, 1) against (1, 1, 1) from lag -1: (1, 1 - i, 1 - i).
  cross->CrossCorr(Complexes({{0, 1}, {1, 0}}), Complexes({{1, 0}, {1, 0}, {1, 0}}), -1);
  const std::vector<std::pair<Real, Real>> want = {{1, 0}, {1, -1}, {1, -1}};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(cross->GetItem(k).Real_, want[size_t(k)].first) << k;
    EXPECT_EQ(cross->GetItem(k).Imaginary, want[size_t(k)].second) << k;
  }

  { Ref<TBfComplexBuffer> garbage = Complexes({{8, 8}, {8, 8}}); }
  Ref<TBfComplexBuffer> kept = Complexes({{1, 2}, {3, 4}});
  Ref<TBfComplexBuffer> sharer = TBfComplexBuffer::CreateEx(kept.Get());
  kept->AutoCorr(TBfComplexBuffer::Create(), actUnbiased);
  EXPECT_EQ(kept->GetItem(1).Imaginary, 4) << "a refused correlation leaves the items";
  kept->AutoCorr(kept, actNormal);  // its own source: read before it is written
  EXPECT_EQ(kept->GetItem(0).Real_, 1 * 1 + 2 * 2 + 3 * 3 + 4 * 4);
}

TEST_F(IntegerComplexTest, DivideValueOnASharedBufferMovesOnlyThisOne) {
  Ref<TBfIntegerBuffer> b = Ints({7, -7});
  Ref<TBfIntegerBuffer> partner = TBfIntegerBuffer::CreateCopy(b);
  TBfSmartBuffer* old = b->GetDataContainer();
  b->DivideValue(2);
  EXPECT_EQ(Items(*b), (IntVec{3, -3}));
  EXPECT_EQ(Items(*partner), (IntVec{7, -7}));
  EXPECT_NE(b->GetDataContainer(), old);
  EXPECT_EQ(partner->GetDataContainer(), old);
}

}  // namespace
