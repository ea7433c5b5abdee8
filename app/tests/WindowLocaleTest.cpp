// The main window under a decimal-comma locale for the whole process, as a
// user in Germany starts it: Qt switches the C library's LC_NUMERIC to the
// environment's locale when the application object is made, and every number
// the window shows must still carry exactly one separator, the locale's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "platform/NumberFormat.h"
#include "platform/qt/QtBinding.h"

namespace {

// A locale with a decimal comma; .ci/run generates it with localedef.
constexpr const char* cCommaLocale = "de_DE.UTF-8";

int gArgc = 1;
char gArg0[] = "window_locale_tests";
char* gArgv[] = {gArg0, nullptr};

std::string Text(const QString& AText) { return AText.toStdString(); }

TEST(WindowLocaleTest, EveryNumberTheWindowShowsUsesTheLocalesComma) {
  const lconv* numeric = std::localeconv();
  if (std::string(numeric->decimal_point) != ",")
    GTEST_SKIP() << "the locale " << cCommaLocale << " is not installed (localedef -i de_DE -f UTF-8 "
                 << cCommaLocale << " makes it)";
  ASSERT_EQ(DecimalSeparator(), ",");

  TQtBinding binding(gArgc, gArgv);
  TApplication::Instance().SetBinding(&binding);
  TApplication::Instance().Initialize();
  std::vector<std::string> reports;
  TApplication::Instance().SetExceptionReporter([&](const std::string& AMessage) { reports.push_back(AMessage); });
  std::unique_ptr<TForm1> form(TForm1::CreateFromLayout());
  form->Window().SetFacesFolder(std::string(FR_SHARED_DIR) + "/datasets/faces");
  binding.ShowMainForm(form.get());
  form->TrainButtonClick(nullptr);
  form->RecognizeButtonClick(nullptr);
  QApplication::processEvents();
  ASSERT_TRUE(reports.empty()) << reports.front();

  auto label = [&](TControl* AControl) { return Text(dynamic_cast<QLabel*>(binding.WidgetOf(AControl))->text()); };
  EXPECT_EQ(label(form->TrainLabel), "207 Neurons used.");
  EXPECT_EQ(label(form->RecognizeLabel), "3 errors of 40 faces - 92,5% correct");

  auto* list = dynamic_cast<QListWidget*>(binding.WidgetOf(form->ListView2));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 40);
  EXPECT_EQ(Text(list->item(0)->text()), "Error - Expected:1 recognized as: 17 Distance: 110,328125");
  EXPECT_EQ(Text(list->item(1)->text()), "Correct: 2 Distance: 65,7265625");
  EXPECT_EQ(Text(list->item(39)->text()), "Correct: 40 Distance: 70,4296875");
  for (int i = 0; i < list->count(); ++i) {
    const std::string caption = Text(list->item(i)->text());
    const std::string distance = caption.substr(caption.find("Distance: ") + 10);
    EXPECT_EQ(distance.find('.'), std::string::npos) << caption;
    EXPECT_LE(std::count(distance.begin(), distance.end(), ','), 1) << caption;
  }

  TApplication::Instance().SetExceptionReporter(nullptr);
  form.reset();
  TApplication::Instance().SetBinding(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The whole process in the comma locale, before Qt reads the environment.
  setenv("LC_ALL", cCommaLocale, 1);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
