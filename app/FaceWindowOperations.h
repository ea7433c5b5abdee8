// What the face recognition driver asks of its window. The main window
// provides these operations over its controls (TControlFaceWindow), which the
// command line program and the desktop window share; THeadlessFaceWindow is
// a plain in-memory provider of the same operations, for tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Graphics.h"

// The two icon-view lists: training items and recognition items.
enum class TFaceList { flListView1, flListView2 };
// The status labels below the lists.
enum class TFaceLabel { flbTrainLabel, flbRecognizeLabel };
// The two push buttons.
enum class TFaceButton { fbTrainButton, fbRecognizeButton };

// An item of a list: its position in that list, 0 for the first item added.
using TFaceListItem = int32_t;

// The window operations. The window owns its provider of them; the driver
// only borrows it. All calls come from the thread that runs the passes.
class IFaceWindowOperations {
 public:
  // Reads the BMP file AFileName (relative to the window's face folder base,
  // see the provider) into APicture. Raises the picture loader's error, which
  // names the file and what is wrong with it.
  virtual void LoadPicture(TBitmap& APicture, const std::string& AFileName) = 0;
  // Appends APicture to the thumbnail list ImageList1 (no mask); the new
  // thumbnail's index is ThumbnailCount() - 1.
  virtual void AddThumbnail(const TBitmap& APicture) = 0;
  virtual int32_t ThumbnailCount() = 0;
  // Suspend and resume the repainting of a list while many items are added.
  virtual void BeginUpdate(TFaceList AList) = 0;
  virtual void EndUpdate(TFaceList AList) = 0;
  virtual TFaceListItem AddItem(TFaceList AList) = 0;
  virtual void SetItemThumbnail(TFaceList AList, TFaceListItem AItem, int32_t AThumbnail) = 0;
  virtual void SetItemCaption(TFaceList AList, TFaceListItem AItem, const std::string& ACaption) = 0;
  // ProgressBar1; its minimum stays 0.
  virtual void SetProgressMax(int32_t AMax) = 0;
  virtual void SetProgressPosition(int32_t APosition) = 0;
  virtual void SetLabelText(TFaceLabel ALabel, const std::string& AText) = 0;
  virtual void EnableButton(TFaceButton AButton) = 0;
  virtual void DisableButton(TFaceButton AButton) = 0;

 protected:
  ~IFaceWindowOperations() = default;
};
