// The BMP reader: any bytes either load as a picture or raise the picture's
// error. A picture that loads, saved and loaded again, is the same picture.
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "platform/Graphics.h"

namespace {

bool SamePicture(const TBitmap& A, const TBitmap& B) {
  return A.Width() == B.Width() && A.Height() == B.Height() && A.RowStride() == B.RowStride() &&
         A.Palette() == B.Palette() && A.PixelDataSize() == B.PixelDataSize() &&
         std::memcmp(A.ScanLine(A.Height() - 1), B.ScanLine(B.Height() - 1), A.PixelDataSize()) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TMemoryStream in = FuzzStream(AData, ASize);
  TBitmap picture;
  try {
    picture.LoadFromStream(in, "fuzz.bmp");
  } catch (const Exception&) {
    FuzzCheck(picture.Empty(), "a failed load changed the picture");
    return 0;
  }
  FuzzCheck(!picture.Empty(), "a loaded picture is empty");
  TMemoryStream saved;
  picture.SaveToStream(saved);
  saved.SetPosition(0);
  TBitmap again;
  again.LoadFromStream(saved, "saved.bmp");
  FuzzCheck(SamePicture(picture, again), "a saved picture loads as another one");
  return 0;
}
