// Arrays of real buffers: the interface IBfRealBufferArray (how a set of
// feature vectors travels), the growable list of independent buffers
// TBfRealBufferList, and the row-major matrix TBfRealMatrixBuffer, whose rows
// are offered as the buffers of the array.
//
// Ranges: no index reaches memory outside a block. Matrix element access
// raises ERangeError "Column out of range = %u" (tested first) or "Row out
// of range = %u"; a row index outside the matrix in GetItem, SetItem, GetRow
// and SetRow raises the row error; list indexes outside the list raise
// "Index out of range = %u". Negative indexes show as their unsigned 32-bit
// values. Array operations with another array stop at the shorter of the
// two, and a buffer longer than the rest of the matrix stops at its end.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "buffers/BfSimpleDataBuffer.h"

struct IBfRealBufferArray : virtual IBfData {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C03}");
  virtual void Assign(const Ref<IBfRealBufferArray>& Other) = 0;
  // The largest buffer's count; 0 when empty.
  virtual int32_t GetMaxSize() const = 0;
  virtual int32_t GetCount() const = 0;
  virtual int32_t GetBufferSize(int32_t Index) const = 0;
  virtual Ref<IBfRealBuffer> GetItem(int32_t Index) const = 0;
  virtual void SetItem(int32_t Index, const Ref<IBfRealBuffer>& Value) = 0;
  virtual Real GetItemValue(int32_t Index, int32_t ItemIndex) const = 0;
  virtual void SetItemValue(int32_t Index, int32_t ItemIndex, Real Value) = 0;
  virtual void Add(const Ref<IBfRealBufferArray>& Other) = 0;
  virtual void Subtract(const Ref<IBfRealBufferArray>& Other) = 0;
  virtual void Multiply(const Ref<IBfRealBufferArray>& Other) = 0;
  virtual void Divide(const Ref<IBfRealBufferArray>& Other) = 0;
  virtual void SetValue(Real AValue) = 0;
  virtual void AddValue(Real AValue) = 0;
  virtual void SubtractValue(Real AValue) = 0;
  virtual void MultiplyValue(Real AValue) = 0;
  virtual void DivideValue(Real AValue) = 0;
  virtual void Zero() = 0;
  virtual void Resize(int32_t ACount, int32_t ASize, bool PreserveData) = 0;
};

struct IBfRealBufferDynamicArray : virtual IBfRealBufferArray {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C04}");
  // Adds the buffer object itself at the end.
  virtual void Append(const Ref<IBfRealBuffer>& AValue) = 0;
};

struct IBfRealMatrixBuffer : virtual IBfRealBufferArray {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C05}");
  virtual const Real* Read() const = 0;
  virtual Real* Write() = 0;
  virtual Real* Modify() = 0;
  virtual int32_t GetCols() const = 0;
  virtual int32_t GetRows() const = 0;
  virtual Real GetElement(int32_t ARow, int32_t ACol) const = 0;
  virtual void SetElement(int32_t ARow, int32_t ACol, Real Value) = 0;
  // A new real buffer holding a copy of the row.
  virtual Ref<IBfRealBuffer> GetRow(int32_t Index) const = 0;
  // Copies min(cols, Value's count) items into the row; the rest stays.
  virtual void SetRow(int32_t Index, const Ref<IBfRealBuffer>& Value) = 0;
  // IBfRealBufferArray::Resize(ARows, ACols, PreserveData) as well: the
  // flat item sequence is kept, not the two-dimensional positions.
};

class TBfRealMatrixBuffer : public TBfMemoryBuffer, public virtual IBfRealMatrixBuffer {
 public:
  static Ref<TBfRealMatrixBuffer> Create();
  static Ref<TBfRealMatrixBuffer> CreateSize(uint32_t ARows, uint32_t ACols);
  static Ref<TBfRealMatrixBuffer> CreateData(const Real* AData, uint32_t ARows, uint32_t ACols);
  static Ref<TBfRealMatrixBuffer> CreateValue(Real AValue, uint32_t ARows, uint32_t ACols);
  static Ref<TBfRealMatrixBuffer> CreateEx(TBfRealMatrixBuffer* AOther);
  static Ref<TBfRealMatrixBuffer> CreateCopy(const Ref<IBfRealMatrixBuffer>& AOther);
  // A matrix: shared, its shape. Another array: copied row by row, short
  // rows padded with zeros. Any other data buffer: 1 row of (bytes / 8)
  // columns, shared. Else EIntfCastError.
  static Ref<TBfRealMatrixBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  Ref<IBfData> MakeCopy() override;
  // Another matrix with equal bytes (the shapes are not compared).
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  uint32_t GetSize() const override { return FCharSize / sizeof(Real); }
  uint32_t GetItemSize() const override { return sizeof(Real); }
  [[nodiscard]] TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize) override;
  TBfSmartMemoryBuffer* pBuffer() const { return MemoryBuffer(); }
  // The generic Assign attaches to another buffer's container; the matrix
  // then takes a matrix's shape, or 1 row of all the other's Reals.
  void Assign(const Ref<IBfDataBuffer>& AOtherBuffer) override;
  // Resize(Other's count, Other's max size, false), then SetRow for each.
  void Assign(const Ref<IBfRealBufferArray>& Other) override;
  Ref<IBfRealBufferArray> GetMatArrayIntf();

  const Real* Read() const override { return reinterpret_cast<const Real*>(FDataPtr); }
  Real* Write() override;
  Real* Modify() override;
  int32_t GetCols() const override { return FCols; }
  int32_t GetRows() const override { return FRows; }
  Real GetElement(int32_t ARow, int32_t ACol) const override;
  void SetElement(int32_t ARow, int32_t ACol, Real Value) override;
  Ref<IBfRealBuffer> GetRow(int32_t Index) const override;
  void SetRow(int32_t Index, const Ref<IBfRealBuffer>& Value) override;

  int32_t GetMaxSize() const override { return FCols; }
  int32_t GetCount() const override { return FRows; }
  int32_t GetBufferSize(int32_t) const override { return FCols; }
  Ref<IBfRealBuffer> GetItem(int32_t Index) const override { return GetRow(Index); }
  void SetItem(int32_t Index, const Ref<IBfRealBuffer>& Value) override { SetRow(Index, Value); }
  Real GetItemValue(int32_t Index, int32_t ItemIndex) const override { return GetElement(Index, ItemIndex); }
  void SetItemValue(int32_t Index, int32_t ItemIndex, Real Value) override { SetElement(Index, ItemIndex, Value); }
  void Add(const Ref<IBfRealBufferArray>& Other) override;
  void Subtract(const Ref<IBfRealBufferArray>& Other) override;
  void Multiply(const Ref<IBfRealBufferArray>& Other) override;
  void Divide(const Ref<IBfRealBufferArray>& Other) override;
  void SetValue(Real AValue) override;
  void AddValue(Real AValue) override;
  void SubtractValue(Real AValue) override;
  void MultiplyValue(Real AValue) override;
  void DivideValue(Real AValue) override;
  void Zero() override;
  // The steps of the linear buffer's Resize on ARows x ACols items.
  // Negative sizes count as 0.
  void Resize(int32_t ARows, int32_t ACols, bool PreserveData) override;

 protected:
  TBfRealMatrixBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ARows, uint32_t ACols);
  TBfRealMatrixBuffer(TBfMemoryBuffer* AOther, int32_t ARows, int32_t ACols);

  void* FindInterface(const TGUID& AIID) noexcept override;

 private:
  template <class F>
  void RowOperation(const Ref<IBfRealBufferArray>& Other, const char* AOperation, F AApply);
  void CheckRow(int32_t ARow) const;

  int32_t FCols = 0;  // items per row
  int32_t FRows = 0;  // number of rows
};

class TBfRealBufferList : public TInterfacedObject, public virtual IBfRealBufferDynamicArray {
 public:
  static Ref<TBfRealBufferList> Create();
  // New buffers sharing the containers of AOther's buffers, in order.
  static Ref<TBfRealBufferList> CreateCopy(const Ref<IBfRealBufferArray>& AOther);
  static Ref<TBfRealBufferList> CreateData(std::initializer_list<Ref<IBfRealBuffer>> AData);
  static Ref<TBfRealBufferList> CreateData(const std::vector<Ref<IBfRealBuffer>>& AData);

  TObject* GetInstance() override { return this; }
  Ref<IBfData> MakeCopy() override;

  // Takes Other's buffer objects themselves (nothing when Other is this list).
  void Assign(const Ref<IBfRealBufferArray>& Other) override;
  int32_t GetMaxSize() const override;
  int32_t GetCount() const override;
  int32_t GetBufferSize(int32_t Index) const override;
  Ref<IBfRealBuffer> GetItem(int32_t Index) const override;
  void SetItem(int32_t Index, const Ref<IBfRealBuffer>& Value) override;
  Real GetItemValue(int32_t Index, int32_t ItemIndex) const override;
  void SetItemValue(int32_t Index, int32_t ItemIndex, Real Value) override;
  // Entry i op Other's entry i, for i below the shorter count.
  void Add(const Ref<IBfRealBufferArray>& Other) override;
  void Subtract(const Ref<IBfRealBufferArray>& Other) override;
  void Multiply(const Ref<IBfRealBufferArray>& Other) override;
  void Divide(const Ref<IBfRealBufferArray>& Other) override;
  void SetValue(Real AValue) override;
  void AddValue(Real AValue) override;
  void SubtractValue(Real AValue) override;
  void MultiplyValue(Real AValue) override;
  void DivideValue(Real AValue) override;
  void Zero() override;
  // Drops entries from the end, resizes the rest, appends new buffers.
  void Resize(int32_t ACount, int32_t ASize, bool PreserveData) override;
  void Append(const Ref<IBfRealBuffer>& AValue) override;

 protected:
  TBfRealBufferList() = default;
  void* FindInterface(const TGUID& AIID) noexcept override;

 private:
  // A snapshot of the entries, for the operations that walk all of them.
  std::vector<Ref<IBfRealBuffer>> Entries() const;
  template <class F>
  void WithOther(const Ref<IBfRealBufferArray>& Other, const char* AOperation, F AApply);

  mutable std::mutex FLock;  // guards FList
  std::vector<Ref<IBfRealBuffer>> FList;
};
