#include "component/CmLock.h"

#include <cmath>
#include <type_traits>
#include <utility>

#include "platform/SysUtils.h"

// ---------------------------------------------------------------------------
// Setter and getter family

namespace {

// Whether writing AValue over AOld changes nothing. A NaN written over a NaN
// is no change either (though NaN == NaN is false), so that such a write
// neither notifies nor reports a change.
template <class T>
bool SameValue(const T& AOld, const T& AValue) {
  if constexpr (std::is_floating_point_v<T>)
    return AOld == AValue || (std::isnan(AOld) && std::isnan(AValue));
  else if constexpr (std::is_same_v<T, TDateTime>)
    return AOld == AValue || (std::isnan(AOld.Value) && std::isnan(AValue.Value));
  else
    return AOld == AValue;
}

}  // namespace

template <class T>
bool TCmBasicLock::Assign(T& APropValue, const T& AValue, const TCmPropUpdateFunc& AUpdatedFunc, bool ANotify) {
  // Ends with the function, also when a notification raises.
  Ref<IFlLockSection> section = WriteLock();
  if (SameValue(APropValue, AValue)) return false;
  APropValue = AValue;
  if (AUpdatedFunc) AUpdatedFunc();
  if (ANotify && FNotify) FNotify();
  return true;
}

template <class T>
T TCmBasicLock::Read(const T& APropValue) {
  Ref<IFlLockSection> section = ReadLock();
  // The result is copied before the section ends.
  return APropValue;
}

namespace {

// Clamping before the lock is taken, in the value's own type (and so with its
// own signedness). MinMax tests the minimum first, so that with
// AMinValue > AMaxValue the maximum wins.
template <class T>
T ClampMin(T AValue, T AMinValue) {
  return AValue < AMinValue ? AMinValue : AValue;
}
template <class T>
T ClampMax(T AValue, T AMaxValue) {
  return AValue > AMaxValue ? AMaxValue : AValue;
}

}  // namespace

bool TCmBasicLock::Setter(TGPColor& PropValue, TGPColor AValue, bool /*AIgnored*/, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(TColor& PropValue, TColor AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(TCursor& PropValue, TCursor AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(int32_t& PropValue, int32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(int16_t& PropValue, int16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(int64_t& PropValue, int64_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(uint32_t& PropValue, uint32_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(uint16_t& PropValue, uint16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(uint8_t& PropValue, uint8_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(float& PropValue, float AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(double& PropValue, double AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(bool& PropValue, bool AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(std::u16string& PropValue, const std::u16string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(std::string& PropValue, const std::string& AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(char16_t& PropValue, char16_t AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(TDateTime& PropValue, TDateTime AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
bool TCmBasicLock::Setter(TBfClockSource& PropValue, TBfClockSource AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, true);
}
// Synchronisation changes are announced to the caller only, not through the
// lock's own notification.
bool TCmBasicLock::Setter(TBfSynchronizeType& PropValue, TBfSynchronizeType AValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, AValue, AUpdatedFunc, false);
}
bool TCmBasicLock::SetterMin(int32_t& PropValue, int32_t AValue, int32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(int32_t& PropValue, int32_t AValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(int32_t& PropValue, int32_t AValue, int32_t AMinValue, int32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(int64_t& PropValue, int64_t AValue, int64_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(int64_t& PropValue, int64_t AValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(int64_t& PropValue, int64_t AValue, int64_t AMinValue, int64_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(uint32_t& PropValue, uint32_t AValue, uint32_t AMinValue, uint32_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(uint16_t& PropValue, uint16_t AValue, uint16_t AMinValue, uint16_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(uint8_t& PropValue, uint8_t AValue, uint8_t AMinValue, uint8_t AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(float& PropValue, float AValue, float AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(float& PropValue, float AValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(float& PropValue, float AValue, float AMinValue, float AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMin(double& PropValue, double AValue, double AMinValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMin(AValue, AMinValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMax(double& PropValue, double AValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(AValue, AMaxValue), AUpdatedFunc, true);
}
bool TCmBasicLock::SetterMinMax(double& PropValue, double AValue, double AMinValue, double AMaxValue, const TCmPropUpdateFunc& AUpdatedFunc) {
  return Assign(PropValue, ClampMax(ClampMin(AValue, AMinValue), AMaxValue), AUpdatedFunc, true);
}
int32_t TCmBasicLock::Getter(const int32_t& APropValue) { return Read(APropValue); }
int64_t TCmBasicLock::Getter(const int64_t& APropValue) { return Read(APropValue); }
uint32_t TCmBasicLock::Getter(const uint32_t& APropValue) { return Read(APropValue); }
uint8_t TCmBasicLock::Getter(const uint8_t& APropValue) { return Read(APropValue); }
uint16_t TCmBasicLock::Getter(const uint16_t& APropValue) { return Read(APropValue); }
double TCmBasicLock::Getter(const double& APropValue) { return Read(APropValue); }
float TCmBasicLock::Getter(const float& APropValue) { return Read(APropValue); }
bool TCmBasicLock::Getter(const bool& APropValue) { return Read(APropValue); }
std::u16string TCmBasicLock::Getter(const std::u16string& APropValue) { return Read(APropValue); }
char16_t TCmBasicLock::Getter(const char16_t& APropValue) { return Read(APropValue); }
TDateTime TCmBasicLock::Getter(const TDateTime& APropValue) { return Read(APropValue); }

void TCmBasicLock::ChangeNotify() {
  if (FNotify) FNotify();
}

void* TCmBasicLock::FindInterface(const TGUID& AIID) noexcept {
  if (void* p = InterfaceOf<ICmLock, IFlLock>(this, AIID)) return p;
  return TInterfacedObject::FindInterface(AIID);
}

// ---------------------------------------------------------------------------
// Property lock

TCmLock::TCmLock(Ref<IFlLock> ALock, TCmPropUpdateFunc ANotify)
    : TCmBasicLock(std::move(ANotify)), FLock(std::move(ALock)) {
  if (!FLock) throw Exception("TCmLock needs a framework lock to wrap");
}

Ref<TCmLock> TCmLock::Create(TCmPropUpdateFunc ANotify) {
  return MakeObject<TCmLock>(Ref<IFlLock>(TFlLock::Create()), std::move(ANotify));
}

Ref<TCmLock> TCmLock::CreateCopy(const Ref<IFlLock>& ALock, TCmPropUpdateFunc ANotify) {
  if (!ALock) throw Exception("TCmLock.CreateCopy needs a lock to share, got none");
  // Wrap the lock that really holds the counters, not a wrapper of it.
  return MakeObject<TCmLock>(Ref<IFlLock>(static_cast<IFlLock*>(ALock->Instance())), std::move(ANotify));
}
