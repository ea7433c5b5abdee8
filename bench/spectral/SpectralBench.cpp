// Forward FFTs (complex, and real into CCS) at orders 6 to 20 beside FFTW 3
// on the same inputs, with FFTW_MEASURE plans made before timing. Up to order
// 14 both report "rel_err", the relative L2 distance of their spectrum to a
// DFT summed in long double. Then correlation and convolution on either side
// of each switch-over between the direct and the transform method, and the
// FIR filter with 31 and 511 taps.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <complex>
#include <map>
#include <random>
#include <vector>

#include "primitives/Ipps.h"

namespace {

using LC = std::complex<long double>;

std::vector<double> RandomReals(size_t n, unsigned seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> v(n);
  for (auto& x : v) x = u(g);
  return v;
}

// The long double DFT of the complex input held as interleaved doubles,
// computed once per order and kind.
const std::vector<LC>& Reference(int order, bool AReal) {
  static std::map<std::pair<int, bool>, std::vector<LC>> cache;
  auto& r = cache[{order, AReal}];
  if (!r.empty()) return r;
  const int64_t n = int64_t{1} << order;
  const std::vector<double> x = RandomReals(AReal ? n : 2 * n, static_cast<unsigned>(order));
  std::vector<LC> w(n);
  const long double pi = 3.141592653589793238462643383279502884L;
  for (int64_t j = 0; j < n; ++j) w[j] = std::polar(1.0L, -2 * pi * j / n);
  r.assign(n, 0);
  for (int64_t k = 0; k < n; ++k) {
    LC s = 0;
    for (int64_t j = 0; j < n; ++j) s += (AReal ? LC(x[j], 0) : LC(x[2 * j], x[2 * j + 1])) * w[(j * k) % n];
    r[k] = s;
  }
  return r;
}

// Spectrum given as AValues complex values (the first n/2 + 1 for real input).
double RelativeError(const double* y, int64_t AValues, int order, bool AReal) {
  const auto& ref = Reference(order, AReal);
  long double num = 0, den = 0;
  for (int64_t k = 0; k < AValues; ++k) {
    num += std::norm(LC(y[2 * k], y[2 * k + 1]) - ref[k]);
    den += std::norm(ref[k]);
  }
  return static_cast<double>(std::sqrt(num / den));
}

constexpr int kMaxErrorOrder = 14;

void SetRate(benchmark::State& state, int64_t n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["ns_per_point"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- complex forward

void BM_FFT_C_Own(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int64_t n = int64_t{1} << order;
  IppsFFTSpec_C_64fc* fft = nullptr;
  ippsFFTInitAlloc_C_64fc(&fft, order, IPP_FFT_NODIV_BY_ANY, ippAlgHintNone);
  const std::vector<double> x = RandomReals(2 * n, static_cast<unsigned>(order));
  std::vector<double> y(2 * n);
  std::vector<Ipp8u> buffer(32 * static_cast<size_t>(n) + 64);
  const auto* in = reinterpret_cast<const Ipp64fc*>(x.data());
  auto* out = reinterpret_cast<Ipp64fc*>(y.data());
  for (auto _ : state) {
    ippsFFTFwd_CToC_64fc(in, out, fft, buffer.data());
    benchmark::DoNotOptimize(y.data());
  }
  if (order <= kMaxErrorOrder) state.counters["rel_err"] = RelativeError(y.data(), n, order, false);
  SetRate(state, n);
  ippsFFTFree_C_64fc(fft);
}

void BM_FFT_C_FFTW(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  auto* in = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
  auto* out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * n));
  fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);  // overwrites in
  const std::vector<double> x = RandomReals(2 * size_t(n), static_cast<unsigned>(order));
  for (int i = 0; i < n; ++i) {
    in[i][0] = x[2 * i];
    in[i][1] = x[2 * i + 1];
  }
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  if (order <= kMaxErrorOrder) state.counters["rel_err"] = RelativeError(&out[0][0], n, order, false);
  SetRate(state, n);
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}

// ---- real forward

void BM_FFT_R_Own(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int64_t n = int64_t{1} << order;
  IppsFFTSpec_R_64f* fft = nullptr;
  ippsFFTInitAlloc_R_64f(&fft, order, IPP_FFT_NODIV_BY_ANY, ippAlgHintNone);
  const std::vector<double> x = RandomReals(n, static_cast<unsigned>(order));
  std::vector<double> y(n + 2);
  std::vector<Ipp8u> buffer(16 * static_cast<size_t>(n) + 64);
  for (auto _ : state) {
    ippsFFTFwd_RToCCS_64f(x.data(), y.data(), fft, buffer.data());
    benchmark::DoNotOptimize(y.data());
  }
  if (order <= kMaxErrorOrder) state.counters["rel_err"] = RelativeError(y.data(), n / 2 + 1, order, true);
  SetRate(state, n);
  ippsFFTFree_R_64f(fft);
}

void BM_FFT_R_FFTW(benchmark::State& state) {
  const int order = static_cast<int>(state.range(0));
  const int n = 1 << order;
  auto* in = static_cast<double*>(fftw_malloc(sizeof(double) * n));
  auto* out = static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (n / 2 + 1)));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
  const std::vector<double> x = RandomReals(n, static_cast<unsigned>(order));
  for (int i = 0; i < n; ++i) in[i] = x[i];
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
  }
  if (order <= kMaxErrorOrder) state.counters["rel_err"] = RelativeError(&out[0][0], n / 2 + 1, order, true);
  SetRate(state, n);
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}

BENCHMARK(BM_FFT_C_Own)->DenseRange(6, 20, 2);
BENCHMARK(BM_FFT_C_FFTW)->DenseRange(6, 20, 2);
BENCHMARK(BM_FFT_R_Own)->DenseRange(6, 20, 2);
BENCHMARK(BM_FFT_R_FFTW)->DenseRange(6, 20, 2);

// ---- correlation and convolution on either side of the switch-over points

// Real autocorrelation: srcLen = dstLen 599 (direct) and 600 (transform).
void BM_AutoCorr_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto x = RandomReals(n, 1);
  std::vector<double> y(n);
  for (auto _ : state) {
    ippsAutoCorr_64f(x.data(), n, y.data(), n);
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_AutoCorr_64f)->Arg(599)->Arg(600)->Arg(2000);

// Complex autocorrelation: 95 (direct) and 96 (transform).
void BM_AutoCorr_64fc(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto x = RandomReals(2 * size_t(n), 2);
  std::vector<double> y(2 * size_t(n));
  for (auto _ : state) {
    ippsAutoCorr_64fc(reinterpret_cast<const Ipp64fc*>(x.data()), n, reinterpret_cast<Ipp64fc*>(y.data()), n);
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_AutoCorr_64fc)->Arg(95)->Arg(96);

// Cross-correlation of two equal lengths over as many lags: 511 and 512.
void BM_CrossCorr_64f(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto a = RandomReals(n, 3), b = RandomReals(n, 4);
  std::vector<double> y(n);
  for (auto _ : state) {
    ippsCrossCorr_64f(a.data(), n, b.data(), n, y.data(), n, 0);
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_CrossCorr_64f)->Arg(511)->Arg(512);

// Convolution (lu, lv): Lout 149 / 150; lv 31 / 32; lu < 3*lv (one transform)
// against lu = 3*lv (overlap-save).
void BM_Conv_64f(benchmark::State& state) {
  const int lu = static_cast<int>(state.range(0)), lv = static_cast<int>(state.range(1));
  const auto u = RandomReals(lu, 5), v = RandomReals(lv, 6);
  std::vector<double> y(size_t(lu) + lv - 1);
  for (auto _ : state) {
    ippsConv_64f(u.data(), lu, v.data(), lv, y.data());
    benchmark::DoNotOptimize(y.data());
  }
}
BENCHMARK(BM_Conv_64f)
    ->Args({100, 49})
    ->Args({100, 51})
    ->Args({4000, 31})
    ->Args({4000, 32})
    ->Args({599, 200})
    ->Args({600, 200})
    ->Args({20000, 200});

// FIR with 31 taps (direct), 32 and 511 taps (transform above 511 samples).
void BM_FIR_64f(benchmark::State& state) {
  const int taps = static_cast<int>(state.range(0)), n = static_cast<int>(state.range(1));
  const auto h = RandomReals(taps, 7), x = RandomReals(n, 8);
  std::vector<double> y(n);
  IppsFIRState_64f* s = nullptr;
  ippsFIRInitAlloc_64f(&s, h.data(), taps, nullptr);
  for (auto _ : state) {
    ippsFIR_64f(x.data(), y.data(), n, s);
    benchmark::DoNotOptimize(y.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
  ippsFIRFree_64f(s);
}
BENCHMARK(BM_FIR_64f)->Args({31, 511})->Args({31, 4096})->Args({32, 4096})->Args({511, 511})->Args({511, 4096});

}  // namespace

BENCHMARK_MAIN();
