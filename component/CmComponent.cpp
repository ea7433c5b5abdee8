#include "component/CmComponent.h"

#include "component/FlExtCollection.h"
#include "pins/FlLocks.h"

// ---------------------------------------------------------------------------
// Copying by published property

namespace {

bool IsDateOrTime(const TTypeInfo& AType) {
  return SameText(AType.Name, "TDateTime") || SameText(AType.Name, "TDate") || SameText(AType.Name, "TTime");
}

bool IsOrdinal(TTypeKind AKind) {
  return AKind == TTypeKind::tkInteger || AKind == TTypeKind::tkEnumeration || AKind == TTypeKind::tkSet;
}

}  // namespace

void CmCopyPublishedProperties(TPersistent* ADest, const TPersistent* ASource, bool ASkipName) {
  // The published getters are plain member functions of the classes and
  // take the object as the class registry stores it; a getter only reads
  // (under the source's read section), so the source is never changed.
  auto* source = const_cast<TPersistent*>(ASource);
  for (const TPropInfo* p : ADest->ClassType().SortedProperties()) {
    if (!p->Stored) continue;  // declared as never stored
    if (ASkipName && SameText(p->Name, "Name")) continue;
    const TPropInfo* from = source->ClassType().FindProperty(p->Name);
    if (from == nullptr)
      throw EPropertyError(Format("Cannot assign %s: %s has no property %s", ADest->ClassName().c_str(),
                                  source->ClassName().c_str(), p->Name.c_str()));
    const TTypeKind kind = p->Kind();
    const bool sameKind = from->Kind() == kind || (IsOrdinal(kind) && IsOrdinal(from->Kind()));
    if (!sameKind)
      throw EPropertyError(Format("Cannot assign %s: the property %s of %s is of another kind",
                                  ADest->ClassName().c_str(), p->Name.c_str(), source->ClassName().c_str()));
    switch (kind) {
      case TTypeKind::tkFloat:
        if (p->CanWrite()) p->SetFloat(ADest, from->GetFloat(source));
        break;
      case TTypeKind::tkString:
        if (p->CanWrite()) p->SetStr(ADest, from->GetStr(source));
        break;
      case TTypeKind::tkInt64:
        if (p->CanWrite()) p->SetOrd(ADest, from->GetOrd(source));
        break;
      case TTypeKind::tkMethod:
        if (p->CanWrite()) p->SetEvent(ADest, from->GetEvent(source));
        break;
      case TTypeKind::tkClass: {
        // Settings objects copy themselves; components and framework
        // objects (pins, pin lists) are never copied this way.
        TPersistent* mine = p->GetObj(ADest);
        TPersistent* theirs = from->GetObj(source);
        if (mine == nullptr || theirs == nullptr) break;
        if (dynamic_cast<TComponent*>(mine) != nullptr || dynamic_cast<TFlObject*>(mine) != nullptr) break;
        mine->Assign(theirs);
        break;
      }
      case TTypeKind::tkInteger:
      case TTypeKind::tkEnumeration:
      case TTypeKind::tkSet:
        if (p->CanWrite()) p->SetOrd(ADest, from->GetOrd(source));
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// "_Floats"

std::vector<const TPropInfo*> CmFloatProperties(TPersistent* AInstance) {
  std::vector<const TPropInfo*> out;
  for (const TPropInfo* p : AInstance->ClassType().SortedProperties())
    if (p->Kind() == TTypeKind::tkFloat && !IsDateOrTime(*p->Type)) out.push_back(p);
  return out;
}

void CmDefineFloats(TFiler* AFiler, TPersistent* AInstance) {
  const std::vector<const TPropInfo*> props = CmFloatProperties(AInstance);
  bool hasData = false;
  for (const TPropInfo* p : props) hasData = hasData || p->GetFloat(AInstance) == 0;
  AFiler->DefineProperty(
      "_Floats",
      [AInstance](TReader& AReader) {
        AReader.ReadListBegin();
        while (AReader.NextValue() == TValueType::vaList) {
          AReader.ReadValue();
          const std::string name = AReader.ReadIdent();
          const double value = AReader.ReadFloat();
          // A name the class lacks, a property of another kind and an error
          // of the setter leave the object as it was.
          try {
            const TPropInfo* p = GetPropInfo(AInstance, name);
            if (p != nullptr && p->Kind() == TTypeKind::tkFloat && p->CanWrite()) p->SetFloat(AInstance, value);
          } catch (...) {
          }
          AReader.ReadListEnd();
        }
        AReader.ReadListEnd();
      },
      [AInstance, props](TWriter& AWriter) {
        bool any = false;
        for (const TPropInfo* p : props) {
          const double v = p->GetFloat(AInstance);
          if (v != 0) continue;
          if (!any) AWriter.WriteListBegin();
          any = true;
          AWriter.WriteListBegin();
          AWriter.WriteIdent(p->Name);
          AWriter.WriteFloat(v);
          AWriter.WriteListEnd();
        }
        if (any) AWriter.WriteListEnd();
      },
      hasData);
}

// ---------------------------------------------------------------------------
// TCmComponent

TCmComponent::TCmComponent(TComponent* AOwner) : TComponent(AOwner) {
  FLock = TCmLock::Create([this] { PropertiesChanged(); });
}

const TClassInfo& TCmComponent::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCmComponent>("TCmComponent", &TComponent::StaticClass()).Build();
  return info;
}

void TCmComponent::Assign(const TPersistent* ASource) {
  Ref<IFlLockSection> section = FLock->WriteLock();
  if (const auto* source = dynamic_cast<const TCmComponent*>(ASource)) {
    CmCopyPublishedProperties(this, source, true);
    return;
  }
  TComponent::Assign(ASource);
}

void TCmComponent::MakeReady() {
  if (FReady) return;
  FReady = true;
  ComponentReady();
}

void TCmComponent::AfterConstruction() {
  TComponent::AfterConstruction();
  if (!HasState(TComponentStateFlag::csDesigning) && !IsLoadingInChain()) MakeReady();
}

void TCmComponent::Loaded() {
  TComponent::Loaded();
  if (!HasState(TComponentStateFlag::csDesigning)) MakeReady();
}

void TCmComponent::DefineProperties(TFiler* AFiler) {
  TComponent::DefineProperties(AFiler);
  CmDefineFloats(AFiler, this);
}

// ---------------------------------------------------------------------------
// TCmPersistent

TCmPersistent::TCmPersistent() { throw ECmError("Calling TCmPersistent.Create without lock!"); }

TCmPersistent::TCmPersistent(TPersistent* AOwner, const Ref<IFlLock>& ALock) : FOwnerProperty(AOwner) {
  if (!ALock) throw ECmError("Calling TCmPersistent.Create without lock!");
  FLock = TCmLock::CreateCopy(ALock, [this] { PropertiesChanged(); });
}

namespace {
Ref<IFlLock> LockOfOwner(TPersistent* AOwner) {
  if (auto* p = dynamic_cast<TCmPersistent*>(AOwner)) return p->GetLock();
  if (auto* i = dynamic_cast<TCmCollectionItem*>(AOwner)) return i->GetLock();
  if (auto* c = dynamic_cast<TCmComponent*>(AOwner)) return c->GetLock();
  return {};
}
}  // namespace

TCmPersistent::TCmPersistent(TPersistent* AOwner) : TCmPersistent(AOwner, LockOfOwner(AOwner)) {}

const TClassInfo& TCmPersistent::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCmPersistent>("TCmPersistent", &TPersistent::StaticClass()).Build();
  return info;
}

void TCmPersistent::Assign(const TPersistent* ASource) {
  Ref<IFlLockSection> section = FLock->WriteLock();
  if (const auto* source = dynamic_cast<const TCmPersistent*>(ASource)) {
    CmCopyPublishedProperties(this, source, false);
    return;
  }
  TPersistent::Assign(ASource);
}

void TCmPersistent::DefineProperties(TFiler* AFiler) {
  TPersistent::DefineProperties(AFiler);
  CmDefineFloats(AFiler, this);
}

const TClassInfo& TCmOptionalDisabledPersistent::StaticClass() {
  static const TClassInfo info =
      TClassBuilder<TCmOptionalDisabledPersistent>("TCmOptionalDisabledPersistent", &TCmPersistent::StaticClass())
          .Boolean("Enabled", &TCmOptionalDisabledPersistent::GetEnabled, &TCmOptionalDisabledPersistent::SetEnabled)
          .Default(false)
          .Build();
  return info;
}

// ---------------------------------------------------------------------------
// TCmTimer

TCmTimer::TCmTimer(TComponent* AOwner) : TComponent(AOwner) {
  FWindowHandle = TMessageLoop::Application().AllocateHWnd([this](TMessage& AMessage) { WndProc(AMessage); });
}

TCmTimer::~TCmTimer() {
  FEnabled = false;
  UpdateTimer();  // only stops: cannot fail
  TMessageLoop::Application().DeallocateHWnd(FWindowHandle);
}

const TClassInfo& TCmTimer::StaticClass() {
  static const TClassInfo info = TClassBuilder<TCmTimer>("TCmTimer", &TComponent::StaticClass())
                                     .Boolean("Enabled", &TCmTimer::GetEnabled, &TCmTimer::SetEnabled)
                                     .Default(true)
                                     .Integer("Interval", &TCmTimer::GetInterval, &TCmTimer::SetInterval,
                                              TypeInfoCardinal())
                                     .Default(1000)
                                     .Event("OnTimer", &TCmTimer::GetOnTimer, &TCmTimer::SetOnTimer)
                                     .Creates()
                                     .Build();
  return info;
}

void TCmTimer::SetEnabled(bool AValue) {
  if (AValue == FEnabled) return;
  FEnabled = AValue;
  UpdateTimer();
}

void TCmTimer::SetInterval(uint32_t AValue) {
  if (AValue == FInterval) return;
  FInterval = AValue;
  UpdateTimer();
}

void TCmTimer::SetOnTimer(const TNotifyEvent& AValue) {
  FOnTimer = AValue;
  UpdateTimer();
}

void TCmTimer::UpdateTimer() {
  TMessageLoop& loop = TMessageLoop::Application();
  loop.KillTimer(FWindowHandle, 1);
  if (FInterval != 0 && FEnabled && FOnTimer) {
    if (!loop.SetTimer(FWindowHandle, 1, FInterval)) throw EOutOfResources("Not enough timers available");
  }
}

void TCmTimer::WndProc(TMessage& AMessage) {
  if (AMessage.Msg != WM_TIMER) return;  // nothing else needs handling
  try {
    if (FOnTimer) FOnTimer(this);
  } catch (...) {
    // An error of the handler must not stop the loop or later ticks.
  }
}
