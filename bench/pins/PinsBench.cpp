// Uncontended cost of sending a real value through pins, one thread. Items
// are deliveries (sinks reached, or hops along the chain), so that the
// per-item time reads as the cost per sink or per hop.
#include <benchmark/benchmark.h>

#include "pins/tests/PinTestSupport.h"

using namespace pintest;

namespace {

// A sink that only counts what it receives.
TFlPinPtr<TRealSink> CountingSink(TTestComponent* AOwner, int64_t& ACount) {
  auto sink = CreatePin<TRealSink>(AOwner);
  sink->OnData = [&ACount](TRealSink&, PDataTypeID, IFlNotifyOperation*, TFlNotifyState) {
    ++ACount;
    return TFlNotifyResult();
  };
  return sink;
}

void SendToSinks(benchmark::State& AState) {
  const int32_t count = int32_t(AState.range(0));
  TTestComponent sender(nullptr, "Sender"), receiver(nullptr, "Receiver");
  auto source = MakeSource(&sender, {FlStreamID::Real});
  int64_t received = 0;
  std::vector<TFlPinPtr<TRealSink>> sinks;
  for (int32_t i = 0; i < count; ++i) {
    sinks.push_back(CountingSink(&receiver, received));
    sinks.back()->Connect(source.get());
  }
  Ref<TRealOperation> op = TRealOperation::Create(1.0);
  for (auto _ : AState) benchmark::DoNotOptimize(source->Notify(op.Get()));
  AState.SetItemsProcessed(AState.iterations() * count);
  if (received < int64_t(AState.iterations()) * count) AState.SkipWithError("values lost");
  sinks.clear();
}
BENCHMARK(SendToSinks)->Name("Pins/SourceToSinks")->Arg(1)->Arg(16);

void SendThroughConverter(benchmark::State& AState) {
  RegisterTestConverters();
  TTestComponent sender(nullptr, "Sender"), receiver(nullptr, "Receiver");
  auto source = MakeSource(&sender, {FlStreamID::Float});
  int64_t received = 0;
  auto sink = CountingSink(&receiver, received);
  sink->Connect(source.get());
  if (!sink->FormatConverter()) AState.SkipWithError("no converter in between");
  Ref<TRealOperation> op = TRealOperation::Create(1.0);
  for (auto _ : AState) benchmark::DoNotOptimize(source->Notify(op.Get()));
  AState.SetItemsProcessed(AState.iterations());
  if (received < int64_t(AState.iterations())) AState.SkipWithError("values lost");
}
BENCHMARK(SendThroughConverter)->Name("Pins/SourceThroughConverterToSink");

// "F" and the index, appended piecewise (GCC 12 at -O3 mistakes a
// concatenation for overlapping copies).
std::string ForwarderName(int32_t AIndex) {
  std::string name = "F";
  name += std::to_string(AIndex);
  return name;
}

// A component that forwards from its sink to its own source.
struct TForwarder {
  explicit TForwarder(int32_t AIndex) : Owner(nullptr, ForwarderName(AIndex)) {
    Input = CreatePin<TRealSink>(&Owner);
    Output = MakeSource(&Owner, {FlStreamID::Real});
    Output->FunctionSources().Add(Input.get());
    Input->OnData = [this](TRealSink&, PDataTypeID, IFlNotifyOperation* AOperation, TFlNotifyState AState) {
      if (AState.Contains(nsNewLink)) return TFlNotifyResult();
      return Output->Notify(AOperation);
    };
  }
  ~TForwarder() {
    Output.reset();
    Input.reset();
  }
  TTestComponent Owner;
  TFlPinPtr<TRealSink> Input;
  TFlPinPtr<TTestSource> Output;
};

constexpr int32_t ChainLength = 10;

void PinChain(benchmark::State& AState) {
  TTestComponent head(nullptr, "Head"), tail(nullptr, "Tail");
  auto source = MakeSource(&head, {FlStreamID::Real});
  std::vector<std::unique_ptr<TForwarder>> chain;
  for (int32_t i = 0; i < ChainLength; ++i) chain.push_back(std::make_unique<TForwarder>(i));
  int64_t received = 0;
  auto end = CountingSink(&tail, received);
  // Head -> F0 -> ... -> F9 -> end: 10 components, 11 links.
  chain[0]->Input->Connect(source.get());
  for (int32_t i = 1; i < ChainLength; ++i) chain[size_t(i)]->Input->Connect(chain[size_t(i - 1)]->Output.get());
  end->Connect(chain.back()->Output.get());
  Ref<TRealOperation> op = TRealOperation::Create(1.0);
  for (auto _ : AState) benchmark::DoNotOptimize(source->Notify(op.Get()));
  AState.SetItemsProcessed(AState.iterations() * ChainLength);
  if (received < int64_t(AState.iterations())) AState.SkipWithError("values lost");
  end.reset();
  chain.clear();
}
BENCHMARK(PinChain)->Name("Pins/ChainOf10Components");

// The same chain as plain virtual calls: what a hop costs without pins.
struct TVirtualStage {
  virtual ~TVirtualStage() = default;
  virtual double Receive(double AValue) = 0;
};

struct TVirtualForwarder : TVirtualStage {
  TVirtualStage* Next = nullptr;
  double Receive(double AValue) override { return Next->Receive(AValue); }
};

struct TVirtualEnd : TVirtualStage {
  int64_t Count = 0;
  double Receive(double AValue) override {
    ++Count;
    return AValue;
  }
};

void VirtualChain(benchmark::State& AState) {
  std::vector<std::unique_ptr<TVirtualForwarder>> chain;
  for (int32_t i = 0; i < ChainLength; ++i) chain.push_back(std::make_unique<TVirtualForwarder>());
  TVirtualEnd end;
  for (int32_t i = 0; i + 1 < ChainLength; ++i) chain[size_t(i)]->Next = chain[size_t(i + 1)].get();
  chain.back()->Next = &end;
  TVirtualStage* head = chain[0].get();
  benchmark::DoNotOptimize(head);
  double value = 1.0;
  for (auto _ : AState) {
    benchmark::DoNotOptimize(value = head->Receive(value));
  }
  AState.SetItemsProcessed(AState.iterations() * ChainLength);
}
BENCHMARK(VirtualChain)->Name("Pins/ChainOf10VirtualCalls");

}  // namespace

BENCHMARK_MAIN();
