#include "classifiers/NrDistanceKernels.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

// ---------------------------------------------------------------------------
// Settings

namespace {

// The processor's features (and the operating system's support for their
// registers). __builtin_cpu_init makes the answers valid even when asked
// from another static object's constructor.
bool CpuHasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
bool CpuHasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

TNrDistanceKernel WidestKernel() {
  if (CpuHasAvx512()) return dkAvx512;
  if (CpuHasAvx2()) return dkAvx2;
  return dkPlain;
}

TNrDistanceKernel SupportedKernel(TNrDistanceKernel AKernel) {
  TNrDistanceKernel k = AKernel;
  if (k == dkAvx512 && !CpuHasAvx512()) k = dkAvx2;
  if (k == dkAvx2 && !CpuHasAvx2()) k = dkPlain;
  if (k != dkPlain && k != dkAvx2 && k != dkAvx512) k = WidestKernel();
  return k;
}

int32_t ClampThreads(long AThreads) { return static_cast<int32_t>(std::clamp<long>(AThreads, 1, 64)); }

// The settings, each field on its own so that a reader never sees a torn
// value; a reader may see a mix of an old and a new call of
// NrSetDistanceSettings, which is harmless because every mix gives the same
// distances.
struct TSettingsStore {
  std::atomic<int32_t> Kernel;
  std::atomic<bool> Bytes;
  std::atomic<int32_t> Threads;
  std::atomic<int32_t> NeuronsPerThread;

  TSettingsStore() {
    TNrDistanceKernel kernel = WidestKernel();
    if (const char* path = std::getenv("FR_NETWORK_PATH")) {
      // An unknown name keeps the widest kernel.
      if (std::strcmp(path, "plain") == 0) kernel = dkPlain;
      else if (std::strcmp(path, "avx2") == 0) kernel = SupportedKernel(dkAvx2);
      else if (std::strcmp(path, "avx512") == 0) kernel = SupportedKernel(dkAvx512);
    }
    Kernel = kernel;
    const char* bytes = std::getenv("FR_NETWORK_BYTES");
    Bytes = !(bytes && std::strcmp(bytes, "0") == 0);
    long threads = static_cast<long>(std::thread::hardware_concurrency());
    if (const char* t = std::getenv("FR_NETWORK_THREADS")) {
      char* end = nullptr;
      const long v = std::strtol(t, &end, 10);
      if (end != t && *end == 0) threads = v;
    }
    Threads = ClampThreads(threads);
    NeuronsPerThread = 2048;
  }
};

TSettingsStore& Store() {
  static TSettingsStore store;
  return store;
}

}  // namespace

TNrDistanceSettings NrGetDistanceSettings() {
  TSettingsStore& s = Store();
  TNrDistanceSettings out;
  out.Kernel = static_cast<TNrDistanceKernel>(s.Kernel.load(std::memory_order_relaxed));
  out.Bytes = s.Bytes.load(std::memory_order_relaxed);
  out.Threads = s.Threads.load(std::memory_order_relaxed);
  out.NeuronsPerThread = s.NeuronsPerThread.load(std::memory_order_relaxed);
  return out;
}

void NrSetDistanceSettings(const TNrDistanceSettings& ASettings) {
  TSettingsStore& s = Store();
  s.Kernel.store(SupportedKernel(ASettings.Kernel), std::memory_order_relaxed);
  s.Bytes.store(ASettings.Bytes, std::memory_order_relaxed);
  s.Threads.store(ClampThreads(ASettings.Threads), std::memory_order_relaxed);
  s.NeuronsPerThread.store(std::max<int32_t>(ASettings.NeuronsPerThread, 1), std::memory_order_relaxed);
}

bool NrDistanceKernelSupported(TNrDistanceKernel AKernel) {
  switch (AKernel) {
    case dkPlain: return true;
    case dkAvx2: return CpuHasAvx2();
    case dkAvx512: return CpuHasAvx512();
  }
  return false;
}

const char* NrDistanceKernelName(TNrDistanceKernel AKernel) {
  switch (AKernel) {
    case dkPlain: return "plain";
    case dkAvx2: return "avx2";
    case dkAvx512: return "avx512";
  }
  return "unknown";
}

// ---------------------------------------------------------------------------
// Kernels. Each is compiled for its instruction set through a target
// attribute and is only called after NrDistanceKernelSupported said yes.

namespace NrDistanceKernels {

// |x| as fabs does it: the sign bit cleared, also for NaN.
__attribute__((target("avx2"))) static inline __m256d Abs256(__m256d AValue) {
  return _mm256_andnot_pd(_mm256_set1_pd(-0.0), AValue);
}

// Four prototypes, items i .. i+3: the differences of each prototype, then
// transposed so that the additions run item by item, each lane its own
// prototype.
__attribute__((target("avx2"))) static inline __m256d Add4x4(__m256d AAcc, __m256d AQuery, const Real* const* AProtos,
                                                             uint32_t AIndex) {
  const __m256d d0 = Abs256(_mm256_sub_pd(AQuery, _mm256_loadu_pd(AProtos[0] + AIndex)));
  const __m256d d1 = Abs256(_mm256_sub_pd(AQuery, _mm256_loadu_pd(AProtos[1] + AIndex)));
  const __m256d d2 = Abs256(_mm256_sub_pd(AQuery, _mm256_loadu_pd(AProtos[2] + AIndex)));
  const __m256d d3 = Abs256(_mm256_sub_pd(AQuery, _mm256_loadu_pd(AProtos[3] + AIndex)));
  const __m256d t0 = _mm256_unpacklo_pd(d0, d1);  // d0[0] d1[0] d0[2] d1[2]
  const __m256d t1 = _mm256_unpackhi_pd(d0, d1);  // d0[1] d1[1] d0[3] d1[3]
  const __m256d t2 = _mm256_unpacklo_pd(d2, d3);
  const __m256d t3 = _mm256_unpackhi_pd(d2, d3);
  // The sum is the first operand, as in the plain loop (sum + |d|).
  AAcc = _mm256_add_pd(AAcc, _mm256_permute2f128_pd(t0, t2, 0x20));  // item 0
  AAcc = _mm256_add_pd(AAcc, _mm256_permute2f128_pd(t1, t3, 0x20));  // item 1
  AAcc = _mm256_add_pd(AAcc, _mm256_permute2f128_pd(t0, t2, 0x31));  // item 2
  AAcc = _mm256_add_pd(AAcc, _mm256_permute2f128_pd(t1, t3, 0x31));  // item 3
  return AAcc;
}

__attribute__((target("avx2"))) void LaneSumsAvx2(const Real* ASample, const Real* const* AProtos, uint32_t ACount,
                                                  Real* ASums) {
  // Two independent groups of four, so that two chains of additions run at
  // once.
  __m256d acc0 = _mm256_setzero_pd();
  __m256d acc1 = _mm256_setzero_pd();
  for (uint32_t i = 0; i < ACount; i += 4) {
    const __m256d q = _mm256_loadu_pd(ASample + i);
    acc0 = Add4x4(acc0, q, AProtos, i);
    acc1 = Add4x4(acc1, q, AProtos + 4, i);
  }
  _mm256_storeu_pd(ASums, acc0);
  _mm256_storeu_pd(ASums + 4, acc1);
}

__attribute__((target("avx512f"))) static inline __m512d Abs512(__m512d AValue) {
  return _mm512_castsi512_pd(
      _mm512_and_epi64(_mm512_castpd_si512(AValue), _mm512_set1_epi64(0x7FFFFFFFFFFFFFFFll)));
}

// The unmasked shuffles written as masked ones with every lane selected:
// GCC 12's unmasked forms start from an undefined register, which its
// uninitialised-use warning flags.
__attribute__((target("avx512f"))) static inline __m512d UnpackLo(__m512d A, __m512d B) {
  return _mm512_mask_unpacklo_pd(A, 0xFF, A, B);
}
__attribute__((target("avx512f"))) static inline __m512d UnpackHi(__m512d A, __m512d B) {
  return _mm512_mask_unpackhi_pd(A, 0xFF, A, B);
}
// Chunks [A0 A2 B0 B2] (AOdd false) or [A1 A3 B1 B3] (AOdd true), chunk =
// 128 bits.
template <bool AOdd>
__attribute__((target("avx512f"))) static inline __m512d Chunks(__m512d A, __m512d B) {
  return _mm512_mask_shuffle_f64x2(A, 0xFF, A, B, AOdd ? _MM_SHUFFLE(3, 1, 3, 1) : _MM_SHUFFLE(2, 0, 2, 0));
}

__attribute__((target("avx512f"))) void LaneSumsAvx512(const Real* ASample, const Real* const* AProtos, uint32_t ACount,
                                                      Real* ASums) {
  __m512d acc = _mm512_setzero_pd();
  for (uint32_t i = 0; i < ACount; i += 8) {
    const __m512d q = _mm512_loadu_pd(ASample + i);
    __m512d d[8];
    for (int k = 0; k < 8; ++k) d[k] = Abs512(_mm512_sub_pd(q, _mm512_loadu_pd(AProtos[k] + i)));
    // Pairs of prototypes: 128-bit chunk c holds items 2c (lo) or 2c+1 (hi).
    const __m512d t0 = UnpackLo(d[0], d[1]);
    const __m512d t1 = UnpackHi(d[0], d[1]);
    const __m512d t2 = UnpackLo(d[2], d[3]);
    const __m512d t3 = UnpackHi(d[2], d[3]);
    const __m512d t4 = UnpackLo(d[4], d[5]);
    const __m512d t5 = UnpackHi(d[4], d[5]);
    const __m512d t6 = UnpackLo(d[6], d[7]);
    const __m512d t7 = UnpackHi(d[6], d[7]);
    // Quads: chunks (items) of prototypes 0-3 and 4-7.
    const __m512d u0 = Chunks<false>(t0, t2);  // items 0, 4
    const __m512d u1 = Chunks<true>(t0, t2);  // items 2, 6
    const __m512d u2 = Chunks<false>(t1, t3);  // items 1, 5
    const __m512d u3 = Chunks<true>(t1, t3);  // items 3, 7
    const __m512d v0 = Chunks<false>(t4, t6);
    const __m512d v1 = Chunks<true>(t4, t6);
    const __m512d v2 = Chunks<false>(t5, t7);
    const __m512d v3 = Chunks<true>(t5, t7);
    // One item of all eight prototypes per register, lane k = prototype k;
    // the sum is the first operand, as in the plain loop.
    acc = _mm512_add_pd(acc, Chunks<false>(u0, v0));  // item 0
    acc = _mm512_add_pd(acc, Chunks<false>(u2, v2));  // item 1
    acc = _mm512_add_pd(acc, Chunks<false>(u1, v1));  // item 2
    acc = _mm512_add_pd(acc, Chunks<false>(u3, v3));  // item 3
    acc = _mm512_add_pd(acc, Chunks<true>(u0, v0));  // item 4
    acc = _mm512_add_pd(acc, Chunks<true>(u2, v2));  // item 5
    acc = _mm512_add_pd(acc, Chunks<true>(u1, v1));  // item 6
    acc = _mm512_add_pd(acc, Chunks<true>(u3, v3));  // item 7
  }
  _mm512_storeu_pd(ASums, acc);
}

static uint64_t ByteSadTail(const uint8_t* A, const uint8_t* B, uint32_t ACount) {
  uint64_t sum = 0;
  for (uint32_t i = 0; i < ACount; ++i) sum += static_cast<uint64_t>(A[i] > B[i] ? A[i] - B[i] : B[i] - A[i]);
  return sum;
}

__attribute__((target("avx2"))) uint64_t ByteSadAvx2(const uint8_t* A, const uint8_t* B, uint32_t ACount) {
  __m256i acc = _mm256_setzero_si256();
  uint32_t i = 0;
  for (; i + 32 <= ACount; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(A + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(B + i));
    acc = _mm256_add_epi64(acc, _mm256_sad_epu8(a, b));
  }
  alignas(32) uint64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + ByteSadTail(A + i, B + i, ACount - i);
}

__attribute__((target("avx512f,avx512bw"))) uint64_t ByteSadAvx512(const uint8_t* A, const uint8_t* B,
                                                                    uint32_t ACount) {
  __m512i acc0 = _mm512_setzero_si512();
  __m512i acc1 = _mm512_setzero_si512();
  uint32_t i = 0;
  for (; i + 128 <= ACount; i += 128) {
    acc0 = _mm512_add_epi64(acc0, _mm512_sad_epu8(_mm512_loadu_si512(A + i), _mm512_loadu_si512(B + i)));
    acc1 = _mm512_add_epi64(acc1, _mm512_sad_epu8(_mm512_loadu_si512(A + i + 64), _mm512_loadu_si512(B + i + 64)));
  }
  for (; i + 64 <= ACount; i += 64)
    acc0 = _mm512_add_epi64(acc0, _mm512_sad_epu8(_mm512_loadu_si512(A + i), _mm512_loadu_si512(B + i)));
  if (i < ACount) {
    // The last 1 to 63 bytes: the masked loads read nothing beyond them.
    const __mmask64 mask = ~0ull >> (64 - (ACount - i));
    acc1 = _mm512_add_epi64(acc1, _mm512_sad_epu8(_mm512_maskz_loadu_epi8(mask, A + i),
                                                  _mm512_maskz_loadu_epi8(mask, B + i)));
  }
  alignas(64) uint64_t lanes[8];
  _mm512_store_si512(lanes, _mm512_add_epi64(acc0, acc1));
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

}  // namespace NrDistanceKernels
