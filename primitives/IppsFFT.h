// What the correlation, convolution and FIR primitives need to know of an
// internal FFT specification. Private to primitives/.
#pragma once

#include <cstdint>

#include "primitives/CmMalloc.h"
#include "primitives/ippdefs.h"

namespace IppsFFT {

// Bytes of working storage one transform with this specification needs
// (0 below the split orders). A transform given a buffer of this size plus
// 16 bytes allocates nothing. Only for specifications made by the internal
// init entries.
int64_t WorkBytes(const IppsFFTSpec_R_64f* ASpec) noexcept;
int64_t WorkBytes(const IppsFFTSpec_C_64fc* ASpec) noexcept;

// The smallest order with 2^order >= ALength and order >= AMinOrder; 31 when
// no order up to 30 suffices (the init entries reject it).
int OrderFor(int64_t ALength, int AMinOrder) noexcept;

// A real transform made with IPP_FFT_DIV_INV_BY_N (so forward then inverse
// returns the input) together with its working storage, released with the
// object. Spectra are in CCS: Length() + 2 doubles.
class TRealTransform {
 public:
  TRealTransform() = default;
  ~TRealTransform();
  TRealTransform(const TRealTransform&) = delete;
  TRealTransform& operator=(const TRealTransform&) = delete;
  // ippStsNoErr, or the init entry's error, or -9 for the working storage.
  IppStatus Init(int order) noexcept;
  int64_t Length() const noexcept { return int64_t{1} << FOrder; }
  void Forward(const double* pSrc, double* pCcs) const noexcept;
  void Inverse(const double* pCcs, double* pDst) const noexcept;
  // The spectrum of ACount doubles from AData placed at AAt in otherwise
  // zero Length() items, into ASpectrum's Length() + 2 doubles.
  void PaddedForward(const double* AData, int64_t ACount, int64_t AAt, double* ASpectrum) const noexcept;

 private:
  IppsFFTSpec_R_64f* FSpec = nullptr;
  Ipp8u* FWork = nullptr;
  int FOrder = 0;
};

// The same for complex data.
class TComplexTransform {
 public:
  TComplexTransform() = default;
  ~TComplexTransform();
  TComplexTransform(const TComplexTransform&) = delete;
  TComplexTransform& operator=(const TComplexTransform&) = delete;
  IppStatus Init(int order) noexcept;
  int64_t Length() const noexcept { return int64_t{1} << FOrder; }
  void Forward(const Ipp64fc* pSrc, Ipp64fc* pDst) const noexcept;
  void Inverse(const Ipp64fc* pSrc, Ipp64fc* pDst) const noexcept;

 private:
  IppsFFTSpec_C_64fc* FSpec = nullptr;
  Ipp8u* FWork = nullptr;
  int FOrder = 0;
};

// A block of ACount doubles from AlignedAlloc (null when that fails or the
// byte count exceeds 32 bits), released with the object.
class TReals {
 public:
  explicit TReals(int64_t ACount) noexcept
      : FP(ACount > 0 && ACount <= INT32_MAX / 8 ? static_cast<double*>(AlignedAllocReals(static_cast<int32_t>(ACount)))
                                                 : nullptr) {}
  ~TReals() { AlignedFree(FP); }
  TReals(const TReals&) = delete;
  TReals& operator=(const TReals&) = delete;
  double* Get() const noexcept { return FP; }
  Ipp64fc* Complex() const noexcept { return reinterpret_cast<Ipp64fc*>(FP); }

 private:
  double* FP;
};

// X <- Y*X and X <- Y*conj(X) elementwise over ACount complex values (a CCS
// spectrum of length N has N/2 + 1).
void MulSpectrum(const Ipp64fc* Y, Ipp64fc* X, int64_t ACount) noexcept;
void MulConjSpectrum(const Ipp64fc* Y, Ipp64fc* X, int64_t ACount) noexcept;

}  // namespace IppsFFT
