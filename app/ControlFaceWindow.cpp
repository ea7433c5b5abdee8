#include "app/ControlFaceWindow.h"

#include "app/Unit1.h"

namespace {
template <class T>
T& Need(T* AControl, const char* AName) {
  if (AControl == nullptr) throw EComponentError(Format("The window has no control %s", AName));
  return *AControl;
}
}  // namespace

std::string TControlFaceWindow::ResolvePictureName(const std::string& AFileName) const {
  const std::string prefix = std::string(TForm1::cFacesFolder) + "/";
  if (AFileName.compare(0, prefix.size(), prefix) == 0) return FFacesFolder + "/" + AFileName.substr(prefix.size());
  return AFileName;
}

TListView& TControlFaceWindow::List(TFaceList AList) const {
  return AList == TFaceList::flListView1 ? Need(FForm.ListView1, "ListView1") : Need(FForm.ListView2, "ListView2");
}

TLabel& TControlFaceWindow::Label(TFaceLabel ALabel) const {
  return ALabel == TFaceLabel::flbTrainLabel ? Need(FForm.TrainLabel, "TrainLabel")
                                              : Need(FForm.RecognizeLabel, "RecognizeLabel");
}

TButton& TControlFaceWindow::Button(TFaceButton AButton) const {
  return AButton == TFaceButton::fbTrainButton ? Need(FForm.TrainButton, "TrainButton")
                                                : Need(FForm.RecognizeButton, "RecognizeButton");
}

void TControlFaceWindow::LoadPicture(TBitmap& APicture, const std::string& AFileName) {
  APicture.LoadFromFile(ResolvePictureName(AFileName));
}

void TControlFaceWindow::AddThumbnail(const TBitmap& APicture) { Need(FForm.ImageList1, "ImageList1").Add(APicture); }

int32_t TControlFaceWindow::ThumbnailCount() { return Need(FForm.ImageList1, "ImageList1").Count(); }

void TControlFaceWindow::BeginUpdate(TFaceList AList) { List(AList).BeginUpdate(); }

void TControlFaceWindow::EndUpdate(TFaceList AList) { List(AList).EndUpdate(); }

TFaceListItem TControlFaceWindow::AddItem(TFaceList AList) { return List(AList).AddItem(); }

void TControlFaceWindow::SetItemThumbnail(TFaceList AList, TFaceListItem AItem, int32_t AThumbnail) {
  List(AList).SetItemImageIndex(AItem, AThumbnail);
}

void TControlFaceWindow::SetItemCaption(TFaceList AList, TFaceListItem AItem, const std::string& ACaption) {
  List(AList).SetItemCaption(AItem, ACaption);
}

void TControlFaceWindow::SetProgressMax(int32_t AMax) { Need(FForm.ProgressBar1, "ProgressBar1").SetMax(AMax); }

void TControlFaceWindow::SetProgressPosition(int32_t APosition) {
  TProgressBar& bar = Need(FForm.ProgressBar1, "ProgressBar1");
  bar.SetPosition(APosition);
  if (FOnProgress) FOnProgress(bar.GetPosition(), bar.GetMax());
}

void TControlFaceWindow::SetLabelText(TFaceLabel ALabel, const std::string& AText) { Label(ALabel).SetCaption(AText); }

void TControlFaceWindow::EnableButton(TFaceButton AButton) { Button(AButton).SetEnabled(true); }

void TControlFaceWindow::DisableButton(TFaceButton AButton) { Button(AButton).SetEnabled(false); }
