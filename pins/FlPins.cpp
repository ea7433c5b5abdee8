#include "pins/FlPins.h"

#include <algorithm>
#include <array>
#include <new>

namespace {

// ---------------------------------------------------------------------------
// Registries

struct TPinRegistry {
  TFlCriticalSection Section;
  std::vector<TFlBasicPin*> Pins;  // guarded by Section
};

TPinRegistry& PinRegistry() {
  static TPinRegistry* registry = new TPinRegistry;
  return *registry;
}

struct TEventRegistry {
  TFlCriticalSection Section;
  std::vector<Ref<IFlPinEventListener>> Listeners;  // guarded by Section
  std::atomic<int32_t> Count{0};
};

TEventRegistry& Events() {
  static TEventRegistry* registry = new TEventRegistry;
  return *registry;
}

// Calls AEvent on a copy of the listener list, in list order or reversed;
// outside the registry's section, so that a listener may use pins.
template <class F>
void RaiseEvent(bool AForward, F AEvent) {
  TEventRegistry& r = Events();
  if (r.Count.load(std::memory_order_acquire) == 0) return;
  std::vector<Ref<IFlPinEventListener>> listeners;
  {
    TFlCriticalSectionGuard hold(r.Section);
    listeners = r.Listeners;
  }
  if (!AForward) std::reverse(listeners.begin(), listeners.end());
  for (const Ref<IFlPinEventListener>& l : listeners) {
    try {
      AEvent(l.Get());
    } catch (...) {
      // A listener's error never stops the pins nor the other listeners.
    }
  }
}

void RaisePinCreated(TFlBasicPin* APin) {
  RaiseEvent(true, [&](IFlPinEventListener* l) { l->PinCreated(APin); });
}
void RaisePinDestroying(TFlBasicPin* APin, bool AWithRoot) {
  RaiseEvent(false, [&](IFlPinEventListener* l) { l->PinDestroying(APin, AWithRoot); });
}
void RaisePinChanged(TFlBasicPin* APin) {
  RaiseEvent(false, [&](IFlPinEventListener* l) { l->PinChanged(APin); });
}
void RaisePinConnected(TFlBasicPin* APin, TFlPinObject* APartner) {
  RaiseEvent(true, [&](IFlPinEventListener* l) { l->PinConnected(APin, APartner); });
}
void RaisePinDisconnecting(TFlBasicPin* APin, TFlPinObject* APartner) {
  RaiseEvent(false, [&](IFlPinEventListener* l) { l->PinDisconnecting(APin, APartner); });
}

std::atomic<uint32_t> LastOperationID{0};

// Whether APin belongs to a format converter.
bool OwnedByConverter(TFlBasicPin* APin) {
  return APin != nullptr && dynamic_cast<TFlFormatConverter*>(APin->GetOwner()) != nullptr;
}

// The design-time rule: a design-time pin never links to a run-time pin,
// unless one of them belongs to a format converter.
bool DesignRuleAllows(TFlBasicPin* APin, TFlBasicPin* AOther) {
  if (OwnedByConverter(APin) || OwnedByConverter(AOther)) return true;
  return APin->IsDesignTime() == AOther->IsDesignTime();
}

// A worker's hold on APin's destroy lock; empty while APin is destroyed by
// another thread. The caller must know APin is alive (it is still linked
// under the section the caller holds).
Ref<IFlDestroyLockSection> EnterPin(TFlBasicPin* APin) {
  if (APin == nullptr) return {};
  return APin->DestroyLockIntf()->Lock();
}

// The copies of one send: inline for the usual few sinks, and only as many
// constructed as there are sinks.
class TNotifyCopies {
 public:
  explicit TNotifyCopies(size_t ACount) : FCount(ACount) {
    if (ACount > InlineCount) {
      FHeap.resize(ACount);
      FData = FHeap.data();
    } else {
      FData = reinterpret_cast<TFlNotifyPinEntry*>(FInline);
      for (size_t i = 0; i < ACount; ++i) new (FData + i) TFlNotifyPinEntry();
    }
  }
  ~TNotifyCopies() {
    if (FCount <= InlineCount)
      for (size_t i = FCount; i-- > 0;) FData[i].~TFlNotifyPinEntry();
  }
  TNotifyCopies(const TNotifyCopies&) = delete;
  TNotifyCopies& operator=(const TNotifyCopies&) = delete;

  size_t Count() const { return FCount; }
  TFlNotifyPinEntry& operator[](size_t AIndex) { return FData[AIndex]; }

 private:
  static constexpr size_t InlineCount = 4;
  size_t FCount;
  TFlNotifyPinEntry* FData = nullptr;
  alignas(TFlNotifyPinEntry) unsigned char FInline[InlineCount * sizeof(TFlNotifyPinEntry)];
  std::vector<TFlNotifyPinEntry> FHeap;
};

// Undoes one level of sending depth when it goes out of scope.
class TSendingDepth {
 public:
  explicit TSendingDepth(std::atomic<int32_t>& ADepth) : FDepth(ADepth) {}
  ~TSendingDepth() { FDepth.fetch_sub(1); }
  TSendingDepth(const TSendingDepth&) = delete;
  TSendingDepth& operator=(const TSendingDepth&) = delete;

 private:
  std::atomic<int32_t>& FDepth;
};

// The source pins whose DependsOn runs on this thread: a loop of function
// sources ends the question instead of recursing for ever.
thread_local std::vector<const TFlSourcePin*> AskingDependsOn;

}  // namespace

// ---------------------------------------------------------------------------
// Operations

TFlNotifyOperation::TFlNotifyOperation() : FOperationID(LastOperationID.fetch_add(1) + 1) {}

void* TFlNotifyOperation::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlNotifyOperation>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// Stream type lists

void TFlPinStreamType::CheckIndex(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= GetLength()) throw ERangeError(Format("Index out of range = %u", unsigned(AIndex)));
}

int32_t TFlPinStreamType::IndexOf(const TGUID& AID) const {
  for (size_t i = 0; i < FTypes.size(); ++i)
    if (FTypes[i].ID == AID) return int32_t(i);
  return -1;
}

void TFlPinStreamType::AddType(const TGUID& AID, TFlSubmit ASubmitFunction) {
  const int32_t i = IndexOf(AID);
  if (i >= 0)
    FTypes[size_t(i)].SubmitFunction = ASubmitFunction;
  else
    FTypes.push_back({AID, ASubmitFunction});
}

void TFlPinStreamType::RemoveType(const TGUID& AID) {
  const int32_t i = IndexOf(AID);
  if (i >= 0) FTypes.erase(FTypes.begin() + i);
}

void TFlPinStreamType::SwapPosition(int32_t AIndex1, int32_t AIndex2) {
  CheckIndex(AIndex1);
  CheckIndex(AIndex2);
  std::swap(FTypes[size_t(AIndex1)], FTypes[size_t(AIndex2)]);
}

const TGUID& TFlPinStreamType::GetID(int32_t AIndex) const {
  CheckIndex(AIndex);
  return FTypes[size_t(AIndex)].ID;
}

TFlSubmit TFlPinStreamType::GetSubmitFunc(int32_t AIndex) const {
  CheckIndex(AIndex);
  return FTypes[size_t(AIndex)].SubmitFunction;
}

// ---------------------------------------------------------------------------
// Pin object

void TFlPinObject::PinDestroying(TFlBasicPin* /*APin*/) {}
void TFlPinObject::ReplaceAfterPin(TFlBasicPin* /*AOldPin*/, TFlBasicPin* /*ANewPin*/) {}
void TFlPinObject::SetAfterPinByName(TFlBasicPin* /*APin*/, const std::string& /*AName*/) {}
std::string TFlPinObject::GetAfterPinDisplayName(TFlBasicPin* /*APin*/) { return {}; }

// ---------------------------------------------------------------------------
// Basic pin

void FlFreePin(TFlBasicPin* APin) {
  if (APin == nullptr) return;
  APin->BeforeDestruction();
  delete APin;
}

TFlBasicPin::TFlBasicPin() : FDestroyLock(TFlDestroyLock::Create(this)) {}

TFlBasicPin::~TFlBasicPin() {
  if (CurrentEditorPtr != nullptr) *CurrentEditorPtr = 0;
}

int32_t TFlBasicPin::QueryInterface(const TGUID& AIID, void** AObj) noexcept {
  void* found = FindInterface(AIID);
  *AObj = found;
  return found != nullptr ? S_OK : E_NOINTERFACE;
}

void* TFlBasicPin::FindInterface(const TGUID& AIID) noexcept { return InterfaceOf<IInterface, IFlStream>(this, AIID); }

bool TFlBasicPin::QueryStream(const TGUID& AID) noexcept { return !AID.IsNull() && FindInterface(AID) != nullptr; }

void TFlBasicPin::AfterConstruction() {
  // Registered only now that the pin is whole: the registry calls its
  // virtual operations from other threads.
  {
    TPinRegistry& r = PinRegistry();
    TFlCriticalSectionGuard hold(r.Section);
    r.Pins.push_back(this);
  }
  Ref<IFlLockSection> write = WriteLock();
  RaisePinCreated(this);
}

void TFlBasicPin::BeforeDestruction() {
  // Wait until no worker is inside; from now on every sender skips the pin.
  // The hold is kept until the object is gone.
  FDestroyHold = FDestroyLock->DestroyLock();
  const bool withRoot = IsDesignTime() && IsOwnerDestroying();
  Disconnect();
  RaisePinDestroying(this, withRoot);
  TPinRegistry& r = PinRegistry();
  TFlCriticalSectionGuard hold(r.Section);
  auto it = std::find(r.Pins.begin(), r.Pins.end(), this);
  if (it != r.Pins.end()) r.Pins.erase(it);
  for (size_t i = r.Pins.size(); i-- > 0;) r.Pins[i]->PinDestroying(this);
}

void TFlBasicPin::RemoveLink(TFlBasicPin* /*APin*/, bool /*APlaceholder*/) {}
void TFlBasicPin::AddLink(TFlBasicPin* /*APin*/, TFlBasicPin* /*ANotifyAfterPin*/) {}
void TFlBasicPin::LinkRemoved(TFlBasicPin* /*APin*/) {}

bool TFlBasicPin::CanConnectEx(TFlBasicPin* /*APin*/, Ref<TFlFormatConverter>& /*AConverter*/,
                               bool /*AUseConverters*/) {
  return false;
}

TFlBasicPin* TFlBasicPin::GetNotifyAfterPin(TFlBasicPin* /*APin*/) { return nullptr; }

TGUID TFlBasicPin::GetConnectionID(TFlBasicPin* /*AOtherPin*/) { return {}; }

bool TFlBasicPin::ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  return ConnectByStateAfter(AOtherPin, ANotifyAfterPin);
}

bool TFlBasicPin::CanConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin, bool AUseConverters) {
  // With a notify-after pin the state dispatcher decides; there is none yet.
  if (ANotifyAfterPin != nullptr) return false;
  return CanConnectTo(AOtherPin, AUseConverters);
}

void TFlBasicPin::Disconnect() { DisconnectState(); }

void TFlBasicPin::DisconnectFrom(TFlBasicPin* /*AOtherPin*/) { DisconnectState(); }

TFlNotifyResult TFlBasicPin::Notify(IFlNotifyOperation* /*AOperation*/) { return {}; }

bool TFlBasicPin::CanConnectTo(TFlBasicPin* AOtherPin, bool AUseConverters) {
  Ref<TFlFormatConverter> converter;
  return CanConnectEx(AOtherPin, converter, AUseConverters);
}

std::string TFlBasicPin::GetRootName() {
  const std::string full = GetFullIdentName(true);
  const size_t dot = full.find('.');
  return dot == std::string::npos ? std::string() : full.substr(0, dot);
}

std::string TFlBasicPin::GetOwnerName() {
  std::string full = GetFullIdentName(true);
  const size_t first = full.find('.');
  if (first == std::string::npos) return {};
  full.erase(0, first + 1);
  const size_t last = full.rfind('.');
  if (last == std::string::npos) return {};
  return full.substr(0, last);
}

// ---------------------------------------------------------------------------
// Pin

TFlPin::TFlPin(TComponent* AOwner) : TFlPin(AOwner, Ref<IFlLock>()) {}

TFlPin::TFlPin(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock) : FOwner(AOwner), FOwnerLock(AOwnerLock) {
  if (TComponent* root = FlFindRoot(AOwner)) FLastRootName = root->GetName();
}

TFlPin::~TFlPin() = default;

Ref<IFlLockSection> TFlPin::ReadLock() { return MakeObject<TFlSimpleReadLockSection>(FIntLock, FOwnerLock); }

Ref<IFlLockSection> TFlPin::WriteLock() { return MakeObject<TFlSimpleWriteLockSection>(FIntLock, FOwnerLock); }

bool TFlPin::IsOwnerDestroying() {
  TComponent* root = FlFindRoot(FOwner);
  return root != nullptr && root->HasState(TComponentStateFlag::csDestroying);
}

// The owner's state belongs to the component tree, which one thread changes
// at a time; it is read without the pin's lock so that a pin may ask its
// partner while holding its own.
bool TFlPin::IsDesignTime() {
  return FOwner != nullptr && FOwner->HasState(TComponentStateFlag::csDesigning) && !FlDesignModeSuppressed();
}

bool TFlPin::IsOwnerLoading() { return FOwner != nullptr && FOwner->HasState(TComponentStateFlag::csLoading); }

bool TFlPin::CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters) {
  if (APin == nullptr || APin == this) return false;
  if (!DesignRuleAllows(this, APin)) return false;
  // Placeholders answer by asking whether they can connect back (placeholder).
  if (!IsCompatible(APin, AUseConverters)) return false;
  AConverter = FindConnectionID(APin, AUseConverters).Converter;
  return true;
}

bool TFlPin::IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) {
  if (AOtherPin == nullptr) return false;
  if (!FindConnectionID(AOtherPin, AUseConverters).ID.IsNull()) return true;
  return !AOtherPin->FindConnectionID(this, AUseConverters).ID.IsNull();
}

namespace {
// The converter registry from its last entry to its first, and for each the
// sender's types ATypes from the last to the first: the first registry entry
// whose input type the sender sends and whose output type AReceiver receives
// answers its input type and its converter class; none answers nothing.
TFlConnectionChoice FindRegisteredConverter(const std::vector<TFlPinTypeEntry>& ATypes, TFlBasicPin* AReceiver) {
  const std::vector<TFlTypeConverterEntry> registry = TypeConverterEntries();
  for (size_t c = registry.size(); c-- > 0;)
    for (size_t i = ATypes.size(); i-- > 0;)
      if (ATypes[i].ID == registry[c].InputID && AReceiver->QueryStream(registry[c].OutputID))
        return {registry[c].InputID, nullptr, registry[c].ConverterClass};
  return {};
}
}  // namespace

TFlConnectionChoice TFlPin::FindConnectionID(TFlBasicPin* AOtherPin, bool AUseConverters) {
  if (AOtherPin == nullptr) return {};
  const std::vector<TFlPinTypeEntry> types = StreamTypes();
  for (size_t i = types.size(); i-- > 0;)
    if (AOtherPin->QueryStream(types[i].ID)) return {types[i].ID, nullptr, nullptr};
  const TFlPinType kind = AOtherPin->GetPinType();
  if (AUseConverters && (kind == ptSink || kind == ptMultiSink)) {
    // State link: the dispatcher's converters come first once dispatchers exist.
    return FindRegisteredConverter(types, AOtherPin);
  }
  return {};
}

std::string TFlPin::GetConnectionName(TFlBasicPin* AOtherPin) {
  const TGUID id = GetConnectionID(AOtherPin);
  return id.IsNull() ? std::string() : GetStreamTypeName(id);
}

TFlSubmit TFlPin::GetSubmitFunction(const TGUID& AID) {
  if (AID.IsNull()) return {};
  TFlSubmit submit;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    const int32_t i = StreamType.IndexOf(AID);
    if (i < 0) return {};
    submit = StreamType.GetSubmitFunc(i);
  }
  if (submit.Assigned()) return submit;
  return TFlSubmit::Bind<&TFlPin::DefaultNotifyDispatcher>(this);
}

TFlNotifyResult TFlPin::DefaultNotifyDispatcher(IFlStream* AHandler, PDataTypeID ADataTypeID,
                                                IFlNotifyOperation* AOperation, TFlNotifyState AState) {
  TFlGlobalSubmit send = nullptr;
  {
    Ref<IFlLockSection> read = ReadLock();
    send = GetStreamTypeSend(*ADataTypeID);
  }
  if (send == nullptr) return {};
  return send(this, AHandler, ADataTypeID, AOperation, AState);
}

void TFlPin::AddStreamType(const TGUID& AID, TFlSubmit ASubmitFunction) {
  Ref<IFlLockSection> write = WriteLock();
  TFlCriticalSectionGuard hold(FIntLockSection);
  StreamType.AddType(AID, ASubmitFunction);
}

void TFlPin::RemoveStreamType(const TGUID& AID) {
  Ref<IFlLockSection> write = WriteLock();
  TFlCriticalSectionGuard hold(FIntLockSection);
  StreamType.RemoveType(AID);
}

std::vector<TFlPinTypeEntry> TFlPin::StreamTypes() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return StreamType.Types();
}

void TFlPin::EnterSending(int32_t ALimit) {
  int32_t depth = FInSending.load();
  do {
    if (depth > ALimit) throw EFlException(FlDependencyErrorText);
  } while (!FInSending.compare_exchange_weak(depth, depth + 1));
}

void TFlPin::SetPinName(const std::string& AName) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  FPinName = AName;
}

std::string TFlPin::GetPinPath() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FPinName;
}

std::string TFlPin::GetRootName() {
  if (FOwner == nullptr) return TFlBasicPin::GetRootName();
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (FOwner->Owner() != nullptr)
    if (TComponent* root = FlFindRoot(FOwner)) FLastRootName = root->GetName();
  if (FOwner->Owner() == nullptr) {
    // The owner is its own root: the basic rule gives the owner's name.
    return FOwner->GetName();
  }
  return FLastRootName;
}

std::string TFlPin::GetFullIdentName(bool AIncludeRootForm) {
  if (FOwner == nullptr) return "(No owner)";
  std::string name = FOwner->GetName() + "." + GetPinPath();
  if (AIncludeRootForm) {
    TComponent* root = FlFindRoot(FOwner);
    std::string rootName;
    if (root != nullptr) {
      rootName = root->GetName();
    } else {
      TFlCriticalSectionGuard hold(FIntLockSection);
      rootName = FLastRootName;
    }
    name = rootName + "." + name;
  }
  return name;
}

std::string TFlPin::GetFullName(bool AIncludeRootForm) { return GetFullIdentName(AIncludeRootForm); }

std::string TFlPin::GetName() {
  const std::string full = GetFullName(false);
  const size_t dot = full.find('.');
  return dot == std::string::npos ? full : full.substr(dot + 1);
}

std::string TFlPin::GetSaveName() {
  const std::string full = GetFullIdentName(false);
  const size_t dot = full.find('.');
  return dot == std::string::npos ? full : full.substr(dot + 1);
}

// ---------------------------------------------------------------------------
// Stream pin

TFlNotifyResult TFlStreamPin::DispatchData(PDataTypeID /*ADataTypeID*/, IFlNotifyOperation* /*AOperation*/,
                                           TFlNotifyState /*AState*/) {
  return {};
}

void TFlStreamPin::FillSendTypes(TFlPinTypeRestricted& AList, TFlBasicPin* /*APin*/) {
  for (const TFlPinTypeEntry& e : StreamTypes()) AList.AddType(e.ID, e.SubmitFunction);
}

void TFlStreamPin::FillReceiveTypes(TFlPinTypeRestricted& AList, TFlBasicPin* APin) { FillSendTypes(AList, APin); }

void TFlStreamPin::CollectDependencyChain(std::vector<std::vector<TFlBasicPin*>>& AChains, size_t ACurrent) {
  if (ACurrent < AChains.size()) AChains[ACurrent].push_back(this);
}

// ---------------------------------------------------------------------------
// Entry lists and sink pin lists

TFlPinEntry& TFlPinEntryList::Add() {
  FItems.emplace_back();
  return FItems.back();
}

TFlPinEntry* TFlPinEntryList::GetItemByPin(TFlBasicPin* APin) {
  for (TFlPinEntry& e : FItems)
    if (e.RealPin == APin) return &e;
  return nullptr;
}

int32_t TFlPinEntryList::IndexOfPin(TFlBasicPin* APin) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].RealPin == APin) return int32_t(i);
  return -1;
}

void TFlSinkPinList::Add(TFlBasicSinkPin* APin) {
  if (APin == nullptr) return;
  {
    Ref<IFlLockSection> write = FOwner->WriteLock();
    TFlCriticalSectionGuard hold(FOwner->LinkSection());
    if (std::find(FList.begin(), FList.end(), APin) != FList.end()) return;
    FList.push_back(APin);
  }
  Registered(APin);
}

void TFlSinkPinList::Remove(TFlBasicSinkPin* APin) {
  {
    Ref<IFlLockSection> write = FOwner->WriteLock();
    TFlCriticalSectionGuard hold(FOwner->LinkSection());
    auto it = std::find(FList.begin(), FList.end(), APin);
    if (it == FList.end()) return;
    FList.erase(it);
  }
  Unregistered(APin);
}

int32_t TFlSinkPinList::Count() {
  Ref<IFlLockSection> read = FOwner->ReadLock();
  TFlCriticalSectionGuard hold(FOwner->LinkSection());
  return int32_t(FList.size());
}

std::vector<TFlBasicSinkPin*> TFlSinkPinList::Items() {
  TFlCriticalSectionGuard hold(FOwner->LinkSection());
  return FList;
}

namespace {
// Enters or removes a source pin in one of a sink pin's dependant lists,
// under that sink's link section.
void EnterDependant(TFlCriticalSection& ASection, std::vector<TFlSourcePin*>& AList, TFlSourcePin* ASource) {
  TFlCriticalSectionGuard hold(ASection);
  AList.push_back(ASource);
}
void RemoveDependant(TFlCriticalSection& ASection, std::vector<TFlSourcePin*>& AList, TFlSourcePin* ASource) {
  TFlCriticalSectionGuard hold(ASection);
  auto it = std::find(AList.begin(), AList.end(), ASource);
  if (it != AList.end()) AList.erase(it);
}
}  // namespace

void TFlFunctionSinkPinList::Registered(TFlBasicSinkPin* APin) {
  EnterDependant(APin->LinkSection(), APin->FFunctionDependants, FOwner);
}

void TFlFunctionSinkPinList::Unregistered(TFlBasicSinkPin* APin) {
  RemoveDependant(APin->LinkSection(), APin->FFunctionDependants, FOwner);
}

void TFlDataTypeSinkPinList::Registered(TFlBasicSinkPin* APin) {
  EnterDependant(APin->LinkSection(), APin->FDataTypeDependants, FOwner);
}

void TFlDataTypeSinkPinList::Unregistered(TFlBasicSinkPin* APin) {
  RemoveDependant(APin->LinkSection(), APin->FDataTypeDependants, FOwner);
}

// ---------------------------------------------------------------------------
// Source pin

TFlSourcePin::TFlSourcePin(TComponent* AOwner, int32_t AMaxConnections)
    : TFlStreamPin(AOwner), FMaxConnections(AMaxConnections) {}

TFlSourcePin::TFlSourcePin(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock, const Ref<IFlLock>& AInputOwnerLock,
                           int32_t AMaxConnections)
    : TFlStreamPin(AOwner, AOwnerLock), FInputOwnerLock(AInputOwnerLock), FMaxConnections(AMaxConnections) {}

TFlSourcePin::~TFlSourcePin() {
  // The function sources forget this pin as their dependant.
  for (TFlBasicSinkPin* s : FFunctionSources.Items()) static_cast<TFlSinkPinList&>(FFunctionSources).Unregistered(s);
  for (TFlBasicSinkPin* s : FDataTypeSources.Items()) static_cast<TFlSinkPinList&>(FDataTypeSources).Unregistered(s);
  std::vector<Ref<TFlFormatConverter>> converters;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    converters.swap(FFormatConverters);
  }
}

int32_t TFlSourcePin::ConverterCount() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return int32_t(FFormatConverters.size());
}

int32_t TFlSourcePin::GetSinkCount() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FSinkPins.Count();
}

TFlBasicPin* TFlSourcePin::GetSink(int32_t AIndex) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (AIndex < 0 || AIndex >= FSinkPins.Count()) return nullptr;
  return FSinkPins[AIndex].RealPin;
}

std::vector<TFlPinEntry> TFlSourcePin::Entries() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FSinkPins.Items();
}

bool TFlSourcePin::IsConnected() { return GetSinkCount() > 0 || IsStateConnected(); }

bool TFlSourcePin::IsConnectedTo(TFlBasicPin* AOtherPin) {
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (AOtherPin != nullptr && FSinkPins.GetItemByPin(AOtherPin) != nullptr) return true;
  }
  return IsConnectedByStateTo(AOtherPin);
}

bool TFlSourcePin::IsConnectedByConverterTo(TFlBasicPin* AOtherPin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  const TFlPinEntry* e = FSinkPins.GetItemByPin(AOtherPin);
  return e != nullptr && e->Converter != nullptr;
}

TGUID TFlSourcePin::GetConnectionID(TFlBasicPin* AOtherPin) {
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (const TFlPinEntry* e = FSinkPins.GetItemByPin(AOtherPin)) return e->ConnectedID;
  }
  return TFlPin::GetConnectionID(AOtherPin);
}

TGUID TFlSourcePin::GetPrimaryConnectionID() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (FSinkPins.Count() > 0) return FSinkPins[0].ConnectedID;
  return {};  // state link: the dispatcher's first pin
}

TFlBasicPin* TFlSourcePin::GetNotifyAfterPin(TFlBasicPin* APin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  const TFlPinEntry* e = FSinkPins.GetItemByPin(APin);
  return e != nullptr ? e->NotifyAfterPin : nullptr;
}

std::string TFlSourcePin::GetAfterPinDisplayName(TFlBasicPin* APin) {
  TFlBasicPin* after = nullptr;
  Ref<IFlDestroyLockSection> inside;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    const TFlPinEntry* e = FSinkPins.GetItemByPin(APin);
    if (e == nullptr || e->NotifyAfterPin == nullptr) return {};
    after = e->NotifyAfterPin;
    inside = EnterPin(after);
  }
  return inside ? after->GetFullName(true) : std::string();
}

void TFlSourcePin::FillRestrictedTypes(TFlPinTypeRestricted& AList, TFlBasicPin* APin) {
  // Data-type dependency narrows the list here once it is built.
  FillSendTypes(AList, APin);
}

TFlConnectionChoice TFlSourcePin::Negotiate(TFlBasicPin* ASink, bool AUseConverters, bool AAllowNew) {
  if (ASink == nullptr) return {};
  TFlPinTypeRestricted types;
  FillRestrictedTypes(types, ASink);
  const std::vector<TFlPinTypeEntry>& list = types.Types();
  for (size_t i = list.size(); i-- > 0;)
    if (ASink->QueryStream(list[i].ID)) return {list[i].ID, nullptr, nullptr};
  if (!AUseConverters) return {};
  std::vector<Ref<TFlFormatConverter>> converters;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    converters = FFormatConverters;
  }
  for (size_t c = converters.size(); c-- > 0;) {
    const TGUID out = converters[c]->OutputPin()->Negotiate(ASink, false, false).ID;
    if (out.IsNull() || !ASink->QueryStream(out)) continue;
    const TGUID in = Negotiate(converters[c]->InputPin(), false, false).ID;
    if (!in.IsNull()) return {in, converters[c], nullptr};
  }
  if (!AAllowNew) return {};
  return FindRegisteredConverter(list, ASink);
}

bool TFlSourcePin::CanAddSink(TFlBasicSinkPin* ASink, bool AUseConverters) {
  return !Negotiate(ASink, AUseConverters, AUseConverters).ID.IsNull();
}

bool TFlSourcePin::IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) {
  if (auto* sink = dynamic_cast<TFlBasicSinkPin*>(AOtherPin)) return sink->IsCompatible(this, AUseConverters);
  return TFlPin::IsCompatible(AOtherPin, AUseConverters);
}

bool TFlSourcePin::CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters) {
  if (APin == nullptr || APin == this) return false;
  if (!DesignRuleAllows(this, APin)) return false;
  if (auto* sink = dynamic_cast<TFlBasicSinkPin*>(APin)) return sink->CanConnectTo(this, AUseConverters);
  return TFlPin::CanConnectEx(APin, AConverter, AUseConverters);
}

bool TFlSourcePin::DependsOn(TFlBasicPin* AOtherPin) {
  if (AOtherPin == nullptr) return false;
  if (std::find(AskingDependsOn.begin(), AskingDependsOn.end(), this) != AskingDependsOn.end()) return false;
  AskingDependsOn.push_back(this);
  struct TPop {
    ~TPop() { AskingDependsOn.pop_back(); }
  } pop;
  const std::vector<TFlBasicSinkPin*> sources = FFunctionSources.Items();
  for (TFlBasicSinkPin* s : sources)
    if (s == AOtherPin) return true;
  for (TFlBasicSinkPin* s : sources)
    if (s->DependsOn(AOtherPin)) return true;
  return false;
}

bool TFlSourcePin::DirectDependsOn(TFlBasicPin* AOtherPin) {
  for (TFlBasicSinkPin* s : FFunctionSources.Items())
    if (s == AOtherPin) return true;
  return false;
}

void TFlSourcePin::CollectDependencyChain(std::vector<std::vector<TFlBasicPin*>>& AChains, size_t ACurrent) {
  TFlStreamPin::CollectDependencyChain(AChains, ACurrent);
  if (ACurrent >= AChains.size()) return;
  if (std::find(AskingDependsOn.begin(), AskingDependsOn.end(), this) != AskingDependsOn.end()) return;
  AskingDependsOn.push_back(this);
  struct TPop {
    ~TPop() { AskingDependsOn.pop_back(); }
  } pop;
  const std::vector<TFlBasicPin*> chain = AChains[ACurrent];
  const std::vector<TFlBasicSinkPin*> sources = FFunctionSources.Items();
  for (size_t k = 0; k < sources.size(); ++k) {
    size_t target = ACurrent;
    if (k > 0) {
      AChains.push_back(chain);
      target = AChains.size() - 1;
    }
    sources[k]->CollectDependencyChain(AChains, target);
  }
}

TFlBasicPin* TFlSourcePin::SinkToMakeRoomFor(TFlBasicPin* AOtherPin) {
  if (FMaxConnections <= 0 || FSinkPins.Count() < FMaxConnections) return nullptr;
  if (FSinkPins.GetItemByPin(AOtherPin) != nullptr) return nullptr;
  return FSinkPins.Count() > 0 ? FSinkPins[0].RealPin : nullptr;
}

bool TFlSourcePin::ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  if (AOtherPin != nullptr && !CanConnectAfter(AOtherPin, ANotifyAfterPin, true)) return false;
  return ConnectSink(AOtherPin, ANotifyAfterPin);
}

bool TFlSourcePin::ConnectSink(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) {
  // Sinks and, once they exist, placeholder pins.
  auto* sink = dynamic_cast<TFlSinkPin*>(AOtherPin);
  if (sink == nullptr) return false;
  TFlBasicPin* oldest = nullptr;
  Ref<IFlDestroyLockSection> inside;
  {
    Ref<IFlLockSection> write = WriteLock();
    TFlCriticalSectionGuard hold(FIntLockSection);
    oldest = SinkToMakeRoomFor(AOtherPin);
    inside = EnterPin(oldest);
  }
  // The sink side does the linking; no lock of this pin is held meanwhile.
  if (inside) oldest->Disconnect();
  inside.Reset();
  return sink->ConnectAfter(this, ANotifyAfterPin);
}

bool TFlSourcePin::CanConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin, bool AUseConverters) {
  if (TFlStreamPin::CanConnectAfter(AOtherPin, ANotifyAfterPin, AUseConverters)) return true;
  if (AOtherPin == ANotifyAfterPin) return false;
  if (IsOwnerLoading() || FInEditor.load()) return true;
  TFlCriticalSectionGuard hold(FIntLockSection);
  TFlBasicPin* after = ANotifyAfterPin;
  // The notify-after chain must end in a sink of this pin; a chain longer
  // than the list is a loop.
  for (int32_t steps = 0; steps <= FSinkPins.Count(); ++steps) {
    const TFlPinEntry* e = FSinkPins.GetItemByPin(after);
    if (e == nullptr) return false;
    if (e->NotifyAfterPin == nullptr) return true;
    after = e->NotifyAfterPin;
  }
  return false;
}

void TFlSourcePin::AddLink(TFlBasicPin* APin, TFlBasicPin* ANotifyAfterPin) {
  auto* sink = dynamic_cast<TFlSinkPin*>(APin);
  if (sink == nullptr) return;
  std::vector<Ref<TFlFormatConverter>> dropped;  // released after every section
  TFlBasicPin* oldest = nullptr;
  Ref<IFlDestroyLockSection> oldestInside;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (TFlPinEntry* e = FSinkPins.GetItemByPin(APin)) {
      e->NotifyAfterPin = ANotifyAfterPin;
      ApplyNotifyAfterOrder();
      return;
    }
    // The connection limit again: another thread may have linked meanwhile.
    oldest = SinkToMakeRoomFor(APin);
    if (oldest != nullptr) {
      oldestInside = EnterPin(oldest);
      RemoveEntryOf(oldest, dropped);
    }
  }
  if (oldestInside) {
    RaisePinDisconnecting(this, oldest);
    oldest->RemoveLink(this, false);
    oldest->LinkRemoved(this);
    oldestInside.Reset();
  }

  TFlConnectionChoice choice = Negotiate(APin, true, true);
  if (choice.ID.IsNull()) {
    sink->ForgetSource(this);
    return;
  }
  Ref<TFlFormatConverter> converter = choice.Converter;
  if (!converter && choice.ConverterClass != nullptr) converter = choice.ConverterClass();
  TFlPinEntry entry;
  entry.RealPin = APin;
  entry.NotifyAfterPin = ANotifyAfterPin;
  entry.ConnectedID = choice.ID;
  entry.SubmitFunction = GetSubmitFunction(choice.ID);
  if (converter) {
    TFlSinkPin* input = converter->InputPin();
    TFlSourcePin* output = converter->OutputPin();
    entry.ConnectionPin = input;
    entry.Converter = converter.Get();
    input->SetFeedingPin(this, this);
    {
      TFlCriticalSectionGuard hold(input->FIntLockSection);
      input->FConnectedID = choice.ID;
      input->FSubmitFunction = input->GetSubmitFunction(choice.ID);
    }
    {
      Ref<IFlLockSection> write = output->WriteLock();
      output->AddLink(sink, ANotifyAfterPin);
    }
    sink->SetFeedingPin(this, output);
    TFlCriticalSectionGuard hold(sink->FIntLockSection);
    sink->FConverter = converter.Get();
  } else {
    entry.ConnectionPin = APin;
    sink->SetFeedingPin(this, this);
  }
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (converter && std::find(FFormatConverters.begin(), FFormatConverters.end(), converter) == FFormatConverters.end())
    FFormatConverters.push_back(converter);
  FSinkPins.Items().push_back(entry);
  ApplyNotifyAfterOrder();
}

bool TFlSourcePin::RemoveEntryOf(TFlBasicPin* ASink, std::vector<Ref<TFlFormatConverter>>& ADropped) {
  std::vector<TFlPinEntry>& items = FSinkPins.Items();
  for (size_t i = items.size(); i-- > 0;) {
    if (items[i].RealPin != ASink) continue;
    const bool viaConverter = items[i].Converter != nullptr;
    items.erase(items.begin() + std::ptrdiff_t(i));
    if (viaConverter) {
      for (size_t c = FFormatConverters.size(); c-- > 0;) {
        TFlSourcePin* output = FFormatConverters[c]->OutputPin();
        bool empty;
        {
          TFlCriticalSectionGuard hold(output->FIntLockSection);
          output->RemoveEntryOf(ASink, ADropped);
          empty = output->FSinkPins.Count() == 0;
        }
        if (empty) {
          ADropped.push_back(FFormatConverters[c]);
          FFormatConverters.erase(FFormatConverters.begin() + std::ptrdiff_t(c));
        }
      }
    }
    return true;
  }
  return false;
}

void TFlSourcePin::RemoveLink(TFlBasicPin* APin, bool APlaceholder) {
  std::vector<Ref<TFlFormatConverter>> dropped;  // released after every section
  Ref<IFlDestroyLockSection> inside;
  {
    Ref<IFlLockSection> write = WriteLock();
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (FInDisconnect) return;
    if (!RemoveEntryOf(APin, dropped)) return;
    inside = EnterPin(APin);
  }
  // A placeholder sink keeps this link until the sink is loaded again.
  if (APlaceholder && inside && !IsOwnerDestroying()) LeavePlaceholderFor(APin);
  RaisePinChanged(this);
  if (inside) APin->LinkRemoved(this);
}

void TFlSourcePin::Disconnect() {
  BeforeDisconnect();
  DisconnectState();
  std::vector<Ref<TFlFormatConverter>> dropped;  // released after every section
  std::vector<std::pair<TFlBasicPin*, Ref<IFlDestroyLockSection>>> sinks;
  {
    Ref<IFlLockSection> write = WriteLock();
    TFlCriticalSectionGuard hold(FIntLockSection);
    FInDisconnect = true;
    std::vector<TFlPinEntry>& items = FSinkPins.Items();
    for (size_t i = items.size(); i-- > 0;) sinks.emplace_back(items[i].RealPin, EnterPin(items[i].RealPin));
    for (const Ref<TFlFormatConverter>& c : FFormatConverters) {
      TFlSourcePin* output = c->OutputPin();
      TFlCriticalSectionGuard outputHold(output->FIntLockSection);
      output->FSinkPins.Clear();
    }
    dropped.swap(FFormatConverters);
    FSinkPins.Clear();
    FNeedsRebalance = false;
  }
  const bool placeholder = IsDesignTime() && IsOwnerDestroying();
  for (auto& [sink, inside] : sinks) {
    if (!inside) continue;  // being destroyed: it drops its own side
    sink->BeforeDisconnect();
    RaisePinDisconnecting(this, sink);
    sink->RemoveLink(this, placeholder);
    sink->LinkRemoved(this);
    inside.Reset();
  }
  TFlCriticalSectionGuard hold(FIntLockSection);
  FInDisconnect = false;
}

void TFlSourcePin::DisconnectFrom(TFlBasicPin* AOtherPin) {
  BeforeDisconnect();
  if (IsConnectedTo(AOtherPin)) {
    if (auto* sink = dynamic_cast<TFlSinkPin*>(AOtherPin)) {
      Ref<IFlDestroyLockSection> inside;
      {
        TFlCriticalSectionGuard hold(FIntLockSection);
        if (FSinkPins.GetItemByPin(AOtherPin) != nullptr) inside = EnterPin(AOtherPin);
      }
      if (inside) sink->Disconnect();
      return;
    }
  }
  DisconnectState();
}

void TFlSourcePin::PinDestroying(TFlBasicPin* APin) {
  // Called with the pin registry's section held: internal section only.
  // Converters left without sinks are dropped by the next unlink.
  TFlCriticalSectionGuard hold(FIntLockSection);
  for (TFlSinkPinList* list : {static_cast<TFlSinkPinList*>(&FFunctionSources),
                               static_cast<TFlSinkPinList*>(&FDataTypeSources)}) {
    auto& items = list->FList;
    items.erase(std::remove(items.begin(), items.end(), APin), items.end());
  }
  std::vector<TFlPinEntry>& items = FSinkPins.Items();
  items.erase(std::remove_if(items.begin(), items.end(), [&](const TFlPinEntry& e) { return e.RealPin == APin; }),
              items.end());
  for (TFlPinEntry& e : items)
    if (e.NotifyAfterPin == APin) e.NotifyAfterPin = nullptr;
}

void TFlSourcePin::ReplaceAfterPin(TFlBasicPin* AOldPin, TFlBasicPin* ANewPin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  for (TFlPinEntry& e : FSinkPins.Items())
    if (e.NotifyAfterPin == AOldPin) e.NotifyAfterPin = ANewPin;
  ApplyNotifyAfterOrder();
}

void TFlSourcePin::ApplyNotifyAfterOrder() {
  std::vector<TFlPinEntry>& items = FSinkPins.Items();
  const size_t n = items.size();
  // Each move puts an entry behind its notify-after pin; a loop of
  // notify-after pins would move for ever, so the moves are bounded.
  size_t moves = n * n + 1;
  for (size_t i = 0; i < n;) {
    TFlBasicPin* after = items[i].NotifyAfterPin;
    if (after != nullptr && moves > 0) {
      const int32_t j = FSinkPins.IndexOfPin(after);
      if (j > int32_t(i)) {
        TFlPinEntry moved = items[i];
        items.erase(items.begin() + std::ptrdiff_t(i));
        items.insert(items.begin() + j, moved);
        --moves;
        continue;
      }
    }
    ++i;
  }
}

void TFlSourcePin::Rebalance() {
  std::vector<TFlPinEntry>& items = FSinkPins.Items();
  bool anyLevel = false;
  for (TFlPinEntry& e : items) {
    if (e.ModificationLevel > 0) --e.ModificationLevel;
    anyLevel = anyLevel || e.ModificationLevel > 0;
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const TFlPinEntry& a, const TFlPinEntry& b) { return a.ModificationLevel < b.ModificationLevel; });
  ApplyNotifyAfterOrder();
  FNeedsRebalance = anyLevel;
}

TFlNotifyResult TFlSourcePin::Notify(IFlNotifyOperation* AOperation) { return NotifyTo(AOperation, nullptr); }

TFlNotifyResult TFlSourcePin::NotifyTo(IFlNotifyOperation* AOperation, TFlBasicPin* ATarget) {
  // The owner component's holds are given up for the length of the send and
  // come back, input lock first, when these sections end (in reverse order
  // of declaration).
  Ref<IFlLockSection> inputUnlock;
  Ref<IFlLockSection> ownerUnlock;
  if (FOwnerLock) {
    if (FInputOwnerLock) {
      inputUnlock = FInputOwnerLock->UnlockAll();
      ownerUnlock = FOwnerLock->UnlockAllLockInOrder(FInputOwnerLock);
    } else {
      ownerUnlock = FOwnerLock->UnlockAll();
    }
  }

  // Copy the entries; each copy keeps its converter alive and holds its
  // receiver's destroy lock, taken while the link is still recorded.
  size_t count = 0;
  bool rebalance;
  {
    Ref<IFlLockSection> read = ReadLock();
    FIntLockSection.Enter();
    for (const TFlPinEntry& e : FSinkPins.Items())
      if (ATarget == nullptr || e.RealPin == ATarget) ++count;
  }
  TNotifyCopies copies(count);
  {
    size_t k = 0;
    for (const TFlPinEntry& e : FSinkPins.Items()) {
      if (ATarget != nullptr && e.RealPin != ATarget) continue;
      TFlNotifyPinEntry& c = copies[k++];
      c.Entry = e;
      if (e.Converter != nullptr) c.Converter = Ref<TFlFormatConverter>(e.Converter);
      c.Hold = EnterPin(e.ConnectionPin);
    }
    rebalance = FNeedsRebalance;
    FIntLockSection.Leave();
  }

  // A converter shared by several sinks is served once.
  for (size_t i = count; i-- > 1;) {
    TFlPinEntry& e = copies[i].Entry;
    if (e.ConnectionPin == e.RealPin || !e.SubmitFunction.Assigned()) continue;
    for (size_t j = 0; j < i; ++j)
      if (copies[j].Entry.ConnectionPin == e.ConnectionPin) {
        e.SubmitFunction = {};
        break;
      }
  }

  EnterSending(200);
  TSendingDepth depth(FInSending);
  TFlNotifyResult result = NotifyState(AOperation, {}, ATarget);
  for (size_t i = 0; i < count; ++i) {
    TFlNotifyPinEntry& c = copies[i];
    const TFlNotifyState state = i + 1 == count ? TFlNotifyState(nsLastIteration) : TFlNotifyState();
    if (c.Entry.SubmitFunction.Assigned() && c.Hold) {
      const TFlNotifyResult r =
          c.Entry.SubmitFunction(static_cast<IFlStream*>(c.Entry.ConnectionPin), &c.Entry.ConnectedID, AOperation, state);
      result |= r;
      if (r.Contains(nrDataChanged)) {
        TFlCriticalSectionGuard hold(FIntLockSection);
        for (TFlPinEntry& e : FSinkPins.Items())
          if (e.RealPin == c.Entry.RealPin && e.ConnectionPin == c.Entry.ConnectionPin) {
            if (e.ModificationLevel < 10000) e.ModificationLevel += 4;
            FNeedsRebalance = true;
            rebalance = true;
            break;
          }
      }
    }
    c.Hold.Reset();
  }
  ownerUnlock.Reset();
  inputUnlock.Reset();
  if (rebalance) {
    Ref<IFlLockSection> write = WriteLock();
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (!FInDisconnect) Rebalance();
  }
  return result;
}

void TFlSourcePin::NotifyNewSink(TFlBasicPin* ASink) {
  TFlSubmit submit;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    const TFlPinEntry* e = FSinkPins.GetItemByPin(ASink);
    if (e == nullptr) return;
    submit = e->SubmitFunction;
  }
  NotifyFunctionDependant(ASink, submit);
}

void TFlSourcePin::NotifyFunctionDependant(TFlBasicPin* ASink, TFlSubmit ASubmit) {
  if (!ASubmit.Assigned() || ASink == nullptr) return;
  TGUID id;
  Ref<IFlDestroyLockSection> inside;
  {
    Ref<IFlLockSection> write = WriteLock();
    EnterSending(10);
  }
  TSendingDepth depth(FInSending);
  id = Negotiate(ASink, true, false).ID;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (FSinkPins.GetItemByPin(ASink) != nullptr) inside = EnterPin(ASink);
  }
  if (inside) {
    Ref<IFlLockSection> own = UnlockAll();
    Ref<IFlLockSection> owner;
    if (FOwnerLock) owner = FOwnerLock->UnlockAllLockInOrder(FInputOwnerLock);
    Ref<TFlNotifyOperation> operation = TFlNotifyOperation::Create();
    ASubmit(static_cast<IFlStream*>(ASink), &id, operation.Get(), TFlNotifyState(nsNewLink, nsLastIteration));
  }
  inside.Reset();
  Ref<IFlLockSection> write = WriteLock();
  RaisePinChanged(this);
}

// ---------------------------------------------------------------------------
// Sink pins

bool TFlBasicSinkPin::CheckUpstreamTypes(TFlSourcePin* ASource, bool AUseConverters) {
  if (IgnoreUpstream() || StreamTypes().empty()) return true;
  return !ASource->Negotiate(this, AUseConverters, AUseConverters).ID.IsNull();
}

std::vector<TFlSourcePin*> TFlBasicSinkPin::FunctionDependants() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FFunctionDependants;
}

std::vector<TFlSourcePin*> TFlBasicSinkPin::DataTypeDependants() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FDataTypeDependants;
}

void TFlBasicSinkPin::PinDestroying(TFlBasicPin* APin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  FFunctionDependants.erase(std::remove(FFunctionDependants.begin(), FFunctionDependants.end(), APin),
                            FFunctionDependants.end());
  FDataTypeDependants.erase(std::remove(FDataTypeDependants.begin(), FDataTypeDependants.end(), APin),
                            FDataTypeDependants.end());
}

TFlSinkPin::~TFlSinkPin() = default;

TFlBasicPin* TFlSinkPin::GetSourcePin() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FIntRealSourcePin;
}

TFlBasicPin* TFlSinkPin::ConnectionSourcePin() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FConnectionSourcePin;
}

Ref<TFlFormatConverter> TFlSinkPin::FormatConverter() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return Ref<TFlFormatConverter>(FConverter);
}

TGUID TFlSinkPin::UpStreamID() {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return FIntRealSourcePin != nullptr ? FConnectedID : TGUID{};
}

std::string TFlSinkPin::GetUpStreamLinkName() {
  TGUID id;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (FIntRealSourcePin == nullptr) return {};  // state link: its type
    id = FConnectedID;
  }
  return GetStreamTypeName(id);
}

void TFlSinkPin::Assign(TFlSinkPin* ASource) { Connect(ASource != nullptr ? ASource->SourcePin() : nullptr); }

bool TFlSinkPin::IsConnected() { return GetSourcePin() != nullptr || IsStateConnected(); }

bool TFlSinkPin::IsConnectedTo(TFlBasicPin* AOtherPin) {
  if (AOtherPin != nullptr && GetSourcePin() == AOtherPin) return true;
  return IsConnectedByStateTo(AOtherPin);
}

bool TFlSinkPin::IsConnectedByConverterTo(TFlBasicPin* AOtherPin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  return AOtherPin != nullptr && FIntRealSourcePin == AOtherPin && FConnectionSourcePin != AOtherPin;
}

TFlBasicPin* TFlSinkPin::GetNotifyAfterPin(TFlBasicPin* /*APin*/) {
  TFlBasicPin* source = nullptr;
  Ref<IFlDestroyLockSection> inside;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    source = FIntRealSourcePin;
    inside = EnterPin(source);
  }
  return inside ? source->GetNotifyAfterPin(this) : nullptr;
}

TGUID TFlSinkPin::GetConnectionID(TFlBasicPin* AOtherPin) {
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (AOtherPin != nullptr && AOtherPin == FIntRealSourcePin) return FConnectedID;
  }
  return TFlBasicSinkPin::GetConnectionID(AOtherPin);
}

void TFlSinkPin::SetFeedingPin(TFlBasicPin* ASource, TFlBasicPin* AFeedingPin) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (FIntRealSourcePin != nullptr && FIntRealSourcePin != ASource) return;
  FIntRealSourcePin = ASource;
  FRealSourcePin = ASource;
  FConnectionSourcePin = AFeedingPin;
}

bool TFlSinkPin::ForgetSource(TFlBasicPin* ASource) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (ASource == nullptr || FIntRealSourcePin != ASource) return false;
  FConnectionSourcePin = nullptr;
  FRealSourcePin = nullptr;
  FIntRealSourcePin = nullptr;
  FSubmitFunction = {};
  FConnectedID = {};
  FConverter = nullptr;
  return true;
}

TFlBasicPin* TFlSinkPin::TakeSource(Ref<IFlDestroyLockSection>& AHold) {
  TFlCriticalSectionGuard hold(FIntLockSection);
  TFlBasicPin* source = FIntRealSourcePin;
  AHold = EnterPin(source);
  FConnectionSourcePin = nullptr;
  FRealSourcePin = nullptr;
  FIntRealSourcePin = nullptr;
  FSubmitFunction = {};
  FConnectedID = {};
  FConverter = nullptr;
  return source;
}

void TFlSinkPin::DropSource(bool APlaceholder) {
  Ref<IFlDestroyLockSection> inside;
  TFlBasicPin* source = TakeSource(inside);
  if (source == nullptr || !inside) return;
  RaisePinDisconnecting(this, source);
  source->RemoveLink(this, APlaceholder);
  RaisePinChanged(this);
  source->LinkRemoved(this);
}

bool TFlSinkPin::ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) {
  if (AOtherPin == this) return false;
  {
    Ref<IFlLockSection> write = WriteLock();
    TFlBasicPin* source;
    TFlBasicPin* feeding;
    Ref<IFlDestroyLockSection> inside;
    {
      TFlCriticalSectionGuard hold(FIntLockSection);
      source = FIntRealSourcePin;
      feeding = FConnectionSourcePin;
      if (source != nullptr && source == AOtherPin) inside = EnterPin(source);
    }
    if (AOtherPin == source) {
      if (AOtherPin == nullptr) return true;
      if (inside && source->GetNotifyAfterPin(this) == ANotifyAfterPin) return true;
    } else if (AOtherPin != nullptr && AOtherPin == feeding) {
      return true;
    }
    if (AOtherPin == nullptr) {
      // Unlinking: the source is told with no lock of this pin held.
      write.Reset();
      DropSource(IsDesignTime() && IsOwnerDestroying());
      return true;
    }
    if (!CanConnectTo(AOtherPin, true)) return false;
  }
  DisconnectState();
  DropSource(false);

  auto* source = dynamic_cast<TFlSourcePin*>(AOtherPin);
  if (source == nullptr) return AOtherPin->ConnectAfter(this, ANotifyAfterPin);
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    FIntRealSourcePin = source;
    FConnectionSourcePin = source;
    FConverter = nullptr;
  }
  {
    Ref<IFlLockSection> sourceWrite = source->WriteLock();
    source->AddLink(this, ANotifyAfterPin);
  }
  if (!source->IsConnectedTo(this)) {
    // The source refused (no type any more): leave nothing behind.
    ForgetSource(source);
    return false;
  }
  const TGUID id = source->Negotiate(this, true, false).ID;
  const TFlSubmit submit = GetSubmitFunction(id);
  {
    Ref<IFlLockSection> write = WriteLock();
    TFlCriticalSectionGuard hold(FIntLockSection);
    if (FIntRealSourcePin == source) {
      FConnectedID = id;
      FSubmitFunction = submit;
    }
  }
  source->NotifyNewSink(this);
  AddLink(source, ANotifyAfterPin);
  RaisePinConnected(this, AOtherPin);
  RaisePinChanged(this);
  return true;
}

void TFlSinkPin::Disconnect() {
  BeforeDisconnect();
  {
    TFlBasicPin* source;
    Ref<IFlDestroyLockSection> inside;
    {
      TFlCriticalSectionGuard hold(FIntLockSection);
      source = FIntRealSourcePin;
      inside = EnterPin(source);
    }
    if (inside) source->BeforeDisconnect();
  }
  // A stop hold: other threads' requests on this pin pass at once rather
  // than wait, so that holding it while the source is told cannot deadlock.
  Ref<IFlLockSection> stop = FIntLock->StopLock();
  DisconnectState();
  ConnectAfter(nullptr, nullptr);
}

void TFlSinkPin::DisconnectFrom(TFlBasicPin* AOtherPin) {
  if (AOtherPin != nullptr && GetSourcePin() == AOtherPin)
    Disconnect();
  else
    DisconnectState();
}

void TFlSinkPin::DetachLinks() { DropSource(false); }

void TFlSinkPin::RemoveLink(TFlBasicPin* APin, bool APlaceholder) {
  Ref<IFlLockSection> write = WriteLock();
  // A placeholder source keeps this link until the source is loaded again.
  if (ForgetSource(APin) && APlaceholder && !IsOwnerDestroying()) LeavePlaceholderFor(APin);
}

TFlNotifyResult TFlSinkPin::Notify(IFlNotifyOperation* AOperation) {
  TFlBasicPin* feeding;
  TFlSubmit submit;
  TGUID id;
  Ref<IFlDestroyLockSection> inside;
  {
    // Read holds only to read the link; refused (a stop) means skip.
    Ref<IFlLockSection> ownerRead;
    if (FOwnerLock) {
      ownerRead = FOwnerLock->ReadLock();
      if (!ownerRead) return {};
    }
    Ref<IFlLockSection> read = FIntLock->ReadLock();
    if (!read) return {};
    TFlCriticalSectionGuard hold(FIntLockSection);
    feeding = FConnectionSourcePin;
    submit = FSubmitFunction;
    id = FConnectedID;
    inside = EnterPin(feeding);
  }
  if (feeding == nullptr || !submit.Assigned() || !inside) return {};
  Ref<IFlLockSection> ownerUnlock;
  if (FOwnerLock) ownerUnlock = FOwnerLock->UnlockAll();
  return submit(static_cast<IFlStream*>(feeding), &id, AOperation, {});
}

void TFlSinkPin::PinDestroying(TFlBasicPin* APin) {
  TFlBasicSinkPin::PinDestroying(APin);
  // Called with the pin registry's section held: the source is going away
  // and has dropped its side; forget it without telling it.
  TFlCriticalSectionGuard hold(FIntLockSection);
  if (APin == FIntRealSourcePin || APin == FConnectionSourcePin) {
    FConnectionSourcePin = nullptr;
    FRealSourcePin = nullptr;
    FIntRealSourcePin = nullptr;
    FSubmitFunction = {};
    FConnectedID = {};
    FConverter = nullptr;
  }
}

bool TFlSinkPin::DependsOn(TFlBasicPin* AOtherPin) {
  if (AOtherPin == nullptr) return false;
  TFlBasicPin* source;
  Ref<IFlDestroyLockSection> inside;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    source = FIntRealSourcePin;
    if (source == AOtherPin) return true;
    inside = EnterPin(source);
  }
  return inside && source->DependsOn(AOtherPin);
}

bool TFlSinkPin::DirectDependsOn(TFlBasicPin* AOtherPin) {
  TFlBasicPin* source;
  Ref<IFlDestroyLockSection> inside;
  {
    TFlCriticalSectionGuard hold(FIntLockSection);
    source = FIntRealSourcePin;
    inside = EnterPin(source);
  }
  return inside && source->DirectDependsOn(AOtherPin);
}

bool TFlSinkPin::IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) {
  if (AOtherPin == nullptr) return true;
  if (auto* source = dynamic_cast<TFlSourcePin*>(AOtherPin))
    return source->CanAddSink(this, AUseConverters) && CheckUpstreamTypes(source, AUseConverters);
  return TFlBasicSinkPin::IsCompatible(AOtherPin, AUseConverters);
}

bool TFlSinkPin::CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& /*AConverter*/, bool AUseConverters) {
  if (APin == nullptr || APin == this) return false;
  if (!DesignRuleAllows(this, APin)) return false;
  // A link that would close a loop of functional dependency is refused.
  return IsCompatible(APin, AUseConverters) && !APin->DependsOn(this);
}

// ---------------------------------------------------------------------------
// Format converters

TFlFormatConverter::TFlFormatConverter() : TComponent(nullptr), FLock(TFlLock::Create()) {}

TFlFormatConverter::~TFlFormatConverter() {
  Ref<IFlLockSection> stop = FLock->StopLock();
  if (FInputPin) FInputPin->Disconnect();
  if (FOutputPin) FOutputPin->Disconnect();
  FInputPin.reset();
  FOutputPin.reset();
}

int32_t TFlFormatConverter::_Release() noexcept {
  const int32_t left = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) {
    BeforeDestruction();
    delete this;
  }
  return left;
}

void TFlFormatConverter::BeforeDestruction() {
  Ref<IFlLockSection> unlock = FLock->UnlockAll();
  if (FInputPin) FInputPin->Disconnect();
}

void* TFlFormatConverter::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlFormatConverter>(this, AIID)) return p;
  return TComponent::FindInterface(AIID);
}

void TFlFormatConverter::SetPins(TFlPinPtr<TFlSinkPin> AInputPin, TFlPinPtr<TFlSourcePin> AOutputPin) {
  FInputPin = std::move(AInputPin);
  FOutputPin = std::move(AOutputPin);
  if (FInputPin && FOutputPin) FOutputPin->FunctionSources().Add(FInputPin.get());
}

TFlNotifyResult TFlFormatConverterOutputPin::DispatchData(PDataTypeID /*ADataTypeID*/, IFlNotifyOperation* AOperation,
                                                          TFlNotifyState /*AState*/) {
  TFlSinkPin* input = FConverter->InputPin();
  return input != nullptr ? input->Notify(AOperation) : TFlNotifyResult();
}

void* TFlFormatConverterOutputPin::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<IFlDataStream, IFlBasicStream>(this, AIID)) return p;
  return TFlSourcePin::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// Pin registry and pin events

int32_t FlRegisteredPinCount() {
  TPinRegistry& r = PinRegistry();
  TFlCriticalSectionGuard hold(r.Section);
  return int32_t(r.Pins.size());
}

bool FlIsRegisteredPin(TFlBasicPin* APin) {
  TPinRegistry& r = PinRegistry();
  TFlCriticalSectionGuard hold(r.Section);
  return std::find(r.Pins.begin(), r.Pins.end(), APin) != r.Pins.end();
}

void FlAddPinEventListener(const Ref<IFlPinEventListener>& AListener) {
  if (!AListener) return;
  TEventRegistry& r = Events();
  TFlCriticalSectionGuard hold(r.Section);
  r.Listeners.push_back(AListener);
  r.Count.store(int32_t(r.Listeners.size()), std::memory_order_release);
}

void FlRemovePinEventListener(const Ref<IFlPinEventListener>& AListener) {
  Ref<IFlPinEventListener> removed;  // released after leaving the section
  TEventRegistry& r = Events();
  TFlCriticalSectionGuard hold(r.Section);
  auto it = std::find(r.Listeners.begin(), r.Listeners.end(), AListener);
  if (it == r.Listeners.end()) return;
  removed = *it;
  r.Listeners.erase(it);
  r.Count.store(int32_t(r.Listeners.size()), std::memory_order_release);
}
