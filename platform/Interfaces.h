// The object model every shared object of the library is built on.
//
// Shared objects are reached through reference-counted interfaces. Each
// interface is a struct with only pure virtual operations, derived virtually
// from `IInterface` (so that a class implementing several interfaces of one
// family holds one copy of each base), and carries its fixed 128-bit
// identifier as `static constexpr TGUID IID`. Any interface can be asked for
// any other by identifier (`QueryInterface`); `GetInstance` of the library's
// interfaces returns the implementing object.
//
// Holders keep a `Ref<T>`, which behaves like an interface variable: copying
// adds a reference, leaving scope releases it, an empty handle means none.
// Objects that one parent owns are plain objects (`TObject`) freed by that
// parent; they are never handed out through a `Ref`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

// ---------------------------------------------------------------------------
// Identifiers

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  friend constexpr bool operator==(const TGUID&, const TGUID&) = default;

  // True for the all-zero identifier.
  constexpr bool IsNull() const { return *this == TGUID{}; }
};

namespace detail {
constexpr uint32_t HexDigit(char c) {
  return (c >= '0' && c <= '9')   ? uint32_t(c - '0')
         : (c >= 'a' && c <= 'f') ? uint32_t(c - 'a' + 10)
         : (c >= 'A' && c <= 'F') ? uint32_t(c - 'A' + 10)
                                  : throw "invalid hex digit in GUID";
}
constexpr uint32_t Hex(const char* s, int digits) {
  uint32_t v = 0;
  for (int i = 0; i < digits; ++i) v = v * 16 + HexDigit(s[i]);
  return v;
}
}  // namespace detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" at compile time; a malformed
// text does not compile when used in a constant expression.
constexpr TGUID MakeGUID(const char (&s)[39]) {
  if (s[0] != '{' || s[9] != '-' || s[14] != '-' || s[19] != '-' || s[24] != '-' || s[37] != '}')
    throw "malformed GUID text";
  TGUID g;
  g.D1 = detail::Hex(s + 1, 8);
  g.D2 = uint16_t(detail::Hex(s + 10, 4));
  g.D3 = uint16_t(detail::Hex(s + 15, 4));
  g.D4[0] = uint8_t(detail::Hex(s + 20, 2));
  g.D4[1] = uint8_t(detail::Hex(s + 22, 2));
  for (int i = 0; i < 6; ++i) g.D4[2 + i] = uint8_t(detail::Hex(s + 25 + 2 * i, 2));
  return g;
}

// ---------------------------------------------------------------------------
// Interfaces and objects

// Result codes of QueryInterface.
inline constexpr int32_t S_OK = 0;
inline constexpr int32_t E_NOINTERFACE = int32_t(0x80004002u);

// The reference-counted base interface: query, add reference, release.
struct IInterface {
  static constexpr TGUID IID = MakeGUID("{00000000-0000-0000-C000-000000000046}");

  // On success stores in *AObj a pointer to this object seen as the interface
  // AIID (so that static_cast<I*>(*AObj) is valid for the I whose IID it is),
  // with one reference added, and returns S_OK. Otherwise stores nullptr and
  // returns E_NOINTERFACE.
  virtual int32_t QueryInterface(const TGUID& AIID, void** AObj) noexcept = 0;
  virtual int32_t _AddRef() noexcept = 0;
  virtual int32_t _Release() noexcept = 0;

 protected:
  ~IInterface() = default;
};

// Root of every class of the library. Plain objects are freed by their owner;
// reference-counted ones derive from TInterfacedObject.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // Runs once the whole object is constructed (the construction helpers call
  // it); classes override it to do work that needs their final virtual slots.
  virtual void AfterConstruction() {}
  // Runs before the destructor chain of a reference-counted object.
  virtual void BeforeDestruction() {}
};

// Looks AIID up among the interfaces Is... of ASelf; nullptr when none matches.
// Classes use it in their FindInterface override, listing what they implement.
template <class... Is, class TSelf>
void* InterfaceOf(TSelf* ASelf, const TGUID& AIID) noexcept {
  void* found = nullptr;
  ((found == nullptr && AIID == Is::IID ? (found = static_cast<void*>(static_cast<Is*>(ASelf)), 0)
                                        : 0),
   ...);
  return found;
}

// A reference-counted object. It starts with a count of 0; the holder's first
// reference makes it 1 and the release of the last one destroys it.
template <class T>
class Ref;
template <class T, class... Args>
Ref<T> MakeObject(Args&&... AArgs);

class TInterfacedObject : public TObject, public virtual IInterface {
 public:
  int32_t QueryInterface(const TGUID& AIID, void** AObj) noexcept override {
    void* found = FindInterface(AIID);
    *AObj = found;
    if (found == nullptr) return E_NOINTERFACE;
    _AddRef();
    return S_OK;
  }

  // Increments need no ordering; the decrement that may destroy the object
  // must see every write made through other references first.
  int32_t _AddRef() noexcept override { return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t _Release() noexcept override {
    // The holder of the only reference destroys the object without an
    // atomic decrement: with a count of 1 no other thread holds a reference
    // it could copy, and the acquire load sees every write that the other
    // holders' releases published.
    if (FRefCount.load(std::memory_order_acquire) == 1) {
      FRefCount.store(0, std::memory_order_relaxed);
      BeforeDestruction();
      delete this;
      return 0;
    }
    const int32_t left = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) {
      BeforeDestruction();
      delete this;
    }
    return left;
  }

  int32_t RefCount() const noexcept { return FRefCount.load(std::memory_order_relaxed); }

  // Number of reference-counted objects alive in the process; tests use it to
  // prove that nothing leaks. Objects made as uncounted (lock sections) are
  // not included: each keeps its lock alive, so a leaked one still shows.
  static int64_t LiveInstances() noexcept { return LiveCount().load(std::memory_order_relaxed); }

 protected:
  TInterfacedObject() noexcept { LiveCount().fetch_add(1, std::memory_order_relaxed); }
  // For objects that live only for the length of a call and are made many
  // times per second (lock sections): no count in LiveInstances, which would
  // cost two atomic operations on one process-wide word per object.
  struct TUncounted {};
  explicit TInterfacedObject(TUncounted) noexcept : FCounted(false) {}
  ~TInterfacedObject() override {
    if (FCounted) LiveCount().fetch_sub(1, std::memory_order_relaxed);
  }

  // The interfaces this object answers to. Overrides list their own with
  // InterfaceOf and fall back to the base class.
  virtual void* FindInterface(const TGUID& AIID) noexcept {
    return InterfaceOf<IInterface>(this, AIID);
  }

 private:
  static std::atomic<int64_t>& LiveCount() noexcept {
    static std::atomic<int64_t> count{0};
    return count;
  }

  // The first reference to a new object that nobody else can see yet: a
  // plain store instead of an atomic increment.
  void TakeFirstReference() noexcept {
    if (FRefCount.load(std::memory_order_relaxed) == 0)
      FRefCount.store(1, std::memory_order_relaxed);
    else
      FRefCount.fetch_add(1, std::memory_order_relaxed);
  }
  template <class T, class... Args>
  friend Ref<T> MakeObject(Args&&... AArgs);

  std::atomic<int32_t> FRefCount{0};
  bool FCounted = true;
};

// ---------------------------------------------------------------------------
// Handles

// A counted reference to an interface or to a reference-counted object.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  // Explicit, so that a raw pointer never silently becomes a reference.
  explicit Ref(T* AObj) noexcept : FPtr(AObj) {
    if (FPtr) FPtr->_AddRef();
  }
  Ref(const Ref& AOther) noexcept : Ref(AOther.FPtr) {}
  Ref(Ref&& AOther) noexcept : FPtr(std::exchange(AOther.FPtr, nullptr)) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  Ref(const Ref<U>& AOther) noexcept : Ref(static_cast<T*>(AOther.Get())) {}
  template <class U>
    requires std::is_convertible_v<U*, T*>
  Ref(Ref<U>&& AOther) noexcept : FPtr(AOther.Detach()) {}
  ~Ref() { Reset(); }

  Ref& operator=(Ref AOther) noexcept {
    std::swap(FPtr, AOther.FPtr);
    return *this;
  }

  // Takes over a pointer that already carries one reference (as QueryInterface
  // hands it out) without adding another.
  static Ref Adopt(T* AObj) noexcept {
    Ref r;
    r.FPtr = AObj;
    return r;
  }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(FPtr, nullptr); }

  void Reset() noexcept {
    if (T* p = std::exchange(FPtr, nullptr)) p->_Release();
  }

  T* Get() const noexcept { return FPtr; }
  T* operator->() const noexcept { return FPtr; }
  T& operator*() const noexcept { return *FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }

  template <class U>
  friend bool operator==(const Ref& a, const Ref<U>& b) noexcept {
    return a.Get() == b.Get();
  }
  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.FPtr == nullptr; }

 private:
  T* FPtr = nullptr;
};

// Asks AFrom for the interface I; an empty handle when it is not supported (or
// AFrom is empty).
template <class I, class U>
Ref<I> Supports(const Ref<U>& AFrom) noexcept {
  if (!AFrom) return {};
  void* obj = nullptr;
  if (AFrom->QueryInterface(I::IID, &obj) != S_OK) return {};
  return Ref<I>::Adopt(static_cast<I*>(obj));
}

template <class I, class U>
Ref<I> Supports(U* AFrom) noexcept {
  if (AFrom == nullptr) return {};
  void* obj = nullptr;
  if (AFrom->QueryInterface(I::IID, &obj) != S_OK) return {};
  return Ref<I>::Adopt(static_cast<I*>(obj));
}

// Creates a reference-counted object, runs its after-construction hook and
// returns the first reference to it. If the hook throws, the object is freed.
template <class T, class... Args>
Ref<T> MakeObject(Args&&... AArgs) {
  T* object = new T(std::forward<Args>(AArgs)...);
  Ref<T> r;
  if constexpr (std::is_base_of_v<TInterfacedObject, T>) {
    static_cast<TInterfacedObject*>(object)->TakeFirstReference();
    r = Ref<T>::Adopt(object);
  } else {
    r = Ref<T>(object);
  }
  r->AfterConstruction();
  return r;
}
