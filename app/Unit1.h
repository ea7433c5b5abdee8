// The face recognition driver: the training pass and the recognition pass
// that the main window's two buttons start, and the result handler that the
// network calls back during recognition.
//
// The driver reaches the window only through IFaceWindowOperations. Pictures
// are read from the face folder "Faces" (relative names such as
// "Faces/Train_12_3.bmp", which the window's provider resolves): 40 persons,
// 9 training pictures and 1 test picture each, 8-bit palette-indexed BMPs of
// 32 x 32 pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/FaceWindowOperations.h"
#include "classifiers/NrRadialBasisFunctionNetwork.h"

class TForm1 : public TObject {
 public:
  static constexpr const char* cFacesFolder = "Faces";
  static constexpr int32_t cPersons = 40;
  static constexpr int32_t cTrainingPictures = 9;
  static constexpr int32_t cPictureSize = 32;  // width and height [pixels]
  static constexpr uint32_t cFeatureCount = 1024;

  // Sets up what the stored layout makes: the network with MinInfluenceField
  // 2, MaxInfluenceField 300, Background disabled with category 0, and
  // OnResult bound to NrRadialBasisFunctionNetwork1Result. The window (which
  // owns this driver) must outlive it.
  explicit TForm1(IFaceWindowOperations& AWindow);

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

  // The window's network component.
  std::unique_ptr<TNrRadialBasisFunctionNetwork> NrRadialBasisFunctionNetwork1;

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

  IFaceWindowOperations& FWindow;

  int32_t FExpectedID = 0;
  int32_t FResultCathegory = 0;
  Real FDistance = 0;
  int32_t FErrorCount = 0;
  int32_t FTotalCount = 0;
};
