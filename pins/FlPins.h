// Pins: the typed connection points that components expose so that they can
// be linked to pins of other components and exchange operations with them.
//
// Class chain: TFlPinObject -> TFlBasicPin -> TFlPin -> TFlStreamPin, and on
// top TFlSourcePin, TFlBasicSinkPin -> TFlSinkPin. A source pin feeds any
// number of sink pins; a sink pin has at most one source. Everything that
// travels along a link is an operation (IFlNotifyOperation); the receiving
// pin answers with a TFlNotifyResult.
//
// Stream types: a pin receives a type by implementing the stream interface
// whose identifier is that type (QueryStream asks); it sends the types listed
// in its StreamType list, each with its submit function. Linking negotiates
// the type: the last listed type that the partner receives, otherwise a
// format converter from the registry (FlStreamTypes.h), otherwise the link is
// refused and nothing changes.
//
// Ownership and lifetime: a pin belongs to its owner component (a
// TComponent, or none) and is freed by it through FlFreePin / TFlPinPtr,
// never with a plain delete: freeing first disconnects the pin and waits,
// through its destroy lock, until no other thread is inside it. Pins are not
// reference counted; interface handles to them never free them. Operations and
// format converters are reference counted.
//
// Locks, outermost first: the input owner lock, the owner component's lock,
// the pin's own framework lock (with the owner lock as slave), then the pin's
// internal critical section, which guards the pin's link data (entries,
// source fields, type list) for short non-blocking steps. Rules:
// - a pin never waits for another pin's framework lock while it holds its
//   own: the sink side of a link operation takes the sink's lock, releases
//   it and then takes the source's;
// - a sender holds no lock of its own or of its owner while a receiver runs
//   (the owner holds are given up for the length of the send);
// - a partner is entered only under a destroy-lock hold of that partner,
//   taken while the link to it is still recorded; a partner being destroyed
//   is skipped.
// Stop holds let other threads pass a pin's framework lock unlocked; the
// internal critical section keeps the link data consistent also then.
//
// Links through state dispatchers, pin lists, placeholder pins and the storing
// of links are built on the extension points marked "state link", "pin list",
// "placeholder" and "storing" below; until then a pin has no state link and
// stores nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pins/FlLocks.h"
#include "pins/FlStreamTypes.h"
#include "platform/Components.h"

class TFlBasicPin;
class TFlPin;
class TFlSourcePin;
class TFlBasicSinkPin;
class TFlSinkPin;
class TFlFormatConverter;
class TFlNotifyOperation;
class TFlStateDispatcher;  // state links: built with the state dispatcher
class TFlPinList;          // pin lists: built with the pin lists

// ---------------------------------------------------------------------------
// Stream interfaces and operations

// Implemented by every pin; the Handler of every submit call is the
// receiving pin's IFlStream.
struct IFlStream : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2C00}");
};

// The object that travels along a link.
struct IFlNotifyOperation : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2C01}");
  virtual TFlNotifyOperation* Instance() = 0;
};

struct IFlBasicStream : virtual IFlStream {
  static constexpr TGUID IID = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2C02}");
  // Receives AOperation sent with the type *ADataTypeID. The pointers are
  // borrowed for the length of the call.
  virtual TFlNotifyResult DispatchData(PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                                       TFlNotifyState AState) = 0;
};

// Root of every typed stream interface: a typed interface derives from it
// (virtually) and takes the identifier of its stream type as IID.
struct IFlDataStream : virtual IFlBasicStream {
  static constexpr TGUID IID = FlStreamID::DataStream;
};

struct IFlClockStream : virtual IFlBasicStream {
  static constexpr TGUID IID = FlStreamID::ClockStream;
};

// A plain operation; subclasses carry the payload, and a receiver recognises
// an operation by its class. Identifiers come from a process-wide counter
// (the first operation gets 1).
class TFlNotifyOperation : public TInterfacedObject, public virtual IFlNotifyOperation {
 public:
  TFlNotifyOperation();
  static Ref<TFlNotifyOperation> Create() { return MakeObject<TFlNotifyOperation>(); }

  TFlNotifyOperation* Instance() override { return this; }
  uint32_t OperationID() const { return FOperationID; }

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;

 private:
  uint32_t FOperationID;
};

// The sending function of one stream type of a pin: an object and the code
// that delivers to a handler on its behalf. Assigned when the code is set.
struct TFlSubmit {
  using TCode = TFlNotifyResult (*)(void* AObject, IFlStream* AHandler, PDataTypeID ADataTypeID,
                                    IFlNotifyOperation* AOperation, TFlNotifyState AState);
  void* Object = nullptr;
  TCode Code = nullptr;

  bool Assigned() const { return Code != nullptr; }
  TFlNotifyResult operator()(IFlStream* AHandler, PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                             TFlNotifyState AState) const {
    return Code(Object, AHandler, ADataTypeID, AOperation, AState);
  }
  friend bool operator==(const TFlSubmit&, const TFlSubmit&) = default;

  // Binds the member function AMethod of T (with the signature of TCode
  // without the object) to AObject.
  template <auto AMethod, class T>
  static TFlSubmit Bind(T* AObject) {
    return {AObject, [](void* o, IFlStream* h, PDataTypeID t, IFlNotifyOperation* op, TFlNotifyState s) {
              return (static_cast<T*>(o)->*AMethod)(h, t, op, s);
            }};
  }
};

// ---------------------------------------------------------------------------
// Stream type lists

struct TFlPinTypeEntry {
  TGUID ID;
  TFlSubmit SubmitFunction;
};

// The stream types a pin sends, in insertion order, each with its submit
// function (unassigned: the pin's DefaultNotifyDispatcher).
class TFlPinStreamType : public TObject {
 public:
  // Replaces the submit function of AID in place, else appends.
  void AddType(const TGUID& AID, TFlSubmit ASubmitFunction = {});
  // Removes the first entry of AID; an absent AID is ignored.
  void RemoveType(const TGUID& AID);
  // Exchanges two entries; indexes outside 0..Count-1 raise ERangeError.
  void SwapPosition(int32_t AIndex1, int32_t AIndex2);
  void ClearTypes() { FTypes.clear(); }
  // ERangeError "Index out of range = %u" outside 0..Count-1.
  const TGUID& GetID(int32_t AIndex) const;
  TFlSubmit GetSubmitFunc(int32_t AIndex) const;
  int32_t GetLength() const { return int32_t(FTypes.size()); }
  int32_t Count() const { return GetLength(); }
  // Index of the entry of AID, or -1.
  int32_t IndexOf(const TGUID& AID) const;
  const std::vector<TFlPinTypeEntry>& Types() const { return FTypes; }

 protected:
  void CheckIndex(int32_t AIndex) const;
  std::vector<TFlPinTypeEntry> FTypes;
};

// A scratch list used during negotiation; reordered at most once.
class TFlPinTypeRestricted : public TFlPinStreamType {
 public:
  bool Ordered = false;
};

// What a negotiation found: the stream type, an existing converter of the
// asking pin to go through, or a converter class to create.
struct TFlConnectionChoice {
  TGUID ID;
  Ref<TFlFormatConverter> Converter;
  TFlFormatConverterClass ConverterClass = nullptr;
};

// ---------------------------------------------------------------------------
// Freeing pins

// Frees a pin: runs its BeforeDestruction (wait for workers, disconnect,
// tell every pin), then its destructors. Null is ignored. A receiver must not
// free its own pin (nor another receiver of the same send) from inside a
// delivery: the send holds their destroy locks, and freeing waits for them.
void FlFreePin(TFlBasicPin* APin);

struct TFlPinDeleter {
  void operator()(TFlBasicPin* APin) const { FlFreePin(APin); }
};

// The owner's handle to a pin it owns.
template <class T>
using TFlPinPtr = std::unique_ptr<T, TFlPinDeleter>;

// Makes a pin, runs its after-construction step (registration and the
// PinCreated event) and hands it to its owner.
template <class T, class... Args>
TFlPinPtr<T> CreatePin(Args&&... AArgs) {
  T* pin = new T(std::forward<Args>(AArgs)...);
  TFlPinPtr<T> owned(pin);
  pin->AfterConstruction();
  return owned;
}

// ---------------------------------------------------------------------------
// Pin object and basic pin

// A framework object that pins and state dispatchers derive from.
class TFlPinObject : public TFlObject {
 public:
  std::string ClassName() const override { return "TFlPinObject"; }

  // APin is going away: drop every reference to it. Called with the pin
  // registry's section held; must not wait for a framework lock.
  virtual void PinDestroying(TFlBasicPin* APin);
  // Replaces AOldPin by ANewPin as notify-after pin in the links.
  virtual void ReplaceAfterPin(TFlBasicPin* AOldPin, TFlBasicPin* ANewPin);
  // Makes the pin named AName the notify-after pin of the link to APin
  // (storing: resolved with the naming of pin lists; base nothing).
  virtual void SetAfterPinByName(TFlBasicPin* APin, const std::string& AName);
  // Display name of the notify-after pin of the link to APin; empty when none.
  virtual std::string GetAfterPinDisplayName(TFlBasicPin* APin);
};

class TFlBasicPin : public TFlPinObject, public virtual IFlStream {
 public:
  std::string ClassName() const override { return "TFlBasicPin"; }

  // Pins are not reference counted.
  int32_t QueryInterface(const TGUID& AIID, void** AObj) noexcept override;
  int32_t _AddRef() noexcept override { return -1; }
  int32_t _Release() noexcept override { return -1; }

  // Enters the pin registry and raises PinCreated.
  void AfterConstruction() override;
  // Disconnects, waits for workers, raises PinDestroying and tells every
  // registered pin that this one goes away.
  void BeforeDestruction() override;

  // An editor that shows this pin may set this; destruction writes 0 there.
  int32_t* CurrentEditorPtr = nullptr;
  TFlPinList* OwnerPinList() const { return FOwnerPinList; }
  TObject* CustomData() const { return FCustomData; }
  void SetCustomData(TObject* AValue) { FCustomData = AValue; }
  const Ref<IFlDestroyLock>& DestroyLockIntf() const { return FDestroyLock; }
  // The internal critical section that guards the pin's link data.
  TFlCriticalSection& LinkSection() { return FIntLockSection; }

  TComponent* Owner() { return GetOwner(); }
  std::string Name() { return GetName(); }
  int32_t ConnectedPinCount() { return GetConnectedPinCount(); }
  int32_t ConnectedDispatcherCount() { return GetConnectedDispatcherCount(); }

  // -- owner and kind
  // The owning component (covariant with the persistent owner).
  TComponent* GetOwner() override { return nullptr; }
  virtual bool IsOwnerDestroying() { return false; }
  virtual TFlPinType GetPinType() = 0;
  virtual bool IsRealPin() { return false; }
  virtual bool IsDesignTime() { return false; }
  virtual void SetInEditor(bool /*AValue*/) {}

  // -- links (the direct links of source and sink pins)
  // Forget the direct link to APin; with APlaceholder a placeholder pin
  // remembers it (placeholder).
  virtual void RemoveLink(TFlBasicPin* APin, bool APlaceholder);
  // Record a direct link to APin served after ANotifyAfterPin.
  virtual void AddLink(TFlBasicPin* APin, TFlBasicPin* ANotifyAfterPin);
  // A partner dropped its link to this pin.
  virtual void LinkRemoved(TFlBasicPin* APin);
  // Placeholder: the link to APartner is being removed because APartner's
  // form goes away at design time; a placeholder pin standing for APartner
  // is to keep the link until that pin is loaded again. Base: nothing (the
  // placeholder pins come with the storing of links).
  virtual void LeavePlaceholderFor(TFlBasicPin* /*APartner*/) {}
  // Can this pin link to APin; AConverter receives an existing converter to
  // go through. Base: no (placeholders answer by asking back).
  virtual bool CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters);
  virtual void BeforeDisconnect() {}
  virtual TFlBasicPin* GetNotifyAfterPin(TFlBasicPin* APin);
  virtual bool DependsOn(TFlBasicPin* AOtherPin) = 0;
  virtual bool DirectDependsOn(TFlBasicPin* AOtherPin) { return DependsOn(AOtherPin); }
  virtual bool IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) = 0;
  virtual TGUID GetConnectionID(TFlBasicPin* AOtherPin);
  virtual TGUID GetPrimaryConnectionID() { return {}; }
  virtual TGUID GetConnectionIDWith(TFlBasicPin* AOtherPin) { return FindConnectionID(AOtherPin, true).ID; }
  virtual TFlConnectionChoice FindConnectionID(TFlBasicPin* AOtherPin, bool AUseConverters) = 0;

  virtual bool IsConnected() { return IsStateConnected(); }
  virtual bool IsConnectedTo(TFlBasicPin* AOtherPin) { return IsConnectedByStateTo(AOtherPin); }
  virtual bool IsConnectedToAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) {
    return IsConnectedByStateToAfter(AOtherPin, ANotifyAfterPin);
  }
  virtual bool IsConnectedByConverterTo(TFlBasicPin* /*AOtherPin*/) { return false; }
  bool Connect(TFlBasicPin* AOtherPin) { return ConnectAfter(AOtherPin, nullptr); }
  virtual bool ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin);
  virtual bool CanConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin, bool AUseConverters);
  virtual void Disconnect();
  virtual void DisconnectFrom(TFlBasicPin* AOtherPin);
  // A sink drops its source link on both sides without a placeholder.
  virtual void DetachLinks() {}
  // Sends AOperation to every partner; the union of their answers.
  virtual TFlNotifyResult Notify(IFlNotifyOperation* AOperation);
  virtual void NotifyNewLink() {}
  virtual int32_t GetConnectedPinCount() { return 0; }
  virtual TFlBasicPin* GetConnectedPin(int32_t /*AIndex*/) { return nullptr; }
  TFlBasicPin* GetConnectedAfterPin(int32_t AIndex) { return GetNotifyAfterPin(GetConnectedPin(AIndex)); }
  bool CanConnectTo(TFlBasicPin* AOtherPin, bool AUseConverters);

  // -- state link: joined through a state dispatcher (none yet)
  virtual bool IsStateConnected() { return FDispatcher != nullptr; }
  bool IsConnectedToState(TFlStateDispatcher* ADispatcher) { return FDispatcher == ADispatcher; }
  virtual bool IsConnectedByStateTo(TFlBasicPin* /*AOtherPin*/) { return false; }
  virtual bool IsConnectedByStateToAfter(TFlBasicPin* /*AOtherPin*/, TFlBasicPin* /*ANotifyAfterPin*/) {
    return false;
  }
  // Links to AOtherPin through a state dispatcher: refused until dispatchers exist.
  virtual bool ConnectByStateAfter(TFlBasicPin* /*AOtherPin*/, TFlBasicPin* /*ANotifyAfterPin*/) { return false; }
  // Leaves the state dispatcher (nothing while there is none).
  virtual void DisconnectState() {}
  // Sends along the state link: the empty set while there is none.
  virtual TFlNotifyResult NotifyState(IFlNotifyOperation* /*AOperation*/, TFlNotifyState /*AState*/,
                                      TFlBasicPin* /*ATarget*/) {
    return {};
  }
  virtual int32_t GetConnectedDispatcherCount() { return FDispatcher != nullptr ? 1 : 0; }
  virtual TFlStateDispatcher* GetConnectedDispatcher(int32_t /*AIndex*/) { return FDispatcher; }

  // -- storing: nothing to store until the storing of links is built
  virtual void BeforeLoad() {}
  virtual bool HasStateToStore() { return FDispatcher != nullptr && !IsStateStoredElsewhere(); }
  virtual bool IsStateStoredElsewhere() { return false; }
  virtual bool HasLinksToStore() { return HasStateToStore(); }

  // -- names
  virtual std::string GetRootName();
  virtual TComponent* GetRoot() { return FlFindRoot(GetOwner()); }
  virtual std::string GetName() = 0;
  virtual std::string GetSaveName() { return GetName(); }
  virtual std::string GetOwnerName();
  virtual std::string GetFullName(bool AIncludeRootForm) = 0;
  virtual std::string GetFullIdentName(bool AIncludeRootForm) = 0;

  // -- stream types
  // True when the pin receives stream type AID (an interface query).
  bool QueryStream(const TGUID& AID) noexcept;

 protected:
  TFlBasicPin();
  // Freed through FlFreePin only.
  ~TFlBasicPin() override;
  friend void FlFreePin(TFlBasicPin* APin);

  // The interfaces the pin answers to; typed pins add their stream interface.
  virtual void* FindInterface(const TGUID& AIID) noexcept;

  TFlPinList* FOwnerPinList = nullptr;      // pin list: the list holding the pin
  TObject* FCustomData = nullptr;
  std::string FLoadFormName;                // storing: root name read with the links
  Ref<IFlDestroyLock> FDestroyLock;
  TFlStateDispatcher* FDispatcher = nullptr;  // state link: none yet
  // Taken by BeforeDestruction and kept until the object is gone, so that no
  // sender enters the pin while it is being freed.
  Ref<IFlDestroyLockSection> FDestroyHold;
};

// ---------------------------------------------------------------------------
// Pin and stream pin

class TFlPin : public TFlBasicPin {
 public:
  std::string ClassName() const override { return "TFlPin"; }

  // Read and write sections on the pin's own lock with the owner lock as
  // slave.
  Ref<IFlLockSection> ReadLock() override;
  Ref<IFlLockSection> WriteLock() override;

  TComponent* GetOwner() override { return FOwner; }
  bool IsOwnerDestroying() override;
  bool IsRealPin() override { return true; }
  bool IsDesignTime() override;
  // The owner is loading its stored properties.
  bool IsOwnerLoading();
  const Ref<IFlLock>& OwnerLock() const { return FOwnerLock; }

  bool CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters) override;
  bool IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) override;
  TGUID GetConnectionID(TFlBasicPin* AOtherPin) override { return FindConnectionID(AOtherPin, true).ID; }
  TFlConnectionChoice FindConnectionID(TFlBasicPin* AOtherPin, bool AUseConverters) override;
  // Display name of the stream type of the link to AOtherPin; empty for none.
  std::string GetConnectionName(TFlBasicPin* AOtherPin);

  // The submit function of AID: its listed function, the default dispatcher
  // when listed without one, unassigned when not listed (or null).
  TFlSubmit GetSubmitFunction(const TGUID& AID);
  // Delivers through the registered send function of *ADataTypeID; the
  // empty set when the type has none or is not registered.
  TFlNotifyResult DefaultNotifyDispatcher(IFlStream* AHandler, PDataTypeID ADataTypeID,
                                          IFlNotifyOperation* AOperation, TFlNotifyState AState);

  // Adds or removes a sent stream type under the pin's locks.
  void AddStreamType(const TGUID& AID, TFlSubmit ASubmitFunction = {});
  void RemoveStreamType(const TGUID& AID);
  // A copy of the sent types, taken under the internal section.
  std::vector<TFlPinTypeEntry> StreamTypes();

  // -- names. The minimal name source: the owner tells the pin its name
  // within the owner (its property path); the naming of pin lists and the
  // property search extend GetPinPath.
  void SetPinName(const std::string& AName);
  virtual std::string GetPinPath();
  std::string GetRootName() override;
  std::string GetName() override;
  std::string GetSaveName() override;
  // "(No owner)" without owner; else [root "."] owner "." path.
  std::string GetFullName(bool AIncludeRootForm) override;
  std::string GetFullIdentName(bool AIncludeRootForm) override;

  // Current nesting depth of sends and new-link operations through this pin.
  int32_t InSending() const { return FInSending.load(); }

  // The sent stream types; change them before linking or through
  // AddStreamType/RemoveStreamType.
  TFlPinStreamType StreamType;

 protected:
  explicit TFlPin(TComponent* AOwner);
  TFlPin(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock);
  ~TFlPin() override;

  // Raises the dependency error when the depth is already above ALimit, else
  // counts one more level; the caller undoes it with LeaveSending.
  void EnterSending(int32_t ALimit);
  void LeaveSending() { FInSending.fetch_sub(1); }

  TComponent* FOwner;
  std::string FLastRootName;
  std::atomic<int32_t> FInSending{0};
  bool FIsLoaded = false;
  Ref<IFlLock> FOwnerLock;
  std::string FPinName;  // guarded by FIntLockSection
};

class TFlStreamPin : public TFlPin, public virtual IFlDataStream {
 public:
  std::string ClassName() const override { return "TFlStreamPin"; }

  // Receiving: a pin that implements a typed stream interface overrides this
  // (and lists the interface in FindInterface). Base: the empty set.
  TFlNotifyResult DispatchData(PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                               TFlNotifyState AState) override;

  // Appends every sent type to AList.
  virtual void FillSendTypes(TFlPinTypeRestricted& AList, TFlBasicPin* APin);
  virtual void FillReceiveTypes(TFlPinTypeRestricted& AList, TFlBasicPin* APin);
  // Data-type dependency: whether AID is supported upstream or downstream
  // through data-type sources; 0 (not through them) until that is built.
  virtual int32_t QueryUpstreamType(const TGUID& /*AID*/) { return 0; }
  virtual int32_t QueryDownstreamType(const TGUID& /*AID*/) { return 0; }
  // Adds this pin to ACurrent; source pins continue through their function
  // sources, each further source starting a copy in AChains.
  virtual void CollectDependencyChain(std::vector<std::vector<TFlBasicPin*>>& AChains, size_t ACurrent);

 protected:
  using TFlPin::TFlPin;
};

// ---------------------------------------------------------------------------
// Source and sink pins

// One sink of a source pin.
struct TFlPinEntry {
  TFlBasicPin* ConnectionPin = nullptr;   // receives: the sink, or a converter's input pin
  TFlBasicPin* RealPin = nullptr;         // the sink that was linked
  TFlBasicPin* NotifyAfterPin = nullptr;  // served after this sink, or none
  TGUID ConnectedID;
  TFlSubmit SubmitFunction;
  int32_t ModificationLevel = 0;          // 0 to 10000
  TFlFormatConverter* Converter = nullptr;  // the converter in between; kept by FFormatConverters
};

// The sinks of a source pin, in serving order. Guarded by the owner pin's
// internal section.
class TFlPinEntryList {
 public:
  TFlPinEntry& Add();
  void Delete(int32_t AIndex) { FItems.erase(FItems.begin() + AIndex); }
  void Clear() { FItems.clear(); }
  int32_t Count() const { return int32_t(FItems.size()); }
  TFlPinEntry& operator[](int32_t AIndex) { return FItems[size_t(AIndex)]; }
  // The first entry whose RealPin is APin, or none.
  TFlPinEntry* GetItemByPin(TFlBasicPin* APin);
  int32_t IndexOfPin(TFlBasicPin* APin) const;
  std::vector<TFlPinEntry>& Items() { return FItems; }

 private:
  std::vector<TFlPinEntry> FItems;
};

// A copy of an entry made for one send: keeps the converter in between alive
// and holds the receiver's destroy lock until the call is over.
struct TFlNotifyPinEntry {
  TFlPinEntry Entry;
  Ref<TFlFormatConverter> Converter;
  Ref<IFlDestroyLockSection> Hold;
};

// Sink pins a source pin depends on (functional or data-type dependency).
class TFlSinkPinList : public TObject {
 public:
  explicit TFlSinkPinList(TFlSourcePin* AOwner) : FOwner(AOwner) {}
  // Adds APin (none is ignored) under the owner's write lock.
  void Add(TFlBasicSinkPin* APin);
  void Remove(TFlBasicSinkPin* APin);
  int32_t Count();
  std::vector<TFlBasicSinkPin*> Items();

 protected:
  virtual void Registered(TFlBasicSinkPin* /*APin*/) {}
  virtual void Unregistered(TFlBasicSinkPin* /*APin*/) {}
  friend class TFlSourcePin;
  std::vector<TFlBasicSinkPin*> FList;  // guarded by the owner's internal section
  TFlSourcePin* FOwner;
};

// Enters the owner source pin in each sink's functional dependants.
class TFlFunctionSinkPinList : public TFlSinkPinList {
 public:
  using TFlSinkPinList::TFlSinkPinList;

 protected:
  void Registered(TFlBasicSinkPin* APin) override;
  void Unregistered(TFlBasicSinkPin* APin) override;
};

// Enters the owner source pin in each sink's data-type dependants.
class TFlDataTypeSinkPinList : public TFlSinkPinList {
 public:
  using TFlSinkPinList::TFlSinkPinList;

 protected:
  void Registered(TFlBasicSinkPin* APin) override;
  void Unregistered(TFlBasicSinkPin* APin) override;
};

class TFlSourcePin : public TFlStreamPin {
 public:
  std::string ClassName() const override { return "TFlSourcePin"; }

  TFlPinType GetPinType() override { return ptSource; }
  int32_t SinkCount() { return GetSinkCount(); }
  int32_t ConverterCount();
  TFlSinkPinList& FunctionSources() { return FFunctionSources; }
  TFlSinkPinList& DataTypeSources() { return FDataTypeSources; }
  const Ref<IFlLock>& InputOwnerLock() const { return FInputOwnerLock; }
  int32_t MaxConnections() const { return FMaxConnections; }

  virtual int32_t GetSinkCount();
  // The RealPin of entry AIndex; none outside the range.
  virtual TFlBasicPin* GetSink(int32_t AIndex);
  // Negotiation with new converters allowed finds a type for ASink.
  virtual bool CanAddSink(TFlBasicSinkPin* ASink, bool AUseConverters);
  // Sends the new-link operation to ASink through ASubmit.
  virtual void NotifyFunctionDependant(TFlBasicPin* ASink, TFlSubmit ASubmit);
  virtual void NotifyNewSink(TFlBasicPin* ASink);
  virtual bool HasSinks() { return GetSinkCount() > 0; }
  virtual bool ConnectSink(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin);

  bool IsConnected() override;
  bool IsConnectedTo(TFlBasicPin* AOtherPin) override;
  bool IsConnectedByConverterTo(TFlBasicPin* AOtherPin) override;
  TGUID GetConnectionID(TFlBasicPin* AOtherPin) override;
  TGUID GetPrimaryConnectionID() override;
  int32_t GetConnectedPinCount() override { return GetSinkCount(); }
  TFlBasicPin* GetConnectedPin(int32_t AIndex) override { return GetSink(AIndex); }
  TFlBasicPin* GetNotifyAfterPin(TFlBasicPin* APin) override;
  bool ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) override;
  bool CanConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin, bool AUseConverters) override;
  void Disconnect() override;
  void DisconnectFrom(TFlBasicPin* AOtherPin) override;
  void RemoveLink(TFlBasicPin* APin, bool APlaceholder) override;
  // Expects the write lock held.
  void AddLink(TFlBasicPin* APin, TFlBasicPin* ANotifyAfterPin) override;
  TFlNotifyResult Notify(IFlNotifyOperation* AOperation) override;
  // Downstream send to the sink ATarget only (all sinks when none).
  TFlNotifyResult NotifyTo(IFlNotifyOperation* AOperation, TFlBasicPin* ATarget);
  void PinDestroying(TFlBasicPin* APin) override;
  void ReplaceAfterPin(TFlBasicPin* AOldPin, TFlBasicPin* ANewPin) override;
  std::string GetAfterPinDisplayName(TFlBasicPin* APin) override;
  bool DependsOn(TFlBasicPin* AOtherPin) override;
  bool DirectDependsOn(TFlBasicPin* AOtherPin) override;
  bool IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters) override;
  void SetInEditor(bool AValue) override { FInEditor.store(AValue); }
  bool HasLinksToStore() override { return TFlStreamPin::HasLinksToStore() || HasSinks(); }
  void CollectDependencyChain(std::vector<std::vector<TFlBasicPin*>>& AChains, size_t ACurrent) override;

  // Negotiation with ASink: the last sent type the sink receives; with
  // AUseConverters an existing converter of this pin that can feed it; with
  // AAllowNew also a converter class from the registry; else the null type.
  TFlConnectionChoice Negotiate(TFlBasicPin* ASink, bool AUseConverters, bool AAllowNew);
  // The scratch list of sent types (data-type dependency narrows it once
  // that is built).
  virtual void FillRestrictedTypes(TFlPinTypeRestricted& AList, TFlBasicPin* APin);

  // A copy of the entries in serving order, for tests and editors.
  std::vector<TFlPinEntry> Entries();

  TFlSourcePin(TComponent* AOwner, int32_t AMaxConnections);
  TFlSourcePin(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock, const Ref<IFlLock>& AInputOwnerLock,
               int32_t AMaxConnections);

 protected:
  ~TFlSourcePin() override;

  // Removes the entry of ASink (expects the internal section held) and
  // collects the converters left without sinks into ADropped.
  bool RemoveEntryOf(TFlBasicPin* ASink, std::vector<Ref<TFlFormatConverter>>& ADropped);
  // Puts the entries with a notify-after pin behind that pin (expects the
  // internal section held).
  void ApplyNotifyAfterOrder();
  // The re-sort after a send: levels decay, stable sort by level, then the
  // notify-after order. Expects the internal section held.
  void Rebalance();
  // The oldest sink when the connection limit is reached and AOtherPin is not
  // linked yet; none otherwise. Expects the internal section held.
  TFlBasicPin* SinkToMakeRoomFor(TFlBasicPin* AOtherPin);

  Ref<IFlLock> FInputOwnerLock;
  TFlPinEntryList FSinkPins;                             // guarded by FIntLockSection
  std::vector<Ref<TFlFormatConverter>> FFormatConverters;  // guarded by FIntLockSection
  TFlFunctionSinkPinList FFunctionSources{this};
  TFlDataTypeSinkPinList FDataTypeSources{this};
  std::atomic<bool> FInDependOn{false};
  bool FInDisconnect = false;  // guarded by FIntLockSection
  std::atomic<bool> FInEditor{false};
  int32_t FMaxConnections;
  bool FNeedsRebalance = false;  // guarded by FIntLockSection
};

class TFlBasicSinkPin : public TFlStreamPin {
 public:
  std::string ClassName() const override { return "TFlBasicSinkPin"; }

  TFlPinType GetPinType() override { return ptSink; }
  bool IgnoreUpstream() const { return FIgnoreUpstream.load(); }
  void SetIgnoreUpstream(bool AValue) { FIgnoreUpstream.store(AValue); }
  std::string UpStreamLinkName() { return GetUpStreamLinkName(); }
  std::string DownStreamLinkName() { return GetDownStreamLinkName(); }

  // True when the sink ignores upstream types or sends none of its own;
  // else the type negotiated from ASource must not be null.
  virtual bool CheckUpstreamTypes(TFlSourcePin* ASource, bool AUseConverters);
  virtual std::string GetUpStreamLinkName() { return {}; }
  virtual std::string GetDownStreamLinkName() { return {}; }

  // Source pins whose output depends on this sink.
  std::vector<TFlSourcePin*> FunctionDependants();
  std::vector<TFlSourcePin*> DataTypeDependants();

  void PinDestroying(TFlBasicPin* APin) override;

 protected:
  using TFlStreamPin::TFlStreamPin;
  friend class TFlFunctionSinkPinList;
  friend class TFlDataTypeSinkPinList;

  std::vector<TFlSourcePin*> FFunctionDependants;  // guarded by FIntLockSection
  std::vector<TFlSourcePin*> FDataTypeDependants;  // guarded by FIntLockSection
  std::atomic<bool> FIgnoreUpstream{false};
};

class TFlSinkPin : public TFlBasicSinkPin {
 public:
  std::string ClassName() const override { return "TFlSinkPin"; }

  TFlSinkPin(TComponent* AOwner) : TFlBasicSinkPin(AOwner) {}
  TFlSinkPin(TComponent* AOwner, const Ref<IFlLock>& AOwnerLock) : TFlBasicSinkPin(AOwner, AOwnerLock) {}

  // The source the link was made to, or none.
  TFlBasicPin* SourcePin() { return GetSourcePin(); }
  virtual TFlBasicPin* GetSourcePin();
  // The pin that feeds this sink: the source or a converter's output pin.
  TFlBasicPin* ConnectionSourcePin();
  // The converter in between, or none.
  Ref<TFlFormatConverter> FormatConverter();
  TGUID UpStreamID();
  TGUID DownStreamID() { return UpStreamID(); }
  // Links to ASource's source; none disconnects.
  using TFlBasicSinkPin::Assign;
  void Assign(TFlSinkPin* ASource);
  std::string GetUpStreamLinkName() override;

  bool IsConnected() override;
  bool IsConnectedTo(TFlBasicPin* AOtherPin) override;
  bool IsConnectedByConverterTo(TFlBasicPin* AOtherPin) override;
  int32_t GetConnectedPinCount() override { return IsConnected() ? 1 : 0; }
  TFlBasicPin* GetConnectedPin(int32_t AIndex) override { return AIndex == 0 ? GetSourcePin() : nullptr; }
  TFlBasicPin* GetNotifyAfterPin(TFlBasicPin* APin) override;
  TGUID GetConnectionID(TFlBasicPin* AOtherPin) override;
  bool ConnectAfter(TFlBasicPin* AOtherPin, TFlBasicPin* ANotifyAfterPin) override;
  void Disconnect() override;
  void DisconnectFrom(TFlBasicPin* AOtherPin) override;
  void DetachLinks() override;
  void RemoveLink(TFlBasicPin* APin, bool APlaceholder) override;
  // Upstream send to the source; the empty set while a stop holds the owner
  // or this pin, or when unlinked.
  TFlNotifyResult Notify(IFlNotifyOperation* AOperation) override;
  void PinDestroying(TFlBasicPin* APin) override;
  bool DependsOn(TFlBasicPin* AOtherPin) override;
  bool DirectDependsOn(TFlBasicPin* AOtherPin) override;
  bool IsCompatible(TFlBasicPin* AOtherPin, bool AUseConverters) override;
  bool CanConnectEx(TFlBasicPin* APin, Ref<TFlFormatConverter>& AConverter, bool AUseConverters) override;

 protected:
  ~TFlSinkPin() override;
  friend class TFlSourcePin;

  // The source sets the feeding pin of a new link (the source itself or its
  // converter's output pin). Takes only the internal section.
  void SetFeedingPin(TFlBasicPin* ASource, TFlBasicPin* AFeedingPin);
  // ASource dropped its entry of this sink: forget it when it is still the
  // source. Takes only the internal section; true when it was.
  bool ForgetSource(TFlBasicPin* ASource);
  // Clears the source fields under the internal section and returns the old
  // source together with a destroy-lock hold on it (none when it is being
  // destroyed).
  TFlBasicPin* TakeSource(Ref<IFlDestroyLockSection>& AHold);
  // Drops the link to the current source on both sides (no lock of this pin
  // held while the source is told). With APlaceholder the source leaves a
  // placeholder (placeholder).
  void DropSource(bool APlaceholder);

  TFlBasicPin* FConnectionSourcePin = nullptr;  // all guarded by FIntLockSection
  TFlBasicPin* FRealSourcePin = nullptr;
  TFlBasicPin* FIntRealSourcePin = nullptr;
  TFlSubmit FSubmitFunction;
  TGUID FConnectedID;
  TFlFormatConverter* FConverter = nullptr;  // the converter in between, kept by the source
  std::atomic<bool> FInConnect{false};
};

// ---------------------------------------------------------------------------
// Format converters

struct IFlFormatConverter : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2C03}");
  virtual TFlFormatConverter* GetInstance() = 0;
};

// The converter a source pin puts between itself and a sink that receives
// none of its types. A component without owner, reference counted through
// IFlFormatConverter. A concrete converter makes its output pin (usually a
// TFlFormatConverterOutputPin) and its input pin (a sink pin that receives
// the input type and sends each converted value through OutputPin()->Notify),
// both with Lock() as owner lock, and hands them to SetPins in its
// constructor.
class TFlFormatConverter : public TComponent, public virtual IFlFormatConverter {
 public:
  TFlFormatConverter();
  ~TFlFormatConverter() override;

  int32_t _AddRef() noexcept override { return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t _Release() noexcept override;
  TFlFormatConverter* GetInstance() override { return this; }

  // Gives up the calling thread's holds on the converter's lock and
  // disconnects the input pin.
  void BeforeDestruction() override;

  TFlSinkPin* InputPin() const { return FInputPin.get(); }
  TFlSourcePin* OutputPin() const { return FOutputPin.get(); }
  const Ref<IFlLock>& Lock() const { return FLock; }

  // The class reference of T.
  template <class T>
  static TFlFormatConverterClass ClassOf() {
    return []() -> Ref<TFlFormatConverter> {
      T* c = new T();
      Ref<TFlFormatConverter> r(c);
      c->AfterConstruction();
      return r;
    };
  }

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;
  // Keeps both pins and enters the input pin as a function source of the
  // output pin.
  void SetPins(TFlPinPtr<TFlSinkPin> AInputPin, TFlPinPtr<TFlSourcePin> AOutputPin);

  Ref<IFlLock> FLock;
  std::atomic<int32_t> FRefCount{0};
  TFlPinPtr<TFlSinkPin> FInputPin;
  TFlPinPtr<TFlSourcePin> FOutputPin;
};

// The output pin of a converter: operations that arrive from downstream are
// passed upstream unchanged through the converter's input pin.
class TFlFormatConverterOutputPin : public TFlSourcePin {
 public:
  explicit TFlFormatConverterOutputPin(TFlFormatConverter* AConverter)
      : TFlSourcePin(AConverter, AConverter->Lock(), Ref<IFlLock>(), 0), FConverter(AConverter) {}

  TFlNotifyResult DispatchData(PDataTypeID ADataTypeID, IFlNotifyOperation* AOperation,
                               TFlNotifyState AState) override;

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;
  TFlFormatConverter* FConverter;
};

// ---------------------------------------------------------------------------
// Pin registry and pin events

// Number of live pins and whether APin is one of them (under the pin
// registry's section).
int32_t FlRegisteredPinCount();
bool FlIsRegisteredPin(TFlBasicPin* APin);

// Hears about pins, state dispatchers and pin lists. Created and connected
// events go to the listeners in list order, all others in reverse order; an
// exception raised by a listener is swallowed and the next one is called.
struct IFlPinEventListener : virtual IInterface {
  static constexpr TGUID IID = MakeGUID("{6B1E0C20-4A7D-4E11-9F30-0A5D1C7E2C04}");
  virtual void PinCreated(TFlBasicPin* APin) = 0;
  virtual void PinDestroying(TFlBasicPin* APin, bool AWithRoot) = 0;
  virtual void PinChanged(TFlBasicPin* APin) = 0;
  virtual void PinConnected(TFlBasicPin* APin, TFlPinObject* APartner) = 0;
  virtual void PinDisconnecting(TFlBasicPin* APin, TFlPinObject* APartner) = 0;
  virtual void DispatcherCreated(TFlPinObject* ADispatcher) = 0;
  virtual void DispatcherDestroying(TFlPinObject* ADispatcher) = 0;
  virtual void DispatcherChanged(TFlPinObject* ADispatcher) = 0;
  virtual void PinListCreated(TFlObject* AList) = 0;
  virtual void PinListDestroying(TFlObject* AList) = 0;
  virtual void PinListChanged(TFlObject* AList) = 0;
  virtual void PinListPinAdded(TFlObject* AList, TFlBasicPin* APin, int32_t AIndex) = 0;
  virtual void PinListPinRemoved(TFlObject* AList, TFlBasicPin* APin, int32_t AIndex) = 0;
};

// The pin event registry, guarded by its own critical section.
void FlAddPinEventListener(const Ref<IFlPinEventListener>& AListener);
void FlRemovePinEventListener(const Ref<IFlPinEventListener>& AListener);
