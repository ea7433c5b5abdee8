// The distance kernels of the radial-basis-function network: the sums of
// absolute differences between a sample and many prototypes, and the
// process-wide choice of which kernel runs.
//
// Every kernel gives the distance of the plain loop bit for bit:
//   sum = 0; for i in 0 .. n-1: sum = sum + |sample[i] - prototype[i]|
// with every addition rounded to a Real, in item order.
//
// - Lanes: eight prototypes side by side in the lanes of SIMD registers
//   (AVX2: two registers of four, AVX-512: one of eight). Each lane adds its
//   own prototype's items in item order, with the same operations and operand
//   order as the plain loop (sample minus prototype, then sum plus the
//   absolute difference), so each lane holds exactly the plain loop's sum
//   (and a NaN distance is made definite by Settle on every path).
//   The items of eight prototypes are interleaved in the registers (an 8x8 or
//   4x4 transposition), so the prototypes need no interleaved copy.
// - Bytes: when the sample and a prototype hold only values k/256 with k an
//   integer 0..255 (the face features are such), every difference is
//   (ks - kp)/256 exactly and every partial sum is an integer below 2^53
//   times 2^-8, so every rounding of the plain loop is exact and the plain
//   loop's result is (sum of |ks - kp|) * 2^-8 exactly, whatever the order.
//   The byte kernel forms that integer sum with psadbw. A NaN, an infinity
//   or any other value rules the byte kernel out for that prototype, which
//   then goes through the lanes.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/Types.h"

// Which code computes the distances. dkPlain is the plain loop, neuron by
// neuron; the others are the lane and byte kernels for that instruction set.
enum TNrDistanceKernel : int32_t { dkPlain = 0, dkAvx2 = 1, dkAvx512 = 2 };

// Process-wide settings, read once at the start of every Train and Predict.
// Every choice gives the same distances bit for bit: they differ in speed
// only, and let tests run every path on one machine.
struct TNrDistanceSettings {
  // Kernel: at start-up the widest the processor supports, or the one named
  // by the environment variable FR_NETWORK_PATH (plain, avx2, avx512). A
  // kernel the processor lacks is replaced by the widest one it has.
  TNrDistanceKernel Kernel = dkPlain;
  // Whether the exact byte kernel is used where it applies (not for dkPlain).
  // At start-up true unless FR_NETWORK_BYTES is 0.
  bool Bytes = true;
  // Threads that share the distance step of one Train or Predict: at start-up
  // the processor count, or FR_NETWORK_THREADS (1 to 64).
  int32_t Threads = 1;
  // Smallest number of neurons a thread is given [neurons]: smaller networks
  // are compared on the calling thread alone. At least 1; 2048 at start-up.
  int32_t NeuronsPerThread = 2048;
};

TNrDistanceSettings NrGetDistanceSettings();
// Takes ASettings, with the kernel replaced by the widest supported one when
// the processor lacks it and the counts clamped to their ranges.
void NrSetDistanceSettings(const TNrDistanceSettings& ASettings);
// Whether the processor (and the operating system) support AKernel.
bool NrDistanceKernelSupported(TNrDistanceKernel AKernel);
// The kernel's name as FR_NETWORK_PATH spells it.
const char* NrDistanceKernelName(TNrDistanceKernel AKernel);

namespace NrDistanceKernels {

// Number of prototypes one lane call compares.
constexpr uint32_t cLanes = 8;

// The plain loop over ACount items, continuing from ASum.
inline Real PlainSum(const Real* ASample, const Real* AProto, uint32_t ACount, Real ASum = 0) {
  // One addition per item, in item order, each rounded to a Real (no
  // fast-math regrouping is allowed in this build, so the order is the
  // written one).
  for (uint32_t i = 0; i < ACount; ++i) ASum = ASum + std::fabs(ASample[i] - AProto[i]);
  return ASum;
}

// The NaN a distance ends with. Every term |s - p| is a NaN or >= 0, so a
// sum turns NaN only at a NaN term, and from then on every addition has a
// NaN operand, two when a later term is NaN too. Which of two NaNs an
// addition keeps is left open by IEEE 754 and C++, and compilers swap the
// operands of additions freely, so it differs from one compiled loop to the
// next. The network's rule: the running sum is the first operand and keeps
// its NaN, so a NaN distance is the first NaN term, bit for bit. ASum is the
// distance of the loop over ACount items; Settle returns it, or that term
// when it is NaN. (The difference keeps its operand order: s - p, which
// gives s's NaN when both are NaN, and the absolute value clears the sign.)
inline Real Settle(const Real* ASample, const Real* AProto, uint32_t ACount, Real ASum) {
  if (!std::isnan(ASum)) return ASum;
  for (uint32_t i = 0; i < ACount; ++i) {
    const Real term = std::fabs(ASample[i] - AProto[i]);
    if (std::isnan(term)) return term;
  }
  return ASum;  // not reached: a NaN sum has a NaN term
}

// ASums[k] = the plain loop's sum over items 0 .. ACount-1 of ASample and
// AProtos[k], k = 0..7. ACount is a multiple of 8 (AVX-512) or 4 (AVX2); the
// caller continues each lane with PlainSum from there.
void LaneSumsAvx2(const Real* ASample, const Real* const* AProtos, uint32_t ACount, Real* ASums);
void LaneSumsAvx512(const Real* ASample, const Real* const* AProtos, uint32_t ACount, Real* ASums);

// Sum of |A[i] - B[i]| over ACount bytes, as an integer.
uint64_t ByteSadAvx2(const uint8_t* A, const uint8_t* B, uint32_t ACount);
uint64_t ByteSadAvx512(const uint8_t* A, const uint8_t* B, uint32_t ACount);

}  // namespace NrDistanceKernels
