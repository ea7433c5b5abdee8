#include "platform/Classes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string TempPath(const char* AName) { return std::string(FR_TEST_TMP_DIR) + "/" + AName; }

TEST(FileStreamTest, WritesAndReadsBack) {
  const std::string path = TempPath("stream.bin");
  {
    TFileStream out(path, TFileMode::fmCreate);
    out.WriteBuffer("abcdef", 6);
  }
  TFileStream in(path, TFileMode::fmOpenRead);
  EXPECT_EQ(in.GetSize(), 6);
  char buf[4] = {};
  in.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(in.Remaining(), 3);
  try {
    in.ReadBuffer(buf, 4);
    FAIL() << "short read accepted";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find("stream.bin"), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("offset 3"), std::string::npos) << e.Message();
  }
}

TEST(FileStreamTest, OpenAndCreateErrorsNameTheFile) {
  try {
    TFileStream in(TempPath("does-not-exist.bin"), TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"", 0), 0u) << e.Message();
    EXPECT_NE(e.Message().find("does-not-exist.bin"), std::string::npos);
  }
  EXPECT_THROW(TFileStream(TempPath("no-such-dir/x.bin"), TFileMode::fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(FR_TEST_TMP_DIR, TFileMode::fmOpenRead), EFOpenError);
}

TEST(MemoryStreamTest, ReadsNeverPassTheEnd) {
  TMemoryStream s;
  s.WriteBuffer("xyz", 3);
  s.SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 2);
  EXPECT_EQ(s.Read(buf, 8), 0);
  s.SetPosition(0);
  EXPECT_THROW(s.ReadBuffer(buf, 4), EReadError);
}

}  // namespace
