#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
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
const std::string cAttFaces = std::string(FR_SHARED_DIR) + "/datasets/att_faces";

// A fresh, empty folder below the test's scratch folder.
std::string ScratchFolder(const std::string& AName) {
  const std::string dir = std::string(FR_TEST_TMP_DIR) + "/" + AName;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

bool SameFile(const std::string& A, const std::string& B) {
  const std::string a = ReadText(A);
  return !a.empty() && a == ReadText(B);
}

// The caption the window shows for one picture of a --json document, made
// from its fields alone.
std::string CaptionOf(const nlohmann::json& APicture) {
  const std::string verdict = APicture.at("verdict");
  const std::string expected = IntToStr(APicture.at("expected").get<int>());
  const std::string distance = FloatToStr(APicture.at("distance").get<double>(), '.');
  if (verdict == "correct") return "Correct: " + expected + " Distance: " + distance;
  if (verdict == "unrecognized") return "Error - Can't recognize";
  EXPECT_EQ(verdict, "wrong");
  return "Error - Expected:" + expected + " recognized as: " + IntToStr(APicture.at("recognizedAs").get<int>()) +
         " Distance: " + distance;
}

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

TEST(FaceRecProgramTest, JsonHoldsTheSameRunAsThePlainTexts) {
  const TRun plain = RunProgram(FACEREC_EXE, "--faces " + Quote(cFaces));
  const TRun r = RunProgram(FACEREC_EXE, "--json --faces " + Quote(cFaces));
  ASSERT_EQ(r.Status, 0) << r.Err;
  ASSERT_EQ(plain.Lines.size(), 42u);
  const nlohmann::json doc = nlohmann::json::parse(r.Out);
  EXPECT_EQ(doc.at("neurons"), 207);
  EXPECT_EQ(doc.at("neuronsText"), plain.Lines[0]);
  EXPECT_EQ(doc.at("minInfluenceField"), 2.0);
  EXPECT_EQ(doc.at("maxInfluenceField"), 300.0);
  EXPECT_TRUE(doc.at("error").is_null());
  const nlohmann::json& pictures = doc.at("pictures");
  ASSERT_EQ(pictures.size(), 40u);
  int errors = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const nlohmann::json& p = pictures[i];
    SCOPED_TRACE("picture " + std::to_string(i + 1));
    EXPECT_EQ(p.at("expected"), int(i + 1));
    EXPECT_EQ(p.at("file"), cFaces + "/Reco_" + std::to_string(i + 1) + ".bmp");
    EXPECT_EQ(CaptionOf(p), plain.Lines[i + 1]);
    EXPECT_EQ(p.at("caption"), plain.Lines[i + 1]);
    if (p.at("verdict") != "correct") ++errors;
    // The covering neurons at the smallest distance: the first decides.
    const nlohmann::json& covering = p.at("covering");
    if (p.at("verdict") == "unrecognized") continue;
    ASSERT_FALSE(covering.empty());
    EXPECT_EQ(covering[0].at("category").get<double>(), p.at("recognizedAs").get<double>());
    for (const nlohmann::json& c : covering) {
      EXPECT_EQ(c.at("distance"), p.at("distance"));
      EXPECT_GE(c.at("neuron").get<int>(), 0);
      EXPECT_LT(c.at("neuron").get<int>(), 207);
    }
  }
  EXPECT_EQ(pictures[0].at("verdict"), "wrong");
  EXPECT_EQ(pictures[0].at("recognizedAs"), 17);
  const nlohmann::json& summary = doc.at("summary");
  EXPECT_EQ(summary.at("errors"), errors);
  EXPECT_EQ(summary.at("faces"), 40);
  EXPECT_EQ(summary.at("accuracy"), 92.5);
  EXPECT_EQ(summary.at("text"), plain.Lines[41]);
  // The plain texts stay as they were without the option.
  EXPECT_EQ(plain.Lines[41], "3 errors of 40 faces - 92.5% correct");
}

TEST(FaceRecProgramTest, JsonOfAStoppedRecognitionPassNamesTheError) {
  const TRun r =
      RunProgram(FACEREC_EXE, "--json --faces " + Quote(LinkedFaces("facerec_json_no_reco20", {"Reco_20.bmp"})));
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find("Reco_20.bmp"), std::string::npos) << r.Err;
  const nlohmann::json doc = nlohmann::json::parse(r.Out);
  EXPECT_EQ(doc.at("pictures").size(), 19u);
  EXPECT_TRUE(doc.at("summary").is_null());
  EXPECT_NE(doc.at("error").get<std::string>().find("Reco_20.bmp"), std::string::npos);
  // A stopped training pass prints nothing, as without --json.
  const TRun train =
      RunProgram(FACEREC_EXE, "--json --faces " + Quote(LinkedFaces("facerec_json_no_train", {"Train_3_4.bmp"})));
  EXPECT_EQ(train.Status, 1);
  EXPECT_EQ(train.Out, "");
}

// Ten full runs over the AT&T database; the temporary folders go below a
// TMPDIR of the test's own, which must be empty again afterwards.
TEST(FaceRecEvaluateTest, TableOverEveryHeldOutPicture) {
  const std::string tmp = ScratchFolder("facerec_evaluate_tmp");
  const TRun r = RunProgram(FACEREC_EXE, "evaluate " + Quote(cAttFaces) + " --json", FR_TEST_TMP_DIR,
                            "TMPDIR=" + Quote(tmp));
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_TRUE(fs::is_empty(tmp));
  EXPECT_NE(r.Err.find("Test picture 1/10: converting\n"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("Test picture 10/10: 207 neurons, 3 errors, 92.5% correct\n"), std::string::npos) << r.Err;
  const nlohmann::json doc = nlohmann::json::parse(r.Out);
  const nlohmann::json& runs = doc.at("runs");
  ASSERT_EQ(runs.size(), 10u);
  double neurons = 0, errors = 0, accuracy = 0;
  for (size_t k = 0; k < runs.size(); ++k) {
    const nlohmann::json& row = runs[k];
    EXPECT_EQ(row.at("testPicture"), int(k + 1));
    EXPECT_EQ(row.at("faces"), 40);
    const int e = row.at("errors");
    EXPECT_GE(e, 0);
    EXPECT_LE(e, 40);
    EXPECT_EQ(row.at("accuracy").get<double>(), (40 - e) * 100 / 40.0);
    EXPECT_GT(row.at("neurons").get<int>(), 40);
    EXPECT_LE(row.at("neurons").get<int>(), 360);
    neurons += row.at("neurons").get<int>();
    errors += e;
    accuracy += row.at("accuracy").get<double>();
  }
  // Picture 10 held out is the shared face folder: today's demo.
  EXPECT_EQ(runs[9].at("neurons"), 207);
  EXPECT_EQ(runs[9].at("errors"), 3);
  EXPECT_EQ(runs[9].at("accuracy"), 92.5);
  EXPECT_DOUBLE_EQ(doc.at("mean").at("neurons").get<double>(), neurons / 10);
  EXPECT_DOUBLE_EQ(doc.at("mean").at("errors").get<double>(), errors / 10);
  EXPECT_DOUBLE_EQ(doc.at("mean").at("accuracy").get<double>(), accuracy / 10);
  EXPECT_GE(doc.at("spread").at("accuracy").get<double>(), 0.0);

  // The same table as text: a heading, ten rows, the mean and the spread.
  const TRun text = RunProgram(FACEREC_EXE, "evaluate " + Quote(cAttFaces), FR_TEST_TMP_DIR, "TMPDIR=" + Quote(tmp));
  ASSERT_EQ(text.Status, 0) << text.Err;
  ASSERT_EQ(text.Lines.size(), 13u) << text.Out;
  EXPECT_TRUE(std::regex_match(text.Lines[0], std::regex("Test picture +Neurons +Errors +Accuracy"))) << text.Lines[0];
  for (size_t k = 0; k < 10; ++k) {
    const nlohmann::json& row = runs[k];
    EXPECT_TRUE(std::regex_match(text.Lines[k + 1],
                                 std::regex(" *" + std::to_string(k + 1) + " +" + IntToStr(row.at("neurons").get<int>()) +
                                            " +" + IntToStr(row.at("errors").get<int>()) + " +" +
                                            std::regex_replace(FloatToStr(row.at("accuracy").get<double>(), '.'),
                                                               std::regex("\\."), "\\.") +
                                            "%")))
        << text.Lines[k + 1];
  }
  EXPECT_TRUE(std::regex_match(text.Lines[10], std::regex(" +10 +207 +3 +92\\.5%"))) << text.Lines[10];
  EXPECT_TRUE(std::regex_match(text.Lines[11], std::regex("Mean +[0-9.]+ +[0-9.]+ +[0-9.]+%"))) << text.Lines[11];
  EXPECT_TRUE(std::regex_match(text.Lines[12], std::regex("Spread +[0-9.]+ +[0-9.]+ +[0-9.]+%"))) << text.Lines[12];
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST(FaceRecEvaluateTest, FailuresAndWrongCommandLines) {
  // A database with a broken picture of person 2: the run stops there, names
  // the file, and leaves no temporary folder behind.
  const std::string att = ScratchFolder("facerec_evaluate_broken_att");
  fs::create_directory_symlink(cAttFaces + "/s1", att + "/s1");
  fs::create_directories(att + "/s2");
  std::ofstream(att + "/s2/1.pgm") << "P5 92 112 255\n";
  const std::string tmp = ScratchFolder("facerec_evaluate_failure_tmp");
  const TRun broken = RunProgram(FACEREC_EXE, "evaluate " + Quote(att), FR_TEST_TMP_DIR, "TMPDIR=" + Quote(tmp));
  EXPECT_EQ(broken.Status, 1);
  EXPECT_EQ(broken.Out, "");
  EXPECT_NE(broken.Err.find("s2/1.pgm"), std::string::npos) << broken.Err;
  EXPECT_TRUE(fs::is_empty(tmp));

  const TRun missing = RunProgram(FACEREC_EXE, "evaluate no_such_att");
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("\"no_such_att\""), std::string::npos) << missing.Err;

  const char* rows[] = {"evaluate", "evaluate --json", "evaluate a b", "evaluate a --min-if", "evaluate a --max-if x",
                        "evaluate a --bogus", "evaluate ''"};
  for (const char* args : rows) {
    const TRun r = RunProgram(FACEREC_EXE, args);
    EXPECT_EQ(r.Status, 2) << args;
    EXPECT_EQ(r.Out, "") << args;
    EXPECT_NE(r.Err.find("facerec evaluate: "), std::string::npos) << args << ": " << r.Err;
  }
  const TRun help = RunProgram(FACEREC_EXE, "evaluate --help");
  EXPECT_EQ(help.Status, 0);
  ASSERT_FALSE(help.Lines.empty());
  EXPECT_EQ(help.Lines[0].rfind("Usage: facerec evaluate", 0), 0u);
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
  for (const char* k : {"0", "11", "abc", "''", "3x", "-1"})
    EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, std::string("--test-picture ") + k + " a b").Status, 2) << k;
  EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, "a b --test-picture").Status, 2);

  // Picture 3 held out: it becomes Reco_<p>.bmp, and the other nine move up
  // in ascending order.
  const std::string third = ScratchFolder("facerec_convert_third");
  const TRun held = RunProgram(FACEREC_CONVERT_EXE, "--test-picture 3 " + Quote(cAttFaces) + " " + Quote(third));
  ASSERT_EQ(held.Status, 0) << held.Err;
  for (const std::string p : {"1", "40"}) {
    EXPECT_TRUE(SameFile(third + "/Reco_" + p + ".bmp", out + "/Train_" + p + "_3.bmp")) << p;
    EXPECT_TRUE(SameFile(third + "/Train_" + p + "_2.bmp", out + "/Train_" + p + "_2.bmp")) << p;
    EXPECT_TRUE(SameFile(third + "/Train_" + p + "_3.bmp", out + "/Train_" + p + "_4.bmp")) << p;
    EXPECT_TRUE(SameFile(third + "/Train_" + p + "_8.bmp", out + "/Train_" + p + "_9.bmp")) << p;
    EXPECT_TRUE(SameFile(third + "/Train_" + p + "_9.bmp", out + "/Reco_" + p + ".bmp")) << p;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(third), fs::directory_iterator()), 400);
  EXPECT_EQ(RunProgram(FACEREC_CONVERT_EXE, "--help").Status, 0);
}

}  // namespace
