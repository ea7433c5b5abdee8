#include "platform/NumberFormat.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <iterator>
#include <mutex>

std::string IntToStr(int64_t AValue) { return std::to_string(AValue); }

namespace {

constexpr int cSignificantDigits = 15;

// Exponents (of the leading digit) written in fixed notation.
constexpr int cMinFixedExponent = -5;
constexpr int cMaxFixedExponent = cSignificantDigits - 1;

}  // namespace

std::string FloatToStr(Real AValue, std::string_view ADecimalSeparator) {
  if (std::isnan(AValue)) return "NAN";
  if (std::isinf(AValue)) return AValue < 0 ? "-INF" : "INF";
  if (AValue == 0) return "0";  // also -0: no sign for zero

  // Scientific with 14 fraction digits rounds correctly to 15 significant
  // digits: d.ddddddddddddddde±XX. std::to_chars never consults the process
  // locale, so the separator below is the only one the text ever gets, even
  // after a toolkit has switched LC_NUMERIC to a decimal comma.
  char text[40];
  const std::to_chars_result written =
      std::to_chars(std::begin(text), std::end(text), AValue, std::chars_format::scientific,
                    cSignificantDigits - 1);
  std::string_view all(text, static_cast<size_t>(written.ptr - text));
  const bool negative = all.front() == '-';
  if (negative) all.remove_prefix(1);
  const size_t ePos = all.find('e');
  std::string_view exponentText = all.substr(ePos + 1);
  if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
  std::string digits;
  for (char c : all.substr(0, ePos))
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent < cMinFixedExponent || exponent > cMaxFixedExponent) {
    out += digits[0];
    if (digits.size() > 1) {
      out += ADecimalSeparator;
      out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
  }
  if (exponent < 0) {
    out += '0';
    out += ADecimalSeparator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  const auto whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    out += digits;
    out.append(whole - digits.size(), '0');
  } else {
    out += digits.substr(0, whole);
    out += ADecimalSeparator;
    out += digits.substr(whole);
  }
  return out;
}

std::string FloatToStr(Real AValue, char ADecimalSeparator) {
  return FloatToStr(AValue, std::string_view(&ADecimalSeparator, 1));
}

std::string LocaleDecimalSeparator() {
  // A private locale object: the process's global locale is left alone.
  locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return ".";
  const char* radix = nl_langinfo_l(RADIXCHAR, loc);
  std::string result = (radix != nullptr && *radix != '\0') ? radix : ".";
  freelocale(loc);
  return result;
}

namespace {

struct TSeparatorSetting {
  std::mutex Lock;
  bool Known = false;
  std::string Value;
};

TSeparatorSetting& Setting() {
  static TSeparatorSetting setting;
  return setting;
}

}  // namespace

std::string DecimalSeparator() {
  TSeparatorSetting& s = Setting();
  std::lock_guard<std::mutex> hold(s.Lock);
  if (!s.Known) {
    s.Value = LocaleDecimalSeparator();
    s.Known = true;
  }
  return s.Value;
}

void SetDecimalSeparator(std::string_view ASeparator) {
  TSeparatorSetting& s = Setting();
  std::lock_guard<std::mutex> hold(s.Lock);
  s.Value = std::string(ASeparator);
  s.Known = true;
}

std::string FloatToStr(Real AValue) { return FloatToStr(AValue, DecimalSeparator()); }
