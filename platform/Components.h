// Components of the component model: named objects that own other
// components, know whether they are being loaded, designed or destroyed, and
// hear about components that join, leave or are freed. Collections of
// persistent items stand beside them.
//
// Ownership: a component frees the components it owns when it is freed (the
// last one it took first). Owned components are made on the heap, with
// `CreateComponent<T>(owner)` or by a reader from a stored layout; both run
// the after-construction step, in which a component may call its own virtual
// operations. A component is owned by at most one owner; freeing it removes
// it from its owner.
//
// Threads: the component tree (owners, names, state) is changed by one thread
// at a time, normally the thread that runs the message loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Persistent.h"
#include "platform/TypInfo.h"

// "A component named X already exists", "'X' is not a valid component name",
// and other misuse of the component tree.
class EComponentError : public Exception {
  using Exception::Exception;
};

enum class TComponentStateFlag : uint32_t {
  csLoading = 1u << 0,     // its stored properties are being read, until Loaded
  csReading = 1u << 1,     // a reader is reading its record right now
  csWriting = 1u << 2,     // a writer is writing its record right now
  csDestroying = 1u << 3,  // it is being freed
  csDesigning = 1u << 4,   // it is shown in a designer, not running
};

// A set of component state flags.
class TComponentState {
 public:
  constexpr TComponentState() = default;
  constexpr TComponentState(TComponentStateFlag AFlag) : FBits(static_cast<uint32_t>(AFlag)) {}
  constexpr bool Contains(TComponentStateFlag AFlag) const { return (FBits & static_cast<uint32_t>(AFlag)) != 0; }
  constexpr void Include(TComponentStateFlag AFlag) { FBits |= static_cast<uint32_t>(AFlag); }
  constexpr void Exclude(TComponentStateFlag AFlag) { FBits &= ~static_cast<uint32_t>(AFlag); }
  constexpr bool Empty() const { return FBits == 0; }
  friend constexpr bool operator==(TComponentState, TComponentState) = default;

 private:
  uint32_t FBits = 0;
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent, public virtual IInterface {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Components are not reference counted: handles to them never free them.
  int32_t QueryInterface(const TGUID& AIID, void** AObj) noexcept override;
  int32_t _AddRef() noexcept override { return -1; }
  int32_t _Release() noexcept override { return -1; }

  TComponent* GetOwner() override { return FOwner; }
  TComponent* Owner() const { return FOwner; }
  std::string GetNamePath() const override { return FName.empty() ? ClassName() : FName; }

  const std::string& GetName() const { return FName; }
  // Renames the component. The name must be empty or a valid identifier
  // (letters, digits and '_', not starting with a digit) and unique among
  // the owner's components, letter case ignored; otherwise EComponentError.
  virtual void SetName(const std::string& ANewName);

  int32_t GetTag() const { return FTag; }
  void SetTag(int32_t AValue) { FTag = AValue; }

  int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  // The owned component at AIndex; ERangeError outside 0..ComponentCount-1.
  TComponent* Components(int32_t AIndex) const;
  int32_t GetComponentIndex() const;
  // The owned component of that name (letter case ignored), or nullptr.
  TComponent* FindComponent(std::string_view AName) const;

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponentState GetComponentState() const { return FComponentState; }
  bool HasState(TComponentStateFlag AFlag) const { return FComponentState.Contains(AFlag); }
  // True when this component or any owner up the chain is loading.
  bool IsLoadingInChain() const;
  // The reader and writer mark the components they work on; a designer sets
  // csDesigning (for the component and everything it owns).
  void SetLoading(bool ALoading);
  void SetReading(bool AReading);
  void SetWriting(bool AWriting);
  void SetDesigning(bool ADesigning, bool ASetChildren = true);

  // Asks to hear (through Notification with opRemove) when AComponent is
  // freed; the link is kept in both directions and dropped by either side's
  // destruction.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // The design position of a non-visual component (stored as "Left"/"Top").
  int32_t GetDesignLeft() const { return FDesignLeft; }
  int32_t GetDesignTop() const { return FDesignTop; }
  void SetDesignInfo(int32_t ALeft, int32_t ATop) {
    FDesignLeft = ALeft;
    FDesignTop = ATop;
  }

  // Runs once all stored properties of the component have been read; the
  // base clears csLoading.
  virtual void Loaded();
  // AComponent joined (opInsert) or is leaving (opRemove) this component's
  // owned components or the components it asked free notification of.
  virtual void Notification(TComponent* AComponent, TOperation AOperation);

 protected:
  virtual void* FindInterface(const TGUID& AIID) noexcept { return InterfaceOf<IInterface>(this, AIID); }
  // Refuses a rename to a name another owned component of the owner has.
  virtual void ValidateRename(TComponent* AComponent, const std::string& ACurName, const std::string& ANewName);

 private:
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  int32_t FTag = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  TComponentState FComponentState;
  int32_t FDesignLeft = 0;
  int32_t FDesignTop = 0;
};

// Makes a component owned by AOwner and runs its after-construction step.
template <class T, class... Args>
T* CreateComponent(TComponent* AOwner, Args&&... AArgs) {
  T* c = new T(AOwner, std::forward<Args>(AArgs)...);
  try {
    c->AfterConstruction();
  } catch (...) {
    delete c;
    throw;
  }
  return c;
}

// Whether AName is a valid component name (a non-empty identifier).
bool IsValidIdent(std::string_view AName);

// ---------------------------------------------------------------------------
// Collections

class TCollection;

// An item of a collection. It joins its collection when made and leaves it
// when freed.
class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* ACollection);
  ~TCollectionItem() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  TCollection* GetCollection() const { return FCollection; }
  // Moves the item to another collection (or none).
  virtual void SetCollection(TCollection* AValue);
  int32_t GetIndex() const;
  virtual void SetIndex(int32_t AValue);
  int32_t GetID() const { return FID; }
  virtual std::string GetDisplayName() const { return ClassName(); }
  virtual void SetDisplayName(const std::string& /*AValue*/) {}
  TPersistent* GetOwner() override;

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int32_t FID = 0;
};

// An owning, ordered list of items of one class.
class TCollection : public TPersistent {
 public:
  using TItemFactory = std::function<TCollectionItem*(TCollection*)>;

  // AItemFactory makes one item joined to the collection (the item's
  // constructor joins it).
  TCollection(TPersistent* AOwner, TItemFactory AItemFactory);
  ~TCollection() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // ERangeError "Index out of range = %d" outside 0..Count-1.
  TCollectionItem* Items(int32_t AIndex) const;
  TCollectionItem* Add();
  void Delete(int32_t AIndex);
  void Clear();
  TPersistent* GetOwner() override { return FOwner; }

  // Makes the items a copy of ASource's: as many items, each assigned from
  // the source item at the same place.
  void Assign(const TPersistent* ASource) override;

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* AItem);
  void RemoveItem(TCollectionItem* AItem);

  TPersistent* FOwner;
  TItemFactory FItemFactory;
  std::vector<TCollectionItem*> FItems;
  int32_t FNextID = 0;
};
