// The buffer of bytes: raw bytes of any kind (CreateUniversal shares any
// memory buffer's storage and reads its bytes), with saturating arithmetic.
#pragma once

#include <cstdint>

#include "buffers/BfSimpleDataBuffer.h"

struct IBfBlockBuffer : virtual IBfLinearDataBuffer {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C06}");
  virtual const uint8_t* Read() const = 0;
  virtual uint8_t* Write() = 0;
  virtual uint8_t* Modify() = 0;
  // Byte i op= Right byte i for i < n, saturated to 0 ... 255.
  virtual void Add(const Ref<IBfBlockBuffer>& Right) = 0;
  virtual void Subtract(const Ref<IBfBlockBuffer>& Right) = 0;
  virtual void Multiply(const Ref<IBfBlockBuffer>& Right) = 0;
  // Unsigned integer division. A zero divisor gives 255 for a non-zero byte
  // and 0 for a zero byte (the saturation rule of the division primitives:
  // the quotient's limit in the direction of the dividend).
  virtual void Divide(const Ref<IBfBlockBuffer>& Right) = 0;
  virtual void SetValue(uint8_t AValue) = 0;
  virtual void Zero() = 0;
  // ERangeError "Index out of range = %u" unless 0 <= Index < GetSize
  // (a negative index shows as its unsigned 32-bit value).
  virtual uint8_t GetItem(int32_t Index) const = 0;
  // Unique (PreserveData) first, then the same check.
  virtual void SetItem(int32_t Index, uint8_t Value) = 0;
};

class TBfBlockBuffer : public TBfLinearMemoryBuffer, public virtual IBfBlockBuffer {
 public:
  static Ref<TBfBlockBuffer> Create();
  static Ref<TBfBlockBuffer> CreateSize(uint32_t ASize);
  // A copy of ASize bytes.
  static Ref<TBfBlockBuffer> CreateData(const void* AData, uint32_t ASize);
  static Ref<TBfBlockBuffer> CreateEx(TBfBlockBuffer* AOther);
  static Ref<TBfBlockBuffer> CreateCopy(const Ref<IBfBlockBuffer>& AOther);
  // Shares the container of any memory buffer (else EIntfCastError).
  static Ref<TBfBlockBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  Ref<IBfData> MakeCopy() override;
  // Another block buffer with equal bytes.
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  uint32_t GetSize() const override { return FCharSize; }
  uint32_t GetItemSize() const override { return 1; }
  [[nodiscard]] TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize) override;
  TBfSmartMemoryBuffer* pBuffer() const { return MemoryBuffer(); }

  const uint8_t* Read() const override { return FDataPtr; }
  uint8_t* Write() override { return ByteWrite(); }
  uint8_t* Modify() override { return ByteModify(); }
  void Add(const Ref<IBfBlockBuffer>& Right) override;
  void Subtract(const Ref<IBfBlockBuffer>& Right) override;
  void Multiply(const Ref<IBfBlockBuffer>& Right) override;
  void Divide(const Ref<IBfBlockBuffer>& Right) override;
  void SetValue(uint8_t AValue) override;
  void Zero() override;
  uint8_t GetItem(int32_t Index) const override;
  void SetItem(int32_t Index, uint8_t Value) override;

 protected:
  TBfBlockBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize) : TBfLinearMemoryBuffer(ADataContainer, ASize) {}
  explicit TBfBlockBuffer(TBfMemoryBuffer* AOther) : TBfLinearMemoryBuffer(AOther) {}

  void* FindInterface(const TGUID& AIID) noexcept override;
};
