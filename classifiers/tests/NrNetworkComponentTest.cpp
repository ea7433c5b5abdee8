// The network as a component: its stored layout (the limits, the background
// settings in "Background._Floats", OnResult bound by name) read back equal,
// Assign of one network to another, and the locks it shares with its
// background settings and neurons.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "classifiers/NrRadialBasisFunctionNetwork.h"
#include "component/tests/StreamBytes.h"
#include "pins/tests/LockTestSupport.h"

namespace {


// The window of the stored layout, as far as the network needs it: it owns
// the network and publishes the result handler.
class TLayoutForm : public TComponent {
 public:
  explicit TLayoutForm(TComponent* AOwner) : TComponent(AOwner) {}
  static const TClassInfo& StaticClass() {
    static const TClassInfo info =
        TClassBuilder<TLayoutForm>("TLayoutForm", &TComponent::StaticClass())
            .Method<TNrRadialBasisFunctionResultEvent>("NrRadialBasisFunctionNetwork1Result",
                                                       &TLayoutForm::NrRadialBasisFunctionNetwork1Result)
            .Creates()
            .Build();
    return info;
  }
  const TClassInfo& ClassType() const override { return StaticClass(); }
  void NrRadialBasisFunctionNetwork1Result(TObject* ASender, const Ref<IBfRealBuffer>&,
                                           TNrRadialBasisFunctionResult* AResult) {
    Senders.push_back(ASender);
    Counts.push_back(AResult->Count());
  }
  std::vector<TObject*> Senders;
  std::vector<int32_t> Counts;
};


TNrRadialBasisFunctionResultEvent Handler(TLayoutForm& AForm) {
  return std::any_cast<TNrRadialBasisFunctionResultEvent>(
      AForm.ClassType().FindMethod("NrRadialBasisFunctionNetwork1Result")->Bind(&AForm));
}

class NetworkComponent : public testing::Test {
 protected:
  void SetUp() override {
    RegisterClass(TLayoutForm::StaticClass());
    RegisterClass(TNrRadialBasisFunctionNetwork::StaticClass());
    FLiveBefore = TInterfacedObject::LiveInstances();
  }
  void TearDown() override { EXPECT_EQ(TInterfacedObject::LiveInstances(), FLiveBefore) << "locks or neurons leaked"; }

  // The application's network: limits 2 and 300, background disabled with
  // category 0, OnResult bound to the window's handler.
  static std::unique_ptr<TLayoutForm> MakeLayout() {
    auto form = std::unique_ptr<TLayoutForm>(CreateComponent<TLayoutForm>(nullptr));
    form->SetName("Form1");
    auto* net = CreateComponent<TNrRadialBasisFunctionNetwork>(form.get());
    net->SetName("NrRadialBasisFunctionNetwork1");
    net->SetMinInfluenceField(2);
    net->SetMaxInfluenceField(300);
    net->GetBackground()->SetCategory(0);
    net->SetOnResult(Handler(*form));
    net->SetDesignInfo(96, 40);
    return form;
  }

  int64_t FLiveBefore = 0;
};

TEST_F(NetworkComponent, StoredLayoutHoldsTheApplicationsSettings) {
  std::unique_ptr<TLayoutForm> form = MakeLayout();
  TMemoryStream s;
  WriteComponentToStream(s, form.get());
  const Bytes expected = Cat({
      {'T', 'P', 'F', '0'}, Str("TLayoutForm"), Str("Form1"), {0x00},
      Str("TNrRadialBasisFunctionNetwork"), Str("NrRadialBasisFunctionNetwork1"),
      Str("MinInfluenceField"), {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40},
      Str("MaxInfluenceField"), {0x05, 0, 0, 0, 0, 0, 0, 0, 0x96, 0x07, 0x40},
      // Enabled is at its default and Category is 0: only the list of zero reals.
      Str("Background._Floats"), {0x01, 0x01, 0x07}, Str("Category"), {0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
      {0x00, 0x00},
      Str("OnResult"), {0x07}, Str("NrRadialBasisFunctionNetwork1Result"),
      Str("Left"), {0x02, 96}, Str("Top"), {0x02, 40},
      {0x00},  // end of the network's properties
      {0x00},  // it owns no components
      {0x00},  // end of the form's components
  });
  EXPECT_EQ(s.Data(), expected);
}

TEST_F(NetworkComponent, StoredNetworkReadsBackEqual) {
  std::unique_ptr<TLayoutForm> form = MakeLayout();
  TMemoryStream s;
  WriteComponentToStream(s, form.get());
  s.SetPosition(0);
  std::unique_ptr<TComponent> root(ReadComponentFromStream(s));
  auto* copy = dynamic_cast<TLayoutForm*>(root.get());
  ASSERT_NE(copy, nullptr);
  auto* net = dynamic_cast<TNrRadialBasisFunctionNetwork*>(copy->FindComponent("NrRadialBasisFunctionNetwork1"));
  ASSERT_NE(net, nullptr) << "created by its class name";
  EXPECT_EQ(net->GetMinInfluenceField(), 2);
  EXPECT_EQ(net->GetMaxInfluenceField(), 300);
  EXPECT_FALSE(net->GetBackground()->GetEnabled());
  EXPECT_EQ(net->GetBackground()->GetCategory(), 0);
  EXPECT_EQ(net->GetBackground()->GetLock()->Instance(), net->GetLock()->Instance());
  EXPECT_EQ(net->GetDesignLeft(), 96);
  ASSERT_TRUE(net->GetOnResult());
  net->Predict(TBfRealBuffer::CreateSize(4));
  ASSERT_EQ(copy->Senders.size(), 1u) << "OnResult runs the new window's handler";
  EXPECT_EQ(copy->Senders[0], net);
  EXPECT_TRUE(form->Senders.empty());
  // Stored again, it gives the same bytes.
  TMemoryStream again;
  WriteComponentToStream(again, copy);
  EXPECT_EQ(again.Data(), s.Data());
}

TEST_F(NetworkComponent, ZeroCategoryInTheFloatsListOverwritesAnEarlierValue) {
  std::unique_ptr<TLayoutForm> form = MakeLayout();
  TMemoryStream s;
  WriteComponentToStream(s, form.get());
  s.SetPosition(0);
  TLayoutForm target(nullptr);
  auto* net = CreateComponent<TNrRadialBasisFunctionNetwork>(&target);
  net->SetName("NrRadialBasisFunctionNetwork1");
  net->GetBackground()->SetCategory(5);
  ReadComponentFromStream(s, &target);
  EXPECT_EQ(target.ComponentCount(), 1) << "the existing network was read into";
  EXPECT_EQ(net->GetBackground()->GetCategory(), 0);
  EXPECT_EQ(net->GetMaxInfluenceField(), 300);
}

// A NaN limit would make every comparison with a distance false: the setters
// refuse it, and so does the reader, with the property and its offset.
TEST_F(NetworkComponent, NaNInfluenceLimitsAreRefused) {
  std::unique_ptr<TNrRadialBasisFunctionNetwork> owned(CreateComponent<TNrRadialBasisFunctionNetwork>(nullptr));
  TNrRadialBasisFunctionNetwork& net = *owned;
  for (const char* limit : {"MinInfluenceField", "MaxInfluenceField"}) {
    const bool isMin = std::string(limit) == "MinInfluenceField";
    try {
      if (isMin)
        net.SetMinInfluenceField(std::numeric_limits<Real>::quiet_NaN());
      else
        net.SetMaxInfluenceField(std::numeric_limits<Real>::quiet_NaN());
      ADD_FAILURE() << limit << " took NaN";
    } catch (const ERangeError& e) {
      EXPECT_EQ(std::string(e.what()), std::string(limit) + " must be a number, not NaN");
    }
    const Bytes stored = Cat({{'T', 'P', 'F', '0'}, Str("TNrRadialBasisFunctionNetwork"), Str("Net"), Str(limit),
                              {0x05, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}, {0x00, 0x00}});
    TMemoryStream in(stored);
    try {
      ReadComponentFromStream(in, owned.get());
      ADD_FAILURE() << "a stored NaN " << limit << " was read";
    } catch (const EReadError& e) {
      const std::string m = e.what();
      EXPECT_EQ(m.rfind("Invalid property value (" + std::string(limit) + " must be a number, not NaN", 0), 0u) << m;
      EXPECT_NE(m.find("at offset 56"), std::string::npos) << m;
    }
  }
  EXPECT_EQ(net.GetMinInfluenceField(), 2);
  EXPECT_EQ(net.GetMaxInfluenceField(), 4000);
}

TEST_F(NetworkComponent, AssignCopiesSettingsAndHandlerButNotNameOrNeurons) {
  TLayoutForm form(nullptr);
  auto* a = CreateComponent<TNrRadialBasisFunctionNetwork>(&form);
  auto* b = CreateComponent<TNrRadialBasisFunctionNetwork>(&form);
  a->SetName("A");
  b->SetName("B");
  a->SetMinInfluenceField(3);
  a->SetMaxInfluenceField(250);
  a->GetBackground()->SetEnabled(true);
  a->GetBackground()->SetCategory(7);
  a->SetOnResult(Handler(form));
  a->Train(TBfRealBuffer::CreateSize(3), 1);
  TNrRadialBasisFunctionBackground* bBackground = b->GetBackground();
  b->Assign(a);
  EXPECT_EQ(b->GetName(), "B");
  EXPECT_EQ(b->GetMinInfluenceField(), 3);
  EXPECT_EQ(b->GetMaxInfluenceField(), 250);
  EXPECT_EQ(b->GetBackground(), bBackground) << "the settings are copied into b's own object";
  EXPECT_TRUE(b->GetBackground()->GetEnabled());
  EXPECT_EQ(b->GetBackground()->GetCategory(), 7);
  EXPECT_EQ(b->GetBackground()->GetLock()->Instance(), b->GetLock()->Instance());
  EXPECT_EQ(b->GetNeurons()->Count(), 0);
  ASSERT_TRUE(b->GetOnResult());
  b->Predict(TBfRealBuffer::CreateSize(3));
  ASSERT_EQ(form.Senders.size(), 1u);
  EXPECT_EQ(form.Senders[0], b);
}

class TObservedNetwork : public TNrRadialBasisFunctionNetwork {
 public:
  using TNrRadialBasisFunctionNetwork::TNrRadialBasisFunctionNetwork;
  void PropertiesChanged() override { ++Changes; }
  int Changes = 0;
};

TEST_F(NetworkComponent, PropertiesGoThroughTheSharedLock) {
  std::unique_ptr<TObservedNetwork> net(CreateComponent<TObservedNetwork>(nullptr));
  net->SetMaxInfluenceField(300);
  net->SetMaxInfluenceField(300);
  net->SetMinInfluenceField(2);  // already 2
  EXPECT_EQ(net->Changes, 1);
  net->GetBackground()->SetCategory(4);
  EXPECT_EQ(net->Changes, 1) << "the background hears of its own changes";
  net->Train(TBfRealBuffer::CreateSize(2), 1);
  ASSERT_EQ(net->GetNeurons()->Count(), 1);
  Ref<TNrRadialBasisFunctionNeuron> neuron = net->GetNeurons()->Items(0);
  EXPECT_EQ(neuron->GetLock().Get(), net->GetLock().Get()) << "neurons hold the network's own lock";
  EXPECT_EQ(neuron->GetInfluenceField(), 300);
}

TEST_F(NetworkComponent, OnResultIsReplacedUnderTheWriteSection) {
  std::unique_ptr<TNrRadialBasisFunctionNetwork> net(CreateComponent<TNrRadialBasisFunctionNetwork>(nullptr));
  locktest::TTraceScope trace;
  std::atomic<bool> replaced{false};
  {
    Ref<IFlLockSection> held = net->GetLock()->WriteLock();
    locktest::TWorker writer([&] {
      net->SetOnResult(TNrRadialBasisFunctionResultEvent(
          [](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult*) {}));
      replaced = true;
    });
    // The writer has asked for the write section while this thread holds it:
    // from here on it can only be waiting.
    EXPECT_TRUE(trace->WaitFor(net->GetLock()->Instance(), loBeginWriteCreate, writer.Id()));
    EXPECT_FALSE(replaced.load()) << "replaced while another thread held the write section";
    held.Reset();
    writer.Join();
  }
  EXPECT_TRUE(replaced.load());
  EXPECT_TRUE(net->GetOnResult());
}

}  // namespace
