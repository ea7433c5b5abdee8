// Texts of numbers shown to the user.
//
// Integers are plain decimal digits with a leading "-" for negative values.
// Reals use the general format with 15 significant digits: the shortest text
// of the value rounded to 15 significant digits, no trailing zeros, no decimal
// separator for whole values, no thousands separators. Magnitudes of 1E15 and
// above or below 1E-5 are written in scientific notation ("1.5E-7", "1E20").
// Not-a-number and the infinities read "NAN", "INF" and "-INF".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Types.h"

std::string IntToStr(int64_t AValue);

// With the process's decimal separator (see DecimalSeparator).
std::string FloatToStr(Real AValue);
// With the given decimal separator.
std::string FloatToStr(Real AValue, char ADecimalSeparator);
std::string FloatToStr(Real AValue, std::string_view ADecimalSeparator);

// The decimal separator of the user's regional settings: the radix character
// of the locale that LC_ALL, LC_NUMERIC or LANG select in the environment,
// "." when none is set or the locale is not installed. Read afresh each call.
std::string LocaleDecimalSeparator();

// The decimal separator FloatToStr(Real) uses. It is taken from
// LocaleDecimalSeparator on first use; SetDecimalSeparator replaces it for the
// whole process (tests use it to show texts under a decimal comma). Both are
// safe to call from any thread.
std::string DecimalSeparator();
void SetDecimalSeparator(std::string_view ASeparator);
