// Collection items of the component foundation: an item that clears an
// editor's reference to it when it goes, and an item with a property lock
// that shares its collection's framework lock.
#pragma once

#include <functional>

#include "component/CmComponent.h"
#include "platform/Components.h"

class TFlExtCollectionItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  ~TFlExtCollectionItem() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // The reference an editor showing this item holds, or nullptr; it is set
  // to nullptr when the item is freed.
  TCollectionItem** CurrentEditorPtr = nullptr;
};

// A collection whose items share a property lock: the lock wraps the
// framework lock of the owner's lock.
class TCmCollection : public TCollection {
 public:
  TCmCollection(TPersistent* AOwner, const Ref<IFlLock>& AOwnerLock, TItemFactory AItemFactory);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  const Ref<ICmLock>& GetLock() const { return FLock; }

 private:
  Ref<ICmLock> FLock;
};

class TCmCollectionItem : public TFlExtCollectionItem {
 public:
  // Joins ACollection, which must be a TCmCollection (its property lock is
  // shared); otherwise ECmError.
  explicit TCmCollectionItem(TCollection* ACollection);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Under the write section: from another TCmCollectionItem the published
  // properties but "Name"; else the persistent fallback.
  void Assign(const TPersistent* ASource) override;

  // The change notification of the item's property lock.
  virtual void PropertiesChanged() {}

  const Ref<ICmLock>& GetLock() const { return FLock; }

 protected:
  Ref<ICmLock> FLock;
};
