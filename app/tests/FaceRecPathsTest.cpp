// The face demo on the shared face set under every distance path of the
// network (plain loop, AVX2 and AVX-512 lanes, bytes, two threads): the same
// window texts and the same learnt neurons as the plain loop gives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/HeadlessFaceWindow.h"
#include "app/Unit1.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"

namespace {

struct TPath {
  const char* Name;
  TNrDistanceKernel Kernel;
  bool Bytes;
  int32_t Threads;
};

// What one run shows and learns.
struct TRun {
  std::vector<std::string> Texts;  // captions of both lists, then the labels
  std::vector<uint64_t> Neurons;   // per neuron: category, field, size, item bits
};

uint64_t Bits(Real AValue) {
  uint64_t bits;
  std::memcpy(&bits, &AValue, sizeof bits);
  return bits;
}

TRun RunDemo(const TPath& APath) {
  const TNrDistanceSettings saved = NrGetDistanceSettings();
  TNrDistanceSettings s;
  s.Kernel = APath.Kernel;
  s.Bytes = APath.Bytes;
  s.Threads = APath.Threads;
  s.NeuronsPerThread = 1;  // split even the demo's few hundred neurons
  NrSetDistanceSettings(s);
  TRun run;
  {
    THeadlessFaceWindow window;
    window.SetFacesFolder(std::string(FR_SHARED_DIR) + "/datasets/faces");
    TForm1 form(window);
    form.TrainButtonClick(nullptr);
    form.RecognizeButtonClick(nullptr);
    for (TFaceList list : {TFaceList::flListView1, TFaceList::flListView2})
      for (const THeadlessFaceWindow::TItem& item : window.Items(list)) run.Texts.push_back(item.Caption);
    run.Texts.push_back(window.LabelText(TFaceLabel::flbTrainLabel));
    run.Texts.push_back(window.LabelText(TFaceLabel::flbRecognizeLabel));
    TNrRadialBasisFunctionNeurons& neurons = *form.NrRadialBasisFunctionNetwork1->GetNeurons();
    for (int32_t n = 0; n < neurons.Count(); ++n) {
      Ref<TNrRadialBasisFunctionNeuron> neuron = neurons.Items(n);
      run.Neurons.push_back(Bits(neuron->GetCategory()));
      run.Neurons.push_back(Bits(neuron->GetInfluenceField()));
      const Ref<IBfRealBuffer>& values = neuron->GetValues();
      run.Neurons.push_back(values->GetSize());
      for (uint32_t i = 0; i < values->GetSize(); ++i) run.Neurons.push_back(Bits(values->Read()[i]));
    }
  }
  NrSetDistanceSettings(saved);
  return run;
}

class FaceRecPathsTest : public ::testing::TestWithParam<TPath> {
 protected:
  // The plain loop's run, made once for all paths.
  static const TRun& Plain() {
    static const TRun plain = RunDemo({"Plain", dkPlain, false, 1});
    return plain;
  }
};

TEST_P(FaceRecPathsTest, SameTextsAndNeuronsAsThePlainLoop) {
  if (!NrDistanceKernelSupported(GetParam().Kernel))
    GTEST_SKIP() << "the processor lacks " << NrDistanceKernelName(GetParam().Kernel);
  const TRun& plain = Plain();
  ASSERT_EQ(plain.Texts.size(), 360u + 40u + 2u);
  ASSERT_GT(plain.Neurons.size(), 0u);
  const TRun run = RunDemo(GetParam());
  EXPECT_EQ(run.Texts, plain.Texts);
  EXPECT_TRUE(run.Neurons == plain.Neurons) << "the learnt neurons differ";
}

INSTANTIATE_TEST_SUITE_P(Paths, FaceRecPathsTest,
                         ::testing::Values(TPath{"Plain2Threads", dkPlain, false, 2},
                                           TPath{"Avx2Lanes", dkAvx2, false, 1},
                                           TPath{"Avx2Bytes", dkAvx2, true, 1},
                                           TPath{"Avx512Lanes", dkAvx512, false, 1},
                                           TPath{"Avx512Bytes", dkAvx512, true, 1},
                                           TPath{"Avx512Bytes2Threads", dkAvx512, true, 2}),
                         [](const ::testing::TestParamInfo<TPath>& AInfo) { return std::string(AInfo.param.Name); });

}  // namespace
