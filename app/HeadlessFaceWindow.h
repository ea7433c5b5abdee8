// The window operations without any controls: everything the driver shows
// is kept in memory. Tests give it to TForm1(IFaceWindowOperations&) to watch
// the driver alone; the programs use the form's own controls instead
// (TControlFaceWindow).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/FaceWindowOperations.h"

class THeadlessFaceWindow final : public IFaceWindowOperations {
 public:
  // One thumbnail as ImageList1 would hold it.
  struct TThumbnail {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;  // the picture's storage, bottom row first
  };
  struct TItem {
    int32_t Thumbnail = -1;  // -1 until set
    std::string Caption;
  };

  // Starts as the stored layout leaves the window: TrainButton enabled,
  // RecognizeButton disabled, TrainLabel "Untrained", RecognizeLabel
  // "Click Recognize to see the results.", progress 0 of 100.
  THeadlessFaceWindow();

  // Where the driver's face folder "Faces" lies: names "Faces/<file>" are read
  // as AFolder + "/<file>". Default "Faces", below the working directory.
  void SetFacesFolder(std::string AFolder) { FFacesFolder = std::move(AFolder); }
  const std::string& FacesFolder() const { return FFacesFolder; }
  // The file a driver's picture name is read from.
  std::string ResolvePictureName(const std::string& AFileName) const;

  // Called after every progress position change, with position and maximum.
  void SetOnProgress(std::function<void(int32_t, int32_t)> AOnProgress) { FOnProgress = std::move(AOnProgress); }

  // IFaceWindowOperations
  void LoadPicture(TBitmap& APicture, const std::string& AFileName) override;
  void AddThumbnail(const TBitmap& APicture) override;
  int32_t ThumbnailCount() override { return static_cast<int32_t>(FThumbnails.size()); }
  void BeginUpdate(TFaceList AList) override;
  void EndUpdate(TFaceList AList) override;
  TFaceListItem AddItem(TFaceList AList) override;
  void SetItemThumbnail(TFaceList AList, TFaceListItem AItem, int32_t AThumbnail) override;
  void SetItemCaption(TFaceList AList, TFaceListItem AItem, const std::string& ACaption) override;
  void SetProgressMax(int32_t AMax) override { FProgressMax = AMax; }
  void SetProgressPosition(int32_t APosition) override;
  void SetLabelText(TFaceLabel ALabel, const std::string& AText) override;
  void EnableButton(TFaceButton AButton) override { FButtonEnabled[Slot(AButton)] = true; }
  void DisableButton(TFaceButton AButton) override { FButtonEnabled[Slot(AButton)] = false; }

  // What the window would show.
  const std::vector<TThumbnail>& Thumbnails() const { return FThumbnails; }
  const std::vector<TItem>& Items(TFaceList AList) const { return FItems[Slot(AList)]; }
  // Begin minus end updates so far (0 when every bracket is closed).
  int32_t UpdateDepth(TFaceList AList) const { return FUpdateDepth[Slot(AList)]; }
  int32_t ProgressMax() const { return FProgressMax; }
  int32_t ProgressPosition() const { return FProgressPosition; }
  const std::string& LabelText(TFaceLabel ALabel) const { return FLabels[Slot(ALabel)]; }
  bool ButtonEnabled(TFaceButton AButton) const { return FButtonEnabled[Slot(AButton)]; }

 private:
  template <class E>
  static size_t Slot(E AValue) {
    return static_cast<size_t>(AValue);
  }
  TItem& Item(TFaceList AList, TFaceListItem AItem);

  std::string FFacesFolder = "Faces";
  std::function<void(int32_t, int32_t)> FOnProgress;
  std::vector<TThumbnail> FThumbnails;
  std::array<std::vector<TItem>, 2> FItems;
  std::array<int32_t, 2> FUpdateDepth{};
  int32_t FProgressMax = 100;
  int32_t FProgressPosition = 0;
  std::array<std::string, 2> FLabels;
  std::array<bool, 2> FButtonEnabled{};
};
