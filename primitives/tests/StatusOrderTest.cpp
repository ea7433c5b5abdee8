// Every entry with an internal implementation, called through the table once
// with every pointer null and every number 0, and once with valid pointers
// and a zero length: null pointers are reported (-8) before lengths (-6).
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "primitives/Ipps.h"

namespace {

alignas(64) unsigned char gScratch[256];

template <class T>
T NullArgument() {
  return T{};
}

template <class T>
T ScratchArgument() {
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<T>(static_cast<void*>(gScratch));
  } else {
    return T{};
  }
}

template <class... A>
IppStatus CallWithNulls(IppStatus (*AEntry)(A...)) {
  return AEntry(NullArgument<A>()...);
}

template <class... A>
IppStatus CallWithZeroLength(IppStatus (*AEntry)(A...)) {
  return AEntry(ScratchArgument<A>()...);
}

struct TRow {
  std::string Name;
  IppStatus WithNulls;
  IppStatus WithZeroLength;
};

std::vector<TRow> CallEveryEntry() {
  EnsurePrimitivesBound();
  std::vector<TRow> rows;
#define FR_CALL_Own(module, name) \
  rows.push_back({#module "::" #name, CallWithNulls(Bf##module##Dispatcher::name), CallWithZeroLength(Bf##module##Dispatcher::name)});
#define FR_CALL_Later(module, name)
#define FR_CALL_None(module, name)
#define FR_IPP_ENTRY(module, lookup, kind, route, name, params, args) FR_CALL_##kind(module, name)
#include "primitives/IppDispatchTable.def"
#undef FR_IPP_ENTRY
  return rows;
}

TEST(StatusOrderTest, NullPointersComeBeforeLengths) {
  const auto rows = CallEveryEntry();
  EXPECT_EQ(rows.size(), 152u) << "entries with an internal implementation";
  for (const auto& row : rows) {
    EXPECT_EQ(row.WithNulls, ippStsNullPtrErr) << row.Name;
    // The look-up table's per-channel arrays are read before the size: with
    // the zeroed scratch they hold null pointers.
    const bool tables = row.Name == "Basic::ippiLUT_Linear_8u_C4R";
    EXPECT_EQ(row.WithZeroLength, tables ? ippStsNullPtrErr : ippStsSizeErr) << row.Name;
  }
}

}  // namespace
