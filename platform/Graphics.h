// The off-screen picture holder: an 8-bit palette-indexed bitmap that loads
// and saves BMP files and gives row access to its pixel bytes.
//
// The pixels are kept as a bottom-up BMP keeps them, whatever the direction of
// the file they came from: the bottom row first, each row from left to right,
// rows padded to a multiple of 4 bytes. ScanLine(Height - 1) is therefore the
// start of the storage, and a picture whose width is a multiple of 4 has its
// rows follow each other directly (a 32x32 picture is exactly 1024 bytes).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

class TStream;

// A picture file that cannot be used: "Invalid bitmap "<file>": <problem>".
class EInvalidGraphic : public Exception {
  using Exception::Exception;
};

// One palette entry, in the file's order (blue, green, red, reserved).
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

class TBitmap : public TObject {
 public:
  // Largest width and height accepted from a file or SetSize [pixels].
  static constexpr int32_t cMaxDimension = 16384;

  TBitmap() = default;

  // Reads an uncompressed 8-bit palette-indexed BMP (bottom-up or top-down,
  // any size up to cMaxDimension). Every other kind of file, and every header
  // field that points outside the file, raises EInvalidGraphic naming the file
  // and the problem; a missing or unreadable file raises EFOpenError. On any
  // failure the holder keeps the picture it had.
  void LoadFromFile(const std::string& AFileName);
  // The same from a stream; AName names the source in error messages.
  void LoadFromStream(TStream& AStream, const std::string& AName);

  // Writes an uncompressed 8-bit bottom-up BMP with the holder's palette.
  void SaveToFile(const std::string& AFileName) const;
  void SaveToStream(TStream& AStream) const;

  // A new picture of the given size, every pixel 0, the grey palette (index i
  // = grey level i). Raises EInvalidGraphic for sizes of 0, below 0 or above
  // cMaxDimension.
  void SetSize(int32_t AWidth, int32_t AHeight);

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Bytes from one row's start to the next [bytes].
  uint32_t RowStride() const { return FStride; }
  // Size of the whole pixel storage: RowStride() x Height() [bytes].
  size_t PixelDataSize() const { return FPixels.size(); }

  // Name of the file the picture was last loaded from ("" when made by
  // SetSize or read from a stream without a name).
  const std::string& FileName() const { return FFileName; }

  // The bytes of row ARow, counted from the top (0) to the bottom
  // (Height - 1). Raises ERangeError "Row out of range = %d" for other rows.
  uint8_t* ScanLine(int32_t ARow);
  const uint8_t* ScanLine(int32_t ARow) const;

  const std::vector<TRGBQuad>& Palette() const { return FPalette; }
  void SetPalette(std::vector<TRGBQuad> APalette);

 private:
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  uint32_t FStride = 0;
  std::vector<uint8_t> FPixels;  // bottom row first
  std::vector<TRGBQuad> FPalette;
  std::string FFileName;
};
