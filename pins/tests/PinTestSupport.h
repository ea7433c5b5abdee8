// Test-only stream interfaces, operations, components, pins and converters
// for the pin tests and benchmarks. The typed pins of the library come later;
// these stand in for them with the least that shows how pins behave.
//
// - TRealOperation carries a double and where it came from (sender, index).
// - IFlTestRealStream / IFlTestFloatStream / IFlTestIntStream receive the
//   "Real", "Float" and "32 bit Integer" types; IFlTestOtherStream a type no
//   registered converter reaches.
// - TTestSink<I...> receives the types of its interfaces and hands every
//   delivery to OnData (default: record it).
// - TTestSource sends the listed types through SubmitData (the handler's
//   IFlDataStream).
// - TTestConverter<IIn, OutID> converts a TRealOperation from IIn's type into
//   a new one of type OutID (the value doubled for float-to-real, so that a
//   test can see that it went through the converter).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "pins/FlPins.h"

namespace pintest {

inline constexpr TGUID OtherStreamID = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9E00}");
inline constexpr TGUID UnregisteredID = MakeGUID("{0D1A6F00-7C33-4B8E-9E05-3A2C1B0F9EAB}");

struct IFlTestRealStream : virtual IFlDataStream {
  static constexpr TGUID IID = FlStreamID::Real;
};
struct IFlTestFloatStream : virtual IFlDataStream {
  static constexpr TGUID IID = FlStreamID::Float;
};
struct IFlTestIntStream : virtual IFlDataStream {
  static constexpr TGUID IID = FlStreamID::Integer;
};
struct IFlTestOtherStream : virtual IFlDataStream {
  static constexpr TGUID IID = OtherStreamID;
};

class TRealOperation : public TFlNotifyOperation {
 public:
  TRealOperation(double AValue, int32_t ASender = 0, uint32_t AIndex = 0)
      : Value(AValue), Sender(ASender), Index(AIndex) {}
  static Ref<TRealOperation> Create(double AValue, int32_t ASender = 0, uint32_t AIndex = 0) {
    return MakeObject<TRealOperation>(AValue, ASender, AIndex);
  }
  const double Value;
  const int32_t Sender;
  const uint32_t Index;
};

inline TRealOperation* AsReal(IFlNotifyOperation* AOperation) {
  return AOperation != nullptr ? dynamic_cast<TRealOperation*>(AOperation->Instance()) : nullptr;
}

// A component with a framework lock of its own, which its pins use as owner
// lock. Design mode and a root form are set by the tests.
class TTestComponent : public TComponent {
 public:
  explicit TTestComponent(TComponent* AOwner = nullptr, const std::string& AName = {}) : TComponent(AOwner) {
    if (!AName.empty()) SetName(AName);
  }
  Ref<IFlLock> Lock = TFlLock::Create();
};

// A form: its class derives from a class named "TCustomForm", so it is the
// root of the components it owns.
class TTestForm : public TTestComponent {
 public:
  using TTestComponent::TTestComponent;
  static const TClassInfo& StaticClass() {
    static const TClassInfo custom = TClassBuilder<TTestForm>("TCustomForm", &TComponent::StaticClass()).Build();
    static const TClassInfo info = TClassBuilder<TTestForm>("TTestForm", &custom).Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
};

// One delivery as a sink saw it.
struct TDelivery {
  double Value;
  int32_t Sender;
  uint32_t Index;
  TGUID Type;
  TFlNotifyState State;
};

template <class... IStreams>
class TTestSink : public TFlSinkPin, public virtual IStreams... {
 public:
  using THandler =
      std::function<TFlNotifyResult(TTestSink&, PDataTypeID, IFlNotifyOperation*, TFlNotifyState)>;

  explicit TTestSink(TTestComponent* AOwner) : TFlSinkPin(AOwner, AOwner ? AOwner->Lock : Ref<IFlLock>()) {}
  TTestSink(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock) : TFlSinkPin(AOwner, AOwnerLock) {}

  TFlNotifyResult DispatchData(PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                               TFlNotifyState AState) override {
    ++Calls;
    if (OnData) return OnData(*this, ADataTypeID, AOperation, AState);
    Record(ADataTypeID, AOperation, AState);
    return Answer;
  }

  void Record(PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation, TFlNotifyState AState) {
    std::lock_guard<std::mutex> hold(FMutex);
    const TRealOperation* r = AsReal(AOperation);
    FDeliveries.push_back({r ? r->Value : 0.0, r ? r->Sender : -1, r ? r->Index : 0u,
                           ADataTypeID ? *ADataTypeID : TGUID{}, AState});
  }
  std::vector<TDelivery> Deliveries() {
    std::lock_guard<std::mutex> hold(FMutex);
    return FDeliveries;
  }
  std::vector<double> Values() {
    std::vector<double> v;
    for (const TDelivery& d : Deliveries())
      if (!d.State.Contains(nsNewLink)) v.push_back(d.Value);
    return v;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(FMutex);
    FDeliveries.clear();
  }

  THandler OnData;
  TFlNotifyResult Answer;
  std::atomic<int32_t> Calls{0};

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IStreams..., IFlDataStream, IFlBasicStream>(this, AIID)) return p;
    return TFlSinkPin::FindInterface(AIID);
  }

 private:
  std::mutex FMutex;
  std::vector<TDelivery> FDeliveries;
};

using TRealSink = TTestSink<IFlTestRealStream>;

// Delivers to the handler's IFlDataStream.
inline TFlNotifyResult SendToDataStream(IFlStream* AHandler, PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                                        TFlNotifyState AState) {
  void* p = nullptr;
  if (AHandler->QueryInterface(IFlDataStream::IID, &p) != S_OK) return {};
  auto* stream = static_cast<IFlDataStream*>(p);
  const TFlNotifyResult r = stream->DispatchData(ADataTypeID, AOperation, AState);
  stream->_Release();
  return r;
}

class TTestSource : public TFlSourcePin {
 public:
  TTestSource(TTestComponent* AOwner, std::initializer_list<TGUID> ATypes, int32_t AMaxConnections = 0)
      : TFlSourcePin(AOwner, AOwner ? AOwner->Lock : Ref<IFlLock>(), Ref<IFlLock>(), AMaxConnections) {
    for (const TGUID& t : ATypes) StreamType.AddType(t, TFlSubmit::Bind<&TTestSource::SubmitData>(this));
  }
  TTestSource(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock, std::initializer_list<TGUID> ATypes)
      : TFlSourcePin(AOwner, AOwnerLock, Ref<IFlLock>(), 0) {
    for (const TGUID& t : ATypes) StreamType.AddType(t, TFlSubmit::Bind<&TTestSource::SubmitData>(this));
  }

  TFlNotifyResult SubmitData(IFlStream* AHandler, PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                             TFlNotifyState AState) {
    return SendToDataStream(AHandler, ADataTypeID, AOperation, AState);
  }

  // Upstream deliveries arrive here when ReceiveUpstream is set.
  TFlNotifyResult DispatchData(PDataTypeID /*ADataTypeID*/, IFlNotifyOperation* AOperation,
                               TFlNotifyState /*AState*/) override {
    ++UpstreamCalls;
    if (const TRealOperation* r = AsReal(AOperation)) LastUpstream.store(r->Value);
    return UpstreamAnswer;
  }
  std::atomic<int32_t> UpstreamCalls{0};
  std::atomic<double> LastUpstream{0.0};
  TFlNotifyResult UpstreamAnswer;

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IFlDataStream, IFlBasicStream>(this, AIID)) return p;
    return TFlSourcePin::FindInterface(AIID);
  }
};

// A source owned by AOwner (its lock as owner lock) sending ATypes.
inline TFlPinPtr<TTestSource> MakeSource(TTestComponent* AOwner, std::initializer_list<TGUID> ATypes,
                                         int32_t AMaxConnections = 0) {
  return CreatePin<TTestSource>(AOwner, ATypes, AMaxConnections);
}

// Counts the converters alive and the values they converted.
struct TConverterCounters {
  static std::atomic<int32_t>& Alive() {
    static std::atomic<int32_t> n{0};
    return n;
  }
  static std::atomic<int32_t>& Conversions() {
    static std::atomic<int32_t> n{0};
    return n;
  }
};

template <class IIn, const TGUID& AOutID>
class TTestConverter : public TFlFormatConverter {
 public:
  TTestConverter() {
    ++TConverterCounters::Alive();
    auto output = CreatePin<TFlFormatConverterOutputPin>(this);
    output->StreamType.AddType(AOutID, TFlSubmit::Bind<&TTestConverter::SubmitData>(this));
    auto input = CreatePin<TTestSink<IIn>>(this, Lock());
    // Upstream operations go on to the source with the input type.
    input->StreamType.AddType(IIn::IID, TFlSubmit::Bind<&TTestConverter::SubmitData>(this));
    input->OnData = [this](TTestSink<IIn>&, PDataTypeID, IFlNotifyOperation* AOperation, TFlNotifyState AState) {
      if (AState.Contains(nsNewLink)) return TFlNotifyResult();
      ++TConverterCounters::Conversions();
      const TRealOperation* r = AsReal(AOperation);
      if (r == nullptr) return OutputPin()->Notify(AOperation);
      Ref<TRealOperation> converted = TRealOperation::Create(r->Value * 2, r->Sender, r->Index);
      return OutputPin()->Notify(converted.Get());
    };
    SetPins(TFlPinPtr<TFlSinkPin>(input.release()), TFlPinPtr<TFlSourcePin>(output.release()));
  }
  ~TTestConverter() override { --TConverterCounters::Alive(); }

  TFlNotifyResult SubmitData(IFlStream* AHandler, PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                             TFlNotifyState AState) {
    return SendToDataStream(AHandler, ADataTypeID, AOperation, AState);
  }
};

using TFloatToRealConverter = TTestConverter<IFlTestFloatStream, FlStreamID::Real>;
using TIntToRealConverter = TTestConverter<IFlTestIntStream, FlStreamID::Real>;

// The test converters in the registry (idempotent: re-registration updates).
inline void RegisterTestConverters() {
  RegisterTypeConverter(FlStreamID::Float, FlStreamID::Real, TFlFormatConverter::ClassOf<TFloatToRealConverter>());
  RegisterTypeConverter(FlStreamID::Integer, FlStreamID::Real, TFlFormatConverter::ClassOf<TIntToRealConverter>());
}

}  // namespace pintest
