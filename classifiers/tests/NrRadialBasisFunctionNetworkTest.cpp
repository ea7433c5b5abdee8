#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "classifiers/NrRadialBasisFunctionNetwork.h"

namespace {

Ref<IBfRealBuffer> Vec(std::vector<Real> AValues) {
  return TBfRealBuffer::CreateData(AValues.data(), static_cast<uint32_t>(AValues.size()));
}

std::vector<Real> Items(const Ref<IBfRealBuffer>& ABuffer) {
  std::vector<Real> out;
  for (uint32_t i = 0; i < ABuffer->GetSize(); ++i) out.push_back(ABuffer->GetItem(static_cast<int32_t>(i)));
  return out;
}

// What one Predict handed to OnResult, copied out during the call.
struct TSeen {
  Real Category;
  Real Distance;
  TNrRadialBasisFunctionNeuron* Neuron;
};

// A network whose OnResult records every call, and checks that nothing leaks.
class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLiveBefore = TInterfacedObject::LiveInstances();
    FNet = std::make_unique<TNrRadialBasisFunctionNetwork>();
    FNet->SetOnResult([this](TObject* ASender, const Ref<IBfRealBuffer>& AFeatures,
                             TNrRadialBasisFunctionResult* AResult) {
      EXPECT_EQ(ASender, FNet.get());
      FLastFeatures = AFeatures.Get();
      ++FCalls;
      FSeen.clear();
      for (int32_t i = 0; i < AResult->Count(); ++i)
        FSeen.push_back({AResult->Items(i)->GetNeuron()->GetCategory(), AResult->Items(i)->GetDistance(),
                         AResult->Items(i)->GetNeuron()});
    });
  }
  void TearDown() override {
    FNet.reset();
    EXPECT_EQ(TInterfacedObject::LiveInstances(), FLiveBefore) << "neurons or buffers leaked";
  }

  std::vector<TSeen> Predict(std::vector<Real> AValues) {
    const Ref<IBfRealBuffer> v = Vec(std::move(AValues));
    const int before = FCalls;
    FNet->Predict(v);
    EXPECT_EQ(FCalls, before + 1) << "OnResult runs exactly once per Predict";
    EXPECT_EQ(FLastFeatures, v.Get());
    return FSeen;
  }
  TNrRadialBasisFunctionNeurons& Neurons() { return *FNet->GetNeurons(); }
  Ref<TNrRadialBasisFunctionNeuron> Neuron(int32_t AIndex) { return Neurons().Items(AIndex); }

  int64_t FLiveBefore = 0;
  std::unique_ptr<TNrRadialBasisFunctionNetwork> FNet;
  int FCalls = 0;
  IBfRealBuffer* FLastFeatures = nullptr;
  std::vector<TSeen> FSeen;
};

TEST_F(NetworkTest, StartsEmptyWithTheConstructorsLimits) {
  EXPECT_EQ(FNet->GetMaxInfluenceField(), 4000);
  EXPECT_EQ(FNet->GetMinInfluenceField(), 2);
  EXPECT_FALSE(FNet->GetBackground()->GetEnabled());
  EXPECT_EQ(FNet->GetBackground()->GetCategory(), 0);
  EXPECT_EQ(Neurons().Count(), 0);
  TNrRadialBasisFunctionNetwork plain;
  EXPECT_FALSE(plain.GetOnResult());
}

TEST_F(NetworkTest, EmptyNetworkTrainsOneNeuronAndPredictsNothing) {
  EXPECT_TRUE(Predict({1, 2}).empty());
  FNet->Train(Vec({1, 2}), 7);
  ASSERT_EQ(Neurons().Count(), 1);
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 4000);
  EXPECT_EQ(Neuron(0)->GetCategory(), 7);
  EXPECT_EQ(Neuron(0)->GetLastDistance(), 0) << "0 after creation";
  EXPECT_EQ(Items(Neuron(0)->GetValues()), (std::vector<Real>{1, 2}));
}

// The driver refills one buffer in place through Write: the neurons made from
// it must keep the values they were trained with.
TEST_F(NetworkTest, NeuronKeepsItsValuesWhenTheTrainingBufferIsOverwritten) {
  const Ref<IBfRealBuffer> features = Vec({1, 2, 3});
  FNet->Train(features, 1);
  Real* p = features->Write();
  p[0] = 100;
  p[1] = 200;
  p[2] = 300;
  FNet->Train(features, 2);
  ASSERT_EQ(Neurons().Count(), 2);
  EXPECT_EQ(Items(Neuron(0)->GetValues()), (std::vector<Real>{1, 2, 3}));
  EXPECT_EQ(Items(Neuron(1)->GetValues()), (std::vector<Real>{100, 200, 300}));
}

TEST_F(NetworkTest, SameVectorAndCategoryTwiceMakesOneNeuron) {
  FNet->Train(Vec({0.5, 0.25}), 3);
  FNet->Train(Vec({0.5, 0.25}), 3);
  ASSERT_EQ(Neurons().Count(), 1);
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 4000);
  EXPECT_EQ(Neuron(0)->GetLastDistance(), 0);
}

TEST_F(NetworkTest, SameVectorWithASecondCategoryShrinksTheFirstToZero) {
  FNet->Train(Vec({0.5, 0.25}), 3);
  FNet->Train(Vec({0.5, 0.25}), 4);
  ASSERT_EQ(Neurons().Count(), 2);
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 0);
  EXPECT_EQ(Neuron(1)->GetInfluenceField(), 2) << "MinInfluenceField";
  EXPECT_EQ(Neuron(1)->GetCategory(), 4);
  const std::vector<TSeen> seen = Predict({0.5, 0.25});
  ASSERT_EQ(seen.size(), 1u) << "0 is not less than 0: the first no longer covers";
  EXPECT_EQ(seen[0].Category, 4);
  EXPECT_EQ(seen[0].Distance, 0);
}

// A neuron covers a vector when the distance is strictly less than its field.
TEST_F(NetworkTest, CoverageIsStrictlyInsideTheField) {
  FNet->SetMaxInfluenceField(3);
  FNet->Train(Vec({0, 0}), 1);
  const struct {
    std::vector<Real> Vector;
    bool Covered;
  } rows[] = {{{1, 1.75}, true}, {{1, 2}, false}, {{-2, -1}, false}, {{0, 2.9999999999999996}, true}, {{4, 0}, false}};
  for (const auto& r : rows) {
    const std::vector<TSeen> seen = Predict(r.Vector);
    EXPECT_EQ(seen.size(), r.Covered ? 1u : 0u) << r.Vector[0] << ", " << r.Vector[1];
    EXPECT_EQ(Neuron(0)->GetLastDistance(), std::abs(r.Vector[0]) + std::abs(r.Vector[1]))
        << "every comparison records its distance";
  }
}

TEST_F(NetworkTest, PredictKeepsEveryNeuronAtTheSmallestDistanceInNeuronOrder) {
  FNet->SetMaxInfluenceField(10);
  FNet->Train(Vec({0}), 1);
  FNet->Train(Vec({30}), 2);
  FNet->Train(Vec({20}), 3);  // 10 from the second: on its border, not covered
  ASSERT_EQ(Neurons().Count(), 3);
  const struct {
    Real Query;
    std::vector<Real> Categories;  // of the result entries, in order
    Real Distance;
  } rows[] = {
      {24, {3}, 4},     // the nearer third neuron replaces the second
      {25, {2, 3}, 5},  // a tie: both, in neuron order
      {5, {1}, 5},
      {15, {3}, 5},
      {-10, {}, 0},
  };
  for (const auto& r : rows) {
    const std::vector<TSeen> seen = Predict({r.Query});
    ASSERT_EQ(seen.size(), r.Categories.size()) << "query " << r.Query;
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].Category, r.Categories[i]) << "query " << r.Query << " entry " << i;
      EXPECT_EQ(seen[i].Distance, r.Distance);
    }
  }
}

TEST_F(NetworkTest, TieAfterAConflictListsTheOlderNeuronFirst) {
  FNet->SetMaxInfluenceField(10);
  FNet->Train(Vec({60, 60}), 5);
  FNet->Train(Vec({62, 60}), 6);  // conflict at 2: the first shrinks to 2, the new one gets 2
  ASSERT_EQ(Neurons().Count(), 2);
  const std::vector<TSeen> seen = Predict({61, 60});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Category, 5);
  EXPECT_EQ(seen[1].Category, 6);
  EXPECT_EQ(seen[0].Neuron, Neuron(0).Get());
}

// With the application's limits the new neuron after a conflict gets
// max(MinInfluenceField, smallest conflicting distance).
struct TConflictRow {
  Real Offset;        // distance of the sample from the first neuron
  Real ExpectedField;  // field of the neuron made for the sample
};
class NetworkConflictTest : public ::testing::TestWithParam<TConflictRow> {};

TEST_P(NetworkConflictTest, NewNeuronFieldIsHeldAtTheLowerLimit) {
  const TConflictRow row = GetParam();
  TNrRadialBasisFunctionNetwork net;
  net.SetMaxInfluenceField(300);
  net.SetMinInfluenceField(2);
  net.Train(Vec({0, 0}), 1);
  net.Train(Vec({row.Offset, 0}), 2);
  ASSERT_EQ(net.GetNeurons()->Count(), 2);
  EXPECT_EQ(net.GetNeurons()->Items(0)->GetInfluenceField(), row.Offset) << "shrunk onto the sample";
  EXPECT_EQ(net.GetNeurons()->Items(1)->GetInfluenceField(), row.ExpectedField);
}

INSTANTIATE_TEST_SUITE_P(Limits, NetworkConflictTest,
                         ::testing::Values(TConflictRow{1.5, 2}, TConflictRow{40, 40}, TConflictRow{2, 2},
                                           TConflictRow{0, 2}, TConflictRow{299.5, 299.5}));

TEST_F(NetworkTest, EveryConflictingNeuronShrinksAndTheSmallestDistanceBoundsTheNewOne) {
  FNet->SetMinInfluenceField(0.5);
  FNet->Train(Vec({0}), 1);
  FNet->Train(Vec({10}), 2);  // conflict with neuron 0 at 10
  // Fields: neuron 0 -> 10, neuron 1 (cat 2) -> 10.
  FNet->Train(Vec({7}), 3);  // covered by 0 (distance 7) and 1 (distance 3)
  ASSERT_EQ(Neurons().Count(), 3);
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 7);
  EXPECT_EQ(Neuron(1)->GetInfluenceField(), 3);
  EXPECT_EQ(Neuron(2)->GetInfluenceField(), 3);
  EXPECT_EQ(Neuron(2)->GetCategory(), 3);
}

TEST_F(NetworkTest, ConflictAddsANeuronEvenWhenTheOwnCategoryCoversToo) {
  FNet->Train(Vec({0}), 1);
  FNet->Train(Vec({4}), 2);     // neuron 0 -> field 4, neuron 1 field 4 (cat 2)
  FNet->Train(Vec({1}), 1);     // covered by 0 (own, d 1) and 1 (other, d 3)
  ASSERT_EQ(Neurons().Count(), 3);
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 4) << "own category unchanged";
  EXPECT_EQ(Neuron(1)->GetInfluenceField(), 3);
  EXPECT_EQ(Neuron(2)->GetInfluenceField(), 3);
  EXPECT_EQ(Neuron(2)->GetCategory(), 1);
}

TEST_F(NetworkTest, BackgroundCategoryNeverBecomesANeuronButStillShrinks) {
  FNet->GetBackground()->SetEnabled(true);
  FNet->GetBackground()->SetCategory(0);
  FNet->Train(Vec({0, 0}), 0);
  EXPECT_EQ(Neurons().Count(), 0) << "excluded on an empty network";
  FNet->Train(Vec({0, 0}), 5);
  FNet->Train(Vec({3, 0}), 0);
  ASSERT_EQ(Neurons().Count(), 1) << "excluded after a conflict";
  EXPECT_EQ(Neuron(0)->GetInfluenceField(), 3) << "the conflict still shrank the neuron";
  // A disabled background excludes nothing.
  FNet->GetBackground()->SetEnabled(false);
  FNet->Train(Vec({100, 0}), 0);
  EXPECT_EQ(Neurons().Count(), 2);
  // SetBackground copies settings into the owned object.
  TNrRadialBasisFunctionBackground other;
  other.SetEnabled(true);
  other.SetCategory(7);
  FNet->SetBackground(other);
  EXPECT_NE(FNet->GetBackground(), &other);
  EXPECT_TRUE(FNet->GetBackground()->Excludes(7));
  EXPECT_FALSE(FNet->GetBackground()->Excludes(0));
}

TEST_F(NetworkTest, VectorsOfDifferentSizesAreComparedOverTheCommonItems) {
  FNet->Train(Vec({1, 1}), 1);
  std::vector<TSeen> seen = Predict({1, 2, 500, 500});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Distance, 1) << "items beyond the prototype's length are ignored";
  seen = Predict({3});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Distance, 2);
  seen = Predict({});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Distance, 0);
}

TEST_F(NetworkTest, DistanceIsSummedInItemOrderRoundingEveryStep) {
  // 1E16 + 1 rounds back to 1E16 (the spacing of doubles there is 2), so in
  // item order the two ones vanish; summed from the end they would not.
  TNrRadialBasisFunctionNetwork net;
  net.SetMaxInfluenceField(std::numeric_limits<Real>::infinity());
  net.Train(Vec({0, 0, 0}), 1);
  Real seenDistance = -1;
  net.SetOnResult([&](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult* AResult) {
    ASSERT_EQ(AResult->Count(), 1);
    seenDistance = AResult->Items(0)->GetDistance();
  });
  net.Predict(Vec({1e16, 1, -1}));
  EXPECT_EQ(seenDistance, 1e16);
  net.Predict(Vec({1, -1, 1e16}));
  EXPECT_EQ(seenDistance, 1e16 + 2);
}

TEST_F(NetworkTest, CoveringNeuronIsFoundAtAnyFiniteDistance) {
  // A neuron whose field is unbounded covers a vector at 1.75E308; the search
  // for the smallest distance must not start below it.
  FNet->SetMaxInfluenceField(std::numeric_limits<Real>::infinity());
  FNet->Train(Vec({0}), 9);
  const std::vector<TSeen> seen = Predict({1.75e308});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Category, 9);
}

TEST_F(NetworkTest, ResultKeepsItsNeuronsAliveWhenTheNetworkIsClearedDuringTheCallback) {
  FNet->Train(Vec({1}), 4);
  Real category = 0;
  FNet->SetOnResult([&](TObject*, const Ref<IBfRealBuffer>&, TNrRadialBasisFunctionResult* AResult) {
    FNet->Clear();
    EXPECT_EQ(FNet->GetNeurons()->Count(), 0);
    category = AResult->Items(0)->GetNeuron()->GetCategory();
  });
  FNet->Predict(Vec({1}));
  EXPECT_EQ(category, 4);
}

TEST_F(NetworkTest, PredictWithoutOnResultStillComparesEveryNeuron) {
  FNet->Train(Vec({1}), 4);
  FNet->SetOnResult({});
  FNet->Predict(Vec({3}));
  EXPECT_EQ(Neuron(0)->GetLastDistance(), 2);
}

TEST_F(NetworkTest, ClearRemovesAllNeurons) {
  FNet->Train(Vec({1}), 1);
  FNet->Train(Vec({100000}), 2);
  ASSERT_EQ(Neurons().Count(), 2);
  FNet->Clear();
  EXPECT_EQ(Neurons().Count(), 0);
  EXPECT_TRUE(Predict({1}).empty());
}

TEST_F(NetworkTest, BadArgumentsAreRefused) {
  EXPECT_THROW(FNet->Train(Ref<IBfRealBuffer>(), 1), ENrClassifierError);
  EXPECT_THROW(FNet->Predict(Ref<IBfRealBuffer>()), ENrClassifierError);
  EXPECT_THROW(TNrRadialBasisFunctionNeuron::Create(Ref<IBfRealBuffer>(), 1, 1), ENrClassifierError);
  FNet->Train(Vec({1}), 1);
  EXPECT_THROW(Neurons().Items(1), ERangeError);
  EXPECT_THROW(Neurons().Items(-1), ERangeError);
  EXPECT_EQ(FCalls, 0);
}

TEST_F(NetworkTest, NeuronAnswersItsInterfaceAndReturnsItself) {
  FNet->Train(Vec({1}), 1);
  const Ref<TNrRadialBasisFunctionNeuron> n = Neuron(0);
  const Ref<INrRadialBasisFunctionNeuron> i = Supports<INrRadialBasisFunctionNeuron>(n);
  ASSERT_TRUE(i);
  EXPECT_EQ(i->GetInstance(), n.Get());
  EXPECT_TRUE(Supports<IInterface>(n));
}

TEST(NeuronContainerTest, SingleAccessesFromSeveralThreadsAreSafe) {
  TNrRadialBasisFunctionNeurons neurons;
  const Ref<IBfRealBuffer> v = Vec({1, 2});
  constexpr int cThreads = 4, cEach = 200;
  std::vector<Ref<TNrRadialBasisFunctionNeuron>> made;
  for (int i = 0; i < cThreads * cEach; ++i) made.push_back(TNrRadialBasisFunctionNeuron::Create(v, i, 1));
  std::vector<std::thread> threads;
  for (int t = 0; t < cThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < cEach; ++i) {
        neurons.Add(Ref<INrRadialBasisFunctionNeuron>(made[size_t(t * cEach + i)]));
        const int32_t count = neurons.Count();
        EXPECT_GE(neurons.Items(count - 1)->GetInfluenceField(), 1);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(neurons.Count(), cThreads * cEach);
  neurons.Clear();
  EXPECT_EQ(neurons.Count(), 0);
}

}  // namespace
