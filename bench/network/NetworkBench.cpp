// Training and prediction of the radial-basis-function network on networks of
// 200, 2 000 and 20 000 neurons of 1024 items, beside FAISS's brute-force L1
// search (IndexFlat with METRIC_L1) over the same prototypes and query, and a
// whole face recognition run (both passes over the shared face folder,
// headless window).
//
// Names:
//   BM_Predict/<n>, BM_Train/<n>   byte-valued items (k/256, as the face
//                                  features), the fastest kernel, one thread
//   BM_PredictReal/<n>             arbitrary Reals in [0, 1), one thread
//   BM_PredictPlain/<n>, BM_PredictRealPlain/<n>
//                                  the plain loop, neuron by neuron
//   BM_Predict2Threads/<n>, BM_PredictReal2Threads/<n>
//                                  the fastest kernel on two threads
//   BM_FaissL1/<n>, BM_FaissL1Real/<n>
//                                  FAISS, one thread, nearest neighbour (k = 1)
// The items/s counters compare directly: one item is one absolute difference.
#include <benchmark/benchmark.h>
#include <faiss/IndexFlat.h>
#include <omp.h>

#include <memory>
#include <random>
#include <vector>

#include "app/HeadlessFaceWindow.h"
#include "app/Unit1.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"

namespace {

constexpr uint32_t cItems = 1024;

enum TValues { vBytes, vReals };

// Bytes: items are multiples of 1/256 in 0 .. 255/256, as the face features
// are. Reals: uniform in [0, 1), practically never such a multiple.
Ref<IBfRealBuffer> RandomVector(std::mt19937& ARandom, TValues AValues) {
  Ref<IBfRealBuffer> v = TBfRealBuffer::CreateSize(cItems);
  Real* p = v->Write();
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<Real> real(0, 1);
  for (uint32_t i = 0; i < cItems; ++i) p[i] = AValues == vBytes ? byte(ARandom) / 256.0 : real(ARandom);
  return v;
}

// The distance settings for one benchmark: the widest kernel (or the plain
// loop) on AThreads threads; the previous settings come back afterwards.
class TSettingsScope {
 public:
  TSettingsScope(bool APlain, int32_t AThreads) : FSaved(NrGetDistanceSettings()) {
    TNrDistanceSettings s = FSaved;
    s.Kernel = APlain ? dkPlain : dkAvx512;  // replaced by the widest the processor has
    s.Bytes = true;
    s.Threads = AThreads;
    NrSetDistanceSettings(s);
  }
  ~TSettingsScope() { NrSetDistanceSettings(FSaved); }

 private:
  TNrDistanceSettings FSaved;
};

// Random neurons with a field of 100: random vectors lie about 340 apart, so
// a vector equal to neuron 0 is covered by that neuron only.
struct TNetworkFixture {
  TNrRadialBasisFunctionNetwork Network;
  Ref<IBfRealBuffer> First;
  Ref<IBfRealBuffer> Query;

  TNetworkFixture(int64_t ANeurons, TValues AValues) {
    std::mt19937 random(12345);
    for (int64_t n = 0; n < ANeurons; ++n) {
      Ref<IBfRealBuffer> v = RandomVector(random, AValues);
      if (n == 0) First = v;
      Network.GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(v, Real(n % 40 + 1), 100));
    }
    Query = RandomVector(random, AValues);
    Network.SetOnResult([](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult* AResult) {
      benchmark::DoNotOptimize(AResult->Count());
    });
  }
};

void Report(benchmark::State& AState, int64_t ANeurons) {
  AState.counters["neurons"] = static_cast<double>(ANeurons);
  AState.SetItemsProcessed(AState.iterations() * ANeurons * cItems);
  AState.SetLabel(NrDistanceKernelName(NrGetDistanceSettings().Kernel));
}

// Train compares the sample with every neuron; a sample covered only by its
// own category changes nothing, so the network keeps its size.
void BM_Train(benchmark::State& AState) {
  TSettingsScope scope(false, 1);
  TNetworkFixture f(AState.range(0), vBytes);
  for (auto _ : AState) f.Network.Train(f.First, 1);
  Report(AState, f.Network.GetNeurons()->Count());
}
BENCHMARK(BM_Train)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void PredictCase(benchmark::State& AState, TValues AValues, bool APlain, int32_t AThreads) {
  TSettingsScope scope(APlain, AThreads);
  TNetworkFixture f(AState.range(0), AValues);
  for (auto _ : AState) f.Network.Predict(f.Query);
  Report(AState, f.Network.GetNeurons()->Count());
}

void BM_Predict(benchmark::State& AState) { PredictCase(AState, vBytes, false, 1); }
void BM_PredictReal(benchmark::State& AState) { PredictCase(AState, vReals, false, 1); }
void BM_PredictPlain(benchmark::State& AState) { PredictCase(AState, vBytes, true, 1); }
void BM_PredictRealPlain(benchmark::State& AState) { PredictCase(AState, vReals, true, 1); }
void BM_Predict2Threads(benchmark::State& AState) { PredictCase(AState, vBytes, false, 2); }
void BM_PredictReal2Threads(benchmark::State& AState) { PredictCase(AState, vReals, false, 2); }
BENCHMARK(BM_Predict)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PredictReal)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PredictPlain)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PredictRealPlain)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Predict2Threads)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PredictReal2Threads)->Arg(20000)->Unit(benchmark::kMicrosecond);

// FAISS over the same prototypes and query (as floats, FAISS's item type),
// nearest neighbour by L1 distance, on one OpenMP thread.
void FaissCase(benchmark::State& AState, TValues AValues) {
  omp_set_num_threads(1);
  const int64_t neurons = AState.range(0);
  std::mt19937 random(12345);
  std::vector<float> base(static_cast<size_t>(neurons) * cItems);
  for (int64_t n = 0; n < neurons; ++n) {
    Ref<IBfRealBuffer> v = RandomVector(random, AValues);
    const Real* p = v->Read();
    for (uint32_t i = 0; i < cItems; ++i) base[static_cast<size_t>(n) * cItems + i] = static_cast<float>(p[i]);
  }
  std::vector<float> query(cItems);
  {
    Ref<IBfRealBuffer> v = RandomVector(random, AValues);
    const Real* p = v->Read();
    for (uint32_t i = 0; i < cItems; ++i) query[i] = static_cast<float>(p[i]);
  }
  faiss::IndexFlat index(cItems, faiss::METRIC_L1);
  index.add(neurons, base.data());
  float distance = 0;
  faiss::Index::idx_t label = 0;
  for (auto _ : AState) {
    index.search(1, query.data(), 1, &distance, &label);
    benchmark::DoNotOptimize(distance);
    benchmark::DoNotOptimize(label);
  }
  AState.counters["neurons"] = static_cast<double>(neurons);
  AState.SetItemsProcessed(AState.iterations() * neurons * cItems);
}
void BM_FaissL1(benchmark::State& AState) { FaissCase(AState, vBytes); }
void BM_FaissL1Real(benchmark::State& AState) { FaissCase(AState, vReals); }
BENCHMARK(BM_FaissL1)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FaissL1Real)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// The whole demo: 360 pictures loaded and learnt, 40 loaded and recognised,
// with the start-up distance settings.
void BM_FaceRecRun(benchmark::State& AState) {
  int32_t neurons = 0, errors = 0;
  for (auto _ : AState) {
    THeadlessFaceWindow window;
    window.SetFacesFolder(std::string(FR_SHARED_DIR) + "/datasets/faces");
    TForm1 form(window);
    form.TrainButtonClick(nullptr);
    form.RecognizeButtonClick(nullptr);
    neurons = form.NrRadialBasisFunctionNetwork1->GetNeurons()->Count();
    errors = form.ErrorCount();
  }
  AState.counters["neurons"] = neurons;
  AState.counters["errors"] = errors;
  AState.SetLabel(NrDistanceKernelName(NrGetDistanceSettings().Kernel));
}
BENCHMARK(BM_FaceRecRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
