// Training and prediction of the radial-basis-function network on networks of
// 200, 2 000 and 20 000 neurons of 1024 items, and a whole face recognition
// run (both passes over the shared face folder, headless window).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "app/HeadlessFaceWindow.h"
#include "app/Unit1.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"

namespace {

constexpr uint32_t cItems = 1024;

// Items are multiples of 1/256 in 0 .. 255/256, as the face features are.
Ref<IBfRealBuffer> RandomVector(std::mt19937& ARandom) {
  Ref<IBfRealBuffer> v = TBfRealBuffer::CreateSize(cItems);
  Real* p = v->Write();
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint32_t i = 0; i < cItems; ++i) p[i] = byte(ARandom) / 256.0;
  return v;
}

// Random neurons with a field of 100: random vectors lie about 340 apart, so
// a vector equal to neuron 0 is covered by that neuron only.
struct TNetworkFixture {
  TNrRadialBasisFunctionNetwork Network;
  Ref<IBfRealBuffer> First;
  Ref<IBfRealBuffer> Query;

  explicit TNetworkFixture(int64_t ANeurons) {
    std::mt19937 random(12345);
    for (int64_t n = 0; n < ANeurons; ++n) {
      Ref<IBfRealBuffer> v = RandomVector(random);
      if (n == 0) First = v;
      Network.GetNeurons()->Add(TNrRadialBasisFunctionNeuron::Create(v, Real(n % 40 + 1), 100));
    }
    Query = RandomVector(random);
    Network.SetOnResult([](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult* AResult) {
      benchmark::DoNotOptimize(AResult->Count());
    });
  }
};

// Train compares the sample with every neuron; a sample covered only by its
// own category changes nothing, so the network keeps its size.
void BM_Train(benchmark::State& AState) {
  TNetworkFixture f(AState.range(0));
  for (auto _ : AState) f.Network.Train(f.First, 1);
  AState.counters["neurons"] = f.Network.GetNeurons()->Count();
  AState.SetItemsProcessed(AState.iterations() * AState.range(0) * cItems);
}
BENCHMARK(BM_Train)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_Predict(benchmark::State& AState) {
  TNetworkFixture f(AState.range(0));
  for (auto _ : AState) f.Network.Predict(f.Query);
  AState.counters["neurons"] = f.Network.GetNeurons()->Count();
  AState.SetItemsProcessed(AState.iterations() * AState.range(0) * cItems);
}
BENCHMARK(BM_Predict)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// The whole demo: 360 pictures loaded and learnt, 40 loaded and recognised.
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
}
BENCHMARK(BM_FaceRecRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
