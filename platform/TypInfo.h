// Run-time type information of the component model: the published
// properties and published methods of each class, and the registry that finds
// classes by name.
//
// Every class that takes part in storing describes itself once, in a
// `StaticClass()` function, with a `TClassBuilder`: its name, its parent's
// description and its own published properties in declaration order. The
// description of a class lists the inherited properties first, so the full
// list is in declaration order along the class chain. The stored layout, the
// copying of settings (`Assign`) and the search for pins by property path all
// walk these lists.
//
//   const TClassInfo& TCmTimer::StaticClass() {
//     static const TClassInfo info = TClassBuilder<TCmTimer>("TCmTimer", &TComponent::StaticClass())
//         .Boolean("Enabled", &TCmTimer::GetEnabled, &TCmTimer::SetEnabled).Default(true)
//         .Integer("Interval", &TCmTimer::GetInterval, &TCmTimer::SetInterval).Default(1000)
//         .Event("OnTimer", &TCmTimer::GetOnTimer, &TCmTimer::SetOnTimer)
//         .Creates()
//         .Build();
//     return info;
//   }
//
// A description registers itself with the class registry when it is made, so
// that a stored layout can create the class by name once its `StaticClass()`
// has run (`RegisterClass` says so explicitly).
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"

class TPersistent;
class TComponent;
class TClassInfo;

// "Cannot assign a <source> to a <destination>": Assign found no way to copy;
// also a value of the wrong class given to an object-valued property.
class EConvertError : public Exception {
  using Exception::Exception;
};

// A property looked up by name that the object lacks, or one of another kind
// than the caller expects.
class EPropertyError : public Exception {
  using Exception::Exception;
};

// ---------------------------------------------------------------------------
// Events: callbacks bound to an object

// What an event holds besides its callable: the object the handler belongs to
// and the handler's published name. A handler bound by name (from a stored
// layout, or with `TClassInfo::BindMethod`) keeps its name so that it can be
// stored again; a lambda assigned in code has none and is not stored.
struct TMethodBinding {
  TObject* Data = nullptr;
  std::string Name;
};

template <class... Args>
class TEvent : public TMethodBinding {
 public:
  using TCode = std::function<void(Args...)>;

  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <class F>
    requires(!std::is_base_of_v<TMethodBinding, std::decay_t<F>> && std::is_invocable_v<F&, Args...>)
  TEvent(F&& ACode) : FCode(std::forward<F>(ACode)) {}
  TEvent(TObject* AData, std::string AName, TCode ACode) : TMethodBinding{AData, std::move(AName)}, FCode(std::move(ACode)) {}

  explicit operator bool() const { return static_cast<bool>(FCode); }
  bool Assigned() const { return static_cast<bool>(FCode); }
  void operator()(Args... AArgs) const { FCode(std::forward<Args>(AArgs)...); }

 private:
  TCode FCode;
};

// The notification every control and timer raises: the sender only.
using TNotifyEvent = TEvent<TObject*>;

// ---------------------------------------------------------------------------
// Types of properties

enum class TTypeKind { tkInteger, tkInt64, tkEnumeration, tkSet, tkFloat, tkString, tkClass, tkMethod };

// How an integer property is held (its width and signedness).
enum class TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };

// How a floating-point property is held. ftExtended is the 80-bit real of
// stored layouts; in memory such properties are doubles.
enum class TFloatType { ftSingle, ftDouble, ftExtended, ftCurr };

struct TTypeInfo {
  TTypeKind Kind = TTypeKind::tkInteger;
  // The type's name: "Integer", "Boolean", "Real", "TDateTime", "TAnchors"...
  std::string Name;
  TOrdType OrdType = TOrdType::otSLong;
  TFloatType FloatType = TFloatType::ftDouble;
  // Enumerations: the value names by ordinal. Sets: the member names by bit.
  std::vector<std::string> Names;
  // Class properties: the declared class (may be nullptr for "any persistent").
  const TClassInfo* ClassType = nullptr;
  // Event properties: the event type, to check that a bound handler fits.
  std::type_index EventType = typeid(void);

  // The ordinal of the value named AName (letter case ignored), or -1.
  int IndexOfName(std::string_view AName) const;
};

// The standard types.
const TTypeInfo& TypeInfoInteger();   // 32-bit signed
const TTypeInfo& TypeInfoCardinal();  // 32-bit unsigned
const TTypeInfo& TypeInfoSmallInt();  // 16-bit signed
const TTypeInfo& TypeInfoWord();      // 16-bit unsigned
const TTypeInfo& TypeInfoByte();      // 8-bit unsigned
const TTypeInfo& TypeInfoInt64();
const TTypeInfo& TypeInfoBoolean();   // the enumeration False, True
const TTypeInfo& TypeInfoReal();      // 64-bit float, stored as an extended real
const TTypeInfo& TypeInfoDouble();    // 64-bit float, stored as an extended real
const TTypeInfo& TypeInfoExtended();  // stored as an extended real
const TTypeInfo& TypeInfoSingle();    // 32-bit float, stored as a single
const TTypeInfo& TypeInfoCurrency();  // held as a double, stored scaled by 10000
const TTypeInfo& TypeInfoDateTime();  // days as a double, stored as a date
const TTypeInfo& TypeInfoString();    // a text (held as UTF-8)

// Describes an enumeration or a set over it. The result lives for the rest of
// the process (descriptions are made once, in function-local statics).
const TTypeInfo& MakeEnumTypeInfo(std::string AName, std::initializer_list<const char*> ANames);
const TTypeInfo& MakeSetTypeInfo(std::string AName, const TTypeInfo& AElementType);
// A floating-point type of its own name (the "_Floats" list leaves out the
// date and time types by name).
const TTypeInfo& MakeFloatTypeInfo(std::string AName, TFloatType AFloatType);

// ---------------------------------------------------------------------------
// Published properties and methods

// One published property. The accessors take the object that has the
// property; only those of the property's kind are set. A property without a
// setter is read-only (a class property may still be streamed through the
// object it returns).
struct TPropInfo {
  std::string Name;
  const TTypeInfo* Type = nullptr;
  // Ordinal and set properties: the declared default value. A property equal
  // to its default is not stored. Properties without a default are always
  // stored (except reals equal to 0 and empty texts).
  bool HasDefault = false;
  int64_t Default = 0;
  // Whether the property is stored at all; StoredFunc, when set, decides per
  // object.
  bool Stored = true;
  std::function<bool(TPersistent*)> StoredFunc;

  std::function<int64_t(TPersistent*)> GetOrd;
  std::function<void(TPersistent*, int64_t)> SetOrd;
  std::function<double(TPersistent*)> GetFloat;
  std::function<void(TPersistent*, double)> SetFloat;
  std::function<std::string(TPersistent*)> GetStr;
  std::function<void(TPersistent*, const std::string&)> SetStr;
  std::function<TPersistent*(TPersistent*)> GetObj;
  std::function<void(TPersistent*, TPersistent*)> SetObj;
  // Events travel as std::any holding the property's TEvent type; an empty
  // std::any clears the event.
  std::function<std::any(TPersistent*)> GetEvent;
  std::function<void(TPersistent*, const std::any&)> SetEvent;
  std::function<TMethodBinding(TPersistent*)> GetEventBinding;

  TTypeKind Kind() const { return Type->Kind; }
  bool CanWrite() const;
  bool IsStored(TPersistent* AInstance) const { return Stored && (!StoredFunc || StoredFunc(AInstance)); }
};

// One published method: a handler that stored layouts bind to events by name.
struct TMethodInfo {
  std::string Name;
  std::type_index EventType = typeid(void);
  // Makes the event (as std::any holding the TEvent type) that calls this
  // method on ASelf.
  std::function<std::any(TPersistent* ASelf)> Bind;
};

// Makes a component of a class with the given owner, without running its
// after-construction step (the caller does that; see TComponent).
using TComponentFactory = std::function<TComponent*(TComponent* AOwner)>;

// The description of one class.
class TClassInfo {
 public:
  TClassInfo(std::string AName, const TClassInfo* AParent, std::vector<TPropInfo> AOwnProperties,
             std::vector<TMethodInfo> AOwnMethods, TComponentFactory AFactory);
  TClassInfo(const TClassInfo&) = delete;
  TClassInfo& operator=(const TClassInfo&) = delete;

  const std::string& Name() const { return FName; }
  const TClassInfo* Parent() const { return FParent; }
  bool InheritsFrom(const TClassInfo& AClass) const;
  // Compares class names along the parent chain (letter case ignored).
  bool InheritsFrom(std::string_view AClassName) const;

  // Every published property, inherited ones first, in declaration order. A
  // property redeclared by a class keeps its place and takes the new
  // declaration.
  const std::vector<const TPropInfo*>& Properties() const { return FProperties; }
  // The same, sorted by name: letters compared without regard to ASCII case,
  // a name that starts another comes first.
  std::vector<const TPropInfo*> SortedProperties() const;
  // By name, letter case ignored; nullptr when the class has none.
  const TPropInfo* FindProperty(std::string_view AName) const;
  // Published methods along the chain, by name (letter case ignored).
  const TMethodInfo* FindMethod(std::string_view AName) const;

  // Whether the registry can create components of this class.
  bool CanCreate() const { return static_cast<bool>(FFactory); }
  const TComponentFactory& Factory() const { return FFactory; }

 private:
  std::string FName;
  const TClassInfo* FParent;
  std::vector<TPropInfo> FOwnProperties;
  std::vector<TMethodInfo> FOwnMethods;
  std::vector<const TPropInfo*> FProperties;
  // FProperties by lower-case name, for the reader's lookups.
  std::unordered_map<std::string, const TPropInfo*> FByLowerName;
  TComponentFactory FFactory;
};

// Compares names as the component model does: ASCII letters without regard
// to case.
bool SameText(std::string_view A, std::string_view B);
// The order of the sorted property list: case-insensitive, prefixes first.
bool PropNameLess(std::string_view A, std::string_view B);

// ---------------------------------------------------------------------------
// The class registry

// Makes AClass findable by name (descriptions do it themselves when made;
// calling it again does nothing). A different class with a name already
// registered is refused with EFilerError.
void RegisterClass(const TClassInfo& AClass);
// The registered class of that name (letter case ignored), or nullptr.
const TClassInfo* FindClassInfo(std::string_view AName);

// ---------------------------------------------------------------------------
// Access by name, as the reader and Assign use it

// The published property of AInstance named AName, or nullptr.
const TPropInfo* GetPropInfo(TPersistent* AInstance, std::string_view AName);

// ---------------------------------------------------------------------------
// The builder

// The type of class properties whose value is of class AClass.
const TTypeInfo& ClassTypeInfoOf(const TClassInfo& AClass);

namespace typinfo_detail {
// The instance as the class that declared the property; a property used on
// an object of another class raises EConvertError instead of misbehaving.
template <class T>
T* Cast(TPersistent* AInstance) {
  T* self = dynamic_cast<T*>(AInstance);
  if (self == nullptr) throw EConvertError("Property accessed on an object of another class");
  return self;
}
}  // namespace typinfo_detail

template <class T>
class TClassBuilder {
 public:
  TClassBuilder(std::string AName, const TClassInfo* AParent) : FName(std::move(AName)), FParent(AParent) {}

  // 32-bit and narrower integers; AType gives width and signedness.
  template <class G, class S>
  TClassBuilder& Integer(std::string AName, G AGet, S ASet, const TTypeInfo& AType = TypeInfoInteger()) {
    return Ordinal(std::move(AName), AType, AGet, ASet);
  }
  template <class G, class S>
  TClassBuilder& Int64(std::string AName, G AGet, S ASet) {
    return Ordinal(std::move(AName), TypeInfoInt64(), AGet, ASet);
  }
  template <class G, class S>
  TClassBuilder& Boolean(std::string AName, G AGet, S ASet) {
    return Ordinal(std::move(AName), TypeInfoBoolean(), AGet, ASet);
  }
  // An enumeration whose C++ values are the ordinals of AType's names.
  template <class G, class S>
  TClassBuilder& Enumeration(std::string AName, const TTypeInfo& AType, G AGet, S ASet) {
    return Ordinal(std::move(AName), AType, AGet, ASet);
  }
  // A set held as a bit mask: bit i stands for AType's member i.
  template <class G, class S>
  TClassBuilder& Set(std::string AName, const TTypeInfo& AType, G AGet, S ASet) {
    return Ordinal(std::move(AName), AType, AGet, ASet);
  }

  template <class G, class S>
  TClassBuilder& Float(std::string AName, G AGet, S ASet, const TTypeInfo& AType = TypeInfoReal()) {
    TPropInfo& p = Add(std::move(AName), AType);
    p.GetFloat = [AGet](TPersistent* o) { return static_cast<double>(std::invoke(AGet, *Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetFloat = [ASet](TPersistent* o, double v) { SetVia(ASet, *Self(o), v); };
    return *this;
  }

  template <class G, class S>
  TClassBuilder& String(std::string AName, G AGet, S ASet) {
    TPropInfo& p = Add(std::move(AName), TypeInfoString());
    p.GetStr = [AGet](TPersistent* o) { return std::string(std::invoke(AGet, *Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetStr = [ASet](TPersistent* o, const std::string& v) { std::invoke(ASet, *Self(o), v); };
    return *this;
  }

  // An object-valued property: a sub-object (stored with dotted names), a
  // collection, or a reference to another component (stored by name).
  // AClass is the declared class of the value.
  template <class G, class S>
  TClassBuilder& Class(std::string AName, const TClassInfo& AClass, G AGet, S ASet) {
    TPropInfo& p = Add(std::move(AName), ClassTypeInfo(AClass));
    p.GetObj = [AGet](TPersistent* o) -> TPersistent* { return std::invoke(AGet, *Self(o)); };
    if constexpr (!std::is_null_pointer_v<S>) {
      using V = std::remove_cvref_t<ArgOf<S>>;
      p.SetObj = [ASet](TPersistent* o, TPersistent* v) {
        std::invoke(ASet, *Self(o), v == nullptr ? nullptr : CastValue<std::remove_pointer_t<V>>(v));
      };
    }
    return *this;
  }

  // An event property of the TEvent type E.
  template <class G, class S>
  TClassBuilder& Event(std::string AName, G AGet, S ASet) {
    using E = std::remove_cvref_t<std::invoke_result_t<G, T&>>;
    TPropInfo& p = Add(std::move(AName), EventTypeInfo<E>());
    p.GetEvent = [AGet](TPersistent* o) { return std::any(E(std::invoke(AGet, *Self(o)))); };
    p.GetEventBinding = [AGet](TPersistent* o) {
      const E& e = std::invoke(AGet, *Self(o));
      return e ? TMethodBinding(e) : TMethodBinding{};
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetEvent = [ASet](TPersistent* o, const std::any& v) {
        std::invoke(ASet, *Self(o), v.has_value() ? std::any_cast<const E&>(v) : E());
      };
    return *this;
  }

  // Modifiers of the property added last.
  TClassBuilder& Default(int64_t AValue) {
    FProps.back().HasDefault = true;
    FProps.back().Default = AValue;
    return *this;
  }
  TClassBuilder& Stored(bool AStored) {
    FProps.back().Stored = AStored;
    return *this;
  }
  template <class F>
  TClassBuilder& StoredWhen(F AIsStored) {
    FProps.back().StoredFunc = [AIsStored](TPersistent* o) { return std::invoke(AIsStored, *Self(o)); };
    return *this;
  }

  // A published method, bound to events of type E by name.
  template <class E, class... Args>
  TClassBuilder& Method(std::string AName, void (T::*AMethod)(Args...)) {
    TMethodInfo m;
    m.Name = AName;
    m.EventType = typeid(E);
    m.Bind = [AMethod, AName](TPersistent* o) {
      T* self = Self(o);
      return std::any(E(self, AName, [self, AMethod](Args... a) { (self->*AMethod)(std::forward<Args>(a)...); }));
    };
    FMethods.push_back(std::move(m));
    return *this;
  }

  // Components: the registry may create the class with `new T(AOwner)`.
  TClassBuilder& Creates() {
    FFactory = [](TComponent* AOwner) -> TComponent* { return new T(AOwner); };
    return *this;
  }

  TClassInfo Build() { return TClassInfo(FName, FParent, std::move(FProps), std::move(FMethods), std::move(FFactory)); }

 private:
  template <class S>
  struct ArgOfT;
  template <class C, class R, class A>
  struct ArgOfT<R (C::*)(A)> {
    using type = A;
  };
  template <class S>
  using ArgOf = typename ArgOfT<S>::type;

  static T* Self(TPersistent* AInstance) { return typinfo_detail::Cast<T>(AInstance); }
  template <class V>
  static V* CastValue(TPersistent* AValue) {
    V* v = dynamic_cast<V*>(AValue);
    if (v == nullptr) throw EConvertError("Invalid property value: the object is not of the property's class");
    return v;
  }
  // Member-function setters get the value in their own parameter type;
  // other callables (taking the object and the value) as it comes.
  template <class S, class V>
  static void SetVia(S ASet, T& ASelf, V AValue) {
    if constexpr (std::is_member_function_pointer_v<S>)
      std::invoke(ASet, ASelf, static_cast<std::remove_cvref_t<ArgOf<S>>>(AValue));
    else
      std::invoke(ASet, ASelf, AValue);
  }

  template <class G, class S>
  TClassBuilder& Ordinal(std::string AName, const TTypeInfo& AType, G AGet, S ASet) {
    TPropInfo& p = Add(std::move(AName), AType);
    p.GetOrd = [AGet](TPersistent* o) { return static_cast<int64_t>(std::invoke(AGet, *Self(o))); };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetOrd = [ASet](TPersistent* o, int64_t v) { SetVia(ASet, *Self(o), v); };
    return *this;
  }

  TPropInfo& Add(std::string AName, const TTypeInfo& AType) {
    TPropInfo p;
    p.Name = std::move(AName);
    p.Type = &AType;
    FProps.push_back(std::move(p));
    return FProps.back();
  }

  static const TTypeInfo& ClassTypeInfo(const TClassInfo& AClass) { return ClassTypeInfoOf(AClass); }
  template <class E>
  static const TTypeInfo& EventTypeInfo() {
    static const TTypeInfo info = [] {
      TTypeInfo t;
      t.Kind = TTypeKind::tkMethod;
      t.Name = "event";
      t.EventType = typeid(E);
      return t;
    }();
    return info;
  }

  std::string FName;
  const TClassInfo* FParent;
  std::vector<TPropInfo> FProps;
  std::vector<TMethodInfo> FMethods;
  TComponentFactory FFactory;
};
