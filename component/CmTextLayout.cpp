#include "component/CmTextLayout.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>

#include "component/CmFiler.h"
#include "platform/TypInfo.h"

ETextLayoutError::ETextLayoutError(const std::string& ASource, int32_t ALine, int32_t AColumn,
                                   const std::string& AWhat)
    : EFilerError(Format("%s:%d:%d: %s", ASource.c_str(), ALine, AColumn, AWhat.c_str())),
      FLine(ALine),
      FColumn(AColumn) {}

namespace {

// Nesting deeper than this (objects in objects, lists in lists) is refused
// rather than risking the stack.
constexpr int cMaxNesting = 64;

enum class TTokenKind { tkEnd, tkIdent, tkInteger, tkFloat, tkString, tkSymbol };

struct TToken {
  TTokenKind Kind = TTokenKind::tkEnd;
  std::string Text;  // identifier, symbol, number text or decoded string
  int32_t Line = 1;
  int32_t Column = 1;
};

class TLayoutParser {
 public:
  TLayoutParser(std::string_view AText, TWriter& AWriter, const std::string& ASource, const TLayoutConstants& AConstants)
      : FText(AText), FWriter(AWriter), FSource(ASource), FConstants(AConstants) {
    Next();
  }

  void Layout() {
    FWriter.WriteSignature();
    Object(0);
    if (FToken.Kind != TTokenKind::tkEnd) Fail(FToken, "text after the end of the outermost object: " + Describe(FToken));
  }

 private:
  [[noreturn]] void Fail(const TToken& AAt, const std::string& AWhat) const {
    throw ETextLayoutError(FSource, AAt.Line, AAt.Column, AWhat);
  }
  static std::string Describe(const TToken& AToken) {
    switch (AToken.Kind) {
      case TTokenKind::tkEnd:
        return "the end of the text";
      case TTokenKind::tkString:
        return "a text";
      default:
        return "\"" + AToken.Text + "\"";
    }
  }

  bool IsSymbol(char c) const { return FToken.Kind == TTokenKind::tkSymbol && FToken.Text.size() == 1 && FToken.Text[0] == c; }
  bool IsWord(std::string_view AWord) const { return FToken.Kind == TTokenKind::tkIdent && SameText(FToken.Text, AWord); }
  void Expect(char c) {
    if (!IsSymbol(c)) Fail(FToken, Format("expected \"%c\" but found %s", c, Describe(FToken).c_str()));
    Next();
  }
  // The words that open and close objects are never names or values, so
  // that a missing value or name is reported where it is missing.
  bool IsReserved() const { return IsWord("object") || IsWord("inherited") || IsWord("inline") || IsWord("end"); }
  std::string ExpectIdent(const char* AWhat) {
    if (FToken.Kind != TTokenKind::tkIdent || IsReserved())
      Fail(FToken, Format("expected %s but found %s", AWhat, Describe(FToken).c_str()));
    std::string s = FToken.Text;
    Next();
    return s;
  }
  static void CheckShort(const TToken& AAt, const std::string& AName, const TLayoutParser& AParser) {
    if (AName.size() > 255) AParser.Fail(AAt, "a name longer than 255 characters");
  }

  void Object(int ADepth) {
    if (ADepth >= cMaxNesting) Fail(FToken, Format("objects nested deeper than %d levels", cMaxNesting));
    if (!IsWord("object") && !IsWord("inherited") && !IsWord("inline"))
      Fail(FToken, "expected \"object\" but found " + Describe(FToken));
    Next();
    const TToken at = FToken;
    std::string name = ExpectIdent("the object's name");
    std::string className;
    if (IsSymbol(':')) {
      Next();
      className = ExpectIdent("the object's class name");
    } else {
      // "object TForm1" without a name: the name is empty, the word the class.
      className = name;
      name.clear();
    }
    CheckShort(at, name, *this);
    CheckShort(at, className, *this);
    FWriter.WriteStr(className);
    FWriter.WriteStr(name);
    // Properties, until an owned object or the end.
    while (!IsWord("object") && !IsWord("inherited") && !IsWord("inline") && !IsWord("end")) {
      if (FToken.Kind == TTokenKind::tkEnd) Fail(FToken, "the text ends inside object \"" + name + "\" (missing \"end\")");
      Property(ADepth);
    }
    FWriter.WriteListEnd();
    while (!IsWord("end")) {
      if (FToken.Kind == TTokenKind::tkEnd) Fail(FToken, "the text ends inside object \"" + name + "\" (missing \"end\")");
      if (!IsWord("object") && !IsWord("inherited") && !IsWord("inline"))
        Fail(FToken, "expected \"object\" or \"end\" but found " + Describe(FToken) +
                         " (properties come before the objects an object owns)");
      Object(ADepth + 1);
    }
    Next();  // end
    FWriter.WriteListEnd();
  }

  void Property(int ADepth) {
    const TToken at = FToken;
    std::string name = ExpectIdent("a property name");
    while (IsSymbol('.')) {
      Next();
      name += '.';
      name += ExpectIdent("a property name after \".\"");
    }
    CheckShort(at, name, *this);
    if (!IsSymbol('=')) Fail(FToken, Format("expected \"=\" after %s but found %s", name.c_str(), Describe(FToken).c_str()));
    Next();
    FWriter.WriteStr(name);
    Value(ADepth);
  }

  // AInList: the value is an item of a list.
  void Value(int ADepth, bool AInList = false) {
    if (ADepth >= cMaxNesting) Fail(FToken, Format("values nested deeper than %d levels", cMaxNesting));
    const TToken at = FToken;
    switch (FToken.Kind) {
      case TTokenKind::tkEnd:
        Fail(FToken, "expected a value but found the end of the text");
      case TTokenKind::tkInteger: {
        const std::string& text = FToken.Text;
        int64_t v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec == std::errc::result_out_of_range) Fail(at, "the integer " + text + " is out of range");
        if (ec != std::errc() || end != text.data() + text.size()) Fail(at, "\"" + text + "\" is no integer");
        FWriter.WriteInteger(v);
        Next();
        return;
      }
      case TTokenKind::tkFloat: {
        // Always with a decimal point, whatever the locale says.
        const std::string& text = FToken.Text;
        double v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
        if (ec == std::errc::result_out_of_range) Fail(at, "the real " + text + " is out of range");
        if (ec != std::errc() || end != text.data() + text.size()) Fail(at, "\"" + text + "\" is no real");
        FWriter.WriteFloat(v);
        Next();
        return;
      }
      case TTokenKind::tkString: {
        std::string s = FToken.Text;
        Next();
        while (IsSymbol('+')) {
          Next();
          if (FToken.Kind != TTokenKind::tkString) Fail(FToken, "expected a text after \"+\" but found " + Describe(FToken));
          s += FToken.Text;
          Next();
        }
        FWriter.WriteString(s);
        return;
      }
      case TTokenKind::tkIdent: {
        if (IsReserved()) Fail(at, "expected a value but found " + Describe(FToken));
        std::string ident = FToken.Text;
        Next();
        while (IsSymbol('.')) {  // a reference to a component of another form: Form2.ImageList1
          Next();
          ident += '.';
          ident += ExpectIdent("a name after \".\"");
        }
        for (const auto& [constName, constValue] : FConstants)
          if (SameText(constName, ident)) {
            FWriter.WriteInteger(constValue);
            return;
          }
        CheckShort(at, ident, *this);
        // Null is written as the tag that also ends a list: inside a list it
        // would end the list early and shift every end after it.
        if (AInList && SameText(ident, "Null"))
          Fail(at, "Null cannot be an item of a list (it would be read as the end of the list)");
        FWriter.WriteIdent(ident);
        return;
      }
      case TTokenKind::tkSymbol:
        break;
    }
    if (IsSymbol('[')) {
      Next();
      std::vector<std::string> members;
      while (!IsSymbol(']')) {
        if (!members.empty()) Expect(',');
        const TToken m = FToken;
        members.push_back(ExpectIdent("a set member"));
        CheckShort(m, members.back(), *this);
      }
      Next();
      FWriter.WriteSet(members);
      return;
    }
    if (IsSymbol('(')) {
      Next();
      FWriter.WriteListBegin();
      while (!IsSymbol(')')) {
        if (FToken.Kind == TTokenKind::tkEnd || IsReserved()) Fail(at, "the list opened here is not closed with \")\"");
        Value(ADepth + 1, true);
      }
      Next();
      FWriter.WriteListEnd();
      return;
    }
    if (IsSymbol('{')) {
      std::vector<uint8_t> bytes = BinaryData(at);
      Next();
      FWriter.WriteBinary(bytes.data(), static_cast<uint32_t>(bytes.size()));
      return;
    }
    if (IsSymbol('<')) Fail(at, "collections (<...>) are not supported in layouts");
    Fail(at, "expected a value but found " + Describe(FToken));
  }

  // The hex digits between "{" (the current token) and "}", read straight
  // from the text.
  std::vector<uint8_t> BinaryData(const TToken& AAt) {
    std::vector<uint8_t> bytes;
    int nibble = -1;
    while (true) {
      if (FPos >= FText.size()) Fail(AAt, "the binary data opened here is not closed with \"}\"");
      const char c = FText[FPos];
      if (c == '}') {
        Advance();
        break;
      }
      if (std::isspace(static_cast<unsigned char>(c))) {
        Advance();
        continue;
      }
      if (!std::isxdigit(static_cast<unsigned char>(c)))
        Fail(Here(), Format("\"%c\" is not a hex digit in binary data", c));
      const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
      Advance();
      if (nibble < 0) {
        nibble = v;
      } else {
        bytes.push_back(static_cast<uint8_t>(nibble * 16 + v));
        nibble = -1;
      }
    }
    if (nibble >= 0) Fail(AAt, "binary data with an odd number of hex digits");
    // The caller takes the token after "}"; put a dummy one in place.
    FToken.Kind = TTokenKind::tkSymbol;
    FToken.Text.assign(1, '}');
    return bytes;
  }

  TToken Here() const {
    TToken t;
    t.Line = FLine;
    t.Column = FColumn;
    return t;
  }
  void Advance() {
    if (FText[FPos] == '\n') {
      ++FLine;
      FColumn = 1;
    } else {
      ++FColumn;
    }
    ++FPos;
  }

  void SkipBlanks() {
    while (FPos < FText.size()) {
      const char c = FText[FPos];
      if (std::isspace(static_cast<unsigned char>(c))) {
        Advance();
      } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
        while (FPos < FText.size() && FText[FPos] != '\n') Advance();
      } else {
        return;
      }
    }
  }

  void Next() {
    SkipBlanks();
    FToken = Here();
    if (FPos >= FText.size()) {
      FToken.Kind = TTokenKind::tkEnd;
      FToken.Text.clear();
      return;
    }
    const char c = FText[FPos];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      FToken.Kind = TTokenKind::tkIdent;
      while (FPos < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[FPos])) || FText[FPos] == '_')) {
        FToken.Text += FText[FPos];
        Advance();
      }
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || (c == '-' && FPos + 1 < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos + 1])))) {
      FToken.Kind = TTokenKind::tkInteger;
      FToken.Text += c;
      Advance();
      while (FPos < FText.size()) {
        const char d = FText[FPos];
        if (std::isdigit(static_cast<unsigned char>(d))) {
        } else if (d == '.' || d == 'e' || d == 'E' ||
                   ((d == '+' || d == '-') && (FToken.Text.back() == 'e' || FToken.Text.back() == 'E'))) {
          FToken.Kind = TTokenKind::tkFloat;
        } else {
          break;
        }
        FToken.Text += d;
        Advance();
      }
      if (FPos < FText.size() && (std::isalpha(static_cast<unsigned char>(FText[FPos])) || FText[FPos] == '_'))
        Fail(Here(), "a letter right after the number " + FToken.Text);
      return;
    }
    if (c == '\'' || c == '#') {
      FToken.Kind = TTokenKind::tkString;
      StringToken();
      return;
    }
    if (std::string_view("=:.,[](){}<>+").find(c) != std::string_view::npos) {
      FToken.Kind = TTokenKind::tkSymbol;
      FToken.Text = std::string(1, c);
      Advance();
      return;
    }
    Fail(FToken, Format("unexpected character \"%c\"", c));
  }

  // 'quoted' pieces ('' is a quote) and #nnn character codes, side by side.
  void StringToken() {
    const TToken start = FToken;
    while (FPos < FText.size()) {
      const char c = FText[FPos];
      if (c == '\'') {
        Advance();
        while (true) {
          if (FPos >= FText.size() || FText[FPos] == '\n') Fail(start, "the text opened here is not closed on its line");
          const char d = FText[FPos];
          Advance();
          if (d == '\'') {
            if (FPos < FText.size() && FText[FPos] == '\'') {
              FToken.Text += '\'';
              Advance();
              continue;
            }
            break;
          }
          FToken.Text += d;
        }
      } else if (c == '#') {
        const TToken at = Here();
        Advance();
        uint32_t code = 0;
        int digits = 0;
        while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) {
          code = code * 10 + uint32_t(FText[FPos] - '0');
          if (code > 0x10FFFF) Fail(at, "a character code above 1114111");
          ++digits;
          Advance();
        }
        if (digits == 0) Fail(at, "\"#\" without a character code");
        if (code >= 0xD800 && code <= 0xDFFF) Fail(at, "a character code of a lone surrogate");
        AppendUtf8(code);
      } else {
        return;
      }
    }
  }

  void AppendUtf8(uint32_t ACode) {
    std::string& s = FToken.Text;
    if (ACode < 0x80) {
      s += char(ACode);
    } else if (ACode < 0x800) {
      s += char(0xC0 | (ACode >> 6));
      s += char(0x80 | (ACode & 0x3F));
    } else if (ACode < 0x10000) {
      s += char(0xE0 | (ACode >> 12));
      s += char(0x80 | ((ACode >> 6) & 0x3F));
      s += char(0x80 | (ACode & 0x3F));
    } else {
      s += char(0xF0 | (ACode >> 18));
      s += char(0x80 | ((ACode >> 12) & 0x3F));
      s += char(0x80 | ((ACode >> 6) & 0x3F));
      s += char(0x80 | (ACode & 0x3F));
    }
  }

  std::string_view FText;
  TWriter& FWriter;
  const std::string& FSource;
  const TLayoutConstants& FConstants;
  size_t FPos = 0;
  int32_t FLine = 1;
  int32_t FColumn = 1;
  TToken FToken;
};

}  // namespace

void TextLayoutToBinary(std::string_view AText, TStream& AOut, const std::string& ASource,
                        const TLayoutConstants& AConstants) {
  TWriter writer(AOut);
  TLayoutParser parser(AText, writer, ASource, AConstants);
  parser.Layout();
}
