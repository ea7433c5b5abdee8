// Turning the AT&T face database ("The Database of Faces", AT&T Laboratories
// Cambridge) as distributed into the demo's face folder.
//
// The database holds s<p>/<i>.pgm for persons p = 1..40 and pictures
// i = 1..10, binary PGM (P5) of 92 x 112 pixels. Pictures 1 to 9 become
// Train_<p>_<i>.bmp and picture 10 becomes Reco_<p>.bmp: each is reduced to
// 32 x 32 by area averaging and written as an 8-bit grey-palette BMP, rows
// bottom-up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/SysUtils.h"

// A PGM file that cannot be used: "Invalid PGM "<file>": <problem>".
class EInvalidPgm : public Exception {
  using Exception::Exception;
};

// A grey picture, rows top to bottom, one byte per pixel, levels 0..255.
struct TGreyPicture {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Pixels;  // Width x Height bytes, top row first
};

// Reads a binary PGM (P5) with a maxval of 1 to 255: the magic and the header
// numbers each followed by whitespace ("#" comments run to the end of the
// line), a single whitespace byte after the maxval, then exactly Width x
// Height bytes, which end the file (more bytes are refused as well). Levels
// of a maxval below 255 are scaled to 0..255 (rounded to nearest). Every
// deviation raises EInvalidPgm naming AName, the problem and its offset.
TGreyPicture ReadPgm(const std::vector<uint8_t>& AData, const std::string& AName);
TGreyPicture LoadPgmFile(const std::string& AFileName);

// Area averaging: output pixel (x, y) is the mean of the source over the
// rectangle it covers, every source pixel weighted by the fraction of it
// inside, rounded to the nearest level (halves up). Exact integer arithmetic.
TGreyPicture AreaResample(const TGreyPicture& ASource, int32_t AWidth, int32_t AHeight);

// The picture as an 8-bit grey-palette bitmap (palette index = grey level).
void GreyPictureToBitmap(const TGreyPicture& APicture, TBitmap& ABitmap);

// Size of the pictures of the database as distributed, and of the face folder.
inline constexpr int32_t cAttWidth = 92;
inline constexpr int32_t cAttHeight = 112;
inline constexpr int32_t cFaceSize = 32;
inline constexpr int32_t cAttPersons = 40;
inline constexpr int32_t cAttPictures = 10;

// Converts the database in AAttFolder into AOutFolder (which must exist).
// Stops at the first file that is missing or malformed (the error names it);
// files written before stay. AProgress, when set, is told each file written.
void ConvertAttFaces(const std::string& AAttFolder, const std::string& AOutFolder,
                     const std::function<void(const std::string&)>& AProgress = {});
// The same with picture ATestPicture (1 to 10) of each person as its
// Reco_<p>.bmp; the other nine, in ascending order, become Train_<p>_1 to
// Train_<p>_9. Another ATestPicture raises ERangeError naming it.
void ConvertAttFaces(const std::string& AAttFolder, const std::string& AOutFolder, int32_t ATestPicture,
                     const std::function<void(const std::string&)>& AProgress = {});
