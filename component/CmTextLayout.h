// The text form of a stored layout, as people read and edit it, and its
// translation into the binary property stream:
//
//   object Form1: TForm1
//     Left = 100
//     Caption = 'Face recognition demo'
//     Font.Style = []
//     Anchors = [akLeft, akBottom]
//     Background._Floats = ((Category 0.0))
//     object Label1: TLabel
//       ...
//     end
//   end
//
// Values: integers (written in the smallest integer encoding), reals with a
// decimal point or an exponent (Extended), quoted texts ('it''s', with #nnn
// for a character by its code and + to join pieces), identifiers (False,
// True and nil have tags of their own; names given as constants, such as
// clBtnFace, are written as their integer value), sets [a, b], lists
// ( v v ... ) and binary data { hex digits }. Comments run from // to the end
// of the line. Each object's properties come before the objects it owns.
//
// Errors name the source, the line and the column and say what was expected.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Classes.h"
#include "platform/SysUtils.h"

// Malformed text: "<source>:<line>:<column>: <what is wrong>".
class ETextLayoutError : public EFilerError {
 public:
  ETextLayoutError(const std::string& ASource, int32_t ALine, int32_t AColumn, const std::string& AWhat);
  int32_t Line() const { return FLine; }
  int32_t Column() const { return FColumn; }

 private:
  int32_t FLine;
  int32_t FColumn;
};

// Named integer constants the text may use as values.
using TLayoutConstants = std::vector<std::pair<std::string, int32_t>>;

// Writes the layout held in AText (named ASource in errors) to AOut as a
// stored layout: the signature, then the record of the outermost object.
// Nothing may follow its "end" but blanks and comments.
void TextLayoutToBinary(std::string_view AText, TStream& AOut, const std::string& ASource,
                        const TLayoutConstants& AConstants = {});
