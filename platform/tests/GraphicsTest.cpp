#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"

namespace {

void Put16(std::vector<uint8_t>& f, size_t at, uint16_t v) {
  f[at] = uint8_t(v);
  f[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// Pixel value of column x, row y counted from the top.
uint8_t PixelAt(int32_t x, int32_t y) { return uint8_t(x * 7 + y * 31 + 1); }

// An 8-bit BMP as a writer of that format makes it: 40-byte info header,
// APaletteCount entries, rows padded to 4 bytes, bottom-up unless ATopDown.
std::vector<uint8_t> MakeBmp(int32_t AWidth, int32_t AHeight, bool ATopDown = false, uint32_t APaletteCount = 256) {
  const uint32_t stride = (uint32_t(AWidth) + 3) & ~3u;
  const uint32_t offset = 14 + 40 + 4 * APaletteCount;
  std::vector<uint8_t> f(offset + stride * uint32_t(AHeight), 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, uint32_t(f.size()));
  Put32(f, 10, offset);
  Put32(f, 14, 40);
  Put32(f, 18, uint32_t(AWidth));
  Put32(f, 22, uint32_t(ATopDown ? -AHeight : AHeight));
  Put16(f, 26, 1);
  Put16(f, 28, 8);
  Put32(f, 46, APaletteCount == 256 ? 0 : APaletteCount);
  for (uint32_t i = 0; i < APaletteCount; ++i) f[54 + 4 * i] = f[55 + 4 * i] = f[56 + 4 * i] = uint8_t(i);
  for (int32_t y = 0; y < AHeight; ++y) {
    const int32_t fileRow = ATopDown ? y : AHeight - 1 - y;
    for (int32_t x = 0; x < AWidth; ++x) f[offset + uint32_t(fileRow) * stride + uint32_t(x)] = PixelAt(x, y);
  }
  return f;
}

void LoadBytes(TBitmap& ABitmap, std::vector<uint8_t> ABytes, const std::string& AName = "face.bmp") {
  TMemoryStream stream(std::move(ABytes));
  ABitmap.LoadFromStream(stream, AName);
}

struct TDirectionCase {
  int32_t Width, Height;
  bool TopDown;
};

class BitmapLoadTest : public ::testing::TestWithParam<TDirectionCase> {};

// Whatever the direction of the file, rows are addressed from the top and the
// storage starts with the bottom row, rows padded to 4 bytes.
TEST_P(BitmapLoadTest, RowsAreAddressedFromTheTopAndStoredBottomUp) {
  const TDirectionCase c = GetParam();
  TBitmap b;
  LoadBytes(b, MakeBmp(c.Width, c.Height, c.TopDown));
  ASSERT_EQ(b.Width(), c.Width);
  ASSERT_EQ(b.Height(), c.Height);
  const uint32_t stride = (uint32_t(c.Width) + 3) & ~3u;
  EXPECT_EQ(b.RowStride(), stride);
  EXPECT_EQ(b.PixelDataSize(), size_t(stride) * size_t(c.Height));
  for (int32_t y = 0; y < c.Height; ++y)
    for (int32_t x = 0; x < c.Width; ++x) ASSERT_EQ(b.ScanLine(y)[x], PixelAt(x, y)) << "x " << x << " y " << y;
  const uint8_t* storage = b.ScanLine(c.Height - 1);
  for (int32_t y = 0; y < c.Height; ++y)
    EXPECT_EQ(b.ScanLine(y), storage + size_t(stride) * size_t(c.Height - 1 - y));
  EXPECT_EQ(b.Palette().size(), 256u);
  EXPECT_EQ(b.FileName(), "face.bmp");
}

INSTANTIATE_TEST_SUITE_P(Directions, BitmapLoadTest,
                         ::testing::Values(TDirectionCase{32, 32, false}, TDirectionCase{32, 32, true},
                                           TDirectionCase{5, 3, false}, TDirectionCase{5, 3, true},
                                           TDirectionCase{1, 1, true}));

TEST(BitmapTest, TopDownAndBottomUpFilesGiveTheSameStorage) {
  TBitmap up, down;
  LoadBytes(up, MakeBmp(32, 32, false));
  LoadBytes(down, MakeBmp(32, 32, true));
  ASSERT_EQ(up.PixelDataSize(), 1024u);
  EXPECT_EQ(std::memcmp(up.ScanLine(31), down.ScanLine(31), 1024), 0);
  // Byte k of the storage: row 31 - k / 32 from the top, column k % 32.
  for (int k = 0; k < 1024; ++k) ASSERT_EQ(down.ScanLine(31)[k], PixelAt(k % 32, 31 - k / 32)) << k;
}

TEST(BitmapTest, SmallPaletteIsAccepted) {
  TBitmap b;
  LoadBytes(b, MakeBmp(4, 2, false, 16));
  EXPECT_EQ(b.Palette().size(), 16u);
  EXPECT_EQ(b.ScanLine(0)[3], PixelAt(3, 0));
}

TEST(BitmapTest, ScanLineOutsideThePictureIsARangeError) {
  TBitmap b;
  LoadBytes(b, MakeBmp(4, 2));
  EXPECT_THROW(b.ScanLine(2), ERangeError);
  EXPECT_THROW(b.ScanLine(-1), ERangeError);
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), ERangeError);
}

TEST(BitmapTest, SetSizeMakesAGreyPictureAndRefusesBadSizes) {
  TBitmap b;
  b.SetSize(3, 2);
  EXPECT_EQ(b.RowStride(), 4u);
  EXPECT_EQ(b.ScanLine(1)[2], 0);
  ASSERT_EQ(b.Palette().size(), 256u);
  EXPECT_EQ(b.Palette()[200], (TRGBQuad{200, 200, 200, 0}));
  EXPECT_THROW(b.SetSize(0, 5), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(5, -1), EInvalidGraphic);
  EXPECT_THROW(b.SetSize(TBitmap::cMaxDimension + 1, 1), EInvalidGraphic);
  EXPECT_EQ(b.Width(), 3);  // unchanged by the refused sizes
}

// Saving writes an uncompressed 8-bit bottom-up file with the whole palette,
// which reads back the same picture.
TEST(BitmapTest, SaveWritesABottomUpBmpThatLoadsBack) {
  TBitmap b;
  LoadBytes(b, MakeBmp(5, 3, true));
  TMemoryStream out;
  b.SaveToStream(out);
  const std::vector<uint8_t>& f = out.Data();
  ASSERT_EQ(f.size(), 14u + 40 + 1024 + 8 * 3);
  auto u32 = [&](size_t at) { return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24; };
  EXPECT_EQ(u32(2), f.size());
  EXPECT_EQ(u32(10), 14u + 40 + 1024);
  EXPECT_EQ(u32(22), 3u) << "positive height: bottom-up";
  EXPECT_EQ(f[28], 8);
  EXPECT_EQ(u32(30), 0u);
  EXPECT_EQ(u32(46), 256u);
  // The first stored row is the bottom one.
  EXPECT_EQ(f[14 + 40 + 1024], PixelAt(0, 2));
  TBitmap again;
  out.SetPosition(0);
  again.LoadFromStream(out, "saved");
  for (int32_t y = 0; y < 3; ++y)
    EXPECT_EQ(std::memcmp(again.ScanLine(y), b.ScanLine(y), 5), 0) << "row " << y;
  EXPECT_EQ(again.Palette(), b.Palette());
  TBitmap empty;
  EXPECT_THROW(empty.SaveToStream(out), EInvalidGraphic);
}

TEST(BitmapTest, SavedFacePictureEqualsTheSharedFileByteForByte) {
  const std::string name = std::string(FR_SHARED_DIR) + "/datasets/faces/Train_1_1.bmp";
  TBitmap b;
  b.LoadFromFile(name);
  const std::string copy = std::string(FR_TEST_TMP_DIR) + "/graphics_copy.bmp";
  b.SaveToFile(copy);
  TFileStream original(name, TFileMode::fmOpenRead), saved(copy, TFileMode::fmOpenRead);
  std::vector<uint8_t> a(size_t(original.GetSize())), c(size_t(saved.GetSize()));
  original.ReadBuffer(a.data(), int64_t(a.size()));
  saved.ReadBuffer(c.data(), int64_t(c.size()));
  EXPECT_EQ(a, c);
}

TEST(BitmapTest, MissingFileIsAnOpenErrorNamingIt) {
  TBitmap b;
  try {
    b.LoadFromFile(std::string(FR_TEST_TMP_DIR) + "/no_such_picture.bmp");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("no_such_picture.bmp"), std::string::npos) << e.what();
  }
}

// ---------------------------------------------------------------------------
// Malformed files: every one is refused with the file's name and the problem,
// and the holder keeps the picture it had.

struct TCorruption {
  const char* Name;
  std::function<void(std::vector<uint8_t>&)> Corrupt;
  const char* Problem;  // part of the expected message
};

class BitmapCorruptionTest : public ::testing::TestWithParam<TCorruption> {};

TEST_P(BitmapCorruptionTest, IsRefusedWithTheFileAndTheProblem) {
  const TCorruption& c = GetParam();
  std::vector<uint8_t> bytes = MakeBmp(32, 32);
  c.Corrupt(bytes);
  TBitmap b;
  LoadBytes(b, MakeBmp(4, 2), "before.bmp");
  try {
    LoadBytes(b, bytes, "broken.bmp");
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("\"broken.bmp\""), std::string::npos) << m;
    EXPECT_NE(m.find(c.Problem), std::string::npos) << m;
  }
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.FileName(), "before.bmp");
  EXPECT_EQ(b.ScanLine(1)[3], PixelAt(3, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BitmapCorruptionTest,
    ::testing::Values(
        TCorruption{"Empty", [](auto& f) { f.clear(); }, "shorter than"},
        TCorruption{"HeaderCut", [](auto& f) { f.resize(30); }, "shorter than"},
        TCorruption{"NoSignature", [](auto& f) { f[0] = 'P'; }, "\"BM\" signature"},
        TCorruption{"CoreHeader", [](auto& f) { Put32(f, 14, 12); }, "info header size 12"},
        TCorruption{"HugeHeaderSize", [](auto& f) { Put32(f, 14, 0xFFFFFFF0u); }, "info header size"},
        TCorruption{"ZeroWidth", [](auto& f) { Put32(f, 18, 0); }, "width 0"},
        TCorruption{"NegativeWidth", [](auto& f) { Put32(f, 18, uint32_t(-32)); }, "width -32"},
        TCorruption{"OverlongWidth", [](auto& f) { Put32(f, 18, 0x7FFFFFFF); }, "width 2147483647"},
        TCorruption{"ZeroHeight", [](auto& f) { Put32(f, 22, 0); }, "height 0"},
        TCorruption{"MostNegativeHeight", [](auto& f) { Put32(f, 22, 0x80000000u); }, "height -2147483648"},
        TCorruption{"TwoPlanes", [](auto& f) { Put16(f, 26, 2); }, "2 colour planes"},
        TCorruption{"TrueColour", [](auto& f) { Put16(f, 28, 24); }, "bit depth 24"},
        TCorruption{"FourBit", [](auto& f) { Put16(f, 28, 4); }, "bit depth 4"},
        TCorruption{"Monochrome", [](auto& f) { Put16(f, 28, 1); }, "bit depth 1"},
        TCorruption{"RunLength", [](auto& f) { Put32(f, 30, 1); }, "compression 1"},
        TCorruption{"BitFields", [](auto& f) { Put32(f, 30, 3); }, "compression 3"},
        TCorruption{"PaletteTooLarge", [](auto& f) { Put32(f, 46, 257); }, "palette of 257 colours"},
        TCorruption{"PaletteCountWraps", [](auto& f) { Put32(f, 46, 0xFFFFFFFFu); }, "palette of 4294967295"},
        TCorruption{"PalettePastTheEnd", [](auto& f) { f.resize(14 + 40 + 100); }, "runs past the end"},
        TCorruption{"OffsetInsideHeaders", [](auto& f) { Put32(f, 10, 20); }, "pixel data offset 20"},
        TCorruption{"OffsetInsidePalette", [](auto& f) { Put32(f, 10, 14 + 40 + 1000); }, "pixel data offset 1054"},
        TCorruption{"OffsetPastTheEnd", [](auto& f) { Put32(f, 10, 0xFFFFFF00u); }, "run past the end"},
        TCorruption{"PixelsCut", [](auto& f) { f.pop_back(); }, "run past the end"},
        TCorruption{"TallerThanTheData", [](auto& f) { Put32(f, 22, 33); }, "run past the end"},
        TCorruption{"LargestPictureWithoutData", [](auto& f) {
                      Put32(f, 18, TBitmap::cMaxDimension);
                      Put32(f, 22, uint32_t(-TBitmap::cMaxDimension));
                    }, "run past the end"}),
    [](const ::testing::TestParamInfo<TCorruption>& AInfo) { return std::string(AInfo.param.Name); });

TEST(BitmapTest, CorruptFileOnDiskNamesThePath) {
  const std::string name = std::string(FR_TEST_TMP_DIR) + "/graphics_truecolour.bmp";
  std::vector<uint8_t> bytes = MakeBmp(32, 32);
  Put16(bytes, 28, 24);
  {
    TFileStream f(name, TFileMode::fmCreate);
    f.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  }
  TBitmap b;
  try {
    b.LoadFromFile(name);
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
  }
}

}  // namespace
