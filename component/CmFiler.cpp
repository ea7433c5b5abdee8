#include "component/CmFiler.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "component/CmExtended.h"

namespace {

// Deepest nesting of lists, sub-objects and owned components that is read
// or written; a corrupted stream of list tags must not exhaust the stack.
constexpr int kMaxDepth = 100;

const char kSignature[4] = {'T', 'P', 'F', '0'};

// --- UTF-8 and UTF-16 -------------------------------------------------------
//
// Texts are UTF-8 in memory. Lone surrogates travel as their three-byte
// forms (ED A0..BF xx), so a text read from a WString is written back with
// the same code units. Bytes that form no sequence count as one code unit
// and are written as U+FFFD in the rare case that a WString is chosen.

struct TDecoded {
  uint32_t CodePoint;
  size_t Length;  // bytes taken
};

TDecoded DecodeUtf8(const std::string& s, size_t i) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  const uint8_t c = b(i);
  const size_t left = s.size() - i;
  const auto cont = [&](size_t k) { return k < s.size() && (b(k) & 0xC0) == 0x80; };
  if (c < 0x80) return {c, 1};
  if (c >= 0xC2 && c <= 0xDF && left >= 2 && cont(i + 1)) return {uint32_t(c & 0x1F) << 6 | (b(i + 1) & 0x3F), 2};
  if (c >= 0xE0 && c <= 0xEF && left >= 3 && cont(i + 1) && cont(i + 2)) {
    const uint32_t cp = uint32_t(c & 0x0F) << 12 | uint32_t(b(i + 1) & 0x3F) << 6 | (b(i + 2) & 0x3F);
    if (cp >= 0x800) return {cp, 3};
  }
  if (c >= 0xF0 && c <= 0xF4 && left >= 4 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
    const uint32_t cp = uint32_t(c & 0x07) << 18 | uint32_t(b(i + 1) & 0x3F) << 12 | uint32_t(b(i + 2) & 0x3F) << 6 |
                        (b(i + 3) & 0x3F);
    if (cp >= 0x10000 && cp <= 0x10FFFF) return {cp, 4};
  }
  return {0xFFFD, 1};
}

// AHasLoneSurrogate is set when the text carries a surrogate of its own,
// which only a WString can hold.
std::u16string Utf8ToUtf16(const std::string& s, bool* AHasLoneSurrogate = nullptr) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const TDecoded d = DecodeUtf8(s, i);
    i += d.Length;
    if (d.CodePoint >= 0xD800 && d.CodePoint <= 0xDFFF && AHasLoneSurrogate != nullptr) *AHasLoneSurrogate = true;
    if (d.CodePoint >= 0x10000) {
      const uint32_t v = d.CodePoint - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(d.CodePoint));
    }
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const uint32_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (uint32_t(s[i + 1]) - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, u);  // a lone surrogate keeps its three-byte form
    }
  }
  return out;
}

std::string Latin1ToUtf8(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) AppendUtf8(out, static_cast<uint8_t>(c));
  return out;
}

}  // namespace

// ===========================================================================
// Writer

void TWriter::WriteSignature() { WriteBytes(kSignature, 4); }

void TWriter::WriteValue(TValueType AValue) {
  const uint8_t tag = static_cast<uint8_t>(AValue);
  WriteBytes(&tag, 1);
}

void TWriter::WriteUInt32(uint32_t AValue) {
  const uint8_t b[4] = {uint8_t(AValue), uint8_t(AValue >> 8), uint8_t(AValue >> 16), uint8_t(AValue >> 24)};
  WriteBytes(b, 4);
}

void TWriter::WriteInteger(int32_t AValue) {
  if (AValue >= -128 && AValue <= 127) {
    const uint8_t b[2] = {uint8_t(TValueType::vaInt8), uint8_t(AValue)};
    WriteBytes(b, 2);
  } else if (AValue >= -32768 && AValue <= 32767) {
    const auto v = static_cast<uint16_t>(AValue);
    const uint8_t b[3] = {uint8_t(TValueType::vaInt16), uint8_t(v), uint8_t(v >> 8)};
    WriteBytes(b, 3);
  } else {
    WriteValue(TValueType::vaInt32);
    WriteUInt32(static_cast<uint32_t>(AValue));
  }
}

void TWriter::WriteInteger(int64_t AValue) {
  if (AValue >= std::numeric_limits<int32_t>::min() && AValue <= std::numeric_limits<int32_t>::max()) {
    WriteInteger(static_cast<int32_t>(AValue));
    return;
  }
  const auto v = static_cast<uint64_t>(AValue);
  uint8_t b[9] = {uint8_t(TValueType::vaInt64)};
  for (int i = 0; i < 8; ++i) b[1 + i] = uint8_t(v >> (8 * i));
  WriteBytes(b, 9);
}

void TWriter::WriteFloat(double AValue) {
  uint8_t b[11] = {uint8_t(TValueType::vaExtended)};
  const TExtended80 e = DoubleToExtended(AValue);
  std::memcpy(b + 1, e.data(), 10);
  WriteBytes(b, 11);
}

void TWriter::WriteSingle(float AValue) {
  const auto v = std::bit_cast<uint32_t>(AValue);
  WriteValue(TValueType::vaSingle);
  WriteUInt32(v);
}

namespace {
void Put64(uint8_t* AOut, uint64_t AValue) {
  for (int i = 0; i < 8; ++i) AOut[i] = uint8_t(AValue >> (8 * i));
}
}  // namespace

void TWriter::WriteDouble(double AValue) {
  uint8_t b[9] = {uint8_t(TValueType::vaDouble)};
  Put64(b + 1, std::bit_cast<uint64_t>(AValue));
  WriteBytes(b, 9);
}

void TWriter::WriteCurrency(double AValue) {
  const double scaled = std::nearbyint(AValue * 10000.0);
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0))
    throw EWriteError(Format("Stream write error: the currency value %g does not fit its 64-bit form", AValue));
  uint8_t b[9] = {uint8_t(TValueType::vaCurrency)};
  Put64(b + 1, static_cast<uint64_t>(static_cast<int64_t>(scaled)));
  WriteBytes(b, 9);
}

void TWriter::WriteDate(double AValue) {
  uint8_t b[9] = {uint8_t(TValueType::vaDate)};
  Put64(b + 1, std::bit_cast<uint64_t>(AValue));
  WriteBytes(b, 9);
}

void TWriter::WriteBoolean(bool AValue) { WriteValue(AValue ? TValueType::vaTrue : TValueType::vaFalse); }

void TWriter::WriteStr(const std::string& AValue) {
  const size_t n = AValue.size() < 255 ? AValue.size() : 255;
  const auto len = static_cast<uint8_t>(n);
  WriteBytes(&len, 1);
  WriteBytes(AValue.data(), n);
}

void TWriter::WriteIdent(const std::string& AIdent) {
  if (SameText(AIdent, "False"))
    WriteValue(TValueType::vaFalse);
  else if (SameText(AIdent, "True"))
    WriteValue(TValueType::vaTrue);
  else if (SameText(AIdent, "Null"))
    WriteValue(TValueType::vaNull);
  else if (SameText(AIdent, "nil"))
    WriteValue(TValueType::vaNil);
  else {
    WriteValue(TValueType::vaIdent);
    WriteStr(AIdent);
  }
}

void TWriter::WriteString(const std::string& AValue) {
  bool loneSurrogate = false;
  const std::u16string units = Utf8ToUtf16(AValue, &loneSurrogate);
  if (AValue.size() < 2 * units.size() && !loneSurrogate) {
    bool wide = false;
    for (char c : AValue) wide = wide || static_cast<uint8_t>(c) > 127;
    if (wide) {
      WriteValue(TValueType::vaUTF8String);
      WriteUInt32(static_cast<uint32_t>(AValue.size()));
    } else if (AValue.size() <= 255) {
      WriteValue(TValueType::vaString);
      const auto len = static_cast<uint8_t>(AValue.size());
      WriteBytes(&len, 1);
    } else {
      WriteValue(TValueType::vaLString);
      WriteUInt32(static_cast<uint32_t>(AValue.size()));
    }
    WriteBytes(AValue.data(), AValue.size());
    return;
  }
  WriteValue(TValueType::vaWString);
  WriteUInt32(static_cast<uint32_t>(units.size()));
  std::vector<uint8_t> bytes(units.size() * 2);
  for (size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = uint8_t(units[i]);
    bytes[2 * i + 1] = uint8_t(units[i] >> 8);
  }
  WriteBytes(bytes.data(), bytes.size());
}

void TWriter::WriteBinary(const void* AData, uint32_t ASize) {
  WriteValue(TValueType::vaBinary);
  WriteUInt32(ASize);
  WriteBytes(AData, ASize);
}

void TWriter::WriteSet(const std::vector<std::string>& AMembers) {
  WriteValue(TValueType::vaSet);
  for (const std::string& m : AMembers) WriteStr(m);
  WriteStr("");
}

void TWriter::WriteCollection(TCollection* AValue) {
  WriteValue(TValueType::vaCollection);
  if (AValue != nullptr) {
    const std::string path = FPropPath;
    FPropPath.clear();
    for (int32_t i = 0; i < AValue->Count(); ++i) {
      WriteListBegin();
      WriteProperties(AValue->Items(i));
      WriteListEnd();
    }
    FPropPath = path;
  }
  WriteListEnd();
}

void TWriter::WritePropName(const std::string& AName) { WriteStr(FPropPath + AName); }

void TWriter::WriteProperty(TPersistent* AInstance, const TPropInfo& AProp) {
  if (!AProp.IsStored(AInstance)) return;
  const TTypeInfo& type = *AProp.Type;
  switch (type.Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkInt64:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkSet: {
      const int64_t v = AProp.GetOrd(AInstance);
      if (AProp.HasDefault && v == AProp.Default) return;
      if (type.Kind == TTypeKind::tkEnumeration) {
        if (v < 0 || v >= static_cast<int64_t>(type.Names.size()))
          throw EWriteError(Format("Stream write error: %s holds %lld, which %s has no name for", AProp.Name.c_str(),
                                   static_cast<long long>(v), type.Name.c_str()));
        WritePropName(AProp.Name);
        if (&type == &TypeInfoBoolean())
          WriteBoolean(v != 0);
        else
          WriteIdent(type.Names[static_cast<size_t>(v)]);
      } else if (type.Kind == TTypeKind::tkSet) {
        std::vector<std::string> members;
        for (size_t i = 0; i < type.Names.size() && i < 32; ++i)
          if ((static_cast<uint64_t>(v) >> i) & 1) members.push_back(type.Names[i]);
        WritePropName(AProp.Name);
        WriteSet(members);
      } else if (type.Kind == TTypeKind::tkInt64) {
        WritePropName(AProp.Name);
        WriteInteger(v);
      } else {
        WritePropName(AProp.Name);
        // Unsigned 32-bit values travel with their bit pattern, as integers.
        WriteInteger(static_cast<int32_t>(static_cast<uint32_t>(v)));
      }
      return;
    }
    case TTypeKind::tkFloat: {
      const double v = AProp.GetFloat(AInstance);
      if (v == 0) return;  // zero reals are left out (see the "_Floats" list)
      WritePropName(AProp.Name);
      if (type.FloatType == TFloatType::ftSingle)
        WriteSingle(static_cast<float>(v));
      else if (type.FloatType == TFloatType::ftCurr)
        WriteCurrency(v);
      else if (SameText(type.Name, "TDateTime") || SameText(type.Name, "TDate") || SameText(type.Name, "TTime"))
        WriteDate(v);
      else
        WriteFloat(v);
      return;
    }
    case TTypeKind::tkString: {
      const std::string v = AProp.GetStr(AInstance);
      if (v.empty()) return;
      WritePropName(AProp.Name);
      WriteString(v);
      return;
    }
    case TTypeKind::tkClass: {
      TPersistent* obj = AProp.GetObj(AInstance);
      if (obj == nullptr) return;
      if (auto* c = dynamic_cast<TComponent*>(obj)) {
        if (c->GetName().empty()) return;
        std::string ref = c->GetName();
        if (c != FRoot && c->Owner() != nullptr && c->Owner() != FRoot) ref = c->Owner()->GetName() + "." + ref;
        WritePropName(AProp.Name);
        WriteIdent(ref);
      } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
        if (coll->Count() == 0) return;  // an empty collection is its default
        WritePropName(AProp.Name);
        WriteCollection(coll);
      } else {
        if (++FDepth > kMaxDepth) {
          --FDepth;
          throw EWriteError(Format("Stream write error: %s%s nests sub-objects deeper than %d levels",
                                   FPropPath.c_str(), AProp.Name.c_str(), kMaxDepth));
        }
        const std::string path = FPropPath;
        FPropPath += AProp.Name + ".";
        try {
          WriteProperties(obj);
        } catch (...) {
          FPropPath = path;
          --FDepth;
          throw;
        }
        FPropPath = path;
        --FDepth;
      }
      return;
    }
    case TTypeKind::tkMethod: {
      const TMethodBinding b = AProp.GetEventBinding(AInstance);
      if (b.Name.empty()) return;  // unset, or a handler assigned in code
      WritePropName(AProp.Name);
      WriteIdent(b.Name);
      return;
    }
  }
}

void TWriter::WriteProperties(TPersistent* AInstance) {
  for (const TPropInfo* p : AInstance->ClassType().Properties()) WriteProperty(AInstance, *p);
  // The design position of a component, stored only when it has one.
  if (auto* c = dynamic_cast<TComponent*>(AInstance); c != nullptr && FPropPath.empty() &&
                                                       (c->GetDesignLeft() != 0 || c->GetDesignTop() != 0)) {
    if (c->ClassType().FindProperty("Left") == nullptr) {
      WritePropName("Left");
      WriteInteger(c->GetDesignLeft());
    }
    if (c->ClassType().FindProperty("Top") == nullptr) {
      WritePropName("Top");
      WriteInteger(c->GetDesignTop());
    }
  }
  CallDefineProperties(AInstance, this);
}

void TWriter::WriteComponent(TComponent* AComponent) {
  if (++FDepth > kMaxDepth) {
    --FDepth;
    throw EWriteError(Format("Stream write error: components nested deeper than %d levels", kMaxDepth));
  }
  AComponent->SetWriting(true);
  try {
    WriteStr(AComponent->ClassName());
    WriteStr(AComponent->GetName());
    WriteProperties(AComponent);
    WriteListEnd();
    for (int32_t i = 0; i < AComponent->ComponentCount(); ++i) WriteComponent(AComponent->Components(i));
    WriteListEnd();
  } catch (...) {
    AComponent->SetWriting(false);
    --FDepth;
    throw;
  }
  AComponent->SetWriting(false);
  --FDepth;
}

void TWriter::WriteRootComponent(TComponent* ARoot) {
  FRoot = ARoot;
  WriteSignature();
  WriteComponent(ARoot);
}

void TWriter::DefineProperty(const std::string& AName, TReaderProc /*AReadData*/, TWriterProc AWriteData,
                             bool AHasData) {
  if (!AHasData || !AWriteData) return;
  WritePropName(AName);
  AWriteData(*this);
}

void TWriter::DefineBinaryProperty(const std::string& AName, TStreamProc /*AReadData*/, TStreamProc AWriteData,
                                   bool AHasData) {
  if (!AHasData || !AWriteData) return;
  TMemoryStream block;
  AWriteData(block);
  if (block.Data().size() > std::numeric_limits<uint32_t>::max())
    throw EWriteError(Format("Stream write error: %s%s holds more than 4 GiB", FPropPath.c_str(), AName.c_str()));
  WritePropName(AName);
  WriteBinary(block.Data().data(), static_cast<uint32_t>(block.Data().size()));
}

// ===========================================================================
// Reader

void TReader::PropValueError(int64_t AOffset, const std::string& AWhat) {
  std::string where = Format("at offset %lld of %s", static_cast<long long>(AOffset), FStream.Describe().c_str());
  if (!FCurrentProp.empty()) where = FCurrentProp + " " + where;
  throw EReadError("Invalid property value (" + (AWhat.empty() ? "" : AWhat + ", ") + where + ")");
}

void TReader::StreamFormatError(int64_t AOffset, const std::string& AWhat) {
  throw EReadError("Invalid stream format (" + (AWhat.empty() ? "" : AWhat + ", ") +
                   Format("at offset %lld of %s)", static_cast<long long>(AOffset), FStream.Describe().c_str()));
}

void TReader::ShortRead(int64_t AGot, size_t AWanted) {
  const int64_t got = AGot < 0 ? 0 : AGot;
  const int64_t start = FStream.GetPosition() - got;
  throw EReadError(Format("Stream read error: %s holds %lld of the %llu bytes wanted at offset %lld",
                          FStream.Describe().c_str(), static_cast<long long>(got),
                          static_cast<unsigned long long>(AWanted), static_cast<long long>(start)));
}

void TReader::Need(uint64_t ACount) {
  const int64_t pos = FStream.GetPosition();
  const int64_t left = FStream.GetSize() - pos;
  if (left < 0 || ACount > static_cast<uint64_t>(left))
    throw EReadError(Format("Stream read error: %s holds %lld of the %llu bytes wanted at offset %lld",
                            FStream.Describe().c_str(), static_cast<long long>(left < 0 ? 0 : left),
                            static_cast<unsigned long long>(ACount), static_cast<long long>(pos)));
}

void TReader::ReadSignature() {
  const int64_t pos = FStream.GetPosition();
  char sig[4] = {};
  const int64_t got = FStream.Read(sig, 4);
  if (got != 4 || std::memcmp(sig, kSignature, 4) != 0) StreamFormatError(pos, "no \"TPF0\" signature");
}

TValueType TReader::ReadValue() {
  uint8_t tag = 0;
  ReadBytes(&tag, 1);
  return static_cast<TValueType>(tag);
}

TValueType TReader::NextValue() {
  const TValueType t = ReadValue();
  FStream.Seek(-1, TSeekOrigin::soCurrent);
  return t;
}

bool TReader::EndOfList() { return NextValue() == TValueType::vaNull; }

void TReader::CheckValue(TValueType AValue) {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  if (t == AValue) return;
  try {
    SkipTagged(t, pos);
  } catch (const EReadError&) {
    // The value cannot even be skipped; the unexpected tag is what to report.
  }
  PropValueError(pos, Format("tag %u where %u was expected", unsigned(t), unsigned(AValue)));
}

uint32_t TReader::ReadUInt32() {
  uint8_t b[4];
  ReadBytes(b, 4);
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

bool TReader::ReadInt64Payload(TValueType ATag, int64_t& AValue) {
  switch (ATag) {
    case TValueType::vaInt8: {
      uint8_t b;
      ReadBytes(&b, 1);
      AValue = static_cast<int8_t>(b);
      return true;
    }
    case TValueType::vaInt16: {
      uint8_t b[2];
      ReadBytes(b, 2);
      AValue = static_cast<int16_t>(uint16_t(b[0] | b[1] << 8));
      return true;
    }
    case TValueType::vaInt32:
      AValue = static_cast<int32_t>(ReadUInt32());
      return true;
    case TValueType::vaInt64: {
      uint8_t b[8];
      ReadBytes(b, 8);
      uint64_t v = 0;
      for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
      AValue = static_cast<int64_t>(v);
      return true;
    }
    default: return false;
  }
}

int32_t TReader::ReadInteger() {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  int64_t v = 0;
  if (t == TValueType::vaInt64 || !ReadInt64Payload(t, v)) PropValueError(pos, Format("tag %u is no integer", unsigned(t)));
  return static_cast<int32_t>(v);
}

int64_t TReader::ReadInt64() {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  int64_t v = 0;
  if (!ReadInt64Payload(t, v)) PropValueError(pos, Format("tag %u is no integer", unsigned(t)));
  return v;
}

double TReader::ReadFloat() {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  if (t == TValueType::vaExtended) {
    TExtended80 e;
    ReadBytes(e.data(), 10);
    return ExtendedToDouble(e);
  }
  if (t == TValueType::vaDouble) {
    uint8_t b[8];
    ReadBytes(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
    return std::bit_cast<double>(v);
  }
  int64_t v = 0;
  if (!ReadInt64Payload(t, v)) PropValueError(pos, Format("tag %u is no real", unsigned(t)));
  return static_cast<double>(v);
}

double TReader::ReadAnyReal(const char* AWhat) {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  switch (t) {
    case TValueType::vaExtended: {
      TExtended80 e;
      ReadBytes(e.data(), 10);
      const double v = ExtendedToDouble(e);
      // Only an infinity or a NaN has the exponent of all ones; a number
      // beyond the double range does not fit any property read here.
      const bool special = (e[9] & 0x7F) == 0x7F && e[8] == 0xFF;
      if (std::isinf(v) && !special) PropValueError(pos, Format("the extended real is beyond the range of %s", AWhat));
      return v;
    }
    case TValueType::vaDouble:
    case TValueType::vaDate: {
      uint8_t b[8];
      ReadBytes(b, 8);
      uint64_t u = 0;
      for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
      return std::bit_cast<double>(u);
    }
    case TValueType::vaSingle: return static_cast<double>(std::bit_cast<float>(ReadUInt32()));
    default: break;
  }
  int64_t v = 0;
  if (!ReadInt64Payload(t, v)) PropValueError(pos, Format("tag %u is no %s", unsigned(t), AWhat));
  return static_cast<double>(v);
}

float TReader::ReadSingle() {
  const int64_t pos = FStream.GetPosition();
  const double v = ReadAnyReal("single");
  // Rounded to the nearest single; a finite value beyond the single range
  // has none.
  if (std::isfinite(v) && std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max()))
    PropValueError(pos, Format("%g is beyond the range of a single", v));
  return static_cast<float>(v);
}

double TReader::ReadDouble() { return ReadFloat(); }

double TReader::ReadCurrency() {
  const int64_t pos = FStream.GetPosition();
  if (NextValue() == TValueType::vaCurrency) {
    ReadValue();
    uint8_t b[8];
    ReadBytes(b, 8);
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
    return static_cast<double>(static_cast<int64_t>(u)) / 10000.0;
  }
  // Any other number is rounded to the currency's 1/10000 (halves to even)
  // and must fit its 64-bit count of those.
  const double v = ReadAnyReal("currency");
  const double scaled = std::nearbyint(v * 10000.0);
  constexpr double cLimit = 9223372036854775808.0;  // 2^63
  if (!(scaled >= -cLimit && scaled < cLimit)) PropValueError(pos, Format("%g does not fit a currency", v));
  return static_cast<double>(static_cast<int64_t>(scaled)) / 10000.0;
}

double TReader::ReadDate() { return ReadAnyReal("date"); }

bool TReader::ReadBoolean() {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  if (t == TValueType::vaTrue) return true;
  if (t == TValueType::vaFalse) return false;
  PropValueError(pos, Format("tag %u is no Boolean", unsigned(t)));
}

std::string TReader::ReadStr() {
  uint8_t n = 0;
  ReadBytes(&n, 1);
  std::string s(n, '\0');
  if (n > 0) ReadBytes(s.data(), n);
  return s;
}

std::string TReader::ReadIdent() {
  const int64_t pos = FStream.GetPosition();
  switch (ReadValue()) {
    case TValueType::vaIdent: return ReadStr();
    case TValueType::vaFalse: return "False";
    case TValueType::vaTrue: return "True";
    case TValueType::vaNil: return "nil";
    case TValueType::vaNull: return "Null";
    default: PropValueError(pos, "no identifier");
  }
}

std::string TReader::ReadLongText(TValueType ATag) {
  if (ATag == TValueType::vaString) return Latin1ToUtf8(ReadStr());
  const uint32_t n = ReadUInt32();
  if (ATag == TValueType::vaWString) {
    Need(uint64_t(n) * 2);
    std::vector<uint8_t> bytes(size_t(n) * 2);
    ReadBytes(bytes.data(), bytes.size());
    std::u16string units(n, u'\0');
    for (size_t i = 0; i < n; ++i) units[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return Utf16ToUtf8(units);
  }
  Need(n);
  std::string s(n, '\0');
  if (n > 0) ReadBytes(s.data(), n);
  return ATag == TValueType::vaLString ? Latin1ToUtf8(s) : s;
}

std::string TReader::ReadString() {
  const int64_t pos = FStream.GetPosition();
  const TValueType t = ReadValue();
  switch (t) {
    case TValueType::vaWString:
    case TValueType::vaUTF8String:
    case TValueType::vaString:
    case TValueType::vaLString: return ReadLongText(t);
    default: PropValueError(pos, Format("tag %u is no text", unsigned(t)));
  }
}

std::vector<uint8_t> TReader::ReadBinary() {
  CheckValue(TValueType::vaBinary);
  const uint32_t n = ReadUInt32();
  Need(n);
  std::vector<uint8_t> data(n);
  if (n > 0) ReadBytes(data.data(), n);
  return data;
}

std::vector<std::string> TReader::ReadSet() {
  CheckValue(TValueType::vaSet);
  std::vector<std::string> members;
  for (;;) {
    std::string m = ReadStr();
    if (m.empty()) return members;
    members.push_back(std::move(m));
  }
}

void TReader::EnterNested(int64_t AOffset) {
  if (FDepth >= kMaxDepth) PropValueError(AOffset, Format("values nested deeper than %d levels", kMaxDepth));
  ++FDepth;
}

void TReader::SkipProperties() {
  // Pairs of name and value up to the Null that ends them.
  while (!EndOfList()) {
    ReadStr();
    SkipValue();
  }
  ReadValue();
}

void TReader::SkipTagged(TValueType ATag, int64_t AOffset) {
  switch (ATag) {
    case TValueType::vaNull:
    case TValueType::vaFalse:
    case TValueType::vaTrue:
    case TValueType::vaNil: return;
    case TValueType::vaList: {
      EnterNested(AOffset);
      struct TLeave {
        int& Depth;
        ~TLeave() { --Depth; }
      } leave{FDepth};
      while (!EndOfList()) SkipValue();
      ReadValue();
      return;
    }
    case TValueType::vaInt8: FStream.Seek(1, TSeekOrigin::soCurrent); break;
    case TValueType::vaInt16: FStream.Seek(2, TSeekOrigin::soCurrent); break;
    case TValueType::vaInt32:
    case TValueType::vaSingle: FStream.Seek(4, TSeekOrigin::soCurrent); break;
    case TValueType::vaInt64:
    case TValueType::vaCurrency:
    case TValueType::vaDate:
    case TValueType::vaDouble: FStream.Seek(8, TSeekOrigin::soCurrent); break;
    case TValueType::vaExtended: FStream.Seek(10, TSeekOrigin::soCurrent); break;
    case TValueType::vaString:
    case TValueType::vaIdent: {
      uint8_t n = 0;
      ReadBytes(&n, 1);
      Need(n);
      FStream.Seek(n, TSeekOrigin::soCurrent);
      return;
    }
    case TValueType::vaBinary:
    case TValueType::vaLString:
    case TValueType::vaUTF8String:
    case TValueType::vaWString: {
      const uint64_t n = uint64_t(ReadUInt32()) * (ATag == TValueType::vaWString ? 2 : 1);
      Need(n);
      FStream.Seek(static_cast<int64_t>(n), TSeekOrigin::soCurrent);
      return;
    }
    case TValueType::vaSet:
      while (!ReadStr().empty()) {
      }
      return;
    case TValueType::vaCollection: {
      EnterNested(AOffset);
      struct TLeave {
        int& Depth;
        ~TLeave() { --Depth; }
      } leave{FDepth};
      while (!EndOfList()) {
        int64_t order = 0;
        const int64_t itemPos = FStream.GetPosition();
        const TValueType t = ReadValue();
        if (ReadInt64Payload(t, order)) continue;  // an item's stored position
        if (t != TValueType::vaList) PropValueError(itemPos, Format("tag %u where a collection item was expected", unsigned(t)));
        SkipProperties();
      }
      ReadValue();
      return;
    }
    default: PropValueError(AOffset, Format("unknown tag %u", unsigned(ATag)));
  }
  // Fixed-size payloads were skipped by seeking; make sure they were there.
  if (FStream.GetPosition() > FStream.GetSize()) {
    FStream.Seek(0, TSeekOrigin::soEnd);
    throw EReadError(Format("Stream read error: %s ends inside the value at offset %lld", FStream.Describe().c_str(),
                            static_cast<long long>(AOffset)));
  }
}

void TReader::SkipValue() {
  const int64_t pos = FStream.GetPosition();
  SkipTagged(ReadValue(), pos);
}

// ---------------------------------------------------------------------------
// Properties

void TReader::DefineProperty(const std::string& AName, TReaderProc AReadData, TWriterProc /*AWriteData*/,
                             bool /*AHasData*/) {
  if (FPropName.empty() || !AReadData || !SameText(AName, FPropName)) return;
  FPropName.clear();
  AReadData(*this);
}

void TReader::DefineBinaryProperty(const std::string& AName, TStreamProc AReadData, TStreamProc /*AWriteData*/,
                                   bool /*AHasData*/) {
  if (FPropName.empty() || !AReadData || !SameText(AName, FPropName)) return;
  FPropName.clear();
  TMemoryStream block(ReadBinary());
  AReadData(block);
}

void TReader::ReadProperty(TPersistent* AInstance) {
  const int64_t pos = FStream.GetPosition();
  const std::string name = ReadStr();
  const std::string outer = FCurrentProp;
  FCurrentProp = name;
  // Walk the dotted path down to the object that has the last part.
  TPersistent* target = AInstance;
  size_t start = 0;
  for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
    const std::string part = name.substr(start, dot - start);
    const TPropInfo* p = GetPropInfo(target, part);
    if (p == nullptr || p->Kind() != TTypeKind::tkClass)
      PropValueError(pos, Format("%s has no sub-object \"%s\"", target->ClassName().c_str(), part.c_str()));
    target = p->GetObj(target);
    if (target == nullptr) PropValueError(pos, Format("the sub-object \"%s\" is nil", part.c_str()));
    // Only owned sub-objects are written through: another component that a
    // property refers to keeps its own stored record.
    if (dynamic_cast<TComponent*>(target) != nullptr)
      PropValueError(pos, Format("\"%s\" refers to a component, not to a sub-object", part.c_str()));
    start = dot + 1;
  }
  const std::string last = name.substr(start);
  if (const TPropInfo* p = GetPropInfo(target, last)) {
    ReadPropValue(target, *p, FStream.GetPosition());
    FCurrentProp = outer;
    return;
  }
  auto* component = dynamic_cast<TComponent*>(target);
  if (component != nullptr && target == AInstance && (SameText(last, "Left") || SameText(last, "Top"))) {
    const int32_t v = ReadInteger();
    if (SameText(last, "Left"))
      component->SetDesignInfo(v, component->GetDesignTop());
    else
      component->SetDesignInfo(component->GetDesignLeft(), v);
    FCurrentProp = outer;
    return;
  }
  FPropName = last;
  CallDefineProperties(target, this);
  if (!FPropName.empty()) {
    FPropName.clear();
    PropValueError(pos, Format("%s has no property \"%s\"", target->ClassName().c_str(), last.c_str()));
  }
  FCurrentProp = outer;
}

void TReader::ReadPropValue(TPersistent* AInstance, const TPropInfo& AProp, int64_t AOffset) {
  const TTypeInfo& type = *AProp.Type;
  const auto needWrite = [&] {
    if (!AProp.CanWrite()) PropValueError(AOffset, "the property is read-only");
  };
  // A value the property's setter refuses is bad data of the stream.
  const auto apply = [&](const auto& ASet) {
    try {
      ASet();
    } catch (const EReadError&) {
      throw;
    } catch (const Exception& e) {
      PropValueError(AOffset, e.Message());
    }
  };
  switch (type.Kind) {
    case TTypeKind::tkInteger: {
      const int32_t v = ReadInteger();
      needWrite();
      // Unsigned 32-bit values come back from their bit pattern.
      apply([&] { AProp.SetOrd(AInstance, type.OrdType == TOrdType::otULong ? int64_t(uint32_t(v)) : int64_t(v)); });
      return;
    }
    case TTypeKind::tkInt64: {
      const int64_t v = ReadInt64();
      needWrite();
      apply([&] { AProp.SetOrd(AInstance, v); });
      return;
    }
    case TTypeKind::tkEnumeration: {
      const std::string ident = ReadIdent();
      const int v = type.IndexOfName(ident);
      if (v < 0) PropValueError(AOffset, Format("%s has no value \"%s\"", type.Name.c_str(), ident.c_str()));
      needWrite();
      apply([&] { AProp.SetOrd(AInstance, v); });
      return;
    }
    case TTypeKind::tkSet: {
      int64_t bits = 0;
      for (const std::string& m : ReadSet()) {
        const int v = type.IndexOfName(m);
        if (v < 0 || v >= 32) PropValueError(AOffset, Format("%s has no member \"%s\"", type.Name.c_str(), m.c_str()));
        bits |= int64_t(1) << v;
      }
      needWrite();
      apply([&] { AProp.SetOrd(AInstance, bits); });
      return;
    }
    case TTypeKind::tkFloat: {
      double v;
      if (type.FloatType == TFloatType::ftSingle)
        v = ReadSingle();
      else if (type.FloatType == TFloatType::ftCurr)
        v = ReadCurrency();
      else if (SameText(type.Name, "TDateTime") || SameText(type.Name, "TDate") || SameText(type.Name, "TTime"))
        v = ReadDate();
      else
        v = ReadFloat();
      needWrite();
      apply([&] { AProp.SetFloat(AInstance, v); });
      return;
    }
    case TTypeKind::tkString: {
      const std::string v = ReadString();
      needWrite();
      apply([&] { AProp.SetStr(AInstance, v); });
      return;
    }
    case TTypeKind::tkClass: {
      const TValueType next = NextValue();
      if (next == TValueType::vaCollection) {
        auto* coll = dynamic_cast<TCollection*>(AProp.GetObj(AInstance));
        if (coll == nullptr) PropValueError(AOffset, "a collection for a property that holds none");
        ReadCollection(coll);
        return;
      }
      const std::string ident = ReadIdent();
      needWrite();
      if (SameText(ident, "nil") || SameText(ident, "Null"))
        AProp.SetObj(AInstance, nullptr);
      else
        FFixups.push_back({AInstance, &AProp, ident});  // the component may come later in the layout
      return;
    }
    case TTypeKind::tkMethod: {
      const std::string ident = ReadIdent();
      needWrite();
      if (SameText(ident, "nil") || SameText(ident, "Null")) {
        AProp.SetEvent(AInstance, std::any());  // an empty value clears the event
        return;
      }
      const TMethodInfo* m = FRoot != nullptr ? FRoot->ClassType().FindMethod(ident) : nullptr;
      if (m == nullptr)
        PropValueError(AOffset, Format("no published method \"%s\" in %s", ident.c_str(),
                                       FRoot != nullptr ? FRoot->ClassName().c_str() : "the root"));
      if (m->EventType != type.EventType)
        PropValueError(AOffset, Format("the method \"%s\" does not fit the event", ident.c_str()));
      AProp.SetEvent(AInstance, m->Bind(FRoot));
      return;
    }
  }
}

void TReader::ReadCollection(TCollection* ACollection) {
  const int64_t pos = FStream.GetPosition();
  CheckValue(TValueType::vaCollection);
  EnterNested(pos);
  struct TLeave {
    int& Depth;
    ~TLeave() { --Depth; }
  } leave{FDepth};
  ACollection->Clear();
  while (!EndOfList()) {
    const int64_t itemPos = FStream.GetPosition();
    const TValueType t = NextValue();
    if (t == TValueType::vaInt8 || t == TValueType::vaInt16 || t == TValueType::vaInt32) {
      ReadInteger();  // an item's stored position; items are read in order
      continue;
    }
    if (t != TValueType::vaList) {
      ReadValue();
      PropValueError(itemPos, Format("tag %u where a collection item was expected", unsigned(t)));
    }
    ReadListBegin();
    TCollectionItem* item = ACollection->Add();
    const std::string outer = FCurrentProp;
    while (!EndOfList()) ReadProperty(item);
    FCurrentProp = outer;
    ReadListEnd();
  }
  ReadListEnd();
}

// ---------------------------------------------------------------------------
// Components

void TReader::ReadPrefix() {
  const uint8_t b = static_cast<uint8_t>(NextValue());
  if ((b & 0xF0) != 0xF0) return;
  ReadValue();
  if ((b & 0x02) != 0) ReadInteger();  // the child position; children are read in order
}

void TReader::ReadComponentData(TComponent* AComponent) {
  const std::string outer = FCurrentProp;
  while (!EndOfList()) ReadProperty(AComponent);
  FCurrentProp = outer;
  ReadValue();
  while (!EndOfList()) ReadComponent(AComponent);
  ReadValue();
}

TComponent* TReader::ReadComponent(TComponent* AOwner) {
  const int64_t pos = FStream.GetPosition();
  EnterNested(pos);
  struct TLeave {
    int& Depth;
    ~TLeave() { --Depth; }
  } leave{FDepth};
  ReadPrefix();
  const std::string className = ReadStr();
  const std::string name = ReadStr();
  TComponent* c = AOwner->FindComponent(name);
  bool created = false;
  if (c == nullptr || !SameText(c->ClassName(), className)) {
    const TClassInfo* info = FindClassInfo(className);
    if (info == nullptr || !info->CanCreate())
      StreamFormatError(pos, Format("class %s is not registered as a component class", className.c_str()));
    if (c != nullptr) StreamFormatError(pos, Format("%s is a %s, not a %s", name.c_str(), c->ClassName().c_str(), className.c_str()));
    c = info->Factory()(AOwner);
    created = true;
    c->SetLoading(true);
    try {
      c->AfterConstruction();
    } catch (...) {
      delete c;
      throw;
    }
  }
  c->SetLoading(true);
  c->SetReading(true);
  FLoaded.push_back(c);
  if (created) FCreated.push_back(c);
  try {
    if (created) ApplyName(c, name, pos);
    ReadComponentData(c);
  } catch (...) {
    // The root's read frees what was made and unflags the rest.
    c->SetReading(false);
    throw;
  }
  c->SetReading(false);
  return c;
}

void TReader::ApplyName(TComponent* AComponent, const std::string& AName, int64_t AOffset) {
  try {
    AComponent->SetName(AName);
  } catch (const EComponentError& e) {
    // A stored name that is no identifier or clashes is bad data of the stream.
    PropValueError(AOffset, e.Message());
  }
}

TComponent* TReader::FindByPath(const std::string& APath) const {
  if (FRoot == nullptr) return nullptr;
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t dot = APath.find('.'); dot != std::string::npos; dot = APath.find('.', start)) {
    parts.push_back(APath.substr(start, dot - start));
    start = dot + 1;
  }
  parts.push_back(APath.substr(start));
  // The first part names the root itself or a component anywhere below it.
  TComponent* c = nullptr;
  if (SameText(parts[0], FRoot->GetName())) {
    c = FRoot;
  } else {
    std::vector<TComponent*> queue{FRoot};
    for (size_t i = 0; i < queue.size() && c == nullptr; ++i) {
      c = queue[i]->FindComponent(parts[0]);
      for (int32_t k = 0; k < queue[i]->ComponentCount(); ++k) queue.push_back(queue[i]->Components(k));
    }
  }
  for (size_t i = 1; c != nullptr && i < parts.size(); ++i) c = c->FindComponent(parts[i]);
  return c;
}

void TReader::ResolveFixups() {
  std::vector<TFixup> fixups = std::move(FFixups);
  FFixups.clear();
  for (const TFixup& f : fixups) {
    TComponent* target = FindByPath(f.Name);
    FCurrentProp = f.Prop->Name;
    if (target == nullptr) PropValueError(FStream.GetPosition(), Format("no component named \"%s\"", f.Name.c_str()));
    const TClassInfo* declared = f.Prop->Type->ClassType;
    if (declared != nullptr && !target->ClassType().InheritsFrom(*declared))
      PropValueError(FStream.GetPosition(), Format("%s is no %s", f.Name.c_str(), declared->Name().c_str()));
    f.Prop->SetObj(f.Instance, target);
  }
  FCurrentProp.clear();
}

TComponent* TReader::ReadRootComponent(TComponent* ARoot, bool AToEnd) {
  ReadSignature();
  const int64_t pos = FStream.GetPosition();
  ReadPrefix();
  const std::string className = ReadStr();
  const std::string name = ReadStr();
  bool created = false;
  if (ARoot == nullptr) {
    const TClassInfo* info = FindClassInfo(className);
    if (info == nullptr || !info->CanCreate())
      StreamFormatError(pos, Format("class %s is not registered as a component class", className.c_str()));
    ARoot = info->Factory()(nullptr);
    created = true;
    ARoot->SetLoading(true);
    try {
      ARoot->AfterConstruction();
    } catch (...) {
      delete ARoot;
      throw;
    }
  }
  FRoot = ARoot;
  FLoaded.clear();
  FFixups.clear();
  FCreated.clear();
  if (created) FCreated.push_back(ARoot);
  ARoot->SetLoading(true);
  ARoot->SetReading(true);
  FLoaded.push_back(ARoot);
  try {
    if (ARoot->GetName().empty() || created) ApplyName(ARoot, name, pos);
    ReadComponentData(ARoot);
    if (AToEnd && FStream.GetPosition() < FStream.GetSize())
      StreamFormatError(FStream.GetPosition(),
                        Format("%lld bytes after the end of %s", static_cast<long long>(FStream.GetSize() - FStream.GetPosition()),
                               className.c_str()));
    ResolveFixups();
    ARoot->SetReading(false);
    // Loaded runs once everything is read and linked, in the order read. A
    // Loaded that raises fails the whole read like bad data does.
    for (size_t i = 0; i < FLoaded.size(); ++i) FLoaded[i]->Loaded();
  } catch (...) {
    AbandonRead();
    throw;
  }
  FLoaded.clear();
  FCreated.clear();
  return ARoot;
}

void TReader::AbandonRead() {
  for (TComponent* c : FLoaded) {
    c->SetReading(false);
    c->SetLoading(false);
  }
  // Last made first: owned components were made after their owners, and each
  // one freed leaves its owner's list, so nothing is freed twice.
  std::vector<TComponent*> created = std::move(FCreated);
  FCreated.clear();
  FLoaded.clear();
  FFixups.clear();
  for (auto it = created.rbegin(); it != created.rend(); ++it) delete *it;
}

void WriteComponentToStream(TStream& AStream, TComponent* AComponent) {
  TWriter writer(AStream);
  writer.WriteRootComponent(AComponent);
}

TComponent* ReadComponentFromStream(TStream& AStream, TComponent* AInstance) {
  TReader reader(AStream);
  return reader.ReadRootComponent(AInstance, true);
}
