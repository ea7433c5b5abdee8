// Pins: the type list, negotiation, the design-time rule, names, linking
// from either side, sending (order, re-sort, notify-after, converters shared
// by several sinks, holds given up), dependency and recursion limits,
// upstream sends, destroy-lock skipping, registries and events.
#include <gtest/gtest.h>

#include <thread>

#include "pins/tests/LockTestSupport.h"
#include "pins/tests/PinTestSupport.h"

using namespace pintest;

namespace {

// Registers the test converters; every test ends with no pin and no
// converter left alive.
class PinsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterTestConverters(); }
  void SetUp() override {
    FPinsBefore = FlRegisteredPinCount();
    FConvertersBefore = TConverterCounters::Alive().load();
  }
  void TearDown() override {
    EXPECT_EQ(FlRegisteredPinCount(), FPinsBefore);
    EXPECT_EQ(TConverterCounters::Alive().load(), FConvertersBefore);
  }

  TTestComponent FOwnerA{nullptr, "A"};
  TTestComponent FOwnerB{nullptr, "B"};

 private:
  int32_t FPinsBefore = 0;
  int32_t FConvertersBefore = 0;
};

TFlNotifyResult Send(TFlSourcePin& ASource, double AValue) {
  Ref<TRealOperation> op = TRealOperation::Create(AValue);
  return ASource.Notify(op.Get());
}

// ---------------------------------------------------------------------------
// Type list and operations

TEST(PinStreamType, AddReplacesInPlaceRemoveClosesTheGap) {
  TFlPinStreamType list;
  int tag1 = 0, tag2 = 0;
  const TFlSubmit s1{&tag1, nullptr}, s2{&tag2, [](void*, IFlStream*, PDataTypeID, IFlNotifyOperation*,
                                                    TFlNotifyState) { return TFlNotifyResult(); }};
  list.AddType(FlStreamID::Float, s1);
  list.AddType(FlStreamID::Real);
  list.AddType(FlStreamID::Float, s2);  // replaced, not appended
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetID(0), FlStreamID::Float);
  EXPECT_EQ(list.GetSubmitFunc(0), s2);
  EXPECT_TRUE(list.GetSubmitFunc(0).Assigned());
  EXPECT_FALSE(list.GetSubmitFunc(1).Assigned());
  list.SwapPosition(0, 1);
  EXPECT_EQ(list.GetID(0), FlStreamID::Real);
  list.RemoveType(UnregisteredID);  // ignored
  list.RemoveType(FlStreamID::Real);
  ASSERT_EQ(list.GetLength(), 1);
  EXPECT_EQ(list.GetID(0), FlStreamID::Float);
  EXPECT_THROW(list.GetID(1), ERangeError);
  EXPECT_THROW(list.SwapPosition(0, -1), ERangeError);
  try {
    list.GetSubmitFunc(5);
  } catch (const ERangeError& e) {
    EXPECT_STREQ(e.what(), "Index out of range = 5");
  }
  list.ClearTypes();
  EXPECT_EQ(list.Count(), 0);
}

TEST(NotifyOperation, IdentifiersIncreaseProcessWide) {
  Ref<TFlNotifyOperation> a = TFlNotifyOperation::Create();
  Ref<TFlNotifyOperation> b = TFlNotifyOperation::Create();
  EXPECT_GT(a->OperationID(), 0u);
  EXPECT_EQ(b->OperationID(), a->OperationID() + 1);
  EXPECT_EQ(Ref<IFlNotifyOperation>(b)->Instance(), b.Get());
}

// ---------------------------------------------------------------------------
// Negotiation

struct TNegotiationCase {
  const char* Name;
  std::vector<TGUID> Sends;
  bool ReceivesReal, ReceivesFloat, ReceivesOther;
  bool Links;
  TGUID LinkType;     // the type on the source's entry
  bool ViaConverter;  // a new converter in between
};

class Negotiation : public PinsTest, public ::testing::WithParamInterface<TNegotiationCase> {};

template <class... I>
bool LinkAndCheck(TTestComponent& AOwnerA, TTestComponent& AOwnerB, const TNegotiationCase& c) {
  auto source = MakeSource(&AOwnerA, {});
  for (const TGUID& t : c.Sends) source->StreamType.AddType(t, TFlSubmit::Bind<&TTestSource::SubmitData>(source.get()));
  auto sink = CreatePin<TTestSink<I...>>(&AOwnerB);
  const bool linked = sink->Connect(source.get());
  EXPECT_EQ(linked, c.Links);
  EXPECT_EQ(source->IsConnectedTo(sink.get()), c.Links);
  EXPECT_EQ(sink->SourcePin(), c.Links ? source.get() : nullptr);
  EXPECT_EQ(source->SinkCount(), c.Links ? 1 : 0);
  EXPECT_EQ(source->ConverterCount(), c.ViaConverter ? 1 : 0);
  EXPECT_EQ(bool(sink->FormatConverter()), c.ViaConverter);
  EXPECT_EQ(sink->IsConnectedByConverterTo(source.get()), c.ViaConverter);
  if (c.Links) {
    EXPECT_EQ(source->GetConnectionID(sink.get()), c.LinkType);
    Send(*source, 1.5);
    const std::vector<double> values = sink->Values();
    EXPECT_EQ(values, std::vector<double>{c.ViaConverter ? 3.0 : 1.5});
  }
  return linked;
}

TEST_P(Negotiation, PicksTheLastTypeTheSinkReceivesElseAConverterElseRefuses) {
  const TNegotiationCase& c = GetParam();
  if (c.ReceivesReal && c.ReceivesFloat)
    LinkAndCheck<IFlTestRealStream, IFlTestFloatStream>(FOwnerA, FOwnerB, c);
  else if (c.ReceivesReal)
    LinkAndCheck<IFlTestRealStream>(FOwnerA, FOwnerB, c);
  else if (c.ReceivesFloat)
    LinkAndCheck<IFlTestFloatStream>(FOwnerA, FOwnerB, c);
  else
    LinkAndCheck<IFlTestOtherStream>(FOwnerA, FOwnerB, c);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Negotiation,
    ::testing::Values(
        TNegotiationCase{"LastListedOfTwoWins", {FlStreamID::Float, FlStreamID::Real}, true, true, false, true,
                         FlStreamID::Real, false},
        TNegotiationCase{"OrderOfTheListDecides", {FlStreamID::Real, FlStreamID::Float}, true, true, false, true,
                         FlStreamID::Float, false},
        TNegotiationCase{"DirectBeforeConverter", {FlStreamID::Float, FlStreamID::Real}, true, false, false, true,
                         FlStreamID::Real, false},
        TNegotiationCase{"RegisteredConverter", {FlStreamID::Float}, true, false, false, true, FlStreamID::Float,
                         true},
        TNegotiationCase{"NoRegistryEntryRefused", {FlStreamID::Float}, false, false, true, false, TGUID{}, false},
        TNegotiationCase{"NoTypesRefused", {}, true, false, false, false, TGUID{}, false}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(PinsTest, ReceivingPinAnswersTheQueryWithItsTypes) {
  auto sink = CreatePin<TTestSink<IFlTestRealStream, IFlTestFloatStream>>(&FOwnerB);
  EXPECT_TRUE(sink->QueryStream(FlStreamID::Real));
  EXPECT_TRUE(sink->QueryStream(FlStreamID::Float));
  EXPECT_TRUE(sink->QueryStream(FlStreamID::DataStream));
  EXPECT_FALSE(sink->QueryStream(FlStreamID::Integer));
  EXPECT_FALSE(sink->QueryStream(TGUID{}));
  EXPECT_EQ(sink->GetPinType(), ptSink);
}

TEST_F(PinsTest, LinkFromTheSourceSideIsTheSameLink) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Float});
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  auto other = CreatePin<TTestSink<IFlTestOtherStream>>(&FOwnerB);
  EXPECT_FALSE(source->Connect(source.get()));
  EXPECT_FALSE(source->Connect(other.get()));
  EXPECT_FALSE(source->IsConnected());
  ASSERT_TRUE(source->Connect(sink.get()));
  EXPECT_TRUE(sink->IsConnectedTo(source.get()));
  EXPECT_EQ(source->GetSink(0), sink.get());
  EXPECT_EQ(source->ConnectedPinCount(), 1);
  EXPECT_EQ(sink->ConnectedPinCount(), 1);
  EXPECT_EQ(sink->UpStreamID(), FlStreamID::Float);
  EXPECT_EQ(sink->UpStreamLinkName(), "Float");
  EXPECT_EQ(source->GetConnectionName(sink.get()), "Float");
  source->DisconnectFrom(sink.get());
  EXPECT_FALSE(sink->IsConnected());
  EXPECT_EQ(sink->UpStreamID(), TGUID{});
  EXPECT_EQ(source->ConverterCount(), 0);
}

TEST_F(PinsTest, RelinkingMovesTheSinkAndDisconnectOfTheSourceDropsAll) {
  auto s1 = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto s2 = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto a = CreatePin<TRealSink>(&FOwnerB);
  auto b = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(a->Connect(s1.get()));
  ASSERT_TRUE(a->Connect(s1.get()));  // already linked: nothing changes
  EXPECT_EQ(s1->SinkCount(), 1);
  ASSERT_TRUE(a->Connect(s2.get()));
  EXPECT_EQ(s1->SinkCount(), 0);
  EXPECT_EQ(s2->SinkCount(), 1);
  ASSERT_TRUE(b->Connect(s2.get()));
  s2->Disconnect();
  EXPECT_FALSE(a->IsConnected());
  EXPECT_FALSE(b->IsConnected());
  EXPECT_EQ(s2->SinkCount(), 0);
  b->Assign(a.get());  // a has no source: b stays unlinked
  EXPECT_FALSE(b->IsConnected());
  ASSERT_TRUE(a->Connect(s1.get()));
  b->Assign(a.get());
  EXPECT_EQ(b->SourcePin(), s1.get());
}

TEST_F(PinsTest, FreeingAPinUnlinksItsPartners) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Float});
  auto direct = CreatePin<TTestSink<IFlTestFloatStream>>(&FOwnerB);
  auto converted = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(direct->Connect(source.get()));
  ASSERT_TRUE(converted->Connect(source.get()));
  EXPECT_EQ(source->ConverterCount(), 1);
  converted.reset();
  EXPECT_EQ(source->SinkCount(), 1);
  EXPECT_EQ(source->ConverterCount(), 0);
  source.reset();
  EXPECT_FALSE(direct->IsConnected());
}

// ---------------------------------------------------------------------------
// Design-time rule

struct TDesignCase {
  const char* Name;
  bool SourceDesigning, SinkDesigning, Suppressed;
  bool Links;
};

class DesignTimeRule : public PinsTest, public ::testing::WithParamInterface<TDesignCase> {};

TEST_P(DesignTimeRule, DesignAndRunTimePinsDoNotLink) {
  const TDesignCase& c = GetParam();
  FOwnerA.SetDesigning(c.SourceDesigning);
  FOwnerB.SetDesigning(c.SinkDesigning);
  FlSetDesignModeSuppressed(c.Suppressed);
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  EXPECT_EQ(source->IsDesignTime(), c.SourceDesigning && !c.Suppressed);
  EXPECT_EQ(sink->Connect(source.get()), c.Links);
  EXPECT_EQ(source->Connect(sink.get()), c.Links);
  EXPECT_EQ(sink->IsConnected(), c.Links);
  FlSetDesignModeSuppressed(false);
}

INSTANTIATE_TEST_SUITE_P(Cases, DesignTimeRule,
                         ::testing::Values(TDesignCase{"BothRunTime", false, false, false, true},
                                           TDesignCase{"BothDesignTime", true, true, false, true},
                                           TDesignCase{"DesignSource", true, false, false, false},
                                           TDesignCase{"DesignSink", false, true, false, false},
                                           TDesignCase{"SuppressedDesignMode", true, false, true, true}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(PinsTest, ConverterPinsLinkToDesignTimePins) {
  FOwnerB.SetDesigning(true);
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  Ref<TFlFormatConverter> converter = TFlFormatConverter::ClassOf<TFloatToRealConverter>()();
  EXPECT_FALSE(converter->OutputPin()->IsDesignTime());
  EXPECT_TRUE(sink->Connect(converter->OutputPin()));
  Ref<TRealOperation> op = TRealOperation::Create(2);
  converter->OutputPin()->Notify(op.Get());
  EXPECT_EQ(sink->Values(), std::vector<double>{2});
  sink->Disconnect();
}

// ---------------------------------------------------------------------------
// Names

TEST_F(PinsTest, NamesWithoutOwnerWithOwnRootAndUnderAForm) {
  auto lonely = MakeSource(nullptr, {});
  EXPECT_EQ(lonely->GetFullName(true), "(No owner)");
  EXPECT_EQ(lonely->GetFullIdentName(false), "(No owner)");
  EXPECT_EQ(lonely->GetRootName(), "");
  EXPECT_EQ(lonely->GetOwnerName(), "");

  auto own = MakeSource(&FOwnerA, {});
  own->SetPinName("Output");
  EXPECT_EQ(own->GetFullName(false), "A.Output");
  EXPECT_EQ(own->GetRootName(), "A");  // the owner is its own root
  EXPECT_EQ(own->GetName(), "Output");
  EXPECT_EQ(own->GetSaveName(), "Output");

  TTestForm form(nullptr, "Form1");
  TTestComponent* inner = CreateComponent<TTestComponent>(&form, "Filter1");
  auto pin = CreatePin<TRealSink>(inner);
  pin->SetPinName("Input");
  EXPECT_EQ(FlFindRoot(inner), &form);
  EXPECT_EQ(pin->GetRoot(), &form);
  EXPECT_EQ(pin->GetFullName(true), "Form1.Filter1.Input");
  EXPECT_EQ(pin->GetFullIdentName(false), "Filter1.Input");
  EXPECT_EQ(pin->GetRootName(), "Form1");
  EXPECT_EQ(pin->GetOwnerName(), "Filter1");
  EXPECT_EQ(pin->GetName(), "Input");
  form.SetName("Form2");
  EXPECT_EQ(pin->GetRootName(), "Form2");
  EXPECT_EQ(FlFindRoot(nullptr), nullptr);
  pin.reset();
}

// ---------------------------------------------------------------------------
// Connection limit

TEST_F(PinsTest, MaxConnectionsOneKeepsOnlyTheNewestSink) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real}, 1);
  auto a = CreatePin<TRealSink>(&FOwnerB);
  auto b = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(source->Connect(a.get()));
  ASSERT_TRUE(source->Connect(a.get()));  // A is already its only sink
  EXPECT_EQ(source->SinkCount(), 1);
  EXPECT_TRUE(a->IsConnected());
  ASSERT_TRUE(source->Connect(b.get()));
  EXPECT_EQ(source->SinkCount(), 1);
  EXPECT_EQ(source->GetSink(0), b.get());
  EXPECT_FALSE(a->IsConnected());
  ASSERT_TRUE(a->Connect(source.get()));  // from the sink side the limit holds too
  EXPECT_EQ(source->SinkCount(), 1);
  EXPECT_EQ(source->GetSink(0), a.get());
  EXPECT_FALSE(b->IsConnected());
}

// ---------------------------------------------------------------------------
// Sending

TEST_F(PinsTest, ThreeSinksBehindOneConverterGetOneSubmitCall) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Float});
  std::vector<TFlPinPtr<TRealSink>> sinks;
  for (int i = 0; i < 3; ++i) {
    sinks.push_back(CreatePin<TRealSink>(&FOwnerB));
    ASSERT_TRUE(sinks.back()->Connect(source.get()));
  }
  EXPECT_EQ(source->ConverterCount(), 1);  // the existing converter is shared
  const Ref<TFlFormatConverter> converter = sinks[0]->FormatConverter();
  for (auto& s : sinks) EXPECT_EQ(s->FormatConverter(), converter);
  EXPECT_EQ(converter->OutputPin()->SinkCount(), 3);
  const int32_t before = TConverterCounters::Conversions().load();
  Send(*source, 4);
  EXPECT_EQ(TConverterCounters::Conversions().load() - before, 1);
  for (auto& s : sinks) EXPECT_EQ(s->Values(), std::vector<double>{8});
  sinks[1]->Disconnect();
  EXPECT_EQ(converter->OutputPin()->SinkCount(), 2);
  EXPECT_EQ(source->ConverterCount(), 1);
  sinks[0]->Disconnect();
  sinks[2]->Disconnect();
  EXPECT_EQ(source->ConverterCount(), 0);  // dropped with its last sink
}

TEST_F(PinsTest, LastDeliveryOfASendCarriesLastIteration) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto a = CreatePin<TRealSink>(&FOwnerB);
  auto b = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(a->Connect(source.get()));
  ASSERT_TRUE(b->Connect(source.get()));
  // The new-link operation: both flags, one per link.
  ASSERT_EQ(a->Deliveries().size(), 1u);
  EXPECT_EQ(a->Deliveries()[0].State, TFlNotifyState(nsNewLink, nsLastIteration));
  a->Clear();
  b->Clear();
  Send(*source, 1);
  EXPECT_EQ(a->Deliveries().at(0).State, TFlNotifyState());
  EXPECT_EQ(b->Deliveries().at(0).State, TFlNotifyState(nsLastIteration));
  EXPECT_EQ(b->Deliveries().at(0).Type, FlStreamID::Real);
}

std::vector<TFlBasicPin*> ServingOrder(TFlSourcePin& ASource) {
  std::vector<TFlBasicPin*> order;
  for (const TFlPinEntry& e : ASource.Entries()) order.push_back(e.RealPin);
  return order;
}

TEST_F(PinsTest, SinkThatReportsDataChangedMovesBehindTheOthers) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto a = CreatePin<TRealSink>(&FOwnerB);
  auto b = CreatePin<TRealSink>(&FOwnerB);
  auto c = CreatePin<TRealSink>(&FOwnerB);
  for (auto* s : {a.get(), b.get(), c.get()}) ASSERT_TRUE(s->Connect(source.get()));
  std::vector<TFlBasicPin*> served;
  std::mutex m;
  for (auto* s : {a.get(), b.get(), c.get()})
    s->OnData = [&](TRealSink& ASink, PDataTypeID, IFlNotifyOperation*, TFlNotifyState) {
      std::lock_guard<std::mutex> hold(m);
      served.push_back(&ASink);
      return ASink.Answer;
    };
  a->Answer = nrDataChanged;
  const TFlNotifyResult r = Send(*source, 1);
  EXPECT_TRUE(r.Contains(nrDataChanged));  // the union of the answers
  EXPECT_EQ(served, (std::vector<TFlBasicPin*>{a.get(), b.get(), c.get()}));
  EXPECT_EQ(ServingOrder(*source), (std::vector<TFlBasicPin*>{b.get(), c.get(), a.get()}));
  EXPECT_EQ(source->Entries()[2].ModificationLevel, 3);
  served.clear();
  Send(*source, 2);
  EXPECT_EQ(served, (std::vector<TFlBasicPin*>{b.get(), c.get(), a.get()}));
  // Once A stops reporting changes, its level decays to 0 and the stable
  // sort keeps the order.
  a->Answer = {};
  for (int i = 0; i < 10; ++i) Send(*source, 3);
  EXPECT_EQ(source->Entries()[2].ModificationLevel, 0);
  EXPECT_EQ(ServingOrder(*source), (std::vector<TFlBasicPin*>{b.get(), c.get(), a.get()}));
}

TEST_F(PinsTest, NotifyAfterSinkIsAlwaysServedAfterItsPin) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto first = CreatePin<TRealSink>(&FOwnerB);
  auto after = CreatePin<TRealSink>(&FOwnerB);
  auto plain = CreatePin<TRealSink>(&FOwnerB);
  // From the source side the notify-after pin must be a sink of the source.
  EXPECT_FALSE(source->CanConnectAfter(after.get(), first.get(), true));
  EXPECT_FALSE(source->ConnectAfter(after.get(), first.get()));
  ASSERT_TRUE(first->Connect(source.get()));
  ASSERT_TRUE(source->CanConnectAfter(after.get(), first.get(), true));
  ASSERT_TRUE(source->ConnectAfter(after.get(), first.get()));
  ASSERT_TRUE(plain->Connect(source.get()));
  EXPECT_EQ(source->GetNotifyAfterPin(after.get()), first.get());
  EXPECT_EQ(after->GetNotifyAfterPin(source.get()), first.get());
  EXPECT_TRUE(after->ConnectAfter(source.get(), first.get()));  // same link: true, nothing changes
  // The pin it follows now reports changes and moves back each send.
  std::vector<TFlBasicPin*> served;
  for (auto* s : {first.get(), after.get(), plain.get()})
    s->OnData = [&](TRealSink& ASink, PDataTypeID, IFlNotifyOperation*, TFlNotifyState) {
      served.push_back(&ASink);
      return ASink.Answer;
    };
  first->Answer = nrDataChanged;
  for (int i = 0; i < 3; ++i) {
    served.clear();
    Send(*source, i);
    auto pos = [&](TFlBasicPin* p) { return std::find(served.begin(), served.end(), p) - served.begin(); };
    ASSERT_EQ(served.size(), 3u);
    EXPECT_LT(pos(first.get()), pos(after.get())) << "send " << i;
  }
  EXPECT_EQ(ServingOrder(*source).back(), after.get());
  EXPECT_EQ(source->GetAfterPinDisplayName(after.get()), first->GetFullName(true));
  // Freeing the pin it follows clears the reference.
  first.reset();
  EXPECT_EQ(source->GetNotifyAfterPin(after.get()), nullptr);
}

TEST_F(PinsTest, HoldsOfTheSenderAreGivenUpWhileAReceiverRunsAndComeBack) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(sink->Connect(source.get()));
  TFlLock::TCounters ownerInside, pinInside;
  sink->OnData = [&](TRealSink&, PDataTypeID, IFlNotifyOperation*, TFlNotifyState) {
    ownerInside = FOwnerA.Lock->Instance()->Counters();
    pinInside = source->IntLock()->Instance()->Counters();
    return TFlNotifyResult();
  };
  Ref<IFlLockSection> ownerHold = FOwnerA.Lock->WriteLock();
  Ref<IFlLockSection> ownerHold2 = FOwnerA.Lock->WriteLock();
  Send(*source, 1);
  EXPECT_EQ(ownerInside.OwningThread, 0u);
  EXPECT_EQ(ownerInside.CountLocks, 0);
  EXPECT_EQ(pinInside.OwningThread, 0u);
  const TFlLock::TCounters after = FOwnerA.Lock->Instance()->Counters();
  EXPECT_EQ(after.OwningThread, GetCurrentThreadId());
  EXPECT_EQ(after.CountLocks, 2);
}

TEST_F(PinsTest, WaitingForThePinLockGivesUpTheOwnerLock) {
  auto pin = CreatePin<TRealSink>(&FOwnerB);
  locktest::TEvent pinHeld;
  std::atomic<bool> ownerTaken{false};
  Ref<IFlLockSection> owner = FOwnerB.Lock->WriteLock();
  std::thread other([&] {
    // Pin lock first, then the owner's: the reverse of the main thread.
    Ref<IFlLockSection> pinHold = pin->WriteLock();
    pinHeld.Set();
    Ref<IFlLockSection> ownerHold = FOwnerB.Lock->WriteLock();
    ownerTaken = true;
  });
  EXPECT_TRUE(pinHeld.Wait());
  Ref<IFlLockSection> section = pin->WriteLock();
  auto* write = dynamic_cast<TFlSimpleWriteLockSection*>(section.Get());
  ASSERT_NE(write, nullptr);
  EXPECT_TRUE(write->Locked());
  EXPECT_GT(write->SlaveReleaseTry(), 0);  // the owner lock was given up meanwhile
  EXPECT_TRUE(ownerTaken.load());
  section.Reset();
  other.join();
  const TFlLock::TCounters counters = FOwnerB.Lock->Instance()->Counters();
  EXPECT_EQ(counters.OwningThread, GetCurrentThreadId());  // given back
  EXPECT_EQ(counters.CountLocks, 1);
}

TEST_F(PinsTest, ReceiverMayUnlinkAnotherSinkDuringTheSend) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto a = CreatePin<TRealSink>(&FOwnerB);
  auto b = CreatePin<TRealSink>(&FOwnerB);
  ASSERT_TRUE(a->Connect(source.get()));
  ASSERT_TRUE(b->Connect(source.get()));
  b->Clear();
  a->OnData = [&](TRealSink& ASink, PDataTypeID t, IFlNotifyOperation* op, TFlNotifyState s) {
    ASink.Record(t, op, s);
    if (!s.Contains(nsNewLink)) b->Disconnect();
    return TFlNotifyResult();
  };
  Send(*source, 1);  // the copied list still serves B this time
  Send(*source, 2);
  EXPECT_EQ(a->Values(), (std::vector<double>{1, 2}));
  EXPECT_EQ(b->Values(), (std::vector<double>{1}));
  EXPECT_EQ(source->SinkCount(), 1);
}

TEST_F(PinsTest, ReceiverBeingDestroyedIsSkippedAndTheSendGoesOn) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  std::vector<TFlPinPtr<TRealSink>> sinks;
  for (int i = 0; i < 3; ++i) {
    sinks.push_back(CreatePin<TRealSink>(&FOwnerB));
    ASSERT_TRUE(sinks.back()->Connect(source.get()));
  }
  locktest::TEvent held, done;
  std::thread destroyer([&] {
    Ref<IFlDestroyLockSection> hold = sinks[1]->DestroyLockIntf()->DestroyLock();
    held.Set();
    EXPECT_TRUE(done.Wait());
  });
  EXPECT_TRUE(held.Wait());
  Send(*source, 7);
  done.Set();
  destroyer.join();
  EXPECT_EQ(sinks[0]->Values(), std::vector<double>{7});
  EXPECT_TRUE(sinks[1]->Values().empty());
  EXPECT_EQ(sinks[2]->Values(), std::vector<double>{7});
}

// ---------------------------------------------------------------------------
// Dependency and recursion

// A component whose source forwards what its sink receives.
struct TForwarder {
  explicit TForwarder(const std::string& AName, bool ADeclareDependency) : Owner(nullptr, AName) {
    Input = CreatePin<TRealSink>(&Owner);
    Output = MakeSource(&Owner, {FlStreamID::Real});
    if (ADeclareDependency) Output->FunctionSources().Add(Input.get());
    Input->OnData = [this](TRealSink& ASink, PDataTypeID t, IFlNotifyOperation* op, TFlNotifyState s) {
      if (s.Contains(nsNewLink)) return TFlNotifyResult();
      ASink.Record(t, op, s);
      return Output->Notify(op);
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

TEST_F(PinsTest, LoopThroughFunctionalDependencyIsRefused) {
  TForwarder a("A1", true), b("B1", true);
  EXPECT_TRUE(a.Output->DirectDependsOn(a.Input.get()));
  EXPECT_FALSE(a.Output->DependsOn(b.Input.get()));
  ASSERT_TRUE(b.Input->Connect(a.Output.get()));
  EXPECT_TRUE(b.Output->DependsOn(a.Input.get()));
  EXPECT_TRUE(b.Input->DependsOn(a.Output.get()));
  EXPECT_FALSE(a.Input->CanConnectTo(b.Output.get(), true));
  EXPECT_FALSE(a.Input->Connect(b.Output.get()));
  EXPECT_FALSE(b.Output->Connect(a.Input.get()));
  EXPECT_FALSE(a.Input->IsConnected());
  EXPECT_EQ(b.Output->SinkCount(), 0);
  // The chain of dependencies from b's output: b.Output, b.Input.
  std::vector<std::vector<TFlBasicPin*>> chains(1);
  b.Output->CollectDependencyChain(chains, 0);
  EXPECT_EQ(chains[0], (std::vector<TFlBasicPin*>{b.Output.get(), b.Input.get()}));
}

TEST_F(PinsTest, LoopMadeOtherwiseStopsOnThe201stNestedSend) {
  TForwarder a("A1", false), b("B1", false);
  ASSERT_TRUE(b.Input->Connect(a.Output.get()));
  ASSERT_TRUE(a.Input->Connect(b.Output.get()));
  try {
    Send(*a.Output, 1);
    FAIL() << "no dependency error";
  } catch (const EFlException& e) {
    EXPECT_STREQ(e.what(), "The pin depends on itself. Please protect with functional dependency.");
  }
  // a.Output was entered 201 times (the first send and 200 nested ones);
  // the next nested send through it raised.
  EXPECT_EQ(b.Input->Values().size(), 201u);
  EXPECT_EQ(a.Input->Values().size(), 201u);
  EXPECT_EQ(a.Output->InSending(), 0);  // restored by the cleanup
  EXPECT_EQ(b.Output->InSending(), 0);
  a.Input->Disconnect();
  b.Input->Clear();
  Send(*a.Output, 2);
  EXPECT_EQ(b.Input->Values(), std::vector<double>{2});
}

TEST_F(PinsTest, NestedNewLinkOperationsStopAfterTen) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  std::vector<TFlPinPtr<TRealSink>> sinks;
  int32_t newLinks = 0;
  // Each sink answers its new-link operation by linking the next sink.
  std::function<void()> linkNext = [&] {
    sinks.push_back(CreatePin<TRealSink>(&FOwnerB));
    sinks.back()->OnData = [&](TRealSink&, PDataTypeID, IFlNotifyOperation*, TFlNotifyState s) {
      if (s.Contains(nsNewLink)) {
        ++newLinks;
        linkNext();
      }
      return TFlNotifyResult();
    };
    sinks.back()->Connect(source.get());
  };
  sinks.reserve(20);
  try {
    linkNext();
    FAIL() << "no dependency error";
  } catch (const EFlException& e) {
    EXPECT_STREQ(e.what(), FlDependencyErrorText);
  }
  EXPECT_EQ(newLinks, 11);
  EXPECT_EQ(source->InSending(), 0);
  EXPECT_EQ(source->SinkCount(), 12);  // the links stay; only the operation stopped
  source->Disconnect();
}

// ---------------------------------------------------------------------------
// Upstream

// A sink that sends its own operations upstream with the types it lists.
TFlSubmit UpstreamSubmit() {
  return TFlSubmit{nullptr, [](void*, IFlStream* AHandler, PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                               TFlNotifyState AState) { return SendToDataStream(AHandler, ADataTypeID, AOperation, AState); }};
}

TEST_F(PinsTest, UpstreamNotifyReachesTheSourceAlsoThroughAConverter) {
  Ref<TRealOperation> op = TRealOperation::Create(5);
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  EXPECT_EQ(sink->Notify(op.Get()), TFlNotifyResult());  // unlinked
  sink->StreamType.AddType(FlStreamID::Real, UpstreamSubmit());
  ASSERT_TRUE(sink->Connect(source.get()));
  source->UpstreamAnswer = nrDataChanged;
  EXPECT_TRUE(sink->Notify(op.Get()).Contains(nrDataChanged));
  EXPECT_EQ(source->UpstreamCalls.load(), 1);
  EXPECT_EQ(source->LastUpstream.load(), 5);

  // Through a converter: its output pin passes the operation to its input
  // pin, which sends it on to the real source.
  auto floatSource = MakeSource(&FOwnerA, {FlStreamID::Float});
  auto viaConverter = CreatePin<TRealSink>(&FOwnerB);
  viaConverter->StreamType.AddType(FlStreamID::Float, UpstreamSubmit());
  ASSERT_TRUE(viaConverter->Connect(floatSource.get()));
  ASSERT_TRUE(viaConverter->FormatConverter());
  EXPECT_EQ(viaConverter->ConnectionSourcePin(), viaConverter->FormatConverter()->OutputPin());
  viaConverter->Notify(op.Get());
  EXPECT_EQ(floatSource->UpstreamCalls.load(), 1);
  EXPECT_EQ(floatSource->LastUpstream.load(), 5);
}

struct TDefaultDispatchCase {
  const char* Name;
  bool Listed;          // the source lists Real without a submit function
  bool RegisteredSend;  // Real has the data send function in the registry
  bool Delivered;
};

class DefaultDispatcher : public PinsTest, public ::testing::WithParamInterface<TDefaultDispatchCase> {};

TEST_P(DefaultDispatcher, UnassignedSubmitUsesTheRegisteredSendFunction) {
  const TDefaultDispatchCase& c = GetParam();
  auto source = MakeSource(&FOwnerA, {});
  source->StreamType.AddType(c.Listed ? FlStreamID::Real : FlStreamID::Float);
  EXPECT_EQ(source->GetSubmitFunction(FlStreamID::Real).Assigned(), c.Listed);
  EXPECT_FALSE(source->GetSubmitFunction(TGUID{}).Assigned());
  auto sink = CreatePin<TTestSink<IFlTestRealStream, IFlTestFloatStream>>(&FOwnerB);
  ASSERT_TRUE(sink->Connect(source.get()));
  if (c.RegisteredSend) RegisterStreamTypeSend(c.Listed ? FlStreamID::Real : FlStreamID::Float, &FlDataSendFunction);
  Send(*source, 3);
  RegisterStreamTypeSend(FlStreamID::Real, nullptr);
  RegisterStreamTypeSend(FlStreamID::Float, nullptr);
  EXPECT_EQ(sink->Values(), c.Delivered ? std::vector<double>{3} : std::vector<double>{});
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultDispatcher,
                         ::testing::Values(TDefaultDispatchCase{"WithSendFunction", true, true, true},
                                           TDefaultDispatchCase{"WithoutSendFunction", true, false, false},
                                           TDefaultDispatchCase{"OtherTypeWithSend", false, true, true}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

TEST_F(PinsTest, UpstreamNotifyDuringAStopOnTheOwnerReturnsEmpty) {
  auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
  auto sink = CreatePin<TRealSink>(&FOwnerB);
  sink->StreamType.AddType(FlStreamID::Real, UpstreamSubmit());
  ASSERT_TRUE(sink->Connect(source.get()));
  Ref<TRealOperation> op = TRealOperation::Create(1);
  locktest::TEvent stopped, done;
  std::thread stopper([&] {
    Ref<IFlLockSection> stop = FOwnerB.Lock->StopLock();
    stopped.Set();
    EXPECT_TRUE(done.Wait());
  });
  EXPECT_TRUE(stopped.Wait());
  EXPECT_EQ(sink->Notify(op.Get()), TFlNotifyResult());
  EXPECT_EQ(source->UpstreamCalls.load(), 0);
  done.Set();
  stopper.join();
  sink->Notify(op.Get());
  EXPECT_EQ(source->UpstreamCalls.load(), 1);
}

// A source that records where it would leave a placeholder.
class TPlaceholderSource : public TTestSource {
 public:
  using TTestSource::TTestSource;
  void LeavePlaceholderFor(TFlBasicPin* APartner) override { Placeholders.push_back(APartner); }
  std::vector<TFlBasicPin*> Placeholders;
};

// A component of a form that owns its sink pin.
class TSinkComponent : public TTestComponent {
 public:
  using TTestComponent::TTestComponent;
  TFlPinPtr<TRealSink> Input = CreatePin<TRealSink>(this);
};

TEST_F(PinsTest, DesignTimeSinkGoingWithItsFormAsksTheSourceForAPlaceholder) {
  FOwnerA.SetDesigning(true);
  auto source = CreatePin<TPlaceholderSource>(&FOwnerA, std::initializer_list<TGUID>{FlStreamID::Real}, 0);
  TFlBasicPin* sink = nullptr;
  {
    auto* form = new TTestForm(nullptr, "Form1");
    auto* component = CreateComponent<TSinkComponent>(form, "Display");
    form->SetDesigning(true);
    sink = component->Input.get();
    ASSERT_TRUE(component->Input->Connect(source.get()));
    component->Input->Disconnect();  // an ordinary unlink leaves none
    EXPECT_TRUE(source->Placeholders.empty());
    ASSERT_TRUE(component->Input->Connect(source.get()));
    delete form;
  }
  EXPECT_EQ(source->Placeholders, std::vector<TFlBasicPin*>{sink});
  EXPECT_EQ(source->SinkCount(), 0);
  FOwnerA.SetDesigning(false);
}

// ---------------------------------------------------------------------------
// Registries and events

struct TRecordingListener : TInterfacedObject, IFlPinEventListener {
  TRecordingListener(std::vector<std::string>& ALog, std::string AName, bool AThrow)
      : Log(ALog), Name(std::move(AName)), Throw(AThrow) {}
  void Note(const char* AEvent) {
    Log.push_back(Name + ":" + AEvent);
    if (Throw) throw Exception("listener failed");
  }
  void PinCreated(TFlBasicPin*) override { Note("created"); }
  void PinDestroying(TFlBasicPin*, bool) override { Note("destroying"); }
  void PinChanged(TFlBasicPin*) override { Note("changed"); }
  void PinConnected(TFlBasicPin*, TFlPinObject*) override { Note("connected"); }
  void PinDisconnecting(TFlBasicPin*, TFlPinObject*) override { Note("disconnecting"); }
  void DispatcherCreated(TFlPinObject*) override {}
  void DispatcherDestroying(TFlPinObject*) override {}
  void DispatcherChanged(TFlPinObject*) override {}
  void PinListCreated(TFlObject*) override {}
  void PinListDestroying(TFlObject*) override {}
  void PinListChanged(TFlObject*) override {}
  void PinListPinAdded(TFlObject*, TFlBasicPin*, int32_t) override {}
  void PinListPinRemoved(TFlObject*, TFlBasicPin*, int32_t) override {}

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override {
    if (void* p = InterfaceOf<IFlPinEventListener>(this, AIID)) return p;
    return TInterfacedObject::FindInterface(AIID);
  }

 public:
  std::vector<std::string>& Log;
  std::string Name;
  bool Throw;
};

TEST_F(PinsTest, EventsGoForwardForCreatedAndConnectedElseBackwardAndErrorsAreSwallowed) {
  std::vector<std::string> log;
  Ref<IFlPinEventListener> first(new TRecordingListener(log, "1", true));
  Ref<IFlPinEventListener> second(new TRecordingListener(log, "2", false));
  FlAddPinEventListener(first);
  FlAddPinEventListener(second);
  {
    auto source = MakeSource(&FOwnerA, {FlStreamID::Real});
    EXPECT_EQ(log, (std::vector<std::string>{"1:created", "2:created"}));
    EXPECT_TRUE(FlIsRegisteredPin(source.get()));
    auto sink = CreatePin<TRealSink>(&FOwnerB);
    log.clear();
    ASSERT_TRUE(sink->Connect(source.get()));
    auto has = [&](const std::string& s) { return std::find(log.begin(), log.end(), s) != log.end(); };
    auto before = [&](const std::string& x, const std::string& y) {
      return std::find(log.begin(), log.end(), x) < std::find(log.begin(), log.end(), y);
    };
    EXPECT_TRUE(before("1:connected", "2:connected"));
    EXPECT_TRUE(before("2:changed", "1:changed"));
    log.clear();
    sink->Disconnect();
    EXPECT_TRUE(has("1:disconnecting") && before("2:disconnecting", "1:disconnecting"));
    log.clear();
    TFlBasicPin* raw = source.get();
    source.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"2:destroying", "1:destroying"}));
    EXPECT_FALSE(FlIsRegisteredPin(raw));
  }
  FlRemovePinEventListener(first);
  FlRemovePinEventListener(second);
  log.clear();
  auto quiet = CreatePin<TRealSink>(&FOwnerB);
  EXPECT_TRUE(log.empty());
}

TEST_F(PinsTest, EditorPointerIsClearedWhenThePinGoes) {
  int32_t editor = 1;
  auto pin = CreatePin<TRealSink>(&FOwnerB);
  pin->CurrentEditorPtr = &editor;
  pin.reset();
  EXPECT_EQ(editor, 0);
}

}  // namespace
