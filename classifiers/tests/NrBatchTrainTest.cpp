// The network's batch Train: the same neurons, in the same order and with the
// same fields, as the single-sample Train of each sample in turn; the shorter
// of the two inputs; AUpdate false starting from an empty network.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "buffers/BfMatrixBuffer.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"
#include "platform/Graphics.h"

namespace {

Ref<IBfRealBuffer> Vec(const std::vector<Real>& AValues) {
  return TBfRealBuffer::CreateData(AValues.data(), static_cast<uint32_t>(AValues.size()));
}

// The features of the face program: the 1024 bytes at the start of the
// pixel storage of a 32 x 32 picture, each divided by 256.
Ref<IBfRealBuffer> FaceFeatures(const std::string& AFileName) {
  TBitmap picture;
  picture.LoadFromFile(AFileName);
  EXPECT_EQ(picture.Width(), 32) << AFileName;
  EXPECT_EQ(picture.Height(), 32) << AFileName;
  const uint8_t* bytes = picture.ScanLine(picture.Height() - 1);
  Ref<TBfRealBuffer> r = TBfRealBuffer::CreateSize(1024);
  Real* items = r->Write();
  const size_t available = picture.PixelDataSize();
  for (uint32_t k = 0; k < 1024; ++k) items[k] = k < available ? bytes[k] / 256.0 : 0.0;
  return r;
}

void Configure(TNrRadialBasisFunctionNetwork& ANet) {
  ANet.SetMinInfluenceField(2);
  ANet.SetMaxInfluenceField(300);
}

// Same count, and neuron by neuron the same category, field and values.
void ExpectSameNeurons(const TNrRadialBasisFunctionNetwork& A, const TNrRadialBasisFunctionNetwork& B) {
  ASSERT_EQ(A.GetNeurons()->Count(), B.GetNeurons()->Count());
  for (int32_t i = 0; i < A.GetNeurons()->Count(); ++i) {
    Ref<TNrRadialBasisFunctionNeuron> a = A.GetNeurons()->Items(i), b = B.GetNeurons()->Items(i);
    EXPECT_EQ(a->GetCategory(), b->GetCategory()) << "neuron " << i;
    EXPECT_EQ(a->GetInfluenceField(), b->GetInfluenceField()) << "neuron " << i;
    ASSERT_EQ(a->GetValues()->GetSize(), b->GetValues()->GetSize()) << "neuron " << i;
    EXPECT_TRUE(a->GetValues()->IsEqual(b->GetValues())) << "neuron " << i;
  }
}

class BatchTrainTest : public ::testing::Test {
 protected:
  void SetUp() override { FLive = TInterfacedObject::LiveInstances(); }
  void TearDown() override { EXPECT_EQ(TInterfacedObject::LiveInstances(), FLive) << "neurons or buffers leaked"; }
  int64_t FLive = 0;
};

TEST_F(BatchTrainTest, FaceSetAsOneBatchEqualsSingleSamples) {
  const std::string folder = std::string(FR_SHARED_DIR) + "/datasets/faces/";
  Ref<TBfRealBufferList> features = TBfRealBufferList::Create();
  std::vector<Real> categories;
  for (int p = 1; p <= 40; ++p) {
    for (int i = 1; i <= 9; ++i) {
      features->Append(FaceFeatures(folder + "Train_" + std::to_string(p) + "_" + std::to_string(i) + ".bmp"));
      categories.push_back(p);
    }
  }
  ASSERT_EQ(features->GetCount(), 360);
  {
    TNrRadialBasisFunctionNetwork single, batch;
    Configure(single);
    Configure(batch);
    for (int32_t k = 0; k < 360; ++k) single.Train(features->GetItem(k), categories[size_t(k)]);
    batch.Train(features, Vec(categories), false);
    EXPECT_GT(single.GetNeurons()->Count(), 40);
    ExpectSameNeurons(single, batch);
    // The same batch from a matrix of the 360 rows.
    TNrRadialBasisFunctionNetwork fromMatrix;
    Configure(fromMatrix);
    fromMatrix.Train(TBfRealMatrixBuffer::CreateUniversal(Ref<IBfData>(features)), Vec(categories), true);
    ExpectSameNeurons(single, fromMatrix);
  }
}

TEST_F(BatchTrainTest, ShorterInputAndUpdate) {
  Ref<TBfRealBufferList> features =
      TBfRealBufferList::CreateData({Vec({0, 0}), Vec({10, 0}), Vec({20, 0}), Vec({30, 0})});
  TNrRadialBasisFunctionNetwork net;
  Configure(net);
  net.SetMaxInfluenceField(5);
  net.Train(features, Vec({1, 2}), false);  // two categories: two samples
  EXPECT_EQ(net.GetNeurons()->Count(), 2);
  net.Train(TBfRealBufferList::CreateData({Vec({40, 0})}), Vec({3, 4, 5}), true);  // one buffer: one sample
  EXPECT_EQ(net.GetNeurons()->Count(), 3) << "AUpdate true keeps the neurons";
  net.Train(TBfRealBufferList::CreateData({Vec({50, 0})}), Vec({6}), false);
  ASSERT_EQ(net.GetNeurons()->Count(), 1) << "AUpdate false starts from an empty network";
  EXPECT_EQ(net.GetNeurons()->Items(0)->GetCategory(), 6);
  net.Train(TBfRealBufferList::Create(), Vec({1}), false);
  EXPECT_EQ(net.GetNeurons()->Count(), 0);
  EXPECT_THROW(net.Train(Ref<IBfRealBufferArray>(), Vec({1}), false), ENrClassifierError);
  net.Train(features, Vec({1}), true);
  EXPECT_THROW(net.Train(features, Ref<IBfRealBuffer>(), false), ENrClassifierError);
  EXPECT_EQ(net.GetNeurons()->Count(), 1) << "a refused batch changes nothing";
}

}  // namespace
