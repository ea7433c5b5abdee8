// The resize family: ippiResize_8u_C1R, _8u_C3R, _8u_C4R, _16u_C1R and
// ippiResizeCenter_8u_C4R, with nearest-neighbour, linear, cubic, Lanczos and
// supersampling interpolation.
//
// Every call runs in three stages: the argument checks; per-axis tables (for
// each destination column and row: the source index or window and its
// weights), computed once from the source positions; and the pixel loops.
// The separable methods interpolate source rows horizontally into a small
// cache of rows keyed by source row number, so that a row needed by
// consecutive destination rows is interpolated once, and then combine the
// cached rows vertically. Tables and cached rows live in one 32-byte aligned
// block from AlignedAlloc; when it cannot be had the call returns
// ippStsMemAllocErr before anything is written.
//
// Source indices are relative to the region origin; neighbours are read
// anywhere inside the source image and never outside it (edge rules use the
// image border, not the region border).
//
// Vector paths, each giving exactly the values of the scalar loop beside it
// (the tests run all of them): the linear 8u kernel fetches neighbour pairs
// with byte shuffles (SSSE3, two blocks per AVX2 register) or AVX2 gathers
// and weighs them with 16-bit multiply-adds, and combines rows with SSE2 or
// AVX2 multiply-adds; supersampling by one half sums 2 x 2 boxes with SSE2.
// The other kernels are plain loops.
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "primitives/CmMalloc.h"
#include "primitives/IppiCommon.h"

namespace IppInternal {

namespace {

using IppiCommon::Row;
using IppiCommon::StepTooSmall;
using IppsCommon::Extended;

enum class TMethod { Nearest, Linear, Cubic, Lanczos, Super };

// The linear kernel's fixed-point weights: Q14.
constexpr int kOne = 16384;

// One dimension of a resize, relative to the region origin.
struct TAxis {
  int First;      // first image index (minus the region origin)
  int Last;       // last image index
  int Size;       // region size after clipping to the image
  int Dst;        // destination pixels written
  double Factor;  // destination pixels per source pixel
  Extended Shift; // source position of destination pixel 0 (centre mapping)
};

// ---- per-axis tables

// Source position of each destination index for the linear, cubic and
// Lanczos kernels: the first and last destination pixels fall on the first
// and last source pixels; accumulated by repeated addition in extended
// precision. Calls AUse(k, j, t, p) with the truncated position j clamped to the
// image, the fraction t and the position p itself (the last image index when
// rounding carried it past the image).
template <class F>
void ForPositions(const TAxis& A, F AUse) {
  const Extended fw = static_cast<Extended>(A.Factor) * A.Size;
  const Extended step = fw > 1 ? static_cast<Extended>(A.Size - 1) / (fw - 1) : 0;
  Extended pos = A.Shift;
  for (int k = 0; k < A.Dst; ++k, pos += step) {
    const Extended p = pos + 1e-7L;
    int j;
    Extended t, at = pos;
    if (!(p < static_cast<Extended>(A.Last) + 1)) {  // past the image (only through rounding)
      j = A.Last;
      t = 0;
      at = A.Last;
    } else {
      j = static_cast<int>(static_cast<int64_t>(p));
      if (j < A.First) j = A.First;
      t = pos - j;
    }
    AUse(k, j, t, at);
  }
}

void NearestTable(const TAxis& A, int* AIndex) {
  const Extended step = 1.0L / static_cast<Extended>(A.Factor);
  Extended pos = A.Shift + 0.5L * step;
  for (int k = 0; k < A.Dst; ++k, pos += step) {
    const Extended p = pos + 1e-7L;
    int j = p < static_cast<Extended>(A.Last) ? static_cast<int>(static_cast<int64_t>(p)) : A.Last;
    AIndex[k] = j < A.First ? A.First : j;
  }
}

// Left neighbour and Q14 weight of the right neighbour; in the last image
// index the pair (last - 1, last) with weights (0, 16384).
void LinearTable(const TAxis& A, int* AIndex, int* AWeight) {
  ForPositions(A, [&](int k, int j, Extended t, Extended) {
    if (j >= A.Last) {
      AIndex[k] = A.Last - 1;
      AWeight[k] = kOne;
    } else {
      AIndex[k] = j;
      AWeight[k] = static_cast<int>(1e-7L + kOne * t);
    }
  });
}

// Window start b of the four neighbours and the Newton coefficients of the
// position x = pos - b: x, x(x-1)/2, x(x-1)(x-2)/6. The window j-1 ... j+2 is
// shifted to stay inside the image.
void CubicTable(const TAxis& A, int* AIndex, float* ACoef) {
  ForPositions(A, [&](int k, int j, Extended, Extended at) {
    int b = j - 1;
    if (j == A.First) b = j;
    else if (j == A.Last - 1) b = j - 2;
    else if (j >= A.Last) b = j - 3;
    const float x = static_cast<float>(at - b);
    AIndex[k] = b;
    ACoef[3 * k] = x;
    ACoef[3 * k + 1] = x * (x - 1) / 2;
    ACoef[3 * k + 2] = x * (x - 1) * (x - 2) / 6;
  });
}

// The Lanczos-3 kernel sinc(d) sinc(d / 3) at 0, 0.01, ..., 3.00.
struct TLanczosTable {
  float L[301];
};
TLanczosTable MakeLanczosTable() {
  TLanczosTable t{};
  const double pi = 3.14159265358979323846;
  t.L[0] = 1;
  for (int i = 1; i <= 300; ++i) {
    const double d = i / 100.0;
    t.L[i] = static_cast<float>(std::sin(pi * d) / (pi * d) * (std::sin(pi * d / 3) / (pi * d / 3)));
  }
  t.L[300] = 0;
  return t;
}
const TLanczosTable& LanczosTable() {
  static const TLanczosTable t = MakeLanczosTable();
  return t;
}

// Six neighbours j-2 ... j+3 with weights L(d) / sum, d = index - position.
// A neighbour outside the image gets weight 0 (as if the window were shifted
// inside, where the neighbours it gains lie 3 or more away); its index is
// clamped so that nothing outside the image is read.
void LanczosTable(const TAxis& A, int* AIndex, float* AWeight) {
  const TLanczosTable& T = LanczosTable();
  ForPositions(A, [&](int k, int j, Extended, Extended pos) {
    float w[6];
    float sum = 0;
    for (int m = 0; m < 6; ++m) {
      const int i = j - 2 + m;
      const Extended d = static_cast<Extended>(i) - pos;
      const float a = static_cast<float>((d < 0 ? -d : d) * 100);
      float l = 0;
      if (a < 300 && i >= A.First && i <= A.Last) {
        const int s = static_cast<int>(a);
        l = T.L[s] + (a - static_cast<float>(s)) * (T.L[s + 1] - T.L[s]);
      }
      w[m] = l;
      sum += l;
      AIndex[6 * k + m] = i < A.First ? A.First : (i > A.Last ? A.Last : i);
    }
    for (int m = 0; m < 6; ++m) AWeight[6 * k + m] = w[m] / sum;
  });
}

// Supersampling: destination index k covers source [k / f, (k + 1) / f)
// (moved by the shift of the centre mapping),
// partial pixels weighted by the covered fraction. An area that reaches past
// the region (the destination size rule can leave up to half a pixel of
// area outside it) is cut at the region's end and its weights are scaled up
// to the full area, so that a uniform image stays uniform.
struct TSuperAxis {
  int* Start;   // first source index of each destination index
  int* Count;   // number of source indices
  int* Offset;  // offset of its first weight in Weight
  float* Weight;
};
int SuperWeightCount(const TAxis& A) { return A.Size + 2 * A.Dst + 2; }
void SuperTable(const TAxis& A, const TSuperAxis& S) {
  const Extended inv = 1.0L / static_cast<Extended>(A.Factor);
  const Extended n = A.Size;
  int o = 0;
  for (int k = 0; k < A.Dst; ++k) {
    const Extended a = A.Shift + k * inv, b = A.Shift + (k + 1) * inv;
    const Extended e = b < n ? b : n;
    const Extended scale = b > n ? (b - a) / (e - a) : 1;
    int i0 = static_cast<int>(std::floor(a));
    int i1 = static_cast<int>(std::ceil(e));
    if (i1 > A.Size) i1 = A.Size;
    if (i0 >= i1) i0 = i1 - 1;
    S.Start[k] = i0;
    S.Count[k] = i1 - i0;
    S.Offset[k] = o;
    for (int i = i0; i < i1; ++i) {
      const Extended lo = i > a ? static_cast<Extended>(i) : a;
      const Extended hi = i + 1 < e ? static_cast<Extended>(i + 1) : e;
      S.Weight[o++] = static_cast<float>((hi - lo) * scale);
    }
  }
}
// Whether every destination index covers exactly ABox whole source pixels
// starting at k * ABox: then the weighted sums are plain integer sums.
bool SuperIsBox(const TAxis& A, const TSuperAxis& S, int& ABox) {
  ABox = S.Count[0];
  for (int k = 0; k < A.Dst; ++k) {
    if (S.Count[k] != ABox || S.Start[k] != k * ABox) return false;
    for (int m = 0; m < ABox; ++m)
      if (S.Weight[S.Offset[k] + m] != 1.0f) return false;
  }
  return true;
}

// ---- working storage

class TArena {
 public:
  template <class U>
  void Reserve(U*& APtr, int64_t ACount) {
    if (N == kMaxArrays || Bytes == INT64_MAX) {  // more arrays than slots: reported as no memory
      Bytes = INT64_MAX;
      return;
    }
    Items[N] = reinterpret_cast<void**>(&APtr);
    Offsets[N++] = Bytes;
    Bytes += (ACount * static_cast<int64_t>(sizeof(U)) + 31) / 32 * 32;
  }
  // Allocates the block and points every reserved array into it; false when
  // the block is too large for AlignedAlloc or the heap refuses it.
  bool Allocate() {
    if (Bytes > INT32_MAX) return false;
    Block = static_cast<unsigned char*>(AlignedAlloc(static_cast<int32_t>(Bytes < 32 ? 32 : Bytes)));
    if (Block == nullptr) return false;
    for (int i = 0; i < N; ++i) *Items[i] = Block + Offsets[i];
    return true;
  }
  ~TArena() { AlignedFree(Block); }

 private:
  static constexpr int kMaxArrays = 16;
  void** Items[kMaxArrays] = {};
  int64_t Offsets[kMaxArrays] = {};
  int N = 0;
  int64_t Bytes = 0;
  unsigned char* Block = nullptr;
};

// ---- the job after the checks

template <class T>
struct TJob {
  const T* Src;  // region origin
  int SrcStep;   // [bytes]
  T* Dst;        // first written pixel
  int DstStep;   // [bytes]
  TAxis X, Y;
  TMethod Method;
};

template <class T>
constexpr int kMax = std::is_same_v<T, Ipp8u> ? 255 : 65535;

template <class T>
inline T RoundFloat(float v) noexcept {
  // trunc(v + 0.5000001) clamped to the sample range
  const float r = v + 0.5000001f;
  if (!(r >= 1)) return 0;
  if (r >= kMax<T>) return static_cast<T>(kMax<T>);
  return static_cast<T>(static_cast<int>(r));
}

// A cache of ASlots horizontally interpolated rows, slot = row mod ASlots;
// a window of ASlots consecutive rows never evicts one of its own.
template <class R>
struct TRowCache {
  R* Rows;
  int* Tags;
  int Slots;
  size_t Len;
  template <class Fill>
  const R* Get(int ARow, Fill AFill) {
    const int s = ((ARow % Slots) + Slots) % Slots;
    R* r = Rows + static_cast<size_t>(s) * Len;
    if (Tags[s] != ARow) {
      AFill(ARow, r);
      Tags[s] = ARow;
    }
    return r;
  }
};

// ---- nearest neighbour

template <class T, int C>
IppStatus RunNearest(const TJob<T>& J) {
  TArena arena;
  int *xi, *yi;
  arena.Reserve(xi, J.X.Dst);
  arena.Reserve(yi, J.Y.Dst);
  if (!arena.Allocate()) return ippStsMemAllocErr;
  NearestTable(J.X, xi);
  NearestTable(J.Y, yi);
  for (int k = 0; k < J.X.Dst; ++k) xi[k] *= C;
  for (int r = 0; r < J.Y.Dst; ++r) {
    const T* s = Row(J.Src, J.SrcStep, yi[r]);
    T* d = Row(J.Dst, J.DstStep, r);
    for (int k = 0; k < J.X.Dst; ++k)
      for (int c = 0; c < C; ++c) d[k * C + c] = s[xi[k] + c];
  }
  return ippStsNoErr;
}

// ---- linear

// 8u: h = (left p[j] + right p[j+1] + 128) >> 8, a value scaled by 64 that
// fits 16 bits; output ((16384 - v) h_upper + v h_lower + 2^19) >> 20.
// 16u: the horizontal pass keeps the exact Q14 sum left p[j] + right p[j+1]
// (at most 2^30, 32 bits), the vertical pass the exact Q28 sum in 64 bits,
// and the result is that sum rounded to nearest, halves up:
// (sum + 2^27) >> 28. Only one rounding happens, so the output is the
// bilinear value of the Q14 weights rounded to the nearest integer.
template <class T>
using THRow = std::conditional_t<std::is_same_v<T, Ipp8u>, int16_t, int32_t>;

template <class T, int C>
void LinearRowScalar(const T* s, const int* xo, const int* xw, int k, int n, THRow<T>* h) noexcept {
  for (; k < n; ++k) {
    const T* p = s + xo[k];
    const int32_t wr = xw[k], wl = kOne - wr;
    for (int c = 0; c < C; ++c) {
      if constexpr (std::is_same_v<T, Ipp8u>) {
        h[k * C + c] = static_cast<int16_t>((wl * p[c] + wr * p[C + c] + 128) >> 8);
      } else {
        h[k * C + c] = wl * static_cast<int32_t>(p[c]) + wr * static_cast<int32_t>(p[C + c]);
      }
    }
  }
}

// One channel, sixteen columns at a time: a gather of the four bytes at each
// left neighbour gives p[j] and p[j+1] in its low half; they become the two
// 16-bit halves of a lane, which one multiply-add weighs. Runs while the
// four bytes lie inside the image row (k < ASafe); returns the next column.
__attribute__((target("avx2"))) inline __m256i LinearEightC1(const Ipp8u* s, const int* xo, const int* xw) noexcept {
  const __m256i idx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xo));
  const __m256i g = _mm256_i32gather_epi32(reinterpret_cast<const int*>(s), idx, 1);
  const __m256i pair = _mm256_or_si256(_mm256_and_si256(g, _mm256_set1_epi32(0xFF)),
                                       _mm256_and_si256(_mm256_slli_epi32(g, 8), _mm256_set1_epi32(0xFF0000)));
  const __m256i wr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(xw));
  const __m256i w = _mm256_or_si256(_mm256_sub_epi32(_mm256_set1_epi32(kOne), wr), _mm256_slli_epi32(wr, 16));
  return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(pair, w), _mm256_set1_epi32(128)), 8);
}
__attribute__((target("avx2"))) inline void LinearRowC1Avx2Eight(const Ipp8u* s, const int* xo, const int* xw,
                                                          int16_t* h) noexcept {
  const __m256i r = LinearEightC1(s, xo, xw);
  const __m128i packed = _mm_packs_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h), packed);
}
__attribute__((target("avx2"))) int LinearRowC1Avx2(const Ipp8u* s, const int* xo, const int* xw, int ASafe,
                                                    int16_t* h) noexcept {
  int k = 0;
  for (; k + 16 <= ASafe; k += 16) {
    const __m256i packed = _mm256_packs_epi32(LinearEightC1(s, xo + k, xw + k), LinearEightC1(s, xo + k + 8, xw + k + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + k), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  return k;
}

// Four channels, one destination pixel per 8-byte load (p[j] and p[j+1]).
int LinearRowC4Sse2(const Ipp8u* s, const int* xo, const int* xw, int n, int16_t* h) noexcept {
  const __m128i zero = _mm_setzero_si128(), rnd = _mm_set1_epi32(128);
  auto one = [&](int k) {
    __m128i px = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + xo[k])), zero);
    px = _mm_unpacklo_epi16(px, _mm_srli_si128(px, 8));
    const int wr = xw[k];
    const __m128i w = _mm_set1_epi32((wr << 16) | (kOne - wr));
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(px, w), rnd), 8);
  };
  int k = 0;
  for (; k + 2 <= n; k += 2)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(h + 4 * k), _mm_packs_epi32(one(k), one(k + 1)));
  return k;
}

// Four channels, two destination pixels per 256-bit register, one in each
// half: the 8-byte loads are widened to 16 bits and paired in-lane, and the
// weight pairs come from a table that repeats them for the four channels.
__attribute__((target("avx2"))) inline __m256i LinearTwoC4(const Ipp8u* s, const int* xo, const int32_t* wp4) noexcept {
  const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + xo[0]));
  const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + xo[1]));
  __m256i x = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
  x = _mm256_unpacklo_epi16(x, _mm256_srli_si256(x, 8));
  const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wp4));
  return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(x, w), _mm256_set1_epi32(128)), 8);
}
__attribute__((target("avx2"))) int LinearRowC4Avx2(const Ipp8u* s, const int* xo, const int32_t* wp4, int n,
                                                    int16_t* h) noexcept {
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m256i packed =
        _mm256_packs_epi32(LinearTwoC4(s, xo + k, wp4 + 4 * k), LinearTwoC4(s, xo + k + 2, wp4 + 4 * k + 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + 4 * k), _mm256_permute4x64_epi64(packed, 0xD8));
  }
  return k;
}

// One and four channels without gathers: where the 8 pairs (p[j], p[j+1])
// of a block of 8 values (8 columns of one channel, 2 of four channels) lie
// within 16 bytes of the block's first left neighbour (every enlargement,
// and reductions down to about one half), one load and two byte shuffles
// fetch the left and the right neighbours as 16-bit lanes. With
// d = p[j+1] - p[j] the value is then
//   (left p[j] + right p[j+1] + 128) >> 8 = 64 p[j] + ((right d + 128) >> 8)
// (16384 p[j] is a multiple of 256), and (right d + 128) >> 8 equals
// (128 d * right + 2^14) >> 15, the rounding high multiply of 16-bit lanes:
// eight or sixteen values per multiply, exactly. The plan holds, per block,
// the offset of the load (-1 when the block does not fit) and the two
// shuffles, and per value the right weight.
struct TShufflePlan {
  int* Base;
  Ipp8u* Left;      // 16 bytes per block: the shuffle giving p[j] in 16-bit lanes
  Ipp8u* Right;     // the same for p[j+1]
  int16_t* Weight;  // per value the right weight, 0 ... 16384
  int Blocks;
};
// Returns the number of blocks that fit. ALastByte: the last byte of the
// image row, relative to the region origin.
template <int C>
int MakeShufflePlan(const int* xo, const int* xw, int n, int ALastByte, TShufflePlan& P) {
  constexpr int kPixels = 8 / C;  // destination pixels per block
  for (int k = 0; k < n; ++k)
    for (int c = 0; c < C; ++c) P.Weight[k * C + c] = static_cast<int16_t>(xw[k]);
  P.Blocks = n / kPixels;
  int fitting = 0;
  for (int b = 0; b < P.Blocks; ++b) {
    const int* o = xo + kPixels * b;
    const bool fits = o[kPixels - 1] + 2 * C - 1 - o[0] <= 15 && o[0] + 15 <= ALastByte;
    fitting += fits;
    P.Base[b] = fits ? o[0] : -1;
    for (int i = 0; i < kPixels; ++i)
      for (int c = 0; c < C; ++c) {
        const int v = i * C + c;
        P.Left[16 * b + 2 * v] = static_cast<Ipp8u>(fits ? o[i] + c - o[0] : 0);
        P.Right[16 * b + 2 * v] = static_cast<Ipp8u>(fits ? o[i] + C + c - o[0] : 0);
        P.Left[16 * b + 2 * v + 1] = P.Right[16 * b + 2 * v + 1] = 0x80;  // high byte 0
      }
  }
  return fitting;
}

// Two fitting blocks at once, one in each half of a 256-bit register.
__attribute__((target("avx2"), always_inline)) inline void LinearTwoBlocks(const Ipp8u* s, const TShufflePlan& P,
                                                                           int b, int16_t* h) noexcept {
  const int k = 8 * b;
  const __m256i v = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + P.Base[b]))),
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + P.Base[b + 1])), 1);
  const __m256i p0 = _mm256_shuffle_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P.Left + 16 * b)));
  const __m256i p1 = _mm256_shuffle_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P.Right + 16 * b)));
  const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P.Weight + k));
  const __m256i d = _mm256_slli_epi16(_mm256_sub_epi16(p1, p0), 7);
  const __m256i r = _mm256_add_epi16(_mm256_slli_epi16(p0, 6), _mm256_mulhrs_epi16(d, w));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h + k), r);
}
__attribute__((target("ssse3"))) inline void LinearBlock(const Ipp8u* s, const TShufflePlan& P, int b,
                                                        int16_t* h) noexcept {
  const int k = 8 * b;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + P.Base[b]));
  const __m128i p0 = _mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(P.Left + 16 * b)));
  const __m128i p1 = _mm_shuffle_epi8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(P.Right + 16 * b)));
  const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P.Weight + k));
  const __m128i d = _mm_slli_epi16(_mm_sub_epi16(p1, p0), 7);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(h + k), _mm_add_epi16(_mm_slli_epi16(p0, 6), _mm_mulhrs_epi16(d, w)));
}
// The blocks of the plan in order; a block that does not fit takes the
// scalar loop. Returns the next destination pixel.
template <int C>
__attribute__((target("ssse3"))) int LinearRowPlanSsse3(const Ipp8u* s, const int* xo, const int* xw,
                                                       const TShufflePlan& P, int16_t* h) noexcept {
  constexpr int kPixels = 8 / C;
  for (int b = 0; b < P.Blocks; ++b) {
    if (P.Base[b] >= 0) LinearBlock(s, P, b, h);
    else LinearRowScalar<Ipp8u, C>(s, xo, xw, kPixels * b, kPixels * b + kPixels, h);
  }
  return kPixels * P.Blocks;
}
// The same two blocks at a time; a one-channel block that does not fit takes
// the gather while its four bytes lie inside the row.
template <int C>
__attribute__((target("avx2"))) int LinearRowPlanAvx2(const Ipp8u* s, const int* xo, const int* xw, int ASafe,
                                                      const TShufflePlan& P, int16_t* h) noexcept {
  constexpr int kPixels = 8 / C;
  const int blocks = P.Blocks;
  const int* base = P.Base;
  int b = 0;
  while (b < blocks) {
    const int k = kPixels * b;
    if (b + 2 <= blocks && base[b] >= 0 && base[b + 1] >= 0) {
      LinearTwoBlocks(s, P, b, h);
      b += 2;
      continue;
    }
    if (base[b] >= 0) LinearBlock(s, P, b, h);
    else if (C == 1 && k + 8 <= ASafe) LinearRowC1Avx2Eight(s, xo + k, xw + k, h + k);
    else LinearRowScalar<Ipp8u, C>(s, xo, xw, k, k + kPixels, h);
    ++b;
  }
  return kPixels * b;
}

template <class T, int C>
void LinearRow(const T* s, const int* xo, const int* xw, int n, int ASafe, const TShufflePlan* APlan,
               const int32_t* AWeights4, THRow<T>* h) noexcept {
  int k = 0;
  if constexpr (std::is_same_v<T, Ipp8u> && (C == 1 || C == 4)) {
    if (APlan != nullptr) {
      k = IppiCommon::UseAvx2() ? LinearRowPlanAvx2<C>(s, xo, xw, ASafe, *APlan, h)
                                : LinearRowPlanSsse3<C>(s, xo, xw, *APlan, h);
    } else if constexpr (C == 1) {
      if (IppiCommon::UseAvx2()) k = LinearRowC1Avx2(s, xo, xw, ASafe, h);
    } else {
      k = AWeights4 != nullptr ? LinearRowC4Avx2(s, xo, AWeights4, n, h) : 0;
      k += LinearRowC4Sse2(s, xo + k, xw + k, n - k, h + 4 * k);
    }
  }
  (void)ASafe;
  (void)APlan;
  (void)AWeights4;
  LinearRowScalar<T, C>(s, xo, xw, k, n, h);
}

__attribute__((target("avx2"))) inline __m256i CombineSixteen(const int16_t* h0, const int16_t* h1, __m256i w) noexcept {
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h0));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h1));
  const __m256i rnd = _mm256_set1_epi32(524288);
  const __m256i lo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w), rnd), 20);
  const __m256i hi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w), rnd), 20);
  return _mm256_packs_epi32(lo, hi);  // in-lane unpack and pack keep the order
}
__attribute__((target("avx2"))) size_t LinearCombine8uAvx2(const int16_t* h0, const int16_t* h1, int v, size_t n,
                                                           Ipp8u* d) noexcept {
  const __m256i w = _mm256_set1_epi32((v << 16) | (kOne - v));
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i r = _mm256_packus_epi16(CombineSixteen(h0 + i, h1 + i, w), CombineSixteen(h0 + i + 16, h1 + i + 16, w));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_permute4x64_epi64(r, 0xD8));
  }
  return i;
}

// 8u, sixteen outputs at a time: the pairs (h0, h1) meet the weights
// (16384 - v, v) in one multiply-add.
void LinearCombine8u(const int16_t* h0, const int16_t* h1, int v, size_t n, Ipp8u* d) noexcept {
  const __m128i w = _mm_set1_epi32((v << 16) | (kOne - v)), rnd = _mm_set1_epi32(524288);
  auto eight = [&](size_t i) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h0 + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h1 + i));
    const __m128i lo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), w), rnd), 20);
    const __m128i hi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), w), rnd), 20);
    return _mm_packs_epi32(lo, hi);
  };
  size_t i = IppiCommon::UseAvx2() ? LinearCombine8uAvx2(h0, h1, v, n, d) : 0;
  for (; i + 16 <= n; i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(eight(i), eight(i + 8)));
  for (; i < n; ++i) d[i] = static_cast<Ipp8u>(((int32_t{h0[i]} << 14) + v * (int32_t{h1[i]} - h0[i]) + 524288) >> 20);
}

template <class T>
void LinearCombine(const THRow<T>* h0, const THRow<T>* h1, int v, size_t n, T* d) noexcept {
  if constexpr (std::is_same_v<T, Ipp8u>) {
    LinearCombine8u(h0, h1, v, n, d);
  } else {
    for (size_t i = 0; i < n; ++i)
      d[i] = static_cast<Ipp16u>((int64_t{kOne - v} * h0[i] + int64_t{v} * h1[i] + (int64_t{1} << 27)) >> 28);
  }
}

template <class T, int C>
IppStatus RunLinear(const TJob<T>& J) {
  const size_t len = static_cast<size_t>(J.X.Dst) * C;
  TArena arena;
  int *xo, *xw, *yi, *yw, *tags;
  THRow<T>* rows;
  arena.Reserve(xo, J.X.Dst);
  arena.Reserve(xw, J.X.Dst);
  arena.Reserve(yi, J.Y.Dst);
  arena.Reserve(yw, J.Y.Dst);
  arena.Reserve(tags, 2);
  arena.Reserve(rows, 2 * static_cast<int64_t>(len));
  TShufflePlan shuffle{};
  int32_t* wp4 = nullptr;
  if constexpr (std::is_same_v<T, Ipp8u> && C == 4) arena.Reserve(wp4, 4 * static_cast<int64_t>(J.X.Dst));
  if constexpr (std::is_same_v<T, Ipp8u> && (C == 1 || C == 4)) {
    arena.Reserve(shuffle.Base, static_cast<int64_t>(J.X.Dst) * C / 8 + 1);
    arena.Reserve(shuffle.Left, 2 * static_cast<int64_t>(J.X.Dst) * C + 16);
    arena.Reserve(shuffle.Right, 2 * static_cast<int64_t>(J.X.Dst) * C + 16);
    arena.Reserve(shuffle.Weight, static_cast<int64_t>(J.X.Dst) * C);
  }
  if (!arena.Allocate()) return ippStsMemAllocErr;
  LinearTable(J.X, xo, xw);
  LinearTable(J.Y, yi, yw);
  for (int k = 0; k < J.X.Dst; ++k) xo[k] *= C;
  tags[0] = tags[1] = INT32_MIN;
  TRowCache<THRow<T>> cache{rows, tags, 2, len};
  // Columns whose four bytes from the left neighbour on lie inside the
  // image row (for the one-channel gather).
  int safe = J.X.Dst;
  while (safe > 0 && xo[safe - 1] + 3 > J.X.Last * C) --safe;
  const TShufflePlan* plan = nullptr;
  if constexpr (std::is_same_v<T, Ipp8u> && (C == 1 || C == 4)) {
    // Taken when at least three blocks in four fit (factors above about
    // one half); the other paths serve stronger reductions better.
    if (IppiCommon::UseSsse3()) {
      const int fitting = MakeShufflePlan<C>(xo, xw, J.X.Dst, J.X.Last * C + C - 1, shuffle);
      if (4 * fitting >= 3 * shuffle.Blocks) plan = &shuffle;
    }
  }
  int32_t* weights4 = nullptr;
  if constexpr (std::is_same_v<T, Ipp8u> && C == 4) {
    if (IppiCommon::UseAvx2()) {
      weights4 = wp4;
      for (int k = 0; k < J.X.Dst; ++k)
        for (int c = 0; c < 4; ++c)
          wp4[4 * k + c] = static_cast<int32_t>(static_cast<uint32_t>(xw[k]) << 16 | static_cast<uint32_t>(kOne - xw[k]));
    }
  }
  auto fill = [&](int ARow, THRow<T>* h) {
    LinearRow<T, C>(Row(J.Src, J.SrcStep, ARow), xo, xw, J.X.Dst, safe, plan, weights4, h);
  };
  for (int r = 0; r < J.Y.Dst; ++r) {
    const THRow<T>* h0 = cache.Get(yi[r], fill);
    const THRow<T>* h1 = cache.Get(yi[r] + 1, fill);
    LinearCombine<T>(h0, h1, yw[r], len, Row(J.Dst, J.DstStep, r));
  }
  return ippStsNoErr;
}

// ---- cubic

// Newton form through four points q0 ... q3 at the coefficients c of x:
// q0 + x D1 + x(x-1)/2 D2 + x(x-1)(x-2)/6 D3 with the forward differences.
inline float Newton(float q0, float q1, float q2, float q3, const float* c) noexcept {
  const float e0 = q1 - q0, e1 = q2 - q1, e2 = q3 - q2;
  const float d2 = e1 - e0, d3 = (e2 - e1) - d2;
  return q0 + c[0] * e0 + c[1] * d2 + c[2] * d3;
}

template <class T, int C>
IppStatus RunCubic(const TJob<T>& J) {
  const size_t len = static_cast<size_t>(J.X.Dst) * C;
  TArena arena;
  int *xo, *yi, *tags;
  float *xc, *yc, *rows;
  arena.Reserve(xo, J.X.Dst);
  arena.Reserve(xc, 3 * static_cast<int64_t>(J.X.Dst));
  arena.Reserve(yi, J.Y.Dst);
  arena.Reserve(yc, 3 * static_cast<int64_t>(J.Y.Dst));
  arena.Reserve(tags, 4);
  arena.Reserve(rows, 4 * static_cast<int64_t>(len));
  if (!arena.Allocate()) return ippStsMemAllocErr;
  CubicTable(J.X, xo, xc);
  CubicTable(J.Y, yi, yc);
  for (int k = 0; k < J.X.Dst; ++k) xo[k] *= C;
  for (int i = 0; i < 4; ++i) tags[i] = INT32_MIN;
  TRowCache<float> cache{rows, tags, 4, len};
  auto fill = [&](int ARow, float* f) {
    const T* s = Row(J.Src, J.SrcStep, ARow);
    for (int k = 0; k < J.X.Dst; ++k) {
      const T* p = s + xo[k];
      for (int c = 0; c < C; ++c)
        f[k * C + c] = Newton(p[c], p[C + c], p[2 * C + c], p[3 * C + c], xc + 3 * k);
    }
  };
  for (int r = 0; r < J.Y.Dst; ++r) {
    const float* q[4];
    for (int m = 0; m < 4; ++m) q[m] = cache.Get(yi[r] + m, fill);
    T* d = Row(J.Dst, J.DstStep, r);
    const float* c = yc + 3 * r;
    for (size_t i = 0; i < len; ++i) d[i] = RoundFloat<T>(Newton(q[0][i], q[1][i], q[2][i], q[3][i], c));
  }
  return ippStsNoErr;
}

// ---- Lanczos

template <class T, int C>
IppStatus RunLanczos(const TJob<T>& J) {
  const size_t len = static_cast<size_t>(J.X.Dst) * C;
  TArena arena;
  int *xo, *yi, *tags;
  float *xw, *yw, *rows;
  arena.Reserve(xo, 6 * static_cast<int64_t>(J.X.Dst));
  arena.Reserve(xw, 6 * static_cast<int64_t>(J.X.Dst));
  arena.Reserve(yi, 6 * static_cast<int64_t>(J.Y.Dst));
  arena.Reserve(yw, 6 * static_cast<int64_t>(J.Y.Dst));
  arena.Reserve(tags, 6);
  arena.Reserve(rows, 6 * static_cast<int64_t>(len));
  if (!arena.Allocate()) return ippStsMemAllocErr;
  LanczosTable(J.X, xo, xw);
  LanczosTable(J.Y, yi, yw);
  for (int k = 0; k < 6 * J.X.Dst; ++k) xo[k] *= C;
  for (int i = 0; i < 6; ++i) tags[i] = INT32_MIN;
  TRowCache<float> cache{rows, tags, 6, len};
  auto fill = [&](int ARow, float* f) {
    const T* s = Row(J.Src, J.SrcStep, ARow);
    for (int k = 0; k < J.X.Dst; ++k)
      for (int c = 0; c < C; ++c) {
        float v = 0;
        for (int m = 0; m < 6; ++m) v += xw[6 * k + m] * s[xo[6 * k + m] + c];
        f[k * C + c] = v;
      }
  };
  for (int r = 0; r < J.Y.Dst; ++r) {
    const float* q[6];
    for (int m = 0; m < 6; ++m) q[m] = cache.Get(yi[6 * r + m], fill);
    const float* w = yw + 6 * r;
    T* d = Row(J.Dst, J.DstStep, r);
    for (size_t i = 0; i < len; ++i) {
      float v = 0;
      for (int m = 0; m < 6; ++m) v += w[m] * q[m][i];
      d[i] = RoundFloat<T>(v);
    }
  }
  return ippStsNoErr;
}

// ---- supersampling

template <class T>
inline T RoundSuper(float v) noexcept {
  // trunc(sum xFactor yFactor + 0.5), limited to the sample range
  const float r = v + 0.5f;
  if (!(r >= 1)) return 0;
  if (r >= kMax<T>) return static_cast<T>(kMax<T>);
  return static_cast<T>(static_cast<int>(r));
}

// trunc(sum scale + 0.5) of eight 16-bit sums, in single precision as the
// scalar path computes it.
inline __m128i RoundFloatSums(__m128i sums, __m128 scale) noexcept {
  const __m128i zero = _mm_setzero_si128();
  const __m128 half = _mm_set1_ps(0.5f);
  const __m128 lo = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(sums, zero)), scale), half);
  const __m128 hi = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(sums, zero)), scale), half);
  return _mm_packs_epi32(_mm_cvttps_epi32(lo), _mm_cvttps_epi32(hi));
}

// With the scale exactly 0.25 (factors 0.5 by 0.5) the single-precision
// rounding of a sum s below 2^10 is exact: trunc(s * 0.25 + 0.5) is
// (s + 2) >> 2.
inline __m128i RoundQuarterSums(__m128i sums) noexcept { return _mm_srli_epi16(_mm_add_epi16(sums, _mm_set1_epi16(2)), 2); }

// 2 x 2 boxes at the scale 0.25 with AVX2, 32 bytes of each of the two rows
// at a time: byte pairs summed by one multiply-add with ones (for four
// channels after a shuffle that puts the two pixels' channels side by side).
template <int C>
__attribute__((target("avx2"))) inline __m256i BoxPairSums(const Ipp8u* p) noexcept {
  __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  if constexpr (C == 4)
    v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6,
                                                3, 7, 8, 12, 9, 13, 10, 14, 11, 15));
  return _mm256_maddubs_epi16(v, _mm256_set1_epi8(1));
}
template <int C>
__attribute__((target("avx2"))) int SuperBox2x2QuarterAvx2(const Ipp8u* a, const Ipp8u* b, int n, Ipp8u* d) noexcept {
  const __m256i two = _mm256_set1_epi16(2);
  constexpr int kPerStep = 32 / C;  // destination pixels per step (64 source bytes per row)
  int k = 0;
  for (; k + kPerStep <= n; k += kPerStep) {
    const Ipp8u* pa = a + 2 * C * k;
    const Ipp8u* pb = b + 2 * C * k;
    const __m256i s0 = _mm256_add_epi16(_mm256_add_epi16(BoxPairSums<C>(pa), BoxPairSums<C>(pb)), two);
    const __m256i s1 = _mm256_add_epi16(_mm256_add_epi16(BoxPairSums<C>(pa + 32), BoxPairSums<C>(pb + 32)), two);
    const __m256i r = _mm256_packus_epi16(_mm256_srli_epi16(s0, 2), _mm256_srli_epi16(s1, 2));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + C * k), _mm256_permute4x64_epi64(r, 0xD8));
  }
  return k;
}

// 2 x 2 boxes, sixteen one-channel or four four-channel destination pixels
// at a time; returns the next destination pixel.
template <int C>
int SuperBox2x2Row(const Ipp8u* a, const Ipp8u* b, int n, float AScale, Ipp8u* d) noexcept {
  const __m128 scale = _mm_set1_ps(AScale);
  const bool quarter = AScale == 0.25f;
  auto RoundSums = [&](__m128i sums, __m128 sc) { return quarter ? RoundQuarterSums(sums) : RoundFloatSums(sums, sc); };
  const __m128i zero = _mm_setzero_si128();
  int k = 0;
  if constexpr (C == 1) {
    const __m128i mask = _mm_set1_epi16(0xFF);
    auto pairs = [&](const Ipp8u* p) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      return _mm_add_epi16(_mm_and_si128(v, mask), _mm_srli_epi16(v, 8));
    };
    for (; k + 16 <= n; k += 16) {
      const __m128i s0 = _mm_add_epi16(pairs(a + 2 * k), pairs(b + 2 * k));
      const __m128i s1 = _mm_add_epi16(pairs(a + 2 * k + 16), pairs(b + 2 * k + 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), _mm_packus_epi16(RoundSums(s0, scale), RoundSums(s1, scale)));
    }
  } else if constexpr (C == 4) {
    // Two destination pixels from 16 source bytes: pixel pairs summed.
    auto pairs = [&](const Ipp8u* p) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
      return _mm_unpacklo_epi64(_mm_add_epi16(lo, _mm_srli_si128(lo, 8)), _mm_add_epi16(hi, _mm_srli_si128(hi, 8)));
    };
    for (; k + 4 <= n; k += 4) {
      const __m128i s0 = _mm_add_epi16(pairs(a + 8 * k), pairs(b + 8 * k));
      const __m128i s1 = _mm_add_epi16(pairs(a + 8 * k + 16), pairs(b + 8 * k + 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * k),
                       _mm_packus_epi16(RoundSums(s0, scale), RoundSums(s1, scale)));
    }
  }
  return k;
}

// Whole-pixel boxes of 8u samples: the area sums are integers below 2^24,
// which single precision holds exactly, so summing them as integers gives
// the same sums as the weighted single-precision accumulation.
template <int C>
void SuperBoxRows(const TJob<Ipp8u>& J, int bx, int by, float scale, uint32_t* col) {
  const size_t srcLen = static_cast<size_t>(J.X.Dst) * bx * C;
  const size_t len = static_cast<size_t>(J.X.Dst) * C;
  for (int r = 0; r < J.Y.Dst; ++r) {
    const Ipp8u* s0 = Row(J.Src, J.SrcStep, r * by);
    if (bx == 2 && by == 2 && C != 3) {
      Ipp8u* d = Row(J.Dst, J.DstStep, r);
      const Ipp8u* s1 = Row(J.Src, J.SrcStep, r * by + 1);
      int k0 = scale == 0.25f && IppiCommon::UseAvx2() ? SuperBox2x2QuarterAvx2<C>(s0, s1, J.X.Dst, d) : 0;
      k0 += SuperBox2x2Row<C>(s0 + 2 * C * k0, s1 + 2 * C * k0, J.X.Dst - k0, scale, d + C * k0);
      for (int k = k0; k < J.X.Dst; ++k)
        for (int c = 0; c < C; ++c) {
          const uint32_t sum = s0[2 * C * k + c] + s0[2 * C * k + C + c] + s1[2 * C * k + c] + s1[2 * C * k + C + c];
          d[k * C + c] = RoundSuper<Ipp8u>(static_cast<float>(sum) * scale);
        }
      continue;
    }
    for (size_t i = 0; i < srcLen; ++i) col[i] = s0[i];
    for (int m = 1; m < by; ++m) {
      const Ipp8u* s = Row(J.Src, J.SrcStep, r * by + m);
      for (size_t i = 0; i < srcLen; ++i) col[i] += s[i];
    }
    Ipp8u* d = Row(J.Dst, J.DstStep, r);
    if (bx == 2) {
      for (size_t k = 0; k < static_cast<size_t>(J.X.Dst); ++k)
        for (int c = 0; c < C; ++c) {
          const uint32_t sum = col[2 * C * k + c] + col[2 * C * k + C + c];
          d[k * C + c] = RoundSuper<Ipp8u>(static_cast<float>(sum) * scale);
        }
    } else {
      for (size_t i = 0; i < len; ++i) {
        const size_t k = i / C, c = i % C;
        uint32_t sum = 0;
        for (int m = 0; m < bx; ++m) sum += col[(k * bx + m) * C + c];
        d[i] = RoundSuper<Ipp8u>(static_cast<float>(sum) * scale);
      }
    }
  }
}

template <class T, int C>
IppStatus RunSuper(const TJob<T>& J) {
  const size_t len = static_cast<size_t>(J.X.Dst) * C;
  TArena arena;
  TSuperAxis sx{}, sy{};
  float *tmp, *acc;
  uint32_t* col;
  arena.Reserve(sx.Start, J.X.Dst);
  arena.Reserve(sx.Count, J.X.Dst);
  arena.Reserve(sx.Offset, J.X.Dst);
  arena.Reserve(sx.Weight, SuperWeightCount(J.X));
  arena.Reserve(sy.Start, J.Y.Dst);
  arena.Reserve(sy.Count, J.Y.Dst);
  arena.Reserve(sy.Offset, J.Y.Dst);
  arena.Reserve(sy.Weight, SuperWeightCount(J.Y));
  arena.Reserve(tmp, static_cast<int64_t>(len));
  arena.Reserve(acc, static_cast<int64_t>(len));
  arena.Reserve(col, static_cast<int64_t>(J.X.Size) * C);
  if (!arena.Allocate()) return ippStsMemAllocErr;
  SuperTable(J.X, sx);
  SuperTable(J.Y, sy);
  const float scale = static_cast<float>(J.X.Factor * J.Y.Factor);
  if constexpr (std::is_same_v<T, Ipp8u>) {
    int bx, by;
    if (SuperIsBox(J.X, sx, bx) && SuperIsBox(J.Y, sy, by) && bx * by <= 65536) {
      SuperBoxRows<C>(J, bx, by, scale, col);
      return ippStsNoErr;
    }
  }
  for (int r = 0; r < J.Y.Dst; ++r) {
    for (size_t i = 0; i < len; ++i) acc[i] = 0;
    for (int m = 0; m < sy.Count[r]; ++m) {
      const T* s = Row(J.Src, J.SrcStep, sy.Start[r] + m);
      for (int k = 0; k < J.X.Dst; ++k) {
        const float* w = sx.Weight + sx.Offset[k];
        const T* p = s + static_cast<size_t>(sx.Start[k]) * C;
        for (int c = 0; c < C; ++c) {
          float v = 0;
          for (int q = 0; q < sx.Count[k]; ++q) v += w[q] * p[q * C + c];
          tmp[k * C + c] = v;
        }
      }
      const float wy = sy.Weight[sy.Offset[r] + m];
      for (size_t i = 0; i < len; ++i) acc[i] += wy * tmp[i];
    }
    T* d = Row(J.Dst, J.DstStep, r);
    for (size_t i = 0; i < len; ++i) d[i] = RoundSuper<T>(acc[i] * scale);
  }
  return ippStsNoErr;
}

template <class T, int C>
IppStatus Run(const TJob<T>& J) {
  switch (J.Method) {
    case TMethod::Nearest: return RunNearest<T, C>(J);
    case TMethod::Linear: return RunLinear<T, C>(J);
    case TMethod::Cubic: return RunCubic<T, C>(J);
    case TMethod::Lanczos: return RunLanczos<T, C>(J);
    case TMethod::Super: return RunSuper<T, C>(J);
  }
  return ippStsNoErr;
}

// ---- checks

// Checks 1 to 6 of every resize entry in their order, then the row steps;
// on success AMethod is the method the interpolation code names.
IppStatus CheckArguments(const void* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, const void* pDst,
                         int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation,
                         int APixelBytes, TMethod& AMethod) {
  if (pSrc == nullptr || pDst == nullptr) return ippStsNullPtrErr;
  if (srcSize.width < 1 || srcSize.height < 1 || srcRoi.x < 0 || srcRoi.y < 0 || srcRoi.width < 1 ||
      srcRoi.height < 1)
    return ippStsSizeErr;
  if (srcRoi.x >= srcSize.width || srcRoi.y >= srcSize.height) return ippStsRoiOutsideSource;
  if (dstRoiSize.width < 1 || dstRoiSize.height < 1) return ippStsSizeErr;
  if (!(xFactor > 0) || !(yFactor > 0)) return ippStsResizeFactorErr;  // also NaN
  if (interpolation == IPPI_INTER_SUPER && xFactor <= 1 && yFactor <= 1) {
    AMethod = TMethod::Super;
  } else {
    switch (interpolation) {
      case IPPI_INTER_NN: AMethod = TMethod::Nearest; break;
      case IPPI_INTER_LINEAR: AMethod = TMethod::Linear; break;
      case IPPI_INTER_CUBIC: AMethod = TMethod::Cubic; break;
      case IPPI_INTER_LANCZOS: AMethod = TMethod::Lanczos; break;
      default: return ippStsInterpolationErr;
    }
  }
  // A row step below the row would make rows overlap and the last row run
  // past the image: refused before anything is read or written.
  if (StepTooSmall(srcStep, srcSize.width, APixelBytes) || StepTooSmall(dstStep, dstRoiSize.width, APixelBytes))
    return ippStsStepErr;
  // Small sources take simpler methods (supersampling is not one of the
  // windowed kernels and keeps its averaging).
  if (AMethod != TMethod::Super) {
    const int small = srcSize.width < srcSize.height ? srcSize.width : srcSize.height;
    if (AMethod == TMethod::Lanczos && small < 8) AMethod = TMethod::Cubic;
    if (AMethod == TMethod::Cubic && small < 4) AMethod = TMethod::Linear;
    if (small < 2) AMethod = TMethod::Nearest;
  }
  return ippStsNoErr;
}

// The destination size rule: s = 1e-7 + factor * size; when trunc(s) is
// below the destination size, the destination becomes trunc(s), or 1 when
// s >= 0.5; otherwise the region is too small to give a pixel.
bool FitDestination(TAxis& A) {
  const double s = 1e-7 + A.Factor * A.Size;
  if (s < A.Dst) {
    const double t = std::trunc(s);
    if (t >= 1) A.Dst = static_cast<int>(t);
    else if (s >= 0.5) A.Dst = 1;
    else return false;
  }
  return true;
}

TAxis MakeAxis(int AImage, int AOrigin, int ARegion, int ADst, double AFactor, Extended AShift) {
  TAxis a;
  a.First = -AOrigin;
  a.Last = AImage - 1 - AOrigin;
  const int room = AImage - AOrigin;
  a.Size = ARegion < room ? ARegion : room;
  a.Dst = ADst;
  a.Factor = AFactor;
  a.Shift = AShift;
  return a;
}

template <class T, int C>
IppStatus Resize(const T* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, T* pDst, int dstStep,
                 IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation) {
  TMethod method{};
  const IppStatus st = CheckArguments(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor,
                                      interpolation, C * static_cast<int>(sizeof(T)), method);
  if (st != ippStsNoErr) return st;
  TJob<T> J;
  J.X = MakeAxis(srcSize.width, srcRoi.x, srcRoi.width, dstRoiSize.width, xFactor, 0);
  J.Y = MakeAxis(srcSize.height, srcRoi.y, srcRoi.height, dstRoiSize.height, yFactor, 0);
  if (!FitDestination(J.X) || !FitDestination(J.Y)) return ippStsResizeTooSmallErr;
  J.Src = Row(pSrc, srcStep, srcRoi.y) + static_cast<size_t>(srcRoi.x) * C;
  J.SrcStep = srcStep;
  J.Dst = pDst;
  J.DstStep = dstStep;
  J.Method = method;
  return Run<T, C>(J);
}

// The centre mapping of one dimension: destination x = 0.5 width +
// factor (source x - centre). Gives the first written destination index, the
// count written, and the new region origin and fractional shift of the first
// written pixel's source position; false when no destination pixel maps into
// the region.
bool CentreAxis(int ARoiOrigin, int ARoiSize, int AImage, int ADst, double AFactor, double ACentre, int& AFirst,
                int& ACount, int& AOrigin, Extended& AShift) {
  const int room = AImage - ARoiOrigin;
  const int size = ARoiSize < room ? ARoiSize : room;
  const Extended half = 0.5L * ADst, f = AFactor, c = ACentre;
  Extended first = std::ceil(half + f * (ARoiOrigin - c));
  if (first < 0) first = 0;
  Extended end = std::ceil(half + f * (static_cast<Extended>(ARoiOrigin) + size - c));
  if (end > ADst) end = ADst;
  if (!(end > first)) return false;
  AFirst = static_cast<int>(first);
  ACount = static_cast<int>(end) - AFirst;
  const Extended s = c + (AFirst - half) / f;
  Extended o = std::floor(s);
  Extended shift = s - o;
  if (o < ARoiOrigin) {
    o = ARoiOrigin;
    shift = 0;
  } else if (o > ARoiOrigin + size - 1) {
    o = ARoiOrigin + size - 1;
  }
  AOrigin = static_cast<int>(o);
  AShift = shift;
  return true;
}

}  // namespace

IppStatus ippiResize_8u_C1R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                            int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation) {
  return Resize<Ipp8u, 1>(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor, interpolation);
}
IppStatus ippiResize_8u_C3R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                            int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation) {
  return Resize<Ipp8u, 3>(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor, interpolation);
}
IppStatus ippiResize_8u_C4R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                            int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation) {
  return Resize<Ipp8u, 4>(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor, interpolation);
}
IppStatus ippiResize_16u_C1R(const Ipp16u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp16u* pDst,
                             int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, int interpolation) {
  return Resize<Ipp16u, 1>(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor,
                           interpolation);
}

IppStatus ippiResizeCenter_8u_C4R(const Ipp8u* pSrc, IppiSize srcSize, int srcStep, IppiRect srcRoi, Ipp8u* pDst,
                                  int dstStep, IppiSize dstRoiSize, double xFactor, double yFactor, double xCenter,
                                  double yCenter, int interpolation) {
  TMethod method{};
  const IppStatus st = CheckArguments(pSrc, srcSize, srcStep, srcRoi, pDst, dstStep, dstRoiSize, xFactor, yFactor,
                                      interpolation, 4, method);
  if (st != ippStsNoErr) return st;
  // A centre that is not a number maps no pixel anywhere: a size error
  // rather than a call that silently writes nothing.
  if (!std::isfinite(xCenter) || !std::isfinite(yCenter)) return ippStsSizeErr;
  int x0, nx, ox, y0, ny, oy;
  Extended shx, shy;
  if (!CentreAxis(srcRoi.x, srcRoi.width, srcSize.width, dstRoiSize.width, xFactor, xCenter, x0, nx, ox, shx) ||
      !CentreAxis(srcRoi.y, srcRoi.height, srcSize.height, dstRoiSize.height, yFactor, yCenter, y0, ny, oy, shy))
    return ippStsNoErr;  // the region maps outside the destination: nothing to write
  // The region from the new origin to the clipped region's far edge.
  auto rest = [](int AOrigin, int ASize, int AImage, int ANewOrigin) {
    const int64_t end = static_cast<int64_t>(AOrigin) + ASize;
    return static_cast<int>((end < AImage ? end : AImage) - ANewOrigin);
  };
  TJob<Ipp8u> J;
  J.X = MakeAxis(srcSize.width, ox, rest(srcRoi.x, srcRoi.width, srcSize.width, ox), nx, xFactor, shx);
  J.Y = MakeAxis(srcSize.height, oy, rest(srcRoi.y, srcRoi.height, srcSize.height, oy), ny, yFactor, shy);
  if (!FitDestination(J.X) || !FitDestination(J.Y)) return ippStsResizeTooSmallErr;
  J.Src = Row(pSrc, srcStep, oy) + static_cast<size_t>(ox) * 4;
  J.SrcStep = srcStep;
  J.Dst = Row(pDst, dstStep, y0) + static_cast<size_t>(x0) * 4;
  J.DstStep = dstStep;
  J.Method = method;
  return Run<Ipp8u, 4>(J);
}

}  // namespace IppInternal
