// The face recognition driver: the training pass and the recognition pass
// that the main window's two buttons start, and the result handler that the
// network calls back during recognition.
//
// TForm1 is the main window: a form made from its stored layout (the text
// app/Unit1.layout, compiled into the program), which creates its controls
// and the network component NrRadialBasisFunctionNetwork1, sets their
// properties and binds TrainButtonClick, RecognizeButtonClick and
// NrRadialBasisFunctionNetwork1Result by name. Its published fields are the
// controls of that layout, found by name once the layout is read.
//
// The driver reaches the window only through IFaceWindowOperations, which the
// form provides over its own controls (TControlFaceWindow); with a toolkit
// binding the controls mirror themselves on widgets. Pictures
// are read from the face folder "Faces" (relative names such as
// "Faces/Train_12_3.bmp", which the window's provider resolves): 40 persons,
// 9 training pictures and 1 test picture each, 8-bit palette-indexed BMPs of
// 32 x 32 pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/ControlFaceWindow.h"
#include "app/FaceWindowOperations.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"
#include "platform/Classes.h"
#include "platform/Controls.h"

class TForm1 : public TForm {
 public:
  static constexpr const char* cFacesFolder = "Faces";
  static constexpr int32_t cPersons = 40;
  static constexpr int32_t cTrainingPictures = 9;
  static constexpr int32_t cPictureSize = 32;  // width and height [pixels]
  static constexpr uint32_t cFeatureCount = 1024;

  // An empty form; the stored layout fills it (see CreateFromLayout).
  explicit TForm1(TComponent* AOwner);
  // The form from the embedded layout, whose driver works through AWindow
  // (for example an in-memory THeadlessFaceWindow) instead of its own
  // controls. AWindow must outlive the form.
  explicit TForm1(IFaceWindowOperations& AWindow);
  ~TForm1() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Makes the classes of the layout creatable by name: the controls, TForm1
  // and the network component. Part of the program's start-up; repeating it
  // does nothing.
  static void RegisterClasses();
  // The main window from the layout embedded in the program: the controls,
  // the network with MinInfluenceField 2, MaxInfluenceField 300, Background
  // disabled with category 0, and the three handlers bound by name.
  static TForm1* CreateFromLayout(TComponent* AOwner = nullptr);
  // The same from a stored layout in AStream. A layout that cannot be read,
  // or that lacks a control the driver needs, raises the reader's error
  // (EReadError) or EComponentError; nothing is left behind.
  static TForm1* CreateFromStream(TStream& AStream, TComponent* AOwner = nullptr);
  // The stored layout embedded in the program.
  static TMemoryStream EmbeddedLayout();

  // Finds the published fields among the components read.
  void Loaded() override;

  // The window operations over this form's controls.
  TControlFaceWindow& Window() { return *FOperations; }

  // Trains the network on the 360 training pictures. Stops with the loader's
  // error at the first picture that cannot be loaded; what was done stays.
  void TrainButtonClick(TObject* Sender);
  // Recognises the 40 test pictures, captions each item and writes the
  // summary. Stops like the training pass.
  void RecognizeButtonClick(TObject* Sender);
  // Counts one prediction and records its category and distance.
  void NrRadialBasisFunctionNetwork1Result(TObject* ASender, const Ref<IBfRealBuffer>& AFeatures,
                                           TNrRadialBasisFunctionResult* AResult);

  // The picture file names of the two passes.
  static std::string TrainingFileName(int32_t APerson, int32_t APicture);
  static std::string RecognitionFileName(int32_t APerson);
  // A category as the driver records it: rounded to the nearest integer,
  // halves to the even neighbour; 0 (no person) for values that no 32-bit
  // integer holds and for NaN.
  static int32_t RoundCategory(Real ACategory);

  // The published fields: the controls and components of the layout, in
  // the window's order; nullptr until the layout is read.
  TListView* ListView1 = nullptr;
  TButton* TrainButton = nullptr;
  TButton* RecognizeButton = nullptr;
  TProgressBar* ProgressBar1 = nullptr;
  TListView* ListView2 = nullptr;
  TImageList* ImageList1 = nullptr;
  TNrRadialBasisFunctionNetwork* NrRadialBasisFunctionNetwork1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TLabel* RecognizeLabel = nullptr;
  TLabel* TrainLabel = nullptr;

  int32_t ExpectedID() const { return FExpectedID; }
  int32_t ResultCathegory() const { return FResultCathegory; }
  Real Distance() const { return FDistance; }
  int32_t ErrorCount() const { return FErrorCount; }
  int32_t TotalCount() const { return FTotalCount; }

 private:
  // Loads AFileName and checks that it is a face picture (32 x 32).
  void LoadFacePicture(TBitmap& APicture, const std::string& AFileName);
  // Item k of AFeatures := pixel byte k / 256, bytes in bottom-up storage order.
  static void ExtractFeatures(const TBitmap& APicture, const Ref<IBfRealBuffer>& AFeatures);

  std::unique_ptr<TControlFaceWindow> FOperations;
  IFaceWindowOperations& FWindow;

  int32_t FExpectedID = 0;
  int32_t FResultCathegory = 0;
  Real FDistance = 0;
  int32_t FErrorCount = 0;
  int32_t FTotalCount = 0;
};
