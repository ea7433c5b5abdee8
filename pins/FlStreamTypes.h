// Stream types and format converters: what kind of data a link carries and
// which converter turns one kind into another.
//
// A stream type is a 128-bit identifier. For the types that pins receive it
// is the identifier of the stream interface the receiving pin implements
// (FlPins.h). Three process-wide tables give the identifiers their meaning:
// - the stream type registry: display name and send function per type;
// - the converter registry: which converter class turns an input type into
//   an output type (the pair is unique);
// - the buffer stream type registry (BfStreamTypes.h): sample size and
//   buffer factory per buffer type.
// The registries are filled at start-up with the standard entries (made on
// first use) and may be extended by later modules before pins use them; a
// registration of an identifier that is already there updates its entry.
// Each registry has a reader-writer lock of its own, held only for the copy
// of an entry: it is the innermost lock of the library and is never held
// while a framework lock is waited for or a function of an entry runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Components.h"
#include "platform/Interfaces.h"
#include "platform/SysUtils.h"

class TFlPin;
class TFlFormatConverter;
struct IFlStream;
struct IFlNotifyOperation;

// The framework's exception: carries a message text, for example
// "The pin depends on itself. Please protect with functional dependency.".
class EFlException : public Exception {
  using Exception::Exception;
};

// The text of the dependency error raised by runaway sending recursion.
inline constexpr const char* FlDependencyErrorText =
    "The pin depends on itself. Please protect with functional dependency.";

// ---------------------------------------------------------------------------
// Small sets

// A set of values of a small enumeration (at most 8 members), one byte.
template <class E>
class TFlSmallSet {
 public:
  constexpr TFlSmallSet() = default;
  constexpr TFlSmallSet(E AValue) : FBits(uint8_t(1u << unsigned(AValue))) {}
  constexpr TFlSmallSet(E AValue1, E AValue2) : FBits(uint8_t((1u << unsigned(AValue1)) | (1u << unsigned(AValue2)))) {}
  constexpr bool Contains(E AValue) const { return (FBits & (1u << unsigned(AValue))) != 0; }
  constexpr void Include(E AValue) { FBits = uint8_t(FBits | (1u << unsigned(AValue))); }
  constexpr void Exclude(E AValue) { FBits = uint8_t(FBits & ~(1u << unsigned(AValue))); }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr TFlSmallSet& operator|=(TFlSmallSet AOther) {
    FBits = uint8_t(FBits | AOther.FBits);
    return *this;
  }
  friend constexpr TFlSmallSet operator|(TFlSmallSet a, TFlSmallSet b) { return a |= b; }
  friend constexpr bool operator==(TFlSmallSet, TFlSmallSet) = default;

 private:
  uint8_t FBits = 0;
};

// What a receiver answers to an operation.
enum TFlNotifyResultFlag : uint8_t { nrDataChanged };
using TFlNotifyResult = TFlSmallSet<TFlNotifyResultFlag>;

// The circumstances of a delivery: the operation announces a new link, or it
// is the last delivery of one send.
enum TFlNotifyStateFlag : uint8_t { nsNewLink, nsLastIteration };
using TFlNotifyState = TFlSmallSet<TFlNotifyStateFlag>;

// The kind of a pin. One byte.
enum TFlPinType : uint8_t { ptSource, ptSink, ptState, ptMultiSink, ptDispatcher };

// Pointer to the identifier of the stream type in use on a link.
using PDataTypeID = const TGUID*;

// The send function a stream type keeps in the registry: delivers AOperation
// from ASender to AHandler (the receiving pin's IFlStream). The pointers are
// borrowed for the length of the call.
using TFlGlobalSubmit = TFlNotifyResult (*)(TFlPin* ASender, IFlStream* AHandler, PDataTypeID ADataTypeID,
                                            IFlNotifyOperation* AOperation, TFlNotifyState AState);

// A class reference to a TFlFormatConverter descendant: makes a new converter
// (with its pins) and returns its first reference. Two entries name the same
// class when the pointers are equal.
using TFlFormatConverterClass = Ref<TFlFormatConverter> (*)();

// ---------------------------------------------------------------------------
// Identifiers of the standard stream types
//
// The types the typed pins receive carry the identifier of their receiving
// interface; the interfaces take these constants as their IID.

namespace FlStreamID {
inline constexpr TGUID DataStream = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B00}");     // IFlDataStream
inline constexpr TGUID ClockStream = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B01}");    // "Clock"
inline constexpr TGUID Integer = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B02}");        // "32 bit Integer"
inline constexpr TGUID Int64 = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B03}");          // "64 bit Integer"
inline constexpr TGUID Float = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B04}");          // "Float"
inline constexpr TGUID Real = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B05}");           // "Real"
inline constexpr TGUID RealComplex = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B06}");    // "Real Complex"
inline constexpr TGUID Boolean = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B07}");        // "Boolean"
inline constexpr TGUID Character = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B08}");      // "Character"
inline constexpr TGUID String = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B09}");         // "Sting"
inline constexpr TGUID IntRanged = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B0A}");      // "Ranged 32 bit Integer"
inline constexpr TGUID Int64Ranged = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B0B}");    // "Ranged 64 bit Integer"
inline constexpr TGUID RealRanged = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B0C}");     // "Ranged Real"
inline constexpr TGUID DateTime = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2B0D}");       // "Date/Time"
}  // namespace FlStreamID

// ---------------------------------------------------------------------------
// Stream type registry

struct TFlStreamTypeEntry {
  TGUID ID;
  std::string Name;                       // display name; may be empty
  std::vector<Ref<IInterface>> Extentions;  // created empty, kept for extensions
  TFlGlobalSubmit SendFunction = nullptr;
};

// Index of the entry of AID, appended (no name, no send function) when absent.
int32_t FindOrAddStreamType(const TGUID& AID);
void RegisterStreamTypeName(const TGUID& AID, const std::string& AName);
void RegisterStreamTypeSend(const TGUID& AID, TFlGlobalSubmit ASendFunction);
// Copies the entry of AID into AEntry; false when AID is not registered.
bool FindStreamType(const TGUID& AID, TFlStreamTypeEntry& AEntry);
// The registered send function of AID, or none.
TFlGlobalSubmit GetStreamTypeSend(const TGUID& AID);
// "NIL ID" for the null identifier; the entry's name for a registered type
// (even when empty); otherwise the identifier text (GuidToText).
std::string GetStreamTypeName(const TGUID& AID);
// The registry-style identifier text, braced and upper-case:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidToText(const TGUID& AID);
// A copy of every entry, in registration order.
std::vector<TFlStreamTypeEntry> StreamTypeEntries();

// The send function of the data streams: asks AHandler for IFlDataStream and
// returns its DispatchData answer; the empty set when it is not supported.
TFlNotifyResult FlDataSendFunction(TFlPin* ASender, IFlStream* AHandler, PDataTypeID ADataTypeID,
                                   IFlNotifyOperation* AOperation, TFlNotifyState AState);

// ---------------------------------------------------------------------------
// Converter registry

struct TFlTypeConverterEntry {
  TGUID InputID;
  TGUID OutputID;
  TFlFormatConverterClass ConverterClass = nullptr;
};

// Index of the first entry of the pair, or -1.
int32_t FindTypeConverter(const TGUID& AInputID, const TGUID& AOutputID);
// Replaces the class of an existing pair, else appends.
void RegisterTypeConverter(const TGUID& AInputID, const TGUID& AOutputID, TFlFormatConverterClass AClass);
// The class of the pair, or none.
TFlFormatConverterClass GetTypeConverter(const TGUID& AInputID, const TGUID& AOutputID);
// A copy of every entry, in registration order (negotiation walks it from the
// last entry, so that a later registration wins).
std::vector<TFlTypeConverterEntry> TypeConverterEntries();

// ---------------------------------------------------------------------------
// Names and roots

// The root of AComponent: following owners upwards, the first component
// whose owner is (or derives from) a class named "TApplication", or whose own
// class is or derives from "TCustomForm" or "TFrame"; a component without
// owner is its own root; none gives none.
TComponent* FlFindRoot(TComponent* AComponent);

// While set, pins never count as design-time pins, whatever their owners'
// state (the process-wide flag that suppresses design mode).
void FlSetDesignModeSuppressed(bool AValue);
bool FlDesignModeSuppressed();
