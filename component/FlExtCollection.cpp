#include "component/FlExtCollection.h"

TFlExtCollectionItem::~TFlExtCollectionItem() {
  if (CurrentEditorPtr != nullptr) *CurrentEditorPtr = nullptr;
}

const TClassInfo& TFlExtCollectionItem::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TFlExtCollectionItem>("TFlExtCollectionItem", &TCollectionItem::StaticClass()).Build();
  return info;
}

TCmCollection::TCmCollection(TPersistent* AOwner, const Ref<IFlLock>& AOwnerLock, TItemFactory AItemFactory)
    : TCollection(AOwner, std::move(AItemFactory)) {
  if (!AOwnerLock) throw ECmError("A TCmCollection needs its owner's lock, got none");
  FLock = TCmLock::CreateCopy(AOwnerLock);
}

const TClassInfo& TCmCollection::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCmCollection>("TCmCollection", &TCollection::StaticClass()).Build();
  return info;
}

TCmCollectionItem::TCmCollectionItem(TCollection* ACollection) : TFlExtCollectionItem(ACollection) {
  auto* owner = dynamic_cast<TCmCollection*>(ACollection);
  if (owner == nullptr)
    throw ECmError("A TCmCollectionItem needs a collection with a property lock (a TCmCollection)");
  FLock = TCmLock::CreateCopy(owner->GetLock(), [this] { PropertiesChanged(); });
}

const TClassInfo& TCmCollectionItem::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCmCollectionItem>("TCmCollectionItem", &TFlExtCollectionItem::StaticClass()).Build();
  return info;
}

void TCmCollectionItem::Assign(const TPersistent* ASource) {
  Ref<IFlLockSection> section = FLock->WriteLock();
  if (const auto* source = dynamic_cast<const TCmCollectionItem*>(ASource)) {
    CmCopyPublishedProperties(this, source, true);
    return;
  }
  TFlExtCollectionItem::Assign(ASource);
}
