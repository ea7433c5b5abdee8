// The component foundation: the base classes of the library's components and
// of the settings objects they own, and the window-timer component.
//
// Every component has one property lock (`FLock`, a `TCmLock` on a framework
// lock of its own); its persistent sub-objects and collection items get
// property locks that wrap the same framework lock with their own change
// notification. So one write section excludes every writer of a component,
// while each object hears of changes to its own properties
// (`PropertiesChanged`, run inside the write section of the setter).
//
// Copying (`Assign`) goes by published property, in name order, under the
// destination's write section. Real properties whose value is 0 (which the
// ordinary storing leaves out) are stored in the defined property "_Floats".
//
// Lock order: a component's lock is taken before the locks of other
// components it calls into; notifications run inside the write section and
// must not wait for another thread that needs the same lock.
#pragma once

#include <string>
#include <vector>

#include "component/CmFiler.h"
#include "component/CmLock.h"
#include "platform/Components.h"
#include "platform/MessageLoop.h"
#include "platform/Persistent.h"

// Misuse of the component foundation ("Calling TCmPersistent.Create without
// lock!").
class ECmError : public Exception {
  using Exception::Exception;
};

// The platform has no more of a resource ("Not enough timers available").
class EOutOfResources : public EOutOfMemory {
  using EOutOfMemory::EOutOfMemory;
};

// Copies the published properties of ASource into ADest, in name order (see
// TCmComponent::Assign). The source's property is found by the destination's
// property name; a missing one raises EPropertyError.
void CmCopyPublishedProperties(TPersistent* ADest, const TPersistent* ASource, bool ASkipName);

// The real-valued properties that take part in "_Floats": the published
// floating-point properties except the date and time types, in name order.
std::vector<const TPropInfo*> CmFloatProperties(TPersistent* AInstance);
// Defines "_Floats" for AInstance: written when at least one such property
// is 0, as a list of (name, value) lists.
void CmDefineFloats(TFiler* AFiler, TPersistent* AInstance);

class TCmComponent : public TComponent {
 public:
  explicit TCmComponent(TComponent* AOwner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Under the write section of this component's lock: from another
  // TCmComponent the published properties but "Name"; else the persistent
  // fallback (the source assigns itself, or EConvertError).
  void Assign(const TPersistent* ASource) override;
  // Ends loading and, unless designing, makes the component ready.
  void Loaded() override;
  // Makes the component ready unless it is designed or it or an owner is
  // loading.
  void AfterConstruction() override;

  // Runs once, when the component is usable: right after construction when
  // made in code, once all stored properties are read when loaded.
  virtual void ComponentReady() {}
  // The change notification of the component's property lock.
  virtual void PropertiesChanged() {}

  const Ref<ICmLock>& GetLock() const { return FLock; }

 protected:
  void DefineProperties(TFiler* AFiler) override;

  Ref<ICmLock> FLock;

 private:
  void MakeReady();
  bool FReady = false;
};

class TCmPersistent : public TPersistent {
 public:
  // Fails: a settings object needs a lock ("Calling TCmPersistent.Create
  // without lock!").
  TCmPersistent();
  // Belongs to AOwner (a component or any persistent) and shares the
  // framework lock of ALock. An empty ALock fails like the constructor
  // without lock.
  TCmPersistent(TPersistent* AOwner, const Ref<IFlLock>& ALock);
  // Belongs to AOwner, a TCmComponent, TCmPersistent or TCmCollectionItem,
  // and shares its lock; any other owner fails like the constructor without
  // lock.
  explicit TCmPersistent(TPersistent* AOwner);

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  // Under the write section: from another TCmPersistent every published
  // property, "Name" included; else the persistent fallback.
  void Assign(const TPersistent* ASource) override;
  TPersistent* GetOwner() override { return FOwnerProperty; }

  // The change notification of the object's property lock.
  virtual void PropertiesChanged() {}
  // The owner component was renamed.
  virtual void OwnerNameChanged(const std::string& /*AOldName*/, const std::string& /*ANewName*/) {}

  const Ref<ICmLock>& GetLock() const { return FLock; }

 protected:
  void DefineProperties(TFiler* AFiler) override;

  Ref<ICmLock> FLock;
  TPersistent* FOwnerProperty = nullptr;  // not owned
};

// Settings that can be switched on; off by default.
class TCmOptionalDisabledPersistent : public TCmPersistent {
 public:
  using TCmPersistent::TCmPersistent;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  bool GetEnabled() const { return FLock->Getter(FEnabled); }
  void SetEnabled(bool AValue) { FLock->Setter(FEnabled, AValue, {}); }

 protected:
  bool FEnabled = false;
};

// A component that calls OnTimer every Interval milliseconds while Enabled,
// from the application's message loop (on the thread that runs it).
class TCmTimer : public TComponent {
 public:
  explicit TCmTimer(TComponent* AOwner);
  ~TCmTimer() override;

  static const TClassInfo& StaticClass();
  const TClassInfo& ClassType() const override { return StaticClass(); }

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool AValue);
  uint32_t GetInterval() const { return FInterval; }
  void SetInterval(uint32_t AValue);
  const TNotifyEvent& GetOnTimer() const { return FOnTimer; }
  // Always restarts the timer (when it is to run).
  void SetOnTimer(const TNotifyEvent& AValue);

 private:
  // Stops the platform timer and starts it again when Interval is not 0,
  // Enabled is true and OnTimer is set; EOutOfResources "Not enough timers
  // available" when the platform refuses.
  void UpdateTimer();
  void WndProc(TMessage& AMessage);

  uint32_t FInterval = 1000;            // [ms]
  TMessageWindow* FWindowHandle = nullptr;
  TNotifyEvent FOnTimer;
  bool FEnabled = true;
};
