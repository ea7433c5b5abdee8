// The text form of stored layouts: what each kind of value becomes in the
// property stream, and the errors for malformed text with line and column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component/CmFiler.h"
#include "component/CmTextLayout.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Convert(const std::string& AText, const TLayoutConstants& AConstants = {}) {
  TMemoryStream out;
  TextLayoutToBinary(AText, out, "test.layout", AConstants);
  return out.Data();
}

// "TPF0", class TB, name A, one property P = <value bytes>, end, no children.
TBytes Record(const TBytes& AValue) {
  TBytes b = {'T', 'P', 'F', '0', 2, 'T', 'B', 1, 'A', 1, 'P'};
  b.insert(b.end(), AValue.begin(), AValue.end());
  b.push_back(0);
  b.push_back(0);
  return b;
}

struct TValueRow {
  const char* Text;
  TBytes Value;
};

class TextLayoutValue : public ::testing::TestWithParam<TValueRow> {};

TEST_P(TextLayoutValue, IsWrittenWithTheWritersEncoding) {
  const TValueRow& row = GetParam();
  EXPECT_EQ(Convert(std::string("object A: TB\n  P = ") + row.Text + "\nend\n", {{"clBtnFace", -2147483633}}),
            Record(row.Value))
      << row.Text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, TextLayoutValue,
    ::testing::Values(
        TValueRow{"127", {2, 0x7F}}, TValueRow{"128", {3, 0x80, 0x00}}, TValueRow{"-129", {3, 0x7F, 0xFF}},
        TValueRow{"40000", {4, 0x40, 0x9C, 0, 0}},
        TValueRow{"4294967296", {19, 0, 0, 0, 0, 1, 0, 0, 0}},
        TValueRow{"2.0", {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40}},
        TValueRow{"3e2", {5, 0, 0, 0, 0, 0, 0, 0, 0x96, 0x07, 0x40}},
        TValueRow{"0.0", {5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        TValueRow{"'ab'", {6, 2, 'a', 'b'}}, TValueRow{"'it''s'", {6, 4, 'i', 't', '\'', 's'}},
        TValueRow{"'a' + 'b'#33", {6, 3, 'a', 'b', '!'}}, TValueRow{"''", {18, 0, 0, 0, 0}},
        TValueRow{"#233", {18, 1, 0, 0, 0, 0xE9, 0x00}},
        TValueRow{"TrainButtonClick", {7, 16, 'T', 'r', 'a', 'i', 'n', 'B', 'u', 't', 't', 'o', 'n', 'C', 'l', 'i', 'c', 'k'}},
        TValueRow{"Form2.ImageList1", {7, 16, 'F', 'o', 'r', 'm', '2', '.', 'I', 'm', 'a', 'g', 'e', 'L', 'i', 's', 't', '1'}},
        TValueRow{"false", {8}}, TValueRow{"True", {9}}, TValueRow{"nil", {13}}, TValueRow{"Null", {0}},
        TValueRow{"-2.5e-1", {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFD, 0xBF}},
        TValueRow{"clBtnFace", {4, 0x0F, 0x00, 0x00, 0x80}}, TValueRow{"CLBTNFACE", {4, 0x0F, 0x00, 0x00, 0x80}},
        TValueRow{"[]", {11, 0}}, TValueRow{"[akLeft, akBottom]", {11, 6, 'a', 'k', 'L', 'e', 'f', 't', 8, 'a', 'k', 'B', 'o', 't', 't', 'o', 'm', 0}},
        TValueRow{"((Category 0.0))", {1, 1, 7, 8, 'C', 'a', 't', 'e', 'g', 'o', 'r', 'y', 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        TValueRow{"()", {1, 0}}, TValueRow{"{0A ff}", {10, 2, 0, 0, 0, 0x0A, 0xFF}}, TValueRow{"{}", {10, 0, 0, 0, 0}}));

TEST(TextLayout, NestedObjectsDottedNamesAndComments) {
  const TBytes got = Convert(
      "// a window\n"
      "object Form1: TForm1 // the root\n"
      "  Font.Name = 'X'\n"
      "  object L: TLabel\n"
      "  end\n"
      "  object M: TLabel\n"
      "    Left = 1\n"
      "  end\n"
      "end\n"
      "// trailing comment\n");
  const TBytes expected = {'T', 'P', 'F', '0', 6, 'T', 'F', 'o', 'r', 'm', '1', 5, 'F', 'o', 'r', 'm', '1',
                           9, 'F', 'o', 'n', 't', '.', 'N', 'a', 'm', 'e', 6, 1, 'X', 0,
                           6, 'T', 'L', 'a', 'b', 'e', 'l', 1, 'L', 0, 0,
                           6, 'T', 'L', 'a', 'b', 'e', 'l', 1, 'M', 4, 'L', 'e', 'f', 't', 2, 1, 0, 0,
                           0};
  EXPECT_EQ(got, expected);
  // What the reader makes of it: the same values back.
  TMemoryStream in(got);
  TReader reader(in);
  reader.ReadSignature();
  EXPECT_EQ(reader.ReadStr(), "TForm1");
  EXPECT_EQ(reader.ReadStr(), "Form1");
  EXPECT_EQ(reader.ReadStr(), "Font.Name");
  EXPECT_EQ(reader.ReadString(), "X");
}

struct TErrorRow {
  const char* Text;
  int32_t Line;
  int32_t Column;
  const char* Says;
};

class TextLayoutError : public ::testing::TestWithParam<TErrorRow> {};

TEST_P(TextLayoutError, NamesTheLineAndColumn) {
  const TErrorRow& row = GetParam();
  try {
    Convert(row.Text);
    FAIL() << "no error for: " << row.Text;
  } catch (const ETextLayoutError& e) {
    EXPECT_EQ(e.Line(), row.Line) << e.what();
    EXPECT_EQ(e.Column(), row.Column) << e.what();
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("test.layout:" + std::to_string(row.Line) + ":" + std::to_string(row.Column) + ": ", 0), 0u)
        << message;
    EXPECT_NE(message.find(row.Says), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, TextLayoutError,
    ::testing::Values(
        TErrorRow{"", 1, 1, "expected \"object\""}, TErrorRow{"   \n  thing A: TB\nend", 2, 3, "expected \"object\""},
        TErrorRow{"object A: TB\n  Left = 1\n", 3, 1, "missing \"end\""},
        TErrorRow{"object A: TB\n  Left 1\nend", 2, 8, "expected \"=\" after Left"},
        TErrorRow{"object A: TB\n  Left =\nend", 3, 1, "expected a value"},
        TErrorRow{"object A: TB\n  Caption = 'open\nend", 2, 13, "not closed"},
        TErrorRow{"object A: TB\n  Left = 12px\nend", 2, 12, "letter right after the number"},
        TErrorRow{"object A: TB\n  Left = 99999999999999999999\nend", 2, 10, "out of range"},
        TErrorRow{"object A: TB\n  Left = 1e999\nend", 2, 10, "out of range"},
        TErrorRow{"object A: TB\n  object C: TD\n  end\n  Left = 1\nend", 4, 3, "properties come before"},
        TErrorRow{"object A: TB\nend\nobject C: TD\nend", 3, 1, "after the end of the outermost object"},
        TErrorRow{"object A: TB\n  L = (1 2\nend", 2, 7, "not closed with \")\""},
        TErrorRow{"object A: TB\n  S = [a b]\nend", 2, 10, "expected \",\""},
        TErrorRow{"object A: TB\n  D = {0A1}\nend", 2, 7, "odd number of hex digits"},
        TErrorRow{"object A: TB\n  D = {0G}\nend", 2, 9, "not a hex digit"},
        TErrorRow{"object A: TB\n  C = <>\nend", 2, 7, "collections"},
        TErrorRow{"object A: TB\n  C = #\nend", 2, 7, "without a character code"},
        TErrorRow{"object A: TB\n  C = #55296\nend", 2, 7, "surrogate"},
        TErrorRow{"object A: TB\n  @ = 1\nend", 2, 3, "unexpected character"},
        TErrorRow{"object A:\nend", 2, 1, "class name"},
        TErrorRow{"object A: TB\n  Left = 1.2.3\nend", 2, 10, "\"1.2.3\" is no real"},
        // Null is stored as the tag that ends a list; inside one it would
        // end the list early.
        TErrorRow{"object A: TB\n  X = (Null)\nend", 2, 8, "Null cannot be an item of a list"},
        TErrorRow{"object A: TB\n  X = ((Category 0.0) null)\nend", 2, 23, "Null cannot be an item of a list"},
        TErrorRow{"object A: TB\n  X = (1 (NULL))\nend", 2, 11, "Null cannot be an item of a list"}));

TEST(TextLayout, RefusesNestingDeeperThanTheReaderTakes) {
  std::string deep = "object A: TB\n  P = ";
  for (int i = 0; i < 100; ++i) deep += "(";
  EXPECT_THROW(Convert(deep), ETextLayoutError);
  std::string objects;
  for (int i = 0; i < 100; ++i) objects += "object A: TB\n";
  EXPECT_THROW(Convert(objects), ETextLayoutError);
}

}  // namespace
