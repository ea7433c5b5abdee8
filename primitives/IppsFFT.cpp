// Fast Fourier transforms: complex double (kind 7) and real double with the
// CCS packed spectrum (kind 9), orders 0 to 30, and the conjugate expansion
// of a CCS spectrum.
//
// A complex transform of size M = 2^m is one of
//   m <= 3       a straight-line DFT summed in extended precision;
//   4 <= m <= 11 bit-reversed copy, a pass of 4-point DFTs, one radix-2 pass
//                for odd m, then radix-4 passes, each with its own
//                contiguous run of twiddle triples (w^k, w^2k, w^3k);
//   m >= 12      the split M = P * Q (P = 2^p from the split table): P-point
//                transforms of the columns, read four at a time, the twiddle
//                W_M^(n2*k1), then Q-point transforms of the rows (split
//                again when Q is large) written out transposed, all through
//                the working storage.
// Every twiddle is read from the quarter-wave sine table of its length by
// symmetry; the table's entries are computed on demand, so that no table of
// the full length is ever held.
//
// A real transform of length N runs the complex transform of size N/2 on the
// samples read as pairs and splits the result with the table W[k] = W_N^k.
#include "primitives/IppsFFT.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "primitives/CmMalloc.h"
#include "primitives/IppsCommon.h"
#include "primitives/LibCDispatcher.h"

using IppsCommon::Extended;

namespace {

constexpr int32_t kKindComplex = 7;
constexpr int32_t kKindReal = 9;
constexpr int kMaxOrder = 30;
constexpr int kFirstSplitOrder = 12;
constexpr int kLastDirectOrder = 11;

// p of the split 2^p * 2^(m-p) for m = 12 ... 22; orders 23 to 30 use 9.
constexpr int kSplitRows[] = {4, 5, 6, 7, 7, 8, 9, 9, 9, 8, 8};
int SplitRows(int m) noexcept { return m - kFirstSplitOrder < 11 ? kSplitRows[m - kFirstSplitOrder] : 9; }

// Entry i (0 <= i <= N/4) of the quarter-wave sine table of length N >= 4:
// delta = 2*pi/N rounded to double; sin(delta*i) up to N/8, beyond that
// cos(delta*(N/4 - i)), each argument rounded to double.
double QuarterSine(int64_t N, int64_t i) noexcept {
  const double delta = (2.0 * 3.14159265358979323846) / static_cast<double>(N);
  if (i <= N / 8) return LibCDispatcher::sin(delta * static_cast<double>(i));
  return LibCDispatcher::cos(delta * static_cast<double>(N / 4 - i));
}

// The quarter-wave sine table of length N (entries 0 ... N/4), held while a
// specification is built. Up to 2^20 entries it is computed once; a longer
// one (or one whose storage cannot be had) computes each entry on demand,
// with the same values.
class TQuarterSine {
 public:
  explicit TQuarterSine(int64_t N) noexcept : FN(N) {
    constexpr int64_t kMaxHeld = int64_t{1} << 20;
    if (N < 4 || N / 4 + 1 > kMaxHeld) return;
    FTable = static_cast<double*>(AlignedAllocReals(static_cast<int32_t>(N / 4 + 1)));
    if (FTable == nullptr) return;
    for (int64_t i = 0; i <= N / 4; ++i) FTable[i] = QuarterSine(N, i);
  }
  ~TQuarterSine() { AlignedFree(FTable); }
  TQuarterSine(const TQuarterSine&) = delete;
  TQuarterSine& operator=(const TQuarterSine&) = delete;
  int64_t Length() const noexcept { return FN; }
  double operator()(int64_t i) const noexcept { return FTable != nullptr ? FTable[i] : QuarterSine(FN, i); }

 private:
  int64_t FN;
  double* FTable = nullptr;
};

// e^(-2*pi*i*j/M) for 0 <= j < M, 4 <= M <= N, by quarter-wave symmetry from
// the table of length N (read with stride N/M).
Ipp64fc Twiddle(const TQuarterSine& S, int64_t M, int64_t j) noexcept {
  const int64_t quarter = M / 4, stride = S.Length() / M;
  const int64_t q = j / quarter, r = j % quarter;
  const double s = S(r * stride), c = S((quarter - r) * stride);
  double cosv, sinv;
  switch (q) {
    case 0: cosv = c; sinv = s; break;
    case 1: cosv = -s; sinv = c; break;
    case 2: cosv = -c; sinv = -s; break;
    default: cosv = s; sinv = -c; break;
  }
  return {cosv, -sinv};
}

// Up to this order a split keeps every twiddle W_M^(n2*k1) (M values, as
// large as the data and exact to half a unit); above it the twiddle is the
// product of two tables of about sqrt(M) values, which costs a
// multiplication but no memory traffic.
constexpr int kLastFullTwiddleOrder = 20;

// Position of W_M^(n2*k1) in the full table: row k1, column n2.
inline int64_t FullIndex(int64_t n2, int64_t k1, int64_t Q) noexcept { return k1 * Q + n2; }

// The plan of one complex transform of size 2^m: a node of the split tree.
struct TPlan {
  int m;
  uint32_t* Rev;        // direct: bit-reversed index of every position
  Ipp64fc* Stages;      // direct: the twiddles of the radix-2 and radix-4 passes
  int p;                // split: rows 2^p
  TPlan* Rows;          // split: plan of the 2^p-point transforms
  TPlan* Cols;          // split: plan of the 2^(m-p)-point transforms
  Ipp64fc* Lo;          // split: W_M^j, j < 2^h
  Ipp64fc* Hi;          // split: W_M^(i*2^h), i < 2^(m-h)
  int h;
  Ipp64fc* Full;        // split, m <= 16: every W_M^(n2*k1), see FullIndex

  int64_t WorkBytes;    // working storage of one transform [bytes]
};

void FreePlan(TPlan* APlan) noexcept {
  if (APlan == nullptr) return;
  AlignedFree(APlan->Rev);
  AlignedFree(APlan->Stages);
  AlignedFree(APlan->Lo);
  AlignedFree(APlan->Hi);
  AlignedFree(APlan->Full);
  FreePlan(APlan->Rows);
  FreePlan(APlan->Cols);
  AlignedFree(APlan);
}

// Null when an allocation fails; nothing is left allocated then.
TPlan* BuildPlan(int m, const TQuarterSine& S) noexcept {
  auto* plan = static_cast<TPlan*>(AlignedAlloc(sizeof(TPlan)));
  if (plan == nullptr) return nullptr;
  std::memset(static_cast<void*>(plan), 0, sizeof(TPlan));
  plan->m = m;
  if (m <= 3) return plan;
  const int64_t M = int64_t{1} << m;
  if (m <= kLastDirectOrder) {
    plan->Rev = static_cast<uint32_t*>(AlignedAlloc(static_cast<int32_t>(M * sizeof(uint32_t))));
    int64_t count = (m & 1) ? 4 : 0;
    for (int64_t L = (m & 1) ? 8 : 4; L < M; L *= 4) count += 3 * L;
    plan->Stages = static_cast<Ipp64fc*>(AlignedAllocComplex(static_cast<int32_t>(count)));
    if (plan->Rev == nullptr || plan->Stages == nullptr) {
      FreePlan(plan);
      return nullptr;
    }
    for (int64_t i = 0; i < M; ++i) {
      uint32_t r = 0;
      for (int b = 0; b < m; ++b) r |= static_cast<uint32_t>((i >> b) & 1) << (m - 1 - b);
      plan->Rev[i] = r;
    }
    Ipp64fc* t = plan->Stages;
    if (m & 1) {
      for (int64_t k = 0; k < 4; ++k) *t++ = Twiddle(S, M, k * (M / 8));
    }
    // Per pair of butterflies k, k+1 (L is even): w(k), w(k+1), w^2(k),
    // w^2(k+1), w^3(k), w^3(k+1), so that two butterflies read their
    // twiddles as whole vectors.
    for (int64_t L = (m & 1) ? 8 : 4; L < M; L *= 4) {
      const int64_t step = M / (4 * L);  // W_4L = W_M^step
      for (int64_t k = 0; k < L; k += 2) {
        for (int64_t r = 1; r <= 3; ++r) {
          *t++ = Twiddle(S, M, r * k * step);
          *t++ = Twiddle(S, M, r * (k + 1) * step);
        }
      }
    }
    return plan;
  }
  plan->p = SplitRows(m);
  plan->h = (m + 1) / 2;
  plan->Rows = BuildPlan(plan->p, S);
  plan->Cols = BuildPlan(m - plan->p, S);
  plan->Lo = static_cast<Ipp64fc*>(AlignedAllocComplex(int32_t{1} << plan->h));
  plan->Hi = static_cast<Ipp64fc*>(AlignedAllocComplex(int32_t{1} << (m - plan->h)));
  if (plan->Rows == nullptr || plan->Cols == nullptr || plan->Lo == nullptr || plan->Hi == nullptr) {
    FreePlan(plan);
    return nullptr;
  }
  for (int64_t j = 0; j < (int64_t{1} << plan->h); ++j) plan->Lo[j] = Twiddle(S, M, j);
  for (int64_t i = 0; i < (int64_t{1} << (m - plan->h)); ++i) plan->Hi[i] = Twiddle(S, M, i << plan->h);
  if (m <= kLastFullTwiddleOrder) {
    plan->Full = static_cast<Ipp64fc*>(AlignedAllocComplex(static_cast<int32_t>(M)));
    if (plan->Full == nullptr) {
      FreePlan(plan);
      return nullptr;
    }
    const int64_t P = int64_t{1} << plan->p, Q = M >> plan->p;
    for (int64_t n2 = 0; n2 < Q; ++n2) {
      for (int64_t k1 = 0; k1 < P; ++k1) plan->Full[FullIndex(n2, k1, Q)] = Twiddle(S, M, n2 * k1);
    }
  }
  // M values, four rows of max(P, Q) values and the storage of the Q-point
  // transforms.
  const int64_t widest = int64_t{1} << (plan->p > m - plan->p ? plan->p : m - plan->p);
  plan->WorkBytes = (M + 4 * widest) * static_cast<int64_t>(sizeof(Ipp64fc)) + plan->Cols->WorkBytes;
  return plan;
}

// ---- kernels

// e^(-2*pi*i*j/8), j < 8.
constexpr double kR = 0.70710678118654752440;
constexpr Ipp64fc kW8[8] = {{1, 0}, {kR, -kR}, {0, -1}, {-kR, -kR}, {-1, 0}, {-kR, kR}, {0, 1}, {kR, kR}};

// DFT of 1, 2, 4 or 8 points, summed in extended precision; in place allowed.
template <bool Inv>
void SmallTransform(int m, const Ipp64fc* src, Ipp64fc* dst) noexcept {
  const int n = 1 << m;
  Ipp64fc in[8];
  for (int j = 0; j < n; ++j) in[j] = src[j];
  for (int k = 0; k < n; ++k) {
    Extended re = 0, im = 0;
    for (int j = 0; j < n; ++j) {
      const Ipp64fc w = kW8[((j * k) << (3 - m)) & 7];
      const double wi = Inv ? -w.im : w.im;
      re += static_cast<Extended>(in[j].re) * w.re - static_cast<Extended>(in[j].im) * wi;
      im += static_cast<Extended>(in[j].re) * wi + static_cast<Extended>(in[j].im) * w.re;
    }
    dst[k] = {static_cast<double>(re), static_cast<double>(im)};
  }
}

template <bool Inv>
inline Ipp64fc Mul(Ipp64fc a, Ipp64fc w) noexcept {
  const double wi = Inv ? -w.im : w.im;
  return {a.re * w.re - a.im * wi, a.re * wi + a.im * w.re};
}

// The 4-point DFT of a0, a1, a2, a3 (a bit-reversed quadruple: residues 0,
// 2, 1, 3 of its 4-point subsequence) into x[0 ... 3].
template <bool Inv>
inline void FourPoint(Ipp64fc a0, Ipp64fc a1, Ipp64fc a2, Ipp64fc a3, Ipp64fc* x) noexcept {
  const double t0r = a0.re + a1.re, t0i = a0.im + a1.im;
  const double t1r = a0.re - a1.re, t1i = a0.im - a1.im;
  const double t2r = a2.re + a3.re, t2i = a2.im + a3.im;
  const double t3r = a2.re - a3.re, t3i = a2.im - a3.im;
  x[0] = {t0r + t2r, t0i + t2i};
  x[2] = {t0r - t2r, t0i - t2i};
  if (Inv) {
    x[1] = {t1r - t3i, t1i + t3r};
    x[3] = {t1r + t3i, t1i - t3r};
  } else {
    x[1] = {t1r + t3i, t1i - t3r};
    x[3] = {t1r - t3i, t1i + t3r};
  }
}

// Bit-reversed copy (or in-place permutation) fused with the pass of 4-point
// DFTs of consecutive quadruples.
template <bool Inv>
void PermuteAndFirstPass(const uint32_t* rev, const Ipp64fc* src, Ipp64fc* dst, int64_t M) noexcept {
  if (src != dst) {
    for (int64_t g = 0; g < M; g += 4) {
      FourPoint<Inv>(src[rev[g]], src[rev[g + 1]], src[rev[g + 2]], src[rev[g + 3]], dst + g);
    }
    return;
  }
  for (int64_t i = 0; i < M; ++i) {
    const int64_t j = rev[i];
    if (i < j) {
      const Ipp64fc t = dst[i];
      dst[i] = dst[j];
      dst[j] = t;
    }
  }
  for (int64_t g = 0; g < M; g += 4) FourPoint<Inv>(dst[g], dst[g + 1], dst[g + 2], dst[g + 3], dst + g);
}

// Twiddle r (1 to 3) of butterfly k in the pair-blocked layout.
inline const Ipp64fc& StageTwiddle(const Ipp64fc* tw, int64_t k, int r) noexcept {
  return tw[6 * (k >> 1) + 2 * (r - 1) + (k & 1)];
}

// Pairs of 4-point DFTs into 8-point DFTs.
template <bool Inv>
void Radix2Pass(Ipp64fc* x, int64_t M, const Ipp64fc* tw) noexcept {
  for (int64_t g = 0; g < M; g += 8) {
    for (int k = 0; k < 4; ++k) {
      const Ipp64fc a = x[g + k], b = Mul<Inv>(x[g + k + 4], tw[k]);
      x[g + k] = {a.re + b.re, a.im + b.im};
      x[g + k + 4] = {a.re - b.re, a.im - b.im};
    }
  }
}

// Four DFTs of length L (held in the order E0, E2, E1, E3 of the residues
// mod 4) into DFTs of length 4L.
template <bool Inv>
void Radix4Pass(Ipp64fc* x, int64_t M, int64_t L, const Ipp64fc* tw) noexcept {
  for (int64_t g = 0; g < M; g += 4 * L) {
    Ipp64fc* a = x + g;
    for (int64_t k = 0; k < L; ++k) {
      const Ipp64fc a0 = a[k];
      const Ipp64fc b2 = Mul<Inv>(a[k + L], StageTwiddle(tw, k, 2));
      const Ipp64fc b1 = Mul<Inv>(a[k + 2 * L], StageTwiddle(tw, k, 1));
      const Ipp64fc b3 = Mul<Inv>(a[k + 3 * L], StageTwiddle(tw, k, 3));
      const double t0r = a0.re + b2.re, t0i = a0.im + b2.im;
      const double t1r = a0.re - b2.re, t1i = a0.im - b2.im;
      const double t2r = b1.re + b3.re, t2i = b1.im + b3.im;
      const double t3r = b1.re - b3.re, t3i = b1.im - b3.im;
      a[k] = {t0r + t2r, t0i + t2i};
      a[k + 2 * L] = {t0r - t2r, t0i - t2i};
      if (Inv) {
        a[k + L] = {t1r - t3i, t1i + t3r};
        a[k + 3 * L] = {t1r + t3i, t1i - t3r};
      } else {
        a[k + L] = {t1r + t3i, t1i - t3r};
        a[k + 3 * L] = {t1r - t3i, t1i + t3r};
      }
    }
  }
}

#if defined(__x86_64__) || defined(__i386__)
// The same passes on two butterflies at once (two complex values per AVX
// register, real part first), with fused multiply-adds. Chosen at run time
// when the processor has AVX2 and FMA.
#define FR_FFT_HAVE_AVX2 1

__attribute__((target("avx2,fma"))) inline __m256d MulAvx(__m256d a, __m256d w, bool inv) noexcept {
  const __m256d wr = _mm256_movedup_pd(w);
  const __m256d wi = _mm256_permute_pd(w, 0xF);
  const __m256d as = _mm256_permute_pd(a, 0x5);
  return inv ? _mm256_fmsubadd_pd(a, wr, _mm256_mul_pd(as, wi)) : _mm256_fmaddsub_pd(a, wr, _mm256_mul_pd(as, wi));
}

// t1 - i*t3 and t1 + i*t3.
__attribute__((target("avx2,fma"))) inline void RotateAvx(__m256d t1, __m256d t3, __m256d& minus, __m256d& plus) noexcept {
  const __m256d t3s = _mm256_permute_pd(t3, 0x5);  // (t3i, t3r)
  plus = _mm256_addsub_pd(t1, t3s);                // (t1r - t3i, t1i + t3r)
  minus = _mm256_addsub_pd(t1, _mm256_sub_pd(_mm256_setzero_pd(), t3s));
}

template <bool Inv>
__attribute__((target("avx2,fma"))) void Radix2PassAvx(Ipp64fc* x, int64_t M, const Ipp64fc* tw) noexcept {
  double* d = &x[0].re;
  const __m256d w01 = _mm256_loadu_pd(&tw[0].re), w23 = _mm256_loadu_pd(&tw[2].re);
  for (int64_t g = 0; g < 2 * M; g += 16) {
    const __m256d a0 = _mm256_loadu_pd(d + g), a1 = _mm256_loadu_pd(d + g + 4);
    const __m256d b0 = MulAvx(_mm256_loadu_pd(d + g + 8), w01, Inv);
    const __m256d b1 = MulAvx(_mm256_loadu_pd(d + g + 12), w23, Inv);
    _mm256_storeu_pd(d + g, _mm256_add_pd(a0, b0));
    _mm256_storeu_pd(d + g + 4, _mm256_add_pd(a1, b1));
    _mm256_storeu_pd(d + g + 8, _mm256_sub_pd(a0, b0));
    _mm256_storeu_pd(d + g + 12, _mm256_sub_pd(a1, b1));
  }
}

template <bool Inv>
__attribute__((target("avx2,fma"))) void Radix4PassAvx(Ipp64fc* x, int64_t M, int64_t L, const Ipp64fc* tw) noexcept {
  for (int64_t g = 0; g < M; g += 4 * L) {
    double* a0p = &x[g].re;
    double* a1p = a0p + 2 * L;
    double* a2p = a0p + 4 * L;
    double* a3p = a0p + 6 * L;
    const double* t = &tw[0].re;
    for (int64_t k = 0; k < L; k += 2, t += 12) {
      const int64_t o = 2 * k;
      const __m256d a0 = _mm256_loadu_pd(a0p + o);
      const __m256d b2 = MulAvx(_mm256_loadu_pd(a1p + o), _mm256_loadu_pd(t + 4), Inv);
      const __m256d b1 = MulAvx(_mm256_loadu_pd(a2p + o), _mm256_loadu_pd(t), Inv);
      const __m256d b3 = MulAvx(_mm256_loadu_pd(a3p + o), _mm256_loadu_pd(t + 8), Inv);
      const __m256d t0 = _mm256_add_pd(a0, b2), t1 = _mm256_sub_pd(a0, b2);
      const __m256d t2 = _mm256_add_pd(b1, b3), t3 = _mm256_sub_pd(b1, b3);
      __m256d minus, plus;
      RotateAvx(t1, t3, minus, plus);
      _mm256_storeu_pd(a0p + o, _mm256_add_pd(t0, t2));
      _mm256_storeu_pd(a2p + o, _mm256_sub_pd(t0, t2));
      _mm256_storeu_pd(a1p + o, Inv ? plus : minus);
      _mm256_storeu_pd(a3p + o, Inv ? minus : plus);
    }
  }
}

// The passes of the P-point column transforms on whole rows of Q values:
// each butterfly combines four (two) rows with one twiddle per row.
template <bool Inv>
__attribute__((target("avx2,fma"))) void RowButterfly4Avx(double* r0, double* r1, double* r2, double* r3, int64_t Q,
                                                          Ipp64fc w1, Ipp64fc w2, Ipp64fc w3, const double* const* out) noexcept {
  // r0..r3 hold E0, E2, E1, E3; out, when not null, the rows of twiddles
  // that the four output rows are multiplied by.
  const __m256d v1 = _mm256_setr_pd(w1.re, w1.im, w1.re, w1.im);
  const __m256d v2 = _mm256_setr_pd(w2.re, w2.im, w2.re, w2.im);
  const __m256d v3 = _mm256_setr_pd(w3.re, w3.im, w3.re, w3.im);
  if (out != nullptr) {
    for (int64_t o = 0; o < 2 * Q; o += 4) {
      const __m256d a0 = _mm256_loadu_pd(r0 + o);
      const __m256d b2 = MulAvx(_mm256_loadu_pd(r1 + o), v2, Inv);
      const __m256d b1 = MulAvx(_mm256_loadu_pd(r2 + o), v1, Inv);
      const __m256d b3 = MulAvx(_mm256_loadu_pd(r3 + o), v3, Inv);
      const __m256d t0 = _mm256_add_pd(a0, b2), t1 = _mm256_sub_pd(a0, b2);
      const __m256d t2 = _mm256_add_pd(b1, b3), t3 = _mm256_sub_pd(b1, b3);
      __m256d minus, plus;
      RotateAvx(t1, t3, minus, plus);
      _mm256_storeu_pd(r0 + o, MulAvx(_mm256_add_pd(t0, t2), _mm256_loadu_pd(out[0] + o), Inv));
      _mm256_storeu_pd(r2 + o, MulAvx(_mm256_sub_pd(t0, t2), _mm256_loadu_pd(out[2] + o), Inv));
      _mm256_storeu_pd(r1 + o, MulAvx(Inv ? plus : minus, _mm256_loadu_pd(out[1] + o), Inv));
      _mm256_storeu_pd(r3 + o, MulAvx(Inv ? minus : plus, _mm256_loadu_pd(out[3] + o), Inv));
    }
    return;
  }
  for (int64_t o = 0; o < 2 * Q; o += 4) {
    const __m256d a0 = _mm256_loadu_pd(r0 + o);
    const __m256d b2 = MulAvx(_mm256_loadu_pd(r1 + o), v2, Inv);
    const __m256d b1 = MulAvx(_mm256_loadu_pd(r2 + o), v1, Inv);
    const __m256d b3 = MulAvx(_mm256_loadu_pd(r3 + o), v3, Inv);
    const __m256d t0 = _mm256_add_pd(a0, b2), t1 = _mm256_sub_pd(a0, b2);
    const __m256d t2 = _mm256_add_pd(b1, b3), t3 = _mm256_sub_pd(b1, b3);
    __m256d minus, plus;
    RotateAvx(t1, t3, minus, plus);
    _mm256_storeu_pd(r0 + o, _mm256_add_pd(t0, t2));
    _mm256_storeu_pd(r2 + o, _mm256_sub_pd(t0, t2));
    _mm256_storeu_pd(r1 + o, Inv ? plus : minus);
    _mm256_storeu_pd(r3 + o, Inv ? minus : plus);
  }
}

template <bool Inv>
__attribute__((target("avx2,fma"))) void RowButterfly2Avx(double* r0, double* r1, int64_t Q, Ipp64fc w) noexcept {
  const __m256d v = _mm256_setr_pd(w.re, w.im, w.re, w.im);
  for (int64_t o = 0; o < 2 * Q; o += 4) {
    const __m256d a = _mm256_loadu_pd(r0 + o);
    const __m256d b = MulAvx(_mm256_loadu_pd(r1 + o), v, Inv);
    _mm256_storeu_pd(r0 + o, _mm256_add_pd(a, b));
    _mm256_storeu_pd(r1 + o, _mm256_sub_pd(a, b));
  }
}

// The split of a real transform's half-length spectrum (forward) and its
// inverse, for the pairs k, k+1 and N/2-k, N/2-k-1 with k + 1 < N/4; returns
// the first k left for the scalar loop.
__attribute__((target("avx2,fma"))) int64_t SplitForwardAvx(Ipp64fc* Z, const Ipp64fc* W, int64_t half, double f) noexcept {
  const __m256d conj = _mm256_setr_pd(0.0, -0.0, 0.0, -0.0);
  const __m256d halfv = _mm256_set1_pd(0.5), fv = _mm256_set1_pd(f);
  int64_t k = 1;
  for (; k + 1 < half / 2; k += 2) {
    double* pa = &Z[k].re;
    double* pb = &Z[half - k - 1].re;
    const __m256d a = _mm256_loadu_pd(pa);
    const __m256d bz = _mm256_loadu_pd(pb);
    const __m256d b = _mm256_xor_pd(_mm256_permute2f128_pd(bz, bz, 1), conj);  // conj Z[half-k], conj Z[half-k-1]
    const __m256d e = _mm256_mul_pd(halfv, _mm256_add_pd(a, b));
    const __m256d d = _mm256_mul_pd(halfv, _mm256_sub_pd(a, b));
    const __m256d o = _mm256_xor_pd(_mm256_permute_pd(d, 0x5), conj);  // -i*d
    const __m256d wo = MulAvx(o, _mm256_loadu_pd(&W[k].re), false);
    const __m256d xk = _mm256_mul_pd(_mm256_add_pd(e, wo), fv);
    const __m256d xm = _mm256_mul_pd(_mm256_xor_pd(_mm256_sub_pd(e, wo), conj), fv);
    _mm256_storeu_pd(pa, xk);
    _mm256_storeu_pd(pb, _mm256_permute2f128_pd(xm, xm, 1));
  }
  return k;
}

__attribute__((target("avx2,fma"))) int64_t SplitInverseAvx(const Ipp64fc* X, Ipp64fc* Z, const Ipp64fc* W, int64_t half) noexcept {
  const __m256d conj = _mm256_setr_pd(0.0, -0.0, 0.0, -0.0);
  int64_t k = 1;
  for (; k + 1 < half / 2; k += 2) {
    const __m256d a = _mm256_loadu_pd(&X[k].re);
    const __m256d bx = _mm256_loadu_pd(&X[half - k - 1].re);
    const __m256d b = _mm256_xor_pd(_mm256_permute2f128_pd(bx, bx, 1), conj);
    const __m256d e = _mm256_add_pd(a, b);
    const __m256d o = MulAvx(_mm256_sub_pd(a, b), _mm256_loadu_pd(&W[k].re), true);  // times conj W
    const __m256d io = _mm256_xor_pd(_mm256_permute_pd(o, 0x5), _mm256_setr_pd(-0.0, 0.0, -0.0, 0.0));  // i*o
    const __m256d zk = _mm256_add_pd(e, io);
    // conj e + i*conj o = conj(e - i*o)
    const __m256d zm = _mm256_xor_pd(_mm256_sub_pd(e, io), conj);
    _mm256_storeu_pd(&Z[k].re, zk);
    _mm256_storeu_pd(&Z[half - k - 1].re, _mm256_permute2f128_pd(zm, zm, 1));
  }
  return k;
}

// The out-of-place permutation with the pass of 4-point DFTs, two
// quadruples at once: quadruples g and g + M/2 read neighbouring source
// values (their bit-reversed positions differ only in the lowest bit), so
// one load serves both and each lane computes one quadruple.
template <bool Inv>
__attribute__((target("avx2,fma"))) void PermuteAndFirstPassAvx(const uint32_t* rev, const Ipp64fc* src, Ipp64fc* dst,
                                                                int64_t M) noexcept {
  const double* s = &src[0].re;
  double* lo = &dst[0].re;
  double* hi = &dst[M / 2].re;
  const int64_t half = M / 2, quarter = M / 4;
  for (int64_t g = 0; g < half; g += 4) {
    const int64_t r = rev[g];
    const __m256d a0 = _mm256_loadu_pd(s + 2 * r);
    const __m256d a1 = _mm256_loadu_pd(s + 2 * (r + half));
    const __m256d a2 = _mm256_loadu_pd(s + 2 * (r + quarter));
    const __m256d a3 = _mm256_loadu_pd(s + 2 * (r + half + quarter));
    const __m256d t0 = _mm256_add_pd(a0, a1), t1 = _mm256_sub_pd(a0, a1);
    const __m256d t2 = _mm256_add_pd(a2, a3), t3 = _mm256_sub_pd(a2, a3);
    const __m256d x0 = _mm256_add_pd(t0, t2), x2 = _mm256_sub_pd(t0, t2);
    __m256d minus, plus;
    RotateAvx(t1, t3, minus, plus);
    const __m256d x1 = Inv ? plus : minus, x3 = Inv ? minus : plus;
    _mm256_storeu_pd(lo + 2 * g, _mm256_permute2f128_pd(x0, x1, 0x20));
    _mm256_storeu_pd(lo + 2 * g + 4, _mm256_permute2f128_pd(x2, x3, 0x20));
    _mm256_storeu_pd(hi + 2 * g, _mm256_permute2f128_pd(x0, x1, 0x31));
    _mm256_storeu_pd(hi + 2 * g + 4, _mm256_permute2f128_pd(x2, x3, 0x31));
  }
}

bool HasAvx2() noexcept {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}
#endif

// The passes after the permutation, in place on bit-reversed data.
template <bool Inv>
void Passes(const TPlan* APlan, Ipp64fc* x, bool AFirstPassDone) noexcept {
  const int m = APlan->m;
  const int64_t M = int64_t{1} << m;
  if (!AFirstPassDone) {
    for (int64_t g = 0; g < M; g += 4) FourPoint<Inv>(x[g], x[g + 1], x[g + 2], x[g + 3], x + g);
  }
  const Ipp64fc* tw = APlan->Stages;
#if FR_FFT_HAVE_AVX2
  if (HasAvx2()) {
    if (m & 1) {
      Radix2PassAvx<Inv>(x, M, tw);
      tw += 4;
    }
    for (int64_t L = (m & 1) ? 8 : 4; L < M; L *= 4) {
      Radix4PassAvx<Inv>(x, M, L, tw);
      tw += 3 * L;
    }
    return;
  }
#endif
  if (m & 1) {
    Radix2Pass<Inv>(x, M, tw);
    tw += 4;
  }
  for (int64_t L = (m & 1) ? 8 : 4; L < M; L *= 4) {
    Radix4Pass<Inv>(x, M, L, tw);
    tw += 3 * L;
  }
}

template <bool Inv>
void DirectTransform(const TPlan* APlan, const Ipp64fc* src, Ipp64fc* dst) noexcept {
#if FR_FFT_HAVE_AVX2
  if (src != dst && HasAvx2()) {
    PermuteAndFirstPassAvx<Inv>(APlan->Rev, src, dst, int64_t{1} << APlan->m);
    Passes<Inv>(APlan, dst, true);
    return;
  }
#endif
  PermuteAndFirstPass<Inv>(APlan->Rev, src, dst, int64_t{1} << APlan->m);
  Passes<Inv>(APlan, dst, true);
}

template <bool Inv>
void Transform(const TPlan* APlan, const Ipp64fc* src, Ipp64fc* dst, Ipp64fc* work) noexcept;

template <bool Inv>
void RowButterfly4(Ipp64fc* r0, Ipp64fc* r1, Ipp64fc* r2, Ipp64fc* r3, int64_t Q, Ipp64fc w1, Ipp64fc w2, Ipp64fc w3,
                   const Ipp64fc* const* out = nullptr) noexcept {
#if FR_FFT_HAVE_AVX2
  if (HasAvx2()) {
    if (out == nullptr) return RowButterfly4Avx<Inv>(&r0->re, &r1->re, &r2->re, &r3->re, Q, w1, w2, w3, nullptr);
    const double* rows[4] = {&out[0]->re, &out[1]->re, &out[2]->re, &out[3]->re};
    return RowButterfly4Avx<Inv>(&r0->re, &r1->re, &r2->re, &r3->re, Q, w1, w2, w3, rows);
  }
#endif
  for (int64_t i = 0; i < Q; ++i) {
    const Ipp64fc a0 = r0[i], b2 = Mul<Inv>(r1[i], w2), b1 = Mul<Inv>(r2[i], w1), b3 = Mul<Inv>(r3[i], w3);
    const double t0r = a0.re + b2.re, t0i = a0.im + b2.im;
    const double t1r = a0.re - b2.re, t1i = a0.im - b2.im;
    const double t2r = b1.re + b3.re, t2i = b1.im + b3.im;
    const double t3r = b1.re - b3.re, t3i = b1.im - b3.im;
    r0[i] = {t0r + t2r, t0i + t2i};
    r2[i] = {t0r - t2r, t0i - t2i};
    if (Inv) {
      r1[i] = {t1r - t3i, t1i + t3r};
      r3[i] = {t1r + t3i, t1i - t3r};
    } else {
      r1[i] = {t1r + t3i, t1i - t3r};
      r3[i] = {t1r - t3i, t1i + t3r};
    }
    if (out != nullptr) {
      r0[i] = Mul<Inv>(r0[i], out[0][i]);
      r1[i] = Mul<Inv>(r1[i], out[1][i]);
      r2[i] = Mul<Inv>(r2[i], out[2][i]);
      r3[i] = Mul<Inv>(r3[i], out[3][i]);
    }
  }
}

template <bool Inv>
void RowButterfly2(Ipp64fc* r0, Ipp64fc* r1, int64_t Q, Ipp64fc w) noexcept {
#if FR_FFT_HAVE_AVX2
  if (HasAvx2()) return RowButterfly2Avx<Inv>(&r0->re, &r1->re, Q, w);
#endif
  for (int64_t i = 0; i < Q; ++i) {
    const Ipp64fc a = r0[i], b = Mul<Inv>(r1[i], w);
    r0[i] = {a.re + b.re, a.im + b.im};
    r1[i] = {a.re - b.re, a.im - b.im};
  }
}

// The P-point transforms of the columns of the P x Q matrix in work, done on
// whole rows: the rows are copied from src in bit-reversed order and the
// passes of the P-point plan run with "row" in place of "value". The last
// pass (always radix-4) also multiplies row k1 by row k1 of AFull.
template <bool Inv>
void ColumnPasses(const TPlan* ARows, const Ipp64fc* src, Ipp64fc* work, int64_t Q, const Ipp64fc* AFull) noexcept {
  const int p = ARows->m;
  const int64_t P = int64_t{1} << p;
  for (int64_t i = 0; i < P; ++i) {
    std::memcpy(static_cast<void*>(work + i * Q), src + ARows->Rev[i] * Q, sizeof(Ipp64fc) * static_cast<size_t>(Q));
  }
  const Ipp64fc one = {1, 0};
  for (int64_t g = 0; g < P; g += 4) {
    RowButterfly4<Inv>(work + g * Q, work + (g + 1) * Q, work + (g + 2) * Q, work + (g + 3) * Q, Q, one, one, one);
  }
  const Ipp64fc* tw = ARows->Stages;
  if (p & 1) {
    for (int64_t g = 0; g < P; g += 8) {
      for (int k = 0; k < 4; ++k) RowButterfly2<Inv>(work + (g + k) * Q, work + (g + k + 4) * Q, Q, tw[k]);
    }
    tw += 4;
  }
  for (int64_t L = (p & 1) ? 8 : 4; L < P; L *= 4) {
    for (int64_t g = 0; g < P; g += 4 * L) {
      for (int64_t k = 0; k < L; ++k) {
        Ipp64fc* a = work + (g + k) * Q;
        const Ipp64fc* t = AFull + (g + k) * Q;
        const Ipp64fc* out[4] = {t, t + L * Q, t + 2 * L * Q, t + 3 * L * Q};
        RowButterfly4<Inv>(a, a + L * Q, a + 2 * L * Q, a + 3 * L * Q, Q, StageTwiddle(tw, k, 1), StageTwiddle(tw, k, 2),
                           StageTwiddle(tw, k, 3), 4 * L == P ? out : nullptr);
      }
    }
    tw += 3 * L;
  }
}



// X[k1 + P*k2] = sum over n2 of W_Q^(n2*k2) * W_M^(n2*k1) * (P-point DFT over n1 of x[Q*n1 + n2]).
//  1. Four columns n2 at a time (one cache line of each row n1) are read into
//     four rows of P values in bit-reversed order, transformed there, given
//     the twiddle W_M^(n2*k1) and written to work[k1*Q + n2].
//  2. Four rows k1 of work at a time get their Q-point transforms into four
//     rows of Q values, which are written transposed into dst:
//     dst[k2*P + k1] = row k1 at k2, four k1 (one cache line) at a time.
// Reads all of src before writing dst, so src may equal dst. Needs M values
// of work, four rows of max(P, Q) and what the Q-point transforms need.
template <bool Inv>
void SplitTransform(const TPlan* APlan, const Ipp64fc* src, Ipp64fc* dst, Ipp64fc* work) noexcept {
  const int m = APlan->m, p = APlan->p, h = APlan->h;
  const int64_t M = int64_t{1} << m, P = int64_t{1} << p, Q = M >> p;
  const int64_t mask = (int64_t{1} << h) - 1;
  const TPlan* rows = APlan->Rows;
  const uint32_t* rev = rows->Rev;
  constexpr int kCols = 4;
  Ipp64fc* tmp = work + M;  // kCols rows of P values, P <= 512
  Ipp64fc* inner = tmp + kCols * P;
  if (APlan->Full != nullptr) {
    // Column transforms on whole rows, the twiddles applied by their last
    // pass.
    ColumnPasses<Inv>(rows, src, work, Q, APlan->Full);
  }
  for (int64_t n2 = 0; n2 < Q && APlan->Full == nullptr; n2 += kCols) {
    for (int64_t j = 0; j < P; ++j) {
      const Ipp64fc* line = src + j * Q + n2;
      const int64_t at = rev[j];
      for (int c = 0; c < kCols; ++c) tmp[c * P + at] = line[c];
    }
    for (int c = 0; c < kCols; ++c) Passes<Inv>(rows, tmp + c * P, false);
    for (int64_t k1 = 0; k1 < P; ++k1) {
      Ipp64fc* out = work + k1 * Q + n2;
      for (int c = 0; c < kCols; ++c) {
        const int64_t r = (n2 + c) * k1;
        const Ipp64fc hi = APlan->Hi[r >> h], lo = APlan->Lo[r & mask];
        const Ipp64fc w = {hi.re * lo.re - hi.im * lo.im, hi.re * lo.im + hi.im * lo.re};
        out[c] = Mul<Inv>(tmp[c * P + k1], w);
      }
    }
  }
  // Four rows k1 at a time into four rows of Q values, written out as the
  // transpose one cache line (four k1) at a time.
  Ipp64fc* rowsOut = tmp;
  inner = rowsOut + kCols * Q;
  for (int64_t k1 = 0; k1 < P; k1 += kCols) {
    for (int c = 0; c < kCols; ++c) Transform<Inv>(APlan->Cols, work + (k1 + c) * Q, rowsOut + c * Q, inner);
    for (int64_t k2 = 0; k2 < Q; ++k2) {
      Ipp64fc* line = dst + k2 * P + k1;
      for (int c = 0; c < kCols; ++c) line[c] = rowsOut[c * Q + k2];
    }
  }
}

template <bool Inv>
void Transform(const TPlan* APlan, const Ipp64fc* src, Ipp64fc* dst, Ipp64fc* work) noexcept {
  if (APlan->m <= 3) {
    SmallTransform<Inv>(APlan->m, src, dst);
  } else if (APlan->m <= kLastDirectOrder) {
    DirectTransform<Inv>(APlan, src, dst);
  } else {
    SplitTransform<Inv>(APlan, src, dst, work);
  }
}

void Scale(double* x, int64_t n, double f) noexcept {
  for (int64_t i = 0; i < n; ++i) x[i] *= f;
}

}  // namespace

// The transform set-up behind IppsFFTSpec_C_64fc and IppsFFTSpec_R_64f: one
// layout for both kinds, told apart by the kind.
struct TFFTSpecBody {
  int32_t Kind;      // 7 complex, 9 real, 0 freed
  int32_t Order;
  int32_t FwdScaled;
  int32_t InvScaled;
  double Factor;     // 1/N or 1/sqrt(N) (N the real length for the real kind)
  int32_t Hint;      // stored, never used
  int32_t WorkSize;  // WorkBytes saturated to 32 bits, for a caller who reads it
  int32_t Owned;
  int64_t WorkBytes;
  TPlan* Plan;       // the complex transform (size N, or N/2 for the real kind)
  Ipp64fc* Split;    // real kind, order >= 4: W_N^k for k = 0 ... N/4
};
struct IppsFFTSpec_C_64fc : TFFTSpecBody {};
struct IppsFFTSpec_R_64f : TFFTSpecBody {};

namespace {

void FreeSpec(TFFTSpecBody* s) noexcept {
  FreePlan(s->Plan);
  AlignedFree(s->Split);
  AlignedFree(s);
}

template <class S>
IppStatus InitAlloc(S** ppFFTSpec, int order, int flag, IppHintAlgorithm hint, int32_t kind) noexcept {
  FR_IPP_REQUIRE(ppFFTSpec);
  if (order < 0 || order > kMaxOrder) return ippStsFftOrderErr;
  auto* s = static_cast<S*>(AlignedAlloc(sizeof(S)));
  if (s == nullptr) return ippStsMemAllocErr;
  std::memset(static_cast<void*>(s), 0, sizeof(S));
  s->Kind = kind;
  s->Order = order;
  s->Hint = hint;
  s->Owned = 1;
  const int64_t N = int64_t{1} << order;
  switch (flag) {
    case IPP_FFT_DIV_FWD_BY_N: s->FwdScaled = 1; s->Factor = 1.0 / static_cast<double>(N); break;
    case IPP_FFT_DIV_INV_BY_N: s->InvScaled = 1; s->Factor = 1.0 / static_cast<double>(N); break;
    case IPP_FFT_DIV_BY_SQRTN:
      s->FwdScaled = s->InvScaled = 1;
      s->Factor = static_cast<double>(1.0L / std::sqrt(static_cast<Extended>(N)));
      break;
    case IPP_FFT_NODIV_BY_ANY: break;
    default: FreeSpec(s); return ippStsFftFlagErr;
  }
  const TQuarterSine sine(order >= 4 ? N : 0);
  if (kind == kKindComplex || order >= 4) {
    s->Plan = BuildPlan(kind == kKindComplex ? order : order - 1, sine);
    if (s->Plan == nullptr) {
      FreeSpec(s);
      return ippStsMemAllocErr;
    }
    s->WorkBytes = s->Plan->WorkBytes;
  }
  if (kind == kKindReal && order >= 4) {
    s->Split = static_cast<Ipp64fc*>(AlignedAllocComplex(static_cast<int32_t>(N / 4 + 1)));
    if (s->Split == nullptr) {
      FreeSpec(s);
      return ippStsMemAllocErr;
    }
    for (int64_t k = 0; k <= N / 4; ++k) s->Split[k] = Twiddle(sine, N, k);
  }
  s->WorkSize = s->WorkBytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(s->WorkBytes);
  *ppFFTSpec = s;
  return ippStsNoErr;
}

template <class S>
IppStatus Free(S* pFFTSpec, int32_t kind) noexcept {
  FR_IPP_REQUIRE(pFFTSpec);
  if (pFFTSpec->Kind != kind) return ippStsContextMatchErr;
  pFFTSpec->Kind = 0;
  if (pFFTSpec->Owned == 1) FreeSpec(pFFTSpec);
  return ippStsNoErr;
}

// The working storage of one transform: none, the caller's buffer rounded up
// to 16 bytes, or a block of its own for the length of the call.
class TWork {
 public:
  TWork(const TFFTSpecBody* s, Ipp8u* pBuffer) noexcept {
    if (s->WorkBytes == 0) return;
    if (pBuffer != nullptr) {
      const uintptr_t a = (reinterpret_cast<uintptr_t>(pBuffer) + 15) & ~uintptr_t{15};
      FArea = reinterpret_cast<Ipp64fc*>(a);
      return;
    }
    if (s->WorkBytes <= INT32_MAX) FOwned = static_cast<Ipp64fc*>(AlignedAlloc(static_cast<int32_t>(s->WorkBytes)));
    FArea = FOwned;
    FFailed = FOwned == nullptr;
  }
  ~TWork() { AlignedFree(FOwned); }
  TWork(const TWork&) = delete;
  TWork& operator=(const TWork&) = delete;
  bool Failed() const noexcept { return FFailed; }
  Ipp64fc* Area() const noexcept { return FArea; }

 private:
  Ipp64fc* FArea = nullptr;
  Ipp64fc* FOwned = nullptr;
  bool FFailed = false;
};

template <bool Inv>
IppStatus ComplexTransform(const Ipp64fc* pSrc, Ipp64fc* pDst, const IppsFFTSpec_C_64fc* pFFTSpec, Ipp8u* pBuffer) noexcept {
  FR_IPP_REQUIRE(pFFTSpec);
  if (pFFTSpec->Kind != kKindComplex) return ippStsContextMatchErr;
  FR_IPP_REQUIRE(pSrc, pDst);
  TWork work(pFFTSpec, pBuffer);
  if (work.Failed()) return ippStsMemAllocErr;
  Transform<Inv>(pFFTSpec->Plan, pSrc, pDst, work.Area());
  if (Inv ? pFFTSpec->InvScaled : pFFTSpec->FwdScaled) {
    Scale(&pDst[0].re, int64_t{2} << pFFTSpec->Order, pFFTSpec->Factor);
  }
  return ippStsNoErr;
}

// Real DFT of 1, 2, 4 or 8 points into CCS, summed in extended precision.
void SmallRealForward(int order, const double* x, double* ccs) noexcept {
  const int n = 1 << order;
  double in[8];
  for (int j = 0; j < n; ++j) in[j] = x[j];
  for (int k = 0; k <= n / 2; ++k) {
    Extended re = 0, im = 0;
    for (int j = 0; j < n; ++j) {
      const Ipp64fc w = kW8[((j * k) << (3 - order)) & 7];
      re += static_cast<Extended>(in[j]) * w.re;
      im += static_cast<Extended>(in[j]) * w.im;
    }
    ccs[2 * k] = static_cast<double>(re);
    ccs[2 * k + 1] = (k == 0 || 2 * k == n) ? 0.0 : static_cast<double>(im);
  }
  if (n == 1) ccs[1] = 0.0;
}

// Inverse of SmallRealForward (the imaginary slots of X0 and X(N/2) unread).
void SmallRealInverse(int order, const double* ccs, double* x) noexcept {
  const int n = 1 << order;
  Ipp64fc X[8];
  for (int k = 0; k <= n / 2; ++k) X[k] = {ccs[2 * k], (k == 0 || 2 * k == n) ? 0.0 : ccs[2 * k + 1]};
  for (int k = n / 2 + 1; k < n; ++k) X[k] = {X[n - k].re, -X[n - k].im};
  for (int j = 0; j < n; ++j) {
    Extended re = 0;
    for (int k = 0; k < n; ++k) {
      const Ipp64fc w = kW8[((j * k) << (3 - order)) & 7];  // conjugated below
      re += static_cast<Extended>(X[k].re) * w.re + static_cast<Extended>(X[k].im) * w.im;
    }
    x[j] = static_cast<double>(re);
  }
}

}  // namespace

namespace IppsFFT {
int64_t WorkBytes(const IppsFFTSpec_R_64f* ASpec) noexcept { return ASpec->WorkBytes; }
int64_t WorkBytes(const IppsFFTSpec_C_64fc* ASpec) noexcept { return ASpec->WorkBytes; }

int OrderFor(int64_t ALength, int AMinOrder) noexcept {
  int order = AMinOrder;
  while (order <= kMaxOrder && (int64_t{1} << order) < ALength) ++order;
  return order;
}

namespace {
// Working storage of ABytes plus the 16 bytes of alignment slack; null for none.
IppStatus AllocWork(int64_t ABytes, Ipp8u*& AWork) noexcept {
  AWork = nullptr;
  if (ABytes == 0) return ippStsNoErr;
  if (ABytes > INT32_MAX - 16) return ippStsMemAllocErr;
  AWork = static_cast<Ipp8u*>(AlignedAlloc(static_cast<int32_t>(ABytes + 16)));
  return AWork == nullptr ? ippStsMemAllocErr : ippStsNoErr;
}
}  // namespace

TRealTransform::~TRealTransform() {
  if (FSpec != nullptr) IppInternal::ippsFFTFree_R_64f(FSpec);
  AlignedFree(FWork);
}

IppStatus TRealTransform::Init(int order) noexcept {
  const IppStatus st = IppInternal::ippsFFTInitAlloc_R_64f(&FSpec, order, IPP_FFT_DIV_INV_BY_N, ippAlgHintNone);
  if (st != ippStsNoErr) return st;
  FOrder = order;
  return AllocWork(FSpec->WorkBytes, FWork);
}

void TRealTransform::Forward(const double* pSrc, double* pCcs) const noexcept {
  IppInternal::ippsFFTFwd_RToCCS_64f(pSrc, pCcs, FSpec, FWork);
}

void TRealTransform::PaddedForward(const double* AData, int64_t ACount, int64_t AAt, double* ASpectrum) const noexcept {
  std::fill(ASpectrum, ASpectrum + Length() + 2, 0.0);
  std::memcpy(ASpectrum + AAt, AData, sizeof(double) * static_cast<size_t>(ACount));
  Forward(ASpectrum, ASpectrum);
}

void TRealTransform::Inverse(const double* pCcs, double* pDst) const noexcept {
  IppInternal::ippsFFTInv_CCSToR_64f(pCcs, pDst, FSpec, FWork);
}

TComplexTransform::~TComplexTransform() {
  if (FSpec != nullptr) IppInternal::ippsFFTFree_C_64fc(FSpec);
  AlignedFree(FWork);
}

IppStatus TComplexTransform::Init(int order) noexcept {
  const IppStatus st = IppInternal::ippsFFTInitAlloc_C_64fc(&FSpec, order, IPP_FFT_DIV_INV_BY_N, ippAlgHintNone);
  if (st != ippStsNoErr) return st;
  FOrder = order;
  return AllocWork(FSpec->WorkBytes, FWork);
}

void TComplexTransform::Forward(const Ipp64fc* pSrc, Ipp64fc* pDst) const noexcept {
  IppInternal::ippsFFTFwd_CToC_64fc(pSrc, pDst, FSpec, FWork);
}

void TComplexTransform::Inverse(const Ipp64fc* pSrc, Ipp64fc* pDst) const noexcept {
  IppInternal::ippsFFTInv_CToC_64fc(pSrc, pDst, FSpec, FWork);
}

void MulSpectrum(const Ipp64fc* Y, Ipp64fc* X, int64_t ACount) noexcept {
  for (int64_t k = 0; k < ACount; ++k) {
    const Ipp64fc a = Y[k], b = X[k];
    X[k] = {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
  }
}

void MulConjSpectrum(const Ipp64fc* Y, Ipp64fc* X, int64_t ACount) noexcept {
  for (int64_t k = 0; k < ACount; ++k) {
    const Ipp64fc a = Y[k], b = X[k];
    X[k] = {a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im};
  }
}

}  // namespace IppsFFT

namespace IppInternal {

IppStatus ippsFFTInitAlloc_C_64fc(IppsFFTSpec_C_64fc** ppFFTSpec, int order, int flag, IppHintAlgorithm hint) {
  return InitAlloc(ppFFTSpec, order, flag, hint, kKindComplex);
}

IppStatus ippsFFTInitAlloc_R_64f(IppsFFTSpec_R_64f** ppFFTSpec, int order, int flag, IppHintAlgorithm hint) {
  return InitAlloc(ppFFTSpec, order, flag, hint, kKindReal);
}

IppStatus ippsFFTFree_C_64fc(IppsFFTSpec_C_64fc* pFFTSpec) { return Free(pFFTSpec, kKindComplex); }
IppStatus ippsFFTFree_R_64f(IppsFFTSpec_R_64f* pFFTSpec) { return Free(pFFTSpec, kKindReal); }

IppStatus ippsFFTFwd_CToC_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, const IppsFFTSpec_C_64fc* pFFTSpec, Ipp8u* pBuffer) {
  return ComplexTransform<false>(pSrc, pDst, pFFTSpec, pBuffer);
}

IppStatus ippsFFTInv_CToC_64fc(const Ipp64fc* pSrc, Ipp64fc* pDst, const IppsFFTSpec_C_64fc* pFFTSpec, Ipp8u* pBuffer) {
  return ComplexTransform<true>(pSrc, pDst, pFFTSpec, pBuffer);
}

// X[k] = E + W^k*O and X[N/2-k] = conj(E - W^k*O) with E = (Z[k] + conj Z[N/2-k])/2 and
// O = -i*(Z[k] - conj Z[N/2-k])/2, for the pairs k, N/2-k; in place on the spectrum.
IppStatus ippsFFTFwd_RToCCS_64f(const Ipp64f* pSrc, Ipp64f* pDst, const IppsFFTSpec_R_64f* pFFTSpec, Ipp8u* pBuffer) {
  FR_IPP_REQUIRE(pFFTSpec);
  if (pFFTSpec->Kind != kKindReal) return ippStsContextMatchErr;
  FR_IPP_REQUIRE(pSrc, pDst);
  const int order = pFFTSpec->Order;
  const int64_t N = int64_t{1} << order;
  if (order <= 3) {
    SmallRealForward(order, pSrc, pDst);
    // The CCS of one sample is two doubles, of N > 1 samples N + 2.
    if (pFFTSpec->FwdScaled) Scale(pDst, N == 1 ? 2 : N + 2, pFFTSpec->Factor);
    return ippStsNoErr;
  }
  TWork work(pFFTSpec, pBuffer);
  if (work.Failed()) return ippStsMemAllocErr;
  auto* Z = reinterpret_cast<Ipp64fc*>(pDst);
  Transform<false>(pFFTSpec->Plan, reinterpret_cast<const Ipp64fc*>(pSrc), Z, work.Area());
  const double f = pFFTSpec->FwdScaled ? pFFTSpec->Factor : 1.0;
  const Ipp64fc z0 = Z[0];
  const int64_t half = N / 2;
  int64_t first = 1;
#if FR_FFT_HAVE_AVX2
  if (HasAvx2()) first = SplitForwardAvx(Z, pFFTSpec->Split, half, f);
#endif
  for (int64_t k = first; k <= N / 4; ++k) {
    const Ipp64fc a = Z[k], b = {Z[half - k].re, -Z[half - k].im};
    const double er = 0.5 * (a.re + b.re), ei = 0.5 * (a.im + b.im);
    const double orr = 0.5 * (a.im - b.im), oi = -0.5 * (a.re - b.re);
    const Ipp64fc w = pFFTSpec->Split[k];
    const double wr = w.re * orr - w.im * oi, wi = w.re * oi + w.im * orr;
    Z[k] = {(er + wr) * f, (ei + wi) * f};
    Z[half - k] = {(er - wr) * f, -(ei - wi) * f};
  }
  Z[0] = {(z0.re + z0.im) * f, 0.0};
  Z[half] = {(z0.re - z0.im) * f, 0.0};
  return ippStsNoErr;
}

// Z'[k] = e + i*o and Z'[N/2-k] = conj e + i*conj o with e = X[k] + conj X[N/2-k] and
// o = (X[k] - conj X[N/2-k]) * conj W^k (twice the half-length spectrum), then the
// inverse complex transform of size N/2.
IppStatus ippsFFTInv_CCSToR_64f(const Ipp64f* pSrc, Ipp64f* pDst, const IppsFFTSpec_R_64f* pFFTSpec, Ipp8u* pBuffer) {
  FR_IPP_REQUIRE(pFFTSpec);
  if (pFFTSpec->Kind != kKindReal) return ippStsContextMatchErr;
  FR_IPP_REQUIRE(pSrc, pDst);
  const int order = pFFTSpec->Order;
  const int64_t N = int64_t{1} << order;
  if (order <= 3) {
    SmallRealInverse(order, pSrc, pDst);
    if (pFFTSpec->InvScaled) Scale(pDst, N, pFFTSpec->Factor);
    return ippStsNoErr;
  }
  TWork work(pFFTSpec, pBuffer);
  if (work.Failed()) return ippStsMemAllocErr;
  const auto* X = reinterpret_cast<const Ipp64fc*>(pSrc);
  auto* Z = reinterpret_cast<Ipp64fc*>(pDst);
  const int64_t half = N / 2;
  const double r0 = X[0].re, rh = X[half].re;
  int64_t first = 1;
#if FR_FFT_HAVE_AVX2
  if (HasAvx2()) first = SplitInverseAvx(X, Z, pFFTSpec->Split, half);
#endif
  for (int64_t k = first; k <= N / 4; ++k) {
    const Ipp64fc a = X[k], b = {X[half - k].re, -X[half - k].im};
    const double er = a.re + b.re, ei = a.im + b.im;
    const double dr = a.re - b.re, di = a.im - b.im;
    const Ipp64fc w = pFFTSpec->Split[k];
    const double orr = dr * w.re + di * w.im, oi = di * w.re - dr * w.im;
    Z[k] = {er - oi, ei + orr};
    Z[half - k] = {er + oi, -ei + orr};
  }
  Z[0] = {r0 + rh, r0 - rh};
  Transform<true>(pFFTSpec->Plan, Z, Z, work.Area());
  if (pFFTSpec->InvScaled) Scale(pDst, N, pFFTSpec->Factor);
  return ippStsNoErr;
}

IppStatus ippsConjCcs_64fc_I(Ipp64fc* pSrcDst, int lenDst) {
  FR_IPP_REQUIRE(pSrcDst);
  FR_IPP_REQUIRE_LEN(lenDst);
  for (int j = lenDst / 2 + 1; j < lenDst; ++j) pSrcDst[j] = {pSrcDst[lenDst - j].re, -pSrcDst[lenDst - j].im};
  return ippStsNoErr;
}

}  // namespace IppInternal
