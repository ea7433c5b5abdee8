#include "app/FaceConverter.h"

#include <algorithm>
#include <cstring>

#include "platform/Classes.h"

namespace {

[[noreturn]] void Invalid(const std::string& AName, const std::string& AProblem) {
  throw EInvalidPgm("Invalid PGM \"" + AName + "\": " + AProblem);
}

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads the header of a PGM token by token, skipping whitespace and comments.
class TPgmHeaderReader {
 public:
  TPgmHeaderReader(const std::vector<uint8_t>& AData, const std::string& AName) : FData(AData), FName(AName) {}

  // A decimal number of at most 5 digits (enough for any PGM field).
  uint32_t Number(const char* AWhat) {
    SkipSpaceAndComments();
    const size_t at = FPos;
    if (FPos >= FData.size()) Invalid(FName, Format("file ends before the %s at offset %zu", AWhat, at));
    uint32_t value = 0;
    int digits = 0;
    while (FPos < FData.size() && FData[FPos] >= '0' && FData[FPos] <= '9') {
      if (++digits > 5) Invalid(FName, Format("%s at offset %zu has too many digits", AWhat, at));
      value = value * 10 + (FData[FPos] - '0');
      ++FPos;
    }
    if (digits == 0)
      Invalid(FName, Format("%s expected at offset %zu, found byte 0x%02X", AWhat, at, unsigned(FData[FPos])));
    if (FPos < FData.size() && !IsSpace(FData[FPos]) && FData[FPos] != '#')
      Invalid(FName, Format("%s at offset %zu is followed by byte 0x%02X instead of whitespace", AWhat, at,
                            unsigned(FData[FPos])));
    return value;
  }

  // After the maxval exactly one whitespace byte separates header and data.
  size_t DataStart() {
    if (FPos >= FData.size() || !IsSpace(FData[FPos]))
      Invalid(FName, Format("file ends after the maxval at offset %zu", FPos));
    return FPos + 1;
  }

 private:
  void SkipSpaceAndComments() {
    while (FPos < FData.size()) {
      if (IsSpace(FData[FPos])) {
        ++FPos;
      } else if (FData[FPos] == '#') {
        while (FPos < FData.size() && FData[FPos] != '\n' && FData[FPos] != '\r') ++FPos;
      } else {
        break;
      }
    }
  }

  const std::vector<uint8_t>& FData;
  const std::string& FName;
  size_t FPos = 2;  // after the magic
};

}  // namespace

TGreyPicture ReadPgm(const std::vector<uint8_t>& AData, const std::string& AName) {
  if (AData.size() < 2 || AData[0] != 'P' || AData[1] != '5')
    Invalid(AName, "not a binary PGM file (no \"P5\" signature at offset 0)");
  if (AData.size() > 2 && !IsSpace(AData[2]) && AData[2] != '#')
    Invalid(AName, Format("the \"P5\" signature is followed by byte 0x%02X instead of whitespace", unsigned(AData[2])));
  TPgmHeaderReader header(AData, AName);
  const uint32_t width = header.Number("width");
  const uint32_t height = header.Number("height");
  const uint32_t maxval = header.Number("maxval");
  if (width == 0 || height == 0 || width > uint32_t(TBitmap::cMaxDimension) ||
      height > uint32_t(TBitmap::cMaxDimension))
    Invalid(AName, Format("size %u x %u is outside 1 to %d on each side", width, height, TBitmap::cMaxDimension));
  if (maxval == 0 || maxval > 255)
    Invalid(AName, Format("maxval %u is outside 1 to 255 (only one byte per pixel is read)", maxval));
  const size_t dataStart = header.DataStart();
  const size_t count = size_t{width} * height;
  const size_t available = AData.size() - dataStart;
  if (available < count)
    Invalid(AName, Format("pixel data truncated: %zu of %zu bytes at offset %zu", available, count, dataStart));
  if (available > count)
    Invalid(AName, Format("extra data after the %zu bytes of pixel data: %zu more at offset %zu", count,
                          available - count, dataStart + count));

  TGreyPicture picture;
  picture.Width = static_cast<int32_t>(width);
  picture.Height = static_cast<int32_t>(height);
  picture.Pixels.assign(AData.begin() + static_cast<ptrdiff_t>(dataStart),
                        AData.begin() + static_cast<ptrdiff_t>(dataStart + count));
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = picture.Pixels[i];
    if (v > maxval)
      Invalid(AName, Format("level %u at offset %zu exceeds the maxval %u", v, dataStart + i, maxval));
    if (maxval != 255) picture.Pixels[i] = static_cast<uint8_t>((v * 255 * 2 + maxval) / (2 * maxval));
  }
  return picture;
}

TGreyPicture LoadPgmFile(const std::string& AFileName) {
  TFileStream file(AFileName, TFileMode::fmOpenRead);
  const int64_t size = file.GetSize();
  // A 16384 x 16384 picture plus a generous header; anything larger is no PGM of ours.
  constexpr int64_t cMaxFileSize = int64_t{TBitmap::cMaxDimension} * TBitmap::cMaxDimension + 4096;
  if (size < 0 || size > cMaxFileSize)
    Invalid(AFileName, Format("file of %lld bytes is larger than any picture read here", static_cast<long long>(size)));
  std::vector<uint8_t> data(static_cast<size_t>(size));
  file.ReadBuffer(data.data(), size);
  return ReadPgm(data, AFileName);
}

TGreyPicture AreaResample(const TGreyPicture& ASource, int32_t AWidth, int32_t AHeight) {
  if (ASource.Width <= 0 || ASource.Height <= 0 ||
      ASource.Pixels.size() != size_t(ASource.Width) * size_t(ASource.Height) || AWidth <= 0 || AHeight <= 0)
    throw ERangeError(Format("AreaResample: cannot take a %d x %d picture to %d x %d", ASource.Width,
                             ASource.Height, AWidth, AHeight));
  const int64_t sw = ASource.Width, sh = ASource.Height, dw = AWidth, dh = AHeight;
  // Coordinates scaled by the output size: source pixel x spans [x*dw, (x+1)*dw),
  // output pixel X spans [X*sw, (X+1)*sw). Each output pixel's weights add up
  // to sw*sh in units of 1/(dw*dh) of a source pixel.
  auto overlaps = [](int64_t AOut, int64_t AOutLen, int64_t AInLen) {
    std::vector<std::pair<int64_t, int64_t>> weights;  // (source index, weight)
    const int64_t lo = AOut * AInLen, hi = (AOut + 1) * AInLen;
    for (int64_t s = lo / AOutLen; s * AOutLen < hi; ++s) {
      const int64_t a = std::max(lo, s * AOutLen), b = std::min(hi, (s + 1) * AOutLen);
      if (b > a) weights.emplace_back(s, b - a);
    }
    return weights;
  };
  TGreyPicture out;
  out.Width = AWidth;
  out.Height = AHeight;
  out.Pixels.resize(size_t(AWidth) * size_t(AHeight));
  const int64_t total = sw * sh;
  for (int64_t y = 0; y < dh; ++y) {
    const auto wy = overlaps(y, dh, sh);
    for (int64_t x = 0; x < dw; ++x) {
      const auto wx = overlaps(x, dw, sw);
      int64_t sum = 0;
      for (const auto& [sy, ky] : wy)
        for (const auto& [sx, kx] : wx) sum += ky * kx * ASource.Pixels[size_t(sy * sw + sx)];
      out.Pixels[size_t(y * dw + x)] = static_cast<uint8_t>((2 * sum + total) / (2 * total));
    }
  }
  return out;
}

void GreyPictureToBitmap(const TGreyPicture& APicture, TBitmap& ABitmap) {
  ABitmap.SetSize(APicture.Width, APicture.Height);  // grey palette
  for (int32_t row = 0; row < APicture.Height; ++row)
    std::memcpy(ABitmap.ScanLine(row), APicture.Pixels.data() + size_t(row) * size_t(APicture.Width),
                size_t(APicture.Width));
}

void ConvertAttFaces(const std::string& AAttFolder, const std::string& AOutFolder,
                     const std::function<void(const std::string&)>& AProgress) {
  ConvertAttFaces(AAttFolder, AOutFolder, cAttPictures, AProgress);
}

void ConvertAttFaces(const std::string& AAttFolder, const std::string& AOutFolder, int32_t ATestPicture,
                     const std::function<void(const std::string&)>& AProgress) {
  if (ATestPicture < 1 || ATestPicture > cAttPictures)
    throw ERangeError(Format("Test picture %d out of range: the database has pictures 1 to %d", ATestPicture,
                             cAttPictures));
  TBitmap bitmap;
  for (int32_t p = 1; p <= cAttPersons; ++p) {
    for (int32_t i = 1; i <= cAttPictures; ++i) {
      const std::string source = Format("%s/s%d/%d.pgm", AAttFolder.c_str(), p, i);
      const TGreyPicture picture = LoadPgmFile(source);
      if (picture.Width != cAttWidth || picture.Height != cAttHeight)
        Invalid(source, Format("size %d x %d, but the face database's pictures are %d x %d", picture.Width,
                               picture.Height, cAttWidth, cAttHeight));
      GreyPictureToBitmap(AreaResample(picture, cFaceSize, cFaceSize), bitmap);
      const std::string target =
          i == ATestPicture ? Format("%s/Reco_%d.bmp", AOutFolder.c_str(), p)
                            : Format("%s/Train_%d_%d.bmp", AOutFolder.c_str(), p, i < ATestPicture ? i : i - 1);
      bitmap.SaveToFile(target);
      if (AProgress) AProgress(target);
    }
  }
}
