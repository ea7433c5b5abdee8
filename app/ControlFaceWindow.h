// The window operations of the face recognition driver over the controls of
// the main window TForm1: thumbnails go to ImageList1, training items to
// ListView1 and recognition items to ListView2, progress to ProgressBar1,
// texts to TrainLabel and RecognizeLabel, enabling to TrainButton and
// RecognizeButton. The controls keep everything in memory and mirror it on
// their widgets when a toolkit binding gave them peers, so the command line
// program and the desktop window run the same driver over the same code.
#pragma once

#include <functional>
#include <string>

#include "app/FaceWindowOperations.h"

class TForm1;
class TListView;
class TLabel;
class TButton;

class TControlFaceWindow final : public IFaceWindowOperations {
 public:
  // The operations over AForm's controls; AForm owns this object.
  explicit TControlFaceWindow(TForm1& AForm) : FForm(AForm) {}

  // Where the driver's face folder "Faces" lies: names "Faces/<file>" are read
  // as AFolder + "/<file>". Default "Faces", below the working directory.
  void SetFacesFolder(std::string AFolder) { FFacesFolder = std::move(AFolder); }
  const std::string& FacesFolder() const { return FFacesFolder; }
  // The file a driver's picture name is read from.
  std::string ResolvePictureName(const std::string& AFileName) const;

  // Called after every progress position change, with position and maximum.
  void SetOnProgress(std::function<void(int32_t, int32_t)> AOnProgress) { FOnProgress = std::move(AOnProgress); }

  // IFaceWindowOperations. A control the layout did not make raises
  // EComponentError naming it.
  void LoadPicture(TBitmap& APicture, const std::string& AFileName) override;
  void AddThumbnail(const TBitmap& APicture) override;
  int32_t ThumbnailCount() override;
  void BeginUpdate(TFaceList AList) override;
  void EndUpdate(TFaceList AList) override;
  TFaceListItem AddItem(TFaceList AList) override;
  void SetItemThumbnail(TFaceList AList, TFaceListItem AItem, int32_t AThumbnail) override;
  void SetItemCaption(TFaceList AList, TFaceListItem AItem, const std::string& ACaption) override;
  void SetProgressMax(int32_t AMax) override;
  void SetProgressPosition(int32_t APosition) override;
  void SetLabelText(TFaceLabel ALabel, const std::string& AText) override;
  void EnableButton(TFaceButton AButton) override;
  void DisableButton(TFaceButton AButton) override;

  // The controls the operations act on.
  TListView& List(TFaceList AList) const;
  TLabel& Label(TFaceLabel ALabel) const;
  TButton& Button(TFaceButton AButton) const;

 private:
  TForm1& FForm;
  std::string FFacesFolder = "Faces";
  std::function<void(int32_t, int32_t)> FOnProgress;
};
