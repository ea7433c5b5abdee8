// The matrix buffer, the list of real buffers and the block buffer: shapes,
// range texts (the column tested first), copies that share until written,
// padding into a matrix, Resize in item order, saturation, and indexes that
// never reach outside a block.
#include "buffers/BfBlockBuffer.h"
#include "buffers/BfMatrixBuffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "buffers/tests/BfBufferTestSupport.h"

namespace {

using RealVec = std::vector<Real>;

Ref<IBfRealBuffer> Buf(const RealVec& A) { return TBfRealBuffer::CreateData(A.data(), uint32_t(A.size())); }

RealVec Reals(const IBfRealBuffer& B) {
  RealVec r;
  for (uint32_t i = 0; i < B.GetSize(); ++i) r.push_back(B.GetItem(int32_t(i)));
  return r;
}

RealVec Items(const TBfRealMatrixBuffer& M) { return RealVec(M.Read(), M.Read() + M.GetSize()); }

Ref<TBfRealMatrixBuffer> Matrix23() {
  const Real d[] = {0, 1, 2, 3, 4, 5};
  return TBfRealMatrixBuffer::CreateData(d, 2, 3);
}

std::string RangeText(const std::function<void()>& ACall) {
  try {
    ACall();
  } catch (const ERangeError& e) {
    return e.Message();
  }
  return "no error";
}

class MatrixBlockTest : public BufferKindTest {};

TEST_F(MatrixBlockTest, MatrixShape) {
  Ref<TBfRealMatrixBuffer> m = TBfRealMatrixBuffer::CreateSize(2, 3);
  EXPECT_EQ(m->GetRows(), 2);
  EXPECT_EQ(m->GetCols(), 3);
  EXPECT_EQ(m->GetSize(), 6u);
  EXPECT_EQ(m->GetByteSize(), 48u);
  EXPECT_EQ(m->GetCount(), 2);
  EXPECT_EQ(m->GetMaxSize(), 3);
  EXPECT_EQ(Matrix23()->GetElement(1, 2), 5.0);
  EXPECT_EQ(Items(*TBfRealMatrixBuffer::CreateValue(7.5, 2, 3)), RealVec(6, 7.5));
  EXPECT_EQ(TBfRealMatrixBuffer::Create()->GetSize(), 0u);
  EXPECT_THROW(TBfRealMatrixBuffer::CreateSize(1u << 16, 1u << 16), EOutOfMemory);
  Ref<IBfData> asData(m);
  EXPECT_TRUE(Supports<IBfRealBufferArray>(asData));
  EXPECT_TRUE(Supports<IBfRealMatrixBuffer>(asData));
  EXPECT_FALSE(Supports<IBfLinearDataBuffer>(asData)) << "not a linear buffer";
}

TEST_F(MatrixBlockTest, MatrixRangeTexts) {
  Ref<TBfRealMatrixBuffer> m = Matrix23();
  struct TRow {
    const char* What;
    std::function<void()> Call;
    std::string Want;
  };
  const std::vector<TRow> rows = {
      {"column", [&] { (void)m->GetElement(0, 3); }, "Column out of range = 3"},
      {"row", [&] { (void)m->GetElement(2, 0); }, "Row out of range = 2"},
      {"both: the column first", [&] { (void)m->GetElement(2, 3); }, "Column out of range = 3"},
      {"negative column", [&] { (void)m->GetElement(0, -1); }, "Column out of range = 4294967295"},
      {"negative row", [&] { (void)m->GetElement(INT32_MIN, 0); }, "Row out of range = 2147483648"},
      {"SetElement", [&] { m->SetElement(5, 0, 1); }, "Row out of range = 5"},
      {"SetItemValue", [&] { m->SetItemValue(0, 9, 1); }, "Column out of range = 9"},
      {"GetRow", [&] { (void)m->GetRow(2); }, "Row out of range = 2"},
      {"GetItem negative", [&] { (void)m->GetItem(-1); }, "Row out of range = 4294967295"},
      {"SetRow", [&] { m->SetRow(7, Buf({1})); }, "Row out of range = 7"},
      {"SetItem", [&] { m->SetItem(-2, Buf({1})); }, "Row out of range = 4294967294"},
  };
  for (const TRow& row : rows) EXPECT_EQ(RangeText(row.Call), row.Want) << row.What;
  EXPECT_EQ(Items(*m), (RealVec{0, 1, 2, 3, 4, 5}));
}

TEST_F(MatrixBlockTest, RowsAreCopiesAndSetRowWritesPrivately) {
  Ref<TBfRealMatrixBuffer> m = Matrix23();
  Ref<IBfRealBuffer> row = m->GetRow(1);
  EXPECT_EQ(Reals(*row), (RealVec{3, 4, 5}));
  row->SetItem(0, 99);
  EXPECT_EQ(m->GetElement(1, 0), 3.0) << "a copy, not a view";
  Ref<TBfRealMatrixBuffer> partner = TBfRealMatrixBuffer::CreateEx(m.Get());
  Since();
  m->SetRow(0, Buf({7, 8}));
  EXPECT_EQ(Since().CopyOnWriteContainers, 1);
  EXPECT_EQ(Items(*m), (RealVec{7, 8, 2, 3, 4, 5}));
  EXPECT_EQ(Items(*partner), (RealVec{0, 1, 2, 3, 4, 5}));
  m->SetElement(1, 1, -1);
  EXPECT_EQ(m->GetItemValue(1, 1), -1.0);
}

TEST_F(MatrixBlockTest, CreateUniversalFromListsAndBuffers) {
  Ref<TBfRealBufferList> list = TBfRealBufferList::CreateData({Buf({1, 2}), Buf({3, 4, 5, 6}), Buf({7, 8, 9})});
  Ref<TBfRealMatrixBuffer> m = TBfRealMatrixBuffer::CreateUniversal(Ref<IBfData>(list));
  EXPECT_EQ(m->GetRows(), 3);
  EXPECT_EQ(m->GetCols(), 4);
  EXPECT_EQ(Items(*m), (RealVec{1, 2, 0, 0, 3, 4, 5, 6, 7, 8, 9, 0})) << "rows padded with zeros";
  Ref<IBfRealBuffer> ten = Buf(RealVec(10, 2.5));
  Ref<TBfRealMatrixBuffer> one = TBfRealMatrixBuffer::CreateUniversal(Ref<IBfData>(ten));
  EXPECT_EQ(one->GetRows(), 1);
  EXPECT_EQ(one->GetCols(), 10);
  EXPECT_EQ(one->GetDataContainer(), dynamic_cast<TBfRealBuffer*>(ten.Get())->GetDataContainer()) << "shared";
  Ref<TBfRealMatrixBuffer> again = TBfRealMatrixBuffer::CreateUniversal(Ref<IBfData>(m));
  EXPECT_EQ(again->GetCols(), 4);
  EXPECT_EQ(again->GetDataContainer(), m->GetDataContainer());
  EXPECT_TRUE(again->IsEqual(m));
  EXPECT_THROW(TBfRealMatrixBuffer::CreateUniversal(Ref<IBfData>()), EIntfCastError);
}

TEST_F(MatrixBlockTest, ResizeKeepsTheItemsInOrder) {
  Ref<TBfRealMatrixBuffer> m = Matrix23();
  m->Resize(3, 2, true);
  EXPECT_EQ(m->GetRows(), 3);
  EXPECT_EQ(m->GetCols(), 2);
  EXPECT_EQ(Items(*m), (RealVec{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(m->GetElement(2, 0), 4.0);
  Ref<TBfRealMatrixBuffer> partner = TBfRealMatrixBuffer::CreateEx(m.Get());
  m->Resize(4, 2, true);  // grows past a shared block: a new container
  EXPECT_EQ(RealVec(m->Read(), m->Read() + 6), (RealVec{0, 1, 2, 3, 4, 5}));
  EXPECT_NE(m->GetDataContainer(), partner->GetDataContainer());
  m->Resize(1, 3, true);
  EXPECT_EQ(Items(*m), (RealVec{0, 1, 2}));
  m->Resize(0, 5, false);
  EXPECT_EQ(m->GetSize(), 0u);
  EXPECT_EQ(m->GetCols(), 5);
  EXPECT_THROW(m->Resize(1 << 16, 1 << 16, false), EOutOfMemory);
  EXPECT_EQ(m->GetCols(), 5) << "unchanged after a refused size";
}

TEST_F(MatrixBlockTest, MatrixArrayOperationsStayInsideTheMatrix) {
  Ref<TBfRealMatrixBuffer> m = Matrix23();
  // Row 1 with a buffer of 5 items: only the 3 items left in the matrix.
  Ref<TBfRealBufferList> other = TBfRealBufferList::CreateData({Buf({1, 1}), Buf({10, 10, 10, 10, 10})});
  m->Add(other);
  EXPECT_EQ(Items(*m), (RealVec{1, 2, 2, 13, 14, 15}));
  // Row 0 with a longer buffer reaches into row 1, as the matrix is flat.
  m->Subtract(TBfRealBufferList::CreateData({Buf({1, 1, 1, 1})}));
  EXPECT_EQ(Items(*m), (RealVec{0, 1, 1, 12, 14, 15}));
  m->Divide(TBfRealBufferList::CreateData({Buf({0, 0, 0, 0}), Buf({})}));
  EXPECT_EQ(Items(*m), (RealVec{0.0, 1.0e15, 1.0e15, 1.0e15, 14, 15})) << "the zero-divisor rule";
  m->MultiplyValue(0);
  m->AddValue(2);
  EXPECT_EQ(Items(*m), RealVec(6, 2.0));
  m->Multiply(m);  // with itself: its rows are copies
  EXPECT_EQ(Items(*m), RealVec(6, 4.0));
  m->Assign(TBfRealBufferList::CreateData({Buf({1}), Buf({2, 3})}));
  EXPECT_EQ(m->GetRows(), 2);
  EXPECT_EQ(m->GetCols(), 2);
  EXPECT_EQ(m->GetElement(1, 1), 3.0);
}

TEST_F(MatrixBlockTest, ListEntriesAreTheBufferObjects) {
  Ref<TBfRealBufferList> list = TBfRealBufferList::Create();
  EXPECT_EQ(list->GetMaxSize(), 0);
  Ref<IBfRealBuffer> b = Buf({1, 2});
  list->Append(b);
  list->Append(b);
  list->SetItemValue(0, 0, 9);
  EXPECT_EQ(list->GetItemValue(1, 0), 9.0) << "one object seen through two entries";
  EXPECT_EQ(list->GetItem(1).Get(), b.Get());
  EXPECT_EQ(RangeText([&] { (void)list->GetItem(2); }), "Index out of range = 2");
  EXPECT_EQ(RangeText([&] { (void)list->GetItem(-1); }), "Index out of range = 4294967295");
  EXPECT_EQ(RangeText([&] { list->SetItemValue(0, 2, 1); }), "Index out of range = 2");
  Ref<TBfRealBufferList> other = TBfRealBufferList::Create();
  other->Assign(list);
  EXPECT_EQ(other->GetItem(0).Get(), b.Get()) << "Assign takes the objects themselves";
  other->Assign(other);
  EXPECT_EQ(other->GetCount(), 2);
}

TEST_F(MatrixBlockTest, ListCopiesShareUntilWritten) {
  Ref<TBfRealBufferList> list = TBfRealBufferList::CreateData({Buf({1, 2}), Buf({3})});
  Ref<IBfData> copyData = list->MakeCopy();
  Ref<IBfRealBufferArray> copy = Supports<IBfRealBufferArray>(copyData);
  ASSERT_TRUE(copy);
  auto container = [](const Ref<IBfRealBuffer>& r) { return dynamic_cast<TBfRealBuffer*>(r.Get())->GetDataContainer(); };
  EXPECT_NE(copy->GetItem(0).Get(), list->GetItem(0).Get()) << "new buffer objects";
  EXPECT_EQ(container(copy->GetItem(0)), container(list->GetItem(0))) << "sharing the containers";
  Since();
  copy->SetItemValue(0, 1, 7);
  EXPECT_EQ(Since().CopyOnWriteContainers, 1);
  EXPECT_EQ(list->GetItemValue(0, 1), 2.0);
  EXPECT_EQ(copy->GetItemValue(0, 1), 7.0);
}

TEST_F(MatrixBlockTest, ListOperationsAndResize) {
  Ref<TBfRealBufferList> list = TBfRealBufferList::CreateData({Buf({1, 2}), Buf({3, 4}), Buf({5})});
  list->Add(TBfRealBufferList::CreateData({Buf({10, 10})}));  // a shorter Other: the common count
  EXPECT_EQ(Reals(*list->GetItem(0)), (RealVec{11, 12}));
  EXPECT_EQ(Reals(*list->GetItem(1)), (RealVec{3, 4}));
  list->MultiplyValue(2);
  EXPECT_EQ(Reals(*list->GetItem(2)), (RealVec{10}));
  EXPECT_EQ(list->GetMaxSize(), 2);
  Ref<TBfRealBufferList> one = TBfRealBufferList::CreateData({Buf({1, 2})});
  one->Resize(3, 5, false);
  ASSERT_EQ(one->GetCount(), 3);
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(one->GetBufferSize(i), 5);
  one->Resize(1, 1, true);
  EXPECT_EQ(one->GetCount(), 1);
  EXPECT_EQ(one->GetBufferSize(0), 1);
}

// ---- block buffer

Ref<TBfBlockBuffer> Bytes(const std::vector<uint8_t>& A) { return TBfBlockBuffer::CreateData(A.data(), uint32_t(A.size())); }

std::vector<uint8_t> ItemsOf(const TBfBlockBuffer& B) { return std::vector<uint8_t>(B.Read(), B.Read() + B.GetSize()); }

TEST_F(MatrixBlockTest, BlockArithmeticSaturates) {
  using V = std::vector<uint8_t>;
  struct TRow {
    const char* What;
    V Items, Other;
    std::function<void(TBfBlockBuffer&, const Ref<IBfBlockBuffer>&)> Op;
    V Want;
  };
  using B = TBfBlockBuffer;
  using O = const Ref<IBfBlockBuffer>;
  const std::vector<TRow> rows = {
      {"Add saturates", {200, 1, 9}, {100, 2}, [](B& b, O& o) { b.Add(o); }, {255, 3, 9}},
      {"Subtract saturates", {5, 9}, {10, 4}, [](B& b, O& o) { b.Subtract(o); }, {0, 5}},
      {"Multiply saturates", {20, 3}, {20, 4}, [](B& b, O& o) { b.Multiply(o); }, {255, 12}},
      {"Divide", {7, 255}, {2, 16}, [](B& b, O& o) { b.Divide(o); }, {3, 15}},
      {"Divide by zero", {7, 0, 255}, {0, 0, 0}, [](B& b, O& o) { b.Divide(o); }, {255, 0, 255}},
      {"SetValue", {1, 2}, {}, [](B& b, O&) { b.SetValue(0xAB); }, {0xAB, 0xAB}},
      {"Zero", {1, 2}, {}, [](B& b, O&) { b.Zero(); }, {0, 0}},
  };
  for (const TRow& row : rows) {
    for (bool shared : {false, true}) {
      Ref<TBfBlockBuffer> b = Bytes(row.Items);
      Ref<TBfBlockBuffer> partner = shared ? TBfBlockBuffer::CreateEx(b.Get()) : Ref<TBfBlockBuffer>();
      row.Op(*b, Bytes(row.Other));
      EXPECT_EQ(ItemsOf(*b), row.Want) << row.What;
      if (shared) {
        EXPECT_EQ(ItemsOf(*partner), row.Items) << row.What << ": the partner keeps its bytes";
      }
    }
  }
}

TEST_F(MatrixBlockTest, BlockItemsAndSharing) {
  Ref<TBfBlockBuffer> b = Bytes({1, 2, 3});
  EXPECT_EQ(b->GetItem(2), 3);
  EXPECT_EQ(RangeText([&] { (void)b->GetItem(3); }), "Index out of range = 3");
  EXPECT_EQ(RangeText([&] { (void)b->GetItem(-1); }), "Index out of range = 4294967295");
  Ref<TBfBlockBuffer> partner = TBfBlockBuffer::CreateCopy(b);
  EXPECT_EQ(RangeText([&] { b->SetItem(3, 0); }), "Index out of range = 3");
  EXPECT_NE(b->GetDataContainer(), partner->GetDataContainer()) << "SetItem made the buffer private first";
  b->SetItem(0, 9);
  EXPECT_EQ(partner->GetItem(0), 1);
  const Real r[] = {1.0};
  Ref<TBfRealBuffer> real = TBfRealBuffer::CreateData(r, 1);
  Ref<TBfBlockBuffer> raw = TBfBlockBuffer::CreateUniversal(Ref<IBfData>(real));
  EXPECT_EQ(raw->GetSize(), 8u);
  EXPECT_EQ(raw->GetItem(7), 0x3F);
  EXPECT_FALSE(raw->IsEqual(real));
  EXPECT_TRUE(raw->IsEqual(TBfBlockBuffer::CreateEx(raw.Get())));
}

}  // namespace
