// The PGM reader: any bytes either read as a grey picture or raise
// EInvalidPgm. A picture that reads, written back as a P5 file of maxval
// 255, reads as the same picture.
#include <string>

#include "app/FaceConverter.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  const std::vector<uint8_t> data(AData, AData + ASize);
  TGreyPicture picture;
  try {
    picture = ReadPgm(data, "fuzz.pgm");
  } catch (const EInvalidPgm&) {
    return 0;
  }
  FuzzCheck(picture.Width > 0 && picture.Height > 0 &&
                picture.Pixels.size() == size_t(picture.Width) * size_t(picture.Height),
            "a picture read with a size that does not fit its pixels");
  const std::string header = Format("P5\n%d %d\n255\n", picture.Width, picture.Height);
  std::vector<uint8_t> written(header.begin(), header.end());
  written.insert(written.end(), picture.Pixels.begin(), picture.Pixels.end());
  const TGreyPicture again = ReadPgm(written, "written.pgm");
  FuzzCheck(again.Width == picture.Width && again.Height == picture.Height && again.Pixels == picture.Pixels,
            "a written picture reads as another one");
  return 0;
}
