// Writing and reading the property stream: a list of 10 000 extended reals
// (the form of learnt data) and the record of a component with 100
// published properties (50 integers, 50 reals).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "component/CmFiler.h"

namespace {

constexpr int kReals = 10000;
constexpr int kHalf = 50;

std::vector<double> SomeReals() {
  std::vector<double> v(kReals);
  for (int i = 0; i < kReals; ++i) v[static_cast<size_t>(i)] = (i + 1) * 0.37 - 1234.5;
  return v;
}

void BM_WriteExtendedReals(benchmark::State& AState) {
  const std::vector<double> values = SomeReals();
  TMemoryStream s;
  for (auto _ : AState) {
    s.Clear();
    TWriter w(s);
    w.WriteListBegin();
    for (double v : values) w.WriteFloat(v);
    w.WriteListEnd();
    benchmark::DoNotOptimize(s.Data().data());
  }
  AState.SetItemsProcessed(AState.iterations() * kReals);
  AState.SetBytesProcessed(AState.iterations() * static_cast<int64_t>(s.Data().size()));
}
BENCHMARK(BM_WriteExtendedReals);

void BM_ReadExtendedReals(benchmark::State& AState) {
  TMemoryStream s;
  {
    TWriter w(s);
    w.WriteListBegin();
    for (double v : SomeReals()) w.WriteFloat(v);
    w.WriteListEnd();
  }
  std::vector<double> out(kReals);
  for (auto _ : AState) {
    s.SetPosition(0);
    TReader r(s);
    r.ReadListBegin();
    size_t i = 0;
    while (!r.EndOfList()) out[i++] = r.ReadFloat();
    r.ReadListEnd();
    benchmark::DoNotOptimize(out.data());
  }
  AState.SetItemsProcessed(AState.iterations() * kReals);
  AState.SetBytesProcessed(AState.iterations() * static_cast<int64_t>(s.Data().size()));
}
BENCHMARK(BM_ReadExtendedReals);

// A component with 100 published properties, all away from their defaults.
class TBenchThing : public TComponent {
 public:
  explicit TBenchThing(TComponent* AOwner) : TComponent(AOwner) {
    for (int i = 0; i < kHalf; ++i) {
      FInts[i] = 1000 * (i + 1);
      FReals[i] = 0.5 + i;
    }
  }
  static const TClassInfo& StaticClass() {
    static const TClassInfo info = [] {
      TClassBuilder<TBenchThing> b("TBenchThing", &TComponent::StaticClass());
      for (int i = 0; i < kHalf; ++i) {
        b.Integer(
            "Int" + std::to_string(i), [i](TBenchThing& t) { return t.FInts[i]; },
            [i](TBenchThing& t, int64_t v) { t.FInts[i] = static_cast<int32_t>(v); });
        b.Float(
            "Real" + std::to_string(i), [i](TBenchThing& t) { return t.FReals[i]; },
            [i](TBenchThing& t, double v) { t.FReals[i] = v; });
      }
      return b.Creates().Build();
    }();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }

  int32_t FInts[kHalf];
  double FReals[kHalf];
};

void BM_WriteComponent100(benchmark::State& AState) {
  TBenchThing thing(nullptr);
  thing.SetName("Thing1");
  TMemoryStream s;
  for (auto _ : AState) {
    s.Clear();
    WriteComponentToStream(s, &thing);
    benchmark::DoNotOptimize(s.Data().data());
  }
  AState.SetItemsProcessed(AState.iterations() * 2 * kHalf);
  AState.SetBytesProcessed(AState.iterations() * static_cast<int64_t>(s.Data().size()));
}
BENCHMARK(BM_WriteComponent100);

void BM_ReadComponent100(benchmark::State& AState) {
  TBenchThing thing(nullptr);
  thing.SetName("Thing1");
  TMemoryStream s;
  WriteComponentToStream(s, &thing);
  TBenchThing target(nullptr);
  for (auto _ : AState) {
    s.SetPosition(0);
    ReadComponentFromStream(s, &target);
    benchmark::DoNotOptimize(target.FReals[kHalf - 1]);
  }
  AState.SetItemsProcessed(AState.iterations() * 2 * kHalf);
  AState.SetBytesProcessed(AState.iterations() * static_cast<int64_t>(s.Data().size()));
}
BENCHMARK(BM_ReadComponent100);

}  // namespace

BENCHMARK_MAIN();
