// The buffer of complex numbers (TFlRealComplex: real part, then imaginary
// part, 16 bytes): built like the real buffer, with the complex primitives
// of the dispatch table, correlation included.
#pragma once

#include <cstdint>

#include "buffers/BfSimpleDataBuffer.h"

struct IBfComplexBuffer : virtual IBfLinearDataBuffer {
  static constexpr TGUID IID = MakeGUID("{6E0C3D52-8B1F-4C7A-9E25-3F4D7A8B1C02}");
  virtual const TFlRealComplex* Read() const = 0;
  virtual TFlRealComplex* Write() = 0;
  virtual TFlRealComplex* Modify() = 0;
  // ERangeError "Index out of range = %u" unless 0 <= AIndex < GetSize.
  virtual TFlRealComplex GetItem(int32_t AIndex) const = 0;
  // Takes a private copy first, then checks.
  virtual void SetItem(int32_t AIndex, const TFlRealComplex& AValue) = 0;
  // New real buffers of S items; this buffer is only read.
  virtual Ref<IBfRealBuffer> GetReal() const = 0;
  virtual Ref<IBfRealBuffer> GetImaginary() const = 0;
  // Item i op= Right item i for i < n.
  virtual void Add(const Ref<IBfComplexBuffer>& Right) = 0;
  virtual void Subtract(const Ref<IBfComplexBuffer>& Right) = 0;
  virtual void Multiply(const Ref<IBfComplexBuffer>& Right) = 0;
  virtual void Divide(const Ref<IBfComplexBuffer>& Right) = 0;
  // Every item op (AReal, AImag); no neutral-value shortcut.
  virtual void AddValue(Real AReal, Real AImag) = 0;
  virtual void SubtractValue(Real AReal, Real AImag) = 0;
  virtual void MultiplyValue(Real AReal, Real AImag) = 0;
  virtual void DivideValue(Real AReal, Real AImag) = 0;
  // Resize(n, false) with n the shorter part, then item i := (re i, im i).
  virtual void SetBuffer(const Ref<IBfRealBuffer>& AReal, const Ref<IBfRealBuffer>& AImag) = 0;
  virtual void SetValue(Real AReal, Real AImag) = 0;
  virtual void SetValue(const TFlRealComplex& AValue) = 0;
  virtual void Zero() = 0;
  // Item i := (Src item i - Offset) / Factor for i < n.
  virtual void NormalizeFrom(const Ref<IBfComplexBuffer>& Src, const TFlRealComplex& Offset, Real Factor) = 0;
  virtual void Normalize(const TFlRealComplex& Offset, Real Factor) = 0;
  // Sum of Src item i x item i (no conjugation); (0, 0) when n = 0.
  virtual TFlRealComplex Dot(const Ref<IBfComplexBuffer>& Src) const = 0;
  virtual void Threshold(Real AThreshold, TBfThresholdType AType) = 0;
  virtual void ThresholdFrom(const Ref<IBfComplexBuffer>& Src, Real AThreshold, TBfThresholdType AType) = 0;
  virtual void Sqr() = 0;
  virtual void SqrFrom(const Ref<IBfComplexBuffer>& Src) = 0;
  virtual void Sqrt() = 0;
  virtual void SqrtFrom(const Ref<IBfComplexBuffer>& Src) = 0;
  virtual void AutoCorr(const Ref<IBfComplexBuffer>& Src, TBfAutoCorrType AType) = 0;
  virtual void CrossCorr(const Ref<IBfComplexBuffer>& Src1, const Ref<IBfComplexBuffer>& Src2, int32_t LoLag) = 0;
  virtual Ref<IBfRealBuffer> Phase() const = 0;
  virtual Ref<IBfRealBuffer> Magnitude() const = 0;
  virtual Ref<IBfRealBuffer> PowerSpectrum() const = 0;
};

class TBfComplexBuffer : public TBfLinearMemoryBuffer, public virtual IBfComplexBuffer {
 public:
  static constexpr uint32_t ComplexSize = sizeof(TFlRealComplex);  // item size [bytes]

  static Ref<TBfComplexBuffer> Create();
  static Ref<TBfComplexBuffer> CreateSize(uint32_t ASize);
  static Ref<TBfComplexBuffer> CreateData(const TFlRealComplex* AData, uint32_t ASize);
  static Ref<TBfComplexBuffer> CreateValue(const TFlRealComplex& AValue, uint32_t ASize);
  static Ref<TBfComplexBuffer> CreateEx(TBfComplexBuffer* AOther);
  static Ref<TBfComplexBuffer> CreateCopy(const Ref<IBfComplexBuffer>& AOther);
  // Any memory buffer (else EIntfCastError); its bytes read as complex items.
  static Ref<TBfComplexBuffer> CreateUniversal(const Ref<IBfData>& AOther);

  Ref<IBfData> MakeCopy() override;
  bool IsEqual(const Ref<IBfDataBuffer>& AOther) const override;
  uint32_t GetSize() const override { return FCharSize / ComplexSize; }
  [[nodiscard]] TBfSmartMemoryBuffer* CreateDataContainer(uint32_t ASize) override;
  uint32_t GetItemSize() const override { return ComplexSize; }
  TBfSmartMemoryBuffer* pBuffer() const { return MemoryBuffer(); }

  const TFlRealComplex* Read() const override { return reinterpret_cast<const TFlRealComplex*>(FDataPtr); }
  TFlRealComplex* Write() override;
  TFlRealComplex* Modify() override;
  TFlRealComplex GetItem(int32_t AIndex) const override;
  void SetItem(int32_t AIndex, const TFlRealComplex& AValue) override;
  Ref<IBfRealBuffer> GetReal() const override;
  Ref<IBfRealBuffer> GetImaginary() const override;
  void Add(const Ref<IBfComplexBuffer>& Right) override;
  void Subtract(const Ref<IBfComplexBuffer>& Right) override;
  void Multiply(const Ref<IBfComplexBuffer>& Right) override;
  void Divide(const Ref<IBfComplexBuffer>& Right) override;
  void AddValue(Real AReal, Real AImag) override;
  void SubtractValue(Real AReal, Real AImag) override;
  void MultiplyValue(Real AReal, Real AImag) override;
  void DivideValue(Real AReal, Real AImag) override;
  void SetBuffer(const Ref<IBfRealBuffer>& AReal, const Ref<IBfRealBuffer>& AImag) override;
  void SetValue(Real AReal, Real AImag) override;
  void SetValue(const TFlRealComplex& AValue) override;
  void Zero() override;
  void NormalizeFrom(const Ref<IBfComplexBuffer>& Src, const TFlRealComplex& Offset, Real Factor) override;
  void Normalize(const TFlRealComplex& Offset, Real Factor) override;
  TFlRealComplex Dot(const Ref<IBfComplexBuffer>& Src) const override;
  void Threshold(Real AThreshold, TBfThresholdType AType) override;
  void ThresholdFrom(const Ref<IBfComplexBuffer>& Src, Real AThreshold, TBfThresholdType AType) override;
  void Sqr() override;
  void SqrFrom(const Ref<IBfComplexBuffer>& Src) override;
  void Sqrt() override;
  void SqrtFrom(const Ref<IBfComplexBuffer>& Src) override;
  void AutoCorr(const Ref<IBfComplexBuffer>& Src, TBfAutoCorrType AType) override;
  void CrossCorr(const Ref<IBfComplexBuffer>& Src1, const Ref<IBfComplexBuffer>& Src2, int32_t LoLag) override;
  Ref<IBfRealBuffer> Phase() const override;
  Ref<IBfRealBuffer> Magnitude() const override;
  Ref<IBfRealBuffer> PowerSpectrum() const override;

 protected:
  TBfComplexBuffer(TBfSmartMemoryBuffer* ADataContainer, uint32_t ASize)
      : TBfLinearMemoryBuffer(ADataContainer, ASize) {}
  explicit TBfComplexBuffer(TBfMemoryBuffer* AOther) : TBfLinearMemoryBuffer(AOther) {}

  void* FindInterface(const TGUID& AIID) noexcept override;
};
