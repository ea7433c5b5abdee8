// The hot primitives at a short (1 024) and a long (1 048 576) length, each
// beside the obvious scalar loop and beside memcpy of the same bytes. Bytes
// processed count every byte read and written.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "primitives/CmMalloc.h"
#include "primitives/Ipps.h"

namespace {

struct TBlock {
  explicit TBlock(size_t ABytes) : P(static_cast<double*>(AlignedAlloc(static_cast<int32_t>(ABytes)))) {}
  ~TBlock() { AlignedFree(P); }
  TBlock(const TBlock&) = delete;
  TBlock& operator=(const TBlock&) = delete;
  double* P;
};

void Fill(double* p, int n, double lo, double hi) {
  std::mt19937_64 g(42);
  std::uniform_real_distribution<double> u(lo, hi);
  for (int i = 0; i < n; ++i) p[i] = u(g);
}

// ---- memcpy of the bytes each primitive moves

void BM_memcpy(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const int bytes = static_cast<int>(state.range(1));  // bytes per element read and written
  TBlock a(size_t(n) * 16), b(size_t(n) * 16);
  std::memset(a.P, 1, size_t(n) * 16);
  const size_t half = size_t(n) * bytes / 2;
  for (auto _ : state) {
    std::memcpy(b.P, a.P, half);
    benchmark::DoNotOptimize(b.P);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(half) * 2);
}

// ---- ippsAdd_64f

void BM_ippsAdd_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8), c(n * 8);
  Fill(a.P, n, -1, 1);
  Fill(b.P, n, -1, 1);
  for (auto _ : state) {
    ippsAdd_64f(a.P, b.P, c.P, n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 24);
}
void BM_scalar_Add_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8), c(n * 8);
  Fill(a.P, n, -1, 1);
  Fill(b.P, n, -1, 1);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) c.P[i] = a.P[i] + b.P[i];
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 24);
}

// ---- ippsMulC_64f_I

void BM_ippsMulC_64f_I(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8);
  Fill(a.P, n, -1, 1);
  double c = 1.0000001;
  for (auto _ : state) {
    ippsMulC_64f_I(c, a.P, n);
    c = 1.0 / c;  // keeps the values bounded
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}
void BM_scalar_MulC_64f_I(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8);
  Fill(a.P, n, -1, 1);
  double c = 1.0000001;
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) a.P[i] *= c;
    c = 1.0 / c;
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}

// ---- reductions

template <IppStatus (*F)(const Ipp64f*, const Ipp64f*, int, Ipp64f*)>
void BM_Reduce2(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8);
  Fill(a.P, n, -1, 1);
  Fill(b.P, n, -1, 1);
  double r = 0;
  for (auto _ : state) {
    F(a.P, b.P, n, &r);
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}
void BM_scalar_DotProd_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8);
  Fill(a.P, n, -1, 1);
  Fill(b.P, n, -1, 1);
  for (auto _ : state) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += a.P[i] * b.P[i];
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}
void BM_scalar_NormDiff_L1_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8);
  Fill(a.P, n, -1, 1);
  Fill(b.P, n, -1, 1);
  for (auto _ : state) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += std::fabs(a.P[i] - b.P[i]);
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}
void BM_ippsSum_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8);
  Fill(a.P, n, -1, 1);
  double r = 0;
  for (auto _ : state) {
    ippsSum_64f(a.P, n, &r);
    benchmark::DoNotOptimize(r);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 8);
}
void BM_scalar_Sum_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8);
  Fill(a.P, n, -1, 1);
  for (auto _ : state) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += a.P[i];
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 8);
}

// ---- functions

template <IppStatus (*F)(const Ipp64f*, Ipp64f*, int), double (*G)(double)>
void BM_Function(benchmark::State& state, bool AScalar, double ALo, double AHi) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 8);
  Fill(a.P, n, ALo, AHi);
  for (auto _ : state) {
    if (AScalar) {
      for (int i = 0; i < n; ++i) b.P[i] = G(a.P[i]);
    } else {
      F(a.P, b.P, n);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 16);
}
double Exp(double x) { return std::exp(x); }
double Log(double x) { return std::log(x); }
void BM_ippsExp_64f(benchmark::State& s) { BM_Function<ippsExp_64f, Exp>(s, false, -700, 700); }
void BM_scalar_Exp_64f(benchmark::State& s) { BM_Function<ippsExp_64f, Exp>(s, true, -700, 700); }
void BM_ippsLn_64f(benchmark::State& s) { BM_Function<ippsLn_64f, Log>(s, false, 1e-300, 1e300); }
void BM_scalar_Ln_64f(benchmark::State& s) { BM_Function<ippsLn_64f, Log>(s, true, 1e-300, 1e300); }

// ---- conversion

void BM_ippsConvert_64f32s_Sfs(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 4);
  Fill(a.P, n, -3e9, 3e9);
  auto* out = reinterpret_cast<Ipp32s*>(b.P);
  for (auto _ : state) {
    ippsConvert_64f32s_Sfs(a.P, out, n, ippRndNear, 0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 12);
}
void BM_scalar_Convert_64f32s(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TBlock a(n * 8), b(n * 4);
  Fill(a.P, n, -3e9, 3e9);
  auto* out = reinterpret_cast<Ipp32s*>(b.P);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) {
      const double x = a.P[i];
      out[i] = x >= 2147483647.0 ? INT32_MAX : (x > -2147483648.0 ? static_cast<Ipp32s>(std::nearbyint(x)) : INT32_MIN);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * n * 12);
}

// Lengths, and bytes per element for the memcpy lines (read + write).
#define FR_LENGTHS ->Arg(1024)->Arg(1048576)
#define FR_MEMCPY(bytes) ->Args({1024, bytes})->Args({1048576, bytes})

BENCHMARK(BM_ippsAdd_64f) FR_LENGTHS;
BENCHMARK(BM_scalar_Add_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_Add_64f") FR_MEMCPY(24);
BENCHMARK(BM_ippsMulC_64f_I) FR_LENGTHS;
BENCHMARK(BM_scalar_MulC_64f_I) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_MulC_64f_I") FR_MEMCPY(16);
BENCHMARK(BM_Reduce2<ippsDotProd_64f>)->Name("BM_ippsDotProd_64f") FR_LENGTHS;
BENCHMARK(BM_scalar_DotProd_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_DotProd_64f") FR_MEMCPY(16);
BENCHMARK(BM_ippsSum_64f) FR_LENGTHS;
BENCHMARK(BM_scalar_Sum_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_Sum_64f") FR_MEMCPY(8);
BENCHMARK(BM_Reduce2<ippsNormDiff_L1_64f>)->Name("BM_ippsNormDiff_L1_64f") FR_LENGTHS;
BENCHMARK(BM_scalar_NormDiff_L1_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_NormDiff_L1_64f") FR_MEMCPY(16);
BENCHMARK(BM_ippsExp_64f) FR_LENGTHS;
BENCHMARK(BM_scalar_Exp_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_Exp_64f") FR_MEMCPY(16);
BENCHMARK(BM_ippsLn_64f) FR_LENGTHS;
BENCHMARK(BM_scalar_Ln_64f) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_Ln_64f") FR_MEMCPY(16);
BENCHMARK(BM_ippsConvert_64f32s_Sfs) FR_LENGTHS;
BENCHMARK(BM_scalar_Convert_64f32s) FR_LENGTHS;
BENCHMARK(BM_memcpy)->Name("BM_memcpy_as_Convert_64f32s_Sfs") FR_MEMCPY(12);

}  // namespace

BENCHMARK_MAIN();
