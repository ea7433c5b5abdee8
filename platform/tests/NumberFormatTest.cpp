#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "platform/NumberFormat.h"

namespace {

struct TFloatCase {
  Real Value;
  char Separator;
  const char* Expected;
};

class FloatToStrTest : public ::testing::TestWithParam<TFloatCase> {};

TEST_P(FloatToStrTest, GeneralFormatWithFifteenDigits) {
  const TFloatCase& c = GetParam();
  EXPECT_EQ(FloatToStr(c.Value, c.Separator), c.Expected) << "value " << c.Value;
}

const Real cInf = std::numeric_limits<Real>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToStrTest,
    ::testing::Values(
        // The texts the face demo shows.
        TFloatCase{53.8671875, '.', "53.8671875"}, TFloatCase{100, '.', "100"}, TFloatCase{92.5, '.', "92.5"},
        TFloatCase{92.5, ',', "92,5"}, TFloatCase{61.5, ',', "61,5"}, TFloatCase{0, '.', "0"},
        TFloatCase{-0.0, '.', "0"}, TFloatCase{1020, '.', "1020"}, TFloatCase{0.99609375, '.', "0.99609375"},
        TFloatCase{1.0 / 256, ',', "0,00390625"},
        // Rounding to 15 significant digits, trailing zeros dropped.
        TFloatCase{1.0 / 3, '.', "0.333333333333333"}, TFloatCase{2.0 / 3, '.', "0.666666666666667"},
        TFloatCase{0.1 + 0.2, '.', "0.3"}, TFloatCase{9.9999999999999995, '.', "10"},
        TFloatCase{123456.789, '.', "123456.789"}, TFloatCase{-1.5, '.', "-1.5"},
        TFloatCase{97.5609756097561, '.', "97.5609756097561"},
        // Whole numbers up to 15 digits are written out, larger ones in
        // scientific notation, like magnitudes below 1E-5.
        TFloatCase{999999999999999, '.', "999999999999999"}, TFloatCase{1e15, '.', "1E15"},
        TFloatCase{123456789012345678.0, ',', "1,23456789012346E17"}, TFloatCase{0.00001, '.', "0.00001"},
        TFloatCase{0.0000015, ',', "1,5E-6"}, TFloatCase{-2.5e-300, '.', "-2.5E-300"},
        TFloatCase{std::numeric_limits<Real>::max(), '.', "1.79769313486232E308"},
        // Values without digits.
        TFloatCase{std::nan(""), '.', "NAN"}, TFloatCase{cInf, '.', "INF"}, TFloatCase{-cInf, '.', "-INF"}));

TEST(IntToStrTest, PlainDecimal) {
  const struct {
    int64_t Value;
    const char* Expected;
  } cases[] = {{0, "0"},
               {7, "7"},
               {-5, "-5"},
               {1000000, "1000000"},
               {2147483647, "2147483647"},
               {std::numeric_limits<int64_t>::min(), "-9223372036854775808"}};
  for (const auto& c : cases) EXPECT_EQ(IntToStr(c.Value), c.Expected);
}

// Restores the process-wide separator and the environment after a test.
class DecimalSeparatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSaved = DecimalSeparator();
    if (const char* all = std::getenv("LC_ALL")) FSavedAll = all, FHadAll = true;
  }
  void TearDown() override {
    SetDecimalSeparator(FSaved);
    if (FHadAll)
      setenv("LC_ALL", FSavedAll.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  std::string FSaved, FSavedAll;
  bool FHadAll = false;
};

TEST_F(DecimalSeparatorTest, SettingReplacesTheSeparatorOfTheDefaultFormat) {
  SetDecimalSeparator(",");
  EXPECT_EQ(FloatToStr(92.5), "92,5");
  EXPECT_EQ(FloatToStr(100), "100");
  SetDecimalSeparator(".");
  EXPECT_EQ(FloatToStr(92.5), "92.5");
}

TEST_F(DecimalSeparatorTest, LocaleWithoutCommaOrUnknownLocaleGivesPoint) {
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LocaleDecimalSeparator(), ".");
  // A locale that is not installed must not fail: the C locale's point.
  setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(LocaleDecimalSeparator(), ".");
}

TEST(FloatToStrSeparatorTest, MultiByteSeparatorIsWrittenWhole) {
  // Some locales use a separator of several bytes (U+066B in UTF-8).
  EXPECT_EQ(FloatToStr(92.5, std::string_view("\xD9\xAB")), "92\xD9\xAB" "5");
}

}  // namespace

// The process locale (which a toolkit switches to the user's) never leaks
// into the digits: only the separator asked for appears, once.
TEST(FloatToStrProcessLocaleTest, CommaLocaleOfTheProcessChangesNothing) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (localedef -i de_DE -f UTF-8 de_DE.UTF-8)";
  const struct {
    Real Value;
    const char* Point;
    const char* Comma;
  } cases[] = {
      {92.5, "92.5", "92,5"},          {110.328125, "110.328125", "110,328125"},
      {1.5e-7, "1.5E-7", "1,5E-7"},    {-0.000125, "-0.000125", "-0,000125"},
      {1e20, "1E20", "1E20"},          {123456789012345.0, "123456789012345", "123456789012345"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatToStr(c.Value, '.'), c.Point) << c.Point;
    EXPECT_EQ(FloatToStr(c.Value, ','), c.Comma) << c.Point;
  }
  std::setlocale(LC_NUMERIC, saved.c_str());
}
