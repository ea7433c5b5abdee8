#include "app/Unit1.h"

#include <cmath>

#include "component/CmFiler.h"
#include "platform/NumberFormat.h"

// The stored layout of TForm1, made from app/Unit1.layout at build time.
extern const unsigned char cUnit1Layout[];
extern const std::size_t cUnit1LayoutSize;

namespace {

// Keeps a list inside its update bracket for the length of a pass, and closes
// the bracket also when the pass stops on an error.
class TUpdateBracket {
 public:
  TUpdateBracket(IFaceWindowOperations& AWindow, TFaceList AList) : FWindow(AWindow), FList(AList) {
    FWindow.BeginUpdate(FList);
  }
  ~TUpdateBracket() { FWindow.EndUpdate(FList); }
  TUpdateBracket(const TUpdateBracket&) = delete;
  TUpdateBracket& operator=(const TUpdateBracket&) = delete;

 private:
  IFaceWindowOperations& FWindow;
  TFaceList FList;
};

template <class T>
T* FieldOf(TForm1& AForm, const char* AName) {
  TComponent* c = AForm.FindComponent(AName);
  if (c == nullptr) throw EComponentError(Format("The layout of %s has no component %s", AForm.GetName().c_str(), AName));
  T* field = dynamic_cast<T*>(c);
  if (field == nullptr)
    throw EComponentError(Format("%s of %s is a %s, not a %s", AName, AForm.GetName().c_str(), c->ClassName().c_str(),
                                 T::StaticClass().Name().c_str()));
  return field;
}

}  // namespace

TForm1::TForm1(TComponent* AOwner)
    : TForm(AOwner), FOperations(std::make_unique<TControlFaceWindow>(*this)), FWindow(*FOperations) {}

TForm1::TForm1(IFaceWindowOperations& AWindow)
    : TForm(nullptr), FOperations(std::make_unique<TControlFaceWindow>(*this)), FWindow(AWindow) {
  RegisterClasses();
  TMemoryStream layout = EmbeddedLayout();
  ReadComponentFromStream(layout, this);
}

TForm1::~TForm1() {
  // The controls go before the window operations that refer to them.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
}

const TClassInfo& TForm1::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TForm1>("TForm1", &TForm::StaticClass())
          .Method<TNotifyEvent>("TrainButtonClick", &TForm1::TrainButtonClick)
          .Method<TNotifyEvent>("RecognizeButtonClick", &TForm1::RecognizeButtonClick)
          .Method<TNrRadialBasisFunctionResultEvent>("NrRadialBasisFunctionNetwork1Result", &TForm1::NrRadialBasisFunctionNetwork1Result)
          .Creates()
          .Build();
  return info;
}

void TForm1::RegisterClasses() {
  RegisterControlClasses();
  RegisterClass(StaticClass());
  RegisterClass(TNrRadialBasisFunctionNetwork::StaticClass());
}

TMemoryStream TForm1::EmbeddedLayout() {
  return TMemoryStream(std::vector<uint8_t>(cUnit1Layout, cUnit1Layout + cUnit1LayoutSize));
}

TForm1* TForm1::CreateFromLayout(TComponent* AOwner) {
  TMemoryStream layout = EmbeddedLayout();
  return CreateFromStream(layout, AOwner);
}

TForm1* TForm1::CreateFromStream(TStream& AStream, TComponent* AOwner) {
  RegisterClasses();
  auto* form = CreateComponent<TForm1>(AOwner);
  try {
    ReadComponentFromStream(AStream, form);
  } catch (...) {
    delete form;
    throw;
  }
  return form;
}

void TForm1::Loaded() {
  TForm::Loaded();
  ListView1 = FieldOf<TListView>(*this, "ListView1");
  TrainButton = FieldOf<TButton>(*this, "TrainButton");
  RecognizeButton = FieldOf<TButton>(*this, "RecognizeButton");
  ProgressBar1 = FieldOf<TProgressBar>(*this, "ProgressBar1");
  ListView2 = FieldOf<TListView>(*this, "ListView2");
  ImageList1 = FieldOf<TImageList>(*this, "ImageList1");
  NrRadialBasisFunctionNetwork1 = FieldOf<TNrRadialBasisFunctionNetwork>(*this, "NrRadialBasisFunctionNetwork1");
  Label1 = FieldOf<TLabel>(*this, "Label1");
  Label2 = FieldOf<TLabel>(*this, "Label2");
  RecognizeLabel = FieldOf<TLabel>(*this, "RecognizeLabel");
  TrainLabel = FieldOf<TLabel>(*this, "TrainLabel");
}

std::string TForm1::TrainingFileName(int32_t APerson, int32_t APicture) {
  return std::string(cFacesFolder) + "/Train_" + IntToStr(APerson) + "_" + IntToStr(APicture) + ".bmp";
}

std::string TForm1::RecognitionFileName(int32_t APerson) {
  return std::string(cFacesFolder) + "/Reco_" + IntToStr(APerson) + ".bmp";
}

int32_t TForm1::RoundCategory(Real ACategory) {
  if (!(ACategory > -2147483648.5 && ACategory < 2147483647.5)) return 0;
  const Real below = std::floor(ACategory);
  const Real fraction = ACategory - below;  // exact for these magnitudes
  Real rounded = below;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0)) rounded = below + 1;
  if (rounded > 2147483647.0 || rounded < -2147483648.0) return 0;
  return static_cast<int32_t>(rounded);
}

void TForm1::LoadFacePicture(TBitmap& APicture, const std::string& AFileName) {
  FWindow.LoadPicture(APicture, AFileName);
  // The features are the 1024 bytes at the start of the pixel storage: only a
  // 32 x 32 picture has exactly these (an 8-bit row of 32 pixels needs no
  // padding), so any other size is refused rather than read past its end.
  if (APicture.Width() != cPictureSize || APicture.Height() != cPictureSize) {
    const std::string name = APicture.FileName().empty() ? AFileName : APicture.FileName();
    throw EInvalidGraphic(Format("Invalid bitmap \"%s\": the picture is %d x %d pixels, face pictures are %d x %d",
                                 name.c_str(), APicture.Width(), APicture.Height(), cPictureSize, cPictureSize));
  }
}

void TForm1::ExtractFeatures(const TBitmap& APicture, const Ref<IBfRealBuffer>& AFeatures) {
  const uint8_t* bytes = APicture.ScanLine(APicture.Height() - 1);  // bottom row: start of the storage
  Real* items = AFeatures->Write();
  const uint32_t count = AFeatures->GetSize();
  const size_t available = APicture.PixelDataSize();
  for (uint32_t k = 0; k < count; ++k) items[k] = k < available ? bytes[k] / 256.0 : 0.0;
}

void TForm1::TrainButtonClick(TObject* /*Sender*/) {
  TBitmap picture;
  FWindow.SetProgressMax(cPersons);
  const Ref<IBfRealBuffer> features = TBfRealBuffer::CreateSize(cFeatureCount);
  {
    TUpdateBracket update(FWindow, TFaceList::flListView1);
    for (int32_t p = 1; p <= cPersons; ++p) {
      for (int32_t i = 1; i <= cTrainingPictures; ++i) {
        LoadFacePicture(picture, TrainingFileName(p, i));
        FWindow.AddThumbnail(picture);
        const TFaceListItem item = FWindow.AddItem(TFaceList::flListView1);
        FWindow.SetItemThumbnail(TFaceList::flListView1, item, FWindow.ThumbnailCount() - 1);
        FWindow.SetItemCaption(TFaceList::flListView1, item, IntToStr(p));
        ExtractFeatures(picture, features);
        NrRadialBasisFunctionNetwork1->Train(features, static_cast<Real>(p));
      }
      FWindow.SetProgressPosition(p);
    }
  }
  FWindow.EnableButton(TFaceButton::fbRecognizeButton);
  FWindow.DisableButton(TFaceButton::fbTrainButton);
  FWindow.SetLabelText(TFaceLabel::flbTrainLabel,
                       IntToStr(NrRadialBasisFunctionNetwork1->GetNeurons()->Count()) + " Neurons used.");
}

void TForm1::RecognizeButtonClick(TObject* /*Sender*/) {
  FTotalCount = 0;
  FErrorCount = 0;
  TBitmap picture;
  FWindow.SetProgressMax(cPersons);
  const Ref<IBfRealBuffer> features = TBfRealBuffer::CreateSize(cFeatureCount);
  {
    TUpdateBracket update(FWindow, TFaceList::flListView2);
    for (int32_t p = 1; p <= cPersons; ++p) {
      FExpectedID = p;
      LoadFacePicture(picture, RecognitionFileName(p));
      FWindow.AddThumbnail(picture);
      const TFaceListItem item = FWindow.AddItem(TFaceList::flListView2);
      FWindow.SetItemThumbnail(TFaceList::flListView2, item, FWindow.ThumbnailCount() - 1);
      ExtractFeatures(picture, features);
      NrRadialBasisFunctionNetwork1->Predict(features);
      std::string caption;
      if (FResultCathegory == p)
        caption = "Correct: " + IntToStr(p) + " Distance: " + FloatToStr(FDistance);
      else if (FResultCathegory == 0)
        caption = "Error - Can't recognize";
      else
        caption = "Error - Expected:" + IntToStr(p) + " recognized as: " + IntToStr(FResultCathegory) +
                  " Distance: " + FloatToStr(FDistance);
      FWindow.SetItemCaption(TFaceList::flListView2, item, caption);
      FWindow.SetProgressPosition(p);
    }
  }
  // A pass whose predictions were never counted (no result handler bound)
  // reads 0% rather than dividing by zero.
  const Real percentage =
      FTotalCount == 0 ? 0.0 : static_cast<Real>((FTotalCount - FErrorCount) * 100) / static_cast<Real>(FTotalCount);
  FWindow.SetLabelText(TFaceLabel::flbRecognizeLabel, IntToStr(FErrorCount) + " errors of " + IntToStr(FTotalCount) +
                                                          " faces - " + FloatToStr(percentage) + "% correct");
  FWindow.DisableButton(TFaceButton::fbRecognizeButton);
}

void TForm1::NrRadialBasisFunctionNetwork1Result(TObject* /*ASender*/, const Ref<IBfRealBuffer>& /*AFeatures*/,
                                                 TNrRadialBasisFunctionResult* AResult) {
  ++FTotalCount;
  if (AResult == nullptr || AResult->Count() == 0) {
    ++FErrorCount;
    FResultCathegory = 0;
    FDistance = 0;
    return;
  }
  const TNrRadialBasisFunctionNeuronResult* first = AResult->Items(0);
  FResultCathegory = RoundCategory(first->GetNeuron()->GetCategory());
  FDistance = first->GetDistance();
  if (FExpectedID != FResultCathegory) ++FErrorCount;
}
