// The buffer of signed 32-bit integers: built like the real buffer (shared
// container, copy on write, the same constructors), item size 4. Its
// operations call one integer primitive each, or are element loops where no
// primitive fits (ModBuffer, ModValue, LShift, RShift, DivideValue, the
// minimum and maximum).
#pragma once

#include <cstdint>

#include "buffers/BfSimpleDataBuffer.h"

struct IBfIntegerBuffer : virtual IBfLinearDataBuffer {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C01}");
  virtual const int32_t* Read() const = 0;
  virtual int32_t* Write() = 0;
  virtual int32_t* Modify() = 0;
  // ERangeError "Index out of range = %u" unless 0 <= AIndex < GetSize.
  virtual int32_t GetItem(int32_t AIndex) const = 0;
  // Takes a private copy first (Unique with PreserveData), then checks.
  virtual void SetItem(int32_t AIndex, int32_t AValue) = 0;
  // Item i op= Right item i for i < n = min(S, R), saturated as the
  // primitives do. Divide: a zero divisor gives 0, INT32_MAX or INT32_MIN by
  // the dividend's sign.
  virtual void Add(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void Subtract(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void Multiply(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void Divide(const Ref<IBfIntegerBuffer>& Right) = 0;
  // Remainder of the division truncated toward zero (sign of the dividend).
  // A zero divisor leaves the item as it is (y = 0 * q + y), and
  // INT32_MIN mod -1 is 0.
  virtual void ModBuffer(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void AndBuffer(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void OrBuffer(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void XorBuffer(const Ref<IBfIntegerBuffer>& Right) = 0;
  // Shift counts are Right item i mod 32; RShift is a logical shift.
  virtual void LShift(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void RShift(const Ref<IBfIntegerBuffer>& Right) = 0;
  virtual void SetValue(int32_t AValue) = 0;
  // Nothing at all (no copy) for AValue 0.
  virtual void AddValue(int32_t AValue) = 0;
  virtual void SubtractValue(int32_t AValue) = 0;
  // Nothing for AValue 1.
  virtual void MultiplyValue(int32_t AValue) = 0;
  // Nothing for AValue 0 or 1; truncated toward zero; INT32_MIN / -1 gives
  // INT32_MAX.
  virtual void DivideValue(int32_t AValue) = 0;
  // As ModBuffer with every divisor AValue.
  virtual void ModValue(int32_t AValue) = 0;
  // Nothing for AValue -1 (all bits set).
  virtual void AndValue(int32_t AValue) = 0;
  // Nothing for AValue 0.
  virtual void OrValue(int32_t AValue) = 0;
  virtual void XorValue(int32_t AValue) = 0;
  virtual void LShiftValue(int32_t AValue) = 0;
  virtual void RShiftValue(int32_t AValue) = 0;
  virtual void Zero() = 0;
  // Saturated; 0 when n = 0.
  virtual int32_t Dot(const Ref<IBfIntegerBuffer>& Right) const = 0;
  // 0 for an empty buffer; the first of equal extremes.
  virtual int32_t GetMinValue() const = 0;
  virtual int32_t GetMaxValue() const = 0;
};

class TBfIntegerBuffer : public TBfLinearMemoryBuffer, public virtual IBfIntegerBuffer {
 public:
  static constexpr uint32_t IntegerSize = 4;  // item size [bytes]

  static Ref<TBfIntegerBuffer> Create();
  // ASize [items], contents undefined.
  static Ref<TBfIntegerBuffer> CreateSize(uint32_t ASize);
  // A copy of ASize integers from AData.
  static Ref<TBfIntegerBuffer> CreateData(const int32_t* AData, uint32_t ASize);
  static Ref<TBfIntegerBuffer> CreateValue(int32_t AValue, uint32_t ASize);
  // Share the other buffer's container.
  static Ref<TBfIntegerBuffer> CreateEx(TBfIntegerBuffer* AOther);
  static Ref<TBfIntegerBuffer> CreateCopy(const Ref<IBfIntegerBuffer>& AOther);
  // Any memory buffer (else EIntfCastError); its bytes read as integers.
  static Ref<TBfIntegerBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  Ref<IBfData> MakeCopy() override;
  // Between two integer buffers offsets and ACount are items; otherwise
  // bytes (the generic version). Ranges outside either buffer raise
  // ERangeError before anything is touched.
  void CopyTo(uint32_t ASrcOffset, const Ref<IBfDataBuffer>& ADest, uint32_t ADestOffset,
              uint32_t ACount) override;
  // False unless AOther's object is an integer buffer; then byte-wise.
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  uint32_t GetSize() const override { return FCharSize / IntegerSize; }
  [[nodiscard]] TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize) override;
  uint32_t GetItemSize() const override { return IntegerSize; }
  TBfSmartMemoryBuffer* pBuffer() const { return MemoryBuffer(); }

  const int32_t* Read() const override { return reinterpret_cast<const int32_t*>(FDataPtr); }
  int32_t* Write() override;
  int32_t* Modify() override;
  int32_t GetItem(int32_t AIndex) const override;
  void SetItem(int32_t AIndex, int32_t AValue) override;

  void Add(const Ref<IBfIntegerBuffer>& Right) override;
  void Subtract(const Ref<IBfIntegerBuffer>& Right) override;
  void Multiply(const Ref<IBfIntegerBuffer>& Right) override;
  void Divide(const Ref<IBfIntegerBuffer>& Right) override;
  void ModBuffer(const Ref<IBfIntegerBuffer>& Right) override;
  void AndBuffer(const Ref<IBfIntegerBuffer>& Right) override;
  void OrBuffer(const Ref<IBfIntegerBuffer>& Right) override;
  void XorBuffer(const Ref<IBfIntegerBuffer>& Right) override;
  void LShift(const Ref<IBfIntegerBuffer>& Right) override;
  void RShift(const Ref<IBfIntegerBuffer>& Right) override;
  void SetValue(int32_t AValue) override;
  void AddValue(int32_t AValue) override;
  void SubtractValue(int32_t AValue) override;
  void MultiplyValue(int32_t AValue) override;
  void DivideValue(int32_t AValue) override;
  void ModValue(int32_t AValue) override;
  void AndValue(int32_t AValue) override;
  void OrValue(int32_t AValue) override;
  void XorValue(int32_t AValue) override;
  void LShiftValue(int32_t AValue) override;
  void RShiftValue(int32_t AValue) override;
  void Zero() override;
  int32_t Dot(const Ref<IBfIntegerBuffer>& Right) const override;
  int32_t GetMinValue() const override;
  int32_t GetMaxValue() const override;

  // The defined integer quotient and remainder of the buffer operations:
  // truncated toward zero; INT32_MIN / -1 saturates to INT32_MAX with
  // remainder 0; a zero divisor gives the quotient rule of the division
  // primitive (0, INT32_MAX or INT32_MIN by the dividend's sign) and the
  // remainder y.
  static int32_t Quotient(int32_t AY, int32_t AX) noexcept;
  static int32_t Remainder(int32_t AY, int32_t AX) noexcept;

 protected:
  TBfIntegerBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize)
      : TBfLinearMemoryBuffer(ADataContainer, ASize) {}
  explicit TBfIntegerBuffer(TBfMemoryBuffer* AOther) : TBfLinearMemoryBuffer(AOther) {}

  void* FindInterface(const TGUID& AIID) noexcept override;
};
