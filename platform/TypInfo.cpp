#include "platform/TypInfo.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>

#include "platform/Persistent.h"

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// Type descriptions made at run time live here for the rest of the process;
// a deque keeps their addresses stable.
std::mutex& TypeStoreLock() {
  static std::mutex m;
  return m;
}
std::deque<TTypeInfo>& TypeStore() {
  static std::deque<TTypeInfo> store;
  return store;
}
const TTypeInfo& Keep(TTypeInfo AInfo) {
  std::lock_guard<std::mutex> hold(TypeStoreLock());
  TypeStore().push_back(std::move(AInfo));
  return TypeStore().back();
}

TTypeInfo OrdinalType(const char* AName, TOrdType AOrdType) {
  TTypeInfo t;
  t.Kind = TTypeKind::tkInteger;
  t.Name = AName;
  t.OrdType = AOrdType;
  return t;
}

TTypeInfo FloatType(const char* AName, TFloatType AFloatType) {
  TTypeInfo t;
  t.Kind = TTypeKind::tkFloat;
  t.Name = AName;
  t.FloatType = AFloatType;
  return t;
}

struct TRegistry {
  std::mutex Lock;
  std::map<std::string, const TClassInfo*> ByLowerName;
};
TRegistry& Registry() {
  static TRegistry r;
  return r;
}

std::string Lower(std::string_view A) {
  std::string s(A);
  for (char& c : s) c = LowerAscii(c);
  return s;
}

}  // namespace

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerAscii(A[i]) != LowerAscii(B[i])) return false;
  return true;
}

bool PropNameLess(std::string_view A, std::string_view B) {
  const size_t n = std::min(A.size(), B.size());
  for (size_t i = 0; i < n; ++i) {
    const char a = LowerAscii(A[i]);
    const char b = LowerAscii(B[i]);
    if (a != b) return static_cast<unsigned char>(a) < static_cast<unsigned char>(b);
  }
  return A.size() < B.size();
}

int TTypeInfo::IndexOfName(std::string_view AName) const {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameText(Names[i], AName)) return static_cast<int>(i);
  return -1;
}

const TTypeInfo& TypeInfoInteger() {
  static const TTypeInfo t = OrdinalType("Integer", TOrdType::otSLong);
  return t;
}
const TTypeInfo& TypeInfoCardinal() {
  static const TTypeInfo t = OrdinalType("Cardinal", TOrdType::otULong);
  return t;
}
const TTypeInfo& TypeInfoSmallInt() {
  static const TTypeInfo t = OrdinalType("SmallInt", TOrdType::otSWord);
  return t;
}
const TTypeInfo& TypeInfoWord() {
  static const TTypeInfo t = OrdinalType("Word", TOrdType::otUWord);
  return t;
}
const TTypeInfo& TypeInfoByte() {
  static const TTypeInfo t = OrdinalType("Byte", TOrdType::otUByte);
  return t;
}
const TTypeInfo& TypeInfoInt64() {
  static const TTypeInfo t = [] {
    TTypeInfo i;
    i.Kind = TTypeKind::tkInt64;
    i.Name = "Int64";
    return i;
  }();
  return t;
}
const TTypeInfo& TypeInfoBoolean() {
  static const TTypeInfo& t = MakeEnumTypeInfo("Boolean", {"False", "True"});
  return t;
}
const TTypeInfo& TypeInfoReal() {
  static const TTypeInfo t = FloatType("Real", TFloatType::ftDouble);
  return t;
}
const TTypeInfo& TypeInfoDouble() {
  static const TTypeInfo t = FloatType("Double", TFloatType::ftDouble);
  return t;
}
const TTypeInfo& TypeInfoExtended() {
  static const TTypeInfo t = FloatType("Extended", TFloatType::ftExtended);
  return t;
}
const TTypeInfo& TypeInfoSingle() {
  static const TTypeInfo t = FloatType("Single", TFloatType::ftSingle);
  return t;
}
const TTypeInfo& TypeInfoCurrency() {
  static const TTypeInfo t = FloatType("Currency", TFloatType::ftCurr);
  return t;
}
const TTypeInfo& TypeInfoDateTime() {
  static const TTypeInfo t = FloatType("TDateTime", TFloatType::ftDouble);
  return t;
}
const TTypeInfo& TypeInfoString() {
  static const TTypeInfo t = [] {
    TTypeInfo i;
    i.Kind = TTypeKind::tkString;
    i.Name = "string";
    return i;
  }();
  return t;
}

const TTypeInfo& MakeEnumTypeInfo(std::string AName, std::initializer_list<const char*> ANames) {
  TTypeInfo t;
  t.Kind = TTypeKind::tkEnumeration;
  t.Name = std::move(AName);
  t.OrdType = ANames.size() <= 256 ? TOrdType::otUByte : TOrdType::otUWord;
  for (const char* n : ANames) t.Names.emplace_back(n);
  return Keep(std::move(t));
}

const TTypeInfo& MakeSetTypeInfo(std::string AName, const TTypeInfo& AElementType) {
  TTypeInfo t;
  t.Kind = TTypeKind::tkSet;
  t.Name = std::move(AName);
  t.OrdType = TOrdType::otULong;
  t.Names = AElementType.Names;
  return Keep(std::move(t));
}

const TTypeInfo& MakeFloatTypeInfo(std::string AName, TFloatType AFloatType) {
  TTypeInfo t;
  t.Kind = TTypeKind::tkFloat;
  t.Name = std::move(AName);
  t.FloatType = AFloatType;
  return Keep(std::move(t));
}

const TTypeInfo& ClassTypeInfoOf(const TClassInfo& AClass) {
  static std::mutex lock;
  static std::map<const TClassInfo*, const TTypeInfo*> known;
  std::lock_guard<std::mutex> hold(lock);
  auto it = known.find(&AClass);
  if (it != known.end()) return *it->second;
  TTypeInfo t;
  t.Kind = TTypeKind::tkClass;
  t.Name = AClass.Name();
  t.ClassType = &AClass;
  const TTypeInfo& kept = Keep(std::move(t));
  known.emplace(&AClass, &kept);
  return kept;
}

// ---------------------------------------------------------------------------

bool TPropInfo::CanWrite() const {
  switch (Type->Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkInt64:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkSet: return static_cast<bool>(SetOrd);
    case TTypeKind::tkFloat: return static_cast<bool>(SetFloat);
    case TTypeKind::tkString: return static_cast<bool>(SetStr);
    case TTypeKind::tkClass: return static_cast<bool>(SetObj);
    case TTypeKind::tkMethod: return static_cast<bool>(SetEvent);
  }
  return false;
}

// ---------------------------------------------------------------------------

TClassInfo::TClassInfo(std::string AName, const TClassInfo* AParent, std::vector<TPropInfo> AOwnProperties,
                       std::vector<TMethodInfo> AOwnMethods, TComponentFactory AFactory)
    : FName(std::move(AName)),
      FParent(AParent),
      FOwnProperties(std::move(AOwnProperties)),
      FOwnMethods(std::move(AOwnMethods)),
      FFactory(std::move(AFactory)) {
  if (FParent != nullptr) FProperties = FParent->FProperties;
  for (const TPropInfo& p : FOwnProperties) {
    auto same = std::find_if(FProperties.begin(), FProperties.end(),
                             [&](const TPropInfo* q) { return SameText(q->Name, p.Name); });
    if (same != FProperties.end())
      *same = &p;  // a redeclaration keeps the inherited place
    else
      FProperties.push_back(&p);
  }
  for (const TPropInfo* p : FProperties) FByLowerName[Lower(p->Name)] = p;
  RegisterClass(*this);
}

bool TClassInfo::InheritsFrom(const TClassInfo& AClass) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->FParent)
    if (c == &AClass) return true;
  return false;
}

bool TClassInfo::InheritsFrom(std::string_view AClassName) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->FParent)
    if (SameText(c->FName, AClassName)) return true;
  return false;
}

std::vector<const TPropInfo*> TClassInfo::SortedProperties() const {
  std::vector<const TPropInfo*> sorted = FProperties;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const TPropInfo* a, const TPropInfo* b) { return PropNameLess(a->Name, b->Name); });
  return sorted;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view AName) const {
  auto it = FByLowerName.find(Lower(AName));
  return it == FByLowerName.end() ? nullptr : it->second;
}

const TMethodInfo* TClassInfo::FindMethod(std::string_view AName) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->FParent)
    for (const TMethodInfo& m : c->FOwnMethods)
      if (SameText(m.Name, AName)) return &m;
  return nullptr;
}

// ---------------------------------------------------------------------------

void RegisterClass(const TClassInfo& AClass) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> hold(r.Lock);
  auto [it, added] = r.ByLowerName.emplace(Lower(AClass.Name()), &AClass);
  if (!added && it->second != &AClass)
    throw EFilerError(Format("A class named %s is already registered", AClass.Name().c_str()));
}

const TClassInfo* FindClassInfo(std::string_view AName) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> hold(r.Lock);
  auto it = r.ByLowerName.find(Lower(AName));
  return it == r.ByLowerName.end() ? nullptr : it->second;
}

const TPropInfo* GetPropInfo(TPersistent* AInstance, std::string_view AName) {
  if (AInstance == nullptr) return nullptr;
  return AInstance->ClassType().FindProperty(AName);
}
