#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/tests/ProgramRunner.h"
#include "platform/NumberFormat.h"

namespace fs = std::filesystem;

namespace {

using TRun = TProgramRun;

const std::string cFaces = std::string(FR_SHARED_DIR) + "/datasets/faces";

// A folder holding links to the shared pictures, without the ones named.
std::string LinkedFaces(const std::string& AName, const std::vector<std::string>& AWithout) {
  const std::string dir = std::string(FR_TEST_TMP_DIR) + "/" + AName;
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& entry : fs::directory_iterator(cFaces)) {
    const std::string name = entry.path().filename().string();
    bool skip = false;
    for (const std::string& w : AWithout) skip = skip || w == name;
    if (!skip) fs::create_symlink(entry.path(), dir + "/" + name);
  }
  return dir;
}

TEST(FaceRecProgramTest, SharedFaceSetPrintsTheWindowsTextsInOrder) {
  const TRun r = RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  ASSERT_EQ(r.Lines.size(), 42u);
  EXPECT_TRUE(std::regex_match(r.Lines[0], std::regex("[1-9][0-9]* Neurons used\\."))) << r.Lines[0];
  const std::regex correct("Correct: ([0-9]+) Distance: [0-9]+(\\.[0-9]+)?");
  const std::regex wrong("Error - Expected:([0-9]+) recognized as: [0-9]+ Distance: [0-9]+(\\.[0-9]+)?");
  int errors = 0;
  for (int p = 1; p <= 40; ++p) {
    const std::string& line = r.Lines[size_t(p)];
    std::smatch m;
    if (std::regex_match(line, m, correct)) {
      EXPECT_EQ(m[1], IntToStr(p)) << line;
    } else if (std::regex_match(line, m, wrong)) {
      EXPECT_EQ(m[1], IntToStr(p)) << line;
      ++errors;
    } else {
      EXPECT_EQ(line, "Error - Can't recognize") << "person " << p;
      ++errors;
    }
  }
  EXPECT_EQ(r.Lines[41], IntToStr(errors) + " errors of 40 faces - " + FloatToStr((40 - errors) * 100 / 40.0, '.') +
                             "% correct");
  // The figures of the shared set, fixed as long as the set and the learning
  // rules stay the same.
  EXPECT_EQ(r.Lines[0], "207 Neurons used.");
  EXPECT_EQ(r.Lines[41], "3 errors of 40 faces - 92.5% correct");
  EXPECT_EQ(r.Lines[1], "Error - Expected:1 recognized as: 17 Distance: 110.328125");
}

TEST(FaceRecProgramTest, DefaultFolderIsFacesBelowTheWorkingDirectoryAndLimitsDefaultTo2And300) {
  const std::string work = std::string(FR_TEST_TMP_DIR) + "/facerec_workdir";
  fs::remove_all(work);
  fs::create_directories(work);
  fs::create_directory_symlink(cFaces, work + "/Faces");
  const TRun byDefault = RunProgram(FACEREC_EXE, "", work);
  const TRun explicitly = RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces) + " --min-if 2 --max-if 300.0");
  ASSERT_EQ(byDefault.Status, 0) << byDefault.Err;
  EXPECT_EQ(byDefault.Lines, explicitly.Lines);
  // A field below the distances between faces makes nearly every picture a
  // neuron of its own.
  const TRun narrow = RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces) + " --max-if 20 --min-if 1.5");
  ASSERT_EQ(narrow.Status, 0) << narrow.Err;
  ASSERT_EQ(narrow.Lines.size(), 42u);
  EXPECT_EQ(narrow.Lines[0], "359 Neurons used.");
}

TEST(FaceRecProgramTest, ProgressGoesToStandardErrorOnly) {
  const TRun quiet = RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces));
  const TRun r = RunProgram(FACEREC_EXE, "--progress --faces " + Quote(cFaces));
  ASSERT_EQ(r.Status, 0);
  EXPECT_EQ(r.Lines, quiet.Lines);
  EXPECT_NE(r.Err.find("Training: person 1/40\n"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Recognition: person 40/40\n"), std::string::npos) << r.Err;
}

TEST(FaceRecProgramTest, MissingFolderIsALoadFailure) {
  const TRun r = RunProgram(FACEREC_EXE, "--faces no_such_folder");
  EXPECT_EQ(r.Status, 1);
  EXPECT_TRUE(r.Lines.empty());
  EXPECT_NE(r.Err.find("\"no_such_folder\""), std::string::npos) << r.Err;
  // The default folder, absent from the scratch folder, too.
  const std::string empty = std::string(FR_TEST_TMP_DIR) + "/facerec_empty";
  fs::create_directories(empty);
  const TRun d = RunProgram(FACEREC_EXE, "", empty);
  EXPECT_EQ(d.Status, 1);
  EXPECT_NE(d.Err.find("\"Faces\""), std::string::npos) << d.Err;
}

TEST(FaceRecProgramTest, MissingPicturesStopTheirPassKeepingItsLines) {
  const TRun reco = RunProgram(FACEREC_EXE, "--faces " + Quote(LinkedFaces("facerec_no_reco20", {"Reco_20.bmp"})));
  EXPECT_EQ(reco.Status, 1);
  ASSERT_EQ(reco.Lines.size(), 20u) << "the neuron count and persons 1 to 19";
  EXPECT_EQ(reco.Lines[0], "207 Neurons used.");
  EXPECT_NE(reco.Err.find("Reco_20.bmp"), std::string::npos) << reco.Err;

  const TRun train = RunProgram(FACEREC_EXE, "--faces " + Quote(LinkedFaces("facerec_no_train", {"Train_3_4.bmp"})));
  EXPECT_EQ(train.Status, 1);
  EXPECT_TRUE(train.Lines.empty());
  EXPECT_NE(train.Err.find("Train_3_4.bmp"), std::string::npos) << train.Err;
}

TEST(FaceRecProgramTest, WrongCommandLinesAreUsageErrors) {
  const char* rows[] = {"--min-if abc", "--max-if", "--max-if ''", "--bogus", "--min-if -1", "--max-if nan",
                        "--max-if inf", "--min-if 1e999", "--faces", "extra"};
  for (const char* args : rows) {
    const TRun r = RunProgram(FACEREC_EXE, args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_TRUE(r.Lines.empty()) << args;
    EXPECT_NE(r.Err.find("facerec: "), std::string::npos) << args;
  }
  const TRun help = RunProgram(FACEREC_EXE, "--help");
  EXPECT_EQ(help.Status, 0);
  ASSERT_FALSE(help.Lines.empty());
  EXPECT_EQ(help.Lines[0].rfind("Usage: facerec", 0), 0u);
}

TEST(FaceRecConvertProgramTest, ConvertsAndReportsFailures) {
  const std::string out = std::string(FR_TEST_TMP_DIR) + "/facerec_convert_out";
  fs::remove_all(out);
  fs::create_directories(out);
  const TRun ok = RunProgram(FACEREC_CONVERT_EXE, Quote(std::string(FR_SHARED_DIR) + "/datasets/att_faces") + " " + Quote(out));
  EXPECT_EQ(ok.Status, 0) << ok.Err;
  EXPECT_TRUE(fs::exists(out + "/Reco_40.bmp"));
  // The converted folder runs like the shared one.
  const TRun run = RunProgram(FACEREC_EXE, "--faces " + Quote(out));
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Lines, RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces)).Lines);

  const TRun missing = RunProgram(FACEREC_CONVERT_EXE, "no_such_att " + Quote(out));
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("no_such_att/s1/1.pgm"), std::string::npos) << missing.Err;
  EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, "").Status, 2);
  EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, "a b c").Status, 2);
  EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, "--help").Status, 0);
}

}  // namespace
