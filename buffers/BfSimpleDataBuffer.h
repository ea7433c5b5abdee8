// Buffers: the interfaces every piece of travelling data is held
// through, the buffer class chain
//   TBfBasicBuffer -> TBfGenericBuffer -> TBfMemoryBuffer
//     -> TBfLinearMemoryBuffer -> TBfRealBuffer
// and the core of the real buffer.
//
// A buffer does not own its numbers: it is attached to a data container of
// BfInternalStore.h, which any number of buffers may share. Copies
// (MakeCopy, CreateCopy, CreateEx, CreateUniversal, Assign) only attach; the
// data are duplicated when a buffer asks for write access while its container
// has two or more owners (copy on write, MakeUnique).
//
// Units: "size [bytes]" is FCharSize, GetByteSize, GetCharSize; "count
// [items]" is GetSize. CopyTo takes items between two real buffers and bytes
// otherwise (see there).
//
// Threads: a buffer object is used by one thread at a time while it is
// written. Different buffer objects sharing one container may be used by
// different threads; the container's counts are guarded by its own lock,
// which is held only for the copy-on-write decision.
//
// Construction: buffers are created only through the static Create...
// functions, which return the first reference and run AfterConstruction (the
// after-construction hook calls SetDataContainer once). C++ constructors are
// protected so that descendants (integer, complex, byte, matrix buffers) can
// chain to them.
#pragma once

#include <cstdint>
#include <string>

#include "buffers/BfInternalStore.h"
#include "platform/Interfaces.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

class TBfGenericBuffer;
class TBfSequenceStamp;

// ---------------------------------------------------------------------------
// Interfaces

// Root of every piece of data that travels between components.
struct IBfData : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{D017345E-52FB-4885-B674-2C522F65C52C}");
  // The implementing object.
  virtual TObject* GetInstance() = 0;
  // A new object of the same class sharing the same data (no copy).
  virtual Ref<IBfData> MakeCopy() = 0;
};

struct IBfDataBuffer : virtual IBfData {
  static constexpr TGUID IID = MakeGUID("{2B6193B8-B374-428E-9520-8B09F615C679}");
  // Attaches to the other buffer's container (no copy).
  virtual void Assign(const Ref<IBfDataBuffer>& AOtherBuffer) = 0;
  // Byte-wise equality of the bytes in use.
  virtual bool IsEqual(const Ref<IBfDataBuffer>& AOther) const = 0;
  // The first data byte. ByteRead: no copy, so the bytes may be shared with
  // other buffers and are read-only (the pointer is to const: writing
  // through it would change every sharer). ByteWrite and ByteModify: after a
  // private container has been taken when shared (contents undefined for
  // ByteWrite, kept for ByteModify).
  virtual const uint8_t* ByteRead() const = 0;
  virtual uint8_t* ByteWrite() = 0;
  virtual uint8_t* ByteModify() = 0;
  // Size [bytes].
  virtual uint32_t GetByteSize() const = 0;
  // Count [items] (bytes for buffers without an item type).
  virtual uint32_t GetSize() const = 0;
  virtual TBfSequenceStamp* GetSequenceStamp() = 0;
  // Copies ACount units from ASrcOffset of this buffer to ADestOffset of
  // ADest; units are items between two real buffers, bytes otherwise.
  virtual void CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
                      uint32_t ACount) = 0;
  // Copy on write: a private container when the container has two or more
  // owners.
  virtual void Unique(bool APreserveData) = 0;
  // The data bytes only, no header.
  virtual void SaveToFile(const std::string& AFileName) const = 0;
  virtual void LoadFromFile(const std::string& AFileName) = 0;
};

// Every generic buffer provides it; Assign asks for it.
struct IBfGenericBuffer : virtual IBfDataBuffer {
  static constexpr TGUID IID = MakeGUID("{B9354982-F6B3-4632-A3BB-4C0163E739B9}");
};

struct IBfLinearDataBuffer : virtual IBfDataBuffer {
  static constexpr TGUID IID = MakeGUID("{0B636E71-7EE0-49CB-AD4A-B9AF174CAA45}");
  // New count [items]; see TBfLinearMemoryBuffer::Resize.
  virtual void Resize(uint32_t ASize, bool APreserveData) = 0;
};

// Enumerations of the real buffer's operations.
enum TBfThresholdType { ttGreaterThan, ttLessThan };
enum TBfAutoCorrType { actNormal, actBiased, actUnbiased };
enum TBfNormType { ntL1Norm, ntL2Norm, ntCNorm };

struct IBfRealBuffer : virtual IBfLinearDataBuffer {
  static constexpr TGUID IID = MakeGUID("{DFC6EA92-7BC2-4F30-BCC0-DF9CEAE9951E}");
  // Item 0 of the block: Read no check and no copy, read-only since the
  // items may be shared; Write a private container with undefined contents
  // when shared; Modify a private container holding a copy when shared.
  virtual const Real* Read() const = 0;
  virtual Real* Write() = 0;
  virtual Real* Modify() = 0;
  // ERangeError "Index out of range = %u" unless 0 <= AIndex < GetSize.
  virtual Real GetItem(int32_t AIndex) const = 0;
  // Takes a private copy first (Unique with PreserveData), then checks.
  virtual void SetItem(int32_t AIndex, Real AValue) = 0;

  // Vector operations (implemented in BfRealBufferOps.cpp). S is this
  // buffer's count, R the other buffer's, n = min(S, R). In-place operations
  // take Modify (a sharing partner keeps its values), operations whose result
  // does not depend on the old items (Set, Zero, From...) take Write, and
  // reading operations take Read and never move the buffer. A null buffer
  // argument raises Exception. Primitive statuses are ignored except the
  // division-by-zero warning of Divide.
  // Test signal: the Jaehne vector of magnitude AMagnitude over all items.
  virtual void VectorJaehne(Real AMagnitude) = 0;
  // Item i op= Right item i for i < n.
  virtual void Add(const Ref<IBfRealBuffer>& Right) = 0;
  virtual void Subtract(const Ref<IBfRealBuffer>& Right) = 0;
  virtual void Multiply(const Ref<IBfRealBuffer>& Right) = 0;
  // Then the zero-divisor rule: a NaN divisor gives 0.0; a zero divisor
  // gives 1.0e15 for a positive quotient, 0.0 for 0/0, -1.0e14 otherwise.
  virtual void Divide(const Ref<IBfRealBuffer>& Right) = 0;
  virtual void SetValue(Real AValue) = 0;
  // Nothing at all (no copy) for AValue 0.
  virtual void AddValue(Real AValue) = 0;
  virtual void SubtractValue(Real AValue) = 0;
  // Nothing for AValue 1.
  virtual void MultiplyValue(Real AValue) = 0;
  // Nothing for AValue 0 or 1.
  virtual void DivideValue(Real AValue) = 0;
  virtual void Zero() = 0;
  // S integers: rounded to nearest (ties to even) or truncated, saturated.
  virtual void ToInt(int32_t* OutBuffer, bool ARound) const = 0;
  // S 16-bit integers: the low 16 bits of the rounded or truncated value
  // (wraps around; NaN and values beyond the 64-bit range give 0).
  virtual void ToShort(int16_t* OutBuffer, bool ARound) const = 0;
  virtual void ToSingle(float* OutBuffer) const = 0;
  virtual void FromInt(const int32_t* InBuffer) = 0;
  virtual void FromShort(const int16_t* InBuffer) = 0;
  virtual void FromSingle(const float* InBuffer) = 0;
  // Item i := (Src item i - Offset) / Factor for i < n.
  virtual void NormalizeFrom(const Ref<IBfRealBuffer>& Src, Real Offset, Real Factor) = 0;
  virtual void Normalize(Real Offset, Real Factor) = 0;
  // 0.0 when n = 0.
  virtual Real Dot(const Ref<IBfRealBuffer>& Right) const = 0;
  virtual void Threshold(Real AThreshold, TBfThresholdType AType) = 0;
  virtual void ThresholdFrom(const Ref<IBfRealBuffer>& Src, Real AThreshold, TBfThresholdType AType) = 0;
  virtual void Sqr() = 0;
  virtual void SqrFrom(const Ref<IBfRealBuffer>& Src) = 0;
  virtual void Sqrt() = 0;
  virtual void SqrtFrom(const Ref<IBfRealBuffer>& Src) = 0;
  // Correlation: autocorrelation of the first items of Src (n = min of the
  // two sizes lags), cross-correlation of Src1 and Src2 at lags LoLag + k.
  virtual void AutoCorr(const Ref<IBfRealBuffer>& Src, TBfAutoCorrType AType) = 0;
  virtual void CrossCorr(const Ref<IBfRealBuffer>& Src1, const Ref<IBfRealBuffer>& Src2, int32_t LoLag) = 0;
  virtual void Abs() = 0;
  virtual void AbsFrom(const Ref<IBfRealBuffer>& Src) = 0;
  virtual void Exp() = 0;
  virtual void ExpFrom(const Ref<IBfRealBuffer>& Src) = 0;
  virtual void Ln() = 0;
  virtual void LnFrom(const Ref<IBfRealBuffer>& Src) = 0;
  virtual Real Mean() const = 0;
  virtual Real StdDev() const = 0;
  // Convolution of Src and H into the first RS + RH - 1 items (as many as
  // fit).
  virtual void Convolve(const Ref<IBfRealBuffer>& Src, const Ref<IBfRealBuffer>& H) = 0;
  // Norm of the difference of Src's and this buffer's first S items.
  virtual Real Norm(const Ref<IBfRealBuffer>& Src, TBfNormType AType) const = 0;
  // 0.0 (and index 0) for an empty buffer.
  virtual Real GetMinValue() const = 0;
  virtual Real GetMaxValue() const = 0;
  virtual Real GetMinIndex(int32_t& AIndex) const = 0;
  virtual Real GetMaxIndex(int32_t& AIndex) const = 0;
  // Over the clamped range [IndexBegin, IndexEnd).
  virtual Real GetMin(int32_t IndexBegin, int32_t IndexEnd) const = 0;
  virtual Real GetMax(int32_t IndexBegin, int32_t IndexEnd) const = 0;
  // The same, ignoring the marker values -1.7e308 and 1.7e308.
  virtual Real GetMinRestricted(int32_t IndexBegin, int32_t IndexEnd) const = 0;
  virtual Real GetMaxRestricted(int32_t IndexBegin, int32_t IndexEnd) const = 0;
};

// ---------------------------------------------------------------------------
// Sequence stamp

// The number that holders of a stream stamp on the data. It lives in the
// container the buffer is attached to at the moment of the call, so all
// buffers sharing a container see the same number, and a container made by
// copy on write or Resize starts with Available false and BufferNumber 0.
// Not synchronised.
class TBfSequenceStamp : public TObject {
 public:
  explicit TBfSequenceStamp(TBfGenericBuffer* AIntBuffer) noexcept : FIntBuffer(AIntBuffer) {}

  bool GetAvailable() const;
  void SetAvailable(bool AValue);
  int64_t GetBufferNumber() const;
  void SetBufferNumber(int64_t AValue);

 private:
  TBfGenericBuffer* FIntBuffer;  // the buffer owning this stamp (not counted)
};

// ---------------------------------------------------------------------------
// Buffer classes

class TBfBasicBuffer : public TInterfacedObject, public virtual IBfData {
 public:
  TObject* GetInstance() override { return this; }
  // Slot 1: a new buffer of the same class attached to the same container.
  Ref<IBfData> MakeCopy() override = 0;
  // Slot 2: MakeCopy as IBfData.
  virtual Ref<IBfData> MakeIntfCopy();
  // This buffer's own IBfData.
  Ref<IBfData> GetDataIntf();

 protected:
  TBfBasicBuffer() = default;
  void* FindInterface(const TGUID& AIID) noexcept override;

  // The pattern of MakeObject for classes with protected constructors: takes
  // a freshly constructed object, gives it its first reference and runs the
  // after-construction hook (the object is freed if the hook throws).
  template <class T>
  static Ref<T> Construct(T* AObject) {
    Ref<T> r(AObject);
    r->AfterConstruction();
    return r;
  }
};

class TBfGenericBuffer : public TBfBasicBuffer,
                         public virtual IBfDataBuffer,
                         public virtual IBfGenericBuffer {
 public:
  // Attaches to ADataContainer; FCharSize := ASize [bytes], FDataPtr nil.
  static Ref<TBfGenericBuffer> Create(TBfSmartBuffer* ADataContainer, uint32_t ASize);
  // Attaches to AOther's container with its FCharSize and FDataPtr.
  static Ref<TBfGenericBuffer> CreateEx(TBfGenericBuffer* AOther);
  static Ref<TBfGenericBuffer> CreateCopy(const Ref<IBfGenericBuffer>& AOther);
  // AOther's object must be a buffer of this chain (else EIntfCastError).
  static Ref<TBfGenericBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  // Detaches from the container (which may destroy it).
  ~TBfGenericBuffer() override;

  // Calls SetDataContainer(pDataContainer) once the object is complete.
  void AfterConstruction() override;

  Ref<IBfData> MakeCopy() override;

  // Slot 3. Generic: ACount bytes from ByteRead + ASrcOffset to ADest's
  // ByteModify + ADestOffset through ippsCopy_8u. Ranges that leave either
  // buffer raise ERangeError "Index out of range = %u" (the first offset
  // outside) before anything is touched.
  void CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
              uint32_t ACount) override;
  // Slot 4. Attaches to the other buffer's container (unless it is this
  // buffer or already the same container); FCharSize and FDataPtr become the
  // other's. FOwnsData is kept. EIntfCastError (nothing changed) when the
  // other provides no IBfGenericBuffer or is not a buffer this class can
  // attach to.
  void Assign(const Ref<IBfDataBuffer>& AOtherBuffer) override;
  // Slot 5. Same byte size and equal bytes (two empty buffers are equal).
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  // Slot 6. MakeUnique, result dropped.
  void Unique(bool APreserveData) override;
  // Slot 7. Copy on write: when the container has two or more owners, moves
  // this buffer to Clone(APreserveData) and returns true; false when it
  // writes in place. Raises EOutOfMemory with the buffer left where it was.
  [[nodiscard]] virtual bool MakeUnique(bool APreserveData);
  // Slots 8, 9: FCharSize (size [bytes]).
  uint32_t GetByteSize() const override;
  uint32_t GetSize() const override;
  // Slot 10: nothing here; memory buffers cache the block pointer.
  virtual void UpdateDataPtr();
  // Slots 11 to 13.
  const uint8_t* ByteRead() const override;
  uint8_t* ByteWrite() override;
  uint8_t* ByteModify() override;
  // Slot 15: this buffer stops counting as an owner (once; nothing sets it
  // back).
  virtual void RemoveOwnerShip();

  Ref<IBfDataBuffer> GetDataBufferIntf();
  bool OwnsData() const { return FOwnsData; }
  // Creates (truncates) the file and writes GetByteSize bytes from ByteRead.
  // File errors (EFCreateError, EWriteError) name the file.
  void SaveToFile(const std::string& AFileName) const override;
  // Reads exactly GetByteSize bytes into ByteWrite; the size never changes;
  // extra bytes in the file are ignored. EFOpenError or EReadError (short
  // file) name the file; after a failed read the contents are undefined.
  void LoadFromFile(const std::string& AFileName) override;
  TBfSequenceStamp* GetSequenceStamp() override { return &FSequenceStamp; }

  // The attached container (identity checks, counts).
  TBfSmartBuffer* GetDataContainer() const { return pDataContainer; }
  // Slot 14: stores the reference in pDataContainer and nothing else: no
  // AddReff, no RemoveReff, no UpdateDataPtr. Whoever calls it has already
  // counted the attachment (MakeUnique, Resize and Assign do it in that
  // order); descendants override it to react to a new container.
  virtual void SetDataContainer(TBfSmartBuffer* AContainer);

 protected:
  TBfGenericBuffer(TBfSmartBuffer* ADataContainer, uint32_t ASize);
  explicit TBfGenericBuffer(TBfGenericBuffer* AOther);

  // Whether this class can work on AContainer (Assign checks it before
  // changing anything). Generic buffers take any container.
  virtual bool AcceptsDataContainer(TBfSmartBuffer* AContainer) const;

  void* FindInterface(const TGUID& AIID) noexcept override;

  // The buffer object behind an interface of this chain; EIntfCastError when
  // AData is empty or not implemented by a TBfGenericBuffer.
  static TBfGenericBuffer* GenericInstance(IBfData* AData);

  TBfSequenceStamp FSequenceStamp;
  uint8_t* FDataPtr = nullptr;  // first data byte (memory buffers: the block)
  uint32_t FCharSize = 0;       // size in use [bytes]: count [items] x item size
  TBfSmartBuffer* pDataContainer = nullptr;
  bool FOwnsData = true;

  friend class TBfSequenceStamp;
};

class TBfMemoryBuffer : public TBfGenericBuffer {
 public:
  // Attaches to ADataContainer; FCharSize := ASize [bytes].
  static Ref<TBfMemoryBuffer> Create(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize);
  // A new container for ASize bytes.
  static Ref<TBfMemoryBuffer> CreateSize(uint32_t ASize);
  static Ref<TBfMemoryBuffer> CreateEx(TBfMemoryBuffer* AOther);

  Ref<IBfData> MakeCopy() override;
  // FDataPtr := block of MemoryBuffer.
  void UpdateDataPtr() override;
  // Slot 16: a new memory container for ASize items (ASize x GetItemSize
  // bytes). EOutOfMemory above 2^30 bytes, computed without overflow.
  [[nodiscard]] virtual TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize);
  // Slot 17: bytes per item; 1 here.
  virtual uint32_t GetItemSize() const;
  // Slot 18: FCharSize [bytes].
  virtual uint32_t GetCharSize() const;

  // Property MemoryBuffer (read): the attached container. A memory buffer is
  // only ever attached to memory containers (its constructors take one,
  // clones keep the class, Assign refuses others).
  TBfSmartMemoryBuffer* MemoryBuffer() const {
    return static_cast<TBfSmartMemoryBuffer*>(pDataContainer);
  }
  // Property MemoryBuffer (write): SetDataContainer, no counting (see there).
  void SetMemoryBuffer(TBfSmartMemoryBuffer* AContainer) { SetDataContainer(AContainer); }

 protected:
  TBfMemoryBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize);
  explicit TBfMemoryBuffer(TBfMemoryBuffer* AOther);

  // Memory buffers work only on memory containers.
  bool AcceptsDataContainer(TBfSmartBuffer* AContainer) const override;
};

class TBfLinearMemoryBuffer : public TBfMemoryBuffer, public virtual IBfLinearDataBuffer {
 public:
  // A byte buffer: ASize bytes in a new container.
  static Ref<TBfLinearMemoryBuffer> CreateSize(uint32_t ASize);
  static Ref<TBfLinearMemoryBuffer> CreateEx(TBfLinearMemoryBuffer* AOther);

  Ref<IBfData> MakeCopy() override;

  // Slot 19: new count ASize [items]:
  //  1. ASize 0: size 0, same container.
  //  2. ASize = GetSize: nothing (even when shared).
  //  3. APreserveData, smaller: only this buffer's view shrinks, same
  //     container, shared or not.
  //  4. APreserveData, single owner, the block holds ASize items: grows in
  //     place; new items hold whatever the block held.
  //  5. Otherwise a new container from CreateDataContainer (with
  //     APreserveData the old block is copied, min of the two sizes).
  // EOutOfMemory (buffer unchanged) when the new block cannot be had or is
  // above 2^30 bytes.
  void Resize(uint32_t ASize, bool APreserveData) override;

 protected:
  TBfLinearMemoryBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize)
      : TBfMemoryBuffer(ADataContainer, ASize) {}
  explicit TBfLinearMemoryBuffer(TBfMemoryBuffer* AOther) : TBfMemoryBuffer(AOther) {}

  void* FindInterface(const TGUID& AIID) noexcept override;
};

// A reference-counted vector of Reals: item i at byte 8*i of the block.
class TBfRealBuffer : public TBfLinearMemoryBuffer, public virtual IBfRealBuffer {
 public:
  static constexpr uint32_t RealSize = sizeof(Real);  // item size [bytes]

  // Size 0 in a new container (a 4-byte block).
  static Ref<TBfRealBuffer> Create();
  // ASize [items], contents undefined.
  static Ref<TBfRealBuffer> CreateSize(uint32_t ASize);
  // A copy of ASize Reals from AData (undefined if AData is nullptr).
  static Ref<TBfRealBuffer> CreateData(const Real* AData, uint32_t ASize);
  // Every item AValue.
  static Ref<TBfRealBuffer> CreateValue(Real AValue, uint32_t ASize);
  // Exact conversions of ASize items (contents undefined if AData is
  // nullptr).
  static Ref<TBfRealBuffer> CreateWordData(const uint16_t* AData, uint32_t ASize);
  static Ref<TBfRealBuffer> CreateSmallIntData(const int16_t* AData, uint32_t ASize);
  static Ref<TBfRealBuffer> CreateCardinalData(const uint32_t* AData, uint32_t ASize);
  static Ref<TBfRealBuffer> CreateIntegerData(const int32_t* AData, uint32_t ASize);
  static Ref<TBfRealBuffer> CreateSingleData(const float* AData, uint32_t ASize);
  // Shares AOther's container.
  static Ref<TBfRealBuffer> CreateEx(TBfRealBuffer* AOther);
  // Shares the container of AOther's object (a memory buffer; else
  // EIntfCastError), with its size [bytes].
  static Ref<TBfRealBuffer> CreateCopy(const Ref<IBfRealBuffer>& AOther);
  // Shares the container of AOther's object, which must be a memory buffer
  // of any item type (else EIntfCastError); its bytes read as Reals, count =
  // byte count / 8.
  static Ref<TBfRealBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  // CreateEx(this).
  Ref<IBfData> MakeCopy() override;
  // Between two real buffers offsets and ACount are counts [items] and the
  // copy goes through ippsCopy_64f from Read to the destination's Modify;
  // for any other destination the generic byte version runs with the same
  // numbers taken as bytes.
  void CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
              uint32_t ACount) override;
  // False unless AOther's object is a TBfRealBuffer; then byte-wise (+0.0
  // and -0.0 differ, NaNs with the same bits are equal).
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  // Count [items]: FCharSize / 8.
  uint32_t GetSize() const override { return FCharSize / RealSize; }
  [[nodiscard]] TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize) override;
  uint32_t GetItemSize() const override { return RealSize; }

  const Real* Read() const override { return reinterpret_cast<const Real*>(FDataPtr); }
  Real* Write() override;
  Real* Modify() override;
  Real GetItem(int32_t AIndex) const override;
  void SetItem(int32_t AIndex, Real AValue) override;

  // Property pBuffer: the same as MemoryBuffer.
  TBfSmartMemoryBuffer* pBuffer() const { return MemoryBuffer(); }

  // The vector operations (BfRealBufferOps.cpp).
  void VectorJaehne(Real AMagnitude) override;
  void Add(const Ref<IBfRealBuffer>& Right) override;
  void Subtract(const Ref<IBfRealBuffer>& Right) override;
  void Multiply(const Ref<IBfRealBuffer>& Right) override;
  void Divide(const Ref<IBfRealBuffer>& Right) override;
  void SetValue(Real AValue) override;
  void AddValue(Real AValue) override;
  void SubtractValue(Real AValue) override;
  void MultiplyValue(Real AValue) override;
  void DivideValue(Real AValue) override;
  void Zero() override;
  void ToInt(int32_t* OutBuffer, bool ARound) const override;
  void ToShort(int16_t* OutBuffer, bool ARound) const override;
  void ToSingle(float* OutBuffer) const override;
  void FromInt(const int32_t* InBuffer) override;
  void FromShort(const int16_t* InBuffer) override;
  void FromSingle(const float* InBuffer) override;
  void NormalizeFrom(const Ref<IBfRealBuffer>& Src, Real Offset, Real Factor) override;
  void Normalize(Real Offset, Real Factor) override;
  Real Dot(const Ref<IBfRealBuffer>& Right) const override;
  void Threshold(Real AThreshold, TBfThresholdType AType) override;
  void ThresholdFrom(const Ref<IBfRealBuffer>& Src, Real AThreshold, TBfThresholdType AType) override;
  void Sqr() override;
  void SqrFrom(const Ref<IBfRealBuffer>& Src) override;
  void Sqrt() override;
  void SqrtFrom(const Ref<IBfRealBuffer>& Src) override;
  void AutoCorr(const Ref<IBfRealBuffer>& Src, TBfAutoCorrType AType) override;
  void CrossCorr(const Ref<IBfRealBuffer>& Src1, const Ref<IBfRealBuffer>& Src2, int32_t LoLag) override;
  void Abs() override;
  void AbsFrom(const Ref<IBfRealBuffer>& Src) override;
  void Exp() override;
  void ExpFrom(const Ref<IBfRealBuffer>& Src) override;
  void Ln() override;
  void LnFrom(const Ref<IBfRealBuffer>& Src) override;
  Real Mean() const override;
  Real StdDev() const override;
  void Convolve(const Ref<IBfRealBuffer>& Src, const Ref<IBfRealBuffer>& H) override;
  Real Norm(const Ref<IBfRealBuffer>& Src, TBfNormType AType) const override;
  Real GetMinValue() const override;
  Real GetMaxValue() const override;
  Real GetMinIndex(int32_t& AIndex) const override;
  Real GetMaxIndex(int32_t& AIndex) const override;
  Real GetMin(int32_t IndexBegin, int32_t IndexEnd) const override;
  Real GetMax(int32_t IndexBegin, int32_t IndexEnd) const override;
  Real GetMinRestricted(int32_t IndexBegin, int32_t IndexEnd) const override;
  Real GetMaxRestricted(int32_t IndexBegin, int32_t IndexEnd) const override;
  // Read-only properties Min and Max.
  Real Min() const { return GetMinValue(); }
  Real Max() const { return GetMaxValue(); }

 protected:
  TBfRealBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize)
      : TBfLinearMemoryBuffer(ADataContainer, ASize) {}
  explicit TBfRealBuffer(TBfMemoryBuffer* AOther) : TBfLinearMemoryBuffer(AOther) {}

  void* FindInterface(const TGUID& AIID) noexcept override;

  // Raises ERangeError "Index out of range = %u" with AIndex as its unsigned
  // 32-bit value (a negative index shows as 2^32 + AIndex).
  [[noreturn]] static void RaiseIndexError(int32_t AIndex);
};
