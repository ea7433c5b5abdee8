// Element-wise operations of the integer, complex and block buffers beside
// memcpy of the same number of bytes, in the same run. Every case reports
// the bytes of one operand per iteration, so the bandwidths compare
// directly: an in-place operation reads two operands and writes one, memcpy
// reads one and writes one.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "buffers/BfBlockBuffer.h"
#include "buffers/BfComplexBuffer.h"
#include "buffers/BfIntegerBuffer.h"

namespace {

void BM_Memcpy(benchmark::State& AState, size_t AItemSize) {
  const size_t bytes = size_t(AState.range(0)) * AItemSize;
  std::vector<unsigned char> src(bytes, 1), dst(bytes, 0);
  for (auto _ : AState) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(bytes));
}

void BM_IntegerAdd(benchmark::State& AState) {
  const uint32_t n = uint32_t(AState.range(0));
  Ref<TBfIntegerBuffer> a = TBfIntegerBuffer::CreateValue(1, n);
  Ref<TBfIntegerBuffer> b = TBfIntegerBuffer::CreateValue(0, n);
  for (auto _ : AState) {
    b->Add(a);
    benchmark::ClobberMemory();
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(n) * 4);
}

void BM_ComplexMultiply(benchmark::State& AState) {
  const uint32_t n = uint32_t(AState.range(0));
  Ref<TBfComplexBuffer> a = TBfComplexBuffer::CreateValue({1.0, 0.0}, n);
  Ref<TBfComplexBuffer> b = TBfComplexBuffer::CreateValue({0.5, 0.25}, n);
  for (auto _ : AState) {
    b->Multiply(a);
    benchmark::ClobberMemory();
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(n) * 16);
}

void BM_BlockAdd(benchmark::State& AState) {
  const uint32_t n = uint32_t(AState.range(0));
  Ref<TBfBlockBuffer> a = TBfBlockBuffer::CreateSize(n);
  Ref<TBfBlockBuffer> b = TBfBlockBuffer::CreateSize(n);
  a->Zero();
  b->SetValue(7);
  for (auto _ : AState) {
    b->Add(a);
    benchmark::ClobberMemory();
  }
  AState.SetBytesProcessed(int64_t(AState.iterations()) * int64_t(n));
}

}  // namespace

BENCHMARK_CAPTURE(BM_Memcpy, int32, 4)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_IntegerAdd)->Arg(1024)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_Memcpy, complex, 16)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_ComplexMultiply)->Arg(1024)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_Memcpy, byte, 1)->Arg(1024)->Arg(1 << 20);
BENCHMARK(BM_BlockAdd)->Arg(1024)->Arg(1 << 20);

BENCHMARK_MAIN();
