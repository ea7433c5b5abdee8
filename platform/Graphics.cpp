#include "platform/Graphics.h"

#include <cstring>
#include <limits>

#include "platform/Classes.h"

namespace {

constexpr uint32_t cFileHeaderSize = 14;
constexpr uint32_t cInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr uint32_t cMaxPaletteEntries = 256;
constexpr uint16_t cMagic = 0x4D42;  // "BM"

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t GetI32(const uint8_t* p) {
  const uint32_t u = GetU32(p);
  int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Row length of an 8-bit picture: padded to a multiple of 4 bytes.
uint32_t StrideOf(int32_t AWidth) { return (static_cast<uint32_t>(AWidth) + 3u) & ~3u; }

std::vector<TRGBQuad> GreyPalette() {
  std::vector<TRGBQuad> palette(cMaxPaletteEntries);
  for (uint32_t i = 0; i < cMaxPaletteEntries; ++i) {
    const auto g = static_cast<uint8_t>(i);
    palette[i] = TRGBQuad{g, g, g, 0};
  }
  return palette;
}

[[noreturn]] void Invalid(const std::string& AName, const std::string& AProblem) {
  throw EInvalidGraphic("Invalid bitmap \"" + AName + "\": " + AProblem);
}

}  // namespace

void TBitmap::LoadFromFile(const std::string& AFileName) {
  TFileStream file(AFileName, TFileMode::fmOpenRead);
  LoadFromStream(file, AFileName);
}

void TBitmap::LoadFromStream(TStream& AStream, const std::string& AName) {
  const int64_t start = AStream.GetPosition();
  const int64_t total = AStream.GetSize();
  // Everything below is measured from the start of the picture.
  const uint64_t fileSize = total > start ? static_cast<uint64_t>(total - start) : 0;

  uint8_t header[cFileHeaderSize + cInfoHeaderSize];
  if (fileSize < sizeof header)
    Invalid(AName, Format("file of %llu bytes is shorter than the %u bytes of the BMP headers",
                          static_cast<unsigned long long>(fileSize), unsigned(sizeof header)));
  AStream.ReadBuffer(header, sizeof header);

  if (GetU16(header) != cMagic) Invalid(AName, "not a BMP file (no \"BM\" signature at offset 0)");
  const uint32_t pixelOffset = GetU32(header + 10);
  const uint8_t* info = header + cFileHeaderSize;
  const uint32_t infoSize = GetU32(info);
  // The Windows 3 header and its V2 to V5 extensions share the first 40 bytes.
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
    Invalid(AName, Format("unsupported info header size %u at offset 14", infoSize));
  const int32_t width = GetI32(info + 4);
  const int32_t rawHeight = GetI32(info + 8);
  const uint16_t planes = GetU16(info + 12);
  const uint16_t bitCount = GetU16(info + 14);
  const uint32_t compression = GetU32(info + 16);
  const uint32_t colorsUsed = GetU32(info + 32);

  if (width <= 0 || width > cMaxDimension)
    Invalid(AName, Format("width %d is outside 1 to %d", width, cMaxDimension));
  if (rawHeight == 0 || rawHeight < -cMaxDimension || rawHeight > cMaxDimension)
    Invalid(AName, Format("height %d is outside 1 to %d (negative for top-down)", rawHeight, cMaxDimension));
  if (planes != 1) Invalid(AName, Format("%u colour planes (expected 1)", planes));
  if (bitCount != 8)
    Invalid(AName, Format("unsupported bit depth %u (only 8-bit palette-indexed pictures are read)", bitCount));
  if (compression != 0)
    Invalid(AName, Format("unsupported compression %u (only uncompressed pictures are read)", compression));
  if (colorsUsed > cMaxPaletteEntries)
    Invalid(AName, Format("palette of %u colours is larger than the %u an 8-bit picture has", colorsUsed,
                          cMaxPaletteEntries));

  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  const uint32_t paletteCount = colorsUsed == 0 ? cMaxPaletteEntries : colorsUsed;
  const uint64_t paletteOffset = uint64_t{cFileHeaderSize} + infoSize;
  const uint64_t paletteEnd = paletteOffset + uint64_t{4} * paletteCount;
  const uint32_t stride = StrideOf(width);
  const uint64_t pixelSize = uint64_t{stride} * static_cast<uint64_t>(height);

  if (paletteEnd > fileSize)
    Invalid(AName, Format("palette of %u colours at offset %llu runs past the end of the file (%llu bytes)",
                          paletteCount, static_cast<unsigned long long>(paletteOffset),
                          static_cast<unsigned long long>(fileSize)));
  if (pixelOffset < paletteEnd)
    Invalid(AName, Format("pixel data offset %u lies inside the headers or the palette (which end at %llu)",
                          pixelOffset, static_cast<unsigned long long>(paletteEnd)));
  if (pixelOffset + pixelSize > fileSize)
    Invalid(AName, Format("pixel data of %llu bytes at offset %u run past the end of the file (%llu bytes)",
                          static_cast<unsigned long long>(pixelSize), pixelOffset,
                          static_cast<unsigned long long>(fileSize)));

  std::vector<uint8_t> rawPalette(4 * size_t{paletteCount});
  AStream.SetPosition(start + static_cast<int64_t>(paletteOffset));
  AStream.ReadBuffer(rawPalette.data(), static_cast<int64_t>(rawPalette.size()));
  std::vector<TRGBQuad> palette(paletteCount);
  for (uint32_t i = 0; i < paletteCount; ++i)
    palette[i] = TRGBQuad{rawPalette[4 * i], rawPalette[4 * i + 1], rawPalette[4 * i + 2], rawPalette[4 * i + 3]};

  std::vector<uint8_t> pixels(static_cast<size_t>(pixelSize));
  AStream.SetPosition(start + static_cast<int64_t>(pixelOffset));
  if (!topDown) {
    AStream.ReadBuffer(pixels.data(), static_cast<int64_t>(pixelSize));
  } else {
    // The file's first row is the top one; storage keeps the bottom one first.
    for (int32_t row = 0; row < height; ++row)
      AStream.ReadBuffer(pixels.data() + size_t{stride} * static_cast<size_t>(height - 1 - row), stride);
  }

  FWidth = width;
  FHeight = height;
  FStride = stride;
  FPixels = std::move(pixels);
  FPalette = std::move(palette);
  FFileName = AName;
}

void TBitmap::SaveToFile(const std::string& AFileName) const {
  TFileStream file(AFileName, TFileMode::fmCreate);
  SaveToStream(file);
}

void TBitmap::SaveToStream(TStream& AStream) const {
  if (Empty()) throw EInvalidGraphic("Invalid bitmap: an empty picture cannot be saved");
  const std::vector<TRGBQuad> palette = FPalette.empty() ? GreyPalette() : FPalette;
  const auto paletteBytes = static_cast<uint32_t>(4 * palette.size());
  const uint32_t pixelOffset = cFileHeaderSize + cInfoHeaderSize + paletteBytes;
  const auto pixelSize = static_cast<uint32_t>(FPixels.size());
  constexpr uint32_t cPixelsPerMetre = 2835;  // 72 pixels per inch

  uint8_t header[cFileHeaderSize + cInfoHeaderSize] = {};
  PutU16(header, cMagic);
  PutU32(header + 2, pixelOffset + pixelSize);
  PutU32(header + 10, pixelOffset);
  uint8_t* info = header + cFileHeaderSize;
  PutU32(info, cInfoHeaderSize);
  PutU32(info + 4, static_cast<uint32_t>(FWidth));
  PutU32(info + 8, static_cast<uint32_t>(FHeight));  // positive: bottom-up
  PutU16(info + 12, 1);
  PutU16(info + 14, 8);
  PutU32(info + 16, 0);
  PutU32(info + 20, pixelSize);
  PutU32(info + 24, cPixelsPerMetre);
  PutU32(info + 28, cPixelsPerMetre);
  PutU32(info + 32, static_cast<uint32_t>(palette.size()));
  PutU32(info + 36, static_cast<uint32_t>(palette.size()));

  std::vector<uint8_t> out(header, header + sizeof header);
  for (const TRGBQuad& q : palette) out.insert(out.end(), {q.Blue, q.Green, q.Red, q.Reserved});
  out.insert(out.end(), FPixels.begin(), FPixels.end());
  AStream.WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TBitmap::SetSize(int32_t AWidth, int32_t AHeight) {
  if (AWidth <= 0 || AWidth > cMaxDimension || AHeight <= 0 || AHeight > cMaxDimension)
    throw EInvalidGraphic(Format("Invalid bitmap size %d x %d (each side must lie in 1 to %d)", AWidth, AHeight,
                                 cMaxDimension));
  FWidth = AWidth;
  FHeight = AHeight;
  FStride = StrideOf(AWidth);
  FPixels.assign(size_t{FStride} * static_cast<size_t>(AHeight), 0);
  FPalette = GreyPalette();
  FFileName.clear();
}

uint8_t* TBitmap::ScanLine(int32_t ARow) {
  return const_cast<uint8_t*>(static_cast<const TBitmap*>(this)->ScanLine(ARow));
}

const uint8_t* TBitmap::ScanLine(int32_t ARow) const {
  if (ARow < 0 || ARow >= FHeight) throw ERangeError(Format("Row out of range = %d", ARow));
  return FPixels.data() + size_t{FStride} * static_cast<size_t>(FHeight - 1 - ARow);
}

void TBitmap::SetPalette(std::vector<TRGBQuad> APalette) {
  if (APalette.empty() || APalette.size() > cMaxPaletteEntries)
    throw EInvalidGraphic(Format("Invalid bitmap palette of %zu colours (1 to %u allowed)", APalette.size(),
                                 cMaxPaletteEntries));
  FPalette = std::move(APalette);
}
