#include "platform/Components.h"

#include <algorithm>

namespace {
bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
}  // namespace

bool IsValidIdent(std::string_view AName) {
  if (AName.empty() || !IsIdentStart(AName[0])) return false;
  return std::all_of(AName.begin(), AName.end(), IsIdentChar);
}

// ---------------------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState.Include(TComponentStateFlag::csDestroying);
  // Tell everyone who asked, then drop the links from their side.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& theirs = other->FFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
    other->Notification(this, TOperation::opRemove);
  }
  // Owned components go last-made first; each leaves the list as it is freed.
  while (!FComponents.empty()) {
    TComponent* child = FComponents.back();
    child->FComponentState.Include(TComponentStateFlag::csDestroying);
    delete child;
  }
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

const TClassInfo& TComponent::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TComponent>("TComponent", &TPersistent::StaticClass())
          .String("Name", &TComponent::GetName, &TComponent::SetName)
          .Stored(false)  // stored as the record's component name
          .Integer("Tag", &TComponent::GetTag, &TComponent::SetTag)
          .Default(0)
          .Build();
  return info;
}

int32_t TComponent::QueryInterface(const TGUID& AIID, void** AObj) noexcept {
  void* found = FindInterface(AIID);
  *AObj = found;
  return found == nullptr ? E_NOINTERFACE : S_OK;
}

void TComponent::SetName(const std::string& ANewName) {
  if (ANewName == FName) return;
  if (!ANewName.empty() && !IsValidIdent(ANewName))
    throw EComponentError(Format("'%s' is not a valid component name", ANewName.c_str()));
  if (FOwner != nullptr)
    FOwner->ValidateRename(this, FName, ANewName);
  else
    ValidateRename(nullptr, FName, ANewName);
  FName = ANewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& /*ACurName*/,
                                const std::string& ANewName) {
  if (AComponent == nullptr || ANewName.empty()) return;
  TComponent* other = FindComponent(ANewName);
  if (other != nullptr && other != AComponent)
    throw EComponentError(Format("A component named %s already exists", ANewName.c_str()));
}

TComponent* TComponent::Components(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= ComponentCount()) throw ERangeError(Format("Index out of range = %d", AIndex));
  return FComponents[static_cast<size_t>(AIndex)];
}

int32_t TComponent::GetComponentIndex() const {
  if (FOwner == nullptr) return -1;
  auto& list = FOwner->FComponents;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  if (AComponent->FOwner == this) return;
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  if (!AComponent->FName.empty() && FindComponent(AComponent->FName) != nullptr)
    throw EComponentError(Format("A component named %s already exists", AComponent->FName.c_str()));
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  // Copied, so that a handler that adds or removes components does not
  // disturb the walk.
  const std::vector<TComponent*> siblings = FComponents;
  Notification(AComponent, TOperation::opInsert);
  for (TComponent* c : siblings)
    if (c != AComponent) c->Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner != this) return;
  RemoveNotification(AComponent);
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), AComponent), FComponents.end());
  AComponent->FOwner = nullptr;
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  Notification(AComponent, TOperation::opRemove);
  const std::vector<TComponent*> siblings = FComponents;
  for (TComponent* c : siblings)
    if (c != AComponent) c->Notification(AComponent, TOperation::opRemove);
}

bool TComponent::IsLoadingInChain() const {
  for (const TComponent* c = this; c != nullptr; c = c->FOwner)
    if (c->HasState(TComponentStateFlag::csLoading)) return true;
  return false;
}

void TComponent::SetLoading(bool ALoading) {
  if (ALoading)
    FComponentState.Include(TComponentStateFlag::csLoading);
  else
    FComponentState.Exclude(TComponentStateFlag::csLoading);
}
void TComponent::SetReading(bool AReading) {
  if (AReading)
    FComponentState.Include(TComponentStateFlag::csReading);
  else
    FComponentState.Exclude(TComponentStateFlag::csReading);
}
void TComponent::SetWriting(bool AWriting) {
  if (AWriting)
    FComponentState.Include(TComponentStateFlag::csWriting);
  else
    FComponentState.Exclude(TComponentStateFlag::csWriting);
}
void TComponent::SetDesigning(bool ADesigning, bool ASetChildren) {
  if (ADesigning)
    FComponentState.Include(TComponentStateFlag::csDesigning);
  else
    FComponentState.Exclude(TComponentStateFlag::csDesigning);
  if (ASetChildren)
    for (TComponent* c : FComponents) c->SetDesigning(ADesigning, true);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  auto& theirs = AComponent->FFreeNotifies;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent), FFreeNotifies.end());
  auto& theirs = AComponent->FFreeNotifies;
  theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Loaded() { FComponentState.Exclude(TComponentStateFlag::csLoading); }

void TComponent::Notification(TComponent* /*AComponent*/, TOperation /*AOperation*/) {}

// ---------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* ACollection) { SetCollection(ACollection); }

TCollectionItem::~TCollectionItem() {
  if (FCollection != nullptr) FCollection->RemoveItem(this);
}

const TClassInfo& TCollectionItem::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCollectionItem>("TCollectionItem", &TPersistent::StaticClass()).Build();
  return info;
}

void TCollectionItem::SetCollection(TCollection* AValue) {
  if (AValue == FCollection) return;
  if (FCollection != nullptr) FCollection->RemoveItem(this);
  if (AValue != nullptr) AValue->InsertItem(this);
}

int32_t TCollectionItem::GetIndex() const {
  if (FCollection == nullptr) return -1;
  auto& list = FCollection->FItems;
  return static_cast<int32_t>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TCollectionItem::SetIndex(int32_t AValue) {
  if (FCollection == nullptr) return;
  auto& list = FCollection->FItems;
  const int32_t cur = GetIndex();
  if (AValue < 0 || AValue >= static_cast<int32_t>(list.size()))
    throw ERangeError(Format("Index out of range = %d", AValue));
  if (cur == AValue) return;
  list.erase(list.begin() + cur);
  list.insert(list.begin() + AValue, this);
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

TCollection::TCollection(TPersistent* AOwner, TItemFactory AItemFactory)
    : FOwner(AOwner), FItemFactory(std::move(AItemFactory)) {}

TCollection::~TCollection() { Clear(); }

const TClassInfo& TCollection::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCollection>("TCollection", &TPersistent::StaticClass()).Build();
  return info;
}

TCollectionItem* TCollection::Items(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) throw ERangeError(Format("Index out of range = %d", AIndex));
  return FItems[static_cast<size_t>(AIndex)];
}

TCollectionItem* TCollection::Add() {
  if (!FItemFactory) throw EComponentError("The collection cannot make items");
  TCollectionItem* item = FItemFactory(this);
  if (item != nullptr && item->FCollection != this) item->SetCollection(this);
  return item;
}

void TCollection::Delete(int32_t AIndex) { delete Items(AIndex); }

void TCollection::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

void TCollection::Assign(const TPersistent* ASource) {
  const auto* source = dynamic_cast<const TCollection*>(ASource);
  if (source == nullptr) {
    TPersistent::Assign(ASource);
    return;
  }
  if (source == this) return;
  Clear();
  for (TCollectionItem* item : source->FItems) Add()->Assign(item);
}

void TCollection::InsertItem(TCollectionItem* AItem) {
  FItems.push_back(AItem);
  AItem->FCollection = this;
  AItem->FID = FNextID++;
}

void TCollection::RemoveItem(TCollectionItem* AItem) {
  FItems.erase(std::remove(FItems.begin(), FItems.end(), AItem), FItems.end());
  AItem->FCollection = nullptr;
}
