// The face recognition driver against the in-memory window, over a small
// synthetic face set written to a scratch folder.
//
// Person p's pictures light the 25 pixels k = 25(p-1) .. 25p-1 (storage
// order) at 255 and leave the rest at 0, so two persons lie 2 x 25 x 255/256
// = 49.8 apart. With MaxInfluenceField 40 no person covers another: each
// person becomes exactly one neuron, and a test picture with one extra pixel
// of 64 lies 0.25 from its person.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/HeadlessFaceWindow.h"
#include "app/Unit1.h"
#include "platform/Classes.h"
#include "platform/NumberFormat.h"

namespace fs = std::filesystem;

namespace {

using TPixels = std::vector<uint8_t>;  // 1024 bytes, storage (bottom-up) order

TPixels PersonPattern(int32_t APerson) {
  TPixels px(1024, 0);
  for (int32_t k = 25 * (APerson - 1); k < 25 * APerson; ++k) px[size_t(k)] = 255;
  return px;
}

TPixels WithMark(TPixels APixels) {
  APixels[1023] = 64;  // outside every person's block: distance 0.25
  return APixels;
}

// Writes a 32 x 32 BMP whose storage bytes are APixels; ATopDown stores the
// rows top row first (negative height), which must give the same features.
void WritePicture(const std::string& AFile, const TPixels& APixels, bool ATopDown = false, int32_t ASize = 32) {
  TBitmap b;
  b.SetSize(ASize, ASize);
  const size_t n = std::min(b.PixelDataSize(), APixels.size());
  std::copy(APixels.begin(), APixels.begin() + ptrdiff_t(n), b.ScanLine(ASize - 1));
  TMemoryStream s;
  b.SaveToStream(s);
  if (ATopDown) {
    std::vector<uint8_t>& f = s.Data();
    const int32_t negative = -ASize;
    std::memcpy(f.data() + 22, &negative, 4);
    const size_t offset = 14 + 40 + 1024;
    std::vector<uint8_t> rows(f.begin() + ptrdiff_t(offset), f.end());
    for (int32_t r = 0; r < ASize; ++r)
      std::memcpy(f.data() + offset + size_t(r) * size_t(ASize), rows.data() + size_t(ASize - 1 - r) * size_t(ASize),
                  size_t(ASize));
  }
  TFileStream out(AFile, TFileMode::fmCreate);
  out.WriteBuffer(s.Data().data(), int64_t(s.Data().size()));
}

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FFolder = std::string(FR_TEST_TMP_DIR) + "/driver_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(FFolder);
    fs::create_directories(FFolder);
    for (int32_t p = 1; p <= 40; ++p) {
      for (int32_t i = 1; i <= 9; ++i) WritePicture(Train(p, i), PersonPattern(p), p == 40);
      WritePicture(Reco(p), WithMark(PersonPattern(p)), p == 39);
    }
    FSavedSeparator = DecimalSeparator();
    SetDecimalSeparator(".");
    FWindow.SetFacesFolder(FFolder);
    FForm = std::make_unique<TForm1>(FWindow);
    FForm->NrRadialBasisFunctionNetwork1->SetMaxInfluenceField(40);
  }
  void TearDown() override {
    FForm.reset();
    SetDecimalSeparator(FSavedSeparator);
  }

  std::string Train(int32_t p, int32_t i) const { return Format("%s/Train_%d_%d.bmp", FFolder.c_str(), p, i); }
  std::string Reco(int32_t p) const { return Format("%s/Reco_%d.bmp", FFolder.c_str(), p); }
  std::string Caption(int32_t APerson) const {
    return FWindow.Items(TFaceList::flListView2).at(size_t(APerson - 1)).Caption;
  }
  std::string Summary() const { return FWindow.LabelText(TFaceLabel::flbRecognizeLabel); }
  int32_t NeuronCount() const { return FForm->NrRadialBasisFunctionNetwork1->GetNeurons()->Count(); }

  std::string FFolder, FSavedSeparator;
  THeadlessFaceWindow FWindow;
  std::unique_ptr<TForm1> FForm;
};

TEST_F(DriverTest, StartsAsTheLayoutLeavesTheWindow) {
  EXPECT_TRUE(FWindow.ButtonEnabled(TFaceButton::fbTrainButton));
  EXPECT_FALSE(FWindow.ButtonEnabled(TFaceButton::fbRecognizeButton));
  EXPECT_EQ(FWindow.LabelText(TFaceLabel::flbTrainLabel), "Untrained");
  EXPECT_EQ(Summary(), "Click Recognize to see the results.");
  TForm1 fresh(FWindow);
  EXPECT_EQ(fresh.NrRadialBasisFunctionNetwork1->GetMinInfluenceField(), 2);
  EXPECT_EQ(fresh.NrRadialBasisFunctionNetwork1->GetMaxInfluenceField(), 300);
  EXPECT_FALSE(fresh.NrRadialBasisFunctionNetwork1->GetBackground()->GetEnabled());
  EXPECT_EQ(fresh.NrRadialBasisFunctionNetwork1->GetBackground()->GetCategory(), 0);
  EXPECT_TRUE(fresh.NrRadialBasisFunctionNetwork1->GetOnResult());
  EXPECT_EQ(TForm1::TrainingFileName(12, 3), "Faces/Train_12_3.bmp");
  EXPECT_EQ(TForm1::RecognitionFileName(12), "Faces/Reco_12.bmp");
  EXPECT_EQ(FWindow.ResolvePictureName("Faces/Reco_12.bmp"), FFolder + "/Reco_12.bmp");
}

TEST_F(DriverTest, TrainingPassFillsTheListAndLearnsOneNeuronPerPerson) {
  FForm->TrainButtonClick(nullptr);
  EXPECT_EQ(FWindow.LabelText(TFaceLabel::flbTrainLabel), "40 Neurons used.");
  EXPECT_FALSE(FWindow.ButtonEnabled(TFaceButton::fbTrainButton));
  EXPECT_TRUE(FWindow.ButtonEnabled(TFaceButton::fbRecognizeButton));
  const auto& items = FWindow.Items(TFaceList::flListView1);
  ASSERT_EQ(items.size(), 360u);
  for (size_t n = 0; n < items.size(); ++n) {
    EXPECT_EQ(items[n].Caption, IntToStr(int64_t(n / 9) + 1)) << n;
    EXPECT_EQ(items[n].Thumbnail, int32_t(n)) << n;
  }
  EXPECT_EQ(FWindow.Thumbnails().size(), 360u);
  EXPECT_EQ(FWindow.Thumbnails()[0].Pixels, PersonPattern(1));
  EXPECT_EQ(FWindow.Thumbnails()[359].Pixels, PersonPattern(40)) << "top-down file, same storage";
  EXPECT_EQ(FWindow.ProgressMax(), 40);
  EXPECT_EQ(FWindow.ProgressPosition(), 40);
  EXPECT_EQ(FWindow.UpdateDepth(TFaceList::flListView1), 0);
  EXPECT_TRUE(FWindow.Items(TFaceList::flListView2).empty());
  // Feature item k is pixel byte k / 256: 255 gives exactly 0.99609375, 0 gives 0.
  ASSERT_EQ(NeuronCount(), 40);
  const Ref<IBfRealBuffer> v = FForm->NrRadialBasisFunctionNetwork1->GetNeurons()->Items(1)->GetValues();
  ASSERT_EQ(v->GetSize(), 1024u);
  EXPECT_EQ(v->GetItem(24), 0);
  EXPECT_EQ(v->GetItem(25), 0.99609375);
  EXPECT_EQ(v->GetItem(49), 0.99609375);
  EXPECT_EQ(v->GetItem(50), 0);
  EXPECT_EQ(FForm->NrRadialBasisFunctionNetwork1->GetNeurons()->Items(39)->GetValues()->GetItem(975), 0.99609375);
}

TEST_F(DriverTest, EveryFaceRecognised) {
  FForm->TrainButtonClick(nullptr);
  FForm->RecognizeButtonClick(nullptr);
  const auto& items = FWindow.Items(TFaceList::flListView2);
  ASSERT_EQ(items.size(), 40u);
  for (int32_t p = 1; p <= 40; ++p) {
    EXPECT_EQ(Caption(p), "Correct: " + IntToStr(p) + " Distance: 0.25");
    EXPECT_EQ(items[size_t(p - 1)].Thumbnail, 359 + p);
  }
  EXPECT_EQ(Summary(), "0 errors of 40 faces - 100% correct");
  EXPECT_EQ(FWindow.Thumbnails().size(), 400u);
  EXPECT_FALSE(FWindow.ButtonEnabled(TFaceButton::fbRecognizeButton));
  EXPECT_FALSE(FWindow.ButtonEnabled(TFaceButton::fbTrainButton));
  EXPECT_EQ(FWindow.LabelText(TFaceLabel::flbTrainLabel), "40 Neurons used.");
  EXPECT_EQ(FWindow.UpdateDepth(TFaceList::flListView2), 0);
  EXPECT_EQ(FForm->TotalCount(), 40);
  EXPECT_EQ(FForm->ErrorCount(), 0);
}

// One wrong person, one tie between two persons (the older neuron decides),
// one picture no neuron covers.
class DriverErrorsTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    WritePicture(Reco(7), WithMark(PersonPattern(12)));
    TPixels both = PersonPattern(12);
    const TPixels p20 = PersonPattern(20);
    for (size_t k = 0; k < both.size(); ++k) both[k] = std::max(both[k], p20[k]);
    WritePicture(Reco(9), both);
    WritePicture(Reco(15), TPixels(1024, 255));
  }
  void Run() {
    FForm->TrainButtonClick(nullptr);
    FForm->RecognizeButtonClick(nullptr);
  }
};

TEST_F(DriverErrorsTest, CaptionsAndSummaryWithAPoint) {
  Run();
  EXPECT_EQ(Caption(7), "Error - Expected:7 recognized as: 12 Distance: 0.25");
  EXPECT_EQ(Caption(9), "Error - Expected:9 recognized as: 12 Distance: 24.90234375");
  EXPECT_EQ(Caption(15), "Error - Can't recognize");
  EXPECT_EQ(Caption(8), "Correct: 8 Distance: 0.25");
  EXPECT_EQ(Summary(), "3 errors of 40 faces - 92.5% correct");
  EXPECT_EQ(FForm->ErrorCount(), 3);
  EXPECT_EQ(FForm->TotalCount(), 40);
}

TEST_F(DriverErrorsTest, DecimalCommaUnderARegionalSetting) {
  SetDecimalSeparator(",");
  Run();
  EXPECT_EQ(Summary(), "3 errors of 40 faces - 92,5% correct");
  EXPECT_EQ(Caption(9), "Error - Expected:9 recognized as: 12 Distance: 24,90234375");
  EXPECT_EQ(Caption(1), "Correct: 1 Distance: 0,25");
}

// A prediction whose category rounds to 0 reads "Can't recognize" although a
// neuron matched, and counts as an error; halves round to the even neighbour.
struct TRoundingRow {
  Real Category;
  const char* Caption;  // for person 3
  int32_t Errors;
};
class DriverRoundingTest : public DriverTest, public ::testing::WithParamInterface<TRoundingRow> {};

TEST_P(DriverRoundingTest, CategoryIsRoundedHalfToEven) {
  const TRoundingRow row = GetParam();
  // Person 3's test picture lies away from every person; a neuron of the
  // row's category is trained on exactly that picture.
  TPixels odd(1024, 0);
  for (size_t k = 1000; k < 1024; ++k) odd[k] = 200;
  WritePicture(Reco(3), odd);
  FForm->TrainButtonClick(nullptr);
  Ref<IBfRealBuffer> v = TBfRealBuffer::CreateSize(1024);
  for (uint32_t k = 0; k < 1024; ++k) v->SetItem(int32_t(k), odd[k] / 256.0);
  FForm->NrRadialBasisFunctionNetwork1->Train(v, row.Category);
  FForm->RecognizeButtonClick(nullptr);
  EXPECT_EQ(Caption(3), row.Caption);
  EXPECT_EQ(FForm->ErrorCount(), row.Errors);
  EXPECT_EQ(FForm->TotalCount(), 40);
}

INSTANTIATE_TEST_SUITE_P(
    Categories, DriverRoundingTest,
    ::testing::Values(TRoundingRow{0.4, "Error - Can't recognize", 1}, TRoundingRow{-0.5, "Error - Can't recognize", 1},
                      TRoundingRow{2.5, "Error - Expected:3 recognized as: 2 Distance: 0", 1},
                      TRoundingRow{3.5, "Error - Expected:3 recognized as: 4 Distance: 0", 1},
                      TRoundingRow{2.6, "Correct: 3 Distance: 0", 0}, TRoundingRow{3.4999, "Correct: 3 Distance: 0", 0},
                      TRoundingRow{-7.5, "Error - Expected:3 recognized as: -8 Distance: 0", 1}));

TEST(RoundCategoryTest, HalvesToEvenAndOutOfRangeToNoPerson) {
  const struct {
    Real Value;
    int32_t Expected;
  } rows[] = {{2.5, 2},          {3.5, 4},
              {-2.5, -2},        {0.5, 0},
              {1.5, 2},          {12, 12},
              {12.49, 12},       {-0.4, 0},
              {2147483647.4, 2147483647}, {-2147483648.4, -2147483647 - 1},
              {2147483647.5, 0}, {1e10, 0},
              {-1e300, 0},       {std::nan(""), 0},
              {std::numeric_limits<Real>::infinity(), 0}};
  for (const auto& r : rows) EXPECT_EQ(TForm1::RoundCategory(r.Value), r.Expected) << r.Value;
}

TEST_F(DriverTest, EmptyPredictionCountsAsAnError) {
  TNrRadialBasisFunctionResult empty;
  FForm->NrRadialBasisFunctionNetwork1Result(FForm->NrRadialBasisFunctionNetwork1, Ref<IBfRealBuffer>(), &empty);
  EXPECT_EQ(FForm->TotalCount(), 1);
  EXPECT_EQ(FForm->ErrorCount(), 1);
  EXPECT_EQ(FForm->ResultCathegory(), 0);
  EXPECT_EQ(FForm->Distance(), 0);
  // The first entry decides; the handler keeps nothing of the result.
  TNrRadialBasisFunctionResult result;
  const Ref<IBfRealBuffer> v = TBfRealBuffer::CreateSize(2);
  result.Add(TNrRadialBasisFunctionNeuron::Create(v, 5, 1), 61.5);
  result.Add(TNrRadialBasisFunctionNeuron::Create(v, 6, 1), 61.5);
  FForm->NrRadialBasisFunctionNetwork1Result(nullptr, v, &result);
  EXPECT_EQ(FForm->ResultCathegory(), 5);
  EXPECT_EQ(FForm->Distance(), 61.5);
  EXPECT_EQ(FForm->TotalCount(), 2);
  EXPECT_EQ(FForm->ErrorCount(), 2) << "expected person 0, got 5";
}

// A picture that cannot be loaded stops the pass there; what was done stays,
// the update bracket is closed and the buttons and labels keep their states.
TEST_F(DriverTest, MissingTrainingPictureStopsThePassKeepingWhatWasDone) {
  fs::remove(Train(5, 3));
  try {
    FForm->TrainButtonClick(nullptr);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(Train(5, 3)), std::string::npos) << e.what();
  }
  EXPECT_EQ(FWindow.Items(TFaceList::flListView1).size(), 4u * 9 + 2);
  EXPECT_EQ(FWindow.Thumbnails().size(), 4u * 9 + 2);
  EXPECT_EQ(NeuronCount(), 5) << "person 5's first picture was learnt";
  EXPECT_EQ(FWindow.ProgressPosition(), 4);
  EXPECT_EQ(FWindow.UpdateDepth(TFaceList::flListView1), 0);
  EXPECT_EQ(FWindow.LabelText(TFaceLabel::flbTrainLabel), "Untrained");
  EXPECT_TRUE(FWindow.ButtonEnabled(TFaceButton::fbTrainButton));
  EXPECT_FALSE(FWindow.ButtonEnabled(TFaceButton::fbRecognizeButton));
  // Started again, the pass adds its items to those already there.
  WritePicture(Train(5, 3), PersonPattern(5));
  FForm->TrainButtonClick(nullptr);
  EXPECT_EQ(FWindow.Items(TFaceList::flListView1).size(), 38u + 360);
  EXPECT_EQ(FWindow.Items(TFaceList::flListView1)[38].Thumbnail, 38);
  EXPECT_EQ(FWindow.Items(TFaceList::flListView1)[38].Caption, "1");
  EXPECT_EQ(FWindow.LabelText(TFaceLabel::flbTrainLabel), "40 Neurons used.");
}

TEST_F(DriverTest, MissingTestPictureStopsTheRecognitionPass) {
  fs::remove(Reco(10));
  FForm->TrainButtonClick(nullptr);
  EXPECT_THROW(FForm->RecognizeButtonClick(nullptr), EFOpenError);
  const auto& items = FWindow.Items(TFaceList::flListView2);
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[8].Caption, "Correct: 9 Distance: 0.25");
  EXPECT_EQ(FForm->TotalCount(), 9);
  EXPECT_EQ(FForm->ExpectedID(), 10);
  EXPECT_EQ(FWindow.ProgressPosition(), 9);
  EXPECT_EQ(FWindow.UpdateDepth(TFaceList::flListView2), 0);
  EXPECT_EQ(Summary(), "Click Recognize to see the results.");
  EXPECT_TRUE(FWindow.ButtonEnabled(TFaceButton::fbRecognizeButton));
}

// Only 32 x 32 pictures hold the 1024 feature bytes; others are refused
// before any byte is read.
TEST_F(DriverTest, PictureOfAnotherSizeIsRefusedNamingTheFile) {
  WritePicture(Train(2, 1), PersonPattern(2), false, 16);
  try {
    FForm->TrainButtonClick(nullptr);
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find(Train(2, 1)), std::string::npos) << m;
    EXPECT_NE(m.find("16 x 16"), std::string::npos) << m;
  }
  EXPECT_EQ(FWindow.Items(TFaceList::flListView1).size(), 9u);
  EXPECT_EQ(NeuronCount(), 1);
}

}  // namespace
