// The property lock: the framework lock extended by typed setters and getters
// through which components and their sub-objects write and read properties.
//
// A setter takes the write section, compares, assigns only when the value
// differs, runs the caller's update function and then the lock's own change
// notification (both inside the write section), and tells whether the value
// changed. Range-limited setters clamp the value into a minimum, a maximum or
// both before they take the lock; they never refuse a value. A getter takes
// the read section and hands the value back.
//
// One component owns one real framework lock (`TCmLock::Create`); its
// persistent sub-objects and collection items get property locks of their own
// that wrap the same framework lock (`TCmLock::CreateCopy`) but carry their
// own notification, so one write section excludes every writer of the
// component while each object learns of changes to its own properties.
//
// Safe from any thread. A thread that already holds the component's lock may
// call any setter or getter of the component and its sub-objects, also from
// inside a notification; a notification must not wait for another thread that
// needs the same lock.
//
// Value types and their C++ forms: TGPColor, TColor, TCursor
// (platform/ToolkitTypes.h); Integer int32_t, SmallInt int16_t, Int64
// int64_t, Cardinal uint32_t, Word uint16_t, Byte uint8_t, Single float, Real
// double, Extended double (a 64-bit float is enough in memory), Boolean bool,
// string std::u16string (UTF-16), AnsiString std::string (8-bit), Char
// char16_t (one UTF-16 code unit), TDateTime (platform/ToolkitTypes.h),
// TBfClockSource and TBfSynchronizeType (pins/BfSignalTypes.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "pins/BfSignalTypes.h"
#include "pins/FlLocks.h"
#include "platform/ToolkitTypes.h"

// A callback bound to an object, without arguments; may be empty.
using TCmPropUpdateFunc = std::function<void()>;

struct ICmLock : virtual IFlLock {
  static constexpr TGUID IID = MakeGUID("{8B4D2E61-0F37-4A9C-B5D8-6E1F3A7C9B01}");

  // --- Setters. True when the value changed. The TGPColor overload takes one
  // more argument, which is ignored.
  virtual bool Setter(TGPColor& PropValue, TGPColor AValue, bool AIgnored, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(TColor& PropValue, TColor AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(TCursor& PropValue, TCursor AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(int32_t& PropValue, int32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(int16_t& PropValue, int16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(int64_t& PropValue, int64_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(uint32_t& PropValue, uint32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(uint16_t& PropValue, uint16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(uint8_t& PropValue, uint8_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(float& PropValue, float AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(double& PropValue, double AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(bool& PropValue, bool AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(std::u16string& PropValue, const std::u16string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(std::string& PropValue, const std::string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(char16_t& PropValue, char16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(TDateTime& PropValue, TDateTime AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool Setter(TBfClockSource& PropValue, TBfClockSource AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  // Calls only AUpdatedFunc, never the lock's own notification.
  virtual bool Setter(TBfSynchronizeType& PropValue, TBfSynchronizeType AValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;

  // --- Range-limited setters: Min stores AMinValue when AValue is below it,
  // Max stores AMaxValue when AValue is above it, MinMax applies the minimum
  // test and then the maximum test (with AMinValue > AMaxValue it stores
  // AMaxValue). Comparisons use the type's own signedness.
  virtual bool SetterMin(int32_t& PropValue, int32_t AValue, int32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(int32_t& PropValue, int32_t AValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(int32_t& PropValue, int32_t AValue, int32_t AMinValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(int64_t& PropValue, int64_t AValue, int64_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(int64_t& PropValue, int64_t AValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(int64_t& PropValue, int64_t AValue, int64_t AMinValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(float& PropValue, float AValue, float AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(float& PropValue, float AValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMin(double& PropValue, double AValue, double AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMax(double& PropValue, double AValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;
  virtual bool SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) = 0;

  // --- Getters: take the read section and hand back the value read inside
  // it. Pass the property's field itself. The double overload is the
  // Extended getter; the TDateTime getter also serves Real properties.
  virtual int32_t Getter(const int32_t& APropValue) = 0;
  virtual int64_t Getter(const int64_t& APropValue) = 0;
  virtual uint32_t Getter(const uint32_t& APropValue) = 0;
  virtual uint8_t Getter(const uint8_t& APropValue) = 0;
  virtual uint16_t Getter(const uint16_t& APropValue) = 0;
  virtual double Getter(const double& APropValue) = 0;
  virtual float Getter(const float& APropValue) = 0;
  virtual bool Getter(const bool& APropValue) = 0;
  virtual std::u16string Getter(const std::u16string& APropValue) = 0;
  virtual char16_t Getter(const char16_t& APropValue) = 0;
  virtual TDateTime Getter(const TDateTime& APropValue) = 0;

  // Runs the lock's own change notification, if any; takes no lock.
  virtual void ChangeNotify() = 0;
};

// The setter and getter family on top of any framework lock. The six lock
// operations are left to derived classes; setters reach the lock only through
// WriteLock, getters only through ReadLock.
class TCmBasicLock : public TInterfacedObject, public virtual ICmLock {
 public:
  explicit TCmBasicLock(TCmPropUpdateFunc ANotify) : FNotify(std::move(ANotify)) {}

  Ref<IFlLockSection> ReadLock() override = 0;
  Ref<IFlLockSection> WriteLock() override = 0;
  Ref<IFlLockSection> StopLock() override = 0;
  Ref<IFlLockSection> UnlockAll() override = 0;
  Ref<IFlLockSection> UnlockAllLockInOrder(const Ref<IFlLock>& AFirstLock) override = 0;
  TFlLock* Instance() override = 0;

  bool Setter(TGPColor& PropValue, TGPColor AValue, bool AIgnored, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(TColor& PropValue, TColor AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(TCursor& PropValue, TCursor AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(int32_t& PropValue, int32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(int16_t& PropValue, int16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(int64_t& PropValue, int64_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(uint32_t& PropValue, uint32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(uint16_t& PropValue, uint16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(uint8_t& PropValue, uint8_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(float& PropValue, float AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(double& PropValue, double AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(bool& PropValue, bool AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(std::u16string& PropValue, const std::u16string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(std::string& PropValue, const std::string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(char16_t& PropValue, char16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(TDateTime& PropValue, TDateTime AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(TBfClockSource& PropValue, TBfClockSource AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool Setter(TBfSynchronizeType& PropValue, TBfSynchronizeType AValue, const TCmPropUpdateFunc& AUpdatedFunc) override;

  bool SetterMin(int32_t& PropValue, int32_t AValue, int32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(int32_t& PropValue, int32_t AValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(int32_t& PropValue, int32_t AValue, int32_t AMinValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(int64_t& PropValue, int64_t AValue, int64_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(int64_t& PropValue, int64_t AValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(int64_t& PropValue, int64_t AValue, int64_t AMinValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(float& PropValue, float AValue, float AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(float& PropValue, float AValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMin(double& PropValue, double AValue, double AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMax(double& PropValue, double AValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;
  bool SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) override;

  int32_t Getter(const int32_t& APropValue) override;
  int64_t Getter(const int64_t& APropValue) override;
  uint32_t Getter(const uint32_t& APropValue) override;
  uint8_t Getter(const uint8_t& APropValue) override;
  uint16_t Getter(const uint16_t& APropValue) override;
  double Getter(const double& APropValue) override;
  float Getter(const float& APropValue) override;
  bool Getter(const bool& APropValue) override;
  std::u16string Getter(const std::u16string& APropValue) override;
  char16_t Getter(const char16_t& APropValue) override;
  TDateTime Getter(const TDateTime& APropValue) override;

  void ChangeNotify() override;

 protected:
  void* FindInterface(const TGUID& AIID) noexcept override;

  // The lock's own change notification, run after the caller's update
  // function by every setter but the TBfSynchronizeType one.
  TCmPropUpdateFunc FNotify;

 private:
  template <class T>
  bool Assign(T& APropValue, const T& AValue, const TCmPropUpdateFunc& AUpdatedFunc, bool ANotify);
  template <class T>
  T Read(const T& APropValue);
};

// The property lock of components and their sub-objects: the setter family
// on a framework lock that it wraps and forwards to unchanged.
class TCmLock : public TCmBasicLock {
 public:
  // A property lock with a framework lock of its own.
  static Ref<TCmLock> Create(TCmPropUpdateFunc ANotify = {});
  // A property lock wrapping the same framework lock as ALock (the TFlLock
  // behind its Instance), with its own notification. ALock must not be empty.
  static Ref<TCmLock> CreateCopy(const Ref<IFlLock>& ALock, TCmPropUpdateFunc ANotify = {});

  TCmLock(Ref<IFlLock> ALock, TCmPropUpdateFunc ANotify);

  Ref<IFlLockSection> ReadLock() override { return FLock->ReadLock(); }
  Ref<IFlLockSection> WriteLock() override { return FLock->WriteLock(); }
  Ref<IFlLockSection> StopLock() override { return FLock->StopLock(); }
  Ref<IFlLockSection> UnlockAll() override { return FLock->UnlockAll(); }
  Ref<IFlLockSection> UnlockAllLockInOrder(const Ref<IFlLock>& AFirstLock) override {
    return FLock->UnlockAllLockInOrder(AFirstLock);
  }
  TFlLock* Instance() override { return FLock->Instance(); }

 private:
  Ref<IFlLock> FLock;
};
