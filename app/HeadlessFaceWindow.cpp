#include "app/HeadlessFaceWindow.h"

#include "app/Unit1.h"

THeadlessFaceWindow::THeadlessFaceWindow() {
  FLabels[Slot(TFaceLabel::flbTrainLabel)] = "Untrained";
  FLabels[Slot(TFaceLabel::flbRecognizeLabel)] = "Click Recognize to see the results.";
  FButtonEnabled[Slot(TFaceButton::fbTrainButton)] = true;
  FButtonEnabled[Slot(TFaceButton::fbRecognizeButton)] = false;
}

std::string THeadlessFaceWindow::ResolvePictureName(const std::string& AFileName) const {
  const std::string prefix = std::string(TForm1::cFacesFolder) + "/";
  if (AFileName.compare(0, prefix.size(), prefix) == 0) return FFacesFolder + "/" + AFileName.substr(prefix.size());
  return AFileName;
}

void THeadlessFaceWindow::LoadPicture(TBitmap& APicture, const std::string& AFileName) {
  APicture.LoadFromFile(ResolvePictureName(AFileName));
}

void THeadlessFaceWindow::AddThumbnail(const TBitmap& APicture) {
  TThumbnail t;
  t.Width = APicture.Width();
  t.Height = APicture.Height();
  if (!APicture.Empty()) {
    const uint8_t* start = APicture.ScanLine(APicture.Height() - 1);
    t.Pixels.assign(start, start + APicture.PixelDataSize());
  }
  FThumbnails.push_back(std::move(t));
}

void THeadlessFaceWindow::BeginUpdate(TFaceList AList) { ++FUpdateDepth[Slot(AList)]; }

void THeadlessFaceWindow::EndUpdate(TFaceList AList) {
  if (FUpdateDepth[Slot(AList)] > 0) --FUpdateDepth[Slot(AList)];
}

TFaceListItem THeadlessFaceWindow::AddItem(TFaceList AList) {
  std::vector<TItem>& items = FItems[Slot(AList)];
  items.emplace_back();
  return static_cast<TFaceListItem>(items.size() - 1);
}

THeadlessFaceWindow::TItem& THeadlessFaceWindow::Item(TFaceList AList, TFaceListItem AItem) {
  std::vector<TItem>& items = FItems[Slot(AList)];
  if (AItem < 0 || static_cast<size_t>(AItem) >= items.size())
    throw ERangeError(Format("Index out of range = %d", AItem));
  return items[static_cast<size_t>(AItem)];
}

void THeadlessFaceWindow::SetItemThumbnail(TFaceList AList, TFaceListItem AItem, int32_t AThumbnail) {
  Item(AList, AItem).Thumbnail = AThumbnail;
}

void THeadlessFaceWindow::SetItemCaption(TFaceList AList, TFaceListItem AItem, const std::string& ACaption) {
  Item(AList, AItem).Caption = ACaption;
}

void THeadlessFaceWindow::SetProgressPosition(int32_t APosition) {
  FProgressPosition = APosition;
  if (FOnProgress) FOnProgress(FProgressPosition, FProgressMax);
}

void THeadlessFaceWindow::SetLabelText(TFaceLabel ALabel, const std::string& AText) { FLabels[Slot(ALabel)] = AText; }
