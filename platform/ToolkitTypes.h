// Value types of the GUI toolkit that component properties use: colours,
// cursors and points in time.
//
// Each is a type of its own (not a plain alias of its integer or float) so
// that overloads taking a colour, a cursor or a date are told apart from
// those taking Integer, SmallInt or Real of the same width.
#pragma once

#include <cstdint>

// A toolkit colour: 32-bit signed, 0x00BBGGRR for plain colours; values with
// high bits set name system colours and special values.
enum TColor : int32_t {
  clBlack = 0x000000,
  clMaroon = 0x000080,
  clGreen = 0x008000,
  clNavy = 0x800000,
  clRed = 0x0000FF,
  clLime = 0x00FF00,
  clBlue = 0xFF0000,
  clWhite = 0xFFFFFF,
  clNone = 0x1FFFFFFF,
  clDefault = 0x20000000,
};

// An ARGB colour of the vector-graphics layer: 32-bit unsigned, 0xAARRGGBB.
enum TGPColor : uint32_t {
  aclBlack = 0xFF000000u,
  aclWhite = 0xFFFFFFFFu,
  aclRed = 0xFFFF0000u,
  aclTransparent = 0x00FFFFFFu,
};

// A mouse cursor: 16-bit signed; the toolkit's standard cursors are 0 and
// negative numbers.
enum TCursor : int16_t {
  crDefault = 0,
  crNone = -1,
  crArrow = -2,
  crCross = -3,
  crIBeam = -4,
  crHourGlass = -11,
};

// A point in time: days since 30 December 1899 (integral part) and the
// fraction of the day, as a 64-bit float. Compares as a float.
struct TDateTime {
  double Value = 0.0;

  constexpr TDateTime() = default;
  constexpr explicit TDateTime(double AValue) : Value(AValue) {}
  constexpr operator double() const { return Value; }

  friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.Value == b.Value; }
};
