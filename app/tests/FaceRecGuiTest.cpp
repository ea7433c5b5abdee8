// facerec-gui run as a user runs it, under Qt's offscreen platform: the
// screenshot command after both passes, and its command line errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/tests/ProgramRunner.h"

namespace fs = std::filesystem;

namespace {

using TRun = TProgramRun;

TRun RunGui(const std::string& AArgs) {
  return RunProgram(FACEREC_GUI_EXE, AArgs, FR_TEST_TMP_DIR, "QT_QPA_PLATFORM=offscreen");
}

const std::string cFaces = std::string(FR_SHARED_DIR) + "/datasets/faces";

TEST(FaceRecGuiProgram, ScreenshotAfterBothPasses) {
  const std::string png = std::string(FR_TEST_TMP_DIR) + "/facerec_gui_screenshot.png";
  fs::remove(png);
  const TRun r = RunGui("--faces " + Quote(cFaces) + " --screenshot " + Quote(png));
  ASSERT_EQ(r.Status, 0) << r.Err;
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 649);
  EXPECT_EQ(image.height(), 423);
  // The thumbnails are drawn: the list areas are not one flat colour.
  const QColor first = image.pixelColor(60, 60);
  bool varied = false;
  for (int y = 30; y < 350 && !varied; y += 3)
    for (int x = 20; x < 300 && !varied; x += 3) varied = image.pixelColor(x, y) != first;
  EXPECT_TRUE(varied);
}

TEST(FaceRecGuiProgram, FailuresAndUsage) {
  const struct {
    std::string Args;
    int Status;
    const char* Says;  // on standard error, or standard output for --help
  } rows[] = {
      {"--help", 0, "Usage: facerec-gui"},
      {"-platform offscreen --help", 0, "Usage: facerec-gui"},  // Qt's own options pass
      {"--frobnicate", 2, "unknown argument \"--frobnicate\""},
      {"--faces", 2, "--faces needs a value"},
      {"--faces " + Quote(std::string(FR_TEST_TMP_DIR) + "/no_such_folder"), 1, "does not exist"},
      {"--faces " + Quote(FR_TEST_TMP_DIR) + " --screenshot " +
           Quote(std::string(FR_TEST_TMP_DIR) + "/facerec_gui_without_faces.png"),
       1, "Train_1_1.bmp"},
      {"--faces " + Quote(cFaces) + " --screenshot /no/such/folder/x.png", 1, "cannot write the screenshot"},
  };
  for (const auto& row : rows) {
    const TRun r = RunGui(row.Args);
    EXPECT_EQ(r.Status, row.Status) << row.Args << "\n" << r.Err;
    EXPECT_NE((r.Status == 0 ? r.Out : r.Err).find(row.Says), std::string::npos) << row.Args << "\n" << r.Err;
  }
}

}  // namespace
