// The row-major matrix of Reals and the list of real buffers.
#include "buffers/BfMatrixBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "buffers/BfResultGuard.h"
#include "primitives/Ipps.h"

namespace {

int Count(uint64_t ASize) { return static_cast<int>(ASize); }

uint32_t NonNegative(int32_t A) { return A < 0 ? 0u : static_cast<uint32_t>(A); }

[[noreturn]] void RaiseRow(int32_t ARow) {
  throw ERangeError(Format("Row out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(ARow))));
}
[[noreturn]] void RaiseColumn(int32_t ACol) {
  throw ERangeError(Format("Column out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(ACol))));
}
[[noreturn]] void RaiseIndex(int32_t AIndex) {
  throw ERangeError(Format("Index out of range = %u", static_cast<unsigned>(static_cast<uint32_t>(AIndex))));
}

IBfRealBufferArray& OtherArray(const Ref<IBfRealBufferArray>& A, const char* AClass, const char* AOperation) {
  if (!A) throw Exception(std::string(AClass) + "." + AOperation + ": no buffer array given");
  return *A;
}

// The zero-divisor rule of the real buffer's Divide, on n positions.
void DivideRule(const Real* ADivisor, Real* AQuotient, int n) {
  for (int i = 0; i < n; ++i) {
    const Real d = ADivisor[i], q = AQuotient[i];
    if (std::isnan(d)) {
      AQuotient[i] = 0.0;
    } else if (d != 0) {
      // the quotient stays
    } else if (q > 0) {
      AQuotient[i] = 1.0e15;
    } else if (std::isnan(q)) {
      AQuotient[i] = 0.0;
    } else {
      AQuotient[i] = -1.0e14;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TBfRealMatrixBuffer

TBfRealMatrixBuffer::TBfRealMatrixBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ARows, uint32_t ACols)
    // The shape was checked against the store's limit before the container
    // was made, so the byte count fits.
    : TBfMemoryBuffer(ADataContainer, uint32_t(uint64_t(ARows) * ACols * sizeof(Real))),
      FCols(int32_t(ACols)),
      FRows(int32_t(ARows)) {}

TBfRealMatrixBuffer::TBfRealMatrixBuffer(TBfMemoryBuffer* AOther, int32_t ARows, int32_t ACols)
    : TBfMemoryBuffer(AOther), FCols(ACols), FRows(ARows) {}

namespace {
// Rows x cols x 8 bytes, with the store's limit (EOutOfMemory above 2^30
// bytes, computed without overflow).
uint32_t MatrixBytes(uint32_t ARows, uint32_t ACols) {
  const uint64_t items = uint64_t(ARows) * ACols;
  if (items > BfMaxBlockSize) throw EOutOfMemory();
  return BfCheckedByteCount(uint32_t(items), sizeof(Real));
}
}  // namespace

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::Create() { return CreateSize(0, 0); }

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateSize(uint32_t ARows, uint32_t ACols) {
  if (ARows > uint32_t(INT32_MAX) || ACols > uint32_t(INT32_MAX)) throw EOutOfMemory();
  const uint32_t bytes = MatrixBytes(ARows, ACols);
  return Construct(new TBfRealMatrixBuffer(TBfSmartMemoryBuffer::Create(bytes, false), ARows, ACols));
}

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateData(const Real* AData, uint32_t ARows, uint32_t ACols) {
  if (ARows > uint32_t(INT32_MAX) || ACols > uint32_t(INT32_MAX)) throw EOutOfMemory();
  const uint32_t bytes = MatrixBytes(ARows, ACols);
  return Construct(new TBfRealMatrixBuffer(TBfSmartMemoryBuffer::CreateData(AData, bytes, false), ARows, ACols));
}

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateValue(Real AValue, uint32_t ARows, uint32_t ACols) {
  Ref<TBfRealMatrixBuffer> r = CreateSize(ARows, ACols);
  r->SetValue(AValue);
  return r;
}

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateEx(TBfRealMatrixBuffer* AOther) {
  if (AOther == nullptr) throw EIntfCastError();
  return Construct(new TBfRealMatrixBuffer(AOther, AOther->FRows, AOther->FCols));
}

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateCopy(const Ref<IBfRealMatrixBuffer>& AOther) {
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfRealMatrixBuffer(o, AOther->GetRows(), AOther->GetCols()));
}

Ref<TBfRealMatrixBuffer> TBfRealMatrixBuffer::CreateUniversal(const Ref<IBfData>& AOther) {
  if (Ref<IBfRealMatrixBuffer> m = Supports<IBfRealMatrixBuffer>(AOther)) return CreateCopy(m);
  if (Ref<IBfRealBufferArray> a = Supports<IBfRealBufferArray>(AOther)) {
    Ref<TBfRealMatrixBuffer> r = CreateSize(NonNegative(a->GetCount()), NonNegative(a->GetMaxSize()));
    const int32_t rows = r->FRows, cols = r->FCols;
    if (rows == 0 || cols == 0) return r;
    Real* dst = r->Write();
    for (int32_t row = 0; row < rows; ++row) {
      Ref<IBfRealBuffer> b = a->GetItem(row);
      Real* line = dst + int64_t(row) * cols;
      const uint32_t n = b ? std::min<uint32_t>(b->GetSize(), uint32_t(cols)) : 0;
      if (n > 0) ippsCopy_64f(b->Read(), line, Count(n));
      if (n < uint32_t(cols)) ippsZero_64f(line + n, Count(uint32_t(cols) - n));
    }
    return r;
  }
  if (!Supports<IBfDataBuffer>(AOther)) throw EIntfCastError();
  auto* o = dynamic_cast<TBfMemoryBuffer*>(GenericInstance(AOther.Get()));
  if (o == nullptr) throw EIntfCastError();
  return Construct(new TBfRealMatrixBuffer(o, 1, int32_t(o->GetByteSize() / sizeof(Real))));
}

Ref<IBfData> TBfRealMatrixBuffer::MakeCopy() { return CreateEx(this); }

bool TBfRealMatrixBuffer::IsEqual(const Ref<IBfDataBuffer>& AOther) const {
  if (!AOther || dynamic_cast<TBfRealMatrixBuffer*>(AOther->GetInstance()) == nullptr) return false;
  return TBfMemoryBuffer::IsEqual(AOther);
}

TBfSmartMemoryBuffer* TBfRealMatrixBuffer::CreateDataContainer(uint32_t ASize) {
  return TBfSmartMemoryBuffer::Create(BfCheckedByteCount(ASize, sizeof(Real)), false);
}

void TBfRealMatrixBuffer::Assign(const Ref<IBfDataBuffer>& AOtherBuffer) {
  TBfMemoryBuffer::Assign(AOtherBuffer);
  if (auto* m = dynamic_cast<TBfRealMatrixBuffer*>(AOtherBuffer->GetInstance())) {
    FRows = m->FRows;
    FCols = m->FCols;
  } else {
    FRows = 1;
    FCols = int32_t(GetSize());
  }
}

void TBfRealMatrixBuffer::Assign(const Ref<IBfRealBufferArray>& Other) {
  IBfRealBufferArray& other = OtherArray(Other, "TBfRealMatrixBuffer", "Assign");
  if (other.GetInstance() == static_cast<TObject*>(this)) return;
  // A snapshot first: Other may share this matrix's container.
  const int32_t count = other.GetCount();
  std::vector<Ref<IBfRealBuffer>> rows;
  for (int32_t r = 0; r < count; ++r) rows.push_back(other.GetItem(r));
  Resize(count, other.GetMaxSize(), false);
  for (int32_t r = 0; r < count && r < FRows; ++r) SetRow(r, rows[size_t(r)]);
}

Ref<IBfRealBufferArray> TBfRealMatrixBuffer::GetMatArrayIntf() { return Ref<IBfRealBufferArray>(this); }

Real* TBfRealMatrixBuffer::Write() {
  Unique(false);
  return reinterpret_cast<Real*>(FDataPtr);
}

Real* TBfRealMatrixBuffer::Modify() {
  Unique(true);
  return reinterpret_cast<Real*>(FDataPtr);
}

void TBfRealMatrixBuffer::CheckRow(int32_t ARow) const {
  if (static_cast<uint32_t>(ARow) >= static_cast<uint32_t>(FRows)) RaiseRow(ARow);
}

Real TBfRealMatrixBuffer::GetElement(int32_t ARow, int32_t ACol) const {
  if (static_cast<uint32_t>(ACol) >= static_cast<uint32_t>(FCols)) RaiseColumn(ACol);
  CheckRow(ARow);
  return Read()[int64_t(ARow) * FCols + ACol];
}

void TBfRealMatrixBuffer::SetElement(int32_t ARow, int32_t ACol, Real Value) {
  Unique(true);
  if (static_cast<uint32_t>(ACol) >= static_cast<uint32_t>(FCols)) RaiseColumn(ACol);
  CheckRow(ARow);
  reinterpret_cast<Real*>(FDataPtr)[int64_t(ARow) * FCols + ACol] = Value;
}

Ref<IBfRealBuffer> TBfRealMatrixBuffer::GetRow(int32_t Index) const {
  CheckRow(Index);
  return TBfRealBuffer::CreateData(Read() + int64_t(Index) * FCols, uint32_t(FCols));
}

void TBfRealMatrixBuffer::SetRow(int32_t Index, const Ref<IBfRealBuffer>& Value) {
  if (!Value) throw Exception("TBfRealMatrixBuffer.SetRow: no buffer given");
  CheckRow(Index);
  const uint32_t n = std::min<uint32_t>(uint32_t(FCols), Value->GetSize());
  if (n == 0) return;
  Real* row = Modify() + int64_t(Index) * FCols;
  ippsCopy_64f(Value->Read(), row, Count(n));
}

template <class F>
void TBfRealMatrixBuffer::RowOperation(const Ref<IBfRealBufferArray>& Other, const char* AOperation, F AApply) {
  IBfRealBufferArray& other = OtherArray(Other, "TBfRealMatrixBuffer", AOperation);
  const int32_t rows = std::min(FRows, other.GetCount());
  if (rows <= 0 || GetSize() == 0) return;
  // The other rows first: Other may be this very matrix, whose rows are
  // copies, so they keep their values while this one is written.
  std::vector<Ref<IBfRealBuffer>> buffers;
  for (int32_t r = 0; r < rows; ++r) buffers.push_back(other.GetItem(r));
  Real* base = Modify();
  const uint64_t total = GetSize();
  for (int32_t r = 0; r < rows; ++r) {
    const Ref<IBfRealBuffer>& b = buffers[size_t(r)];
    if (!b) continue;
    const uint64_t start = uint64_t(r) * uint64_t(FCols);
    if (start >= total) break;
    // A buffer longer than a row reaches into the following rows, but never
    // past the end of the matrix.
    const uint64_t n = std::min<uint64_t>(total - start, b->GetSize());
    if (n > 0) AApply(b->Read(), base + start, Count(n));
  }
}

void TBfRealMatrixBuffer::Add(const Ref<IBfRealBufferArray>& Other) {
  RowOperation(Other, "Add", [](const Real* s, Real* d, int n) { ippsAdd_64f_I(s, d, n); });
}
void TBfRealMatrixBuffer::Subtract(const Ref<IBfRealBufferArray>& Other) {
  RowOperation(Other, "Subtract", [](const Real* s, Real* d, int n) { ippsSub_64f_I(s, d, n); });
}
void TBfRealMatrixBuffer::Multiply(const Ref<IBfRealBufferArray>& Other) {
  RowOperation(Other, "Multiply", [](const Real* s, Real* d, int n) { ippsMul_64f_I(s, d, n); });
}
void TBfRealMatrixBuffer::Divide(const Ref<IBfRealBufferArray>& Other) {
  RowOperation(Other, "Divide", [](const Real* s, Real* d, int n) {
    if (ippsDiv_64f_I(s, d, n) == ippStsDivByZero) DivideRule(s, d, n);
  });
}

void TBfRealMatrixBuffer::SetValue(Real AValue) {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsSet_64f(AValue, Write(), Count(GetSize())); });
}
void TBfRealMatrixBuffer::AddValue(Real AValue) {
  if (AValue != 0 && GetSize() > 0) ippsAddC_64f_I(AValue, Modify(), Count(GetSize()));
}
void TBfRealMatrixBuffer::SubtractValue(Real AValue) {
  if (AValue != 0 && GetSize() > 0) ippsSubC_64f_I(AValue, Modify(), Count(GetSize()));
}
void TBfRealMatrixBuffer::MultiplyValue(Real AValue) {
  if (AValue != 1 && GetSize() > 0) ippsMulC_64f_I(AValue, Modify(), Count(GetSize()));
}
void TBfRealMatrixBuffer::DivideValue(Real AValue) {
  if (AValue != 0 && AValue != 1 && GetSize() > 0) ippsDivC_64f_I(AValue, Modify(), Count(GetSize()));
}
void TBfRealMatrixBuffer::Zero() {
  if (GetSize() == 0) return;
  BfResultOperation(*this, [&] { return ippsZero_64f(Write(), Count(GetSize())); });
}

void TBfRealMatrixBuffer::Resize(int32_t ARows, int32_t ACols, bool PreserveData) {
  const uint32_t rows = NonNegative(ARows), cols = NonNegative(ACols);
  // 1. An empty shape: the matrix stays on its container.
  if (rows == 0 || cols == 0) {
    FCharSize = 0;
    FCols = int32_t(cols);
    FRows = int32_t(rows);
    UpdateDataPtr();
    return;
  }
  // 2. The same shape: nothing.
  if (int32_t(cols) == FCols && int32_t(rows) == FRows) return;
  // The new size is checked before anything changes.
  const uint32_t bytes = MatrixBytes(rows, cols);
  const uint32_t count = GetSize();
  const uint32_t items = bytes / sizeof(Real);
  // 3. Shrinking with the data kept: only this matrix's view changes.
  if (PreserveData && count > items) {
    FCols = int32_t(cols);
    FRows = int32_t(rows);
    FCharSize = bytes;
    UpdateDataPtr();
    return;
  }
  // 4. Growing in place inside a single owner's block.
  if (PreserveData && MemoryBuffer()->SingleOwner() && MemoryBuffer()->AllocatedSize() >= bytes) {
    FCols = int32_t(cols);
    FRows = int32_t(rows);
    FCharSize = bytes;
    UpdateDataPtr();
    return;
  }
  // 5. A new container, the old block copied into it with PreserveData.
  TBfSmartMemoryBuffer* old = MemoryBuffer();
  TBfSmartMemoryBuffer* created = CreateDataContainer(items);
  created->AddReff(FOwnsData);
  SetMemoryBuffer(created);
  if (PreserveData) created->CopyFrom(old);
  old->RemoveReff(FOwnsData);
  FCols = int32_t(cols);
  FRows = int32_t(rows);
  FCharSize = bytes;
  UpdateDataPtr();
  BfNoteResizeContainer();
}

void* TBfRealMatrixBuffer::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfRealMatrixBuffer, IBfRealBufferArray>(this, AIID)) return p;
  return TBfMemoryBuffer::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// TBfRealBufferList

Ref<TBfRealBufferList> TBfRealBufferList::Create() {
  Ref<TBfRealBufferList> r(new TBfRealBufferList());
  r->AfterConstruction();
  return r;
}

Ref<TBfRealBufferList> TBfRealBufferList::CreateCopy(const Ref<IBfRealBufferArray>& AOther) {
  IBfRealBufferArray& other = OtherArray(AOther, "TBfRealBufferList", "CreateCopy");
  Ref<TBfRealBufferList> r = Create();
  const int32_t count = other.GetCount();
  for (int32_t i = 0; i < count; ++i) r->FList.push_back(TBfRealBuffer::CreateCopy(other.GetItem(i)));
  return r;
}

Ref<TBfRealBufferList> TBfRealBufferList::CreateData(std::initializer_list<Ref<IBfRealBuffer>> AData) {
  return CreateData(std::vector<Ref<IBfRealBuffer>>(AData));
}

Ref<TBfRealBufferList> TBfRealBufferList::CreateData(const std::vector<Ref<IBfRealBuffer>>& AData) {
  Ref<TBfRealBufferList> r = Create();
  for (const Ref<IBfRealBuffer>& b : AData) r->FList.push_back(TBfRealBuffer::CreateCopy(b));
  return r;
}

Ref<IBfData> TBfRealBufferList::MakeCopy() { return CreateCopy(Ref<IBfRealBufferArray>(this)); }

std::vector<Ref<IBfRealBuffer>> TBfRealBufferList::Entries() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FList;
}

void TBfRealBufferList::Assign(const Ref<IBfRealBufferArray>& Other) {
  IBfRealBufferArray& other = OtherArray(Other, "TBfRealBufferList", "Assign");
  if (other.GetInstance() == static_cast<TObject*>(this)) return;
  std::vector<Ref<IBfRealBuffer>> taken;
  const int32_t count = other.GetCount();
  for (int32_t i = 0; i < count; ++i) taken.push_back(other.GetItem(i));
  std::lock_guard<std::mutex> hold(FLock);
  FList.swap(taken);
}

int32_t TBfRealBufferList::GetMaxSize() const {
  uint32_t best = 0;
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) best = std::max(best, b->GetSize());
  return int32_t(best);
}

int32_t TBfRealBufferList::GetCount() const {
  std::lock_guard<std::mutex> hold(FLock);
  return int32_t(FList.size());
}

int32_t TBfRealBufferList::GetBufferSize(int32_t Index) const {
  Ref<IBfRealBuffer> b = GetItem(Index);
  return b ? int32_t(b->GetSize()) : 0;
}

Ref<IBfRealBuffer> TBfRealBufferList::GetItem(int32_t Index) const {
  std::lock_guard<std::mutex> hold(FLock);
  if (static_cast<uint32_t>(Index) >= FList.size()) RaiseIndex(Index);
  return FList[static_cast<uint32_t>(Index)];
}

void TBfRealBufferList::SetItem(int32_t Index, const Ref<IBfRealBuffer>& Value) {
  std::lock_guard<std::mutex> hold(FLock);
  if (static_cast<uint32_t>(Index) >= FList.size()) RaiseIndex(Index);
  FList[static_cast<uint32_t>(Index)] = Value;
}

Real TBfRealBufferList::GetItemValue(int32_t Index, int32_t ItemIndex) const {
  Ref<IBfRealBuffer> b = GetItem(Index);
  if (!b) RaiseIndex(ItemIndex);
  return b->GetItem(ItemIndex);
}

void TBfRealBufferList::SetItemValue(int32_t Index, int32_t ItemIndex, Real Value) {
  Ref<IBfRealBuffer> b = GetItem(Index);
  if (!b) RaiseIndex(ItemIndex);
  b->SetItem(ItemIndex, Value);
}

template <class F>
void TBfRealBufferList::WithOther(const Ref<IBfRealBufferArray>& Other, const char* AOperation, F AApply) {
  IBfRealBufferArray& other = OtherArray(Other, "TBfRealBufferList", AOperation);
  const std::vector<Ref<IBfRealBuffer>> own = Entries();
  const size_t n = std::min(own.size(), size_t(std::max(other.GetCount(), 0)));
  for (size_t i = 0; i < n; ++i) {
    Ref<IBfRealBuffer> right = other.GetItem(int32_t(i));
    if (own[i] && right) AApply(*own[i], right);
  }
}

void TBfRealBufferList::Add(const Ref<IBfRealBufferArray>& Other) {
  WithOther(Other, "Add", [](IBfRealBuffer& b, const Ref<IBfRealBuffer>& r) { b.Add(r); });
}
void TBfRealBufferList::Subtract(const Ref<IBfRealBufferArray>& Other) {
  WithOther(Other, "Subtract", [](IBfRealBuffer& b, const Ref<IBfRealBuffer>& r) { b.Subtract(r); });
}
void TBfRealBufferList::Multiply(const Ref<IBfRealBufferArray>& Other) {
  WithOther(Other, "Multiply", [](IBfRealBuffer& b, const Ref<IBfRealBuffer>& r) { b.Multiply(r); });
}
void TBfRealBufferList::Divide(const Ref<IBfRealBufferArray>& Other) {
  WithOther(Other, "Divide", [](IBfRealBuffer& b, const Ref<IBfRealBuffer>& r) { b.Divide(r); });
}

void TBfRealBufferList::SetValue(Real AValue) {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->SetValue(AValue);
}
void TBfRealBufferList::AddValue(Real AValue) {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->AddValue(AValue);
}
void TBfRealBufferList::SubtractValue(Real AValue) {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->SubtractValue(AValue);
}
void TBfRealBufferList::MultiplyValue(Real AValue) {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->MultiplyValue(AValue);
}
void TBfRealBufferList::DivideValue(Real AValue) {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->DivideValue(AValue);
}
void TBfRealBufferList::Zero() {
  for (const Ref<IBfRealBuffer>& b : Entries())
    if (b) b->Zero();
}

void TBfRealBufferList::Resize(int32_t ACount, int32_t ASize, bool PreserveData) {
  const size_t count = NonNegative(ACount);
  const uint32_t size = NonNegative(ASize);
  std::vector<Ref<IBfRealBuffer>> kept;
  {
    std::lock_guard<std::mutex> hold(FLock);
    if (FList.size() > count) FList.resize(count);
    kept = FList;
  }
  for (const Ref<IBfRealBuffer>& b : kept)
    if (b) b->Resize(size, PreserveData);
  std::vector<Ref<IBfRealBuffer>> added;
  for (size_t i = kept.size(); i < count; ++i) added.push_back(TBfRealBuffer::CreateSize(size));
  std::lock_guard<std::mutex> hold(FLock);
  for (Ref<IBfRealBuffer>& b : added) FList.push_back(std::move(b));
}

void TBfRealBufferList::Append(const Ref<IBfRealBuffer>& AValue) {
  std::lock_guard<std::mutex> hold(FLock);
  FList.push_back(AValue);
}

void* TBfRealBufferList::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IBfRealBufferDynamicArray, IBfRealBufferArray, IBfData>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}
