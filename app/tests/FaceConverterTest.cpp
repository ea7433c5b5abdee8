#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/FaceConverter.h"
#include "platform/Classes.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& AText) { return std::vector<uint8_t>(AText.begin(), AText.end()); }

std::vector<uint8_t> ReadFile(const std::string& AName) {
  TFileStream f(AName, TFileMode::fmOpenRead);
  std::vector<uint8_t> data(size_t(f.GetSize()));
  f.ReadBuffer(data.data(), int64_t(data.size()));
  return data;
}

void WriteFile(const std::string& AName, const std::vector<uint8_t>& AData) {
  TFileStream f(AName, TFileMode::fmCreate);
  f.WriteBuffer(AData.data(), int64_t(AData.size()));
}

std::vector<uint8_t> Pgm(const std::string& AHeader, size_t ACount, uint8_t AValue = 7) {
  std::vector<uint8_t> f = Bytes(AHeader);
  f.insert(f.end(), ACount, AValue);
  return f;
}

TEST(PgmTest, ReadsHeaderWithCommentsAndData) {
  std::vector<uint8_t> f = Bytes("P5\n# made by hand\n3 # width\n 2\n255\n");
  const std::vector<uint8_t> pixels = {0, 1, 2, 253, 254, 255};
  f.insert(f.end(), pixels.begin(), pixels.end());
  const TGreyPicture p = ReadPgm(f, "hand.pgm");
  EXPECT_EQ(p.Width, 3);
  EXPECT_EQ(p.Height, 2);
  EXPECT_EQ(p.Pixels, pixels);
}

TEST(PgmTest, DataMayBeginWithAWhitespaceByte) {
  // The byte after the single separator is data even when it reads as a blank.
  std::vector<uint8_t> f = Bytes("P5 2 1 255\n");
  f.push_back(' ');
  f.push_back('\n');
  const TGreyPicture p = ReadPgm(f, "blank.pgm");
  EXPECT_EQ(p.Pixels, (std::vector<uint8_t>{' ', '\n'}));
}

TEST(PgmTest, LevelsOfASmallerMaxvalAreScaledTo255) {
  std::vector<uint8_t> f = Bytes("P5 4 1 15\n");
  f.insert(f.end(), {0, 7, 8, 15});
  EXPECT_EQ(ReadPgm(f, "small.pgm").Pixels, (std::vector<uint8_t>{0, 119, 136, 255}));
}

struct TBadPgm {
  const char* Name;
  std::vector<uint8_t> Data;
  const char* Problem;
};

class PgmCorruptionTest : public ::testing::TestWithParam<TBadPgm> {};

TEST_P(PgmCorruptionTest, IsRefusedWithTheFileAndTheProblem) {
  try {
    ReadPgm(GetParam().Data, "s1/1.pgm");
    FAIL() << "accepted";
  } catch (const EInvalidPgm& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("\"s1/1.pgm\""), std::string::npos) << m;
    EXPECT_NE(m.find(GetParam().Problem), std::string::npos) << m;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PgmCorruptionTest,
    ::testing::Values(TBadPgm{"Empty", {}, "\"P5\" signature"},
                      TBadPgm{"AsciiPgm", Pgm("P2 2 2 255\n", 4), "\"P5\" signature"},
                      TBadPgm{"ColourPpm", Pgm("P6 2 2 255\n", 12), "\"P5\" signature"},
                      TBadPgm{"OnlyMagic", Bytes("P5"), "file ends before the width"},
                      TBadPgm{"NoBlankAfterMagic", Pgm("P52 1 255\n", 2), "\"P5\" signature is followed by byte 0x32"},
                      TBadPgm{"NoHeight", Bytes("P5 92 "), "file ends before the height"},
                      TBadPgm{"CommentEatsTheRest", Bytes("P5 92 112 # 255\n"), "file ends before the maxval"},
                      TBadPgm{"LetterInWidth", Pgm("P5 9x 112 255\n", 10), "width at offset 3 is followed by byte 0x78"},
                      TBadPgm{"SignedWidth", Pgm("P5 -92 112 255\n", 10), "width expected at offset 3"},
                      TBadPgm{"TooManyDigits", Pgm("P5 000092 112 255\n", 10), "too many digits"},
                      TBadPgm{"ZeroWidth", Pgm("P5 0 112 255\n", 10), "size 0 x 112"},
                      TBadPgm{"TooWide", Pgm("P5 99999 1 255\n", 10), "size 99999 x 1"},
                      TBadPgm{"ZeroMaxval", Pgm("P5 2 2 0\n", 4), "maxval 0"},
                      TBadPgm{"SixteenBit", Pgm("P5 2 2 65535\n", 8), "maxval 65535"},
                      TBadPgm{"NoSeparatorAfterMaxval", Bytes("P5 2 2 255"), "file ends after the maxval"},
                      TBadPgm{"Truncated", Pgm("P5 92 112 255\n", 92 * 112 - 1), "truncated: 10303 of 10304"},
                      TBadPgm{"ExtraByteAfterPixels", Pgm("P5 2 1 255\n", 3), "after the 2 bytes of pixel data: 1 more at offset 13"},
                      TBadPgm{"LevelAboveMaxval", Pgm("P5 2 2 100\n", 4, 101), "level 101 at offset 11"}),
    [](const ::testing::TestParamInfo<TBadPgm>& AInfo) { return std::string(AInfo.param.Name); });

TEST(AreaResampleTest, WeighsEverySourcePixelByTheFractionItCovers) {
  struct TRow {
    TGreyPicture Source;
    int32_t Width, Height;
    std::vector<uint8_t> Expected;
  };
  // Rows appended one by one: GCC 12 at -O3 wrongly sees the vectors of a
  // braced array of rows as possibly uninitialised when it is destroyed.
  std::vector<TRow> rows;
  auto row = [&](int32_t AW, int32_t AH, std::vector<uint8_t> APixels, int32_t AWidth, int32_t AHeight,
                 std::vector<uint8_t> AExpected) {
    rows.push_back(TRow{TGreyPicture{AW, AH, std::move(APixels)}, AWidth, AHeight, std::move(AExpected)});
  };
  row(2, 2, {1, 2, 2, 2}, 1, 1, {2});             // 1.75 rounds to 2
  row(2, 1, {0, 1}, 1, 1, {1});                   // 0.5 rounds up
  row(3, 1, {0, 3, 0}, 2, 1, {1, 1});             // (0 + 3/2) / 1.5 each
  row(3, 1, {30, 0, 90}, 2, 1, {20, 60});         // (30 + 0/2) / 1.5, (0/2 + 90) / 1.5
  row(1, 1, {77}, 3, 2, {77, 77, 77, 77, 77, 77});  // enlarging repeats
  row(4, 4, std::vector<uint8_t>(16, 200), 3, 3, std::vector<uint8_t>(9, 200));
  for (const auto& r : rows) {
    const TGreyPicture out = AreaResample(r.Source, r.Width, r.Height);
    EXPECT_EQ(out.Width, r.Width);
    EXPECT_EQ(out.Height, r.Height);
    EXPECT_EQ(out.Pixels, r.Expected) << r.Source.Width << "x" << r.Source.Height;
  }
  EXPECT_THROW(AreaResample(TGreyPicture{2, 2, {1, 2, 3}}, 1, 1), ERangeError);
  EXPECT_THROW(AreaResample(TGreyPicture{1, 1, {1}}, 0, 1), ERangeError);
}

// The shared face folder was made from the shared database the same way:
// every converted picture must equal it byte for byte.
TEST(ConvertAttFacesTest, ReproducesTheSharedFaceFolder) {
  const std::string shared = std::string(FR_SHARED_DIR) + "/datasets";
  const std::string out = std::string(FR_TEST_TMP_DIR) + "/converted_faces";
  fs::remove_all(out);
  fs::create_directories(out);
  std::vector<std::string> written;
  ConvertAttFaces(shared + "/att_faces", out, [&](const std::string& AFile) { written.push_back(AFile); });
  ASSERT_EQ(written.size(), 400u);
  EXPECT_EQ(written.front(), out + "/Train_1_1.bmp");
  EXPECT_EQ(written[9], out + "/Reco_1.bmp");
  for (const std::string& file : written) {
    const std::string name = fs::path(file).filename().string();
    ASSERT_EQ(ReadFile(file), ReadFile(shared + "/faces/" + name)) << name;
  }
}

class ConvertFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FRoot = std::string(FR_TEST_TMP_DIR) + "/convert_" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(FRoot);
    fs::create_directories(FRoot + "/att/s1");
    fs::create_directories(FRoot + "/out");
    for (int i = 1; i <= 10; ++i) WriteFile(Format("%s/att/s1/%d.pgm", FRoot.c_str(), i), Pgm("P5 92 112 255\n", 92 * 112));
  }
  std::string FRoot;
};

TEST_F(ConvertFailureTest, MissingPictureStopsThereNamingIt) {
  // Person 1 is complete; person 2 is missing: its first picture names the stop.
  try {
    ConvertAttFaces(FRoot + "/att", FRoot + "/out");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("s2/1.pgm"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(fs::exists(FRoot + "/out/Train_1_9.bmp"));
  EXPECT_TRUE(fs::exists(FRoot + "/out/Reco_1.bmp"));
}

TEST_F(ConvertFailureTest, PictureOfAnotherSizeIsRefused) {
  WriteFile(FRoot + "/att/s1/4.pgm", Pgm("P5 92 100 255\n", 92 * 100));
  try {
    ConvertAttFaces(FRoot + "/att", FRoot + "/out");
    FAIL() << "no error";
  } catch (const EInvalidPgm& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find("s1/4.pgm"), std::string::npos) << m;
    EXPECT_NE(m.find("92 x 100"), std::string::npos) << m;
  }
  EXPECT_TRUE(fs::exists(FRoot + "/out/Train_1_3.bmp"));
  EXPECT_FALSE(fs::exists(FRoot + "/out/Train_1_4.bmp"));
}

}  // namespace
