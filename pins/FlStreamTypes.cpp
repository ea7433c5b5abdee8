#include "pins/FlStreamTypes.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <shared_mutex>

#include "pins/BfStreamTypes.h"
#include "pins/FlPins.h"

namespace {

struct TStreamTypeRegistry {
  std::shared_mutex Section;
  std::vector<TFlStreamTypeEntry> Entries;  // guarded by Section

  // Expects Section held for writing.
  size_t FindOrAdd(const TGUID& AID) {
    for (size_t i = 0; i < Entries.size(); ++i)
      if (Entries[i].ID == AID) return i;
    Entries.push_back(TFlStreamTypeEntry{AID, {}, {}, nullptr});
    return Entries.size() - 1;
  }
  // Expects Section held.
  const TFlStreamTypeEntry* Find(const TGUID& AID) const {
    for (const TFlStreamTypeEntry& e : Entries)
      if (e.ID == AID) return &e;
    return nullptr;
  }
};

// The start-up entries: the standard types in their order, the send function
// of the data streams, then the display names of the buffer types.
TStreamTypeRegistry& StreamTypes() {
  static TStreamTypeRegistry* registry = [] {
    auto* r = new TStreamTypeRegistry;
    static const struct {
      TGUID ID;
      const char* Name;
    } standard[] = {
        {FlStreamID::ClockStream, "Clock"},
        {FlStreamID::Integer, "32 bit Integer"},
        {FlStreamID::Int64, "64 bit Integer"},
        {FlStreamID::Float, "Float"},
        {FlStreamID::Real, "Real"},
        {FlStreamID::RealComplex, "Real Complex"},
        {FlStreamID::Boolean, "Boolean"},
        {FlStreamID::Character, "Character"},
        {FlStreamID::String, "Sting"},
        {FlStreamID::IntRanged, "Ranged 32 bit Integer"},
        {FlStreamID::Int64Ranged, "Ranged 64 bit Integer"},
        {FlStreamID::RealRanged, "Ranged Real"},
        {FlStreamID::DateTime, "Date/Time"},
    };
    for (const auto& s : standard) r->Entries[r->FindOrAdd(s.ID)].Name = s.Name;
    r->Entries[r->FindOrAdd(FlStreamID::DataStream)].SendFunction = &FlDataSendFunction;
    for (const TBfStreamTypeName& b : BfStreamTypeNames) r->Entries[r->FindOrAdd(b.ID)].Name = b.Name;
    return r;
  }();
  return *registry;
}

struct TConverterRegistry {
  std::shared_mutex Section;
  std::vector<TFlTypeConverterEntry> Entries;  // guarded by Section
};

// Empty at start-up: the standard and buffer converters are registered by
// the modules that define them.
TConverterRegistry& Converters() {
  static TConverterRegistry* registry = new TConverterRegistry;
  return *registry;
}

std::atomic<bool> DesignModeSuppressed{false};

}  // namespace

// ---------------------------------------------------------------------------
// Stream type registry

int32_t FindOrAddStreamType(const TGUID& AID) {
  TStreamTypeRegistry& r = StreamTypes();
  std::unique_lock hold(r.Section);
  return int32_t(r.FindOrAdd(AID));
}

void RegisterStreamTypeName(const TGUID& AID, const std::string& AName) {
  TStreamTypeRegistry& r = StreamTypes();
  std::unique_lock hold(r.Section);
  r.Entries[r.FindOrAdd(AID)].Name = AName;
}

void RegisterStreamTypeSend(const TGUID& AID, TFlGlobalSubmit ASendFunction) {
  TStreamTypeRegistry& r = StreamTypes();
  std::unique_lock hold(r.Section);
  r.Entries[r.FindOrAdd(AID)].SendFunction = ASendFunction;
}

bool FindStreamType(const TGUID& AID, TFlStreamTypeEntry& AEntry) {
  TStreamTypeRegistry& r = StreamTypes();
  std::shared_lock hold(r.Section);
  const TFlStreamTypeEntry* e = r.Find(AID);
  if (e == nullptr) return false;
  AEntry = *e;
  return true;
}

TFlGlobalSubmit GetStreamTypeSend(const TGUID& AID) {
  TStreamTypeRegistry& r = StreamTypes();
  std::shared_lock hold(r.Section);
  const TFlStreamTypeEntry* e = r.Find(AID);
  return e ? e->SendFunction : nullptr;
}

std::string GetStreamTypeName(const TGUID& AID) {
  if (AID.IsNull()) return "NIL ID";
  {
    TStreamTypeRegistry& r = StreamTypes();
    std::shared_lock hold(r.Section);
    if (const TFlStreamTypeEntry* e = r.Find(AID)) return e->Name;
  }
  return GuidToText(AID);
}

std::string GuidToText(const TGUID& AID) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(AID.D1),
                unsigned(AID.D2), unsigned(AID.D3), unsigned(AID.D4[0]), unsigned(AID.D4[1]), unsigned(AID.D4[2]),
                unsigned(AID.D4[3]), unsigned(AID.D4[4]), unsigned(AID.D4[5]), unsigned(AID.D4[6]),
                unsigned(AID.D4[7]));
  return text;
}

std::vector<TFlStreamTypeEntry> StreamTypeEntries() {
  TStreamTypeRegistry& r = StreamTypes();
  std::shared_lock hold(r.Section);
  return r.Entries;
}

TFlNotifyResult FlDataSendFunction(TFlPin* /*ASender*/, IFlStream* AHandler, PDataTypeID ADataTypeID,
                                   IFlNotifyOperation* AOperation, TFlNotifyState AState) {
  Ref<IFlDataStream> stream = Supports<IFlDataStream>(AHandler);
  if (!stream) return {};
  return stream->DispatchData(ADataTypeID, AOperation, AState);
}

// ---------------------------------------------------------------------------
// Converter registry

int32_t FindTypeConverter(const TGUID& AInputID, const TGUID& AOutputID) {
  TConverterRegistry& r = Converters();
  std::shared_lock hold(r.Section);
  for (size_t i = 0; i < r.Entries.size(); ++i)
    if (r.Entries[i].InputID == AInputID && r.Entries[i].OutputID == AOutputID) return int32_t(i);
  return -1;
}

void RegisterTypeConverter(const TGUID& AInputID, const TGUID& AOutputID, TFlFormatConverterClass AClass) {
  TConverterRegistry& r = Converters();
  std::unique_lock hold(r.Section);
  for (TFlTypeConverterEntry& e : r.Entries)
    if (e.InputID == AInputID && e.OutputID == AOutputID) {
      e.ConverterClass = AClass;
      return;
    }
  r.Entries.push_back({AInputID, AOutputID, AClass});
}

TFlFormatConverterClass GetTypeConverter(const TGUID& AInputID, const TGUID& AOutputID) {
  TConverterRegistry& r = Converters();
  std::shared_lock hold(r.Section);
  for (const TFlTypeConverterEntry& e : r.Entries)
    if (e.InputID == AInputID && e.OutputID == AOutputID) return e.ConverterClass;
  return nullptr;
}

std::vector<TFlTypeConverterEntry> TypeConverterEntries() {
  TConverterRegistry& r = Converters();
  std::shared_lock hold(r.Section);
  return r.Entries;
}

// ---------------------------------------------------------------------------
// Names and roots

TComponent* FlFindRoot(TComponent* AComponent) {
  for (TComponent* c = AComponent; c != nullptr; c = c->Owner()) {
    TComponent* owner = c->Owner();
    if (owner == nullptr) return c;
    if (owner->ClassType().InheritsFrom("TApplication")) return c;
    if (c->ClassType().InheritsFrom("TCustomForm") || c->ClassType().InheritsFrom("TFrame")) return c;
  }
  return nullptr;
}

void FlSetDesignModeSuppressed(bool AValue) { DesignModeSuppressed.store(AValue); }

bool FlDesignModeSuppressed() { return DesignModeSuppressed.load(); }
