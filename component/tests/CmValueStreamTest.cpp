// The tagged values of the property stream: the writer's choice of encoding
// byte for byte, the reader's tolerances and errors, extended reals, and
// round trips of random values of every kind.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "component/CmExtended.h"
#include "component/CmFiler.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Written(const std::function<void(TWriter&)>& AWrite) {
  TMemoryStream s;
  TWriter w(s);
  AWrite(w);
  return s.Data();
}

Bytes Concat(Bytes A, const Bytes& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

Bytes Repeat(uint8_t AByte, size_t ACount) { return Bytes(ACount, AByte); }

std::string Hex(const Bytes& ABytes) {
  std::string out;
  for (uint8_t b : ABytes) out += Format("%02X ", b);
  return out;
}

// ---------------------------------------------------------------------------
// What the writer produces

struct TEncodingCase {
  const char* Name;
  std::function<void(TWriter&)> Write;
  Bytes Expected;
};

void PrintTo(const TEncodingCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class WriterEncoding : public testing::TestWithParam<TEncodingCase> {};

TEST_P(WriterEncoding, ProducesTheExpectedBytes) {
  const Bytes got = Written(GetParam().Write);
  EXPECT_EQ(got, GetParam().Expected) << "got " << Hex(got) << "\nwant " << Hex(GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, WriterEncoding,
    testing::Values(
        TEncodingCase{"Int127", [](TWriter& w) { w.WriteInteger(127); }, {0x02, 0x7F}},
        TEncodingCase{"IntMinus128", [](TWriter& w) { w.WriteInteger(-128); }, {0x02, 0x80}},
        TEncodingCase{"Int128", [](TWriter& w) { w.WriteInteger(128); }, {0x03, 0x80, 0x00}},
        TEncodingCase{"IntMinus129", [](TWriter& w) { w.WriteInteger(-129); }, {0x03, 0x7F, 0xFF}},
        TEncodingCase{"Int32767", [](TWriter& w) { w.WriteInteger(32767); }, {0x03, 0xFF, 0x7F}},
        TEncodingCase{"Int40000", [](TWriter& w) { w.WriteInteger(40000); }, {0x04, 0x40, 0x9C, 0x00, 0x00}},
        TEncodingCase{"IntMinus32769", [](TWriter& w) { w.WriteInteger(-32769); }, {0x04, 0xFF, 0x7F, 0xFF, 0xFF}},
        TEncodingCase{"Int64Of1024", [](TWriter& w) { w.WriteInteger(int64_t(1024)); }, {0x03, 0x00, 0x04}},
        TEncodingCase{"Int64OfInt32Min", [](TWriter& w) { w.WriteInteger(int64_t(INT32_MIN)); },
                      {0x04, 0x00, 0x00, 0x00, 0x80}},
        TEncodingCase{"Int64Of2Pow31", [](TWriter& w) { w.WriteInteger(int64_t(1) << 31); },
                      {0x13, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00}},
        TEncodingCase{"Int64BelowInt32Min", [](TWriter& w) { w.WriteInteger(int64_t(INT32_MIN) - 1); },
                      {0x13, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
        TEncodingCase{"Int64Max", [](TWriter& w) { w.WriteInteger(std::numeric_limits<int64_t>::max()); },
                      {0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        TEncodingCase{"IdentLowerCaseTrue", [](TWriter& w) { w.WriteIdent("true"); }, {0x09}},
        TEncodingCase{"IdentFalse", [](TWriter& w) { w.WriteIdent("FALSE"); }, {0x08}},
        TEncodingCase{"IdentNil", [](TWriter& w) { w.WriteIdent("NIL"); }, {0x0D}},
        TEncodingCase{"IdentNull", [](TWriter& w) { w.WriteIdent("null"); }, {0x00}},
        TEncodingCase{"IdentOther", [](TWriter& w) { w.WriteIdent("csOne"); }, {0x07, 0x05, 'c', 's', 'O', 'n', 'e'}},
        TEncodingCase{"Booleans", [](TWriter& w) { w.WriteBoolean(true), w.WriteBoolean(false); }, {0x09, 0x08}},
        TEncodingCase{"EmptySet", [](TWriter& w) { w.WriteSet({}); }, {0x0B, 0x00}},
        TEncodingCase{"SetOfTwo", [](TWriter& w) { w.WriteSet({"a", "bc"}); }, {0x0B, 0x01, 'a', 0x02, 'b', 'c', 0x00}},
        TEncodingCase{"EmptyStringIsWString", [](TWriter& w) { w.WriteString(""); }, {0x12, 0x00, 0x00, 0x00, 0x00}},
        TEncodingCase{"ShortAsciiString", [](TWriter& w) { w.WriteString("abc"); }, {0x06, 0x03, 'a', 'b', 'c'}},
        TEncodingCase{"Ascii255IsString", [](TWriter& w) { w.WriteString(std::string(255, 'x')); },
                      Concat({0x06, 0xFF}, Repeat('x', 255))},
        TEncodingCase{"Ascii300IsLString", [](TWriter& w) { w.WriteString(std::string(300, 'x')); },
                      Concat({0x0C, 0x2C, 0x01, 0x00, 0x00}, Repeat('x', 300))},
        TEncodingCase{"CafeIsUTF8String", [](TWriter& w) { w.WriteString("caf\xC3\xA9"); },
                      {0x14, 0x05, 0x00, 0x00, 0x00, 'c', 'a', 'f', 0xC3, 0xA9}},
        TEncodingCase{"EAcuteAloneIsWString", [](TWriter& w) { w.WriteString("\xC3\xA9"); },
                      {0x12, 0x01, 0x00, 0x00, 0x00, 0xE9, 0x00}},
        TEncodingCase{"EuroSignIsWString", [](TWriter& w) { w.WriteString("\xE2\x82\xAC"); },
                      {0x12, 0x01, 0x00, 0x00, 0x00, 0xAC, 0x20}},
        TEncodingCase{"SurrogatePairIsWString", [](TWriter& w) { w.WriteString("\xF0\x9F\x98\x80"); },
                      {0x12, 0x02, 0x00, 0x00, 0x00, 0x3D, 0xD8, 0x00, 0xDE}},
        TEncodingCase{"ExtendedTwo", [](TWriter& w) { w.WriteFloat(2.0); },
                      {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40}},
        TEncodingCase{"Extended300", [](TWriter& w) { w.WriteFloat(300.0); },
                      {0x05, 0, 0, 0, 0, 0, 0, 0, 0x96, 0x07, 0x40}},
        TEncodingCase{"ExtendedZero", [](TWriter& w) { w.WriteFloat(0.0); }, Concat({0x05}, Repeat(0, 10))},
        TEncodingCase{"Single", [](TWriter& w) { w.WriteSingle(1.5f); }, {0x0F, 0x00, 0x00, 0xC0, 0x3F}},
        TEncodingCase{"Double", [](TWriter& w) { w.WriteDouble(1.5); },
                      {0x15, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        TEncodingCase{"Date", [](TWriter& w) { w.WriteDate(1.5); }, {0x11, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
        TEncodingCase{"Currency", [](TWriter& w) { w.WriteCurrency(1.5); }, {0x10, 0x98, 0x3A, 0, 0, 0, 0, 0, 0}},
        TEncodingCase{"Binary", [](TWriter& w) { w.WriteBinary("\x01\x02", 2); }, {0x0A, 0x02, 0, 0, 0, 0x01, 0x02}},
        TEncodingCase{"List", [](TWriter& w) { w.WriteListBegin(), w.WriteInteger(1), w.WriteListEnd(); },
                      {0x01, 0x02, 0x01, 0x00}},
        TEncodingCase{"ShortStrCutAt255", [](TWriter& w) { w.WriteStr(std::string(300, 'y')); },
                      Concat({0xFF}, Repeat('y', 255))},
        TEncodingCase{"Signature", [](TWriter& w) { w.WriteSignature(); }, {'T', 'P', 'F', '0'}}),
    [](const testing::TestParamInfo<TEncodingCase>& AInfo) { return std::string(AInfo.param.Name); });

// ---------------------------------------------------------------------------
// What the reader accepts

struct TReadCase {
  const char* Name;
  Bytes Input;
  std::function<void(TReader&)> Check;
};

void PrintTo(const TReadCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class ReaderAccepts : public testing::TestWithParam<TReadCase> {};

TEST_P(ReaderAccepts, ReadsTheValueAndStopsBehindIt) {
  TMemoryStream s(GetParam().Input);
  TReader r(s);
  GetParam().Check(r);
  EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(GetParam().Input.size())) << "the value was not taken whole";
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReaderAccepts,
    testing::Values(
        TReadCase{"FloatFromInt16", {0x03, 0x2C, 0x01}, [](TReader& r) { EXPECT_EQ(r.ReadFloat(), 300.0); }},
        TReadCase{"FloatFromInt8", {0x02, 0xFE}, [](TReader& r) { EXPECT_EQ(r.ReadFloat(), -2.0); }},
        TReadCase{"FloatFromInt64", {0x13, 0, 0, 0, 0, 1, 0, 0, 0},
                  [](TReader& r) { EXPECT_EQ(r.ReadFloat(), 4294967296.0); }},
        TReadCase{"FloatFromDouble", {0x15, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F},
                  [](TReader& r) { EXPECT_EQ(r.ReadFloat(), 1.5); }},
        TReadCase{"FloatFromExtended300", {0x05, 0, 0, 0, 0, 0, 0, 0, 0x96, 0x07, 0x40},
                  [](TReader& r) { EXPECT_EQ(r.ReadFloat(), 300.0); }},
        TReadCase{"IntegerSignExtends", {0x03, 0x7F, 0xFF}, [](TReader& r) { EXPECT_EQ(r.ReadInteger(), -129); }},
        TReadCase{"IntegerInt32", {0x04, 0x40, 0x9C, 0, 0}, [](TReader& r) { EXPECT_EQ(r.ReadInteger(), 40000); }},
        TReadCase{"Int64FromInt8", {0x02, 0x80}, [](TReader& r) { EXPECT_EQ(r.ReadInt64(), -128); }},
        TReadCase{"Int64FromInt64", {0x13, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF},
                  [](TReader& r) { EXPECT_EQ(r.ReadInt64(), int64_t(INT32_MIN) - 1); }},
        TReadCase{"IdentFromTrue", {0x09}, [](TReader& r) { EXPECT_EQ(r.ReadIdent(), "True"); }},
        TReadCase{"IdentFromFalse", {0x08}, [](TReader& r) { EXPECT_EQ(r.ReadIdent(), "False"); }},
        TReadCase{"IdentFromNil", {0x0D}, [](TReader& r) { EXPECT_EQ(r.ReadIdent(), "nil"); }},
        TReadCase{"IdentFromNull", {0x00}, [](TReader& r) { EXPECT_EQ(r.ReadIdent(), "Null"); }},
        TReadCase{"StringFromLatin1String", {0x06, 0x01, 0xE9}, [](TReader& r) { EXPECT_EQ(r.ReadString(), "\xC3\xA9"); }},
        TReadCase{"StringFromLString", {0x0C, 0x02, 0, 0, 0, 'h', 'i'}, [](TReader& r) { EXPECT_EQ(r.ReadString(), "hi"); }},
        TReadCase{"StringFromUTF8String", {0x14, 0x02, 0, 0, 0, 0xC3, 0xA9},
                  [](TReader& r) { EXPECT_EQ(r.ReadString(), "\xC3\xA9"); }},
        TReadCase{"StringFromWStringPair", {0x12, 0x02, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE},
                  [](TReader& r) { EXPECT_EQ(r.ReadString(), "\xF0\x9F\x98\x80"); }},
        TReadCase{"EmptySet", {0x0B, 0x00}, [](TReader& r) { EXPECT_TRUE(r.ReadSet().empty()); }},
        TReadCase{"SingleFromSingle", {0x0F, 0x00, 0x00, 0xC0, 0x3F}, [](TReader& r) { EXPECT_EQ(r.ReadSingle(), 1.5f); }},
        TReadCase{"CurrencyValue", {0x10, 0x98, 0x3A, 0, 0, 0, 0, 0, 0}, [](TReader& r) { EXPECT_EQ(r.ReadCurrency(), 1.5); }},
        TReadCase{"DateValue", {0x11, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, [](TReader& r) { EXPECT_EQ(r.ReadDate(), 1.5); }},
        TReadCase{"EndOfListDoesNotTake", {0x00},
                  [](TReader& r) {
                    EXPECT_TRUE(r.EndOfList());
                    EXPECT_EQ(r.NextValue(), TValueType::vaNull);
                    r.ReadListEnd();
                  }},
        TReadCase{"SkipNestedValues",
                  {0x01, 0x01, 0x06, 0x01, 'a', 0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40, 0x00, 0x0B, 0x01, 'x', 0x00,
                   0x0E, 0x01, 0x01, 'V', 0x02, 0x07, 0x00, 0x00, 0x00},
                  [](TReader& r) { r.SkipValue(); }},
        TReadCase{"Signature", {'T', 'P', 'F', '0'}, [](TReader& r) { r.ReadSignature(); }}),
    [](const testing::TestParamInfo<TReadCase>& AInfo) { return std::string(AInfo.param.Name); });

// A wrong tag or signature fails with the reader's error and its text.
struct TRejectCase {
  const char* Name;
  Bytes Input;
  std::function<void(TReader&)> Read;
  const char* LeadingText;
};

void PrintTo(const TRejectCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class ReaderRejects : public testing::TestWithParam<TRejectCase> {};

TEST_P(ReaderRejects, WithTheReadersErrorText) {
  TMemoryStream s(GetParam().Input);
  TReader r(s);
  try {
    GetParam().Read(r);
    FAIL() << "accepted";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message().rfind(GetParam().LeadingText, 0), 0u) << e.Message();
    EXPECT_NE(e.Message().find("offset"), std::string::npos) << e.Message();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReaderRejects,
    testing::Values(
        TRejectCase{"IntegerFromExtended", {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0x40},
                    [](TReader& r) { r.ReadInteger(); }, "Invalid property value"},
        TRejectCase{"IntegerFromInt64", {0x13, 0, 0, 0, 0, 1, 0, 0, 0}, [](TReader& r) { r.ReadInteger(); },
                    "Invalid property value"},
        TRejectCase{"FloatFromSingle", {0x0F, 0x00, 0x00, 0xC0, 0x3F}, [](TReader& r) { r.ReadFloat(); },
                    "Invalid property value"},
        TRejectCase{"StringFromIdent", {0x07, 0x01, 'a'}, [](TReader& r) { r.ReadString(); }, "Invalid property value"},
        TRejectCase{"IdentFromString", {0x06, 0x01, 'a'}, [](TReader& r) { r.ReadIdent(); }, "Invalid property value"},
        TRejectCase{"BooleanFromInt8", {0x02, 0x01}, [](TReader& r) { r.ReadBoolean(); }, "Invalid property value"},
        TRejectCase{"ListExpected", {0x02, 0x01}, [](TReader& r) { r.ReadListBegin(); }, "Invalid property value"},
        TRejectCase{"UnknownTagSkipped", {0x2A}, [](TReader& r) { r.SkipValue(); }, "Invalid property value"},
        TRejectCase{"WrongSignature", {'T', 'P', 'F', '1', 0x00}, [](TReader& r) { r.ReadSignature(); },
                    "Invalid stream format"},
        TRejectCase{"ShortSignature", {'T', 'P'}, [](TReader& r) { r.ReadSignature(); }, "Invalid stream format"},
        TRejectCase{"LayoutWithoutSignature", {0x06, 'T', 'F', 'o', 'r', 'm', '1', 0x00},
                    [](TReader& r) { r.ReadRootComponent(nullptr); }, "Invalid stream format"},
        TRejectCase{"LengthBeyondTheEnd", {0x0C, 0xF0, 0xFF, 0xFF, 0xFF, 'a'}, [](TReader& r) { r.ReadString(); },
                    "Stream read error"},
        TRejectCase{"WStringBeyondTheEnd", {0x12, 0x00, 0x00, 0x00, 0x80}, [](TReader& r) { r.ReadString(); },
                    "Stream read error"},
        TRejectCase{"ListsNestedTooDeep", Repeat(0x01, 5000), [](TReader& r) { r.SkipValue(); },
                    "Invalid property value"}),
    [](const testing::TestParamInfo<TRejectCase>& AInfo) { return std::string(AInfo.param.Name); });

// Reals of every width are taken by Single, Currency and Date, rounded to
// the wanted type; a value the type cannot hold is refused.

Bytes ExtendedValue(double AValue) {
  const TExtended80 e = DoubleToExtended(AValue);
  return Concat(Bytes{0x05}, Bytes(e.begin(), e.end()));
}

// Ten extended bytes for 2^AExponent, which may lie beyond the double range.
Bytes ExtendedPower(int AExponent) {
  const uint16_t top = static_cast<uint16_t>(AExponent + 16383);
  return {0x05, 0, 0, 0, 0, 0, 0, 0, 0x80, uint8_t(top & 0xFF), uint8_t(top >> 8)};
}

Bytes EightBytes(uint8_t ATag, uint64_t ABits) {
  Bytes b{ATag};
  for (int i = 0; i < 8; ++i) b.push_back(uint8_t(ABits >> (8 * i)));
  return b;
}
Bytes DoubleValue(double AValue) { return EightBytes(0x15, std::bit_cast<uint64_t>(AValue)); }

Bytes SingleValue(float AValue) {
  const uint32_t u = std::bit_cast<uint32_t>(AValue);
  return {0x0F, uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
}

struct TNarrowReadCase {
  const char* Name;
  Bytes Input;
  std::function<double(TReader&)> Read;
  double Expected;  // NaN: refused with "Invalid property value"
};

void PrintTo(const TNarrowReadCase& ACase, std::ostream* AOut) { *AOut << ACase.Name; }

class ReaderNarrowsReals : public testing::TestWithParam<TNarrowReadCase> {};

TEST_P(ReaderNarrowsReals, RoundsToTheTypeOrRefuses) {
  const TNarrowReadCase& c = GetParam();
  TMemoryStream s(c.Input);
  TReader r(s);
  if (std::isnan(c.Expected)) {
    try {
      c.Read(r);
      FAIL() << "accepted";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message().rfind("Invalid property value", 0), 0u) << e.Message();
      EXPECT_NE(e.Message().find("offset 0"), std::string::npos) << e.Message();
    }
    return;
  }
  EXPECT_EQ(c.Read(r), c.Expected);
  EXPECT_EQ(s.GetPosition(), static_cast<int64_t>(c.Input.size()));
}

const auto kSingle = [](TReader& r) { return static_cast<double>(r.ReadSingle()); };
const auto kCurrency = [](TReader& r) { return r.ReadCurrency(); };
const auto kDate = [](TReader& r) { return r.ReadDate(); };
constexpr double kRefused = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, ReaderNarrowsReals,
    testing::Values(
        TNarrowReadCase{"SingleFromExtended", ExtendedValue(300), kSingle, 300.0},
        TNarrowReadCase{"SingleFromDoubleRounds", DoubleValue(0.1), kSingle, static_cast<double>(0.1f)},
        TNarrowReadCase{"SingleFromExtendedInfinity", ExtendedValue(-INFINITY), kSingle, -INFINITY},
        TNarrowReadCase{"SingleFromLargestSingle", DoubleValue(double(FLT_MAX)), kSingle, double(FLT_MAX)},
        TNarrowReadCase{"SingleBeyondItsRange", DoubleValue(1e39), kSingle, kRefused},
        TNarrowReadCase{"SingleFromExtendedBeyondDoubles", ExtendedPower(2000), kSingle, kRefused},
        TNarrowReadCase{"CurrencyFromExtendedRounds", ExtendedValue(1.23456), kCurrency, 1.2346},
        TNarrowReadCase{"CurrencyFromSingle", SingleValue(2.5f), kCurrency, 2.5},
        TNarrowReadCase{"CurrencyFromDoubleNegative", DoubleValue(-0.00004), kCurrency, 0.0},
        TNarrowReadCase{"CurrencyOfNaN", DoubleValue(NAN), kCurrency, kRefused},
        TNarrowReadCase{"CurrencyOfInfinity", ExtendedValue(INFINITY), kCurrency, kRefused},
        TNarrowReadCase{"CurrencyBeyondItsRange", DoubleValue(1e15), kCurrency, kRefused},
        TNarrowReadCase{"CurrencyFromInt64BeyondItsRange", EightBytes(0x13, uint64_t(1) << 62), kCurrency, kRefused},
        TNarrowReadCase{"DateFromSingle", SingleValue(1.5f), kDate, 1.5},
        TNarrowReadCase{"DateFromExtended", ExtendedValue(45000.25), kDate, 45000.25},
        TNarrowReadCase{"DateFromExtendedBeyondDoubles", ExtendedPower(1024), kDate, kRefused}),
    [](const testing::TestParamInfo<TNarrowReadCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST(ReaderCheckValue, SkipsTheUnexpectedValueBeforeFailing) {
  TMemoryStream s(Bytes{0x06, 0x02, 'a', 'b', 0x02, 0x07});
  TReader r(s);
  EXPECT_THROW(r.CheckValue(TValueType::vaList), EReadError);
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(r.ReadInteger(), 7);
}

// ---------------------------------------------------------------------------
// Extended reals

uint64_t Bits(double AValue) { return std::bit_cast<uint64_t>(AValue); }

TEST(ExtendedReal, EveryKindOfDoubleComesBackBitForBit) {
  const double cases[] = {0.0,
                          -0.0,
                          1.0,
                          -2.5,
                          0.1,
                          std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::denorm_min(),
                          -std::numeric_limits<double>::denorm_min() * 12345,
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          std::bit_cast<double>(uint64_t(0x7FF8000000000123)),  // quiet NaN with payload
                          std::bit_cast<double>(uint64_t(0x7FF0000000000001))}; // signalling NaN
  for (double v : cases) {
    const TExtended80 e = DoubleToExtended(v);
    EXPECT_EQ(Bits(ExtendedToDouble(e)), Bits(v)) << v;
  }
  std::mt19937_64 rng(20261210);
  for (int i = 0; i < 100000; ++i) {
    const double v = std::bit_cast<double>(rng());
    EXPECT_EQ(Bits(ExtendedToDouble(DoubleToExtended(v))), Bits(v)) << i;
  }
}

TEST(ExtendedReal, NamedBitPatterns) {
  const TExtended80 minusZero = DoubleToExtended(-0.0);
  EXPECT_EQ(minusZero, (TExtended80{0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x80}));
  const TExtended80 one = DoubleToExtended(1.0);
  EXPECT_EQ(one, (TExtended80{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
  const TExtended80 inf = DoubleToExtended(std::numeric_limits<double>::infinity());
  EXPECT_EQ(inf, (TExtended80{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}));
  // The smallest subnormal double, 2^-1074, is a normal extended.
  const TExtended80 tiny = DoubleToExtended(std::numeric_limits<double>::denorm_min());
  const int exponent = (tiny[8] | tiny[9] << 8) - 16383;
  EXPECT_EQ(exponent, -1074);
  EXPECT_EQ(tiny[7], 0x80);
}

TExtended80 Make(uint16_t ASignExp, uint64_t AMantissa) {
  TExtended80 e{};
  for (int i = 0; i < 8; ++i) e[i] = uint8_t(AMantissa >> (8 * i));
  e[8] = uint8_t(ASignExp);
  e[9] = uint8_t(ASignExp >> 8);
  return e;
}

struct TNarrowCase {
  const char* Name;
  TExtended80 Input;
  double Expected;
};

class ExtendedNarrowing : public testing::TestWithParam<TNarrowCase> {};

TEST_P(ExtendedNarrowing, RoundsToTheNearestDouble) {
  EXPECT_EQ(Bits(ExtendedToDouble(GetParam().Input)), Bits(GetParam().Expected)) << GetParam().Name;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExtendedNarrowing,
    testing::Values(
        // 1 + 2^-53 is halfway between 1 and the next double: ties go to even (1).
        TNarrowCase{"TieToEvenDown", Make(0x3FFF, 0x8000000000000400), 1.0},
        // 1 + 3 * 2^-53 is halfway between two doubles: to the even one above.
        TNarrowCase{"TieToEvenUp", Make(0x3FFF, 0x8000000000000C00), 1.0 + 4 * std::ldexp(1.0, -53)},
        TNarrowCase{"AboveHalfRoundsUp", Make(0x3FFF, 0x8000000000000401), 1.0 + std::ldexp(1.0, -52)},
        TNarrowCase{"CarryIntoExponent", Make(0x3FFF, 0xFFFFFFFFFFFFFFFF), 2.0},
        TNarrowCase{"BeyondDoubleRange", Make(0x43FF, 0x8000000000000000), std::numeric_limits<double>::infinity()},
        TNarrowCase{"BelowDoubleRange", Make(0x0001, 0x8000000000000000), 0.0},
        TNarrowCase{"NegativeBelowRange", Make(0x8001, 0x8000000000000000), -0.0},
        TNarrowCase{"HalfOfSmallestSubnormalIsZero", Make(16383 - 1075, 0x8000000000000000), 0.0},
        TNarrowCase{"JustAboveHalfOfSmallestSubnormal", Make(16383 - 1075, 0x8000000000000001),
                    std::numeric_limits<double>::denorm_min()},
        TNarrowCase{"UnnormalReadsAsItsNumber", Make(0x4000, 0x4000000000000000), 1.0},
        TNarrowCase{"ExtendedDenormalIsZero", Make(0x0000, 0x0000000000000001), 0.0}),
    [](const testing::TestParamInfo<TNarrowCase>& AInfo) { return std::string(AInfo.param.Name); });

TEST(ExtendedReal, PseudoInfinityReadsAsNaN) {
  EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(0x7FFF, 0))));
  EXPECT_TRUE(std::isnan(ExtendedToDouble(Make(0x7FFF, 0xC000000000000000))));
}

// ---------------------------------------------------------------------------
// Random round trips of every kind of value

std::string RandomText(std::mt19937_64& ARng) {
  // Code points from every UTF-8 length, surrogate pairs included.
  static const uint32_t pool[] = {'a', 'Z', '0', ' ', 0x7F, 0xE9, 0x7FF, 0x800, 0x20AC, 0xFFFD, 0x10000, 0x1F600, 0x10FFFF};
  std::string s;
  const size_t n = ARng() % 300;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t cp = (ARng() % 4 == 0) ? pool[ARng() % std::size(pool)] : uint32_t('a' + ARng() % 26);
    std::u16string one;
    if (cp >= 0x10000) {
      one.push_back(char16_t(0xD800 + ((cp - 0x10000) >> 10)));
      one.push_back(char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      one.push_back(char16_t(cp));
    }
    // Encode through the stream itself is what is tested; build UTF-8 here.
    if (cp < 0x80) {
      s.push_back(char(cp));
    } else if (cp < 0x800) {
      s.push_back(char(0xC0 | (cp >> 6)));
      s.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      s.push_back(char(0xE0 | (cp >> 12)));
      s.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      s.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      s.push_back(char(0xF0 | (cp >> 18)));
      s.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      s.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      s.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return s;
}

TEST(ValueRoundTrip, RandomValuesOfEveryKindReadBackEqual) {
  std::mt19937_64 rng(7);
  enum Kind { kInt32, kInt64, kFloat, kSingle, kDouble, kCurrency, kDate, kBool, kIdent, kString, kBinary, kSet, kCount };
  struct TItem {
    Kind K;
    int64_t I = 0;
    double D = 0;
    std::string S;
    std::vector<std::string> Members;
    Bytes Data;
  };
  std::vector<TItem> items;
  for (int i = 0; i < 3000; ++i) {
    TItem t;
    t.K = Kind(rng() % kCount);
    const int shift = int(rng() % 64);
    t.I = static_cast<int64_t>(rng()) >> shift;
    t.D = std::bit_cast<double>(rng());
    if (std::isnan(t.D)) t.D = 0.5;
    t.S = RandomText(rng);
    if (t.K == kIdent) t.S = "id" + std::to_string(rng() % 100000);
    if (t.K == kSet)
      for (size_t m = rng() % 5; m > 0; --m) t.Members.push_back("m" + std::to_string(rng() % 1000));
    if (t.K == kBinary) t.Data = Repeat(uint8_t(rng()), rng() % 70);
    if (t.K == kCurrency) t.D = double(static_cast<int64_t>(rng() % 2000000001) - 1000000000) / 10000.0;
    items.push_back(t);
  }
  TMemoryStream s;
  {
    TWriter w(s);
    w.WriteListBegin();
    for (const TItem& t : items) switch (t.K) {
        case kInt32: w.WriteInteger(static_cast<int32_t>(t.I)); break;
        case kInt64: w.WriteInteger(t.I); break;
        case kFloat: w.WriteFloat(t.D); break;
        case kSingle: w.WriteSingle(static_cast<float>(t.D)); break;
        case kDouble: w.WriteDouble(t.D); break;
        case kCurrency: w.WriteCurrency(t.D); break;
        case kDate: w.WriteDate(t.D); break;
        case kBool: w.WriteBoolean((t.I & 1) != 0); break;
        case kIdent: w.WriteIdent(t.S); break;
        case kString: w.WriteString(t.S); break;
        case kBinary: w.WriteBinary(t.Data.data(), static_cast<uint32_t>(t.Data.size())); break;
        case kSet: w.WriteSet(t.Members); break;
        case kCount: break;
      }
    w.WriteListEnd();
  }
  s.SetPosition(0);
  TReader r(s);
  r.ReadListBegin();
  for (size_t i = 0; i < items.size(); ++i) {
    const TItem& t = items[i];
    SCOPED_TRACE(testing::Message() << "item " << i << " kind " << t.K);
    switch (t.K) {
      case kInt32: EXPECT_EQ(r.ReadInteger(), static_cast<int32_t>(t.I)); break;
      case kInt64: EXPECT_EQ(r.ReadInt64(), t.I); break;
      case kFloat: EXPECT_EQ(Bits(r.ReadFloat()), Bits(t.D)); break;
      case kSingle: EXPECT_EQ(std::bit_cast<uint32_t>(r.ReadSingle()), std::bit_cast<uint32_t>(static_cast<float>(t.D))); break;
      case kDouble: EXPECT_EQ(Bits(r.ReadDouble()), Bits(t.D)); break;
      case kCurrency: EXPECT_DOUBLE_EQ(r.ReadCurrency(), t.D); break;
      case kDate: EXPECT_EQ(Bits(r.ReadDate()), Bits(t.D)); break;
      case kBool: EXPECT_EQ(r.ReadBoolean(), (t.I & 1) != 0); break;
      case kIdent: EXPECT_EQ(r.ReadIdent(), t.S); break;
      case kString: EXPECT_EQ(r.ReadString(), t.S); break;
      case kBinary: EXPECT_EQ(r.ReadBinary(), t.Data); break;
      case kSet: EXPECT_EQ(r.ReadSet(), t.Members); break;
      case kCount: break;
    }
  }
  r.ReadListEnd();
  EXPECT_EQ(s.Remaining(), 0);
}

TEST(ValueRoundTrip, LoneSurrogatesSurviveAWStringRoundTrip) {
  // A text read from a WString with a lone high surrogate is written back
  // with the same code units.
  const Bytes stored{0x12, 0x03, 0, 0, 0, 'a', 0x00, 0x01, 0xD8, 'b', 0x00};
  TMemoryStream in(stored);
  TReader r(in);
  const std::string text = r.ReadString();
  EXPECT_EQ(Written([&](TWriter& w) { w.WriteString(text); }), stored);
}

}  // namespace
