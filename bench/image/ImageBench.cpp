// The image primitives on a 1920 x 1080 picture, each beside OpenCV 4 doing
// the same work on the same pixels: resize by 0.5 and by 2 (linear, and
// supersampling against INTER_AREA), mirror against cv::flip, alpha
// composition against cv::addWeighted (the nearest OpenCV operation: a
// blend of two four-channel images of the same size with fixed instead of
// per-pixel weights). OpenCV runs on one thread, as the primitives do.
// Bytes processed count the source and destination bytes of one call.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <random>

#include "primitives/Ipps.h"

namespace {

constexpr int kW = 1920, kH = 1080;

cv::Mat Picture(int AChannels, int ASeed) {
  cv::Mat m(kH, kW, CV_8UC(AChannels));
  // A smooth gradient with noise, like a photograph more than like noise.
  std::mt19937 g(ASeed);
  for (int y = 0; y < kH; ++y) {
    auto* p = m.ptr<uint8_t>(y);
    for (int x = 0; x < kW * AChannels; ++x) p[x] = static_cast<uint8_t>((x / AChannels + 2 * y) / 12 + g() % 32);
  }
  return m;
}

const cv::Mat& Source(int AChannels) {
  static const cv::Mat c1 = Picture(1, 1), c3 = Picture(3, 3), c4 = Picture(4, 4);
  return AChannels == 1 ? c1 : (AChannels == 3 ? c3 : c4);
}

void Count(benchmark::State& state, const cv::Mat& a, const cv::Mat& b) {
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.total() * a.elemSize() + b.total() * b.elemSize()));
}

// ---- resize: range(0) channels, range(1) factor x 100, range(2) interpolation (2 linear, 8 supersampling)

void BM_ippiResize(benchmark::State& state) {
  const int C = int(state.range(0));
  const double f = state.range(1) / 100.0;
  const int interpolation = int(state.range(2));
  const cv::Mat& s = Source(C);
  cv::Mat d(int(kH * f), int(kW * f), s.type());
  auto fn = C == 1 ? ippiResize_8u_C1R : ippiResize_8u_C4R;
  for (auto _ : state) {
    const IppStatus st = fn(s.data, {kW, kH}, int(s.step), {0, 0, kW, kH}, d.data, int(d.step), {d.cols, d.rows}, f,
                            f, interpolation);
    if (st != ippStsNoErr) state.SkipWithError("resize failed");
    benchmark::ClobberMemory();
  }
  Count(state, s, d);
}
void BM_cvResize(benchmark::State& state) {
  cv::setNumThreads(1);
  const int C = int(state.range(0));
  const double f = state.range(1) / 100.0;
  const int interpolation = state.range(2) == 8 ? cv::INTER_AREA : cv::INTER_LINEAR;
  const cv::Mat& s = Source(C);
  cv::Mat d(int(kH * f), int(kW * f), s.type());
  for (auto _ : state) {
    cv::resize(s, d, d.size(), 0, 0, interpolation);
    benchmark::ClobberMemory();
  }
  Count(state, s, d);
}
void ResizeArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"channels", "factor100", "interp"});
  for (int c : {1, 4}) {
    b->Args({c, 50, 2});
    b->Args({c, 200, 2});
    b->Args({c, 50, 8});
  }
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_ippiResize)->Apply(ResizeArgs);
BENCHMARK(BM_cvResize)->Apply(ResizeArgs);

// ---- mirror: range(0) channels, range(1) axis (0 rows reversed, 1 columns reversed, 2 both)

int CvFlipCode(int AAxis) { return AAxis == 0 ? 0 : (AAxis == 1 ? 1 : -1); }

void BM_ippiMirror(benchmark::State& state) {
  const int C = int(state.range(0));
  const cv::Mat& s = Source(C);
  cv::Mat d(kH, kW, s.type());
  auto fn = C == 3 ? ippiMirror_8u_C3R : ippiMirror_8u_C4R;
  for (auto _ : state) {
    fn(s.data, int(s.step), d.data, int(d.step), {kW, kH}, IppiAxis(state.range(1)));
    benchmark::ClobberMemory();
  }
  Count(state, s, d);
}
void BM_cvFlip(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat& s = Source(int(state.range(0)));
  cv::Mat d(kH, kW, s.type());
  for (auto _ : state) {
    cv::flip(s, d, CvFlipCode(int(state.range(1))));
    benchmark::ClobberMemory();
  }
  Count(state, s, d);
}
void MirrorArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"channels", "axis"});
  for (int c : {3, 4})
    for (int axis : {0, 1, 2}) b->Args({c, axis});
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_ippiMirror)->Apply(MirrorArgs);
BENCHMARK(BM_cvFlip)->Apply(MirrorArgs);

// ---- alpha composition: range(0) composition type

void BM_ippiAlphaComp(benchmark::State& state) {
  const cv::Mat &a = Source(4), b = Picture(4, 9);
  cv::Mat d(kH, kW, a.type());
  for (auto _ : state) {
    ippiAlphaComp_8u_AC4R(a.data, int(a.step), b.data, int(b.step), d.data, int(d.step), {kW, kH},
                          IppiAlphaType(state.range(0)));
    benchmark::ClobberMemory();
  }
  Count(state, a, d);
}
BENCHMARK(BM_ippiAlphaComp)->ArgName("type")->Arg(ippAlphaOver)->Arg(ippAlphaOverPremul)->Arg(ippAlphaXor)->Unit(benchmark::kMicrosecond);
void BM_cvAddWeighted(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat &a = Source(4), b = Picture(4, 9);
  cv::Mat d(kH, kW, a.type());
  for (auto _ : state) {
    cv::addWeighted(a, 0.7, b, 0.3, 0, d);
    benchmark::ClobberMemory();
  }
  Count(state, a, d);
}
BENCHMARK(BM_cvAddWeighted)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
