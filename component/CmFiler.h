// The binary property stream: the tagged values in which components, their
// sub-objects and learnt data are stored, and the writer and reader that
// store and load components in it.
//
// A stored component is a record: class name, component name, its
// properties as (name, value) pairs ended by a zero byte, then the records of
// the components it owns, ended by a zero byte. A stored layout is the
// signature "TPF0" followed by the record of the root component. Properties
// of sub-objects carry dotted names ("Background.Category"); properties an
// object defines for itself ("_Floats") are written under their own name
// with whatever values their writer produces.
//
// Texts are held as UTF-8 in memory. A lone UTF-16 surrogate read from a
// stored text is kept as its three-byte form, so that it is written back
// unchanged.
//
// Every failure of the reader is an EReadError: "Invalid stream format" for a
// wrong signature, "Invalid property value" for an unexpected tag or value,
// "Stream read error" for data that ends early. Messages go on with where it
// happened (property, offset, stream). Lengths are checked against what the
// stream still holds before anything is allocated or read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Components.h"
#include "platform/Persistent.h"

// The tags of the stream's values.
enum class TValueType : uint8_t {
  vaNull = 0,  // ends a list, a property list or a list of children
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,
  vaString = 6,
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12,
  vaNil = 13,
  vaCollection = 14,
  vaSingle = 15,
  vaCurrency = 16,
  vaDate = 17,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
  vaDouble = 21,
};

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TStreamProc = std::function<void(TStream&)>;

// What the writer and the reader have in common: the stream, the root
// component, and the defining of properties an object stores for itself.
class TFiler : public TObject {
 public:
  explicit TFiler(TStream& AStream) : FStream(AStream) {}

  TStream& Stream() const { return FStream; }
  // The root of the layout being stored or loaded (event handlers and
  // component references are looked up in it).
  TComponent* Root() const { return FRoot; }
  void SetRoot(TComponent* ARoot) { FRoot = ARoot; }

  // A property stored under AName with values that AWriteData writes and
  // AReadData reads. The writer writes it only when AHasData is true.
  virtual void DefineProperty(const std::string& AName, TReaderProc AReadData, TWriterProc AWriteData,
                              bool AHasData) = 0;
  // The same for a block of bytes, stored as a Binary value.
  virtual void DefineBinaryProperty(const std::string& AName, TStreamProc AReadData, TStreamProc AWriteData,
                                    bool AHasData) = 0;

 protected:
  static void CallDefineProperties(TPersistent* AInstance, TFiler* AFiler) { AInstance->DefineProperties(AFiler); }

  TStream& FStream;
  TComponent* FRoot = nullptr;
};

// Writes values and stored components to a stream.
class TWriter : public TFiler {
 public:
  explicit TWriter(TStream& AStream) : TFiler(AStream) {}

  void WriteSignature();
  void WriteValue(TValueType AValue);
  void WriteListBegin() { WriteValue(TValueType::vaList); }
  void WriteListEnd() { WriteValue(TValueType::vaNull); }
  // The smallest of Int8, Int16 and Int32 that holds the value.
  void WriteInteger(int32_t AValue);
  // As a 32-bit integer when it fits, else Int64.
  void WriteInteger(int64_t AValue);
  // Extended.
  void WriteFloat(double AValue);
  void WriteSingle(float AValue);
  void WriteDouble(double AValue);
  // AValue times 10000, rounded, as a 64-bit integer.
  void WriteCurrency(double AValue);
  void WriteDate(double AValue);
  void WriteBoolean(bool AValue);
  // "False", "True", "Null" and "nil" (any letter case) as their own tags;
  // any other name as Ident.
  void WriteIdent(const std::string& AIdent);
  // UTF8String, String, LString or WString, whichever the text's UTF-8 and
  // UTF-16 lengths call for. A text holding a lone surrogate (which UTF-8
  // cannot carry) is always a WString, so that it is read back unchanged.
  void WriteString(const std::string& AValue);
  void WriteBinary(const void* AData, uint32_t ASize);
  // A set: its members' names, ended by an empty name.
  void WriteSet(const std::vector<std::string>& AMembers);
  // A short string without a tag: one length byte and at most 255 bytes (a
  // longer text is cut).
  void WriteStr(const std::string& AValue);
  // Collection, each item as a list of its properties.
  void WriteCollection(TCollection* AValue);

  // The name of a property being defined or written, with the path of the
  // sub-object it belongs to.
  void WritePropName(const std::string& AName);
  // The published properties of AInstance that are to be stored, then its
  // defined properties.
  void WriteProperties(TPersistent* AInstance);
  // The record of AComponent and, nested, those of its owned components.
  void WriteComponent(TComponent* AComponent);
  // The signature and the record of ARoot: a stored layout.
  void WriteRootComponent(TComponent* ARoot);

  void DefineProperty(const std::string& AName, TReaderProc AReadData, TWriterProc AWriteData,
                      bool AHasData) override;
  void DefineBinaryProperty(const std::string& AName, TStreamProc AReadData, TStreamProc AWriteData,
                            bool AHasData) override;

 private:
  void WriteBytes(const void* AData, size_t ACount) { FStream.WriteBuffer(AData, static_cast<int64_t>(ACount)); }
  void WriteProperty(TPersistent* AInstance, const TPropInfo& AProp);
  void WriteUInt32(uint32_t AValue);

  std::string FPropPath;  // "Background." while writing the background's properties
  int FDepth = 0;
};

// Reads values and stored components from a stream.
class TReader : public TFiler {
 public:
  explicit TReader(TStream& AStream) : TFiler(AStream) {}

  // "Invalid stream format" unless the next four bytes are "TPF0".
  void ReadSignature();
  // Takes the next tag.
  TValueType ReadValue();
  // The next tag, not taken.
  TValueType NextValue();
  // Whether the next tag is Null (not taken).
  bool EndOfList();
  // Takes the next tag: AValue, or another one, which is skipped over before
  // "Invalid property value" is raised.
  void CheckValue(TValueType AValue);
  void ReadListBegin() { CheckValue(TValueType::vaList); }
  void ReadListEnd() { CheckValue(TValueType::vaNull); }
  // Int8, Int16 or Int32.
  int32_t ReadInteger();
  // Int64 or what ReadInteger takes.
  int64_t ReadInt64();
  // Extended, Double, or what ReadInt64 takes.
  double ReadFloat();
  // Single, Extended, Double, Date or what ReadInt64 takes, rounded to the
  // nearest single; a finite value beyond the single range fails.
  float ReadSingle();
  // Double, or what ReadFloat takes.
  double ReadDouble();
  // Currency (as the value, not scaled), or any real or integer rounded to
  // 1/10000; a value beyond the currency range (also NaN and infinities) fails.
  double ReadCurrency();
  // Date, Double, Extended, Single or what ReadInt64 takes; an Extended
  // beyond the double range fails.
  double ReadDate();
  // True or False.
  bool ReadBoolean();
  // Ident; False, True, Nil and Null give "False", "True", "nil" and "Null".
  std::string ReadIdent();
  // WString, UTF8String, String or LString (the last two as Latin-1).
  std::string ReadString();
  // A short string without a tag.
  std::string ReadStr();
  std::vector<uint8_t> ReadBinary();
  std::vector<std::string> ReadSet();
  // Skips one value, with everything nested in it.
  void SkipValue();

  // Reads the stored layout into ARoot (which takes the stored name only
  // when it has none), or into a new component of the stored class when
  // ARoot is nullptr (its class must be registered). An owned component
  // that already exists under a stored name and class is read into; others
  // are made by class name, marked loading before their after-construction
  // step. Event handlers are bound by name to published methods of the
  // root; component references are linked once everything is read.
  // Components are marked loading while they are read; at the end every
  // component read gets Loaded, in the order read. With AToEnd the root's
  // record must end the stream: bytes after it fail the read ("Invalid
  // stream format", naming their offset). On any failure (also a Loaded that
  // raises) every component the reader made is freed again (a new root too),
  // and the components it read into are no longer flagged loading or
  // reading; what was already applied to them stays.
  TComponent* ReadRootComponent(TComponent* ARoot = nullptr, bool AToEnd = false);
  // Reads one property (name and value) into AInstance.
  void ReadProperty(TPersistent* AInstance);
  void ReadCollection(TCollection* ACollection);

  void DefineProperty(const std::string& AName, TReaderProc AReadData, TWriterProc AWriteData,
                      bool AHasData) override;
  void DefineBinaryProperty(const std::string& AName, TStreamProc AReadData, TStreamProc AWriteData,
                            bool AHasData) override;

  // The errors of the reader, with the position and the property read.
  [[noreturn]] void PropValueError(int64_t AOffset, const std::string& AWhat = "");
  [[noreturn]] void StreamFormatError(int64_t AOffset, const std::string& AWhat = "");

 private:
  struct TFixup {
    TPersistent* Instance;
    const TPropInfo* Prop;
    std::string Name;
  };

  // Exactly ACount bytes, or the stream's read error naming where it ended.
  void ReadBytes(void* AData, size_t ACount) {
    const int64_t got = FStream.Read(AData, static_cast<int64_t>(ACount));
    if (got != static_cast<int64_t>(ACount)) ShortRead(got, ACount);
  }
  [[noreturn]] void ShortRead(int64_t AGot, size_t AWanted);
  uint32_t ReadUInt32();
  // Raises the stream's read error unless ACount bytes are left.
  void Need(uint64_t ACount);
  std::string ReadLongText(TValueType ATag);
  bool ReadInt64Payload(TValueType ATag, int64_t& AValue);
  // Any real or integer value as a double; AWhat names the wanted type in
  // errors. An Extended beyond the double range fails.
  double ReadAnyReal(const char* AWhat);
  void SkipTagged(TValueType ATag, int64_t AOffset);
  void SkipProperties();
  void ReadPropValue(TPersistent* AInstance, const TPropInfo& AProp, int64_t AOffset);
  TComponent* ReadComponent(TComponent* AOwner);
  void ReadPrefix();
  void ReadComponentData(TComponent* AComponent);
  TComponent* FindByPath(const std::string& APath) const;
  void ApplyName(TComponent* AComponent, const std::string& AName, int64_t AOffset);
  void ResolveFixups();
  void EnterNested(int64_t AOffset);
  // Frees what the read made and unflags what it read into.
  void AbandonRead();

  std::string FPropName;      // the defined property being looked for; emptied when found
  std::string FCurrentProp;   // the property being read, for messages
  std::vector<TComponent*> FLoaded;   // every component read into, in the order read
  std::vector<TComponent*> FCreated;  // the components the read made, in the order made
  std::vector<TFixup> FFixups;
  int FDepth = 0;
};

// Stores AComponent (with its owned components) as a stored layout in
// AStream, and reads one back (into AInstance, or as a new component); the
// layout must end the stream.
void WriteComponentToStream(TStream& AStream, TComponent* AComponent);
TComponent* ReadComponentFromStream(TStream& AStream, TComponent* AInstance = nullptr);
