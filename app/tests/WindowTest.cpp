// The main window in Qt widgets, under Qt's offscreen platform: made from
// its stored layout, driven by clicks on its push buttons over the shared
// face set, resized, and failing on a missing picture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/HeadlessFaceWindow.h"
#include "app/Unit1.h"
#include "platform/NumberFormat.h"
#include "platform/qt/QtBinding.h"

namespace fs = std::filesystem;

namespace {

const std::string cFaces = std::string(FR_SHARED_DIR) + "/datasets/faces";

int gArgc = 1;
char gArg0[] = "window_tests";
char* gArgv[] = {gArg0, nullptr};

std::string Text(const QString& AText) { return AText.toStdString(); }

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSeparator = DecimalSeparator();
    SetDecimalSeparator(".");
    FBinding = std::make_unique<TQtBinding>(gArgc, gArgv);
    TApplication::Instance().SetBinding(FBinding.get());
    TApplication::Instance().Initialize();
    TApplication::Instance().SetExceptionReporter([this](const std::string& AMessage) { FReports.push_back(AMessage); });
    FForm.reset(TForm1::CreateFromLayout());
    FForm->Window().SetFacesFolder(cFaces);
    FBinding->ShowMainForm(FForm.get());
    QApplication::processEvents();
  }
  void TearDown() override {
    TApplication::Instance().SetExceptionReporter(nullptr);
    FForm.reset();
    TApplication::Instance().SetBinding(nullptr);
    FBinding.reset();
    SetDecimalSeparator(FSeparator);
  }

  template <class W>
  W* Widget(const TComponent* AControl) const {
    auto* w = dynamic_cast<W*>(FBinding->WidgetOf(AControl));
    EXPECT_NE(w, nullptr) << AControl->GetName();
    return w;
  }
  QWidget* Window() const { return FBinding->WidgetOf(FForm.get()); }
  QPushButton* TrainButton() const { return Widget<QPushButton>(FForm->TrainButton); }
  QPushButton* RecognizeButton() const { return Widget<QPushButton>(FForm->RecognizeButton); }
  QListWidget* List1() const { return Widget<QListWidget>(FForm->ListView1); }
  QListWidget* List2() const { return Widget<QListWidget>(FForm->ListView2); }
  QProgressBar* Progress() const { return Widget<QProgressBar>(FForm->ProgressBar1); }
  std::string TrainText() const { return Text(Widget<QLabel>(FForm->TrainLabel)->text()); }
  std::string RecognizeText() const { return Text(Widget<QLabel>(FForm->RecognizeLabel)->text()); }

  std::string FSeparator;
  std::unique_ptr<TQtBinding> FBinding;
  std::unique_ptr<TForm1> FForm;
  std::vector<std::string> FReports;
};

TEST_F(WindowTest, StartsAsItsLayoutSays) {
  EXPECT_EQ(Text(Window()->windowTitle()), "Face recognition demo");
  EXPECT_EQ(Window()->width(), 649);
  EXPECT_EQ(Window()->height(), 423);
  EXPECT_TRUE(TrainButton()->isEnabled());
  EXPECT_FALSE(RecognizeButton()->isEnabled());
  EXPECT_EQ(Text(TrainButton()->text()), "Train");
  EXPECT_EQ(Text(RecognizeButton()->text()), "Recognize");
  EXPECT_EQ(TrainText(), "Untrained");
  EXPECT_EQ(RecognizeText(), "Click Recognize to see the results.");
  EXPECT_EQ(Text(Widget<QLabel>(FForm->Label1)->text()), "Training faces from AT&T Laboratories Cambridge:");
  EXPECT_EQ(Text(Widget<QLabel>(FForm->Label2)->text()), "Recognized faces from AT&T Laboratories Cambridge:");
  EXPECT_EQ(Progress()->minimum(), 0);
  EXPECT_EQ(Progress()->maximum(), 100);
  EXPECT_EQ(Progress()->value(), 0);
  EXPECT_EQ(List1()->count(), 0);
  EXPECT_EQ(List1()->viewMode(), QListView::IconMode);
  EXPECT_EQ(List1()->iconSize(), QSize(32, 32));
  EXPECT_EQ(Window()->font().family().toStdString().empty(), false);
  EXPECT_EQ(Window()->font().pixelSize(), 11);
  EXPECT_EQ(Window()->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  // The tab order of the layout: ListView1, TrainButton, RecognizeButton, ProgressBar1, ListView2.
  const std::vector<QWidget*> expected = {List1(), TrainButton(), RecognizeButton(), Progress(), List2()};
  std::vector<QWidget*> chain;
  QWidget* w = List1();
  for (int step = 0; step < 100 && chain.size() < expected.size(); ++step, w = w->nextInFocusChain())
    if (std::find(expected.begin(), expected.end(), w) != expected.end()) chain.push_back(w);
  EXPECT_EQ(chain, expected);
}

// Train and Recognize clicked on the widgets; the window shows what the
// in-memory driver shows, and both lists show the one shared thumbnail list.
TEST_F(WindowTest, TrainThenRecognizeThroughTheButtons) {
  TrainButton()->click();
  QApplication::processEvents();
  ASSERT_TRUE(FReports.empty()) << FReports.front();
  ASSERT_EQ(List1()->count(), 360);
  const std::vector<QIcon>* icons = FBinding->IconsOf(FForm->ImageList1);
  ASSERT_NE(icons, nullptr);
  ASSERT_EQ(icons->size(), 360u);
  for (int n = 0; n < 360; ++n) {
    QListWidgetItem* item = List1()->item(n);
    EXPECT_EQ(Text(item->text()), IntToStr(int64_t(n / 9 + 1))) << n;
    EXPECT_EQ(item->data(Qt::UserRole).toInt(), n);
    EXPECT_EQ(item->icon().cacheKey(), (*icons)[size_t(n)].cacheKey()) << n;
  }
  EXPECT_EQ(List2()->count(), 0);
  EXPECT_EQ(Progress()->maximum(), 40);
  EXPECT_EQ(Progress()->value(), 40);
  EXPECT_EQ(TrainText(), "207 Neurons used.");
  EXPECT_FALSE(TrainButton()->isEnabled());
  EXPECT_TRUE(RecognizeButton()->isEnabled());
  EXPECT_TRUE(List1()->updatesEnabled()) << "the update bracket is closed";

  RecognizeButton()->click();
  QApplication::processEvents();
  ASSERT_TRUE(FReports.empty()) << FReports.front();
  ASSERT_EQ(List2()->count(), 40);
  ASSERT_EQ(icons->size(), 400u);
  THeadlessFaceWindow memory;  // the same driver over an in-memory window
  memory.SetFacesFolder(cFaces);
  TForm1 reference(memory);
  reference.TrainButtonClick(nullptr);
  reference.RecognizeButtonClick(nullptr);
  for (int p = 1; p <= 40; ++p) {
    QListWidgetItem* item = List2()->item(p - 1);
    EXPECT_EQ(Text(item->text()), memory.Items(TFaceList::flListView2)[size_t(p - 1)].Caption) << p;
    EXPECT_EQ(item->data(Qt::UserRole).toInt(), 359 + p);
    EXPECT_EQ(item->icon().cacheKey(), (*icons)[size_t(359 + p)].cacheKey()) << p;
  }
  EXPECT_EQ(Text(List2()->item(1)->text()).rfind("Correct: 2 Distance: ", 0), 0u);
  EXPECT_EQ(RecognizeText(), "3 errors of 40 faces - 92.5% correct");
  EXPECT_EQ(RecognizeText(), memory.LabelText(TFaceLabel::flbRecognizeLabel));
  EXPECT_EQ(TrainText(), "207 Neurons used.");
  EXPECT_FALSE(RecognizeButton()->isEnabled());
  EXPECT_FALSE(TrainButton()->isEnabled());
  EXPECT_EQ(Progress()->value(), 40);
  EXPECT_EQ(List1()->count(), 360);
}

// Taller and wider: the lists grow in height only, buttons, status labels
// and progress bar move down with the bottom edge, and only the progress bar
// grows in width.
TEST_F(WindowTest, ResizingFollowsTheAnchors) {
  struct TRow {
    const char* Name;
    QRect Expected;  // at 649 + 100 x 423 + 80
  };
  const TRow rows[] = {
      {"Label1", QRect(8, 6, -1, 13)},          {"Label2", QRect(319, 6, -1, 13)},
      {"RecognizeLabel", QRect(401, 456, -1, 13)}, {"TrainLabel", QRect(89, 456, -1, 13)},
      {"ListView1", QRect(8, 22, 305, 423)},    {"TrainButton", QRect(8, 451, 75, 25)},
      {"RecognizeButton", QRect(319, 451, 75, 25)}, {"ProgressBar1", QRect(0, 486, 749, 17)},
      {"ListView2", QRect(319, 22, 314, 423)},
  };
  Window()->resize(749, 503);
  QApplication::processEvents();
  EXPECT_EQ(FForm->GetClientWidth(), 749);
  EXPECT_EQ(FForm->GetClientHeight(), 503);
  for (const TRow& r : rows) {
    auto* control = dynamic_cast<TControl*>(FForm->FindComponent(r.Name));
    ASSERT_NE(control, nullptr) << r.Name;
    const QRect g = FBinding->WidgetOf(control)->geometry();
    EXPECT_EQ(g.x(), r.Expected.x()) << r.Name;
    EXPECT_EQ(g.y(), r.Expected.y()) << r.Name;
    EXPECT_EQ(g.height(), r.Expected.height()) << r.Name;
    if (r.Expected.width() >= 0) {  // labels take their text's width
      EXPECT_EQ(g.width(), r.Expected.width()) << r.Name;
    }
    EXPECT_EQ(control->GetTop(), g.y()) << r.Name;
    EXPECT_EQ(control->GetHeight(), g.height()) << r.Name;
  }
  // Back to the design size: everything where the layout put it.
  Window()->resize(649, 423);
  QApplication::processEvents();
  EXPECT_EQ(FBinding->WidgetOf(FForm->ListView1)->geometry(), QRect(8, 22, 305, 343));
  EXPECT_EQ(FBinding->WidgetOf(FForm->ProgressBar1)->geometry(), QRect(0, 406, 649, 17));
  EXPECT_EQ(FBinding->WidgetOf(FForm->TrainButton)->geometry(), QRect(8, 371, 75, 25));
}

// A missing picture: its error goes to the standard error report, the pass
// stops there keeping what it did, and the window can train again.
TEST_F(WindowTest, MissingPictureIsReportedAndTheWindowStaysUsable) {
  const std::string dir = std::string(FR_TEST_TMP_DIR) + "/window_missing";
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const auto& entry : fs::directory_iterator(cFaces))
    if (entry.path().filename() != "Train_3_4.bmp") fs::create_symlink(entry.path(), dir + "/" + entry.path().filename().string());
  FForm->Window().SetFacesFolder(dir);
  TrainButton()->click();
  QApplication::processEvents();
  ASSERT_EQ(FReports.size(), 1u);
  EXPECT_NE(FReports[0].find("Train_3_4.bmp"), std::string::npos) << FReports[0];
  EXPECT_EQ(List1()->count(), 2 * 9 + 3);
  EXPECT_EQ(Progress()->value(), 2);
  EXPECT_TRUE(List1()->updatesEnabled());
  EXPECT_TRUE(TrainButton()->isEnabled());
  EXPECT_FALSE(RecognizeButton()->isEnabled());
  EXPECT_EQ(TrainText(), "Untrained");

  FForm->Window().SetFacesFolder(cFaces);
  TrainButton()->click();
  QApplication::processEvents();
  EXPECT_EQ(FReports.size(), 1u);
  EXPECT_EQ(List1()->count(), 21 + 360) << "a repeated pass adds to what is there";
  EXPECT_EQ(FBinding->IconsOf(FForm->ImageList1)->size(), 381u);
  EXPECT_TRUE(RecognizeButton()->isEnabled());
  EXPECT_FALSE(TrainButton()->isEnabled());
}

// Close-down in either order leaves nothing dangling: a form freed before its
// binding takes its window with it; a binding freed first leaves the form
// working without widgets.
TEST(WindowLifetimeTest, FormAndBindingFreedInEitherOrder) {
  TApplication::Instance().Initialize();
  {
    TQtBinding binding(gArgc, gArgv);
    std::unique_ptr<TForm1> form(TForm1::CreateFromLayout());
    binding.Bind(form.get());
    ASSERT_NE(binding.WidgetOf(form->TrainButton), nullptr);
    form.reset();
    EXPECT_EQ(binding.WidgetOf(nullptr), nullptr);
  }
  std::unique_ptr<TForm1> form(TForm1::CreateFromLayout());
  {
    TQtBinding binding(gArgc, gArgv);
    binding.Bind(form.get());
  }
  EXPECT_EQ(form->TrainButton->Peer(), nullptr);
  form->RecognizeButton->SetEnabled(true);
  form->TrainLabel->SetCaption("still here");
  EXPECT_EQ(form->TrainLabel->GetCaption(), "still here");
}

}  // namespace

int main(int argc, char** argv) {
  // No display is needed: Qt draws into memory, the same on every machine.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
